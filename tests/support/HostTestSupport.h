// Helpers for tests that drive code through the stand-in host: a fixture with the runtime
// attached and a clean-ledger check, and builders for common scenes.
#pragma once

#include "HostSession.h"
#include "ProToolkitRuntime.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace HostTest {

// Attaches the toolkit runtime to the session for its lifetime.
class RuntimeAttachment {
public:
    explicit RuntimeAttachment(Hostsim::Session& session);
    ~RuntimeAttachment();
    RuntimeAttachment(const RuntimeAttachment&) = delete;
    RuntimeAttachment& operator=(const RuntimeAttachment&) = delete;
    ProErrors status() const { return status_; }

private:
    ProErrors status_;
};

// Fails the test when a host allocation of the session is outstanding or a release was refused
// (a second or an unknown release, or one through the wrong function).
void expectLedgerClean(Hostsim::Session& session);

// A fresh session with the runtime attached. TearDown fails the test when a host allocation is
// outstanding or a release was refused.
class HostSessionTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Checks the ledger now (for tests that look at it before the end).
    void expectLedgerClean();

    Hostsim::Session session;
    std::unique_ptr<RuntimeAttachment> runtime;
};

// A part with one body holding a box (six planes) made by one feature.
Hostsim::Model& addBoxPart(Hostsim::Session& session, const std::wstring& name,
                           const Hostsim::Point& min = {0, 0, 0},
                           const Hostsim::Point& max = {10, 10, 10});
// A part with one body holding a cylinder (side and two caps) made by one feature.
Hostsim::Model& addCylinderPart(Hostsim::Session& session, const std::wstring& name,
                                double radius = 5.0, double height = 10.0);
// An assembly placing the named models with the given transformations.
Hostsim::Model&
addAssemblyOf(Hostsim::Session& session, const std::wstring& name,
              const std::vector<std::pair<std::wstring, Hostsim::Matrix>>& components);
// A chain of assemblies L1 ... Ln below the root L0, which becomes the current model: each
// placed in the one above at (1, 0, 0) and holding a datum feature. A component of the last one
// sits on level n + 1. The last assembly of the chain.
Hostsim::Model& addAssemblyChain(Hostsim::Session& session, int levels);
// A surface with an explicit tessellation of one facet; the facet is wound the host's way, so
// that the corner order (f0, f2, f1) gives the triangle (a, b, c).
Hostsim::Surface& addTriangleSurface(Hostsim::Body& body, const Hostsim::Point& a,
                                     const Hostsim::Point& b, const Hostsim::Point& c,
                                     int type = PRO_SRF_PLANE);
// One surface's tessellation as the host hands it out: vertices and facets wound the host's way.
struct TessellatedSurface {
    std::vector<std::array<double, 3>> vertices;
    std::vector<std::array<int, 3>> facets;
};

// Tessellates one surface through the toolkit with the plug-in's settings sequence and releases
// everything the host handed out again; the tessellation request's status.
ProErrors tessellate(Hostsim::Session& session, const Hostsim::Surface& surface, double chord,
                     double angle, TessellatedSurface& out);

// An empty folder of its own under the system's temporary folder.
std::filesystem::path temporaryDirectory(const std::string& name);

} // namespace HostTest
