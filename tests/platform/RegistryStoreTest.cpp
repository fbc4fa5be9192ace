#include "RegistryStore.h"
#include "OpenHandles.h"
#include "Win32Api.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

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

    fs::path keyFile(const char* relative) const {
        return dir / "HKEY_CURRENT_USER" / relative / ".values";
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

    auto values = Platform::readValues(
        {"HKEY_CURRENT_USER", {u"software", u"korvane", u"tarvelo", u"options"}});
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
    // A temporary file left by an interrupted write is not part of the key.
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
        auto values = Platform::readValues({"HKEY_CURRENT_USER", {u"k"}});
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

    std::size_t temporaries = 0;
    for (const auto& entry : fs::directory_iterator(keyFile("k").parent_path())) {
        temporaries += entry.path().filename().string().rfind(".values.tmp.", 0) == 0;
    }
    EXPECT_EQ(temporaries, 1u); // only the one planted above
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
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        EXPECT_EQ(Platform::registryStoreDirectory(),
                  fs::path(home) / ".config" / "tarvelo-registry");
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

} // namespace
