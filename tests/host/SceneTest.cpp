// Scene files: a complete scene loads; broken ones are refused with file and JSON path.
#include "HostTestSupport.h"
#include "ModelFile.h"
#include "PathText.h"
#include "PrintedValue.h"
#include "SceneLoader.h"

#include <fstream>
#include <ostream>
#include <stdexcept>

namespace {

const char* kScene = R"({
  "release": 31,
  "workingDirectory": "/tmp/work",
  "current": "ASM",
  "models": [
    {"name": "ASM", "type": "assembly", "unit": "in",
     "parameters": [{"name": "PROJECT", "type": "string", "value": "abc"}],
     "features": [
       {"id": 5, "type": "component", "model": "PART", "flexible": true, "appearance": [1, 0, 0],
        "transform": [[1,0,0,0],[0,1,0,0],[0,0,1,0],[10,20,30,1]]},
       {"id": 6, "type": "component", "model": null, "hidden": true},
       {"id": 7, "type": 917, "parents": [5]}
     ]},
    {"name": "PART", "type": "part", "unit": "mm",
     "parameters": [{"name": "CTI", "type": "integer", "value": 600},
                    {"name": "D", "type": "double", "value": 2.5},
                    {"name": "B", "type": "boolean", "value": true},
                    {"name": "N", "type": "note", "value": 3},
                    {"name": "X", "type": 57, "value": 1}],
     "features": [{"id": 1, "type": 917}, {"id": 2, "type": 917, "parents": [1]}],
     "bodies": [
       {"id": 10, "state": 4, "appearance": [0, 0.5, 1],
        "surfaces": [
          {"id": 11, "type": 36, "orientation": -1, "feature": 2,
           "shape": {"frame": [[1,0,0],[0,1,0],[0,0,1]], "origin": [1,2,3], "values": [0.5]},
           "appearance": [0.2, 0.2, 0.2],
           "tessellation": {"vertices": [[0,0,0],[1,0,0],[0,1,0]], "facets": [[0,2,1]]}},
          {"id": 12, "type": 34, "tessellationStatus": -68}
        ],
        "primitives": [{"box": {"min": [0,0,0], "max": [1,1,1]}, "feature": 1},
                       {"cylinder": {"base": [0,0,0], "axis": [0,0,1], "radius": 1, "height": 2}}]},
       {"id": 20, "construction": true}
     ],
     "facetSets": [{"id": 30, "feature": 1, "facets": [[[0,0,0],[1,0,0],[0,1,0]]]}]},
    {"name": "DRW", "type": "other"}
  ]
})";

TEST(SceneLoader, LoadsEverythingTheExtractionReads) {
    Hostsim::Session session;
    Hostsim::loadSceneText(session, kScene, "scene.json");
    EXPECT_EQ(session.releaseNumber, 31);
    EXPECT_EQ(session.workingDirectory, L"/tmp/work");
    ASSERT_NE(session.current(), nullptr);
    EXPECT_EQ(session.current()->name, L"ASM");
    EXPECT_EQ(session.models().size(), 3u);

    Hostsim::Model& assembly = *session.findModel(L"ASM");
    EXPECT_EQ(assembly.lengthUnit, std::optional<std::wstring>(L"in"));
    Hostsim::Feature& c = *assembly.feature(5);
    EXPECT_TRUE(c.flexible);
    EXPECT_EQ(c.componentModel, std::optional<std::wstring>(L"PART"));
    EXPECT_EQ(c.transform[3][1], 20.0);
    EXPECT_EQ(c.appearance, std::optional<Hostsim::Colour>(Hostsim::Colour{1, 0, 0}));
    EXPECT_FALSE(assembly.feature(6)->componentModel);
    EXPECT_TRUE(assembly.feature(6)->hidden);
    EXPECT_EQ(assembly.feature(7)->parents, std::vector<int>{5});

    Hostsim::Model& part = *session.findModel(L"PART");
    ASSERT_EQ(part.parameters.size(), 5u);
    EXPECT_EQ(part.parameters[0].value.type, PRO_PARAM_INTEGER);
    EXPECT_EQ(part.parameters[0].value.integer, 600);
    EXPECT_EQ(part.parameters[1].value.real, 2.5);
    EXPECT_EQ(part.parameters[2].value.type, PRO_PARAM_BOOLEAN);
    EXPECT_EQ(part.parameters[3].value.type, PRO_PARAM_NOTE_ID);
    EXPECT_EQ(part.parameters[4].value.type, 57);
    ASSERT_EQ(part.bodies.size(), 2u);
    Hostsim::Body& body = part.bodies[0];
    EXPECT_EQ(body.surfaces.size(), 2u + 6u + 3u);
    Hostsim::Surface& cylinder = *part.surface(11);
    EXPECT_EQ(cylinder.orientation, -1);
    EXPECT_EQ(cylinder.featureId, 2);
    EXPECT_EQ(cylinder.shape.origin, (Hostsim::Point{1, 2, 3}));
    EXPECT_EQ(cylinder.shape.values[0], 0.5);
    ASSERT_TRUE(cylinder.tessellation);
    EXPECT_EQ(cylinder.tessellation->facets.size(), 1u);
    EXPECT_EQ(part.surface(12)->tessellationStatus, -68);
    EXPECT_TRUE(part.bodies[1].construction);
    ASSERT_NE(part.facetSet(30), nullptr);
    EXPECT_EQ(part.facetSet(30)->facets.size(), 1u);
    EXPECT_EQ(session.findModel(L"DRW")->type, Hostsim::ModelType::Other);
}

