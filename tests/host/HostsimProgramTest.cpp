// hostsim as a user runs it: its exit status for every way a run ends, its command line, paths
// outside ASCII in the C locale, the exchange files it lists, --tarvelo-dir, a file-size limit;
// and tvlsummary beside it.
#include "ChildProcess.h"
#include "ExitStatus.h"
#include "HostSession.h"
#include "MarkdownText.h"
#include "PathText.h"
#include "Program.h"
#include "RecorderProgram.h"
#include "RegistrySandbox.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;
using Hostsim::ExitStatus;
using Hostsim::utf8Path;

const fs::path kHostsim = HOSTSIM_PROGRAM;
const fs::path kTvlsummary = TVLSUMMARY_PROGRAM;
const fs::path kModule = TARVELO_MODULE;
const fs::path kTestModule = TEST_MODULE;
const fs::path kNoEntryModule = NO_ENTRY_MODULE;
const fs::path kRecorderProgram = ARG_RECORDER_PROGRAM;
const fs::path kSource = TARVELO_SOURCE_DIR;
const fs::path kExamples = kSource / "examples";
const fs::path kResources = kSource / "resources";

int code(ExitStatus status) {
    return static_cast<int>(status);
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The lines of an output that start with a prefix, without it.
std::vector<std::string> linesAfter(const std::string& text, const std::string& prefix) {
    std::vector<std::string> found;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) == 0) {
            found.push_back(line.substr(prefix.size()));
        }
    }
    return found;
}

