#include "RegistryStore.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <string_view>
#include <system_error>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

namespace {

namespace fs = std::filesystem;

constexpr char kMagic[8] = {'T', 'V', 'R', 'E', 'G', 'K', 'E', 'Y'};
constexpr std::uint32_t kVersion = 1;
constexpr const char* kValuesFileName = ".values";
constexpr const char* kLockFileName = ".lock";
// A key file is written as ".values.tmp.XXXXXX" first (mkostemp's six letters and digits).
constexpr std::string_view kTemporaryInfix = ".tmp.";
constexpr std::size_t kTemporarySuffixLength = 6;

std::function<bool(ReplaceStep)> g_replaceFault;

// True when the test hook makes this step fail; errno is then that of a failing disk.
bool faulted(ReplaceStep step) {
    if (g_replaceFault && g_replaceFault(step)) {
        errno = EIO;
        return true;
    }
    return false;
}

std::uint64_t fnv1a(const unsigned char* data, std::size_t size) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= data[i];
        hash *= 0x100000001b3ull;
    }
    return hash;
}

void putU32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<unsigned char>(v >> (8 * i)));
    }
}

void putU64(std::vector<unsigned char>& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) {
        out.push_back(static_cast<unsigned char>(v >> (8 * i)));
    }
}

// Reads little-endian fields and refuses to run past the end.
class Reader {
public:
    Reader(const std::vector<unsigned char>& bytes, std::size_t end) : bytes_(bytes), end_(end) {}

    bool u32(std::uint32_t& v) {
        if (end_ - pos_ < 4) {
            return false;
        }
        v = 0;
        for (int i = 0; i < 4; ++i) {
            v |= static_cast<std::uint32_t>(bytes_[pos_ + i]) << (8 * i);
        }
        pos_ += 4;
        return true;
    }

    bool take(std::size_t count, const unsigned char*& where) {
        if (end_ - pos_ < count) {
            return false;
        }
        where = bytes_.data() + pos_;
        pos_ += count;
        return true;
    }

    bool atEnd() const { return pos_ == end_; }

private:
    const std::vector<unsigned char>& bytes_;
    std::size_t end_;
    std::size_t pos_ = 0;
};

char16_t foldUnit(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// Names of a key's values, told apart as Windows does (ASCII letters without case), in time
// linear in their number: open addressing over indices into the values, keyed by a hash of the
// folded name, so that no folded copy is made.
class FoldedNames {
public:
    FoldedNames(const std::vector<RegistryValue>& values, std::size_t expected) : values_(values) {
        std::size_t size = 16;
        while (size < 2 * expected) {
            size *= 2;
            --shift_;
        }
        slots_.assign(size, kEmpty);
    }

    // Adds values[index]; false when an earlier value has the same folded name.
    bool add(std::size_t index) {
        if (2 * (count_ + 1) > slots_.size()) {
            grow();
        }
        const std::u16string& name = values_[index].name;
        for (std::size_t slot = slotOf(name);; slot = (slot + 1) & (slots_.size() - 1)) {
            if (slots_[slot] == kEmpty) {
                slots_[slot] = index;
                ++count_;
                return true;
            }
            if (sameFolded(values_[slots_[slot]].name, name)) {
                return false;
            }
        }
    }

private:
    static constexpr std::size_t kEmpty = static_cast<std::size_t>(-1);

    // FNV-1a over the folded units, spread by a Fibonacci multiply: the table takes the top bits,
    // which depend on every unit (FNV's low bits depend only on the units' low bits).
    std::size_t slotOf(const std::u16string& name) const {
        std::uint64_t h = 0xcbf29ce484222325ull;
        for (char16_t c : name) {
            h = (h ^ foldUnit(c)) * 0x100000001b3ull;
        }
        return static_cast<std::size_t>((h * 0x9e3779b97f4a7c15ull) >> shift_);
    }

    static bool sameFolded(const std::u16string& a, const std::u16string& b) {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(),
                          [](char16_t x, char16_t y) { return foldUnit(x) == foldUnit(y); });
    }

    void grow() {
        std::vector<std::size_t> old = std::move(slots_);
        slots_.assign(old.size() * 2, kEmpty);
        --shift_;
        for (std::size_t index : old) {
            if (index == kEmpty) {
                continue;
            }
            std::size_t slot = slotOf(values_[index].name);
            while (slots_[slot] != kEmpty) {
                slot = (slot + 1) & (slots_.size() - 1);
            }
            slots_[slot] = index;
        }
    }

    const std::vector<RegistryValue>& values_;
    std::vector<std::size_t> slots_;
    int shift_ = 60; // 64 minus the bits of a slot number
    std::size_t count_ = 0;
};

