// How many handles the platform layer has handed out and not yet had closed: lets tests see
// that the code under test releases every registry key and process handle it obtained.
#pragma once

#include <cstddef>

namespace Platform {

std::size_t openRegistryKeyCount();
std::size_t openProcessHandleCount();

} // namespace Platform
