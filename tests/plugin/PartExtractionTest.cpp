// Parts, bodies and components through whole extractions in the stand-in host.
#include "ExtractionTestSupport.h"
#include "NarrowText.h"

#include <algorithm>
#include <map>
#include <optional>

namespace {

using ExtractionTest::Children;
using ExtractionTest::cti;
using ExtractionTest::parameter;
using Hostsim::Matrix;
using Hostsim::ParameterValue;
using Hostsim::translationMatrix;
using KorvaneGeometry::kNoColour;

class PartTest : public ExtractionTest::ImportTest {};

double maxCoordinate(const KorvaneGeometry::SolidBody& body) {
    double m = -1e300;
    for (const KorvaneGeometry::Point3& p : body.mesh.points) {
        m = std::max({m, p.x, p.y, p.z});
    }
    return m;
}

std::vector<std::string> partNamesOf(const KorvaneGeometry::CAD_Assembly& model) {
    std::vector<std::string> names;
    for (const KorvaneGeometry::SinglePart& p : model.parts) {
        names.push_back(p.name);
    }
    return names;
}

double minX(const KorvaneGeometry::SolidBody& body) {
    double m = 1e300;
    for (const KorvaneGeometry::Point3& p : body.mesh.points) {
        m = std::min(m, p.x);
    }
    return m;
}

TEST_F(PartTest, ASinglePartWithTwoGoodBodies) {
    boxPart(L"P", {{{0, 0, 0}, {10, 10, 10}}, {{20, 0, 0}, {30, 5, 5}}});
    ASSERT_EQ(run(), PRO_TK_NO_ERROR);
    EXPECT_TRUE(target.nodes.empty());
    ASSERT_EQ(partNames(), std::vector<std::string>{"P"});
    const KorvaneGeometry::SinglePart& part = target.parts[0];
    ASSERT_EQ(part.bodies.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        const KorvaneGeometry::SolidBody& b = part.bodies[static_cast<std::size_t>(i)];
        EXPECT_EQ(b.index, i);
        EXPECT_TRUE(b.name.empty());
        EXPECT_EQ(b.colour, kNoColour);
        EXPECT_EQ(b.surfaces.size(), 6u);
        EXPECT_EQ(b.mesh.points.size(), 8u);
        EXPECT_EQ(b.mesh.triangles.size(), 12u);
    }
    EXPECT_EQ(minX(part.bodies[1]), 20.0);
    ASSERT_EQ(target.components.size(), 1u);
    EXPECT_EQ(target.components[0].name, "P");
    EXPECT_EQ(target.components[0].partIndex, 0);
    EXPECT_EQ(target.components[0].colour, kNoColour);
    EXPECT_EQ(target.components[0].matrix, KorvaneGeometry::kIdentityMatrix);
    EXPECT_TRUE(warnings().empty());
}

TEST_F(PartTest, TheSecondOfThreeBodiesFailsAndItsPositionGoesToTheThird) {
    session.recordCalls();
    Hostsim::Model& asm1 = assembly(L"A");
    Hostsim::Model& p = boxPart(L"P", {{{0, 0, 0}, {1, 1, 1}}});
    p.addBody(); // no surfaces: no triangles
    p.addBody().addBox({5, 0, 0}, {7, 1, 1}, p.features[0].id);
    asm1.addComponent(L"P");
    asm1.addComponent(L"P", translationMatrix(50, 0, 0));
    ASSERT_EQ(run(), PRO_TK_NO_ERROR);
    ASSERT_EQ(target.parts.size(), 1u);
    const auto& bodies = target.parts[0].bodies;
    ASSERT_EQ(bodies.size(), 2u);
    EXPECT_EQ(bodies[0].index, 0);
    EXPECT_EQ(bodies[1].index, 1);
    EXPECT_EQ(minX(bodies[0]), 0.0);
    EXPECT_EQ(minX(bodies[1]), 5.0);
    EXPECT_EQ(warnings(), std::vector<std::string>{"WarningBodiesOfPartFailed %0s"});
    EXPECT_EQ(warningNames(), std::vector<std::string>{"P"});
    EXPECT_EQ(target.components.size(), 2u);
    EXPECT_EQ(session.log().count("ProSolidBodiesCollect"), 1); // the known part is not read again
}

TEST_F(PartTest, SkippedBodiesCountInTheHostsNumber) {
    struct Case {
        const char* label;
        bool construction;
        int state;
    };
    for (const Case c : {Case{"construction", true, 4}, Case{"state 3", false, 3}}) {
        SCOPED_TRACE(c.label);
        Hostsim::Session fresh;
        HostTest::RuntimeAttachment attach(fresh);
        Hostsim::Model& p = fresh.addPart(L"P").setUnit(L"mm");
        Hostsim::Feature& f = p.addFeature(917);
        Hostsim::Body& skipped = p.addBody();
        skipped.addBox({0, 0, 0}, {1, 1, 1}, f.id);
        skipped.construction = c.construction;
        skipped.state = c.state;
        p.addBody(); // fails
        KorvaneGeometry::CAD_Assembly model;
        EXPECT_EQ(Velmora::CreoImport::computeAssembly(model, options), PRO_TK_NO_ERROR);
        EXPECT_EQ(fresh.transcript().areaKeys(),
                  std::vector<std::string>{"WarningBodiesOfPartFailed %0s"});
        EXPECT_TRUE(model.parts.empty());
        EXPECT_TRUE(model.components.empty());
        HostTest::expectLedgerClean(fresh);
    }
}

TEST_F(PartTest, APartWhoseBodiesAllFailIsWarnedOnceAndReadAgainLater) {
    session.recordCalls();
    Hostsim::Model& asm1 = assembly(L"A");
    Hostsim::Model& p = session.addPart(L"F").setUnit(L"mm");
    p.addBody();
    p.addBody();
    asm1.addComponent(L"F");
    asm1.addComponent(L"F", translationMatrix(5, 0, 0));
    ASSERT_EQ(run(), PRO_TK_NO_ERROR);
    EXPECT_EQ(warnings(), std::vector<std::string>{"WarningPartFailed %0s"});
    EXPECT_EQ(warningNames(), std::vector<std::string>{"F"});
    EXPECT_TRUE(target.parts.empty());
    EXPECT_TRUE(target.components.empty());
    EXPECT_TRUE(target.nodes[0].children.empty());
    EXPECT_EQ(session.log().count("ProSolidBodiesCollect"), 2);
}

TEST_F(PartTest, DuplicatePlacementsGiveOneComponentAndOneWarning) {
    Hostsim::Model& asm1 = assembly(L"A");
    boxPart(L"P");
    asm1.addComponent(L"P");
    asm1.addComponent(L"P", translationMatrix(0.005, 0, 0));
    asm1.addComponent(L"P", translationMatrix(0, 0.009, 0));
    asm1.addComponent(L"P", translationMatrix(5, 0, 0));
    ASSERT_EQ(run(), PRO_TK_NO_ERROR);
    EXPECT_EQ(target.components.size(), 2u);
    EXPECT_EQ(target.nodes[0].children, (Children{{0, false}, {1, false}}));
    EXPECT_EQ(warnings(), std::vector<std::string>{"WarningDuplicateComponent %0s"});
    EXPECT_EQ(warningNames(), std::vector<std::string>{"P"});
}

TEST_F(PartTest, FlexibleOccurrencesAreNumberedPerPlainName) {
    session.recordCalls();
    Hostsim::Model& asm1 = assembly(L"A");
    Hostsim::Model& p = boxPart(L"P");
    p.bodies[0].addSurface(PRO_SRF_PLANE).tessellationStatus = PRO_TK_INCOMPLETE_TESS;
    boxPart(L"Q");
    for (int i = 0; i < 3; ++i) {
        asm1.addComponent(L"P", translationMatrix(10.0 * i, 0, 0)).flexible = true;
    }
    Hostsim::Model& outer = subAssembly(L"FLEX");
    Hostsim::Model& inner = subAssembly(L"PLAIN");
    inner.addComponent(L"Q");
    outer.addComponent(L"PLAIN");
    asm1.addComponent(L"FLEX").flexible = true;
    asm1.addComponent(L"Q", translationMatrix(0, 40, 0));
    ASSERT_EQ(run(), PRO_TK_NO_ERROR);
    EXPECT_EQ(partNames(), (std::vector<std::string>{"P_flexible_1", "P_flexible_2", "P_flexible_3",
                                                     "Q_flexible_1", "Q"}));
    EXPECT_EQ(componentNames(), partNames());
    // Each flexible part is read on its own; the warning names the plain part once.
    EXPECT_EQ(session.log().count("ProSolidBodiesCollect"), 5);
    EXPECT_EQ(warnings(), std::vector<std::string>{"WarningSurfaceTessellationFailed %0s"});
    EXPECT_EQ(warningNames(), std::vector<std::string>{"P"});
}

// Placements at the top level, each 10 mm further along x; the parts named like generated
// flexible names are boxes of their own size, so a stored part shows whose geometry it holds.
struct FlexibleNameCase {
    const char* label;
    std::vector<std::pair<std::wstring, bool>> placements;   // model, flexible
    std::vector<std::pair<std::string, std::wstring>> parts; // stored name, model it was read from
    std::vector<std::string> components;
    int reads; // parts read from the host
};

TEST_F(PartTest, AFlexibleOccurrenceNeverTakesAnotherPartsName) {
    const std::wstring P = L"P", F1 = L"P_flexible_1", F2 = L"P_flexible_2";
    const FlexibleNameCase cases[] = {
        {"the real part first",
         {{F1, false}, {P, true}, {P, true}, {P, false}},
         {{"P_flexible_1", F1}, {"P_flexible_2", P}, {"P_flexible_3", P}, {"P", P}},
         {"P_flexible_1", "P_flexible_2", "P_flexible_3", "P"},
         4},
        {"the flexible occurrence first",
         {{P, true}, {F1, false}},
         {{"P_flexible_2", P}, {"P_flexible_1", F1}},
         {"P_flexible_2", "P_flexible_1"},
         2},
        {"two real names met after the flexible occurrence",
         {{P, true}, {F1, false}, {F2, false}, {P, true}, {F1, false}},
         {{"P_flexible_3", P}, {"P_flexible_1", F1}, {"P_flexible_2", F2}, {"P_flexible_4", P}},
         {"P_flexible_3", "P_flexible_1", "P_flexible_2", "P_flexible_4", "P_flexible_1"},
         4},
        {"a flexible occurrence of the real part",
         {{F1, true}, {P, true}, {F1, false}},
         {{"P_flexible_1_flexible_1", F1}, {"P_flexible_2", P}, {"P_flexible_1", F1}},
         {"P_flexible_1_flexible_1", "P_flexible_2", "P_flexible_1"},
         3},
    };
    for (const FlexibleNameCase& c : cases) {
        SCOPED_TRACE(c.label);
        Hostsim::Session fresh;
        fresh.recordCalls();
        HostTest::RuntimeAttachment attach(fresh);
        Hostsim::Model& asm1 = fresh.addAssembly(L"A").setUnit(L"mm");
        const std::map<std::wstring, double> sizes{{P, 1.0}, {F1, 2.0}, {F2, 3.0}};
        for (const auto& [name, size] : sizes) {
            Hostsim::Model& part = fresh.addPart(name).setUnit(L"mm");
            part.addBody().addBox({0, 0, 0}, {size, size, size}, part.addFeature(917).id);
        }
        for (std::size_t i = 0; i < c.placements.size(); ++i) {
            const auto& [model, flexible] = c.placements[i];
            asm1.addComponent(model, translationMatrix(10.0 * double(i), 0, 0)).flexible = flexible;
        }
        KorvaneGeometry::CAD_Assembly model;
        ASSERT_EQ(Velmora::CreoImport::computeAssembly(model, options), PRO_TK_NO_ERROR);

        ASSERT_EQ(model.parts.size(), c.parts.size());
        for (std::size_t i = 0; i < c.parts.size(); ++i) {
            const KorvaneGeometry::SinglePart& part = model.parts[i];
            EXPECT_EQ(part.name, c.parts[i].first) << "part " << i;
            EXPECT_EQ(model.partIndex(part.name), int(i));
            ASSERT_EQ(part.bodies.size(), 1u);
            EXPECT_EQ(maxCoordinate(part.bodies[0]), sizes.at(c.parts[i].second)) << part.name;
        }
        EXPECT_EQ(model.partIndexByName.size(), model.parts.size());
        ASSERT_EQ(model.components.size(), c.components.size());
        for (std::size_t i = 0; i < c.components.size(); ++i) {
            const KorvaneGeometry::CAD_Component& component = model.components[i];
            EXPECT_EQ(component.name, c.components[i]) << "component " << i;
            ASSERT_GE(component.partIndex, 0);
            EXPECT_EQ(model.parts[std::size_t(component.partIndex)].name, component.name);
            EXPECT_EQ(component.matrix[3], 10.0 * double(i));
        }
        EXPECT_EQ(fresh.log().count("ProSolidBodiesCollect"), c.reads);
        EXPECT_TRUE(fresh.transcript().areaKeys().empty());
        HostTest::expectLedgerClean(fresh);
    }
}

// Two models whose wide names differ only in characters that the narrow text cannot hold, so
// that they narrow alike: outside the ANSI code page on Windows, lone surrogates anywhere.
struct AlikeNames {
    const char* label;
    std::wstring first, second;
};

std::vector<AlikeNames> namesThatNarrowAlike() {
    std::vector<AlikeNames> sets = {{"lone surrogates", L"P\xD800", L"P\xDC00"}};
#ifdef _WIN32
    sets.push_back({"CJK", L"\u90E8\u54C1", L"\u96F6\u4EF6"});           // 部品, 零件
    sets.push_back({"Greek and Latin", L"PART_\u03A9", L"PART_\u014C"}); // Ω, Ō: both "O"
    sets.push_back({"Cyrillic", L"\u0414\u0415\u0422\u0410\u041B\u042C", // ДЕТАЛЬ
                    L"\u0412\u0422\u0423\u041B\u041A\u0410"});           // ВТУЛКА
#endif
    return sets;
}

std::string narrowOf(const std::wstring& wide) {
    return Velmora::narrowText(wide.c_str(), wide.size() + 1);
}

// Placements at the top level, each 10 mm further along x, of the two models that narrow alike
// (X1, X2) and of the models whose names are exactly their narrow name N (R) and N_1 (R1).
// Each model is a box of its own size, so a stored part shows whose geometry it holds. Names
// are written as what follows N.
struct AlikeCase {
    const char* label;
    std::vector<std::pair<const char*, bool>> placements;   // model, flexible
    std::vector<std::pair<const char*, const char*>> parts; // stored name, model it was read from
    std::vector<const char*> components;
    int reads; // parts read from the host
};

TEST_F(PartTest, ModelsWhoseNamesNarrowAlikeStayDistinct) {
    const AlikeCase cases[] = {
        {"two models", {{"X1", false}, {"X2", false}}, {{"", "X1"}, {"_1", "X2"}}, {"", "_1"}, 2},
        {"each placed again",
         {{"X1", false}, {"X2", false}, {"X2", false}, {"X1", false}},
         {{"", "X1"}, {"_1", "X2"}},
         {"", "_1", "_1", ""},
         2},
        {"the exact model later",
         {{"X1", false}, {"X2", false}, {"R", false}, {"X2", false}, {"X1", false}},
         {{"_2", "X1"}, {"_1", "X2"}, {"", "R"}},
         {"_2", "_1", "", "_1", "_2"},
         3},
        {"the exact model first",
         {{"R", false}, {"X1", false}, {"X2", false}},
         {{"", "R"}, {"_1", "X1"}, {"_2", "X2"}},
         {"", "_1", "_2"},
         3},
        {"the exact model of a counted name later",
         {{"X1", false}, {"X2", false}, {"R1", false}, {"X2", false}},
         {{"", "X1"}, {"_2", "X2"}, {"_1", "R1"}},
         {"", "_2", "_1", "_2"},
         3},
        {"flexible occurrences",
         {{"X1", true}, {"X2", true}, {"X1", false}, {"X2", false}, {"X2", true}},
         {{"_flexible_1", "X1"},
          {"_flexible_2", "X2"},
          {"", "X1"},
          {"_1", "X2"},
          {"_flexible_3", "X2"}},
         {"_flexible_1", "_flexible_2", "", "_1", "_flexible_3"},
         5},
    };
    for (const AlikeNames& names : namesThatNarrowAlike()) {
        SCOPED_TRACE(names.label);
        const std::string n = narrowOf(names.first);
        ASSERT_NE(names.first, names.second);
        ASSERT_EQ(narrowOf(names.second), n);
        const std::optional<std::wstring> exact = Velmora::exactWideText(n);
        const std::optional<std::wstring> exactCounted = Velmora::exactWideText(n + "_1");
        ASSERT_TRUE(exact && exactCounted);
        ASSERT_NE(*exact, names.first);
        ASSERT_NE(*exact, names.second);
        const std::map<std::string, std::pair<std::wstring, double>> models{
            {"X1", {names.first, 1.0}},
            {"X2", {names.second, 2.0}},
            {"R", {*exact, 3.0}},
            {"R1", {*exactCounted, 4.0}}};
        for (const AlikeCase& c : cases) {
            SCOPED_TRACE(c.label);
            Hostsim::Session fresh;
            fresh.recordCalls();
            HostTest::RuntimeAttachment attach(fresh);
            Hostsim::Model& asm1 = fresh.addAssembly(L"A").setUnit(L"mm");
            for (const auto& [symbol, model] : models) {
                const double size = model.second;
                Hostsim::Model& part = fresh.addPart(model.first).setUnit(L"mm");
                part.addBody().addBox({0, 0, 0}, {size, size, size}, part.addFeature(917).id);
            }
            for (std::size_t i = 0; i < c.placements.size(); ++i) {
                const auto& [symbol, flexible] = c.placements[i];
                asm1.addComponent(models.at(symbol).first,
                                  translationMatrix(10.0 * double(i), 0, 0))
                    .flexible = flexible;
            }
            KorvaneGeometry::CAD_Assembly model;
            ASSERT_EQ(Velmora::CreoImport::computeAssembly(model, options), PRO_TK_NO_ERROR);

            ASSERT_EQ(model.parts.size(), c.parts.size());
            for (std::size_t i = 0; i < c.parts.size(); ++i) {
                const KorvaneGeometry::SinglePart& part = model.parts[i];
                EXPECT_EQ(part.name, n + c.parts[i].first) << "part " << i;
                EXPECT_EQ(model.partIndex(part.name), int(i));
                ASSERT_EQ(part.bodies.size(), 1u);
                EXPECT_EQ(maxCoordinate(part.bodies[0]), models.at(c.parts[i].second).second)
                    << "part " << i;
            }
            EXPECT_EQ(model.partIndexByName.size(), model.parts.size());
            ASSERT_EQ(model.components.size(), c.components.size());
            for (std::size_t i = 0; i < c.components.size(); ++i) {
                const KorvaneGeometry::CAD_Component& component = model.components[i];
                EXPECT_EQ(component.name, n + c.components[i]) << "component " << i;
                ASSERT_GE(component.partIndex, 0);
                EXPECT_EQ(model.parts[std::size_t(component.partIndex)].name, component.name);
                EXPECT_EQ(component.matrix[3], 10.0 * double(i));
            }
            EXPECT_EQ(fresh.log().count("ProSolidBodiesCollect"), c.reads);
            EXPECT_TRUE(fresh.transcript().areaKeys().empty());
            HostTest::expectLedgerClean(fresh);
        }
    }
}

// A warning names the model by its plain name, also for a model whose part got a name with a
// count; the two models share one warning of each kind, as every model of one plain name does.
TEST_F(PartTest, WarningsAboutModelsThatNarrowAlikeCarryThePlainName) {
    for (const AlikeNames& names : namesThatNarrowAlike()) {
        SCOPED_TRACE(names.label);
        Hostsim::Session fresh;
        HostTest::RuntimeAttachment attach(fresh);
        Hostsim::Model& asm1 = fresh.addAssembly(L"A").setUnit(L"mm");
        for (const std::wstring& name : {names.first, names.second}) {
            Hostsim::Model& part = fresh.addPart(name).setUnit(L"mm");
            Hostsim::Feature& feature = part.addFeature(917);
            Hostsim::Body& body = part.addBody();
            body.addBox({0, 0, 0}, {1, 1, 1}, feature.id);
            Hostsim::Surface& bad = body.addSurface(PRO_SRF_PLANE);
            bad.featureId = feature.id;
            bad.tessellationStatus = PRO_TK_INCOMPLETE_TESS;
        }
        asm1.addComponent(names.second);
        asm1.addComponent(names.first, translationMatrix(5, 0, 0));
        KorvaneGeometry::CAD_Assembly model;
        ASSERT_EQ(Velmora::CreoImport::computeAssembly(model, options), PRO_TK_NO_ERROR);
        const std::string n = narrowOf(names.first);
        EXPECT_EQ(partNamesOf(model), (std::vector<std::string>{n, n + "_1"}));
        std::vector<Hostsim::TranscriptEntry> shown;
        for (const Hostsim::TranscriptEntry& e : fresh.transcript().entries()) {
            if (e.kind == Hostsim::TranscriptEntry::Kind::Area) {
                shown.push_back(e);
            }
        }
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].key, "WarningSurfaceTessellationFailed %0s");
        ASSERT_EQ(shown[0].args.size(), 1u);
        EXPECT_EQ(shown[0].args[0], Hostsim::toUtf8(Velmora::exactWideText(n).value()));
        HostTest::expectLedgerClean(fresh);
    }
}

