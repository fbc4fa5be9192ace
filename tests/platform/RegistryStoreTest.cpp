#include "RegistryStore.h"
#include "FileSizeLimit.h"
#include "OpenHandles.h"
#include "Win32Api.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A user other than root, for folders and processes of "another user" when the tests run as root.
constexpr uid_t kOtherUser = 65534;

// Runs body in a child process, as the given user when this process is root, and hands back
// the codes the body returned. Several children can run at once.
class ChildProcess {
public:
    ChildProcess(std::optional<uid_t> user, const std::function<std::vector<LSTATUS>()>& body) {
        int channel[2] = {-1, -1};
        if (::pipe(channel) != 0) {
            ADD_FAILURE() << "no pipe for a child process";
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(channel[0]);
            std::vector<LSTATUS> codes;
            bool privileged = user && ::geteuid() == 0;
            if (!privileged ||
                (::setgroups(0, nullptr) == 0 && ::setgid(*user) == 0 && ::setuid(*user) == 0)) {
                codes = body();
            }
            std::size_t bytes = codes.size() * sizeof(LSTATUS);
            bool sent = ::write(channel[1], codes.data(), bytes) == static_cast<ssize_t>(bytes);
            ::_exit(sent ? 0 : 1);
        }
        ::close(channel[1]);
        from_ = channel[0];
        if (pid_ < 0) {
            ADD_FAILURE() << "cannot start a child process";
        }
    }
    ~ChildProcess() {
        if (from_ >= 0) {
            results();
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits for the child; the codes it sent.
    std::vector<LSTATUS> results() {
        std::vector<LSTATUS> codes;
        LSTATUS code = 0;
        while (::read(from_, &code, sizeof code) == static_cast<ssize_t>(sizeof code)) {
            codes.push_back(code);
        }
        ::close(from_);
        from_ = -1;
        if (pid_ > 0) {
            int status = 0;
            EXPECT_EQ(::waitpid(pid_, &status, 0), pid_);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        }
        return codes;
    }

private:
    pid_t pid_ = -1;
    int from_ = -1;
};

void chownTree(const fs::path& top, uid_t owner) {
    EXPECT_EQ(::lchown(top.c_str(), owner, owner), 0);
    for (const auto& entry : fs::recursive_directory_iterator(top)) {
        EXPECT_EQ(::lchown(entry.path().c_str(), owner, owner), 0);
    }
}

// Each test gets its own store directory.
class RegistryStore : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tarvelo-store-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        ::setenv("TARVELO_REGISTRY_DIR", dir.c_str(), 1);
    }
    void TearDown() override {
        EXPECT_EQ(Platform::openRegistryKeyCount(), 0u);
        ::unsetenv("TARVELO_REGISTRY_DIR");
        fs::remove_all(dir);
    }

