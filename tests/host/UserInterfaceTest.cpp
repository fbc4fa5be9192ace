// The host's user interface: layouts, session scripts, components and the modal loop.
#include "UserInterface.h"
#include "HostTestSupport.h"
#include "MarkdownText.h"
#include "MessageFile.h"

#include <charconv>
#include <map>
#include <set>
#include <tuple>

#include <fstream>
#include <functional>
#include <stdexcept>

namespace {

using Hostsim::ComponentKind;
using Hostsim::UiEvent;

// The actions the tests bind, as one place that records and reacts.
struct Recorder {
    std::vector<std::string> calls;
    std::function<void(const std::string&)> onCall;
};
Recorder* g_recorder = nullptr;

void recordingAction(const char* dialog, const char* component, ProAppData) {
    std::string what = std::string(dialog) + "." + component;
    g_recorder->calls.push_back(what);
    if (g_recorder->onCall) {
        g_recorder->onCall(what);
    }
}

void exitingAction(const char* dialog, const char* component, ProAppData data) {
    recordingAction(dialog, component, data);
    EXPECT_EQ(ProUIDialogExit(dialog, 7), PRO_TK_NO_ERROR);
}

void throwingAction(const char*, const char*, ProAppData) {
    throw std::runtime_error("out of the plug-in");
}

class UserInterfaceTest : public HostTest::HostSessionTest {
protected:
    void SetUp() override {
        HostSessionTest::SetUp();
        ASSERT_EQ(ProResourcePathInit(), PRO_TK_NO_ERROR);
        g_recorder = &recorder;
    }
    void TearDown() override {
        g_recorder = nullptr;
        HostSessionTest::TearDown();
    }
    void script(const std::string& text) {
        session.ui().addEvents(Hostsim::parseSessionScript(text, "test.session"));
    }
    Hostsim::Component& component(const std::string& name) {
        Hostsim::Dialog* d = session.ui().find("Tarvelo");
        EXPECT_NE(d, nullptr);
        Hostsim::Component* c = d != nullptr ? d->find(name) : nullptr;
        if (c == nullptr) {
            throw std::logic_error("no component " + name);
        }
        return *c;
    }
    void createTarvelo() { ASSERT_EQ(ProUIDialogCreate("Tarvelo", "Tarvelo"), PRO_TK_NO_ERROR); }
    int activate() {
        int status = -99;
        EXPECT_EQ(ProUIDialogActivate("Tarvelo", &status), PRO_TK_NO_ERROR);
        return status;
    }

    Recorder recorder;
};

TEST(Layout, TheShippedLayoutHoldsEveryComponentOfTheDialog) {
    std::vector<Hostsim::Component> all =
        Hostsim::loadLayout(std::filesystem::path(Hostsim::hostPath(Hostsim::Session().textRoot)) /
                            "text" / "resource" / "Tarvelo.res");
    auto find = [&](const std::string& name) -> const Hostsim::Component& {
        for (const auto& c : all) {
            if (c.name == name) {
                return c;
            }
        }
        throw std::logic_error("missing " + name);
    };
    for (const char* button : {"Export", "Cancel", "AttributeAdd", "AttributeRemove"}) {
        EXPECT_EQ(find(button).kind, ComponentKind::PushButton) << button;
    }
    EXPECT_EQ(find("DeleteTvl").kind, ComponentKind::CheckButton);
    EXPECT_TRUE(find("DeleteTvl").checked);
    EXPECT_EQ(find("CtiValue").kind, ComponentKind::InputPanel);
    EXPECT_EQ(find("AttributeName").kind, ComponentKind::InputPanel);
    EXPECT_EQ(find("AttributeTable").columns.size(), 3u);
    EXPECT_EQ(find("AttributeType").items.size(), 3u);
    EXPECT_EQ(find("AttributeType").selected, std::vector<std::string>{"PartsAndBodies"});
    const Hostsim::Component& chord = find("ChordHeight");
    EXPECT_EQ(chord.kind, ComponentKind::SpinBox);
    EXPECT_GT(chord.minimum, 0.0);
    // Thousandths of the largest value must fit the registry's 32-bit number.
    EXPECT_LT(chord.maximum * 1000.0, 4294967295.0);
    EXPECT_EQ(find("AngleControl").minimum, 0.0);
    EXPECT_EQ(find("AngleControl").maximum, 1.0);
}

// host/UserInterface.md names every component of the shipped layout with its kind and its state
// in the layout, and its examples are events of every kind.
TEST(Layout, TheUserInterfaceDocumentDescribesTheShippedDialog) {
    std::vector<Hostsim::Component> layout =
        Hostsim::loadLayout(std::filesystem::path(Hostsim::hostPath(Hostsim::Session().textRoot)) /
                            "text" / "resource" / "Tarvelo.res");
    const std::vector<std::string> section =
        MarkdownText::section(MarkdownText::readFile(TARVELO_SOURCE_DIR "/host/UserInterface.md"),
                              "## The dialog \"Tarvelo\"");
    std::map<std::string, std::vector<std::string>> documented;
    for (const std::vector<std::string>& row : MarkdownText::tableRows(section)) {
        ASSERT_GE(row.size(), 3u);
        std::string name = row[0].substr(1, row[0].size() - 2); // `Name`
        if (name.find('<') == std::string::npos) {
            documented[name] = row;
        }
    }
    auto number = [](double v) {
        char text[32];
        auto end = std::to_chars(text, text + sizeof text, v).ptr;
        return std::string(text, end);
    };
    auto ticked = [](const std::vector<std::string>& names) {
        std::string out;
        for (const std::string& n : names) {
            out += (out.empty() ? "`" : ", `") + n + "`";
        }
        return out;
    };
    ASSERT_EQ(documented.size(), layout.size());
    for (const Hostsim::Component& c : layout) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(documented.count(c.name), 1u);
        const std::vector<std::string>& row = documented[c.name];
        EXPECT_EQ(row[1], Hostsim::componentKindName(c.kind));
        switch (c.kind) {
        case ComponentKind::SpinBox:
            EXPECT_EQ(row[2],
                      number(c.minimum) + " to " + number(c.maximum) + ", " + number(c.value));
            break;
        case ComponentKind::CheckButton:
            EXPECT_EQ(row[2], c.checked ? "on" : "off");
            break;
        case ComponentKind::OptionMenu:
            EXPECT_EQ(row[2], "items " + ticked(c.items) + "; selected " + ticked(c.selected));
            break;
        case ComponentKind::Table:
            EXPECT_EQ(row[2], "columns " + ticked(c.columns));
            break;
        case ComponentKind::PushButton:
            EXPECT_EQ(row[2], c.enabled ? "enabled" : "disabled");
            break;
        case ComponentKind::InputPanel:
            EXPECT_EQ(row[2], "empty");
            break;
        }
    }
    std::set<UiEvent::Kind> kinds;
    for (const std::string& block : MarkdownText::codeBlocks(section)) {
        for (const UiEvent& e : Hostsim::parseSessionScript(block, "UserInterface.md")) {
            kinds.insert(e.kind);
        }
    }
    EXPECT_EQ(kinds.size(), 9u);
}

