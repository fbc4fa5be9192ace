// Keeps OpenCASCADE's output off standard output, where hostsim's transcript goes: its default
// messenger prints there, and a few readers write there directly (a BREP file of an unknown
// version). While a guard lives, both go to standard error; the messenger prints failures only,
// without colour codes.
#pragma once

#include <streambuf>

namespace Hostsim {

class OcctOutputGuard {
public:
    OcctOutputGuard();
    ~OcctOutputGuard();
    OcctOutputGuard(const OcctOutputGuard&) = delete;
    OcctOutputGuard& operator=(const OcctOutputGuard&) = delete;

private:
    std::streambuf* standardOutput_;
};

} // namespace Hostsim
