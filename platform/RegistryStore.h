// The file store behind the registry functions off Windows.
//
// Location: $TARVELO_REGISTRY_DIR, else $XDG_CONFIG_HOME/tarvelo-registry, else
// $HOME/.config/tarvelo-registry, else the same below the home folder of the user's account;
// read anew on every call, so a test can point it elsewhere. The store folder, every folder in it
// and every key file must belong to the effective user: another user who could make or change them
// could plant values, such as the program the plug-in starts. A folder of the user's that others
// could write (made by an earlier build under a mask such as 002) is made private, not refused.
// Folders the store makes are private (0700) and its files 0600, whatever the process's mask.
// Inside: one directory per root ("HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", ...), below it one
// directory per key component, and in each key's directory the file ".values" that holds the
// key's values. A key exists when its ".values" file does. Key and value names compare with ASCII
// letters folded to lower case, as Windows compares them without case; directory names use the
// folded form, with every character but a-z, 0-9, '_' and '-' written as %xxxx (its UTF-16 unit).
//
// ".values" layout, little-endian: "TVREGKEY", u32 version 1, u32 value count, per value (u32
// name length in UTF-16 units, the name in UTF-16LE, u32 type, u32 data size, the raw data), then
// the FNV-1a 64-bit hash of everything before it. A file whose content does not parse reads as a
// key with no values; a file that cannot be read at all is an error, so that no write replaces
// values it never saw. Files are replaced whole: written to a temporary file beside them, flushed
// to disk, renamed, and the folder flushed. Every change runs under an advisory lock on the
// store's file ".lock", so that writers in several processes never drop each other's values. A
// writer waits at most kStoreLockWait for it, then the call fails (LockTimeout): a session stopped
// while it holds the lock never hangs another. Under the lock, a write first removes the temporary
// files that killed writers left in the key's folder.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
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

// What a store operation came to.
enum class StoreStatus {
    Ok,
    Missing,     // the key does not exist
    Denied,      // the system refused access to the key's file or folder
    Unsafe,      // the store folder or a folder in it belongs to another user or others can write
    NoLocation,  // no folder for the store can be named
    Unreadable,  // something else stands where the key's file or folder belongs, or an I/O error
    TooLarge,    // the key's file is, or would become, larger than kMaxKeyFileSize
    WriteFailed, // the key's file could not be replaced or flushed to disk
    LockTimeout, // another writer held the store's lock for longer than kStoreLockWait
};

// The largest key file that is read, and so the largest that is written.
inline constexpr std::uintmax_t kMaxKeyFileSize = 64u * 1024u * 1024u;

// How long a writer waits for the store's lock.
inline constexpr std::chrono::milliseconds kStoreLockWait{5000};

// The steps of replacing a key's file.
enum class ReplaceStep { Write, FlushFile, CloseFile, Rename, FlushFolder };

// Tests only: asked before each step of every file replacement; true makes that step fail as a
// failing disk would (EIO). An empty function removes the hook.
void setReplaceFaultForTesting(std::function<bool(ReplaceStep)> fail);

// No value when none of the variables names a folder and the account has no home folder.
std::optional<std::filesystem::path> registryStoreDirectory();

// ASCII letters to lower case, everything else unchanged.
std::u16string foldName(const std::u16string& name);

// Splits a key path at backslashes and folds it. An empty path is the root itself; an empty
// component (leading, trailing or doubled backslash) gives no value.
std::optional<std::vector<std::u16string>> parseKeyPath(const std::u16string& path);

// Ok when the key exists. A root always exists once the store's location is usable.
StoreStatus keyState(const StoreKey& key);

// Creates the key and every missing key above it. Sets created when the key itself was new.
StoreStatus createKey(const StoreKey& key, bool& created);

// The key's values; a file whose content is corrupt gives Ok and none.
StoreStatus readValues(const StoreKey& key, std::vector<RegistryValue>& values);

// Reads the key's values, lets change edit them and replaces the key's file with the result.
// Nothing is written unless the key could be read and the result fits kMaxKeyFileSize.
StoreStatus updateValues(const StoreKey& key,
                         const std::function<void(std::vector<RegistryValue>&)>& change);

std::vector<unsigned char> serializeValues(const std::vector<RegistryValue>& values);
std::optional<std::vector<RegistryValue>> parseValues(const std::vector<unsigned char>& bytes);

// Makes the store's folder where it is missing, with each missing folder above it, as a write
// would (private, whatever the process's mask), and checks it as every call does: Ok when the
// store can be used.
StoreStatus makeStoreFolder();

} // namespace Platform
