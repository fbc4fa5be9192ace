// Dialogs and their components, and the modal loop that the user's scripted events drive.
#include "HostFunctions.h"
#include "MessageFile.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

namespace Hostsim {

namespace {

std::string text(const char* s) {
    return s != nullptr ? std::string(s) : std::string("?");
}

std::string componentKey(const char* dialog, const char* component) {
    return text(dialog) + "." + text(component);
}

// The dialog, or the failing status.
ProErrors findDialog(Session& session, const char* dialog, Dialog*& out) {
    out = nullptr;
    if (dialog == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    out = session.ui().find(dialog);
    return out != nullptr ? PRO_TK_NO_ERROR : PRO_TK_E_NOT_FOUND;
}

// The component of one of the kinds, or the failing status: unknown dialog or component
// PRO_TK_E_NOT_FOUND, a component of another kind PRO_TK_BAD_INPUTS.
ProErrors findComponent(Session& session, const char* dialog, const char* component,
                        std::initializer_list<ComponentKind> kinds, Component*& out) {
    out = nullptr;
    Dialog* d = nullptr;
    if (ProErrors status = findDialog(session, dialog, d); status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (component == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    Component* c = d->find(component);
    if (c == nullptr) {
        return PRO_TK_E_NOT_FOUND;
    }
    if (std::find(kinds.begin(), kinds.end(), c->kind) == kinds.end()) {
        return PRO_TK_BAD_INPUTS;
    }
    out = c;
    return PRO_TK_NO_ERROR;
}

// Binds one action of a component.
ProErrors bind(Session& session, const char* dialog, const char* component, ComponentKind kind,
               Binding Component::*which, ProUIAction action, ProAppData data) {
    Component* c = nullptr;
    if (ProErrors status = findComponent(session, dialog, component, {kind}, c);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    (c->*which) = Binding{action, data};
    return PRO_TK_NO_ERROR;
}

ProErrors setText(Session& session, const char* dialog, const char* component,
                  const wchar_t* value) {
    Component* c = nullptr;
    if (ProErrors status =
            findComponent(session, dialog, component, {ComponentKind::InputPanel}, c);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    if (value == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    c->text = value;
    return PRO_TK_NO_ERROR;
}

ProErrors namesOut(Session& session, const std::vector<std::string>& names, int* count, char*** out,
                   const char* function) {
    if (count == nullptr || out == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    *out = session.ledger().allocateStringArray(function, names);
    if (*out == nullptr) {
        return PRO_TK_GENERAL_ERROR;
    }
    *count = static_cast<int>(names.size());
    return PRO_TK_NO_ERROR;
}

// Calls a bound action the way the host's toolkit does, with the names copied first: the action
// may delete the very component it belongs to. An exception out of the plug-in is a fault of the
// plug-in that a real host would not survive; it is recorded, never passed on.
void callAction(Session& session, const Binding& binding, const std::string& dialog,
                const std::string& component, const char* what) {
    if (!binding) {
        session.ui().note("  (no " + std::string(what) + " action bound to " + component + ")");
        return;
    }
    const std::string d = dialog, c = component;
    try {
        binding.action(d.c_str(), c.c_str(), binding.data);
    } catch (const std::exception& e) {
        session.ledger().recordViolation("an exception left the " + std::string(what) +
                                         " action of " + d + "." + c + ": " + e.what());
    } catch (...) {
        session.ledger().recordViolation("an exception left the " + std::string(what) +
                                         " action of " + d + "." + c);
    }
}

void closeWindow(Session& session, Dialog& dialog) {
    if (!dialog.close) {
        // Without a close action the window closes by itself.
        dialog.exited = true;
        return;
    }
    Binding close = dialog.close;
    std::string name = dialog.name;
    callAction(session, close, name, name, "close");
}

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& name : names) {
        out += (out.empty() ? "" : ", ") + name;
    }
    return out;
}

// The components of the dialog an event of this kind can address, for messages.
std::string componentsTaking(const Dialog& dialog, UiEvent::Kind kind) {
    std::vector<ComponentKind> kinds = kindsTaking(kind);
    std::vector<std::string> names;
    for (const Component& c : dialog.components()) {
        if (std::find(kinds.begin(), kinds.end(), c.kind) != kinds.end()) {
            names.push_back(c.name);
        }
    }
    return names.empty() ? "no component of " + dialog.name + " takes " + uiEventKindName(kind)
                         : std::string(uiEventKindName(kind)) + " takes " + joined(names);
}

// One user event for the dialog being run.
void dispatch(Session& session, const std::string& dialogName, const UiEvent& e) {
    UserInterface& ui = session.ui();
    Dialog* d = ui.find(dialogName);
    if (d == nullptr) {
        return;
    }
    if (e.kind == UiEvent::Kind::Close) {
        ui.note("close " + dialogName);
        closeWindow(session, *d);
        return;
    }
    if (e.kind == UiEvent::Kind::Reply) {
        ui.ignore(e, "reply without a message dialog");
        return;
    }
    Component* c = d->find(e.component);
    if (c == nullptr) {
        ui.ignore(e, "the dialog " + dialogName + " has no component " + e.component + " (" +
                         componentsTaking(*d, e.kind) + ")");
        return;
    }
    auto wrongKind = [&] {
        ui.ignore(e, std::string(uiEventKindName(e.kind)) + " does not apply to the " +
                         componentKindName(c->kind) + " " + c->name + " (" +
                         componentsTaking(*d, e.kind) + ")");
    };
    std::string label = std::string(uiEventKindName(e.kind)) + " " + c->name;
    switch (e.kind) {
    case UiEvent::Kind::Press:
        if (c->kind != ComponentKind::PushButton) {
            return wrongKind();
        }
        if (!c->enabled) {
            ui.note(label + ": the button is disabled; nothing happens");
            return;
        }
        ui.note(label);
        return callAction(session, c->activate, dialogName, c->name, "activate");
    case UiEvent::Kind::Text:
        if (c->kind != ComponentKind::InputPanel) {
            return wrongKind();
        }
        c->text = e.text;
        ui.note(label + " \"" + toUtf8(e.text) + "\"");
        return callAction(session, c->input, dialogName, c->name, "input");
    case UiEvent::Kind::Enter:
        if (c->kind != ComponentKind::InputPanel && c->kind != ComponentKind::SpinBox) {
            return wrongKind();
        }
        ui.note(label);
        return callAction(session, c->activate, dialogName, c->name, "activate");
    case UiEvent::Kind::Select:
        if (c->kind != ComponentKind::OptionMenu) {
            return wrongKind();
        }
        if (std::find(c->items.begin(), c->items.end(), e.item) == c->items.end()) {
            ui.ignore(e, c->name + " has no item " + e.item + " (its items: " + joined(c->items) +
                             ")");
            return;
        }
        c->selected = {e.item};
        ui.note(label + " " + e.item);
        return callAction(session, c->select, dialogName, c->name, "select");
    case UiEvent::Kind::Toggle:
        if (c->kind != ComponentKind::CheckButton) {
            return wrongKind();
        }
        c->checked = !c->checked;
        ui.note(label + (c->checked ? " on" : " off"));
        return callAction(session, c->activate, dialogName, c->name, "activate");
    case UiEvent::Kind::Spin:
        if (c->kind != ComponentKind::SpinBox) {
            return wrongKind();
        }
        c->value = std::clamp(e.number, c->minimum, c->maximum);
        ui.note(label + " " + std::to_string(c->value));
        return callAction(session, c->update, dialogName, c->name, "update");
    case UiEvent::Kind::Invoke:
    case UiEvent::Kind::Close:
    case UiEvent::Kind::Reply:
        return;
    }
}

} // namespace

void runSessionScript(Session& session) {
    UserInterface& ui = session.ui();
    while (!ui.script().empty()) {
        UiEvent e = ui.script().front();
        ui.script().pop_front();
        if (e.kind != UiEvent::Kind::Invoke) {
            ui.ignore(e, std::string(uiEventKindName(e.kind)) + " while no dialog is open");
            continue;
        }
        ui.note("invoke " + e.component);
        std::optional<int> result;
        try {
            result = session.invokeCommand(e.component);
        } catch (...) {
            session.ledger().recordViolation("an exception left the action of command " +
                                             e.component);
            continue;
        }
        if (!result) {
            std::vector<std::string> names;
            for (const Command& c : session.commands()) {
                names.push_back("\"" + c.name + "\"");
            }
            ui.ignore(e, "no available command \"" + e.component + "\" (" +
                             (names.empty() ? std::string("no command is registered")
                                            : "the commands: " + joined(names)) +
                             ")");
        } else if (*result != 0) {
            ui.failed(e, "the command \"" + e.component + "\" returned " + std::to_string(*result));
        } else {
            ui.note("  the command returned 0");
        }
    }
}

ProErrors HostFunctions::ProUIDialogCreate(const wchar_t* appDirectory, const char* dialog,
                                           const char* layout) {
    HOST_ENTER_DETAIL(text(dialog), "layout=" + text(layout));
    if (dialog == nullptr || layout == nullptr || *dialog == '\0' || *layout == '\0') {
        return PRO_TK_BAD_INPUTS;
    }
    if (session->ui().find(dialog) != nullptr) {
        return PRO_TK_E_FOUND;
    }
    if (appDirectory == nullptr || *appDirectory == L'\0') {
        session->ui().note("dialog " + std::string(dialog) + ": no resource directory is set");
        return PRO_TK_E_NOT_FOUND;
    }
    std::filesystem::path file =
        hostPath(appDirectory) / hostPath(wideFromNarrow(layout) + L".res");
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        session->ui().note("dialog " + std::string(dialog) + ": no layout file " + utf8Path(file));
        return PRO_TK_E_NOT_FOUND;
    }
    Dialog d;
    try {
        for (Component& c : loadLayout(file)) {
            d.add(std::move(c));
        }
    } catch (const std::exception& e) {
        session->ui().note(e.what());
        return PRO_TK_GENERAL_ERROR;
    }
    d.name = dialog;
    d.layout = layout;
    session->ui().dialogs().push_back(std::move(d));
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProUIDialogActivate(const char* dialog, int* status) {
    HOST_ENTER(text(dialog));
    Dialog* d = nullptr;
    if (ProErrors s = findDialog(*session, dialog, d); s != PRO_TK_NO_ERROR) {
        return s;
    }
    if (d->active) {
        return PRO_TK_BAD_CONTEXT;
    }
    const std::string name = d->name;
    d->active = true;
    d->exited = false;
    d->exitStatus = 0;
    UserInterface& ui = session->ui();
    bool closedByHost = false;
    for (;;) {
        d = ui.find(name);
        if (d == nullptr || d->exited) {
            break;
        }
        if (closedByHost) {
            // The close action did not exit the dialog: the host takes it down so that nothing
            // waits for events that will never come.
            ui.note("the host closes " + name + ": its close action did not exit it");
            d->exited = true;
            break;
        }
        if (ui.script().empty() || ui.script().front().kind == UiEvent::Kind::Invoke) {
            ui.note("no more events for " + name + ": closing the window");
            closedByHost = true;
            dispatch(*session, name, UiEvent{UiEvent::Kind::Close, {}, {}, {}, 0.0, {}, 0});
            continue;
        }
        UiEvent e = ui.script().front();
        ui.script().pop_front();
        dispatch(*session, name, e);
    }
    if (d != nullptr) {
        d->active = false;
        d->exited = false;
        if (status != nullptr) {
            *status = d->exitStatus;
        }
    }
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProUIDialogExit(const char* dialog, int status) {
    HOST_ENTER_DETAIL(text(dialog), "status=" + std::to_string(status));
    Dialog* d = nullptr;
    if (ProErrors s = findDialog(*session, dialog, d); s != PRO_TK_NO_ERROR) {
        return s;
    }
    if (!d->active) {
        return PRO_TK_BAD_CONTEXT;
    }
    d->exited = true;
    d->exitStatus = status;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProUIDialogDestroy(const char* dialog) {
    HOST_ENTER(text(dialog));
    Dialog* d = nullptr;
    if (ProErrors s = findDialog(*session, dialog, d); s != PRO_TK_NO_ERROR) {
        return s;
    }
    if (d->active) {
        return PRO_TK_BAD_CONTEXT;
    }
    session->ui().remove(dialog);
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProUIDialogCloseActionSet(const char* dialog, ProUIAction action,
                                                   ProAppData data) {
    HOST_ENTER(text(dialog));
    Dialog* d = nullptr;
    if (ProErrors s = findDialog(*session, dialog, d); s != PRO_TK_NO_ERROR) {
        return s;
    }
    d->close = Binding{action, data};
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProUIPushbuttonActivateActionSet(const char* dialog, const char* component,
                                                          ProUIAction action, ProAppData data) {
    HOST_ENTER(componentKey(dialog, component));
    return bind(*session, dialog, component, ComponentKind::PushButton, &Component::activate,
                action, data);
}

ProErrors HostFunctions::ProUIPushbuttonEnable(const char* dialog, const char* component) {
    HOST_ENTER(componentKey(dialog, component));
    Component* c = nullptr;
    ProErrors s = findComponent(*session, dialog, component, {ComponentKind::PushButton}, c);
    if (s == PRO_TK_NO_ERROR) {
        c->enabled = true;
    }
    return s;
}

ProErrors HostFunctions::ProUIPushbuttonDisable(const char* dialog, const char* component) {
    HOST_ENTER(componentKey(dialog, component));
    Component* c = nullptr;
    ProErrors s = findComponent(*session, dialog, component, {ComponentKind::PushButton}, c);
    if (s == PRO_TK_NO_ERROR) {
        c->enabled = false;
    }
    return s;
}

ProErrors HostFunctions::ProUICheckbuttonGetState(const char* dialog, const char* component,
                                                  ProBoolean* state) {
    HOST_ENTER(componentKey(dialog, component));
    Component* c = nullptr;
    ProErrors s = findComponent(*session, dialog, component, {ComponentKind::CheckButton}, c);
    if (s != PRO_TK_NO_ERROR) {
        return s;
    }
    if (state == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    *state = c->checked ? PRO_B_TRUE : PRO_B_FALSE;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProUIInputpanelInputActionSet(const char* dialog, const char* component,
                                                       ProUIAction action, ProAppData data) {
    HOST_ENTER(componentKey(dialog, component));
    return bind(*session, dialog, component, ComponentKind::InputPanel, &Component::input, action,
                data);
}

ProErrors HostFunctions::ProUIInputpanelActivateActionSet(const char* dialog, const char* component,
                                                          ProUIAction action, ProAppData data) {
    HOST_ENTER(componentKey(dialog, component));
    return bind(*session, dialog, component, ComponentKind::InputPanel, &Component::activate,
                action, data);
}

ProErrors HostFunctions::ProUIInputpanelWidestringSet(const char* dialog, const char* component,
                                                      const wchar_t* value) {
    HOST_ENTER_DETAIL(componentKey(dialog, component),
                      value != nullptr ? "text=" + toUtf8(value) : std::string());
    return setText(*session, dialog, component, value);
}

ProErrors HostFunctions::ProUIInputpanelValueSet(const char* dialog, const char* component,
                                                 const wchar_t* value) {
    HOST_ENTER_DETAIL(componentKey(dialog, component),
                      value != nullptr ? "text=" + toUtf8(value) : std::string());
    return setText(*session, dialog, component, value);
}

ProErrors HostFunctions::ProUIInputpanelWidestringGet(const char* dialog, const char* component,
                                                      wchar_t** value) {
    HOST_ENTER(componentKey(dialog, component));
    Component* c = nullptr;
    ProErrors s = findComponent(*session, dialog, component, {ComponentKind::InputPanel}, c);
    if (s != PRO_TK_NO_ERROR) {
        return s;
    }
    if (value == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    *value = session->ledger().allocateWideString(__func__, c->text);
    return *value != nullptr ? PRO_TK_NO_ERROR : PRO_TK_GENERAL_ERROR;
}

ProErrors HostFunctions::ProUIOptionmenuNamesGet(const char* dialog, const char* component,
                                                 int* count, char*** names) {
    HOST_ENTER(componentKey(dialog, component));
    Component* c = nullptr;
    ProErrors s = findComponent(*session, dialog, component, {ComponentKind::OptionMenu}, c);
    return s != PRO_TK_NO_ERROR ? s : namesOut(*session, c->items, count, names, __func__);
}

ProErrors HostFunctions::ProUIOptionmenuSelectednamesGet(const char* dialog, const char* component,
                                                         int* count, char*** names) {
    HOST_ENTER(componentKey(dialog, component));
    Component* c = nullptr;
    ProErrors s = findComponent(*session, dialog, component, {ComponentKind::OptionMenu}, c);
    return s != PRO_TK_NO_ERROR ? s : namesOut(*session, c->selected, count, names, __func__);
}

ProErrors HostFunctions::ProUIOptionmenuSelectednamesSet(const char* dialog, const char* component,
                                                         int count, char** names) {
    HOST_ENTER_DETAIL(componentKey(dialog, component),
                      count == 1 && names != nullptr && names[0] != nullptr
                          ? "name=" + std::string(names[0])
                          : "count=" + std::to_string(count));
    Component* c = nullptr;
    ProErrors s = findComponent(*session, dialog, component, {ComponentKind::OptionMenu}, c);
    if (s != PRO_TK_NO_ERROR) {
        return s;
    }
    // An option menu shows one item at a time.
    if (count < 0 || count > 1 || (count == 1 && (names == nullptr || names[0] == nullptr))) {
        return PRO_TK_BAD_INPUTS;
    }
    std::vector<std::string> selected;
    if (count == 1) {
        if (std::find(c->items.begin(), c->items.end(), names[0]) == c->items.end()) {
            return PRO_TK_BAD_INPUTS;
        }
        selected.push_back(names[0]);
    }
    c->selected = selected;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProUIOptionmenuSelectActionSet(const char* dialog, const char* component,
                                                        ProUIAction action, ProAppData data) {
    HOST_ENTER(componentKey(dialog, component));
    return bind(*session, dialog, component, ComponentKind::OptionMenu, &Component::select, action,
                data);
}

ProErrors HostFunctions::ProUITableColumnnamesGet(const char* dialog, const char* component,
                                                  int* count, char*** names) {
    HOST_ENTER(componentKey(dialog, component));
    Component* c = nullptr;
    ProErrors s = findComponent(*session, dialog, component, {ComponentKind::Table}, c);
    return s != PRO_TK_NO_ERROR ? s : namesOut(*session, c->columns, count, names, __func__);
}

ProErrors HostFunctions::ProUITableRownamesSet(const char* dialog, const char* component, int count,
                                               char** names) {
    HOST_ENTER_DETAIL(componentKey(dialog, component), "count=" + std::to_string(count));
    Component* table = nullptr;
    ProErrors s = findComponent(*session, dialog, component, {ComponentKind::Table}, table);
    if (s != PRO_TK_NO_ERROR) {
        return s;
    }
    if (count < 0 || (count > 0 && names == nullptr)) {
        return PRO_TK_BAD_INPUTS;
    }
    std::vector<std::string> rows;
    std::unordered_set<std::string_view> unique;
    for (int i = 0; i < count; ++i) {
        if (names[i] == nullptr || *names[i] == '\0' || !unique.insert(names[i]).second) {
            return PRO_TK_BAD_INPUTS;
        }
        rows.push_back(names[i]);
    }
    // Cells of rows that are gone go with them.
    session->ui().find(dialog)->setRows(*table, std::move(rows));
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProUITableCellComponentCopy(const char* dialog, const char* table,
                                                     const char* row, const char* column,
                                                     const char* sourceDialog,
                                                     const char* sourceComponent,
                                                     const char* newComponent) {
    HOST_ENTER_DETAIL(componentKey(dialog, newComponent),
                      "table=" + text(table) + " row=" + text(row) + " column=" + text(column) +
                          " from=" + componentKey(sourceDialog, sourceComponent));
    Component* t = nullptr;
    ProErrors s = findComponent(*session, dialog, table, {ComponentKind::Table}, t);
    if (s != PRO_TK_NO_ERROR) {
        return s;
    }
    if (row == nullptr || column == nullptr || newComponent == nullptr || *newComponent == '\0') {
        return PRO_TK_BAD_INPUTS;
    }
    Dialog* d = session->ui().find(dialog);
    if (!d->hasRow(*t, row) ||
        std::find(t->columns.begin(), t->columns.end(), column) == t->columns.end()) {
        return PRO_TK_E_NOT_FOUND;
    }
    Component* source = nullptr;
    s = findComponent(*session, sourceDialog, sourceComponent,
                      {ComponentKind::PushButton, ComponentKind::CheckButton,
                       ComponentKind::InputPanel, ComponentKind::OptionMenu,
                       ComponentKind::SpinBox},
                      source);
    if (s != PRO_TK_NO_ERROR) {
        return s;
    }
    // The copy takes the template's kind and state, not its actions; the dialog refuses a name or
    // a cell that is taken.
    Component copy = *source;
    copy.name = newComponent;
    copy.activate = copy.input = copy.select = copy.update = Binding{};
    copy.cellTable = t->name;
    copy.cellRow = row;
    copy.cellColumn = column;
    return d->add(std::move(copy)) != nullptr ? PRO_TK_NO_ERROR : PRO_TK_E_FOUND;
}

ProErrors HostFunctions::ProUITableCellComponentDelete(const char* dialog, const char* table,
                                                       const char* row, const char* column) {
    HOST_ENTER_DETAIL(componentKey(dialog, table), "row=" + text(row) + " column=" + text(column));
    Component* t = nullptr;
    ProErrors s = findComponent(*session, dialog, table, {ComponentKind::Table}, t);
    if (s != PRO_TK_NO_ERROR) {
        return s;
    }
    if (row == nullptr || column == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    return session->ui().find(dialog)->removeCell(t->name, row, column) ? PRO_TK_NO_ERROR
                                                                        : PRO_TK_E_NOT_FOUND;
}

ProErrors HostFunctions::ProUISpinboxUpdateActionSet(const char* dialog, const char* component,
                                                     ProUIAction action, ProAppData data) {
    HOST_ENTER(componentKey(dialog, component));
    return bind(*session, dialog, component, ComponentKind::SpinBox, &Component::update, action,
                data);
}

ProErrors HostFunctions::ProUISpinboxActivateActionSet(const char* dialog, const char* component,
                                                       ProUIAction action, ProAppData data) {
    HOST_ENTER(componentKey(dialog, component));
    return bind(*session, dialog, component, ComponentKind::SpinBox, &Component::activate, action,
                data);
}

ProErrors HostFunctions::ProUISpinboxDoubleSet(const char* dialog, const char* component,
                                               double value) {
    HOST_ENTER_DETAIL(componentKey(dialog, component), "value=" + std::to_string(value));
    Component* c = nullptr;
    ProErrors s = findComponent(*session, dialog, component, {ComponentKind::SpinBox}, c);
    if (s != PRO_TK_NO_ERROR) {
        return s;
    }
    if (value != value) {
        return PRO_TK_BAD_INPUTS;
    }
    // Like the real control, the box holds only values of its range.
    c->value = std::clamp(value, c->minimum, c->maximum);
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProUISpinboxDoubleGet(const char* dialog, const char* component,
                                               double* value) {
    HOST_ENTER(componentKey(dialog, component));
    Component* c = nullptr;
    ProErrors s = findComponent(*session, dialog, component, {ComponentKind::SpinBox}, c);
    if (s != PRO_TK_NO_ERROR) {
        return s;
    }
    if (value == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    *value = c->value;
    return PRO_TK_NO_ERROR;
}

} // namespace Hostsim
