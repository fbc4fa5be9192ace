// hostsim's --registry folder off Windows: made private whatever the process's mask, and a store
// whose folders others could write (made by an earlier build under umask 002) is used, not refused.
#if !defined(_WIN32)

#include "ChildProcess.h"
#include "ExitStatus.h"
#include "PathText.h"
#include "RecorderProgram.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Hostsim::ExitStatus;
using Hostsim::utf8Path;

int code(ExitStatus status) {
    return static_cast<int>(status);
}

const fs::path kHostsim = HOSTSIM_PROGRAM;
const fs::path kRecorderProgram = ARG_RECORDER_PROGRAM;

mode_t modeOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

// The process's mask for the time of one scope; hostsim inherits it.
class Umask {
public:
    explicit Umask(mode_t mask) : previous_(::umask(mask)) {}
    ~Umask() { ::umask(previous_); }
    Umask(const Umask&) = delete;
    Umask& operator=(const Umask&) = delete;

private:
    mode_t previous_;
};

class HostsimRegistryFolder : public ::testing::Test {
protected:
    // hostsim exports the sample into a folder of its own with the named store; the started
    // stand-in for "Tarvelo.exe" is let go once it ran.
    TestProcess::Result exportWith(const std::string& label, std::vector<std::string> arguments) {
        const fs::path work = dir / label;
        arguments.insert(arguments.end(),
                         {"--registry", utf8Path(store), "--workdir", utf8Path(work)});
        fs::create_directories(dir / "scratch");
        TestProcess::Result r = TestProcess::run(kHostsim, arguments, dir / "scratch");
        const fs::path file = work / "GEARBOX.tvl";
        if (r.out.find("area TarveloOpenSuccess") != std::string::npos) {
            std::ofstream(fs::path(file).concat(".go")) << "1";
            EXPECT_TRUE(RecorderProgram::waitFor(fs::path(file).concat(".args")));
        }
        return r;
    }

    TvlTest::TempDir dir{"hostsim-registry"};
    const fs::path store = dir / "new" / "store";
};

TEST_F(HostsimRegistryFolder, TheNamedStoreWorksUnderUmask002AndKeepsItsValues) {
    const fs::path application = dir / "application";
    fs::create_directory(application);
    fs::copy_file(kRecorderProgram, application / RecorderProgram::kViewer);
    fs::permissions(application / RecorderProgram::kViewer, fs::perms::owner_all,
                    fs::perm_options::add);
    {
        Umask mask(002);
        // hostsim makes both folders; the install path it writes is read back by the export.
        TestProcess::Result r = exportWith("first", {"--tarvelo-dir", utf8Path(application)});
        EXPECT_EQ(r.exitCode, code(ExitStatus::Success)) << TestProcess::describe(r);
        EXPECT_NE(r.out.find("area TarveloOpenSuccess"), std::string::npos) << r.out;
    }
    // Every folder of the store and the one above it, as hostsim and the store made them.
    std::vector<fs::path> folders = {dir / "new", store};
    for (const fs::path& entry : fs::recursive_directory_iterator(store)) {
        if (fs::is_directory(fs::symlink_status(entry))) {
            folders.push_back(entry);
        }
    }
    ASSERT_GE(folders.size(), 7u); // the roots and SOFTWARE\Korvane\Tarvelo at least
    for (const fs::path& folder : folders) {
        EXPECT_EQ(modeOf(folder), 0700u) << folder;
    }

    // The store as an earlier build left it under umask 002: every folder writable by the group.
    for (const fs::path& folder : folders) {
        fs::permissions(folder, fs::perms::owner_all | fs::perms::group_all |
                                    fs::perms::others_read | fs::perms::others_exec);
    }
    // Without --tarvelo-dir the application is found only through the stored value.
    TestProcess::Result again = exportWith("again", {});
    EXPECT_EQ(again.exitCode, code(ExitStatus::Success)) << TestProcess::describe(again);
    EXPECT_NE(again.out.find("area TarveloOpenSuccess"), std::string::npos) << again.out;
    // The store made its folders private again; the folder above it is not the store's.
    for (const fs::path& folder : folders) {
        EXPECT_EQ(modeOf(folder), folder == dir / "new" ? 0775u : 0700u) << folder;
    }
}

TEST_F(HostsimRegistryFolder, AStoreFolderThatIsNoFolderIsASetupError) {
    fs::create_directories(dir / "new");
    std::ofstream(store) << "a file";
    TestProcess::Result r = exportWith("file", {});
    EXPECT_EQ(r.exitCode, code(ExitStatus::SetupFailed)) << TestProcess::describe(r);
    EXPECT_NE(r.err.find("the registry store " + utf8Path(store) + " cannot be made"),
              std::string::npos)
        << r.err;
}

// The store refuses a folder of another user (another user could plant values there, such as
// the program an export starts): the run ends at set-up, before anything is written into it.
TEST_F(HostsimRegistryFolder, AStoreFolderOfAnotherUserIsASetupError) {
    fs::create_directories(store);
    const uid_t other = ::geteuid() + 12345;
    if (::chown(store.c_str(), other, static_cast<gid_t>(-1)) != 0) {
        GTEST_SKIP() << "only a test run as root can give a folder to another user";
    }
    TestProcess::Result r = exportWith("foreign", {"--tarvelo-dir", utf8Path(dir.path())});
    EXPECT_EQ(r.exitCode, code(ExitStatus::SetupFailed)) << TestProcess::describe(r);
    EXPECT_EQ(r.err, "hostsim: the registry store " + utf8Path(store) +
                         " cannot be made: it belongs to another user\n");
    EXPECT_TRUE(fs::is_empty(store));
    EXPECT_FALSE(fs::exists(dir / "foreign"));
}

} // namespace

#endif