TEST(Layout, MistakesNameTheFileAndLine) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"slider S", "unknown component kind 'slider'"},
        {"pushbutton A\npushbutton A", "declared twice"},
        {"pushbutton A-B", "a component needs a name"},
        {"spinbox S min=2 max=1", "min <= max"},
        {"spinbox S min=0 max=1 value=3", "outside its range"},
        {"spinbox S min=x max=1", "needs a number"},
        {"optionmenu M items=a,b selected=c", "not one of the items"},
        {"optionmenu M items=a,,b", "distinct names"},
        {"table T columns=a,a", "distinct names"},
        {"pushbutton B state=1", "takes no 'state'"},
        {"checkbutton C state=2", "is 0 or 1"},
        {"inputpanel I items=a", "takes no 'items'"},
        {"pushbutton B enabled", "expected key=value"},
    };
    for (const auto& [text, message] : cases) {
        try {
            Hostsim::parseLayout("# layout\n" + text + "\n", "L.res");
            ADD_FAILURE() << "accepted: " << text;
        } catch (const Hostsim::LayoutError& e) {
            std::string what = e.what();
            EXPECT_EQ(what.rfind("L.res:", 0), 0u) << what;
            EXPECT_NE(what.find(message), std::string::npos) << what;
        }
    }
}

TEST(SessionScript, EveryEventKindIsRead) {
    std::vector<UiEvent> e = Hostsim::parseSessionScript("# a session\n"
                                                         "invoke Tarvelo Gateway\n"
                                                         "text CtiValue  A B \n"
                                                         "text CtiValue \"  Q \"\n"
                                                         "text CtiValue\n"
                                                         "select tarveloType0 Both\n"
                                                         "spin ChordHeight 0.25\n"
                                                         "toggle DeleteTvl\n"
                                                         "enter CtiValue\n"
                                                         "reply 6\n"
                                                         "press Export\n"
                                                         "close\n",
                                                         "s");
    ASSERT_EQ(e.size(), 11u);
    EXPECT_EQ(e[0].kind, UiEvent::Kind::Invoke);
    EXPECT_EQ(e[0].component, "Tarvelo Gateway");
    EXPECT_EQ(e[1].text, L" A B ");
    EXPECT_EQ(e[2].text, L"  Q ");
    EXPECT_EQ(e[3].text, L"");
    EXPECT_EQ(e[4].item, "Both");
    EXPECT_EQ(e[5].number, 0.25);
    EXPECT_EQ(e[6].kind, UiEvent::Kind::Toggle);
    EXPECT_EQ(e[7].kind, UiEvent::Kind::Enter);
    EXPECT_EQ(e[8].number, 6.0);
    EXPECT_EQ(e[9].component, "Export");
    EXPECT_EQ(e[10].kind, UiEvent::Kind::Close);
    EXPECT_EQ(e[10].line, 12);
}

