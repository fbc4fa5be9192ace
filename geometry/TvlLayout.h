// Internal to the exchange-file writer (ExportTVL.cpp) and its tests, not an interface of the
// geometry library: the record serializers that lay the model out in the exchange file, the
// version text and its gates.
#pragma once

#include "CAD_Assembly.h"
#include "TvlArchive.h"

#include <array>
#include <set>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

// A record that older files carried per part. The model holds none; the writer still puts an
// empty set of them into every part so that the layout stays what readers expect.
struct DeprecatedReferenceSet {
    std::string name;
    std::set<int> references;

    friend bool operator<(const DeprecatedReferenceSet& a, const DeprecatedReferenceSet& b) {
        return std::tie(a.name, a.references) < std::tie(b.name, b.references);
    }
};

namespace KorvaneGeometry {

// The version text this system writes, and the file versions from which gated fields appear.
inline constexpr std::array<char, 3> kVersionText{'1', '.', '5'};
inline constexpr int kFileVersion = 6; // what readVersion gives for kVersionText
inline constexpr int kVersionNodes = 2;
inline constexpr int kVersionPartAttributes = 3;
inline constexpr int kVersionNodeAttributes = 4;
inline constexpr int kVersionBodyAttributes = 5;
inline constexpr int kVersionBodyName = 6;

// "1.0" to "1.5" give 1 to 6; anything else throws std::logic_error "Invalid readVersion".
// The text is compared as a whole, never trimmed or parsed as a number.
inline int readVersion(const std::array<char, 3>& text) {
    static constexpr std::array<std::array<char, 3>, 6> known{{{'1', '.', '0'},
                                                               {'1', '.', '1'},
                                                               {'1', '.', '2'},
                                                               {'1', '.', '3'},
                                                               {'1', '.', '4'},
                                                               {'1', '.', '5'}}};
    for (std::size_t i = 0; i < known.size(); ++i) {
        if (known[i] == text) {
            return static_cast<int>(i) + 1;
        }
    }
    throw std::logic_error("Invalid readVersion");
}

} // namespace KorvaneGeometry