std::string encodeComponent(const std::u16string& folded) {
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (char16_t c : folded) {
        if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'-') {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            for (int shift = 12; shift >= 0; shift -= 4) {
                out.push_back(hex[(c >> shift) & 0xF]);
            }
        }
    }
    return out;
}

// Each system call of a file replacement goes through the test hook, which can make it fail in
// its place: a caller that ignored the call's result would ignore the fault as well.
bool writeAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = faulted(ReplaceStep::Write) ? -1 : ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

int flushFile(int fd) {
    return faulted(ReplaceStep::FlushFile) ? -1 : ::fsync(fd);
}

int renameFile(const std::string& from, const fs::path& to) {
    return faulted(ReplaceStep::Rename) ? -1 : ::rename(from.c_str(), to.c_str());
}

// Closes a descriptor on every way out.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    bool valid() const { return fd_ >= 0; }
    int get() const { return fd_; }

    // Closes now; false when the close reported an error (a write that did not reach the file).
    bool close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

StoreStatus statusOfErrno(int error) {
    switch (error) {
    case ENOENT:
        return StoreStatus::Missing;
    case EACCES:
    case EPERM:
        return StoreStatus::Denied;
    default:
        return StoreStatus::Unreadable;
    }
}

// Flushes a folder's entries to disk; a file system that cannot sync folders answers EINVAL.
bool syncFolder(const fs::path& dir) {
    FileDescriptor fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.valid() && (::fsync(fd.get()) == 0 || errno == EINVAL);
}

// Writes the file beside its final place, flushes it and renames it there, then flushes the
// folder: a reader sees either the old or the new contents, never a part, and so does the disk
// after a crash. The file is private (0600) whatever the process's mask.
bool replaceFile(const fs::path& target, const std::vector<unsigned char>& bytes) {
    std::string temp = target.string() + std::string(kTemporaryInfix) + "XXXXXX";
    FileDescriptor fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd.valid()) {
        return false;
    }
    bool ok = ::fchmod(fd.get(), 0600) == 0 && writeAll(fd.get(), bytes.data(), bytes.size()) &&
              flushFile(fd.get()) == 0;
    // A close can report a write that did not reach the file.
    const bool closed = fd.close() && !faulted(ReplaceStep::CloseFile);
    if (!ok || !closed || renameFile(temp, target) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return !faulted(ReplaceStep::FlushFolder) && syncFolder(target.parent_path());
}

// The name replaceFile gives the temporary file of a key file.
bool isTemporaryName(std::string_view name) {
    const std::string prefix = std::string(kValuesFileName) + std::string(kTemporaryInfix);
    if (name.size() != prefix.size() + kTemporarySuffixLength ||
        name.substr(0, prefix.size()) != prefix) {
        return false;
    }
    return std::all_of(
        name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        });
}

