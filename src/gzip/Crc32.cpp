// Where the processor has carry-less multiplication (x86-64 PCLMULQDQ) long runs
// are folded 64 bytes a step, or 128 with 256-bit registers (VPCLMULQDQ); otherwise, and for the
// tails, slice-by-16 tables fold sixteen bytes a step. Either keeps the check far cheaper than
// decoding.
#include "gzip/Crc32.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define IMGDL_GZIP_CRC_CLMUL 1
#endif

namespace imgdl::gzip {
namespace {

constexpr int kSlices = 16;
using CrcTables = std::array<std::array<std::uint32_t, 256>, kSlices>;

// The polynomial is assembled from its exponents, bit (31 - e) for each.
constexpr std::uint32_t Polynomial() {
    constexpr int kExponents[] = {0, 1, 2, 4, 5, 7, 8, 10, 11, 12, 16, 22, 23, 26};
    std::uint32_t poly = 0;
    for (int e : kExponents) poly |= 1u << (31 - e);
    return poly;
}
static_assert(Polynomial() == 0xEDB88320u);

constexpr CrcTables MakeTables() {
    CrcTables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ Polynomial() : c >> 1;
        t[0][i] = c;
    }
    for (int s = 1; s < kSlices; ++s)
        for (std::uint32_t i = 0; i < 256; ++i)
            t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
    return t;
}

constexpr CrcTables kTables = MakeTables();

inline std::uint32_t LoadLe32At(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint32_t UpdateCrc32Tables(std::uint32_t reg, const std::uint8_t* bytes, std::size_t count) {
    const auto& t = kTables;
    while (count >= kSlices) {
        const std::uint32_t a = LoadLe32At(bytes) ^ reg;
        const std::uint32_t b = LoadLe32At(bytes + 4);
        const std::uint32_t c = LoadLe32At(bytes + 8);
        const std::uint32_t d = LoadLe32At(bytes + 12);
        reg = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
              t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
              t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
              t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
        bytes += kSlices;
        count -= kSlices;
    }
    while (count-- != 0) reg = t[0][(reg ^ *bytes++) & 0xFF] ^ (reg >> 8);
    return reg;
}

#ifdef IMGDL_GZIP_CRC_CLMUL
// Folding with carry-less multiplication (Gopal et al., "Fast CRC Computation for
// Generic Polynomials Using PCLMULQDQ Instruction", Intel 2009), constants for
// the reflected polynomial 0xEDB88320. count is at least 64 and a multiple of 16.
#define IMGDL_CLMUL_TARGET __attribute__((target("pclmul,sse4.1")))

IMGDL_CLMUL_TARGET inline __m128i Load(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Carries x 128 bits further along and adds the next 16 bytes.
IMGDL_CLMUL_TARGET inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
    const __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(hi, lo), next);
}

// Folds the rest, count bytes (a multiple of 16), into x1 and reduces it to
// the CRC register.
IMGDL_CLMUL_TARGET inline std::uint32_t FinishClmul(__m128i x1, const std::uint8_t* buf,
                                                    std::size_t count) {
    const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    const __m128i k5k0 = _mm_set_epi64x(0, 0x0163cd6124);
    const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
    __m128i x2;
    while (count >= 16) {
        x1 = Fold(x1, k3k4, Load(buf));
        buf += 16;
        count -= 16;
    }
    // 128 bits to 64, then Barrett reduction to 32.
    const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
    x2 = _mm_clmulepi64_si128(x1, k3k4, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
    x2 = _mm_srli_si128(x1, 4);
    x1 = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), k5k0, 0x00);
    x1 = _mm_xor_si128(x1, x2);
    x2 = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), poly, 0x10);
    x2 = _mm_clmulepi64_si128(_mm_and_si128(x2, low32), poly, 0x00);
    x1 = _mm_xor_si128(x1, x2);
    return static_cast<std::uint32_t>(_mm_extract_epi32(x1, 1));
}

