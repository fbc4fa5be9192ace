// Registry functions with the Windows contract over the file store of RegistryStore.h.
#include "OpenHandles.h"
#include "RegistryStore.h"
#include "Utf16.h"
#include "Win32Api.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>
#include <set>

namespace {

using Platform::RegistryValue;
using Platform::StoreKey;
using Platform::StoreStatus;

// A key opened through RegOpenKeyExW or RegCreateKeyExW; the HKEY is its address.
struct OpenKey {
    StoreKey key;
    REGSAM access = 0;
};

std::mutex g_mutex; // guards g_openKeys; the store's own lock keeps changes apart
std::set<OpenKey*> g_openKeys;

const char* predefinedRoot(HKEY handle) {
    if (handle == HKEY_CLASSES_ROOT) {
        return "HKEY_CLASSES_ROOT";
    }
    if (handle == HKEY_CURRENT_USER) {
        return "HKEY_CURRENT_USER";
    }
    if (handle == HKEY_LOCAL_MACHINE) {
        return "HKEY_LOCAL_MACHINE";
    }
    if (handle == HKEY_USERS) {
        return "HKEY_USERS";
    }
    return nullptr;
}

std::u16string toUnits(LPCWSTR text) {
    return text == nullptr ? std::u16string() : KorvaneUtil::toUtf16(std::wstring(text));
}

// The key a handle stands for and the access it grants; false for a handle not handed out.
bool resolveHandle(HKEY handle, StoreKey& key, REGSAM& access) {
    if (const char* root = predefinedRoot(handle)) {
        key = StoreKey{root, {}};
        access = KEY_ALL_ACCESS;
        return true;
    }
    auto* open = reinterpret_cast<OpenKey*>(handle);
    if (g_openKeys.count(open) == 0) {
        return false;
    }
    key = open->key;
    access = open->access;
    return true;
}

LSTATUS subKey(HKEY handle, LPCWSTR path, StoreKey& key, REGSAM& access) {
    if (!resolveHandle(handle, key, access)) {
        return ERROR_INVALID_HANDLE;
    }
    auto components = Platform::parseKeyPath(toUnits(path));
    if (!components) {
        return ERROR_BAD_PATHNAME;
    }
    key.components.insert(key.components.end(), components->begin(), components->end());
    return ERROR_SUCCESS;
}

HKEY handOut(StoreKey key, REGSAM access) {
    auto open = std::make_unique<OpenKey>();
    open->key = std::move(key);
    open->access = access & ~(KEY_WOW64_64KEY | KEY_WOW64_32KEY);
    OpenKey* raw = open.release();
    g_openKeys.insert(raw);
    return reinterpret_cast<HKEY>(raw);
}

// The Windows code for what the store answered; missing is the code for a key that is not there.
LSTATUS storeError(StoreStatus status, LSTATUS missing) {
    switch (status) {
    case StoreStatus::Ok:
        return ERROR_SUCCESS;
    case StoreStatus::Missing:
        return missing;
    case StoreStatus::Denied:
    case StoreStatus::Unsafe:
        return ERROR_ACCESS_DENIED;
    case StoreStatus::NoLocation:
        return ERROR_PATH_NOT_FOUND;
    case StoreStatus::TooLarge:
        return ERROR_FILE_TOO_LARGE;
    case StoreStatus::LockTimeout:
        return ERROR_LOCK_VIOLATION;
    case StoreStatus::Unreadable:
    case StoreStatus::WriteFailed:
        break;
    }
    return ERROR_REGISTRY_IO_FAILED;
}

std::vector<RegistryValue>::iterator findValue(std::vector<RegistryValue>& values,
                                               const std::u16string& name) {
    std::u16string folded = Platform::foldName(name);
    return std::find_if(values.begin(), values.end(), [&](const RegistryValue& value) {
        return Platform::foldName(value.name) == folded;
    });
}

// The key of an open handle that grants the wanted access; the caller holds g_mutex.
LSTATUS handleKey(HKEY hKey, REGSAM wanted, StoreKey& key) {
    REGSAM access = 0;
    if (!resolveHandle(hKey, key, access)) {
        return ERROR_INVALID_HANDLE;
    }
    return (access & wanted) == 0 ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

} // namespace

namespace Platform {

std::size_t openRegistryKeyCount() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_openKeys.size();
}

} // namespace Platform

