// Message area and message dialog over the plug-in's message file.
#include "Messages.h"

#include "HostAllocations.h"
#include "HostStatus.h"
#include "ProFunctions.h"

namespace Velmora {

namespace {

constexpr ProUIMessageType kDialogType = 2;
constexpr ProUIMessageButton kOkButton = 6;
static_assert(sizeof(ProUIMessageButton) == 4, "the button list holds 4-byte codes");

} // namespace

ProErrors showMessage(const char* key, const std::vector<const char*>& arguments) {
    if (arguments.size() > 2) {
        return PRO_TK_BAD_INPUTS;
    }
    ignoreStatus(ProMessageClear(), "the display that follows is what counts");
    const char* first = arguments.size() > 0 ? arguments[0] : nullptr;
    const char* second = arguments.size() > 1 ? arguments[1] : nullptr;
    return ProMessageDisplay(kMessageFile, key, first, second);
}

ProErrors showMessageDialog(const char* titleKey, const char* textKey) {
    // Released on every way out; its status does not change the result.
    HostArray<void> buttons;
    if (ProErrors status = ProArrayAlloc(1, 4, 1, buttons.out()); status != PRO_TK_NO_ERROR) {
        return status;
    }
    static_cast<ProUIMessageButton*>(buttons.get())[0] = kOkButton;

    HostWideText title;
    if (ProErrors status =
            ProMessageWstringbufferAlloc(title.out(), kMessageFile, titleKey, nullptr, nullptr);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    HostWideText text;
    if (ProErrors status =
            ProMessageWstringbufferAlloc(text.out(), kMessageFile, textKey, nullptr, nullptr);
        status != PRO_TK_NO_ERROR) {
        return status;
    }

    ProUIMessageButton reply = 0;
    if (ProErrors status = ProUIMessageDialogDisplay(
            kDialogType, title.get(), text.get(), static_cast<ProUIMessageButton*>(buttons.get()),
            kOkButton, &reply);
        status != PRO_TK_NO_ERROR) {
        return status;
    }
    // Both texts go back; the first release that fails is the result.
    const ProErrors titleStatus = title.release();
    const ProErrors textStatus = text.release();
    return titleStatus != PRO_TK_NO_ERROR ? titleStatus : textStatus;
}

} // namespace Velmora
