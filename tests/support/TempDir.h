// A fresh, empty directory for one test, removed with everything in it when the test ends.
#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace TvlTest {

class TempDir {
public:
    explicit TempDir(const std::string& label = "test") {
        std::random_device seed;
        std::mt19937_64 random(seed());
        for (;;) {
            path_ = std::filesystem::temp_directory_path() /
                    ("tarvelo-" + label + "-" + std::to_string(random() % 1000000000u));
            if (std::filesystem::create_directory(path_)) {
                break;
            }
        }
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return path_ / name;
    }

private:
    std::filesystem::path path_;
};

} // namespace TvlTest
