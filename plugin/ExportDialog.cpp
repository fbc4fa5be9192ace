// The export dialog "Tarvelo" and its callbacks.
#include "ExportDialog.h"

#include "ExportRun.h"
#include "OptionRanges.h"
#include "OptionsPersistency.h"
#include "ProFunctions.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>
#include <vector>

namespace Velmora {

namespace {

constexpr const char* kDialog = "Tarvelo";
constexpr const char* kTable = "AttributeTable";
constexpr const char* kNamePrefix = "tarveloName";
constexpr const char* kTypePrefix = "tarveloType";
constexpr const char* kRemovePrefix = "tarveloRemove";
constexpr const char* kRowPrefix = "tarveloRow";
// Name, scope and remove cell: the columns and scopes the dialog works with.
constexpr int kCellColumns = 3;
constexpr int kScopes = 3;

// Names the host handed out (column names, item names), released with ProStringarrayFree.
struct HostNames {
    char** names = nullptr;
    int count = 0;
    bool held() const { return names != nullptr; }
    void release() {
        if (names != nullptr) {
            ProStringarrayFree(names, count);
        }
        names = nullptr;
        count = 0;
    }
};

// Everything the dialog keeps between callbacks; empty outside a dialog run.
struct DialogState {
    HostNames columns;
    HostNames items;
    // The rows the table got, and how far a clearing got: rows before clearRow are done, and in
    // clearRow the cells before clearColumn are deleted, so that a clearing that stopped at a
    // failing deletion goes on where it stopped and never deletes or names a cell twice.
    std::optional<std::vector<std::string>> rows;
    int rowCount = 0;
    int clearRow = 0;
    int clearColumn = 0;
    bool optionsLoaded = false;
};

DialogState g_dialog;

// Releases a wide text the host handed out, on every way out.
class HostText {
public:
    HostText() = default;
    HostText(const HostText&) = delete;
    HostText& operator=(const HostText&) = delete;
    ~HostText() {
        if (text_ != nullptr) {
            ProWstringFree(text_);
        }
    }
    wchar_t** address() { return &text_; }
    const wchar_t* get() const { return text_; }

private:
    wchar_t* text_ = nullptr;
};

// The row number after the prefix: only decimal digits, and only a number that fits.
std::optional<std::size_t> rowNumber(const char* component, const char* prefix) {
    if (component == nullptr) {
        return std::nullopt;
    }
    std::size_t prefixLength = std::strlen(prefix);
    if (std::strncmp(component, prefix, prefixLength) != 0) {
        return std::nullopt;
    }
    const char* first = component + prefixLength;
    const char* last = first + std::strlen(first);
    if (first == last) {
        return std::nullopt;
    }
    for (const char* p = first; p != last; ++p) {
        if (*p < '0' || *p > '9') {
            return std::nullopt;
        }
    }
    std::size_t row = 0;
    auto [end, ec] = std::from_chars(first, last, row);
    if (ec != std::errc() || end != last) {
        return std::nullopt;
    }
    return row;
}

std::string cellName(const char* prefix, std::size_t row) {
    return prefix + std::to_string(row);
}

bool isAsciiLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// Copies a template into one cell of a row.
ProErrors copyCell(const std::string& row, int column, const char* templateName,
                   const std::string& cell) {
    return ProUITableCellComponentCopy(kDialog, kTable, row.c_str(), g_dialog.columns.names[column],
                                       kDialog, templateName, cell.c_str());
}

// Runs a host callback body; nothing may leave it into the host.
template <class Body> void guarded(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
        // The edit is dropped; the dialog stays as the host shows it.
    }
}

} // namespace

bool isValidParameterName(const std::wstring& text) {
    if (text.empty() || text.size() > 31 || !isAsciiLetter(text[0])) {
        return false;
    }
    for (wchar_t c : text) {
        if (!isAsciiLetter(c) && !(c >= L'0' && c <= L'9') && c != L'_') {
            return false;
        }
    }
    return true;
}

