#include "OptionsPersistency.h"
#include "PrintedValue.h"
#include "RegistrySandbox.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>

using Velmora::OptionsPersistency;

namespace {

const std::vector<unsigned char> kDefaultCti = ascii16("COMPARATIVE_TRACKING_INDEX");

struct Stored {
    const wchar_t* name;
    DWORD type;
    std::vector<unsigned char> data;
};

struct LoadCase {
    const char* name;
    bool keyExists;
    std::vector<Stored> stored;
    std::wstring cti;
    std::vector<ImportAttribute> attributes;
    double chordHeight;
    double angleControl;
};

std::string typeName(DWORD type) {
    switch (type) {
    case REG_SZ:
        return "REG_SZ";
    case REG_EXPAND_SZ:
        return "REG_EXPAND_SZ";
    case REG_MULTI_SZ:
        return "REG_MULTI_SZ";
    case REG_DWORD:
        return "REG_DWORD";
    case REG_QWORD:
        return "REG_QWORD";
    case REG_BINARY:
        return "REG_BINARY";
    default:
        return "type " + std::to_string(type);
    }
}

void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.name << ": " << (c.keyExists ? "key" : "no key") << ", stored "
        << PrintedValue::list(c.stored,
                              [](const Stored& value) {
                                  return PrintedValue::text(value.name) + " " +
                                         typeName(value.type) + " [" +
                                         PrintedValue::hex(value.data) + "]";
                              })
        << " -> CTI " << PrintedValue::text(c.cti) << ", attributes "
        << PrintedValue::list(c.attributes,
                              [](const ImportAttribute& attribute) {
                                  return PrintedValue::text(attribute.name) + " " +
                                         std::to_string(attribute.type);
                              })
        << ", chord height " << PrintedValue::number(c.chordHeight) << ", angle control "
        << PrintedValue::number(c.angleControl);
}

const std::wstring kDefaultName = L"COMPARATIVE_TRACKING_INDEX";

