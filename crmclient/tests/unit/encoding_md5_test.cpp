#include "tessary/Encoding.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using tessary::MD5Hex;

TEST(EncodingMd5Test, MatchesRfc1321TestSuite) {
    EXPECT_EQ(MD5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(MD5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(MD5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(MD5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(MD5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(MD5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(MD5Hex("1234567890123456789012345678901234567890"
                     "1234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(EncodingMd5Test, MillionA) {
    EXPECT_EQ(MD5Hex(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
}

TEST(EncodingMd5Test, LengthsAroundTheBlockAndPaddingBoundaries) {
    // 55 bytes still fit the length into the last block, 56 need a second one.
    EXPECT_EQ(MD5Hex(std::string(55, 'a')), "ef1772b6dff9a122358552954ad0df65");
    EXPECT_EQ(MD5Hex(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
    EXPECT_EQ(MD5Hex(std::string(63, 'a')), "b06521f39153d618550606be297466d5");
    EXPECT_EQ(MD5Hex(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
    EXPECT_EQ(MD5Hex(std::string(65, 'a')), "c743a45e0d2e6a95cb859adae0248435");
}

TEST(EncodingMd5Test, HashesBytesNotCharacters) {
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    EXPECT_EQ(MD5Hex(all), "e2c865db4162bed963bfaa9ef6ac18f0");
    // Embedded zero bytes count.
    EXPECT_NE(MD5Hex(std::string("a\0b", 3)), MD5Hex("ab"));
}

} // namespace
