// Our declaration of the host toolkit's types and status codes: everything the plug-in and the
// stand-in host share across the toolkit boundary. Functions are declared in ProFunctions.h.
#pragma once

#include <cstddef>

// ---------------------------------------------------------------------------------------------
// Status codes
// ---------------------------------------------------------------------------------------------

typedef int ProErrors;
typedef ProErrors ProError;

enum : int {
    PRO_TK_NO_ERROR = 0,
    PRO_TK_GENERAL_ERROR = -1,
    PRO_TK_BAD_INPUTS = -2,
    PRO_TK_E_NOT_FOUND = -4,
    PRO_TK_E_FOUND = -7, // the stand-in host's answer to a second command of the same name
    PRO_TK_BAD_CONTEXT = -8,
    PRO_TK_COMM_ERROR = -11, // the host does not provide the function
    PRO_TK_NOT_EXIST = -23,
    PRO_TK_INCOMPLETE_TESS = -68,
};

// The plug-in's own statuses, below every host status.
enum : int {
    TARVELO_SURFACE_NOT_USABLE = -1000, // surface data without orientation, or host type -3
    TARVELO_MODEL_NOT_USABLE = -1001,   // a model that is neither an assembly nor a part
    TARVELO_NO_GEOMITEM = -1002,        // a surface without a geometry item
    TARVELO_NESTING_TOO_DEEP = -1003,   // a component below the deepest level a path can hold
};

// ---------------------------------------------------------------------------------------------
// Basic values and fixed-size text buffers (sizes count wide characters, terminator included)
// ---------------------------------------------------------------------------------------------

typedef int ProBoolean;
enum : int { PRO_B_FALSE = 0, PRO_B_TRUE = 1 };

typedef void* ProAppData;
typedef void* ProArray; // a host array: element data, size kept by the host

enum : int {
    PRO_NAME_SIZE = 32,     // parameter names, model names of ProMdlNameGet, unit names
    PRO_MDLNAME_SIZE = 80,  // model names of ProMdlMdlnameGet
    PRO_LINE_SIZE = 80,     // unit expressions, parameter string values
    PRO_PATH_SIZE = 260,    // directories
    PRO_FILE_NAME_SIZE = 32 // message file names
};

typedef wchar_t ProName[PRO_NAME_SIZE];
typedef wchar_t ProMdlName[PRO_MDLNAME_SIZE];
typedef wchar_t ProLine[PRO_LINE_SIZE];
typedef wchar_t ProPath[PRO_PATH_SIZE];
typedef wchar_t ProFileName[PRO_FILE_NAME_SIZE];

typedef double ProVector[3];
typedef double Pro3dPnt[3];
typedef int ProTriangle[3]; // vertex indices of one tessellation facet
// Row-vector convention: a point p (1x4, w = 1) maps to p * M; translation in row 3.
typedef double ProMatrix[4][4];

// ---------------------------------------------------------------------------------------------
// Models and items
// ---------------------------------------------------------------------------------------------

typedef struct ProMdlOpaque* ProMdl; // a model of the session
typedef ProMdl ProSolid;
typedef ProMdl ProAssembly;

typedef int ProMdlType;
enum : int { PRO_MDL_UNUSED = 0, PRO_MDL_ASSEMBLY = 1, PRO_MDL_PART = 2, PRO_MDL_DRAWING = 3 };

// Item types of a ProModelitem.
typedef int ProType;
enum : int {
    PRO_TYPE_INVALID = -1,
    PRO_FEATURE = 2,
    PRO_SURFACE = 5,
    PRO_ASSEMBLY = 10,
    PRO_PART = 11,
    PRO_MODEL_OTHER = 12, // a model that is neither part nor assembly
    PRO_BODY = 98,
    PRO_FACET_SET = 99,
};

// An item of a model, identified by its owner and its id (unique within the owner).
struct ProModelitem {
    ProType type;
    int id;
    ProMdl owner;
};
typedef ProModelitem ProFeature;
typedef ProModelitem ProAsmcomp; // a component feature
typedef ProModelitem ProGeomitem;
typedef ProModelitem ProSolidBody;
typedef ProModelitem ProFacetset;

typedef int ProFeattype;
enum : int { PRO_FEAT_COMPONENT = 1000 };
typedef int ProFeatStatus;
typedef int ProBodyState;

// Component paths: the owner (top model) and the ids of the component features down to the
// occurrence, at most 25 levels.
enum : int { PRO_MAX_ASSEM_LEVEL = 25 };
typedef int ProIdTable[PRO_MAX_ASSEM_LEVEL];
struct ProAsmcomppath {
    ProSolid owner;
    ProIdTable comp_id_table;
    int table_num;
};

// An item seen through a component path (for appearances in assembly context).
struct ProAsmitem {
    ProMdl owner;
    int id;
    ProType type;
    ProMdlName name;
    ProAsmcomppath path;
};

// ---------------------------------------------------------------------------------------------
// Parameters and units
// ---------------------------------------------------------------------------------------------

typedef int ProParamvalueType;
enum : int {
    PRO_PARAM_DOUBLE = 50,
    PRO_PARAM_STRING = 51,
    PRO_PARAM_INTEGER = 52,
    PRO_PARAM_BOOLEAN = 53,
    PRO_PARAM_NOTE_ID = 54,
};

union ProParamvalueValue {
    double d_val;
    wchar_t s_val[PRO_LINE_SIZE]; // always zero-terminated by the host
    int i_val;
    short l_val;
    int note_id;
};

