#include "LaunchViewer.h"
#include "NarrowText.h"
#include "Win32.h"

#include "PrintedValue.h"
#include "RecorderProgram.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <clocale>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#ifdef _WIN32
#include <process.h>
#else
#include "OpenHandles.h"
#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

using RecorderProgram::kRecorder;
using RecorderProgram::kViewer;
using RecorderProgram::readLines;
using RecorderProgram::testProgramDirectory;
using RecorderProgram::waitFor;

#ifdef _WIN32
int processId() {
    return _getpid();
}
#else
int processId() {
    return ::getpid();
}
#endif

// The narrow text of a path as the run puts it on the command line: through the runtime's
// conversion on Windows, the bytes of the name elsewhere.
std::string narrowOf(const fs::path& path) {
#ifdef _WIN32
    return Velmora::exactNarrowText(path.wstring()).value_or("");
#else
    return path.string();
#endif
}

// An install directory with the recorder in place of the application, and the narrow texts the
// export run would put on the command line.
class LaunchViewer : public testing::Test {
protected:
    void SetUp() override { makeInstall("tarvelo install "); }

    void makeInstall(const fs::path& prefix) {
        static std::atomic<int> counter{0};
        fs::path name = prefix;
        name += std::to_string(processId()) + "-" + std::to_string(counter++);
        dir = fs::temp_directory_path() / name;
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::copy_file(testProgramDirectory() / kRecorder, dir / kViewer);
        fs::permissions(dir / kViewer, fs::perms::owner_all, fs::perm_options::add);
        installDir = narrowOf(dir);
        exchangePath = dir / "MODEL.tvl";
        exchangeFile = narrowOf(exchangePath);
    }

    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    std::string commandLine(bool deleteAfterUse) const {
        std::string line = "\"" + installDir + "\\Tarvelo.exe\" \"" + exchangeFile + "\"";
        return deleteAfterUse ? line + " -d" : line;
    }

    // Lets the recorder go on and returns what it recorded.
    std::vector<std::string> recorded() const {
        fs::path go = exchangePath;
        go += ".go";
        std::ofstream(go).put('1');
        fs::path args = exchangePath;
        args += ".args";
        EXPECT_TRUE(waitFor(args));
        return readLines(args);
    }

    fs::path dir;
    fs::path exchangePath;
    std::string installDir;
    std::string exchangeFile;
};

#ifndef _WIN32
// Under Wine the process's handle count reads 0 whatever is open, so only the platform layer's
// own count shows that both handles were closed.
std::size_t handleCount() {
    return Platform::openProcessHandleCount();
}
// Started programs must not stay behind as children of the host.
bool hasChildren() {
    return !(::waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD);
}
#endif

// One start of the application: the folder it is installed in, and whether it is told to delete
// the file.
struct StartCase {
    const char* name;
    const char8_t* installPrefix;
    bool deleteAfterUse;
};

void PrintTo(const StartCase& c, std::ostream* os) {
    const std::u8string prefix = c.installPrefix;
    *os << c.name << ": installed in \"" << std::string(prefix.begin(), prefix.end()) << "...\""
        << (c.deleteAfterUse ? " with -d" : " without -d");
}

class LaunchViewerStart : public LaunchViewer, public testing::WithParamInterface<StartCase> {
protected:
    void SetUp() override { makeInstall(fs::path(GetParam().installPrefix)); }
};

// The application is found and gets the path of the file as it is named on disk, also with
// characters beyond Latin-1 in the C locale; the start does not wait and keeps nothing.
TEST_P(LaunchViewerStart, StartsTheApplicationWithoutWaitingAndKeepsNoHandle) {
    const StartCase& c = GetParam();
    ASSERT_STREQ(std::setlocale(LC_ALL, nullptr), "C");
    ASSERT_FALSE(installDir.empty());
    ASSERT_TRUE(launchViewer(commandLine(c.deleteAfterUse)));
#ifndef _WIN32
    EXPECT_EQ(handleCount(), 0u);
    EXPECT_FALSE(hasChildren());
#endif
    // The recorder waits for the go file, so nothing can be recorded yet unless it was waited for.
    fs::path args = exchangePath;
    EXPECT_FALSE(fs::exists(args += ".args"));
    std::vector<std::string> expected = {exchangeFile};
    if (c.deleteAfterUse) {
        expected.push_back("-d");
    }
    EXPECT_EQ(recorded(), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, LaunchViewerStart,
                         testing::Values(StartCase{"WithDeletion", u8"tarvelo install ", true},
                                         StartCase{"WithoutDeletion", u8"tarvelo install ", false},
                                         StartCase{"OutsideAscii",
                                                   u8"tarvelo \u00e9\u2013\u20ac\u0152 ", false}),
                         PrintedValue::caseName<StartCase>);

TEST_F(LaunchViewer, MissingApplicationFails) {
    fs::remove(dir / kViewer);
    EXPECT_FALSE(launchViewer(commandLine(true)));
#ifndef _WIN32
    EXPECT_EQ(handleCount(), 0u);
    EXPECT_FALSE(hasChildren());
#endif
}

TEST(WidenCommandLine, AsciiStaysUnitForUnit) {
    std::string ascii;
    for (int c = 1; c < 128; ++c) {
        ascii.push_back(static_cast<char>(c));
    }
    std::optional<std::wstring> wide = Velmora::widenCommandLine(ascii);
    ASSERT_TRUE(wide);
    ASSERT_EQ(wide->size(), ascii.size());
    for (std::size_t i = 0; i < ascii.size(); ++i) {
        EXPECT_EQ(static_cast<unsigned>((*wide)[i]), static_cast<unsigned>(ascii[i]));
    }
}

TEST(WidenCommandLine, EmbeddedNulIsRefused) {
    EXPECT_EQ(Velmora::widenCommandLine(std::string("\"a\"\0 \"b\"", 9)), std::nullopt);
}

// The command line is read in the code page of the runtime's conversion that made its paths,
// whatever the C locale (these tests run in "C"), and only bytes that read back as themselves
// pass.
TEST(WidenCommandLine, BytesOutsideAsciiAreCharactersOfTheRuntimesCodePage) {
    ASSERT_STREQ(std::setlocale(LC_ALL, nullptr), "C");
#ifdef _WIN32
    ASSERT_EQ(GetACP(), 1252u) << "the bytes below are those of code page 1252";
    EXPECT_EQ(Velmora::widenCommandLine("\x96\x80\x8C\xC4"),
              std::wstring(L"\u2013\u20ac\u0152\u00c4"));
#else
    EXPECT_EQ(Velmora::widenCommandLine("\xE2\x80\x93\xE2\x82\xAC\xC5\x92\xC3\x84"),
              std::wstring(L"\u2013\u20ac\u0152\u00c4"));
    EXPECT_EQ(Velmora::widenCommandLine("\xC3"), std::nullopt);
    EXPECT_EQ(Velmora::widenCommandLine("\xED\xA0\x80"), std::nullopt); // an encoded surrogate
    EXPECT_EQ(Velmora::widenCommandLine("\xC0\xAF"), std::nullopt);     // an overlong "/"
#endif
}

} // namespace