// A path with forward slashes, for JSON text.
std::string genericUtf8(const fs::path& path) {
    std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

void write(const fs::path& file, const std::string& content) {
    std::ofstream(file, std::ios::binary) << content;
}

std::vector<std::string> namesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
        names.push_back(utf8Path(e.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A scene of one box part "P" with the given "workingDirectory" member (JSON text), or none.
std::string boxScene(const std::string& workingDirectoryJson) {
    return "{" +
           (workingDirectoryJson.empty() ? ""
                                         : "\"workingDirectory\": " + workingDirectoryJson + ", ") +
           R"("models": [{"name": "P", "type": "part", "bodies": [{"primitives": )"
           R"([{"box": {"min": [0,0,0], "max": [1,1,1]}}]}]}]})";
}

class HostsimProgramTest : public ::testing::Test {
public: // the tables' cases set up their files through the fixture
    // hostsim in a process of its own; the registry is this test's (a store of its own off
    // Windows, the cleared project keys on Windows).
    TestProcess::Result hostsim(std::vector<std::string> arguments,
                                const TestProcess::Options& options = {}) {
#if !defined(_WIN32)
        if (std::find(arguments.begin(), arguments.end(), "--registry") == arguments.end()) {
            arguments.insert(arguments.begin(), {"--registry", utf8Path(sandbox.storeDirectory())});
        }
#endif
        TestProcess::Result r = TestProcess::run(kHostsim, arguments, scratch(), options);
        // Shown when a check of the run fails.
        lastRun_ = TestProcess::describe(r);
        return r;
    }
    std::string lastRun() const {
        return lastRun_;
    }
    fs::path scratch() {
        fs::create_directories(dir / "scratch");
        return dir / "scratch";
    }
    fs::path folder(const fs::path& name) {
        fs::create_directories(dir / name);
        return dir / name;
    }
    // A folder holding the stand-in for "Tarvelo.exe", which records its arguments.
    fs::path install(const std::string& name) {
        fs::path d = folder(name);
        fs::copy_file(kRecorderProgram, d / RecorderProgram::kViewer);
        fs::permissions(d / RecorderProgram::kViewer, fs::perms::owner_all, fs::perm_options::add);
        return d;
    }

    TvlTest::TempDir dir{"hostsim"};
    RegistrySandbox sandbox;
    // Off Windows: the temporary folder of the case that runs (TMPDIR), where set.
    fs::path tmp;

private:
    std::string lastRun_;
};

// How each run of the module ends: the status, and what stdout and stderr show of it.
struct RunCase {
    const char* name;
    std::function<std::vector<std::string>(HostsimProgramTest&)> arguments;
    ExitStatus status;
    std::vector<std::string> out, err;
};

TEST_F(HostsimProgramTest, TheExitStatusTellsHowTheSessionEnded) {
    const std::vector<RunCase> cases = {
        {"the main job: the export ends with TarveloNotInstalled",
         [](HostsimProgramTest& t) {
             return std::vector<std::string>{"--workdir", utf8Path(t.dir / "done")};
         },
         ExitStatus::Success,
         {"area ExportTvlSuccess", "area TarveloNotInstalled",
          "exchange file: " + utf8Path(dir / "done" / "GEARBOX.tvl")},
         {}},
        {"the extraction fails: CreoImportError",
         [](HostsimProgramTest& t) {
             write(t.dir / "drawing.json", R"({"models": [{"name": "DRAWING", "type": "other"}]})");
             return std::vector<std::string>{"--scene", utf8Path(t.dir / "drawing.json"),
                                             "--workdir", utf8Path(t.folder("drawing"))};
         },
         ExitStatus::ExportFailed,
         {"\ndialog CreoImportError: The model could not be read for the export.\n"},
         {"an export failed: \"CreoImportError\""}},
        {"the file cannot be written: ExportTvlFailed",
         [](HostsimProgramTest& t) {
             // A model name that is no file name.
             write(t.dir / "slash.json",
                   R"({"models": [{"name": "P/Q", "type": "part", "bodies": [{"primitives": )"
                   R"([{"box": {"min": [0,0,0], "max": [1,1,1]}}]}]}]})");
             return std::vector<std::string>{"--scene", utf8Path(t.dir / "slash.json"), "--workdir",
                                             utf8Path(t.folder("slash"))};
         },
         ExitStatus::ExportFailed,
         {"area ExportTvlFailed"},
         {"an export failed: \"ExportTvlFailed\""}},
        {"a failed export and ignored events: both are listed, the status is the export's",
         [](HostsimProgramTest& t) {
             write(t.dir / "drawing.json", R"({"models": [{"name": "DRAWING", "type": "other"}]})");
             write(t.dir / "after.session", "invoke Tarvelo Gateway\npress Export\npress Exprt\n"
                                            "select tarveloType0 Both\n");
             return std::vector<std::string>{"--scene",   utf8Path(t.dir / "drawing.json"),
                                             "--session", utf8Path(t.dir / "after.session"),
                                             "--workdir", utf8Path(t.folder("after"))};
         },
         ExitStatus::ExportFailed,
         {"dialog CreoImportError: "},
         {"hostsim: an export failed: \"CreoImportError\"\nhostsim: the session did not run as "
          "written:\n  " +
              utf8Path(dir / "after.session") + ":3: the dialog Tarvelo has no component Exprt",
          utf8Path(dir / "after.session") + ":4: "}},
        {"the application cannot be started: TarveloOpenFailed",
         [](HostsimProgramTest& t) {
             return std::vector<std::string>{"--workdir", utf8Path(t.folder("unstarted")),
                                             "--tarvelo-dir", utf8Path(t.folder("empty"))};
         },
         ExitStatus::ExportFailed,
         {"area ExportTvlSuccess", "area TarveloOpenFailed"},
         {"an export failed: \"TarveloOpenFailed\""}},
        {"every event is ignored",
         [](HostsimProgramTest& t) {
             write(t.dir / "lost.session", "press Export\nclose\n");
             return std::vector<std::string>{"--session", utf8Path(t.dir / "lost.session"),
                                             "--workdir", utf8Path(t.folder("lost"))};
         },
         ExitStatus::SessionNotRun,
         {},
         {utf8Path(dir / "lost.session") + ":1: press while no dialog is open; event ignored",
          utf8Path(dir / "lost.session") + ":2: close while no dialog is open; event ignored"}},
        {"one event names a component the dialog does not have",
         [](HostsimProgramTest& t) {
             write(t.dir / "typo.session", "invoke Tarvelo Gateway\npress Exprt\n");
             return std::vector<std::string>{"--session", utf8Path(t.dir / "typo.session"),
                                             "--workdir", utf8Path(t.folder("typo"))};
         },
         ExitStatus::SessionNotRun,
         {},
         {utf8Path(dir / "typo.session") +
          ":2: the dialog Tarvelo has no component Exprt (press takes Export, Cancel, "
          "AttributeRemove, AttributeAdd); event ignored"}},
        {"the command is unknown",
         [](HostsimProgramTest& t) {
             write(t.dir / "other.session", "invoke Tarvelo Gatway\n");
             return std::vector<std::string>{"--session", utf8Path(t.dir / "other.session"),
                                             "--workdir", utf8Path(t.folder("other"))};
         },
         ExitStatus::SessionNotRun,
         {},
         {":1: no available command \"Tarvelo Gatway\" (the commands: \"Tarvelo Gateway\"); "
          "event ignored"}},
        {"the module leaves a host allocation behind",
         [](HostsimProgramTest& t) {
             write(t.dir / "leak.session", "invoke Leak\n");
             return std::vector<std::string>{utf8Path(kTestModule), "--session",
                                             utf8Path(t.dir / "leak.session"), "--workdir",
                                             utf8Path(t.folder("leak"))};
         },
         ExitStatus::PluginFault,
         {"invoke Leak"},
         {"the plug-in left the host in a bad state", "ProArrayAlloc"}},
        {"the module's start-up fails (its command's label is not in the message file)",
         [](HostsimProgramTest& t) {
             const fs::path root = t.folder("no-label");
             fs::create_directories(root / "text");
             write(root / "text" / "TarveloMessages.txt", "Other\nAnother text\n");
             return std::vector<std::string>{utf8Path(kTestModule), "--text-root", utf8Path(root),
                                             "--workdir", utf8Path(t.folder("startup"))};
         },
         ExitStatus::StartupFailed,
         {},
         {"returned status -4"}},
    };
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.name);
        TestProcess::Result r = hostsim(c.arguments(*this));
        EXPECT_EQ(r.exitCode, code(c.status)) << lastRun();
        for (const std::string& part : c.out) {
            EXPECT_TRUE(contains(r.out, part)) << part << "\n" << lastRun();
        }
        for (const std::string& part : c.err) {
            EXPECT_TRUE(contains(r.err, part)) << part << "\n" << lastRun();
        }
    }
    // A failed start with the deletion asked for removes the file: nothing is listed.
    EXPECT_TRUE(namesIn(dir / "unstarted").empty());
}

// The last failure row can only be reached when the file vanishes at the right moment: the run
// goes through the program's own function in this process, which lets the test step in.
TEST_F(HostsimProgramTest, AFailedRemovalAfterAFailedStartIsAFailedExport) {
    const fs::path work = folder("held");
    // In this process hostsim's own folder is the test's: module and text root are named.
    std::vector<std::string> arguments = {
        "hostsim",           "--module",      utf8Path(kModule),         "--workdir",
        utf8Path(work),      "--tarvelo-dir", utf8Path(folder("empty")), "--text-root",
        utf8Path(kResources)};
#if !defined(_WIN32)
    arguments.insert(arguments.end(), {"--registry", utf8Path(sandbox.storeDirectory())});
#endif
    std::ostringstream out, err;
    ExitStatus status = Hostsim::runHostsim(arguments, out, err, [&](Hostsim::Session& session) {
        session.callObserver = [work](const Hostsim::Call& call) {
            if (call.function == "ProMessageDisplay" && call.item == "TarveloOpenFailed") {
                fs::rename(work / "GEARBOX.tvl", work / "GEARBOX.aside");
                fs::create_directories(work / "GEARBOX.tvl" / "held");
            }
        };
    });
    EXPECT_EQ(status, ExitStatus::ExportFailed) << out.str() << err.str();
    EXPECT_TRUE(contains(out.str(), "area DeleteTvlFailed")) << out.str();
    EXPECT_TRUE(contains(err.str(), "an export failed: \"TarveloOpenFailed\" \"DeleteTvlFailed\""))
        << err.str();
}

// Input that hostsim refuses before the module runs: the status of its kind and a message that
// names the file and says why.
struct InputCase {
    const char* name;
    std::function<std::vector<std::string>(HostsimProgramTest&)> arguments;
    ExitStatus status;
    std::vector<std::string> err;
};

TEST_F(HostsimProgramTest, BadInputHasAStatusOfItsKindAndSaysWhereAndWhy) {
    std::vector<InputCase> cases = {
        {"an option with a typo",
         [](HostsimProgramTest&) {
             return std::vector<std::string>{"--sesion", "x.session"};
         },
         ExitStatus::BadArguments,
         {"hostsim: The following argument was not expected: --sesion (did you mean --session?)",
          "usage: hostsim [--module FILE]"}},
        {"an option without its value",
         [](HostsimProgramTest&) { return std::vector<std::string>{"--scene"}; },
         ExitStatus::BadArguments,
         {"--scene: 1 required FILE missing", "usage: hostsim"}},
        {"an option followed by another option",
         [](HostsimProgramTest&) {
             return std::vector<std::string>{"--scene", "--session", "x.session"};
         },
         ExitStatus::BadArguments,
         {"--scene: needs a value, found the option --session", "usage: hostsim"}},
        {"a stray argument after the module",
         [](HostsimProgramTest&) {
             return std::vector<std::string>{utf8Path(kModule), "stray"};
         },
         ExitStatus::BadArguments,
         {"not expected: stray", "usage: hostsim"}},
        {"a module named twice",
         [](HostsimProgramTest&) {
             return std::vector<std::string>{utf8Path(kModule), "--module", utf8Path(kModule)};
         },
         ExitStatus::BadArguments,
         {"the module is named twice"}},
        {"a scene with a syntax error",
         [](HostsimProgramTest& t) {
             write(t.dir / "syntax.json", "{\"models\": [\n  {\"name\": \"A\",, \"type\": "
                                          "\"part\"}\n]}\n");
             return std::vector<std::string>{"--scene", utf8Path(t.dir / "syntax.json")};
         },
         ExitStatus::BadScene,
         {utf8Path(dir / "syntax.json") +
          ": /models/0: line 2, column 16: syntax error while parsing object key - unexpected "
          "','; expected string literal"}},
        {"a scene with a number no double holds",
         [](HostsimProgramTest& t) {
             write(t.dir / "huge.json", "{\"models\": [{\"name\": \"A\", \"type\": \"part\",\n"
                                        "  \"bodies\": [{\"state\": 1e999}]}]}");
             return std::vector<std::string>{"--scene", utf8Path(t.dir / "huge.json")};
         },
         ExitStatus::BadScene,
         {": /models/0/bodies/0/state: line 2, column 28: number overflow parsing '1e999'"}},
        {"a scene that is a directory",
         [](HostsimProgramTest& t) {
             return std::vector<std::string>{"--scene", utf8Path(t.folder("scene-folder"))};
         },
         ExitStatus::BadScene,
         {utf8Path(dir / "scene-folder") + ": cannot read the scene: it is a directory"}},
        {"a scene that does not exist, named by its full path",
         [](HostsimProgramTest& t) {
             fs::current_path(t.dir.path());
             return std::vector<std::string>{"--scene", "absent.json"};
         },
         ExitStatus::BadScene,
         {utf8Path(dir / "absent.json") + ": cannot read the scene: "}},
        {"a session that is a directory",
         [](HostsimProgramTest& t) {
             return std::vector<std::string>{"--session", utf8Path(t.folder("session-folder"))};
         },
         ExitStatus::BadSession,
         {utf8Path(dir / "session-folder") + ": cannot read the session script: it is a "
                                             "directory"}},
        {"a session without events",
         [](HostsimProgramTest& t) {
             write(t.dir / "empty.session", "# nothing happens\n\n");
             return std::vector<std::string>{"--session", utf8Path(t.dir / "empty.session")};
         },
         ExitStatus::BadSession,
         {utf8Path(dir / "empty.session") + ": the session script holds no events"}},
        {"a session line that is no event",
         [](HostsimProgramTest& t) {
             write(t.dir / "wrong.session", "invoke Tarvelo Gateway\npush Export\n");
             return std::vector<std::string>{"--session", utf8Path(t.dir / "wrong.session")};
         },
         ExitStatus::BadSession,
         {utf8Path(dir / "wrong.session") + ":2: unknown event 'push'"}},
        {"a module that does not exist",
         [](HostsimProgramTest& t) {
             return std::vector<std::string>{"--module", utf8Path(t.dir / "absent.so")};
         },
         ExitStatus::BadModule,
         {"cannot load the module " + utf8Path(dir / "absent.so")}},
        {"a module without the toolkit entries",
         [](HostsimProgramTest&) {
             return std::vector<std::string>{"--module", utf8Path(kNoEntryModule)};
         },
         ExitStatus::BadModule,
         {"is no toolkit module"}},
        {"a text root that does not exist",
         [](HostsimProgramTest& t) {
             return std::vector<std::string>{"--text-root", utf8Path(t.dir / "no-root")};
         },
         ExitStatus::BadTextRoot,
         {"the text root " + utf8Path(dir / "no-root") + " is no folder"}},
        {"a text root without the message file",
         [](HostsimProgramTest& t) {
             return std::vector<std::string>{"--text-root", utf8Path(t.folder("no-texts"))};
         },
         ExitStatus::BadTextRoot,
         {"hostsim: the text root " + utf8Path(dir / "no-texts") +
          " holds no usable message file: " +
          utf8Path(dir / "no-texts" / "text" / "TarveloMessages.txt") +
          ": cannot read the message file: "}},
        {"a text root with a broken message file",
         [](HostsimProgramTest& t) {
             fs::create_directories(t.dir / "broken-texts" / "text");
             write(t.dir / "broken-texts" / "text" / "TarveloMessages.txt",
                   "Key\nText\nKey\nAgain\n");
             return std::vector<std::string>{"--text-root", utf8Path(t.dir / "broken-texts")};
         },
         ExitStatus::BadTextRoot,
         {"hostsim: the text root " + utf8Path(dir / "broken-texts") +
          " holds no usable message file: " +
          utf8Path(dir / "broken-texts" / "text" / "TarveloMessages.txt") + ":3: "}},
        {"a working directory that is a file",
         [](HostsimProgramTest& t) {
             write(t.dir / "plain-file", "x");
             return std::vector<std::string>{"--workdir", utf8Path(t.dir / "plain-file")};
         },
         ExitStatus::SetupFailed,
         {"the working directory " + utf8Path(dir / "plain-file") + " cannot be made"}},
    };
#if !defined(_WIN32)
    // Files that never end or never open are refused without reading them.
    cases.push_back({"a scene that is a device",
                     [](HostsimProgramTest&) {
                         return std::vector<std::string>{"--scene", "/dev/zero"};
                     },
                     ExitStatus::BadScene,
                     {"/dev/zero: cannot read the scene: it is a character device"}});
    cases.push_back({"a session that is a FIFO",
                     [](HostsimProgramTest& t) {
                         ::mkfifo((t.dir / "fifo").c_str(), 0600);
                         return std::vector<std::string>{"--session", utf8Path(t.dir / "fifo")};
                     },
                     ExitStatus::BadSession,
                     {utf8Path(dir / "fifo") + ": cannot read the session script: it is a FIFO"}});
    // Set-up that fails after the working directory was made.
    cases.push_back({"a registry whose root of the install path is a plain file",
                     [](HostsimProgramTest& t) {
                         const fs::path store = t.folder("registry-file");
                         write(store / "HKEY_LOCAL_MACHINE", "x");
                         return std::vector<std::string>{"--registry", utf8Path(store),
                                                         "--tarvelo-dir", utf8Path(t.dir.path())};
                     },
                     ExitStatus::SetupFailed,
                     {"hostsim: --tarvelo-dir: \"Path\" under \"SOFTWARE\\Korvane\\Tarvelo\": "
                      "the key cannot be created (Windows error 1016)\n"}});
    cases.push_back({"a temporary folder that is a plain file",
                     [](HostsimProgramTest& t) {
                         fs::remove(t.tmp);
                         write(t.tmp, "x");
                         return std::vector<std::string>{};
                     },
                     ExitStatus::SetupFailed,
                     {"hostsim: no fresh working directory: "}});
#endif
    const fs::path start = fs::current_path();
    int n = 0;
    for (const InputCase& c : cases) {
        SCOPED_TRACE(c.name);
        // Each run has a temporary folder of its own, which a case may replace.
        tmp = folder("tmp-" + std::to_string(++n));
        std::vector<std::string> arguments = c.arguments(*this);
        TestProcess::Options options;
        options.timeoutSeconds = 30;
        options.environment["TMPDIR"] = utf8Path(tmp);
        TestProcess::Result r = hostsim(arguments, options);
        fs::current_path(start);
        EXPECT_EQ(r.exitCode, code(c.status)) << lastRun();
        for (const std::string& part : c.err) {
            EXPECT_TRUE(contains(r.err, part)) << part << "\n" << lastRun();
        }
        // Nothing of a run is shown for input that stops it.
        EXPECT_FALSE(contains(r.out, "--- what the user did")) << lastRun();
#if !defined(_WIN32)
        // Nor is anything left of the folders it made.
        if (fs::is_directory(tmp)) {
            EXPECT_EQ(namesIn(tmp), std::vector<std::string>{}) << lastRun();
        }
#endif
    }
#if !defined(_WIN32)
    // The named registry holds what was there before, and nothing else.
    EXPECT_EQ(namesIn(dir / "registry-file"), std::vector<std::string>{"HKEY_LOCAL_MACHINE"});
    // The last case's temporary folder, a plain file, is as it was.
    std::ifstream plainTmp(dir / ("tmp-" + std::to_string(n)));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(plainTmp), {}), "x");
