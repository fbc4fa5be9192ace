#include "RegistrySandbox.h"

#include <gtest/gtest.h>

RegistrySandbox::RegistrySandbox() {
#ifdef _WIN32
    RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Korvane");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Korvane");
#else
    if (!store_.ready()) {
        ADD_FAILURE() << "cannot create a store directory";
    }
#endif
}

RegistrySandbox::~RegistrySandbox() {
#ifdef _WIN32
    RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Korvane");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Korvane");
#endif
}

void createKey(HKEY root, const wchar_t* path) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void writeRaw(HKEY root, const wchar_t* path, const wchar_t* name, DWORD type,
              const std::vector<unsigned char>& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    // Windows completes string data whose unit after the end is NUL; a non-NUL unit there keeps
    // the bytes as counted.
    std::vector<unsigned char> buffer = data;
    buffer.push_back(0xFF);
    buffer.push_back(0xFF);
    EXPECT_EQ(RegSetValueExW(key, name, 0, type, buffer.data(), static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

std::optional<RawValue> readRaw(HKEY root, const wchar_t* path, const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    RawValue value;
    DWORD size = 0;
    LSTATUS rc = RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size);
    if (rc == ERROR_SUCCESS) {
        value.data.resize(size);
        rc = RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &size);
        value.data.resize(size);
    }
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

bool keyExists(HKEY root, const wchar_t* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

std::vector<unsigned char> ascii16(std::string_view text) {
    std::vector<unsigned char> bytes;
    for (char c : text) {
        bytes.push_back(static_cast<unsigned char>(c));
        bytes.push_back(0);
    }
    return bytes;
}
