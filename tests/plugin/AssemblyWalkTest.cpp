// The assembly structure walk through whole extractions in the stand-in host.
#include "ExtractionTestSupport.h"

namespace {

using ExtractionTest::Children;
using Hostsim::translationMatrix;

class WalkTest : public ExtractionTest::ImportTest {
protected:
    std::vector<std::string> nodeNames() const {
        std::vector<std::string> names;
        for (const KorvaneGeometry::AssemblyNode& n : target.nodes) {
            names.push_back(n.name);
        }
        return names;
    }
    // The component paths the part extraction asked transformations for, in order.
    std::vector<std::string> transformationPaths() {
        std::vector<std::string> paths;
        for (const Hostsim::Call& call : session.log().calls()) {
            if (call.function == "ProAsmcomppathTrfGet") {
                paths.push_back(call.item);
            }
        }
        return paths;
    }
};

TEST_F(WalkTest, ThePathFollowsTheWalkAndOtherFeaturesAddNothing) {
    session.recordCalls();
    Hostsim::Model& root = assembly(L"R");
    boxPart(L"P");
    Hostsim::Model& sub = subAssembly(L"S");
    sub.addFeature(923);
    Hostsim::Feature& inSub = sub.addComponent(L"P");
    root.addFeature(923);
    Hostsim::Feature& first = root.addComponent(L"P");
    root.addFeature(924);
    Hostsim::Feature& placeSub = root.addComponent(L"S", translationMatrix(0, 0, 9));
    Hostsim::Feature& last = root.addComponent(L"P", translationMatrix(5, 0, 0));
    ASSERT_EQ(run(), PRO_TK_NO_ERROR);
    const std::string id1 = std::to_string(first.id), idS = std::to_string(placeSub.id),
                      idIn = std::to_string(inSub.id), idLast = std::to_string(last.id);
    EXPECT_EQ(transformationPaths(),
              (std::vector<std::string>{"R/" + id1, "R/" + idS + "/" + idIn, "R/" + idLast}));
    EXPECT_EQ(nodeNames(), (std::vector<std::string>{"R", "S"}));
    EXPECT_EQ(target.nodes[0].children, (Children{{0, false}, {1, true}, {2, false}}));
    EXPECT_EQ(target.nodes[1].children, (Children{{1, false}}));
    EXPECT_EQ(target.components[1].matrix[11], 9.0);
}

TEST_F(WalkTest, NodesAreNumberedDepthFirstBeforeTheirContents) {
    Hostsim::Model& root = assembly(L"R");
    boxPart(L"P");
    Hostsim::Model& outer = subAssembly(L"OUTER");
    Hostsim::Model& inner = subAssembly(L"INNER");
    Hostsim::Model& sibling = subAssembly(L"SIBLING");
    inner.addComponent(L"P");
    outer.addComponent(L"INNER");
    outer.addComponent(L"P", translationMatrix(1, 0, 0));
    sibling.addComponent(L"P", translationMatrix(2, 0, 0));
    root.addComponent(L"OUTER");
    root.addComponent(L"P", translationMatrix(3, 0, 0));
    root.addComponent(L"SIBLING");
    root.addComponent(L"OUTER", translationMatrix(0, 50, 0));
    ASSERT_EQ(run(), PRO_TK_NO_ERROR);
    EXPECT_EQ(nodeNames(),
              (std::vector<std::string>{"R", "OUTER", "INNER", "SIBLING", "OUTER", "INNER"}));
    EXPECT_EQ(target.nodes[0].children, (Children{{1, true}, {2, false}, {3, true}, {4, true}}));
    EXPECT_EQ(target.nodes[1].children, (Children{{2, true}, {1, false}}));
    EXPECT_EQ(target.nodes[2].children, (Children{{0, false}}));
    EXPECT_EQ(target.nodes[3].children, (Children{{3, false}}));
    EXPECT_EQ(target.nodes[4].children, (Children{{5, true}, {5, false}}));
    EXPECT_EQ(target.nodes[5].children, (Children{{4, false}}));
    for (const KorvaneGeometry::AssemblyNode& n : target.nodes) {
        EXPECT_TRUE(n.attributes.empty());
        EXPECT_EQ(n.matrix, KorvaneGeometry::kIdentityMatrix);
    }
    EXPECT_EQ(target.components.size(), 6u);
}

TEST_F(WalkTest, ASubassemblyWithoutFeaturesIsWarnedAboutOnce) {
    Hostsim::Model& root = assembly(L"R");
    subAssembly(L"EMPTY");
    for (int i = 0; i < 3; ++i) {
        root.addComponent(L"EMPTY", translationMatrix(i, 0, 0));
    }
    ASSERT_EQ(run(), PRO_TK_NO_ERROR);
    EXPECT_EQ(nodeNames(), (std::vector<std::string>{"R", "EMPTY", "EMPTY", "EMPTY"}));
    EXPECT_EQ(target.nodes[0].children, (Children{{1, true}, {2, true}, {3, true}}));
    EXPECT_EQ(warnings(), std::vector<std::string>{"WarningAssemblyHasNoComponents %0s"});
    EXPECT_EQ(warningNames(), std::vector<std::string>{"EMPTY"});
}

TEST_F(WalkTest, AFailingWarningEndsTheWalk) {
    Hostsim::Model& root = assembly(L"R");
    subAssembly(L"EMPTY");
    root.addComponent(L"EMPTY");
    session.faults().always("ProMessageDisplay", -5);
    EXPECT_EQ(run(), -5);
}

TEST_F(WalkTest, AComponentOfAnotherModelTypeEndsTheExtraction) {
    Hostsim::Model& root = assembly(L"R");
    session.addModel(L"DRAWING", Hostsim::ModelType::Other);
    boxPart(L"P");
    root.addComponent(L"P");
    root.addComponent(L"DRAWING");
    EXPECT_EQ(run(), TARVELO_MODEL_NOT_USABLE);
    EXPECT_EQ(target.components.size(), 1u); // what was added stays for the caller to discard
}

// A chain of 'levels' assemblies below the root, the last holding the part: the part's
// component feature sits on level levels + 1.
void buildChain(Hostsim::Session& session, int levels) {
    HostTest::addAssemblyChain(session, levels).addComponent(L"P", translationMatrix(0, 0, 1));
}

TEST_F(WalkTest, TwentyFiveLevelsComplete) {
    session.recordCalls();
    boxPart(L"P");
    buildChain(session, 24);
    ASSERT_EQ(run(), PRO_TK_NO_ERROR);
    EXPECT_EQ(target.nodes.size(), 25u);
    ASSERT_EQ(target.components.size(), 1u);
    EXPECT_EQ(target.components[0].matrix[3], 24.0);
    EXPECT_EQ(target.components[0].matrix[11], 1.0);
    const std::vector<std::string> paths = transformationPaths();
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(std::count(paths[0].begin(), paths[0].end(), '/'), 25);
}

TEST_F(WalkTest, AComponentOnATwentySixthLevelEndsTheExtractionClearly) {
    boxPart(L"P");
    buildChain(session, 25);
    EXPECT_EQ(run(), TARVELO_NESTING_TOO_DEEP);
    EXPECT_EQ(target.nodes.size(), 26u);
    EXPECT_TRUE(target.components.empty());
}

struct DeepCase {
    const char* label;
    void (*add)(Hostsim::Model& deepest); // what the 26th level holds after a datum
    ProErrors status;
};

TEST_F(WalkTest, OnlyAComponentThatWouldBeTakenEndsTheExtractionOnTheTwentySixthLevel) {
    const DeepCase cases[] = {
        {"a datum only", [](Hostsim::Model&) {}, PRO_TK_NO_ERROR},
        {"a hidden component", [](Hostsim::Model& m) { m.addComponent(L"P").hidden = true; },
         PRO_TK_NO_ERROR},
        {"an invisible component", [](Hostsim::Model& m) { m.addComponent(L"P").visible = false; },
         PRO_TK_NO_ERROR},
        {"a component whose model is not found",
         [](Hostsim::Model& m) { m.addComponent(L"P").componentModel.reset(); }, PRO_TK_NO_ERROR},
        {"all of them, then a shown component",
         [](Hostsim::Model& m) {
             m.addComponent(L"P").hidden = true;
             m.addComponent(L"P").visible = false;
             m.addComponent(L"P").componentModel.reset();
             m.addComponent(L"P", translationMatrix(3, 0, 0));
         },
         TARVELO_NESTING_TOO_DEEP},
    };
    for (const DeepCase& c : cases) {
        SCOPED_TRACE(c.label);
        Hostsim::Session fresh;
        HostTest::RuntimeAttachment attach(fresh);
        HostTest::addBoxPart(fresh, L"P");
        Hostsim::Model& deepest = HostTest::addAssemblyChain(fresh, 25);
        // A part on the first level, so that a finished walk has something to show.
        fresh.current()->addComponent(L"P", translationMatrix(0, 7, 0));
        c.add(deepest);
        KorvaneGeometry::CAD_Assembly model;
        EXPECT_EQ(Velmora::CreoImport::computeAssembly(model, options), c.status);
        EXPECT_EQ(model.nodes.size(), 26u);
        if (c.status == PRO_TK_NO_ERROR) {
            ASSERT_EQ(model.components.size(), 1u);
            EXPECT_EQ(model.components[0].matrix[7], 7.0);
        }
        HostTest::expectLedgerClean(fresh);
    }
}

} // namespace
