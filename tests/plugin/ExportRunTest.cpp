// The export run through the stand-in host: every way a run ends, the file-name search, the
// command line, and the real start of a stand-in "Tarvelo.exe" found through the registry.
#include "ExportRun.h"

#include "ExportDialog.h"
#include "MessageFile.h"
#include "NarrowText.h"
#include "PluginSessionTest.h"
#include "PrintedValue.h"
#include "ProToolkitRuntime.h"
#include "RecorderProgram.h"
#include "TvlReader.h"
#include "Utf16.h"

#include <chrono>
#include <clocale>
#include <fstream>
#include <iterator>
#include <thread>

#ifndef _WIN32
#include "FailingUnlink.h"
#include "FileSizeLimit.h"
#include <cerrno>
#endif

namespace fs = std::filesystem;

namespace {

using RecorderProgram::kRecorder;
using RecorderProgram::kViewer;
using RecorderProgram::readLines;
using RecorderProgram::testProgramDirectory;
using RecorderProgram::waitFor;

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
    fs::path install(const fs::path& dir, const char* program = kRecorder) {
        fs::create_directories(dir);
        fs::copy_file(testProgramDirectory() / program, dir / kViewer);
        fs::permissions(dir / kViewer, fs::perms::owner_all, fs::perm_options::add);
        setInstallPath(wideOf(dir));
        return dir;
    }
    fs::path install() { return install(work / "install"); }
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
    static std::string readText(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Every file with this extension under the test's folder, at any depth.
    std::vector<fs::path> filesAnywhere(const fs::path& extension) {
        std::vector<fs::path> found;
        for (const auto& e : fs::recursive_directory_iterator(work.path())) {
            if (e.path().extension() == extension) {
                found.push_back(e.path());
            }
        }
        return found;
    }
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

// The names directly in a folder, sorted, each marked by what it is: "name/" a folder, "name@" a
// link, "name?" anything else that is no regular file.
std::vector<std::string> contentsOf(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) {
        const std::u8string text = e.path().filename().u8string();
        std::string name(text.begin(), text.end());
        if (e.is_symlink()) {
            name += '@';
        } else if (e.is_directory()) {
            name += '/';
        } else if (!e.is_regular_file()) {
            name += '?';
        }
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

const char* const kCannotRead = "The model could not be read for the export.";

// --- Runs that end before a file is written: one thing changed in a session that would export
// the part PART. Nothing is written anywhere, nothing is started, and the dialog stays open.

enum class Before {
    NoSolidModel,       // the current model is a drawing
    ExtractionThrows,   // a host call made by the extraction throws
    NoWorkingDirectory, // the host does not hand out its working directory
    UnreadableDeleteTvl,
    NothingToWrite, // an assembly with a datum feature and no component
    WorkingDirectoryWithoutNarrowForm,
#ifndef _WIN32
    WorkingDirectoryTooLong, // 259 wide characters whose narrow form does not fit 260 bytes
    WorkingDirectoryLoop,    // a link that leads to itself
    DiskFull,                // the file cannot grow past 64 bytes
    UnfinishedFileStuck,     // the writer's own removal of the unfinished file fails once
#endif
};

struct BeforeWritingCase {
    const char* name;
    Before change;
    Keys keys;
    std::vector<std::string> dialogs = {}; // the titles of the message dialogs shown
    int directoryReads;                    // calls of ProDirectoryCurrentGet
    int optionReads;                       // calls of ProUICheckbuttonGetState ("DeleteTvl")
    std::vector<std::string> left = {};    // what is in the test's folder afterwards (contentsOf)
    int failedRemovals = 0;                // removals made to fail that were tried
};

void PrintTo(const BeforeWritingCase& c, std::ostream* os) {
    *os << c.name << ": area " << PrintedValue::texts(c.keys) << ", dialogs "
        << PrintedValue::texts(c.dialogs) << ", " << c.directoryReads << " directory reads, "
        << c.optionReads << " option reads, left " << PrintedValue::texts(c.left) << ", "
        << c.failedRemovals << " failed removals";
}

const std::vector<BeforeWritingCase> kBeforeWriting = {
    {.name = "NoSolidModel",
     .change = Before::NoSolidModel,
     .keys = {},
     .dialogs = {kCannotRead},
     .directoryReads = 0,
     .optionReads = 0},
    {.name = "ExtractionThrows",
     .change = Before::ExtractionThrows,
     .keys = {},
     .dialogs = {kCannotRead},
     .directoryReads = 0,
     .optionReads = 0},
    {.name = "NoWorkingDirectory",
     .change = Before::NoWorkingDirectory,
     .keys = {},
     .directoryReads = 1,
     .optionReads = 0},
    {.name = "UnreadableDeleteTvl",
     .change = Before::UnreadableDeleteTvl,
     .keys = {},
     .directoryReads = 1,
     .optionReads = 1},
    {.name = "NothingToWrite",
     .change = Before::NothingToWrite,
     .keys = {"ExportTvlFailed"},
     .directoryReads = 1,
     .optionReads = 1},
    {.name = "WorkingDirectoryWithoutNarrowForm",
     .change = Before::WorkingDirectoryWithoutNarrowForm,
     .keys = {"ExportTvlFailed"},
     .directoryReads = 1,
     .optionReads = 0},
#ifndef _WIN32
    {.name = "WorkingDirectoryTooLong",
     .change = Before::WorkingDirectoryTooLong,
     .keys = {"ExportTvlFailed"},
     .directoryReads = 1,
     .optionReads = 0},
    {.name = "WorkingDirectoryLoop",
     .change = Before::WorkingDirectoryLoop,
     .keys = {"ExportTvlFailed"},
     .directoryReads = 1,
     .optionReads = 0,
     .left = {"loop@"}},
    {.name = "DiskFull",
     .change = Before::DiskFull,
     .keys = {"ExportTvlFailed"},
     .directoryReads = 1,
     .optionReads = 1},
    {.name = "UnfinishedFileStuck",
     .change = Before::UnfinishedFileStuck,
     .keys = {"ExportTvlFailed"},
     .directoryReads = 1,
     .optionReads = 1,
     .failedRemovals = 1},
#endif
};

class ExportRunBeforeWriting : public ExportRunTest,
                               public testing::WithParamInterface<BeforeWritingCase> {
protected:
    void emptyAssembly() {
        Hostsim::Model& assembly = session.addAssembly(L"EMPTY_ASM");
        assembly.setUnit(L"mm");
        assembly.addFeature(923);
        session.setCurrent(&assembly);
    }

    void arrange(Before change) {
        switch (change) {
        case Before::NoSolidModel:
            session.setCurrent(&session.addModel(L"DRAWING", Hostsim::ModelType::Other));
            break;
        case Before::ExtractionThrows:
            session.callObserver = [](const Hostsim::Call& call) {
                if (call.function == "ProMdlTypeGet") {
                    throw std::bad_alloc();
                }
            };
            break;
        case Before::NoWorkingDirectory:
            session.faults().always("ProDirectoryCurrentGet", PRO_TK_GENERAL_ERROR);
            break;
        case Before::UnreadableDeleteTvl:
            session.faults().always("ProUICheckbuttonGetState", PRO_TK_GENERAL_ERROR);
            break;
        case Before::NothingToWrite:
            emptyAssembly();
            break;
        case Before::WorkingDirectoryWithoutNarrowForm: {
#ifdef _WIN32
            const wchar_t outside = L'\u4e2d'; // not in the ANSI code page
#else
            const wchar_t outside = static_cast<wchar_t>(0xD800); // a lone surrogate
#endif
            session.workingDirectory = work.path().wstring() + L"/x" + outside + L"y";
            break;
        }
#ifndef _WIN32
        case Before::WorkingDirectoryTooLong: {
            std::wstring dir = work.path().wstring() + L"/";
            while (dir.size() < PRO_PATH_SIZE - 2) {
                dir += L'\u00e9';
            }
            session.workingDirectory = dir;
            break;
        }
        case Before::WorkingDirectoryLoop:
            fs::create_symlink("loop", work / "loop");
            session.workingDirectory = (work / "loop").wstring();
            break;
        case Before::DiskFull:
            break; // only while the run runs
        case Before::UnfinishedFileStuck:
            emptyAssembly();
            break;
#endif
        }
    }

    RunResult runWith([[maybe_unused]] Before change) {
#ifndef _WIN32
        if (change == Before::DiskFull) {
            TvlTest::FileSizeLimit limit(64);
            return run();
        }
        if (change == Before::UnfinishedFileStuck) {
            TestFault::failNextUnlinks(1, EBUSY);
            RunResult r = run();
            TestFault::failNextUnlinks(0, 0);
            return r;
        }
#endif
        return run();
    }
};

TEST_P(ExportRunBeforeWriting, WritesNothingStartsNothingAndKeepsTheDialogOpen) {
    const BeforeWritingCase& c = GetParam();
    session.recordCalls();
    arrange(c.change);
#ifndef _WIN32
    const int failedBefore = TestFault::failedUnlinks();
#endif
    RunResult r = runWith(c.change);
    session.callObserver = nullptr;

    EXPECT_FALSE(r.closedByExport);
    EXPECT_EQ(r.areaKeys, c.keys);
    std::vector<std::string> titles;
    for (const Hostsim::TranscriptEntry* dialog : session.transcript().dialogs()) {
        titles.push_back(dialog->title);
    }
    EXPECT_EQ(titles, c.dialogs);
    EXPECT_EQ(session.log().count("ProDirectoryCurrentGet"), c.directoryReads);
    EXPECT_EQ(session.log().count("ProUICheckbuttonGetState"), c.optionReads);
    EXPECT_EQ(contentsOf(work.path()), c.left);
    EXPECT_TRUE(filesAnywhere(".tvl").empty());
#ifndef _WIN32
    EXPECT_EQ(TestFault::failedUnlinks() - failedBefore, c.failedRemovals);
#endif
}

INSTANTIATE_TEST_SUITE_P(Cases, ExportRunBeforeWriting, testing::ValuesIn(kBeforeWriting),
                         PrintedValue::caseName<BeforeWritingCase>);

// --- Runs that write PART.tvl, with one thing changed in what follows: the message that reports
// the file, the installation, the start, the removal after a failed start.

enum class Installation {
    None,        // no "Path" in the registry
    Application, // the stand-in application in the test's folder "install"
    NoProgram,   // a "Path" where no program is
    EmptyPath,   // a "Path" of empty text
};

enum class Application {
    NotStarted,
    GetsPath,
    GetsPathAndMinusD,
};

struct AfterWritingCase {
    const char* name;
    // What is changed; by default the layout's "DeleteTvl" is set, and no application installed.
    bool deleteTvl = true; // false: the user clears "DeleteTvl"
    Installation installation = Installation::None;
    const char* failingMessage = nullptr; // the message whose display fails
    // While the failed start is shown, the file moves aside and a folder takes its name.
    bool fileTakenAway = false;
    // What follows.
    Keys keys;
    bool closed;                   // the export closed the dialog
    int displays;                  // calls of ProMessageDisplay
    std::vector<std::string> left; // what is in the working directory afterwards (contentsOf)
    Application application;
};

void PrintTo(const AfterWritingCase& c, std::ostream* os) {
    static const char* const installations[] = {"none", "the application", "no program",
                                                "empty path"};
    static const char* const applications[] = {"not started", "gets the path",
                                               "gets the path and -d"};
    *os << c.name << ": DeleteTvl " << (c.deleteTvl ? "set" : "cleared") << ", installation "
        << installations[static_cast<int>(c.installation)] << ", failing message "
        << (c.failingMessage != nullptr ? c.failingMessage : "none")
        << (c.fileTakenAway ? ", file taken away" : "") << " -> area "
        << PrintedValue::texts(c.keys) << (c.closed ? ", closes" : ", stays open") << ", "
        << c.displays << " displays, left " << PrintedValue::texts(c.left) << ", application "
        << applications[static_cast<int>(c.application)];
}

const std::vector<AfterWritingCase> kAfterWriting = {
    {.name = "NotInstalled",
     .keys = {"ExportTvlSuccess", "TarveloNotInstalled"},
     .closed = false,
     .displays = 2,
     .left = {"PART.tvl"},
     .application = Application::NotStarted},
    {.name = "NotInstalledWithoutDeleteTvl",
     .deleteTvl = false,
     .keys = {"ExportTvlFile %0s", "TarveloNotInstalled"},
     .closed = false,
     .displays = 2,
     .left = {"PART.tvl"},
     .application = Application::NotStarted},
    {.name = "EmptyInstallPath",
     .installation = Installation::EmptyPath,
     .keys = {"ExportTvlSuccess", "TarveloOpenFailed"},
     .closed = true,
     .displays = 2,
     .left = {},
     .application = Application::NotStarted},
    // The failed display showed nothing, and the run stops before it looks for the application.
    {.name = "FileMessageFails",
     .deleteTvl = false,
     .installation = Installation::Application,
     .failingMessage = "ExportTvlFile %0s",
     .keys = {},
     .closed = false,
     .displays = 1,
     .left = {"PART.tvl", "install/"},
     .application = Application::NotStarted},
    {.name = "StartedWithoutDeleteTvl",
     .deleteTvl = false,
     .installation = Installation::Application,
     .keys = {"ExportTvlFile %0s", "TarveloOpenSuccess"},
     .closed = true,
     .displays = 2,
     .left = {"PART.tvl", "install/"},
     .application = Application::GetsPath},
    // The file stays for the application, which is told to delete it.
    {.name = "StartedWithDeleteTvl",
     .installation = Installation::Application,
     .keys = {"ExportTvlSuccess", "TarveloOpenSuccess"},
     .closed = true,
     .displays = 2,
     .left = {"PART.tvl", "install/"},
     .application = Application::GetsPathAndMinusD},
    {.name = "OpenSuccessMessageFails",
     .installation = Installation::Application,
     .failingMessage = "TarveloOpenSuccess",
     .keys = {"ExportTvlSuccess"},
     .closed = false,
     .displays = 2,
     .left = {"PART.tvl", "install/"},
     .application = Application::GetsPathAndMinusD},
    {.name = "FailedStartWithoutDeleteTvl",
     .deleteTvl = false,
     .installation = Installation::NoProgram,
     .keys = {"ExportTvlFile %0s", "TarveloOpenFailed"},
     .closed = true,
     .displays = 2,
     .left = {"PART.tvl"},
     .application = Application::NotStarted},
    {.name = "FailedStartWithDeleteTvl",
     .installation = Installation::NoProgram,
     .keys = {"ExportTvlSuccess", "TarveloOpenFailed"},
     .closed = true,
     .displays = 2,
     .left = {},
     .application = Application::NotStarted},
    // The removal is skipped.
    {.name = "OpenFailedMessageFails",
     .installation = Installation::NoProgram,
     .failingMessage = "TarveloOpenFailed",
     .keys = {"ExportTvlSuccess"},
     .closed = false,
     .displays = 2,
     .left = {"PART.tvl"},
     .application = Application::NotStarted},
    {.name = "RemovalFails",
     .installation = Installation::NoProgram,
     .fileTakenAway = true,
     .keys = {"ExportTvlSuccess", "TarveloOpenFailed", "DeleteTvlFailed"},
     .closed = true,
     .displays = 3,
     .left = {"PART.aside", "PART.tvl/"},
     .application = Application::NotStarted},
    {.name = "RemovalFailsAndItsMessageFails",
     .installation = Installation::NoProgram,
     .failingMessage = "DeleteTvlFailed",
     .fileTakenAway = true,
     .keys = {"ExportTvlSuccess", "TarveloOpenFailed"},
     .closed = false,
     .displays = 3,
     .left = {"PART.aside", "PART.tvl/"},
     .application = Application::NotStarted},
};

class ExportRunAfterWriting : public ExportRunTest,
                              public testing::WithParamInterface<AfterWritingCase> {
protected:
    void arrange(const AfterWritingCase& c) {
        switch (c.installation) {
        case Installation::None:
            break;
        case Installation::Application:
            install();
            break;
        case Installation::NoProgram:
            setInstallPath((work / "nothing-here").wstring());
            break;
        case Installation::EmptyPath:
            writeRaw(HKEY_LOCAL_MACHINE, kTarveloKeyPath, L"Path", REG_SZ, {0x00, 0x00});
            break;
        }
        if (c.failingMessage != nullptr) {
            session.faults().forItem("ProMessageDisplay", c.failingMessage, PRO_TK_GENERAL_ERROR);
        }
        if (c.fileTakenAway) {
            session.callObserver = [this](const Hostsim::Call& call) {
                if (call.function == "ProMessageDisplay" && call.item == "TarveloOpenFailed") {
                    fs::rename(file("PART.tvl"), file("PART.aside"));
                    fs::create_directories(file("PART.tvl") / "held");
                }
            };
        }
    }
};

TEST_P(ExportRunAfterWriting, ReportsStartsAndRemovesAsTheCaseSays) {
    const AfterWritingCase& c = GetParam();
    session.recordCalls();
    arrange(c);
    RunResult r = run(c.deleteTvl ? "" : "toggle DeleteTvl\n");
    session.callObserver = nullptr;

    EXPECT_EQ(r.areaKeys, c.keys);
    EXPECT_EQ(r.closedByExport, c.closed);
    EXPECT_EQ(r.dialogs, 0u);
    EXPECT_EQ(session.log().count("ProMessageDisplay"), c.displays);
    // Taken before the application may go on and leave its record.
    EXPECT_EQ(contentsOf(work.path()), c.left);
    // Every file left is the run's exchange file.
    for (const std::string& name : c.left) {
        if (name.back() != '/') {
            EXPECT_EQ(TvlRead::readFile(file(name)).name, "PART") << name;
        }
    }
    // The message without deletion names the file by its full path.
    for (const Hostsim::TranscriptEntry& e : session.transcript().entries()) {
        if (e.key == "ExportTvlFile %0s") {
            ASSERT_EQ(e.args.size(), 1u);
            EXPECT_TRUE(
                fs::equivalent(Hostsim::hostPath(Hostsim::fromUtf8(e.args[0])), file("PART.tvl")));
        }
    }
    if (c.application != Application::NotStarted) {
        std::vector<std::string> args = recorded(file("PART.tvl"));
        ASSERT_EQ(args.size(), c.application == Application::GetsPathAndMinusD ? 2u : 1u);
        EXPECT_TRUE(fs::equivalent(fs::path(args[0]), file("PART.tvl")));
        if (c.application == Application::GetsPathAndMinusD) {
            EXPECT_EQ(args[1], "-d");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ExportRunAfterWriting, testing::ValuesIn(kAfterWriting),
                         PrintedValue::caseName<AfterWritingCase>);

// --- The search for a free name: the first names taken, by files or a folder, up to all
// thousand.

struct NameSearchCase {
    const char* name;
    int taken;    // PART.tvl and PART_1.tvl ... PART_<taken - 1>.tvl are there before the run
    bool folders; // they are folders, else files
    const char* written; // the name the run writes under, if any
    Keys keys;
    int optionReads; // calls of ProUICheckbuttonGetState
};

void PrintTo(const NameSearchCase& c, std::ostream* os) {
    *os << c.name << ": " << c.taken << (c.folders ? " folders" : " files") << " -> written "
        << (c.written != nullptr ? c.written : "nothing") << ", area "
        << PrintedValue::texts(c.keys) << ", " << c.optionReads << " option reads";
}

const std::vector<NameSearchCase> kNameSearch = {
    {.name = "AFolderTakesTheFirstName",
     .taken = 1,
     .folders = true,
     .written = "PART_1",
     .keys = {"ExportTvlSuccess", "TarveloNotInstalled"},
     .optionReads = 1},
    {.name = "AllButTheLastNameTaken",
     .taken = 999,
     .folders = false,
     .written = "PART_999",
     .keys = {"ExportTvlSuccess", "TarveloNotInstalled"},
     .optionReads = 1},
    {.name = "AllThousandNamesTaken",
     .taken = 1000,
     .folders = false,
     .written = nullptr,
     .keys = {"ExportTvlFailed"},
     .optionReads = 0},
};

class ExportRunNameSearch : public ExportRunTest,
                            public testing::WithParamInterface<NameSearchCase> {
protected:
    fs::path candidate(int n) { return file(Velmora::candidateBaseName("PART", n) + ".tvl"); }
};

TEST_P(ExportRunNameSearch, TakesTheFirstFreeNameOfTheThousand) {
    const NameSearchCase& c = GetParam();
    session.recordCalls();
    for (int n = 0; n < c.taken; ++n) {
        if (c.folders) {
            fs::create_directories(candidate(n));
        } else {
            std::ofstream(candidate(n)) << "x";
        }
    }
    RunResult r = run();

    EXPECT_EQ(r.areaKeys, c.keys);
    EXPECT_FALSE(r.closedByExport);
    EXPECT_EQ(session.log().count("ProUICheckbuttonGetState"), c.optionReads);
    // What took the names stays as it was.
    for (int n = 0; n < c.taken; ++n) {
        if (c.folders) {
            EXPECT_TRUE(fs::is_directory(candidate(n)) && fs::is_empty(candidate(n))) << n;
        } else {
            EXPECT_EQ(readText(candidate(n)), "x") << n;
        }
    }
    const int written = c.written != nullptr ? 1 : 0;
    if (c.written != nullptr) {
        EXPECT_EQ(TvlRead::readFile(file(std::string(c.written) + ".tvl")).name, c.written);
    }
    EXPECT_EQ(tvlFiles().size(), static_cast<std::size_t>(c.taken + written));
    EXPECT_FALSE(fs::exists(candidate(c.taken + written)));
}

INSTANTIATE_TEST_SUITE_P(Cases, ExportRunNameSearch, testing::ValuesIn(kNameSearch),
                         PrintedValue::caseName<NameSearchCase>);

TEST_F(ExportRunTest, TheFirstFreeNameIsTakenAndRecordedInTheFile) {
    std::ofstream(file("PART.tvl")) << "x";
    std::ofstream(file("PART_1.tvl")) << "x";
    RunResult r = run();
    EXPECT_EQ(r.areaKeys, (Keys{"ExportTvlSuccess", "TarveloNotInstalled"}));
    EXPECT_EQ(TvlRead::readFile(file("PART_2.tvl")).name, "PART_2");
    // A second press in the same dialog takes the next name.
    session.transcript().clear();
    r = run();
    EXPECT_EQ(TvlRead::readFile(file("PART_3.tvl")).name, "PART_3");
}

TEST(ExportRunPieces, CandidateNamesCountFromOneWithoutPadding) {
    EXPECT_EQ(Velmora::candidateBaseName("PART", 0), "PART");
    EXPECT_EQ(Velmora::candidateBaseName("PART", 1), "PART_1");
    EXPECT_EQ(Velmora::candidateBaseName("PART", 999), "PART_999");
}

TEST(ExportRunPieces, AModelNameIsAPlainFileNameOrRefused) {
    for (const std::string name : {"PART", "A.B C-1", "...", ".hidden", "\xC3\x84"}) {
        EXPECT_TRUE(Velmora::isSafeModelName(name)) << name;
    }
    for (const std::string name :
         {"", ".", "..", "../X", "a/b", "a\\b", "Q\" -d \"Z", "a\tb", "a\x7F", "a\x1F"}) {
        EXPECT_FALSE(Velmora::isSafeModelName(name)) << name;
    }
    EXPECT_FALSE(Velmora::isSafeModelName(std::string("a\0b", 3)));
#ifndef _WIN32
    EXPECT_FALSE(Velmora::isSafeModelName("a\xC2\x85")); // U+0085, a control character
    EXPECT_FALSE(Velmora::isSafeModelName("a\xC2\x9F")); // U+009F, the last control character
    EXPECT_TRUE(Velmora::isSafeModelName("a\xC2\xA0"));  // U+00A0, a no-break space
    EXPECT_FALSE(Velmora::isSafeModelName("a\xC3"));     // no character at all
#else
    EXPECT_TRUE(Velmora::isSafeModelName("\x96\x80\x8C")); // dash, euro, OE in code page 1252
#endif
}

// The recorded name must be exactly the narrow form of the host's wide name: a best fit or
// question marks in its place name another file, and the name in it would not be the model's.
TEST(ExportRunPieces, AModelNameIsTheExactNarrowFormOfTheHostsName) {
    const std::wstring beyondLatin1 = L"GEH\u00c4USE\u20131\u20ac\u0152"; // in code page 1252
    const std::wstring loneSurrogate = L"GEAR\xD800";
    auto narrow = [](const std::wstring& wide) {
        return Velmora::narrowText(wide.c_str(), wide.size() + 1);
    };
    EXPECT_TRUE(Velmora::isSafeModelName("PART", L"PART"));
    EXPECT_TRUE(Velmora::isSafeModelName(narrow(beyondLatin1), beyondLatin1));
    EXPECT_FALSE(Velmora::isSafeModelName(narrow(loneSurrogate), loneSurrogate));
    EXPECT_FALSE(Velmora::isSafeModelName("PART", L"PARTS"));
    EXPECT_FALSE(Velmora::isSafeModelName("PART", L""));
    // An exact name is still judged as a file name.
    EXPECT_FALSE(Velmora::isSafeModelName("../X", L"../X"));
    EXPECT_FALSE(Velmora::isSafeModelName("..", L".."));
#ifdef _WIN32
    ASSERT_EQ(GetACP(), 1252u) << "the narrow names below are those of code page 1252";
    EXPECT_EQ(narrow(L"GEAR_\u03A9"), "GEAR_O"); // the best fit
    EXPECT_FALSE(Velmora::isSafeModelName("GEAR_O", L"GEAR_\u03A9"));
    EXPECT_TRUE(Velmora::isSafeModelName("GEAR_O", L"GEAR_O"));
    EXPECT_FALSE(Velmora::isSafeModelName("??", L"\u6B6F\u8ECA"));
    EXPECT_TRUE(Velmora::isSafeModelName("\x96\x80\x8C", L"\u2013\u20ac\u0152"));
#endif
}

TEST(ExportRunPieces, TheCommandLineCharacterForCharacter) {
    struct Case {
        const char* install;
        const char* path;
        bool deleteAfterUse;
        std::optional<std::string> line;
    };
    const std::vector<Case> cases = {
        {"C:\\Tarvelo", "D:\\w\\PART.tvl", false,
         "\"C:\\Tarvelo\\Tarvelo.exe\" \"D:\\w\\PART.tvl\""},
        {"C:\\Tarvelo", "D:\\w\\PART.tvl", true,
         "\"C:\\Tarvelo\\Tarvelo.exe\" \"D:\\w\\PART.tvl\" -d"},
        // A trailing backslash of the folder stays: the program's path takes backslashes as
        // they are. Backslashes inside the path do not touch a quote.
        {"C:\\T\\", "D:\\a\\\\b c\\P.tvl", false,
         "\"C:\\T\\\\Tarvelo.exe\" \"D:\\a\\\\b c\\P.tvl\""},
        {"", "", true, "\"\\Tarvelo.exe\" \"\" -d"},
        // What the quoting cannot carry exactly.
        {"C:\\T", "a\"b", false, std::nullopt},
        {"C:\\T", "/tmp/x\" \"/tmp/victim/P.tvl", true, std::nullopt},
        {"/opt/t\" \"/tmp", "/w/P.tvl", false, std::nullopt},
        {"\"", "/w/P.tvl", true, std::nullopt},
        {"C:\\T", "D:\\w\\", false, std::nullopt},
        {"C:\\T", "\\", true, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.install) + " | " + c.path);
        EXPECT_EQ(Velmora::tarveloCommandLine(c.install, c.path, c.deleteAfterUse), c.line);
    }
}

#ifndef _WIN32
// A link takes its name whatever it leads to: a link to nothing and a link to itself are passed
// over, never removed, and nothing is created where they lead. The file written under the next
// name is the run's own, so the failed start removes it.
TEST_F(ExportRunTest, ALinkTakesTheNameWhereverItLeads) {
    fs::create_symlink(work / "elsewhere.tvl", file("PART.tvl"));
    fs::create_symlink("PART_1.tvl", file("PART_1.tvl"));
    setInstallPath((work / "nothing-here").wstring());
    std::string recordedName;
    session.callObserver = [&](const Hostsim::Call& call) {
        if (call.function == "ProMessageDisplay" && call.item == "TarveloOpenFailed") {
            recordedName = TvlRead::readFile(file("PART_2.tvl")).name;
        }
    };
    RunResult r = run();
    EXPECT_EQ(r.areaKeys, (Keys{"ExportTvlSuccess", "TarveloOpenFailed"}));
    EXPECT_TRUE(r.closedByExport);
    EXPECT_EQ(recordedName, "PART_2");
    EXPECT_FALSE(fs::exists(fs::symlink_status(file("PART_2.tvl"))));
    EXPECT_EQ(fs::read_symlink(file("PART.tvl")), work / "elsewhere.tvl");
    EXPECT_EQ(fs::read_symlink(file("PART_1.tvl")), fs::path("PART_1.tvl"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(work / "elsewhere.tvl")));
}
#endif

// Another process creates the chosen file after the search and before the write: its file is
// left as it is, and the run writes, reports and hands on the next free name.
TEST_F(ExportRunTest, AFileThatAppearsBeforeTheWriteIsLeftAndTheNextNameTaken) {
    install();
    session.callObserver = [this](const Hostsim::Call& call) {
        if (call.function == "ProUICheckbuttonGetState" && !fs::exists(file("PART.tvl"))) {
            std::ofstream(file("PART.tvl"), std::ios::binary) << "someone else's";
        }
    };
    RunResult r = run("toggle DeleteTvl\n");
    EXPECT_EQ(r.areaKeys, (Keys{"ExportTvlFile %0s", "TarveloOpenSuccess"}));
    EXPECT_TRUE(r.closedByExport);
    std::ifstream other(file("PART.tvl"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(other), {}), "someone else's");
    EXPECT_EQ(TvlRead::readFile(file("PART_1.tvl")).name, "PART_1");
    std::vector<std::string> args = recorded(file("PART_1.tvl"));
    ASSERT_EQ(args.size(), 1u);
    EXPECT_TRUE(fs::equivalent(fs::path(args[0]), file("PART_1.tvl")));
}

// --- Model names refused before anything is written or started: names that are no plain file
// name (they would leave the working directory, add arguments to the command line or carry
// control characters), names that the narrow text cannot hold exactly (no file under a best fit
// or under question marks), and names that Windows keeps for devices or that name a stream of
// another file, judged as the runtime narrows them. The user sees "ExportTvlFailed".

enum class Refusal {
    NoPlainFileName,
    NoExactNarrowForm,
    DeviceOrStream,
};

struct RefusedNameCase {
    const char* name;
    const wchar_t* model;
    Refusal refusal;
};

void PrintTo(const RefusedNameCase& c, std::ostream* os) {
    static const char* const refusals[] = {"no plain file name", "no exact narrow form",
                                           "a device or a stream"};
    *os << c.name << ": model " << PrintedValue::text(c.model) << ", "
        << refusals[static_cast<int>(c.refusal)];
}

const std::vector<RefusedNameCase> kRefusedNames = {
    {"UpTwoFolders", L"../../X", Refusal::NoPlainFileName},
    {"UpTwoFoldersWithBackslashes", L"..\\..\\X", Refusal::NoPlainFileName},
    {"IntoASubfolder", L"sub/X", Refusal::NoPlainFileName},
    {"QuotesAroundAnOption", L"Q\" -d \"Z", Refusal::NoPlainFileName},
    {"Dot", L".", Refusal::NoPlainFileName},
    {"TwoDots", L"..", Refusal::NoPlainFileName},
    {"Tab", L"TAB\tX", Refusal::NoPlainFileName},
    {"LineFeed", L"NL\nX", Refusal::NoPlainFileName},
    {"Delete", L"DEL\x7fX", Refusal::NoPlainFileName},
#ifndef _WIN32
    {"C1Control", L"C1\u0085X", Refusal::NoPlainFileName}, // not in the Windows code page
#endif
    {"LoneSurrogate", L"GEAR\xD800", Refusal::NoExactNarrowForm},
#ifdef _WIN32
    // Outside code page 1252.
    {"GreekBestFit", L"GEAR_\u03A9", Refusal::NoExactNarrowForm}, // GEAR_Ω: best fit O
    {"Cyrillic", L"\u0428\u0415\u0421\u0422\u0415\u0420\u041D\u042F",
     Refusal::NoExactNarrowForm},                         // ШЕСТЕРНЯ
    {"Cjk", L"\u6B6F\u8ECA", Refusal::NoExactNarrowForm}, // 歯車
#endif
    {"Nul", L"NUL", Refusal::DeviceOrStream},
    {"NulInLowerCase", L"nul", Refusal::DeviceOrStream},
    {"NulWithAnExtension", L"NUL.x", Refusal::DeviceOrStream},
    {"NulAndABlank", L"NUL ", Refusal::DeviceOrStream},
    {"NulAndADot", L"NUL.", Refusal::DeviceOrStream},
    {"Con", L"CON", Refusal::DeviceOrStream},
    {"Com1InLowerCase", L"com1", Refusal::DeviceOrStream},
    {"LptSuperscriptOne", L"LPT\u00b9", Refusal::DeviceOrStream},
    {"ConoutDollar", L"CONOUT$", Refusal::DeviceOrStream},
    {"ClockDollar", L"CLOCK$", Refusal::DeviceOrStream},
    {"Stream", L"A:B", Refusal::DeviceOrStream},
    // Greek, Cyrillic and CJK after the device name.
    {"AuxWithACjkExtension", L"AUX.\u90e8\u54c1", Refusal::DeviceOrStream},
    {"ConWithAGreekExtension", L"CON.\u03a9\u03bc\u03ad\u03b3\u03b1", Refusal::DeviceOrStream},
    {"PrnWithACyrillicExtension", L"PRN.\u041a\u0438\u0440\u0438\u043b\u043b",
     Refusal::DeviceOrStream},
#ifdef _WIN32
    // Outside code page 1252: the best fit narrows them to a device name or a colon.
    {"FullwidthNul", L"\uff2e\uff35\uff2c", Refusal::DeviceOrStream},
    {"ComSuperscriptFour", L"COM\u2074", Refusal::DeviceOrStream},
    {"FullwidthCom1", L"\uff23\uff2f\uff2d\uff11", Refusal::DeviceOrStream},
    {"NulAndAnIdeographicSpace", L"NUL\u3000", Refusal::DeviceOrStream},
    {"FullwidthColon", L"A\uff1aB", Refusal::DeviceOrStream},
#endif
};

class ExportRunRefusedName : public ExportRunTest,
                             public testing::WithParamInterface<RefusedNameCase> {};

// The working directory lies two folders down, so that a name leading up stays in the test's
// folder; the installed stand-in application records any start beside itself; "DeleteTvl" is
// cleared, so that a file written would stay.
TEST_P(ExportRunRefusedName, WritesNothingStartsNothingAndKeepsTheDialogOpen) {
    const RefusedNameCase& c = GetParam();
#ifdef _WIN32
    ASSERT_EQ(GetACP(), 1252u) << "the names are narrowed in code page 1252";
#endif
    session.recordCalls();
    const fs::path installDir = install(work / "install", RecorderProgram::kCommandRecorder);
    const fs::path deep = work / "a" / "b";
    fs::create_directories(deep);
    session.workingDirectory = deep.wstring();
    session.setCurrent(&HostTest::addBoxPart(session, c.model));
    RunResult r = run("toggle DeleteTvl\n");

    EXPECT_EQ(r.areaKeys, Keys{"ExportTvlFailed"});
    EXPECT_EQ(r.dialogs, 0u);
    EXPECT_FALSE(r.closedByExport);
    EXPECT_EQ(session.log().count("ProUICheckbuttonGetState"), 0);
    EXPECT_TRUE(filesAnywhere(".tvl").empty());
    EXPECT_EQ(contentsOf(work.path()), (std::vector<std::string>{"a/", "install/"}));
    EXPECT_TRUE(fs::is_empty(deep));
    EXPECT_EQ(contentsOf(installDir), std::vector<std::string>{kViewer});
}

INSTANTIATE_TEST_SUITE_P(Cases, ExportRunRefusedName, testing::ValuesIn(kRefusedNames),
                         PrintedValue::caseName<RefusedNameCase>);

// Text outside ASCII, with characters of the Windows code page beyond Latin-1, in the C locale:
// no conversion may lean on the locale.
class ExportRunNonAscii : public ExportRunTest {
protected:
    void SetUp() override {
        ASSERT_STREQ(std::setlocale(LC_ALL, nullptr), "C");
#ifdef _WIN32
        ASSERT_EQ(GetACP(), 1252u) << "the names below are written in code page 1252";
#endif
        ExportRunTest::SetUp();
    }

    static std::wstring separator() {
#ifdef _WIN32
        return L"\\";
#else
        return L"/";
#endif
    }
};

const std::wstring kModel = L"GEH\u00c4USE\u20131\u20ac\u0152";

// The file is written under the model's name, the message names it, and the application
// receives exactly the paths of its own program and of that file.
TEST_F(ExportRunNonAscii, TheApplicationGetsThePathsAsTheyAreOnDisk) {
    const fs::path installDir =
        install(work / fs::path(u8"Tarvelo \u2013\u20ac\u0152"), RecorderProgram::kCommandRecorder);
    const fs::path dir = work / fs::path(u8"Gr\u00fc\u00dfe \u2013\u20ac\u0152");
    fs::create_directories(dir);
    session.workingDirectory = wideOf(dir);
    session.setCurrent(&HostTest::addBoxPart(session, kModel));
    RunResult r = run("toggle DeleteTvl\n");
    EXPECT_EQ(r.areaKeys, (Keys{"ExportTvlFile %0s", "TarveloOpenSuccess"}));

    std::vector<fs::path> names;
    for (const auto& e : fs::directory_iterator(dir)) {
        names.push_back(e.path().filename());
    }
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(wideOf(names[0]), kModel + L".tvl");
    EXPECT_EQ(TvlRead::readFile(dir / names[0]).name,
              Velmora::narrowText(kModel.c_str(), kModel.size() + 1));

    const std::wstring shownPath = wideOf(dir) + separator() + kModel + L".tvl";
    ASSERT_EQ(session.transcript().entries().at(1).args.size(), 1u);
    EXPECT_EQ(session.transcript().entries().at(1).args[0], Hostsim::toUtf8(shownPath));

    const std::string record = RecorderProgram::commandRecord(installDir / kViewer);
#ifdef _WIN32
    const std::wstring line =
        L"\"" + wideOf(installDir) + L"\\Tarvelo.exe\" \"" + shownPath + L"\"";
    std::string expected;
    for (wchar_t unit : line) {
        expected += static_cast<char>(unit & 0xFF);
        expected += static_cast<char>(unit >> 8);
    }
#else
    const std::string expected =
        (installDir / kViewer).string() + '\0' + (dir / names[0]).string() + '\0';
#endif
    EXPECT_EQ(record, expected);
}

// An install directory that the narrow command line cannot name exactly names no installation
// (as an empty one, ExportRunAfterWriting): nothing is started, the start is reported as failed,
// and the file this run wrote goes as after any failed start. A stand-in application waits where
// the replaced characters would lead.
TEST_F(ExportRunNonAscii, AnInstallDirectoryWithoutExactNarrowFormIsAFailedStart) {
    struct Case {
        const char* label;
        std::vector<unsigned char> data;
        fs::path decoy;
    };
    std::vector<unsigned char> loneSurrogate = utf16WithNul(wideOf(work / "T"));
    loneSurrogate.resize(loneSurrogate.size() - 2);
    loneSurrogate.insert(loneSurrogate.end(), {0x00, 0xD8, 0x00, 0x00});
    std::vector<Case> cases = {
#ifdef _WIN32
        {"lone surrogate", loneSurrogate, {}},
        {"outside the code page", utf16WithNul(wideOf(work / L"T\u4e2d")), work / L"T\u4e2d"},
#else
        {"lone surrogate", loneSurrogate, work / fs::path(u8"T\ufffd")},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (!c.decoy.empty()) {
            install(c.decoy, RecorderProgram::kCommandRecorder);
        }
        writeRaw(HKEY_LOCAL_MACHINE, kTarveloKeyPath, L"Path", REG_SZ, c.data);
        session.transcript().clear();
        RunResult r = run();
        EXPECT_EQ(r.areaKeys, (Keys{"ExportTvlSuccess", "TarveloOpenFailed"}));
        EXPECT_TRUE(r.closedByExport);
        EXPECT_TRUE(tvlFiles().empty());
        if (!c.decoy.empty()) {
            fs::path record = c.decoy / kViewer;
            record += ".command";
            EXPECT_FALSE(fs::exists(record));
        }
    }
}

// Names that Windows keeps for devices, or that name a stream of another file, are judged as the
// runtime narrows the model's name: the same on every platform, and on Windows also where a
// character outside the code page narrows to one of them.
TEST(ExportRunPieces, NamesThatWindowsKeepsForDevicesAndStreams) {
    const std::vector<std::wstring> reserved = {
        L"CON", L"PRN", L"AUX", L"NUL", L"nul", L"Nul", L"cOn", L"COM0", L"COM9", L"com5", L"LPT0",
        L"LPT9", L"lpt3", L"COM\u00b9", L"COM\u00b2", L"LPT\u00b3", L"CONIN$", L"conout$",
        L"CLOCK$", L"NUL.x", L"NUL.tar.gz", L"NUL.", L"NUL..", L"NUL ", L"NUL  .x", L"NUL . x",
        L"NUL. .", L"COM1.", L"lpt\u00b9 .x",
        // Greek, Cyrillic and CJK after the device name, a stream in any script.
        L"AUX.\u90e8\u54c1", L"CON.\u03a9\u03bc\u03ad\u03b3\u03b1",
        L"PRN.\u041a\u0438\u0440\u0438\u043b\u043b", L"A:B", L":", L"PART:stream",
        L"\u90e8:\u54c1"};
    const std::vector<std::wstring> plain = {
        L"PART", L"NULL", L"NU", L"CONSOLE", L"CONIN", L"CONOUT", L"CLOCK", L"COM", L"LPT",
        L"COM10", L"LPT99", L"COMA", L"COM\u00b9\u00b2", L"COM\u00bd", L" NUL", L"_NUL", L"NUL_1",
        L"NUL-x", L"xNUL.x", L".NUL", L"NUL_1.x", L"CON$", L"NUL$",
        // Look-alikes in Greek (capital nu), Cyrillic (es, o, em, a) and CJK.
        L"\u039dUL", L"\u0421\u041e\u041c1", L"\u0410UX", L"\u90e8\u54c1",
        L"\u03a9\u03bc\u03ad\u03b3\u03b1"};
    // Outside code page 1252: the best fit narrows them to a device name or a colon on Windows;
    // elsewhere they stay themselves.
    const std::vector<std::wstring> narrowedOnWindows = {L"\uff2e\uff35\uff2c", L"COM\u2074",
                                                         L"\uff23\uff2f\uff2d\uff11", L"NUL\u3000",
                                                         L"A\uff1aB"};
    auto judged = [](const std::wstring& name) {
        return Velmora::isReservedWindowsName(Velmora::narrowText(name.c_str(), name.size() + 1));
    };
    for (const std::wstring& name : reserved) {
        EXPECT_TRUE(judged(name)) << Hostsim::toUtf8(name);
        EXPECT_TRUE(judged(name + L"_1") || name.find_first_of(L".:") == std::wstring::npos)
            << Hostsim::toUtf8(name);
    }
    for (const std::wstring& name : plain) {
        EXPECT_FALSE(judged(name)) << Hostsim::toUtf8(name);
    }
#ifdef _WIN32
    const bool narrowedReserved = true;
#else
    const bool narrowedReserved = false;
    EXPECT_TRUE(Velmora::isReservedWindowsName("NUL\xC3")); // no text at all: not judged
#endif
    for (const std::wstring& name : narrowedOnWindows) {
        EXPECT_EQ(judged(name), narrowedReserved) << Hostsim::toUtf8(name);
    }
}

// Names that only look like devices are plain files. Off Windows this holds for look-alikes
// outside ASCII too: their file names are themselves.
TEST_F(ExportRunTest, NamesThatOnlyLookLikeDevicesAreWrittenUnderTheirOwnName) {
    std::vector<std::wstring> names = {L"NULL", L"NUL_", L"COM10", L"CONSOLE", L"CONIN"};
#ifndef _WIN32
    for (const wchar_t* name :
         {L"\uff2e\uff35\uff2c", L"COM\u2074", L"\u039dUL", L"\u0421\u041e\u041c1", L"NUL\u3000"}) {
        names.push_back(name);
    }
#endif
    for (const std::wstring& name : names) {
        SCOPED_TRACE(Hostsim::toUtf8(name));
        session.setCurrent(&HostTest::addBoxPart(session, name));
        session.transcript().clear();
        RunResult r = run();
        EXPECT_EQ(r.areaKeys, (Keys{"ExportTvlSuccess", "TarveloNotInstalled"}));
        const fs::path written = work / fs::path(Hostsim::toUtf8(name + L".tvl"));
        ASSERT_TRUE(fs::is_regular_file(written));
        EXPECT_EQ(TvlRead::readFile(written).name,
                  Velmora::narrowText(name.c_str(), name.size() + 1));
    }
}

// After a failed start with "DeleteTvl" the run removes its own file only: a file that took its
// place meanwhile stays, and the user learns that the exchange file could not be deleted.
TEST_F(ExportRunTest, AFileThatTookThePlaceOfTheWrittenOneStays) {
    setInstallPath((work / "nothing-here").wstring());
    struct Case {
        const char* folder;
        // The written file moved aside first (Windows lets nothing replace a file the run holds
        // open), or replaced at once by a rename over it.
        bool movedAside;
    };
    std::vector<Case> cases = {{"aside", true}};
#ifndef _WIN32
    cases.push_back({"over", false});
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        const fs::path folder = work / c.folder;
        fs::create_directories(folder);
        session.workingDirectory = wideOf(folder);
        session.callObserver = [&](const Hostsim::Call& call) {
            if (call.function == "ProMessageDisplay" && call.item == "TarveloOpenFailed") {
                if (c.movedAside) {
                    fs::rename(folder / "PART.tvl", folder / "PART.aside");
                }
                std::ofstream(folder / "other", std::ios::binary) << "someone else's";
                fs::rename(folder / "other", folder / "PART.tvl");
            }
        };
        session.transcript().clear();
        RunResult r = run();
        session.callObserver = nullptr;
        EXPECT_EQ(r.areaKeys, (Keys{"ExportTvlSuccess", "TarveloOpenFailed", "DeleteTvlFailed"}));
        EXPECT_TRUE(r.closedByExport);
        EXPECT_EQ(readText(folder / "PART.tvl"), "someone else's");
        if (c.movedAside) {
            EXPECT_EQ(TvlRead::readFile(folder / "PART.aside").name, "PART");
        }
    }
}

#ifndef _WIN32
// The working directory's narrow form must be shorter than the host's path size: 259 bytes are
// the longest taken, 260 the shortest refused (the wide text fits the buffer either way).
TEST_F(ExportRunTest, TheWorkingDirectoryIsTakenUpToOneByteBelowThePathSize) {
    const std::string base = work.path().string() + "/";
    for (std::size_t bytes : {std::size_t{PRO_PATH_SIZE} - 1, std::size_t{PRO_PATH_SIZE}}) {
        SCOPED_TRACE(bytes);
        // A folder of two-byte characters, with one ASCII letter for an odd count, and the
        // separator the host adds.
        std::string name = (bytes - base.size() - 1) % 2 == 0 ? "" : "x";
        while (base.size() + name.size() + 1 < bytes) {
            name += "\xC3\xA9";
        }
        const std::string dir = base + name + "/";
        ASSERT_EQ(dir.size(), bytes);
        fs::create_directories(dir);
        session.workingDirectory = Hostsim::fromUtf8(dir);
        ASSERT_LT(session.workingDirectory.size(), std::size_t{PRO_PATH_SIZE});
        session.transcript().clear();
        RunResult r = run();
        if (bytes < PRO_PATH_SIZE) {
            EXPECT_EQ(r.areaKeys, (Keys{"ExportTvlSuccess", "TarveloNotInstalled"}));
            EXPECT_EQ(TvlRead::readFile(dir + "PART.tvl").name, "PART");
        } else {
            EXPECT_EQ(r.areaKeys, Keys{"ExportTvlFailed"});
            EXPECT_TRUE(fs::is_empty(dir));
        }
    }
}

// The command line carries the application's path, the exchange file's path and "-d", exactly,
// whatever blanks, tabs, backslashes or look-alike options the paths hold. (The install path has
// no backslash here: the platform layer reads one in the program's path as a separator.)
TEST_F(ExportRunTest, TheApplicationReceivesExactlyTheTwoPaths) {
    const fs::path installDir = install(work / "inst all\t-d", RecorderProgram::kCommandRecorder);
    const fs::path dir = work / "w d\\\\ \t-d\\x";
    fs::create_directories(dir);
    session.workingDirectory = wideOf(dir);
    RunResult r = run();
    EXPECT_EQ(r.areaKeys, (Keys{"ExportTvlSuccess", "TarveloOpenSuccess"}));
    EXPECT_EQ(RecorderProgram::commandRecord(installDir / kViewer),
              (installDir / kViewer).string() + '\0' + (dir / "PART.tvl").string() + '\0' + "-d" +
                  '\0');
}

// A path with a double quote would end its quoted part early and hand the application other
// arguments (with the working directory below, the paths <work>/x and <work>/victim/PART.tvl),
// or start another program: nothing is started, the start is reported as failed, and with
// "DeleteTvl" the run removes its file as after any failed start.
TEST_F(ExportRunTest, APathThatTheQuotingCannotCarryStartsNothing) {
    const std::string w = work.path().string();
    // Where the split of the old line would have led: the installed application, and a program
    // named by the front of a quoted install path.
    fs::create_directories(work / "victim");
    fs::copy_file(testProgramDirectory() / RecorderProgram::kCommandRecorder, work / "i");
    fs::permissions(work / "i", fs::perms::owner_all, fs::perm_options::add);
    struct Case {
        std::string workingDirectory;
        std::string installDirectory;
        bool deleteAfterUse;
    };
    const std::vector<Case> cases = {
        {w + "/x\" \"" + w + "/victim", w + "/install", true},
        {w + "/x\" \"" + w + "/victim", w + "/install", false},
        {w + "/plain", w + "/i\" \"" + w + "/decoy", true},
        {w + "/q\"", w + "/install", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.workingDirectory + " | " + c.installDirectory);
        if (!fs::exists(fs::path(c.installDirectory) / kViewer)) {
            install(c.installDirectory, RecorderProgram::kCommandRecorder);
        }
        setInstallPath(Hostsim::fromUtf8(c.installDirectory));
        fs::create_directories(c.workingDirectory);
        session.workingDirectory = Hostsim::fromUtf8(c.workingDirectory);
        session.transcript().clear();
        RunResult r = run(c.deleteAfterUse ? "" : "toggle DeleteTvl\n");
        EXPECT_EQ(r.areaKeys, (Keys{c.deleteAfterUse ? "ExportTvlSuccess" : "ExportTvlFile %0s",
                                    "TarveloOpenFailed"}));
        EXPECT_TRUE(r.closedByExport);
        const fs::path written = fs::path(c.workingDirectory) / "PART.tvl";
        EXPECT_EQ(fs::exists(written), !c.deleteAfterUse);
        if (!c.deleteAfterUse) {
            fs::remove(written);
        }
    }
    // No program ran: none left a record.
    EXPECT_TRUE(filesAnywhere(".command").empty());
    EXPECT_TRUE(filesAnywhere(".tvl").empty());
}
#endif

// The run holds its file only while a removal may still follow (a failed start with
// "DeleteTvl"): after a start, or when no deletion is asked for, others may delete the file and
// put something else at its name at once, on Windows too.
TEST_F(ExportRunTest, TheFileIsLetGoOnceNoRemovalCanFollow) {
    struct Case {
        const char* label;
        const char* events;
        bool installed;
        const char* shownWhenLooked;
        Keys keys;
    };
    const std::vector<Case> cases = {
        {"no deletion asked",
         "toggle DeleteTvl\n",
         false,
         "ExportTvlFile %0s",
         {"ExportTvlFile %0s", "TarveloNotInstalled"}},
        {"started with -d",
         "",
         true,
         "TarveloOpenSuccess",
         {"ExportTvlSuccess", "TarveloOpenSuccess"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const fs::path folder = work / c.label;
        fs::create_directories(folder);
        session.workingDirectory = wideOf(folder);
        if (c.installed) {
            install(work / "install", RecorderProgram::kCommandRecorder);
        }
        const fs::path written = folder / "PART.tvl";
        bool replaced = false;
        bool held = true;
        session.callObserver = [&](const Hostsim::Call& call) {
            if (call.function == "ProMessageDisplay" && call.item == c.shownWhenLooked) {
#ifndef _WIN32
                held = RecorderProgram::heldOpen(written);
#else
                held = false;
#endif
                std::error_code error;
                fs::remove(written, error);
                replaced = !error && fs::create_directory(written, error) && !error;
            }
        };
        session.transcript().clear();
        RunResult r = run(c.events);
        session.callObserver = nullptr;
        EXPECT_EQ(r.areaKeys, c.keys);
        EXPECT_TRUE(replaced);
        EXPECT_FALSE(held);
        EXPECT_TRUE(fs::is_directory(written));
    }
#ifndef _WIN32
    // While a removal may follow, the file is held.
    setInstallPath((work / "nothing-here").wstring());
    session.workingDirectory = wideOf(work.path());
    bool held = false;
    // Once removed, the file is let go at once, not only when the run is over.
    std::optional<bool> heldWhenClosing;
    session.callObserver = [&](const Hostsim::Call& call) {
        if (call.function == "ProMessageDisplay" && call.item == "TarveloOpenFailed") {
            held = RecorderProgram::heldOpen(file("PART.tvl"));
        }
        if (call.function == "ProUIDialogExit") {
            heldWhenClosing = RecorderProgram::heldOpen(file("PART.tvl"));
        }
    };
    session.transcript().clear();
    RunResult r = run();
    session.callObserver = nullptr;
    EXPECT_EQ(r.areaKeys, (Keys{"ExportTvlSuccess", "TarveloOpenFailed"}));
    EXPECT_TRUE(held);
    EXPECT_FALSE(fs::exists(fs::symlink_status(file("PART.tvl"))));
    EXPECT_EQ(heldWhenClosing, false);
    EXPECT_FALSE(RecorderProgram::heldOpen(file("PART.tvl")));
#endif
}

} // namespace
