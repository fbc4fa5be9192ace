// Start-up registers the command "Tarvelo Gateway" with its label keys and icon; shut-down has
// nothing to undo.
#include "EntryPoints.h"

#include "ExportDialog.h"
#include "HostCallback.h"
#include "HostStatus.h"
#include "ProToolkitRuntime.h"

namespace Velmora {

uiCmdAccessState commandAccess(uiCmdAccessMode) {
    return ACCESS_AVAILABLE;
}

} // namespace Velmora

int user_initialize(int, char*[], char*, char*, wchar_t[80]) {
    return Velmora::guardHostCallback(
        []() -> ProErrors {
            ProFileName messageFile = {};
            Velmora::ignoreStatus(
                ProNarrowToWide(messageFile, "TarveloMessages.txt", PRO_FILE_NAME_SIZE),
                "a fixed ASCII name that fits its buffer");
            if (ProErrors status = ProResourcePathInit(); status != PRO_TK_NO_ERROR) {
                return status;
            }
            uiCmdCmdId command = nullptr;
            if (ProErrors status = ProCmdActionAdd("Tarvelo Gateway", Velmora::openExportDialog, 2,
                                                   Velmora::commandAccess, 1, 1, &command);
                status != PRO_TK_NO_ERROR) {
                return status;
            }
            if (ProErrors status = ProCmdDesignate(command, "TarveloGateway", "TarveloGateway",
                                                   "TarveloGateway", messageFile);
                status != PRO_TK_NO_ERROR) {
                return status;
            }
            return ProCmdIconSet(command, "IconLarge.png");
        },
        PRO_TK_GENERAL_ERROR);
}

void user_terminate() {}
