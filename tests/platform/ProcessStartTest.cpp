#include "OpenHandles.h"
#include "PrintedValue.h"
#include "RecorderProgram.h"
#include "Utf8.h"
#include "Win32Api.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>

#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using RecorderProgram::readLines;
using RecorderProgram::waitFor;

bool hasChildren() {
    return !(::waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD);
}

// The parent process id of a running process, from /proc.
int parentOf(DWORD pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("PPid:", 0) == 0) {
            return std::stoi(line.substr(5));
        }
    }
    return -1;
}

class CreateProcess : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tarvelo start XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        fs::copy_file(ARG_RECORDER, dir / "recorder");
        fs::permissions(dir / "recorder", fs::perms::owner_all, fs::perm_options::add);
        base = (dir / "out").string();
    }
    void TearDown() override {
        EXPECT_EQ(Platform::openProcessHandleCount(), 0u);
        fs::remove_all(dir);
    }

    BOOL start(std::wstring line, PROCESS_INFORMATION& info) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        info = PROCESS_INFORMATION{};
        return CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &info);
    }

    static std::wstring wide(const std::string& text) { return {text.begin(), text.end()}; }

    std::vector<std::string> recorded() const {
        std::ofstream(base + ".go").put('1');
        EXPECT_TRUE(waitFor(base + ".args"));
        return readLines(base + ".args");
    }

    fs::path dir;
    std::string base;
};

TEST_F(CreateProcess, StartsTheProgramWithTheSplitArguments) {
    PROCESS_INFORMATION info;
    std::wstring line = L"\"" + wide(dir.string()) + L"\\recorder.exe\" \"" + wide(base) +
                        L"\" plain \"with blank\" a\\\"quote \"\" back\\\\slash";
    ASSERT_TRUE(start(line, info));
    EXPECT_NE(info.hProcess, nullptr);
    EXPECT_NE(info.hThread, nullptr);
    EXPECT_NE(info.hProcess, info.hThread);
    EXPECT_EQ(Platform::openProcessHandleCount(), 2u);

    // Not waited for, and not a child of ours: nothing is left to reap.
    EXPECT_FALSE(hasChildren());
    EXPECT_NE(parentOf(info.dwProcessId), ::getpid());
    EXPECT_FALSE(fs::exists(base + ".args"));

    EXPECT_TRUE(CloseHandle(info.hProcess));
    EXPECT_TRUE(CloseHandle(info.hThread));
    EXPECT_FALSE(CloseHandle(info.hThread));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(recorded(), (std::vector<std::string>{base, "plain", "with blank", "a\"quote", "",
                                                    "back\\\\slash"}));
}

TEST_F(CreateProcess, FailureIsReportedWithItsReason) {
    std::ofstream(dir / "text") << "not a program\n";
    fs::permissions(dir / "text", fs::perms::owner_all, fs::perm_options::add);
    std::ofstream(dir / "locked") << "#!/bin/sh\n";
    fs::permissions(dir / "locked",
                    fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::remove);
    fs::create_directory(dir / "folder");

    struct Case {
        std::string program;
        LONG error;
    };
    const std::vector<Case> cases = {
        {(dir / "missing.exe").string(), ERROR_FILE_NOT_FOUND},
        {(dir / "missing" / "x").string(), ERROR_FILE_NOT_FOUND},
        {(dir / "text").string(), ERROR_BAD_EXE_FORMAT},
        {(dir / "locked").string(), ERROR_ACCESS_DENIED},
        {(dir / "folder").string(), ERROR_ACCESS_DENIED},
        // The folder of the program is a file: every candidate fails with ENOTDIR.
        {(dir / "text" / "Tarvelo.exe").string(), ERROR_PATH_NOT_FOUND},
        {(dir / "text" / "Tarvelo").string(), ERROR_PATH_NOT_FOUND},
        {"", ERROR_FILE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program);
        PROCESS_INFORMATION info;
        EXPECT_FALSE(start(L"\"" + wide(c.program) + L"\" \"" + wide(base) + L"\"", info));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(c.error));
        EXPECT_EQ(info.hProcess, nullptr);
        EXPECT_EQ(Platform::openProcessHandleCount(), 0u);
        EXPECT_FALSE(hasChildren());
    }
}

