#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/UnsignedField.h"

namespace imgdl {
namespace {

TEST(ParseUnsignedField, AcceptsOnlyUnsignedDecimalsWithBlanksAround) {
    const struct {
        std::string text;
        std::optional<std::uint32_t> value;
    } cases[] = {
        {"5000", 5000u},
        {" 5000 ", 5000u},
        {"\t7\t ", 7u},
        {"0", 0u},
        {"0005", 5u},
        {"4294967295", 4294967295u},
        {"4294967296", std::nullopt},
        {"18446744073709551621", std::nullopt},  // wraps to 5 in 64 bits
        {"", std::nullopt},
        {" \t ", std::nullopt},
        {"-1", std::nullopt},
        {"-0", std::nullopt},
        {"+5", std::nullopt},
        {"50a0", std::nullopt},
        {"5 0", std::nullopt},
        {"0x10", std::nullopt},
        {"5000\n", std::nullopt},
        {"\xef\xbc\x95", std::nullopt},  // a full-width digit
        {std::string(27, '0') + "5000", 5000u},
        // Longer than a field is read: the number cut short would be another number.
        {std::string(28, '0') + "5000", std::nullopt},
        {std::string(30, ' ') + "50", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseUnsignedField(c.text), c.value) << '"' << c.text << '"';
}

}  // namespace
}  // namespace imgdl
