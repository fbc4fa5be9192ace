// Layout files, session scripts and the dialog registry of the stand-in host.
#include "UserInterface.h"

#include "HostSession.h"
#include "InputFile.h"
#include "PathText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <set>
#include <sstream>

namespace Hostsim {

namespace {

std::vector<std::string> lines(const std::string& content) {
    std::vector<std::string> out;
    std::istringstream in(content);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        out.push_back(line);
    }
    return out;
}

// Splits at blanks and tabs.
std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    for (std::string w; in >> w;) {
        out.push_back(w);
    }
    return out;
}

bool isBlankOrComment(const std::string& line) {
    std::size_t first = line.find_first_not_of(" \t");
    return first == std::string::npos || line[first] == '#';
}

bool isName(const std::string& text) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        bool ok =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!ok) {
            return false;
        }
    }
    return true;
}

std::optional<double> parseNumber(const std::string& text) {
    double value = 0.0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string> commaList(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = text.find(',', start);
        out.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return out;
}

const std::map<std::string, ComponentKind>& kindsByWord() {
    static const std::map<std::string, ComponentKind> kinds = {
        {"pushbutton", ComponentKind::PushButton}, {"checkbutton", ComponentKind::CheckButton},
        {"inputpanel", ComponentKind::InputPanel}, {"optionmenu", ComponentKind::OptionMenu},
        {"table", ComponentKind::Table},           {"spinbox", ComponentKind::SpinBox},
    };
    return kinds;
}

// The attributes each kind takes (besides "enabled").
bool takesAttribute(ComponentKind kind, const std::string& key) {
    switch (kind) {
    case ComponentKind::CheckButton:
        return key == "state";
    case ComponentKind::InputPanel:
        return false;
    case ComponentKind::OptionMenu:
        return key == "items" || key == "selected";
    case ComponentKind::Table:
        return key == "columns";
    case ComponentKind::SpinBox:
        return key == "min" || key == "max" || key == "value";
    case ComponentKind::PushButton:
        return false;
    }
    return false;
}

} // namespace

const char* componentKindName(ComponentKind kind) {
    switch (kind) {
    case ComponentKind::PushButton:
        return "push button";
    case ComponentKind::CheckButton:
        return "check button";
    case ComponentKind::InputPanel:
        return "input panel";
    case ComponentKind::OptionMenu:
        return "option menu";
    case ComponentKind::Table:
        return "table";
    case ComponentKind::SpinBox:
        return "spin box";
    }
    return "?";
}

