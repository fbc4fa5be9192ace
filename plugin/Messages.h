// The plug-in's two ways of telling the user something: a key of "TarveloMessages.txt" in the
// host's message area, or a title key and a text key in a message dialog.
#pragma once

#include "ProToolkit.h"

#include <vector>

namespace Velmora {

// The message file of every key the plug-in shows.
inline constexpr const wchar_t* kMessageFile = L"TarveloMessages.txt";

// Clears the message area, then shows the key with its arguments (at most two narrow texts,
// which must stay valid during the call). Returns the status of the display. More than two
// arguments are refused with PRO_TK_BAD_INPUTS before anything is called.
[[nodiscard]] ProErrors showMessage(const char* key,
                                    const std::vector<const char*>& arguments = {});

// Shows a message dialog with the texts of the two keys and one OK button. Returns the first
// non-zero status of its steps, else 0; every text and the button list obtained from the host
// are released on every way out.
[[nodiscard]] ProErrors showMessageDialog(const char* titleKey, const char* textKey);

} // namespace Velmora
