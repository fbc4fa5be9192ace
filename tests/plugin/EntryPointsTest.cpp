// Start-up, shut-down and the command's access function through the stand-in host.
#include "EntryPoints.h"
#include "PluginSessionTest.h"
#include "ProToolkitRuntime.h"

namespace {

class EntryPointsTest : public PluginTest::PluginSessionTest {
protected:
    int initialize() {
        char* argv[] = {nullptr};
        char empty[] = "";
        wchar_t errorText[80] = {};
        int status = user_initialize(0, argv, empty, empty, errorText);
        EXPECT_EQ(errorText[0], L'\0'); // nothing is written into it
        return status;
    }
};

TEST_F(EntryPointsTest, AllStepsSucceedAndTheCommandIsComplete) {
    session.recordCalls();
    session.log().clear();
    EXPECT_EQ(initialize(), PRO_TK_NO_ERROR);
    EXPECT_EQ(session.log().functions(),
              (std::vector<std::string>{"ProUIResourcepathStore", "ProCmdActionAdd",
                                        "ProCmdDesignate", "ProCmdIconSet"}));
    EXPECT_EQ(session.log().calls()[1].detail, "priority=2 flags=1,1");
    const Hostsim::Command* c = session.findCommand("Tarvelo Gateway");
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(c->designated);
    EXPECT_EQ(c->labelKey, "TarveloGateway");
    EXPECT_EQ(c->helpKey, "TarveloGateway");
    EXPECT_EQ(c->descriptionKey, "TarveloGateway");
    EXPECT_EQ(c->label, "Tarvelo Gateway");
    EXPECT_EQ(c->messageFile, L"TarveloMessages.txt");
    EXPECT_EQ(c->icon, "IconLarge.png");
    EXPECT_EQ(c->priority, 2);
    // The language-neutral resource directory.
    const std::wstring suffix = L"\\text\\resource";
    ASSERT_GE(session.storedResourcePath.size(), suffix.size());
    EXPECT_EQ(session.storedResourcePath.substr(session.storedResourcePath.size() - suffix.size()),
              suffix);
}

TEST_F(EntryPointsTest, TheFirstFailingStepEndsTheStartUpWithItsStatus) {
    struct Case {
        const char* function;
        ProErrors status;
        bool registered;
        bool designated;
        std::vector<std::string> calls;
    };
    const std::vector<Case> cases = {
        {"ProUIResourcepathStore", -1, false, false, {"ProUIResourcepathStore"}},
        {"ProCmdActionAdd", -7, false, false, {"ProUIResourcepathStore", "ProCmdActionAdd"}},
        {"ProCmdDesignate",
         -4,
         true,
         false,
         {"ProUIResourcepathStore", "ProCmdActionAdd", "ProCmdDesignate"}},
        {"ProCmdIconSet",
         -2,
         true,
         true,
         {"ProUIResourcepathStore", "ProCmdActionAdd", "ProCmdDesignate", "ProCmdIconSet"}},
    };
    for (const Case& c : cases) {
        Hostsim::Session fresh;
        HostTest::RuntimeAttachment attached(fresh);
        fresh.recordCalls();
        fresh.faults().always(c.function, c.status);
        EXPECT_EQ(initialize(), c.status) << c.function;
        EXPECT_EQ(fresh.log().functions(), c.calls) << c.function;
        const Hostsim::Command* command = fresh.findCommand("Tarvelo Gateway");
        EXPECT_EQ(command != nullptr, c.registered) << c.function;
        if (command != nullptr) {
            EXPECT_EQ(command->designated, c.designated) << c.function;
            EXPECT_TRUE(command->icon.empty()) << c.function;
        }
        HostTest::expectLedgerClean(fresh);
    }
    // The fixture's session is active again.
    session.makeActive();
    ProToolkitRuntime::attach(session.startup());
}

TEST_F(EntryPointsTest, TheCommandIsAlwaysAvailable) {
    for (uiCmdAccessMode mode : {0, 1, 2, 3, -1, 1000}) {
        EXPECT_EQ(Velmora::commandAccess(mode), 3);
    }
}

TEST_F(EntryPointsTest, TheCommandRunsTheDialogAndTerminateChangesNothing) {
    session.recordCalls();
    ASSERT_EQ(initialize(), PRO_TK_NO_ERROR);
    g_options.chordHeight = 0.125;
    user_terminate();
    EXPECT_EQ(g_options.chordHeight, 0.125);
    ASSERT_NE(session.findCommand("Tarvelo Gateway"), nullptr);
    script("press Cancel\n");
    EXPECT_EQ(session.invokeCommand("Tarvelo Gateway"), std::optional<int>(0));
    EXPECT_EQ(session.log().count("ProUIDialogActivate"), 1);
    EXPECT_EQ(session.log().count("ProUIDialogDestroy"), 1);
}

} // namespace
