// Helpers for tests that drive code through the stand-in host.
#include "HostTestSupport.h"

#include <atomic>
#include <chrono>

namespace HostTest {

RuntimeAttachment::RuntimeAttachment(Hostsim::Session& session)
    : status_(ProToolkitRuntime::attach(session.startup())) {}

RuntimeAttachment::~RuntimeAttachment() {
    ProToolkitRuntime::detach();
}

void HostSessionTest::SetUp() {
    runtime = std::make_unique<RuntimeAttachment>(session);
    ASSERT_EQ(runtime->status(), PRO_TK_NO_ERROR);
}

void HostSessionTest::TearDown() {
    expectLedgerClean();
    runtime.reset();
}

void expectLedgerClean(Hostsim::Session& session) {
    EXPECT_TRUE(session.ledger().empty()) << session.ledger().report();
    EXPECT_TRUE(session.ledger().violations().empty()) << session.ledger().report();
}

void HostSessionTest::expectLedgerClean() {
    HostTest::expectLedgerClean(session);
}

Hostsim::Model& addBoxPart(Hostsim::Session& session, const std::wstring& name,
                           const Hostsim::Point& min, const Hostsim::Point& max) {
    Hostsim::Model& part = session.addPart(name);
    part.setUnit(L"mm");
    Hostsim::Feature& feature = part.addFeature(917);
    part.addBody().addBox(min, max, feature.id);
    return part;
}

Hostsim::Model& addCylinderPart(Hostsim::Session& session, const std::wstring& name, double radius,
                                double height) {
    Hostsim::Model& part = session.addPart(name);
    part.setUnit(L"mm");
    Hostsim::Feature& feature = part.addFeature(917);
    part.addBody().addCylinder({0, 0, 0}, {0, 0, 1}, radius, height, feature.id);
    return part;
}

Hostsim::Model&
addAssemblyOf(Hostsim::Session& session, const std::wstring& name,
              const std::vector<std::pair<std::wstring, Hostsim::Matrix>>& components) {
    Hostsim::Model& assembly = session.addAssembly(name);
    assembly.setUnit(L"mm");
    for (const auto& [model, transform] : components) {
        assembly.addComponent(model, transform);
    }
    return assembly;
}

Hostsim::Model& addAssemblyChain(Hostsim::Session& session, int levels) {
    Hostsim::Model& root = session.addAssembly(L"L0").setUnit(L"mm");
    session.setCurrent(&root);
    Hostsim::Model* above = &root;
    for (int i = 1; i <= levels; ++i) {
        const std::wstring name = L"L" + std::to_wstring(i);
        Hostsim::Model& next = session.addAssembly(name).setUnit(L"mm");
        next.addFeature(923);
        above->addComponent(name, Hostsim::translationMatrix(1, 0, 0));
        above = &next;
    }
    return *above;
}

Hostsim::Surface& addTriangleSurface(Hostsim::Body& body, const Hostsim::Point& a,
                                     const Hostsim::Point& b, const Hostsim::Point& c, int type) {
    Hostsim::Surface& s = body.addSurface(type);
    Hostsim::Tessellation t;
    t.vertices = {a, b, c};
    t.facets = {{0, 2, 1}};
    s.tessellation = t;
    return s;
}

ProErrors tessellate(Hostsim::Session& session, const Hostsim::Surface& surface, double chord,
                     double angle, TessellatedSurface& out) {
    ProSurfaceTessellationInput input = nullptr;
    EXPECT_EQ(ProSurfacetessellationinputAlloc(&input), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProSurfacetessellationinputChordheightSet(input, chord), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProSurfacetessellationinputAnglecontrolSet(input, angle), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProSurfacetessellationinputStepsizeSet(input, 0.0), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProSurfacetessellationinputUvprojectionSet(input, 4, nullptr), PRO_TK_NO_ERROR);
    ProTessellation t = nullptr;
    ProErrors status = ProSurfaceTessellationGet(session.handle(surface), input, &t);
    if (status == PRO_TK_NO_ERROR) {
        Pro3dPnt* vertices = nullptr;
        ProTriangle* facets = nullptr;
        EXPECT_EQ(ProTessellationVerticesGet(t, &vertices), PRO_TK_NO_ERROR);
        EXPECT_EQ(ProTessellationFacetsGet(t, &facets), PRO_TK_NO_ERROR);
        int nv = 0, nf = 0;
        EXPECT_EQ(ProArraySizeGet(vertices, &nv), PRO_TK_NO_ERROR);
        EXPECT_EQ(ProArraySizeGet(facets, &nf), PRO_TK_NO_ERROR);
        for (int i = 0; i < nv; ++i) {
            out.vertices.push_back({vertices[i][0], vertices[i][1], vertices[i][2]});
        }
        for (int i = 0; i < nf; ++i) {
            out.facets.push_back({facets[i][0], facets[i][1], facets[i][2]});
        }
        EXPECT_EQ(ProTessellationFree(t), PRO_TK_NO_ERROR);
        EXPECT_EQ(ProArrayFree(reinterpret_cast<ProArray*>(&vertices)), PRO_TK_NO_ERROR);
        EXPECT_EQ(ProArrayFree(reinterpret_cast<ProArray*>(&facets)), PRO_TK_NO_ERROR);
    }
    EXPECT_EQ(ProSurfacetessellationinputFree(input), PRO_TK_NO_ERROR);
    return status;
}

std::filesystem::path temporaryDirectory(const std::string& name) {
    static std::atomic<int> counter{0};
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("tarvelo-" + name + "-" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
         std::to_string(counter++));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

} // namespace HostTest
