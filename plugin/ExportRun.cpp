// The export run behind the dialog's "Export" button.
#include "ExportRun.h"

#include "CAD_Assembly.h"
#include "CreoImport.h"
#include "ExportTVL.h"
#include "HeldFile.h"
#include "HostCallback.h"
#include "HostStatus.h"
#include "LaunchViewer.h"
#include "Messages.h"
#include "NarrowText.h"
#include "OptionsPersistency.h"
#include "ProToolkitRuntime.h"
#include "Registry.h"

#include <cstdint>
#include <vector>

namespace Velmora {

namespace {

namespace fs = std::filesystem;
using KorvaneGeometry::TvlFileState;

constexpr int kLastCounter = 999;

// The working directory as narrow text, or no value when the host has none or its narrow form
// does not fit the host's path length (or does not name the same directory).
enum class DirectoryResult { Ok, NoDirectory, Unusable };

DirectoryResult workingDirectory(std::string& out) {
    ProPath wide = {};
    if (ProDirectoryCurrentGet(wide) != PRO_TK_NO_ERROR) {
        return DirectoryResult::NoDirectory;
    }
    wide[PRO_PATH_SIZE - 1] = L'\0';
    // A character the narrow text cannot hold (outside the code page on Windows) would name
    // another directory; one whose narrow form is longer than the host's path length is
    // refused, not cut.
    std::optional<std::string> text = exactNarrowText(wide);
    if (!text || text->size() >= static_cast<std::size_t>(PRO_PATH_SIZE)) {
        return DirectoryResult::Unusable;
    }
    out = std::move(*text);
    return DirectoryResult::Ok;
}

// Anything at the path takes the name: a file, a directory, a link wherever it leads.
bool taken(const fs::path& path) {
    return fs::exists(fs::symlink_status(path));
}

// The extraction's status; an exception out of it is a failed extraction too.
ProErrors extract(KorvaneGeometry::CAD_Assembly& model, std::wstring& hostName) {
    return guardHostCallback(
        [&] { return CreoImport::computeAssembly(model, getOptions(), hostName); },
        PRO_TK_GENERAL_ERROR);
}

// The exchange file a run wrote, complete, and what is to become of it.
struct ExchangeFile {
    std::string pathText; // the narrow path, as the message and the command line carry it
    fs::path path;
    bool deleteAfterUse = false;
    // Held while a removal may still follow, so that a removal can only ever take this file.
    KorvaneGeometry::HeldFile held;
};

// How the writing ended: a file, or no file and the user is told, or no file silently (the host
// gave no working directory or no state of "DeleteTvl").
enum class Written { File, Failed, Silently };

// Writes the model under the first free name in the working directory. A name that something
// takes between the test and the creation of the file is passed over, like one that was taken
// before. `state` tells the caller whether a file at file.path is this run's own.
Written writeUnderFirstFreeName(KorvaneGeometry::CAD_Assembly& model, const std::wstring& hostName,
                                ExchangeFile& file, TvlFileState& state) {
    std::string directory;
    switch (workingDirectory(directory)) {
    case DirectoryResult::NoDirectory:
        return Written::Silently;
    case DirectoryResult::Unusable:
        return Written::Failed;
    case DirectoryResult::Ok:
        break;
    }
    const std::string modelName = model.getName();
    if (!isSafeModelName(modelName, hostName)) {
        return Written::Failed;
    }
    std::optional<bool> deleteAfterUse;
    for (int i = 0; state == TvlFileState::Untouched; ++i) {
        if (i > kLastCounter) {
            return Written::Failed;
        }
        std::string base = candidateBaseName(modelName, i);
        std::string candidatePath = directory + base + ".tvl";
        // A name that Windows keeps for a device or a stream would be no file of its own.
        std::optional<fs::path> candidate =
            isReservedWindowsName(base) ? std::nullopt : fileSystemPath(candidatePath);
        if (!candidate) {
            return Written::Failed;
        }
        if (taken(*candidate)) {
            continue;
        }
        if (!deleteAfterUse) {
            ProBoolean checked = PRO_B_TRUE;
            if (ProErrors status = ProUICheckbuttonGetState("Tarvelo", "DeleteTvl", &checked);
                status != PRO_TK_NO_ERROR) {
                return Written::Silently;
            }
            deleteAfterUse = checked == PRO_B_TRUE;
        }
        model.setName(base);
        file.pathText = std::move(candidatePath);
        file.path = std::move(*candidate);
        file.deleteAfterUse = *deleteAfterUse;
        KorvaneGeometry::ExportTVL(model, file.path, state, file.held);
    }
    return state == TvlFileState::Complete ? Written::File : Written::Failed;
}

// The writing phase. A file that this run began to write and did not finish, by a failure or an
// exception (a writer failure, a file-system error, a path that cannot be converted), is of no
// use and goes; whatever else is at the path is not this run's.
Written writeExchangeFile(KorvaneGeometry::CAD_Assembly& model, const std::wstring& hostName,
                          ExchangeFile& file) {
    TvlFileState state = TvlFileState::Untouched;
    Written written = Written::Failed;
    try {
        written = writeUnderFirstFreeName(model, hostName, file, state);
    } catch (...) {
        written = Written::Failed;
    }
    if (written == Written::Failed && state == TvlFileState::Created) {
        try {
            file.held.removeAt(file.path);
        } catch (...) {
            // Memory ran out: the file stays, and the failure is still shown.
        }
    }
    return written;
}

// Tells the user where the file is. Only a failed start with "DeleteTvl" still removes the
// file; otherwise it is let go at once, as after a start: Windows keeps the name of a file that
// is deleted while it is held, and the application with "-d" may delete it right away.
ProErrors reportWritten(ExchangeFile& file) {
    if (!file.deleteAfterUse) {
        file.held.release();
        return showMessage("ExportTvlFile %0s", {file.pathText.c_str()});
    }
    return showMessage("ExportTvlSuccess");
}

// After a failed start the file that the application was to delete goes: it never got it. Only
// the file this run wrote goes, not one that took its name meanwhile. True when the run may
// close the dialog.
bool removeAfterFailedStart(ExchangeFile& file) {
    if (!file.deleteAfterUse || file.held.removeAt(file.path)) {
        return true;
    }
    return showMessage("DeleteTvlFailed") == PRO_TK_NO_ERROR;
}

// Starts the application on the file. True when the start was tried and every message after it
// was shown: the run then closes the dialog.
bool startApplication(ExchangeFile& file) {
    std::optional<std::string> install = Registry::readTarveloPath();
    if (!install) {
        ignoreStatus(showMessage("TarveloNotInstalled"), "the run ends here either way");
        return false;
    }
    // An empty directory names no folder (it is also what a directory without a narrow form
    // reads as), and a line that cannot carry both paths exactly would start another program or
    // hand it other arguments: nothing is started on a guess.
    std::optional<std::string> commandLine;
    if (!install->empty()) {
        commandLine = tarveloCommandLine(*install, file.pathText, file.deleteAfterUse);
    }
    if (commandLine && launchViewer(*commandLine)) {
        file.held.release();
        return showMessage("TarveloOpenSuccess") == PRO_TK_NO_ERROR;
    }
    if (showMessage("TarveloOpenFailed") != PRO_TK_NO_ERROR) {
        return false;
    }
    return removeAfterFailedStart(file);
}

void runExport() {
    KorvaneGeometry::CAD_Assembly model;
    std::wstring hostName;
    if (extract(model, hostName) != PRO_TK_NO_ERROR) {
        ignoreStatus(showMessageDialog("CreoImportError", "CreoImportError"),
                     "the run ends here either way");
        return;
    }
    ExchangeFile file;
    switch (writeExchangeFile(model, hostName, file)) {
    case Written::Silently:
        return;
    case Written::Failed:
        ignoreStatus(showMessage("ExportTvlFailed"), "the run ends here either way");
        return;
    case Written::File:
        break;
    }
    if (reportWritten(file) != PRO_TK_NO_ERROR || !startApplication(file)) {
        return;
    }
    ignoreStatus(ProUIDialogExit("Tarvelo", 0), "the run is over; a dialog left open stays usable");
    ignoreStatus(ProMessageClear(), "a message left standing harms nothing");
}

} // namespace

bool isSafeModelName(const std::string& modelName) {
    // An empty name would write the hidden file ".tvl".
    if (modelName.empty() || modelName == "." || modelName == "..") {
        return false;
    }
    // Judged by its characters, so that no byte of a longer character is taken for one.
    std::optional<std::wstring> wide = exactWideText(modelName);
    if (!wide) {
        return false;
    }
    for (wchar_t c : *wide) {
        const auto code = static_cast<std::uint32_t>(c);
        if (c == L'/' || c == L'\\' || c == L'"' || code < 0x20 || (code >= 0x7F && code <= 0x9F)) {
            return false;
        }
    }
    return true;
}

bool isSafeModelName(const std::string& modelName, const std::wstring& hostName) {
    return exactNarrowText(hostName) == modelName && isSafeModelName(modelName);
}

std::string candidateBaseName(const std::string& modelName, int counter) {
    return counter == 0 ? modelName : modelName + "_" + std::to_string(counter);
}

bool isReservedWindowsName(const std::string& baseName) {
    std::optional<std::wstring> wide = exactWideText(baseName);
    if (!wide) {
        return true;
    }
    if (wide->find(L':') != std::wstring::npos) {
        return true;
    }
    // Windows reads the name before its first dot, without trailing blanks, as the device,
    // whatever follows.
    std::wstring stem = wide->substr(0, wide->find(L'.'));
    while (!stem.empty() && stem.back() == L' ') {
        stem.pop_back();
    }
    for (wchar_t& c : stem) {
        if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        }
    }
    for (const wchar_t* device :
         {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"}) {
        if (stem == device) {
            return true;
        }
    }
    if (stem.size() != 4 || (stem.compare(0, 3, L"COM") != 0 && stem.compare(0, 3, L"LPT") != 0)) {
        return false;
    }
    // A digit, or a superscript one, two or three (in the Windows code page).
    const wchar_t last = stem[3];
    return (last >= L'0' && last <= L'9') || last == L'\u00b9' || last == L'\u00b2' ||
           last == L'\u00b3';
}

std::optional<std::string> tarveloCommandLine(const std::string& installDirectory,
                                              const std::string& path, bool deleteAfterUse) {
    // A double quote would end a quoted path early and let the rest become arguments of their
    // own; backslashes before the closing quote of the path would escape it. The program's
    // path is followed by "\Tarvelo.exe" and takes its backslashes as they are.
    if (installDirectory.find('"') != std::string::npos || path.find('"') != std::string::npos ||
        (!path.empty() && path.back() == '\\')) {
        return std::nullopt;
    }
    std::string line = "\"" + installDirectory + "\\Tarvelo.exe\" \"" + path + "\"";
    if (deleteAfterUse) {
        line += " -d";
    }
    return line;
}

std::optional<std::filesystem::path> fileSystemPath(const std::string& narrowPath) {
#ifdef _WIN32
    std::vector<wchar_t> wide(narrowPath.size() + 1, L'\0');
    if (ProNarrowToWide(wide.data(), narrowPath.c_str(), static_cast<int>(wide.size())) ==
        nullptr) {
        return std::nullopt;
    }
    return std::filesystem::path(std::wstring(wide.data()));
#else
    return std::filesystem::path(narrowPath);
#endif
}

void exportAction(const char*, const char*, ProAppData) {
    // A failure reaches the user as a message key; only the reports of one can throw (memory
    // exhausted while showing them), and that ends the run.
    guardHostCallback(runExport);
}

} // namespace Velmora