namespace KorvaneUtil {

template <> struct TypeName<DeprecatedReferenceSet> {
    static constexpr std::string_view value = "struct DeprecatedReferenceSet";
};
template <> struct TypeName<std::set<DeprecatedReferenceSet>> {
    static constexpr std::string_view value =
        "class std::set<struct DeprecatedReferenceSet,struct std::less<struct "
        "DeprecatedReferenceSet>,class std::allocator<struct DeprecatedReferenceSet> >";
};
template <> struct TypeName<KorvaneGeometry::AssemblyNode> {
    static constexpr std::string_view value = "struct KorvaneGeometry::AssemblyNode";
};
template <> struct TypeName<KorvaneGeometry::CAD_Component> {
    static constexpr std::string_view value = "struct KorvaneGeometry::CAD_Component";
};
template <> struct TypeName<KorvaneGeometry::PartAttribute> {
    static constexpr std::string_view value = "struct KorvaneGeometry::PartAttribute";
};
template <> struct TypeName<KorvaneGeometry::SinglePart> {
    static constexpr std::string_view value = "struct KorvaneGeometry::SinglePart";
};
template <> struct TypeName<KorvaneGeometry::SolidBody> {
    static constexpr std::string_view value = "struct KorvaneGeometry::SolidBody";
};
template <> struct TypeName<KorvaneGeometry::Surface> {
    static constexpr std::string_view value = "struct KorvaneGeometry::Surface";
};
template <> struct TypeName<KorvaneGeometry::CAD_Assembly> {
    static constexpr std::string_view value = "class KorvaneGeometry::CAD_Assembly";
};
template <> struct TypeName<std::vector<KorvaneGeometry::AssemblyNode>> {
    static constexpr std::string_view value =
        "class std::vector<struct KorvaneGeometry::AssemblyNode,class std::allocator<struct "
        "KorvaneGeometry::AssemblyNode> >";
};
template <> struct TypeName<std::vector<KorvaneGeometry::CAD_Component>> {
    static constexpr std::string_view value =
        "class std::vector<struct KorvaneGeometry::CAD_Component,class std::allocator<struct "
        "KorvaneGeometry::CAD_Component> >";
};
template <> struct TypeName<std::vector<KorvaneGeometry::PartAttribute>> {
    static constexpr std::string_view value =
        "class std::vector<struct KorvaneGeometry::PartAttribute,class std::allocator<struct "
        "KorvaneGeometry::PartAttribute> >";
};
template <> struct TypeName<std::vector<KorvaneGeometry::SinglePart>> {
    static constexpr std::string_view value =
        "class std::vector<struct KorvaneGeometry::SinglePart,class std::allocator<struct "
        "KorvaneGeometry::SinglePart> >";
};
template <> struct TypeName<std::vector<KorvaneGeometry::SolidBody>> {
    static constexpr std::string_view value =
        "class std::vector<struct KorvaneGeometry::SolidBody,class std::allocator<struct "
        "KorvaneGeometry::SolidBody> >";
};

namespace detail {

template <std::size_t N, class Archive>
void serializeDoubles(const std::array<double, N>& values, Archive& archive) {
    for (const double v : values) {
        KorvaneUtil::serialize(v, archive);
    }
}

} // namespace detail

template <class Archive> struct Serializer<DeprecatedReferenceSet, Archive> {
    void operator()(const DeprecatedReferenceSet& set, Archive& archive) const {
        KorvaneUtil::serialize(set.name, archive);
        KorvaneUtil::serialize(set.references, archive);
    }
};

template <class Archive> struct Serializer<KorvaneGeometry::PartAttribute, Archive> {
    void operator()(const KorvaneGeometry::PartAttribute& attribute, Archive& archive) const {
        KorvaneUtil::serialize(attribute.name, archive);
        KorvaneUtil::serialize(attribute.value, archive);
    }
};

template <class Archive> struct Serializer<KorvaneGeometry::AssemblyNode, Archive> {
    void operator()(const KorvaneGeometry::AssemblyNode& node, Archive& archive) const {
        KorvaneUtil::serialize(node.name, archive);
        KorvaneUtil::serialize(node.children, archive);
        if (archive.version >= KorvaneGeometry::kVersionNodeAttributes) {
            KorvaneUtil::serialize(node.attributes, archive);
        }
    }
};

template <class Archive> struct Serializer<KorvaneGeometry::CAD_Component, Archive> {
    void operator()(const KorvaneGeometry::CAD_Component& component, Archive& archive) const {
        static const std::string reserved;
        KorvaneUtil::serialize(component.name, archive);
        KorvaneUtil::serialize(reserved, archive);
        detail::serializeDoubles(component.colour, archive);
        detail::serializeDoubles(component.matrix, archive);
    }
};

template <class Archive> struct Serializer<KorvaneGeometry::Surface, Archive> {
    void operator()(const KorvaneGeometry::Surface& surface, Archive& archive) const {
        KorvaneUtil::serialize(surface.index, archive);
        KorvaneUtil::serialize(surface.cti, archive);
        detail::serializeDoubles(surface.colour, archive);
        KorvaneUtil::serialize(surface.kind, archive);
        detail::serializeDoubles(surface.origin, archive);
        detail::serializeDoubles(surface.axis, archive);
        KorvaneUtil::serialize(surface.radius, archive);
        KorvaneUtil::serialize(surface.radius2, archive);
        KorvaneUtil::serialize(surface.orientationPositive, archive);
    }
};

// A body's counts are signed ints and its surface, point and triangle lists carry no check of
// their own; every value inside them still goes through the write step.
template <class Archive> struct Serializer<KorvaneGeometry::SolidBody, Archive> {
    void operator()(const KorvaneGeometry::SolidBody& body, Archive& archive) const {
        using KorvaneGeometry::SolidBody;
        // All three counts are checked before anything of the body is written.
        const int surfaceCount = detail::checkedSignedCount<SolidBody>(body.surfaces.size());
        const int pointCount = detail::checkedSignedCount<SolidBody>(body.mesh.points.size());
        const int triangleCount = detail::checkedSignedCount<SolidBody>(body.mesh.triangles.size());
        const double reservedDouble = 0.0;
        const int reservedInt = 0;

        if (archive.version >= KorvaneGeometry::kVersionBodyName) {
            KorvaneUtil::serialize(body.name, archive);
        }
        KorvaneUtil::serialize(body.index, archive);
        KorvaneUtil::serialize(reservedDouble, archive);
        KorvaneUtil::serialize(body.cti, archive);
        detail::serializeDoubles(body.colour, archive);
        if (archive.version >= KorvaneGeometry::kVersionBodyAttributes) {
            KorvaneUtil::serialize(body.attributes, archive);
        }
        KorvaneUtil::serialize(surfaceCount, archive);
        KorvaneUtil::serialize(reservedInt, archive);
        for (const KorvaneGeometry::Surface& surface : body.surfaces) {
            KorvaneUtil::serialize(surface, archive);
        }
        KorvaneUtil::serialize(pointCount, archive);
        KorvaneUtil::serialize(triangleCount, archive);
        for (const KorvaneGeometry::Point3& p : body.mesh.points) {
            KorvaneUtil::serialize(p.x, archive);
            KorvaneUtil::serialize(p.y, archive);
            KorvaneUtil::serialize(p.z, archive);
        }
        for (const KorvaneGeometry::Triangle& t : body.mesh.triangles) {
            KorvaneUtil::serialize(t.i0, archive);
            KorvaneUtil::serialize(t.i1, archive);
            KorvaneUtil::serialize(t.i2, archive);
            KorvaneUtil::serialize(t.surface, archive);
        }
    }
};

template <class Archive> struct Serializer<KorvaneGeometry::SinglePart, Archive> {
    void operator()(const KorvaneGeometry::SinglePart& part, Archive& archive) const {
        static const std::set<DeprecatedReferenceSet> noReferenceSets;
        KorvaneUtil::serialize(part.name, archive);
        KorvaneUtil::serialize(part.cti, archive);
        if (archive.version >= KorvaneGeometry::kVersionPartAttributes) {
            KorvaneUtil::serialize(part.attributes, archive);
        }
        KorvaneUtil::serialize(noReferenceSets, archive);
        KorvaneUtil::serialize(part.bodies, archive);
    }
};

// The whole file. The version text and the two strings go through the archive given; all the
// rest through an inner archive whose version comes from the version text just written, so the
// gates follow the text in the file and not the caller's archive.
template <class Stream, class Skip>
struct Serializer<KorvaneGeometry::CAD_Assembly, ArchiveWithVersion<Stream, Skip>> {
    void operator()(const KorvaneGeometry::CAD_Assembly& assembly,
                    ArchiveWithVersion<Stream, Skip>& archive) const {
        using namespace KorvaneGeometry;
        const std::array<char, 3> versionText = kVersionText;
        KorvaneUtil::serialize(versionText, archive);
        const int version = readVersion(versionText);
        KorvaneUtil::serialize(assembly.sourceSystem, archive);
        KorvaneUtil::serialize(assembly.name, archive);

        ArchiveWithVersion<Stream, NeverSkip> inner{archive.stream, version, NeverSkip{}};
        if (version >= kVersionNodes) {
            KorvaneUtil::serialize(assembly.nodes, inner);
        }
        if (assembly.components.empty()) {
            if (assembly.parts.empty()) {
                throw std::runtime_error("no components and no parts in the tvl.file");
            }
            // A single part is placed once, where it is, under the model's name. Its colour is
            // (0, 0, 0), not the (-1, -1, -1) of "no colour": files have always carried it so.
            const std::vector<CAD_Component> placed{
                CAD_Component(0, assembly.name, kIdentityMatrix, Colour{0.0, 0.0, 0.0})};
            KorvaneUtil::serialize(placed, inner);
        } else {
            KorvaneUtil::serialize(assembly.components, inner);
        }
        KorvaneUtil::serialize(assembly.parts, inner);
    }
};

} // namespace KorvaneUtil
