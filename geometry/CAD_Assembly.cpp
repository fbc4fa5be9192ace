#include "CAD_Assembly.h"

#include "TextUtil.h"

#include <iostream>
#include <utility>

namespace KorvaneGeometry {

CAD_Assembly::~CAD_Assembly() {
    partIndexByName.clear();
    components.clear();
    parts.clear();
    nodes.clear();
    placements_.clear();
}

int CAD_Assembly::addComponent(const std::string& partName, const Matrix4& matrix,
                               const Colour& colour) {
    const int index = partIndex(partName);
    if (index < 0) {
        return -1;
    }
    if (placements_.containsEqual(components, index, matrix)) {
        return -2;
    }
    components.emplace_back(index, partName, matrix, colour);
    placements_.update(components);
    return 0;
}

bool CAD_Assembly::appendPart(SinglePart part) {
    if (partIndexByName.count(part.name) != 0) {
        std::cout << " There is no part idx for " << part.name << std::endl;
        return false;
    }
    partIndexByName.emplace(part.name, static_cast<int>(parts.size()));
    parts.push_back(std::move(part));
    return true;
}

bool CAD_Assembly::renamePart(const std::string& from, const std::string& to) {
    const auto found = partIndexByName.find(from);
    if (found == partIndexByName.end() || partIndexByName.count(to) != 0) {
        return false;
    }
    const int index = found->second;
    partIndexByName.emplace(to, index);
    partIndexByName.erase(found);
    parts[static_cast<std::size_t>(index)].name = to;
    placements_.update(components);
    for (int position : placements_.componentsOf(index)) {
        components[static_cast<std::size_t>(position)].name = to;
    }
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
