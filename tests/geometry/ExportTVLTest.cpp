#include "ExportTVL.h"
#include "HexBytes.h"
#include "SerializerException.h"
#include "TempDir.h"
#include "TvlFile.h"
#include "TvlReader.h"
#include "WorkedExample.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>

using namespace KorvaneGeometry;
using KorvaneUtil::SerializerException;
using TvlTest::hexBytes;
using TvlTest::loadBytes;
using TvlTest::sameBytes;
namespace fs = std::filesystem;

namespace {

std::string messageFor(const std::string& typeName) {
    return "SerializerException (Write) [auto __cdecl "
           "KorvaneUtil::detail::error_while_serializing<" +
           typeName + ">(void)]";
}

void writeText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ExportTVLTest : public ::testing::Test {
protected:
    TvlTest::TempDir dir{"export"};
};

} // namespace

TEST_F(ExportTVLTest, WorkedExampleIsExactlyItsFixture) {
    CAD_Assembly model;
    TvlTest::buildWorkedExample(model);
    const fs::path path = dir / "BOX.tvl";
    ExportTVL(model, path);
    const auto expected = hexBytes(TvlTest::kWorkedExampleHex);
    ASSERT_EQ(expected.size(), 466u) << "the fixture itself";
    EXPECT_TRUE(sameBytes(loadBytes(path), expected));
    EXPECT_TRUE(model.components.empty());
}

TEST_F(ExportTVLTest, ExistingFileIsLeftUntouched) {
    const fs::path path = dir / "taken.tvl";
    writeText(path, "someone else's");
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(24));
    const auto stamp = fs::last_write_time(path); // as precise as the file system keeps it

    CAD_Assembly model;
    TvlTest::buildWorkedExample(model);
    EXPECT_NO_THROW(ExportTVL(model, path));
    EXPECT_EQ(readText(path), "someone else's");
    EXPECT_EQ(fs::last_write_time(path), stamp);
}

TEST_F(ExportTVLTest, ExistingDirectoryIsLeftUntouched) {
    const fs::path path = dir / "folder.tvl";
    fs::create_directory(path);
    writeText(path / "inside", "x");

    CAD_Assembly model;
    TvlTest::buildWorkedExample(model);
    EXPECT_NO_THROW(ExportTVL(model, path));
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(readText(path / "inside"), "x");
    EXPECT_EQ(std::distance(fs::directory_iterator(path), fs::directory_iterator()), 1);
}

TEST_F(ExportTVLTest, MissingDirectoryThrowsNamingCharAndLeavesNoFile) {
    const fs::path path = dir / "missing" / "BOX.tvl";
    CAD_Assembly model;
    TvlTest::buildWorkedExample(model);
    try {
        ExportTVL(model, path);
        ADD_FAILURE() << "nothing thrown";
    } catch (const SerializerException& e) {
        EXPECT_EQ(std::string(e.what()), messageFor("char"));
    }
    EXPECT_FALSE(fs::exists(dir / "missing"));
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(ExportTVLTest, NoComponentsAndNoPartsLeavesNoFile) {
    CAD_Assembly model;
    model.setName("EMPTY");
    model.nodes.emplace_back().name = "EMPTY";
    const fs::path path = dir / "EMPTY.tvl";
    EXPECT_NO_THROW(ExportTVL(model, path));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(ExportTVLTest, NamesOutsideAsciiAndBeyondTheBasicPlane) {
    CAD_Assembly model;
    TvlTest::buildWorkedExample(model);
    // Wide on Windows, UTF-8 elsewhere: never through the ANSI code page.
    const fs::path name(u8"Geh\u00e4use_\u4e2d_\U0001F600.tvl");
    ExportTVL(model, dir / name);
    std::vector<fs::path> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        names.push_back(entry.path().filename());
    }
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0], name);
    EXPECT_TRUE(names[0].u8string() == name.u8string());
    EXPECT_TRUE(sameBytes(loadBytes(dir / name), hexBytes(TvlTest::kWorkedExampleHex)));
}

// A link to nothing does not exist for the existence test; the file is still not created
// through it, somewhere the link chose.
TEST_F(ExportTVLTest, DanglingLinkIsNotWrittenThrough) {
#ifdef _WIN32
    GTEST_SKIP() << "links need privileges on Windows";
#else
    const fs::path target = dir / "elsewhere.tvl";
    const fs::path link = dir / "BOX.tvl";
    fs::create_symlink(target, link);
    CAD_Assembly model;
    TvlTest::buildWorkedExample(model);
    try {
        ExportTVL(model, link);
        ADD_FAILURE() << "nothing thrown";
    } catch (const SerializerException& e) {
        EXPECT_EQ(std::string(e.what()), messageFor("char"));
    }
    EXPECT_FALSE(fs::exists(target));
    EXPECT_TRUE(fs::is_symlink(link));
#endif
}

// The file that appears between the existence test and the open is never truncated.
TEST_F(ExportTVLTest, OpenNeverTruncatesAFileThatAppeared) {
    const fs::path path = dir / "late.tvl";
    writeText(path, "arrived meanwhile");
    std::ofstream stream;
    EXPECT_FALSE(detail::openNewFile(stream, path));
    EXPECT_TRUE(stream.fail());
    EXPECT_FALSE(stream.is_open());
    EXPECT_EQ(readText(path), "arrived meanwhile");

    const fs::path fresh = dir / "fresh.tvl";
    std::ofstream created;
    ASSERT_TRUE(detail::openNewFile(created, fresh));
    created.write("abc", 3);
    created.close();
    EXPECT_FALSE(created.fail());
    EXPECT_EQ(readText(fresh), "abc");
}

TEST_F(ExportTVLTest, OpenInAMissingDirectoryCreatesNothing) {
    std::ofstream stream;
    EXPECT_FALSE(detail::openNewFile(stream, dir / "no" / "such.tvl"));
    EXPECT_TRUE(stream.fail());
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

// The last block reaches the disk only at the end; a full disk there is a failure too.
TEST(ExportTVLFinish, FailedFinalFlushIsReported) {
#ifdef _WIN32
    GTEST_SKIP() << "needs /dev/full";
#else
    std::ofstream file("/dev/full", std::ios::binary);
    ASSERT_TRUE(file.is_open());
    BlockWriteBuf block(*file.rdbuf(), 64);
    std::ostream stream(&block);
    stream.write("gathered", 8);
    ASSERT_FALSE(stream.fail()) << "the bytes wait in the block";
    try {
        detail::finishFile(block, file);
        ADD_FAILURE() << "nothing thrown";
    } catch (const SerializerException& e) {
        EXPECT_EQ(std::string(e.what()), messageFor("class KorvaneGeometry::CAD_Assembly"));
    }
#endif
}

TEST(ExportTVLFinish, SuccessfulFinishWritesEverything) {
    TvlTest::TempDir dir("finish");
    std::ofstream file(dir / "f", std::ios::binary);
    BlockWriteBuf block(*file.rdbuf(), 4);
    std::ostream stream(&block);
    stream.write("abcdefghij", 10);
    EXPECT_NO_THROW(detail::finishFile(block, file));
    EXPECT_EQ(readText(dir / "f"), "abcdefghij");
}