TEST(SessionScript, MistakesNameTheLine) {
    for (const char* text : {"jump Export", "press", "press A B", "spin S x", "select M",
                             "close now", "reply 0", "invoke"}) {
        try {
            Hostsim::parseSessionScript(std::string("\n") + text + "\n", "s.session");
            ADD_FAILURE() << "accepted: " << text;
        } catch (const Hostsim::ScriptError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("s.session:2: ", 0), 0u) << e.what();
        }
    }
}

TEST_F(UserInterfaceTest, DialogsAreCreatedOnceFromTheirLayoutAndDestroyed) {
    session.recordCalls();
    EXPECT_EQ(ProUIDialogCreate("Other", "NoSuchLayout"), PRO_TK_E_NOT_FOUND);
    createTarvelo();
    EXPECT_EQ(ProUIDialogCreate("Tarvelo", "Tarvelo"), PRO_TK_E_FOUND);
    EXPECT_EQ(session.log().calls().back().detail, "layout=Tarvelo");
    EXPECT_EQ(ProUIDialogExit("Tarvelo", 0), PRO_TK_BAD_CONTEXT); // not running
    EXPECT_EQ(ProUIDialogDestroy("Tarvelo"), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProUIDialogDestroy("Tarvelo"), PRO_TK_E_NOT_FOUND);
}

TEST_F(UserInterfaceTest, ABrokenLayoutIsRefusedAndNoted) {
    std::filesystem::path root = HostTest::temporaryDirectory("layout");
    std::filesystem::create_directories(root / "text" / "resource");
    std::ofstream(root / "text" / "resource" / "Bad.res") << "pushbutton A\nwheel W\n";
    runtime.reset();
    session.textRoot = root.wstring();
    runtime = std::make_unique<HostTest::RuntimeAttachment>(session);
    ASSERT_EQ(ProResourcePathInit(), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProUIDialogCreate("Bad", "Bad"), PRO_TK_GENERAL_ERROR);
    ASSERT_FALSE(session.ui().log().empty());
    EXPECT_NE(session.ui().log().back().find("Bad.res:2: unknown component kind"),
              std::string::npos);
    std::filesystem::remove_all(root);
}

TEST_F(UserInterfaceTest, ComponentsAnswerOnlyForTheirOwnKind) {
    createTarvelo();
    ProBoolean state = -1;
    EXPECT_EQ(ProUICheckbuttonGetState("Tarvelo", "DeleteTvl", &state), PRO_TK_NO_ERROR);
    EXPECT_EQ(state, PRO_B_TRUE);
    EXPECT_EQ(ProUICheckbuttonGetState("Tarvelo", "Export", &state), PRO_TK_BAD_INPUTS);
    EXPECT_EQ(ProUIPushbuttonDisable("Tarvelo", "NoSuch"), PRO_TK_E_NOT_FOUND);
    EXPECT_EQ(ProUIPushbuttonDisable("Nowhere", "Export"), PRO_TK_E_NOT_FOUND);
    EXPECT_EQ(ProUIPushbuttonDisable("Tarvelo", "Export"), PRO_TK_NO_ERROR);
    EXPECT_FALSE(component("Export").enabled);
    EXPECT_EQ(ProUIPushbuttonEnable("Tarvelo", "Export"), PRO_TK_NO_ERROR);
    EXPECT_TRUE(component("Export").enabled);

    EXPECT_EQ(ProUIInputpanelWidestringSet("Tarvelo", "CtiValue", L"CTI_\u00e9"), PRO_TK_NO_ERROR);
    wchar_t* text = nullptr;
    ASSERT_EQ(ProUIInputpanelWidestringGet("Tarvelo", "CtiValue", &text), PRO_TK_NO_ERROR);
    EXPECT_EQ(std::wstring(text), L"CTI_\u00e9");
    EXPECT_FALSE(session.ledger().empty()); // the text is the caller's to release
    EXPECT_EQ(ProWstringFree(text), PRO_TK_NO_ERROR);

    // Spin boxes hold only values of their range.
    EXPECT_EQ(ProUISpinboxDoubleSet("Tarvelo", "AngleControl", 4.0), PRO_TK_NO_ERROR);
    double value = 0.0;
    EXPECT_EQ(ProUISpinboxDoubleGet("Tarvelo", "AngleControl", &value), PRO_TK_NO_ERROR);
    EXPECT_EQ(value, 1.0);

    int count = 0;
    char** items = nullptr;
    ASSERT_EQ(ProUIOptionmenuNamesGet("Tarvelo", "AttributeType", &count, &items), PRO_TK_NO_ERROR);
    ASSERT_EQ(count, 3);
    EXPECT_STREQ(items[2], "Both");
    EXPECT_EQ(ProUIOptionmenuSelectednamesSet("Tarvelo", "AttributeType", 1, &items[1]),
              PRO_TK_NO_ERROR);
    char unknown[] = "Nothing";
    char* unknownName = unknown;
    EXPECT_EQ(ProUIOptionmenuSelectednamesSet("Tarvelo", "AttributeType", 1, &unknownName),
              PRO_TK_BAD_INPUTS);
    EXPECT_EQ(ProUIOptionmenuSelectednamesSet("Tarvelo", "AttributeType", 2, items),
              PRO_TK_BAD_INPUTS);
    EXPECT_EQ(ProStringarrayFree(items, count), PRO_TK_NO_ERROR);
    char** selected = nullptr;
    ASSERT_EQ(ProUIOptionmenuSelectednamesGet("Tarvelo", "AttributeType", &count, &selected),
              PRO_TK_NO_ERROR);
    ASSERT_EQ(count, 1);
    EXPECT_STREQ(selected[0], "Assembly");
    EXPECT_EQ(ProStringarrayFree(selected, count), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProUIDialogDestroy("Tarvelo"), PRO_TK_NO_ERROR);
}

