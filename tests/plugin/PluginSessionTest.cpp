#include "PluginSessionTest.h"

#include "MessageFile.h"

#include <fstream>
#include <stdexcept>

namespace PluginTest {

void PluginSessionTest::SetUp() {
    HostSessionTest::SetUp();
    g_options = Velmora::OptionsPersistency{};
    session.workingDirectory = work.path().wstring();
    ASSERT_EQ(ProResourcePathInit(), PRO_TK_NO_ERROR);
}

void PluginSessionTest::TearDown() {
    // No dialog may outlive the command that made it.
    EXPECT_TRUE(session.ui().dialogs().empty());
    HostSessionTest::TearDown();
    g_options = Velmora::OptionsPersistency{};
}

void PluginSessionTest::script(const std::string& lines) {
    session.ui().addEvents(Hostsim::parseSessionScript(lines, "test.session"));
}

void PluginSessionTest::useLayout(const std::string& layout) {
    textRoot = std::make_unique<TvlTest::TempDir>("root");
    std::filesystem::path resources = Hostsim::hostPath(Hostsim::Session().textRoot);
    std::filesystem::create_directories(textRoot->path() / "text" / "resource");
    std::filesystem::copy_file(resources / "text" / "TarveloMessages.txt",
                               textRoot->path() / "text" / "TarveloMessages.txt");
    std::ofstream(textRoot->path() / "text" / "resource" / "Tarvelo.res") << layout;
    runtime.reset();
    session.textRoot = textRoot->path().wstring();
    runtime = std::make_unique<HostTest::RuntimeAttachment>(session);
    ASSERT_EQ(ProResourcePathInit(), PRO_TK_NO_ERROR);
}

Hostsim::Dialog& PluginSessionTest::dialog() {
    Hostsim::Dialog* d = session.ui().find("Tarvelo");
    if (d == nullptr) {
        throw std::logic_error("the dialog Tarvelo is not there");
    }
    return *d;
}

Hostsim::Component& PluginSessionTest::component(const std::string& name) {
    Hostsim::Component* c = dialog().find(name);
    if (c == nullptr) {
        throw std::logic_error("no component " + name);
    }
    return *c;
}

bool PluginSessionTest::hasComponent(const std::string& name) {
    Hostsim::Dialog* d = session.ui().find("Tarvelo");
    return d != nullptr && d->find(name) != nullptr;
}

} // namespace PluginTest
