// One entry of the export options' attribute list: a model parameter to carry over and where.
#pragma once

#include <cstdint>
#include <string>

struct ImportAttribute {
    std::wstring name;
    // 0 parts and bodies, 1 the assembly, 2 both.
    std::int32_t type = 0;

    bool operator==(const ImportAttribute&) const = default;
};