#endif
}

// A run that ends before the module has run leaves none of the folders it made for the working
// directory, fresh or named (given or the scene's); folders that were there before stay.
TEST_F(HostsimProgramTest, ARunEndedBeforeTheModuleRanTakesAwayTheFoldersItMade) {
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        ExitStatus status;
        std::vector<fs::path> kept, gone;
    };
    const fs::path there = folder("there"), existing = folder("existing");
    const fs::path noLabel = folder("no-label");
    fs::create_directories(noLabel / "text");
    write(noLabel / "text" / "TarveloMessages.txt", "Other\nAnother text\n");
    write(dir / "scene.json", boxScene(R"("made/by/scene")"));
    write(dir / "lost.session", "press Export\n");
    const std::vector<Case> cases = {
        {"no toolkit entries, a fresh folder",
         {"--module", utf8Path(kNoEntryModule)},
         ExitStatus::BadModule,
         {},
         {}},
        {"no toolkit entries, a named folder below one that exists",
         {"--module", utf8Path(kNoEntryModule), "--workdir", utf8Path(there / "new" / "deeper")},
         ExitStatus::BadModule,
         {there},
         {there / "new"}},
        {"no toolkit entries, the scene's folder",
         {"--module", utf8Path(kNoEntryModule), "--scene", utf8Path(dir / "scene.json")},
         ExitStatus::BadModule,
         {dir.path()},
         {dir / "made"}},
        {"no toolkit entries, a named folder that was there",
         {"--module", utf8Path(kNoEntryModule), "--workdir", utf8Path(existing)},
         ExitStatus::BadModule,
         {existing},
         {}},
        {"a failed start-up, a fresh folder",
         {utf8Path(kTestModule), "--text-root", utf8Path(noLabel)},
         ExitStatus::StartupFailed,
         {},
         {}},
        {"a failed start-up, a named folder",
         {utf8Path(kTestModule), "--text-root", utf8Path(noLabel), "--workdir",
          utf8Path(there / "startup")},
         ExitStatus::StartupFailed,
         {there},
         {there / "startup"}},
        // Once the module has run, what the run made stays, empty or not.
        {"the module ran, nothing was written",
         {"--session", utf8Path(dir / "lost.session"), "--workdir", utf8Path(there / "ran")},
         ExitStatus::SessionNotRun,
         {there / "ran"},
         {}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tmp = folder("tmp-" + std::to_string(++n));
        TestProcess::Options options;
        options.environment["TMPDIR"] = utf8Path(tmp);
        TestProcess::Result r = hostsim(c.arguments, options);
        EXPECT_EQ(r.exitCode, code(c.status)) << lastRun();
        EXPECT_TRUE(contains(r.out, "\nworking directory ")) << lastRun();
        for (const fs::path& d : c.kept) {
            EXPECT_TRUE(fs::is_directory(d)) << utf8Path(d);
        }
        for (const fs::path& d : c.gone) {
            EXPECT_FALSE(fs::exists(d)) << utf8Path(d);
        }
#if !defined(_WIN32)
        EXPECT_EQ(namesIn(tmp), std::vector<std::string>{}) << lastRun();
#endif
    }
    EXPECT_EQ(namesIn(there), std::vector<std::string>{"ran"});
    EXPECT_EQ(namesIn(there / "ran"), std::vector<std::string>{});
}

