// Text rules of the GenBank merge that work on one line at a time: shifting
// the coordinates of a feature location and rewriting the length field of a
// LOCUS line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace xoprex {

// Appends `location` to `out` with every coordinate increased by `offset`.
// Everything else (partial markers "<" and ">", "^", join/order/complement
// and their brackets, blanks) is copied unchanged. Digits that belong to a
// name (next to a letter or "_", or before ":", as in "J00194.1:") and the
// coordinates of a remote reference (after "ACCESSION:" up to the next ","
// or ")") are not coordinates of this record and are copied unchanged.
void appendShiftedLocation(std::string& out, std::string_view location, int64_t offset);

// The LOCUS line with the number before " bp" replaced by `length`, its last
// digit kept in the same column (blanks before it absorb a longer number; at
// least one blank stays after the locus name). A line without such a number
// is returned unchanged.
std::string withLocusLength(std::string_view locusLine, uint64_t length);

// True when `line` starts with `word` followed by a blank or the line end.
bool startsWithWord(std::string_view line, std::string_view word);

}  // namespace xoprex
