// Internal to the stand-in host: the toolkit functions it implements (one line each; the
// resolver finds them here) and helpers shared by their definitions.
#pragma once

#include "HostSession.h"
#include "ProFunctions.h"

#include <optional>
#include <string>

namespace Hostsim {

struct HostFunctions {
#define HOST_FUNCTION(name) static ProHostFunction::name name;
    // Memory
    HOST_FUNCTION(ProArrayAlloc)
    HOST_FUNCTION(ProArraySizeGet)
    HOST_FUNCTION(ProArrayFree)
    HOST_FUNCTION(ProStringarrayFree)
    HOST_FUNCTION(ProWstringFree)
    // Models, features, assembly structure, parameters
    HOST_FUNCTION(ProMdlCurrentGet)
    HOST_FUNCTION(ProMdlNameGet)
    HOST_FUNCTION(ProMdlMdlnameGet)
    HOST_FUNCTION(ProMdlTypeGet)
    HOST_FUNCTION(ProMdlToModelitem)
    HOST_FUNCTION(ProMdlPrincipalunitsystemGet)
    HOST_FUNCTION(ProUnitsystemUnitGet)
    HOST_FUNCTION(ProUnitExpressionGet)
    HOST_FUNCTION(ProDirectoryCurrentGet)
    HOST_FUNCTION(ProSolidFeatVisit)
    HOST_FUNCTION(ProFeatureTypeGet)
    HOST_FUNCTION(ProFeatureVisibilityGet)
    HOST_FUNCTION(ProFeatureStatusGet)
    HOST_FUNCTION(ProFeatureParentsGet)
    HOST_FUNCTION(ProFeatureInit)
    HOST_FUNCTION(ProModelitemIsHidden)
    HOST_FUNCTION(ProAsmcompMdlGet)
    HOST_FUNCTION(ProAsmcompIsFlexible)
    HOST_FUNCTION(ProAsmcompIsUnplaced)
    HOST_FUNCTION(ProAsmcompIsBulkitem)
    HOST_FUNCTION(ProAsmcompVisibilityGet)
    HOST_FUNCTION(ProAsmcomppathInit)
    HOST_FUNCTION(ProAsmcomppathTrfGet)
    HOST_FUNCTION(ProAsmcompAsmitemInit)
    HOST_FUNCTION(ProMdlVisibleSideAppearancepropsGet)
    HOST_FUNCTION(ProParameterVisit)
    HOST_FUNCTION(ProParameterValueWithUnitsGet)
    // Bodies, surfaces, tessellation, facet sets
    HOST_FUNCTION(ProSolidBodiesCollect)
    HOST_FUNCTION(ProSolidBodyIsConstruction)
    HOST_FUNCTION(ProSolidBodyStateGet)
    HOST_FUNCTION(ProSolidBodySurfaceVisit)
    HOST_FUNCTION(ProSurfaceToGeomitem)
    HOST_FUNCTION(ProGeomitemFeatureGet)
    HOST_FUNCTION(ProSurfaceSideAppearancepropsGet)
    HOST_FUNCTION(ProSurfaceTypeGet)
    HOST_FUNCTION(ProSurfaceDataGet)
    HOST_FUNCTION(ProGeomitemdataFree)
    HOST_FUNCTION(ProSurfacetessellationinputAlloc)
    HOST_FUNCTION(ProSurfacetessellationinputChordheightSet)
    HOST_FUNCTION(ProSurfacetessellationinputAnglecontrolSet)
    HOST_FUNCTION(ProSurfacetessellationinputStepsizeSet)
    HOST_FUNCTION(ProSurfacetessellationinputUvprojectionSet)
    HOST_FUNCTION(ProSurfacetessellationinputFree)
    HOST_FUNCTION(ProSurfaceTessellationGet)
    HOST_FUNCTION(ProTessellationVerticesGet)
    HOST_FUNCTION(ProTessellationFacetsGet)
    HOST_FUNCTION(ProTessellationFree)
    HOST_FUNCTION(ProSolidFacetsetVisit)
    HOST_FUNCTION(ProFacetsetFacetVisit)
    HOST_FUNCTION(ProFacetVerticesGet)
    HOST_FUNCTION(ProFacetvertexPointGet)
    HOST_FUNCTION(ProFacetverticesFree)
    // Commands, messages, resource directory
    HOST_FUNCTION(ProCmdActionAdd)
    HOST_FUNCTION(ProCmdDesignate)
    HOST_FUNCTION(ProCmdIconSet)
    HOST_FUNCTION(ProMessageClear)
    HOST_FUNCTION(ProMessageDisplay)
    HOST_FUNCTION(ProMessageWstringbufferAlloc)
    HOST_FUNCTION(ProUIMessageDialogDisplay)
    HOST_FUNCTION(ProUIResourcepathStore)
    // Dialogs and their components
    HOST_FUNCTION(ProUIDialogCreate)
    HOST_FUNCTION(ProUIDialogActivate)
    HOST_FUNCTION(ProUIDialogExit)
    HOST_FUNCTION(ProUIDialogDestroy)
    HOST_FUNCTION(ProUIDialogCloseActionSet)
    HOST_FUNCTION(ProUIPushbuttonActivateActionSet)
    HOST_FUNCTION(ProUIPushbuttonEnable)
    HOST_FUNCTION(ProUIPushbuttonDisable)
    HOST_FUNCTION(ProUICheckbuttonGetState)
    HOST_FUNCTION(ProUIInputpanelInputActionSet)
    HOST_FUNCTION(ProUIInputpanelActivateActionSet)
    HOST_FUNCTION(ProUIInputpanelWidestringSet)
    HOST_FUNCTION(ProUIInputpanelValueSet)
    HOST_FUNCTION(ProUIInputpanelWidestringGet)
    HOST_FUNCTION(ProUIOptionmenuNamesGet)
    HOST_FUNCTION(ProUIOptionmenuSelectednamesGet)
    HOST_FUNCTION(ProUIOptionmenuSelectednamesSet)
    HOST_FUNCTION(ProUIOptionmenuSelectActionSet)
    HOST_FUNCTION(ProUITableColumnnamesGet)
    HOST_FUNCTION(ProUITableRownamesSet)
    HOST_FUNCTION(ProUITableCellComponentCopy)
    HOST_FUNCTION(ProUITableCellComponentDelete)
    HOST_FUNCTION(ProUISpinboxUpdateActionSet)
    HOST_FUNCTION(ProUISpinboxActivateActionSet)
    HOST_FUNCTION(ProUISpinboxDoubleSet)
    HOST_FUNCTION(ProUISpinboxDoubleGet)
#undef HOST_FUNCTION
};

// Narrow text as the plug-in's runtime makes it (UTF-8 off Windows, the ANSI code page on
// Windows), as wide text.
std::wstring wideFromNarrow(const char* text);
// Copies a wide text into a fixed buffer; false (and nothing written) when it does not fit.
bool copyWide(wchar_t* out, std::size_t size, const std::wstring& text);
// Copies as much as fits, always terminated.
void copyWideCut(wchar_t* out, std::size_t size, const std::wstring& text);

} // namespace Hostsim

// First statement of every host function: logs the call (with the item key and further detail)
// and answers an injected fault. `session` is in scope afterwards.
#define HOST_ENTER_DETAIL(itemExpression, detailExpression)                                        \
    ::Hostsim::Session* session = ::Hostsim::Session::active();                                    \
    if (session == nullptr) {                                                                      \
        return PRO_TK_GENERAL_ERROR;                                                               \
    }                                                                                              \
    if (std::optional<ProErrors> injected =                                                        \
            session->enterCall(__func__, (itemExpression), (detailExpression))) {                  \
        return *injected;                                                                          \
    }
#define HOST_ENTER(itemExpression) HOST_ENTER_DETAIL(itemExpression, std::string())
