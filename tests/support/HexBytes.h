// Byte fixtures written by hand as hex text, and a byte-for-byte comparison that says where
// two byte strings first differ.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace TvlTest {

using Bytes = std::vector<unsigned char>;

// Pairs of hex digits, separated by white space. "#" starts a comment up to the line end.
// "3x[ 00 00 ]" repeats the bracketed bytes three times (no nesting). Anything else throws
// std::invalid_argument, so a typing error in a fixture cannot pass unnoticed.
Bytes hexBytes(std::string_view text);

Bytes toBytes(const std::string& raw);

// Passes when both are equal; otherwise names the first differing offset, both bytes there
// and both sizes.
::testing::AssertionResult sameBytes(const Bytes& actual, const Bytes& expected);

} // namespace TvlTest
