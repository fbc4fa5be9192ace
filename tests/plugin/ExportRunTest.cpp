// The export run through the stand-in host: every way a run ends, the file-name search, the
// command line, and the real start of a stand-in "Tarvelo.exe" found through the registry.
#include "ExportRun.h"

#include "ExportDialog.h"
#include "MessageFile.h"
#include "PluginSessionTest.h"
#include "ProToolkitRuntime.h"
#include "RecorderProgram.h"
#include "TvlReader.h"
#include "Utf16.h"

#include <chrono>
#include <clocale>
#include <fstream>
#include <thread>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

namespace fs = std::filesystem;

namespace {

using RecorderProgram::kRecorder;
using RecorderProgram::kViewer;
using RecorderProgram::readLines;
using RecorderProgram::testProgramDirectory;
using RecorderProgram::waitFor;

// The narrow text of a path as the runtime makes it from wide text.
std::string narrow(const std::wstring& wide) {
    std::vector<char> out(wide.size() * PRO_TK_NARROW_PER_WIDE + 1, '\0');
    ProWideToNarrow(out.data(), wide.c_str(), static_cast<int>(out.size()));
    return out.data();
}

// Wide text of a path without the C++ locale's conversion (which knows only ASCII in "C").
std::wstring wideOf(const fs::path& path) {
#ifdef _WIN32
    return path.wstring();
#else
    return Hostsim::fromUtf8(path.string());
#endif
}

std::vector<unsigned char> utf16WithNul(const std::wstring& text) {
    std::vector<unsigned char> bytes;
    for (char16_t unit : KorvaneUtil::toUtf16(text)) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

struct RunResult {
    bool closedByExport = false;
    std::vector<std::string> areaKeys;
    std::size_t dialogs = 0;
};

class ExportRunTest : public PluginTest::PluginSessionTest {
protected:
    void SetUp() override {
        PluginSessionTest::SetUp();
        HostTest::addBoxPart(session, L"PART");
    }
    void TearDown() override {
        session.callObserver = nullptr;
        PluginSessionTest::TearDown();
    }

    // Opens the dialog, presses "Export" (after the given events) and then "Cancel": when the
    // export closed the dialog, "Cancel" is still waiting in the script.
    RunResult run(const std::string& before = "") {
        script(before + "press Export\npress Cancel\n");
        EXPECT_EQ(Velmora::openExportDialog(nullptr, nullptr, nullptr), 0);
        RunResult r;
        auto& events = session.ui().script();
        r.closedByExport = events.size() == 1 && events.front().component == "Cancel";
        events.clear();
        r.areaKeys = session.transcript().areaKeys();
        r.dialogs = session.transcript().dialogs().size();
        return r;
    }
    // A folder holding the stand-in application, named by the registry's "Path".
    fs::path install() {
        fs::path dir = work / "install";
        fs::create_directories(dir);
        fs::copy_file(testProgramDirectory() / kRecorder, dir / kViewer);
        fs::permissions(dir / kViewer, fs::perms::owner_all, fs::perm_options::add);
        setInstallPath(dir.wstring());
        return dir;
    }
    void setInstallPath(const std::wstring& dir) {
        writeRaw(HKEY_LOCAL_MACHINE, kTarveloKeyPath, L"Path", REG_SZ, utf16WithNul(dir));
    }
    // Lets the stand-in application go on and returns the arguments it got.
    std::vector<std::string> recorded(const fs::path& exchangeFile) {
        fs::path go = exchangeFile;
        go += ".go";
        std::ofstream(go).put('1');
        fs::path args = exchangeFile;
        args += ".args";
        EXPECT_TRUE(waitFor(args));
        return readLines(args);
    }
    fs::path file(const std::string& name) { return work / name; }
    std::vector<fs::path> tvlFiles() {
        std::vector<fs::path> found;
        for (const auto& e : fs::directory_iterator(work.path())) {
            if (e.path().extension() == ".tvl") {
                found.push_back(e.path().filename());
            }
        }
        std::sort(found.begin(), found.end());
        return found;
    }
};

using Keys = std::vector<std::string>;

TEST_F(ExportRunTest, AFailedExtractionShowsCreoImportErrorAndNothingElse) {
    session.recordCalls();
    session.setCurrent(&session.addModel(L"DRAWING", Hostsim::ModelType::Other));
    RunResult r = run();
    EXPECT_FALSE(r.closedByExport);
    EXPECT_EQ(r.dialogs, 1u);
    EXPECT_EQ(session.transcript().dialogs()[0]->title,
              "The model could not be read for the export.");
    EXPECT_TRUE(r.areaKeys.empty());
    EXPECT_EQ(session.log().count("ProDirectoryCurrentGet"), 0);
    EXPECT_TRUE(tvlFiles().empty());
}

TEST_F(ExportRunTest, NoWorkingDirectoryEndsTheRunSilently) {
    session.recordCalls();
    session.faults().always("ProDirectoryCurrentGet", PRO_TK_GENERAL_ERROR);
    RunResult r = run();
    EXPECT_FALSE(r.closedByExport);
    EXPECT_TRUE(r.areaKeys.empty());
    EXPECT_EQ(r.dialogs, 0u);
    EXPECT_EQ(session.log().count("ProUICheckbuttonGetState"), 0);
    EXPECT_TRUE(tvlFiles().empty());
}

TEST_F(ExportRunTest, AnUnreadableCheckButtonEndsTheRunSilentlyBeforeWriting) {
    session.faults().always("ProUICheckbuttonGetState", PRO_TK_GENERAL_ERROR);
    RunResult r = run();
    EXPECT_FALSE(r.closedByExport);
    EXPECT_TRUE(r.areaKeys.empty());
    EXPECT_TRUE(tvlFiles().empty());
}

TEST_F(ExportRunTest, AModelWithNothingToWriteLeavesNoFileAndSaysSo) {
    // An assembly with a datum feature and no component: nothing to write.
    Hostsim::Model& assembly = session.addAssembly(L"EMPTY_ASM");
    assembly.setUnit(L"mm");
    assembly.addFeature(923);
    session.setCurrent(&assembly);
    RunResult r = run();
    EXPECT_FALSE(r.closedByExport);
    ASSERT_FALSE(r.areaKeys.empty());
    EXPECT_EQ(r.areaKeys.back(), "ExportTvlFailed");
    EXPECT_TRUE(tvlFiles().empty());
}

TEST_F(ExportRunTest, WithoutInstallationTheFileStaysAndTheDialogStaysOpen) {
    RunResult r = run(); // "DeleteTvl" is set in the layout
    EXPECT_EQ(r.areaKeys, (Keys{"ExportTvlSuccess", "TarveloNotInstalled"}));
    EXPECT_FALSE(r.closedByExport);
    EXPECT_EQ(tvlFiles(), std::vector<fs::path>{"PART.tvl"});
    EXPECT_EQ(TvlTest::readFile(file("PART.tvl")).name, "PART");
}

TEST_F(ExportRunTest, WithoutDeletionTheMessageNamesTheFullPath) {
    RunResult r = run("toggle DeleteTvl\n");
    EXPECT_EQ(r.areaKeys, (Keys{"ExportTvlFile %0s", "TarveloNotInstalled"}));
    const Hostsim::TranscriptEntry* shown = nullptr;
    for (const auto& e : session.transcript().entries()) {
        if (e.key == "ExportTvlFile %0s") {
            shown = &e;
        }
    }
    ASSERT_NE(shown, nullptr);
    ASSERT_EQ(shown->args.size(), 1u);
    EXPECT_TRUE(
        fs::equivalent(Hostsim::hostPath(Hostsim::fromUtf8(shown->args[0])), file("PART.tvl")));
}

TEST_F(ExportRunTest, AFailingResultMessageStopsBeforeTheInstallation) {
    session.recordCalls();
    install();
    session.faults().forItem("ProMessageDisplay", "ExportTvlFile %0s", PRO_TK_GENERAL_ERROR);
    RunResult r = run("toggle DeleteTvl\n");
    EXPECT_FALSE(r.closedByExport);
    EXPECT_TRUE(r.areaKeys.empty()); // the failed display showed nothing
    EXPECT_EQ(session.log().count("ProMessageDisplay"), 1);
    EXPECT_TRUE(fs::exists(file("PART.tvl")));
    EXPECT_EQ(std::distance(fs::directory_iterator(work.path()), fs::directory_iterator()), 2);
}

TEST_F(ExportRunTest, AStartedApplicationGetsThePathAndClosesTheDialog) {
    install();
    RunResult r = run("toggle DeleteTvl\n");
    EXPECT_EQ(r.areaKeys, (Keys{"ExportTvlFile %0s", "TarveloOpenSuccess"}));
    EXPECT_TRUE(r.closedByExport);
    std::vector<std::string> args = recorded(file("PART.tvl"));
    ASSERT_EQ(args.size(), 1u);
    EXPECT_TRUE(fs::equivalent(fs::path(args[0]), file("PART.tvl")));
    EXPECT_TRUE(fs::exists(file("PART.tvl")));
}

TEST_F(ExportRunTest, WithDeletionTheApplicationGetsMinusDAndTheFileStaysForIt) {
    install();
    RunResult r = run();
    EXPECT_EQ(r.areaKeys, (Keys{"ExportTvlSuccess", "TarveloOpenSuccess"}));
    EXPECT_TRUE(r.closedByExport);
    std::vector<std::string> args = recorded(file("PART.tvl"));
    ASSERT_EQ(args.size(), 2u);
    EXPECT_EQ(args[1], "-d");
    EXPECT_TRUE(fs::exists(file("PART.tvl")));
}

TEST_F(ExportRunTest, AFailingSuccessMessageKeepsTheDialogOpen) {
    install();
    session.faults().forItem("ProMessageDisplay", "TarveloOpenSuccess", PRO_TK_GENERAL_ERROR);
    RunResult r = run();
    EXPECT_FALSE(r.closedByExport);
    recorded(file("PART.tvl"));
}

TEST_F(ExportRunTest, AFailedStartWithoutDeletionKeepsTheFileAndCloses) {
    setInstallPath((work / "nothing-here").wstring());
    RunResult r = run("toggle DeleteTvl\n");
    EXPECT_EQ(r.areaKeys, (Keys{"ExportTvlFile %0s", "TarveloOpenFailed"}));
    EXPECT_TRUE(r.closedByExport);
    EXPECT_TRUE(fs::exists(file("PART.tvl")));
}

TEST_F(ExportRunTest, AFailedStartWithDeletionRemovesTheFileAndCloses) {
    setInstallPath((work / "nothing-here").wstring());
    RunResult r = run();
    EXPECT_EQ(r.areaKeys, (Keys{"ExportTvlSuccess", "TarveloOpenFailed"}));
    EXPECT_TRUE(r.closedByExport);
    EXPECT_TRUE(tvlFiles().empty());
}

TEST_F(ExportRunTest, AFailingOpenFailedMessageSkipsTheRemovalAndKeepsTheDialogOpen) {
    setInstallPath((work / "nothing-here").wstring());
    session.faults().forItem("ProMessageDisplay", "TarveloOpenFailed", PRO_TK_GENERAL_ERROR);
    RunResult r = run();
    EXPECT_FALSE(r.closedByExport);
    EXPECT_EQ(r.areaKeys, Keys{"ExportTvlSuccess"});
    EXPECT_TRUE(fs::exists(file("PART.tvl")));
}

TEST_F(ExportRunTest, AFailedRemovalIsReportedAndTheDialogStillCloses) {
    setInstallPath((work / "nothing-here").wstring());
    // While the failed start is reported, something else takes the file's place.
    session.callObserver = [this](const Hostsim::Call& call) {
        if (call.function == "ProMessageDisplay" && call.item == "TarveloOpenFailed") {
            fs::remove(file("PART.tvl"));
            fs::create_directories(file("PART.tvl") / "held");
        }
    };
    RunResult r = run();
    EXPECT_EQ(r.areaKeys, (Keys{"ExportTvlSuccess", "TarveloOpenFailed", "DeleteTvlFailed"}));
    EXPECT_TRUE(r.closedByExport);
    EXPECT_TRUE(fs::exists(file("PART.tvl")));
}

TEST_F(ExportRunTest, AFailingDeleteFailedMessageKeepsTheDialogOpen) {
    setInstallPath((work / "nothing-here").wstring());
    session.callObserver = [this](const Hostsim::Call& call) {
        if (call.function == "ProMessageDisplay" && call.item == "TarveloOpenFailed") {
            fs::remove(file("PART.tvl"));
            fs::create_directories(file("PART.tvl") / "held");
        }
    };
    session.faults().forItem("ProMessageDisplay", "DeleteTvlFailed", PRO_TK_GENERAL_ERROR);
    RunResult r = run();
    EXPECT_FALSE(r.closedByExport);
}

TEST_F(ExportRunTest, TheFirstFreeNameIsTakenAndRecordedInTheFile) {
    std::ofstream(file("PART.tvl")) << "x";
    std::ofstream(file("PART_1.tvl")) << "x";
    RunResult r = run();
    EXPECT_EQ(r.areaKeys, (Keys{"ExportTvlSuccess", "TarveloNotInstalled"}));
    EXPECT_EQ(TvlTest::readFile(file("PART_2.tvl")).name, "PART_2");
    // A second press in the same dialog takes the next name.
    session.transcript().clear();
    r = run();
    EXPECT_EQ(TvlTest::readFile(file("PART_3.tvl")).name, "PART_3");
}

TEST_F(ExportRunTest, ADirectoryTakesTheNameLikeAFile) {
    fs::create_directories(file("PART.tvl"));
    run();
    EXPECT_TRUE(fs::is_directory(file("PART.tvl")));
    EXPECT_EQ(TvlTest::readFile(file("PART_1.tvl")).name, "PART_1");
}

TEST_F(ExportRunTest, WhenAllThousandNamesAreTakenNothingIsWritten) {
    session.recordCalls();
    std::ofstream(file("PART.tvl")) << "x";
    for (int i = 1; i <= 999; ++i) {
        std::ofstream(file("PART_" + std::to_string(i) + ".tvl")) << "x";
    }
    RunResult r = run();
    EXPECT_EQ(r.areaKeys, Keys{"ExportTvlFailed"});
    EXPECT_FALSE(r.closedByExport);
    EXPECT_FALSE(fs::exists(file("PART_1000.tvl")));
    EXPECT_EQ(session.log().count("ProUICheckbuttonGetState"), 0);
}

TEST(ExportRunPieces, CandidateNamesCountFromOneWithoutPadding) {
    EXPECT_EQ(Velmora::candidateBaseName("PART", 0), "PART");
    EXPECT_EQ(Velmora::candidateBaseName("PART", 1), "PART_1");
    EXPECT_EQ(Velmora::candidateBaseName("PART", 999), "PART_999");
}

TEST(ExportRunPieces, TheCommandLineCharacterForCharacter) {
    EXPECT_EQ(Velmora::tarveloCommandLine("C:\\Tarvelo", "D:\\w\\PART.tvl", false),
              "\"C:\\Tarvelo\\Tarvelo.exe\" \"D:\\w\\PART.tvl\"");
    EXPECT_EQ(Velmora::tarveloCommandLine("C:\\Tarvelo", "D:\\w\\PART.tvl", true),
              "\"C:\\Tarvelo\\Tarvelo.exe\" \"D:\\w\\PART.tvl\" -d");
    // Texts go in as they are: a trailing backslash stays, quotes are not escaped.
    EXPECT_EQ(Velmora::tarveloCommandLine("C:\\T\\", "a\"b", false),
              "\"C:\\T\\\\Tarvelo.exe\" \"a\"b\"");
    EXPECT_EQ(Velmora::tarveloCommandLine("", "", true), "\"\\Tarvelo.exe\" \"\" -d");
}

#ifndef _WIN32
TEST_F(ExportRunTest, AWorkingDirectoryTooLongForThePathBufferIsRefused) {
    session.recordCalls();
    // 259 wide characters fit the host's buffer, but their narrow form does not fit 260 bytes.
    std::wstring dir = work.path().wstring() + L"/";
    while (dir.size() < PRO_PATH_SIZE - 2) {
        dir += L'\u00e9';
    }
    session.workingDirectory = dir;
    RunResult r = run();
    EXPECT_EQ(r.areaKeys, Keys{"ExportTvlFailed"});
    EXPECT_EQ(session.log().count("ProUICheckbuttonGetState"), 0);
}
#endif

TEST_F(ExportRunTest, AWorkingDirectoryThatNarrowTextCannotHoldIsRefused) {
    session.recordCalls();
#ifdef _WIN32
    const wchar_t outside = L'\u4e2d'; // not in the ANSI code page
#else
    const wchar_t outside = static_cast<wchar_t>(0xD800); // a lone surrogate
#endif
    session.workingDirectory = work.path().wstring() + L"/x" + outside + L"y";
    RunResult r = run();
    EXPECT_EQ(r.areaKeys, Keys{"ExportTvlFailed"});
    EXPECT_EQ(session.log().count("ProUICheckbuttonGetState"), 0);
    EXPECT_TRUE(tvlFiles().empty());
}

#ifndef _WIN32
// A link that leads to itself: the existence test fails with an error other than "not found".
TEST_F(ExportRunTest, AFileSystemErrorIsReportedAndNothingEscapes) {
    fs::create_symlink("PART.tvl", file("PART.tvl"));
    RunResult r = run();
    EXPECT_EQ(r.areaKeys, Keys{"ExportTvlFailed"});
    EXPECT_FALSE(r.closedByExport);
    EXPECT_TRUE(fs::is_symlink(file("PART.tvl")));
    EXPECT_FALSE(fs::exists(file("PART_1.tvl")));
}

// The disk fills up while the file is written: the writer fails, and the part it wrote goes.
TEST_F(ExportRunTest, AFileThatCouldNotBeFinishedIsRemoved) {
    session.recordCalls();
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    RunResult r = run();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(r.areaKeys, Keys{"ExportTvlFailed"});
    EXPECT_FALSE(r.closedByExport);
    EXPECT_TRUE(tvlFiles().empty());
    EXPECT_EQ(session.log().count("ProUICheckbuttonGetState"), 1);
}
#endif

// A model name and a working directory outside ASCII reach the file system, the message and the
// application's command line as they are.
class ExportRunNonAscii : public ExportRunTest {
protected:
    void SetUp() override {
#ifndef _WIN32
        ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
#endif
        ExportRunTest::SetUp();
    }
    void TearDown() override {
        ExportRunTest::TearDown();
        std::setlocale(LC_ALL, "C");
    }
};

TEST_F(ExportRunNonAscii, NamesAndDirectoriesOutsideAsciiArriveIntact) {
    install();
    const fs::path dir = work / fs::path(u8"Gr\u00fc\u00dfe \u00e9t\u00e9");
    fs::create_directories(dir);
    session.workingDirectory = wideOf(dir);
    session.setCurrent(&HostTest::addBoxPart(session, L"GEH\u00c4USE"));
    RunResult r = run("toggle DeleteTvl\n");
    EXPECT_EQ(r.areaKeys, (Keys{"ExportTvlFile %0s", "TarveloOpenSuccess"}));
    const fs::path written = dir / fs::path(u8"GEH\u00c4USE.tvl");
    ASSERT_TRUE(fs::exists(written));
    EXPECT_EQ(TvlTest::readFile(written).name, narrow(L"GEH\u00c4USE"));
#ifdef _WIN32
    const std::wstring shownPath = wideOf(dir) + L"\\GEH\u00c4USE.tvl";
#else
    const std::wstring shownPath = wideOf(dir) + L"/GEH\u00c4USE.tvl";
#endif
    ASSERT_EQ(session.transcript().entries().at(1).args.size(), 1u);
    EXPECT_EQ(session.transcript().entries().at(1).args[0], Hostsim::toUtf8(shownPath));
    std::vector<std::string> args = recorded(written);
    ASSERT_EQ(args.size(), 1u);
    EXPECT_EQ(args[0], narrow(shownPath));
}

} // namespace
