// Start-up registers the command "Tarvelo Gateway" with its label keys and icon; shut-down has
// nothing to undo.
#include "EntryPoints.h"

#include "ExportDialog.h"
#include "ProToolkitRuntime.h"

namespace Velmora {

uiCmdAccessState commandAccess(uiCmdAccessMode) {
    return ACCESS_AVAILABLE;
}

} // namespace Velmora

int user_initialize(int, char*[], char*, char*, wchar_t[80]) {
    try {
        ProFileName messageFile = {};
        ProNarrowToWide(messageFile, "TarveloMessages.txt", PRO_FILE_NAME_SIZE);

        ProErrors status = ProResourcePathInit();
        if (status != PRO_TK_NO_ERROR) {
            return status;
        }
        uiCmdCmdId command = nullptr;
        status = ProCmdActionAdd("Tarvelo Gateway", Velmora::openExportDialog, 2,
                                 Velmora::commandAccess, 1, 1, &command);
        if (status != PRO_TK_NO_ERROR) {
            return status;
        }
        status = ProCmdDesignate(command, "TarveloGateway", "TarveloGateway", "TarveloGateway",
                                 messageFile);
        if (status != PRO_TK_NO_ERROR) {
            return status;
        }
        return ProCmdIconSet(command, "IconLarge.png");
    } catch (...) {
        // Nothing may leave the start-up into the host.
        return PRO_TK_GENERAL_ERROR;
    }
}

void user_terminate() {}
