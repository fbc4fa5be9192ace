#include "LaunchViewer.h"
#include "Win32.h"

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

// An install directory with the recorder in place of the application, and the narrow texts the
// export run would put on the command line.
class LaunchViewer : public testing::Test {
protected:
    void SetUp() override { makeInstall("tarvelo install "); }

    void makeInstall(const std::string& prefix) {
        static std::atomic<int> counter{0};
        dir = fs::temp_directory_path() /
              fs::path(prefix + std::to_string(processId()) + "-" + std::to_string(counter++));
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::copy_file(testProgramDirectory() / kRecorder, dir / kViewer);
        fs::permissions(dir / kViewer, fs::perms::owner_all, fs::perm_options::add);
        installDir = dir.string();
        exchangeFile = (dir / "MODEL.tvl").string();
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
        std::ofstream(exchangeFile + ".go").put('1');
        fs::path args = exchangeFile + ".args";
        EXPECT_TRUE(waitFor(args));
        return readLines(args);
    }

    fs::path dir;
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

TEST_F(LaunchViewer, StartsTheApplicationWithoutWaitingAndKeepsNoHandle) {
    ASSERT_TRUE(launchViewer(commandLine(true)));
#ifndef _WIN32
    EXPECT_EQ(handleCount(), 0u);
    EXPECT_FALSE(hasChildren());
#endif
    // The recorder waits for the go file, so nothing can be recorded yet unless it was waited for.
    EXPECT_FALSE(fs::exists(exchangeFile + ".args"));
    EXPECT_EQ(recorded(), (std::vector<std::string>{exchangeFile, "-d"}));
}

TEST_F(LaunchViewer, WithoutDeletionThePathIsTheLastArgument) {
    ASSERT_TRUE(launchViewer(commandLine(false)));
    EXPECT_EQ(recorded(), (std::vector<std::string>{exchangeFile}));
}

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

#ifndef _WIN32
class LocaleUtf8 : public LaunchViewer {
protected:
    void SetUp() override {
        ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
        makeInstall("tarvelo \xC3\xA9t\xC3\xA9 ");
    }
    void TearDown() override {
        std::setlocale(LC_ALL, "C");
        LaunchViewer::TearDown();
    }
};

// Bytes outside ASCII are read as characters of the locale, so the paths reach the application
// as they are on disk.
TEST_F(LocaleUtf8, PathsOutsideAsciiReachTheApplication) {
    EXPECT_EQ(Velmora::widenCommandLine("\xC3\xA9"), std::wstring(L"\u00E9"));
    EXPECT_EQ(Velmora::widenCommandLine("\xC3"), std::nullopt);
    ASSERT_TRUE(launchViewer(commandLine(false)));
    EXPECT_EQ(recorded(), (std::vector<std::string>{exchangeFile}));
}
#endif

} // namespace
