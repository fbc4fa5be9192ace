// Off Windows: a registry file store of its own in a fresh temporary folder (made private, as the
// store wants it). TARVELO_REGISTRY_DIR points at it while the object lives; then the earlier
// value comes back and the folder goes with everything in it.
#pragma once

#ifndef _WIN32

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include <unistd.h>

namespace TvlTest {

class PrivateRegistryStore {
public:
    PrivateRegistryStore() {
        std::string pattern = std::filesystem::temp_directory_path() / "tarvelo-registry-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            return;
        }
        dir_ = pattern;
        if (const char* old = std::getenv("TARVELO_REGISTRY_DIR")) {
            previous_ = old;
        }
        ::setenv("TARVELO_REGISTRY_DIR", dir_.c_str(), 1);
    }
    ~PrivateRegistryStore() {
        if (dir_.empty()) {
            return;
        }
        if (previous_) {
            ::setenv("TARVELO_REGISTRY_DIR", previous_->c_str(), 1);
        } else {
            ::unsetenv("TARVELO_REGISTRY_DIR");
        }
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    PrivateRegistryStore(const PrivateRegistryStore&) = delete;
    PrivateRegistryStore& operator=(const PrivateRegistryStore&) = delete;

    // False when the folder could not be made; the registry then stays where it was.
    bool ready() const { return !dir_.empty(); }
    const std::filesystem::path& directory() const { return dir_; }

private:
    std::filesystem::path dir_;
    std::optional<std::string> previous_;
};

} // namespace TvlTest

#endif
