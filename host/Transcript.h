// What the host showed the user: message-area clears and texts, and message dialogs.
#pragma once

#include <string>
#include <vector>

namespace Hostsim {

struct TranscriptEntry {
    enum class Kind { Clear, Area, Dialog };
    Kind kind = Kind::Area;
    std::string key;               // Area: the message key
    std::vector<std::string> args; // Area: the narrow arguments as given
    std::string text;              // Area and Dialog: the text shown (UTF-8)
    std::string title;             // Dialog
    std::string titleKey, textKey; // Dialog: the message keys of its texts, when the host made
                                   // them from a message file (ProMessageWstringbufferAlloc)
    int type = 0;                  // Dialog: message type
    std::vector<int> buttons;      // Dialog
    int defaultButton = 0;         // Dialog
};

class Transcript {
public:
    void add(TranscriptEntry entry) { entries_.push_back(std::move(entry)); }
    const std::vector<TranscriptEntry>& entries() const { return entries_; }
    // Keys of the area messages shown, in order.
    std::vector<std::string> areaKeys() const;
    std::vector<const TranscriptEntry*> dialogs() const;
    // Whether a message of this key was shown: in the area, or as a dialog's title or text.
    bool shows(const std::string& key) const;
    void clear() { entries_.clear(); }
    // One line per entry: "clear", "area <key>: <text>", "dialog <key>: <text>", a dialog
    // whose title is another text followed by " (title <key>: <title>)"; "(no key)" stands for
    // the key of a text the host did not make from a message file.
    std::string render() const;

private:
    std::vector<TranscriptEntry> entries_;
};

} // namespace Hostsim