struct ProParamvalue {
    ProParamvalueType type;
    ProParamvalueValue value;
};

struct ProParameter {
    ProType type;       // the owner's item type
    ProName id;         // the parameter's name, zero-terminated
    ProModelitem owner; // the item that carries it
};

struct ProUnitsystem {
    ProMdl owner;
    ProName name;
};

typedef int ProUnitType;
enum : int { PRO_UNITTYPE_LENGTH = 0 };

struct ProUnititem {
    ProMdl owner;
    ProName name;
};

// ---------------------------------------------------------------------------------------------
// Appearance
// ---------------------------------------------------------------------------------------------

struct ProSurfaceAppearanceProps {
    double ambient;
    double diffuse;
    double highlite;
    double shininess;
    double transparency;
    ProVector color_rgb; // red, green, blue, each 0 to 1
    double reflection;
};

// ---------------------------------------------------------------------------------------------
// Surfaces and tessellation
// ---------------------------------------------------------------------------------------------

typedef struct ProSurfaceOpaque* ProSurface;
typedef int ProSrftype;
enum : int {
    PRO_SRF_NONE = -3,
    PRO_SRF_PLANE = 34,
    PRO_SRF_CYL = 36,
    PRO_SRF_CONE = 37,
    PRO_SRF_TORUS = 38,
};

typedef int ProSurfaceOrient;
enum : int { PRO_SURF_ORIENT_NONE = 0, PRO_SURF_ORIENT_OUT = 1, PRO_SURF_ORIENT_IN = -1 };

// Shape data of a surface: a local frame e1, e2, e3 (e3 is the plane's normal and the axis of
// a cylinder, cone or torus), the frame's origin and the type's own values (cylinder and cone:
// values[0]; torus: values[0] and values[1]).
struct ProSurfaceshapedata {
    ProVector e1;
    ProVector e2;
    ProVector e3;
    Pro3dPnt origin;
    double values[2];
};

struct ProSurfacedata {
    ProSrftype type;
    double uv_min[2];
    double uv_max[2];
    ProSurfaceOrient orient;
    ProSurfaceshapedata srf_shape;
    int id;
};

struct ProGeomitemdata {
    ProType obj_type;
    ProSurfacedata* p_surface_data;
};

typedef struct ProSurfaceTessellationInputOpaque* ProSurfaceTessellationInput;
typedef struct ProTessellationOpaque* ProTessellation;
typedef int ProSurfaceTessellationProjection;
typedef void* ProUvProjectionData;

// Facet sets: facets of a set, each with three vertex handles.
struct ProFacet {
    ProMdl owner;
    int set_id;
    int index;
};
struct ProFacetvertex {
    ProMdl owner;
    int set_id;
    int facet;
    int corner;
};

// ---------------------------------------------------------------------------------------------
// Visit actions and filters: an action's 0 continues the visit, anything else ends it and is the
// visit's result; a filter's 0 lets the item reach the action, anything else skips it.
// ---------------------------------------------------------------------------------------------

typedef ProErrors (*ProFeatureVisitAction)(ProFeature* feature, ProErrors status, ProAppData data);
typedef ProErrors (*ProFeatureFilterAction)(ProFeature* feature, ProAppData data);
typedef ProErrors (*ProParameterAction)(ProParameter* parameter, ProErrors status, ProAppData data);
typedef ProErrors (*ProParameterFilter)(ProParameter* parameter, ProAppData data);
typedef ProErrors (*ProSurfaceVisitAction)(ProSurface surface, ProErrors status, ProAppData data);
typedef ProErrors (*ProFacetsetVisitAction)(ProFacetset* set, ProErrors status, ProAppData data);
typedef ProErrors (*ProFacetsetFilterAction)(ProFacetset* set, ProAppData data);
typedef ProErrors (*ProFacetVisitAction)(ProFacet* facet, ProErrors status, ProAppData data);
typedef ProErrors (*ProFacetFilterAction)(ProFacet* facet, ProAppData data);

// ---------------------------------------------------------------------------------------------
// Commands
// ---------------------------------------------------------------------------------------------

typedef struct uiCmdCmdIdOpaque* uiCmdCmdId;
typedef struct uiCmdValueOpaque uiCmdValue;
typedef int uiCmdPriority;
typedef int uiCmdAccessMode;
typedef int uiCmdAccessState;
enum : int { ACCESS_AVAILABLE = 3 };
typedef int (*uiCmdCmdActFn)(uiCmdCmdId command, uiCmdValue* value, void* data);
typedef uiCmdAccessState (*uiCmdAccessFn)(uiCmdAccessMode mode);

// ---------------------------------------------------------------------------------------------
// User interface
// ---------------------------------------------------------------------------------------------

typedef void (*ProUIAction)(const char* dialog, const char* component, ProAppData data);

typedef int ProUIMessageType;
enum : int {
    PROUIMESSAGE_INFO = 1,
    PROUIMESSAGE_ERROR = 2,
    PROUIMESSAGE_WARNING = 3,
    PROUIMESSAGE_QUESTION = 4,
};
typedef int ProUIMessageButton;
enum : int {
    PRO_UI_MESSAGE_ABORT = 1,
    PRO_UI_MESSAGE_RETRY = 2,
    PRO_UI_MESSAGE_IGNORE = 3,
    PRO_UI_MESSAGE_YES = 4,
    PRO_UI_MESSAGE_NO = 5,
    PRO_UI_MESSAGE_OK = 6,
    PRO_UI_MESSAGE_CANCEL = 7,
};