TEST_F(UserInterfaceTest, TableCellsAreCopiesOfTemplatesInRowsThatExist) {
    createTarvelo();
    int count = 0;
    char** columns = nullptr;
    ASSERT_EQ(ProUITableColumnnamesGet("Tarvelo", "AttributeTable", &count, &columns),
              PRO_TK_NO_ERROR);
    ASSERT_EQ(count, 3);
    char row0[] = "r0", row1[] = "r1";
    char* rows[] = {row0, row1};
    EXPECT_EQ(ProUITableCellComponentCopy("Tarvelo", "AttributeTable", "r0", columns[1], "Tarvelo",
                                          "AttributeType", "t0"),
              PRO_TK_E_NOT_FOUND); // no such row yet
    ASSERT_EQ(ProUITableRownamesSet("Tarvelo", "AttributeTable", 2, rows), PRO_TK_NO_ERROR);
    char* twice[] = {row0, row0};
    EXPECT_EQ(ProUITableRownamesSet("Tarvelo", "AttributeTable", 2, twice), PRO_TK_BAD_INPUTS);
    ASSERT_EQ(ProUITableCellComponentCopy("Tarvelo", "AttributeTable", "r0", columns[1], "Tarvelo",
                                          "AttributeType", "t0"),
              PRO_TK_NO_ERROR);
    EXPECT_EQ(component("t0").kind, ComponentKind::OptionMenu);
    EXPECT_EQ(component("t0").items.size(), 3u);
    EXPECT_EQ(ProUITableCellComponentCopy("Tarvelo", "AttributeTable", "r1", columns[1], "Tarvelo",
                                          "AttributeType", "t0"),
              PRO_TK_E_FOUND); // the name is taken
    EXPECT_EQ(ProUITableCellComponentCopy("Tarvelo", "AttributeTable", "r0", columns[1], "Tarvelo",
                                          "AttributeType", "t9"),
              PRO_TK_E_FOUND); // the cell is taken
    ASSERT_EQ(ProUITableCellComponentCopy("Tarvelo", "AttributeTable", "r1", columns[2], "Tarvelo",
                                          "AttributeRemove", "x1"),
              PRO_TK_NO_ERROR);
    EXPECT_EQ(ProUITableCellComponentDelete("Tarvelo", "AttributeTable", "r0", columns[1]),
              PRO_TK_NO_ERROR);
    EXPECT_EQ(ProUITableCellComponentDelete("Tarvelo", "AttributeTable", "r0", columns[1]),
              PRO_TK_E_NOT_FOUND);
    // Replacing the rows takes the cells of rows that are gone with them.
    ASSERT_EQ(ProUITableRownamesSet("Tarvelo", "AttributeTable", 0, nullptr), PRO_TK_NO_ERROR);
    EXPECT_EQ(session.ui().find("Tarvelo")->find("x1"), nullptr);
    EXPECT_EQ(ProStringarrayFree(columns, count), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProUIDialogDestroy("Tarvelo"), PRO_TK_NO_ERROR);
}

// The dialog's own bookkeeping: what is found by name and by cell, after components come and go.
Hostsim::Component layoutComponent(const std::string& name, ComponentKind kind) {
    Hostsim::Component c;
    c.name = name;
    c.kind = kind;
    return c;
}

Hostsim::Component cellComponent(const std::string& name, const std::string& table,
                                 const std::string& row, const std::string& column) {
    Hostsim::Component c = layoutComponent(name, ComponentKind::PushButton);
    c.cellTable = table;
    c.cellRow = row;
    c.cellColumn = column;
    return c;
}

std::vector<std::string> namesInOrder(const Hostsim::Dialog& dialog) {
    std::vector<std::string> names;
    for (const Hostsim::Component& c : dialog.components()) {
        names.push_back(c.name);
    }
    return names;
}

