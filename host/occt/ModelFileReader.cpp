// Reading STEP (with colours through XCAF), BREP and STL files with OpenCASCADE.
#include "ModelFile.h"
#include "OcctOutput.h"
#include "SolidMesher.h"

#include <BRepAdaptor_Surface.hxx>
#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <Interface_Static.hxx>
#include <Poly_Triangulation.hxx>
#include <Quantity_Color.hxx>
#include <RWStl.hxx>
#include <STEPCAFControl_Reader.hxx>
#include <Standard_Failure.hxx>
#include <TDF_LabelSequence.hxx>
#include <TDocStd_Document.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>
#include <XCAFApp_Application.hxx>
#include <XCAFDoc_ColorTool.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>
#include <gp_Ax3.hxx>
#include <gp_Cone.hxx>
#include <gp_Cylinder.hxx>
#include <gp_Pln.hxx>
#include <gp_Sphere.hxx>
#include <gp_Torus.hxx>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>

namespace Hostsim {

namespace {

// The XCAF document of one STEP read. The application keeps every document it made until it is
// closed: this closes it when the read is over, after every colour was looked up.
class StepDocument {
public:
    StepDocument() : application_(XCAFApp_Application::GetApplication()) {
        application_->NewDocument("MDTV-XCAF", document_);
    }
    ~StepDocument() {
        try {
            application_->Close(document_);
        } catch (const Standard_Failure&) {
            // Nothing more to free; the read's own result or error stands.
        }
    }
    StepDocument(const StepDocument&) = delete;
    StepDocument& operator=(const StepDocument&) = delete;

    Handle(TDocStd_Document) & document() { return document_; }

private:
    Handle(XCAFApp_Application) application_;
    Handle(TDocStd_Document) document_;
};

// Colours by shape, from the STEP file's XCAF document while it is open; empty for other files.
class ColourSource {
public:
    ColourSource() = default;
    explicit ColourSource(Handle(XCAFDoc_ColorTool) tool) : tool_(std::move(tool)) {}

