// Two loops decode the same symbols with the same bit requests. While at least
// six input bytes may be fetched and a longest match fits in the window without
// reaching its end, the fast loop needs no checks of either kind and keeps its
// state in locals (byte stores into the window could otherwise alias it). Near
// the end of the input or of the window one checked step at a time is taken.
#include "gzip/InflateCodes.h"

#include "gzip/DeflateSymbols.h"

namespace imgdl::gzip {
namespace {

// Longest symbol and match: 15 + 5 bits of length, 15 + 13 bits of distance.
constexpr std::size_t kFastInputBytes = 6;
constexpr unsigned kFastWindowLimit = InflateWindow::kSize - kMaxMatchLength;

enum class Step { kMore, kEndOfBlock, kFail };

// Follows links into sub-tables from a first-level slot; nullptr for an invalid
// slot or input that runs out.
template <bool kChecked>
inline const HuffmanSlot* ResolveSlot(BitInput& bits, const HuffmanSlot* table,
                                      const HuffmanSlot* slot) {
    while (slot->op > kOpLiteral) {
        if (slot->op == kOpInvalid) return nullptr;
        bits.drop(slot->bits);
        const unsigned n = slot->op - kOpLiteral;
        if constexpr (kChecked) {
            if (!bits.need(n)) return nullptr;
        } else {
            bits.needUnchecked(n);
        }
        slot = &table[slot->value + bits.peek(n)];
    }
    bits.drop(slot->bits);
    return slot;
}

// Fetches the extra bits of a length or distance; false when the input runs out.
inline bool TakeExtra(BitInput& bits, unsigned base, unsigned extraBits, unsigned& value) {
    if (!bits.need(extraBits)) return false;
    value = base + bits.peek(extraBits);
    bits.drop(extraBits);
    return true;
}

// A match that cannot reach the window's end at the destination; the source may
// wrap around it.
inline void CopyInWindow(std::uint8_t* window, unsigned fill, unsigned length, unsigned distance) {
    const unsigned src = (fill - distance) & InflateWindow::kMask;
    if (src + length <= InflateWindow::kSize) {
        CopyRun(window, fill, src, length);
        return;
    }
    const unsigned first = InflateWindow::kSize - src;
    CopyRun(window, fill, src, first);
    CopyRun(window, fill + first, 0, length - first);
}

// One symbol (and its match) with every fetch and window write checked.
Step CheckedStep(BitInput& bits, InflateWindow& window, const HuffmanTable& literals,
                 const HuffmanTable& distances) {
    const HuffmanSlot* slot = DecodeSymbol(bits, literals);
    if (slot == nullptr) return Step::kFail;
    if (slot->op == kOpLiteral) {
        window.put(static_cast<std::uint8_t>(slot->value));
        return Step::kMore;
    }
    if (slot->op == kOpEndOfBlock) return Step::kEndOfBlock;
    unsigned length = 0;
    if (!TakeExtra(bits, slot->value, slot->op, length)) return Step::kFail;
    const HuffmanSlot* dist = DecodeSymbol(bits, distances);
    if (dist == nullptr) return Step::kFail;
    unsigned distance = 0;
    if (!TakeExtra(bits, dist->value, dist->op, distance)) return Step::kFail;
    window.copyMatch(length, distance);
    return Step::kMore;
}

// Symbols while the input and the window leave room for a whole step.
Step FastSteps(BitInput& state, InflateWindow& window, const HuffmanTable& literals,
               const HuffmanTable& distances) {
    BitInput bits = state;
    std::uint8_t* const out = window.data();
    unsigned fill = window.fill();
    const HuffmanSlot* const lt = literals.slots.data();
    const unsigned lw = literals.width;
    const unsigned lmask = (1u << lw) - 1u;
    const HuffmanSlot* const dt = distances.slots.data();
    const unsigned dw = distances.width;
    const unsigned dmask = (1u << dw) - 1u;
    Step step = Step::kMore;
    while (bits.spareBytes() >= kFastInputBytes && fill < kFastWindowLimit) {
        bits.needUnchecked(lw);
        const HuffmanSlot* slot = ResolveSlot<false>(bits, lt, &lt[bits.peekMasked(lmask)]);
        if (slot == nullptr) {
            step = Step::kFail;
            break;
        }
        if (slot->op == kOpLiteral) {
            out[fill++] = static_cast<std::uint8_t>(slot->value);
            continue;
        }
        if (slot->op == kOpEndOfBlock) {
            step = Step::kEndOfBlock;
            break;
        }
        bits.needUnchecked(slot->op);
        const unsigned length = slot->value + bits.peek(slot->op);
        bits.drop(slot->op);
        if (dw == 0) {  // a length, but no distance codes at all
            step = Step::kFail;
            break;
        }
        bits.needUnchecked(dw);
        const HuffmanSlot* dist = ResolveSlot<false>(bits, dt, &dt[bits.peekMasked(dmask)]);
        if (dist == nullptr) {
            step = Step::kFail;
            break;
        }
        bits.needUnchecked(dist->op);
        const unsigned distance = dist->value + bits.peek(dist->op);
        bits.drop(dist->op);
        CopyInWindow(out, fill, length, distance);
        fill += length;
    }
    window.setFill(fill);
    state = bits;
    return step;
}

}  // namespace

const HuffmanSlot* DecodeSymbol(BitInput& bits, const HuffmanTable& table) {
    if (table.empty()) return nullptr;
    if (!bits.need(table.width)) return nullptr;
    const HuffmanSlot* first = table.slots.data();
    return ResolveSlot<true>(bits, first, &first[bits.peek(table.width)]);
}

int InflateCodes(InflateState& state, const HuffmanTable& literals, const HuffmanTable& distances) {
    if (literals.empty()) return kInflateBadData;
    Step step = Step::kMore;
    while (step == Step::kMore) {
        step = FastSteps(state.bits, state.window, literals, distances);
        if (step == Step::kMore) step = CheckedStep(state.bits, state.window, literals, distances);
    }
    return step == Step::kEndOfBlock ? kInflateOk : kInflateBadData;
}

}  // namespace imgdl::gzip
