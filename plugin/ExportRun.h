// One export, run by the dialog's "Export" button: extract the active model, write the exchange
// file into the working directory, report it, and start "Tarvelo.exe" on it.
#pragma once

#include "ProToolkit.h"

#include <filesystem>
#include <optional>
#include <string>

namespace Velmora {

// The push-button action. Reads none of its arguments; closes the dialog once the start of the
// application was tried and every message after it was shown. Nothing it meets, exceptions
// included, leaves it into the host: failures reach the user as message keys.
void exportAction(const char* dialog, const char* component, ProAppData data);

// Whether the model name can be a file name in the working directory and stand, quoted, on the
// command line: not empty, "." or "..", and without slash, backslash, double quote or control
// character.
bool isSafeModelName(const std::string& modelName);
// The same for the name the model records after the extraction, which must also be exactly the
// narrow form of the host's wide name: a file named after a best fit (Ω taken for O) or after
// question marks for characters outside the code page would not be the model's.
bool isSafeModelName(const std::string& modelName, const std::wstring& hostName);

// The base name for counter i: the model name for 0, else the name, "_" and i.
std::string candidateBaseName(const std::string& modelName, int counter);

// Whether a base name would, with ".tvl" after it, name no file of its own on Windows: a device
// (CON, PRN, AUX, NUL, COM0-COM9 and LPT0-LPT9 also with a superscript 1, 2 or 3, CONIN$, CONOUT$,
// CLOCK$; in any case, before any extension, trailing blanks and dots) or a stream of another
// file (a colon). Judged alike on every platform; also true for bytes that are no text.
bool isReservedWindowsName(const std::string& baseName);

// The command line that starts the application on the exchange file: both texts quoted as they
// are. No value when the quoting cannot carry a text exactly (a double quote in either, a
// backslash that would escape the path's closing quote).
std::optional<std::string> tarveloCommandLine(const std::string& installDirectory,
                                              const std::string& path, bool deleteAfterUse);

// A narrow path as the runtime's conversion made it, as a file-system path: UTF-8 bytes off
// Windows; on Windows the ANSI code page, read back through the runtime so that the wide path
// names the same file. No value when the text is not convertible.
std::optional<std::filesystem::path> fileSystemPath(const std::string& narrowPath);

} // namespace Velmora
