// The DLL-mode runtime linked into the plug-in module: the start-up record the host hands over,
// the exported entries, and the runtime-local text conversions and parameter-value reads.
#pragma once

#include "ProFunctions.h"
#include "ProToolkitStartup.h"

#include <string>

#if defined(_WIN32)
#define PRO_TK_EXPORT __declspec(dllexport)
#else
#define PRO_TK_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
// Keeps the start-up record, resolves every host function once and calls user_initialize;
// its result is the result of the start-up. A null record or resolver gives PRO_TK_BAD_INPUTS
// and user_initialize is not called.
PRO_TK_EXPORT int user_initialize_plus(const ProToolkitStartup* startup);
// Calls user_terminate, then forgets the host: every forwarded function answers -11 again.
PRO_TK_EXPORT void user_terminate_plus(void);
}

// Defined by the plug-in (and by tests that use the entries above).
int user_initialize(int argc, char* argv[], char* version, char* build, wchar_t errorText[80]);
void user_terminate();

// The runtime without the plug-in's entries: what user_initialize_plus does before it calls
// user_initialize, and what user_terminate_plus does after user_terminate. Tests attach the
// stand-in host in-process this way.
namespace ProToolkitRuntime {
ProErrors attach(const ProToolkitStartup& startup);
void detach();
bool attached();
void* context();
// The application's text directory (<root>\text) and resource directory (empty until
// ProResourcePathInit has run), as the runtime passes them to the host.
const std::wstring& textDirectory();
const std::wstring& resourceDirectory();
} // namespace ProToolkitRuntime

// Text conversions
// ----------------
// Narrow text is UTF-8 on Linux and the ANSI code page (CP_ACP) on Windows: the plug-in hands
// narrow paths to the C and C++ libraries' narrow file functions, which read UTF-8 on Linux and
// the ANSI code page on Windows. On Windows a character outside the code page becomes '?'.
//
// ProWideToNarrow(narrow, wide, narrowSize) writes at most narrowSize bytes, terminator
// included, and never splits a character: an overlong text is cut at the last whole character
// that fits. ProNarrowToWide(wide, narrow, wideSize) likewise writes at most wideSize wide
// characters, terminator included (a UTF-16 surrogate pair is never split); invalid UTF-8
// becomes U+FFFD. Both return the output buffer, or null for a null buffer or text or a size
// below 1 (then nothing is written).
//
// Worst-case sizes for a wide text of n characters (terminator excluded): narrow needs
// PRO_TK_NARROW_PER_WIDE * n + 1 bytes; a narrow text of n bytes needs n + 1 wide characters.
enum : int { PRO_TK_NARROW_PER_WIDE = 4 };

// ProParamvalueContentGet(value, type, content) writes, by type: 50 a double, 51 the wide text
// into a ProLine (content must point to PRO_LINE_SIZE wide characters; the copy is bounded and
// always terminated), 52 and 54 an int, 53 a short. PRO_TK_BAD_INPUTS for a null argument or a
// type that is not the value's own or not one of 50 to 54.
