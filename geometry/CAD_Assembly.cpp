#include "CAD_Assembly.h"

#include "Matrix.h"
#include "TextUtil.h"

#include <iostream>
#include <utility>

namespace KorvaneGeometry {

CAD_Assembly::~CAD_Assembly() {
    partIndexByName.clear();
    components.clear();
    parts.clear();
    nodes.clear();
}

int CAD_Assembly::addComponent(const std::string& partName, const Matrix4& matrix,
                               const Colour& colour) {
    const int index = partIndex(partName);
    if (index < 0) {
        return -1;
    }
    for (const CAD_Component& existing : components) {
        if (existing.partIndex == index && matricesEqual(matrix, existing.matrix)) {
            return -2;
        }
    }
    components.emplace_back(index, partName, matrix, colour);
    return 0;
}

bool CAD_Assembly::appendPart(SinglePart part) {
    if (partIndexByName.count(part.name) != 0) {
        std::cout << " There is no part idx for " << part.name << std::endl;
        return false;
    }
    partIndexByName.emplace(part.name, static_cast<int>(parts.size()));
    parts.push_back(part);
    return true;
}

int CAD_Assembly::partIndex(std::string partName) const {
    const auto found = partIndexByName.find(partName);
    return found == partIndexByName.end() ? -1 : found->second;
}

bool CAD_Assembly::hasPart(std::string partName) const {
    return partIndexByName.count(partName) != 0;
}

void CAD_Assembly::setName(std::string newName) {
    name = std::move(newName);
}

void CAD_Assembly::setSourceSystem(std::string system) {
    sourceSystem = std::move(system);
    replaceChar(sourceSystem, ' ', '_');
}

} // namespace KorvaneGeometry
