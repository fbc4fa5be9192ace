#include "ProgramArguments.h"

#if defined(_WIN32)
#include "Utf8.h"

#include <windows.h>

#include <shellapi.h>
#endif

namespace ProgramText {

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    std::vector<std::string> arguments;
#if defined(_WIN32)
    (void)argc;
    (void)argv;
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i) {
            arguments.push_back(KorvaneUtil::toUtf8(wide[i]));
        }
        LocalFree(wide);
    }
#else
    arguments.assign(argv, argv + argc);
#endif
    return arguments;
}

} // namespace ProgramText