extern "C" {

LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
    if (phkResult == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    StoreKey key;
    REGSAM baseAccess = 0;
    if (LSTATUS rc = subKey(hKey, lpSubKey, key, baseAccess); rc != ERROR_SUCCESS) {
        return rc;
    }
    if (StoreStatus status = Platform::keyState(key); status != StoreStatus::Ok) {
        return storeError(status, ERROR_FILE_NOT_FOUND);
    }
    *phkResult = handOut(std::move(key), samDesired);
    return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM samDesired,
                        const SECURITY_ATTRIBUTES*, PHKEY phkResult, LPDWORD lpdwDisposition) {
    if (phkResult == nullptr || lpSubKey == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    StoreKey key;
    REGSAM baseAccess = 0;
    if (LSTATUS rc = subKey(hKey, lpSubKey, key, baseAccess); rc != ERROR_SUCCESS) {
        return rc;
    }
    StoreStatus status = Platform::keyState(key);
    bool created = false;
    if (status == StoreStatus::Missing) {
        if ((baseAccess & KEY_CREATE_SUB_KEY) == 0) {
            return ERROR_ACCESS_DENIED;
        }
        status = Platform::createKey(key, created);
    }
    if (status != StoreStatus::Ok) {
        return storeError(status, ERROR_FILE_NOT_FOUND);
    }
    if (lpdwDisposition != nullptr) {
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    *phkResult = handOut(std::move(key), samDesired);
    return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                         LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    StoreKey key;
    if (LSTATUS rc = handleKey(hKey, KEY_QUERY_VALUE, key); rc != ERROR_SUCCESS) {
        return rc;
    }
    // A key holds up to the store's limit of data; memory for it may run out, and nothing may
    // throw into the caller.
    std::vector<RegistryValue> values;
    try {
        if (StoreStatus status = Platform::readValues(key, values); status != StoreStatus::Ok) {
            return storeError(status, ERROR_KEY_DELETED);
        }
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    auto value = findValue(values, toUnits(lpValueName));
    if (value == values.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (lpType != nullptr) {
        *lpType = value->type;
    }
    auto size = static_cast<DWORD>(value->data.size());
    if (lpData != nullptr) {
        if (*lpcbData < size) {
            *lpcbData = size;
            return ERROR_MORE_DATA;
        }
        std::copy(value->data.begin(), value->data.end(), lpData);
    }
    if (lpcbData != nullptr) {
        *lpcbData = size;
    }
    return ERROR_SUCCESS;
}

LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                       const BYTE* lpData, DWORD cbData) {
    if (Reserved != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    if (lpData == nullptr && cbData != 0) {
        return ERROR_NOACCESS;
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    StoreKey key;
    if (LSTATUS rc = handleKey(hKey, KEY_SET_VALUE, key); rc != ERROR_SUCCESS) {
        return rc;
    }
    std::u16string name = toUnits(lpValueName);
    try {
        StoreStatus status = Platform::updateValues(key, [&](std::vector<RegistryValue>& values) {
            auto value = findValue(values, name);
            if (value == values.end()) {
                values.push_back(RegistryValue{name, 0, {}});
                value = values.end() - 1;
            }
            value->type = dwType;
            value->data.assign(lpData, lpData + cbData);
        });
        return storeError(status, ERROR_KEY_DELETED);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LSTATUS RegCloseKey(HKEY hKey) {
    if (predefinedRoot(hKey) != nullptr) {
        return ERROR_SUCCESS;
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    auto* open = reinterpret_cast<OpenKey*>(hKey);
    if (g_openKeys.erase(open) == 0) {
        return ERROR_INVALID_HANDLE;
    }
    delete open;
    return ERROR_SUCCESS;
}

} // extern "C"
