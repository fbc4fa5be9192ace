// A registry of its own for each test, and raw access to it for setting up cases and checking
// what was written. Off Windows the platform layer's store moves to a fresh directory; on
// Windows (Wine) the project's keys are removed before and after the test.
#pragma once

#include "PrivateRegistryStore.h"
#include "Win32.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class RegistrySandbox {
public:
    RegistrySandbox();
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

#ifndef _WIN32
    const std::filesystem::path& storeDirectory() const {
        return store_.directory();
    }

private:
    TvlTest::PrivateRegistryStore store_;
#endif
};

inline const wchar_t* const kOptionsKeyPath = L"SOFTWARE\\Korvane\\Tarvelo\\Options";
inline const wchar_t* const kTarveloKeyPath = L"SOFTWARE\\Korvane\\Tarvelo";

struct RawValue {
    DWORD type = 0;
    std::vector<unsigned char> data;
    bool operator==(const RawValue&) const = default;
};

// Creates the key when needed and stores exactly the given bytes.
void writeRaw(HKEY root, const wchar_t* path, const wchar_t* name, DWORD type,
              const std::vector<unsigned char>& data);
void createKey(HKEY root, const wchar_t* path);
std::optional<RawValue> readRaw(HKEY root, const wchar_t* path, const wchar_t* name);
bool keyExists(HKEY root, const wchar_t* path);

// Text as UTF-16LE bytes, for fixtures written as plain text: "AB" gives 41 00 42 00.
std::vector<unsigned char> ascii16(std::string_view text);
