// The stand-in host's session model: models, features, bodies, surfaces, facet sets and
// parameters, as plain records that tests and the scene loader fill directly.
//
// Conventions of this host:
// - Item ids are unique within a model across features, bodies, surfaces and facet sets; an
//   id of 0 handed to an add function means "the next free id".
// - Matrices use row vectors: a point p of the component's model maps to p * M in the
//   containing assembly; the translation stands in row 3 (m[3][0..2]). A component's
//   transform is rigid and in the assembly's unit; the occurrence transformations handed to
//   the plug-in add the ratio of the two models' units (HostUnits.h).
// - Tessellation facets are wound clockwise seen from outside the solid: the right-hand normal
//   of (v0, v1, v2) points into the material, so the corner order (v0, v2, v1) faces outward.
#pragma once

#include "ProToolkit.h"

#include <array>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace Hostsim {

class Session;
struct Model;
struct Body;

using Point = std::array<double, 3>;
using Colour = std::array<double, 3>;
using Matrix = std::array<std::array<double, 4>, 4>;

Matrix identityMatrix();
Matrix translationMatrix(double x, double y, double z);
// Rotation about the z axis by an angle in degrees (row-vector convention).
Matrix rotationZMatrix(double degrees);
// a * b: first a, then b, for row vectors.
Matrix multiply(const Matrix& a, const Matrix& b);
Point transformPoint(const Point& p, const Matrix& m);

// A parameter value of any host type: 50 double, 51 text, 52 integer, 53 boolean, 54 note id,
// or any other code (its number is kept in `integer`).
struct ParameterValue {
    int type = PRO_PARAM_INTEGER;
    double real = 0.0;
    std::wstring text;
    int integer = 0;

    static ParameterValue ofDouble(double v);
    static ParameterValue ofText(std::wstring v);
    static ParameterValue ofInteger(int v);
    static ParameterValue ofBoolean(bool v);
    static ParameterValue ofNote(int id);
    static ParameterValue ofType(int type, int v);
};

struct Parameter {
    std::wstring name; // at most PRO_NAME_SIZE - 1 characters
    ParameterValue value;
};

struct Tessellation {
    std::vector<Point> vertices;
    std::vector<std::array<int, 3>> facets;
    bool nullVertices = false; // the host hands out a null vertex array
    bool nullFacets = false;   // the host hands out a null facet array
};

struct ShapeData {
    Point e1{1.0, 0.0, 0.0};
    Point e2{0.0, 1.0, 0.0};
    Point e3{0.0, 0.0, 1.0};
    Point origin{0.0, 0.0, 0.0};
    std::array<double, 2> values{0.0, 0.0};
};

// A surface the host tessellates itself. Rectangle: corners c0..c3 (`corners`) in order, outward
// normal (c1 - c0) x (c3 - c0). Disc: centre `origin`, outward normal `axis`, `radius`, rim points
// origin + radius (cos t u + sin t v). Cylinder side: base centre `origin`, axis `axis` (unit),
// `radius`, `height`, rim points as the disc's at both ends, outward normal away from the axis.
// Surfaces that meet share their rim or corner points exactly, so a welded body is closed.
struct Primitive {
    enum class Kind { Rectangle, Disc, CylinderSide };
    Kind kind = Kind::Rectangle;
    std::array<Point, 4> corners{};
    Point origin{0.0, 0.0, 0.0};
    Point u{1.0, 0.0, 0.0};
    Point v{0.0, 1.0, 0.0};
    Point axis{0.0, 0.0, 1.0};
    double radius = 0.0;
    double height = 0.0;
};

// Tessellates one surface on request, for geometry the host does not describe by primitives
// (surfaces read from a model file). A non-zero status fails the request.
class SurfaceTessellator {
public:
    virtual ~SurfaceTessellator() = default;
    virtual ProErrors tessellate(double chordHeight, double angleControl, Tessellation& out) = 0;
};