struct BrokenScene {
    const char* name;
    const char* text;
    const char* error;
};

void PrintTo(const BrokenScene& c, std::ostream* os) {
    *os << c.name << ": " << PrintedValue::text(c.text) << " -> " << PrintedValue::text(c.error);
}

class BrokenScenes : public ::testing::TestWithParam<BrokenScene> {};

TEST_P(BrokenScenes, AreRefusedWithFileAndPath) {
    Hostsim::Session session;
    try {
        Hostsim::loadSceneText(session, GetParam().text, "scene.json");
        ADD_FAILURE() << "accepted";
    } catch (const Hostsim::SceneError& e) {
        EXPECT_EQ(std::string(e.what()), GetParam().error);
    }
}

#define PART_WITH_SURFACE(surface)                                                                 \
    R"({"models": [{"name": "A", "type": "part"}, {"name": "B", "type": "part"},)"                 \
    R"({"name": "C", "type": "part", "bodies": [{"surfaces": [{"type": 34}, )" surface R"(]}]}]})"

// A part "P" placed once in an assembly "A" with the given transform (JSON text).
#define PLACED_WITH(transform)                                                                     \
    R"({"models": [{"name": "P", "type": "part"}, {"name": "A", "type": "assembly", "features": )" \
    R"([{"type": "component", "model": "P", "transform": )" transform R"(}]}]})"
// A part with one primitive (JSON text).
#define PART_WITH_PRIMITIVE(primitive)                                                             \
    R"({"models": [{"name": "P", "type": "part", "bodies": [{"primitives": [)" primitive R"(]}]}]})"

