// The export run behind the dialog's "Export" button.
#include "ExportRun.h"

#include "CAD_Assembly.h"
#include "CreoImport.h"
#include "ExportTVL.h"
#include "HeldFile.h"
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

// How far a run got, for the handler of an exception that ends it.
enum class Stage { Extracting, Writing, Reported };

// Anything at the path takes the name: a file, a directory, a link wherever it leads.
bool taken(const fs::path& path) {
    return fs::exists(fs::symlink_status(path));
}

void runExport() {
    KorvaneGeometry::CAD_Assembly model;
    Stage stage = Stage::Extracting;
    fs::path fsPath;
    TvlFileState written = TvlFileState::Untouched;
    // Held while a removal may still follow, so that a removal can only ever take this file.
    KorvaneGeometry::HeldFile created;
    try {
        // An exception out of the extraction reaches the handler below, which reports it as a
        // failed extraction too.
        std::wstring hostName;
        const ProErrors status = CreoImport::computeAssembly(model, getOptions(), hostName);
        if (status != PRO_TK_NO_ERROR) {
            stage = Stage::Reported;
            showMessageDialog("CreoImportError", "CreoImportError");
            return;
        }

        stage = Stage::Writing;
        std::string directory;
        switch (workingDirectory(directory)) {
        case DirectoryResult::NoDirectory:
            return;
        case DirectoryResult::Unusable:
            showMessage("ExportTvlFailed");
            return;
        case DirectoryResult::Ok:
            break;
        }
        const std::string modelName = model.getName();
        if (!isSafeModelName(modelName, hostName)) {
            showMessage("ExportTvlFailed");
            return;
        }

        // The first free name is written. A name that something takes between the test and the
        // creation of the file is passed over, like one that was taken before.
        std::optional<bool> deleteAfterUse;
        std::string pathText;
        for (int i = 0; written == TvlFileState::Untouched; ++i) {
            if (i > kLastCounter) {
                showMessage("ExportTvlFailed");
                return;
            }
            std::string base = candidateBaseName(modelName, i);
            std::string candidatePath = directory + base + ".tvl";
            // A name that Windows keeps for a device or a stream would be no file of its own.
            std::optional<fs::path> candidate =
                isReservedWindowsName(base) ? std::nullopt : fileSystemPath(candidatePath);
            if (!candidate) {
                showMessage("ExportTvlFailed");
                return;
            }
            if (taken(*candidate)) {
                continue;
            }
            if (!deleteAfterUse) {
                ProBoolean state = PRO_B_TRUE;
                if (ProUICheckbuttonGetState("Tarvelo", "DeleteTvl", &state) != PRO_TK_NO_ERROR) {
                    return;
                }
                deleteAfterUse = state == PRO_B_TRUE;
            }
            model.setName(base);
            pathText = std::move(candidatePath);
            fsPath = std::move(*candidate);
            KorvaneGeometry::ExportTVL(model, fsPath, written, created);
        }
        if (written != TvlFileState::Complete) {
            if (written == TvlFileState::Created) {
                created.removeAt(fsPath);
            }
            showMessage("ExportTvlFailed");
            return;
        }

        // Only a failed start with "DeleteTvl" still removes the file; otherwise it is let go at
        // once, as after a start: Windows keeps the name of a file that is deleted while it is
        // held, and the application with "-d" may delete it right away.
        if (!*deleteAfterUse) {
            created.release();
        }

        stage = Stage::Reported;
        const ProErrors shown = *deleteAfterUse
                                    ? showMessage("ExportTvlSuccess")
                                    : showMessage("ExportTvlFile %0s", {pathText.c_str()});
        if (shown != PRO_TK_NO_ERROR) {
            return;
        }

        std::optional<std::string> install = Registry::readTarveloPath();
        if (!install) {
            showMessage("TarveloNotInstalled");
            return;
        }
        // An empty directory names no folder (it is also what a directory without a narrow
        // form reads as), and a line that cannot carry both paths exactly would start another
        // program or hand it other arguments: nothing is started on a guess.
        std::optional<std::string> commandLine;
        if (!install->empty()) {
            commandLine = tarveloCommandLine(*install, pathText, *deleteAfterUse);
        }
        if (commandLine && launchViewer(*commandLine)) {
            created.release();
            if (showMessage("TarveloOpenSuccess") != PRO_TK_NO_ERROR) {
                return;
            }
        } else {
            if (showMessage("TarveloOpenFailed") != PRO_TK_NO_ERROR) {
                return;
            }
            // The application would have deleted it; it never got the file. Only the file this
            // run wrote goes, not one that took its name meanwhile.
            if (*deleteAfterUse && !created.removeAt(fsPath) &&
                showMessage("DeleteTvlFailed") != PRO_TK_NO_ERROR) {
                return;
            }
        }
        ProUIDialogExit("Tarvelo", 0);
        ProMessageClear();
    } catch (...) {
        // An exception out of the extraction, a writer failure, a file-system error or a path
        // that cannot be converted. A file that this run began to write is of no use; one it
        // finished stays, as does its report. Whatever else is at the path is not this run's.
        if (written == TvlFileState::Created) {
            created.removeAt(fsPath);
        }
        if (stage == Stage::Extracting) {
            showMessageDialog("CreoImportError", "CreoImportError");
        } else if (stage != Stage::Reported) {
            showMessage("ExportTvlFailed");
        }
    }
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
    // Windows reads the name before its first dot, without trailing blanks and dots, as the
    // device, whatever follows.
    std::wstring stem = wide->substr(0, wide->find(L'.'));
    while (!stem.empty() && (stem.back() == L' ' || stem.back() == L'.')) {
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
    try {
        runExport();
    } catch (...) {
        // Only the reports of a failure can get here (memory exhausted while showing them).
    }
}

} // namespace Velmora
