#include "HexBytes.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace TvlTest {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string hex(unsigned char b) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", b);
    return text;
}

} // namespace

Bytes hexBytes(std::string_view text) {
    // Comments out, brackets as words of their own, then word by word.
    std::string words;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '#') {
            while (i < text.size() && text[i] != '\n') {
                ++i;
            }
            words += ' ';
        } else if (text[i] == '[' || text[i] == ']') {
            words += ' ';
            words += text[i];
            words += ' ';
        } else {
            words += text[i];
        }
    }
    std::istringstream in(words);
    Bytes out;
    Bytes group;
    unsigned long repeat = 0;
    bool expectOpen = false;
    bool inGroup = false;
    std::string word;
    while (in >> word) {
        if (expectOpen) {
            if (word != "[") {
                throw std::invalid_argument("hex fixture: '[' expected after a repeat count");
            }
            expectOpen = false;
            inGroup = true;
        } else if (word == "]") {
            if (!inGroup) {
                throw std::invalid_argument("hex fixture: ']' without '['");
            }
            for (unsigned long r = 0; r < repeat; ++r) {
                out.insert(out.end(), group.begin(), group.end());
            }
            group.clear();
            inGroup = false;
        } else if (!inGroup && word.size() > 1 && word.back() == 'x' &&
                   std::all_of(word.begin(), word.end() - 1,
                               [](char c) { return c >= '0' && c <= '9'; })) {
            repeat = std::stoul(word.substr(0, word.size() - 1));
            expectOpen = true;
        } else if (word.size() == 2 && hexDigit(word[0]) >= 0 && hexDigit(word[1]) >= 0) {
            (inGroup ? group : out)
                .push_back(static_cast<unsigned char>(hexDigit(word[0]) * 16 + hexDigit(word[1])));
        } else {
            throw std::invalid_argument("hex fixture: not a byte: '" + word + "'");
        }
    }
    if (inGroup || expectOpen) {
        throw std::invalid_argument("hex fixture: unclosed repeat group");
    }
    return out;
}

Bytes toBytes(const std::string& raw) {
    return Bytes(raw.begin(), raw.end());
}

::testing::AssertionResult sameBytes(const Bytes& actual, const Bytes& expected) {
    const auto mismatch =
        std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    if (mismatch.first == actual.end() && mismatch.second == expected.end()) {
        return ::testing::AssertionSuccess();
    }
    const auto offset = static_cast<std::size_t>(mismatch.first - actual.begin());
    auto result = ::testing::AssertionFailure();
    result << "first difference at offset " << offset << ": actual "
           << (mismatch.first == actual.end() ? std::string("(end)") : hex(*mismatch.first))
           << ", expected "
           << (mismatch.second == expected.end() ? std::string("(end)") : hex(*mismatch.second))
           << "; sizes: actual " << actual.size() << ", expected " << expected.size();
    return result;
}

} // namespace TvlTest
