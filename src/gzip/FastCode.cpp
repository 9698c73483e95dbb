#include "gzip/FastCode.h"

#include <array>
#include <cstring>

namespace imgdl::gzip {
namespace {

bool IsLink(const HuffmanSlot& slot) {
    return slot.op > kOpLiteral && slot.op != kOpInvalid;
}

// The entry of a final slot reached after `length` bits in all.
std::uint32_t Pack(const HuffmanSlot& slot, unsigned length) {
    if (slot.op == kOpInvalid || slot.op == kOpEndOfBlock) return kFastExceptional;
    const std::uint32_t head = (std::uint32_t{slot.value} << 16) | (length << 8);
    if (slot.op == kOpLiteral) return head | kFastLiteral | length;
    return head | (length + slot.op);
}

// The entry for a pattern that starts in a link, following links while the
// codeword fits in `bits`.
std::uint32_t Resolve(const HuffmanTable& table, const HuffmanSlot* slot, unsigned pattern,
                      unsigned bits) {
    unsigned length = 0;
    while (IsLink(*slot)) {
        const unsigned n = slot->op - kOpLiteral;
        length += slot->bits;
        if (length + n > bits) return kFastExceptional;
        slot = &table.slots[slot->value + ((pattern >> length) & ((1u << n) - 1u))];
    }
    return Pack(*slot, length + slot->bits);
}

}  // namespace

void BuildFastCode(const HuffmanTable& table, unsigned wantedBits, FastCode& fast) {
    if (table.empty()) {
        fast.bits = 0;
        fast.entries[0] = kFastExceptional;
        return;
    }
    const unsigned bits = table.width > wantedBits ? table.width : wantedBits;
    if (bits > kFastMaxBits) {
        fast.bits = 0;
        fast.entries[0] = kFastExceptional;
        return;
    }
    fast.bits = bits;
    const unsigned firstLevel = 1u << table.width;
    std::array<std::uint16_t, 1u << kFastMaxBits> links;
    unsigned linkCount = 0;
    for (unsigned i = 0; i < firstLevel; ++i) {
        const HuffmanSlot& slot = table.slots[i];
        if (IsLink(slot)) {
            links[linkCount++] = static_cast<std::uint16_t>(i);
            fast.entries[i] = Resolve(table, &slot, i, bits);
        } else {
            fast.entries[i] = Pack(slot, slot.bits);
        }
    }
    // Patterns beyond the first level repeat its entries unless they lead into a
    // sub-table.
    for (unsigned i = firstLevel; i < (1u << bits); i += firstLevel)
        std::memcpy(&fast.entries[i], &fast.entries[0], firstLevel * sizeof fast.entries[0]);
    for (unsigned k = 0; k < linkCount; ++k) {
        const HuffmanSlot* slot = &table.slots[links[k]];
        for (unsigned i = links[k] + firstLevel; i < (1u << bits); i += firstLevel)
            fast.entries[i] = Resolve(table, slot, i, bits);
    }
}

}  // namespace imgdl::gzip