// Removes the temporary key files a writer left in a key's folder when it was killed before its
// rename. Runs under the store's lock, so no writer of the store is using one. Only regular files
// of ours with the store's temporary name go; what cannot be removed stays, unread.
void removeLeftTemporaries(const fs::path& keyDir) {
    DIR* listing = ::opendir(keyDir.c_str());
    if (listing == nullptr) {
        return;
    }
    const int dirFd = ::dirfd(listing);
    while (const dirent* entry = ::readdir(listing)) {
        if (!isTemporaryName(entry->d_name)) {
            continue;
        }
        struct stat info {};
        if (::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && info.st_uid == ::geteuid()) {
            ::unlinkat(dirFd, entry->d_name, 0);
        }
    }
    ::closedir(listing);
}

// A folder of the store: it must be ours, and nobody else may write it. One that others could
// write (made by an earlier build under a mask such as 002) is made private rather than refused;
// one of another user is refused. The store folder itself may be reached through a link the user
// set up; inside the store nothing is a link.
StoreStatus checkFolder(const fs::path& dir, bool followLink) {
    struct stat info {};
    if ((followLink ? ::stat(dir.c_str(), &info) : ::lstat(dir.c_str(), &info)) != 0) {
        return statusOfErrno(errno);
    }
    if (S_ISLNK(info.st_mode)) {
        return StoreStatus::Unsafe;
    }
    if (!S_ISDIR(info.st_mode)) {
        return StoreStatus::Unreadable;
    }
    if (info.st_uid != ::geteuid()) {
        return StoreStatus::Unsafe;
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) == 0) {
        return StoreStatus::Ok;
    }
    // Through a descriptor of the very folder that was checked, so that nothing put in its place
    // meanwhile is changed instead.
    FileDescriptor fd(
        ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW)));
    if (!fd.valid()) {
        return statusOfErrno(errno) == StoreStatus::Denied ? StoreStatus::Denied
                                                           : StoreStatus::Unsafe;
    }
    struct stat opened {};
    if (::fstat(fd.get(), &opened) != 0 || opened.st_dev != info.st_dev ||
        opened.st_ino != info.st_ino || opened.st_uid != ::geteuid()) {
        return StoreStatus::Unsafe;
    }
    return ::fchmod(fd.get(), 0700) == 0 ? StoreStatus::Ok : statusOfErrno(errno);
}

// Makes a missing folder private; an existing one must pass checkFolder.
StoreStatus makeFolder(const fs::path& dir, bool followLink) {
    if (::mkdir(dir.c_str(), 0700) != 0) {
        return errno == EEXIST ? checkFolder(dir, followLink) : statusOfErrno(errno);
    }
    // The process's mask may have taken owner bits away as well.
    if (::chmod(dir.c_str(), 0700) != 0 || !syncFolder(dir.parent_path())) {
        return StoreStatus::WriteFailed;
    }
    return StoreStatus::Ok;
}

std::optional<fs::path> accountHome() {
    std::vector<char> buffer(16384);
    for (;;) {
        passwd entry{};
        passwd* found = nullptr;
        int error = ::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0 || found == nullptr || entry.pw_dir == nullptr || entry.pw_dir[0] != '/') {
            return std::nullopt;
        }
        return fs::path(entry.pw_dir);
    }
}

// The usable store folder, made with its missing parents when make is set.
StoreStatus storeFolder(bool make, fs::path& dir) {
    std::optional<fs::path> location = registryStoreDirectory();
    if (!location) {
        return StoreStatus::NoLocation;
    }
    dir = *location;
    if (make) {
        fs::path partial;
        for (const fs::path& part : dir) {
            partial /= part;
            struct stat info {};
            if (::stat(partial.c_str(), &info) == 0) {
                continue;
            }
            if (errno != ENOENT) {
                return statusOfErrno(errno);
            }
            if (StoreStatus status = makeFolder(partial, true); status != StoreStatus::Ok) {
                return status;
            }
        }
    }
    return checkFolder(dir, true);
}

