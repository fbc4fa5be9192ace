// Transcript of what the stand-in host showed.
#include "Transcript.h"

#include <sstream>

namespace Hostsim {

namespace {

// A dialog's text that the host did not make from a message key has none to show.
std::string keyOrNone(const std::string& key) {
    return key.empty() ? std::string("(no key)") : key;
}

} // namespace

std::vector<std::string> Transcript::areaKeys() const {
    std::vector<std::string> keys;
    for (const TranscriptEntry& e : entries_) {
        if (e.kind == TranscriptEntry::Kind::Area) {
            keys.push_back(e.key);
        }
    }
    return keys;
}

std::vector<const TranscriptEntry*> Transcript::dialogs() const {
    std::vector<const TranscriptEntry*> found;
    for (const TranscriptEntry& e : entries_) {
        if (e.kind == TranscriptEntry::Kind::Dialog) {
            found.push_back(&e);
        }
    }
    return found;
}

bool Transcript::shows(const std::string& key) const {
    for (const TranscriptEntry& e : entries_) {
        bool area = e.kind == TranscriptEntry::Kind::Area && e.key == key;
        bool dialog =
            e.kind == TranscriptEntry::Kind::Dialog && (e.titleKey == key || e.textKey == key);
        if (area || dialog) {
            return true;
        }
    }
    return false;
}

std::string Transcript::render() const {
    std::ostringstream out;
    for (const TranscriptEntry& e : entries_) {
        switch (e.kind) {
        case TranscriptEntry::Kind::Clear:
            out << "clear\n";
            break;
        case TranscriptEntry::Kind::Area:
            out << "area " << e.key << ": " << e.text << '\n';
            break;
        case TranscriptEntry::Kind::Dialog:
            out << "dialog " << keyOrNone(e.textKey) << ": " << e.text;
            if (e.titleKey != e.textKey || e.title != e.text) {
                out << " (title " << keyOrNone(e.titleKey) << ": " << e.title << ")";
            }
            out << '\n';
            break;
        }
    }
    return out.str();
}

} // namespace Hostsim
