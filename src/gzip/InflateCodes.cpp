// Two loops share one step: while at least six input bytes may be fetched and a
// longest match fits in the window without reaching its end, a step needs no checks of
// either kind; near the end of the input or of the window every fetch and every
// window write is checked. Both fetch exactly the same bits in the same order.
#include "gzip/InflateCodes.h"

#include "gzip/DeflateSymbols.h"

namespace imgdl::gzip {
namespace {

// Longest symbol and match: 15 + 5 bits of length, 15 + 13 bits of distance.
constexpr std::size_t kFastInputBytes = 6;

enum class Step { kMore, kEndOfBlock, kFail };

template <bool kChecked>
inline bool Need(BitInput& bits, unsigned n) {
    if constexpr (kChecked) {
        return bits.need(n);
    } else {
        bits.needUnchecked(n);
        return true;
    }
}

template <bool kChecked>
inline const HuffmanSlot* Decode(BitInput& bits, const HuffmanTable& table) {
    if (table.empty()) return nullptr;
    if (!Need<kChecked>(bits, table.width)) return nullptr;
    const HuffmanSlot* slot = &table.slots[bits.peek(table.width)];
    while (slot->op > kOpLiteral) {
        if (slot->op == kOpInvalid) return nullptr;
        bits.drop(slot->bits);
        const unsigned n = slot->op - kOpLiteral;
        if (!Need<kChecked>(bits, n)) return nullptr;
        slot = &table.slots[slot->value + bits.peek(n)];
    }
    bits.drop(slot->bits);
    return slot;
}

template <bool kChecked>
inline unsigned TakeExtra(BitInput& bits, unsigned base, unsigned extraBits, bool& ok) {
    if (!Need<kChecked>(bits, extraBits)) {
        ok = false;
        return 0;
    }
    const unsigned value = base + bits.peek(extraBits);
    bits.drop(extraBits);
    return value;
}

// Match copy when it cannot reach the window's end at the destination.
inline void CopyMatchNoFlush(InflateWindow& window, unsigned length, unsigned distance) {
    std::uint8_t* data = window.data();
    unsigned fill = window.fill();
    unsigned src = (fill - distance) & InflateWindow::kMask;
    if (src + length <= InflateWindow::kSize) {
        CopyRun(data, fill, src, length);
        window.setFill(fill + length);
        return;
    }
    const unsigned first = InflateWindow::kSize - src;
    CopyRun(data, fill, src, first);
    CopyRun(data, fill + first, 0, length - first);
    window.setFill(fill + length);
}

template <bool kChecked>
inline Step DecodeStep(BitInput& bits, InflateWindow& window, const HuffmanTable& literals,
                       const HuffmanTable& distances) {
    const HuffmanSlot* slot = Decode<kChecked>(bits, literals);
    if (slot == nullptr) return Step::kFail;
    if (slot->op == kOpLiteral) {
        if constexpr (kChecked) {
            window.put(static_cast<std::uint8_t>(slot->value));
        } else {
            window.data()[window.fill()] = static_cast<std::uint8_t>(slot->value);
            window.setFill(window.fill() + 1);
        }
        return Step::kMore;
    }
    if (slot->op == kOpEndOfBlock) return Step::kEndOfBlock;
    bool ok = true;
    const unsigned length = TakeExtra<kChecked>(bits, slot->value, slot->op, ok);
    if (!ok) return Step::kFail;
    const HuffmanSlot* dist = Decode<kChecked>(bits, distances);
    if (dist == nullptr) return Step::kFail;
    const unsigned distance = TakeExtra<kChecked>(bits, dist->value, dist->op, ok);
    if (!ok) return Step::kFail;
    if constexpr (kChecked) {
        window.copyMatch(length, distance);
    } else {
        CopyMatchNoFlush(window, length, distance);
    }
    return Step::kMore;
}

}  // namespace

const HuffmanSlot* DecodeSymbol(BitInput& bits, const HuffmanTable& table) {
    return Decode<true>(bits, table);
}

int InflateCodes(InflateState& state, const HuffmanTable& literals, const HuffmanTable& distances) {
    BitInput bits = state.bits;
    InflateWindow& window = state.window;
    Step step = Step::kMore;
    while (step == Step::kMore) {
        while (bits.spareBytes() >= kFastInputBytes &&
               window.fill() < InflateWindow::kSize - kMaxMatchLength) {
            step = DecodeStep<false>(bits, window, literals, distances);
            if (step != Step::kMore) break;
        }
        if (step == Step::kMore) step = DecodeStep<true>(bits, window, literals, distances);
    }
    state.bits = bits;
    return step == Step::kEndOfBlock ? kInflateOk : kInflateBadData;
}

}  // namespace imgdl::gzip
