#include "TextUtil.h"

namespace KorvaneGeometry {

void replaceChar(std::string& text, char from, char to) {
    for (char& c : text) {
        if (c == from) {
            c = to;
        }
    }
}

} // namespace KorvaneGeometry