// Triangles of a primitive for the given chord height and angle control (0 to 1, larger is
// finer): a curved edge gets n segments with n the least count (at least 3) whose chord error
// r(1 - cos(pi/n)) stays within the chord height and whose segment angle stays within
// 90 - 85 * angleControl degrees; at most 4096 segments.
Tessellation tessellatePrimitive(const Primitive& primitive, double chordHeight,
                                 double angleControl);
int curveSegments(double radius, double chordHeight, double angleControl);

struct Surface {
    Body* body = nullptr;
    int id = 0;
    int type = PRO_SRF_PLANE;
    int orientation = PRO_SURF_ORIENT_OUT;
    ShapeData shape;
    int featureId = 0; // the feature that made it; 0: none
    std::vector<Parameter> parameters;
    std::array<std::optional<Colour>, 2> appearance; // per side
    // The outcome of ProSurfaceTessellationGet: a non-zero status fails it; otherwise the
    // explicit tessellation, else the primitive's, else the tessellator's, else an empty one.
    ProErrors tessellationStatus = PRO_TK_NO_ERROR;
    std::optional<Tessellation> tessellation;
    std::optional<Primitive> primitive;
    std::shared_ptr<SurfaceTessellator> tessellator;

    Surface& setShape(const ShapeData& s) {
        shape = s;
        return *this;
    }
    Surface& setTessellation(Tessellation t) {
        tessellation = std::move(t);
        return *this;
    }
};

struct Body {
    Model* model = nullptr;
    int id = 0;
    bool construction = false;
    int state = 4;
    std::optional<Colour> appearance;
    std::vector<Parameter> parameters;
    std::deque<Surface> surfaces;

    Surface& addSurface(int type, int id = 0);
    // Six rectangles with outward normals, made by `featureId`.
    void addBox(const Point& min, const Point& max, int featureId = 0);
    // Side (type 36) and both caps (type 34), made by `featureId`; axis is normalised.
    void addCylinder(const Point& baseCentre, const Point& axis, double radius, double height,
                     int featureId = 0);
};

struct FacetSet {
    Model* model = nullptr;
    int id = 0;
    int featureId = 0;
    std::vector<Parameter> parameters;
    std::vector<std::array<Point, 3>> facets;
};

struct Feature {
    Model* model = nullptr;
    int id = 0;
    int type = 0; // PRO_FEAT_COMPONENT for a component
    bool hidden = false;
    bool visible = true; // ProFeatureVisibilityGet
    int status = 0;
    std::vector<int> parents;
    std::vector<Parameter> parameters;
    // Component features only.
    std::optional<std::wstring> componentModel; // absent: the host does not find the model
    Matrix transform = identityMatrix();
    bool displayed = true; // ProAsmcompVisibilityGet, together with the path's other levels
    bool flexible = false;
    bool unplaced = false;
    bool bulkItem = false;
    std::optional<Colour> appearance;
};

enum class ModelType { Assembly, Part, Other };

struct Model {
    Session* session = nullptr;
    std::wstring name; // at most PRO_MDLNAME_SIZE - 1 characters
    ModelType type = ModelType::Part;
    std::optional<std::wstring> lengthUnit; // absent: the model has no length unit
    std::vector<Parameter> parameters;
    std::deque<Feature> features;
    std::deque<Body> bodies;
    std::deque<FacetSet> facetSets;

    Model& setUnit(std::wstring unit) {
        lengthUnit = std::move(unit);
        return *this;
    }
    Feature& addFeature(int type, int id = 0);
    Feature& addComponent(const std::wstring& modelName, const Matrix& transform = identityMatrix(),
                          int id = 0);
    Body& addBody(int id = 0);
    FacetSet& addFacetSet(int featureId = 0, int id = 0);

    // Items by id; null when the id is not of that kind.
    Feature* feature(int id);
    Body* body(int id);
    Surface* surface(int id);
    FacetSet* facetSet(int id);
    // The parameters of an item of this model by its ProModelitem type and id.
    std::vector<Parameter>* parametersOf(ProType type, int id);
    int claimId(int requested); // throws std::invalid_argument on a taken id

private:
    friend struct Body;
    std::unordered_map<int, std::pair<ProType, void*>> items_;
    int nextId_ = 1;
};

} // namespace Hostsim
