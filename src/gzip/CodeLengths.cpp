#include "gzip/CodeLengths.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "gzip/InflateCodes.h"
#include "gzip/InflateState.h"

namespace imgdl::gzip {
namespace {

// The most input a block's code lengths take, 320 symbols of at most 7 + 7
// bits, and how far a refill may load beyond them.
constexpr std::size_t kMostBytes = 320 * 14 / 8 + 16;

// Least-significant-bit-first reader refilled a word at a time; only for input
// that has more than kMostBytes left.
class WordBits {
  public:
    explicit WordBits(BitInput& input) : input_(input) {
        const BitInput::Raw raw = input.raw();
        next_ = raw.pos;
        bits_ = raw.bits;
        count_ = raw.count;
    }
    // Hands back the whole bytes not consumed.
    ~WordBits() {
        const unsigned partial = count_ & 7u;
        input_.setRaw({next_ - count_ / 8, bits_ & ((std::uint64_t{1} << partial) - 1), partial});
    }
    WordBits(const WordBits&) = delete;
    WordBits& operator=(const WordBits&) = delete;

    // The next n bits (n <= 16), not consumed.
    unsigned peek(unsigned n) {
        if (count_ < 32) refill();
        return static_cast<unsigned>(bits_) & ((1u << n) - 1u);
    }
    void drop(unsigned n) {
        bits_ >>= n;
        count_ -= n;
    }
    unsigned take(unsigned n) {
        const unsigned value = peek(n);
        drop(n);
        return value;
    }

  private:
    void refill() {
        std::uint64_t word;
        std::memcpy(&word, next_, sizeof word);  // little-endian hosts only, as the bit order needs
        bits_ |= word << count_;
        const unsigned bytes = (63 - count_) / 8;
        next_ += bytes;
        count_ += bytes * 8;
    }

    BitInput& input_;
    std::uint8_t* next_;
    std::uint64_t bits_;
    unsigned count_;
};

// The careful reader: every fetch checked, one byte at a time.
struct CarefulReader {
    BitInput& bits;
    const HuffmanTable& table;

    const HuffmanSlot* symbol() { return DecodeSymbol(bits, table); }
    bool take(unsigned n, unsigned& value) {
        if (!bits.need(n)) return false;
        value = bits.peek(n);
        bits.drop(n);
        return true;
    }
};

// The word reader: the code-length code's codewords are at most 7 bits, and its
// table is as wide as the longest, so one lookup always finds the symbol, or an
// unused codeword.
struct WordReader {
    WordBits bits;
    const HuffmanSlot* slots;
    unsigned width;

    const HuffmanSlot* symbol() {
        const HuffmanSlot& slot = slots[bits.peek(width)];
        if (slot.op != kOpLiteral) return nullptr;
        bits.drop(slot.bits);
        return &slot;
    }
    bool take(unsigned n, unsigned& value) {
        value = bits.take(n);
        return true;
    }
};

template <class Reader>
int ReadLengths(Reader& reader, std::uint8_t* lengths, unsigned count) {
    unsigned i = 0;
    std::uint8_t previous = 0;
    while (i < count) {
        const HuffmanSlot* slot = reader.symbol();
        if (slot == nullptr) return kInflateBadData;
        const unsigned symbol = slot->value;
        if (symbol < 16) {
            previous = static_cast<std::uint8_t>(symbol);
            lengths[i++] = previous;
            continue;
        }
        // 16 repeats the previous length 3..6 times, 17 and 18 repeat a zero 3..10
        // and 11..138 times.
        const unsigned extraBits = symbol == 16 ? 2 : symbol == 17 ? 3 : 7;
        unsigned extra = 0;
        if (!reader.take(extraBits, extra)) return kInflateBadData;
        const unsigned repeat = (symbol == 18 ? 11 : 3) + extra;
        if (symbol != 16) previous = 0;
        if (i + repeat > count) return kInflateBadData;
        std::fill_n(lengths + i, repeat, previous);
        i += repeat;
    }
    return kInflateOk;
}

}  // namespace

int ReadCodeLengths(BitInput& bits, const HuffmanTable& codeLengths, std::uint8_t* lengths,
                    unsigned count, bool fast) {
    if (fast && !codeLengths.empty() && codeLengths.width <= 7 && bits.spareBytes() > kMostBytes) {
        WordReader reader{WordBits(bits), codeLengths.slots.data(), codeLengths.width};
        return ReadLengths(reader, lengths, count);
    }
    CarefulReader reader{bits, codeLengths};
    return ReadLengths(reader, lengths, count);
}

}  // namespace imgdl::gzip