// A candidate whose folder is a file names no program, like a missing one: the next candidate
// is tried. Here "Tarvelo.exe" is a link into a file, and "Tarvelo" is the program.
TEST_F(CreateProcess, ACandidateWhoseFolderIsAFileIsPassedOver) {
    std::ofstream(dir / "text") << "a file, no folder\n";
    fs::create_directory(dir / "app");
    fs::create_symlink(dir / "text" / "inside", dir / "app" / "Tarvelo.exe");
    fs::copy_file(dir / "recorder", dir / "app" / "Tarvelo");
    PROCESS_INFORMATION info;
    ASSERT_TRUE(
        start(L"\"" + wide((dir / "app").string()) + L"\\Tarvelo.exe\" \"" + wide(base) + L"\" one",
              info));
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    EXPECT_EQ(recorded(), (std::vector<std::string>{base, "one"}));
}

// Descriptors of the starting process stay with it: the program holds only what it opens
// itself, unless inheriting is asked for.
TEST_F(CreateProcess, TheProgramInheritsNoDescriptors) {
    const int open = ::open((dir / "recorder").c_str(), O_RDONLY); // inheritable on purpose
    ASSERT_GE(open, 0);
    const int probe = 200;
    ASSERT_EQ(::dup2(open, probe), probe);
    ::close(open);
    const std::string report = (dir / "fds").string();
    for (BOOL inherit : {FALSE, TRUE}) {
        SCOPED_TRACE(inherit);
        fs::remove(report);
        std::wstring line = L"\"/bin/sh\" -c \"if [ -e /proc/self/fd/" + std::to_wstring(probe) +
                            L" ]; then echo inherited; else echo closed; fi > '" + wide(report) +
                            L".part' && mv '" + wide(report) + L".part' '" + wide(report) + L"'\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, inherit, 0, nullptr,
                                   nullptr, &startup, &info));
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
        ASSERT_TRUE(waitFor(report));
        EXPECT_EQ(readLines(report), std::vector<std::string>{inherit ? "inherited" : "closed"});
    }
    ::close(probe);
}

// A request the layer cannot carry out as asked is refused before anything starts.
struct RefusedCase {
    const char* name;
    bool commandLine = true;        // false: neither a program name nor a command line
    wchar_t* environment = nullptr; // an environment block of the program's own
    DWORD creationFlags = 0;
    bool startupInformation = true;
    bool processInformation = true;
    DWORD error;
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.name << ": " << (c.commandLine ? "a command line" : "no command line")
        << (c.environment != nullptr ? ", an environment" : "") << ", flags " << c.creationFlags
        << (c.startupInformation ? "" : ", no start-up information")
        << (c.processInformation ? "" : ", no process information") << " -> error " << c.error;
}

wchar_t g_environment[] = L"A=1\0";

class CreateProcessRefuses : public CreateProcess,
                             public testing::WithParamInterface<RefusedCase> {};

TEST_P(CreateProcessRefuses, WithTheErrorOfTheRequest) {
    const RefusedCase& c = GetParam();
    std::wstring line = L"\"" + wide((dir / "recorder").string()) + L"\" \"" + wide(base) + L"\"";
    STARTUPINFOW startup{};
    PROCESS_INFORMATION info{};
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(CreateProcessW(nullptr, c.commandLine ? line.data() : nullptr, nullptr, nullptr,
                                FALSE, c.creationFlags, c.environment, nullptr,
                                c.startupInformation ? &startup : nullptr,
                                c.processInformation ? &info : nullptr));
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(info.hProcess, nullptr);
    EXPECT_FALSE(hasChildren());
    EXPECT_FALSE(fs::exists(base + ".args.part"));
}