class DialogIndexTest : public ::testing::Test {
protected:
    void SetUp() override {
        Hostsim::Component table = layoutComponent("T", ComponentKind::Table);
        table.columns = {"A", "B"};
        ASSERT_NE(dialog.add(std::move(table)), nullptr);
        ASSERT_NE(dialog.add(layoutComponent("P", ComponentKind::PushButton)), nullptr);
        dialog.setRows(*dialog.find("T"), {"r0", "r1", "r2"});
    }
    // The component is found both by its name and by its cell, as the same one.
    void expectCell(const std::string& name, const std::string& row, const std::string& column) {
        Hostsim::Component* byName = dialog.find(name);
        ASSERT_NE(byName, nullptr) << name;
        EXPECT_EQ(dialog.cell("T", row, column), byName) << name;
        EXPECT_EQ(byName->cellRow, row) << name;
        EXPECT_EQ(byName->cellColumn, column) << name;
    }

    Hostsim::Dialog dialog;
};

TEST_F(DialogIndexTest, AddRefusesTakenNamesTakenCellsAndCellsOutsideTheTable) {
    ASSERT_NE(dialog.add(cellComponent("c", "T", "r1", "B")), nullptr);
    struct Case {
        const char* what;
        Hostsim::Component component;
    };
    const std::vector<Case> refused = {
        {"a layout name", layoutComponent("P", ComponentKind::CheckButton)},
        {"a cell's name", cellComponent("c", "T", "r0", "A")},
        {"a taken cell", cellComponent("d", "T", "r1", "B")},
        {"a row the table lacks", cellComponent("d", "T", "r9", "A")},
        {"a column the table lacks", cellComponent("d", "T", "r0", "C")},
        {"no such table", cellComponent("d", "U", "r0", "A")},
        {"a table that is no table", cellComponent("d", "P", "r0", "A")},
    };
    for (const Case& c : refused) {
        EXPECT_EQ(dialog.add(c.component), nullptr) << c.what;
        EXPECT_EQ(namesInOrder(dialog), (std::vector<std::string>{"T", "P", "c"})) << c.what;
        EXPECT_EQ(dialog.find("d"), nullptr) << c.what;
        expectCell("c", "r1", "B");
        EXPECT_EQ(dialog.find("P")->kind, ComponentKind::PushButton) << c.what;
    }
    EXPECT_EQ(dialog.cell("T", "r0", "A"), nullptr);
    EXPECT_EQ(dialog.cell("T", "r1", "A"), nullptr);
}

TEST_F(DialogIndexTest, RemovedCellsFreeTheirNameAndCellAndLeaveTheOthersAsTheyWere) {
    const std::vector<std::tuple<std::string, std::string, std::string>> cells = {
        {"a0", "r0", "A"}, {"b0", "r0", "B"}, {"a1", "r1", "A"},
        {"b1", "r1", "B"}, {"a2", "r2", "A"}, {"b2", "r2", "B"},
    };
    for (const auto& [name, row, column] : cells) {
        ASSERT_NE(dialog.add(cellComponent(name, "T", row, column)), nullptr) << name;
    }
    dialog.find("b1")->enabled = false; // state that must stay with b1
    EXPECT_TRUE(dialog.removeCell("T", "r1", "A"));
    EXPECT_FALSE(dialog.removeCell("T", "r1", "A"));
    EXPECT_FALSE(dialog.removeCell("U", "r0", "A"));
    EXPECT_EQ(dialog.find("a1"), nullptr);
    EXPECT_EQ(dialog.cell("T", "r1", "A"), nullptr);
    for (const char* name : {"a0", "b0", "b1", "a2", "b2"}) {
        EXPECT_NE(dialog.find(name), nullptr) << name;
    }
    expectCell("b1", "r1", "B");
    EXPECT_FALSE(dialog.find("b1")->enabled);
    // The name and the cell are free again, and may go apart.
    EXPECT_EQ(dialog.add(cellComponent("a1", "T", "r2", "A")), nullptr); // r2/A is taken
    ASSERT_TRUE(dialog.removeCell("T", "r2", "A"));
    ASSERT_NE(dialog.add(cellComponent("a1", "T", "r2", "A")), nullptr);
    ASSERT_NE(dialog.add(cellComponent("x", "T", "r1", "A")), nullptr);
    expectCell("a1", "r2", "A");
    expectCell("x", "r1", "A");
    EXPECT_EQ(dialog.find("a2"), nullptr);
    EXPECT_EQ(namesInOrder(dialog),
              (std::vector<std::string>{"T", "P", "a0", "b0", "b1", "b2", "a1", "x"}));
}

