// Session model records: matrices, parameter values, item bookkeeping and primitive surfaces.
#include "HostModel.h"
#include "HostSession.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace Hostsim {

Matrix identityMatrix() {
    Matrix m{};
    for (int i = 0; i < 4; ++i) {
        m[i][i] = 1.0;
    }
    return m;
}

Matrix translationMatrix(double x, double y, double z) {
    Matrix m = identityMatrix();
    m[3][0] = x;
    m[3][1] = y;
    m[3][2] = z;
    return m;
}

Matrix rotationZMatrix(double degrees) {
    const double a = degrees * std::numbers::pi / 180.0;
    Matrix m = identityMatrix();
    // Row vectors: x' = x cos - y sin, y' = x sin + y cos.
    m[0][0] = std::cos(a);
    m[0][1] = std::sin(a);
    m[1][0] = -std::sin(a);
    m[1][1] = std::cos(a);
    return m;
}

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix r{};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            for (int k = 0; k < 4; ++k) {
                r[i][j] += a[i][k] * b[k][j];
            }
        }
    }
    return r;
}

Point transformPoint(const Point& p, const Matrix& m) {
    Point r{};
    for (int j = 0; j < 3; ++j) {
        r[j] = p[0] * m[0][j] + p[1] * m[1][j] + p[2] * m[2][j] + m[3][j];
    }
    return r;
}

ParameterValue ParameterValue::ofDouble(double v) {
    ParameterValue p;
    p.type = PRO_PARAM_DOUBLE;
    p.real = v;
    return p;
}
ParameterValue ParameterValue::ofText(std::wstring v) {
    ParameterValue p;
    p.type = PRO_PARAM_STRING;
    p.text = std::move(v);
    return p;
}
ParameterValue ParameterValue::ofInteger(int v) {
    ParameterValue p;
    p.type = PRO_PARAM_INTEGER;
    p.integer = v;
    return p;
}
ParameterValue ParameterValue::ofBoolean(bool v) {
    ParameterValue p;
    p.type = PRO_PARAM_BOOLEAN;
    p.integer = v ? 1 : 0;
    return p;
}
ParameterValue ParameterValue::ofNote(int id) {
    ParameterValue p;
    p.type = PRO_PARAM_NOTE_ID;
    p.integer = id;
    return p;
}
ParameterValue ParameterValue::ofType(int type, int v) {
    ParameterValue p;
    p.type = type;
    p.integer = v;
    return p;
}

// ---------------------------------------------------------------------------------------------
// Items
// ---------------------------------------------------------------------------------------------

int Model::claimId(int requested) {
    if (requested < 0) {
        throw std::invalid_argument("item ids must be positive");
    }
    int id = requested;
    if (id == 0) {
        while (items_.count(nextId_) != 0) {
            ++nextId_;
        }
        id = nextId_++;
    } else if (items_.count(id) != 0) {
        throw std::invalid_argument("item id " + std::to_string(id) + " is taken in model " +
                                    toUtf8(name));
    }
    return id;
}

Feature& Model::addFeature(int type, int id) {
    Feature& f = features.emplace_back();
    f.model = this;
    f.id = claimId(id);
    f.type = type;
    items_[f.id] = {PRO_FEATURE, &f};
    return f;
}

Feature& Model::addComponent(const std::wstring& modelName, const Matrix& transform, int id) {
    Feature& f = addFeature(PRO_FEAT_COMPONENT, id);
    f.componentModel = modelName;
    f.transform = transform;
    return f;
}

Body& Model::addBody(int id) {
    Body& b = bodies.emplace_back();
    b.model = this;
    b.id = claimId(id);
    items_[b.id] = {PRO_BODY, &b};
    return b;
}

FacetSet& Model::addFacetSet(int featureId, int id) {
    FacetSet& s = facetSets.emplace_back();
    s.model = this;
    s.id = claimId(id);
    s.featureId = featureId;
    items_[s.id] = {PRO_FACET_SET, &s};
    return s;
}

namespace {
template <class T>
T* itemOf(const std::unordered_map<int, std::pair<ProType, void*>>& items, int id, ProType type) {
    auto it = items.find(id);
    if (it == items.end() || it->second.first != type) {
        return nullptr;
    }
    return static_cast<T*>(it->second.second);
}
} // namespace

Feature* Model::feature(int id) {
    return itemOf<Feature>(items_, id, PRO_FEATURE);
}
Body* Model::body(int id) {
    return itemOf<Body>(items_, id, PRO_BODY);
}
Surface* Model::surface(int id) {
    return itemOf<Surface>(items_, id, PRO_SURFACE);
}
FacetSet* Model::facetSet(int id) {
    return itemOf<FacetSet>(items_, id, PRO_FACET_SET);
}