[[gnu::always_inline]] IMGDL_CLMUL_TARGET inline std::uint32_t ClmulBody(std::uint32_t reg,
                                                                         const std::uint8_t* buf,
                                                                         std::size_t count) {
    const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
    const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    __m128i x1 = _mm_xor_si128(Load(buf), _mm_cvtsi32_si128(static_cast<int>(reg)));
    __m128i x2 = Load(buf + 16);
    __m128i x3 = Load(buf + 32);
    __m128i x4 = Load(buf + 48);
    buf += 64;
    count -= 64;
    while (count >= 64) {
        x1 = Fold(x1, k1k2, Load(buf));
        x2 = Fold(x2, k1k2, Load(buf + 16));
        x3 = Fold(x3, k1k2, Load(buf + 32));
        x4 = Fold(x4, k1k2, Load(buf + 48));
        buf += 64;
        count -= 64;
    }
    x1 = Fold(x1, k3k4, x2);
    x1 = Fold(x1, k3k4, x3);
    x1 = Fold(x1, k3k4, x4);
    return FinishClmul(x1, buf, count);
}

IMGDL_CLMUL_TARGET std::uint32_t UpdateCrc32Clmul(std::uint32_t reg, const std::uint8_t* buf,
                                                  std::size_t count) {
    return ClmulBody(reg, buf, count);
}

// The same code in the AVX encoding, whose three operands and unaligned memory
// operands spare a copy and a load per 16 bytes.
__attribute__((target("pclmul,sse4.1,avx"))) std::uint32_t UpdateCrc32ClmulAvx(
    std::uint32_t reg, const std::uint8_t* buf, std::size_t count) {
    return ClmulBody(reg, buf, count);
}

// The same folding with 256-bit registers (VPCLMULQDQ), 128 bytes a step; count
// is at least 128 and a multiple of 16.
#define IMGDL_VCLMUL_TARGET __attribute__((target("pclmul,sse4.1,avx2,vpclmulqdq")))

IMGDL_VCLMUL_TARGET inline __m256i Load256(const std::uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

IMGDL_VCLMUL_TARGET inline __m256i Fold256(__m256i x, __m256i k, __m256i next) {
    const __m256i lo = _mm256_clmulepi64_epi128(x, k, 0x00);
    const __m256i hi = _mm256_clmulepi64_epi128(x, k, 0x11);
    return _mm256_xor_si256(_mm256_xor_si256(hi, lo), next);
}

IMGDL_VCLMUL_TARGET std::uint32_t UpdateCrc32Vclmul(std::uint32_t reg, const std::uint8_t* buf,
                                                    std::size_t count) {
    // x^(1024+32) and x^(1024-32) modulo the polynomial, reflected: 1024 bits on.
    const __m256i k = _mm256_set_epi64x(0x014a7fe880, 0x01e88ef372, 0x014a7fe880, 0x01e88ef372);
    const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    __m256i y1 = _mm256_xor_si256(Load256(buf),
                                  _mm256_zextsi128_si256(_mm_cvtsi32_si128(static_cast<int>(reg))));
    __m256i y2 = Load256(buf + 32);
    __m256i y3 = Load256(buf + 64);
    __m256i y4 = Load256(buf + 96);
    buf += 128;
    count -= 128;
    while (count >= 128) {
        y1 = Fold256(y1, k, Load256(buf));
        y2 = Fold256(y2, k, Load256(buf + 32));
        y3 = Fold256(y3, k, Load256(buf + 64));
        y4 = Fold256(y4, k, Load256(buf + 96));
        buf += 128;
        count -= 128;
    }
    // The eight 16-byte lanes in stream order, folded into one.
    __m128i x1 = _mm256_castsi256_si128(y1);
    x1 = Fold(x1, k3k4, _mm256_extracti128_si256(y1, 1));
    x1 = Fold(x1, k3k4, _mm256_castsi256_si128(y2));
    x1 = Fold(x1, k3k4, _mm256_extracti128_si256(y2, 1));
    x1 = Fold(x1, k3k4, _mm256_castsi256_si128(y3));
    x1 = Fold(x1, k3k4, _mm256_extracti128_si256(y3, 1));
    x1 = Fold(x1, k3k4, _mm256_castsi256_si128(y4));
    x1 = Fold(x1, k3k4, _mm256_extracti128_si256(y4, 1));
    return FinishClmul(x1, buf, count);
}

// The same folding with 512-bit registers, 256 bytes a step; count is at least
// 256 and a multiple of 16.
#define IMGDL_VCLMUL512_TARGET \
    __attribute__((target("pclmul,sse4.1,avx2,avx512f,avx512bw,vpclmulqdq")))

IMGDL_VCLMUL512_TARGET inline __m512i Load512(const std::uint8_t* p) {
    return _mm512_loadu_si512(p);
}

IMGDL_VCLMUL512_TARGET inline __m512i Fold512(__m512i x, __m512i k, __m512i next) {
    const __m512i lo = _mm512_clmulepi64_epi128(x, k, 0x00);
    const __m512i hi = _mm512_clmulepi64_epi128(x, k, 0x11);
    return _mm512_ternarylogic_epi64(hi, lo, next, 0x96);  // hi ^ lo ^ next
}

IMGDL_VCLMUL512_TARGET std::uint32_t UpdateCrc32Vclmul512(std::uint32_t reg,
                                                          const std::uint8_t* buf,
                                                          std::size_t count) {
    // x^(2048+32) and x^(2048-32) modulo the polynomial, reflected: 2048 bits on;
    // then the same for 512 bits, to fold the four registers into one.
    const __m512i k2048 = _mm512_set_epi64(0x01322d1430, 0x011542778a, 0x01322d1430, 0x011542778a,
                                           0x01322d1430, 0x011542778a, 0x01322d1430, 0x011542778a);
    const __m512i k512 = _mm512_set_epi64(0x01c6e41596, 0x0154442bd4, 0x01c6e41596, 0x0154442bd4,
                                          0x01c6e41596, 0x0154442bd4, 0x01c6e41596, 0x0154442bd4);
    const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    __m512i z1 = _mm512_xor_si512(Load512(buf),
                                  _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(reg))));
    __m512i z2 = Load512(buf + 64);
    __m512i z3 = Load512(buf + 128);
    __m512i z4 = Load512(buf + 192);
    buf += 256;
    count -= 256;
    while (count >= 256) {
        z1 = Fold512(z1, k2048, Load512(buf));
        z2 = Fold512(z2, k2048, Load512(buf + 64));
        z3 = Fold512(z3, k2048, Load512(buf + 128));
        z4 = Fold512(z4, k2048, Load512(buf + 192));
        buf += 256;
        count -= 256;
    }
    z2 = Fold512(z1, k512, z2);
    z3 = Fold512(z2, k512, z3);
    z4 = Fold512(z3, k512, z4);
    // The four 16-byte lanes in stream order, folded into one.
    alignas(64) std::uint8_t lanes[64];
    _mm512_store_si512(lanes, z4);
    __m128i x1 = Load(lanes);
    x1 = Fold(x1, k3k4, Load(lanes + 16));
    x1 = Fold(x1, k3k4, Load(lanes + 32));
    x1 = Fold(x1, k3k4, Load(lanes + 48));
    return FinishClmul(x1, buf, count);
}