// A made folder that holds something when the run ends stays, and so do those above it: only
// empty folders are taken away. The run goes through the program's own function in this
// process, which lets the test put a file there before the module is loaded.
TEST_F(HostsimProgramTest, AMadeFolderThatWasFilledMeanwhileStays) {
    const fs::path work = dir / "made" / "filled";
    std::vector<std::string> arguments = {
        "hostsim",      "--module",    utf8Path(kNoEntryModule), "--workdir",
        utf8Path(work), "--text-root", utf8Path(kResources)};
#if !defined(_WIN32)
    arguments.insert(arguments.end(), {"--registry", utf8Path(sandbox.storeDirectory())});
#endif
    std::ostringstream out, err;
    ExitStatus status = Hostsim::runHostsim(
        arguments, out, err, [&](Hostsim::Session&) { write(work / "someone else's", "x"); });
    EXPECT_EQ(status, ExitStatus::BadModule) << out.str() << err.str();
    EXPECT_EQ(namesIn(work), std::vector<std::string>{"someone else's"});
}

TEST_F(HostsimProgramTest, HelpListsEveryOptionWithItsDefaultAndEveryExitStatus) {
    for (const char* flag : {"--help", "-h"}) {
        SCOPED_TRACE(flag);
        TestProcess::Result r = TestProcess::run(kHostsim, {flag}, scratch());
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.err, "");
        std::vector<std::string> options = {"--module FILE",   "--scene FILE",
                                            "--session FILE",  "--workdir DIR",
                                            "--text-root DIR", "--tarvelo-dir DIR"};
#if !defined(_WIN32)
        options.push_back("--registry DIR");
#endif
        for (const std::string& option : options) {
            // The option's line, then a line with its default.
            std::size_t at = r.out.find("\n  " + option);
            ASSERT_NE(at, std::string::npos) << option << "\n" << r.out;
            std::size_t next = r.out.find("\n  -", at + 1);
            EXPECT_TRUE(contains(r.out.substr(at, next - at), "default: ")) << option;
        }
        for (const Hostsim::ExitStatusMeaning& m : Hostsim::exitStatusMeanings()) {
            std::string number = std::to_string(code(m.status));
            std::string meaning = m.meaning;
            EXPECT_TRUE(contains(r.out, number + "  " + meaning.substr(0, meaning.find('\n'))))
                << number;
        }
    }
}

