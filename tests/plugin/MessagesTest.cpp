// showMessage and showMessageDialog through the stand-in host.
#include "Messages.h"
#include "HostTestSupport.h"
#include "PrintedValue.h"

#include <fstream>
#include <ostream>

namespace {

using Velmora::showMessage;
using Velmora::showMessageDialog;

class ShowMessageTest : public HostTest::HostSessionTest {};

TEST_F(ShowMessageTest, ClearsThenShowsAKeyWithoutArguments) {
    session.recordCalls();
    EXPECT_EQ(showMessage("ExportTvlSuccess"), PRO_TK_NO_ERROR);
    EXPECT_EQ(session.log().functions(),
              (std::vector<std::string>{"ProMessageClear", "ProMessageDisplay"}));
    EXPECT_EQ(session.log().calls()[1].item, "ExportTvlSuccess");
    EXPECT_EQ(session.log().calls()[1].detail, "");
    EXPECT_EQ(session.transcript().render(), "clear\narea ExportTvlSuccess: The exchange file was "
                                             "written.\n");
}

TEST_F(ShowMessageTest, PassesOneArgumentAsTheFirstFormatArgument) {
    session.recordCalls();
    EXPECT_EQ(showMessage("ExportTvlFile %0s", {"/work/PART.tvl"}), PRO_TK_NO_ERROR);
    EXPECT_EQ(session.log().calls()[1].detail, "arg1=/work/PART.tvl");
    EXPECT_EQ(session.transcript().areaKeys(), std::vector<std::string>{"ExportTvlFile %0s"});
    EXPECT_EQ(session.transcript().entries().back().text,
              "The exchange file was written: /work/PART.tvl");
}

TEST_F(ShowMessageTest, PassesTwoArgumentsInListOrder) {
    std::filesystem::path root = HostTest::temporaryDirectory("messages");
    std::filesystem::create_directories(root / "text");
    std::ofstream(root / "text" / "TarveloMessages.txt") << "Pair %0s\n%1s then %0s\n";
    runtime.reset();
    session.textRoot = root.wstring();
    runtime = std::make_unique<HostTest::RuntimeAttachment>(session);
    EXPECT_EQ(showMessage("Pair %0s", {"first", "second"}), PRO_TK_NO_ERROR);
    EXPECT_EQ(session.transcript().entries().back().text, "second then first");
    std::filesystem::remove_all(root);
}

TEST_F(ShowMessageTest, ReturnsTheDisplayStatusUnchanged) {
    session.recordCalls();
    session.faults().always("ProMessageDisplay", -31);
    session.faults().always("ProMessageClear", PRO_TK_GENERAL_ERROR);
    EXPECT_EQ(showMessage("ExportTvlSuccess"), -31);
    EXPECT_EQ(session.log().functions(),
              (std::vector<std::string>{"ProMessageClear", "ProMessageDisplay"}));
    session.faults().clear();
    EXPECT_EQ(showMessage("NoSuchKey"), PRO_TK_E_NOT_FOUND);
}

TEST_F(ShowMessageTest, MoreThanTwoArgumentsAreRefusedBeforeAnyHostCall) {
    session.recordCalls();
    EXPECT_EQ(showMessage("ExportTvlFile %0s", {"a", "b", "c"}), PRO_TK_BAD_INPUTS);
    EXPECT_TRUE(session.log().calls().empty());
}

class ShowMessageDialogTest : public HostTest::HostSessionTest {};

TEST_F(ShowMessageDialogTest, ShowsOneDialogWithOneButtonAndReleasesEverything) {
    session.recordCalls();
    EXPECT_EQ(showMessageDialog("CreoImportError", "CreoImportError"), PRO_TK_NO_ERROR);
    auto dialogs = session.transcript().dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0]->title, "The model could not be read for the export.");
    EXPECT_EQ(dialogs[0]->text, dialogs[0]->title);
    EXPECT_EQ(dialogs[0]->type, 2);
    EXPECT_EQ(dialogs[0]->buttons, std::vector<int>{6});
    EXPECT_EQ(dialogs[0]->defaultButton, 6);
    EXPECT_EQ(session.log().functions(),
              (std::vector<std::string>{"ProArrayAlloc", "ProMessageWstringbufferAlloc",
                                        "ProMessageWstringbufferAlloc", "ProUIMessageDialogDisplay",
                                        "ProWstringFree", "ProWstringFree", "ProArrayFree"}));
    EXPECT_EQ(session.log().calls()[0].detail, "count=1 size=4 step=1");
    EXPECT_EQ(session.log().calls()[1].item, "CreoImportError");
    EXPECT_EQ(session.log().calls()[1].detail, "");
}