// The multi-string cases written as the code units they hold.
const std::vector<LoadCase> kLoadCases = {
    {"NoKey", false, {}, kDefaultName, {}, 0.03, 0.6},
    {"KeyWithoutValues", true, {}, kDefaultName, {}, 0.03, 0.6},
    {"CtiAsExpandString",
     true,
     {{L"CtiParameter", REG_EXPAND_SZ, ascii16("ABCD")}},
     kDefaultName,
     {},
     0.03,
     0.6},
    {"CtiWithoutNul", true, {{L"CtiParameter", REG_SZ, ascii16("ABCD")}}, L"ABCD", {}, 0.03, 0.6},
    {"CtiWithNulInside",
     true,
     {{L"CtiParameter", REG_SZ, {0x41, 0x00, 0x42, 0x00, 0x00, 0x00, 0x43, 0x00, 0x44, 0x00}}},
     L"AB",
     {},
     0.03,
     0.6},
    {"CtiJustNul", true, {{L"CtiParameter", REG_SZ, {0x00, 0x00}}}, L"", {}, 0.03, 0.6},
    {"CtiEmpty", true, {{L"CtiParameter", REG_SZ, {}}}, kDefaultName, {}, 0.03, 0.6},
    {"CtiOddSize",
     true,
     {{L"CtiParameter", REG_SZ, {0x41, 0x00, 0x42, 0x00, 0x43}}},
     L"AB",
     {},
     0.03,
     0.6},
    {"CtiOutsideAscii",
     true,
     {{L"CtiParameter", REG_SZ, {0x4D, 0x00, 0xDF, 0x00, 0x3D, 0xD8, 0x00, 0xDE}}},
     L"M\u00DF\U0001F600",
     {},
     0.03,
     0.6},
    {"ValueNamesIgnoreCase",
     true,
     {{L"ctiparameter", REG_SZ, ascii16("XY")}},
     L"XY",
     {},
     0.03,
     0.6},
    {"AttributesA2B",
     true,
     {{L"ImportAttributes",
       REG_MULTI_SZ,
       {0x41, 0x00, 0x00, 0x00, 0x32, 0x00, 0x00, 0x00, 0x42, 0x00}}},
     kDefaultName,
     {{L"A", 1}, {L"B", 0}},
     0.03,
     0.6},
    {"AttributesA4B3",
     true,
     {{L"ImportAttributes",
       REG_MULTI_SZ,
       {0x41, 0x00, 0x00, 0x00, 0x34, 0x00, 0x00, 0x00, 0x42, 0x00, 0x00, 0x00, 0x33, 0x00}}},
     kDefaultName,
     {{L"B", 2}},
     0.03,
     0.6},
    {"AttributesEmpty1E2",
     true,
     {{L"ImportAttributes",
       REG_MULTI_SZ,
       {0x00, 0x00, 0x31, 0x00, 0x00, 0x00, 0x45, 0x00, 0x00, 0x00, 0x32, 0x00}}},
     kDefaultName,
     {{L"E", 1}},
     0.03,
     0.6},
    {"AttributesA3Closed",
     true,
     {{L"ImportAttributes",
       REG_MULTI_SZ,
       {0x41, 0x00, 0x00, 0x00, 0x33, 0x00, 0x00, 0x00, 0x00, 0x00}}},
     kDefaultName,
     {{L"A", 2}},
     0.03,
     0.6},
    {"AttributesANulNul",
     true,
     {{L"ImportAttributes", REG_MULTI_SZ, {0x41, 0x00, 0x00, 0x00, 0x00, 0x00}}},
     kDefaultName,
     {},
     0.03,
     0.6},
    {"AttributesANul",
     true,
     {{L"ImportAttributes", REG_MULTI_SZ, {0x41, 0x00, 0x00, 0x00}}},
     kDefaultName,
     {{L"A", 0}},
     0.03,
     0.6},
    {"AttributesCodeOfTwoDigits",
     true,
     {{L"ImportAttributes",
       REG_MULTI_SZ,
       {0x41, 0x00, 0x00, 0x00, 0x31, 0x00, 0x30, 0x00, 0x00, 0x00, 0x42, 0x00, 0x00, 0x00, 0x31,
        0x00}}},
     kDefaultName,
     {{L"B", 0}},
     0.03,
     0.6},
    {"AttributesOddSize",
     true,
     {{L"ImportAttributes", REG_MULTI_SZ, {0x41, 0x00, 0x00, 0x00, 0x33, 0x00, 0x00}}},
     kDefaultName,
     {{L"A", 2}},
     0.03,
     0.6},
    {"AttributesAsString",
     true,
     {{L"ImportAttributes", REG_SZ, {0x41, 0x00, 0x00, 0x00, 0x32, 0x00}}},
     kDefaultName,
     {},
     0.03,
     0.6},
    {"ChordHeightAsQword",
     true,
     {{L"ChordHeight", REG_QWORD, {0x0A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}}},
     kDefaultName,
     {},
     0.03,
     0.6},
    {"ChordHeightDwordOfTwoBytes",
     true,
     {{L"ChordHeight", REG_DWORD, {0x0A, 0x00}}},
     kDefaultName,
     {},
     0.03,
     0.6},
    {"ChordHeightDwordOfFiveBytes",
     true,
     {{L"ChordHeight", REG_DWORD, {0x0A, 0x00, 0x00, 0x00, 0x00}}},
     kDefaultName,
     {},
     0.03,
     0.6},
    {"ChordHeight30",
     true,
     {{L"ChordHeight", REG_DWORD, {0x1E, 0x00, 0x00, 0x00}}},
     kDefaultName,
     {},
     0.03,
     0.6},
    {"ChordHeight0",
     true,
     {{L"ChordHeight", REG_DWORD, {0x00, 0x00, 0x00, 0x00}}},
     kDefaultName,
     {},
     0.0,
     0.6},
    {"ChordHeightLargest",
     true,
     {{L"ChordHeight", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}}},
     kDefaultName,
     {},
     4294967.295,
     0.6},
    {"AngleControl4007",
     true,
     {{L"AngleControl", REG_DWORD, {0xA7, 0x0F, 0x00, 0x00}}},
     kDefaultName,
     {},
     0.03,
     4.007},
    {"AngleControlAsBinary",
     true,
     {{L"AngleControl", REG_BINARY, {0x01, 0x00, 0x00, 0x00}}},
     kDefaultName,
     {},
     0.03,
     0.6},
    {"AllValues",
     true,
     {{L"CtiParameter", REG_SZ, ascii16("CTI")},
      {L"ImportAttributes", REG_MULTI_SZ, {0x4E, 0x00, 0x00, 0x00, 0x33, 0x00, 0x00, 0x00}},
      {L"ChordHeight", REG_DWORD, {0xF4, 0x01, 0x00, 0x00}},
      {L"AngleControl", REG_DWORD, {0x01, 0x00, 0x00, 0x00}}},
     L"CTI",
     {{L"N", 2}},
     0.5,
     0.001},
};

class LoadOptions : public testing::TestWithParam<LoadCase> {
protected:
    RegistrySandbox sandbox;
};

