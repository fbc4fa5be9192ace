// Scene files: JSON read with nlohmann-json, checked value by value with the JSON path of each.
#include "SceneLoader.h"

#include "HostUnits.h"
#include "InputFile.h"
#include "ModelFile.h"
#include "PathText.h"

// The library's own errors (a value of an unexpected type) then name the value's JSON path.
#define JSON_DIAGNOSTICS 1
#include <nlohmann/json.hpp>

#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <optional>
#include <set>
#include <sstream>

namespace Hostsim {

namespace {

using Json = nlohmann::json;

class Reader {
public:
    Reader(Session& session, std::string file, std::filesystem::path baseDirectory)
        : session_(session), file_(std::move(file)), baseDirectory_(std::move(baseDirectory)) {}

    void scene(const Json& root);

private:
    struct Deferred {
        std::string path;
        std::string message;
        std::function<bool()> holds;
    };

    [[noreturn]] void fail(const std::string& path, const std::string& message) const {
        throw SceneError(file_ + ": " + (path.empty() ? std::string("/") : path) + ": " + message);
    }

    void expectObject(const Json& v, const std::string& path,
                      std::initializer_list<const char*> allowed) const {
        if (!v.is_object()) {
            fail(path, "expected an object");
        }
        for (auto it = v.begin(); it != v.end(); ++it) {
            bool known = false;
            for (const char* name : allowed) {
                known = known || it.key() == name;
            }
            if (!known) {
                fail(path + "/" + it.key(), "unknown member");
            }
        }
    }
    const Json& required(const Json& object, const std::string& path, const char* name) const {
        if (!object.contains(name)) {
            fail(path + "/" + name, "missing");
        }
        return object.at(name);
    }
    const Json& array(const Json& v, const std::string& path) const {
        if (!v.is_array()) {
            fail(path, "expected an array");
        }
        return v;
    }
    int integer(const Json& v, const std::string& path) const {
        if (v.is_number_integer()) {
            if (v.is_number_unsigned()) {
                auto u = v.get<std::uint64_t>();
                if (u > static_cast<std::uint64_t>(std::numeric_limits<int>::max())) {
                    fail(path, "integer out of range");
                }
                return static_cast<int>(u);
            }
            auto i = v.get<std::int64_t>();
            if (i < std::numeric_limits<int>::min() || i > std::numeric_limits<int>::max()) {
                fail(path, "integer out of range");
            }
            return static_cast<int>(i);
        }
        fail(path, "expected an integer");
    }
    double number(const Json& v, const std::string& path) const {
        if (!v.is_number()) {
            fail(path, "expected a number");
        }
        double d = v.get<double>();
        if (!std::isfinite(d)) {
            fail(path, "expected a finite number");
        }
        return d;
    }
    bool boolean(const Json& v, const std::string& path) const {
        if (!v.is_boolean()) {
            fail(path, "expected true or false");
        }
        return v.get<bool>();
    }
    std::wstring text(const Json& v, const std::string& path, std::size_t maxLength) const {
        if (!v.is_string()) {
            fail(path, "expected a string");
        }
        std::wstring w = fromUtf8(v.get<std::string>());
        // The host's texts end at their first NUL: "A\u0000B" would be "A" to the plug-in.
        if (w.find(L'\0') != std::wstring::npos) {
            fail(path, "contains U+0000, which ends a text for the host");
        }
        if (w.size() > maxLength) {
            fail(path, "longer than " + std::to_string(maxLength) + " characters");
        }
        return w;
    }
    Point point(const Json& v, const std::string& path) const {
        if (!v.is_array() || v.size() != 3) {
            fail(path, "expected an array of three numbers");
        }
        return {number(v[0], path + "/0"), number(v[1], path + "/1"), number(v[2], path + "/2")};
    }
    Colour colour(const Json& v, const std::string& path) const {
        Point c = point(v, path);
        for (int k = 0; k < 3; ++k) {
            if (c[static_cast<std::size_t>(k)] < 0.0 || c[static_cast<std::size_t>(k)] > 1.0) {
                fail(path + "/" + std::to_string(k), "a colour component lies from 0 to 1");
            }
        }
        return c;
    }
    Matrix matrix(const Json& v, const std::string& path) const {
        if (!v.is_array() || v.size() != 4) {
            fail(path, "expected four rows of four numbers");
        }
        Matrix m{};
        for (std::size_t r = 0; r < 4; ++r) {
            std::string rowPath = path + "/" + std::to_string(r);
            if (!v[r].is_array() || v[r].size() != 4) {
                fail(rowPath, "expected a row of four numbers");
            }
            for (std::size_t c = 0; c < 4; ++c) {
                m[r][c] = number(v[r][c], rowPath + "/" + std::to_string(c));
            }
        }
        return m;
    }
    // A placement as the host makes one: a rotation (rows of the 3x3 part orthonormal) and a
    // translation in the last row, the last column 0, 0, 0, 1.
    Matrix placement(const Json& v, const std::string& path) const {
        Matrix m = matrix(v, path);
        constexpr double kTolerance = 1e-6;
        for (std::size_t i = 0; i < 3; ++i) {
            for (std::size_t j = i; j < 3; ++j) {
                const double product = m[i][0] * m[j][0] + m[i][1] * m[j][1] + m[i][2] * m[j][2];
                const double expected = i == j ? 1.0 : 0.0;
                if (!(std::abs(product - expected) <= kTolerance)) {
                    fail(path, i == j ? "not rigid: row " + std::to_string(i) +
                                            " of the 3x3 part has the squared length " +
                                            numberText(product) + ", not 1"
                                      : "not rigid: rows " + std::to_string(i) + " and " +
                                            std::to_string(j) +
                                            " of the 3x3 part are not orthogonal (dot product " +
                                            numberText(product) + ")");
                }
            }
        }
        for (std::size_t r = 0; r < 4; ++r) {
            if (m[r][3] != (r == 3 ? 1.0 : 0.0)) {
                fail(path + "/" + std::to_string(r) + "/3",
                     "the last column of a placement is 0, 0, 0, 1");
            }
        }
        return m;
    }
    static std::string numberText(double value) {
        std::ostringstream out;
        out.precision(17);
        out << value;
        return out.str();
    }
    int id(const Json& object, const std::string& path) const {
        if (!object.contains("id")) {
            return 0;
        }
        int value = integer(object.at("id"), path + "/id");
        if (value <= 0) {
            fail(path + "/id", "an id is a positive integer");
        }
        return value;
    }
    template <class Add> auto claim(Model& model, const std::string& path, Add add) const {
        try {
            return add();
        } catch (const std::invalid_argument& e) {
            (void)model;
            fail(path, e.what());
        }
    }