ProErrors updateExportButton() {
    bool valid = isValidParameterName(g_options.ctiParameter);
    for (const ImportAttribute& entry : g_options.importAttributes) {
        if (!valid) {
            break;
        }
        valid = isValidParameterName(entry.name);
    }
    return valid ? ProUIPushbuttonEnable(kDialog, "Export")
                 : ProUIPushbuttonDisable(kDialog, "Export");
}

ProErrors clearAttributeTable() {
    if (g_dialog.rows) {
        const std::vector<std::string>& rows = *g_dialog.rows;
        const int columns = std::min(g_dialog.columns.count, kCellColumns);
        for (; g_dialog.clearRow < g_dialog.rowCount; ++g_dialog.clearRow) {
            const std::string& row = rows[static_cast<std::size_t>(g_dialog.clearRow)];
            for (; g_dialog.clearColumn < columns; ++g_dialog.clearColumn) {
                ProErrors status = ProUITableCellComponentDelete(
                    kDialog, kTable, row.c_str(), g_dialog.columns.names[g_dialog.clearColumn]);
                // A cell that is not there (a refresh that stopped before making it) is gone
                // already.
                if (status != PRO_TK_NO_ERROR && status != PRO_TK_E_NOT_FOUND) {
                    return status;
                }
            }
            g_dialog.clearColumn = 0;
        }
        g_dialog.rows.reset();
    }
    g_dialog.rowCount = 0;
    g_dialog.clearRow = 0;
    g_dialog.clearColumn = 0;
    return PRO_TK_NO_ERROR;
}

ProErrors refreshAttributeTable() {
    ProErrors status = clearAttributeTable();
    if (status != PRO_TK_NO_ERROR) {
        return status;
    }
    status = ProUIInputpanelWidestringSet(kDialog, "CtiValue", g_options.ctiParameter.c_str());
    if (status != PRO_TK_NO_ERROR) {
        return status;
    }
    const std::vector<ImportAttribute>& entries = g_options.importAttributes;
    const std::size_t n = entries.size();
    std::vector<char*> rowPointers;
    if (n != 0) {
        std::vector<std::string> rows;
        rows.reserve(n);
        for (std::size_t i = 0; i < n; ++i) {
            rows.push_back(cellName(kRowPrefix, i));
        }
        g_dialog.rows = std::move(rows);
        for (std::string& row : *g_dialog.rows) {
            rowPointers.push_back(row.data());
        }
    }
    g_dialog.rowCount = static_cast<int>(n);
    status = ProUITableRownamesSet(kDialog, kTable, static_cast<int>(n),
                                   n != 0 ? rowPointers.data() : nullptr);
    if (status != PRO_TK_NO_ERROR) {
        return status;
    }
    // A layout whose table or menu lacks columns or items was refused when the dialog was set
    // up; the checks keep every index within what the host returned all the same.
    if (n != 0 && (g_dialog.columns.count < kCellColumns || g_dialog.items.count < kScopes)) {
        return PRO_TK_BAD_CONTEXT;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const std::string& row = (*g_dialog.rows)[i];
        const ImportAttribute& entry = entries[i];

        const std::string name = cellName(kNamePrefix, i);
        status = copyCell(row, 0, "AttributeName", name);
        if (status == PRO_TK_NO_ERROR) {
            status = ProUIInputpanelValueSet(kDialog, name.c_str(), entry.name.c_str());
        }
        if (status == PRO_TK_NO_ERROR) {
            status = ProUIInputpanelInputActionSet(kDialog, name.c_str(), onTextInput, nullptr);
        }
        if (status != PRO_TK_NO_ERROR) {
            return status;
        }

        const std::string type = cellName(kTypePrefix, i);
        status = copyCell(row, 1, "AttributeType", type);
        if (status == PRO_TK_NO_ERROR) {
            const int scope = entry.type >= 0 && entry.type < kScopes ? entry.type : 0;
            char* selected = g_dialog.items.names[scope];
            status = ProUIOptionmenuSelectednamesSet(kDialog, type.c_str(), 1, &selected);
        }
        if (status == PRO_TK_NO_ERROR) {
            status = ProUIOptionmenuSelectActionSet(kDialog, type.c_str(), onAttributeTypeSelect,
                                                    nullptr);
        }
        if (status != PRO_TK_NO_ERROR) {
            return status;
        }

        const std::string remove = cellName(kRemovePrefix, i);
        status = copyCell(row, 2, "AttributeRemove", remove);
        if (status == PRO_TK_NO_ERROR) {
            status = ProUIPushbuttonActivateActionSet(kDialog, remove.c_str(), onAttributeRemove,
                                                      nullptr);
        }
        if (status != PRO_TK_NO_ERROR) {
            return status;
        }
    }
    status = ProUISpinboxDoubleSet(kDialog, "ChordHeight", g_options.chordHeight);
    if (status == PRO_TK_NO_ERROR) {
        status = ProUISpinboxDoubleSet(kDialog, "AngleControl", g_options.angleControl);
    }
    if (status != PRO_TK_NO_ERROR) {
        return status;
    }
    return updateExportButton();
}

