// tvlsummary as a user runs it: each summary starts with the path it read, a file it cannot read
// is named with the reason, names outside ASCII in the C locale, output that cannot be written.
#include "ChildProcess.h"
#include "HexBytes.h"
#include "TempDir.h"
#include "Utf8Path.h"
#include "WorkedExample.h"

#include <gtest/gtest.h>

#include <fstream>
#include <system_error>

namespace {

namespace fs = std::filesystem;

const fs::path kTvlsummary = TVLSUMMARY_PROGRAM;
using ProgramText::utf8Path;

// The worked example's summary, counted by hand from its fixture.
const char* const kWorkedSummary =
    "BOX (version 1.5, source X)\n"
    "nodes 0, components 1, parts 1, bodies 1, surfaces 1, points 3, triangles 1\n";

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

void writeBytes(const fs::path& file, const TvlTest::Bytes& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// Runs in the test's folder, so that relative paths name its files.
class TvlSummaryTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(scratch);
        fs::current_path(dir.path());
    }
    void TearDown() override { fs::current_path(start_); }

    TestProcess::Result tvlsummary(const std::vector<std::string>& arguments,
                                   const TestProcess::Options& options = {}) {
        TestProcess::Result r = TestProcess::run(kTvlsummary, arguments, scratch, options);
        lastRun_ = TestProcess::describe(r);
        return r;
    }
    std::string lastRun() const { return lastRun_; }
    fs::path workedExample(const fs::path& name) {
        writeBytes(dir / name, TvlTest::hexBytes(TvlTest::kWorkedExampleHex));
        return dir / name;
    }

    TvlTest::TempDir dir{"tvlsummary"};
    const fs::path scratch = dir / "scratch";

private:
    const fs::path start_ = fs::current_path();
    std::string lastRun_;
};

TEST_F(TvlSummaryTest, EachSummaryStartsWithThePathAsGiven) {
    workedExample("a.tvl");
    fs::create_directories(dir / "sub");
    workedExample("sub/b.tvl");
    // Relative to the current folder (the test's folder), and absolute.
    const std::string absolute = utf8Path(dir / "sub" / "b.tvl");
    TestProcess::Result r = tvlsummary({"a.tvl", absolute});
    EXPECT_EQ(r.exitCode, 0) << lastRun();
    EXPECT_EQ(r.out, "a.tvl:\n" + std::string(kWorkedSummary) + absolute + ":\n" + kWorkedSummary);
    EXPECT_EQ(r.err, "");
}

// Names in Greek, Cyrillic and CJK (beyond the Windows code page 1252), in the C locale: the
// file is found and its path is shown as it was given.
TEST_F(TvlSummaryTest, NamesOutsideAsciiAreReadAndShownInTheCLocale) {
    const std::u8string greekCyrillicCjk =
        u8"\u03b4\u03bf\u03ba\u03b9\u03bc\u03ae-\u0444\u0430\u0439\u043b-\u6a21\u578b.tvl";
    const fs::path file = workedExample(fs::path(greekCyrillicCjk));
    const std::string shown(greekCyrillicCjk.begin(), greekCyrillicCjk.end());
    TestProcess::Result r = tvlsummary({utf8Path(file)}, TestProcess::cLocale());
    EXPECT_EQ(r.exitCode, 0) << lastRun();
    EXPECT_EQ(r.out, utf8Path(file) + ":\n" + kWorkedSummary) << lastRun();
    // A missing one of such a name is named as given too.
    TestProcess::Result missing = tvlsummary({"\xce\xb1" + shown}, TestProcess::cLocale());
    EXPECT_EQ(missing.exitCode, 2) << lastRun();
    EXPECT_TRUE(contains(missing.err, "tvlsummary: \xce\xb1" + shown + ": cannot read the file: "))
        << lastRun();
}

