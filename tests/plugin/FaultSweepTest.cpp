// The fault sweep: one full session (start-up, the dialog with edits, an export, the start of
// the application) is run once cleanly to list every toolkit call the plug-in makes; then it is
// run again once per call with that call failing (-1, and -4 where callers treat "not found" on
// its own). Every run must end with nothing escaping into the host, no dialog left, every host
// allocation released and no exchange file that is not complete, and with the user told: either
// a failure key was shown, or the application was started and said so, or the run ended at one
// of the few places the design leaves silent (silentEnd below).
#include "EntryPoints.h"
#include "HostTestSupport.h"
#include "OptionsPersistency.h"
#include "ProToolkitRuntime.h"
#include "RecorderProgram.h"
#include "RegistrySandbox.h"
#include "TempDir.h"
#include "TvlReader.h"
#include "UserInterface.h"
#include "Utf16.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <thread>

namespace fs = std::filesystem;

namespace {

using RecorderProgram::kRecorder;
using RecorderProgram::kViewer;
using RecorderProgram::readLines;
using RecorderProgram::testProgramDirectory;
using RecorderProgram::waitFor;

const char* const kSessionScript = "invoke Tarvelo Gateway\n"
                                   "text CtiValue CTI\n"
                                   "press AttributeAdd\n"
                                   "press AttributeAdd\n"
                                   "text tarveloName0 MATERIAL\n"
                                   "select tarveloType0 Both\n"
                                   "press tarveloRemove1\n"
                                   "spin ChordHeight 0.5\n"
                                   "spin AngleControl 0.25\n"
                                   "toggle DeleteTvl\n"
                                   "press Export\n";

// Functions whose failure leaves the block they were to release with the host.
const std::set<std::string> kReleases = {
    "ProArrayFree",
    "ProStringarrayFree",
    "ProWstringFree",
    "ProTessellationFree",
    "ProGeomitemdataFree",
    "ProFacetverticesFree",
    "ProSurfacetessellationinputFree",
};

// Callers that take "not found" as an answer of its own: the visits and the cell deletion.
const std::set<std::string> kNotFoundMatters = {
    "ProSolidFeatVisit",     "ProParameterVisit",     "ProSolidBodySurfaceVisit",
    "ProSolidFacetsetVisit", "ProFacetsetFacetVisit", "ProUITableCellComponentDelete",
};

struct Fault {
    std::string function;
    int occurrence = 0; // 1 for the function's first call
    ProErrors status = PRO_TK_GENERAL_ERROR;
};

// The keys that tell the user that an export failed: in the message area, or as the title of a
// message dialog.
const std::set<std::string> kFailureKeys = {"CreoImportError", "ExportTvlFailed",
                                            "TarveloOpenFailed", "DeleteTvlFailed"};

struct RunOutcome {
    std::vector<Hostsim::Call> calls;
    bool faultHit = false;
    // What the user was shown: area keys, and "dialog " and the title key of message dialogs.
    std::vector<std::string> shown;
};

bool showsFailure(const RunOutcome& r) {
    for (const std::string& key : r.shown) {
        const std::string plain = key.rfind("dialog ", 0) == 0 ? key.substr(7) : key;
        if (kFailureKeys.count(plain) != 0) {
            return true;
        }
    }
    return false;
}

bool showsStart(const RunOutcome& r) {
    return std::find(r.shown.begin(), r.shown.end(), "TarveloOpenSuccess") != r.shown.end();
}

// The places where the design lets a session end without a failure key and without a start:
// the reason, or no value for any other place. `beforeDialog` tells that the failing call came
// before the dialog ran (start-up and the dialog's set-up).
std::optional<std::string> silentEnd(const Hostsim::Call& failing, bool beforeDialog) {
    if (beforeDialog) {
        return "start-up or the dialog's set-up: the command ends, no export is offered";
    }
    if (failing.function == "ProDirectoryCurrentGet") {
        return "no working directory";
    }
    if (failing.function == "ProUICheckbuttonGetState") {
        return "\"DeleteTvl\" unreadable";
    }
    // The script clears "DeleteTvl", so the result message is always the one with the path.
    if (failing.function == "ProMessageDisplay" && failing.item == "ExportTvlFile %0s") {
        return "the result message failed: nothing else is shown or started";
    }
    if (failing.function == "ProMessageDisplay" && failing.item == "TarveloOpenSuccess") {
        return "the report of the start failed";
    }
    return std::nullopt;
}

class FaultSweep : public ::testing::Test {
protected:
    void SetUp() override {
        install = std::make_unique<TvlTest::TempDir>("install");
        fs::copy_file(testProgramDirectory() / kRecorder, install->path() / kViewer);
        fs::permissions(install->path() / kViewer, fs::perms::owner_all, fs::perm_options::add);
    }