// Checks, or makes when make is set, the folders from the root's down to the key's.
StoreStatus keyFolders(const fs::path& store, const StoreKey& key, bool make, fs::path& dir) {
    dir = store / key.root;
    StoreStatus status = make ? makeFolder(dir, false) : checkFolder(dir, false);
    for (std::size_t i = 0; i < key.components.size() && status == StoreStatus::Ok; ++i) {
        dir /= encodeComponent(key.components[i]);
        status = make ? makeFolder(dir, false) : checkFolder(dir, false);
    }
    return status;
}

// Whether a key's file is there as the store makes it: a regular file of the effective user (one
// of another user was planted). Missing when there is none.
StoreStatus keyFileState(const fs::path& file) {
    struct stat info {};
    if (::lstat(file.c_str(), &info) != 0) {
        return statusOfErrno(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return StoreStatus::Unreadable;
    }
    return info.st_uid == ::geteuid() ? StoreStatus::Ok : StoreStatus::Unsafe;
}

StoreStatus readKeyFile(const fs::path& file, std::vector<RegistryValue>& values) {
    values.clear();
    // Not blocking: a pipe in the file's place must not hang the caller.
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!fd.valid()) {
        return errno == ELOOP ? StoreStatus::Unreadable : statusOfErrno(errno);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return StoreStatus::Unreadable;
    }
    // A file of another user in a key's folder was planted while the folder was open to others.
    if (info.st_uid != ::geteuid()) {
        return StoreStatus::Unsafe;
    }
    if (static_cast<std::uintmax_t>(info.st_size) > kMaxKeyFileSize) {
        return StoreStatus::TooLarge;
    }
    // One byte more than the size: a file that grows while it is read was not written by the
    // store (which replaces files whole) and is not taken for a short, corrupt one.
    std::vector<unsigned char> bytes(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return statusOfErrno(errno);
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (done == bytes.size()) {
        return StoreStatus::Unreadable;
    }
    bytes.resize(done);
    values = parseValues(bytes).value_or(std::vector<RegistryValue>{});
    return StoreStatus::Ok;
}

// The store's advisory lock, held from construction to destruction; closing the descriptor
// lets it go on every way out. Each holder opens the file anew, so threads exclude each other
// as well as processes. The wait is bounded: a holder that keeps the lock longer (a stopped
// session) makes the call fail instead of hanging the host.
class StoreLock {
public:
    explicit StoreLock(const fs::path& store)
        : fd_(::open((store / kLockFileName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW,
                     0600)) {
        if (!fd_.valid()) {
            status_ = statusOfErrno(errno) == StoreStatus::Denied ? StoreStatus::Denied
                                                                  : StoreStatus::WriteFailed;
            return;
        }
        // Made under a mask that took owner bits away, the file could not be opened again.
        struct stat info {};
        if (::fstat(fd_.get(), &info) == 0 && info.st_uid == ::geteuid() &&
            (info.st_mode & 07777) != 0600) {
            // Only later opens need it; a failure shows there as a refused open.
            (void)::fchmod(fd_.get(), 0600);
        }
        const auto deadline = std::chrono::steady_clock::now() + kStoreLockWait;
        auto pause = std::chrono::milliseconds(1);
        while (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno != EWOULDBLOCK) {
                return;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                status_ = StoreStatus::LockTimeout;
                return;
            }
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, std::chrono::milliseconds(16));
        }
        status_ = StoreStatus::Ok;
    }

    StoreStatus status() const { return status_; }

private:
    FileDescriptor fd_;
    StoreStatus status_ = StoreStatus::WriteFailed;
};

// Finds the store folder (made when asked), takes the store's lock and runs work on the folder.
StoreStatus underStoreLock(bool make, const std::function<StoreStatus(const fs::path&)>& work) {
    fs::path store;
    if (StoreStatus status = storeFolder(make, store); status != StoreStatus::Ok) {
        return status;
    }
    StoreLock lock(store);
    return lock.status() == StoreStatus::Ok ? work(store) : lock.status();
}

} // namespace

void setReplaceFaultForTesting(std::function<bool(ReplaceStep)> fail) {
    g_replaceFault = std::move(fail);
}