INSTANTIATE_TEST_SUITE_P(
    Host, BrokenScenes,
    ::testing::Values(
        BrokenScene{"NotJson", "{\"models\": [",
                    "scene.json: /models/0: line 1, column 13: syntax error while parsing value - "
                    "unexpected end of input; expected '[', '{', or a literal"},
        BrokenScene{"SyntaxErrorOnALaterLine",
                    "{\"models\": [\n  {\"name\": \"A\" \"type\": 1}\n]}",
                    "scene.json: /models/0: line 2, column 21: syntax error while parsing "
                    "object - unexpected string literal; expected '}'"},
        BrokenScene{"NumberBeyondADouble", "{\"release\": -2e308, \"models\": []}",
                    "scene.json: /release: line 1, column 18: number overflow parsing '-2e308'"},
        BrokenScene{"UnclosedComment", "{\"models\": [] /* open",
                    "scene.json: /: line 1, column 22: syntax error while parsing object - "
                    "invalid comment; missing closing '*/'; last read: '\"models\": [] /* "
                    "open'; expected '}'"},
        BrokenScene{"NotAnObject", "[]", "scene.json: /: expected an object"},
        BrokenScene{"NoModels", "{}", "scene.json: /models: missing"},
        BrokenScene{"UnknownMember", R"({"models": [], "colour": 1})",
                    "scene.json: /colour: unknown member"},
        BrokenScene{"SurfaceTypeNotInteger", PART_WITH_SURFACE(R"({"type": "plane"})"),
                    "scene.json: /models/2/bodies/0/surfaces/1/type: expected an integer"},
        BrokenScene{"SurfaceTypeFraction", PART_WITH_SURFACE(R"({"type": 34.5})"),
                    "scene.json: /models/2/bodies/0/surfaces/1/type: expected an integer"},
        BrokenScene{
            "FacetIndexOutOfRange",
            PART_WITH_SURFACE(
                R"({"type": 34, "tessellation": {"vertices": [[0,0,0]], "facets": [[0,0,1]]}})"),
            "scene.json: /models/2/bodies/0/surfaces/1/tessellation/facets/0/2: no vertex "
            "of this index"},
        BrokenScene{"MissingFeature", PART_WITH_SURFACE(R"({"type": 34, "feature": 9})"),
                    "scene.json: /models/2/bodies/0/surfaces/1/feature: no feature of this id in "
                    "the model"},
        BrokenScene{
            "MissingComponentModel",
            R"({"models": [{"name": "A", "type": "assembly", "features": [{"type": "component", "model": "Q"}]}]})",
            "scene.json: /models/0/features/0/model: no model of this name"},
        BrokenScene{"DuplicateModel",
                    R"({"models": [{"name": "A", "type": "part"}, {"name": "A", "type": "part"}]})",
                    "scene.json: /models/1/name: a second model of this name"},
        BrokenScene{
            "DuplicateId",
            R"({"models": [{"name": "A", "type": "part", "features": [{"id": 3, "type": 1}], "bodies": [{"id": 3}]}]})",
            "scene.json: /models/0/bodies/0/id: item id 3 is taken in model A"},
        BrokenScene{"BadModelType", R"({"models": [{"name": "A", "type": "drawing"}]})",
                    "scene.json: /models/0/type: expected \"assembly\", \"part\" or \"other\""},
        BrokenScene{"MissingCurrent", R"({"models": [], "current": "Z"})",
                    "scene.json: /current: no model of this name"},
        BrokenScene{
            "ColourOutOfRange",
            R"({"models": [{"name": "A", "type": "part", "bodies": [{"appearance": [0, 2, 0]}]}]})",
            "scene.json: /models/0/bodies/0/appearance/1: a colour component lies from 0 "
            "to 1"},
        BrokenScene{
            "ShortMatrixRow",
            R"({"models": [{"name": "P", "type": "part"}, {"name": "A", "type": "assembly", "features": [{"type": "component", "model": "P", "transform": [[1,0,0,0],[0,1,0],[0,0,1,0],[0,0,0,1]]}]}]})",
            "scene.json: /models/1/features/0/transform/1: expected a row of four numbers"},
        BrokenScene{
            "HugeInteger",
            R"({"models": [{"name": "A", "type": "part", "bodies": [{"state": 99999999999}]}]})",
            "scene.json: /models/0/bodies/0/state: integer out of range"},
        BrokenScene{
            "ComponentMemberOnOtherFeature",
            R"({"models": [{"name": "A", "type": "part", "features": [{"type": 917, "flexible": true}]}]})",
            "scene.json: /models/0/features/0/flexible: only a component feature has this "
            "member"},
        BrokenScene{
            "ParameterNameTooLong",
            R"({"models": [{"name": "A", "type": "part", "parameters": [{"name": "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456", "type": "integer", "value": 1}]}]})",
            "scene.json: /models/0/parameters/0/name: longer than 31 characters"},
        BrokenScene{
            "FlatBox",
            R"({"models": [{"name": "A", "type": "part", "bodies": [{"primitives": [{"box": {"min": [0,0,0], "max": [1,0,1]}}]}]}]})",
            "scene.json: /models/0/bodies/0/primitives/0: a box needs max greater than min "
            "in x, y and z"},
        // What a host never produces: placements that are not rigid, coordinates beyond a
        // double, texts holding NUL.
        BrokenScene{"ScaledPlacement", PLACED_WITH("[[2,0,0,0],[0,1,0,0],[0,0,1,0],[0,0,0,1]]"),
                    "scene.json: /models/1/features/0/transform: not rigid: row 0 of the 3x3 part "
                    "has the squared length 4, not 1"},
        BrokenScene{"ShrunkThirdRow", PLACED_WITH("[[1,0,0,0],[0,1,0,0],[0,0,0.5,0],[0,0,0,1]]"),
                    "scene.json: /models/1/features/0/transform: not rigid: row 2 of the 3x3 part "
                    "has the squared length 0.25, not 1"},
        BrokenScene{"ShearedPlacement", PLACED_WITH("[[1,0,0,0],[0.5,1,0,0],[0,0,1,0],[0,0,0,1]]"),
                    "scene.json: /models/1/features/0/transform: not rigid: rows 0 and 1 of the "
                    "3x3 part are not orthogonal (dot product 0.5)"},
        BrokenScene{"RowsOneAndTwoAlike", PLACED_WITH("[[1,0,0,0],[0,0,1,0],[0,0,1,0],[0,0,0,1]]"),
                    "scene.json: /models/1/features/0/transform: not rigid: rows 1 and 2 of the "
                    "3x3 part are not orthogonal (dot product 1)"},
        BrokenScene{"ProjectivePlacement",
                    PLACED_WITH("[[1,0,0,0],[0,1,0,0.25],[0,0,1,0],[0,0,0,1]]"),
                    "scene.json: /models/1/features/0/transform/1/3: the last column of a "
                    "placement is 0, 0, 0, 1"},
        BrokenScene{"PlacementWithWeight", PLACED_WITH("[[1,0,0,0],[0,1,0,0],[0,0,1,0],[5,6,7,2]]"),
                    "scene.json: /models/1/features/0/transform/3/3: the last column of a "
                    "placement is 0, 0, 0, 1"},
        BrokenScene{"PlacementBeyondADouble",
                    PLACED_WITH("\n[[1,0,0,0],[0,1,0,0],[0,0,1,0],[1e999,0,0,1]]"),
                    "scene.json: /models/1/features/0/transform/3/0: line 2, column 37: number "
                    "overflow parsing '1e999'"},
        BrokenScene{
            "VertexBeyondADouble",
            PART_WITH_SURFACE("\n{\"type\": 34, \"tessellation\": {\"vertices\": [[0,-1e400,0]], "
                              "\"facets\": []}}"),
            "scene.json: /models/2/bodies/0/surfaces/1/tessellation/vertices/0/1: line 2, "
            "column 52: number overflow parsing '-1e400'"},
        BrokenScene{
            "BoxBeyondADouble",
            PART_WITH_PRIMITIVE(R"({"box": {"min": [-1e308, 0, 0], "max": [1e308, 1, 1]}})"),
            "scene.json: /models/0/bodies/0/primitives/0/box: its extent in x is no finite "
            "number"},
        BrokenScene{
            "BoxBeyondADoubleInZ",
            PART_WITH_PRIMITIVE(R"({"box": {"min": [0, 0, -1.5e308], "max": [1, 1, 1e308]}})"),
            "scene.json: /models/0/bodies/0/primitives/0/box: its extent in z is no finite "
            "number"},
        BrokenScene{"CylinderBeyondADouble",
                    PART_WITH_PRIMITIVE(R"({"cylinder": {"base": [0, 1.7e308, 0], "axis": )"
                                        R"([0, 0, 1], "radius": 1e308, "height": 1}})"),
                    "scene.json: /models/0/bodies/0/primitives/0/cylinder: it reaches coordinates "
                    "that are no finite numbers"},
        BrokenScene{"CylinderAxisBeyondADouble",
                    PART_WITH_PRIMITIVE(R"({"cylinder": {"base": [0, 0, 0], "axis": )"
                                        R"([0, 1e200, 0], "radius": 1, "height": 1}})"),
                    "scene.json: /models/0/bodies/0/primitives/0/cylinder/axis: too long for its "
                    "length to be a finite number"},
        BrokenScene{
            "ModelNameWithNul",
            R"({"models": [{"name": "A\u0000B", "type": "part"}, {"name": "A\u0000C", "type": "part"}]})",
            "scene.json: /models/0/name: contains U+0000, which ends a text for the host"},
        BrokenScene{
            "ComponentModelWithNul",
            R"({"models": [{"name": "A", "type": "assembly", "features": [{"type": "component", "model": "A\u0000"}]}]})",
            "scene.json: /models/0/features/0/model: contains U+0000, which ends a text for the "
            "host"},
        BrokenScene{
            "ParameterTextWithNul",
            R"({"models": [{"name": "A", "type": "part", "parameters": [{"name": "M", "type": "string", "value": "\u0000"}]}]})",
            "scene.json: /models/0/parameters/0/value: contains U+0000, which ends a text for "
            "the host"},
        BrokenScene{"WorkingDirectoryWithNul",
                    R"({"models": [], "workingDirectory": "/tmp/a\u0000b"})",
                    "scene.json: /workingDirectory: contains U+0000, which ends a text for the "
                    "host"},
        BrokenScene{"EmptyWorkingDirectory", R"({"models": [], "workingDirectory": ""})",
                    "scene.json: /workingDirectory: an empty text names no folder"},
        BrokenScene{"ModelFileNotAPath",
                    R"({"models": [{"name": "A", "type": "part", "modelFile": 3}]})",
                    "scene.json: /models/0/modelFile: expected the path of a STEP, BREP or STL "
                    "file"},
        BrokenScene{
            "ModelFileUnknownMember",
            R"({"models": [{"name": "A", "type": "part", "modelFile": {"path": "a.step", "scale": 2}}]})",
            "scene.json: /models/0/modelFile/scale: unknown member"},
        BrokenScene{
            "ModelFileFeatureMissing",
            R"({"models": [{"name": "A", "type": "part", "modelFile": {"path": "/usr/share/opencascade/data/step/screw.step", "feature": 4}}]})",
            Hostsim::modelFilesSupported()
                ? "scene.json: /models/0/modelFile/feature: no feature of this id in the model"
                : "scene.json: /models/0/modelFile: model files need the native build with "
                  "OpenCASCADE"}),
    PrintedValue::caseName<BrokenScene>);

