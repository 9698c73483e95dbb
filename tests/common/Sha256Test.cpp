// The FIPS 180-4 example vectors, fed whole and in uneven pieces so that the buffering
// across block borders is exercised too.
#include "common/Sha256.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace imgdl {
namespace {

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

struct Vector {
    std::string message;
    const char* digest;
};

const Vector kVectors[] = {
    {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrl"
     "mnopqrsmnopqrstnopqrstu",
     "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
    {std::string(1'000'000, 'a'),
     "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
};

TEST(Sha256Test, StandardVectorsWholeAndInPieces) {
    for (const Vector& v : kVectors) {
        EXPECT_EQ(Sha256Hex(Bytes(v.message)), v.digest) << v.message.size();
        for (const std::size_t piece : {1u, 63u, 65u}) {
            Sha256 sha;
            const auto all = Bytes(v.message);
            for (std::size_t i = 0; i < all.size(); i += piece)
                sha.update(all.subspan(i, std::min(piece, all.size() - i)));
            const auto digest = sha.finish();
            std::string hex;
            for (auto b : digest) {
                char two[3];
                std::snprintf(two, sizeof two, "%02x", b);
                hex += two;
            }
            EXPECT_EQ(hex, v.digest) << "pieces of " << piece;
        }
    }
}

}  // namespace
}  // namespace imgdl
