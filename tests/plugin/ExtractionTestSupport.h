// A fixture for the extraction's visitors: the stand-in host with the runtime attached and a
// live extraction context in g_extractionContext, as the driver would hold it.
#pragma once

#include "CAD_Assembly.h"
#include "ExtractionContext.h"
#include "HostTestSupport.h"
#include "OptionsPersistency.h"
#include "TriangleCollector.h"

#include <memory>
#include <string>

namespace ExtractionTest {

class ContextTest : public HostTest::HostSessionTest {
protected:
    void SetUp() override {
        HostTest::HostSessionTest::SetUp();
        g_extractionContext = std::make_unique<Velmora::ExtractionContext>(&target, &options);
    }
    void TearDown() override {
        g_extractionContext.reset();
        HostTest::HostSessionTest::TearDown();
    }

    Velmora::ExtractionContext& context() { return *g_extractionContext; }

    // Sets the current-part members as the part extraction does for one body.
    void enterBody(Hostsim::Model& part, const std::string& unit = "mm", double factor = 1.0,
                   int bodyCti = -1) {
        partHandle = session.handle(part);
        partUnit = unit;
        partFactor = factor;
        Velmora::ExtractionContext& c = context();
        c.partModel = &partHandle;
        c.partUnitName = &partUnit;
        c.partUnitFactor = &partFactor;
        c.currentBody = &body;
        c.currentBodyCti = bodyCti;
        c.collector = &collector;
        c.tessellationFailed = false;
    }
    void leaveBody() {
        Velmora::ExtractionContext& c = context();
        c.partModel = nullptr;
        c.partUnitName = nullptr;
        c.partUnitFactor = nullptr;
        c.currentBody = nullptr;
        c.currentBodyCti = -1;
        c.collector = nullptr;
    }

    KorvaneGeometry::CAD_Assembly target;
    Velmora::OptionsPersistency options;
    KorvaneGeometry::SolidBody body;
    KorvaneGeometry::TriangleCollector collector;
    ProMdl partHandle = nullptr;
    std::string partUnit = "mm";
    double partFactor = 1.0;
};

inline Hostsim::Parameter parameter(const std::wstring& name, Hostsim::ParameterValue value) {
    return Hostsim::Parameter{name, std::move(value)};
}

inline Hostsim::Parameter cti(int value, const std::wstring& name = L"COMPARATIVE_TRACKING_INDEX") {
    return parameter(name, Hostsim::ParameterValue::ofInteger(value));
}

} // namespace ExtractionTest