    static void buildScene(Hostsim::Session& session) {
        Hostsim::Model& box = HostTest::addBoxPart(session, L"BOX");
        box.parameters.push_back({L"CTI", Hostsim::ParameterValue::ofInteger(600)});
        box.parameters.push_back({L"MATERIAL", Hostsim::ParameterValue::ofText(L"PA66")});
        HostTest::addCylinderPart(session, L"PIN", 2.0, 8.0);
        Hostsim::Model& assembly =
            HostTest::addAssemblyOf(session, L"ASM",
                                    {{L"BOX", Hostsim::identityMatrix()},
                                     {L"PIN", Hostsim::translationMatrix(2, 2, 10)},
                                     {L"PIN", Hostsim::translationMatrix(8, 8, 10)}});
        assembly.parameters.push_back({L"MATERIAL", Hostsim::ParameterValue::ofText(L"MIX")});
        session.setCurrent(&assembly);
    }

    // One whole session, with at most one fault; checks the host's state at its end.
    RunOutcome runSession(const std::optional<Fault>& fault, const std::string& label) {
        RunOutcome outcome;
        RegistrySandbox registry;
        TvlTest::TempDir work("sweep");
        std::vector<unsigned char> path;
        for (char16_t unit : KorvaneUtil::toUtf16(install->path().wstring())) {
            path.push_back(static_cast<unsigned char>(unit & 0xFF));
            path.push_back(static_cast<unsigned char>(unit >> 8));
        }
        path.insert(path.end(), {0, 0});
        writeRaw(HKEY_LOCAL_MACHINE, kTarveloKeyPath, L"Path", REG_SZ, path);
        // The stand-in application may finish at once.
        std::ofstream(work / "ASM.tvl.go").put('1');
        g_options = Velmora::OptionsPersistency{};
        {
            Hostsim::Session session;
            session.recordCalls();
            session.workingDirectory = work.path().wstring();
            buildScene(session);
            session.ui().addEvents(Hostsim::parseSessionScript(kSessionScript, "sweep"));
            if (fault) {
                session.faults().onCall(fault->function, fault->occurrence, fault->status);
            }
            ProToolkitStartup startup = session.startup();
            // A failed start-up leaves no command; the script then finds none to invoke.
            EXPECT_NO_THROW({
                user_initialize_plus(&startup);
                Hostsim::runSessionScript(session);
                user_terminate_plus();
            }) << label;

            for (const Hostsim::Call& call : session.log().calls()) {
                outcome.faultHit = outcome.faultHit || call.injected.has_value();
            }
            outcome.calls = session.log().calls();
            for (const Hostsim::TranscriptEntry& e : session.transcript().entries()) {
                if (e.kind == Hostsim::TranscriptEntry::Kind::Area) {
                    outcome.shown.push_back(e.key);
                } else if (e.kind == Hostsim::TranscriptEntry::Kind::Dialog) {
                    outcome.shown.push_back("dialog " + e.titleKey);
                }
            }
            // A destroy the host refuses leaves the dialog with the host; nothing else may.
            bool destroyRefused = fault && fault->function == "ProUIDialogDestroy";
            EXPECT_LE(session.ui().dialogs().size(), destroyRefused ? 1u : 0u) << label;
            EXPECT_TRUE(session.ledger().violations().empty()) << label << "\n"
                                                               << session.ledger().report();
            bool releaseRefused = fault && kReleases.count(fault->function) != 0;
            EXPECT_LE(session.ledger().outstanding(), releaseRefused ? 1u : 0u)
                << label << "\n"
                << session.ledger().report();
            session.ledger().reset();
        }
        // Whatever exchange file is left is complete.
        for (const auto& entry : fs::directory_iterator(work.path())) {
            if (entry.path().extension() == ".tvl") {
                EXPECT_NO_THROW(TvlRead::readFile(entry.path())) << label;
            }
        }
        // The stand-in application, when started, is done before its folder goes.
        fs::path args = work / "ASM.tvl.args";
        for (int i = 0; i < 200 && fs::exists(work / "ASM.tvl") && outcomeStarted(outcome.calls) &&
                        !fs::exists(args);
             ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        g_options = Velmora::OptionsPersistency{};
        return outcome;
    }

    static bool outcomeStarted(const std::vector<Hostsim::Call>& calls) {
        for (const Hostsim::Call& c : calls) {
            if (c.function == "ProMessageDisplay" && c.item == "TarveloOpenSuccess") {
                return true;
            }
        }
        return false;
    }

    std::unique_ptr<TvlTest::TempDir> install;
};

TEST_F(FaultSweep, EveryCallMayFailWithoutHarm) {
    RunOutcome clean = runSession(std::nullopt, "clean run");
    ASSERT_TRUE(outcomeStarted(clean.calls)) << "the clean session must reach the start";
    std::set<std::string> functions;
    for (const Hostsim::Call& c : clean.calls) {
        functions.insert(c.function);
    }
    // The session reaches every part of the plug-in.
    for (const char* f :
         {"ProCmdActionAdd", "ProUIDialogActivate", "ProUITableCellComponentCopy",
          "ProUIOptionmenuSelectednamesGet", "ProSolidFeatVisit", "ProSurfaceTessellationGet",
          "ProDirectoryCurrentGet", "ProUICheckbuttonGetState", "ProUIDialogExit"}) {
        EXPECT_EQ(functions.count(f), 1u) << f;
    }

    std::size_t dialogRuns = clean.calls.size();
    for (std::size_t i = 0; i < clean.calls.size(); ++i) {
        if (clean.calls[i].function == "ProUIDialogActivate") {
            dialogRuns = i;
            break;
        }
    }
    ASSERT_LT(dialogRuns, clean.calls.size());

    std::map<std::string, int> seen;
    std::map<std::string, int> silent;
    int faulted = 0;
    int failures = 0;
    int starts = 0;
    for (std::size_t index = 0; index < clean.calls.size(); ++index) {
        const Hostsim::Call& call = clean.calls[index];
        int occurrence = ++seen[call.function];
        std::vector<ProErrors> statuses = {PRO_TK_GENERAL_ERROR};
        if (kNotFoundMatters.count(call.function) != 0) {
            statuses.push_back(PRO_TK_E_NOT_FOUND);
        }
        for (ProErrors status : statuses) {
            std::string label =
                call.function + " #" + std::to_string(occurrence) + " -> " + std::to_string(status);
            RunOutcome r = runSession(Fault{call.function, occurrence, status}, label);
            EXPECT_TRUE(r.faultHit) << label;
            ++faulted;
            std::string shown;
            for (const std::string& key : r.shown) {
                shown += " [" + key + "]";
            }
            // A failure and a start are never both reported.
            EXPECT_FALSE(showsFailure(r) && showsStart(r)) << label << ":" << shown;
            if (showsFailure(r)) {
                ++failures;
            } else if (showsStart(r)) {
                ++starts;
            } else if (std::optional<std::string> why = silentEnd(call, index <= dialogRuns)) {
                ++silent[*why];
            } else {
                ADD_FAILURE() << label << " (" << call.item
                              << ") ended without a failure key and without a start:" << shown;
            }
        }
    }
    EXPECT_GT(faulted, static_cast<int>(clean.calls.size()) - 1);
    std::cout << "fault sweep: " << clean.calls.size() << " calls of " << functions.size()
              << " functions, " << faulted << " faulted runs: " << failures << " showed a failure, "
              << starts << " started the application\n";
    for (const auto& [why, count] : silent) {
        std::cout << "  " << count << " ended silently: " << why << "\n";
    }
    // Every silent place named above is met by the sweep.
    EXPECT_EQ(silent.size(), 5u);
}

} // namespace
