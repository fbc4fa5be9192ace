// Internal to the exchange-file writer (ExportTVL.cpp) and its tests, not an interface of the
// geometry library: the archive that carries stream, file version and skip predicate, the write
// step that every value passes through, and the byte encoding of primitives and containers.
#pragma once

#include "SerializerException.h"
#include "Utf16.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A predicate that lets every value through and is known as such at compile time: the writer's
// inner archive uses it so that millions of mesh values do not each pay for a std::function.
struct NeverSkip {
    constexpr bool operator()() const noexcept { return false; }
};

// One run of the writer: where the bytes go, which file version the record serializers write,
// and the predicate asked before every value (true: the value is not written).
template <class Stream, class Skip = std::function<bool()>> struct ArchiveWithVersion {
    Stream* stream;
    std::int32_t version;
    Skip skip;
};

namespace KorvaneUtil {

// Writes one value of type T; one specialization per type the file holds.
template <class T, class Archive> struct Serializer;

// The name of a written type as the writer's failure messages spell it. The texts are part of
// the file's contract, so each is spelled out here, never taken from the compiler.
template <class T> struct TypeName;

template <> struct TypeName<char> { static constexpr std::string_view value = "char"; };
template <> struct TypeName<int> { static constexpr std::string_view value = "int"; };
template <> struct TypeName<unsigned int> {
    static constexpr std::string_view value = "unsigned int";
};
template <> struct TypeName<double> { static constexpr std::string_view value = "double"; };
template <> struct TypeName<bool> { static constexpr std::string_view value = "bool"; };
template <> struct TypeName<wchar_t> { static constexpr std::string_view value = "wchar_t"; };
template <> struct TypeName<std::pair<int, bool>> {
    static constexpr std::string_view value = "struct std::pair<int,bool>";
};
template <> struct TypeName<std::array<char, 3>> {
    static constexpr std::string_view value = "class std::array<char,3>";
};
template <> struct TypeName<std::string> {
    static constexpr std::string_view value =
        "class std::basic_string<char,struct std::char_traits<char>,class std::allocator<char> >";
};
template <> struct TypeName<std::wstring> {
    static constexpr std::string_view value =
        "class std::basic_string<wchar_t,struct std::char_traits<wchar_t>,class "
        "std::allocator<wchar_t> >";
};
template <> struct TypeName<std::set<int>> {
    static constexpr std::string_view value =
        "class std::set<int,struct std::less<int>,class std::allocator<int> >";
};
template <> struct TypeName<std::vector<std::pair<int, bool>>> {
    static constexpr std::string_view value =
        "class std::vector<struct std::pair<int,bool>,class std::allocator<struct "
        "std::pair<int,bool> > >";
};

template <class T, class Archive>
[[gnu::always_inline]] inline void serialize(const T& value, Archive& archive);

namespace detail {

inline std::string serializerMessage(std::string_view typeName) {
    std::string message = "SerializerException (Write) [";
    message += "auto __cdecl KorvaneUtil::detail::error_while_serializing<";
    message += typeName;
    message += ">(void)";
    message += "]";
    return message;
}

template <class T> SerializerException error_while_serializing() {
    return SerializerException(serializerMessage(TypeName<T>::value));
}

// Kept out of line and cold so that the check after each primitive stays a test and a branch.
template <class T> [[noreturn, gnu::noinline, gnu::cold]] void throwWriteError() {
    throw error_while_serializing<T>();
}

// The file holds lengths and counts as 32-bit unsigned numbers: a larger string or container
// is refused before anything of it is written, instead of being written with a wrapped count.
inline constexpr std::uint64_t kMaxCount = std::numeric_limits<std::uint32_t>::max();

template <class T> unsigned int checkedCount(std::uint64_t count) {
    if (count > kMaxCount) {
        throwWriteError<T>();
    }
    return static_cast<unsigned int>(count);
}

// The same for the few counts that the file holds as signed 32-bit numbers.
template <class T> int checkedSignedCount(std::uint64_t count) {
    if (count > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
        throwWriteError<T>();
    }
    return static_cast<int>(count);
}

// Little-endian whatever the host's byte order; compilers turn this into one plain store.
template <class U> void storeLittleEndian(U bits, char* out) {
    for (std::size_t i = 0; i < sizeof(U); ++i) {
        out[i] = static_cast<char>(static_cast<unsigned char>(bits >> (8 * i)));
    }
}

// One primitive is always exactly one write call on the stream.
template <class U, class Archive> void writeBits(U bits, Archive& archive) {
    char bytes[sizeof(U)];
    storeLittleEndian(bits, bytes);
    archive.stream->write(bytes, static_cast<std::streamsize>(sizeof(U)));
}

} // namespace detail

template <class Archive> struct Serializer<char, Archive> {
    void operator()(const char& value, Archive& archive) const { archive.stream->write(&value, 1); }
};

template <class Archive> struct Serializer<bool, Archive> {
    void operator()(const bool& value, Archive& archive) const {
        const char byte = value ? 1 : 0;
        archive.stream->write(&byte, 1);
    }
};

template <class Archive> struct Serializer<int, Archive> {
    void operator()(const int& value, Archive& archive) const {
        detail::writeBits(static_cast<std::uint32_t>(value), archive);
    }
};

template <class Archive> struct Serializer<unsigned int, Archive> {
    void operator()(const unsigned int& value, Archive& archive) const {
        detail::writeBits(static_cast<std::uint32_t>(value), archive);
    }
};

template <class Archive> struct Serializer<double, Archive> {
    static_assert(std::numeric_limits<double>::is_iec559 && sizeof(double) == 8);
    void operator()(const double& value, Archive& archive) const {
        detail::writeBits(std::bit_cast<std::uint64_t>(value), archive);
    }
};

// One UTF-16 code unit. Wide strings arrive here already as UTF-16 units; a lone wchar_t that
// no single unit can hold (only possible with 32-bit wchar_t) becomes U+FFFD.
template <class Archive> struct Serializer<wchar_t, Archive> {
    void operator()(const wchar_t& value, Archive& archive) const {
        const auto code = static_cast<std::uint32_t>(value);
        const auto unit = static_cast<std::uint16_t>(code <= 0xFFFF ? code : 0xFFFD);
        detail::writeBits(unit, archive);
    }
};

template <class Archive> struct Serializer<std::string, Archive> {
    void operator()(const std::string& text, Archive& archive) const {
        const unsigned int length = detail::checkedCount<std::string>(text.size());
        KorvaneUtil::serialize(length, archive);
        for (const char c : text) {
            KorvaneUtil::serialize(c, archive);
        }
    }
};

// The file holds UTF-16 whatever the width of wchar_t; the length counts 16-bit units.
template <class Archive> struct Serializer<std::wstring, Archive> {
    void operator()(const std::wstring& text, Archive& archive) const {
        const std::u16string units = toUtf16(text);
        const unsigned int length = detail::checkedCount<std::wstring>(units.size());
        KorvaneUtil::serialize(length, archive);
        for (const char16_t unit : units) {
            KorvaneUtil::serialize(static_cast<wchar_t>(unit), archive);
        }
    }
};

template <class T, class Alloc, class Archive> struct Serializer<std::vector<T, Alloc>, Archive> {
    void operator()(const std::vector<T, Alloc>& items, Archive& archive) const {
        const unsigned int count = detail::checkedCount<std::vector<T, Alloc>>(items.size());
        KorvaneUtil::serialize(count, archive);
        for (const T& item : items) {
            KorvaneUtil::serialize(item, archive);
        }
    }
};

template <class T, class Less, class Alloc, class Archive>
struct Serializer<std::set<T, Less, Alloc>, Archive> {
    void operator()(const std::set<T, Less, Alloc>& items, Archive& archive) const {
        const unsigned int count = detail::checkedCount<std::set<T, Less, Alloc>>(items.size());
        KorvaneUtil::serialize(count, archive);
        for (const T& item : items) {
            KorvaneUtil::serialize(item, archive);
        }
    }
};

// A node's child: the index, then whether it names a node, as a whole int.
template <class Archive> struct Serializer<std::pair<int, bool>, Archive> {
    void operator()(const std::pair<int, bool>& child, Archive& archive) const {
        KorvaneUtil::serialize(child.first, archive);
        const int isNode = child.second ? 1 : 0;
        KorvaneUtil::serialize(isNode, archive);
    }
};

// The version text: three characters and no count.
template <class Archive> struct Serializer<std::array<char, 3>, Archive> {
    void operator()(const std::array<char, 3>& text, Archive& archive) const {
        for (const char c : text) {
            KorvaneUtil::serialize(c, archive);
        }
    }
};

// The write step: ask the predicate, write the value, then check the stream. Every primitive
// is checked right after its own write, so the first failing write names its own type.
// Always inlined: for the millions of mesh values a call per value costs a fifth of the time.
template <class T, class Archive>
[[gnu::always_inline]] inline void serialize(const T& value, Archive& archive) {
    if (archive.skip()) {
        return;
    }
    Serializer<T, Archive>{}(value, archive);
    if (archive.stream->fail()) {
        detail::throwWriteError<T>();
    }
}

} // namespace KorvaneUtil
