// A fixture for the extraction's visitors: the stand-in host with the runtime attached and a
// live extraction context in g_extractionContext, as the driver would hold it.
#pragma once

#include "CAD_Assembly.h"
#include "ExtractionContext.h"
#include "HostTestSupport.h"
#include "LengthUnit.h"
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
    void enterBody(Hostsim::Model& part, const std::string& unit = "mm", int bodyCti = -1) {
        partHandle = session.handle(part);
        partUnit = Velmora::LengthUnit(unit);
        Velmora::ExtractionContext& c = context();
        c.partModel = &partHandle;
        c.partUnit = &partUnit;
        c.currentBody = &body;
        c.currentBodyCti = bodyCti;
        c.collector = &collector;
        c.tessellationFailed = false;
    }
    void leaveBody() {
        Velmora::ExtractionContext& c = context();
        c.partModel = nullptr;
        c.partUnit = nullptr;
        c.currentBody = nullptr;
        c.currentBodyCti = -1;
        c.collector = nullptr;
    }

    KorvaneGeometry::CAD_Assembly target;
    Velmora::OptionsPersistency options;
    KorvaneGeometry::SolidBody body;
    KorvaneGeometry::TriangleCollector collector;
    ProMdl partHandle = nullptr;
    Velmora::LengthUnit partUnit{"mm"};
};

inline Hostsim::Parameter parameter(const std::wstring& name, Hostsim::ParameterValue value) {
    return Hostsim::Parameter{name, std::move(value)};
}

inline Hostsim::Parameter cti(int value, const std::wstring& name = L"COMPARATIVE_TRACKING_INDEX") {
    return parameter(name, Hostsim::ParameterValue::ofInteger(value));
}

} // namespace ExtractionTest

#include "CreoImport.h"

namespace ExtractionTest {

// Whole extractions through the stand-in host: computeAssembly on the session's current model.
class ImportTest : public HostTest::HostSessionTest {
protected:
    ProErrors run() {
        ProErrors status = Velmora::CreoImport::computeAssembly(target, options);
        EXPECT_EQ(g_extractionContext, nullptr);
        return status;
    }
    std::vector<std::string> warnings() { return session.transcript().areaKeys(); }
    // The arguments of the area messages, in order.
    std::vector<std::string> warningNames() {
        std::vector<std::string> names;
        for (const Hostsim::TranscriptEntry& e : session.transcript().entries()) {
            if (e.kind == Hostsim::TranscriptEntry::Kind::Area) {
                names.push_back(e.args.empty() ? std::string() : e.args[0]);
            }
        }
        return names;
    }

    // A part with one box body per entry, all made by one feature.
    Hostsim::Model& boxPart(const std::wstring& name,
                            const std::vector<std::pair<Hostsim::Point, Hostsim::Point>>& boxes,
                            const std::wstring& unit = L"mm") {
        Hostsim::Model& part = session.addPart(name).setUnit(unit);
        Hostsim::Feature& feature = part.addFeature(917);
        for (const auto& [min, max] : boxes) {
            part.addBody().addBox(min, max, feature.id);
        }
        return part;
    }
    Hostsim::Model& boxPart(const std::wstring& name, const std::wstring& unit = L"mm") {
        return boxPart(name, {{{0, 0, 0}, {1, 1, 1}}}, unit);
    }
    // A new assembly that becomes the current model.
    Hostsim::Model& assembly(const std::wstring& name, const std::wstring& unit = L"mm") {
        Hostsim::Model& a = session.addAssembly(name).setUnit(unit);
        session.setCurrent(&a);
        return a;
    }

    Hostsim::Model& subAssembly(const std::wstring& name) {
        return session.addAssembly(name).setUnit(L"mm");
    }

    std::vector<std::string> partNames() const {
        std::vector<std::string> names;
        for (const KorvaneGeometry::SinglePart& p : target.parts) {
            names.push_back(p.name);
        }
        return names;
    }
    std::vector<std::string> componentNames() const {
        std::vector<std::string> names;
        for (const KorvaneGeometry::CAD_Component& c : target.components) {
            names.push_back(c.name);
        }
        return names;
    }

    KorvaneGeometry::CAD_Assembly target;
    Velmora::OptionsPersistency options;
};

using Children = std::vector<std::pair<int, bool>>;

} // namespace ExtractionTest
