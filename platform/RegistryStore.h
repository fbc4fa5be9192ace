// The file store behind the registry functions off Windows.
//
// Location: $TARVELO_REGISTRY_DIR, else $XDG_CONFIG_HOME/tarvelo-registry, else
// $HOME/.config/tarvelo-registry; read anew on every call, so a test can point it elsewhere.
// Inside: one directory per root ("HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", ...), below it one
// directory per key component, and in each key's directory the file ".values" that holds the
// key's values. A key exists when its ".values" file does. Key and value names compare with ASCII
// letters folded to lower case, as Windows compares them without case; directory names use the
// folded form, with every character but a-z, 0-9, '_' and '-' written as %xxxx (its UTF-16 unit).
//
// ".values" layout, little-endian: "TVREGKEY", u32 version 1, u32 value count, per value (u32
// name length in UTF-16 units, the name in UTF-16LE, u32 type, u32 data size, the raw data), then
// the FNV-1a 64-bit hash of everything before it. A file that does not parse reads as a key with
// no values. Files are replaced whole: written to a temporary file beside them, then renamed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace Platform {

// One value as the registry holds it: the name as first written, the type code, the raw bytes.
struct RegistryValue {
    std::u16string name;
    std::uint32_t type = 0;
    std::vector<unsigned char> data;
};

// A key: its root's directory name and its path components, folded.
struct StoreKey {
    std::string root;
    std::vector<std::u16string> components;
};

enum class KeyState { Present, Missing, Unreadable };

std::filesystem::path registryStoreDirectory();

// ASCII letters to lower case, everything else unchanged.
std::u16string foldName(const std::u16string& name);

// Splits a key path at backslashes and folds it. An empty path is the root itself; an empty
// component (leading, trailing or doubled backslash) gives no value.
std::optional<std::vector<std::u16string>> parseKeyPath(const std::u16string& path);

std::filesystem::path keyDirectory(const StoreKey& key);
std::filesystem::path keyFile(const StoreKey& key);

KeyState keyState(const StoreKey& key);

// Creates the key and every missing key above it. Sets created when the key itself was new.
bool createKey(const StoreKey& key, bool& created);

// The key's values; an unreadable or corrupt file gives none.
std::vector<RegistryValue> readValues(const StoreKey& key);

// Replaces the key's values atomically. False when the file could not be written.
bool writeValues(const StoreKey& key, const std::vector<RegistryValue>& values);

std::vector<unsigned char> serializeValues(const std::vector<RegistryValue>& values);
std::optional<std::vector<RegistryValue>> parseValues(const std::vector<unsigned char>& bytes);

} // namespace Platform
