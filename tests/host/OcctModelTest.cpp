// Scenes whose part geometry comes from model files read with OpenCASCADE: what the host makes of
// the sample models, checked against the files walked with OpenCASCADE directly, and the bodies
// the plug-in exports from them.
#include "ClosedMesh.h"
#include "CreoImport.h"
#include "ExportTVL.h"
#include "HostTestSupport.h"
#include "ModelFile.h"
#include "PrintedValue.h"
#include "SceneLoader.h"
#include "TvlReader.h"

#include <BRepAdaptor_Surface.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <BRep_Tool.hxx>
#include <GeomAbs_SurfaceType.hxx>
#include <Quantity_Color.hxx>
#include <STEPCAFControl_Writer.hxx>
#include <STEPControl_Reader.hxx>
#include <TDF_Label.hxx>
#include <TDocStd_Document.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedDataMapOfShapeListOfShape.hxx>
#include <TopoDS.hxx>
#include <XCAFApp_Application.hxx>
#include <XCAFDoc_ColorTool.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>
#include <gp_Cone.hxx>
#include <gp_Cylinder.hxx>
#include <gp_Torus.hxx>

#include <chrono>
#include <cmath>
#include <fstream>
#include <map>

namespace {

using HostTest::HostSessionTest;

const std::string kData = "/usr/share/opencascade/data";

// ---------------------------------------------------------------------------------------------
// What OpenCASCADE itself says about a file
// ---------------------------------------------------------------------------------------------

TopoDS_Shape readDirectly(const std::string& file) {
    TopoDS_Shape shape;
    if (file.size() > 5 && file.substr(file.size() - 5) == ".step") {
        STEPControl_Reader reader;
        EXPECT_EQ(reader.ReadFile(file.c_str()), IFSelect_RetDone) << file;
        reader.TransferRoots();
        shape = reader.OneShape();
    } else {
        BRep_Builder builder;
        EXPECT_TRUE(BRepTools::Read(shape, file.c_str(), builder)) << file;
    }
    return shape;
}

std::vector<TopoDS_Solid> solidsOf(const TopoDS_Shape& shape) {
    std::vector<TopoDS_Solid> solids;
    for (TopExp_Explorer it(shape, TopAbs_SOLID); it.More(); it.Next()) {
        solids.push_back(TopoDS::Solid(it.Current()));
    }
    return solids;
}

std::vector<TopoDS_Face> facesOf(const TopoDS_Solid& solid) {
    std::vector<TopoDS_Face> faces;
    for (TopExp_Explorer it(solid, TopAbs_FACE); it.More(); it.Next()) {
        faces.push_back(TopoDS::Face(it.Current()));
    }
    return faces;
}

// The host type each kind of surface gets (documented in SceneFormat.md).
int expectedType(GeomAbs_SurfaceType type) {
    switch (type) {
    case GeomAbs_Plane:
        return 34;
    case GeomAbs_Cylinder:
        return 36;
    case GeomAbs_Cone:
        return 37;
    case GeomAbs_Torus:
        return 38;
    case GeomAbs_Sphere:
    case GeomAbs_SurfaceOfRevolution:
        return 43;
    case GeomAbs_SurfaceOfExtrusion:
        return 44;
    case GeomAbs_BSplineSurface:
        return 45;
    case GeomAbs_BezierSurface:
        return 40;
    default:
        return 46;
    }
}

// A solid is closed when each of its edges (but degenerate ones) bounds its faces twice.
bool isClosed(const TopoDS_Solid& solid) {
    std::map<const void*, int> uses;
    for (TopExp_Explorer f(solid, TopAbs_FACE); f.More(); f.Next()) {
        for (TopExp_Explorer e(f.Current(), TopAbs_EDGE); e.More(); e.Next()) {
            const TopoDS_Edge& edge = TopoDS::Edge(e.Current());
            if (!BRep_Tool::Degenerated(edge)) {
                ++uses[edge.TShape().get()];
            }
        }
    }
    for (const auto& [edge, count] : uses) {
        if (count != 2) {
            return false;
        }
    }
    return !uses.empty();
}

// A point inside the face's parameter range and the face's outward normal there.
void outwardAt(const TopoDS_Face& face, gp_Pnt& point, gp_Vec& normal) {
    double u1 = 0, u2 = 0, v1 = 0, v2 = 0;
    BRepTools::UVBounds(face, u1, u2, v1, v2);
    BRepAdaptor_Surface surface(face);
    gp_Vec du, dv;
    surface.D1(0.5 * (u1 + u2), 0.5 * (v1 + v2), point, du, dv);
    normal = du.Crossed(dv);
    if (face.Orientation() == TopAbs_REVERSED) {
        normal.Reverse();
    }
}

// The documents OpenCASCADE's XCAF application holds open; a read that leaves one open leaks it.
int openDocuments() {
    return XCAFApp_Application::GetApplication()->NbDocuments();
}

gp_Vec vec(const Hostsim::Point& p) {
    return gp_Vec(p[0], p[1], p[2]);
}

// ---------------------------------------------------------------------------------------------
// Scenes
// ---------------------------------------------------------------------------------------------

std::string partJson(const std::string& name, const std::string& file,
                     const std::string& unit = "mm", const std::string& extra = "") {
    return R"({"name": ")" + name + R"(", "type": "part", "unit": ")" + unit +
           R"(", "features": [{"id": 1, "type": 917}], )" + extra + R"("modelFile": {"path": ")" +
           file + R"(", "feature": 1}})";
}

