// A fixture for tests that drive the plug-in's command, dialog and export run through the
// stand-in host: a session with the runtime attached and the resource directory set, a registry
// of the test's own, fresh global options, and a working directory that is removed afterwards.
// TearDown checks that every host allocation was released and nothing reached the host.
#pragma once

#include "HostTestSupport.h"
#include "OptionsPersistency.h"
#include "RegistrySandbox.h"
#include "TempDir.h"
#include "UserInterface.h"

#include <filesystem>
#include <string>

namespace PluginTest {

class PluginSessionTest : public HostTest::HostSessionTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Adds user events (session-script lines) for the next modal run.
    void script(const std::string& lines);
    // Replaces the layout "Tarvelo" with the given text (a text root of the test's own).
    void useLayout(const std::string& layout);
    // The live dialog "Tarvelo" and one of its components (the test fails when missing).
    Hostsim::Dialog& dialog();
    Hostsim::Component& component(const std::string& name);
    bool hasComponent(const std::string& name);

    RegistrySandbox registry;
    TvlTest::TempDir work{"work"};
    std::unique_ptr<TvlTest::TempDir> textRoot;
};

} // namespace PluginTest
