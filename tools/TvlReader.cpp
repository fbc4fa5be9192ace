#include "TvlReader.h"

#include "RegularFile.h"
#include "Utf16.h"

#include <cstring>

namespace TvlRead {

FormatError::FormatError(const std::string& what, std::size_t offset)
    : std::runtime_error(what + " at offset " + std::to_string(offset)), offset_(offset) {}

namespace {

// Walks the bytes front to back; every read names what it expected so that a bad file says
// where it went wrong.
class Cursor {
public:
    explicit Cursor(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}

    std::size_t offset() const { return pos_; }
    std::size_t remaining() const { return bytes_.size() - pos_; }

    const unsigned char* take(std::size_t n, const char* what) {
        if (n > remaining()) {
            throw FormatError(std::string("truncated: ") + what + " needs " + std::to_string(n) +
                                  " bytes, " + std::to_string(remaining()) + " left",
                              pos_);
        }
        const unsigned char* p = bytes_.data() + pos_;
        pos_ += n;
        return p;
    }

    std::uint64_t unsignedLE(std::size_t n, const char* what) {
        const unsigned char* p = take(n, what);
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < n; ++i) {
            v |= static_cast<std::uint64_t>(p[i]) << (8 * i);
        }
        return v;
    }

    std::uint32_t u32(const char* what) { return static_cast<std::uint32_t>(unsignedLE(4, what)); }
    std::int32_t i32(const char* what) { return static_cast<std::int32_t>(u32(what)); }

    double f64(const char* what) {
        const std::uint64_t bits = unsignedLE(8, what);
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }

    bool boolean(const char* what) {
        const std::size_t at = pos_;
        const unsigned char b = *take(1, what);
        if (b > 1) {
            throw FormatError(std::string(what) + ": bool byte " + std::to_string(b), at);
        }
        return b == 1;
    }

    // A count of elements of at least `minSize` bytes each; refuses counts that cannot fit in
    // what is left, so that garbage never turns into a huge allocation.
    std::size_t count(const char* what, std::size_t minSize) {
        const std::size_t at = pos_;
        const std::uint32_t n = u32(what);
        checkFits(n, minSize, what, at);
        return n;
    }

    std::size_t signedCount(const char* what, std::size_t minSize) {
        const std::size_t at = pos_;
        const std::int32_t n = i32(what);
        if (n < 0) {
            throw FormatError(std::string(what) + " is negative: " + std::to_string(n), at);
        }
        checkFits(static_cast<std::size_t>(n), minSize, what, at);
        return static_cast<std::size_t>(n);
    }

    std::string string(const char* what) {
        const std::size_t n = count(what, 1);
        const unsigned char* p = take(n, what);
        return std::string(reinterpret_cast<const char*>(p), n);
    }

    std::wstring wideString(const char* what) {
        const std::size_t n = count(what, 2);
        const unsigned char* p = take(2 * n, what);
        std::u16string units(n, u'\0');
        for (std::size_t i = 0; i < n; ++i) {
            units[i] = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
        }
        return KorvaneUtil::fromUtf16(units);
    }

private:
    void checkFits(std::size_t n, std::size_t minSize, const char* what, std::size_t at) const {
        if (minSize != 0 && n > remaining() / minSize) {
            throw FormatError(std::string(what) + " of " + std::to_string(n) +
                                  " cannot fit in the " + std::to_string(remaining()) +
                                  " bytes left",
                              at);
        }
    }