class ModelFileTest : public HostSessionTest {
protected:
    void load(const std::string& models, const std::string& current = "") {
        std::string text = R"({"models": [)" + models + "]" +
                           (current.empty() ? "" : R"(, "current": ")" + current + "\"") + "}";
        Hostsim::loadSceneText(session, text, "occt.json");
    }
    Hostsim::Model& model(const std::wstring& name) {
        Hostsim::Model* m = session.findModel(name);
        EXPECT_NE(m, nullptr);
        return *m;
    }
    // Tessellates one surface through the toolkit; the facets as the host winds them.
    ProErrors tessellate(const Hostsim::Surface& surface, double chord, double angle,
                         std::vector<Hostsim::Point>& vertices,
                         std::vector<std::array<int, 3>>& facets) {
        HostTest::TessellatedSurface mesh;
        const ProErrors status = HostTest::tessellate(session, surface, chord, angle, mesh);
        for (const auto& v : mesh.vertices) {
            vertices.push_back({v[0], v[1], v[2]});
        }
        facets.insert(facets.end(), mesh.facets.begin(), mesh.facets.end());
        return status;
    }
};

TEST_F(ModelFileTest, ScrewStepGivesOneSurfacePerFaceWithTheKindAndOrientationOpenCascadeReports) {
    const std::string file = kData + "/step/screw.step";
    load(partJson("SCREW", file));
    const std::vector<TopoDS_Solid> solids = solidsOf(readDirectly(file));
    Hostsim::Model& part = model(L"SCREW");
    ASSERT_EQ(part.bodies.size(), solids.size());
    ASSERT_FALSE(solids.empty());

    std::map<int, int> typeCounts;
    for (std::size_t b = 0; b < solids.size(); ++b) {
        const std::vector<TopoDS_Face> faces = facesOf(solids[b]);
        const Hostsim::Body& body = part.bodies[b];
        ASSERT_EQ(body.surfaces.size(), faces.size()) << "body " << b;
        for (std::size_t f = 0; f < faces.size(); ++f) {
            const Hostsim::Surface& s = body.surfaces[f];
            BRepAdaptor_Surface surface(faces[f]);
            ASSERT_EQ(s.type, expectedType(surface.GetType())) << "face " << f;
            ++typeCounts[s.type];
            EXPECT_EQ(s.featureId, 1);
            ASSERT_TRUE(s.orientation == 1 || s.orientation == -1);
            gp_Pnt p;
            gp_Vec n;
            outwardAt(faces[f], p, n);
            const gp_Vec e3 = vec(s.shape.e3);
            const gp_Vec fromOrigin(gp_Pnt(s.shape.origin[0], s.shape.origin[1], s.shape.origin[2]),
                                    p);
            // Away from the axis (cylinder, cone) or from the tube's centre circle (torus).
            gp_Vec radial = fromOrigin - e3 * fromOrigin.Dot(e3);
            if (s.type == PRO_SRF_TORUS) {
                radial =
                    fromOrigin - radial.Normalized() * s.shape.values[0] - e3 * fromOrigin.Dot(e3);
            }
            switch (s.type) {
            case PRO_SRF_PLANE:
                EXPECT_GT(e3.Dot(n) * s.orientation, 0.0) << "face " << f;
                EXPECT_NEAR(std::abs(fromOrigin.Dot(e3)), 0.0, 1e-9) << "face " << f;
                break;
            case PRO_SRF_CYL:
                EXPECT_NEAR(s.shape.values[0], surface.Cylinder().Radius(), 1e-12);
                EXPECT_NEAR(radial.Magnitude(), s.shape.values[0], 1e-9) << "face " << f;
                EXPECT_GT(radial.Dot(n) * s.orientation, 0.0) << "face " << f;
                break;
            case PRO_SRF_CONE:
                EXPECT_NEAR(s.shape.values[0], surface.Cone().RefRadius(), 1e-12);
                EXPECT_GT(radial.Dot(n) * s.orientation, 0.0) << "face " << f;
                break;
            case PRO_SRF_TORUS:
                EXPECT_NEAR(s.shape.values[0], surface.Torus().MajorRadius(), 1e-12);
                EXPECT_NEAR(s.shape.values[1], surface.Torus().MinorRadius(), 1e-12);
                EXPECT_GT(radial.Dot(n) * s.orientation, 0.0) << "face " << f;
                break;
            default:
                break;
            }
        }
    }
    // The screw has planes, cylinders and more than those.
    EXPECT_GT(typeCounts[PRO_SRF_PLANE], 0);
    EXPECT_GT(typeCounts[PRO_SRF_CYL], 0);
    for (const auto& [type, count] : typeCounts) {
        std::cout << "host type " << type << ": " << count << " surfaces\n";
    }
}

