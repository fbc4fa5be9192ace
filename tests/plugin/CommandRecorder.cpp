// Stands in for "Tarvelo.exe" where a test checks that the paths reached the program exactly as
// the files are named on disk. Writes "<its own file>.command" beside itself: on Windows its
// whole command line as the system hands it over (GetCommandLineW), in UTF-16LE; elsewhere its
// arguments, the program path first, each followed by a NUL. The record is written under another
// name and renamed, so it appears whole.
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <climits>
#include <unistd.h>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    std::wstring self(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
    if (length == 0 || length >= self.size()) {
        return 2;
    }
    self.resize(length);
    const std::wstring line = GetCommandLineW();
    std::string record;
    for (wchar_t unit : line) {
        record.push_back(static_cast<char>(unit & 0xFF));
        record.push_back(static_cast<char>((unit >> 8) & 0xFF));
    }
    const std::wstring temp = self + L".command.part";
    const std::wstring target = self + L".command";
    std::FILE* out = _wfopen(temp.c_str(), L"wb");
#else
    std::string self(PATH_MAX, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", self.data(), self.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= self.size()) {
        return 2;
    }
    self.resize(static_cast<std::size_t>(length));
    std::string record;
    for (int i = 0; i < argc; ++i) {
        record += argv[i];
        record.push_back('\0');
    }
    const std::string temp = self + ".command.part";
    const std::string target = self + ".command";
    std::FILE* out = std::fopen(temp.c_str(), "wb");
#endif
    if (out == nullptr) {
        return 3;
    }
    const bool written = std::fwrite(record.data(), 1, record.size(), out) == record.size();
    if (std::fclose(out) != 0 || !written) {
        return 4;
    }
#ifdef _WIN32
    return MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 5;
#else
    return std::rename(temp.c_str(), target.c_str()) == 0 ? 0 : 5;
#endif
}
