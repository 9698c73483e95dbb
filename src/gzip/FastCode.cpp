// Canonical codes in order of length, then symbol; each codeword's entry is
// repeated over every pattern of the longer index that starts with it. A
// sub-table opens at the first codeword longer than the main table under a new
// prefix, as wide as the codewords under that prefix need.
#include "gzip/FastCode.h"

#include <cstring>

namespace imgdl::gzip {
namespace {

constexpr unsigned kMaxLength = 15;
constexpr unsigned kMaxSymbols = 288;

// What an entry says about a symbol, short of its codeword length: adding
// kLengthUnit times that length makes the entry.
constexpr std::uint32_t kLengthUnit = 0x101;

std::uint32_t ResultFor(unsigned symbol, const SymbolSet& symbols) {
    if (symbol < symbols.simpleCount) {
        if (symbol == 256) return kFastExceptional | kFastEndOfBlock;
        return (std::uint32_t{symbol} << 16) | kFastLiteral;
    }
    const unsigned extra = symbols.extraBits[symbol - symbols.simpleCount];
    if (extra > 13) return kFastExceptional;  // symbols that carry no length
    return (std::uint32_t{symbols.bases[symbol - symbols.simpleCount]} << 16) | extra;
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

    // The symbols' results in canonical order, and the first codeword of each length.
    std::array<unsigned, kMaxLength + 2> offset{};
    for (unsigned len = 1; len <= kMaxLength; ++len) offset[len + 1] = offset[len] + count[len];
    std::array<std::uint32_t, kMaxSymbols> ordered;
    for (unsigned symbol = 0; symbol < lengths.size(); ++symbol)
        if (lengths[symbol] != 0) ordered[offset[lengths[symbol]]++] = ResultFor(symbol, symbols);
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
    // Codewords that fit the main table: while the table is as wide as the
    // current length, each has one entry; doubling the table then repeats every
    // entry for the next bit, as a whole block copy.
    unsigned len = 1;
    while (count[len] == 0) ++len;
    unsigned filled = 1u << (len < bits ? len : bits);
    for (; len <= bits && len <= longest; ++len) {
        for (; filled < (1u << len); filled <<= 1)
            std::memcpy(entries + filled, entries, filled * sizeof *entries);
        for (unsigned left = count[len]; left > 0; --left, reversed = NextReversed(reversed, len))
            entries[reversed] = ordered[next++] + len * kLengthUnit;
    }
    for (; filled < size; filled <<= 1)
        std::memcpy(entries + filled, entries, filled * sizeof *entries);

    unsigned subStart = size;
    unsigned subBits = 0;
    unsigned prefix = ~0u;
    unsigned tableEnd = size;
    for (; len <= longest; ++len) {
        for (unsigned left = count[len]; left > 0; --left, reversed = NextReversed(reversed, len)) {
            const std::uint32_t result = ordered[next++];
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
            const std::uint32_t entry = result + (len - bits) * kLengthUnit;
            for (unsigned i = reversed >> bits; i < (1u << subBits); i += 1u << (len - bits))
                entries[subStart + i] = entry;
        }
    }
}

}  // namespace imgdl::gzip