// Every option takes a path outside ASCII, in the C locale; the working folder may hold such
// names already. Paths are shown in UTF-8.
TEST_F(HostsimProgramTest, PathsOutsideAsciiWorkInTheCLocale) {
    const fs::path root = folder(u8"h\u00e9\u2013\u20ac\u0152");
    fs::copy_file(kModule, root / (u8"m\u00f6dule" + kModule.extension().u8string()));
    fs::copy_file(kExamples / "gearbox-assembly.json", root / u8"sc\u00e8ne.json");
    write(root / u8"s\u00e9ance.session",
          "invoke Tarvelo Gateway\ntoggle DeleteTvl\npress Export\n");
    fs::copy(kResources, root / u8"t\u00e9xtes", fs::copy_options::recursive);
    const fs::path work = root / u8"w\u00f6rk";
    fs::create_directories(work);
    write(work / u8"\u00e9.tvl", "not this run's");
    TestProcess::Result r =
        hostsim({"--module", utf8Path(root / (u8"m\u00f6dule" + kModule.extension().u8string())),
                 "--scene", utf8Path(root / u8"sc\u00e8ne.json"), "--session",
                 utf8Path(root / u8"s\u00e9ance.session"), "--text-root",
                 utf8Path(root / u8"t\u00e9xtes"), "--workdir", utf8Path(work)},
                TestProcess::cLocale());
    ASSERT_EQ(r.exitCode, 0) << lastRun();
    const std::string written = utf8Path(work / "GEARBOX.tvl");
    EXPECT_TRUE(contains(r.out, "working directory " + utf8Path(work) + "\n")) << lastRun();
    EXPECT_TRUE(
        contains(r.out, "area ExportTvlFile %0s: The exchange file was written: " + written))
        << lastRun();
    EXPECT_EQ(linesAfter(r.out, "exchange file: "), std::vector<std::string>{written});
    EXPECT_EQ(namesIn(work), (std::vector<std::string>{"GEARBOX.tvl", utf8Path(u8"\u00e9.tvl")}));
}

