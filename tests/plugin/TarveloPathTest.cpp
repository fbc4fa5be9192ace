#include "Registry.h"
#include "RegistrySandbox.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#ifndef _WIN32
#include "OpenHandles.h"
#endif
#include <vector>

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

// The directory is narrowed in the code page of every other narrow path of the run, whatever
// the C locale (these tests run in "C"): the ANSI code page on Windows, UTF-8 elsewhere. A
// directory that has no exact narrow form gives the empty text.
TEST_F(TarveloPath, TextOutsideAsciiIsNarrowedInTheRuntimesCodePage) {
    ASSERT_STREQ(std::setlocale(LC_ALL, nullptr), "C");
#ifdef _WIN32
    ASSERT_EQ(GetACP(), 1252u) << "the expected bytes are those of code page 1252";
#endif
    struct Case {
        const char* label;
        std::vector<unsigned char> data;
        std::string path;
    };
    const std::vector<Case> cases = {
        // "/Größe"
        {"Latin-1",
         {0x2F, 0x00, 0x47, 0x00, 0x72, 0x00, 0xF6, 0x00, 0xDF, 0x00, 0x65, 0x00, 0x00, 0x00},
#ifdef _WIN32
         "/Gr\xF6\xDF"
         "e"},
#else
         "/Gr\xC3\xB6\xC3\x9F"
         "e"},
#endif
        // "/–€Œ": the code page's own characters beyond Latin-1
        {"beyond Latin-1",
         {0x2F, 0x00, 0x13, 0x20, 0xAC, 0x20, 0x52, 0x01, 0x00, 0x00},
#ifdef _WIN32
         "/\x96\x80\x8C"},
#else
         "/\xE2\x80\x93\xE2\x82\xAC\xC5\x92"},
#endif
        {"lone surrogate", {0x2F, 0x00, 0x00, 0xD8, 0x41, 0x00, 0x00, 0x00}, ""},
#ifdef _WIN32
        {"outside the code page", {0x2F, 0x00, 0x2D, 0x4E, 0x00, 0x00}, ""},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        writePath(REG_SZ, c.data);
        EXPECT_EQ(readTarveloPath(), c.path);
    }
}

} // namespace
