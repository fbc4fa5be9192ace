#include "TvlArchive.h"
#include "HexBytes.h"
#include "LimitedStreamBuf.h"
#include "TvlLayout.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <type_traits>

using KorvaneUtil::SerializerException;
using TvlTest::Bytes;
using TvlTest::hexBytes;
using TvlTest::sameBytes;
using TvlTest::toBytes;

namespace {

using Archive = ArchiveWithVersion<std::ostream>;

std::string messageFor(const std::string& typeName) {
    return "SerializerException (Write) [auto __cdecl "
           "KorvaneUtil::detail::error_while_serializing<" +
           typeName + ">(void)]";
}

template <class T> Bytes written(const T& value) {
    std::ostringstream out;
    Archive archive{&out, 6, [] { return false; }};
    KorvaneUtil::serialize(value, archive);
    return toBytes(out.str());
}

template <class T>
std::string failureOf(
    const T& value, std::ostream& stream, std::function<bool()> skip = [] { return false; }) {
    Archive archive{&stream, 6, std::move(skip)};
    try {
        KorvaneUtil::serialize(value, archive);
    } catch (const SerializerException& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

struct EncodingCase {
    const char* what;
    std::function<Bytes()> write;
    const char* hex;
};

void expectEncodings(const std::vector<EncodingCase>& cases) {
    for (const EncodingCase& c : cases) {
        EXPECT_TRUE(sameBytes(c.write(), hexBytes(c.hex))) << c.what;
    }
}

} // namespace

TEST(TvlArchive, PrimitivesAreLittleEndianWithoutPadding) {
    expectEncodings({
        {"int -1", [] { return written(-1); }, "FF FF FF FF"},
        {"int 600", [] { return written(600); }, "58 02 00 00"},
        {"int min", [] { return written(INT_MIN); }, "00 00 00 80"},
        {"unsigned max", [] { return written(0xFFFFFFFFu); }, "FF FF FF FF"},
        {"unsigned 0x01020304", [] { return written(0x01020304u); }, "04 03 02 01"},
        {"double 1.0", [] { return written(1.0); }, "00 00 00 00 00 00 F0 3F"},
        {"double -1.0", [] { return written(-1.0); }, "00 00 00 00 00 00 F0 BF"},
        {"double 10.0", [] { return written(10.0); }, "00 00 00 00 00 00 24 40"},
        {"double -0.0", [] { return written(-0.0); }, "00 00 00 00 00 00 00 80"},
        {"bool true", [] { return written(true); }, "01"},
        {"bool false", [] { return written(false); }, "00"},
        {"char", [] { return written('A'); }, "41"},
        {"char 0xFF", [] { return written(static_cast<char>(0xFF)); }, "FF"},
        {"wchar_t", [] { return written(L'\u00e9'); }, "E9 00"},
        {"version text",
         [] {
             return written(std::array<char, 3>{'1', '.', '5'});
         },
         "31 2E 35"},
    });
}

TEST(TvlArchive, StringsCarryTheirByteCount) {
    expectEncodings({
        {"empty", [] { return written(std::string()); }, "00 00 00 00"},
        {"abc", [] { return written(std::string("abc")); }, "03 00 00 00 61 62 63"},
        {"bytes as held, NUL included", [] { return written(std::string("a\0\xC3\xA4", 4)); },
         "04 00 00 00 61 00 C3 A4"},
    });
}

TEST(TvlArchive, WideStringsAreUtf16WhateverTheWidthOfWchar) {
    expectEncodings({
        {"empty", [] { return written(std::wstring()); }, "00 00 00 00"},
        {"ab", [] { return written(std::wstring(L"ab")); }, "02 00 00 00 61 00 62 00"},
        {"basic plane", [] { return written(std::wstring(L"\u00e4\u4e2d")); },
         "02 00 00 00 E4 00 2D 4E"},
        // U+1F600 is the pair D83D DE00; the length counts 16-bit units.
        {"beyond U+FFFF", [] { return written(std::wstring(L"x\U0001F600")); },
         "03 00 00 00 78 00 3D D8 00 DE"},
        // The last unit of the basic plane, and the first value beyond it.
        {"U+FFFF is itself", [] { return written(std::wstring(L"\uFFFF")); }, "01 00 00 00 FF FF"},
        {"U+10000 is a pair", [] { return written(std::wstring(L"\U00010000")); },
         "02 00 00 00 00 D8 00 DC"},
    });
}

TEST(TvlArchive, LoneWideCharacterBeyondOneUnitBecomesReplacement) {
    if constexpr (sizeof(wchar_t) == 2) {
        GTEST_SKIP() << "a 16-bit wchar_t always is one unit";
    } else {
        EXPECT_TRUE(sameBytes(written(static_cast<wchar_t>(0x1F600)), hexBytes("FD FF")));
    }
}

TEST(TvlArchive, SetsArePutInAscendingOrder) {
    expectEncodings({
        {"5 1 3",
         [] {
             return written(std::set<int>{5, 1, 3});
         },
         "03 00 00 00  01 00 00 00  03 00 00 00  05 00 00 00"},
        {"negative first",
         [] {
             return written(std::set<int>{2, -1});
         },
         "02 00 00 00  FF FF FF FF  02 00 00 00"},
        {"empty", [] { return written(std::set<int>{}); }, "00 00 00 00"},
        {"empty reference sets", [] { return written(std::set<DeprecatedReferenceSet>{}); },
         "00 00 00 00"},
        {"one reference set",
         [] {
             return written(std::set<DeprecatedReferenceSet>{{"R", {4, 2}}});
         },
         "01 00 00 00  01 00 00 00 52  02 00 00 00  02 00 00 00  04 00 00 00"},
    });
}

TEST(TvlArchive, PairsWriteTheFlagAsAWholeInt) {
    expectEncodings({
        {"(7, true)", [] { return written(std::pair<int, bool>(7, true)); },
         "07 00 00 00 01 00 00 00"},
        {"(7, false)", [] { return written(std::pair<int, bool>(7, false)); },
         "07 00 00 00 00 00 00 00"},
        {"(-2, true)", [] { return written(std::pair<int, bool>(-2, true)); },
         "FE FF FF FF 01 00 00 00"},
        {"vector of pairs",
         [] {
             return written(std::vector<std::pair<int, bool>>{{3, true}, {0, false}});
         },
         "02 00 00 00  03 00 00 00 01 00 00 00  00 00 00 00 00 00 00 00"},
    });
}

TEST(TvlArchive, EachPrimitiveIsOneWriteOnTheStream) {
    // A stream buffer that records the size of every call it gets.
    struct CountingBuf : std::streambuf {
        std::vector<std::streamsize> calls;
        std::streamsize xsputn(const char*, std::streamsize n) override {
            calls.push_back(n);
            return n;
        }
    } buf;
    std::ostream out(&buf);
    Archive archive{&out, 6, [] { return false; }};
    KorvaneUtil::serialize(std::string("ab"), archive);
    KorvaneUtil::serialize(2.0, archive);
    KorvaneUtil::serialize(std::wstring(L"\U0001F600"), archive);
    EXPECT_EQ(buf.calls, (std::vector<std::streamsize>{4, 1, 1, 8, 4, 2, 2}));
}

TEST(TvlArchive, SkipPredicateThatAlwaysAnswersTrueWritesNothingEvenOnAFailedStream) {
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    Archive archive{&out, 6, [] { return true; }};
    EXPECT_NO_THROW(KorvaneUtil::serialize(std::string("abc"), archive));
    EXPECT_NO_THROW(KorvaneUtil::serialize(std::vector<std::pair<int, bool>>{{1, true}}, archive));
    EXPECT_NO_THROW(KorvaneUtil::serialize(1.0, archive));
    EXPECT_TRUE(out.str().empty());
}

TEST(TvlArchive, SkipPredicateIsAskedBeforeEveryPart) {
    // Answers true on call number `n` only.
    auto onCall = [](int n) { return [n, calls = 0]() mutable { return ++calls == n; }; };
    struct Case {
        const char* what;
        int skippedCall;
        const char* hex;
    };
    // Calls for a vector of one pair: 1 vector, 2 count, 3 pair, 4 index, 5 flag.
    const Case cases[] = {
        {"the vector as a whole", 1, ""},
        {"only the count", 2, "07 00 00 00 01 00 00 00"},
        {"the one element", 3, "01 00 00 00"},
        {"the element's index", 4, "01 00 00 00 01 00 00 00"},
        {"the element's flag", 5, "01 00 00 00 07 00 00 00"},
    };
    for (const Case& c : cases) {
        std::ostringstream out;
        Archive archive{&out, 6, onCall(c.skippedCall)};
        KorvaneUtil::serialize(std::vector<std::pair<int, bool>>{{7, true}}, archive);
        EXPECT_TRUE(sameBytes(toBytes(out.str()), hexBytes(c.hex))) << c.what;
    }
}

TEST(TvlArchive, EmptyPredicateThrowsBadFunctionCall) {
    std::ostringstream out;
    Archive archive{&out, 6, {}};
    EXPECT_THROW(KorvaneUtil::serialize(1, archive), std::bad_function_call);
}

TEST(TvlArchive, FailedStreamNamesTheFirstPrimitive) {
    struct Case {
        const char* what;
        std::function<std::string(std::ostream&)> write;
        const char* typeName;
    };
    const Case cases[] = {
        {"a string's length", [](std::ostream& s) { return failureOf(std::string("abc"), s); },
         "unsigned int"},
        {"the version text's first character",
         [](std::ostream& s) {
             return failureOf(std::array<char, 3>{'1', '.', '5'}, s);
         },
         "char"},
        {"a wide string's length", [](std::ostream& s) { return failureOf(std::wstring(L"a"), s); },
         "unsigned int"},
        {"a pair's index",
         [](std::ostream& s) { return failureOf(std::pair<int, bool>(1, true), s); }, "int"},
        {"a double", [](std::ostream& s) { return failureOf(0.5, s); }, "double"},
        {"a bool", [](std::ostream& s) { return failureOf(true, s); }, "bool"},
    };
    for (const Case& c : cases) {
        std::ostringstream out;
        out.setstate(std::ios::failbit);
        EXPECT_EQ(c.write(out), messageFor(c.typeName)) << c.what;
    }
}

TEST(TvlArchive, StreamThatFillsUpNamesThePrimitiveThatDidNotFit) {
    struct Case {
        std::size_t limit;
        const char* typeName;
    };
    // "ab" then L"c": 4 length, 2 chars, 4 length, 2 unit.
    const Case cases[] = {{0, "unsigned int"}, {2, "unsigned int"}, {4, "char"},    {5, "char"},
                          {6, "unsigned int"}, {10, "wchar_t"},     {11, "wchar_t"}};
    for (const Case& c : cases) {
        TvlTest::LimitedStreamBuf buf(c.limit);
        std::ostream out(&buf);
        Archive archive{&out, 6, [] { return false; }};
        std::string message = "(nothing thrown)";
        try {
            KorvaneUtil::serialize(std::string("ab"), archive);
            KorvaneUtil::serialize(std::wstring(L"c"), archive);
        } catch (const SerializerException& e) {
            message = e.what();
        }
        EXPECT_EQ(message, messageFor(c.typeName)) << "limit " << c.limit;
        EXPECT_EQ(buf.bytes().size(), c.limit) << "bytes handed over stay in the stream";
    }
}

TEST(TvlArchive, CheckOfAContainerFiresWhenEverythingInsideWasSkipped) {
    std::ostringstream out;
    out.setstate(std::ios::failbit);
    // Lets the string as a whole through and skips every part of it.
    auto firstOnly = [calls = 0]() mutable { return ++calls != 1; };
    EXPECT_EQ(failureOf(std::string("ab"), out, firstOnly),
              messageFor("class std::basic_string<char,struct std::char_traits<char>,class "
                         "std::allocator<char> >"));
}

TEST(TvlArchive, SerializerExceptionIsNoRuntimeError) {
    static_assert(std::is_base_of_v<std::exception, SerializerException>);
    static_assert(!std::is_base_of_v<std::runtime_error, SerializerException>);
    static_assert(!std::is_base_of_v<std::logic_error, SerializerException>);
    const SerializerException original("text");
    const SerializerException copy(original); // thrown by copy
    EXPECT_STREQ(copy.what(), "text");
    const std::exception& base = copy;
    EXPECT_STREQ(base.what(), "text");
}

// The 26 texts are part of the file's contract: each is spelled out here again by hand.
TEST(TvlArchive, MessagesNameEveryWrittenTypeLiterally) {
    using namespace KorvaneGeometry;
    using KorvaneUtil::detail::error_while_serializing;
    struct Case {
        std::string actual;
        const char* typeName;
    };
    const Case cases[] = {
        {error_while_serializing<char>().what(), "char"},
        {error_while_serializing<int>().what(), "int"},
        {error_while_serializing<unsigned int>().what(), "unsigned int"},
        {error_while_serializing<double>().what(), "double"},
        {error_while_serializing<bool>().what(), "bool"},
        {error_while_serializing<wchar_t>().what(), "wchar_t"},
        {error_while_serializing<std::pair<int, bool>>().what(), "struct std::pair<int,bool>"},
        {error_while_serializing<std::array<char, 3>>().what(), "class std::array<char,3>"},
        {error_while_serializing<std::string>().what(),
         "class std::basic_string<char,struct std::char_traits<char>,class std::allocator<char> "
         ">"},
        {error_while_serializing<std::wstring>().what(),
         "class std::basic_string<wchar_t,struct std::char_traits<wchar_t>,class "
         "std::allocator<wchar_t> >"},
        {error_while_serializing<std::set<int>>().what(),
         "class std::set<int,struct std::less<int>,class std::allocator<int> >"},
        {error_while_serializing<DeprecatedReferenceSet>().what(), "struct DeprecatedReferenceSet"},
        {error_while_serializing<std::set<DeprecatedReferenceSet>>().what(),
         "class std::set<struct DeprecatedReferenceSet,struct std::less<struct "
         "DeprecatedReferenceSet>,class std::allocator<struct DeprecatedReferenceSet> >"},
        {error_while_serializing<AssemblyNode>().what(), "struct KorvaneGeometry::AssemblyNode"},
        {error_while_serializing<CAD_Component>().what(), "struct KorvaneGeometry::CAD_Component"},
        {error_while_serializing<PartAttribute>().what(), "struct KorvaneGeometry::PartAttribute"},
        {error_while_serializing<SinglePart>().what(), "struct KorvaneGeometry::SinglePart"},
        {error_while_serializing<SolidBody>().what(), "struct KorvaneGeometry::SolidBody"},
        {error_while_serializing<Surface>().what(), "struct KorvaneGeometry::Surface"},
        {error_while_serializing<CAD_Assembly>().what(), "class KorvaneGeometry::CAD_Assembly"},
        {error_while_serializing<std::vector<std::pair<int, bool>>>().what(),
         "class std::vector<struct std::pair<int,bool>,class std::allocator<struct "
         "std::pair<int,bool> > >"},
        {error_while_serializing<std::vector<AssemblyNode>>().what(),
         "class std::vector<struct KorvaneGeometry::AssemblyNode,class std::allocator<struct "
         "KorvaneGeometry::AssemblyNode> >"},
        {error_while_serializing<std::vector<CAD_Component>>().what(),
         "class std::vector<struct KorvaneGeometry::CAD_Component,class std::allocator<struct "
         "KorvaneGeometry::CAD_Component> >"},
        {error_while_serializing<std::vector<PartAttribute>>().what(),
         "class std::vector<struct KorvaneGeometry::PartAttribute,class std::allocator<struct "
         "KorvaneGeometry::PartAttribute> >"},
        {error_while_serializing<std::vector<SinglePart>>().what(),
         "class std::vector<struct KorvaneGeometry::SinglePart,class std::allocator<struct "
         "KorvaneGeometry::SinglePart> >"},
        {error_while_serializing<std::vector<SolidBody>>().what(),
         "class std::vector<struct KorvaneGeometry::SolidBody,class std::allocator<struct "
         "KorvaneGeometry::SolidBody> >"},
    };
    EXPECT_EQ(std::size(cases), 26u);
    for (const Case& c : cases) {
        EXPECT_EQ(c.actual, messageFor(c.typeName));
    }
}

TEST(TvlArchive, CountsThatTheFileCannotHoldAreRefused) {
    using KorvaneUtil::detail::checkedCount;
    using KorvaneUtil::detail::checkedSignedCount;
    constexpr std::uint64_t k2to32 = std::uint64_t{1} << 32;
    EXPECT_EQ(checkedCount<std::string>(0), 0u);
    EXPECT_EQ(checkedCount<std::string>(k2to32 - 1), 0xFFFFFFFFu);
    try {
        checkedCount<std::wstring>(k2to32);
        ADD_FAILURE() << "2^32 units accepted";
    } catch (const SerializerException& e) {
        EXPECT_EQ(std::string(e.what()),
                  messageFor("class std::basic_string<wchar_t,struct std::char_traits<wchar_t>,"
                             "class std::allocator<wchar_t> >"));
    }
    EXPECT_THROW(checkedCount<std::set<int>>(k2to32 + 5), SerializerException);

    // A body's counts are signed.
    EXPECT_EQ(checkedSignedCount<KorvaneGeometry::SolidBody>(0x7FFFFFFF), INT_MAX);
    try {
        checkedSignedCount<KorvaneGeometry::SolidBody>(0x80000000u);
        ADD_FAILURE() << "2^31 accepted for a signed count";
    } catch (const SerializerException& e) {
        EXPECT_EQ(std::string(e.what()), messageFor("struct KorvaneGeometry::SolidBody"));
    }
}