    void parameters(const Json& object, const std::string& path, std::vector<Parameter>& out);
    void model(const Json& v, const std::string& path);
    void feature(Model& m, const Json& v, const std::string& path);
    void body(Model& m, const Json& v, const std::string& path);
    void surface(Model& m, Body& b, const Json& v, const std::string& path);
    void primitive(Model& m, Body& b, const Json& v, const std::string& path);
    void facetSet(Model& m, const Json& v, const std::string& path);
    void modelFile(Model& m, const Json& v, const std::string& path);
    void featureReference(Model& m, const Json& object, const std::string& path, int& out);

    Session& session_;
    std::string file_;
    std::filesystem::path baseDirectory_; // relative model file paths start here
    std::vector<Deferred> deferred_;
};

void Reader::scene(const Json& root) {
    expectObject(root, "", {"models", "current", "release", "workingDirectory"});
    const Json& models = array(required(root, "", "models"), "/models");
    for (std::size_t i = 0; i < models.size(); ++i) {
        model(models[i], "/models/" + std::to_string(i));
    }
    if (root.contains("release")) {
        session_.releaseNumber = integer(root.at("release"), "/release");
    }
    if (root.contains("workingDirectory")) {
        // Any length here: whether the host can hand the folder to the plug-in is judged on its
        // full path, by hostsim.
        std::wstring directory = text(root.at("workingDirectory"), "/workingDirectory",
                                      std::numeric_limits<std::size_t>::max());
        if (directory.empty()) {
            fail("/workingDirectory", "an empty text names no folder");
        }
        session_.workingDirectory = std::move(directory);
    }
    if (root.contains("current")) {
        std::wstring name = text(root.at("current"), "/current", PRO_MDLNAME_SIZE - 1);
        Model* m = session_.findModel(name);
        if (m == nullptr) {
            fail("/current", "no model of this name");
        }
        session_.setCurrent(m);
    }
    for (const Deferred& d : deferred_) {
        if (!d.holds()) {
            fail(d.path, d.message);
        }
    }
}

void Reader::parameters(const Json& object, const std::string& path, std::vector<Parameter>& out) {
    if (!object.contains("parameters")) {
        return;
    }
    std::string listPath = path + "/parameters";
    const Json& list = array(object.at("parameters"), listPath);
    for (std::size_t i = 0; i < list.size(); ++i) {
        std::string p = listPath + "/" + std::to_string(i);
        const Json& v = list[i];
        expectObject(v, p, {"name", "type", "value"});
        Parameter parameter;
        parameter.name = text(required(v, p, "name"), p + "/name", PRO_NAME_SIZE - 1);
        if (parameter.name.empty()) {
            fail(p + "/name", "a parameter needs a name");
        }
        const Json& type = required(v, p, "type");
        const Json& value = required(v, p, "value");
        std::string valuePath = p + "/value";
        if (type.is_string()) {
            std::string t = type.get<std::string>();
            if (t == "double") {
                parameter.value = ParameterValue::ofDouble(number(value, valuePath));
            } else if (t == "string") {
                parameter.value = ParameterValue::ofText(text(value, valuePath, PRO_LINE_SIZE - 1));
            } else if (t == "integer") {
                parameter.value = ParameterValue::ofInteger(integer(value, valuePath));
            } else if (t == "boolean") {
                parameter.value = ParameterValue::ofBoolean(boolean(value, valuePath));
            } else if (t == "note") {
                parameter.value = ParameterValue::ofNote(integer(value, valuePath));
            } else {
                fail(p + "/type", "expected double, string, integer, boolean, note or a type code");
            }
        } else if (type.is_number_integer()) {
            parameter.value =
                ParameterValue::ofType(integer(type, p + "/type"), integer(value, valuePath));
        } else {
            fail(p + "/type", "expected double, string, integer, boolean, note or a type code");
        }
        out.push_back(std::move(parameter));
    }
}

void Reader::model(const Json& v, const std::string& path) {
    expectObject(
        v, path,
        {"name", "type", "unit", "parameters", "features", "bodies", "facetSets", "modelFile"});
    std::wstring name = text(required(v, path, "name"), path + "/name", PRO_MDLNAME_SIZE - 1);
    if (name.empty()) {
        fail(path + "/name", "a model needs a name");
    }
    if (session_.findModel(name) != nullptr) {
        fail(path + "/name", "a second model of this name");
    }
    const Json& type = required(v, path, "type");
    if (!type.is_string()) {
        fail(path + "/type", "expected \"assembly\", \"part\" or \"other\"");
    }
    std::string t = type.get<std::string>();
    ModelType modelType =
        t == "assembly" ? ModelType::Assembly
        : t == "part"   ? ModelType::Part
        : t == "other"  ? ModelType::Other
                        : (fail(path + "/type", "expected \"assembly\", \"part\" or \"other\""),
                          ModelType::Other);
    Model& m = session_.addModel(name, modelType);
    if (v.contains("unit") && !v.at("unit").is_null()) {
        m.lengthUnit = text(v.at("unit"), path + "/unit", PRO_NAME_SIZE - 1);
    }
    parameters(v, path, m.parameters);
    if (v.contains("features")) {
        const Json& list = array(v.at("features"), path + "/features");
        for (std::size_t i = 0; i < list.size(); ++i) {
            feature(m, list[i], path + "/features/" + std::to_string(i));
        }
    }
    if (v.contains("bodies")) {
        const Json& list = array(v.at("bodies"), path + "/bodies");
        for (std::size_t i = 0; i < list.size(); ++i) {
            body(m, list[i], path + "/bodies/" + std::to_string(i));
        }
    }
    if (v.contains("facetSets")) {
        const Json& list = array(v.at("facetSets"), path + "/facetSets");
        for (std::size_t i = 0; i < list.size(); ++i) {
            facetSet(m, list[i], path + "/facetSets/" + std::to_string(i));
        }
    }
    if (v.contains("modelFile")) {
        modelFile(m, v.at("modelFile"), path + "/modelFile");
    }
}

void Reader::modelFile(Model& m, const Json& v, const std::string& path) {
    std::string pathPath = path;
    const Json* file = &v;
    int featureId = 0;
    if (v.is_object()) {
        expectObject(v, path, {"path", "feature"});
        pathPath = path + "/path";
        file = &required(v, path, "path");
        featureReference(m, v, path, featureId);
    }
    if (!file->is_string() || file->get<std::string>().empty()) {
        fail(pathPath, "expected the path of a STEP, BREP or STL file");
    }
    if (!modelFilesSupported()) {
        fail(path, "model files need the native build with OpenCASCADE");
    }
    const std::optional<double> factor =
        m.lengthUnit ? millimetresPer(*m.lengthUnit) : std::optional<double>(1.0);
    if (!factor) {
        fail(path, "the host knows no length for the unit \"" + toUtf8(*m.lengthUnit) +
                       "\" of this model");
    }
    std::filesystem::path location = pathFromUtf8(file->get<std::string>());
    if (location.is_relative()) {
        location = baseDirectory_ / location;
    }
    ModelFileGeometry geometry;
    try {
        geometry = readModelFile(location, *factor);
    } catch (const ModelFileError& e) {
        fail(pathPath, utf8Path(location) + ": " + e.what());
    }
    for (ModelFileSolid& solid : geometry.solids) {
        Body& b = m.addBody();
        b.appearance = solid.colour;
        for (ModelFileSurface& from : solid.surfaces) {
            Surface& s = b.addSurface(from.type);
            s.orientation = from.orientation;
            s.shape = from.shape;
            s.featureId = featureId;
            s.appearance[0] = from.colour;
            s.tessellator = std::move(from.tessellator);
        }
    }
    if (!geometry.facets.empty()) {
        FacetSet& set = m.addFacetSet(featureId);
        set.facets = std::move(geometry.facets);
    }
}

void Reader::feature(Model& m, const Json& v, const std::string& path) {
    expectObject(v, path,
                 {"id", "type", "hidden", "visible", "status", "parents", "parameters", "model",
                  "transform", "displayed", "flexible", "unplaced", "bulkItem", "appearance"});
    const Json& type = required(v, path, "type");
    bool component = type.is_string() && type.get<std::string>() == "component";
    int typeCode = component ? PRO_FEAT_COMPONENT
                   : type.is_string()
                       ? (fail(path + "/type", "expected \"component\" or a feature type code"), 0)
                       : integer(type, path + "/type");
    component = component || typeCode == PRO_FEAT_COMPONENT;
    int requestedId = id(v, path);
    Feature& f = *claim(m, path + "/id", [&] { return &m.addFeature(typeCode, requestedId); });
    if (v.contains("hidden")) {
        f.hidden = boolean(v.at("hidden"), path + "/hidden");
    }
    if (v.contains("visible")) {
        f.visible = boolean(v.at("visible"), path + "/visible");
    }
    if (v.contains("status")) {
        f.status = integer(v.at("status"), path + "/status");
    }
    if (v.contains("parents")) {
        const Json& list = array(v.at("parents"), path + "/parents");
        for (std::size_t i = 0; i < list.size(); ++i) {
            std::string p = path + "/parents/" + std::to_string(i);
            int parent = integer(list[i], p);
            f.parents.push_back(parent);
            Model* owner = &m;
            deferred_.push_back({p, "no feature of this id in the model",
                                 [owner, parent] { return owner->feature(parent) != nullptr; }});
        }
    }
    parameters(v, path, f.parameters);
    for (const char* member :
         {"model", "transform", "displayed", "flexible", "unplaced", "bulkItem", "appearance"}) {
        if (!component && v.contains(member)) {
            fail(path + "/" + member, "only a component feature has this member");
        }
    }
    if (!component) {
        return;
    }
    const Json& target = required(v, path, "model");
    if (!target.is_null()) {
        std::wstring name = text(target, path + "/model", PRO_MDLNAME_SIZE - 1);
        f.componentModel = name;
        Session* s = &session_;
        deferred_.push_back({path + "/model", "no model of this name",
                             [s, name] { return s->findModel(name) != nullptr; }});
    }
    if (v.contains("transform")) {
        f.transform = placement(v.at("transform"), path + "/transform");
    }
    if (v.contains("displayed")) {
        f.displayed = boolean(v.at("displayed"), path + "/displayed");
    }
    if (v.contains("flexible")) {
        f.flexible = boolean(v.at("flexible"), path + "/flexible");
    }
    if (v.contains("unplaced")) {
        f.unplaced = boolean(v.at("unplaced"), path + "/unplaced");
    }
    if (v.contains("bulkItem")) {
        f.bulkItem = boolean(v.at("bulkItem"), path + "/bulkItem");
    }
    if (v.contains("appearance")) {
        f.appearance = colour(v.at("appearance"), path + "/appearance");
    }
}

void Reader::featureReference(Model& m, const Json& object, const std::string& path, int& out) {
    if (!object.contains("feature")) {
        return;
    }
    std::string p = path + "/feature";
    out = integer(object.at("feature"), p);
    int featureId = out;
    Model* owner = &m;
    deferred_.push_back({p, "no feature of this id in the model",
                         [owner, featureId] { return owner->feature(featureId) != nullptr; }});
}

void Reader::body(Model& m, const Json& v, const std::string& path) {
    expectObject(
        v, path,
        {"id", "construction", "state", "appearance", "parameters", "surfaces", "primitives"});
    int requestedId = id(v, path);
    Body& b = *claim(m, path + "/id", [&] { return &m.addBody(requestedId); });
    if (v.contains("construction")) {
        b.construction = boolean(v.at("construction"), path + "/construction");
    }
    if (v.contains("state")) {
        b.state = integer(v.at("state"), path + "/state");
    }
    if (v.contains("appearance")) {
        b.appearance = colour(v.at("appearance"), path + "/appearance");
    }
    parameters(v, path, b.parameters);
    if (v.contains("surfaces")) {
        const Json& list = array(v.at("surfaces"), path + "/surfaces");
        for (std::size_t i = 0; i < list.size(); ++i) {
            surface(m, b, list[i], path + "/surfaces/" + std::to_string(i));
        }
    }
    if (v.contains("primitives")) {
        const Json& list = array(v.at("primitives"), path + "/primitives");
        for (std::size_t i = 0; i < list.size(); ++i) {
            primitive(m, b, list[i], path + "/primitives/" + std::to_string(i));
        }
    }
}

void Reader::surface(Model& m, Body& b, const Json& v, const std::string& path) {
    expectObject(v, path,
                 {"id", "type", "orientation", "shape", "feature", "parameters", "appearance",
                  "backAppearance", "tessellation", "tessellationStatus"});
    int type = integer(required(v, path, "type"), path + "/type");
    int requestedId = id(v, path);
    Surface& s = *claim(m, path + "/id", [&] { return &b.addSurface(type, requestedId); });
    if (v.contains("orientation")) {
        s.orientation = integer(v.at("orientation"), path + "/orientation");
    }
    if (v.contains("shape")) {
        std::string p = path + "/shape";
        const Json& shape = v.at("shape");
        expectObject(shape, p, {"frame", "origin", "values"});
        if (shape.contains("frame")) {
            const Json& frame = shape.at("frame");
            if (!frame.is_array() || frame.size() != 3) {
                fail(p + "/frame", "expected three vectors");
            }
            s.shape.e1 = point(frame[0], p + "/frame/0");
            s.shape.e2 = point(frame[1], p + "/frame/1");
            s.shape.e3 = point(frame[2], p + "/frame/2");
        }
        if (shape.contains("origin")) {
            s.shape.origin = point(shape.at("origin"), p + "/origin");
        }
        if (shape.contains("values")) {
            const Json& values = array(shape.at("values"), p + "/values");
            if (values.size() > 2) {
                fail(p + "/values", "at most two values");
            }
            for (std::size_t i = 0; i < values.size(); ++i) {
                s.shape.values[i] = number(values[i], p + "/values/" + std::to_string(i));
            }
        }
    }
    featureReference(m, v, path, s.featureId);
    parameters(v, path, s.parameters);
    if (v.contains("appearance")) {
        s.appearance[0] = colour(v.at("appearance"), path + "/appearance");
    }
    if (v.contains("backAppearance")) {
        s.appearance[1] = colour(v.at("backAppearance"), path + "/backAppearance");
    }
    if (v.contains("tessellationStatus")) {
        s.tessellationStatus = integer(v.at("tessellationStatus"), path + "/tessellationStatus");
    }
    if (v.contains("tessellation")) {
        std::string p = path + "/tessellation";
        const Json& t = v.at("tessellation");
        expectObject(t, p, {"vertices", "facets"});
        Tessellation tess;
        const Json& vertices = required(t, p, "vertices");
        if (vertices.is_null()) {
            tess.nullVertices = true;
        } else {
            array(vertices, p + "/vertices");
            for (std::size_t i = 0; i < vertices.size(); ++i) {
                tess.vertices.push_back(point(vertices[i], p + "/vertices/" + std::to_string(i)));
            }
        }
        const Json& facets = required(t, p, "facets");
        if (facets.is_null()) {
            tess.nullFacets = true;
        } else {
            array(facets, p + "/facets");
            for (std::size_t i = 0; i < facets.size(); ++i) {
                std::string fp = p + "/facets/" + std::to_string(i);
                if (!facets[i].is_array() || facets[i].size() != 3) {
                    fail(fp, "expected three vertex indices");
                }
                std::array<int, 3> facet{};
                for (std::size_t k = 0; k < 3; ++k) {
                    std::string kp = fp + "/" + std::to_string(k);
                    facet[k] = integer(facets[i][k], kp);
                    if (!tess.nullVertices && (facet[k] < 0 || static_cast<std::size_t>(facet[k]) >=
                                                                   tess.vertices.size())) {
                        fail(kp, "no vertex of this index");
                    }
                }
                tess.facets.push_back(facet);
            }
        }
        s.tessellation = std::move(tess);
    }
}

void Reader::primitive(Model& m, Body& b, const Json& v, const std::string& path) {
    expectObject(v, path, {"box", "cylinder", "feature"});
    int featureId = 0;
    featureReference(m, v, path, featureId);
    bool isBox = v.contains("box"), isCylinder = v.contains("cylinder");
    if (isBox == isCylinder) {
        fail(path, "expected exactly one of box and cylinder");
    }
    try {
        if (isBox) {
            std::string p = path + "/box";
            const Json& box = v.at("box");
            expectObject(box, p, {"min", "max"});
            Point lo = point(required(box, p, "min"), p + "/min");
            Point hi = point(required(box, p, "max"), p + "/max");
            // The host derives the faces' frames from the extents.
            for (std::size_t k = 0; k < 3; ++k) {
                if (!std::isfinite(hi[k] - lo[k])) {
                    fail(p, std::string("its extent in ") + "xyz"[k] + " is no finite number");
                }
            }
            b.addBox(lo, hi, featureId);
        } else {
            std::string p = path + "/cylinder";
            const Json& c = v.at("cylinder");
            expectObject(c, p, {"base", "axis", "radius", "height"});
            Point base = point(required(c, p, "base"), p + "/base");
            Point axis = point(required(c, p, "axis"), p + "/axis");
            double radius = number(required(c, p, "radius"), p + "/radius");
            double height = number(required(c, p, "height"), p + "/height");
            if (!std::isfinite(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2])) {
                fail(p + "/axis", "too long for its length to be a finite number");
            }
            // Every point of the cylinder lies within this distance of its base, per coordinate.
            const double reach = std::abs(height) + 2.0 * std::abs(radius);
            for (std::size_t k = 0; k < 3; ++k) {
                if (!std::isfinite(std::abs(base[k]) + reach)) {
                    fail(p, "it reaches coordinates that are no finite numbers");
                }
            }
            b.addCylinder(base, axis, radius, height, featureId);
        }
    } catch (const std::invalid_argument& e) {
        fail(path, e.what());
    }
}

void Reader::facetSet(Model& m, const Json& v, const std::string& path) {
    expectObject(v, path, {"id", "feature", "parameters", "facets"});
    int requestedId = id(v, path);
    FacetSet& s = *claim(m, path + "/id", [&] { return &m.addFacetSet(0, requestedId); });
    featureReference(m, v, path, s.featureId);
    parameters(v, path, s.parameters);
    if (v.contains("facets")) {
        const Json& list = array(v.at("facets"), path + "/facets");
        for (std::size_t i = 0; i < list.size(); ++i) {
            std::string p = path + "/facets/" + std::to_string(i);
            if (!list[i].is_array() || list[i].size() != 3) {
                fail(p, "expected three points");
            }
            s.facets.push_back({point(list[i][0], p + "/0"), point(list[i][1], p + "/1"),
                                point(list[i][2], p + "/2")});
        }
    }
}

// Where the parser stopped: the JSON path of the value it was reading, and the offset. The
// parser tells the place of a number it cannot hold only to a SAX handler, so a failed parse is
// repeated with this one.
class ErrorLocator : public nlohmann::json_sax<Json> {
public:
    bool null() override { return valueDone(); }
    bool boolean(bool) override { return valueDone(); }
    bool number_integer(number_integer_t) override { return valueDone(); }
    bool number_unsigned(number_unsigned_t) override { return valueDone(); }
    bool number_float(number_float_t, const string_t&) override { return valueDone(); }
    bool string(string_t&) override { return valueDone(); }
    bool binary(binary_t&) override { return valueDone(); }
    bool start_object(std::size_t) override { return open(false); }
    bool key(string_t& name) override {
        levels_.back().key = name;
        return true;
    }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(true); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t position, const std::string&, const Json::exception&) override {
        failed_ = true;
        offset_ = position;
        return false;
    }