    std::optional<Colour> of(const TopoDS_Shape& shape) const {
        if (tool_.IsNull()) {
            return std::nullopt;
        }
        Quantity_Color c;
        if (tool_->GetColor(shape, XCAFDoc_ColorSurf, c) ||
            tool_->GetColor(shape, XCAFDoc_ColorGen, c)) {
            // The file's own numbers, not the linear values OpenCASCADE keeps.
            double r = 0.0, g = 0.0, b = 0.0;
            c.Values(r, g, b, Quantity_TOC_sRGB);
            return Colour{std::clamp(r, 0.0, 1.0), std::clamp(g, 0.0, 1.0),
                          std::clamp(b, 0.0, 1.0)};
        }
        return std::nullopt;
    }

private:
    Handle(XCAFDoc_ColorTool) tool_;
};

Point point(const gp_XYZ& p, double scale) {
    return {p.X() * scale, p.Y() * scale, p.Z() * scale};
}

// Frame e1, e2 and e3 = e1 x e2 (right-handed), origin in the part's unit. The surface's own
// normal runs away from the axis (cylinder, cone, sphere, torus) exactly when the axes are
// right-handed; the result is then 1, else -1.
int setFrame(ShapeData& shape, const gp_Ax3& axes, double toUnit) {
    const gp_Dir x = axes.XDirection();
    const gp_Dir y = axes.YDirection();
    const gp_Dir z = x.Crossed(y);
    shape.e1 = {x.X(), x.Y(), x.Z()};
    shape.e2 = {y.X(), y.Y(), y.Z()};
    shape.e3 = {z.X(), z.Y(), z.Z()};
    shape.origin = point(axes.Location().XYZ(), toUnit);
    return axes.Direct() ? 1 : -1;
}

// Type, orientation and shape data of one face. Orientation 1: the face's outward side is the
// side its frame calls outward (e3 for a plane, away from the axis for the curved kinds, the
// surface's own normal for the rest).
ModelFileSurface describeFace(const TopoDS_Face& face, double toUnit) {
    ModelFileSurface s;
    const int sense = face.Orientation() == TopAbs_REVERSED ? -1 : 1;
    BRepAdaptor_Surface surface(face, false);
    int frameSense = 1;
    switch (surface.GetType()) {
    case GeomAbs_Plane:
        s.type = PRO_SRF_PLANE;
        setFrame(s.shape, surface.Plane().Position(), toUnit);
        break;
    case GeomAbs_Cylinder:
        s.type = PRO_SRF_CYL;
        frameSense = setFrame(s.shape, surface.Cylinder().Position(), toUnit);
        s.shape.values = {surface.Cylinder().Radius() * toUnit, 0.0};
        break;
    case GeomAbs_Cone:
        s.type = PRO_SRF_CONE;
        frameSense = setFrame(s.shape, surface.Cone().Position(), toUnit);
        s.shape.values = {surface.Cone().RefRadius() * toUnit, 0.0};
        break;
    case GeomAbs_Torus:
        s.type = PRO_SRF_TORUS;
        frameSense = setFrame(s.shape, surface.Torus().Position(), toUnit);
        s.shape.values = {surface.Torus().MajorRadius() * toUnit,
                          surface.Torus().MinorRadius() * toUnit};
        break;
    case GeomAbs_Sphere:
        s.type = kSurfaceTypeRevolution;
        frameSense = setFrame(s.shape, surface.Sphere().Position(), toUnit);
        s.shape.values = {surface.Sphere().Radius() * toUnit, 0.0};
        break;
    case GeomAbs_SurfaceOfRevolution: {
        s.type = kSurfaceTypeRevolution;
        const gp_Ax1 axis = surface.AxeOfRevolution();
        setFrame(s.shape, gp_Ax3(axis.Location(), axis.Direction()), toUnit);
        break;
    }
    case GeomAbs_SurfaceOfExtrusion: {
        s.type = kSurfaceTypeExtrusion;
        const gp_Dir d = surface.Direction();
        s.shape.e3 = {d.X(), d.Y(), d.Z()};
        break;
    }
    case GeomAbs_BSplineSurface:
        s.type = kSurfaceTypeBSpline;
        break;
    case GeomAbs_BezierSurface:
        s.type = kSurfaceTypeSpline;
        break;
    default: // offset and other surfaces
        s.type = kSurfaceTypeForeign;
        break;
    }
    s.orientation = sense * frameSense;
    return s;
}

std::string lowerExtension(const std::filesystem::path& file) {
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

TopoDS_Shape readStep(const std::filesystem::path& file, StepDocument& step,
                      ColourSource& colours) {
    Interface_Static::SetCVal("xstep.cascade.unit", "MM");
    Handle(TDocStd_Document)& document = step.document();
    STEPCAFControl_Reader reader;
    reader.SetColorMode(true);
    reader.SetNameMode(false);
    reader.SetLayerMode(false);
    if (reader.ReadFile(file.string().c_str()) != IFSelect_RetDone) {
        throw ModelFileError("cannot be read as a STEP file");
    }
    if (!reader.Transfer(document)) {
        throw ModelFileError("its STEP content could not be transferred");
    }
    Handle(XCAFDoc_ShapeTool) shapes = XCAFDoc_DocumentTool::ShapeTool(document->Main());
    colours = ColourSource(XCAFDoc_DocumentTool::ColorTool(document->Main()));
    TDF_LabelSequence free;
    shapes->GetFreeShapes(free);
    BRep_Builder builder;
    TopoDS_Compound all;
    builder.MakeCompound(all);
    for (int i = 1; i <= free.Length(); ++i) {
        builder.Add(all, XCAFDoc_ShapeTool::GetShape(free.Value(i)));
    }
    return all;
}

TopoDS_Shape readBrep(const std::filesystem::path& file) {
    TopoDS_Shape shape;
    BRep_Builder builder;
    if (!BRepTools::Read(shape, file.string().c_str(), builder) || shape.IsNull()) {
        throw ModelFileError("cannot be read as a BREP file");
    }
    return shape;
}

std::vector<std::array<Point, 3>> readStl(const std::filesystem::path& file, double toUnit) {
    Handle(Poly_Triangulation) mesh = RWStl::ReadFile(file.string().c_str());
    if (mesh.IsNull() || mesh->NbTriangles() == 0) {
        throw ModelFileError("cannot be read as an STL file or holds no triangle");
    }
    std::vector<std::array<Point, 3>> facets;
    facets.reserve(static_cast<std::size_t>(mesh->NbTriangles()));
    for (int i = 1; i <= mesh->NbTriangles(); ++i) {
        int n[3] = {0, 0, 0};
        mesh->Triangle(i).Get(n[0], n[1], n[2]);
        std::array<Point, 3> facet{};
        for (int k = 0; k < 3; ++k) {
            facet[static_cast<std::size_t>(k)] = point(mesh->Node(n[k]).XYZ(), toUnit);
        }
        facets.push_back(facet);
    }
    return facets;
}

} // namespace

bool modelFilesSupported() {
    return true;
}

ModelFileGeometry readModelFile(const std::filesystem::path& file, double millimetresPerUnit) {
    if (!(millimetresPerUnit > 0.0)) {
        throw ModelFileError("the part's unit has no length");
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        throw ModelFileError("no such file");
    }
    const OcctOutputGuard output;
    const double toUnit = 1.0 / millimetresPerUnit;
    const std::string ext = lowerExtension(file);
    ModelFileGeometry geometry;
    try {
        if (ext == ".stl") {
            geometry.facets = readStl(file, toUnit);
            return geometry;
        }
        // Declared first, destroyed last: the document stays open while colours are read.
        std::optional<StepDocument> step;
        ColourSource colours;
        TopoDS_Shape shape;
        if (ext == ".step" || ext == ".stp") {
            shape = readStep(file, step.emplace(), colours);
        } else if (ext == ".brep" || ext == ".brp") {
            shape = readBrep(file);
        } else {
            throw ModelFileError("not a STEP, BREP or STL file (by its extension)");
        }
        for (TopExp_Explorer it(shape, TopAbs_SOLID); it.More(); it.Next()) {
            const TopoDS_Solid& solid = TopoDS::Solid(it.Current());
            ModelFileSolid out;
            out.colour = colours.of(solid);
            auto mesher = std::make_shared<SolidMesher>(solid, millimetresPerUnit);
            for (std::size_t f = 0; f < mesher->faces().size(); ++f) {
                const TopoDS_Face& face = mesher->faces()[f];
                ModelFileSurface surface = describeFace(face, toUnit);
                surface.colour = colours.of(face);
                if (!surface.colour) {
                    surface.colour = out.colour;
                }
                surface.tessellator = std::make_shared<FaceTessellator>(mesher, f);
                out.surfaces.push_back(std::move(surface));
            }
            geometry.solids.push_back(std::move(out));
        }
    } catch (const Standard_Failure& e) {
        throw ModelFileError(std::string("cannot be read: ") + e.GetMessageString());
    }
    if (geometry.solids.empty()) {
        throw ModelFileError("holds no solid");
    }
    return geometry;
}

} // namespace Hostsim
