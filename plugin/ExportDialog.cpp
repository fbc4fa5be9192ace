// The export dialog "Tarvelo" and its callbacks.
#include "ExportDialog.h"

#include "ExportRun.h"
#include "HostAllocations.h"
#include "HostCallback.h"
#include "HostStatus.h"
#include "OptionRanges.h"
#include "OptionsPersistency.h"
#include "ProFunctions.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>
#include <utility>
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

// Everything the dialog keeps between callbacks; empty outside a dialog run.
struct DialogState {
    // Names the host handed out: the table's columns and the scope menu's items.
    HostStringArray columns;
    HostStringArray items;
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
    return ProUITableCellComponentCopy(kDialog, kTable, row.c_str(),
                                       g_dialog.columns.get().names[column], kDialog, templateName,
                                       cell.c_str());
}

// Names the host hands out for a component: what the owner held goes back first, and it takes
// the new names only once the host has given them.
template <class NamesGet>
ProErrors readNames(NamesGet get, const char* dialog, const char* component,
                    HostStringArray& names) {
    ignoreStatus(names.release(), "names of an earlier reading are no longer shown anywhere");
    HostStrings read;
    if (ProErrors status = get(dialog, component, &read.count, &read.names);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    *names.out() = read;
    return PRO_TK_NO_ERROR;
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
        const HostStrings& columnNames = g_dialog.columns.get();
        const int columns = std::min(columnNames.count, kCellColumns);
        for (; g_dialog.clearRow < g_dialog.rowCount; ++g_dialog.clearRow) {
            const std::string& row = rows[static_cast<std::size_t>(g_dialog.clearRow)];
            for (; g_dialog.clearColumn < columns; ++g_dialog.clearColumn) {
                // A cell that is not there (a refresh that stopped before making it) is gone
                // already.
                if (ProErrors status = ProUITableCellComponentDelete(
                        kDialog, kTable, row.c_str(), columnNames.names[g_dialog.clearColumn]);
                    status != PRO_TK_NO_ERROR && status != PRO_TK_E_NOT_FOUND) {
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

namespace {

// The three cells of row i, made from their templates and bound.
ProErrors fillRow(std::size_t i, const ImportAttribute& entry) {
    const std::string& row = (*g_dialog.rows)[i];

    const std::string name = cellName(kNamePrefix, i);
    if (ProErrors status = copyCell(row, 0, "AttributeName", name); status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (ProErrors status = ProUIInputpanelValueSet(kDialog, name.c_str(), entry.name.c_str());
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (ProErrors status =
            ProUIInputpanelInputActionSet(kDialog, name.c_str(), onTextInput, nullptr);
        status != PRO_TK_NO_ERROR) {
        return status;
    }

    const std::string type = cellName(kTypePrefix, i);
    if (ProErrors status = copyCell(row, 1, "AttributeType", type); status != PRO_TK_NO_ERROR) {
        return status;
    }
    const int scope = entry.type >= 0 && entry.type < kScopes ? entry.type : 0;
    char* selected = g_dialog.items.get().names[scope];
    if (ProErrors status = ProUIOptionmenuSelectednamesSet(kDialog, type.c_str(), 1, &selected);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (ProErrors status =
            ProUIOptionmenuSelectActionSet(kDialog, type.c_str(), onAttributeTypeSelect, nullptr);
        status != PRO_TK_NO_ERROR) {
        return status;
    }

    const std::string remove = cellName(kRemovePrefix, i);
    if (ProErrors status = copyCell(row, 2, "AttributeRemove", remove); status != PRO_TK_NO_ERROR) {
        return status;
    }
    return ProUIPushbuttonActivateActionSet(kDialog, remove.c_str(), onAttributeRemove, nullptr);
}

// Whether the table has its three cell columns and the menu its three scopes.
bool layoutComplete() {
    return g_dialog.columns.get().count >= kCellColumns && g_dialog.items.get().count >= kScopes;
}

} // namespace

ProErrors refreshAttributeTable() {
    if (ProErrors status = clearAttributeTable(); status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (ProErrors status =
            ProUIInputpanelWidestringSet(kDialog, "CtiValue", g_options.ctiParameter.c_str());
        status != PRO_TK_NO_ERROR) {
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
    if (ProErrors status = ProUITableRownamesSet(kDialog, kTable, static_cast<int>(n),
                                                 n != 0 ? rowPointers.data() : nullptr);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    // A layout whose table or menu lacks columns or items was refused when the dialog was set
    // up; the check keeps every index within what the host returned all the same.
    if (n != 0 && !layoutComplete()) {
        return PRO_TK_BAD_CONTEXT;
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (ProErrors status = fillRow(i, entries[i]); status != PRO_TK_NO_ERROR) {
            return status;
        }
    }
    if (ProErrors status = ProUISpinboxDoubleSet(kDialog, "ChordHeight", g_options.chordHeight);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (ProErrors status = ProUISpinboxDoubleSet(kDialog, "AngleControl", g_options.angleControl);
        status != PRO_TK_NO_ERROR) {
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

    if (ProErrors status = ProUIInputpanelInputActionSet(kDialog, "CtiValue", onTextInput, nullptr);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (ProErrors status =
            ProUIInputpanelActivateActionSet(kDialog, "CtiValue", onTextInput, nullptr);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (ProErrors status = readNames(ProUITableColumnnamesGet, kDialog, kTable, g_dialog.columns);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (ProErrors status =
            readNames(ProUIOptionmenuNamesGet, kDialog, "AttributeType", g_dialog.items);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (!layoutComplete()) {
        return PRO_TK_BAD_CONTEXT;
    }
    if (ProErrors status =
            ProUIPushbuttonActivateActionSet(kDialog, "AttributeAdd", onAttributeAdd, nullptr);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    const std::pair<const char*, ProUIAction> spinboxes[] = {{"ChordHeight", onChordHeight},
                                                             {"AngleControl", onAngleControl}};
    for (const auto& [spinbox, action] : spinboxes) {
        if (ProErrors status = ProUISpinboxUpdateActionSet(kDialog, spinbox, action, nullptr);
            status != PRO_TK_NO_ERROR) {
            return status;
        }
        if (ProErrors status = ProUISpinboxActivateActionSet(kDialog, spinbox, action, nullptr);
            status != PRO_TK_NO_ERROR) {
            return status;
        }
    }
    return refreshAttributeTable();
}

ProErrors teardownExportDialog() {
    // Options that this run never loaded are not this user's edits: they stay unsaved. A save
    // that fails, by an exception too, leaves the registry as it was; the teardown goes on.
    if (g_dialog.optionsLoaded) {
        guardHostCallback([] { saveOptions(g_options); });
    }
    ignoreStatus(clearAttributeTable(), "cells whose deletion failed go with the dialog");
    // The row names are ours and go now.
    g_dialog.rows.reset();
    g_dialog.rowCount = 0;
    g_dialog.clearRow = 0;
    g_dialog.clearColumn = 0;
    ignoreStatus(g_dialog.columns.release(), "the dialog ends; nothing is left to do about it");
    ignoreStatus(g_dialog.items.release(), "the dialog ends; nothing is left to do about it");
    g_dialog.optionsLoaded = false;
    return PRO_TK_NO_ERROR;
}

namespace {

// Binds the buttons, loads the options, fills the dialog and runs it until an action exits it.
// The first failing step's status: the dialog is then never shown.
ProErrors runDialog() {
    if (ProErrors status =
            ProUIPushbuttonActivateActionSet(kDialog, "Export", exportAction, nullptr);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (ProErrors status =
            ProUIPushbuttonActivateActionSet(kDialog, "Cancel", closeAction, nullptr);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (ProErrors status = initExportDialog(); status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (ProErrors status = ProUIDialogCloseActionSet(kDialog, closeAction, nullptr);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    int result = 0;
    ignoreStatus(ProUIDialogActivate(kDialog, &result),
                 "however the modal run ended, the dialog is taken down next");
    return PRO_TK_NO_ERROR;
}

} // namespace

int openExportDialog(uiCmdCmdId, uiCmdValue*, void*) {
    if (ProErrors status = ProUIDialogCreate(kDialog, kDialog); status != PRO_TK_NO_ERROR) {
        return status;
    }
    ignoreStatus(guardHostCallback(runDialog, PRO_TK_GENERAL_ERROR),
                 "a set-up that failed, by an exception too, ends like a finished run");
    ignoreStatus(teardownExportDialog(), "it always gives 0");
    ignoreStatus(ProUIDialogDestroy(kDialog), "the command is over; nothing is left to undo");
    return 0;
}

void closeAction(const char*, const char*, ProAppData) {
    ignoreStatus(ProUIDialogExit(kDialog, 0),
                 "nothing else would end the dialog; the user may close it again");
    ignoreStatus(ProMessageClear(), "an old message left standing harms nothing");
}

void onAttributeAdd(const char*, const char*, ProAppData) {
    guardHostCallback([] {
        g_options.importAttributes.push_back(ImportAttribute{L"NEW_ATTRIBUTE", 0});
        ignoreStatus(refreshAttributeTable(), "the table stays as far as it was built");
    });
}

void onAttributeRemove(const char*, const char* component, ProAppData) {
    guardHostCallback([component] {
        std::optional<std::size_t> row = rowNumber(component, kRemovePrefix);
        std::vector<ImportAttribute>& entries = g_options.importAttributes;
        if (!row || *row >= entries.size()) {
            return;
        }
        entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(*row));
        ignoreStatus(refreshAttributeTable(), "the table stays as far as it was built");
    });
}

void onTextInput(const char* dialog, const char* component, ProAppData) {
    guardHostCallback([dialog, component] {
        HostWideText text;
        if (ProErrors status = ProUIInputpanelWidestringGet(dialog, component, text.out());
            status != PRO_TK_NO_ERROR || !text || component == nullptr) {
            return; // the input is ignored
        }
        std::wstring* target = nullptr;
        if (std::strcmp(component, "CtiValue") == 0) {
            target = &g_options.ctiParameter;
        } else if (std::optional<std::size_t> row = rowNumber(component, kNamePrefix);
                   row && *row < g_options.importAttributes.size()) {
            target = &g_options.importAttributes[*row].name;
        }
        if (target == nullptr) {
            return;
        }
        *target = text.get();
        ignoreStatus(updateExportButton(), "the button keeps its state; the next edit tries again");
    });
}

void onAttributeTypeSelect(const char* dialog, const char* component, ProAppData) {
    guardHostCallback([dialog, component] {
        HostStringArray selected;
        if (ProErrors status =
                readNames(ProUIOptionmenuSelectednamesGet, dialog, component, selected);
            status != PRO_TK_NO_ERROR) {
            return; // the selection is ignored
        }
        const HostStrings& names = selected.get();
        if (names.count == 1 && names.names != nullptr && names.names[0] != nullptr) {
            std::optional<std::size_t> row = rowNumber(component, kTypePrefix);
            std::optional<int> type;
            if (row && *row < g_options.importAttributes.size()) {
                const HostStrings& items = g_dialog.items.get();
                for (int k = 0; k < std::min(items.count, kScopes) && !type; ++k) {
                    if (std::strcmp(names.names[0], items.names[k]) == 0) {
                        type = k;
                    }
                }
            }
            if (!type) {
                return; // no row, or no scope of that name: nothing changes
            }
            g_options.importAttributes[*row].type = *type;
        }
        if (ProErrors status = selected.release(); status != PRO_TK_NO_ERROR) {
            return;
        }
        ignoreStatus(updateExportButton(), "the button keeps its state; the next edit tries again");
    });
}

void onChordHeight(const char*, const char*, ProAppData) {
    ignoreStatus(ProUISpinboxDoubleGet(kDialog, "ChordHeight", &g_options.chordHeight),
                 "a value the host cannot give leaves the option as it was");
}

void onAngleControl(const char*, const char*, ProAppData) {
    ignoreStatus(ProUISpinboxDoubleGet(kDialog, "AngleControl", &g_options.angleControl),
                 "a value the host cannot give leaves the option as it was");
}

ExportDialogStateView exportDialogState() {
    const HostStrings& columns = g_dialog.columns.get();
    const HostStrings& items = g_dialog.items.get();
    return ExportDialogStateView{static_cast<bool>(columns), columns.count,
                                 static_cast<bool>(items), items.count, g_dialog.rowCount};
}

} // namespace Velmora
