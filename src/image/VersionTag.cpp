#include "image/VersionTag.h"

#include <climits>
#include <cstring>
#include <optional>
#include <string_view>

namespace imgdl {
namespace {

constexpr std::string_view kTag = "version: ";

// A bounded reader that sees the region as a C string: it ends at a zero byte.
class TextCursor {
  public:
    explicit TextCursor(std::span<const std::uint8_t> text) : text_(text) {}
    int peek() const { return pos_ < text_.size() ? text_[pos_] : 0; }
    void advance() { ++pos_; }

  private:
    std::span<const std::uint8_t> text_;
    std::size_t pos_ = 0;
};

bool IsScanfSpace(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

// One "%d": leading white space, an optional sign, at least one digit. Like the C
// library, a value beyond the range of long is clamped, then stored as an int.
std::optional<std::int32_t> ScanInt(TextCursor& in) {
    while (IsScanfSpace(in.peek())) in.advance();
    bool negative = false;
    if (in.peek() == '+' || in.peek() == '-') {
        negative = in.peek() == '-';
        in.advance();
    }
    if (!IsDigit(in.peek())) return std::nullopt;
    unsigned long long magnitude = 0;
    const unsigned long long limit = negative ? 0ULL - static_cast<unsigned long long>(LONG_MIN)
                                              : static_cast<unsigned long long>(LONG_MAX);
    for (; IsDigit(in.peek()); in.advance()) {
        const unsigned digit = static_cast<unsigned>(in.peek() - '0');
        magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
    }
    const unsigned long long value = negative ? 0ULL - magnitude : magnitude;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::int32_t ReadVersionText(std::span<const std::uint8_t> text) {
    TextCursor in(text);
    std::int32_t parts[3];
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            if (in.peek() != '.') return kProbeNoVersion;
            in.advance();
        }
        const auto value = ScanInt(in);
        if (!value) return kProbeNoVersion;
        parts[i] = *value;
    }
    // The trailing " $" of the format need not match once three numbers were read.
    return VersionValue(parts[0], parts[1], parts[2]);
}

}  // namespace

std::int32_t VersionValue(std::int32_t major, std::int32_t minor, std::int32_t patch) {
    const auto value =
        ((static_cast<std::uint32_t>(major) * 256u + static_cast<std::uint32_t>(minor)) * 256u +
         static_cast<std::uint32_t>(patch)) *
        256u;
    return static_cast<std::int32_t>(value);
}

std::int32_t FindVersionTag(std::span<const std::uint8_t> region) {
    std::size_t pos = 0;
    while (pos < region.size()) {
        const void* dollar = std::memchr(region.data() + pos, '$', region.size() - pos);
        if (!dollar) return kProbeNoVersion;
        pos =
            static_cast<std::size_t>(static_cast<const std::uint8_t*>(dollar) - region.data()) + 1;
        std::size_t matched = 0;
        while (matched < kTag.size() && pos + matched < region.size() &&
               region[pos + matched] == static_cast<std::uint8_t>(kTag[matched]))
            ++matched;
        if (matched == kTag.size()) return ReadVersionText(region.subspan(pos + matched));
        // Resume at the byte that differed: it may itself be the '$' of a tag.
        pos += matched;
    }
    return kProbeNoVersion;
}

}  // namespace imgdl