// Natively the file's solid becomes a body; the Windows build refuses the entry and says why.
TEST(SceneLoader, AModelFileEntryGivesBodiesOrNamesTheBuildItNeeds) {
    Hostsim::Session session;
    const std::string scene =
        R"({"models": [{"name": "SCREW", "type": "part", "unit": "mm", "modelFile": )"
        R"("/usr/share/opencascade/data/step/screw.step"}]})";
    if (Hostsim::modelFilesSupported()) {
        Hostsim::loadSceneText(session, scene, "scene.json");
        const Hostsim::Model* part = session.findModel(L"SCREW");
        ASSERT_NE(part, nullptr);
        ASSERT_EQ(part->bodies.size(), 1u);
        EXPECT_FALSE(part->bodies.front().surfaces.empty());
        return;
    }
    try {
        Hostsim::loadSceneText(session, scene, "scene.json");
        ADD_FAILURE() << "accepted";
    } catch (const Hostsim::SceneError& e) {
        EXPECT_EQ(std::string(e.what()), "scene.json: /models/0/modelFile: model files need the "
                                         "native build with OpenCASCADE");
    }
}

// A model file in a folder whose name is outside ASCII, found from the scene's own folder; the
// tests run in the C locale.
TEST(SceneLoader, AModelFilePathOutsideAsciiIsFound) {
    if (!Hostsim::modelFilesSupported()) {
        GTEST_SKIP() << "model files need the native build with OpenCASCADE";
    }
    std::filesystem::path dir = HostTest::temporaryDirectory("scene");
    std::filesystem::create_directories(dir / u8"pi\u00e8ce\u2013\u20ac");
    std::filesystem::copy_file("/usr/share/opencascade/data/step/screw.step",
                               dir / u8"pi\u00e8ce\u2013\u20ac" / "screw.step");
    std::ofstream(dir / u8"sc\u00e8ne.json")
        << "{\"models\": [{\"name\": \"SCREW\", \"type\": \"part\", \"modelFile\": "
           "\"pi\u00e8ce\u2013\u20ac/screw.step\"}]}";
    Hostsim::Session session;
    Hostsim::loadScene(session, dir / u8"sc\u00e8ne.json");
    const Hostsim::Model* part = session.findModel(L"SCREW");
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(part->bodies.size(), 1u);
    std::filesystem::remove_all(dir);
}

