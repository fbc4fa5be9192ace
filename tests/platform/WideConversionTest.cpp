#include "Win32Api.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <string>

namespace {

struct Result {
    errno_t error;
    std::size_t count;
    std::string text;
    bool operator==(const Result&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Result& r) {
    return os << "{" << r.error << ", " << r.count << ", \"" << r.text << "\"}";
}

Result convert(const wchar_t* wide, std::size_t bufferSize, std::size_t count) {
    std::string buffer(bufferSize, '#');
    std::size_t converted = 99;
    errno_t error = wcstombs_s(&converted, buffer.data(), buffer.size(), wide, count);
    return Result{error, converted, buffer.substr(0, buffer.find('\0'))};
}

TEST(WcstombsS, AsciiInTheCLocale) {
    EXPECT_EQ(convert(L"abc", 4, 3), (Result{0, 4, "abc"}));
    // The count ends the text; the buffer would have room for more.
    EXPECT_EQ(convert(L"abcdef", 10, 2), (Result{0, 3, "ab"}));
    // A buffer too small for what the count allows is an error and leaves the empty text.
    EXPECT_EQ(convert(L"abcdef", 4, 6), (Result{ERANGE, 0, ""}));
    EXPECT_EQ(convert(L"abcdef", 4, _TRUNCATE), (Result{STRUNCATE, 4, "abc"}));
    EXPECT_EQ(convert(L"", 1, 0), (Result{0, 1, ""}));
}

TEST(WcstombsS, CharacterWithoutNarrowFormGivesTheEmptyText) {
    EXPECT_EQ(convert(L"a\u00F6b", 8, 7), (Result{EILSEQ, 0, ""}));
}

TEST(WcstombsS, MultibyteLocaleStopsAtACharacterBoundary) {
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    Result whole = convert(L"a\u00E9b", 8, 7);
    Result cut = convert(L"a\u00E9b", 3, 2);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(whole, (Result{0, 5,
                             "a\xC3\xA9"
                             "b"}));
    EXPECT_EQ(cut, (Result{0, 2, "a"}));
}

TEST(WcstombsS, NullArgumentsAndSizeQuery) {
    std::size_t converted = 7;
    char buffer[4];
    EXPECT_EQ(wcstombs_s(&converted, buffer, sizeof buffer, nullptr, 3), EINVAL);
    EXPECT_EQ(wcstombs_s(&converted, nullptr, 4, L"a", 1), EINVAL);
    EXPECT_EQ(wcstombs_s(&converted, buffer, 0, L"a", 1), EINVAL);
    EXPECT_EQ(wcstombs_s(&converted, nullptr, 0, L"abc", 0), 0);
    EXPECT_EQ(converted, 4u);
}

} // namespace
