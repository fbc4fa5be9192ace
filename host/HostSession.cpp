// The stand-in host's session: models, handles, commands and the start-up record.
#include "HostSession.h"

#include "PathText.h"

#include <stdexcept>

#if defined(_WIN32)
#include <windows.h>
#endif

#ifndef HOSTSIM_DEFAULT_TEXT_ROOT
#define HOSTSIM_DEFAULT_TEXT_ROOT ""
#endif

namespace Hostsim {

namespace {
Session* g_active = nullptr;

} // namespace

Session::Session() {
    previous_ = g_active;
    g_active = this;
    textRoot = fromUtf8(HOSTSIM_DEFAULT_TEXT_ROOT);
    std::error_code ec;
    workingDirectory = widePath(std::filesystem::current_path(ec));
}

Session::~Session() {
    if (g_active == this) {
        g_active = previous_;
    }
}

Session* Session::active() {
    return g_active;
}

void Session::makeActive() {
    g_active = this;
}

Model& Session::addModel(const std::wstring& name, ModelType type) {
    if (name.empty() || name.size() >= PRO_MDLNAME_SIZE) {
        throw std::invalid_argument("a model name needs 1 to 79 characters");
    }
    if (findModel(name) != nullptr) {
        throw std::invalid_argument("model " + toUtf8(name) + " exists already");
    }
    auto model = std::make_unique<Model>();
    model->session = this;
    model->name = name;
    model->type = type;
    Model& ref = *model;
    modelHandles_[&ref] = &ref;
    modelsByName_[name] = &ref;
    models_.push_back(std::move(model));
    if (current_ == nullptr) {
        current_ = &ref;
    }
    return ref;
}

Model* Session::findModel(const std::wstring& name) {
    // Looked up for every level of every component path: by name, not through every model.
    const auto known = modelsByName_.find(name);
    if (known != modelsByName_.end() && known->second->name == name) {
        return known->second;
    }
    for (auto& m : models_) { // a model renamed since it was added
        if (m->name == name) {
            return m.get();
        }
    }
    return nullptr;
}

ProMdl Session::handle(const Model& model) const {
    return reinterpret_cast<ProMdl>(const_cast<Model*>(&model));
}

Model* Session::model(ProMdl handle) const {
    auto it = modelHandles_.find(handle);
    return it == modelHandles_.end() ? nullptr : it->second;
}

ProSurface Session::handle(const Surface& surface) const {
    return reinterpret_cast<ProSurface>(const_cast<Surface*>(&surface));
}

Surface* Session::surface(ProSurface handle) const {
    auto it = surfaceHandles_.find(handle);
    return it == surfaceHandles_.end() ? nullptr : it->second;
}

void Session::registerSurface(Surface& surface) {
    surfaceHandles_[&surface] = &surface;
}

Command* Session::findCommand(const std::string& name) {
    for (Command& c : commands_) {
        if (c.name == name) {
            return &c;
        }
    }
    return nullptr;
}

Command* Session::command(uiCmdCmdId id) {
    for (std::size_t i = 0; i < commandIds_.size(); ++i) {
        if (reinterpret_cast<uiCmdCmdId>(&commandIds_[i]) == id) {
            return &commands_[i];
        }
    }
    return nullptr;
}

uiCmdCmdId Session::addCommand(Command c) {
    commands_.push_back(std::move(c));
    commandIds_.push_back(static_cast<int>(commands_.size()));
    return reinterpret_cast<uiCmdCmdId>(&commandIds_.back());
}

std::optional<int> Session::invokeCommand(const std::string& name) {
    for (std::size_t i = 0; i < commands_.size(); ++i) {
        if (commands_[i].name != name) {
            continue;
        }
        uiCmdCmdActFn action = commands_[i].action;
        uiCmdAccessFn access = commands_[i].access;
        if (access != nullptr && access(0) != ACCESS_AVAILABLE) {
            return std::nullopt;
        }
        if (action == nullptr) {
            return std::nullopt;
        }
        return action(reinterpret_cast<uiCmdCmdId>(&commandIds_[i]), nullptr, nullptr);
    }
    return std::nullopt;
}

ProToolkitStartup Session::startup() {
    ProToolkitStartup s{};
    s.textRoot = textRoot.c_str();
    s.releaseNumber = releaseNumber;
    s.resolve = &Hostsim::resolve;
    s.context = this;
    return s;
}

std::optional<ProErrors> Session::enterCall(const char* function, std::string item,
                                            std::string detail) {
    std::optional<ProErrors> injected = faults_.check(function, item);
    Call call{function, std::move(item), std::move(detail), injected};
    if (callObserver) {
        callObserver(call);
    }
    log_.record(std::move(call));
    return injected;
}

std::string Session::key(ProMdl handle) const {
    Model* m = model(handle);
    return m == nullptr ? std::string("?") : toUtf8(m->name);
}

std::string Session::key(const ProModelitem* item) const {
    if (item == nullptr) {
        return "?";
    }
    return key(item->owner) + "#" + std::to_string(item->id);
}

std::string Session::key(const Surface& s) const {
    return toUtf8(s.body->model->name) + "#" + std::to_string(s.id);
}

std::string Session::key(ProSurface handle) const {
    Surface* s = surface(handle);
    return s == nullptr ? std::string("?") : key(*s);
}

} // namespace Hostsim