std::vector<Component> parseLayout(const std::string& content, const std::string& fileName) {
    std::vector<Component> components;
    std::set<std::string> names;
    std::vector<std::string> all = lines(content);
    for (std::size_t n = 0; n < all.size(); ++n) {
        const std::string& line = all[n];
        if (isBlankOrComment(line)) {
            continue;
        }
        auto fail = [&](const std::string& what) {
            throw LayoutError(fileName + ":" + std::to_string(n + 1) + ": " + what);
        };
        std::vector<std::string> w = words(line);
        auto kind = kindsByWord().find(w[0]);
        if (kind == kindsByWord().end()) {
            fail("unknown component kind '" + w[0] +
                 "' (pushbutton, checkbutton, inputpanel, optionmenu, table, spinbox)");
        }
        if (w.size() < 2 || !isName(w[1])) {
            fail("a component needs a name of letters, digits and underscores");
        }
        if (!names.insert(w[1]).second) {
            fail("component '" + w[1] + "' is declared twice");
        }
        Component c;
        c.kind = kind->second;
        c.name = w[1];
        bool hasSelected = false, hasValue = false;
        std::set<std::string> seen;
        for (std::size_t i = 2; i < w.size(); ++i) {
            std::size_t eq = w[i].find('=');
            if (eq == std::string::npos || eq == 0) {
                fail("expected key=value, found '" + w[i] + "'");
            }
            std::string key = w[i].substr(0, eq), value = w[i].substr(eq + 1);
            if (!seen.insert(key).second) {
                fail("'" + key + "' is given twice");
            }
            if (key == "enabled" || key == "state") {
                if (key == "state" && !takesAttribute(c.kind, key)) {
                    fail("a " + std::string(componentKindName(c.kind)) + " takes no '" + key + "'");
                }
                if (value != "0" && value != "1") {
                    fail("'" + key + "' is 0 or 1");
                }
                (key == "enabled" ? c.enabled : c.checked) = value == "1";
            } else if (!takesAttribute(c.kind, key)) {
                fail("a " + std::string(componentKindName(c.kind)) + " takes no '" + key + "'");
            } else if (key == "items" || key == "columns") {
                std::vector<std::string> list = commaList(value);
                std::set<std::string> unique;
                for (const std::string& item : list) {
                    if (!isName(item) || !unique.insert(item).second) {
                        fail("'" + key + "' is a list of distinct names separated by commas");
                    }
                }
                (key == "items" ? c.items : c.columns) = list;
            } else if (key == "selected") {
                c.selected = {value};
                hasSelected = true;
            } else {
                std::optional<double> number = parseNumber(value);
                if (!number) {
                    fail("'" + key + "' needs a number, found '" + value + "'");
                }
                (key == "min" ? c.minimum : key == "max" ? c.maximum : c.value) = *number;
                hasValue = hasValue || key == "value";
            }
        }
        if (c.kind == ComponentKind::OptionMenu) {
            if (hasSelected &&
                std::find(c.items.begin(), c.items.end(), c.selected[0]) == c.items.end()) {
                fail("the selected item '" + c.selected[0] + "' is not one of the items");
            }
            if (!hasSelected && !c.items.empty()) {
                c.selected = {c.items[0]};
            }
        }
        if (c.kind == ComponentKind::SpinBox) {
            if (!seen.count("min") || !seen.count("max") || c.minimum > c.maximum) {
                fail("a spin box needs min=... and max=... with min <= max");
            }
            if (!hasValue) {
                c.value = c.minimum;
            }
            if (c.value < c.minimum || c.value > c.maximum) {
                fail("the spin box's value lies outside its range");
            }
        }
        components.push_back(std::move(c));
    }
    return components;
}

std::vector<Component> loadLayout(const std::filesystem::path& file) {
    return parseLayout(readInputFile(file, "layout"), utf8Path(file));
}

std::size_t Dialog::CellKeyHash::operator()(const CellKey& key) const {
    std::hash<std::string> hash;
    std::size_t h = hash(key.table);
    for (const std::string* part : {&key.row, &key.column}) {
        h ^= hash(*part) + 0x9e3779b97f4a7c15u + (h << 6) + (h >> 2);
    }
    return h;
}

Component* Dialog::find(const std::string& component) {
    auto it = byName_.find(component);
    return it != byName_.end() ? &*it->second : nullptr;
}

Component* Dialog::cell(const std::string& table, const std::string& row,
                        const std::string& column) {
    auto it = byCell_.find(CellKey{table, row, column});
    return it != byCell_.end() ? &*it->second : nullptr;
}

Component* Dialog::add(Component component) {
    if (byName_.count(component.name) != 0) {
        return nullptr;
    }
    std::optional<CellKey> key;
    if (component.inCell()) {
        const Component* table = find(component.cellTable);
        if (table == nullptr || table->kind != ComponentKind::Table ||
            !hasRow(*table, component.cellRow) ||
            std::find(table->columns.begin(), table->columns.end(), component.cellColumn) ==
                table->columns.end()) {
            return nullptr;
        }
        key = CellKey{component.cellTable, component.cellRow, component.cellColumn};
        if (byCell_.count(*key) != 0) {
            return nullptr;
        }
    }
    Position at = components_.insert(components_.end(), std::move(component));
    try {
        byName_.emplace(at->name, at);
        if (key) {
            byCell_.emplace(std::move(*key), at);
        }
    } catch (...) {
        // Out of memory half-way: the dialog stays as it was.
        byName_.erase(at->name);
        components_.erase(at);
        throw;
    }
    return &*at;
}

