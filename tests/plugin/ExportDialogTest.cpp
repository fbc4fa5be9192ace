// The export dialog through the stand-in host: filling from the stored options, the attribute
// table's edits, the Export rule, the spin boxes, the modal run and its teardown.
#include "ExportDialog.h"
#include "PluginSessionTest.h"

#include <cstring>

namespace {

using namespace Velmora;

std::vector<unsigned char> multiString(const std::vector<std::string>& strings) {
    std::vector<unsigned char> bytes;
    for (const std::string& s : strings) {
        std::vector<unsigned char> unit = ascii16(s);
        bytes.insert(bytes.end(), unit.begin(), unit.end());
        bytes.push_back(0);
        bytes.push_back(0);
    }
    return bytes;
}

std::vector<unsigned char> dword(std::uint32_t value) {
    return {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
            static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
}

class ExportDialogTest : public PluginTest::PluginSessionTest {
protected:
    void storeOptions(const std::string& cti, const std::vector<std::string>& attributes,
                      std::uint32_t chord = 30, std::uint32_t angle = 600) {
        writeRaw(HKEY_CURRENT_USER, kOptionsKeyPath, L"CtiParameter", REG_SZ, ascii16(cti));
        if (!attributes.empty()) {
            writeRaw(HKEY_CURRENT_USER, kOptionsKeyPath, L"ImportAttributes", REG_MULTI_SZ,
                     multiString(attributes));
        }
        writeRaw(HKEY_CURRENT_USER, kOptionsKeyPath, L"ChordHeight", REG_DWORD, dword(chord));
        writeRaw(HKEY_CURRENT_USER, kOptionsKeyPath, L"AngleControl", REG_DWORD, dword(angle));
    }
    // The dialog as the command's action sets it up, without running it.
    void openWithoutRunning() {
        ASSERT_EQ(ProUIDialogCreate("Tarvelo", "Tarvelo"), PRO_TK_NO_ERROR);
        ASSERT_EQ(initExportDialog(), PRO_TK_NO_ERROR);
    }
    void closeWithoutRunning() {
        EXPECT_EQ(teardownExportDialog(), PRO_TK_NO_ERROR);
        EXPECT_EQ(ProUIDialogDestroy("Tarvelo"), PRO_TK_NO_ERROR);
        expectStateEmpty();
    }
    void expectStateEmpty() {
        ExportDialogStateView state = exportDialogState();
        EXPECT_FALSE(state.holdsColumnNames);
        EXPECT_FALSE(state.holdsItemNames);
        EXPECT_EQ(state.columnCount, 0);
        EXPECT_EQ(state.itemCount, 0);
        EXPECT_EQ(state.rowCount, 0);
    }
    std::vector<std::wstring> shownNames() {
        std::vector<std::wstring> names;
        for (std::size_t i = 0; hasComponent("tarveloName" + std::to_string(i)); ++i) {
            names.push_back(component("tarveloName" + std::to_string(i)).text);
        }
        return names;
    }
    std::vector<std::string> shownTypes() {
        std::vector<std::string> types;
        for (std::size_t i = 0; hasComponent("tarveloType" + std::to_string(i)); ++i) {
            types.push_back(component("tarveloType" + std::to_string(i)).selected.at(0));
        }
        return types;
    }
    std::vector<std::wstring> optionNames() {
        std::vector<std::wstring> names;
        for (const ImportAttribute& a : g_options.importAttributes) {
            names.push_back(a.name);
        }
        return names;
    }
    void typeText(const std::string& component, const std::wstring& text) {
        ASSERT_EQ(ProUIInputpanelValueSet("Tarvelo", component.c_str(), text.c_str()),
                  PRO_TK_NO_ERROR);
        onTextInput("Tarvelo", component.c_str(), nullptr);
    }
};

TEST_F(ExportDialogTest, OpensFilledFromTheStoredOptions) {
    storeOptions("MY_CTI", {"MATERIAL", "2", "MAKER", "3"}, 50, 300);
    openWithoutRunning();
    EXPECT_EQ(component("CtiValue").text, L"MY_CTI");
    EXPECT_EQ(component("AttributeTable").rows,
              (std::vector<std::string>{"tarveloRow0", "tarveloRow1"}));
    EXPECT_EQ(shownNames(), (std::vector<std::wstring>{L"MATERIAL", L"MAKER"}));
    EXPECT_EQ(shownTypes(), (std::vector<std::string>{"Assembly", "Both"}));
    EXPECT_TRUE(hasComponent("tarveloRemove0"));
    EXPECT_TRUE(hasComponent("tarveloRemove1"));
    EXPECT_EQ(component("tarveloRemove1").cellRow, "tarveloRow1");
    EXPECT_EQ(component("ChordHeight").value, 50 * 0.001);
    EXPECT_EQ(component("AngleControl").value, 300 * 0.001);
    EXPECT_TRUE(component("Export").enabled);
    EXPECT_TRUE(component("DeleteTvl").checked); // as the layout has it
    ExportDialogStateView state = exportDialogState();
    EXPECT_EQ(state.columnCount, 3);
    EXPECT_EQ(state.itemCount, 3);
    EXPECT_EQ(state.rowCount, 2);
    closeWithoutRunning();
}

TEST_F(ExportDialogTest, AnEmptyListGivesATableWithoutRows) {
    session.recordCalls();
    openWithoutRunning();
    EXPECT_TRUE(component("AttributeTable").rows.empty());
    int rownames = session.log().indexOf("ProUITableRownamesSet");
    ASSERT_GE(rownames, 0);
    EXPECT_EQ(session.log().calls()[static_cast<std::size_t>(rownames)].detail, "count=0");
    EXPECT_EQ(component("CtiValue").text, L"COMPARATIVE_TRACKING_INDEX");
    closeWithoutRunning();
}

TEST_F(ExportDialogTest, AddAppendsARowWithTheFirstScope) {
    storeOptions("CTI", {"A", "1", "B", "2"});
    openWithoutRunning();
    onAttributeAdd("Tarvelo", "AttributeAdd", nullptr);
    EXPECT_EQ(shownNames(), (std::vector<std::wstring>{L"A", L"B", L"NEW_ATTRIBUTE"}));
    EXPECT_EQ(shownTypes(),
              (std::vector<std::string>{"PartsAndBodies", "Assembly", "PartsAndBodies"}));
    ASSERT_EQ(g_options.importAttributes.size(), 3u);
    EXPECT_EQ(g_options.importAttributes[2].type, 0);
    EXPECT_TRUE(component("Export").enabled);
    closeWithoutRunning();
}

TEST_F(ExportDialogTest, RemoveTakesOutTheRowOfItsCell) {
    storeOptions("CTI", {"R0", "1", "R1", "1", "R2", "1", "R3", "1"});
    openWithoutRunning();
    onAttributeRemove("Tarvelo", "tarveloRemove2", nullptr);
    EXPECT_EQ(optionNames(), (std::vector<std::wstring>{L"R0", L"R1", L"R3"}));
    EXPECT_EQ(shownNames(), (std::vector<std::wstring>{L"R0", L"R1", L"R3"}));
    EXPECT_FALSE(hasComponent("tarveloRemove3"));
    onAttributeRemove("Tarvelo", "tarveloRemove0", nullptr);
    EXPECT_EQ(shownNames(), (std::vector<std::wstring>{L"R1", L"R3"}));
    // Names that do not end in a row of the table change nothing.
    for (const char* name :
         {"tarveloRemove2", "tarveloRemove", "tarveloRemove-1", "tarveloRemove1x",
          "tarveloRemove99999999999999999999999", "Remove1"}) {
        onAttributeRemove("Tarvelo", name, nullptr);
        EXPECT_EQ(optionNames(), (std::vector<std::wstring>{L"R1", L"R3"})) << name;
    }
    closeWithoutRunning();
}

// Rows added and removed by the user's events through the host: every row has its three cells,
// found by name and by place alike, the cells of rows that went are gone and their names serve
// the rows that took their place.
TEST_F(ExportDialogTest, EditsThroughTheHostLeaveExactlyTheCellsOfTheRows) {
    storeOptions("CTI", {"A", "1", "B", "2"});
    openWithoutRunning();
    std::string events;
    for (int i = 0; i < 10; ++i) {
        events += "press AttributeAdd\n";
    }
    events += "text tarveloName3 THIRD\n"
              "press tarveloRemove0\n"
              "press tarveloRemove10\n"
              "press AttributeAdd\n"
              "press AttributeAdd\n"
              "select tarveloType2 Both\n";
    script(events);
    int status = -1;
    ASSERT_EQ(ProUIDialogActivate("Tarvelo", &status), PRO_TK_NO_ERROR);
    EXPECT_TRUE(session.ui().problems().empty()) << session.ui().renderLog();

    std::vector<std::wstring> names = {L"B", L"NEW_ATTRIBUTE", L"THIRD"};
    names.resize(12, L"NEW_ATTRIBUTE");
    EXPECT_EQ(optionNames(), names);
    EXPECT_EQ(shownNames(), names);
    std::vector<std::string> types(12, "PartsAndBodies");
    types[0] = "Assembly";
    types[2] = "Both";
    EXPECT_EQ(shownTypes(), types);

    const Hostsim::Component& table = component("AttributeTable");
    ASSERT_EQ(table.rows.size(), 12u);
    const char* const prefixes[] = {"tarveloName", "tarveloType", "tarveloRemove"};
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        EXPECT_EQ(table.rows[i], "tarveloRow" + std::to_string(i));
        for (std::size_t k = 0; k < 3; ++k) {
            const std::string name = prefixes[k] + std::to_string(i);
            Hostsim::Component* cell =
                dialog().cell("AttributeTable", table.rows[i], table.columns[k]);
            EXPECT_NE(cell, nullptr) << name;
            EXPECT_EQ(cell, &component(name)) << name;
        }
    }
    for (const char* prefix : prefixes) {
        EXPECT_FALSE(hasComponent(prefix + std::to_string(table.rows.size()))) << prefix;
    }
    EXPECT_EQ(dialog().components().size(), 11u + 3u * table.rows.size());
    closeWithoutRunning();
}

TEST(ParameterNameRule, AcceptsOnlyShortAsciiIdentifiers) {
    const std::vector<std::pair<std::wstring, bool>> cases = {
        {L"A_1", true},
        {L"a", true},
        {L"1ABC", false},
        {L"_A", false},
        {L"A-B", false},
        {L"A B", false},
        {L" ", false},
        {L"", false},
        {std::wstring(31, L'Q'), true},
        {std::wstring(32, L'Q'), false},
        {L"M\u00c4SS", false},
        {L"\u00c4", false},
        {L"A\u0661", false}, // an Arabic-Indic digit
    };
    for (const auto& [text, valid] : cases) {
        EXPECT_EQ(isValidParameterName(text), valid) << text.size();
    }
}

TEST_F(ExportDialogTest, TheExportRuleFollowsEveryStoredText) {
    storeOptions("OLD_CTI", {"A", "1"});
    openWithoutRunning();
    typeText("CtiValue", L"");
    EXPECT_EQ(g_options.ctiParameter, L"");
    EXPECT_FALSE(component("Export").enabled);
    typeText("CtiValue", L"NEW_CTI");
    EXPECT_TRUE(component("Export").enabled);
    typeText("tarveloName0", L"BAD NAME");
    EXPECT_EQ(g_options.importAttributes[0].name, L"BAD NAME");
    EXPECT_FALSE(component("Export").enabled);
    typeText("tarveloName0", L"GOOD");
    EXPECT_TRUE(component("Export").enabled);
    typeText("CtiValue", L"");
    closeWithoutRunning();
    // An empty name is never written: the registry keeps the one stored before.
    EXPECT_EQ(readRaw(HKEY_CURRENT_USER, kOptionsKeyPath, L"CtiParameter")->data,
              ascii16("OLD_CTI"));
}

TEST_F(ExportDialogTest, AFailingTextReadChangesNothing) {
    openWithoutRunning();
    ASSERT_EQ(ProUIInputpanelValueSet("Tarvelo", "CtiValue", L""), PRO_TK_NO_ERROR);
    session.faults().onCall("ProUIInputpanelWidestringGet", 1, PRO_TK_GENERAL_ERROR);
    onTextInput("Tarvelo", "CtiValue", nullptr);
    EXPECT_EQ(g_options.ctiParameter, L"COMPARATIVE_TRACKING_INDEX");
    EXPECT_TRUE(component("Export").enabled);
    closeWithoutRunning();
}

TEST_F(ExportDialogTest, ATypeSelectionStoresTheScopeOfTheItem) {
    session.recordCalls();
    storeOptions("CTI", {"A", "1", "B", "1"});
    openWithoutRunning();
    char both[] = "Both";
    char* selected = both;
    ASSERT_EQ(ProUIOptionmenuSelectednamesSet("Tarvelo", "tarveloType1", 1, &selected),
              PRO_TK_NO_ERROR);
    int freesBefore = session.log().count("ProStringarrayFree");
    onAttributeTypeSelect("Tarvelo", "tarveloType1", nullptr);
    EXPECT_EQ(g_options.importAttributes[1].type, 2);
    EXPECT_EQ(g_options.importAttributes[0].type, 0);
    EXPECT_EQ(session.log().count("ProStringarrayFree"), freesBefore + 1);
    // Nothing selected: nothing stored, the names are released all the same.
    ASSERT_EQ(ProUIOptionmenuSelectednamesSet("Tarvelo", "tarveloType0", 0, nullptr),
              PRO_TK_NO_ERROR);
    onAttributeTypeSelect("Tarvelo", "tarveloType0", nullptr);
    EXPECT_EQ(g_options.importAttributes[0].type, 0);
    EXPECT_EQ(session.log().count("ProStringarrayFree"), freesBefore + 2);
    EXPECT_EQ(session.ledger().outstanding(), 2u); // only the dialog's column and item names
    closeWithoutRunning();
}

// The dialog's layout with a fourth item in the type menu, beyond the three scopes.
const char* const kLayoutWithAFourthType =
    "pushbutton Export\npushbutton Cancel\npushbutton AttributeAdd\n"
    "checkbutton DeleteTvl\ninputpanel CtiValue\n"
    "table AttributeTable columns=N,T,R\ninputpanel AttributeName\n"
    "optionmenu AttributeType items=P,A,B,Extra\npushbutton AttributeRemove\n"
    "spinbox ChordHeight min=0.001 max=100\nspinbox AngleControl min=0 max=1\n";

TEST_F(ExportDialogTest, AnItemBeyondTheFirstThreeLeavesTheTypeAlone) {
    session.recordCalls();
    useLayout(kLayoutWithAFourthType);
    storeOptions("CTI", {"A", "2"});
    openWithoutRunning();
    char extra[] = "Extra";
    char* selected = extra;
    ASSERT_EQ(ProUIOptionmenuSelectednamesSet("Tarvelo", "tarveloType0", 1, &selected),
              PRO_TK_NO_ERROR);
    int rulesBefore = session.log().count("ProUIPushbuttonEnable");
    onAttributeTypeSelect("Tarvelo", "tarveloType0", nullptr);
    EXPECT_EQ(g_options.importAttributes[0].type, 1);
    EXPECT_EQ(session.log().count("ProUIPushbuttonEnable"), rulesBefore);
    // Released although the action ended early: only the dialog's own names are out.
    EXPECT_EQ(session.ledger().outstanding(), 2u);
    closeWithoutRunning();
}

// A stored type outside the three scopes shows the first one; a fourth item in the menu is never
// taken for the type just past the last scope.
TEST_F(ExportDialogTest, ATypeOutsideTheScopesShowsTheFirstItem) {
    useLayout(kLayoutWithAFourthType);
    storeOptions("CTI", {"A", "2"});
    openWithoutRunning();
    g_options.importAttributes = {{L"PAST_THE_LAST", 3}, {L"BEFORE_THE_FIRST", -1}};
    ASSERT_EQ(refreshAttributeTable(), PRO_TK_NO_ERROR);
    EXPECT_EQ(shownNames(), (std::vector<std::wstring>{L"PAST_THE_LAST", L"BEFORE_THE_FIRST"}));
    EXPECT_EQ(shownTypes(), (std::vector<std::string>{"P", "P"}));
    // Only shown so: the stored types stay as they were.
    EXPECT_EQ(g_options.importAttributes[0].type, 3);
    EXPECT_EQ(g_options.importAttributes[1].type, -1);
    EXPECT_EQ(session.ledger().outstanding(), 2u); // only the dialog's column and item names
    EXPECT_TRUE(session.ledger().violations().empty()) << session.ledger().report();
    closeWithoutRunning();
}

TEST_F(ExportDialogTest, ALayoutWithTooFewColumnsOrItemsIsNotShown) {
    session.recordCalls();
    for (const char* table : {"table AttributeTable columns=N,T\n"
                              "optionmenu AttributeType items=P,A,B\n",
                              "table AttributeTable columns=N,T,R\n"
                              "optionmenu AttributeType items=P,A\n"}) {
        useLayout(std::string("pushbutton Export\npushbutton Cancel\npushbutton AttributeAdd\n"
                              "checkbutton DeleteTvl\ninputpanel CtiValue\n") +
                  table +
                  "inputpanel AttributeName\npushbutton AttributeRemove\n"
                  "spinbox ChordHeight min=0.001 max=100\nspinbox AngleControl min=0 max=1\n");
        storeOptions("CTI", {"A", "3"});
        session.log().clear();
        EXPECT_EQ(openExportDialog(nullptr, nullptr, nullptr), 0);
        EXPECT_EQ(session.log().count("ProUIDialogActivate"), 0);
        EXPECT_EQ(session.log().count("ProUITableCellComponentCopy"), 0);
        EXPECT_EQ(session.log().count("ProUIDialogDestroy"), 1);
        expectStateEmpty();
        expectLedgerClean();
    }
}

TEST_F(ExportDialogTest, SpinBoxesGoIntoTheOptionsAtOnceAndIntoTheRegistryAtTheEnd) {
    openWithoutRunning();
    ASSERT_EQ(ProUISpinboxDoubleSet("Tarvelo", "ChordHeight", 0.25), PRO_TK_NO_ERROR);
    onChordHeight("Tarvelo", "ChordHeight", nullptr);
    ASSERT_EQ(ProUISpinboxDoubleSet("Tarvelo", "AngleControl", 0.125), PRO_TK_NO_ERROR);
    onAngleControl("Tarvelo", "AngleControl", nullptr);
    EXPECT_EQ(g_options.chordHeight, 0.25);
    EXPECT_EQ(g_options.angleControl, 0.125);
    EXPECT_EQ(readRaw(HKEY_CURRENT_USER, kOptionsKeyPath, L"ChordHeight"), std::nullopt);
    closeWithoutRunning();
    EXPECT_EQ(readRaw(HKEY_CURRENT_USER, kOptionsKeyPath, L"ChordHeight")->data, dword(250));
    EXPECT_EQ(readRaw(HKEY_CURRENT_USER, kOptionsKeyPath, L"AngleControl")->data, dword(125));
}

// A stored value that the spin box's range does not hold is brought to the nearest bound before
// the dialog shows it: what the box shows, what the options hold and what is saved agree. A
// stored value at a bound stays as it is.
TEST_F(ExportDialogTest, StoredValuesOutsideTheSpinBoxRangesAreBroughtToTheNearestBound) {
    struct Case {
        std::uint32_t storedChord;
        double chord;
        std::uint32_t savedChord;
        std::uint32_t storedAngle;
        double angle;
        std::uint32_t savedAngle;
    };
    for (const Case& c :
         {Case{0, 0.001, 1, 5000, 1.0, 1000}, Case{1, 0.001, 1, 1000, 1.0, 1000},
          Case{100000, 100.0, 100000, 1001, 1.0, 1000}, Case{100001, 100.0, 100000, 0, 0.0, 0}}) {
        SCOPED_TRACE(std::to_string(c.storedChord) + " / " + std::to_string(c.storedAngle));
        storeOptions("CTI", {}, c.storedChord, c.storedAngle);
        openWithoutRunning();
        EXPECT_EQ(g_options.chordHeight, c.chord);
        EXPECT_EQ(component("ChordHeight").value, c.chord);
        EXPECT_EQ(g_options.angleControl, c.angle);
        EXPECT_EQ(component("AngleControl").value, c.angle);
        closeWithoutRunning();
        EXPECT_EQ(readRaw(HKEY_CURRENT_USER, kOptionsKeyPath, L"ChordHeight")->data,
                  dword(c.savedChord));
        EXPECT_EQ(readRaw(HKEY_CURRENT_USER, kOptionsKeyPath, L"AngleControl")->data,
                  dword(c.savedAngle));
    }
}

// With a stored chord height of 0 and an angle control of 5 the export used to hand the host
// values it refuses: now it tessellates with the values the dialog shows, and the file is
// written.
TEST_F(ExportDialogTest, AnExportUsesTheValuesTheSpinBoxesShow) {
    HostTest::addBoxPart(session, L"PART");
    session.recordCalls();
    storeOptions("CTI", {}, 0, 5000);
    script("press Export\npress Cancel\n");
    EXPECT_EQ(openExportDialog(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(session.transcript().areaKeys(),
              (std::vector<std::string>{"ExportTvlSuccess", "TarveloNotInstalled"}));
    EXPECT_TRUE(session.transcript().dialogs().empty());
    EXPECT_TRUE(std::filesystem::exists(work / "PART.tvl"));
    const Hostsim::CallLog& log = session.log();
    const int chord = log.indexOf("ProSurfacetessellationinputChordheightSet");
    const int angle = log.indexOf("ProSurfacetessellationinputAnglecontrolSet");
    ASSERT_GE(chord, 0);
    ASSERT_GE(angle, 0);
    EXPECT_EQ(log.calls()[static_cast<std::size_t>(chord)].detail, "chordHeight=0.001");
    EXPECT_EQ(log.calls()[static_cast<std::size_t>(angle)].detail, "angleControl=1");
    EXPECT_EQ(readRaw(HKEY_CURRENT_USER, kOptionsKeyPath, L"ChordHeight")->data, dword(1));
    EXPECT_EQ(readRaw(HKEY_CURRENT_USER, kOptionsKeyPath, L"AngleControl")->data, dword(1000));
}

// The whole command: scripted edits in the modal run reach the registry when it ends.
TEST_F(ExportDialogTest, AModalRunSavesTheEditsAndReleasesEverything) {
    session.recordCalls();
    storeOptions("CTI", {"A", "1"});
    script("text CtiValue MY_CTI\n"
           "press AttributeAdd\n"
           "text tarveloName1 MATERIAL\n"
           "select tarveloType1 Both\n"
           "spin ChordHeight 0.5\n"
           "toggle DeleteTvl\n"
           "press Cancel\n");
    EXPECT_EQ(openExportDialog(nullptr, nullptr, nullptr), 0);
    EXPECT_TRUE(session.ui().script().empty());
    EXPECT_EQ(readRaw(HKEY_CURRENT_USER, kOptionsKeyPath, L"CtiParameter")->data,
              ascii16("MY_CTI"));
    EXPECT_EQ(readRaw(HKEY_CURRENT_USER, kOptionsKeyPath, L"ImportAttributes")->data,
              multiString({"A", "1", "MATERIAL", "3"}));
    EXPECT_EQ(readRaw(HKEY_CURRENT_USER, kOptionsKeyPath, L"ChordHeight")->data, dword(500));
    // The check button is no option: nothing of it is stored.
    EXPECT_EQ(readRaw(HKEY_CURRENT_USER, kOptionsKeyPath, L"DeleteTvl"), std::nullopt);
    // Two name lists released with their counts, and the dialog taken down.
    EXPECT_EQ(session.log().count("ProStringarrayFree"), 3); // one selection, two lists
    EXPECT_EQ(session.log().count("ProUIDialogDestroy"), 1);
    expectStateEmpty();
}

TEST_F(ExportDialogTest, TheLayoutStateOfDeleteTvlComesBackAtEveryOpening) {
    script("toggle DeleteTvl\npress Cancel\n");
    EXPECT_EQ(openExportDialog(nullptr, nullptr, nullptr), 0);
    EXPECT_NE(session.ui().renderLog().find("toggle DeleteTvl off"), std::string::npos);
    openWithoutRunning();
    EXPECT_TRUE(component("DeleteTvl").checked);
    closeWithoutRunning();
}

TEST_F(ExportDialogTest, AFailingBindingOfAttributeAddStillSavesAndDestroys) {
    session.recordCalls();
    session.faults().forItem("ProUIPushbuttonActivateActionSet", "Tarvelo.AttributeAdd",
                             PRO_TK_GENERAL_ERROR);
    EXPECT_EQ(openExportDialog(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(session.log().count("ProUIDialogActivate"), 0);
    EXPECT_EQ(session.log().count("ProUIDialogDestroy"), 1);
    EXPECT_EQ(readRaw(HKEY_CURRENT_USER, kOptionsKeyPath, L"CtiParameter")->data,
              ascii16("COMPARATIVE_TRACKING_INDEX"));
    expectStateEmpty();
}

TEST_F(ExportDialogTest, OptionsThatWereNeverLoadedAreNotSaved) {
    session.recordCalls();
    storeOptions("STORED", {});
    g_options.ctiParameter = L"LEFT_FROM_BEFORE";
    session.faults().forItem("ProUIPushbuttonActivateActionSet", "Tarvelo.Cancel",
                             PRO_TK_GENERAL_ERROR);
    EXPECT_EQ(openExportDialog(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(session.log().count("ProUIDialogActivate"), 0);
    EXPECT_EQ(readRaw(HKEY_CURRENT_USER, kOptionsKeyPath, L"CtiParameter")->data,
              ascii16("STORED"));
}

TEST_F(ExportDialogTest, AFailedCreationReturnsItsStatusAndTouchesNothing) {
    session.recordCalls();
    session.faults().always("ProUIDialogCreate", PRO_TK_E_NOT_FOUND);
    session.log().clear();
    EXPECT_EQ(openExportDialog(nullptr, nullptr, nullptr), PRO_TK_E_NOT_FOUND);
    EXPECT_EQ(session.log().functions(), std::vector<std::string>{"ProUIDialogCreate"});
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, kOptionsKeyPath));
}

TEST_F(ExportDialogTest, AClearingThatFailsGoesOnWhereItStopped) {
    session.recordCalls();
    storeOptions("CTI", {"A", "1", "B", "1"});
    openWithoutRunning();
    // The second row's type cell cannot be deleted once.
    session.faults().onCall("ProUITableCellComponentDelete", 5, PRO_TK_GENERAL_ERROR);
    onAttributeAdd("Tarvelo", "AttributeAdd", nullptr);
    EXPECT_EQ(exportDialogState().rowCount, 2); // the refresh stopped in the clearing
    onAttributeAdd("Tarvelo", "AttributeAdd", nullptr);
    EXPECT_EQ(shownNames(),
              (std::vector<std::wstring>{L"A", L"B", L"NEW_ATTRIBUTE", L"NEW_ATTRIBUTE"}));
    // Every deletion after the failed one was for a cell that existed.
    int deletes = session.log().count("ProUITableCellComponentDelete");
    EXPECT_EQ(deletes, 6 + 1);
    closeWithoutRunning();
}

// A refresh that stops before it made the cells of its rows (the first copy fails) leaves rows
// without cells: the next refresh takes those cells as gone and builds the whole table again.
TEST_F(ExportDialogTest, ATableWhoseRefreshStoppedBeforeItsCellsIsBuiltAgain) {
    session.recordCalls();
    storeOptions("CTI", {"A", "1", "B", "2"});
    openWithoutRunning();
    session.faults().onCall("ProUITableCellComponentCopy", 1, PRO_TK_GENERAL_ERROR);
    onAttributeAdd("Tarvelo", "AttributeAdd", nullptr);
    EXPECT_EQ(component("AttributeTable").rows.size(), 3u);
    EXPECT_FALSE(hasComponent("tarveloName0"));

    onAttributeAdd("Tarvelo", "AttributeAdd", nullptr);
    EXPECT_EQ(shownNames(),
              (std::vector<std::wstring>{L"A", L"B", L"NEW_ATTRIBUTE", L"NEW_ATTRIBUTE"}));
    EXPECT_EQ(shownTypes(), (std::vector<std::string>{"PartsAndBodies", "Assembly",
                                                      "PartsAndBodies", "PartsAndBodies"}));
    const Hostsim::Component& table = component("AttributeTable");
    ASSERT_EQ(table.rows.size(), 4u);
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_NE(dialog().cell("AttributeTable", table.rows[i], table.columns[k]), nullptr)
                << table.rows[i] << " " << table.columns[k];
        }
    }
    EXPECT_EQ(dialog().components().size(), 11u + 3u * table.rows.size());
    EXPECT_TRUE(component("Export").enabled);
    closeWithoutRunning();
}

} // namespace