TEST_F(DialogIndexTest, NewRowsTakeTheCellsOfRowsThatAreGone) {
    for (const char* row : {"r0", "r1", "r2"}) {
        for (const char* column : {"A", "B"}) {
            ASSERT_NE(dialog.add(cellComponent(std::string(column) + row, "T", row, column)),
                      nullptr);
        }
    }
    Hostsim::Component& table = *dialog.find("T");
    dialog.setRows(table, {"r2", "r3", "r0"});
    EXPECT_EQ(table.rows, (std::vector<std::string>{"r2", "r3", "r0"}));
    EXPECT_EQ(namesInOrder(dialog),
              (std::vector<std::string>{"T", "P", "Ar0", "Br0", "Ar2", "Br2"}));
    EXPECT_EQ(dialog.find("Ar1"), nullptr);
    EXPECT_EQ(dialog.cell("T", "r1", "B"), nullptr);
    for (const char* row : {"r0", "r2"}) {
        expectCell(std::string("A") + row, row, "A");
        expectCell(std::string("B") + row, row, "B");
    }
    EXPECT_FALSE(dialog.hasRow(table, "r1"));
    EXPECT_TRUE(dialog.hasRow(table, "r3"));
    EXPECT_FALSE(dialog.hasRow(*dialog.find("P"), "r3"));
    // A row that went and came back starts empty; the names of its old cells are free.
    EXPECT_EQ(dialog.add(cellComponent("Ar1", "T", "r1", "A")), nullptr);
    dialog.setRows(table, {"r1"});
    EXPECT_EQ(namesInOrder(dialog), (std::vector<std::string>{"T", "P"}));
    ASSERT_NE(dialog.add(cellComponent("Ar1", "T", "r1", "A")), nullptr);
    ASSERT_NE(dialog.add(cellComponent("Ar0", "T", "r1", "B")), nullptr);
    expectCell("Ar1", "r1", "A");
    expectCell("Ar0", "r1", "B");
    dialog.setRows(table, {});
    EXPECT_TRUE(table.rows.empty());
    EXPECT_EQ(namesInOrder(dialog), (std::vector<std::string>{"T", "P"}));
}

// Row and cell names are the plug-in's own text: any characters, and pieces of one key must not
// run into the next.
TEST_F(DialogIndexTest, CellsAreToldApartByEachPartOfTheirPlace) {
    Hostsim::Component& table = *dialog.find("T");
    table.columns = {"A", "AB", "B"};
    dialog.setRows(table, {"r", "rA",
                           "r\x1f"
                           "A",
                           ""});
    ASSERT_NE(dialog.add(cellComponent("one", "T", "r", "AB")), nullptr);
    ASSERT_NE(dialog.add(cellComponent("two", "T", "rA", "B")), nullptr);
    ASSERT_NE(dialog.add(cellComponent("three", "T",
                                       "r\x1f"
                                       "A",
                                       "B")),
              nullptr);
    ASSERT_NE(dialog.add(cellComponent("four", "T", "r", "B")), nullptr);
    expectCell("one", "r", "AB");
    expectCell("two", "rA", "B");
    expectCell("three",
               "r\x1f"
               "A",
               "B");
    expectCell("four", "r", "B");
    EXPECT_EQ(dialog.cell("T", "r", "A"), nullptr);
    EXPECT_EQ(dialog.cell("T", "", "A"), nullptr);
}

// The host keeps its dialogs in one sequence; taking one out moves the others, and each must
// still find its own components.
TEST_F(UserInterfaceTest, ADialogThatMovesKeepsFindingItsCells) {
    for (const char* name : {"First", "Second", "Tarvelo"}) {
        ASSERT_EQ(ProUIDialogCreate(name, "Tarvelo"), PRO_TK_NO_ERROR) << name;
    }
    int count = 0;
    char** columns = nullptr;
    ASSERT_EQ(ProUITableColumnnamesGet("Tarvelo", "AttributeTable", &count, &columns),
              PRO_TK_NO_ERROR);
    char row0[] = "r0", row1[] = "r1";
    char* rows[] = {row0, row1};
    ASSERT_EQ(ProUITableRownamesSet("Tarvelo", "AttributeTable", 2, rows), PRO_TK_NO_ERROR);
    for (const char* row : {"r0", "r1"}) {
        ASSERT_EQ(ProUITableCellComponentCopy("Tarvelo", "AttributeTable", row, columns[0],
                                              "Tarvelo", "AttributeName",
                                              (std::string("n") + row).c_str()),
                  PRO_TK_NO_ERROR);
    }
    ASSERT_EQ(ProUIInputpanelValueSet("Tarvelo", "nr1", L"kept"), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProUIDialogDestroy("Second"), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProUIDialogDestroy("First"), PRO_TK_NO_ERROR);

    Hostsim::Dialog* d = session.ui().find("Tarvelo");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->cell("AttributeTable", "r1", columns[0]), &component("nr1"));
    EXPECT_EQ(component("nr1").text, L"kept");
    EXPECT_EQ(ProUITableCellComponentCopy("Tarvelo", "AttributeTable", "r0", columns[0], "Tarvelo",
                                          "AttributeName", "other"),
              PRO_TK_E_FOUND);
    EXPECT_EQ(ProUITableCellComponentDelete("Tarvelo", "AttributeTable", "r0", columns[0]),
              PRO_TK_NO_ERROR);
    EXPECT_EQ(d->find("nr0"), nullptr);
    char* fewer[] = {row0};
    ASSERT_EQ(ProUITableRownamesSet("Tarvelo", "AttributeTable", 1, fewer), PRO_TK_NO_ERROR);
    EXPECT_EQ(d->find("nr1"), nullptr);
    EXPECT_EQ(d->components().size(), 11u); // the layout's own
    EXPECT_EQ(ProStringarrayFree(columns, count), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProUIDialogDestroy("Tarvelo"), PRO_TK_NO_ERROR);
}

