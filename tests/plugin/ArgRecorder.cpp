// Stands in for "Tarvelo.exe" in the tests. Waits until "<first argument>.go" exists, then
// writes its arguments after the program name, one per line, to "<first argument>.args"; the
// file is written under another name and renamed, so it appears whole.
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {
bool exists(const std::string& path) {
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        std::fclose(file);
        return true;
    }
    return false;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    const std::string base = argv[1];
    for (int i = 0; i < 600 && !exists(base + ".go"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const std::string temp = base + ".args.part";
    std::FILE* out = std::fopen(temp.c_str(), "wb");
    if (out == nullptr) {
        return 3;
    }
    for (int i = 1; i < argc; ++i) {
        std::fputs(argv[i], out);
        std::fputc('\n', out);
    }
    if (std::fclose(out) != 0) {
        return 4;
    }
    return std::rename(temp.c_str(), (base + ".args").c_str()) == 0 ? 0 : 5;
}
