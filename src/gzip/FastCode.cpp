#include "gzip/FastCode.h"

namespace imgdl::gzip {
namespace {

// The entry for one pattern, following links while the codeword fits in `bits`.
std::uint32_t Resolve(const HuffmanTable& table, unsigned pattern, unsigned bits) {
    const HuffmanSlot* slot = &table.slots[pattern & ((1u << table.width) - 1u)];
    unsigned length = 0;
    while (slot->op > kOpLiteral && slot->op != kOpInvalid) {
        const unsigned n = slot->op - kOpLiteral;
        length += slot->bits;
        if (length + n > bits) return kFastExceptional;
        slot = &table.slots[slot->value + ((pattern >> length) & ((1u << n) - 1u))];
    }
    length += slot->bits;
    if (slot->op == kOpInvalid || slot->op == kOpEndOfBlock) return kFastExceptional;
    const std::uint32_t head = (std::uint32_t{slot->value} << 16) | (length << 8);
    if (slot->op == kOpLiteral) return head | kFastLiteral | length;
    return head | (length + slot->op);
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
    for (unsigned i = 0; i < firstLevel; ++i) fast.entries[i] = Resolve(table, i, bits);
    // Patterns beyond the first level repeat its entries unless they lead into a
    // sub-table.
    for (unsigned i = firstLevel; i < (1u << bits); ++i) {
        const std::uint32_t base = fast.entries[i & (firstLevel - 1u)];
        const HuffmanSlot& slot = table.slots[i & (firstLevel - 1u)];
        const bool linked = slot.op > kOpLiteral && slot.op != kOpInvalid;
        fast.entries[i] = linked ? Resolve(table, i, bits) : base;
    }
}

}  // namespace imgdl::gzip