std::optional<fs::path> registryStoreDirectory() {
    if (const char* dir = std::getenv("TARVELO_REGISTRY_DIR"); dir != nullptr && *dir != '\0') {
        std::error_code error;
        fs::path absolute = fs::absolute(dir, error);
        if (error) {
            return std::nullopt;
        }
        return absolute.lexically_normal();
    }
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/') {
        return (fs::path(config) / "tarvelo-registry").lexically_normal();
    }
    std::optional<fs::path> home;
    if (const char* variable = std::getenv("HOME"); variable != nullptr && *variable == '/') {
        home = variable;
    } else {
        home = accountHome();
    }
    if (!home) {
        return std::nullopt;
    }
    return (*home / ".config" / "tarvelo-registry").lexically_normal();
}

std::u16string foldName(const std::u16string& name) {
    std::u16string folded = name;
    std::transform(folded.begin(), folded.end(), folded.begin(), foldUnit);
    return folded;
}

std::optional<std::vector<std::u16string>> parseKeyPath(const std::u16string& path) {
    std::vector<std::u16string> components;
    if (path.empty()) {
        return components;
    }
    std::size_t start = 0;
    while (true) {
        std::size_t end = path.find(u'\\', start);
        std::u16string part = path.substr(start, end == std::u16string::npos ? end : end - start);
        if (part.empty()) {
            return std::nullopt;
        }
        components.push_back(foldName(part));
        if (end == std::u16string::npos) {
            break;
        }
        start = end + 1;
    }
    return components;
}

StoreStatus keyState(const StoreKey& key) {
    fs::path store;
    fs::path dir;
    StoreStatus status = storeFolder(false, store);
    if (status == StoreStatus::Ok) {
        status = keyFolders(store, key, false, dir);
    }
    if (key.components.empty()) {
        return status == StoreStatus::Missing ? StoreStatus::Ok : status;
    }
    return status == StoreStatus::Ok ? keyFileState(dir / kValuesFileName) : status;
}

StoreStatus createKey(const StoreKey& key, bool& created) {
    created = false;
    return underStoreLock(true, [&](const fs::path& store) {
        fs::path dir = store / key.root;
        if (StoreStatus status = makeFolder(dir, false); status != StoreStatus::Ok) {
            return status;
        }
        for (const std::u16string& component : key.components) {
            dir /= encodeComponent(component);
            if (StoreStatus status = makeFolder(dir, false); status != StoreStatus::Ok) {
                return status;
            }
            fs::path file = dir / kValuesFileName;
            // A key above of another user is refused as opening it would be.
            if (StoreStatus status = keyFileState(file); status != StoreStatus::Missing) {
                if (status != StoreStatus::Ok) {
                    return status;
                }
                created = false;
                continue;
            }
            removeLeftTemporaries(dir);
            if (!replaceFile(file, serializeValues({}))) {
                return StoreStatus::WriteFailed;
            }
            created = true;
        }
        return StoreStatus::Ok;
    });
}

StoreStatus readValues(const StoreKey& key, std::vector<RegistryValue>& values) {
    values.clear();
    fs::path store;
    fs::path dir;
    StoreStatus status = storeFolder(false, store);
    if (status == StoreStatus::Ok) {
        status = keyFolders(store, key, false, dir);
    }
    if (status == StoreStatus::Ok) {
        status = readKeyFile(dir / kValuesFileName, values);
    }
    // A root holds no values until one is set.
    return status == StoreStatus::Missing && key.components.empty() ? StoreStatus::Ok : status;
}

