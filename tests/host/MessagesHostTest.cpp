// The host's message area, message texts, message dialogs and commands.
#include "HostTestSupport.h"
#include "MessageFile.h"

#include <fstream>

namespace {

using HostTest::HostSessionTest;

class MessageHostTest : public HostSessionTest {};

TEST_F(MessageHostTest, DisplaySubstitutesTheArgumentAndKeepsATranscript) {
    EXPECT_EQ(ProMessageClear(), PRO_TK_NO_ERROR);
    EXPECT_EQ(
        ProMessageDisplay(L"TarveloMessages.txt", "ExportTvlFile %0s", "/w/PART.tvl", nullptr),
        PRO_TK_NO_ERROR);
    const auto& entries = session.transcript().entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].kind, Hostsim::TranscriptEntry::Kind::Clear);
    EXPECT_EQ(entries[1].key, "ExportTvlFile %0s");
    EXPECT_EQ(entries[1].args, std::vector<std::string>{"/w/PART.tvl"});
    EXPECT_EQ(entries[1].text, "The exchange file was written: /w/PART.tvl");
}

TEST_F(MessageHostTest, UnknownKeysMissingArgumentsAndMissingFilesAreRefused) {
    EXPECT_EQ(ProMessageDisplay(L"TarveloMessages.txt", "NoSuchKey", nullptr, nullptr),
              PRO_TK_E_NOT_FOUND);
    EXPECT_EQ(ProMessageDisplay(L"TarveloMessages.txt", "ExportTvlFile %0s", nullptr, nullptr),
              PRO_TK_BAD_INPUTS);
    EXPECT_EQ(ProMessageDisplay(L"TarveloMessages.txt", "ExportTvlSuccess", nullptr, "x"),
              PRO_TK_BAD_INPUTS);
    EXPECT_EQ(ProMessageDisplay(L"Missing.txt", "ExportTvlSuccess", nullptr, nullptr),
              PRO_TK_E_NOT_FOUND);
    EXPECT_TRUE(session.transcript().entries().empty());
}

TEST_F(MessageHostTest, WstringbufferHandsOutARecordedText) {
    wchar_t* text = nullptr;
    ASSERT_EQ(ProMessageWstringbufferAlloc(&text, L"TarveloMessages.txt", "TarveloGateway", nullptr,
                                           nullptr),
              PRO_TK_NO_ERROR);
    EXPECT_EQ(std::wstring(text), L"Tarvelo Gateway");
    EXPECT_FALSE(session.ledger().empty());
    EXPECT_EQ(ProWstringFree(text), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProWstringFree(text), PRO_TK_BAD_INPUTS);
    session.ledger().reset(); // the refused release was this test's own doing
}

TEST_F(MessageHostTest, MessageDialogNeedsALiveButtonList) {
    int local[1] = {6};
    int reply = 0;
    EXPECT_EQ(ProUIMessageDialogDisplay(2, L"T", L"X", local, 6, &reply), PRO_TK_BAD_INPUTS);
    ProArray buttons = nullptr;
    ASSERT_EQ(ProArrayAlloc(1, 4, 1, &buttons), PRO_TK_NO_ERROR);
    static_cast<int*>(buttons)[0] = 6;
    EXPECT_EQ(ProUIMessageDialogDisplay(2, L"T", L"X", static_cast<int*>(buttons), 7, &reply),
              PRO_TK_BAD_INPUTS);
    EXPECT_EQ(ProUIMessageDialogDisplay(2, L"T", L"X", static_cast<int*>(buttons), 6, &reply),
              PRO_TK_NO_ERROR);
    EXPECT_EQ(reply, 6);
    ASSERT_EQ(session.transcript().dialogs().size(), 1u);
    EXPECT_EQ(session.transcript().dialogs()[0]->title, "T");
    EXPECT_EQ(ProArrayFree(&buttons), PRO_TK_NO_ERROR);
    session.ledger().reset(); // the refused local list was recorded on purpose
}

// A dialog whose texts the host made from message keys is known by those keys; texts of the
// plug-in's own are not.
TEST_F(MessageHostTest, AMessageDialogIsKnownByTheKeysOfItsTexts) {
    ProArray buttons = nullptr;
    ASSERT_EQ(ProArrayAlloc(1, 4, 1, &buttons), PRO_TK_NO_ERROR);
    static_cast<int*>(buttons)[0] = 6;
    wchar_t *title = nullptr, *text = nullptr;
    ASSERT_EQ(ProMessageWstringbufferAlloc(&title, L"TarveloMessages.txt", "TarveloGateway",
                                           nullptr, nullptr),
              PRO_TK_NO_ERROR);
    ASSERT_EQ(ProMessageWstringbufferAlloc(&text, L"TarveloMessages.txt", "CreoImportError",
                                           nullptr, nullptr),
              PRO_TK_NO_ERROR);
    int reply = 0;
    EXPECT_EQ(ProUIMessageDialogDisplay(2, title, text, static_cast<int*>(buttons), 6, &reply),
              PRO_TK_NO_ERROR);
    const wchar_t own[] = L"The model could not be read for the export.";
    EXPECT_EQ(ProUIMessageDialogDisplay(2, own, own, static_cast<int*>(buttons), 6, &reply),
              PRO_TK_NO_ERROR);
    const auto dialogs = session.transcript().dialogs();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0]->titleKey, "TarveloGateway");
    EXPECT_EQ(dialogs[0]->textKey, "CreoImportError");
    EXPECT_EQ(dialogs[1]->titleKey, "");
    EXPECT_EQ(dialogs[1]->textKey, "");
    EXPECT_TRUE(session.transcript().shows("CreoImportError"));
    EXPECT_FALSE(session.transcript().shows("ExportTvlFailed"));
    // Shown like message-area lines: the text's key, then the text; a title of its own follows.
    wchar_t* same = nullptr;
    ASSERT_EQ(ProMessageWstringbufferAlloc(&same, L"TarveloMessages.txt", "CreoImportError",
                                           nullptr, nullptr),
              PRO_TK_NO_ERROR);
    EXPECT_EQ(ProUIMessageDialogDisplay(2, same, text, static_cast<int*>(buttons), 6, &reply),
              PRO_TK_NO_ERROR);
    EXPECT_EQ(ProMessageDisplay(L"TarveloMessages.txt", "ExportTvlSuccess", nullptr, nullptr),
              PRO_TK_NO_ERROR);
    EXPECT_EQ(session.transcript().render(),
              "dialog CreoImportError: The model could not be read for the export. (title "
              "TarveloGateway: Tarvelo Gateway)\n"
              "dialog (no key): The model could not be read for the export.\n"
              "dialog CreoImportError: The model could not be read for the export.\n"
              "area ExportTvlSuccess: The exchange file was written.\n");
    EXPECT_EQ(ProWstringFree(same), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProWstringFree(title), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProWstringFree(text), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProArrayFree(&buttons), PRO_TK_NO_ERROR);
}