TEST_F(PartTest, AFailedTransformationIsWarnedOnceAndTakesNoFlexibleNumber) {
    Hostsim::Model& asm1 = assembly(L"A");
    boxPart(L"P");
    Hostsim::Feature& first = asm1.addComponent(L"P");
    first.flexible = true;
    Hostsim::Feature& second = asm1.addComponent(L"P", translationMatrix(3, 0, 0));
    asm1.addComponent(L"P", translationMatrix(6, 0, 0)).flexible = true;
    session.faults().forItem("ProAsmcomppathTrfGet", "A/" + std::to_string(first.id), -1);
    session.faults().forItem("ProAsmcomppathTrfGet", "A/" + std::to_string(second.id), -1);
    ASSERT_EQ(run(), PRO_TK_NO_ERROR);
    EXPECT_EQ(warnings(), std::vector<std::string>{"WarningPartFailed %0s"});
    EXPECT_EQ(partNames(), std::vector<std::string>{"P_flexible_1"});
    ASSERT_EQ(target.components.size(), 1u);
    EXPECT_EQ(target.components[0].matrix[3], 6.0);
}

TEST_F(PartTest, TheWarningsOfOneNameShareOneSet) {
    // A failed transformation first: the later partial failure of that part shows nothing.
    Hostsim::Model& asm1 = assembly(L"A");
    Hostsim::Model& p = boxPart(L"P");
    p.addBody();
    Hostsim::Feature& first = asm1.addComponent(L"P");
    asm1.addComponent(L"P", translationMatrix(3, 0, 0));
    session.faults().forItem("ProAsmcomppathTrfGet", "A/" + std::to_string(first.id), -1);
    ASSERT_EQ(run(), PRO_TK_NO_ERROR);
    EXPECT_EQ(warnings(), std::vector<std::string>{"WarningPartFailed %0s"});
    EXPECT_EQ(target.parts.size(), 1u);
}