TEST_P(LoadOptions, OverlaysTheDefaultsWithWhatIsStored) {
    const LoadCase& c = GetParam();
    if (c.keyExists) {
        createKey(HKEY_CURRENT_USER, kOptionsKeyPath);
    }
    for (const Stored& value : c.stored) {
        writeRaw(HKEY_CURRENT_USER, kOptionsKeyPath, value.name, value.type, value.data);
    }
    ASSERT_EQ(keyExists(HKEY_CURRENT_USER, kOptionsKeyPath), c.keyExists);

    OptionsPersistency options = loadOptions();
    EXPECT_EQ(options.ctiParameter, c.cti);
    EXPECT_EQ(options.importAttributes, c.attributes);
    EXPECT_EQ(options.chordHeight, c.chordHeight);
    EXPECT_EQ(options.angleControl, c.angleControl);
}

INSTANTIATE_TEST_SUITE_P(Cases, LoadOptions, testing::ValuesIn(kLoadCases),
                         PrintedValue::caseName<LoadCase>);

class SaveOptions : public testing::Test {
protected:
    static std::optional<RawValue> stored(const wchar_t* name) {
        return readRaw(HKEY_CURRENT_USER, kOptionsKeyPath, name);
    }
    RegistrySandbox sandbox;
};

TEST_F(SaveOptions, DefaultsCreateTheKeyAndWriteNameAndThousandths) {
    ASSERT_FALSE(keyExists(HKEY_CURRENT_USER, kOptionsKeyPath));
    saveOptions(OptionsPersistency{});

    ASSERT_TRUE(keyExists(HKEY_CURRENT_USER, kOptionsKeyPath));
    EXPECT_EQ(stored(L"CtiParameter"), (RawValue{REG_SZ, kDefaultCti}));
    EXPECT_EQ(kDefaultCti.size(), 52u);
    EXPECT_EQ(stored(L"ChordHeight"), (RawValue{REG_DWORD, {0x1E, 0x00, 0x00, 0x00}}));
    EXPECT_EQ(stored(L"AngleControl"), (RawValue{REG_DWORD, {0x58, 0x02, 0x00, 0x00}}));
    EXPECT_FALSE(stored(L"ImportAttributes"));
}

TEST_F(SaveOptions, EmptyNameAndEmptyListLeaveTheStoredValues) {
    const std::vector<unsigned char> list = {0x41, 0x00, 0x00, 0x00, 0x32, 0x00, 0x00, 0x00};
    writeRaw(HKEY_CURRENT_USER, kOptionsKeyPath, L"CtiParameter", REG_SZ, ascii16("OLD"));
    writeRaw(HKEY_CURRENT_USER, kOptionsKeyPath, L"ImportAttributes", REG_MULTI_SZ, list);

    saveOptions(OptionsPersistency{});
    EXPECT_EQ(stored(L"ImportAttributes"), (RawValue{REG_MULTI_SZ, list}));
    EXPECT_EQ(stored(L"CtiParameter"), (RawValue{REG_SZ, kDefaultCti}));

    OptionsPersistency options;
    options.ctiParameter.clear();
    saveOptions(options);
    EXPECT_EQ(stored(L"CtiParameter"), (RawValue{REG_SZ, kDefaultCti}));
    EXPECT_EQ(stored(L"ImportAttributes"), (RawValue{REG_MULTI_SZ, list}));
}

TEST_F(SaveOptions, ListSkipsEmptyNamesAndWritesScopeDigits) {
    OptionsPersistency options;
    options.importAttributes = {{L"A", 0}, {L"", 1}, {L"B", 2}};
    saveOptions(options);
    EXPECT_EQ(stored(L"ImportAttributes"),
              (RawValue{REG_MULTI_SZ,
                        {0x41, 0x00, 0x00, 0x00, 0x31, 0x00, 0x00, 0x00, 0x42, 0x00, 0x00, 0x00,
                         0x33, 0x00, 0x00, 0x00}}));

    options.importAttributes = {{L"C", 1}, {L"D", 7}};
    saveOptions(options);
    EXPECT_EQ(stored(L"ImportAttributes"),
              (RawValue{REG_MULTI_SZ,
                        {0x43, 0x00, 0x00, 0x00, 0x32, 0x00, 0x00, 0x00, 0x44, 0x00, 0x00, 0x00,
                         0x31, 0x00, 0x00, 0x00}}));

    options.importAttributes = {{L"", 0}, {L"", 2}};
    saveOptions(options);
    EXPECT_EQ(stored(L"ImportAttributes"), (RawValue{REG_MULTI_SZ, {}}));
}