// The user-interface document's example session runs as written.
TEST_F(HostsimProgramTest, TheDocumentedSessionRunsAsWritten) {
    std::vector<std::string> blocks = MarkdownText::codeBlocks(
        MarkdownText::section(MarkdownText::readFile(utf8Path(kSource / "host/UserInterface.md")),
                              "### One event of each kind"));
    ASSERT_FALSE(blocks.empty());
    write(dir / "documented.session", blocks[0]);
    TestProcess::Result r = hostsim({"--session", utf8Path(dir / "documented.session"), "--workdir",
                                     utf8Path(folder("documented"))});
    EXPECT_EQ(r.exitCode, 0) << lastRun();
    EXPECT_TRUE(contains(r.out, "area TarveloNotInstalled")) << lastRun();
}

// A second run into the same folder writes the next free name and lists only that file.
TEST_F(HostsimProgramTest, TheListingShowsOnlyTheFileThisRunWrote) {
    const fs::path work = folder("twice");
    std::vector<std::vector<std::string>> listed;
    for (int run = 0; run < 2; ++run) {
        TestProcess::Result r = hostsim({"--workdir", utf8Path(work)});
        ASSERT_EQ(r.exitCode, 0) << lastRun();
        listed.push_back(linesAfter(r.out, "exchange file: "));
    }
    EXPECT_EQ(listed[0], std::vector<std::string>{utf8Path(work / "GEARBOX.tvl")});
    EXPECT_EQ(listed[1], std::vector<std::string>{utf8Path(work / "GEARBOX_1.tvl")});

    // tvlsummary reads what was listed.
    TestProcess::Result summary = TestProcess::run(kTvlsummary, {listed[1][0]}, scratch());
    EXPECT_EQ(summary.exitCode, 0) << summary.err;
    EXPECT_TRUE(contains(summary.out, "GEARBOX_1 (version ")) << summary.out;
    EXPECT_TRUE(contains(summary.out, "nodes ")) << summary.out;
}

TEST_F(HostsimProgramTest, TarveloDirInstallsTheApplicationThatTheExportStarts) {
    const fs::path work = folder("started");
    const fs::path application = install("tarvelo");
    TestProcess::Result r =
        hostsim({"--workdir", utf8Path(work), "--tarvelo-dir", utf8Path(application)});
    ASSERT_EQ(r.exitCode, 0) << lastRun();
    EXPECT_TRUE(contains(r.out, "area TarveloOpenSuccess")) << lastRun();
    const fs::path file = work / "GEARBOX.tvl";
    EXPECT_EQ(linesAfter(r.out, "exchange file: "), std::vector<std::string>{utf8Path(file)});
    // The started program got the file and, as "DeleteTvl" is set, "-d".
    fs::path go = file, args = file;
    go += ".go";
    args += ".args";
    write(go, "1");
    ASSERT_TRUE(RecorderProgram::waitFor(args));
    EXPECT_EQ(RecorderProgram::readLines(args), (std::vector<std::string>{utf8Path(file), "-d"}));
}

// The value is the folder's full path as UTF-16 text with its NUL, outside ASCII too.
TEST_F(HostsimProgramTest, TarveloDirIsWrittenAsTheMachineWideInstallPath) {
    const fs::path application = folder(u8"t\u00e4rvelo\u2013\u20ac");
    TestProcess::Result r =
        hostsim({"--workdir", utf8Path(folder("path")), "--tarvelo-dir", utf8Path(application)},
                TestProcess::cLocale());
    EXPECT_EQ(r.exitCode, code(ExitStatus::ExportFailed)) << lastRun(); // nothing to start there
    std::vector<unsigned char> expected = ascii16(utf8Path(dir.path() / ""));
    for (unsigned char b : {0x74, 0x00, 0xE4, 0x00, 0x72, 0x00, 0x76, 0x00, 0x65, 0x00,
                            0x6C, 0x00, 0x6F, 0x00, 0x13, 0x20, 0xAC, 0x20, 0x00, 0x00}) {
        expected.push_back(b);
    }
    EXPECT_EQ(readRaw(HKEY_LOCAL_MACHINE, kTarveloKeyPath, L"Path"), (RawValue{REG_SZ, expected}));
}

// `base` extended by folders to a path of `bytes` bytes in UTF-8, names made of `unit` (ASCII
// "x" for a wide text as long, or a two-byte character), each name short enough for any file
// system.
fs::path pathOfBytes(const fs::path& base, std::size_t bytes, const std::string& unit) {
    std::string text = utf8Path(base);
    while (text.size() < bytes) {
        std::size_t left = bytes - text.size(); // the separator and a name
        std::size_t name = left <= 201 ? left - 1 : (left - 151 == 1 ? 149 : 150);
        text += '/';
        for (std::size_t n = 0; n + unit.size() <= name; n += unit.size()) {
            text += unit;
        }
        while (text.size() < bytes - left + 1 + name) {
            text += 'x';
        }
    }
    return Hostsim::pathFromUtf8(text).make_preferred();
}

