// Table construction walks the codes in canonical order (by length, then symbol)
// and enters each one into the table level its length falls into. Sub-tables are
// made only as wide as the codes that follow under the same prefix need.
#include "gzip/HuffmanTable.h"

#include <array>
#include <new>

namespace imgdl::gzip {
namespace {

constexpr unsigned kMaxLength = 16;
constexpr unsigned kMaxSymbols = 288;
constexpr std::size_t kMaxSlots = 0x10000;  // sub-table links are 16 bits wide

using LengthCounts = std::array<unsigned, kMaxLength + 1>;

struct CodeShape {
    unsigned shortest = 0;
    unsigned longest = 0;
    int unused = 0;  // code space left over; negative when over-subscribed
};

CodeShape MeasureCode(LengthCounts& count) {
    CodeShape shape;
    unsigned len = 1;
    while (len <= kMaxLength && count[len] == 0) ++len;
    shape.shortest = len;
    unsigned top = kMaxLength;
    while (top > 0 && count[top] == 0) --top;
    shape.longest = top;
    int left = 1 << shape.shortest;
    for (len = shape.shortest; len < top; ++len, left <<= 1) {
        left -= static_cast<int>(count[len]);
        if (left < 0) {
            shape.unused = left;
            return shape;
        }
    }
    left -= static_cast<int>(count[top]);
    shape.unused = left;
    return shape;
}

// Width of a new sub-table for the next code (length `len`, `after` more codes of
// that length), `decoded` bits below it and at most `limit` bits wide.
unsigned SubTableWidth(const LengthCounts& count, unsigned len, unsigned after, unsigned decoded,
                       unsigned limit) {
    unsigned width = len - decoded;
    unsigned patterns = 1u << width;
    if (patterns > after + 1) {
        patterns -= after + 1;
        unsigned next = len;
        if (width < limit) {
            while (++width < limit) {
                patterns <<= 1;
                if (patterns <= count[++next]) break;
                patterns -= count[next];
            }
        }
    }
    return width;
}

class TableWriter {
  public:
    TableWriter(HuffmanTable& table, unsigned width, unsigned longest)
        : table_(table), width_(width), longest_(longest) {}

    // Enters one code; false when a table could not be made.
    bool add(unsigned len, unsigned after, HuffmanSlot slot, const LengthCounts& count) {
        while (static_cast<int>(len) > decoded_ + static_cast<int>(width_)) {
            if (!openLevel(len, after, count)) return false;
        }
        slot.bits = static_cast<std::uint8_t>(len - static_cast<unsigned>(decoded_));
        const unsigned step = 1u << (len - static_cast<unsigned>(decoded_));
        for (unsigned j = code_ >> decoded_; j < size_; j += step)
            table_.slots[current_ + j] = slot;
        advanceCode(len);
        return true;
    }

  private:
    bool openLevel(unsigned len, unsigned after, const LengthCounts& count) {
        ++level_;
        decoded_ += static_cast<int>(width_);
        const unsigned d = static_cast<unsigned>(decoded_);
        const unsigned limit = longest_ - d > width_ ? width_ : longest_ - d;
        const unsigned subWidth = SubTableWidth(count, len, after, d, limit);
        size_ = 1u << subWidth;
        const std::size_t first = table_.slots.size();
        if (first + size_ > kMaxSlots) return false;
        try {
            table_.slots.resize(first + size_);
        } catch (const std::bad_alloc&) {
            return false;
        }
        current_ = static_cast<unsigned>(first);
        levelStart_[level_] = current_;
        if (level_ > 0) {
            levelCode_[level_] = code_;
            HuffmanSlot link;
            link.op = static_cast<std::uint8_t>(kOpLiteral + subWidth);
            link.bits = static_cast<std::uint8_t>(width_);
            link.value = static_cast<std::uint16_t>(current_);
            table_.slots[levelStart_[level_ - 1] + (code_ >> (d - width_))] = link;
        }
        return true;
    }

