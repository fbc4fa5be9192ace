#include "Utf16.h"
#include "PrintedValue.h"
#include "Utf8.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

using KorvaneUtil::fromUtf16;
using KorvaneUtil::toUtf16;

TEST(Utf16, BasicPlaneIsCopied) {
    EXPECT_EQ(toUtf16(L"ab\u00e9\u4e2d"), (std::u16string{u'a', u'b', 0x00E9, 0x4E2D}));
    EXPECT_EQ(fromUtf16(u"ab\u00e9\u4e2d"), std::wstring(L"ab\u00e9\u4e2d"));
    EXPECT_EQ(toUtf16(L""), u"");
}

TEST(Utf16, BeyondBasicPlaneUsesSurrogatePairs) {
    // U+1F600 is D83D DE00 in UTF-16 whatever the width of wchar_t.
    const std::wstring wide = L"x\U0001F600y";
    const std::u16string units = toUtf16(wide);
    EXPECT_EQ(units, (std::u16string{u'x', 0xD83D, 0xDE00, u'y'}));
    EXPECT_EQ(fromUtf16(units), wide);
}

// The edges of the basic plane, of the surrogates and of Unicode, unit for unit.
TEST(Utf16, EdgesOfThePlanesAndTheSurrogates) {
    struct Case {
        char32_t value;
        std::u16string units;
    };
    const std::vector<Case> cases = {
        {0xD7FF, {0xD7FF}},           {0xE000, {0xE000}}, {0xFFFD, {0xFFFD}},
        {0xFFFE, {0xFFFE}},           {0xFFFF, {0xFFFF}}, {0x10000, {0xD800, 0xDC00}},
        {0x10FFFF, {0xDBFF, 0xDFFF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<unsigned>(c.value));
        std::wstring wide;
        if (sizeof(wchar_t) == 2 && c.value > 0xFFFF) {
            wide = {static_cast<wchar_t>(c.units[0]), static_cast<wchar_t>(c.units[1])};
        } else {
            wide = {static_cast<wchar_t>(c.value)};
        }
        EXPECT_EQ(toUtf16(wide), c.units);
        EXPECT_EQ(fromUtf16(c.units), wide);
    }
    if constexpr (sizeof(wchar_t) == 4) {
        // The first value beyond Unicode has no UTF-16 form.
        EXPECT_EQ(toUtf16(std::wstring(1, static_cast<wchar_t>(0x110000))), u"\uFFFD");
    }
}

TEST(Utf16, LoneSurrogatesInUtf16) {
    const std::u16string units{u'a', 0xD800, u'b', 0xDC00};
    const std::wstring wide = fromUtf16(units);
    if constexpr (sizeof(wchar_t) == 2) {
        EXPECT_EQ(wide.size(), 4u); // kept unit for unit
        EXPECT_EQ(toUtf16(wide), units);
    } else {
        EXPECT_EQ(wide, std::wstring(L"a\uFFFDb\uFFFD"));
    }
}

TEST(Utf16, CountLimitsTheRead) {
    const char16_t units[] = {u'a', u'b', u'c'};
    EXPECT_EQ(fromUtf16(units, 2), std::wstring(L"ab"));
    EXPECT_EQ(fromUtf16(units, 0), std::wstring());
}

TEST(Utf8, RoundTripsEveryPlane) {
    const std::wstring wide = L"a\u00e9\u4e2d\U0001F600";
    const std::string bytes = KorvaneUtil::toUtf8(wide);
    EXPECT_EQ(bytes, "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
    EXPECT_EQ(KorvaneUtil::fromUtf8(bytes), wide);
}

namespace {

struct MalformedUtf8 {
    const char* name;
    std::string bytes;
    std::u32string expected;
};

void PrintTo(const MalformedUtf8& c, std::ostream* os) {
    *os << c.name << ": " << PrintedValue::text(c.bytes) << " -> "
        << PrintedValue::text(c.expected);
}

class Utf8Decode : public ::testing::TestWithParam<MalformedUtf8> {};

TEST_P(Utf8Decode, EachBadByteBecomesOneReplacement) {
    EXPECT_EQ(KorvaneUtil::decodeUtf8(GetParam().bytes), GetParam().expected) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Utf8, Utf8Decode,
    ::testing::Values(MalformedUtf8{"LoneContinuation", "a\x80z", U"a\uFFFDz"},
                      MalformedUtf8{"CutSequenceAtTheEnd", "a\xE4\xB8", U"a\uFFFD\uFFFD"},
                      MalformedUtf8{"OverlongSlash", "\xC0\xAF", U"\uFFFD\uFFFD"},
                      MalformedUtf8{"EncodedSurrogate", "\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD"},
                      MalformedUtf8{"BeyondU10FFFF", "\xF4\x90\x80\x80",
                                    U"\uFFFD\uFFFD\uFFFD\uFFFD"},
                      MalformedUtf8{"InvalidLeadByte", "\xFF", U"\uFFFD"}),
    PrintedValue::caseName<MalformedUtf8>);

} // namespace

TEST(Utf8, UnpairedSurrogateInWideTextIsReplaced) {
    std::wstring wide = L"a";
    wide.push_back(static_cast<wchar_t>(0xD800));
    EXPECT_EQ(KorvaneUtil::toUtf8(wide), "a\xEF\xBF\xBD");
}
