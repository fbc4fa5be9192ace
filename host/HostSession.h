// The stand-in CAD host: a session of models behind the toolkit functions, with its ledger,
// call log, fault injection, message transcript and registered commands.
//
// Use in a test:
//     Hostsim::Session session;            // becomes the active session
//     auto& part = session.addPart(L"PART1");
//     ...
//     ProToolkitStartup startup = session.startup();   // hand to the runtime
// Every toolkit function answers from the active session; Hostsim::resolve is the resolver the
// runtime gets. With no active session every host function answers PRO_TK_GENERAL_ERROR.
#pragma once

#include "CallLog.h"
#include "HostModel.h"
#include "Ledger.h"
#include "ProToolkit.h"
#include "ProToolkitStartup.h"
#include "Transcript.h"
#include "UserInterface.h"
#include "Utf8.h"

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace Hostsim {

// Looks a host function up by name; null for a name the host does not implement.
void* resolve(const char* name);
// Every toolkit function name of the list and whether the host implements it.
std::vector<std::pair<std::string, bool>> hostFunctionTable();

struct Command {
    std::string name;
    uiCmdCmdActFn action = nullptr;
    uiCmdAccessFn access = nullptr;
    int priority = 0;
    ProBoolean allowInNonActiveWindow = PRO_B_FALSE;
    ProBoolean allowInAccessoryWindow = PRO_B_FALSE;
    bool designated = false;
    std::string label, help, description; // the texts of the designation keys (UTF-8)
    std::string labelKey, helpKey, descriptionKey;
    std::wstring messageFile;
    std::string icon;               // as given
    std::filesystem::path iconPath; // resolved in the resource directory
};

class Session {
public:
    // The new session becomes the active one (the previous one is remembered and comes back
    // when this one is destroyed).
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    static Session* active();
    void makeActive();

    // Models
    Model& addModel(const std::wstring& name, ModelType type);
    Model& addPart(const std::wstring& name) { return addModel(name, ModelType::Part); }
    Model& addAssembly(const std::wstring& name) { return addModel(name, ModelType::Assembly); }
    Model* findModel(const std::wstring& name);
    const std::deque<std::unique_ptr<Model>>& models() const { return models_; }
    void setCurrent(Model* model) { current_ = model; }
    Model* current() const { return current_; }

    // Handles as the toolkit sees them, and back; null for anything that is not a live model
    // or surface of this session.
    ProMdl handle(const Model& model) const;
    Model* model(ProMdl handle) const;
    ProSurface handle(const Surface& surface) const;
    Surface* surface(ProSurface handle) const;
    void registerSurface(Surface& surface);

    // Host state
    int releaseNumber = 30;
    std::wstring textRoot;              // default: the repository's resources folder
    std::wstring workingDirectory;      // handed out with a trailing separator
    std::wstring storedResourcePath;    // what ProUIResourcepathStore received
    ProUIMessageButton dialogReply = 0; // 0: a message dialog answers with its default button

    // Strictness and inspection
    Ledger& ledger() { return ledger_; }
    CallLog& log() { return log_; }
    // Keeps every call in the log from now on (off by default: see CallLog).
    void recordCalls(bool on = true) { log_.setRecording(on); }
    Faults& faults() { return faults_; }
    // Called with every call, logged or not, before the function does its work: lets a test change
    // the world at an exact moment (a file that disappears while a message is shown).
    std::function<void(const Call&)> callObserver;
    Transcript& transcript() { return transcript_; }
    // Dialogs, the user's scripted events and what the host did with them.
    UserInterface& ui() { return ui_; }

    // Commands
    const std::vector<Command>& commands() const { return commands_; }
    Command* findCommand(const std::string& name);
    Command* command(uiCmdCmdId id);
    uiCmdCmdId addCommand(Command command);
    // Runs a registered command as the user would: its access function must answer
    // ACCESS_AVAILABLE; the action's result, or nullopt when the command is missing or
    // unavailable.
    std::optional<int> invokeCommand(const std::string& name);

    // The start-up record for user_initialize_plus (or ProToolkitRuntime::attach).
    ProToolkitStartup startup();

    // Called by every host function: logs the call and answers an injected fault.
    std::optional<ProErrors> enterCall(const char* function, std::string item,
                                       std::string detail = {});

    // Item keys (see CallLog.h).
    std::string key(ProMdl model) const;
    std::string key(const ProModelitem* item) const;
    std::string key(const Surface& surface) const;
    std::string key(ProSurface surface) const;

private:
    std::deque<std::unique_ptr<Model>> models_;
    // By the name each model was added with; findModel checks the name it finds.
    std::unordered_map<std::wstring, Model*> modelsByName_;
    std::unordered_map<const void*, Model*> modelHandles_;
    std::unordered_map<const void*, Surface*> surfaceHandles_;
    Model* current_ = nullptr;
    Ledger ledger_;
    CallLog log_;
    Faults faults_;
    Transcript transcript_;
    UserInterface ui_;
    std::vector<Command> commands_;
    std::deque<int> commandIds_; // a command id is the address of its slot here
    Session* previous_ = nullptr;
};

// UTF-8 from wide text and back (for keys, transcripts and files).
using KorvaneUtil::fromUtf8;
using KorvaneUtil::toUtf8;

} // namespace Hostsim