    bool failed() const { return failed_; }
    std::size_t offset() const { return offset_; }
    std::string path() const {
        std::string out;
        for (const Level& level : levels_) {
            if (level.array) {
                out += "/" + std::to_string(level.index);
            } else if (level.key) {
                out += "/" + *level.key;
            }
        }
        return out;
    }

private:
    struct Level {
        bool array = false;
        std::size_t index = 0;          // array: the element being read
        std::optional<std::string> key; // object: the member being read
    };
    bool open(bool array) {
        levels_.push_back(Level{array, 0, std::nullopt});
        return true;
    }
    bool close() {
        levels_.pop_back();
        return valueDone();
    }
    bool valueDone() {
        if (!levels_.empty()) {
            Level& top = levels_.back();
            if (top.array) {
                ++top.index;
            } else {
                top.key.reset();
            }
        }
        return true;
    }

    std::vector<Level> levels_;
    bool failed_ = false;
    std::size_t offset_ = 0;
};

// The library's message without its "[json.exception...] " tag.
std::string untagged(const std::string& message) {
    std::size_t end = message.find("] ");
    return message.rfind("[json.exception.", 0) == 0 && end != std::string::npos
               ? message.substr(end + 2)
               : message;
}

// "line L, column C" of a byte offset: the column counts the bytes of the line up to it.
std::string lineAndColumn(const std::string& text, std::size_t offset) {
    offset = std::min(offset, text.size());
    std::size_t line = 1, lineStart = 0;
    for (std::size_t i = 0; i < offset; ++i) {
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(offset - lineStart);
}

// A scene text that the parser refuses: "<file>: <JSON path>: line L, column C: <why>". A
// syntax error's message carries its place; for the rest the offset gives it.
[[noreturn]] void refuseText(const std::string& text, const std::string& fileName,
                             const Json::exception& e) {
    ErrorLocator locator;
    Json::sax_parse(text, &locator, Json::input_format_t::json, true, true);
    std::string why = untagged(e.what()), place;
    const std::string syntax = "parse error at ";
    std::size_t colon = why.find(": ");
    if (why.rfind(syntax, 0) == 0 && colon != std::string::npos) {
        place = why.substr(syntax.size(), colon - syntax.size());
        why = why.substr(colon + 2);
    } else if (locator.failed()) {
        place = lineAndColumn(text, locator.offset());
    }
    std::string path = locator.path();
    throw SceneError(fileName + ": " + (path.empty() ? std::string("/") : path) + ": " +
                     (place.empty() ? std::string() : place + ": ") + why);
}

// An error of the library while the values are read: "(<JSON path>) <why>" in its message.
[[noreturn]] void refuseValue(const std::string& fileName, const Json::exception& e) {
    std::string why = untagged(e.what()), path = "/";
    if (why.size() > 1 && why[0] == '(') {
        std::size_t close = why.find(") ");
        if (close != std::string::npos) {
            path = why.substr(1, close - 1);
            why = why.substr(close + 2);
        }
    }
    throw SceneError(fileName + ": " + path + ": " + why);
}

} // namespace

void loadSceneText(Session& session, const std::string& text, const std::string& fileName) {
    loadSceneText(session, text, fileName, std::filesystem::current_path());
}

void loadSceneText(Session& session, const std::string& text, const std::string& fileName,
                   const std::filesystem::path& baseDirectory) {
    Json root;
    try {
        root = Json::parse(text, nullptr, true, true);
    } catch (const Json::exception& e) {
        refuseText(text, fileName, e);
    }
    try {
        Reader(session, fileName, baseDirectory).scene(root);
    } catch (const Json::exception& e) {
        refuseValue(fileName, e);
    }
}

void loadScene(Session& session, const std::filesystem::path& file) {
    std::string text;
    try {
        text = readInputFile(file, "scene");
    } catch (const InputFileError& e) {
        throw SceneError(e.what());
    }
    std::error_code ec;
    std::filesystem::path base = std::filesystem::absolute(file, ec).parent_path();
    loadSceneText(session, text, utf8Path(file), base);
}

} // namespace Hostsim
