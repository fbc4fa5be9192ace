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

#ifndef _WIN32
#include "FileSizeLimit.h"
#endif

using namespace KorvaneGeometry;
using KorvaneUtil::SerializerException;
using TvlRead::loadBytes;
using TvlTest::hexBytes;
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

// What the caller learns about the path: whether a file there is its own, and whether it holds
// the whole model.
TEST_F(ExportTVLTest, TheStateTellsWhatTheWriteDidAtThePath) {
    CAD_Assembly worked;
    TvlTest::buildWorkedExample(worked);
    CAD_Assembly empty;
    empty.setName("EMPTY");
    empty.nodes.emplace_back().name = "EMPTY";
    writeText(dir / "file.tvl", "someone else's");
    fs::create_directory(dir / "folder.tvl");

    struct Case {
        const char* name;
        const CAD_Assembly& model;
        TvlFileState state;
        bool fileAfterwards;
    };
    const std::vector<Case> cases = {
        {"new.tvl", worked, TvlFileState::Complete, true},
        {"EMPTY.tvl", empty, TvlFileState::Removed, false},
        {"file.tvl", worked, TvlFileState::Untouched, true},
        {"folder.tvl", worked, TvlFileState::Untouched, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TvlFileState state = TvlFileState::Created;
        EXPECT_NO_THROW(ExportTVL(c.model, dir / c.name, state));
        EXPECT_EQ(state, c.state);
        EXPECT_EQ(fs::is_regular_file(dir / c.name), c.fileAfterwards);
    }
    EXPECT_TRUE(sameBytes(loadBytes(dir / "new.tvl"), hexBytes(TvlTest::kWorkedExampleHex)));
    EXPECT_EQ(readText(dir / "file.tvl"), "someone else's");

    TvlFileState state = TvlFileState::Complete;
    EXPECT_THROW(ExportTVL(worked, dir / "missing" / "BOX.tvl", state), SerializerException);
    EXPECT_EQ(state, TvlFileState::Untouched);
}

#ifndef _WIN32
// A link takes the path by itself, whatever it leads to: a link to nothing, or to itself, is
// neither written through nor replaced, and the write is no failure.
TEST_F(ExportTVLTest, ALinkTakesThePathWhereverItLeads) {
    CAD_Assembly model;
    TvlTest::buildWorkedExample(model);
    fs::create_symlink(dir / "elsewhere.tvl", dir / "dangling.tvl");
    fs::create_symlink("self.tvl", dir / "self.tvl");
    for (const char* name : {"dangling.tvl", "self.tvl"}) {
        SCOPED_TRACE(name);
        const fs::path target = fs::read_symlink(dir / name);
        TvlFileState state = TvlFileState::Complete;
        EXPECT_NO_THROW(ExportTVL(model, dir / name, state));
        EXPECT_EQ(state, TvlFileState::Untouched);
        EXPECT_TRUE(fs::is_symlink(dir / name));
        EXPECT_EQ(fs::read_symlink(dir / name), target);
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "elsewhere.tvl")));
}

// The disk fills up while the last block goes out: the failure names the whole assembly, and the
// part written stays, reported as this call's own unfinished file.
TEST_F(ExportTVLTest, AFailedFinalFlushIsReportedAndTheFileIsTheCallersOwn) {
    CAD_Assembly model;
    TvlTest::buildWorkedExample(model);
    const fs::path path = dir / "BOX.tvl";
    TvlFileState state = TvlFileState::Untouched;
    std::string message;
    {
        TvlTest::FileSizeLimit limit(64);
        try {
            ExportTVL(model, path, state);
        } catch (const SerializerException& e) {
            message = e.what();
        }
    }
    EXPECT_EQ(message, messageFor("class KorvaneGeometry::CAD_Assembly"));
    EXPECT_EQ(state, TvlFileState::Created);
    EXPECT_EQ(fs::file_size(path), 64u);
}
#endif

// A file that appears at the path is never opened, truncated or written.
TEST_F(ExportTVLTest, CreationNeverTakesAFileThatIsThere) {
    const fs::path path = dir / "late.tvl";
    writeText(path, "arrived meanwhile");
    {
        detail::NewFileBuf file;
        EXPECT_EQ(file.create(path), detail::Creation::Taken);
        EXPECT_FALSE(file.isOpen());
        EXPECT_EQ(file.sputn("abc", 3), 0);
        EXPECT_FALSE(file.close());
    }
    EXPECT_EQ(readText(path), "arrived meanwhile");

    const fs::path fresh = dir / "fresh.tvl";
    detail::NewFileBuf created;
    ASSERT_EQ(created.create(fresh), detail::Creation::Created);
    EXPECT_EQ(created.sputn("abc", 3), 3);
    EXPECT_TRUE(created.close());
    EXPECT_EQ(readText(fresh), "abc");
}

TEST_F(ExportTVLTest, CreationInAMissingDirectoryCreatesNothing) {
    detail::NewFileBuf file;
    EXPECT_EQ(file.create(dir / "no" / "such.tvl"), detail::Creation::Failed);
    EXPECT_FALSE(file.isOpen());
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(ExportTVLFinish, SuccessfulFinishWritesEverything) {
    TvlTest::TempDir dir("finish");
    detail::NewFileBuf file;
    ASSERT_EQ(file.create(dir / "f"), detail::Creation::Created);
    BlockWriteBuf block(file, 4);
    std::ostream stream(&block);
    stream.write("abcdefghij", 10);
    EXPECT_NO_THROW(detail::finishFile(block, file));
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(readText(dir / "f"), "abcdefghij");
}