    HKEY create(const wchar_t* path, REGSAM access = KEY_ALL_ACCESS, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, access, nullptr, &key,
                                  disposition),
                  ERROR_SUCCESS);
        return key;
    }

    LSTATUS open(const wchar_t* path, REGSAM access, HKEY& key) {
        return RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, access, &key);
    }

    static LSTATUS setDword(HKEY key, const wchar_t* name, DWORD value) {
        return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
    }

    static std::vector<unsigned char> readFile(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static void writeFile(const fs::path& file, const std::vector<unsigned char>& bytes) {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }

    static std::vector<Platform::RegistryValue> storedValues(const Platform::StoreKey& key) {
        std::vector<Platform::RegistryValue> values;
        EXPECT_EQ(Platform::readValues(key, values), Platform::StoreStatus::Ok);
        return values;
    }

    fs::path keyFile(const char* relative) const {
        return dir / "HKEY_CURRENT_USER" / relative / ".values";
    }

    // The names in a folder that start like the store's temporary key files.
    static std::vector<std::string> temporariesIn(const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            std::string name = entry.path().filename().string();
            if (name.rfind(".values.tmp", 0) == 0) {
                names.push_back(name);
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // Runs a store call in a child process that is killed when the call is about to rename its
    // temporary file into place: a writer that never finished.
    static void killedAtRename(const std::function<void()>& call) {
        pid_t pid = ::fork();
        if (pid == 0) {
            Platform::setReplaceFaultForTesting([](Platform::ReplaceStep step) {
                if (step == Platform::ReplaceStep::Rename) {
                    ::raise(SIGKILL);
                }
                return false;
            });
            call();
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    }

    static mode_t modeOf(const fs::path& path) {
        struct stat info {};
        EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
        return info.st_mode & 07777;
    }

    fs::path dir;
};

TEST_F(RegistryStore, KeyAndValueNamesIgnoreCase) {
    HKEY key = create(L"SOFTWARE\\Korvane\\Tarvelo\\Options");
    ASSERT_EQ(setDword(key, L"ChordHeight", 30), ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    HKEY other = nullptr;
    ASSERT_EQ(open(L"software\\KORVANE\\tarvelo\\oPTIONS", KEY_ALL_ACCESS, other), ERROR_SUCCESS);
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExW(other, L"CHORDHEIGHT", nullptr, &type,
                               reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 30u);
    // Writing under another spelling replaces the value instead of adding one.
    ASSERT_EQ(setDword(other, L"chordheight", 40), ERROR_SUCCESS);
    RegCloseKey(other);

    auto values =
        storedValues({"HKEY_CURRENT_USER", {u"software", u"korvane", u"tarvelo", u"options"}});
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name, u"ChordHeight");
    EXPECT_EQ(values[0].data, (std::vector<unsigned char>{40, 0, 0, 0}));
    EXPECT_TRUE(fs::exists(keyFile("software/korvane/tarvelo/options")));
}

TEST_F(RegistryStore, CreateMakesTheKeysAboveAndReportsWhatItDid) {
    HKEY key = nullptr;
    EXPECT_EQ(open(L"A\\B", KEY_READ, key), ERROR_FILE_NOT_FOUND);
    DWORD disposition = 0;
    RegCloseKey(create(L"A\\B\\C", KEY_WRITE, &disposition));
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    RegCloseKey(create(L"a\\b", KEY_WRITE, &disposition));
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    ASSERT_EQ(open(L"A", KEY_READ, key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(open(L"A\\\\B", KEY_READ, key), ERROR_BAD_PATHNAME);
    EXPECT_EQ(open(L"\\A", KEY_READ, key), ERROR_BAD_PATHNAME);

    // Subkeys open relative to an open key; names outside a-z stay apart from similar ones.
    HKEY parent = create(L"A");
    HKEY child = nullptr;
    ASSERT_EQ(RegOpenKeyExW(parent, L"B\\C", 0, KEY_READ, &child), ERROR_SUCCESS);
    RegCloseKey(child);
    RegCloseKey(create(L"x.y"));
    RegCloseKey(create(L"x%y"));
    EXPECT_EQ(open(L"x_y", KEY_READ, key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(open(L"X.Y", KEY_READ, key), ERROR_SUCCESS);
    RegCloseKey(key);
    RegCloseKey(parent);
}

TEST_F(RegistryStore, QueryFollowsTheWindowsContract) {
    HKEY key = create(L"K");
    const BYTE data[] = {1, 2, 3, 4, 5, 6};
    ASSERT_EQ(RegSetValueExW(key, L"V", 0, REG_BINARY, data, sizeof data), ERROR_SUCCESS);

    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"V", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(size, 6u);

    BYTE buffer[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    size = 5;
    type = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"V", nullptr, &type, buffer, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(buffer[0], 9);

    size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExW(key, L"V", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(std::vector<BYTE>(buffer, buffer + 8), (std::vector<BYTE>{1, 2, 3, 4, 5, 6, 9, 9}));

    EXPECT_EQ(RegQueryValueExW(key, L"V", nullptr, nullptr, buffer, nullptr),
              ERROR_INVALID_PARAMETER);
    DWORD reserved = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"V", &reserved, nullptr, nullptr, &size),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExW(key, L"W", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);

    // The default value has the empty name, and an empty value is still a value.
    ASSERT_EQ(RegSetValueExW(key, nullptr, 0, REG_SZ, nullptr, 0), ERROR_SUCCESS);
    size = 99;
    EXPECT_EQ(RegQueryValueExW(key, L"", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(RegSetValueExW(key, L"X", 0, REG_SZ, nullptr, 2), ERROR_NOACCESS);
    RegCloseKey(key);
}

TEST_F(RegistryStore, HandlesGrantWhatTheyWereOpenedFor) {
    RegCloseKey(create(L"K"));
    HKEY reader = nullptr;
    HKEY writer = nullptr;
    ASSERT_EQ(open(L"K", KEY_READ, reader), ERROR_SUCCESS);
    ASSERT_EQ(open(L"K", KEY_WRITE, writer), ERROR_SUCCESS);
    EXPECT_EQ(setDword(reader, L"V", 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(setDword(writer, L"V", 1), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(writer, L"V", nullptr, nullptr, nullptr, &size),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegQueryValueExW(reader, L"V", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    HKEY sub = nullptr;
    EXPECT_EQ(RegCreateKeyExW(reader, L"Sub", 0, nullptr, 0, KEY_WRITE, nullptr, &sub, nullptr),
              ERROR_ACCESS_DENIED);

    EXPECT_EQ(Platform::openRegistryKeyCount(), 2u);
    EXPECT_EQ(RegCloseKey(reader), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(reader), ERROR_INVALID_HANDLE);
    EXPECT_EQ(setDword(reader, L"V", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(writer), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
}

TEST_F(RegistryStore, KeyFileHoldsTypeAndRawBytes) {
    HKEY key = create(L"K");
    const BYTE text[] = {0x41, 0x00, 0x42, 0x00};
    ASSERT_EQ(RegSetValueExW(key, L"Vx", 0, REG_SZ, text, sizeof text), ERROR_SUCCESS);
    RegCloseKey(key);

    std::vector<unsigned char> bytes = readFile(keyFile("k"));
    // Everything but the closing 8-byte hash, written out from the layout.
    const std::vector<unsigned char> expected = {
        'T',  'V',  'R',  'E',  'G',  'K',  'E',  'Y',  // magic
        0x01, 0x00, 0x00, 0x00,                         // version
        0x01, 0x00, 0x00, 0x00,                         // one value
        0x02, 0x00, 0x00, 0x00, 0x56, 0x00, 0x78, 0x00, // name "Vx"
        0x01, 0x00, 0x00, 0x00,                         // REG_SZ
        0x04, 0x00, 0x00, 0x00, 0x41, 0x00, 0x42, 0x00, // data
    };
    ASSERT_EQ(bytes.size(), expected.size() + 8);
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.end() - 8), expected);
}

TEST_F(RegistryStore, CorruptKeyFileReadsAsNoValuesAndIsRepairedByTheNextWrite) {
    HKEY key = create(L"K");
    ASSERT_EQ(setDword(key, L"A", 1), ERROR_SUCCESS);
    ASSERT_EQ(setDword(key, L"B", 2), ERROR_SUCCESS);
    const std::vector<unsigned char> good = readFile(keyFile("k"));

    std::vector<std::vector<unsigned char>> damaged;
    for (std::size_t length = 0; length < good.size(); ++length) {
        damaged.emplace_back(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
    }
    for (std::size_t i = 0; i < good.size(); ++i) {
        std::vector<unsigned char> flipped = good;
        flipped[i] ^= 0x20;
        damaged.push_back(flipped);
    }
    std::vector<unsigned char> longer = good;
    longer.push_back(0);
    damaged.push_back(longer);
    damaged.push_back(std::vector<unsigned char>(4096, 0xFF));

    for (const auto& bytes : damaged) {
        writeFile(keyFile("k"), bytes);
        DWORD size = 0;
        ASSERT_EQ(RegQueryValueExW(key, L"A", nullptr, nullptr, nullptr, &size),
                  ERROR_FILE_NOT_FOUND);
        ASSERT_EQ(RegQueryValueExW(key, L"B", nullptr, nullptr, nullptr, &size),
                  ERROR_FILE_NOT_FOUND);
    }
    // Still a key: it opens, and a write gives it a sound file again.
    HKEY again = nullptr;
    ASSERT_EQ(open(L"K", KEY_READ, again), ERROR_SUCCESS);
    RegCloseKey(again);
    ASSERT_EQ(setDword(key, L"B", 3), ERROR_SUCCESS);
    DWORD value = 0;
    DWORD size = 4;
    EXPECT_EQ(RegQueryValueExW(key, L"B", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 3u);
    RegCloseKey(key);

    // A directory where the key file belongs is not a key one can use.
    fs::remove(keyFile("k"));
    fs::create_directory(keyFile("k"));
    EXPECT_EQ(open(L"K", KEY_READ, again), ERROR_REGISTRY_IO_FAILED);
}

TEST_F(RegistryStore, WritesReplaceTheFileWhole) {
    HKEY key = create(L"K");
    ASSERT_EQ(setDword(key, L"A", 1), ERROR_SUCCESS);
    // A temporary file left by an interrupted write is not part of the key; the key's next write
    // removes it.
    writeFile(keyFile("k").string() + ".tmp.abcdef", {1, 2, 3});

    // One thread rewrites the value between two lengths while another reads it: every read
    // sees one of the two versions complete.
    std::vector<unsigned char> shortData(10, 0x11);
    std::vector<unsigned char> longData(5000, 0x22);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        HKEY own = create(L"K");
        for (int i = 0; i < 300; ++i) {
            const auto& data = i % 2 == 0 ? longData : shortData;
            RegSetValueExW(own, L"V", 0, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
        }
        RegCloseKey(own);
        done = true;
    });
    int reads = 0;
    int bad = 0;
    while (!done) {
        // Read the file directly, past the registry functions' lock.
        std::vector<Platform::RegistryValue> values;
        bad += Platform::readValues({"HKEY_CURRENT_USER", {u"k"}}, values) !=
               Platform::StoreStatus::Ok;
        bool seen = false;
        for (const auto& value : values) {
            if (value.name == u"V") {
                seen = true;
                bad += value.data != shortData && value.data != longData;
            }
        }
        reads += seen;
        bad += values.empty() || values[0].name != u"A";
    }
    writer.join();
    EXPECT_EQ(bad, 0);
    EXPECT_GT(reads, 0);

    EXPECT_EQ(temporariesIn(keyFile("k").parent_path()), std::vector<std::string>{});
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"A", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(RegistryStore, LocationComesFromTheEnvironment) {
    fs::path config = dir / "config";
    ::unsetenv("TARVELO_REGISTRY_DIR");
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    EXPECT_EQ(Platform::registryStoreDirectory(), config / "tarvelo-registry");
    RegCloseKey(create(L"K"));
    EXPECT_TRUE(fs::exists(config / "tarvelo-registry" / "HKEY_CURRENT_USER" / "k" / ".values"));

    ::unsetenv("XDG_CONFIG_HOME");
    std::optional<std::string> savedHome;
    if (const char* home = std::getenv("HOME")) {
        savedHome = home;
    }
    ::setenv("HOME", config.c_str(), 1);
    EXPECT_EQ(Platform::registryStoreDirectory(), config / ".config" / "tarvelo-registry");

    // Without the variables, or with ones that name no absolute folder, the store lies below
    // the account's home folder, never in a shared place such as /tmp.
    const passwd* account = ::getpwuid(::geteuid());
    ASSERT_NE(account, nullptr);
    const fs::path accountStore = fs::path(account->pw_dir) / ".config" / "tarvelo-registry";
    ::unsetenv("HOME");
    EXPECT_EQ(Platform::registryStoreDirectory(), accountStore);
    ::setenv("HOME", "relative/home", 1);
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
    EXPECT_EQ(Platform::registryStoreDirectory(), accountStore);
    ::unsetenv("XDG_CONFIG_HOME");
    if (savedHome) {
        ::setenv("HOME", savedHome->c_str(), 1);
    } else {
        ::unsetenv("HOME");
    }

    ::setenv("TARVELO_REGISTRY_DIR", dir.c_str(), 1);
    EXPECT_EQ(Platform::registryStoreDirectory(), dir);
}

TEST_F(RegistryStore, DeletedKeyReportsItself) {
    HKEY key = create(L"K");
    fs::remove_all(dir / "HKEY_CURRENT_USER" / "k");
    EXPECT_EQ(setDword(key, L"A", 1), ERROR_KEY_DELETED);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"A", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    RegCloseKey(key);
}

TEST_F(RegistryStore, WritersInTwoProcessesKeepEveryValue) {
    constexpr int kWrites = 200;
    int start[2] = {-1, -1};
    ASSERT_EQ(::pipe(start), 0);
    // Both create the key and write at once, as two host sessions saving their options.
    auto writer = [&](int process) {
        return [&, process] {
            ::close(start[1]);
            char go = 0;
            (void)!::read(start[0], &go, 1);
            HKEY key = nullptr;
            LSTATUS created = RegCreateKeyExW(HKEY_CURRENT_USER, L"Shared", 0, nullptr, 0,
                                              KEY_WRITE, nullptr, &key, nullptr);
            std::vector<LSTATUS> codes{created};
            for (int i = 0; i < kWrites && created == ERROR_SUCCESS; ++i) {
                std::wstring name = L"P" + std::to_wstring(process) + L"-" + std::to_wstring(i);
                codes.push_back(
                    setDword(key, name.c_str(), static_cast<DWORD>(process * 1000 + i)));
            }
            RegCloseKey(key);
            return codes;
        };
    };
    ChildProcess first(std::nullopt, writer(1));
    ChildProcess second(std::nullopt, writer(2));
    ::close(start[0]);
    ::close(start[1]);
    const std::vector<LSTATUS> allWritten(kWrites + 1, ERROR_SUCCESS);
    EXPECT_EQ(first.results(), allWritten);
    EXPECT_EQ(second.results(), allWritten);

    auto values = storedValues({"HKEY_CURRENT_USER", {u"shared"}});
    EXPECT_EQ(values.size(), 2u * kWrites);
    std::set<std::pair<std::u16string, std::vector<unsigned char>>> stored;
    for (const auto& value : values) {
        stored.emplace(value.name, value.data);
    }
    for (int process = 1; process <= 2; ++process) {
        for (int i = 0; i < kWrites; ++i) {
            std::string name = "P" + std::to_string(process) + "-" + std::to_string(i);
            int number = process * 1000 + i;
            std::vector<unsigned char> data = {static_cast<unsigned char>(number & 0xFF),
                                               static_cast<unsigned char>(number >> 8), 0, 0};
            EXPECT_TRUE(stored.count({std::u16string(name.begin(), name.end()), data}) == 1)
                << name;
        }
    }
}

TEST_F(RegistryStore, KeyFileThatCannotBeReadIsAnErrorAndKeepsItsValues) {
    HKEY key = create(L"K");
    ASSERT_EQ(setDword(key, L"A", 1), ERROR_SUCCESS);
    const fs::path file = keyFile("k");
    const std::vector<unsigned char> original = readFile(file);
    const fs::path saved = file.string() + ".saved";

    struct Case {
        const char* label;
        LSTATUS expected;
        std::optional<uid_t> asker; // the file is kept from this user, who then asks
        std::function<void()> spoil;
        std::function<void()> mend;
    };
    const bool root = ::geteuid() == 0;
    const std::vector<Case> cases = {
        {"NoReadPermission", ERROR_ACCESS_DENIED, kOtherUser,
         [&] {
             // Root reads any file: the store goes to the other user, who may not read this one.
             if (root) {
                 chownTree(dir, kOtherUser);
             }
             fs::permissions(file, fs::perms::none);
         },
         [&] {
             fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
             if (root) {
                 chownTree(dir, 0);
             }
         }},
        {"DirectoryInItsPlace", ERROR_REGISTRY_IO_FAILED, std::nullopt,
         [&] {
             fs::rename(file, saved);
             fs::create_directory(file);
         },
         [&] {
             EXPECT_TRUE(fs::is_empty(file));
             fs::remove(file);
             fs::rename(saved, file);
         }},
        {"LargerThanTheReaderAccepts", ERROR_FILE_TOO_LARGE, std::nullopt,
         [&] { fs::resize_file(file, Platform::kMaxKeyFileSize + 1); },
         [&] { fs::resize_file(file, original.size()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        c.spoil();
        ChildProcess asker(c.asker, [&] {
            DWORD value = 0;
            DWORD size = sizeof value;
            return std::vector<LSTATUS>{RegQueryValueExW(key, L"A", nullptr, nullptr,
                                                         reinterpret_cast<BYTE*>(&value), &size),
                                        setDword(key, L"B", 2)};
        });
        EXPECT_EQ(asker.results(), (std::vector<LSTATUS>{c.expected, c.expected}));
        c.mend();

        // The set wrote nothing: the file is as it was and holds A alone.
        EXPECT_EQ(readFile(file), original);
        DWORD size = 0;
        EXPECT_EQ(RegQueryValueExW(key, L"A", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
        EXPECT_EQ(RegQueryValueExW(key, L"B", nullptr, nullptr, nullptr, &size),
                  ERROR_FILE_NOT_FOUND);
    }
    RegCloseKey(key);
}

TEST_F(RegistryStore, WriteBeyondWhatTheReaderAcceptsIsRefused) {
    HKEY key = create(L"K");
    ASSERT_EQ(setDword(key, L"A", 1), ERROR_SUCCESS);
    const std::vector<unsigned char> before = readFile(keyFile("k"));
    // Besides B's data the file holds 56 bytes: header 16, value A 18, value B 14, hash 8.
    const std::size_t fits = Platform::kMaxKeyFileSize - 56;
    const std::vector<BYTE> data(fits + 1, 0x5A);

    EXPECT_EQ(RegSetValueExW(key, L"B", 0, REG_BINARY, data.data(), static_cast<DWORD>(fits + 1)),
              ERROR_FILE_TOO_LARGE);
    EXPECT_EQ(readFile(keyFile("k")), before);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"A", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(key, L"B", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);

    // Up to the limit a write goes through and reads back.
    ASSERT_EQ(RegSetValueExW(key, L"B", 0, REG_BINARY, data.data(), static_cast<DWORD>(fits)),
              ERROR_SUCCESS);
    EXPECT_EQ(fs::file_size(keyFile("k")), Platform::kMaxKeyFileSize);
    EXPECT_EQ(RegQueryValueExW(key, L"B", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, fits);
    RegCloseKey(key);
}

TEST_F(RegistryStore, FolderOfOursThatOthersCouldWriteIsMadePrivate) {
    // Such folders come from an earlier build under a mask such as 002: their values stay usable.
    struct Case {
        const char* label;
        std::vector<const char*> folders; // below the store folder
        fs::perms mode;
    };
    using fs::perms;
    const Case cases[] = {
        {"StoreWritableByAll", {""}, perms::all},
        {"StoreWritableByGroup", {""}, perms::owner_all | perms::group_write},
        {"RootWritableByOthers", {"HKEY_CURRENT_USER"}, perms::owner_all | perms::others_write},
        {"KeyFolderWritableByGroup", {"HKEY_CURRENT_USER/k"}, perms::owner_all | perms::group_all},
        {"WholeStoreOfAnEarlierBuild",
         {"", "HKEY_CURRENT_USER", "HKEY_CURRENT_USER/k"},
         perms::owner_all | perms::group_all | perms::others_read | perms::others_exec},
    };
    HKEY key = create(L"K");
    ASSERT_EQ(setDword(key, L"A", 1), ERROR_SUCCESS);
    auto spoil = [&](const Case& c) {
        for (const char* folder : c.folders) {
            fs::permissions(dir / folder, c.mode);
        }
    };
    auto allPrivate = [&](const Case& c) {
        for (const char* folder : c.folders) {
            EXPECT_EQ(modeOf(dir / folder), 0700u) << folder;
        }
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        // A read makes them private and reads the value.
        spoil(c);
        DWORD value = 0;
        DWORD size = sizeof value;
        EXPECT_EQ(
            RegQueryValueExW(key, L"A", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_SUCCESS);
        EXPECT_EQ(value, 1u);
        allPrivate(c);

        // So does an open, and a write.
        spoil(c);
        HKEY other = nullptr;
        EXPECT_EQ(open(L"K", KEY_READ, other), ERROR_SUCCESS);
        RegCloseKey(other);
        allPrivate(c);
        spoil(c);
        EXPECT_EQ(setDword(key, L"B", 2), ERROR_SUCCESS);
        allPrivate(c);
        EXPECT_EQ(RegQueryValueExW(key, L"B", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    }
    RegCloseKey(key);
}

TEST_F(RegistryStore, FolderOrKeyFileOfAnotherUserIsRefusedAndLeftAlone) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a folder or file to another user";
    }
    HKEY key = create(L"K");
    ASSERT_EQ(setDword(key, L"A", 1), ERROR_SUCCESS);
    const fs::path keyDir = dir / "HKEY_CURRENT_USER" / "k";
    const std::vector<unsigned char> before = readFile(keyFile("k"));
    struct Case {
        const char* label;
        fs::path path;
        mode_t mode;
    };
    const Case cases[] = {
        {"KeyFolderOfAnotherUser", keyDir, 0700},
        {"KeyFolderOfAnotherUserWritableByAll", keyDir, 0777},
        {"RootFolderOfAnotherUserWritableByGroup", dir / "HKEY_CURRENT_USER", 0770},
        {"KeyFileOfAnotherUser", keyFile("k"), 0600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_EQ(::chown(c.path.c_str(), kOtherUser, kOtherUser), 0);
        ASSERT_EQ(::chmod(c.path.c_str(), c.mode), 0);
        HKEY other = nullptr;
        EXPECT_EQ(open(L"K", KEY_READ, other), ERROR_ACCESS_DENIED);
        DWORD size = 0;
        EXPECT_EQ(RegQueryValueExW(key, L"A", nullptr, nullptr, nullptr, &size),
                  ERROR_ACCESS_DENIED);
        EXPECT_EQ(setDword(key, L"B", 2), ERROR_ACCESS_DENIED);
        // Neither the key nor a new key below it is taken for one of ours.
        HKEY made = nullptr;
        DWORD disposition = 0;
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"K", 0, nullptr, 0, KEY_READ, nullptr, &made,
                                  &disposition),
                  ERROR_ACCESS_DENIED);
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"K\\New", 0, nullptr, 0, KEY_WRITE, nullptr,
                                  &made, &disposition),
                  ERROR_ACCESS_DENIED);
        EXPECT_FALSE(fs::exists(keyDir / "new"));
        // Not made private: the folder is not ours to change.
        EXPECT_EQ(modeOf(c.path), c.mode);
        EXPECT_EQ(temporariesIn(keyDir), std::vector<std::string>{});

        ASSERT_EQ(::chown(c.path.c_str(), 0, 0), 0);
        ASSERT_EQ(::chmod(c.path.c_str(), fs::is_directory(c.path) ? 0700 : 0600), 0);
        EXPECT_EQ(readFile(keyFile("k")), before);
        EXPECT_EQ(RegQueryValueExW(key, L"A", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    }
    RegCloseKey(key);
}

TEST_F(RegistryStore, StoreFolderOfAnotherUserIsRefused) {
    // Whoever owns the folder could have planted the program the plug-in starts.
    HKEY planted = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Korvane\\Tarvelo", 0, nullptr, 0,
                              KEY_WRITE, nullptr, &planted, nullptr),
              ERROR_SUCCESS);
    const BYTE path[] = {'/', 0, 'x', 0, 0, 0};
    ASSERT_EQ(RegSetValueExW(planted, L"Path", 0, REG_SZ, path, sizeof path), ERROR_SUCCESS);
    RegCloseKey(planted);

    fs::path store = dir;
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(dir.c_str(), kOtherUser, kOtherUser), 0);
    } else {
        // Without root no folder can be given away; the file system's root belongs to root.
        struct stat info {};
        ASSERT_EQ(::stat("/", &info), 0);
        if (info.st_uid == ::geteuid()) {
            GTEST_SKIP() << "needs root, or a folder that belongs to another user";
        }
        store = "/";
        ::setenv("TARVELO_REGISTRY_DIR", store.c_str(), 1);
    }
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Korvane\\Tarvelo", 0, KEY_READ, &key),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, L"K", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
        ERROR_ACCESS_DENIED);
    EXPECT_FALSE(fs::exists(store / "HKEY_CURRENT_USER"));

    ::setenv("TARVELO_REGISTRY_DIR", dir.c_str(), 1);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(dir.c_str(), 0, 0), 0);
    }
}

TEST_F(RegistryStore, WithoutAFolderToUseTheFunctionsAnswerAnError) {
    // A user with no account entry has no home folder; the store must not fall back to a
    // shared place.
    constexpr uid_t kNoAccount = 54321;
    if (::geteuid() != 0 || ::getpwuid(kNoAccount) != nullptr) {
        GTEST_SKIP() << "needs root and a user id without an account";
    }
    ChildProcess child(kNoAccount, [] {
        ::unsetenv("TARVELO_REGISTRY_DIR");
        ::unsetenv("XDG_CONFIG_HOME");
        ::unsetenv("HOME");
        HKEY key = nullptr;
        return std::vector<LSTATUS>{
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Korvane\\Tarvelo", 0, KEY_READ, &key),
            RegCreateKeyExW(HKEY_CURRENT_USER, L"K", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr)};
    });
    EXPECT_EQ(child.results(), (std::vector<LSTATUS>{ERROR_PATH_NOT_FOUND, ERROR_PATH_NOT_FOUND}));
}

TEST_F(RegistryStore, FoldersAndFilesTheStoreMakesArePrivateWhateverTheMask) {
    // 0: a mask that takes nothing away; 002 and 022: common ones; 0277 takes owner bits too.
    for (mode_t mask : {0000, 0002, 0022, 0277}) {
        SCOPED_TRACE("umask " + std::to_string(mask));
        const fs::path made = dir / ("made-" + std::to_string(mask));
        const fs::path store = made / "store";
        ::setenv("TARVELO_REGISTRY_DIR", store.c_str(), 1);
        mode_t previous = ::umask(mask);
        HKEY key = nullptr;
        LSTATUS created = RegCreateKeyExW(HKEY_CURRENT_USER, L"A\\B", 0, nullptr, 0, KEY_ALL_ACCESS,
                                          nullptr, &key, nullptr);
        LSTATUS written = created == ERROR_SUCCESS ? setDword(key, L"V", 1) : created;
        LSTATUS rootWritten = setDword(HKEY_CURRENT_USER, L"R", 1);
        ::umask(previous);
        ASSERT_EQ(created, ERROR_SUCCESS);
        EXPECT_EQ(written, ERROR_SUCCESS);
        EXPECT_EQ(rootWritten, ERROR_SUCCESS);
        RegCloseKey(key);

        const fs::path root = store / "HKEY_CURRENT_USER";
        for (const fs::path& folder : {made, store, root, root / "a", root / "a" / "b"}) {
            EXPECT_EQ(modeOf(folder), 0700u) << folder;
        }
        for (const fs::path& file : {root / ".values", root / "a" / ".values",
                                     root / "a" / "b" / ".values", store / ".lock"}) {
            EXPECT_EQ(modeOf(file), 0600u) << file;
        }
    }
    ::setenv("TARVELO_REGISTRY_DIR", dir.c_str(), 1);
}

TEST_F(RegistryStore, NamesFoldOnlyTheLettersAToZ) {
    // Windows compares names without case: the folded range is A-Z, and the characters just
    // outside it ('@' before 'A', '[' after 'Z') stay apart from their neighbours 32 above.
    struct Case {
        const wchar_t* written;
        const wchar_t* asked;
        bool same;
    };
    const Case cases[] = {
        {L"Z", L"z", true},  {L"z", L"Z", true},     {L"A", L"a", true},
        {L"a", L"A", true},  {L"xZy", L"XzY", true}, {L"[", L"{", false},
        {L"{", L"[", false}, {L"@", L"`", false},    {L"`", L"@", false},
    };
    int number = 0;
    for (const Case& c : cases) {
        auto ascii = [](const wchar_t* text) {
            return std::string(text, text + std::wcslen(text));
        };
        SCOPED_TRACE(ascii(c.written) + " / " + ascii(c.asked));
        const std::wstring keyName = L"V" + std::to_wstring(++number);
        HKEY key = create(keyName.c_str());
        ASSERT_EQ(setDword(key, c.written, 7), ERROR_SUCCESS);
        DWORD size = 0;
        EXPECT_EQ(RegQueryValueExW(key, c.asked, nullptr, nullptr, nullptr, &size),
                  c.same ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
        // A write under the other name replaces the value or adds a second one.
        ASSERT_EQ(setDword(key, c.asked, 8), ERROR_SUCCESS);
        RegCloseKey(key);
        std::u16string folded = Platform::foldName(std::u16string(keyName.begin(), keyName.end()));
        EXPECT_EQ(storedValues({"HKEY_CURRENT_USER", {folded}}).size(), c.same ? 1u : 2u);

        // Key names fold the same way.
        const std::wstring written = L"K" + std::to_wstring(number) + L"\\" + c.written;
        const std::wstring asked = L"K" + std::to_wstring(number) + L"\\" + c.asked;
        RegCloseKey(create(written.c_str()));
        HKEY opened = nullptr;
        LSTATUS rc = open(asked.c_str(), KEY_READ, opened);
        EXPECT_EQ(rc, c.same ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
        if (rc == ERROR_SUCCESS) {
            RegCloseKey(opened);
        }

        // Two values whose names fold alike make a key file corrupt; others are two values.
        std::vector<Platform::RegistryValue> pair = {
            {std::u16string(c.written, c.written + std::wcslen(c.written)), REG_DWORD, {1}},
            {std::u16string(c.asked, c.asked + std::wcslen(c.asked)), REG_DWORD, {2}}};
        auto parsed = Platform::parseValues(Platform::serializeValues(pair));
        EXPECT_EQ(parsed.has_value(), !c.same);
    }
}

// A replacement that fails at any step before its rename leaves the key file as it was and no
// temporary file beside it; one that fails flushing the folder after the rename says so.
TEST_F(RegistryStore, AFailedReplacementKeepsTheOldFileAndLeavesNoTemporary) {
    using Platform::ReplaceStep;
    struct Case {
        const char* label;
        ReplaceStep step;
        bool renamed;
    };
    const Case cases[] = {
        {"Write", ReplaceStep::Write, false},
        {"FlushFile", ReplaceStep::FlushFile, false},
        {"CloseFile", ReplaceStep::CloseFile, false},
        {"Rename", ReplaceStep::Rename, false},
        {"FlushFolder", ReplaceStep::FlushFolder, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        HKEY key = create(L"K");
        ASSERT_EQ(setDword(key, L"A", 1), ERROR_SUCCESS);
        ASSERT_EQ(setDword(key, L"B", 0), ERROR_SUCCESS);
        const std::vector<unsigned char> before = readFile(keyFile("k"));

        std::vector<ReplaceStep> seen;
        Platform::setReplaceFaultForTesting([&](ReplaceStep step) {
            seen.push_back(step);
            return step == c.step;
        });
        LSTATUS set = setDword(key, L"B", 2);
        HKEY created = nullptr;
        LSTATUS create = RegCreateKeyExW(HKEY_CURRENT_USER, L"K\\New", 0, nullptr, 0, KEY_WRITE,
                                         nullptr, &created, nullptr);
        Platform::setReplaceFaultForTesting({});
        EXPECT_EQ(set, ERROR_REGISTRY_IO_FAILED);
        EXPECT_EQ(create, ERROR_REGISTRY_IO_FAILED);
        // The step was reached, and nothing was renamed after a failure before the rename.
        EXPECT_NE(std::find(seen.begin(), seen.end(), c.step), seen.end());
        if (c.step < ReplaceStep::Rename) {
            EXPECT_EQ(std::count(seen.begin(), seen.end(), ReplaceStep::Rename), 0);
        }
        if (!c.renamed) {
            EXPECT_EQ(std::count(seen.begin(), seen.end(), ReplaceStep::FlushFolder), 0);
        }

        EXPECT_EQ(temporariesIn(keyFile("k").parent_path()), std::vector<std::string>{});
        EXPECT_EQ(temporariesIn(keyFile("k").parent_path() / "new"), std::vector<std::string>{});
        DWORD value = 9;
        DWORD size = sizeof value;
        EXPECT_EQ(
            RegQueryValueExW(key, L"B", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_SUCCESS);
        if (c.renamed) {
            // The new file is in place, whole; only its folder entry may not be on disk yet.
            EXPECT_EQ(value, 2u);
            EXPECT_NE(readFile(keyFile("k")), before);
        } else {
            EXPECT_EQ(value, 0u);
            EXPECT_EQ(readFile(keyFile("k")), before);
            HKEY absent = nullptr;
            EXPECT_EQ(open(L"K\\New", KEY_READ, absent), ERROR_FILE_NOT_FOUND);
        }
        if (create == ERROR_SUCCESS) {
            RegCloseKey(created);
        }
        RegCloseKey(key);
        fs::remove_all(dir / "HKEY_CURRENT_USER" / "k");
    }
}

TEST_F(RegistryStore, AWriteThatTheDiskRefusesKeepsTheOldFileAndLeavesNoTemporary) {
    HKEY key = create(L"K");
    ASSERT_EQ(setDword(key, L"A", 1), ERROR_SUCCESS);
    const std::vector<unsigned char> before = readFile(keyFile("k"));
    const std::vector<BYTE> data(8192, 0x5A);
    LSTATUS rc = ERROR_SUCCESS;
    {
        // Room for the old file, not for the new one: the write stops part way.
        TvlTest::FileSizeLimit full(4096);
        rc = RegSetValueExW(key, L"B", 0, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
    }
    EXPECT_EQ(rc, ERROR_REGISTRY_IO_FAILED);
    EXPECT_EQ(readFile(keyFile("k")), before);
    EXPECT_EQ(temporariesIn(keyFile("k").parent_path()), std::vector<std::string>{});
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"A", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(key, L"B", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    // With room again the same write goes through.
    EXPECT_EQ(
        RegSetValueExW(key, L"B", 0, REG_BINARY, data.data(), static_cast<DWORD>(data.size())),
        ERROR_SUCCESS);
    RegCloseKey(key);
}

// Another process that holds the store's lock: it takes the lock, says so, then stops as a
// suspended session would (or lets go after a while).
class LockHolder {
public:
    LockHolder(const fs::path& store, std::optional<std::chrono::milliseconds> releaseAfter) {
        int ready[2] = {-1, -1};
        if (::pipe(ready) != 0) {
            ADD_FAILURE() << "no pipe";
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            int fd = ::open((store / ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            bool locked = fd >= 0 && ::flock(fd, LOCK_EX) == 0;
            char byte = locked ? 1 : 0;
            (void)!::write(ready[1], &byte, 1);
            if (!locked) {
                ::_exit(1);
            }
            if (releaseAfter) {
                std::this_thread::sleep_for(*releaseAfter);
                ::_exit(0);
            }
            ::raise(SIGSTOP);
            ::_exit(0);
        }
        ::close(ready[1]);
        char byte = 0;
        ready_ = pid_ > 0 && ::read(ready[0], &byte, 1) == 1 && byte == 1;
        ::close(ready[0]);
    }
    ~LockHolder() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    bool ready() const { return ready_; }

private:
    pid_t pid_ = -1;
    bool ready_ = false;
};

// Runs a registry call in a child process (that a hang cannot stop the test) and hands back its
// code and how long it took in milliseconds.
std::vector<LSTATUS> timedCall(const std::function<LSTATUS()>& call) {
    ChildProcess child(std::nullopt, [&] {
        ::alarm(60);
        auto start = std::chrono::steady_clock::now();
        LSTATUS rc = call();
        auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        return std::vector<LSTATUS>{rc, static_cast<LSTATUS>(took.count())};
    });
    return child.results();
}

TEST_F(RegistryStore, AWriterThatCannotGetTheLockFailsAfterTheBoundInsteadOfHanging) {
    HKEY key = create(L"K");
    ASSERT_EQ(setDword(key, L"A", 1), ERROR_SUCCESS);
    const std::vector<unsigned char> before = readFile(keyFile("k"));
    {
        LockHolder stopped(dir, std::nullopt);
        ASSERT_TRUE(stopped.ready());
        // A set and the creation of a key both wait for the lock, at once in two processes.
        std::vector<LSTATUS> set, created;
        std::thread other([&] {
            created = timedCall([&] {
                HKEY sub = nullptr;
                return RegCreateKeyExW(HKEY_CURRENT_USER, L"K\\New", 0, nullptr, 0, KEY_WRITE,
                                       nullptr, &sub, nullptr);
            });
        });
        set = timedCall([&] { return setDword(key, L"A", 2); });
        other.join();
        const long bound = static_cast<long>(Platform::kStoreLockWait.count());
        for (const auto* result : {&set, &created}) {
            ASSERT_EQ(result->size(), 2u);
            EXPECT_EQ((*result)[0], ERROR_LOCK_VIOLATION);
            EXPECT_GE((*result)[1], bound);
            EXPECT_LT((*result)[1], bound + 3000);
        }
        // Readers take no lock: they answer at once.
        std::vector<LSTATUS> read = timedCall([&] {
            DWORD size = 0;
            return RegQueryValueExW(key, L"A", nullptr, nullptr, nullptr, &size);
        });
        ASSERT_EQ(read.size(), 2u);
        EXPECT_EQ(read[0], ERROR_SUCCESS);
        EXPECT_LT(read[1], 1000);
        EXPECT_EQ(readFile(keyFile("k")), before);
        EXPECT_FALSE(fs::exists(dir / "HKEY_CURRENT_USER" / "k" / "new"));
    }
    // The stopped session ended: the lock is free again.
    EXPECT_EQ(setDword(key, L"A", 2), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(RegistryStore, AWriterWaitsForALockReleasedWithinTheBound) {
    HKEY key = create(L"K");
    ASSERT_EQ(setDword(key, L"A", 1), ERROR_SUCCESS);
    LockHolder brief(dir, std::chrono::milliseconds(700));
    ASSERT_TRUE(brief.ready());
    std::vector<LSTATUS> set = timedCall([&] { return setDword(key, L"A", 2); });
    ASSERT_EQ(set.size(), 2u);
    EXPECT_EQ(set[0], ERROR_SUCCESS);
    EXPECT_GE(set[1], 500);
    DWORD value = 0;
    DWORD size = sizeof value;
    EXPECT_EQ(RegQueryValueExW(key, L"A", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 2u);
    RegCloseKey(key);
}

TEST_F(RegistryStore, AWriteRemovesWhatAKilledWriterOfTheSameKeyLeft) {
    HKEY key = create(L"K");
    ASSERT_EQ(setDword(key, L"A", 1), ERROR_SUCCESS);
    RegCloseKey(create(L"K\\Sub"));
    const fs::path keyDir = keyFile("k").parent_path();
    const fs::path subDir = keyDir / "sub";

    // A writer killed after writing its temporary file, before the rename.
    for (const wchar_t* path : {L"K", L"K\\Sub"}) {
        ASSERT_NO_FATAL_FAILURE(killedAtRename([path] {
            HKEY own = nullptr;
            if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_WRITE, &own) == ERROR_SUCCESS) {
                setDword(own, L"A", 2);
            }
        }));
    }
    const std::vector<std::string> leftInKey = temporariesIn(keyDir);
    ASSERT_EQ(leftInKey.size(), 1u);
    ASSERT_EQ(temporariesIn(subDir).size(), 1u);
    DWORD value = 0;
    DWORD size = sizeof value;
    EXPECT_EQ(RegQueryValueExW(key, L"A", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 1u);

    // Beside it, names that only look alike, and what is no file of ours.
    const std::vector<std::string> kept = {
        ".values.tmp.Ab3xY",  ".values.tmp.Ab3xYz9", ".values.tmp.Ab3x-z", ".values.tmp.Ab3x.z",
        "values.tmp.Ab3xYz",  ".values.tmq.Ab3xYz",  ".values.tmpAb3xYzz", ".Values.tmp.Ab3xYz",
        ".values.tmp.DIRxyz", ".values.tmp.LNKxyz"};
    for (const std::string& name : kept) {
        if (name == ".values.tmp.DIRxyz") {
            fs::create_directory(keyDir / name);
        } else if (name == ".values.tmp.LNKxyz") {
            fs::create_symlink(keyDir / leftInKey[0], keyDir / name);
        } else {
            writeFile(keyDir / name, {1});
        }
    }
    std::vector<std::string> expectedKept = kept;
    if (::geteuid() == 0) {
        writeFile(keyDir / ".values.tmp.OTHxyz", {1});
        ASSERT_EQ(::chown((keyDir / ".values.tmp.OTHxyz").c_str(), kOtherUser, kOtherUser), 0);
        expectedKept.push_back(".values.tmp.OTHxyz");
    }
    std::vector<std::string> keptSorted;
    std::copy_if(expectedKept.begin(), expectedKept.end(), std::back_inserter(keptSorted),
                 [](const std::string& name) { return name.rfind(".values.tmp", 0) == 0; });
    std::sort(keptSorted.begin(), keptSorted.end());

    // Reads leave them; a write of another key leaves them.
    EXPECT_EQ(RegQueryValueExW(key, L"A", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    RegCloseKey(create(L"Other"));
    HKEY other = create(L"Other");
    ASSERT_EQ(setDword(other, L"A", 1), ERROR_SUCCESS);
    RegCloseKey(other);
    EXPECT_EQ(temporariesIn(keyDir).size(), keptSorted.size() + 1);

    // A write of the key removes its killed writer's file alone; the subkey keeps its own.
    ASSERT_EQ(setDword(key, L"A", 3), ERROR_SUCCESS);
    EXPECT_EQ(temporariesIn(keyDir), keptSorted);
    EXPECT_TRUE(fs::exists(keyDir / "values.tmp.Ab3xYz"));
    EXPECT_EQ(temporariesIn(subDir).size(), 1u);
    RegCloseKey(key);
}

} // namespace

TEST_F(RegistryStore, ACreationRemovesWhatAKilledCreatorOfTheSameKeyLeft) {
    RegCloseKey(create(L"K"));
    const fs::path freshDir = keyFile("k").parent_path() / "fresh";

    // A creator killed after writing the new key's temporary file, before the rename.
    ASSERT_NO_FATAL_FAILURE(killedAtRename([] {
        HKEY own = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, L"K\\Fresh", 0, nullptr, 0, KEY_WRITE, nullptr, &own,
                        nullptr);
    }));
    ASSERT_EQ(temporariesIn(freshDir).size(), 1u);
    ASSERT_FALSE(fs::exists(freshDir / ".values"));
    HKEY absent = nullptr;
    EXPECT_EQ(open(L"K\\Fresh", KEY_READ, absent), ERROR_FILE_NOT_FOUND);

    DWORD disposition = 0;
    HKEY fresh = create(L"K\\Fresh", KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    EXPECT_EQ(temporariesIn(freshDir), std::vector<std::string>{});
    EXPECT_TRUE(fs::is_regular_file(freshDir / ".values"));
    RegCloseKey(fresh);
}