int g_actionCalls = 0;
int commandAction(uiCmdCmdId, uiCmdValue*, void*) {
    return ++g_actionCalls;
}
uiCmdAccessState available(uiCmdAccessMode) {
    return ACCESS_AVAILABLE;
}

TEST_F(MessageHostTest, CommandsAreRegisteredDesignatedAndInvoked) {
    uiCmdCmdId id = nullptr;
    ASSERT_EQ(ProCmdActionAdd("Tarvelo Gateway", commandAction, 2, available, 1, 1, &id),
              PRO_TK_NO_ERROR);
    uiCmdCmdId again = nullptr;
    EXPECT_EQ(ProCmdActionAdd("Tarvelo Gateway", commandAction, 2, available, 1, 1, &again),
              PRO_TK_E_FOUND);
    ASSERT_EQ(ProResourcePathInit(), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProCmdDesignate(id, "TarveloGateway", "TarveloGateway", "TarveloGateway",
                              L"TarveloMessages.txt"),
              PRO_TK_NO_ERROR);
    EXPECT_EQ(ProCmdIconSet(id, "Missing.png"), PRO_TK_E_NOT_FOUND);
    EXPECT_EQ(ProCmdIconSet(id, "IconLarge.png"), PRO_TK_NO_ERROR);
    const Hostsim::Command& c = session.commands().at(0);
    EXPECT_EQ(c.label, "Tarvelo Gateway");
    EXPECT_EQ(c.icon, "IconLarge.png");
    EXPECT_EQ(c.priority, 2);
    g_actionCalls = 0;
    EXPECT_EQ(session.invokeCommand("Tarvelo Gateway"), std::optional<int>(1));
    EXPECT_EQ(session.invokeCommand("Other"), std::nullopt);
    EXPECT_EQ(session.storedResourcePath, ProToolkitRuntime::resourceDirectory());
}

TEST(MessageFile, ParsesEntriesAndRefusesBrokenFiles) {
    Hostsim::MessageFile f =
        Hostsim::MessageFile::parse("# c\n\nKey %0s\r\nText %0s and %%\n", "m.txt");
    EXPECT_EQ(f.text("Key %0s"), std::optional<std::string>("Text %0s and %%"));
    EXPECT_EQ(Hostsim::MessageFile::format("Text %0s and %%", {"x"}),
              std::optional<std::string>("Text x and %"));
    EXPECT_EQ(Hostsim::MessageFile::format("%1s", {"x"}), std::nullopt);
    EXPECT_THROW(Hostsim::MessageFile::parse("A\na\nA\nb\n", "m.txt"), std::runtime_error);
    EXPECT_THROW(Hostsim::MessageFile::parse("A\n", "m.txt"), std::runtime_error);
}

// Every key the plug-in shows, and the command's designation key, has a text.
TEST(MessageResources, TheMessageFileHasEveryKey) {
    Hostsim::Session session;
    Hostsim::MessageFile f = Hostsim::MessageFile::load(Hostsim::hostPath(session.textRoot) /
                                                        "text" / "TarveloMessages.txt");
    const std::vector<std::string> keys = {"CreoImportError",
                                           "ExportTvlFailed",
                                           "ExportTvlSuccess",
                                           "ExportTvlFile %0s",
                                           "TarveloNotInstalled",
                                           "TarveloOpenSuccess",
                                           "TarveloOpenFailed",
                                           "DeleteTvlFailed",
                                           "WarningAssemblyHasNoComponents %0s",
                                           "WarningPartFailed %0s",
                                           "WarningBodiesOfPartFailed %0s",
                                           "WarningSurfaceTessellationFailed %0s",
                                           "WarningDuplicateComponent %0s",
                                           "TarveloGateway"};
    EXPECT_EQ(f.entries().size(), keys.size());
    for (const std::string& key : keys) {
        std::optional<std::string> text = f.text(key);
        ASSERT_TRUE(text) << key;
        bool takesArgument = key.find(" %0s") != std::string::npos;
        EXPECT_EQ(text->find("%0s") != std::string::npos, takesArgument) << key;
    }
}

} // namespace