TEST_F(UserInterfaceTest, TheModalLoopRunsScriptedEventsUntilAnActionExits) {
    createTarvelo();
    ASSERT_EQ(ProUIInputpanelInputActionSet("Tarvelo", "CtiValue", recordingAction, nullptr),
              PRO_TK_NO_ERROR);
    ASSERT_EQ(ProUIOptionmenuSelectActionSet("Tarvelo", "AttributeType", recordingAction, nullptr),
              PRO_TK_NO_ERROR);
    ASSERT_EQ(ProUISpinboxUpdateActionSet("Tarvelo", "ChordHeight", recordingAction, nullptr),
              PRO_TK_NO_ERROR);
    ASSERT_EQ(ProUIPushbuttonActivateActionSet("Tarvelo", "Export", exitingAction, nullptr),
              PRO_TK_NO_ERROR);
    ASSERT_EQ(ProUIPushbuttonDisable("Tarvelo", "Export"), PRO_TK_NO_ERROR);
    std::wstring seenText;
    recorder.onCall = [&](const std::string& what) {
        if (what == "Tarvelo.CtiValue") {
            seenText = component("CtiValue").text;
            EXPECT_EQ(ProUIPushbuttonEnable("Tarvelo", "Export"), PRO_TK_NO_ERROR);
        }
    };
    script("press Export\n"         // disabled: nothing happens
           "text CtiValue MY_CTI\n" // enables it
           "select AttributeType Both\n"
           "spin ChordHeight 1000\n"
           "toggle DeleteTvl\n"
           "press NoSuchButton\n"
           "press Export\n"
           "press Cancel\n"); // after the exit: stays in the script
    EXPECT_EQ(activate(), 7);
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"Tarvelo.CtiValue", "Tarvelo.AttributeType",
                                                        "Tarvelo.ChordHeight", "Tarvelo.Export"}));
    EXPECT_EQ(seenText, L"MY_CTI");
    EXPECT_EQ(component("AttributeType").selected, std::vector<std::string>{"Both"});
    EXPECT_EQ(component("ChordHeight").value, 100.0);
    EXPECT_FALSE(component("DeleteTvl").checked);
    std::string log = session.ui().renderLog();
    EXPECT_NE(log.find("press Export: the button is disabled"), std::string::npos) << log;
    EXPECT_NE(log.find("no component NoSuchButton"), std::string::npos) << log;
    ASSERT_EQ(session.ui().script().size(), 1u);
    EXPECT_EQ(ProUIDialogDestroy("Tarvelo"), PRO_TK_NO_ERROR);
}

// An event that does not apply is noted with its file and line, says what would have applied,
// and is kept, so that a run can tell its session did not go as written.
TEST_F(UserInterfaceTest, IgnoredEventsNameTheirLineAndWhatIsThere) {
    createTarvelo();
    ASSERT_EQ(ProUIPushbuttonActivateActionSet("Tarvelo", "Export", exitingAction, nullptr),
              PRO_TK_NO_ERROR);
    script("press Exprt\n"
           "toggle Export\n"
           "select AttributeType Bth\n"
           "spin CtiValue 3\n"
           "reply 6\n"
           "enter AttributeAdd\n"
           "press Export\n");
    EXPECT_EQ(activate(), 7);
    const std::string pushButtons = "press takes Export, Cancel, AttributeRemove, AttributeAdd";
    EXPECT_EQ(session.ui().problems(),
              (std::vector<std::string>{
                  "test.session:1: the dialog Tarvelo has no component Exprt (" + pushButtons +
                      "); event ignored",
                  "test.session:2: toggle does not apply to the push button Export (toggle takes "
                  "DeleteTvl); event ignored",
                  "test.session:3: AttributeType has no item Bth (its items: PartsAndBodies, "
                  "Assembly, Both); event ignored",
                  "test.session:4: spin does not apply to the input panel CtiValue (spin takes "
                  "ChordHeight, AngleControl); event ignored",
                  "test.session:5: reply without a message dialog; event ignored",
                  "test.session:6: enter does not apply to the push button AttributeAdd (enter "
                  "takes CtiValue, AttributeName, ChordHeight, AngleControl); event ignored"}));
    EXPECT_EQ(recorder.calls, std::vector<std::string>{"Tarvelo.Export"});
    EXPECT_EQ(ProUIDialogDestroy("Tarvelo"), PRO_TK_NO_ERROR);

    // Outside a dialog: an event with no dialog open, a command nobody registered.
    script("press Export\ninvoke Tarvelo Gateway\n");
    Hostsim::runSessionScript(session);
    EXPECT_EQ(session.ui().problems().size(), 8u);
    EXPECT_EQ(session.ui().problems()[6],
              "test.session:1: press while no dialog is open; event ignored");
    EXPECT_EQ(session.ui().problems()[7],
              "test.session:2: no available command \"Tarvelo Gateway\" (no command is "
              "registered); event ignored");
}