ProErrors initExportDialog() {
    g_options = loadOptions();
    // A stored value that the spin box cannot show (another tool wrote it, or an older version)
    // would be shown as its nearest bound but used and saved as it is.
    bringIntoDialogRanges(g_options);
    g_dialog.optionsLoaded = true;

    ProErrors status = ProUIInputpanelInputActionSet(kDialog, "CtiValue", onTextInput, nullptr);
    if (status == PRO_TK_NO_ERROR) {
        status = ProUIInputpanelActivateActionSet(kDialog, "CtiValue", onTextInput, nullptr);
    }
    if (status == PRO_TK_NO_ERROR) {
        g_dialog.columns.release();
        status = ProUITableColumnnamesGet(kDialog, kTable, &g_dialog.columns.count,
                                          &g_dialog.columns.names);
        if (status != PRO_TK_NO_ERROR) {
            g_dialog.columns = HostNames{};
        }
    }
    if (status == PRO_TK_NO_ERROR) {
        g_dialog.items.release();
        status = ProUIOptionmenuNamesGet(kDialog, "AttributeType", &g_dialog.items.count,
                                         &g_dialog.items.names);
        if (status != PRO_TK_NO_ERROR) {
            g_dialog.items = HostNames{};
        }
    }
    // The table needs its three cell columns and the menu its three scopes.
    if (status == PRO_TK_NO_ERROR &&
        (g_dialog.columns.count < kCellColumns || g_dialog.items.count < kScopes)) {
        status = PRO_TK_BAD_CONTEXT;
    }
    if (status == PRO_TK_NO_ERROR) {
        status = ProUIPushbuttonActivateActionSet(kDialog, "AttributeAdd", onAttributeAdd, nullptr);
    }
    if (status == PRO_TK_NO_ERROR) {
        status = ProUISpinboxUpdateActionSet(kDialog, "ChordHeight", onChordHeight, nullptr);
    }
    if (status == PRO_TK_NO_ERROR) {
        status = ProUISpinboxActivateActionSet(kDialog, "ChordHeight", onChordHeight, nullptr);
    }
    if (status == PRO_TK_NO_ERROR) {
        status = ProUISpinboxUpdateActionSet(kDialog, "AngleControl", onAngleControl, nullptr);
    }
    if (status == PRO_TK_NO_ERROR) {
        status = ProUISpinboxActivateActionSet(kDialog, "AngleControl", onAngleControl, nullptr);
    }
    if (status == PRO_TK_NO_ERROR) {
        status = refreshAttributeTable();
    }
    return status;
}

ProErrors teardownExportDialog() {
    // Options that this run never loaded are not this user's edits: they stay unsaved.
    if (g_dialog.optionsLoaded) {
        try {
            saveOptions(g_options);
        } catch (...) {
            // Not saved; the registry keeps what it had.
        }
    }
    clearAttributeTable();
    // Cells whose deletion failed go with the dialog; the row names are ours and go now.
    g_dialog.rows.reset();
    g_dialog.rowCount = 0;
    g_dialog.clearRow = 0;
    g_dialog.clearColumn = 0;
    g_dialog.columns.release();
    g_dialog.items.release();
    g_dialog.optionsLoaded = false;
    return PRO_TK_NO_ERROR;
}

