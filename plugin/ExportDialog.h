// The export dialog "Tarvelo": the command's action that runs it modally, and the callbacks that
// keep its fields, its attribute table and the global options in step.
#pragma once

#include "ProToolkit.h"

#include <string>

namespace Velmora {

// The command's action: creates the dialog, loads the options, binds the callbacks, runs the
// dialog modally, then saves the options and destroys it. Returns the status of a failed
// creation, else 0.
[[nodiscard]] int openExportDialog(uiCmdCmdId command, uiCmdValue* value, void* data);

// "Cancel" and the window's close button: exits the modal run.
void closeAction(const char* dialog, const char* component, ProAppData data);

// Loads the options into g_options, binds the remaining callbacks, reads the table's column
// names and the scope menu's item names, and fills the dialog. First non-zero status, else 0.
[[nodiscard]] ProErrors initExportDialog();
// Fills every field from g_options and rebuilds the attribute table's rows and cells.
[[nodiscard]] ProErrors refreshAttributeTable();
// Deletes the table's cells and forgets the row names.
[[nodiscard]] ProErrors clearAttributeTable();
// Saves the options (when this run loaded them) and releases the whole dialog state. Returns 0.
[[nodiscard]] ProErrors teardownExportDialog();
// Enables "Export" exactly when the CTI name and every attribute name pass the name rule.
[[nodiscard]] ProErrors updateExportButton();
// 1 to 31 code units, an ASCII letter first, then ASCII letters, digits and underscores.
bool isValidParameterName(const std::wstring& text);

void onAttributeAdd(const char* dialog, const char* component, ProAppData data);
void onAttributeRemove(const char* dialog, const char* component, ProAppData data);
void onTextInput(const char* dialog, const char* component, ProAppData data);
void onAttributeTypeSelect(const char* dialog, const char* component, ProAppData data);
void onChordHeight(const char* dialog, const char* component, ProAppData data);
void onAngleControl(const char* dialog, const char* component, ProAppData data);

// What the dialog holds between callbacks, for tests: the counts of the host's column names and
// item names it keeps, and the number of rows it made.
struct ExportDialogStateView {
    bool holdsColumnNames = false;
    int columnCount = 0;
    bool holdsItemNames = false;
    int itemCount = 0;
    int rowCount = 0;
};
ExportDialogStateView exportDialogState();

} // namespace Velmora
