// hostsim finds the module and the text root relative to its own folder, as installed, and
// names what it uses; what is missing there is an error naming the place, never a fallback to
// the build or the sources.
#include "ChildProcess.h"
#include "ExitStatus.h"
#include "PathText.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using Hostsim::ExitStatus;
using Hostsim::pathFromUtf8;
using Hostsim::utf8Path;

const fs::path kHostsim = HOSTSIM_PROGRAM;
const fs::path kModule = TARVELO_MODULE;
const fs::path kResources = fs::path(TARVELO_SOURCE_DIR) / "resources";

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(HostsimLayout, FindsModuleAndTextRootRelativeToItsOwnFolder) {
    struct Case {
        const char* name;
        bool module, textRoot;
        ExitStatus status;
    };
    const Case cases[] = {
        {"both installed", true, true, ExitStatus::Success},
        {"no text root", true, false, ExitStatus::BadTextRoot},
        {"no module", false, true, ExitStatus::BadModule},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TvlTest::TempDir prefix("layout");
        const fs::path bin = prefix / "bin";
        const fs::path moduleDir =
            (bin / pathFromUtf8(HOSTSIM_MODULE_DIR_FROM_PROGRAM)).lexically_normal();
        const fs::path textRoot =
            (bin / pathFromUtf8(HOSTSIM_TEXT_ROOT_FROM_PROGRAM)).lexically_normal();
        // Both lie inside the prefix, apart from hostsim's folder.
        ASSERT_EQ(utf8Path(moduleDir).rfind(utf8Path(prefix.path()), 0), 0u);
        ASSERT_EQ(utf8Path(textRoot).rfind(utf8Path(prefix.path()), 0), 0u);
        fs::create_directories(bin);
        fs::copy_file(kHostsim, bin / kHostsim.filename());
        if (c.module) {
            fs::create_directories(moduleDir);
            fs::copy_file(kModule, moduleDir / kModule.filename());
        }
        if (c.textRoot) {
            fs::create_directories(textRoot);
            fs::copy(kResources, textRoot, fs::copy_options::recursive);
        }
        std::vector<std::string> arguments = {"--workdir", utf8Path(prefix / "work")};
#if !defined(_WIN32)
        arguments.insert(arguments.end(), {"--registry", utf8Path(prefix / "registry")});
#endif
        fs::create_directories(prefix / "scratch");
        TestProcess::Result r =
            TestProcess::run(bin / kHostsim.filename(), arguments, prefix / "scratch");
        EXPECT_EQ(r.exitCode, static_cast<int>(c.status)) << TestProcess::describe(r);
        if (c.status == ExitStatus::Success) {
            EXPECT_TRUE(
                contains(r.out, "module " + utf8Path(moduleDir / kModule.filename()) + "\n"))
                << r.out;
            EXPECT_TRUE(contains(r.out, "text root " + utf8Path(textRoot) + "\n")) << r.out;
            EXPECT_TRUE(contains(r.out, "area ExportTvlSuccess")) << r.out;
            EXPECT_TRUE(fs::is_regular_file(prefix / "work" / "GEARBOX.tvl"));
        } else if (!c.textRoot) {
            EXPECT_TRUE(contains(r.err, "the text root " + utf8Path(textRoot) + " is no folder"))
                << r.err;
        } else {
            EXPECT_TRUE(
                contains(r.err, "cannot load the module " + utf8Path(bin / kModule.filename())))
                << r.err;
        }
    }
}

} // namespace