TEST_F(ModelFileTest, CylinderTessellationsLieOnTheCylinderAndRefineWithTheChordHeight) {
    load(partJson("SCREW", kData + "/step/screw.step"));
    int cylinders = 0;
    std::size_t coarse = 0, fine = 0;
    for (const Hostsim::Surface& s : model(L"SCREW").bodies.front().surfaces) {
        std::vector<Hostsim::Point> vertices;
        std::vector<std::array<int, 3>> facets;
        ASSERT_EQ(tessellate(s, 0.5, 0.0, vertices, facets), PRO_TK_NO_ERROR);
        coarse += facets.size();
        std::vector<Hostsim::Point> fineVertices;
        facets.clear();
        ASSERT_EQ(tessellate(s, 0.005, 0.6, fineVertices, facets), PRO_TK_NO_ERROR);
        fine += facets.size();
        if (s.type != PRO_SRF_CYL) {
            continue;
        }
        ++cylinders;
        const gp_Vec e3 = vec(s.shape.e3);
        for (const Hostsim::Point& v : fineVertices) {
            gp_Vec d = vec(v) - vec(s.shape.origin);
            d -= e3 * d.Dot(e3);
            EXPECT_NEAR(d.Magnitude(), s.shape.values[0], 1e-6 * s.shape.values[0]);
        }
    }
    EXPECT_GT(cylinders, 0);
    EXPECT_GT(coarse, 0u);
    EXPECT_GT(fine, 2 * coarse);
}