int openExportDialog(uiCmdCmdId, uiCmdValue*, void*) {
    ProErrors status = ProUIDialogCreate(kDialog, kDialog);
    if (status != PRO_TK_NO_ERROR) {
        return status;
    }
    try {
        status = ProUIPushbuttonActivateActionSet(kDialog, "Export", exportAction, nullptr);
        if (status == PRO_TK_NO_ERROR) {
            status = ProUIPushbuttonActivateActionSet(kDialog, "Cancel", closeAction, nullptr);
        }
        if (status == PRO_TK_NO_ERROR) {
            status = initExportDialog();
        }
        if (status == PRO_TK_NO_ERROR) {
            status = ProUIDialogCloseActionSet(kDialog, closeAction, nullptr);
        }
        if (status == PRO_TK_NO_ERROR) {
            int result = 0;
            ProUIDialogActivate(kDialog, &result);
        }
    } catch (...) {
        // The dialog is taken down as after any other failure.
    }
    teardownExportDialog();
    ProUIDialogDestroy(kDialog);
    return 0;
}

void closeAction(const char*, const char*, ProAppData) {
    ProUIDialogExit(kDialog, 0);
    ProMessageClear();
}

void onAttributeAdd(const char*, const char*, ProAppData) {
    guarded([] {
        g_options.importAttributes.push_back(ImportAttribute{L"NEW_ATTRIBUTE", 0});
        refreshAttributeTable();
    });
}

void onAttributeRemove(const char*, const char* component, ProAppData) {
    guarded([component] {
        std::optional<std::size_t> row = rowNumber(component, kRemovePrefix);
        std::vector<ImportAttribute>& entries = g_options.importAttributes;
        if (!row || *row >= entries.size()) {
            return;
        }
        entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(*row));
        refreshAttributeTable();
    });
}

void onTextInput(const char* dialog, const char* component, ProAppData) {
    guarded([dialog, component] {
        HostText text;
        if (ProUIInputpanelWidestringGet(dialog, component, text.address()) != PRO_TK_NO_ERROR ||
            text.get() == nullptr || component == nullptr) {
            return;
        }
        if (std::strcmp(component, "CtiValue") == 0) {
            g_options.ctiParameter = text.get();
            updateExportButton();
            return;
        }
        std::optional<std::size_t> row = rowNumber(component, kNamePrefix);
        if (!row || *row >= g_options.importAttributes.size()) {
            return;
        }
        g_options.importAttributes[*row].name = text.get();
        updateExportButton();
    });
}

void onAttributeTypeSelect(const char* dialog, const char* component, ProAppData) {
    guarded([dialog, component] {
        int count = 0;
        char** names = nullptr;
        if (ProUIOptionmenuSelectednamesGet(dialog, component, &count, &names) != PRO_TK_NO_ERROR) {
            return;
        }
        // The selected names are released on every way out.
        bool applyRule = true;
        if (count == 1 && names != nullptr && names[0] != nullptr) {
            std::optional<std::size_t> row = rowNumber(component, kTypePrefix);
            std::optional<int> type;
            if (row && *row < g_options.importAttributes.size()) {
                const int items = std::min(g_dialog.items.count, kScopes);
                for (int k = 0; k < items && !type; ++k) {
                    if (std::strcmp(names[0], g_dialog.items.names[k]) == 0) {
                        type = k;
                    }
                }
            }
            if (type) {
                g_options.importAttributes[*row].type = *type;
            } else {
                applyRule = false;
            }
        }
        if (ProStringarrayFree(names, count) == PRO_TK_NO_ERROR && applyRule) {
            updateExportButton();
        }
    });
}

void onChordHeight(const char*, const char*, ProAppData) {
    ProUISpinboxDoubleGet(kDialog, "ChordHeight", &g_options.chordHeight);
}

void onAngleControl(const char*, const char*, ProAppData) {
    ProUISpinboxDoubleGet(kDialog, "AngleControl", &g_options.angleControl);
}

ExportDialogStateView exportDialogState() {
    return ExportDialogStateView{g_dialog.columns.held(), g_dialog.columns.count,
                                 g_dialog.items.held(), g_dialog.items.count, g_dialog.rowCount};
}

} // namespace Velmora