// What cannot be read is named with the system's reason, or with what stands at the path; a
// file that is no exchange file says where it went wrong. The others are still summarized, and
// the status says that one failed.
TEST_F(TvlSummaryTest, AFileThatCannotBeReadIsNamedWithItsReason) {
    struct Case {
        const char* name;
        std::string argument;
        std::string error;
    };
    fs::create_directories(dir / "folder");
    std::ofstream(dir / "text.tvl") << "no exchange file";
    TvlTest::Bytes truncated = TvlTest::hexBytes(TvlTest::kWorkedExampleHex);
    truncated.pop_back();
    writeBytes(dir / "short.tvl", truncated);
    std::vector<Case> cases = {
        {"a folder", "folder", "tvlsummary: folder: cannot read the file: it is a directory\n"},
        {"a missing file", "absent.tvl",
         "tvlsummary: absent.tvl: cannot read the file: " +
             std::make_error_code(std::errc::no_such_file_or_directory).message() + "\n"},
        {"text", "text.tvl",
         "tvlsummary: text.tvl: no valid exchange file: unknown version text \"no \" at offset "
         "0\n"},
        {"a file one byte short", "short.tvl",
         // The counts at 370 need 3 * 24 + 16 bytes from 378; 465 - 378 are left.
         "tvlsummary: short.tvl: no valid exchange file: body mesh of 3 points and 1 triangles "
         "cannot fit in the 87 bytes left at offset 378\n"},
    };
#if !defined(_WIN32)
    cases.push_back({"a device", "/dev/zero",
                     "tvlsummary: /dev/zero: cannot read the file: it is a character device\n"});
#endif
    workedExample("good.tvl");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestProcess::Options options;
        options.timeoutSeconds = 30;
        TestProcess::Result r = tvlsummary({c.argument, "good.tvl"}, options);
        EXPECT_EQ(r.exitCode, 2) << lastRun();
        EXPECT_EQ(r.err, c.error) << lastRun();
        EXPECT_EQ(r.out, "good.tvl:\n" + std::string(kWorkedSummary)) << lastRun();
    }
}

TEST_F(TvlSummaryTest, AnswersHelpAndRefusesABadCommandLine) {
    TestProcess::Result help = tvlsummary({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(contains(help.out, "Usage: tvlsummary")) << help.out;
    EXPECT_TRUE(contains(help.out, "<path>:")) << help.out;
    EXPECT_TRUE(contains(help.out, "3 when\nthe output cannot be written")) << help.out;
    TestProcess::Result none = tvlsummary({});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(contains(none.err, "usage: tvlsummary")) << none.err;
    TestProcess::Result unknown = tvlsummary({"--count", "a.tvl"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(contains(unknown.err, "--count")) << unknown.err;
}

#if !defined(_WIN32)
// Output that cannot be written is an error whose reason is on standard error: the status is 3,
// unless a file could not be read (2 says so already). Through a shell that points the output
// at /dev/full or closes it.
TEST_F(TvlSummaryTest, OutputThatCannotBeWrittenIsAnError) {
    workedExample("good.tvl");
    struct Case {
        const char* name;
        const char* redirection;
        std::vector<std::string> files;
        int status;
        std::string err;
    };
    const std::string noSpace = std::make_error_code(std::errc::no_space_on_device).message();
    // Enough output to fill the C library's buffer, so that the write fails while the program
    // still runs.
    std::vector<std::string> many(200, "good.tvl");
    const std::vector<Case> cases = {
        {"a full device",
         ">/dev/full",
         {"good.tvl"},
         3,
         "tvlsummary: cannot write standard output: " + noSpace + "\n"},
        {"a full device, long output", ">/dev/full", many, 3,
         "tvlsummary: cannot write standard output: " + noSpace + "\n"},
        {"a closed standard output",
         ">&-",
         {"good.tvl"},
         3,
         "tvlsummary: cannot write standard output: " +
             std::make_error_code(std::errc::bad_file_descriptor).message() + "\n"},
        {"help to a full device",
         ">/dev/full",
         {"--help"},
         3,
         "tvlsummary: cannot write standard output: " + noSpace + "\n"},
        {"a missing file and a full device",
         ">/dev/full",
         {"absent.tvl", "good.tvl"},
         2,
         "tvlsummary: absent.tvl: cannot read the file: " +
             std::make_error_code(std::errc::no_such_file_or_directory).message() +
             "\ntvlsummary: cannot write standard output: " + noSpace + "\n"},
        {"the same, standard output written", "", {"good.tvl"}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestProcess::Result r =
            TestProcess::runRedirected(kTvlsummary, c.files, c.redirection, scratch);
        EXPECT_EQ(r.exitCode, c.status) << TestProcess::describe(r);
        EXPECT_EQ(r.err, c.err);
    }
}
#endif

} // namespace
