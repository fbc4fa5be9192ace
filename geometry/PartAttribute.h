// A name and a value carried over from a model parameter.
#pragma once

#include <string>

namespace KorvaneGeometry {

struct PartAttribute {
    std::wstring name;
    std::wstring value;

    PartAttribute(const std::wstring& name, const std::wstring& value) : name(name), value(value) {}
};

} // namespace KorvaneGeometry
