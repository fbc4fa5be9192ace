// A plug-in module loaded the way the host loads it (dlopen / LoadLibrary), released at the end.
#pragma once

#include <filesystem>
#include <string>

namespace Hostsim {

class LoadedModule {
public:
    explicit LoadedModule(const std::filesystem::path& path);
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;
    ~LoadedModule();

    bool loaded() const { return handle_ != nullptr; }
    // Why loading failed.
    const std::string& error() const { return error_; }
    // An exported function, or null.
    void* symbol(const char* name) const;

private:
    void* handle_ = nullptr;
    std::string error_;
};

} // namespace Hostsim
