// The stand-in host's user interface: dialogs made from layout files, their components and bound
// actions, and the user's events that drive a modal dialog (from a session script).
//
// Layout files ("<layout>.res" in the application's resource directory) and session scripts are
// described in host/UserInterface.md.
#pragma once

#include "ProToolkit.h"

#include <deque>
#include <filesystem>
#include <list>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace Hostsim {

enum class ComponentKind { PushButton, CheckButton, InputPanel, OptionMenu, Table, SpinBox };

const char* componentKindName(ComponentKind kind);

struct Binding {
    ProUIAction action = nullptr;
    ProAppData data = nullptr;
    explicit operator bool() const { return action != nullptr; }
};

struct Component {
    std::string name;
    ComponentKind kind = ComponentKind::PushButton;
    bool enabled = true;
    bool checked = false;                // check button
    std::wstring text;                   // input panel
    std::vector<std::string> items;      // option menu: item names
    std::vector<std::string> selected;   // option menu: selected item names
    std::vector<std::string> columns;    // table: column names
    std::vector<std::string> rows;       // table: row names, set through Dialog::setRows
    double value = 0.0;                  // spin box
    double minimum = 0.0, maximum = 0.0; // spin box range
    // Actions: push button, check button and input panel "activate"; input panel "input";
    // option menu "select"; spin box "update" and "activate".
    Binding activate, input, select, update;
    // A component that lives in a table cell (copied from a template).
    std::string cellTable, cellRow, cellColumn;
    bool inCell() const { return !cellTable.empty(); }
};

// Thrown by the layout reader: "<file>:<line>: <what is wrong>".
class LayoutError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The components a layout file declares, in file order.
std::vector<Component> parseLayout(const std::string& content, const std::string& fileName);
std::vector<Component> loadLayout(const std::filesystem::path& file);

// A dialog and its components, in the order they were made (the layout's, then the cells as
// they were copied). Components are found by name and cells by table, row and column in constant
// time, so that a table of many rows costs no more per call than a small one. A component's name
// and cell are its keys: they stay as they were when it was added. Pointers to a component stay
// valid until that component is removed.
class Dialog {
public:
    Dialog() = default;
    Dialog(Dialog&&) = default;
    Dialog& operator=(Dialog&&) = default;
    // The indexes point into this dialog's own list.
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    std::string name;
    std::string layout;
    Binding close;
    bool active = false; // inside ProUIDialogActivate
    bool exited = false; // ProUIDialogExit was called during the activation
    int exitStatus = 0;

    const std::list<Component>& components() const { return components_; }
    Component* find(const std::string& component);
    // The component in a table's cell, or null.
    Component* cell(const std::string& table, const std::string& row, const std::string& column);
    // Adds a component at the end; null (and nothing added) when its name is taken or, for a
    // cell, the cell is taken or not one of a row and a column its table has.
    Component* add(Component component);
    // Removes the component in a table's cell; false when the cell is empty.
    bool removeCell(const std::string& table, const std::string& row, const std::string& column);
    // Replaces the rows of one of this dialog's tables (names distinct); the cells of rows that
    // are gone go with them.
    void setRows(Component& table, std::vector<std::string> rows);
    bool hasRow(const Component& table, const std::string& row) const;

private:
    using Position = std::list<Component>::iterator;
    struct CellKey {
        std::string table, row, column;
        bool operator==(const CellKey&) const = default;
    };
    struct CellKeyHash {
        std::size_t operator()(const CellKey& key) const;
    };

    std::list<Component> components_;
    std::unordered_map<std::string, Position> byName_;
    std::unordered_map<CellKey, Position, CellKeyHash> byCell_;
    // Each table's rows, by table name.
    std::unordered_map<std::string, std::unordered_set<std::string>> rowsOf_;
};

// One thing the user does. Dialog events go to the dialog being run modally.
struct UiEvent {
    enum class Kind {
        Invoke, // run a command (session level)
        Press,  // push button: its activate action (refused while disabled)
        Text,   // input panel: set the text, then its input action
        Enter,  // input panel or spin box: its activate action
        Select, // option menu: select one item, then its select action
        Toggle, // check button: flip the state, then its activate action
        Spin,   // spin box: set the value (kept within the range), then its update action
        Close,  // the window's close button: the dialog's close action
        Reply,  // the answer to the next message dialog (a button code)
    };
    Kind kind = Kind::Press;
    std::string component; // Invoke: the command name
    std::wstring text;
    std::string item;
    double number = 0.0;
    std::string file; // the script it comes from and its line there, for messages
    int line = 0;
};

const char* uiEventKindName(UiEvent::Kind kind);
// "<file>:<line>" of an event, for messages about it.
std::string eventPlace(const UiEvent& event);
// The component kinds an event of this kind can address (none for invoke, close and reply).
std::vector<ComponentKind> kindsTaking(UiEvent::Kind kind);

// Thrown by the session-script reader: "<file>:<line>: <what is wrong>".
class ScriptError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::vector<UiEvent> parseSessionScript(const std::string& content, const std::string& fileName);
std::vector<UiEvent> loadSessionScript(const std::filesystem::path& file);

class UserInterface {
public:
    std::deque<Dialog>& dialogs() { return dialogs_; }
    Dialog* find(const std::string& dialog);
    void remove(const std::string& dialog);

    // The user's events still to come.
    std::deque<UiEvent>& script() { return script_; }
    void addEvents(const std::vector<UiEvent>& events);

    // What the host did with each event, and problems it met (a layout that does not parse, an
    // event for a component that does not exist, an exception out of an action): one line each.
    std::vector<std::string>& log() { return log_; }
    void note(std::string line) { log_.push_back(std::move(line)); }
    std::string renderLog() const;

    // Events that did not run as the script says, noted and kept so that a run can tell: one
    // the host ignored (a component or item that does not exist, an event of the wrong kind, no
    // dialog open, no such command), "<file>:<line>: <why>; event ignored", and a command that
    // returned a failure, "<file>:<line>: <what>".
    void ignore(const UiEvent& event, const std::string& why);
    void failed(const UiEvent& event, const std::string& what);
    const std::vector<std::string>& problems() const { return problems_; }

private:
    std::deque<Dialog> dialogs_;
    std::deque<UiEvent> script_;
    std::vector<std::string> log_;
    std::vector<std::string> problems_;
};

class Session;

// Runs the session's script from the top: each "invoke" runs a command (whose dialog then takes
// the events that follow); anything else outside a dialog is noted and skipped.
void runSessionScript(Session& session);

} // namespace Hostsim