TEST_F(ModelFileTest, LengthsComeInThePartsUnit) {
    const std::string file = kData + "/step/screw.step";
    load(partJson("MM", file) + "," + partJson("CM", file, "cm") + "," +
         partJson("IN", file, "in"));
    const Hostsim::Body& mm = model(L"MM").bodies.front();
    for (const auto& [name, factor] : {std::pair{L"CM", 10.0}, std::pair{L"IN", 25.4}}) {
        const Hostsim::Body& other = model(name).bodies.front();
        ASSERT_EQ(other.surfaces.size(), mm.surfaces.size());
        for (std::size_t i = 0; i < mm.surfaces.size(); ++i) {
            const Hostsim::Surface& a = mm.surfaces[i];
            const Hostsim::Surface& b = other.surfaces[i];
            for (int k = 0; k < 3; ++k) {
                EXPECT_NEAR(b.shape.origin[k] * factor, a.shape.origin[k], 1e-9);
            }
            EXPECT_NEAR(b.shape.values[0] * factor, a.shape.values[0], 1e-9);
            // The chord height is the part's length too: the same request in the part's unit
            // gives the same mesh, scaled.
            std::vector<Hostsim::Point> va, vb;
            std::vector<std::array<int, 3>> fa, fb;
            ASSERT_EQ(tessellate(a, 0.1, 0.5, va, fa), PRO_TK_NO_ERROR);
            ASSERT_EQ(tessellate(b, 0.1 / factor, 0.5, vb, fb), PRO_TK_NO_ERROR);
            ASSERT_EQ(va.size(), vb.size());
            EXPECT_EQ(fa, fb);
            for (std::size_t v = 0; v < va.size(); ++v) {
                for (int k = 0; k < 3; ++k) {
                    EXPECT_NEAR(vb[v][k] * factor, va[v][k], 1e-9);
                }
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The exported bodies are closed and wound outward
// ---------------------------------------------------------------------------------------------

class ExportedModelTest : public ModelFileTest,
                          public ::testing::WithParamInterface<const char*> {};

TEST_P(ExportedModelTest, ClosedSolidsExportAsClosedOutwardWoundBodies) {
    const std::string file = kData + "/" + GetParam();
    load(partJson("PART", file), "PART");
    const std::vector<TopoDS_Solid> solids = solidsOf(readDirectly(file));

    KorvaneGeometry::CAD_Assembly target;
    Velmora::OptionsPersistency options;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Velmora::CreoImport::computeAssembly(target, options), PRO_TK_NO_ERROR);
    EXPECT_TRUE(session.transcript().areaKeys().empty()) << session.transcript().areaKeys()[0];
    const std::filesystem::path dir = HostTest::temporaryDirectory("occt-export");
    KorvaneGeometry::ExportTVL(target, dir / "model.tvl");
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const TvlRead::File exported = TvlRead::readFile(dir / "model.tvl");
    std::filesystem::remove_all(dir);

    ASSERT_EQ(exported.parts.size(), 1u);
    const std::vector<TvlRead::Body>& bodies = exported.parts[0].bodies;
    ASSERT_EQ(bodies.size(), solids.size());
    std::size_t triangles = 0;
    int closed = 0;
    for (std::size_t b = 0; b < bodies.size(); ++b) {
        std::vector<MeshCheck::Corners> corners;
        for (const TvlRead::Triangle& t : bodies[b].triangles) {
            corners.push_back({t.i0, t.i1, t.i2});
        }
        triangles += corners.size();
        ASSERT_EQ(bodies[b].surfaces.size(), facesOf(solids[b]).size()) << "body " << b;
        if (!isClosed(solids[b])) {
            std::cout << GetParam() << ": solid " << b << " is open in the file itself\n";
            continue;
        }
        ++closed;
        EXPECT_EQ(MeshCheck::openEdges(corners), "") << GetParam() << " body " << b;
        EXPECT_GT(MeshCheck::signedVolume6(bodies[b].points, corners), 0.0)
            << GetParam() << " body " << b;
    }
    EXPECT_GT(closed, 0);
    std::cout << GetParam() << ": " << bodies.size() << " bodies, " << closed << " closed, "
              << triangles << " triangles, extracted and written in " << seconds << " s\n";
}

INSTANTIATE_TEST_SUITE_P(SampleModels, ExportedModelTest,
                         ::testing::Values("step/screw.step", "step/linkrods.step",
                                           "occ/bottle.brep", "occ/Pump_Nut.brep", "occ/Ball.brep",
                                           "occ/CrankArm.brep"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) {
                                     c = '_';
                                 }
                             }
                             return name;
                         });

// ---------------------------------------------------------------------------------------------
// Colours, facet sets and files that give nothing
// ---------------------------------------------------------------------------------------------

TEST_F(ModelFileTest, StepColoursOfSolidsAndFacesBecomeAppearances) {
    // A box coloured as a whole, one of its faces coloured on its own.
    const std::filesystem::path dir = HostTest::temporaryDirectory("occt-colour");
    TopoDS_Shape box = BRepPrimAPI_MakeBox(10.0, 20.0, 30.0).Shape();
    TopoDS_Face first = facesOf(TopoDS::Solid(solidsOf(box).front())).front();
    Handle(TDocStd_Document) document;
    XCAFApp_Application::GetApplication()->NewDocument("MDTV-XCAF", document);
    Handle(XCAFDoc_ShapeTool) shapes = XCAFDoc_DocumentTool::ShapeTool(document->Main());
    Handle(XCAFDoc_ColorTool) colours = XCAFDoc_DocumentTool::ColorTool(document->Main());
    TDF_Label label = shapes->AddShape(box, false);
    colours->SetColor(label, Quantity_Color(0.25, 0.5, 0.75, Quantity_TOC_sRGB), XCAFDoc_ColorGen);
    TDF_Label faceLabel = shapes->AddSubShape(label, first);
    colours->SetColor(faceLabel, Quantity_Color(1.0, 0.0, 0.0, Quantity_TOC_sRGB),
                      XCAFDoc_ColorSurf);
    STEPCAFControl_Writer writer;
    writer.SetColorMode(true);
    ASSERT_TRUE(writer.Transfer(document));
    ASSERT_EQ(writer.Write((dir / "box.step").string().c_str()), IFSelect_RetDone);
    XCAFApp_Application::GetApplication()->Close(document);

    const int documents = openDocuments();
    load(partJson("BOX", (dir / "box.step").string()));
    std::filesystem::remove_all(dir);
    EXPECT_EQ(openDocuments(), documents); // closed, its colours read before
    const Hostsim::Body& body = model(L"BOX").bodies.at(0);
    ASSERT_TRUE(body.appearance.has_value());
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR((*body.appearance)[k], 0.25 * (k + 1), 1e-3);
    }
    ASSERT_EQ(body.surfaces.size(), 6u);
    int red = 0, solidColour = 0;
    for (const Hostsim::Surface& s : body.surfaces) {
        ASSERT_TRUE(s.appearance[0].has_value());
        EXPECT_FALSE(s.appearance[1].has_value());
        if (std::abs((*s.appearance[0])[0] - 1.0) < 1e-3) {
            ++red;
        } else if (std::abs((*s.appearance[0])[0] - 0.25) < 1e-3) {
            ++solidColour;
        }
    }
    EXPECT_EQ(red, 1);
    EXPECT_EQ(solidColour, 5);
}