INSTANTIATE_TEST_SUITE_P(Cases, CreateProcessRefuses,
                         testing::Values(RefusedCase{.name = "OwnEnvironment",
                                                     .environment = g_environment,
                                                     .error = ERROR_NOT_SUPPORTED},
                                         RefusedCase{.name = "CreationFlags",
                                                     .creationFlags = 0x10,
                                                     .error = ERROR_NOT_SUPPORTED},
                                         RefusedCase{.name = "NoProcessInformation",
                                                     .processInformation = false,
                                                     .error = ERROR_INVALID_PARAMETER},
                                         RefusedCase{.name = "NoStartupInformation",
                                                     .startupInformation = false,
                                                     .error = ERROR_INVALID_PARAMETER},
                                         RefusedCase{.name = "NoCommandLine",
                                                     .commandLine = false,
                                                     .error = ERROR_INVALID_PARAMETER}),
                         PrintedValue::caseName<RefusedCase>);

TEST_F(CreateProcess, CurrentDirectoryIsHandedOn) {
    std::wstring line = L"\"" + wide((dir / "recorder").string()) + L"\" out";
    std::wstring where = wide(dir.string());
    STARTUPINFOW startup{};
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               where.c_str(), &startup, &info));
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    EXPECT_EQ(recorded(), (std::vector<std::string>{"out"}));
}

// Wide paths and arguments become the UTF-8 names on disk whatever the C locale (the tests run in
// "C"); text that is no Unicode names no file and starts nothing.
TEST_F(CreateProcess, TextOutsideAsciiIsTheNameOnDiskAndNeverGuessed) {
    ASSERT_STREQ(std::setlocale(LC_ALL, nullptr), "C");
    const std::string folder = (dir / "G\xC3\xA4 \xE2\x80\x93\xE2\x82\xAC\xC5\x92").string();
    fs::create_directory(folder);
    fs::copy_file(dir / "recorder", folder + "/recorder");
    base = folder + "/out \xF0\x9F\x98\x80";
    const std::wstring wideFolder = KorvaneUtil::fromUtf8(folder);
    const std::wstring wideBase = KorvaneUtil::fromUtf8(base);

    // A working folder that is no Unicode names no folder: the program is not started, here or
    // anywhere else. Its ".go" is there already, so a recorder started by mistake would have
    // written its arguments by the time the good start below has.
    const std::string refusedBase = folder + "/refused";
    std::ofstream(refusedBase + ".go").put('1');
    std::wstring refusedLine =
        L"\"" + wideFolder + L"\\recorder\" \"" + KorvaneUtil::fromUtf8(refusedBase) + L"\"";
    const std::wstring noFolder = wideFolder + wchar_t(0xD800);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(CreateProcessW(nullptr, refusedLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                noFolder.c_str(), &startup, &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(info.hProcess, nullptr);
    EXPECT_EQ(Platform::openProcessHandleCount(), 0u);

    ASSERT_TRUE(start(L"\"" + wideFolder + L"\\recorder\" \"" + wideBase + L"\" \u00e9", info));
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    EXPECT_EQ(recorded(), (std::vector<std::string>{base, "\xC3\xA9"}));

    for (const std::wstring& line :
         {L"\"" + wideFolder + L"\\recorder\" \"" + wideBase + L"\" " + wchar_t(0xD800),
          L"\"" + wideFolder + wchar_t(0xDC00) + L"\\recorder\" \"" + wideBase + L"\""}) {
        EXPECT_FALSE(start(line, info));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
        EXPECT_EQ(info.hProcess, nullptr);
    }
    EXPECT_FALSE(hasChildren());
    EXPECT_FALSE(fs::exists(refusedBase + ".args"));
    EXPECT_FALSE(fs::exists(refusedBase + ".args.part"));
}

TEST(CreateProcessLayout, StartupInformationHasTheWindowsSize) {
    EXPECT_EQ(sizeof(STARTUPINFOW), 104u);
}

} // namespace
