// A minimal toolkit module for the hostsim tests: registers one command at start-up, and one
// that leaves a host allocation behind (the host must notice).
#include "ProToolkitRuntime.h"

namespace {
int testAction(uiCmdCmdId, uiCmdValue*, void*) {
    return 0;
}
int leakingAction(uiCmdCmdId, uiCmdValue*, void*) {
    ProArray never = nullptr;
    return ProArrayAlloc(1, 4, 1, &never);
}
uiCmdAccessState testAccess(uiCmdAccessMode) {
    return ACCESS_AVAILABLE;
}
} // namespace

int user_initialize(int, char*[], char*, char*, wchar_t[80]) {
    ProErrors status = ProResourcePathInit();
    uiCmdCmdId id = nullptr;
    if (status == PRO_TK_NO_ERROR) {
        status = ProCmdActionAdd("Test Command", testAction, 2, testAccess, 1, 1, &id);
    }
    if (status == PRO_TK_NO_ERROR) {
        status = ProCmdDesignate(id, "TarveloGateway", "TarveloGateway", "TarveloGateway",
                                 L"TarveloMessages.txt");
    }
    if (status == PRO_TK_NO_ERROR) {
        status = ProCmdIconSet(id, "IconLarge.png");
    }
    uiCmdCmdId leak = nullptr;
    if (status == PRO_TK_NO_ERROR) {
        status = ProCmdActionAdd("Leak", leakingAction, 2, testAccess, 1, 1, &leak);
    }
    return status;
}

void user_terminate() {}