    const std::vector<unsigned char>& bytes_;
    std::size_t pos_ = 0;
};

// Smallest encodings, to refuse counts that the rest of the input cannot hold.
constexpr std::size_t kSurfaceSize = 101;
constexpr std::size_t kMinBodySize = 4 + 8 + 4 + 24 + 4 * 4;
constexpr std::size_t kMinPartSize = 4 + 4 + 4 + 4;
constexpr std::size_t kMinComponentSize = 4 + 4 + 19 * 8;

template <std::size_t N> std::array<double, N> doubles(Cursor& in, const char* what) {
    std::array<double, N> values{};
    for (double& v : values) {
        v = in.f64(what);
    }
    return values;
}

std::vector<Attribute> attributes(Cursor& in, const char* what) {
    std::vector<Attribute> list(in.count(what, 8));
    for (Attribute& a : list) {
        a.name = in.wideString("attribute name");
        a.value = in.wideString("attribute value");
    }
    return list;
}

Node node(Cursor& in, int version) {
    Node n;
    n.name = in.string("node name");
    n.children.resize(in.count("node child count", 8));
    for (auto& child : n.children) {
        child.first = in.i32("node child index");
        const std::size_t at = in.offset();
        const std::int32_t isNode = in.i32("node child kind");
        if (isNode != 0 && isNode != 1) {
            throw FormatError("node child kind " + std::to_string(isNode), at);
        }
        child.second = isNode == 1;
    }
    if (version >= 4) {
        n.attributes = attributes(in, "node attribute count");
    }
    return n;
}

Component component(Cursor& in) {
    Component c;
    c.name = in.string("component name");
    c.reserved = in.string("component reserved string");
    c.colour = doubles<3>(in, "component colour");
    c.matrix = doubles<16>(in, "component matrix");
    return c;
}

Surface surface(Cursor& in) {
    Surface s;
    s.index = in.i32("surface index");
    s.cti = in.i32("surface cti");
    s.colour = doubles<3>(in, "surface colour");
    s.kind = in.i32("surface kind");
    s.origin = doubles<3>(in, "surface origin");
    s.axis = doubles<3>(in, "surface axis");
    s.radius = in.f64("surface radius");
    s.radius2 = in.f64("surface second radius");
    s.orientationPositive = in.boolean("surface orientation");
    return s;
}

Body body(Cursor& in, int version) {
    Body b;
    if (version >= 6) {
        b.name = in.string("body name");
    }
    b.index = in.i32("body index");
    b.reservedDouble = in.f64("body reserved double");
    b.cti = in.i32("body cti");
    b.colour = doubles<3>(in, "body colour");
    if (version >= 5) {
        b.attributes = attributes(in, "body attribute count");
    }
    const std::size_t surfaces = in.signedCount("body surface count", 4 + kSurfaceSize);
    b.reservedInt = in.i32("body reserved int");
    b.surfaces.reserve(surfaces);
    for (std::size_t i = 0; i < surfaces; ++i) {
        b.surfaces.push_back(surface(in));
    }
    const std::size_t points = in.signedCount("body point count", 0);
    const std::size_t triangles = in.signedCount("body triangle count", 0);
    if (points > in.remaining() / 24 || triangles > (in.remaining() - 24 * points) / 16) {
        throw FormatError("body mesh of " + std::to_string(points) + " points and " +
                              std::to_string(triangles) + " triangles cannot fit in the " +
                              std::to_string(in.remaining()) + " bytes left",
                          in.offset());
    }
    b.points.resize(points);
    for (Point& p : b.points) {
        p.x = in.f64("point x");
        p.y = in.f64("point y");
        p.z = in.f64("point z");
    }
    b.triangles.resize(triangles);
    for (Triangle& t : b.triangles) {
        t.i0 = in.i32("triangle corner");
        t.i1 = in.i32("triangle corner");
        t.i2 = in.i32("triangle corner");
        t.surface = in.i32("triangle surface");
    }
    return b;
}

Part part(Cursor& in, int version) {
    Part p;
    p.name = in.string("part name");
    p.cti = in.i32("part cti");
    if (version >= 3) {
        p.attributes = attributes(in, "part attribute count");
    }
    p.referenceSets.resize(in.count("reference set count", 8));
    for (ReferenceSet& set : p.referenceSets) {
        set.name = in.string("reference set name");
        set.references.resize(in.count("reference count", 4));
        for (std::int32_t& r : set.references) {
            r = in.i32("reference");
        }
    }
    const std::size_t bodies = in.count("body count", kMinBodySize);
    p.bodies.reserve(bodies);
    for (std::size_t i = 0; i < bodies; ++i) {
        p.bodies.push_back(body(in, version));
    }
    return p;
}

} // namespace

File read(const std::vector<unsigned char>& bytes) {
    Cursor in(bytes);
    File file;
    const unsigned char* text = in.take(3, "version text");
    file.versionText.assign(reinterpret_cast<const char*>(text), 3);
    static const char* const kTexts[] = {"1.0", "1.1", "1.2", "1.3", "1.4", "1.5"};
    for (int i = 0; i < 6; ++i) {
        if (file.versionText == kTexts[i]) {
            file.version = i + 1;
        }
    }
    if (file.version == 0) {
        throw FormatError("unknown version text \"" + file.versionText + "\"", 0);
    }
    file.sourceSystem = in.string("source system");
    file.name = in.string("assembly name");
    if (file.version >= 2) {
        file.nodes.resize(in.count("node count", 8));
        for (Node& n : file.nodes) {
            n = node(in, file.version);
        }
    }
    file.components.resize(in.count("component count", kMinComponentSize));
    for (Component& c : file.components) {
        c = component(in);
    }
    const std::size_t parts = in.count("part count", kMinPartSize);
    for (std::size_t i = 0; i < parts; ++i) {
        file.parts.push_back(part(in, file.version));
    }
    if (in.remaining() != 0) {
        throw FormatError(std::to_string(in.remaining()) + " bytes after the last part",
                          in.offset());
    }
    return file;
}

std::vector<unsigned char> loadBytes(const std::filesystem::path& path) {
    try {
        const std::string content = ProgramText::readRegularFile(path);
        return std::vector<unsigned char>(content.begin(), content.end());
    } catch (const ProgramText::FileReadError& error) {
        throw ReadError(error.what());
    }
}

File readFile(const std::filesystem::path& path) {
    return read(loadBytes(path));
}

Counts countsOf(const File& file) {
    Counts c;
    c.nodes = file.nodes.size();
    c.components = file.components.size();
    c.parts = file.parts.size();
    for (const Part& p : file.parts) {
        c.bodies += p.bodies.size();
        for (const Body& b : p.bodies) {
            c.surfaces += b.surfaces.size();
            c.points += b.points.size();
            c.triangles += b.triangles.size();
        }
    }
    return c;
}

Point placed(const Component& component, const Point& p) {
    const std::array<double, 16>& m = component.matrix;
    return {m[0] * p.x + m[1] * p.y + m[2] * p.z + m[3],
            m[4] * p.x + m[5] * p.y + m[6] * p.z + m[7],
            m[8] * p.x + m[9] * p.y + m[10] * p.z + m[11]};
}

const Part& partOf(const File& file, const Component& component) {
    for (const Part& part : file.parts) {
        if (part.name == component.name) {
            return part;
        }
    }
    throw std::out_of_range("no part named " + component.name);
}

void summary(const File& file, std::ostream& out) {
    const Counts c = countsOf(file);
    out << file.name << " (version " << file.versionText << ", source " << file.sourceSystem
        << ")\n"
        << "nodes " << c.nodes << ", components " << c.components << ", parts " << c.parts
        << ", bodies " << c.bodies << ", surfaces " << c.surfaces << ", points " << c.points
        << ", triangles " << c.triangles << "\n";
}

} // namespace TvlRead