// Rows of the rotation within 1e-6 of orthonormal are a placement as the host makes it; the
// first values past that are not. The working directory's text is kept as written, at any
// length: whether the host can hand it on is judged on the full path (hostsim does).
TEST(SceneLoader, PlacementsAreRigidWithinOneMillionth) {
    struct Case {
        const char* rows;
        bool rigid;
    };
    const Case cases[] = {
        // A quarter turn about z, exactly.
        {"[0,1,0,0],[-1,0,0,0],[0,0,1,0]", true},
        // Squared lengths 1 + 9.8e-7 and 1 + 1.02e-6.
        {"[1.00000049,0,0,0],[0,1,0,0],[0,0,1,0]", true},
        {"[1.00000051,0,0,0],[0,1,0,0],[0,0,1,0]", false},
        {"[1,0,0,0],[0,0.99999951,0,0],[0,0,1,0]", true},
        {"[1,0,0,0],[0,0.99999949,0,0],[0,0,1,0]", false},
        // Dot products 9.9e-7 and 1.01e-6.
        {"[1,0,0,0],[0,1,0,0],[0.00000099,0,1,0]", true},
        {"[1,0,0,0],[0,1,0,0],[0.00000101,0,1,0]", false},
        {"[1,0,0,0],[0,1,-0.00000099,0],[0,0.00000099,1,0]", true},
        {"[1,0,0,0],[0,1,0,0],[0,-0.00000101,1,0]", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows);
        const std::string scene =
            std::string(R"({"workingDirectory": ")") + std::string(400, 'w') +
            R"(", "models": [{"name": "P", "type": "part"}, {"name": "A", "type": "assembly", )"
            R"("features": [{"type": "component", "model": "P", "transform": [)" +
            c.rows + R"(,[4,5,6,1]]}]}], "current": "A"})";
        Hostsim::Session session;
        if (c.rigid) {
            ASSERT_NO_THROW(Hostsim::loadSceneText(session, scene, "scene.json"));
            EXPECT_EQ(session.findModel(L"A")->features.front().transform[3][2], 6.0);
            EXPECT_EQ(session.workingDirectory, std::wstring(400, L'w'));
        } else {
            EXPECT_THROW(Hostsim::loadSceneText(session, scene, "scene.json"), Hostsim::SceneError);
        }
    }
}

// A cylinder is refused when its base plus its height and twice its radius leaves a double in
// some coordinate (the largest double is about 1.7977e308): the radius counts twice, the height
// once, both from the base's magnitude.
TEST(SceneLoader, ACylinderReachesItsHeightAndTwiceItsRadiusFromItsBase) {
    struct Case {
        const char* base;
        const char* radius;
        const char* height;
        bool accepted;
    };
    const Case cases[] = {
        // 1e308 + 2 * 0.39e308 = 1.78e308 fits; 1e308 + 2 * 0.5e308 does not, although
        // 1e308 + 0.5e308 would.
        {"[0, 1e308, 0]", "0.39e308", "1", true},
        {"[0, 1e308, 0]", "0.5e308", "1", false},
        {"[0, 0, -1e308]", "0.39e308", "1", true},
        {"[0, 0, -1e308]", "0.5e308", "1", false},
        // The height counts once: 1e308 + 0.79e308 fits, 1e308 + 0.8e308 does not.
        {"[1e308, 0, 0]", "1", "0.79e308", true},
        {"[1e308, 0, 0]", "1", "0.8e308", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.base) + " radius " + c.radius + " height " + c.height);
        const std::string scene =
            std::string(R"({"models": [{"name": "P", "type": "part", "bodies": [{"primitives": )"
                        R"([{"cylinder": {"base": )") +
            c.base + R"(, "axis": [0, 0, 1], "radius": )" + c.radius + R"(, "height": )" +
            c.height + "}}]}]}]}";
        Hostsim::Session session;
        if (c.accepted) {
            EXPECT_NO_THROW(Hostsim::loadSceneText(session, scene, "scene.json"));
        } else {
            try {
                Hostsim::loadSceneText(session, scene, "scene.json");
                ADD_FAILURE() << "accepted";
            } catch (const Hostsim::SceneError& e) {
                EXPECT_EQ(std::string(e.what()),
                          "scene.json: /models/0/bodies/0/primitives/0/cylinder: it reaches "
                          "coordinates that are no finite numbers");
            }
        }
    }
}

