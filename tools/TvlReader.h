// Decoder of exchange files (".tvl"): reads a written file field by field into plain structs,
// for tvlsummary and for the tests that check what the writer produced. It follows the file
// layout on its own and shares no code with the writer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace TvlRead {

struct Attribute {
    std::wstring name;
    std::wstring value;
};

struct Node {
    std::string name;
    std::vector<std::pair<std::int32_t, bool>> children; // (index, isNode)
    std::vector<Attribute> attributes;                   // from version 4
};

struct Component {
    std::string name;
    std::string reserved;
    std::array<double, 3> colour{};
    std::array<double, 16> matrix{};
};

struct Surface {
    std::int32_t index = 0;
    std::int32_t cti = 0;
    std::array<double, 3> colour{};
    std::int32_t kind = 0;
    std::array<double, 3> origin{};
    std::array<double, 3> axis{};
    double radius = 0.0;
    double radius2 = 0.0;
    bool orientationPositive = false;
};

struct Point {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

struct Triangle {
    std::int32_t i0 = 0;
    std::int32_t i1 = 0;
    std::int32_t i2 = 0;
    std::int32_t surface = 0;
};

struct Body {
    std::string name; // from version 6
    std::int32_t index = 0;
    double reservedDouble = 0.0;
    std::int32_t cti = 0;
    std::array<double, 3> colour{};
    std::vector<Attribute> attributes; // from version 5
    std::int32_t reservedInt = 0;
    std::vector<Surface> surfaces;
    std::vector<Point> points;
    std::vector<Triangle> triangles;
};

struct ReferenceSet {
    std::string name;
    std::vector<std::int32_t> references;
};

struct Part {
    std::string name;
    std::int32_t cti = 0;
    std::vector<Attribute> attributes; // from version 3
    std::vector<ReferenceSet> referenceSets;
    std::vector<Body> bodies;
};

struct File {
    std::string versionText;
    int version = 0; // 1 for "1.0" ... 6 for "1.5"
    std::string sourceSystem;
    std::string name;
    std::vector<Node> nodes; // from version 2
    std::vector<Component> components;
    std::vector<Part> parts;
};

// Malformed or truncated input: what was expected, and at which byte offset.
class FormatError : public std::runtime_error {
public:
    FormatError(const std::string& what, std::size_t offset);
    std::size_t offset() const { return offset_; }

private:
    std::size_t offset_;
};

// A file that cannot be read: the system's reason ("No such file or directory"), or what stands
// at the path instead of a regular file ("it is a directory").
class ReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The whole content must be one file: trailing bytes are an error too.
File read(const std::vector<unsigned char>& bytes);
File readFile(const std::filesystem::path& path);
// Only a regular file (or a link to one) is read: a directory, a device or a FIFO is refused
// before it is opened. Throws ReadError.
std::vector<unsigned char> loadBytes(const std::filesystem::path& path);

struct Counts {
    std::size_t nodes = 0;
    std::size_t components = 0;
    std::size_t parts = 0;
    std::size_t bodies = 0;
    std::size_t surfaces = 0;
    std::size_t points = 0;
    std::size_t triangles = 0;
};
Counts countsOf(const File& file);

// Where a component's matrix (row by row, the translation in the last column) puts a point of
// its part.
Point placed(const Component& component, const Point& p);
// The part a component places (they share the name); throws std::out_of_range when none.
const Part& partOf(const File& file, const Component& component);

// Two lines: name, version and source; then the counts of nodes, components, parts, bodies,
// surfaces, points and triangles.
void summary(const File& file, std::ostream& out);

} // namespace TvlRead
