#include "RegistryStore.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

namespace {

constexpr char kMagic[8] = {'T', 'V', 'R', 'E', 'G', 'K', 'E', 'Y'};
constexpr std::uint32_t kVersion = 1;
constexpr std::uintmax_t kMaxFileSize = 64u * 1024u * 1024u;
constexpr const char* kValuesFileName = ".values";

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

bool writeAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
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

// Writes the file beside its final place and renames it there, so that a reader sees either
// the old or the new contents, never a part.
bool replaceFile(const std::filesystem::path& target, const std::vector<unsigned char>& bytes) {
    std::string temp = target.string() + ".tmp.XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        return false;
    }
    bool ok = writeAll(fd, bytes.data(), bytes.size());
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(temp.c_str(), target.c_str()) == 0) {
        return true;
    }
    ::unlink(temp.c_str());
    return false;
}

} // namespace

std::filesystem::path registryStoreDirectory() {
    if (const char* dir = std::getenv("TARVELO_REGISTRY_DIR"); dir != nullptr && *dir != '\0') {
        return dir;
    }
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/') {
        return std::filesystem::path(config) / "tarvelo-registry";
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return std::filesystem::path(home) / ".config" / "tarvelo-registry";
    }
    return std::filesystem::path("/tmp") / ("tarvelo-registry-" + std::to_string(::getuid()));
}

std::u16string foldName(const std::u16string& name) {
    std::u16string folded = name;
    for (char16_t& c : folded) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
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

std::filesystem::path keyDirectory(const StoreKey& key) {
    std::filesystem::path dir = registryStoreDirectory() / key.root;
    for (const std::u16string& component : key.components) {
        dir /= encodeComponent(component);
    }
    return dir;
}

std::filesystem::path keyFile(const StoreKey& key) {
    return keyDirectory(key) / kValuesFileName;
}

KeyState keyState(const StoreKey& key) {
    if (key.components.empty()) {
        return KeyState::Present;
    }
    struct stat info {};
    if (::stat(keyFile(key).c_str(), &info) == 0) {
        return S_ISREG(info.st_mode) ? KeyState::Present : KeyState::Unreadable;
    }
    return errno == ENOENT ? KeyState::Missing : KeyState::Unreadable;
}

bool createKey(const StoreKey& key, bool& created) {
    created = false;
    StoreKey step{key.root, {}};
    std::error_code error;
    std::filesystem::create_directories(keyDirectory(step), error);
    if (error) {
        return false;
    }
    for (const std::u16string& component : key.components) {
        step.components.push_back(component);
        KeyState state = keyState(step);
        if (state == KeyState::Unreadable) {
            return false;
        }
        if (state == KeyState::Missing) {
            std::filesystem::create_directories(keyDirectory(step), error);
            if (error || !replaceFile(keyFile(step), serializeValues({}))) {
                return false;
            }
            created = step.components.size() == key.components.size();
        }
    }
    return true;
}

std::vector<RegistryValue> readValues(const StoreKey& key) {
    std::filesystem::path file = keyFile(key);
    std::error_code error;
    std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error || size > kMaxFileSize) {
        return {};
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return {};
    }
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    if (in.bad()) {
        return {};
    }
    return parseValues(bytes).value_or(std::vector<RegistryValue>{});
}

bool writeValues(const StoreKey& key, const std::vector<RegistryValue>& values) {
    return replaceFile(keyFile(key), serializeValues(values));
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
    std::vector<RegistryValue> values;
    std::vector<std::u16string> folded;
    for (std::uint32_t i = 0; i < count; ++i) {
        RegistryValue value;
        std::uint32_t nameUnits = 0;
        std::uint32_t dataSize = 0;
        const unsigned char* where = nullptr;
        if (!reader.u32(nameUnits) || !reader.take(std::size_t{nameUnits} * 2, where)) {
            return std::nullopt;
        }
        for (std::uint32_t u = 0; u < nameUnits; ++u) {
            value.name.push_back(static_cast<char16_t>(where[2 * u] | (where[2 * u + 1] << 8)));
        }
        if (!reader.u32(value.type) || !reader.u32(dataSize) || !reader.take(dataSize, where)) {
            return std::nullopt;
        }
        value.data.assign(where, where + dataSize);
        std::u16string key = foldName(value.name);
        for (const std::u16string& seen : folded) {
            if (seen == key) {
                return std::nullopt;
            }
        }
        folded.push_back(std::move(key));
        values.push_back(std::move(value));
    }
    if (!reader.atEnd()) {
        return std::nullopt;
    }
    return values;
}

} // namespace Platform
