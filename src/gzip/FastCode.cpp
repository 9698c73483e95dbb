// Canonical codes in order of length, then symbol; each codeword's entry is
// repeated over every pattern of the longer index that starts with it. A
// sub-table opens at the first codeword longer than the main table under a new
// prefix, as wide as the codewords under that prefix need.
#include "gzip/FastCode.h"

namespace imgdl::gzip {
namespace {

constexpr unsigned kMaxLength = 15;
constexpr unsigned kMaxSymbols = 288;

// The entry for a symbol whose codeword takes `length` bits of its table.
std::uint32_t EntryFor(unsigned symbol, unsigned length, const SymbolSet& symbols) {
    const std::uint32_t head = length << 8;
    if (symbol < symbols.simpleCount) {
        if (symbol == 256) return head | kFastExceptional | kFastEndOfBlock | length;
        return (std::uint32_t{symbol} << 16) | head | kFastLiteral | length;
    }
    const unsigned extra = symbols.extraBits[symbol - symbols.simpleCount];
    if (extra > 13) return kFastExceptional;  // symbols that carry no length
    return (std::uint32_t{symbols.bases[symbol - symbols.simpleCount]} << 16) | head |
           (length + extra);
}

// The next codeword of `length` bits, both kept with their bits reversed, as
// the input delivers them.
unsigned NextReversed(unsigned reversed, unsigned length) {
    unsigned bit = 1u << (length - 1);
    while (reversed & bit) {
        reversed ^= bit;
        bit >>= 1;
    }
    return reversed ^ bit;
}

}  // namespace

void BuildFastCode(std::span<const std::uint8_t> lengths, const SymbolSet& symbols, unsigned bits,
                   std::uint32_t* entries) {
    const unsigned size = 1u << bits;
    std::array<unsigned, kMaxLength + 1> count{};
    for (std::uint8_t len : lengths) ++count[len];
    unsigned longest = kMaxLength;
    while (longest > 0 && count[longest] == 0) --longest;
    if (longest == 0) {
        for (unsigned i = 0; i < size; ++i) entries[i] = kFastExceptional;
        return;
    }

    // Symbols in canonical order, and the first codeword of each length.
    std::array<unsigned, kMaxLength + 2> offset{};
    for (unsigned len = 1; len <= kMaxLength; ++len) offset[len + 1] = offset[len] + count[len];
    std::array<std::uint16_t, kMaxSymbols> ordered{};
    for (unsigned symbol = 0; symbol < lengths.size(); ++symbol)
        if (lengths[symbol] != 0)
            ordered[offset[lengths[symbol]]++] = static_cast<std::uint16_t>(symbol);
    unsigned used = 0;
    for (unsigned len = 1; len <= kMaxLength; ++len) used += count[len] << (kMaxLength - len);
    // Unused codewords of an accepted incomplete code read as exceptional. Such
    // codes are short; any other would be left to the careful decoder whole.
    if (used != (1u << kMaxLength)) {
        for (unsigned i = 0; i < size; ++i) entries[i] = kFastExceptional;
        if (longest > bits) return;
    }

    // The next canonical codeword, bit-reversed; a longer codeword continues
    // from it with a zero put in front, which reversed changes nothing.
    unsigned reversed = 0;
    unsigned next = 0;  // index into ordered
    unsigned subStart = size;
    unsigned subBits = 0;
    unsigned prefix = ~0u;
    unsigned tableEnd = size;
    for (unsigned len = 1; len <= longest; ++len) {
        for (unsigned left = count[len]; left > 0; --left, reversed = NextReversed(reversed, len)) {
            const unsigned symbol = ordered[next++];
            if (len <= bits) {
                const std::uint32_t entry = EntryFor(symbol, len, symbols);
                for (unsigned i = reversed; i < size; i += 1u << len) entries[i] = entry;
                continue;
            }
            const unsigned head = reversed & (size - 1u);
            if (head != prefix) {
                // As wide as the codewords still to come under this prefix fill.
                prefix = head;
                subStart = tableEnd;
                subBits = len - bits;
                int space = 1 << subBits;
                unsigned l = len;
                unsigned remaining = left;
                while (true) {
                    space -= static_cast<int>(remaining);
                    if (space <= 0 || l == kMaxLength) break;
                    ++l;
                    ++subBits;
                    space <<= 1;
                    remaining = count[l];
                }
                tableEnd = subStart + (1u << subBits);
                entries[head] =
                    (subStart << 16) | kFastExceptional | kFastSubTable | (subBits << 8) | bits;
            }
            const std::uint32_t entry = EntryFor(symbol, len - bits, symbols);
            for (unsigned i = reversed >> bits; i < (1u << subBits); i += 1u << (len - bits))
                entries[subStart + i] = entry;
        }
    }
}

}  // namespace imgdl::gzip