TEST_F(SaveOptions, TextOutsideAsciiIsWrittenAsUtf16) {
    OptionsPersistency options;
    options.ctiParameter = L"M\u00DF\U0001F600";
    options.importAttributes = {{L"\u00E9", 2}};
    saveOptions(options);
    EXPECT_EQ(stored(L"CtiParameter"),
              (RawValue{REG_SZ, {0x4D, 0x00, 0xDF, 0x00, 0x3D, 0xD8, 0x00, 0xDE}}));
    EXPECT_EQ(stored(L"ImportAttributes"),
              (RawValue{REG_MULTI_SZ, {0xE9, 0x00, 0x00, 0x00, 0x33, 0x00, 0x00, 0x00}}));
}

TEST_F(SaveOptions, WhatIsSavedLoadsBackAndSavesAgainUnchanged) {
    OptionsPersistency options;
    options.ctiParameter = L"CTI_\u00C4";
    options.importAttributes = {{L"MATERIAL", 0}, {L"PROJECT", 1}, {L"\U0001F600", 2}};
    options.chordHeight = 4.007;
    options.angleControl = 0.25;
    saveOptions(options);

    OptionsPersistency loaded = loadOptions();
    EXPECT_EQ(loaded.ctiParameter, options.ctiParameter);
    EXPECT_EQ(loaded.importAttributes, options.importAttributes);
    EXPECT_EQ(loaded.chordHeight, 4.007);
    EXPECT_EQ(loaded.angleControl, 0.25);

    // A value loaded from thousandths saves back to the same thousandths, run after run.
    for (int run = 0; run < 3; ++run) {
        saveOptions(loadOptions());
    }
    EXPECT_EQ(stored(L"ChordHeight"), (RawValue{REG_DWORD, {0xA7, 0x0F, 0x00, 0x00}}));
    EXPECT_EQ(stored(L"AngleControl"), (RawValue{REG_DWORD, {0xFA, 0x00, 0x00, 0x00}}));
}

struct ThousandthsCase {
    const char* name;
    double value;
    std::optional<std::vector<unsigned char>> stored; // none: the stored value stays
};

void PrintTo(const ThousandthsCase& c, std::ostream* os) {
    *os << c.name << ": " << PrintedValue::number(c.value) << " -> "
        << (c.stored ? "stored [" + PrintedValue::hex(*c.stored) + "]" : "the stored value stays");
}

class SaveThousandths : public testing::TestWithParam<ThousandthsCase> {
protected:
    RegistrySandbox sandbox;
};

TEST_P(SaveThousandths, StoresTheNearestFaithfulCount) {
    const std::vector<unsigned char> before = {0x07, 0x00, 0x00, 0x00};
    writeRaw(HKEY_CURRENT_USER, kOptionsKeyPath, L"ChordHeight", REG_DWORD, before);
    OptionsPersistency options;
    options.chordHeight = GetParam().value;
    saveOptions(options);
    EXPECT_EQ(readRaw(HKEY_CURRENT_USER, kOptionsKeyPath, L"ChordHeight"),
              (RawValue{REG_DWORD, GetParam().stored.value_or(before)}));
}

INSTANTIATE_TEST_SUITE_P(
    Values, SaveThousandths,
    testing::Values(
        ThousandthsCase{"ThirtyThousandths", 0.03, {{0x1E, 0x00, 0x00, 0x00}}},
        ThousandthsCase{"ThirtyAndAHalfThousandths", 0.0305, {{0x1E, 0x00, 0x00, 0x00}}},
        ThousandthsCase{"BelowOneThousandth", 0.0009, {{0x00, 0x00, 0x00, 0x00}}},
        ThousandthsCase{"Negative", -1.5, {{0x00, 0x00, 0x00, 0x00}}},
        ThousandthsCase{
            "MinusInfinity", -std::numeric_limits<double>::infinity(), {{0x00, 0x00, 0x00, 0x00}}},
        ThousandthsCase{"LargestCount", 4294967.295, {{0xFF, 0xFF, 0xFF, 0xFF}}},
        ThousandthsCase{"BeyondTheLargestCount", 5.0e6, {{0xFF, 0xFF, 0xFF, 0xFF}}},
        ThousandthsCase{
            "Infinity", std::numeric_limits<double>::infinity(), {{0xFF, 0xFF, 0xFF, 0xFF}}},
        ThousandthsCase{"NotANumber", std::nan(""), std::nullopt}),
    PrintedValue::caseName<ThousandthsCase>);

TEST(GlobalOptions, HoldTheDefaultsAndAreWhatGetOptionsReturns) {
    EXPECT_EQ(&getOptions(), &g_options);
    EXPECT_EQ(g_options.ctiParameter, L"COMPARATIVE_TRACKING_INDEX");
    EXPECT_TRUE(g_options.importAttributes.empty());
    EXPECT_EQ(g_options.chordHeight, 0.03);
    EXPECT_EQ(g_options.angleControl, 0.6);
}

} // namespace