bool Dialog::removeCell(const std::string& table, const std::string& row,
                        const std::string& column) {
    auto it = byCell_.find(CellKey{table, row, column});
    if (it == byCell_.end()) {
        return false;
    }
    Position at = it->second;
    byCell_.erase(it);
    byName_.erase(at->name);
    components_.erase(at);
    return true;
}

void Dialog::setRows(Component& table, std::vector<std::string> rows) {
    std::unordered_set<std::string> kept(rows.begin(), rows.end());
    // Cells are only ever added in rows and columns the table has, so those of the rows that go
    // are found by their keys, without a look at every component.
    for (const std::string& row : table.rows) {
        if (kept.count(row) != 0) {
            continue;
        }
        for (const std::string& column : table.columns) {
            removeCell(table.name, row, column);
        }
    }
    rowsOf_[table.name] = std::move(kept);
    table.rows = std::move(rows);
}

bool Dialog::hasRow(const Component& table, const std::string& row) const {
    auto it = rowsOf_.find(table.name);
    return it != rowsOf_.end() && it->second.count(row) != 0;
}

const char* uiEventKindName(UiEvent::Kind kind) {
    switch (kind) {
    case UiEvent::Kind::Invoke:
        return "invoke";
    case UiEvent::Kind::Press:
        return "press";
    case UiEvent::Kind::Text:
        return "text";
    case UiEvent::Kind::Enter:
        return "enter";
    case UiEvent::Kind::Select:
        return "select";
    case UiEvent::Kind::Toggle:
        return "toggle";
    case UiEvent::Kind::Spin:
        return "spin";
    case UiEvent::Kind::Close:
        return "close";
    case UiEvent::Kind::Reply:
        return "reply";
    }
    return "?";
}

std::string eventPlace(const UiEvent& event) {
    return event.file + ":" + std::to_string(event.line);
}

std::vector<ComponentKind> kindsTaking(UiEvent::Kind kind) {
    switch (kind) {
    case UiEvent::Kind::Press:
        return {ComponentKind::PushButton};
    case UiEvent::Kind::Text:
        return {ComponentKind::InputPanel};
    case UiEvent::Kind::Enter:
        return {ComponentKind::InputPanel, ComponentKind::SpinBox};
    case UiEvent::Kind::Select:
        return {ComponentKind::OptionMenu};
    case UiEvent::Kind::Toggle:
        return {ComponentKind::CheckButton};
    case UiEvent::Kind::Spin:
        return {ComponentKind::SpinBox};
    case UiEvent::Kind::Invoke:
    case UiEvent::Kind::Close:
    case UiEvent::Kind::Reply:
        break;
    }
    return {};
}

