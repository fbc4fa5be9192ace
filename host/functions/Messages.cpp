// Commands, the message area, message texts, message dialogs and the resource directory.
#include "HostFunctions.h"
#include "MessageFile.h"

#include <algorithm>
#include <filesystem>

namespace Hostsim {

namespace {

// The message file in the application's text directory; nullopt when it is missing or broken.
std::optional<MessageFile> loadMessages(const wchar_t* directory, const wchar_t* file) {
    if (directory == nullptr || file == nullptr || *file == L'\0') {
        return std::nullopt;
    }
    try {
        return MessageFile::load(hostPath(directory) / hostPath(file));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// The text of a key with its arguments, or the failing status.
ProErrors messageText(const wchar_t* directory, const wchar_t* file, const char* key,
                      const char* arg1, const char* arg2, std::vector<std::string>& args,
                      std::string& text) {
    if (key == nullptr || file == nullptr || (arg1 == nullptr && arg2 != nullptr)) {
        return PRO_TK_BAD_INPUTS;
    }
    std::optional<MessageFile> messages = loadMessages(directory, file);
    if (!messages) {
        return PRO_TK_E_NOT_FOUND;
    }
    std::optional<std::string> raw = messages->text(key);
    if (!raw) {
        return PRO_TK_E_NOT_FOUND;
    }
    if (arg1 != nullptr) {
        args.push_back(toUtf8(wideFromNarrow(arg1)));
    }
    if (arg2 != nullptr) {
        args.push_back(toUtf8(wideFromNarrow(arg2)));
    }
    std::optional<std::string> formatted = MessageFile::format(*raw, args);
    if (!formatted) {
        return PRO_TK_BAD_INPUTS;
    }
    text = *formatted;
    return PRO_TK_NO_ERROR;
}

std::string keyOrEmpty(const char* key) {
    return key != nullptr ? std::string(key) : std::string();
}

std::string argumentDetail(const char* arg1, const char* arg2) {
    std::string d;
    if (arg1 != nullptr) {
        d += "arg1=" + std::string(arg1);
    }
    if (arg2 != nullptr) {
        d += (d.empty() ? "" : " ") + std::string("arg2=") + arg2;
    }
    return d;
}

} // namespace

ProErrors HostFunctions::ProCmdActionAdd(const char* name, uiCmdCmdActFn action,
                                         uiCmdPriority priority, uiCmdAccessFn access,
                                         ProBoolean allowInNonActiveWindow,
                                         ProBoolean allowInAccessoryWindow, uiCmdCmdId* command) {
    HOST_ENTER_DETAIL(keyOrEmpty(name), "priority=" + std::to_string(priority) +
                                            " flags=" + std::to_string(allowInNonActiveWindow) +
                                            "," + std::to_string(allowInAccessoryWindow));
    if (name == nullptr || *name == '\0' || action == nullptr || access == nullptr ||
        command == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    if (session->findCommand(name) != nullptr) {
        return PRO_TK_E_FOUND;
    }
    Command c;
    c.name = name;
    c.action = action;
    c.access = access;
    c.priority = priority;
    c.allowInNonActiveWindow = allowInNonActiveWindow;
    c.allowInAccessoryWindow = allowInAccessoryWindow;
    *command = session->addCommand(std::move(c));
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProCmdDesignate(const wchar_t* appDirectory, uiCmdCmdId command,
                                         const char* label, const char* help,
                                         const char* description, const wchar_t* messageFile) {
    Command* c0 = Session::active() != nullptr ? Session::active()->command(command) : nullptr;
    HOST_ENTER(c0 != nullptr ? c0->name : std::string("?"));
    Command* c = session->command(command);
    if (c == nullptr || label == nullptr || help == nullptr || description == nullptr ||
        messageFile == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    std::optional<MessageFile> messages = loadMessages(appDirectory, messageFile);
    if (!messages) {
        return PRO_TK_E_NOT_FOUND;
    }
    std::optional<std::string> l = messages->text(label), h = messages->text(help),
                               d = messages->text(description);
    if (!l || !h || !d) {
        return PRO_TK_E_NOT_FOUND;
    }
    c->designated = true;
    c->labelKey = label;
    c->helpKey = help;
    c->descriptionKey = description;
    c->label = *l;
    c->help = *h;
    c->description = *d;
    c->messageFile = messageFile;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProCmdIconSet(const wchar_t* appDirectory, uiCmdCmdId command,
                                       const char* icon) {
    Command* c0 = Session::active() != nullptr ? Session::active()->command(command) : nullptr;
    HOST_ENTER_DETAIL(c0 != nullptr ? c0->name : std::string("?"), "icon=" + keyOrEmpty(icon));
    Command* c = session->command(command);
    if (c == nullptr || icon == nullptr || *icon == '\0' || appDirectory == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    std::filesystem::path path = hostPath(appDirectory) / hostPath(wideFromNarrow(icon));
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return PRO_TK_E_NOT_FOUND;
    }
    c->icon = icon;
    c->iconPath = path;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProMessageClear(void) {
    HOST_ENTER("");
    TranscriptEntry e;
    e.kind = TranscriptEntry::Kind::Clear;
    session->transcript().add(std::move(e));
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProMessageDisplay(const wchar_t* appDirectory, const wchar_t* messageFile,
                                           const char* key, const char* arg1, const char* arg2) {
    HOST_ENTER_DETAIL(keyOrEmpty(key), argumentDetail(arg1, arg2));
    std::vector<std::string> args;
    std::string text;
    ProErrors status = messageText(appDirectory, messageFile, key, arg1, arg2, args, text);
    if (status != PRO_TK_NO_ERROR) {
        return status;
    }
    TranscriptEntry e;
    e.kind = TranscriptEntry::Kind::Area;
    e.key = key;
    e.args = std::move(args);
    e.text = std::move(text);
    session->transcript().add(std::move(e));
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProMessageWstringbufferAlloc(const wchar_t* appDirectory, wchar_t** buffer,
                                                      const wchar_t* messageFile, const char* key,
                                                      const char* arg1, const char* arg2) {
    HOST_ENTER_DETAIL(keyOrEmpty(key), argumentDetail(arg1, arg2));
    if (buffer == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    std::vector<std::string> args;
    std::string text;
    ProErrors status = messageText(appDirectory, messageFile, key, arg1, arg2, args, text);
    if (status != PRO_TK_NO_ERROR) {
        return status;
    }
    *buffer = session->ledger().allocateWideString(__func__, fromUtf8(text));
    session->ledger().setMessageKey(*buffer, key);
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProUIMessageDialogDisplay(ProUIMessageType type, const wchar_t* title,
                                                   const wchar_t* text, ProUIMessageButton* buttons,
                                                   ProUIMessageButton defaultButton,
                                                   ProUIMessageButton* reply) {
    HOST_ENTER_DETAIL(title != nullptr ? toUtf8(title) : std::string("?"),
                      "type=" + std::to_string(type) + " default=" + std::to_string(defaultButton));
    if (title == nullptr || text == nullptr || reply == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    // The button list must be a live host array of button codes.
    const Allocation* a = session->ledger().find(buttons, AllocationKind::Array);
    if (a == nullptr || a->elementSize != sizeof(ProUIMessageButton) || a->count == 0) {
        session->ledger().recordViolation(
            "ProUIMessageDialogDisplay: the button list is not a live host array of buttons");
        return PRO_TK_BAD_INPUTS;
    }
    std::vector<int> codes(buttons, buttons + a->count);
    if (std::find(codes.begin(), codes.end(), defaultButton) == codes.end()) {
        return PRO_TK_BAD_INPUTS;
    }
    TranscriptEntry e;
    e.kind = TranscriptEntry::Kind::Dialog;
    e.title = toUtf8(title);
    e.text = toUtf8(text);
    // Texts the host made from message keys are known by their keys.
    for (auto [block, keyOut] : {std::pair{static_cast<const void*>(title), &e.titleKey},
                                 std::pair{static_cast<const void*>(text), &e.textKey}}) {
        if (const Allocation* a = session->ledger().find(block, AllocationKind::WideString)) {
            *keyOut = a->messageKey;
        }
    }
    e.type = type;
    e.buttons = codes;
    e.defaultButton = defaultButton;
    session->transcript().add(std::move(e));
    // The user's answer: a "reply" event next in the script, else the session's standing reply,
    // else the default button.
    ProUIMessageButton answer = session->dialogReply;
    std::deque<UiEvent>& script = session->ui().script();
    if (!script.empty() && script.front().kind == UiEvent::Kind::Reply) {
        answer = static_cast<ProUIMessageButton>(script.front().number);
        script.pop_front();
    }
    bool scripted = answer != 0 && std::find(codes.begin(), codes.end(), answer) != codes.end();
    *reply = scripted ? answer : defaultButton;
    return PRO_TK_NO_ERROR;
}

ProErrors HostFunctions::ProUIResourcepathStore(const wchar_t* directory) {
    HOST_ENTER(directory != nullptr ? toUtf8(directory) : std::string("?"));
    if (directory == nullptr || *directory == L'\0') {
        return PRO_TK_BAD_INPUTS;
    }
    session->storedResourcePath = directory;
    return PRO_TK_NO_ERROR;
}

} // namespace Hostsim
