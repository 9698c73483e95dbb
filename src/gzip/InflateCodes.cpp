// Two decoders take the same symbols. The fast one works while plenty of input
// remains: a 64-bit bit buffer refilled a word at a time without branches, one
// table lookup per literal, length or distance (two for long codewords), up to
// three literals per refill, and matches copied a word at a time. Unused
// codewords and the last bytes of the input go to the careful one, one symbol at
// a time, with every fetch checked exactly as a byte-at-a-time reader would make
// it, so that running out of input fails at the same symbol. The fast decoder
// only stops at symbol boundaries, so the careful one takes over with the same
// bits consumed.
#include "gzip/InflateCodes.h"

#include <cstring>

#include "gzip/DeflateSymbols.h"

namespace imgdl::gzip {
namespace {

// Bytes a fast step may read past its first refill position: two refills of at
// most 7 bytes each, one 8-byte load, and room so that no request of the careful
// reader could have reached the last input byte.
constexpr std::ptrdiff_t kFastInputMargin = 32;

enum class Step { kMore, kEndOfBlock, kFail };

// Follows links into sub-tables from a first-level slot; nullptr for an invalid
// slot or input that runs out.
inline const HuffmanSlot* ResolveSlot(BitInput& bits, const HuffmanSlot* table,
                                      const HuffmanSlot* slot) {
    while (slot->op > kOpLiteral) {
        if (slot->op == kOpInvalid) return nullptr;
        bits.drop(slot->bits);
        const unsigned n = slot->op - kOpLiteral;
        if (!bits.need(n)) return nullptr;
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

inline std::uint64_t LoadWord(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;  // little-endian hosts only, as the bit order needs
}

inline void StoreWord(std::uint8_t* p, std::uint64_t v) {
    std::memcpy(p, &v, sizeof v);
}

// Copies five words from src to dst, in order.
inline void CopyFiveWords(std::uint8_t* dst, const std::uint8_t* src) {
    StoreWord(dst, LoadWord(src));
    StoreWord(dst + 8, LoadWord(src + 8));
    StoreWord(dst + 16, LoadWord(src + 16));
    StoreWord(dst + 24, LoadWord(src + 24));
    StoreWord(dst + 32, LoadWord(src + 32));
}

// Copies a match ending at end; may write up to 39 bytes past it. The source
// lies behind dst, within the window's history.
inline void CopyMatchFast(std::uint8_t* dst, std::uint8_t* end, unsigned distance) {
    const std::uint8_t* src = dst - distance;
    if (distance >= 8) {
        // Each word's source bytes are final before it is read. Most matches
        // are short: five words cover them without a branch.
        do {
            CopyFiveWords(dst, src);
            dst += 40;
            src += 40;
        } while (dst < end);
    } else if (distance == 1) {
        const std::uint64_t v = 0x0101010101010101ull * *src;
        do {
            StoreWord(dst, v);
            StoreWord(dst + 8, v);
            StoreWord(dst + 16, v);
            StoreWord(dst + 24, v);
            dst += 32;
        } while (dst < end);
    } else {
        // A word at a time, moving on by the distance: each word's first
        // `distance` bytes are final, and the next word starts right behind them.
        do {
            StoreWord(dst, LoadWord(src));
            dst += distance;
            src += distance;
            StoreWord(dst, LoadWord(src));
            dst += distance;
            src += distance;
        } while (dst < end);
    }
}

// Symbols while more than kFastInputMargin input bytes remain, up to the first
// one the careful decoder has to take.
[[gnu::always_inline]] inline Step FastStepsBody(BitInput& input, InflateWindow& window,
                                                 const FastCodes& codes) {
    BitInput::Raw raw = input.raw();
    if (input.end() - raw.pos <= kFastInputMargin) return Step::kMore;
    const std::uint8_t* const inLimit = input.end() - kFastInputMargin;
    std::uint8_t* in = raw.pos;
    std::uint64_t bitbuf = raw.bits;
    unsigned bitsleft = raw.count;
    // A flush may move the window.
    std::uint8_t* buffer = window.data();
    std::uint8_t* out = buffer + window.fill();
    std::uint8_t* outLimit = buffer + InflateWindow::kEnd;
    const std::uint32_t* const lt = codes.literals.entries.data();
    constexpr std::uint32_t lmask = FastLiteralCode::kMask;
    const std::uint32_t* const dt = codes.distances.entries.data();
    constexpr std::uint32_t dmask = FastDistanceCode::kMask;

    // At least 56 bits held afterwards; the bits above them are the next input
    // bits, so a table lookup may look past what is held.
    // Only bitsleft's low byte counts: whole entries are subtracted from it, and
    // the shifts below look at their low six bits only, as the machine's do.
    const auto refill = [&] {
        bitbuf |= LoadWord(in) << (bitsleft & 63);
        in += 7 - ((bitsleft >> 3) & 7);
        bitsleft |= 56;
    };
    const auto consume = [&](std::uint32_t entry) {
        bitbuf >>= entry & 63;
        bitsleft -= entry;
    };
    // The value of an entry plus its extra bits, which follow the codeword; its
    // flag bits above the codeword length are clear.
    const auto value = [&](std::uint32_t entry) {
        const unsigned total = static_cast<std::uint8_t>(entry);
        const auto extra = static_cast<unsigned>((bitbuf & ((std::uint64_t{1} << total) - 1)) >>
                                                 ((entry >> 8) & 63));
        return (entry >> 16) + extra;
    };

    Step step = Step::kMore;
    // Each step ends by looking up the next step's entry and then refilling: a
    // refill leaves the held bits as they are, and at least 11 are held after
    // any step, so the lookup need not wait for the refill. A step starts with
    // at least 56 bits held.
    refill();
    std::uint32_t entry = lt[bitbuf & lmask];
    while (in < inLimit) {
        if (out >= outLimit) {
            window.setFill(static_cast<unsigned>(out - buffer));
            window.flush();
            buffer = window.data();
            out = buffer + window.fill();
            outLimit = buffer + InflateWindow::kEnd;
        }
        if (entry & kFastLiteral) {
            consume(entry);
            *out++ = static_cast<std::uint8_t>(entry >> 16);
            entry = lt[bitbuf & lmask];
            if (entry & kFastLiteral) {
                consume(entry);
                *out++ = static_cast<std::uint8_t>(entry >> 16);
                entry = lt[bitbuf & lmask];
                if (entry & kFastLiteral) {
                    consume(entry);
                    *out++ = static_cast<std::uint8_t>(entry >> 16);
                    entry = lt[bitbuf & lmask];
                    refill();
                    continue;
                }
            }
        }
        // At least 26 bits are held: enough for any codeword and its extra bits.
        std::uint8_t* const symbolIn = in;
        const std::uint64_t symbolBits = bitbuf;
        const unsigned symbolLeft = bitsleft;
        if (entry & kFastExceptional) {
            if (entry & kFastSubTable) {
                consume(entry);
                entry = lt[(entry >> 16) + (bitbuf & ((1u << ((entry >> 8) & 0xF)) - 1u))];
                if (entry & kFastLiteral) {
                    consume(entry);
                    *out++ = static_cast<std::uint8_t>(entry >> 16);
                    entry = lt[bitbuf & lmask];
                    refill();
                    continue;
                }
            }
            if (entry & kFastEndOfBlock) {
                consume(entry);
                step = Step::kEndOfBlock;
                break;
            }
            if (entry & kFastExceptional) {  // an unused codeword
                in = symbolIn;
                bitbuf = symbolBits;
                bitsleft = symbolLeft;
                break;
            }
        }
        const unsigned length = value(entry);
        consume(entry);
        // At most two literals and a length (22 + 20 bits) were taken since the
        // refill, so the distance's first 8 bits are held: look its entry up
        // before refilling, so that the lookup does not wait for the refill.
        std::uint32_t dentry = dt[bitbuf & dmask];
        // Then the distance and the next step's lookup (11 bits, one of which may
        // be the bit above the held ones) must be held: a distance whose codeword
        // fits the main table takes at most 8 + 13 bits, one that continues in a
        // sub-table up to 15 + 13. Often the first refill left that many.
        constexpr unsigned kNextLookup = kFastLiteralBits - 1;
        if (dentry & kFastExceptional) {
            if (static_cast<std::uint8_t>(bitsleft) < 15 + 13 + kNextLookup) refill();
            if (dentry & kFastSubTable) {
                consume(dentry);
                dentry = dt[(dentry >> 16) + (bitbuf & ((1u << ((dentry >> 8) & 0xF)) - 1u))];
            }
            if (dentry & kFastExceptional) {  // an unused codeword, or no codes at all
                in = symbolIn;
                bitbuf = symbolBits;
                bitsleft = symbolLeft;
                break;
            }
        } else if (static_cast<std::uint8_t>(bitsleft) <
                   FastDistanceCode::kBitsUsed + 13 + kNextLookup) {
            refill();
        }
        const unsigned distance = value(dentry);
        consume(dentry);
        entry = lt[bitbuf & lmask];
        refill();
        CopyMatchFast(out, out + length, distance);
        out += length;
    }
    window.setFill(static_cast<unsigned>(out - buffer));
    if (out >= outLimit) window.flush();
    // Hand back whole bytes not yet consumed; the careful reader holds the rest.
    bitsleft &= 0xFF;
    const unsigned count = bitsleft & 7u;
    input.setRaw({in - (bitsleft >> 3), bitbuf & ((std::uint64_t{1} << count) - 1), count});
    return step;
}

// The decoding loop's speed depends on where its branches fall within the
// processor's fetch blocks; starting it on a cache line makes that the same in
// every program that links it.
#define IMGDL_FAST_STEPS_ALIGN __attribute__((aligned(64)))

IMGDL_FAST_STEPS_ALIGN Step FastStepsGeneric(BitInput& input, InflateWindow& window,
                                             const FastCodes& codes) {
    return FastStepsBody(input, window, codes);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The same code with variable shifts and bit masks that need no count register
// (BMI2), where the processor has them.
IMGDL_FAST_STEPS_ALIGN __attribute__((target("bmi2"))) Step FastStepsBmi2(BitInput& input,
                                                                          InflateWindow& window,
                                                                          const FastCodes& codes) {
    return FastStepsBody(input, window, codes);
}

using FastStepsFunction = Step (*)(BitInput&, InflateWindow&, const FastCodes&);

FastStepsFunction ChooseFastSteps() {
    // Asked once per process; the answer never changes.
    static const FastStepsFunction chosen =
        __builtin_cpu_supports("bmi2") ? FastStepsBmi2 : FastStepsGeneric;
    return chosen;
}
#else
using FastStepsFunction = Step (*)(BitInput&, InflateWindow&, const FastCodes&);

FastStepsFunction ChooseFastSteps() {
    return FastStepsGeneric;
}
#endif

}  // namespace

const HuffmanSlot* DecodeSymbol(BitInput& bits, const HuffmanTable& table) {
    if (table.empty()) return nullptr;
    if (!bits.need(table.width)) return nullptr;
    const HuffmanSlot* first = table.slots.data();
    return ResolveSlot(bits, first, &first[bits.peek(table.width)]);
}

int InflateCodes(InflateState& state, BlockCodes& codes) {
    Step step = Step::kMore;
    while (step == Step::kMore) {
        if (codes.fast != nullptr) {
            step = ChooseFastSteps()(state.bits, state.window, *codes.fast);
            if (step != Step::kMore) break;
        }
        if (!codes.carefulMade) {
            if (BuildHuffmanTable(codes.literalLengths, kLiteralLengthSymbols, codes.literalWidth,
                                  *codes.literals) == kBuildNoMemory ||
                BuildHuffmanTable(codes.distanceLengths, kDistanceSymbols, codes.distanceWidth,
                                  *codes.distances) == kBuildNoMemory) {
                return kInflateNoMemory;
            }
            codes.carefulMade = true;
        }
        step = CheckedStep(state.bits, state.window, *codes.literals, *codes.distances);
    }
    return step == Step::kEndOfBlock ? kInflateOk : kInflateBadData;
}

}  // namespace imgdl::gzip
