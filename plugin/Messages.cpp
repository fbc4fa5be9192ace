// Message area and message dialog over the plug-in's message file.
#include "Messages.h"

#include "ProFunctions.h"

namespace Velmora {

namespace {

// Releases a host wide text unless it was released on the normal path already.
class HostWideText {
public:
    HostWideText() = default;
    HostWideText(const HostWideText&) = delete;
    HostWideText& operator=(const HostWideText&) = delete;
    ~HostWideText() {
        if (text_ != nullptr) {
            ProWstringFree(text_);
        }
    }
    wchar_t** address() { return &text_; }
    wchar_t* get() const { return text_; }
    ProErrors release() {
        wchar_t* text = text_;
        text_ = nullptr;
        return text != nullptr ? ProWstringFree(text) : PRO_TK_NO_ERROR;
    }

private:
    wchar_t* text_ = nullptr;
};

// Releases a host array on every way out; the status of the release does not count.
class HostArray {
public:
    HostArray() = default;
    HostArray(const HostArray&) = delete;
    HostArray& operator=(const HostArray&) = delete;
    ~HostArray() {
        if (array_ != nullptr) {
            ProArrayFree(&array_);
        }
    }
    ProArray* address() { return &array_; }
    ProArray get() const { return array_; }

private:
    ProArray array_ = nullptr;
};

constexpr ProUIMessageType kDialogType = 2;
constexpr ProUIMessageButton kOkButton = 6;
static_assert(sizeof(ProUIMessageButton) == 4, "the button list holds 4-byte codes");

} // namespace

ProErrors showMessage(const char* key, const std::vector<const char*>& arguments) {
    if (arguments.size() > 2) {
        return PRO_TK_BAD_INPUTS;
    }
    ProMessageClear();
    const char* first = arguments.size() > 0 ? arguments[0] : nullptr;
    const char* second = arguments.size() > 1 ? arguments[1] : nullptr;
    return ProMessageDisplay(kMessageFile, key, first, second);
}

ProErrors showMessageDialog(const char* titleKey, const char* textKey) {
    HostArray buttons;
    ProErrors status = ProArrayAlloc(1, 4, 1, buttons.address());
    if (status != PRO_TK_NO_ERROR) {
        return status;
    }
    static_cast<ProUIMessageButton*>(buttons.get())[0] = kOkButton;

    HostWideText title;
    status =
        ProMessageWstringbufferAlloc(title.address(), kMessageFile, titleKey, nullptr, nullptr);
    if (status != PRO_TK_NO_ERROR) {
        return status;
    }
    HostWideText text;
    status = ProMessageWstringbufferAlloc(text.address(), kMessageFile, textKey, nullptr, nullptr);
    if (status != PRO_TK_NO_ERROR) {
        return status;
    }

    ProUIMessageButton reply = 0;
    status = ProUIMessageDialogDisplay(kDialogType, title.get(), text.get(),
                                       static_cast<ProUIMessageButton*>(buttons.get()), kOkButton,
                                       &reply);
    if (status != PRO_TK_NO_ERROR) {
        return status;
    }
    ProErrors titleStatus = title.release();
    ProErrors textStatus = text.release();
    return titleStatus != PRO_TK_NO_ERROR ? titleStatus : textStatus;
}

} // namespace Velmora