TEST_F(ShowMessageDialogTest, TitleAndTextComeFromTheirOwnKeys) {
    EXPECT_EQ(showMessageDialog("TarveloGateway", "ExportTvlFailed"), PRO_TK_NO_ERROR);
    auto dialogs = session.transcript().dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0]->title, "Tarvelo Gateway");
    EXPECT_EQ(dialogs[0]->text, "The exchange file could not be written.");
}

// A failing step: which call fails (the n-th of that function), and what follows.
struct FailingStep {
    const char* name;
    const char* function;
    int call;
    ProErrors status;
    bool dialogShown;
    std::vector<std::string> calls;
};

void PrintTo(const FailingStep& c, std::ostream* os) {
    *os << c.name << ": call " << c.call << " of " << c.function << " fails with " << c.status
        << " -> dialog " << (c.dialogShown ? "shown" : "not shown") << ", calls "
        << PrintedValue::texts(c.calls);
}

class ShowMessageDialogFailure : public HostTest::HostSessionTest,
                                 public ::testing::WithParamInterface<FailingStep> {};

TEST_P(ShowMessageDialogFailure, EndsWithTheStepsStatusAndReleasesWhatItHolds) {
    session.recordCalls();
    const FailingStep& step = GetParam();
    session.faults().onCall(step.function, step.call, step.status);
    EXPECT_EQ(showMessageDialog("CreoImportError", "CreoImportError"), step.status);
    EXPECT_EQ(session.transcript().dialogs().size(), step.dialogShown ? 1u : 0u);
    EXPECT_EQ(session.log().functions(), step.calls) << session.log().render();
    // An injected release failure leaves that block live; the rest must be released.
    if (std::string(step.function) == "ProWstringFree") {
        EXPECT_EQ(session.ledger().outstanding(), 1u) << session.ledger().report();
        session.ledger().reset();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ShowMessageDialogFailure,
    ::testing::Values(
        FailingStep{"ButtonList", "ProArrayAlloc", 1, -1, false, {"ProArrayAlloc"}},
        FailingStep{"TitleLookup",
                    "ProMessageWstringbufferAlloc",
                    1,
                    PRO_TK_E_NOT_FOUND,
                    false,
                    {"ProArrayAlloc", "ProMessageWstringbufferAlloc", "ProArrayFree"}},
        FailingStep{"TextLookup",
                    "ProMessageWstringbufferAlloc",
                    2,
                    -3,
                    false,
                    {"ProArrayAlloc", "ProMessageWstringbufferAlloc",
                     "ProMessageWstringbufferAlloc", "ProWstringFree", "ProArrayFree"}},
        FailingStep{"Display",
                    "ProUIMessageDialogDisplay",
                    1,
                    -9,
                    false,
                    {"ProArrayAlloc", "ProMessageWstringbufferAlloc",
                     "ProMessageWstringbufferAlloc", "ProUIMessageDialogDisplay", "ProWstringFree",
                     "ProWstringFree", "ProArrayFree"}},
        FailingStep{"TitleRelease",
                    "ProWstringFree",
                    1,
                    -5,
                    true,
                    {"ProArrayAlloc", "ProMessageWstringbufferAlloc",
                     "ProMessageWstringbufferAlloc", "ProUIMessageDialogDisplay", "ProWstringFree",
                     "ProWstringFree", "ProArrayFree"}},
        FailingStep{"TextRelease",
                    "ProWstringFree",
                    2,
                    -6,
                    true,
                    {"ProArrayAlloc", "ProMessageWstringbufferAlloc",
                     "ProMessageWstringbufferAlloc", "ProUIMessageDialogDisplay", "ProWstringFree",
                     "ProWstringFree", "ProArrayFree"}}),
    PrintedValue::caseName<FailingStep>);

TEST_F(ShowMessageDialogTest, AFailingButtonListReleaseDoesNotChangeTheResult) {
    session.faults().always("ProArrayFree", -13);
    EXPECT_EQ(showMessageDialog("CreoImportError", "CreoImportError"), PRO_TK_NO_ERROR);
    session.ledger().reset(); // the injected release failure left the list live
}

TEST_F(ShowMessageDialogTest, AnUnknownTextKeyShowsNothing) {
    EXPECT_EQ(showMessageDialog("CreoImportError", "NoSuchKey"), PRO_TK_E_NOT_FOUND);
    EXPECT_TRUE(session.transcript().dialogs().empty());
}

} // namespace