std::vector<UiEvent> parseSessionScript(const std::string& content, const std::string& fileName) {
    static const std::map<std::string, UiEvent::Kind> kinds = {
        {"invoke", UiEvent::Kind::Invoke}, {"press", UiEvent::Kind::Press},
        {"text", UiEvent::Kind::Text},     {"enter", UiEvent::Kind::Enter},
        {"select", UiEvent::Kind::Select}, {"toggle", UiEvent::Kind::Toggle},
        {"spin", UiEvent::Kind::Spin},     {"close", UiEvent::Kind::Close},
        {"reply", UiEvent::Kind::Reply},
    };
    std::vector<UiEvent> events;
    std::vector<std::string> all = lines(content);
    for (std::size_t n = 0; n < all.size(); ++n) {
        const std::string& line = all[n];
        if (isBlankOrComment(line)) {
            continue;
        }
        auto fail = [&](const std::string& what) {
            throw ScriptError(fileName + ":" + std::to_string(n + 1) + ": " + what);
        };
        std::size_t start = line.find_first_not_of(" \t");
        std::size_t end = line.find_first_of(" \t", start);
        std::string word = line.substr(start, end - start);
        // The rest after the word and one separating blank, kept exactly.
        std::string rest = end == std::string::npos ? std::string() : line.substr(end + 1);
        auto kind = kinds.find(word);
        if (kind == kinds.end()) {
            fail("unknown event '" + word +
                 "' (invoke, press, text, enter, select, toggle, spin, close, reply)");
        }
        UiEvent e;
        e.kind = kind->second;
        e.file = fileName;
        e.line = static_cast<int>(n + 1);
        std::vector<std::string> args = words(rest);
        switch (e.kind) {
        case UiEvent::Kind::Invoke: {
            std::size_t a = rest.find_first_not_of(" \t"), b = rest.find_last_not_of(" \t");
            if (a == std::string::npos) {
                fail("invoke needs a command name");
            }
            e.component = rest.substr(a, b - a + 1);
            break;
        }
        case UiEvent::Kind::Press:
        case UiEvent::Kind::Enter:
        case UiEvent::Kind::Toggle:
            if (args.size() != 1) {
                fail(word + " needs one component name");
            }
            e.component = args[0];
            break;
        case UiEvent::Kind::Close:
            if (!args.empty()) {
                fail("close takes nothing");
            }
            break;
        case UiEvent::Kind::Text: {
            if (args.empty()) {
                fail("text needs a component name (and the text, which may be empty)");
            }
            e.component = args[0];
            std::size_t a = rest.find(args[0]) + args[0].size();
            std::string text = a < rest.size() ? rest.substr(a + 1) : std::string();
            // Quotes keep leading and trailing blanks: "  A  ".
            if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
                text = text.substr(1, text.size() - 2);
            }
            e.text = fromUtf8(text);
            break;
        }
        case UiEvent::Kind::Select:
            if (args.size() != 2) {
                fail("select needs a component name and an item name");
            }
            e.component = args[0];
            e.item = args[1];
            break;
        case UiEvent::Kind::Spin: {
            std::optional<double> number = args.size() == 2 ? parseNumber(args[1]) : std::nullopt;
            if (!number) {
                fail("spin needs a component name and a number");
            }
            e.component = args[0];
            e.number = *number;
            break;
        }
        case UiEvent::Kind::Reply: {
            std::optional<double> number = args.size() == 1 ? parseNumber(args[0]) : std::nullopt;
            if (!number || *number != std::floor(*number) || *number < 1 || *number > 100) {
                fail("reply needs a button code");
            }
            e.number = *number;
            break;
        }
        }
        events.push_back(std::move(e));
    }
    return events;
}

std::vector<UiEvent> loadSessionScript(const std::filesystem::path& file) {
    std::string content;
    try {
        content = readInputFile(file, "session script");
    } catch (const InputFileError& e) {
        throw ScriptError(e.what());
    }
    return parseSessionScript(content, utf8Path(file));
}

Dialog* UserInterface::find(const std::string& dialog) {
    for (Dialog& d : dialogs_) {
        if (d.name == dialog) {
            return &d;
        }
    }
    return nullptr;
}

void UserInterface::remove(const std::string& dialog) {
    for (auto it = dialogs_.begin(); it != dialogs_.end(); ++it) {
        if (it->name == dialog) {
            dialogs_.erase(it);
            return;
        }
    }
}

void UserInterface::addEvents(const std::vector<UiEvent>& events) {
    script_.insert(script_.end(), events.begin(), events.end());
}

void UserInterface::ignore(const UiEvent& event, const std::string& why) {
    failed(event, why + "; event ignored");
}

void UserInterface::failed(const UiEvent& event, const std::string& what) {
    std::string line = eventPlace(event) + ": " + what;
    log_.push_back(line);
    problems_.push_back(std::move(line));
}

std::string UserInterface::renderLog() const {
    std::string out;
    for (const std::string& line : log_) {
        out += line + '\n';
    }
    return out;
}

} // namespace Hostsim