StoreStatus updateValues(const StoreKey& key,
                         const std::function<void(std::vector<RegistryValue>&)>& change) {
    // A root's folders are made on its first value; a key's exist while the key does.
    bool root = key.components.empty();
    return underStoreLock(root, [&](const fs::path& store) {
        fs::path dir;
        if (StoreStatus status = keyFolders(store, key, root, dir); status != StoreStatus::Ok) {
            return status;
        }
        std::vector<RegistryValue> values;
        StoreStatus status = readKeyFile(dir / kValuesFileName, values);
        if (status == StoreStatus::Missing && root) {
            status = StoreStatus::Ok;
        }
        if (status != StoreStatus::Ok) {
            return status;
        }
        change(values);
        std::vector<unsigned char> bytes = serializeValues(values);
        if (bytes.size() > kMaxKeyFileSize) {
            return StoreStatus::TooLarge;
        }
        removeLeftTemporaries(dir);
        return replaceFile(dir / kValuesFileName, bytes) ? StoreStatus::Ok
                                                         : StoreStatus::WriteFailed;
    });
}

std::vector<unsigned char> serializeValues(const std::vector<RegistryValue>& values) {
    std::vector<unsigned char> out(std::begin(kMagic), std::end(kMagic));
    putU32(out, kVersion);
    putU32(out, static_cast<std::uint32_t>(values.size()));
    for (const RegistryValue& value : values) {
        putU32(out, static_cast<std::uint32_t>(value.name.size()));
        for (char16_t c : value.name) {
            out.push_back(static_cast<unsigned char>(c & 0xFF));
            out.push_back(static_cast<unsigned char>(c >> 8));
        }
        putU32(out, value.type);
        putU32(out, static_cast<std::uint32_t>(value.data.size()));
        out.insert(out.end(), value.data.begin(), value.data.end());
    }
    putU64(out, fnv1a(out.data(), out.size()));
    return out;
}

std::optional<std::vector<RegistryValue>> parseValues(const std::vector<unsigned char>& bytes) {
    if (bytes.size() < sizeof(kMagic) + 8 + 8) {
        return std::nullopt;
    }
    std::size_t body = bytes.size() - 8;
    std::uint64_t stored = 0;
    for (int i = 0; i < 8; ++i) {
        stored |= static_cast<std::uint64_t>(bytes[body + i]) << (8 * i);
    }
    if (stored != fnv1a(bytes.data(), body)) {
        return std::nullopt;
    }
    Reader reader(bytes, body);
    const unsigned char* magic = nullptr;
    std::uint32_t version = 0;
    std::uint32_t count = 0;
    if (!reader.take(sizeof(kMagic), magic) || !std::equal(magic, magic + 8, kMagic) ||
        !reader.u32(version) || version != kVersion || !reader.u32(count)) {
        return std::nullopt;
    }
    // The count comes from the file: trust it no further than the bytes that follow, at least
    // 12 per value.
    const std::size_t expected = std::min<std::size_t>(count, body / 12);
    std::vector<RegistryValue> values;
    values.reserve(expected);
    // A second value of the same name makes the file corrupt.
    FoldedNames names(values, expected);
    for (std::uint32_t i = 0; i < count; ++i) {
        RegistryValue value;
        std::uint32_t nameUnits = 0;
        std::uint32_t dataSize = 0;
        const unsigned char* where = nullptr;
        if (!reader.u32(nameUnits) || !reader.take(std::size_t{nameUnits} * 2, where)) {
            return std::nullopt;
        }
        value.name.resize(nameUnits);
        for (std::uint32_t u = 0; u < nameUnits; ++u) {
            value.name[u] = static_cast<char16_t>(where[2 * u] | (where[2 * u + 1] << 8));
        }
        if (!reader.u32(value.type) || !reader.u32(dataSize) || !reader.take(dataSize, where)) {
            return std::nullopt;
        }
        value.data.assign(where, where + dataSize);
        values.push_back(std::move(value));
        if (!names.add(values.size() - 1)) {
            return std::nullopt;
        }
    }
    if (!reader.atEnd()) {
        return std::nullopt;
    }
    return values;
}

StoreStatus makeStoreFolder() {
    fs::path dir;
    return storeFolder(true, dir);
}

} // namespace Platform
