// Time per triangle of a whole extraction through the stand-in host: an assembly of 10
// sub-assemblies placing 100 distinct parts twice each (200 part occurrences), each part a box
// whose six faces carry explicit 30 x 30 grid tessellations (10,800 triangles per part,
// 1,080,000 in all), welded into one mesh per part.
#include "HostSession.h"
#include "RepeatedExtraction.h"

#include <benchmark/benchmark.h>

#include <stdexcept>
#include <string>

namespace {

constexpr int kParts = 100;
constexpr int kSubassemblies = 10;
constexpr int kPlacementsPerSubassembly = 20;
constexpr int kGrid = 30;
constexpr int kTrianglesPerPart = 6 * 2 * kGrid * kGrid;

Hostsim::Point at(const Hostsim::Point& o, const Hostsim::Point& u, const Hostsim::Point& v,
                  double s, double t) {
    return {o[0] + s * u[0] + t * v[0], o[1] + s * u[1] + t * v[1], o[2] + s * u[2] + t * v[2]};
}

// One face of the box: corner o, edges u and v, outward normal u x v, wound the host's way.
void addGridFace(Hostsim::Body& body, int featureId, const Hostsim::Point& o,
                 const Hostsim::Point& u, const Hostsim::Point& v) {
    Hostsim::Surface& s = body.addSurface(PRO_SRF_PLANE);
    s.featureId = featureId;
    s.shape.origin = o;
    Hostsim::Tessellation t;
    for (int j = 0; j <= kGrid; ++j) {
        for (int i = 0; i <= kGrid; ++i) {
            t.vertices.push_back(at(o, u, v, double(i) / kGrid, double(j) / kGrid));
        }
    }
    auto index = [](int i, int j) { return j * (kGrid + 1) + i; };
    for (int j = 0; j < kGrid; ++j) {
        for (int i = 0; i < kGrid; ++i) {
            const int a = index(i, j), b = index(i + 1, j), c = index(i + 1, j + 1),
                      d = index(i, j + 1);
            t.facets.push_back({a, c, b});
            t.facets.push_back({a, d, c});
        }
    }
    s.tessellation = std::move(t);
}

void buildScene(Hostsim::Session& session) {
    Hostsim::Model& root = session.addAssembly(L"BIG_ASM").setUnit(L"mm");
    for (int p = 0; p < kParts; ++p) {
        Hostsim::Model& part = session.addPart(L"PART_" + std::to_wstring(p)).setUnit(L"mm");
        Hostsim::Feature& feature = part.addFeature(917);
        feature.parameters.push_back(
            {L"COMPARATIVE_TRACKING_INDEX", Hostsim::ParameterValue::ofInteger(100 + p)});
        Hostsim::Body& body = part.addBody();
        const double e = 10.0 + p % 7;
        const Hostsim::Point X{e, 0, 0}, Y{0, e, 0}, Z{0, 0, e};
        addGridFace(body, feature.id, {0, 0, 0}, Y, X);
        addGridFace(body, feature.id, {0, 0, e}, X, Y);
        addGridFace(body, feature.id, {0, 0, 0}, X, Z);
        addGridFace(body, feature.id, {0, e, 0}, Z, X);
        addGridFace(body, feature.id, {0, 0, 0}, Z, Y);
        addGridFace(body, feature.id, {e, 0, 0}, Y, Z);
    }
    for (int k = 0; k < kSubassemblies; ++k) {
        const std::wstring name = L"SUB_" + std::to_wstring(k);
        Hostsim::Model& sub = session.addAssembly(name).setUnit(L"mm");
        for (int j = 0; j < kPlacementsPerSubassembly; ++j) {
            const int p = (k * 10 + j) % kParts;
            sub.addComponent(L"PART_" + std::to_wstring(p),
                             Hostsim::translationMatrix(30.0 * j, 0, 0));
        }
        root.addComponent(name, Hostsim::translationMatrix(0, 30.0 * k, 0));
    }
    session.setCurrent(&root);
}

void BM_ExtractLargeAssembly(benchmark::State& state) {
    Hostsim::Session session;
    buildScene(session);
    std::size_t components = 0;
    std::size_t welded = 0;
    BenchSupport::extractRepeatedly(
        state, session, [&](const KorvaneGeometry::CAD_Assembly& model) {
            components = model.components.size();
            welded = 0;
            for (const KorvaneGeometry::SinglePart& part : model.parts) {
                for (const KorvaneGeometry::SolidBody& body : part.bodies) {
                    welded += body.mesh.triangles.size();
                }
            }
            benchmark::DoNotOptimize(model.parts.data());
        });
    const double triangles = double(kParts) * kTrianglesPerPart;
    state.counters["occurrences"] = double(components);
    state.counters["triangles"] = triangles;
    state.counters["welded"] = double(welded);
    state.counters["time_per_triangle"] = benchmark::Counter(
        triangles, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ExtractLargeAssembly)->Unit(benchmark::kMillisecond)->MinTime(3.0);

} // namespace

BENCHMARK_MAIN();
