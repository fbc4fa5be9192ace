#include "BlockWriteBuf.h"
#include "HexBytes.h"
#include "LimitedStreamBuf.h"
#include "SerializerException.h"
#include "TvlLayout.h"
#include "WorkedExample.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

using KorvaneGeometry::BlockWriteBuf;

namespace {

// Records every call it gets and keeps the bytes.
struct RecordingBuf : std::streambuf {
    std::vector<std::streamsize> calls;
    std::string bytes;
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        calls.push_back(n);
        bytes.append(s, static_cast<std::size_t>(n));
        return n;
    }
};

} // namespace

TEST(BlockWriteBuf, HandsBytesOnInOrderInFullBlocks) {
    RecordingBuf target;
    {
        BlockWriteBuf block(target, 8);
        std::ostream out(&block);
        for (int i = 0; i < 10; ++i) {
            out.write("abc", 3); // 30 bytes
        }
        EXPECT_EQ(target.calls, (std::vector<std::streamsize>{8, 8, 8}));
        EXPECT_TRUE(block.flushBlock());
        EXPECT_EQ(target.calls.back(), 6);
        EXPECT_TRUE(block.flushBlock()) << "nothing gathered is nothing to hand on";
        EXPECT_EQ(target.calls.size(), 4u);
        out.write("xy", 2);
    }
    std::string expected;
    for (int i = 0; i < 10; ++i) {
        expected += "abc";
    }
    EXPECT_EQ(target.bytes, expected + "xy") << "the destructor hands on the rest";
}

TEST(BlockWriteBuf, WriteLargerThanABlock) {
    RecordingBuf target;
    BlockWriteBuf block(target, 4);
    std::ostream out(&block);
    out.write("0123456789", 10);
    EXPECT_FALSE(out.fail());
    EXPECT_TRUE(block.flushBlock());
    EXPECT_EQ(target.bytes, "0123456789");
}

TEST(BlockWriteBuf, TargetThatTakesLessFailsTheWriteThatNeededRoom) {
    TvlTest::LimitedStreamBuf target(10);
    BlockWriteBuf block(target, 8);
    std::ostream out(&block);
    out.write("12345678", 8);
    EXPECT_FALSE(out.fail()) << "still in the block";
    out.write("9", 1); // first block handed on whole, 2 bytes room left in the target
    EXPECT_FALSE(out.fail());
    out.write("abcdefgh", 8); // the block fills, and is handed on only in part
    EXPECT_TRUE(out.fail());
    EXPECT_EQ(target.bytes(), "123456789a");
}

TEST(BlockWriteBuf, DiskFullInTheMiddleNamesTheValueBeingWritten) {
    // Blocks of 64 bytes into room for 100: the block ending at 128 cannot be handed on, and
    // the value that needed room there is a double of the component's matrix (58 to 186).
    KorvaneGeometry::CAD_Assembly model;
    TvlTest::buildWorkedExample(model);
    TvlTest::LimitedStreamBuf target(100);
    BlockWriteBuf block(target, 64);
    std::ostream out(&block);
    ArchiveWithVersion<std::ostream> archive{&out, 6, [] { return false; }};
    try {
        KorvaneUtil::serialize(model, archive);
        ADD_FAILURE() << "nothing thrown";
    } catch (const KorvaneUtil::SerializerException& e) {
        EXPECT_EQ(std::string(e.what()), "SerializerException (Write) [auto __cdecl "
                                         "KorvaneUtil::detail::error_while_serializing<double>("
                                         "void)]");
    }
    const TvlTest::Bytes expected = TvlTest::hexBytes(TvlTest::kWorkedExampleHex);
    EXPECT_TRUE(TvlTest::sameBytes(TvlTest::toBytes(target.bytes()),
                                   TvlTest::Bytes(expected.begin(), expected.begin() + 100)));
}