TEST_F(ModelFileTest, StlTrianglesBecomeAFacetSetInThePartsUnit) {
    const std::filesystem::path dir = HostTest::temporaryDirectory("occt-stl");
    {
        std::ofstream out(dir / "tetra.stl");
        out << "solid t\n";
        const double p[4][3] = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {0, 0, 10}};
        const int f[4][3] = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
        for (const auto& t : f) {
            out << "facet normal 0 0 0\nouter loop\n";
            for (int k : t) {
                out << "vertex " << p[k][0] << " " << p[k][1] << " " << p[k][2] << "\n";
            }
            out << "endloop\nendfacet\n";
        }
        out << "endsolid t\n";
    }
    load(partJson("TETRA", (dir / "tetra.stl").string(), "cm", R"("bodies": [{}], )"));
    std::filesystem::remove_all(dir);
    Hostsim::Model& part = model(L"TETRA");
    ASSERT_EQ(part.facetSets.size(), 1u);
    const Hostsim::FacetSet& set = part.facetSets.front();
    EXPECT_EQ(set.featureId, 1);
    ASSERT_EQ(set.facets.size(), 4u);
    // The last facet in the file's corner order, in centimetres.
    EXPECT_EQ(set.facets[3][0], (Hostsim::Point{1, 0, 0}));
    EXPECT_EQ(set.facets[3][1], (Hostsim::Point{0, 1, 0}));
    EXPECT_EQ(set.facets[3][2], (Hostsim::Point{0, 0, 1}));
}