TEST_F(UserInterfaceTest, AScriptThatRunsOutClosesTheWindowSoNothingWaits) {
    createTarvelo();
    // No close action: the window closes by itself.
    EXPECT_EQ(activate(), 0);
    // A close action that exits.
    ASSERT_EQ(ProUIDialogCloseActionSet("Tarvelo", exitingAction, nullptr), PRO_TK_NO_ERROR);
    EXPECT_EQ(activate(), 7);
    EXPECT_EQ(recorder.calls, std::vector<std::string>{"Tarvelo.Tarvelo"});
    // A close action that does not exit: the host takes the dialog down after it.
    ASSERT_EQ(ProUIDialogCloseActionSet("Tarvelo", recordingAction, nullptr), PRO_TK_NO_ERROR);
    EXPECT_EQ(activate(), 0);
    EXPECT_EQ(recorder.calls.size(), 2u);
    EXPECT_NE(session.ui().renderLog().find("its close action did not exit it"), std::string::npos);
    // The next command's events are not this dialog's: it closes before them.
    script("close\ninvoke Other Command\n");
    EXPECT_EQ(activate(), 0);
    EXPECT_EQ(recorder.calls.size(), 4u);
    ASSERT_EQ(session.ui().script().size(), 1u);
    EXPECT_EQ(session.ui().script().front().kind, UiEvent::Kind::Invoke);
    session.ui().script().clear();
    EXPECT_EQ(ProUIDialogDestroy("Tarvelo"), PRO_TK_NO_ERROR);
}

TEST_F(UserInterfaceTest, AnActionMayDeleteItsOwnCellAndAnExceptionNeverReachesTheHost) {
    createTarvelo();
    int count = 0;
    char** columns = nullptr;
    ASSERT_EQ(ProUITableColumnnamesGet("Tarvelo", "AttributeTable", &count, &columns),
              PRO_TK_NO_ERROR);
    char row0[] = "r0";
    char* rows[] = {row0};
    ASSERT_EQ(ProUITableRownamesSet("Tarvelo", "AttributeTable", 1, rows), PRO_TK_NO_ERROR);
    ASSERT_EQ(ProUITableCellComponentCopy("Tarvelo", "AttributeTable", "r0", columns[2], "Tarvelo",
                                          "AttributeRemove", "x0"),
              PRO_TK_NO_ERROR);
    ASSERT_EQ(ProUIPushbuttonActivateActionSet("Tarvelo", "x0", recordingAction, nullptr),
              PRO_TK_NO_ERROR);
    ASSERT_EQ(ProUIPushbuttonActivateActionSet("Tarvelo", "Cancel", throwingAction, nullptr),
              PRO_TK_NO_ERROR);
    std::string column = columns[2];
    recorder.onCall = [&](const std::string&) {
        EXPECT_EQ(ProUITableCellComponentDelete("Tarvelo", "AttributeTable", "r0", column.c_str()),
                  PRO_TK_NO_ERROR);
    };
    script("press x0\npress Cancel\n");
    EXPECT_EQ(activate(), 0);
    EXPECT_EQ(recorder.calls, std::vector<std::string>{"Tarvelo.x0"});
    EXPECT_EQ(session.ui().find("Tarvelo")->find("x0"), nullptr);
    ASSERT_EQ(session.ledger().violations().size(), 1u);
    EXPECT_NE(session.ledger().violations()[0].find("exception left the activate action of "
                                                    "Tarvelo.Cancel: out of the plug-in"),
              std::string::npos);
    session.ledger().reset(); // the violation was the point
    EXPECT_EQ(ProUIDialogDestroy("Tarvelo"), PRO_TK_NO_ERROR);
}

TEST_F(UserInterfaceTest, AMessageDialogTakesTheScriptedReply) {
    ProArray buttons = nullptr;
    ASSERT_EQ(ProArrayAlloc(2, 4, 1, &buttons), PRO_TK_NO_ERROR);
    static_cast<int*>(buttons)[0] = PRO_UI_MESSAGE_OK;
    static_cast<int*>(buttons)[1] = PRO_UI_MESSAGE_CANCEL;
    script("reply 7\n");
    ProUIMessageButton reply = 0;
    EXPECT_EQ(ProUIMessageDialogDisplay(2, L"T", L"X", static_cast<int*>(buttons), 6, &reply),
              PRO_TK_NO_ERROR);
    EXPECT_EQ(reply, PRO_UI_MESSAGE_CANCEL);
    EXPECT_TRUE(session.ui().script().empty());
    EXPECT_EQ(ProUIMessageDialogDisplay(2, L"T", L"X", static_cast<int*>(buttons), 6, &reply),
              PRO_TK_NO_ERROR);
    EXPECT_EQ(reply, PRO_UI_MESSAGE_OK);
    EXPECT_EQ(ProArrayFree(&buttons), PRO_TK_NO_ERROR);
}

} // namespace