// How the working directory is found, made, shown and handed to the plug-in: a relative one
// from the scene's folder (the scene's member) or the current folder (--workdir); made when
// missing; refused before the module starts when the plug-in could not be handed that very
// folder.
struct WorkdirCase {
    const char* name;
    // Sets up the case and returns hostsim's arguments; runs in the folder "cwd".
    std::function<std::vector<std::string>(HostsimProgramTest&)> arguments;
    ExitStatus status;
    fs::path directory; // Success: where the file goes; else: what must not be made
    std::string err;    // else: the message
};

TEST_F(HostsimProgramTest, TheWorkingDirectoryFollowsOneRuleForSceneAndCommandLine) {
    const fs::path scenes = folder("scenes"), cwd = folder("cwd");
    auto scene = [scenes](const std::string& name, const std::string& workingDirectory) {
        write(scenes / name, boxScene(workingDirectory));
        return utf8Path(scenes / name);
    };
    const std::string refused = " cannot be handed to the plug-in: ";
    std::vector<WorkdirCase> cases = {
        {"the scene's relative folder starts in the scene's folder and is made",
         [&](HostsimProgramTest&) {
             return std::vector<std::string>{"--scene", scene("relative.json", R"("rel/sub")")};
         },
         ExitStatus::Success, scenes / "rel/sub", ""},
        {"the scene's absolute folder is made",
         [&](HostsimProgramTest& t) {
             return std::vector<std::string>{
                 "--scene",
                 scene("absolute.json", "\"" + genericUtf8(t.dir / "abs" / "new") + "\"")};
         },
         ExitStatus::Success, dir / "abs" / "new", ""},
        {"--workdir starts in the current folder and is made",
         [&](HostsimProgramTest&) {
             return std::vector<std::string>{"--workdir", "made/here"};
         },
         ExitStatus::Success, cwd / "made/here", ""},
        {"--workdir wins over the scene's, which is not made",
         [&](HostsimProgramTest&) {
             return std::vector<std::string>{"--scene", scene("both.json", R"("not-made")"),
                                             "--workdir", "given"};
         },
         ExitStatus::Success, cwd / "given", ""},
        {"the scene's empty text",
         [&](HostsimProgramTest&) {
             return std::vector<std::string>{"--scene", scene("empty.json", R"("")")};
         },
         ExitStatus::BadScene, fs::path(),
         utf8Path(scenes / "empty.json") + ": /workingDirectory: an empty text names no folder"},
        {"a wide text of the host's path size with its separator",
         [&](HostsimProgramTest&) {
             return std::vector<std::string>{"--workdir", utf8Path(pathOfBytes(cwd, 259, "x"))};
         },
         ExitStatus::SetupFailed, pathOfBytes(cwd, 259, "x"),
         utf8Path(pathOfBytes(cwd, 259, "x")) + refused +
             "with its separator it is 260 characters long; the host's paths hold at most 259"},
    };
#if !defined(_WIN32)
    // Where "\" is no separator for the system, a name that ends with it would be read as the
    // folder's end by the host: the file would land beside the folder.
    cases.push_back(
        {"the scene's folder ending with a backslash",
         [&](HostsimProgramTest&) {
             return std::vector<std::string>{"--scene", scene("backslash.json", R"("out\\")")};
         },
         ExitStatus::SetupFailed, scenes / "out\\",
         utf8Path(scenes / "out\\") + refused +
             "it ends with \"\\\", which the host reads as a separator"});
    cases.push_back({"--workdir ending with a backslash",
                     [&](HostsimProgramTest&) {
                         return std::vector<std::string>{"--workdir", "w\\"};
                     },
                     ExitStatus::SetupFailed, cwd / "w\\",
                     utf8Path(cwd / "w\\") + refused + "it ends with \"\\\""});
    cases.push_back({"a name that is no UTF-8 text",
                     [&](HostsimProgramTest&) {
                         return std::vector<std::string>{"--workdir", "\xe9t\xe9"};
                     },
                     ExitStatus::SetupFailed, cwd / "\xe9t\xe9",
                     refused + "its name is no UTF-8 text"});
    // The last size that fits and the first that does not, in characters and in the narrow
    // (UTF-8) form's bytes; the file is written into the longest folder. (Windows keeps the
    // file's whole path within 260 characters, so the longest folders are tried here only.)
    cases.push_back(
        {"a wide text one shorter than the host's path size",
         [&](HostsimProgramTest&) {
             return std::vector<std::string>{"--workdir", utf8Path(pathOfBytes(cwd, 258, "x"))};
         },
         ExitStatus::Success, pathOfBytes(cwd, 258, "x"), ""});
    cases.push_back({"a narrow form one shorter than the host's path size",
                     [&](HostsimProgramTest&) {
                         return std::vector<std::string>{
                             "--workdir", utf8Path(pathOfBytes(cwd, 258, "\xc3\xa9"))};
                     },
                     ExitStatus::Success, pathOfBytes(cwd, 258, "\xc3\xa9"), ""});
    cases.push_back({"a narrow form of the host's path size",
                     [&](HostsimProgramTest&) {
                         return std::vector<std::string>{
                             "--workdir", utf8Path(pathOfBytes(cwd, 259, "\xc3\xa9"))};
                     },
                     ExitStatus::SetupFailed, pathOfBytes(cwd, 259, "\xc3\xa9"),
                     refused + "with its separator its narrow form is 260 bytes long; the host's "
                               "paths hold at most 259"});
#endif
    const fs::path start = fs::current_path();
    for (WorkdirCase c : cases) {
        SCOPED_TRACE(c.name);
        c.directory.make_preferred();
        fs::current_path(cwd);
        std::vector<std::string> arguments = c.arguments(*this);
        TestProcess::Result r = hostsim(arguments);
        fs::current_path(start);
        EXPECT_EQ(r.exitCode, code(c.status)) << lastRun();
        if (c.status == ExitStatus::Success) {
            EXPECT_TRUE(contains(r.out, "\nworking directory " + utf8Path(c.directory) + "\n"))
                << lastRun();
            const std::vector<std::string> listed = linesAfter(r.out, "exchange file: ");
            ASSERT_EQ(listed.size(), 1u) << lastRun();
            EXPECT_TRUE(fs::is_regular_file(Hostsim::pathFromUtf8(listed[0])));
            EXPECT_EQ(Hostsim::pathFromUtf8(listed[0]).parent_path(), c.directory);
        } else {
            EXPECT_TRUE(contains(r.err, c.err)) << c.err << "\n" << lastRun();
            EXPECT_FALSE(contains(r.out, "started ")) << lastRun();
            if (!c.directory.empty()) {
                EXPECT_FALSE(fs::exists(c.directory)) << utf8Path(c.directory);
            }
        }
    }
    EXPECT_FALSE(fs::exists(scenes / "not-made"));
}