struct UnitCase {
    const char* label;
    std::wstring assemblyUnit, partUnit;
    double meshScale;   // the part's 1 becomes this
    double translation; // the host's 2, 3, 4 times this
};

// The host's matrix carries the part's unit over the assembly's in its rotation block; with the
// root's factor and the part's taken into account the placement is the scene's rotation again.
TEST_F(PartTest, LengthsAreMillimetresOfTheTopModel) {
    const UnitCase cases[] = {
        {"mm in mm", L"mm", L"mm", 1.0, 1.0},
        {"inch part in mm assembly", L"mm", L"in", 25.4, 1.0},
        {"mm part in inch assembly", L"in", L"mm", 1.0, 25.4},
        {"inch in inch", L"in", L"in", 25.4, 25.4},
        {"centimetre part in inch assembly", L"in", L"cm", 10.0, 25.4},
        {"unit outside the table", L"mm", L"furlong", 1.0, 1.0},
        {"part without a unit", L"mm", L"", 1.0, 1.0},
    };
    // Row vectors: a quarter turn about z, then the translation (2, 3, 4).
    const Matrix host{{{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {2, 3, 4, 1}}};
    for (const UnitCase& c : cases) {
        SCOPED_TRACE(c.label);
        Hostsim::Session fresh;
        HostTest::RuntimeAttachment attach(fresh);
        Hostsim::Model& asm1 = fresh.addAssembly(L"A").setUnit(c.assemblyUnit);
        Hostsim::Model& part = fresh.addPart(L"P");
        if (!c.partUnit.empty()) {
            part.setUnit(c.partUnit);
        }
        part.addBody().addBox({0, 0, 0}, {1, 1, 1}, part.addFeature(917).id);
        asm1.addComponent(L"P", host);
        KorvaneGeometry::CAD_Assembly model;
        ASSERT_EQ(Velmora::CreoImport::computeAssembly(model, options), PRO_TK_NO_ERROR);
        ASSERT_EQ(model.components.size(), 1u);
        EXPECT_NEAR(maxCoordinate(model.parts[0].bodies[0]), c.meshScale, 1e-12);
        const KorvaneGeometry::Matrix4& m = model.components[0].matrix;
        const double t = c.translation;
        const KorvaneGeometry::Matrix4 expected{0, -1, 0, 2 * t, 1, 0, 0, 3 * t,
                                                0, 0,  1, 4 * t, 0, 0, 0, 1};
        for (std::size_t i = 0; i < 16; ++i) {
            EXPECT_NEAR(m[i], expected[i], 1e-12) << i;
        }
        HostTest::expectLedgerClean(fresh);
    }
}

TEST_F(PartTest, AnItemLeftOutIsWarnedAboutOnceAndTheBodyKeepsItsOtherTriangles) {
    // In each of its two bodies, P has a surface that cannot be tessellated; Q's facet set, which
    // each of its bodies reads, cannot be read.
    Hostsim::Model& a = assembly(L"A");
    const std::vector<std::pair<Hostsim::Point, Hostsim::Point>> boxes = {{{0, 0, 0}, {1, 1, 1}},
                                                                          {{2, 0, 0}, {3, 1, 1}}};
    Hostsim::Model& p = boxPart(L"P", boxes);
    for (Hostsim::Body& b : p.bodies) {
        Hostsim::Surface& bad = b.addSurface(PRO_SRF_PLANE);
        bad.featureId = p.features[0].id;
        bad.tessellationStatus = PRO_TK_INCOMPLETE_TESS;
    }
    Hostsim::Model& q = boxPart(L"Q", boxes);
    Hostsim::FacetSet& set = q.addFacetSet(q.features[0].id);
    set.facets = {{Hostsim::Point{0, 0, 5}, Hostsim::Point{1, 0, 5}, Hostsim::Point{0, 1, 5}}};
    session.faults().forItem("ProFacetVerticesGet", "Q#" + std::to_string(set.id) + ".0",
                             PRO_TK_E_NOT_FOUND);
    a.addComponent(L"P");
    a.addComponent(L"Q", translationMatrix(5, 0, 0));
    ASSERT_EQ(run(), PRO_TK_NO_ERROR);
    EXPECT_EQ(warnings(), (std::vector<std::string>{"WarningSurfaceTessellationFailed %0s",
                                                    "WarningSurfaceTessellationFailed %0s"}));
    EXPECT_EQ(warningNames(), (std::vector<std::string>{"P", "Q"}));
    EXPECT_EQ(partNames(), (std::vector<std::string>{"P", "Q"}));
    for (const KorvaneGeometry::SinglePart& part : target.parts) {
        ASSERT_EQ(part.bodies.size(), 2u);
        for (const KorvaneGeometry::SolidBody& b : part.bodies) {
            EXPECT_EQ(b.surfaces.size(), 6u);
            EXPECT_EQ(b.mesh.triangles.size(), 12u);
        }
    }
}

TEST_F(PartTest, AFailingSurfaceAfterAnUntessellatedOneStillFails) {
    Hostsim::Model& p = boxPart(L"P");
    Hostsim::Surface& bad = p.bodies[0].addSurface(PRO_SRF_PLANE);
    bad.featureId = p.features[0].id;
    bad.tessellationStatus = PRO_TK_INCOMPLETE_TESS;
    HostTest::addTriangleSurface(p.bodies[0], {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, PRO_SRF_NONE)
        .featureId = p.features[0].id;
    EXPECT_EQ(run(), TARVELO_SURFACE_NOT_USABLE);
    EXPECT_EQ(warnings(), std::vector<std::string>{"WarningSurfaceTessellationFailed %0s"});
}

TEST_F(PartTest, FacetSetsReachEveryBodyOfThePart) {
    Hostsim::Model& p = boxPart(L"P", {{{0, 0, 0}, {1, 1, 1}}, {{2, 0, 0}, {3, 1, 1}}});
    p.addFacetSet(p.features[0].id).facets = {
        {Hostsim::Point{0, 0, 5}, Hostsim::Point{1, 0, 5}, Hostsim::Point{0, 1, 5}}};
    ASSERT_EQ(run(), PRO_TK_NO_ERROR);
    ASSERT_EQ(target.parts.size(), 1u);
    for (const KorvaneGeometry::SolidBody& b : target.parts[0].bodies) {
        ASSERT_EQ(b.surfaces.size(), 7u);
        EXPECT_EQ(b.surfaces[6].kind, KorvaneGeometry::SurfaceKindOther);
        EXPECT_EQ(b.surfaces[6].index, 6);
        EXPECT_EQ(b.mesh.triangles.size(), 13u);
        EXPECT_EQ(b.mesh.points.size(), 11u);
    }
}

TEST_F(PartTest, PartsAndBodiesGetTheirOwnCtiAndTheEntriesOfTheirScope) {
    options.importAttributes = {{L"A", 0}, {L"B", 1}, {L"C", 2}, {L"MISSING", 0}};
    Hostsim::Model& p = boxPart(L"P", {{{0, 0, 0}, {1, 1, 1}}, {{2, 0, 0}, {3, 1, 1}}});
    p.parameters = {parameter(L"A", ParameterValue::ofText(L"pa")),
                    parameter(L"B", ParameterValue::ofText(L"pb")),
                    parameter(L"C", ParameterValue::ofDouble(1.5)), cti(600)};
    p.bodies[0].parameters = {parameter(L"C", ParameterValue::ofInteger(3)),
                              parameter(L"A", ParameterValue::ofText(L"ba")),
                              parameter(L"B", ParameterValue::ofText(L"bb"))};
    p.bodies[1].parameters = {cti(-4), cti(150, L"CTI")};
    ASSERT_EQ(run(), PRO_TK_NO_ERROR);
    ASSERT_EQ(target.parts.size(), 1u);
    const KorvaneGeometry::SinglePart& part = target.parts[0];
    EXPECT_EQ(part.cti, 600);
    auto texts = [](const std::vector<KorvaneGeometry::PartAttribute>& list) {
        std::vector<std::wstring> out;
        for (const auto& a : list) {
            out.push_back(a.name + L"=" + a.value);
        }
        return out;
    };
    EXPECT_EQ(texts(part.attributes), (std::vector<std::wstring>{L"A=pa", L"C=1.500000"}));
    EXPECT_EQ(texts(part.bodies[0].attributes), (std::vector<std::wstring>{L"A=ba", L"C=3"}));
    EXPECT_TRUE(part.bodies[1].attributes.empty());
    // A body does not inherit the part's CTI, nor do its surfaces.
    for (const KorvaneGeometry::SolidBody& b : part.bodies) {
        EXPECT_EQ(b.cti, -1);
        for (const KorvaneGeometry::Surface& s : b.surfaces) {
            EXPECT_EQ(s.cti, -1);
        }
    }
}

TEST_F(PartTest, ABodysCtiIsTheFallbackOfItsSurfaces) {
    Hostsim::Model& p = boxPart(L"P");
    p.bodies[0].parameters = {cti(420)};
    ASSERT_EQ(run(), PRO_TK_NO_ERROR);
    const KorvaneGeometry::SolidBody& b = target.parts[0].bodies[0];
    EXPECT_EQ(b.cti, 420);
    for (const KorvaneGeometry::Surface& s : b.surfaces) {
        EXPECT_EQ(s.cti, 420);
    }
}

struct SkipCase {
    const char* label;
    void (*spoil)(Hostsim::Feature&);
    std::size_t nodes;      // the sub-assembly's node, when the walk enters it
    std::size_t components; // the spoiled part is never placed
};

TEST_F(PartTest, ComponentsThatAreNotShownArePassedOver) {
    // The same spoiler on a part's placement and on a sub-assembly's (which holds the part);
    // the walk judges hidden, visible and found models, the part extraction the rest, and
    // display goes down the whole path.
    const SkipCase cases[] = {
        {"hidden", [](Hostsim::Feature& f) { f.hidden = true; }, 1, 1},
        {"not visible", [](Hostsim::Feature& f) { f.visible = false; }, 1, 1},
        {"model not found", [](Hostsim::Feature& f) { f.componentModel.reset(); }, 1, 1},
        {"not displayed", [](Hostsim::Feature& f) { f.displayed = false; }, 2, 1},
        {"unplaced", [](Hostsim::Feature& f) { f.unplaced = true; }, 2, 2},
        {"bulk item", [](Hostsim::Feature& f) { f.bulkItem = true; }, 2, 2},
        {"feature status 5", [](Hostsim::Feature& f) { f.status = 5; }, 2, 2},
    };
    for (const SkipCase& c : cases) {
        SCOPED_TRACE(c.label);
        Hostsim::Session fresh;
        HostTest::RuntimeAttachment attach(fresh);
        Hostsim::Model& asm1 = fresh.addAssembly(L"A").setUnit(L"mm");
        Hostsim::Model& part = fresh.addPart(L"P").setUnit(L"mm");
        part.addBody().addBox({0, 0, 0}, {1, 1, 1}, part.addFeature(917).id);
        Hostsim::Model& sub = fresh.addAssembly(L"S").setUnit(L"mm");
        sub.addComponent(L"P", translationMatrix(0, 5, 0));
        c.spoil(asm1.addComponent(L"P"));
        c.spoil(asm1.addComponent(L"S"));
        asm1.addComponent(L"P", translationMatrix(9, 0, 0)).status = 4;
        KorvaneGeometry::CAD_Assembly model;
        ASSERT_EQ(Velmora::CreoImport::computeAssembly(model, options), PRO_TK_NO_ERROR);
        EXPECT_EQ(model.nodes.size(), c.nodes);
        EXPECT_EQ(model.components.size(), c.components);
        for (const KorvaneGeometry::CAD_Component& component : model.components) {
            const bool spoiledPlacement = component.matrix[3] == 0.0 && component.matrix[7] == 0.0;
            EXPECT_FALSE(spoiledPlacement);
        }
        HostTest::expectLedgerClean(fresh);
    }
}

TEST_F(PartTest, ColoursOfBodiesAndComponents) {
    session.recordCalls();
    Hostsim::Model& asm1 = assembly(L"A");
    Hostsim::Model& p = boxPart(L"P", {{{0, 0, 0}, {1, 1, 1}}, {{2, 0, 0}, {3, 1, 1}}});
    p.bodies[0].appearance = Hostsim::Colour{0.4, 0.5, 0.6};
    asm1.addComponent(L"P").appearance = Hostsim::Colour{0.1, 0.2, 0.3};
    asm1.addComponent(L"P", translationMatrix(5, 0, 0));
    ASSERT_EQ(run(), PRO_TK_NO_ERROR);
    EXPECT_EQ(target.parts[0].bodies[0].colour, (KorvaneGeometry::Colour{0.4, 0.5, 0.6}));
    EXPECT_EQ(target.parts[0].bodies[1].colour, kNoColour);
    ASSERT_EQ(target.components.size(), 2u);
    EXPECT_EQ(target.components[0].colour, (KorvaneGeometry::Colour{0.1, 0.2, 0.3}));
    EXPECT_EQ(target.components[1].colour, kNoColour);
    // The body's colour item is the body seen through the occurrence's path.
    int i = session.log().indexOf("ProAsmcompAsmitemInit");
    ASSERT_GE(i, 0);
    EXPECT_EQ(session.log().calls()[static_cast<std::size_t>(i)].detail,
              "type=98 path=A/" + std::to_string(asm1.features[0].id));
}

} // namespace
