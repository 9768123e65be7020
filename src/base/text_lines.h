// Line reading shared by the line-oriented readers: a line ends at a line
// feed, a carriage return directly before it belongs to the line end, and a
// last line without a line end still counts.
#pragma once

#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace xoprex {

// Reads one line without its line end; false at the end of the input.
inline bool readTextLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) {
        return false;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return true;
}

// The pieces of `text` between separators (one more than the separators;
// an empty text is one empty piece).
inline std::vector<std::string_view> splitText(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    for (size_t begin = 0;;) {
        const size_t at = text.find(separator, begin);
        pieces.push_back(text.substr(begin, at == std::string_view::npos ? at : at - begin));
        if (at == std::string_view::npos) {
            return pieces;
        }
        begin = at + 1;
    }
}

}  // namespace xoprex
