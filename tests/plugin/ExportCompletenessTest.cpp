// Whole exports through the dialog of models whose host answers are awkward: what the host does
// not find for one surface or facet set, components passed over below the deepest level a
// component path holds. The written file is read back: nothing may be lost unnoticed, and no
// record may be written half filled.
#include "ExportDialog.h"
#include "PluginSessionTest.h"
#include "TvlReader.h"

namespace fs = std::filesystem;

namespace {

using Keys = std::vector<std::string>;
using Hostsim::Point;

class ExportCompletenessTest : public PluginTest::PluginSessionTest {
protected:
    // Presses "Export" and then "Cancel": without an installed application the dialog stays
    // open after the export. The keys shown in the message area.
    Keys exportOnce() {
        script("press Export\npress Cancel\n");
        EXPECT_EQ(Velmora::openExportDialog(nullptr, nullptr, nullptr), 0);
        session.ui().script().clear();
        return session.transcript().areaKeys();
    }
};

Hostsim::Parameter cti(int value) {
    return {L"COMPARATIVE_TRACKING_INDEX", Hostsim::ParameterValue::ofInteger(value)};
}

TEST_F(ExportCompletenessTest, SurfacesAndFacetSetsTheHostCannotReadAreLeftOutAndTheRestIsWritten) {
    Hostsim::Model& part = session.addPart(L"HOUSING").setUnit(L"mm");
    const int feature = part.addFeature(917).id;
    Hostsim::Body& body = part.addBody();
    body.parameters = {cti(250)};
    // Made by a feature the host does not find: read with the body's CTI.
    Hostsim::Surface& orphan =
        HostTest::addTriangleSurface(body, {0, 0, 20}, {5, 0, 20}, {0, 5, 20}, PRO_SRF_CYL);
    orphan.appearance[0] = Hostsim::Colour{0.5, 0.25, 0.125};
    // Its type is not found: left out, and the surfaces after it are still read.
    Hostsim::Surface& typeless =
        HostTest::addTriangleSurface(body, {0, 0, 30}, {5, 0, 30}, {0, 5, 30});
    typeless.featureId = feature;
    body.addBox({0, 0, 0}, {10, 10, 10}, feature);
    // The first facet set's second facet is not found: the set is left out, the next one read.
    Hostsim::FacetSet& broken = part.addFacetSet(feature);
    broken.facets = {{Point{0, 0, 40}, Point{5, 0, 40}, Point{0, 5, 40}},
                     {Point{0, 0, 41}, Point{5, 0, 41}, Point{0, 5, 41}}};
    part.addFacetSet(feature).facets = {{Point{0, 0, 50}, Point{5, 0, 50}, Point{0, 5, 50}}};
    session.setCurrent(&part);
    session.faults().forItem("ProSurfaceTypeGet", session.key(typeless), PRO_TK_E_NOT_FOUND);
    session.faults().forItem("ProFacetvertexPointGet",
                             "HOUSING#" + std::to_string(broken.id) + ".1", PRO_TK_E_NOT_FOUND);

    EXPECT_EQ(exportOnce(), (Keys{"WarningSurfaceTessellationFailed %0s", "ExportTvlSuccess",
                                  "TarveloNotInstalled"}));
    const TvlRead::File file = TvlRead::readFile(work / "HOUSING.tvl");
    ASSERT_EQ(file.parts.size(), 1u);
    ASSERT_EQ(file.parts[0].bodies.size(), 1u);
    const TvlRead::Body& written = file.parts[0].bodies[0];
    // The orphan, six box sides, the second facet set.
    ASSERT_EQ(written.surfaces.size(), 8u);
    for (std::size_t i = 0; i < written.surfaces.size(); ++i) {
        SCOPED_TRACE("surface " + std::to_string(i));
        const TvlRead::Surface& s = written.surfaces[i];
        EXPECT_EQ(s.index, static_cast<std::int32_t>(i));
        EXPECT_EQ(s.cti, 250);
        EXPECT_NE(s.kind, 0);
        EXPECT_TRUE(s.orientationPositive);
    }
    EXPECT_EQ(written.surfaces[0].kind, 2);
    EXPECT_EQ(written.surfaces[0].colour, (std::array<double, 3>{0.5, 0.25, 0.125}));
    EXPECT_EQ(written.surfaces[7].kind, 6);
    // One triangle for the orphan, two per box side, one for the facet set; none at z 30 or 40.
    ASSERT_EQ(written.triangles.size(), 14u);
    std::vector<int> perSurface(written.surfaces.size(), 0);
    for (const TvlRead::Triangle& t : written.triangles) {
        ASSERT_GE(t.surface, 0);
        ASSERT_LT(static_cast<std::size_t>(t.surface), written.surfaces.size());
        ++perSurface[static_cast<std::size_t>(t.surface)];
        const double z = written.points[static_cast<std::size_t>(t.i0)].z;
        EXPECT_TRUE(z <= 10 || (t.surface == 0 && z == 20) || (t.surface == 7 && z == 50)) << z;
    }
    EXPECT_EQ(perSurface, (std::vector<int>{1, 2, 2, 2, 2, 2, 2, 1}));
}

TEST_F(ExportCompletenessTest, ComponentsPassedOverOnTheTwentySixthLevelDoNotStopTheExport) {
    HostTest::addBoxPart(session, L"P");
    Hostsim::Model& deepest = HostTest::addAssemblyChain(session, 25);
    deepest.addComponent(L"P").hidden = true;
    deepest.addComponent(L"P").visible = false;
    session.current()->addComponent(L"P", Hostsim::translationMatrix(0, 7, 0));

    EXPECT_EQ(exportOnce(), (Keys{"ExportTvlSuccess", "TarveloNotInstalled"}));
    EXPECT_TRUE(session.transcript().dialogs().empty());
    const TvlRead::File file = TvlRead::readFile(work / "L0.tvl");
    EXPECT_EQ(file.nodes.size(), 26u);
    ASSERT_EQ(file.components.size(), 1u);
    EXPECT_EQ(file.components[0].matrix[7], 7.0);
}

TEST_F(ExportCompletenessTest, AShownComponentOnTheTwentySixthLevelEndsTheExportVisibly) {
    HostTest::addBoxPart(session, L"P");
    HostTest::addAssemblyChain(session, 25).addComponent(L"P");
    EXPECT_TRUE(exportOnce().empty());
    ASSERT_EQ(session.transcript().dialogs().size(), 1u);
    // The text of "CreoImportError".
    EXPECT_EQ(session.transcript().dialogs()[0]->title,
              "The model could not be read for the export.");
    EXPECT_FALSE(fs::exists(work / "L0.tvl"));
}

} // namespace
