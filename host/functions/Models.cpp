// Models, units, working directory, features, component paths, appearances in assembly context
// and parameters.
#include "HostFunctions.h"
#include "HostUnits.h"
#include "WorkingDirectory.h"

#include <cmath>

namespace Hostsim {

namespace {

ProType itemTypeOf(const Model& m) {
    switch (m.type) {
    case ModelType::Assembly:
        return PRO_ASSEMBLY;
    case ModelType::Part:
        return PRO_PART;
    case ModelType::Other:
        return PRO_MODEL_OTHER;
    }
    return PRO_MODEL_OTHER;
}

Feature* featureOf(Session& s, const ProModelitem* item) {
    if (item == nullptr || item->type != PRO_FEATURE) {
        return nullptr;
    }
    Model* m = s.model(item->owner);
    return m == nullptr ? nullptr : m->feature(item->id);
}

Feature* componentOf(Session& s, const ProModelitem* item) {
    Feature* f = featureOf(s, item);
    return f != nullptr && f->type == PRO_FEAT_COMPONENT ? f : nullptr;
}

// The component features along a path, top first; false for a path that does not lead through
// component features of live models.
bool walkPath(Session& s, const ProAsmcomppath* path, std::vector<Feature*>& levels) {
    if (path == nullptr || path->table_num < 0 || path->table_num > PRO_MAX_ASSEM_LEVEL) {
        return false;
    }
    Model* m = s.model(path->owner);
    for (int i = 0; i < path->table_num; ++i) {
        if (m == nullptr) {
            return false;
        }
        Feature* f = m->feature(path->comp_id_table[i]);
        if (f == nullptr || f->type != PRO_FEAT_COMPONENT || !f->componentModel) {
            return false;
        }
        levels.push_back(f);
        m = s.findModel(*f->componentModel);
    }
    return m != nullptr;
}

std::string pathKey(Session& s, const ProAsmcomppath* path) {
    if (path == nullptr) {
        return "?";
    }
    std::string key = s.key(path->owner);
    for (int i = 0; i < path->table_num && i < PRO_MAX_ASSEM_LEVEL; ++i) {
        key += "/" + std::to_string(path->comp_id_table[i]);
    }
    return key;
}

bool invertAffine(const Matrix& m, Matrix& out) {
    double a = m[0][0], b = m[0][1], c = m[0][2];
    double d = m[1][0], e = m[1][1], f = m[1][2];
    double g = m[2][0], h = m[2][1], i = m[2][2];
    double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
    if (std::abs(det) < 1e-300) {
        return false;
    }
    Matrix r{};
    r[0][0] = (e * i - f * h) / det;
    r[0][1] = (c * h - b * i) / det;
    r[0][2] = (b * f - c * e) / det;
    r[1][0] = (f * g - d * i) / det;
    r[1][1] = (a * i - c * g) / det;
    r[1][2] = (c * d - a * f) / det;
    r[2][0] = (d * h - e * g) / det;
    r[2][1] = (b * g - a * h) / det;
    r[2][2] = (a * e - b * d) / det;
    for (int j = 0; j < 3; ++j) {
        r[3][j] = -(m[3][0] * r[0][j] + m[3][1] * r[1][j] + m[3][2] * r[2][j]);
    }
    r[3][3] = 1.0;
    out = r;
    return true;
}

void fillAppearance(ProSurfaceAppearanceProps* props, const Colour& colour) {
    *props = ProSurfaceAppearanceProps{};
    props->ambient = 0.7;
    props->diffuse = 0.8;
    props->highlite = 0.5;
    props->shininess = 0.3;
    props->transparency = 0.0;
    for (int k = 0; k < 3; ++k) {
        props->color_rgb[k] = colour[static_cast<std::size_t>(k)];
    }
}

const Parameter* findParameter(Session& s, const ProParameter* p) {
    if (p == nullptr) {
        return nullptr;
    }
    Model* m = s.model(p->owner.owner);
    if (m == nullptr) {
        return nullptr;
    }
    std::vector<Parameter>* list = m->parametersOf(p->owner.type, p->owner.id);
    if (list == nullptr) {
        return nullptr;
    }
    std::wstring name(p->id, wcsnlen(p->id, PRO_NAME_SIZE));
    for (const Parameter& candidate : *list) {
        if (candidate.name == name) {
            return &candidate;
        }
    }
    return nullptr;
}

} // namespace

ProErrors HostFunctions::ProMdlCurrentGet(ProMdl* model) {
    HOST_ENTER("");
    if (model == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    if (session->current() == nullptr) {
        return PRO_TK_BAD_CONTEXT;
    }
    *model = session->handle(*session->current());
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProMdlNameGet(ProMdl model, ProName name) {
    HOST_ENTER(session->key(model));
    Model* m = session->model(model);
    if (m == nullptr || name == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    // The short form: longer names are cut to what the buffer holds.
    copyWideCut(name, PRO_NAME_SIZE, m->name);
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProMdlMdlnameGet(ProMdl model, ProMdlName name) {
    HOST_ENTER(session->key(model));
    Model* m = session->model(model);
    if (m == nullptr || name == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    copyWideCut(name, PRO_MDLNAME_SIZE, m->name);
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProMdlTypeGet(ProMdl model, ProMdlType* type) {
    HOST_ENTER(session->key(model));
    Model* m = session->model(model);
    if (m == nullptr || type == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    *type = m->type == ModelType::Assembly ? PRO_MDL_ASSEMBLY
            : m->type == ModelType::Part   ? PRO_MDL_PART
                                           : PRO_MDL_DRAWING;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProMdlToModelitem(ProMdl model, ProModelitem* item) {
    HOST_ENTER(session->key(model));
    Model* m = session->model(model);
    if (m == nullptr || item == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    *item = ProModelitem{itemTypeOf(*m), 0, model};
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProMdlPrincipalunitsystemGet(ProMdl model, ProUnitsystem* system) {
    HOST_ENTER(session->key(model));
    Model* m = session->model(model);
    if (m == nullptr || system == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    *system = ProUnitsystem{};
    system->owner = model;
    copyWideCut(system->name, PRO_NAME_SIZE, L"Principal");
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProUnitsystemUnitGet(ProUnitsystem* system, ProUnitType type,
                                              ProUnititem* unit) {
    HOST_ENTER_DETAIL(system != nullptr ? session->key(system->owner) : std::string("?"),
                      "type=" + std::to_string(type));
    Model* m = system != nullptr ? session->model(system->owner) : nullptr;
    if (m == nullptr || unit == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    if (type != PRO_UNITTYPE_LENGTH || !m->lengthUnit) {
        return PRO_TK_E_NOT_FOUND;
    }
    *unit = ProUnititem{};
    unit->owner = system->owner;
    copyWideCut(unit->name, PRO_NAME_SIZE, *m->lengthUnit);
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProUnitExpressionGet(ProUnititem* unit, ProLine expression) {
    HOST_ENTER(unit != nullptr ? session->key(unit->owner) : std::string("?"));
    Model* m = unit != nullptr ? session->model(unit->owner) : nullptr;
    if (m == nullptr || expression == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    if (!m->lengthUnit) {
        return PRO_TK_E_NOT_FOUND;
    }
    copyWideCut(expression, PRO_LINE_SIZE, *m->lengthUnit);
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProDirectoryCurrentGet(ProPath directory) {
    HOST_ENTER("");
    if (directory == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    // A directory longer than the buffer is an error, never a cut path.
    return copyWide(directory, PRO_PATH_SIZE, reportedDirectory(session->workingDirectory))
               ? PRO_TK_NO_ERROR
               : PRO_TK_GENERAL_ERROR;
}

ProErrors HostFunctions::ProSolidFeatVisit(ProSolid solid, ProFeatureVisitAction action,
                                           ProFeatureFilterAction filter, ProAppData data) {
    HOST_ENTER(session->key(solid));
    Model* m = session->model(solid);
    if (m == nullptr || action == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    std::vector<int> ids;
    for (const Feature& f : m->features) {
        ids.push_back(f.id);
    }
    int visited = 0;
    for (int id : ids) {
        ProFeature feature{PRO_FEATURE, id, solid};
        if (filter != nullptr && filter(&feature, data) != PRO_TK_NO_ERROR) {
            continue;
        }
        ++visited;
        ProErrors status = action(&feature, PRO_TK_NO_ERROR, data);
        if (status != PRO_TK_NO_ERROR) {
            return status;
        }
    }
    return visited > 0 ? PRO_TK_NO_ERROR : PRO_TK_E_NOT_FOUND;
}

ProErrors HostFunctions::ProFeatureTypeGet(ProFeature* feature, ProFeattype* type) {
    HOST_ENTER(session->key(feature));
    Feature* f = featureOf(*session, feature);
    if (f == nullptr || type == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    *type = f->type;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProFeatureVisibilityGet(ProFeature* feature, ProBoolean* visible) {
    HOST_ENTER(session->key(feature));
    Feature* f = featureOf(*session, feature);
    if (f == nullptr || visible == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    *visible = f->visible ? PRO_B_TRUE : PRO_B_FALSE;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProFeatureStatusGet(ProFeature* feature, ProFeatStatus* status) {
    HOST_ENTER(session->key(feature));
    Feature* f = featureOf(*session, feature);
    if (f == nullptr || status == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    *status = f->status;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProFeatureParentsGet(ProFeature* feature, int** parentIds, int* count) {
    HOST_ENTER(session->key(feature));
    Feature* f = featureOf(*session, feature);
    if (f == nullptr || parentIds == nullptr || count == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    auto* ids = static_cast<int*>(session->ledger().allocate(AllocationKind::Array, __func__,
                                                             sizeof(int), f->parents.size()));
    for (std::size_t i = 0; i < f->parents.size(); ++i) {
        ids[i] = f->parents[i];
    }
    *parentIds = ids;
    *count = static_cast<int>(f->parents.size());
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProFeatureInit(ProSolid solid, int id, ProFeature* feature) {
    HOST_ENTER(session->key(solid) + "#" + std::to_string(id));
    Model* m = session->model(solid);
    if (m == nullptr || feature == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    if (m->feature(id) == nullptr) {
        return PRO_TK_E_NOT_FOUND;
    }
    *feature = ProFeature{PRO_FEATURE, id, solid};
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProModelitemIsHidden(ProModelitem* item, ProBoolean* hidden) {
    HOST_ENTER(session->key(item));
    Model* m = item != nullptr ? session->model(item->owner) : nullptr;
    if (m == nullptr || hidden == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    if (item->type == PRO_FEATURE) {
        Feature* f = m->feature(item->id);
        if (f == nullptr) {
            return PRO_TK_BAD_INPUTS;
        }
        *hidden = f->hidden ? PRO_B_TRUE : PRO_B_FALSE;
        return PRO_TK_NO_ERROR;
    }
    if (m->parametersOf(item->type, item->id) == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    *hidden = PRO_B_FALSE;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProAsmcompMdlGet(ProAsmcomp* component, ProMdl* model) {
    HOST_ENTER(session->key(component));
    Feature* f = componentOf(*session, component);
    if (f == nullptr || model == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    Model* target = f->componentModel ? session->findModel(*f->componentModel) : nullptr;
    if (target == nullptr) {
        return PRO_TK_E_NOT_FOUND;
    }
    *model = session->handle(*target);
    return PRO_TK_NO_ERROR;
}

#define HOST_COMPONENT_FLAG(function, member)                                                      \
    ProErrors HostFunctions::function(ProAsmcomp* component, ProBoolean* flag) {                   \
        HOST_ENTER(session->key(component));                                                       \
        Feature* f = componentOf(*session, component);                                             \
        if (f == nullptr || flag == nullptr) {                                                     \
            return PRO_TK_BAD_INPUTS;                                                              \
        }                                                                                          \
        *flag = f->member ? PRO_B_TRUE : PRO_B_FALSE;                                              \
        return PRO_TK_NO_ERROR;                                                                    \
    }
HOST_COMPONENT_FLAG(ProAsmcompIsFlexible, flexible)
HOST_COMPONENT_FLAG(ProAsmcompIsUnplaced, unplaced)
HOST_COMPONENT_FLAG(ProAsmcompIsBulkitem, bulkItem)
#undef HOST_COMPONENT_FLAG

ProErrors HostFunctions::ProAsmcompVisibilityGet(ProAsmcomppath* path, ProAsmcomp* component,
                                                 ProBoolean* visible) {
    HOST_ENTER(pathKey(*session, path));
    std::vector<Feature*> levels;
    if (visible == nullptr || !walkPath(*session, path, levels)) {
        return PRO_TK_BAD_INPUTS;
    }
    if (component != nullptr && componentOf(*session, component) == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    // A path to the top model itself names no occurrence.
    if (levels.empty()) {
        return PRO_TK_BAD_CONTEXT;
    }
    bool shown = true;
    for (const Feature* f : levels) {
        shown = shown && f->displayed;
    }
    *visible = shown ? PRO_B_TRUE : PRO_B_FALSE;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProAsmcomppathInit(ProSolid owner, ProIdTable ids, int count,
                                            ProAsmcomppath* path) {
    HOST_ENTER_DETAIL(session->key(owner), "count=" + std::to_string(count));
    if (session->model(owner) == nullptr || path == nullptr || count < 0 ||
        count > PRO_MAX_ASSEM_LEVEL || (count > 0 && ids == nullptr)) {
        return PRO_TK_BAD_INPUTS;
    }
    path->owner = owner;
    for (int i = 0; i < PRO_MAX_ASSEM_LEVEL; ++i) {
        path->comp_id_table[i] = i < count ? ids[i] : -1;
    }
    path->table_num = count;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProAsmcomppathTrfGet(ProAsmcomppath* path, ProBoolean bottomUp,
                                              ProMatrix transformation) {
    HOST_ENTER_DETAIL(pathKey(*session, path), "bottomUp=" + std::to_string(bottomUp));
    std::vector<Feature*> levels;
    if (transformation == nullptr || !walkPath(*session, path, levels)) {
        return PRO_TK_BAD_INPUTS;
    }
    // Row vectors: the deepest placement applies first. A scene's placement is rigid and in the
    // parent's unit, so each level first takes the placed model's lengths into the parent's
    // unit; the matrix then maps the placed model's own coordinates into the top model's.
    Matrix m = identityMatrix();
    for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
        const Feature& placement = **it;
        const double ratio = millimetresPerUnitOf(*session->findModel(*placement.componentModel)) /
                             millimetresPerUnitOf(*placement.model);
        Matrix level = placement.transform;
        for (std::size_t row = 0; row < 3; ++row) {
            for (double& value : level[row]) {
                value *= ratio;
            }
        }
        m = multiply(m, level);
    }
    if (bottomUp == PRO_B_FALSE && !invertAffine(m, m)) {
        return PRO_TK_GENERAL_ERROR;
    }
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            transformation[i][j] = m[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
        }
    }
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProAsmcompAsmitemInit(ProMdl model, int id, ProType type,
                                               const wchar_t* name, ProAsmcomppath* path,
                                               ProAsmitem* item) {
    HOST_ENTER_DETAIL(session->key(model) + "#" + std::to_string(id),
                      "type=" + std::to_string(type) + " path=" + pathKey(*session, path));
    Model* m = session->model(model);
    std::vector<Feature*> levels;
    if (m == nullptr || item == nullptr || !walkPath(*session, path, levels)) {
        return PRO_TK_BAD_INPUTS;
    }
    if (type != PRO_FEATURE && type != PRO_BODY && type != PRO_SURFACE) {
        return PRO_TK_BAD_INPUTS;
    }
    if (m->parametersOf(type, id) == nullptr) {
        return PRO_TK_E_NOT_FOUND;
    }
    *item = ProAsmitem{};
    item->owner = model;
    item->id = id;
    item->type = type;
    copyWideCut(item->name, PRO_MDLNAME_SIZE, name != nullptr ? std::wstring(name) : L"");
    item->path = *path;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProMdlVisibleSideAppearancepropsGet(ProAsmitem* item, int side,
                                                             ProSurfaceAppearanceProps* props) {
    HOST_ENTER_DETAIL(item != nullptr ? session->key(item->owner) + "#" + std::to_string(item->id)
                                      : std::string("?"),
                      "side=" + std::to_string(side));
    Model* m = item != nullptr ? session->model(item->owner) : nullptr;
    if (m == nullptr || props == nullptr || (side != 0 && side != 1)) {
        return PRO_TK_BAD_INPUTS;
    }
    std::optional<Colour> colour;
    if (item->type == PRO_BODY && m->body(item->id) != nullptr) {
        colour = m->body(item->id)->appearance;
    } else if (item->type == PRO_FEATURE && m->feature(item->id) != nullptr) {
        colour = m->feature(item->id)->appearance;
    } else if (item->type == PRO_SURFACE && m->surface(item->id) != nullptr) {
        colour = m->surface(item->id)->appearance[static_cast<std::size_t>(side)];
    } else {
        return PRO_TK_BAD_INPUTS;
    }
    if (!colour) {
        return PRO_TK_NOT_EXIST;
    }
    fillAppearance(props, *colour);
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProParameterVisit(ProModelitem* owner, ProParameterFilter filter,
                                           ProParameterAction action, ProAppData data) {
    HOST_ENTER(session->key(owner));
    Model* m = owner != nullptr ? session->model(owner->owner) : nullptr;
    std::vector<Parameter>* list = m != nullptr ? m->parametersOf(owner->type, owner->id) : nullptr;
    if (list == nullptr || action == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    std::vector<std::wstring> names;
    for (const Parameter& p : *list) {
        names.push_back(p.name);
    }
    int visited = 0;
    for (const std::wstring& name : names) {
        ProParameter parameter{};
        parameter.type = owner->type;
        copyWideCut(parameter.id, PRO_NAME_SIZE, name);
        parameter.owner = *owner;
        if (filter != nullptr && filter(&parameter, data) != PRO_TK_NO_ERROR) {
            continue;
        }
        ++visited;
        ProErrors status = action(&parameter, PRO_TK_NO_ERROR, data);
        if (status != PRO_TK_NO_ERROR) {
            return status;
        }
    }
    return visited > 0 ? PRO_TK_NO_ERROR : PRO_TK_E_NOT_FOUND;
}

ProErrors HostFunctions::ProParameterValueWithUnitsGet(ProParameter* parameter,
                                                       ProParamvalue* value, ProUnititem* units) {
    HOST_ENTER(parameter != nullptr
                   ? session->key(&parameter->owner) + ":" +
                         toUtf8(std::wstring(parameter->id, wcsnlen(parameter->id, PRO_NAME_SIZE)))
                   : std::string("?"));
    if (parameter == nullptr || value == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    const Parameter* p = findParameter(*session, parameter);
    if (p == nullptr) {
        return PRO_TK_E_NOT_FOUND;
    }
    *value = ProParamvalue{};
    value->type = p->value.type;
    switch (p->value.type) {
    case PRO_PARAM_DOUBLE:
        value->value.d_val = p->value.real;
        break;
    case PRO_PARAM_STRING:
        copyWideCut(value->value.s_val, PRO_LINE_SIZE, p->value.text);
        break;
    case PRO_PARAM_BOOLEAN:
        value->value.l_val = static_cast<short>(p->value.integer != 0 ? 1 : 0);
        break;
    case PRO_PARAM_NOTE_ID:
        value->value.note_id = p->value.integer;
        break;
    default:
        value->value.i_val = p->value.integer;
        break;
    }
    if (units != nullptr) {
        *units = ProUnititem{};
        units->owner = parameter->owner.owner;
    }
    return PRO_TK_NO_ERROR;
}

} // namespace Hostsim
