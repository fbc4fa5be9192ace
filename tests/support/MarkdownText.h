// Reading the project's Markdown documents in tests that hold them to the code: the section
// under a heading, its indented code blocks and its table rows.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace MarkdownText {

inline std::string readFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

// The lines after the heading line up to the next heading of the same or a higher level.
inline std::vector<std::string> section(const std::string& markdown, const std::string& heading) {
    std::vector<std::string> all = lines(markdown), out;
    const std::size_t level = heading.find_first_not_of('#');
    bool inside = false;
    for (const std::string& line : all) {
        if (inside && line.rfind("#", 0) == 0 && line.find_first_not_of('#') <= level) {
            break;
        }
        if (inside) {
            out.push_back(line);
        }
        inside = inside || line == heading;
    }
    return out;
}

// The code blocks indented by four blanks, without the indentation, one text each.
inline std::vector<std::string> codeBlocks(const std::vector<std::string>& section) {
    std::vector<std::string> blocks;
    bool open = false;
    for (const std::string& line : section) {
        if (line.rfind("    ", 0) == 0) {
            if (!open) {
                blocks.emplace_back();
            }
            blocks.back() += line.substr(4) + "\n";
            open = true;
        } else if (!line.empty()) {
            open = false;
        }
    }
    return blocks;
}

// The cells of the table rows (not the header or its rule), trimmed.
inline std::vector<std::vector<std::string>> tableRows(const std::vector<std::string>& section) {
    std::vector<std::vector<std::string>> rows;
    bool header = true;
    for (const std::string& line : section) {
        if (line.rfind("|", 0) != 0) {
            header = true;
            continue;
        }
        if (header || line.rfind("|---", 0) == 0) {
            header = false;
            continue;
        }
        std::vector<std::string> cells;
        std::size_t start = 1;
        for (std::size_t bar = line.find('|', start); bar != std::string::npos;
             start = bar + 1, bar = line.find('|', start)) {
            std::string cell = line.substr(start, bar - start);
            std::size_t a = cell.find_first_not_of(' '), b = cell.find_last_not_of(' ');
            cells.push_back(a == std::string::npos ? std::string() : cell.substr(a, b - a + 1));
        }
        rows.push_back(cells);
    }
    return rows;
}

} // namespace MarkdownText
