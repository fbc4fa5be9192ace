// The export run behind the dialog's "Export" button.
#include "ExportRun.h"

#include "CAD_Assembly.h"
#include "CreoImport.h"
#include "ExportTVL.h"
#include "LaunchViewer.h"
#include "Messages.h"
#include "OptionsPersistency.h"
#include "ProToolkitRuntime.h"
#include "Registry.h"

#include <cstdio>
#include <cwchar>
#include <vector>

namespace Velmora {

namespace {

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
    // Room for the widest narrow form, so that the conversion never has to cut; a directory
    // whose narrow form is longer than the host's path length is refused, not cut.
    std::vector<char> narrow(static_cast<std::size_t>(PRO_TK_NARROW_PER_WIDE) * PRO_PATH_SIZE + 1,
                             '\0');
    if (ProWideToNarrow(narrow.data(), wide, static_cast<int>(narrow.size())) == nullptr) {
        return DirectoryResult::Unusable;
    }
    std::string text(narrow.data());
    if (text.size() >= static_cast<std::size_t>(PRO_PATH_SIZE)) {
        return DirectoryResult::Unusable;
    }
    // A character the narrow text cannot hold (outside the code page on Windows) would name
    // another directory.
    std::vector<wchar_t> back(text.size() + 1, L'\0');
    if (ProNarrowToWide(back.data(), text.c_str(), static_cast<int>(back.size())) == nullptr ||
        std::wcscmp(back.data(), wide) != 0) {
        return DirectoryResult::Unusable;
    }
    out = std::move(text);
    return DirectoryResult::Ok;
}

// How far a run got, for the handler of an exception that ends it.
enum class Stage { Extracting, Searching, Writing, Written, Reported };

// Removes a file that this run started to write and did not finish.
void removePartial(const std::filesystem::path& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

void runExport() {
    KorvaneGeometry::CAD_Assembly model;
    Stage stage = Stage::Extracting;
    std::filesystem::path fsPath;
    try {
        ProErrors status = PRO_TK_GENERAL_ERROR;
        try {
            status = CreoImport::computeAssembly(model, getOptions());
        } catch (...) {
            status = PRO_TK_GENERAL_ERROR;
        }
        if (status != PRO_TK_NO_ERROR) {
            showMessageDialog("CreoImportError", "CreoImportError");
            return;
        }

        stage = Stage::Searching;
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

        std::optional<std::string> base, pathText;
        for (int i = 0; i <= kLastCounter; ++i) {
            std::string candidateBase = candidateBaseName(modelName, i);
            std::string candidatePath = directory + candidateBase + ".tvl";
            std::optional<std::filesystem::path> candidate = fileSystemPath(candidatePath);
            if (!candidate) {
                showMessage("ExportTvlFailed");
                return;
            }
            // Anything at the path, a directory or a link too, takes the name.
            if (!std::filesystem::exists(*candidate)) {
                base = std::move(candidateBase);
                pathText = std::move(candidatePath);
                fsPath = std::move(*candidate);
                break;
            }
        }
        if (!base) {
            showMessage("ExportTvlFailed");
            return;
        }

        ProBoolean state = PRO_B_TRUE;
        if (ProUICheckbuttonGetState("Tarvelo", "DeleteTvl", &state) != PRO_TK_NO_ERROR) {
            return;
        }
        const bool deleteAfterUse = state == PRO_B_TRUE;

        model.setName(*base);
        stage = Stage::Writing;
        KorvaneGeometry::ExportTVL(model, fsPath);
        stage = Stage::Written;
        if (!std::filesystem::exists(fsPath)) {
            showMessage("ExportTvlFailed");
            return;
        }

        stage = Stage::Reported;
        status = deleteAfterUse ? showMessage("ExportTvlSuccess")
                                : showMessage("ExportTvlFile %0s", {pathText->c_str()});
        if (status != PRO_TK_NO_ERROR) {
            return;
        }

        std::optional<std::string> install = Registry::readTarveloPath();
        if (!install) {
            showMessage("TarveloNotInstalled");
            return;
        }
        if (launchViewer(tarveloCommandLine(*install, *pathText, deleteAfterUse))) {
            if (showMessage("TarveloOpenSuccess") != PRO_TK_NO_ERROR) {
                return;
            }
        } else {
            if (showMessage("TarveloOpenFailed") != PRO_TK_NO_ERROR) {
                return;
            }
            // The application would have deleted it; it never got the file.
            if (deleteAfterUse && std::remove(pathText->c_str()) != 0 &&
                showMessage("DeleteTvlFailed") != PRO_TK_NO_ERROR) {
                return;
            }
        }
        ProUIDialogExit("Tarvelo", 0);
        ProMessageClear();
    } catch (...) {
        // A writer failure, a file-system error or a path that cannot be converted. A file that
        // this run began to write is of no use; one it finished stays, as does its report.
        if (stage == Stage::Writing) {
            removePartial(fsPath);
        }
        if (stage == Stage::Extracting) {
            showMessageDialog("CreoImportError", "CreoImportError");
        } else if (stage != Stage::Reported) {
            showMessage("ExportTvlFailed");
        }
    }
}

} // namespace

std::string candidateBaseName(const std::string& modelName, int counter) {
    return counter == 0 ? modelName : modelName + "_" + std::to_string(counter);
}

std::string tarveloCommandLine(const std::string& installDirectory, const std::string& path,
                               bool deleteAfterUse) {
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
