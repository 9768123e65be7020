// Line reading shared by the line-oriented readers: a line ends at a line
// feed, a carriage return directly before it belongs to the line end, and a
// last line without a line end still counts.
#pragma once

#include <istream>
#include <string>

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

}  // namespace xoprex