bool HasVclmul512() {
    static const bool has =
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("vpclmulqdq") && __builtin_cpu_supports("pclmul");
    return has;
}

bool HasVclmul() {
    static const bool has = __builtin_cpu_supports("avx2") &&
                            __builtin_cpu_supports("vpclmulqdq") &&
                            __builtin_cpu_supports("pclmul");
    return has;
}

bool HasAvx() {
    static const bool has = __builtin_cpu_supports("avx");
    return has;
}

bool HasClmul() {
    // Asked once per process; the answer never changes.
    static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return has;
}
#endif

}  // namespace

std::uint32_t UpdateCrc32(std::uint32_t reg, const std::uint8_t* bytes, std::size_t count) {
#ifdef IMGDL_GZIP_CRC_CLMUL
    if (count >= 256 && HasVclmul512()) {
        const std::size_t folded = count & ~static_cast<std::size_t>(15);
        reg = UpdateCrc32Vclmul512(reg, bytes, folded);
        bytes += folded;
        count -= folded;
    } else if (count >= 128 && HasVclmul()) {
        const std::size_t folded = count & ~static_cast<std::size_t>(15);
        reg = UpdateCrc32Vclmul(reg, bytes, folded);
        bytes += folded;
        count -= folded;
    } else if (count >= 64 && HasClmul()) {
        const std::size_t folded = count & ~static_cast<std::size_t>(15);
        reg = HasAvx() ? UpdateCrc32ClmulAvx(reg, bytes, folded)
                       : UpdateCrc32Clmul(reg, bytes, folded);
        bytes += folded;
        count -= folded;
    }
#endif
    return UpdateCrc32Tables(reg, bytes, count);
}

}  // namespace imgdl::gzip