struct BadFile {
    const char* name;
    std::string content; // written to a file of this name unless it names a sample
    std::string unit;
    std::string message;
};

class BadModelFileTest : public ModelFileTest, public ::testing::WithParamInterface<BadFile> {};

TEST_P(BadModelFileTest, IsASceneErrorNamingThePlaceAndTheReason) {
    const BadFile& c = GetParam();
    const std::filesystem::path dir = HostTest::temporaryDirectory("occt-bad");
    std::string file = c.name;
    if (file.front() != '/') {
        file = (dir / c.name).string();
        if (!c.content.empty()) {
            std::ofstream(file) << c.content;
        }
    }
    const int documents = openDocuments();
    std::string error;
    // Standard output is hostsim's transcript: what OpenCASCADE has to say about a bad file (a
    // STEP syntax error) goes elsewhere.
    ::testing::internal::CaptureStdout();
    try {
        load(partJson("PART", file, c.unit));
    } catch (const Hostsim::SceneError& e) {
        error = e.what();
    }
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(openDocuments(), documents);
    EXPECT_NE(error.find("occt.json: /models/0/modelFile"), std::string::npos) << error;
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
    std::filesystem::remove_all(dir);
}

void PrintTo(const BadFile& c, std::ostream* out) {
    *out << c.name << ": content " << PrintedValue::text(c.content) << ", unit "
         << PrintedValue::text(c.unit) << " -> an error with " << PrintedValue::text(c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadModelFileTest,
    ::testing::Values(BadFile{"missing.step", "", "mm", "no such file"},
                      BadFile{"garbage.step", "not a step file\n", "mm", "cannot be read"},
                      BadFile{"empty.step",
                              "ISO-10303-21;\nHEADER;\nFILE_DESCRIPTION((''),'2;1');\n"
                              "FILE_NAME('','',(''),(''),'','','');\n"
                              "FILE_SCHEMA(('AUTOMOTIVE_DESIGN'));\nENDSEC;\nDATA;\nENDSEC;\n"
                              "END-ISO-10303-21;\n",
                              "mm", "could not be transferred"},
                      BadFile{"garbage.brep", "nor a brep\n", "mm", "cannot be read"},
                      BadFile{"empty.stl", "solid e\nendsolid e\n", "mm", "cannot be read"},
                      BadFile{"model.iges", "whatever\n", "mm", "not a STEP, BREP or STL"},
                      BadFile{"/usr/share/opencascade/data/occ/face.brep", "", "mm",
                              "holds no solid"},
                      BadFile{"/usr/share/opencascade/data/step/screw.step", "", "furlong",
                              "no length for the unit \"furlong\""}),
    [](const auto& info) {
        std::string name = std::filesystem::path(info.param.name).filename().string();
        for (char& ch : name) {
            if (!std::isalnum(static_cast<unsigned char>(ch))) {
                ch = '_';
            }
        }
        return name + (info.param.unit == "mm" ? "" : "_" + info.param.unit);
    });

} // namespace
