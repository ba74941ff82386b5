// SHA-256 against the published test vectors and the block-boundary lengths.
#include "sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace qvt {
namespace {

std::string Hex(const Sha256Digest& digest) {
    static const char* digits = "0123456789abcdef";
    std::string text;
    for (std::uint8_t b : digest) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

std::string Of(std::string_view text) {
    return Hex(Sha256(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())));
}

TEST(Sha256, MatchesThePublishedVectors) {
    EXPECT_EQ(Of(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Of("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 56 bytes: the length no longer fits the first block's tail.
    EXPECT_EQ(Of("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Of(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    // 55 bytes, the longest tail that takes its length in one block, and one whole block.
    EXPECT_EQ(Of(std::string(55, 'x')),
              "d5e285683cd4efc02d021a5c62014694958901005d6f71e89e0989fac77e4072");
    EXPECT_EQ(Of(std::string(64, 'x')),
              "7ce100971f64e7001e8fe5a51973ecdfe1ced42befe7ee8d5fd6219506b5393c");
}

}  // namespace
}  // namespace qvt