TEST(SceneLoader, NoPrefixOfAValidSceneCrashes) {
    std::string text = kScene;
    for (std::size_t n = 0; n < text.size(); n += 7) {
        Hostsim::Session session;
        try {
            Hostsim::loadSceneText(session, text.substr(0, n), "scene.json");
        } catch (const Hostsim::SceneError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("scene.json: ", 0), 0u);
        }
    }
}

// Comments as host/SceneFormat.md's example shows them.
TEST(SceneLoader, CommentsAreAllowed) {
    Hostsim::Session session;
    Hostsim::loadSceneText(session, R"({
  "release": 31,          // the host's release
  /* a part */ "models": [{"name": "P", "type": "part"}]
})",
                           "scene.json");
    EXPECT_EQ(session.releaseNumber, 31);
    EXPECT_NE(session.findModel(L"P"), nullptr);
}

// A file that cannot be read is named by its full path, with the reason; a folder or a device
// is refused before it is opened.
TEST(SceneLoader, AFileThatCannotBeReadIsNamedWithTheReason) {
    std::filesystem::path dir = HostTest::temporaryDirectory("scene");
    const std::filesystem::path start = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    std::vector<std::pair<std::filesystem::path, std::string>> cases = {
        {"missing.json", Hostsim::utf8Path(dir / "missing.json") + ": cannot read the scene: "},
        {dir, Hostsim::utf8Path(dir) + ": cannot read the scene: it is a directory"},
    };
#if !defined(_WIN32)
    cases.push_back({"/dev/zero", "/dev/zero: cannot read the scene: it is a character device"});
#endif
    for (const auto& [file, message] : cases) {
        Hostsim::Session session;
        try {
            Hostsim::loadScene(session, file);
            ADD_FAILURE() << "accepted " << Hostsim::utf8Path(file);
        } catch (const Hostsim::SceneError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(message, 0), 0u) << e.what();
            if (file == "missing.json") {
                EXPECT_GT(std::string(e.what()).size(), message.size()) << "no reason given";
            }
        }
    }
    std::filesystem::current_path(start);
    std::ofstream(dir / "ok.json") << kScene;
    Hostsim::Session other;
    EXPECT_NO_THROW(Hostsim::loadScene(other, dir / "ok.json"));
    std::filesystem::remove_all(dir);
}

// Models are looked up by name for every level of every component path; a model renamed after
// it was added is found under its new name only.
TEST(Session, FindsModelsByTheirPresentName) {
    Hostsim::Session session;
    Hostsim::Model& a = session.addPart(L"A");
    Hostsim::Model& b = session.addPart(L"B");
    EXPECT_EQ(session.findModel(L"A"), &a);
    EXPECT_EQ(session.findModel(L"B"), &b);
    EXPECT_EQ(session.findModel(L"C"), nullptr);
    b.name = L"C";
    EXPECT_EQ(session.findModel(L"C"), &b);
    EXPECT_EQ(session.findModel(L"B"), nullptr);
    Hostsim::Model& newB = session.addPart(L"B");
    EXPECT_EQ(session.findModel(L"B"), &newB);
    EXPECT_EQ(session.findModel(L"C"), &b);
    EXPECT_THROW(session.addPart(L"C"), std::invalid_argument);
}

} // namespace
