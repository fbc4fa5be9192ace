#include "Registry.h"
#include "RegistrySandbox.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#ifndef _WIN32
#include "OpenHandles.h"
#endif

using Velmora::Registry::readTarveloPath;

namespace {

// Text of the given length followed by its NUL, as an installer writes it.
std::vector<unsigned char> pathWithNul(std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        text.push_back(static_cast<char>('a' + i % 26));
    }
    std::vector<unsigned char> bytes = ascii16(text);
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

class TarveloPath : public testing::Test {
protected:
    void writePath(DWORD type, const std::vector<unsigned char>& data) {
        writeRaw(HKEY_LOCAL_MACHINE, kTarveloKeyPath, L"Path", type, data);
    }

    // Off Windows the platform layer counts open keys: every key opened must be closed.
    void TearDown() override {
#ifndef _WIN32
        EXPECT_EQ(Platform::openRegistryKeyCount(), 0u);
#endif
    }

    RegistrySandbox sandbox;
};

TEST_F(TarveloPath, NoKeyGivesNoValue) {
    EXPECT_EQ(readTarveloPath(), std::nullopt);
}

TEST_F(TarveloPath, KeyWithoutPathGivesNoValue) {
    createKey(HKEY_LOCAL_MACHINE, kTarveloKeyPath);
    writeRaw(HKEY_LOCAL_MACHINE, kTarveloKeyPath, L"Other", REG_SZ, ascii16("C:\\x"));
    EXPECT_EQ(readTarveloPath(), std::nullopt);
}

TEST_F(TarveloPath, DirectoryOf511CharactersFitsAnd512DoNot) {
    writePath(REG_SZ, pathWithNul(511));
    std::optional<std::string> path = readTarveloPath();
    ASSERT_TRUE(path);
    EXPECT_EQ(path->size(), 511u);
    EXPECT_EQ(path->substr(0, 3), "abc");
    EXPECT_EQ(path->back(), 'a' + 510 % 26);

    writePath(REG_SZ, pathWithNul(512));
    EXPECT_EQ(readTarveloPath(), std::nullopt);
}

TEST_F(TarveloPath, TextIsPlainDirectoryText) {
    struct Case {
        const char* label;
        DWORD type;
        std::vector<unsigned char> data;
        std::optional<std::string> path;
    };
    std::vector<unsigned char> expandable = ascii16("%ProgramFiles%\\Tarvelo");
    expandable.insert(expandable.end(), {0x00, 0x00});
    std::vector<unsigned char> multi = ascii16("C:\\Tarvelo");
    multi.insert(multi.end(), {0x00, 0x00, 0x44, 0x00, 0x3A, 0x00, 0x00, 0x00, 0x00, 0x00});
    const std::vector<Case> cases = {
        {"EmptyText", REG_SZ, {0x00, 0x00}, std::string()},
        {"NoData", REG_SZ, {}, std::string()},
        {"Expandable", REG_EXPAND_SZ, expandable, "%ProgramFiles%\\Tarvelo"},
        // Without a NUL the text ends with the data; nothing beyond it is read.
        {"NoNul", REG_SZ, ascii16("C:\\Tarvelo"), "C:\\Tarvelo"},
        {"NoNulFullBuffer", REG_SZ, ascii16(std::string(512, 'x')), std::string(512, 'x')},
        {"StopsAtFirstNul", REG_SZ, {0x43, 0x00, 0x00, 0x00, 0x44, 0x00, 0x00, 0x00}, "C"},
        {"OddSize", REG_SZ, {0x43, 0x00, 0x3A, 0x00, 0x5C}, "C:"},
        {"Dword", REG_DWORD, {0x43, 0x00, 0x00, 0x00}, std::nullopt},
        {"Binary", REG_BINARY, ascii16("C:\\Tarvelo"), std::nullopt},
        {"MultiString", REG_MULTI_SZ, {0x43, 0x00, 0x00, 0x00, 0x00, 0x00}, "C"},
        {"MultiStringGivesItsFirstString", REG_MULTI_SZ, multi, "C:\\Tarvelo"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        writePath(c.type, c.data);
        EXPECT_EQ(readTarveloPath(), c.path);
    }
}

#ifndef _WIN32
// Narrowing follows the runtime's locale; the buffer holds the widest narrow form.
TEST_F(TarveloPath, TextOutsideAsciiIsNarrowedInTheCurrentLocale) {
    const std::vector<unsigned char> data = {0x2F, 0x00, 0x47, 0x00, 0x72, 0x00, 0xF6,
                                             0x00, 0xDF, 0x00, 0x65, 0x00, 0x00, 0x00};
    writePath(REG_SZ, data);

    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    std::optional<std::string> utf8 = readTarveloPath();
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(utf8, "/Gr\xC3\xB6\xC3\x9F"
                    "e");

    // No narrow form in the "C" locale: the empty text, still a value.
    EXPECT_EQ(readTarveloPath(), std::string());
}
#endif

} // namespace
