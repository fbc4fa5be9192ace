// The host's strictness: the allocation ledger, fault injection and the call log.
#include "HostTestSupport.h"

#include <stdexcept>

namespace {

using HostTest::HostSessionTest;

class LedgerTest : public ::testing::Test {
protected:
    Hostsim::Session session;
    HostTest::RuntimeAttachment runtime{session};
};

TEST_F(LedgerTest, AnUnreleasedArrayIsOutstanding) {
    ProArray array = nullptr;
    ASSERT_EQ(ProArrayAlloc(3, 8, 1, &array), PRO_TK_NO_ERROR);
    int size = 0;
    EXPECT_EQ(ProArraySizeGet(array, &size), PRO_TK_NO_ERROR);
    EXPECT_EQ(size, 3);
    EXPECT_FALSE(session.ledger().empty());
    EXPECT_NE(session.ledger().report().find("outstanding array from ProArrayAlloc"),
              std::string::npos);
    EXPECT_EQ(ProArrayFree(&array), PRO_TK_NO_ERROR);
    EXPECT_EQ(array, nullptr);
    EXPECT_TRUE(session.ledger().empty());
    EXPECT_TRUE(session.ledger().violations().empty());
}

TEST_F(LedgerTest, ASecondReleaseIsRefusedAndRecorded) {
    ProArray array = nullptr;
    ASSERT_EQ(ProArrayAlloc(1, 4, 1, &array), PRO_TK_NO_ERROR);
    ProArray copy = array;
    ASSERT_EQ(ProArrayFree(&array), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProArrayFree(&copy), PRO_TK_BAD_INPUTS);
    ASSERT_EQ(session.ledger().violations().size(), 1u);
    EXPECT_NE(session.ledger().violations()[0].find("second release"), std::string::npos);
}

TEST_F(LedgerTest, ForeignPointersAndWrongFreeFunctionsAreRefused) {
    int local = 0;
    ProArray foreign = &local;
    EXPECT_EQ(ProArrayFree(&foreign), PRO_TK_BAD_INPUTS);
    EXPECT_EQ(ProArrayFree(nullptr), PRO_TK_BAD_INPUTS);
    ProArray array = nullptr;
    ASSERT_EQ(ProArrayAlloc(1, 4, 1, &array), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProWstringFree(static_cast<wchar_t*>(array)), PRO_TK_BAD_INPUTS);
    EXPECT_EQ(ProArraySizeGet(&local, nullptr), PRO_TK_BAD_INPUTS);
    EXPECT_EQ(session.ledger().violations().size(), 4u) << session.ledger().report();
    EXPECT_EQ(ProArrayFree(&array), PRO_TK_NO_ERROR); // still live after the wrong release
    EXPECT_TRUE(session.ledger().empty());
}

TEST_F(LedgerTest, AStringArrayIsReleasedWithItsOwnCount) {
    char** names = session.ledger().allocateStringArray("test", {"a", "b"});
    EXPECT_EQ(ProStringarrayFree(names, 3), PRO_TK_BAD_INPUTS);
    EXPECT_EQ(ProStringarrayFree(names, 2), PRO_TK_NO_ERROR);
    EXPECT_TRUE(session.ledger().empty());
    EXPECT_EQ(session.ledger().violations().size(), 1u);
}

TEST_F(LedgerTest, ArrayAllocRefusesBadSizes) {
    ProArray array = nullptr;
    EXPECT_EQ(ProArrayAlloc(-1, 4, 1, &array), PRO_TK_BAD_INPUTS);
    EXPECT_EQ(ProArrayAlloc(1, 0, 1, &array), PRO_TK_BAD_INPUTS);
    EXPECT_EQ(ProArrayAlloc(1, 4, 1, nullptr), PRO_TK_BAD_INPUTS);
    EXPECT_TRUE(session.ledger().empty());
}

class FaultTest : public HostSessionTest {};

TEST_F(FaultTest, AlwaysMakesEveryCallFail) {
    session.addPart(L"P");
    session.faults().always("ProMdlCurrentGet", PRO_TK_GENERAL_ERROR);
    ProMdl model = nullptr;
    EXPECT_EQ(ProMdlCurrentGet(&model), PRO_TK_GENERAL_ERROR);
    EXPECT_EQ(ProMdlCurrentGet(&model), PRO_TK_GENERAL_ERROR);
    EXPECT_EQ(model, nullptr);
    session.faults().clear();
    EXPECT_EQ(ProMdlCurrentGet(&model), PRO_TK_NO_ERROR);
}

TEST_F(FaultTest, OnCallFailsOnlyTheNthCallFromNow) {
    Hostsim::Model& part = session.addPart(L"P");
    ProMdlType type = 0;
    EXPECT_EQ(ProMdlTypeGet(session.handle(part), &type), PRO_TK_NO_ERROR);
    session.faults().onCall("ProMdlTypeGet", 2, PRO_TK_BAD_CONTEXT);
    EXPECT_EQ(ProMdlTypeGet(session.handle(part), &type), PRO_TK_NO_ERROR);
    type = 0;
    EXPECT_EQ(ProMdlTypeGet(session.handle(part), &type), PRO_TK_BAD_CONTEXT);
    EXPECT_EQ(type, 0);
    EXPECT_EQ(ProMdlTypeGet(session.handle(part), &type), PRO_TK_NO_ERROR);
}

ProErrors tessellate(Hostsim::Session& session, const Hostsim::Surface& surface,
                     ProTessellation& tessellation) {
    ProSurfaceTessellationInput input = nullptr;
    EXPECT_EQ(ProSurfacetessellationinputAlloc(&input), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProSurfacetessellationinputChordheightSet(input, 0.1), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProSurfacetessellationinputAnglecontrolSet(input, 0.5), PRO_TK_NO_ERROR);
    ProErrors status = ProSurfaceTessellationGet(session.handle(surface), input, &tessellation);
    EXPECT_EQ(ProSurfacetessellationinputFree(input), PRO_TK_NO_ERROR);
    return status;
}

TEST_F(FaultTest, ForItemFailsOnlyThatItem) {
    Hostsim::Model& part = HostTest::addBoxPart(session, L"BOX");
    Hostsim::Body& body = part.bodies.front();
    const Hostsim::Surface& second = body.surfaces[1];
    session.faults().forItem("ProSurfaceTessellationGet", session.key(second),
                             PRO_TK_INCOMPLETE_TESS);
    for (const Hostsim::Surface& s : body.surfaces) {
        ProTessellation t = nullptr;
        ProErrors status = tessellate(session, s, t);
        if (&s == &second) {
            EXPECT_EQ(status, PRO_TK_INCOMPLETE_TESS);
            EXPECT_EQ(t, nullptr);
        } else {
            EXPECT_EQ(status, PRO_TK_NO_ERROR);
            EXPECT_EQ(ProTessellationFree(t), PRO_TK_NO_ERROR);
        }
    }
}

TEST_F(FaultTest, ASurfaceCarriesItsOwnTessellationOutcome) {
    Hostsim::Model& part = HostTest::addBoxPart(session, L"BOX");
    part.bodies.front().surfaces[0].tessellationStatus = PRO_TK_INCOMPLETE_TESS;
    ProTessellation t = nullptr;
    EXPECT_EQ(tessellate(session, part.bodies.front().surfaces[0], t), PRO_TK_INCOMPLETE_TESS);
    EXPECT_EQ(tessellate(session, part.bodies.front().surfaces[1], t), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProTessellationFree(t), PRO_TK_NO_ERROR);
}

TEST_F(FaultTest, TheLogRecordsCallsItemsDetailsAndInjections) {
    Hostsim::Model& part = session.addPart(L"PART1");
    part.addFeature(917, 5);
    session.recordCalls();
    session.faults().always("ProFeatureTypeGet", -99);
    ProMdl model = nullptr;
    ASSERT_EQ(ProMdlCurrentGet(&model), PRO_TK_NO_ERROR);
    ProFeature feature{};
    ASSERT_EQ(ProFeatureInit(model, 5, &feature), PRO_TK_NO_ERROR);
    ProFeattype type = 0;
    EXPECT_EQ(ProFeatureTypeGet(&feature, &type), -99);
    ProAsmcomppath path{};
    ASSERT_EQ(ProAsmcomppathInit(model, nullptr, 0, &path), PRO_TK_NO_ERROR);

    const auto& calls = session.log().calls();
    ASSERT_EQ(calls.size(), 4u) << session.log().render();
    EXPECT_EQ(session.log().functions(),
              (std::vector<std::string>{"ProMdlCurrentGet", "ProFeatureInit", "ProFeatureTypeGet",
                                        "ProAsmcomppathInit"}));
    EXPECT_EQ(calls[1].item, "PART1#5");
    EXPECT_EQ(calls[2].item, "PART1#5");
    EXPECT_EQ(calls[2].injected, std::optional<ProErrors>(-99));
    EXPECT_FALSE(calls[1].injected);
    EXPECT_EQ(calls[3].detail, "count=0");
    EXPECT_EQ(session.log().indexOf("ProFeatureTypeGet"), 2);
    EXPECT_EQ(session.log().count("ProMdlCurrentGet"), 1);
}

TEST_F(FaultTest, TheLogKeepsCallsOnlyWhileSwitchedOnAndFaultsCountEveryCall) {
    session.addPart(L"PART1");
    int observed = 0;
    session.callObserver = [&observed](const Hostsim::Call&) { ++observed; };
    session.faults().onCall("ProMdlCurrentGet", 3, -99);
    ProMdl model = nullptr;
    const auto call = [&model] { return ProMdlCurrentGet(&model); };

    EXPECT_EQ(call(), PRO_TK_NO_ERROR); // off by default
    EXPECT_EQ(session.log().size(), 0u);
    // Read before it was ever switched on: a fault of the test, not an empty log.
    EXPECT_THROW(session.log().count("ProMdlCurrentGet"), std::logic_error);
    session.recordCalls();
    EXPECT_EQ(call(), PRO_TK_NO_ERROR);
    EXPECT_EQ(call(), -99); // the third call, the first one unrecorded
    session.recordCalls(false);
    EXPECT_EQ(call(), PRO_TK_NO_ERROR);

    EXPECT_EQ(observed, 4);
    ASSERT_EQ(session.log().size(), 2u);
    EXPECT_EQ(session.log().count("ProMdlCurrentGet"), 2);
    EXPECT_FALSE(session.log().calls()[0].injected);
    EXPECT_EQ(session.log().calls()[1].injected, std::optional<ProErrors>(-99));
    session.callObserver = nullptr;
}

TEST(HostResolver, ImplementedFunctionsResolveAndTheRestIsNull) {
    EXPECT_NE(Hostsim::resolve("ProMdlCurrentGet"), nullptr);
    EXPECT_NE(Hostsim::resolve("ProUIMessageDialogDisplay"), nullptr);
    EXPECT_NE(Hostsim::resolve("ProUIDialogCreate"), nullptr);
    EXPECT_EQ(Hostsim::resolve("ProWideToNarrow"), nullptr); // the runtime's own
    EXPECT_EQ(Hostsim::resolve("NoSuchFunction"), nullptr);
    EXPECT_EQ(Hostsim::resolve(nullptr), nullptr);
}

TEST(HostResolver, EveryFunctionOfTheListIsImplemented) {
    for (const auto& [name, implemented] : Hostsim::hostFunctionTable()) {
        EXPECT_TRUE(implemented) << name;
    }
}

TEST(HostResolver, AnUnimplementedHostFunctionAnswersCommErrorThroughTheRuntime) {
    Hostsim::Session session;
    ProToolkitStartup startup = session.startup();
    startup.resolve = [](const char* name) -> void* {
        return std::string(name) == "ProUIDialogActivate" ? nullptr : Hostsim::resolve(name);
    };
    ASSERT_EQ(ProToolkitRuntime::attach(startup), PRO_TK_NO_ERROR);
    session.recordCalls();
    int status = 5;
    EXPECT_EQ(ProUIDialogActivate("Tarvelo", &status), PRO_TK_COMM_ERROR);
    EXPECT_EQ(status, 5);
    EXPECT_TRUE(session.log().calls().empty());
    ProToolkitRuntime::detach();
}

} // namespace