std::vector<Parameter>* Model::parametersOf(ProType itemType, int id) {
    switch (itemType) {
    case PRO_PART:
    case PRO_ASSEMBLY:
    case PRO_MODEL_OTHER:
        return id == 0 ? &parameters : nullptr;
    case PRO_FEATURE:
        if (Feature* f = feature(id)) {
            return &f->parameters;
        }
        return nullptr;
    case PRO_BODY:
        if (Body* b = body(id)) {
            return &b->parameters;
        }
        return nullptr;
    case PRO_SURFACE:
        if (Surface* s = surface(id)) {
            return &s->parameters;
        }
        return nullptr;
    case PRO_FACET_SET:
        if (FacetSet* s = facetSet(id)) {
            return &s->parameters;
        }
        return nullptr;
    default:
        return nullptr;
    }
}

Surface& Body::addSurface(int type, int id) {
    Surface& s = surfaces.emplace_back();
    s.body = this;
    s.id = model->claimId(id);
    s.type = type;
    model->items_[s.id] = {PRO_SURFACE, &s};
    if (model->session != nullptr) {
        model->session->registerSurface(s);
    }
    return s;
}

// ---------------------------------------------------------------------------------------------
// Primitives
// ---------------------------------------------------------------------------------------------

namespace {

Point add(const Point& a, const Point& b) {
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}
Point sub(const Point& a, const Point& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
double dot(const Point& a, const Point& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Point scale(const Point& a, double s) {
    return {a[0] * s, a[1] * s, a[2] * s};
}
Point cross(const Point& a, const Point& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double length(const Point& a) {
    return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
}
Point normalise(const Point& a) {
    double l = length(a);
    if (l == 0.0) {
        throw std::invalid_argument("a direction of zero length");
    }
    return scale(a, 1.0 / l);
}

// Unit vectors a, b with a x b = n.
void basis(const Point& n, Point& a, Point& b) {
    Point helper = std::abs(n[0]) < 0.9 ? Point{1.0, 0.0, 0.0} : Point{0.0, 1.0, 0.0};
    a = normalise(cross(helper, n));
    b = cross(n, a);
}

// A rectangle from its four corners in order; the outward normal is (c1 - c0) x (c3 - c0).
Surface& addPlaneRectangle(Body& body, const std::array<Point, 4>& corners, int featureId) {
    const Point u = sub(corners[1], corners[0]);
    const Point v = sub(corners[3], corners[0]);
    Surface& s = body.addSurface(PRO_SRF_PLANE);
    s.featureId = featureId;
    s.orientation = PRO_SURF_ORIENT_OUT;
    s.shape.e1 = normalise(u);
    s.shape.e2 = normalise(v);
    s.shape.e3 = normalise(cross(u, v));
    s.shape.origin = corners[0];
    Primitive p;
    p.kind = Primitive::Kind::Rectangle;
    p.corners = corners;
    s.primitive = p;
    return s;
}

// The rim point at angle 2 pi k / n of a circle; the cylinder's side and caps both use it, so
// that they meet in the same points.
Point rimPoint(const Point& centre, const Point& a, const Point& b, double radius, int k, int n) {
    const double angle = 2.0 * std::numbers::pi * k / n;
    return add(centre, add(scale(a, radius * std::cos(angle)), scale(b, radius * std::sin(angle))));
}

} // namespace

int curveSegments(double radius, double chordHeight, double angleControl) {
    constexpr int kMaximum = 4096;
    const double pi = std::numbers::pi;
    double n = 3.0;
    if (radius > 0.0 && chordHeight < radius) {
        n = std::max(n, std::ceil(pi / std::acos(1.0 - chordHeight / radius) - 1e-9));
    }
    const double maxAngle = (90.0 - 85.0 * std::clamp(angleControl, 0.0, 1.0)) * pi / 180.0;
    n = std::max(n, std::ceil(2.0 * pi / maxAngle - 1e-9));
    return static_cast<int>(std::min<double>(n, kMaximum));
}

Tessellation tessellatePrimitive(const Primitive& p, double chordHeight, double angleControl) {
    Tessellation t;
    switch (p.kind) {
    case Primitive::Kind::Rectangle:
        t.vertices.assign(p.corners.begin(), p.corners.end());
        // Clockwise seen from outside.
        t.facets = {{0, 2, 1}, {0, 3, 2}};
        break;
    case Primitive::Kind::Disc: {
        const int n = curveSegments(p.radius, chordHeight, angleControl);
        t.vertices.push_back(p.origin);
        for (int k = 0; k < n; ++k) {
            t.vertices.push_back(rimPoint(p.origin, p.u, p.v, p.radius, k, n));
        }
        // The rim runs counter-clockwise about u x v; the facets are clockwise seen from outside.
        const bool alongAxis = dot(cross(p.u, p.v), p.axis) > 0.0;
        for (int k = 0; k < n; ++k) {
            const int next = (k + 1) % n;
            if (alongAxis) {
                t.facets.push_back({0, 1 + next, 1 + k});
            } else {
                t.facets.push_back({0, 1 + k, 1 + next});
            }
        }
        break;
    }
    case Primitive::Kind::CylinderSide: {
        const int n = curveSegments(p.radius, chordHeight, angleControl);
        const Point top = add(p.origin, scale(p.axis, p.height));
        for (const Point& centre : {p.origin, top}) {
            for (int k = 0; k < n; ++k) {
                t.vertices.push_back(rimPoint(centre, p.u, p.v, p.radius, k, n));
            }
        }
        for (int k = 0; k < n; ++k) {
            int next = (k + 1) % n;
            int b0 = k, b1 = next, t0 = n + k, t1 = n + next;
            t.facets.push_back({b0, t0, b1});
            t.facets.push_back({b1, t0, t1});
        }
        break;
    }
    }
    return t;
}

void Body::addBox(const Point& min, const Point& max, int featureId) {
    if (!(max[0] > min[0] && max[1] > min[1] && max[2] > min[2])) {
        throw std::invalid_argument("a box needs max greater than min in x, y and z");
    }
    // Corners straight from the coordinates (no min + (max - min)), so that faces meet exactly.
    auto corner = [&](int x, int y, int z) {
        return Point{x != 0 ? max[0] : min[0], y != 0 ? max[1] : min[1], z != 0 ? max[2] : min[2]};
    };
    // Each face's corners run counter-clockwise seen from outside.
    addPlaneRectangle(*this, {corner(0, 0, 0), corner(0, 1, 0), corner(1, 1, 0), corner(1, 0, 0)},
                      featureId); // -z
    addPlaneRectangle(*this, {corner(0, 0, 1), corner(1, 0, 1), corner(1, 1, 1), corner(0, 1, 1)},
                      featureId); // +z
    addPlaneRectangle(*this, {corner(0, 0, 0), corner(1, 0, 0), corner(1, 0, 1), corner(0, 0, 1)},
                      featureId); // -y
    addPlaneRectangle(*this, {corner(0, 1, 0), corner(0, 1, 1), corner(1, 1, 1), corner(1, 1, 0)},
                      featureId); // +y
    addPlaneRectangle(*this, {corner(0, 0, 0), corner(0, 0, 1), corner(0, 1, 1), corner(0, 1, 0)},
                      featureId); // -x
    addPlaneRectangle(*this, {corner(1, 0, 0), corner(1, 1, 0), corner(1, 1, 1), corner(1, 0, 1)},
                      featureId); // +x
}

void Body::addCylinder(const Point& baseCentre, const Point& axisIn, double radius, double height,
                       int featureId) {
    if (!(radius > 0.0 && height > 0.0)) {
        throw std::invalid_argument("a cylinder needs a positive radius and height");
    }
    const Point w = normalise(axisIn);
    Point a, b;
    basis(w, a, b);

    Surface& side = addSurface(PRO_SRF_CYL);
    side.featureId = featureId;
    side.orientation = PRO_SURF_ORIENT_OUT;
    side.shape.e1 = a;
    side.shape.e2 = b;
    side.shape.e3 = w;
    side.shape.origin = baseCentre;
    side.shape.values = {radius, 0.0};
    Primitive sideShape;
    sideShape.kind = Primitive::Kind::CylinderSide;
    sideShape.origin = baseCentre;
    sideShape.u = a;
    sideShape.v = b;
    sideShape.axis = w;
    sideShape.radius = radius;
    sideShape.height = height;
    side.primitive = sideShape;

    // Both caps take the side's rim basis (a, b) and centres, so that their rim points are the
    // side's; only their winding differs.
    const Point top = add(baseCentre, scale(w, height));
    for (int end = 0; end < 2; ++end) {
        const Point normal = end == 0 ? scale(w, -1.0) : w;
        const Point& centre = end == 0 ? baseCentre : top;
        Surface& cap = addSurface(PRO_SRF_PLANE);
        cap.featureId = featureId;
        cap.orientation = PRO_SURF_ORIENT_OUT;
        cap.shape.e1 = a;
        cap.shape.e2 = cross(normal, a);
        cap.shape.e3 = normal;
        cap.shape.origin = centre;
        Primitive disc;
        disc.kind = Primitive::Kind::Disc;
        disc.origin = centre;
        disc.u = a;
        disc.v = b;
        disc.axis = normal;
        disc.radius = radius;
        cap.primitive = disc;
    }
}

} // namespace Hostsim
