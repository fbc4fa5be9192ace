// The fault sweep: one full session (start-up, the dialog with edits, an export, the start of
// the application) is run once cleanly to list every toolkit call the plug-in makes; then it is
// run again once per call with that call failing (-1, and -4 where callers treat "not found" on
// its own). Every run must end with nothing escaping into the host, no dialog left, every host
// allocation released and no exchange file that is not complete.
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

struct RunOutcome {
    std::vector<Hostsim::Call> calls;
    bool faultHit = false;
};

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

    std::map<std::string, int> seen;
    int faulted = 0;
    for (const Hostsim::Call& call : clean.calls) {
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
        }
    }
    EXPECT_GT(faulted, static_cast<int>(clean.calls.size()) - 1);
    std::cout << "fault sweep: " << clean.calls.size() << " calls of " << functions.size()
              << " functions, " << faulted << " faulted runs\n";
}

} // namespace
