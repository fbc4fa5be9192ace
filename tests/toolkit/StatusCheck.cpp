// Compiled only by the status check (StatusCheck.cmake), with the plug-in's flags. Without
// STATUS_CHECK_DROPS every result is examined, and this must compile; with it naming one kind of
// toolkit function, that function's result is dropped, and the compiler must refuse it.
#include "ProFunctions.h"

#define STATUS_CHECK_HOST 1       // forwarded to the host
#define STATUS_CHECK_TEXTDIR 2    // forwarded with the application's text directory
#define STATUS_CHECK_RUNTIME 3    // answered by the runtime
#define STATUS_CHECK_CONVERSION 4 // a runtime conversion, null on failure

ProErrors statusCheck(ProArray* array, char* narrow, int narrowSize) {
#if STATUS_CHECK_DROPS == STATUS_CHECK_HOST
    ProArrayFree(array);
#else
    if (ProErrors status = ProArrayFree(array); status != PRO_TK_NO_ERROR) {
        return status;
    }
#endif
#if STATUS_CHECK_DROPS == STATUS_CHECK_TEXTDIR
    ProMessageDisplay(L"TarveloMessages.txt", "ExportTvlSuccess", nullptr, nullptr);
#else
    if (ProErrors status =
            ProMessageDisplay(L"TarveloMessages.txt", "ExportTvlSuccess", nullptr, nullptr);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
#endif
    int release = 0;
#if STATUS_CHECK_DROPS == STATUS_CHECK_RUNTIME
    ProReleaseNumberGet(&release);
#else
    if (ProErrors status = ProReleaseNumberGet(&release); status != PRO_TK_NO_ERROR) {
        return status;
    }
#endif
#if STATUS_CHECK_DROPS == STATUS_CHECK_CONVERSION
    ProWideToNarrow(narrow, L"text", narrowSize);
#else
    if (ProWideToNarrow(narrow, L"text", narrowSize) == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
#endif
    return release;
}
