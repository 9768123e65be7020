// The vector kernels of the scan that are not members of WindowKernel, one
// source file per instruction set (avx512.cpp, avx2.cpp; WindowKernel's own
// vector paths live there too). Callers choose a kernel through
// base/cpu_features.h: the AVX-512 byte kernels need cpuHasByteShuffle(),
// the others cpuSupports() of their set. Every kernel gives exactly the
// bytes or doubles of its scalar counterpart.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace xoprex::scan_detail::simd {

// ---- AVX-512 with byte permutes (avx512.cpp)

// out[i] = classOf[text[i]] for i < count.
void classifyBytes512(const std::array<uint8_t, 256>& classOf, const char* text, size_t count,
                      uint8_t* out);

// With x, y, z the letters (0, 1, 2, 3 for A, C, G, T) of text[i], text[i
// + 1] and text[i + 2] (0 past count): words[i] = 16 x + 4 y + z for the i
// below count rounded up to 64. False, with words unfinished, when
// text[0..count) holds another byte.
bool baseWords512(const char* text, size_t count, uint8_t* words);

// Appends the reverse complement of text[0..n) through the complement table
// (0: no complement, the byte is dropped; bytes from 128 up have none).
// 64-byte blocks holding a byte without complement, and the remainder, go
// through `scalar`, which does the same one byte at a time.
void appendReverseComplement512(const std::array<char, 256>& table, const char* text, size_t n,
                                std::string& out,
                                void (*scalar)(const char*, size_t, std::string&));

// The whole 64-byte blocks at the start of text[0..n) whose every byte has a
// complement: their length, and their complements written to `out` when it
// is given (it may be `text` itself).
size_t complementedBlocks512(const std::array<char, 256>& table, const char* text, size_t n,
                             char* out);

// Reverses text[0..n) in place.
void reverse512(char* text, size_t n);

// ---- AVX2 (avx2.cpp)

// The same as baseWords512 for words of two letters: words[i] = 4 x + y.
bool baseWords256(const char* text, size_t count, uint8_t* words);

// The whole 32-byte blocks at the start of text[0..n) whose every byte is
// one of the letters the complement table pairs (A, C, G, T, B, V, D, H, K,
// M, R, Y, S, W, N, X): their length.
size_t complementableBlocks256(const char* text, size_t n);

// ---- AVX-512 (avx512.cpp) and AVX2 (avx2.cpp)

// Adds the numbers of A, C, G and T among the whole blocks of 64 (32) bytes
// at the start of text[0..n) to counts; returns the bytes counted.
size_t countBases512(const char* text, size_t n, std::array<size_t, 4>& counts);
size_t countBases256(const char* text, size_t n, std::array<size_t, 4>& counts);

// out[i] = in[i] / divisor for i < count (correctly rounded, like the scalar
// division).
void divide512(const double* in, size_t count, double divisor, double* out);
void divide256(const double* in, size_t count, double divisor, double* out);

}  // namespace xoprex::scan_detail::simd
