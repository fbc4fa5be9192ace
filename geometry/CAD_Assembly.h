// The whole exported model: distinct parts once each, the components that place them, the
// assembly tree, the model name and the source system.
#pragma once

#include "AssemblyNode.h"
#include "CAD_Component.h"
#include "GeometryTypes.h"
#include "PlacementIndex.h"
#include "SinglePart.h"

#include <map>
#include <string>
#include <vector>

namespace KorvaneGeometry {

class CAD_Assembly {
public:
    std::map<std::string, int> partIndexByName;
    std::vector<CAD_Component> components;
    std::vector<SinglePart> parts;
    // Position 0 is the top node when the model is an assembly; empty for a single part.
    std::vector<AssemblyNode> nodes;
    std::string name;
    std::string sourceSystem;

    CAD_Assembly() = default;
    CAD_Assembly(const CAD_Assembly&) = delete;
    CAD_Assembly& operator=(const CAD_Assembly&) = delete;
    ~CAD_Assembly();

    // 0 when appended, -1 when no part of that name is stored, -2 when a component of the same
    // part with an equal matrix (matricesEqual) exists. The colour takes no part in the test.
    // The search goes through an index of the stored placements, not through every component.
    int addComponent(const std::string& partName, const Matrix4& matrix, const Colour& colour);

    // Stores a copy under its name; false, with a line on standard output, when the name is
    // taken already (nothing changes then).
    bool appendPart(SinglePart part);

    // Gives a stored part, and every component that places it, a name that no part has yet;
    // its position stays. False, and nothing changes, when `from` is not stored or `to` is.
    bool renamePart(const std::string& from, const std::string& to);

    int partIndex(std::string partName) const;
    bool hasPart(std::string partName) const;

    std::string getName() const { return name; }
    void setName(std::string newName);
    // Blanks become underscores.
    void setSourceSystem(std::string system);

private:
    PlacementIndex placements_;
};

} // namespace KorvaneGeometry
