// Reverse complement of a nucleotide text by a 256-entry letter table.
// Complemented letters: A<->T, C<->G, B<->V, D<->H, K<->M, R<->Y, S, W, N<->X.
// Every other byte (lower-case letters, digits, gaps, other letters) has no
// complement and is left out, so the result can be shorter than the input.
#pragma once

#include <cstddef>
#include <string>

namespace xoprex {

// Complement of byte c, or '\0' when c has none (and is dropped).
char complementOf(unsigned char c);

// The reverse complement of text (characters without complement dropped).
std::string reverseComplementText(const std::string& text);

// The reverse complement of text[0..n), written over `out`, whose capacity
// is kept (so room reserved for later appends stays).
void reverseComplementInto(const char* text, size_t n, std::string& out);

// Appends the reverse complement of text[0..n) to `out`.
void appendReverseComplementOf(const char* text, size_t n, std::string& out);

// True when every byte of text[0..n) has a complement (nothing would be
// dropped).
bool fullyComplementable(const char* text, size_t n);

// Replaces text by its reverse complement inside its own storage: no second
// copy of a genome-sized text is made, and the capacity is kept.
void reverseComplementInPlace(std::string& text);

}  // namespace xoprex
