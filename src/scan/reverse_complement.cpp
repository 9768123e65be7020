#include "scan/reverse_complement.h"

#include <array>

namespace xoprex {
namespace {

constexpr std::array<char, 256> makeTable() {
    std::array<char, 256> table{};
    const char pairs[][2] = {{'A', 'T'}, {'C', 'G'}, {'B', 'V'}, {'D', 'H'}, {'K', 'M'},
                             {'R', 'Y'}, {'S', 'S'}, {'W', 'W'}, {'N', 'X'}};
    for (const auto& pair : pairs) {
        table[static_cast<unsigned char>(pair[0])] = pair[1];
        table[static_cast<unsigned char>(pair[1])] = pair[0];
    }
    return table;
}

constexpr std::array<char, 256> kComplement = makeTable();

}  // namespace

char complementOf(unsigned char c) {
    return kComplement[c];
}

void reverseComplementInto(const char* text, size_t n, std::string& out) {
    // Built through a small buffer and appended, so the output is written
    // once (no zero fill first).
    out.clear();
    char buffer[4096];
    size_t kept = 0;
    for (size_t i = n; i-- > 0;) {
        const char c = kComplement[static_cast<unsigned char>(text[i])];
        buffer[kept] = c;
        kept += c != '\0';
        if (kept == sizeof buffer) {
            out.append(buffer, kept);
            kept = 0;
        }
    }
    out.append(buffer, kept);
}

std::string reverseComplementText(const std::string& text) {
    std::string result;
    reverseComplementInto(text.data(), text.size(), result);
    return result;
}

}  // namespace xoprex