    // Next canonical code of the same or greater length (bit-reversed increment),
    // then leave the sub-tables whose prefix is finished.
    void advanceCode(unsigned len) {
        unsigned bit = 1u << (len - 1);
        while (code_ & bit) {
            code_ ^= bit;
            bit >>= 1;
        }
        code_ ^= bit;
        while ((code_ & ((1u << decoded_) - 1u)) != levelCode_[level_]) {
            --level_;
            decoded_ -= static_cast<int>(width_);
        }
    }

    HuffmanTable& table_;
    unsigned width_;
    unsigned longest_;
    int level_ = -1;
    int decoded_ = -static_cast<int>(width_);  // bits decoded before the current table
    unsigned code_ = 0;                        // current code, bit-reversed
    unsigned current_ = 0;                     // first slot of the current table
    unsigned size_ = 0;                        // slots of the current table
    std::array<unsigned, kMaxLength + 1> levelStart_{};
    std::array<unsigned, kMaxLength + 1> levelCode_{};
};

HuffmanSlot SlotFor(unsigned symbol, const SymbolSet& symbols) {
    HuffmanSlot slot;
    if (symbol < symbols.simpleCount) {
        slot.op = symbol < 256 ? kOpLiteral : kOpEndOfBlock;
        slot.value = static_cast<std::uint16_t>(symbol);
    } else {
        slot.op = symbols.extraBits[symbol - symbols.simpleCount];
        slot.value = symbols.bases[symbol - symbols.simpleCount];
    }
    return slot;
}

}  // namespace

int CheckCodeLengths(std::span<const std::uint8_t> lengths) {
    LengthCounts count{};
    for (std::uint8_t len : lengths) ++count[len];
    if (count[0] == lengths.size()) return kBuildComplete;
    const CodeShape shape = MeasureCode(count);
    if (shape.unused < 0) return kBuildOversubscribed;
    return (shape.unused != 0 && shape.longest != 1) ? kBuildIncomplete : kBuildComplete;
}

int BuildHuffmanTable(std::span<const std::uint8_t> lengths, const SymbolSet& symbols,
                      unsigned requestedWidth, HuffmanTable& table) {
    table.slots.clear();
    table.width = 0;
    LengthCounts count{};
    for (std::uint8_t len : lengths) ++count[len];
    if (count[0] == lengths.size()) return kBuildComplete;

    const CodeShape shape = MeasureCode(count);
    if (shape.unused < 0) return kBuildOversubscribed;
    unsigned width = requestedWidth;
    if (width < shape.shortest) width = shape.shortest;
    if (width > shape.longest) width = shape.longest;
    // Unused code space is filled with codes of the longest length that lead to
    // invalid slots.
    count[shape.longest] += static_cast<unsigned>(shape.unused);

    // Symbols in canonical order.
    std::array<unsigned, kMaxLength + 1> offset{};
    for (unsigned len = 2; len <= shape.longest; ++len)
        offset[len] = offset[len - 1] + count[len - 1];
    std::array<std::uint16_t, kMaxSymbols> ordered{};
    unsigned used = 0;
    for (unsigned symbol = 0; symbol < lengths.size(); ++symbol) {
        if (lengths[symbol] != 0) {
            ordered[offset[lengths[symbol]]++] = static_cast<std::uint16_t>(symbol);
            ++used;
        }
    }

    table.width = width;
    TableWriter writer(table, width, shape.longest);
    unsigned next = 0;
    for (unsigned len = shape.shortest; len <= shape.longest; ++len) {
        for (unsigned after = count[len]; after-- > 0;) {
            const HuffmanSlot slot = next < used ? SlotFor(ordered[next], symbols) : HuffmanSlot{};
            ++next;
            if (!writer.add(len, after, slot, count)) {
                table.slots.clear();
                table.width = 0;
                return kBuildNoMemory;
            }
        }
    }
    return (shape.unused != 0 && shape.longest != 1) ? kBuildIncomplete : kBuildComplete;
}

}  // namespace imgdl::gzip
