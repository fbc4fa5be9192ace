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
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
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

// A pipe at the path takes it as a file does: creating is refused at once, before anything is
// opened (opening a pipe to write would wait for a reader), so nothing but a new regular file is
// ever written.
TEST_F(ExportTVLTest, APipeAtThePathIsLeftUntouched) {
    const fs::path path = dir / "pipe.tvl";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    {
        detail::NewFileBuf file;
        EXPECT_EQ(file.create(path), detail::Creation::Taken);
        EXPECT_FALSE(file.isOpen());
        EXPECT_FALSE(file.held().held());
    }
    CAD_Assembly model;
    TvlTest::buildWorkedExample(model);
    TvlFileState state = TvlFileState::Complete;
    EXPECT_NO_THROW(ExportTVL(model, path, state));
    EXPECT_EQ(state, TvlFileState::Untouched);
    EXPECT_EQ(fs::symlink_status(path).type(), fs::file_type::fifo);
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

namespace {

// The identity of the file at a path, read through a descriptor of its own.
std::optional<FileIdentity> identityAt(const fs::path& path) {
#ifdef _WIN32
    const int fd = _wopen(path.c_str(), _O_RDONLY | _O_BINARY);
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
#endif
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<FileIdentity> identity = diskFileIdentity(fd);
#ifdef _WIN32
    _close(fd);
#else
    ::close(fd);
#endif
    return identity;
}

} // namespace

// The write holds the file it created: that removes it, and nothing that took its name
// afterwards.
TEST_F(ExportTVLTest, TheWriteHoldsTheFileItCreated) {
    CAD_Assembly model;
    TvlTest::buildWorkedExample(model);
    const fs::path path = dir / "BOX.tvl";
    TvlFileState state = TvlFileState::Untouched;
    HeldFile created;
    ExportTVL(model, path, state, created);
    ASSERT_EQ(state, TvlFileState::Complete);
    ASSERT_TRUE(created.held());
    EXPECT_EQ(identityAt(path), created.identity());
    writeText(dir / "other.tvl", "someone else's");
    EXPECT_NE(identityAt(dir / "other.tvl"), created.identity());
    EXPECT_FALSE(created.removeAt(dir / "other.tvl"));
    EXPECT_TRUE(created.removeAt(path));
    EXPECT_FALSE(created.held());
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(created.removeAt(path));
    EXPECT_EQ(readText(dir / "other.tvl"), "someone else's");

    // A write that created nothing holds nothing.
    ExportTVL(model, dir / "other.tvl", state, created);
    EXPECT_EQ(state, TvlFileState::Untouched);
    EXPECT_FALSE(created.held());
    EXPECT_FALSE(created.removeAt(dir / "other.tvl"));
    EXPECT_EQ(readText(dir / "other.tvl"), "someone else's");
}

// What stands at the path when the removal comes decides: only the very file written goes.
TEST_F(ExportTVLTest, OnlyTheVeryFileWrittenIsRemoved) {
    CAD_Assembly model;
    TvlTest::buildWorkedExample(model);
    struct Case {
        const char* label;
        // Puts something in the place of the written file (or leaves it).
        void (*replace)(const fs::path& dir, const fs::path& written);
        bool removed;
    };
    // Windows refuses to replace or free the name of a file that is held open; a file moved
    // aside makes way there too.
    const std::vector<Case> cases = {
        {"left as written", [](const fs::path&, const fs::path&) {}, true},
        {"moved aside, another file moved into place",
         [](const fs::path& d, const fs::path& written) {
             fs::rename(written, d / "aside1");
             writeText(d / "moved", "moved into place");
             fs::rename(d / "moved", written);
         },
         false},
        {"moved aside, written anew",
         [](const fs::path& d, const fs::path& written) {
             fs::rename(written, d / "aside2");
             writeText(written, "written anew");
         },
         false},
        {"moved aside, a folder in its place",
         [](const fs::path& d, const fs::path& written) {
             fs::rename(written, d / "aside3");
             fs::create_directory(written);
         },
         false},
        {"moved aside",
         [](const fs::path& d, const fs::path& written) { fs::rename(written, d / "aside4"); },
         false},
#ifndef _WIN32
        {"another file moved over it",
         [](const fs::path& d, const fs::path& written) {
             writeText(d / "moved", "moved over it");
             fs::rename(d / "moved", written);
         },
         false},
        // The system would give a new file the freed identity of the old one at once, were the
        // old one not held.
        {"removed and written anew",
         [](const fs::path&, const fs::path& written) {
             fs::remove(written);
             writeText(written, "written anew");
         },
         false},
        {"removed", [](const fs::path&, const fs::path& written) { fs::remove(written); }, false},
        // The written file moved aside, a link to it in its place: the link is not the file.
        {"moved aside behind a link",
         [](const fs::path& d, const fs::path& written) {
             fs::rename(written, d / "aside5");
             fs::create_symlink(d / "aside5", written);
         },
         false},
#endif
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const fs::path path = dir / ("BOX" + std::to_string(n++) + ".tvl");
        TvlFileState state = TvlFileState::Untouched;
        HeldFile created;
        ExportTVL(model, path, state, created);
        ASSERT_EQ(state, TvlFileState::Complete);
        c.replace(dir.path(), path);
        const fs::file_type before = fs::symlink_status(path).type();
        const std::string content = before == fs::file_type::regular ? readText(path) : "";
        EXPECT_EQ(created.removeAt(path), c.removed);
        if (c.removed) {
            EXPECT_FALSE(fs::exists(fs::symlink_status(path)));
        } else {
            EXPECT_EQ(fs::symlink_status(path).type(), before);
            EXPECT_EQ(before == fs::file_type::regular ? readText(path) : "", content);
        }
    }
    // The written file that was moved aside is never touched.
    for (const char* aside : {"aside1", "aside2", "aside3", "aside4"}) {
        EXPECT_TRUE(sameBytes(loadBytes(dir / aside), hexBytes(TvlTest::kWorkedExampleHex)))
            << aside;
    }
}

// A model with nothing to write: the write removes its own file, and only that.
TEST_F(ExportTVLTest, AModelWithNothingToWriteRemovesOnlyItsOwnFile) {
    CAD_Assembly empty;
    empty.setName("EMPTY");
    empty.nodes.emplace_back().name = "EMPTY";
    TvlFileState state = TvlFileState::Untouched;
    HeldFile created;
    ExportTVL(empty, dir / "EMPTY.tvl", state, created);
    EXPECT_EQ(state, TvlFileState::Removed);
    EXPECT_FALSE(created.held());
    EXPECT_TRUE(fs::is_empty(dir.path()));

    // Its file moved aside and another put at the path before the removal: the other stays,
    // and so does the write's own file, still held and reported as created.
    const fs::path path = dir / "EMPTY.tvl";
    const fs::path aside = dir / "aside.tvl";
    detail::setBeforeRemovalForTesting([&] {
        fs::rename(path, aside);
        writeText(path, "someone else's");
    });
    ExportTVL(empty, path, state, created);
    detail::setBeforeRemovalForTesting({});
    EXPECT_EQ(state, TvlFileState::Created);
    EXPECT_EQ(readText(path), "someone else's");
    ASSERT_TRUE(created.held());
    EXPECT_EQ(identityAt(aside), created.identity());
    EXPECT_TRUE(created.removeAt(aside));
    EXPECT_EQ(readText(path), "someone else's");
}

TEST_F(ExportTVLTest, OnlyARegularDiskFileHasAnIdentity) {
    writeText(dir / "plain", "x");
    EXPECT_TRUE(identityAt(dir / "plain").has_value());
#ifdef _WIN32
    EXPECT_FALSE(identityAt("NUL").has_value());
    EXPECT_FALSE(identityAt(dir / "NUL").has_value());
#else
    EXPECT_FALSE(identityAt("/dev/null").has_value());
    EXPECT_FALSE(identityAt(dir.path()).has_value());
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    EXPECT_FALSE(diskFileIdentity(fds[0]).has_value());
    EXPECT_FALSE(HeldFile::of(fds[0]).held());
    ::close(fds[0]);
    ::close(fds[1]);
#endif
    EXPECT_FALSE(diskFileIdentity(-1).has_value());
    EXPECT_FALSE(HeldFile::of(-1).held());
}

#ifdef _WIN32
// A device name in the folder opens the device, not a file: nothing is written there and the
// write is no complete file.
TEST_F(ExportTVLTest, ADeviceNameIsNoWrittenFile) {
    CAD_Assembly model;
    TvlTest::buildWorkedExample(model);
    for (const char* name : {"NUL.tvl", "nul.tvl", "NUL.x.tvl", "NUL .tvl", "nUl"}) {
        SCOPED_TRACE(name);
        {
            detail::NewFileBuf file;
            EXPECT_EQ(file.create(dir / name), detail::Creation::NotAFile);
            EXPECT_FALSE(file.isOpen());
            EXPECT_FALSE(file.held().held());
        }
        TvlFileState state = TvlFileState::Complete;
        try {
            ExportTVL(model, dir / name, state);
        } catch (const SerializerException& e) {
            EXPECT_EQ(std::string(e.what()), messageFor("char"));
        }
        EXPECT_NE(state, TvlFileState::Complete);
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));
}
#endif