// Greek, Cyrillic and CJK in the working directory's name, in the C locale: hostsim makes and
// hands over the folder either way. Natively the plug-in writes into it; on Windows its narrow
// text (the code page 1252) cannot name the folder, and the plug-in says so itself.
TEST_F(HostsimProgramTest, AWorkingDirectoryBeyondTheCodePageIsHandedOver) {
    const fs::path work =
        dir / u8"\u03c6\u03ac\u03ba\u03b5\u03bb\u03bf\u03c2-\u043f\u0430\u043f\u043a\u0430-"
              u8"\u6587\u4ef6\u5939";
    TestProcess::Result r = hostsim({"--workdir", utf8Path(work)}, TestProcess::cLocale());
    EXPECT_TRUE(contains(r.out, "\nworking directory " + utf8Path(work) + "\n")) << lastRun();
    EXPECT_TRUE(fs::is_directory(work));
#if defined(_WIN32)
    EXPECT_EQ(r.exitCode, code(ExitStatus::ExportFailed)) << lastRun();
    EXPECT_TRUE(contains(r.out, "area ExportTvlFailed")) << lastRun();
    EXPECT_TRUE(namesIn(work).empty());
#else
    EXPECT_EQ(r.exitCode, 0) << lastRun();
    EXPECT_EQ(linesAfter(r.out, "exchange file: "),
              std::vector<std::string>{utf8Path(work / "GEARBOX.tvl")});
#endif
}

#if !defined(_WIN32)
// Output that cannot be written is an error whose reason is on standard error: status 12 for a
// run that would have ended with 0, the run's own status otherwise. Through a shell that points
// the output at /dev/full or closes it.
TEST_F(HostsimProgramTest, OutputThatCannotBeWrittenIsAnError) {
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        const char* redirection;
        ExitStatus status;
        std::string err;
    };
    const std::string noSpace = std::make_error_code(std::errc::no_space_on_device).message();
    const std::string work = utf8Path(folder("full"));
    const std::vector<Case> cases = {
        {"a run whose output is written", {"--workdir", work}, "", ExitStatus::Success, ""},
        {"a run to a full device",
         {"--workdir", work},
         ">/dev/full",
         ExitStatus::OutputFailed,
         "hostsim: cannot write standard output: " + noSpace + "\n"},
        {"help to a full device",
         {"--help"},
         ">/dev/full",
         ExitStatus::OutputFailed,
         "hostsim: cannot write standard output: " + noSpace + "\n"},
        {"a run with its standard output closed",
         {"--workdir", work},
         ">&-",
         ExitStatus::OutputFailed,
         "hostsim: cannot write standard output: " +
             std::make_error_code(std::errc::bad_file_descriptor).message() + "\n"},
        {"a bad command line keeps its status",
         {"--sesion", "x"},
         ">/dev/full 2>/dev/full",
         ExitStatus::BadArguments,
         ""},
        // Last: it leaves the application's path in the test's registry.
        {"a failed export keeps its status",
         {"--workdir", work, "--tarvelo-dir", work},
         ">/dev/full",
         ExitStatus::ExportFailed,
         "hostsim: an export failed: \"TarveloOpenFailed\"\nhostsim: cannot write standard "
         "output: " +
             noSpace + "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments = {"--registry", utf8Path(sandbox.storeDirectory())};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        TestProcess::Result r =
            TestProcess::runRedirected(kHostsim, arguments, c.redirection, scratch());
        EXPECT_EQ(r.exitCode, code(c.status)) << TestProcess::describe(r);
        EXPECT_EQ(r.err, c.err);
    }
}

// Past a file-size limit the write fails: the plug-in reports it and leaves no partial file.
TEST_F(HostsimProgramTest, AFileSizeLimitIsAFailedWrite) {
    const fs::path work = folder("limited");
    // 8 blocks of 512 bytes: room for hostsim's output, not for the exchange file (11 KB).
    std::vector<std::string> arguments = {
        "-c",          "ulimit -f 8 && exec \"$0\" \"$@\"", utf8Path(kHostsim),
        "--registry",  utf8Path(sandbox.storeDirectory()),  "--workdir",
        utf8Path(work)};
    TestProcess::Result r = TestProcess::run("/bin/sh", arguments, scratch());
    EXPECT_EQ(r.exitCode, code(ExitStatus::ExportFailed)) << r.out << r.err;
    EXPECT_TRUE(contains(r.out, "area ExportTvlFailed")) << r.out;
    EXPECT_TRUE(contains(r.err, "an export failed: \"ExportTvlFailed\"")) << r.err;
    EXPECT_TRUE(namesIn(work).empty());
}
#endif

} // namespace
