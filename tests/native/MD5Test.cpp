// The MD5 unit natively: the RFC 1321 test suite, the padding boundaries, split updates
// and agreement with OpenSSL's MD5 on random inputs.
#include "MD5.h"

#include <openssl/evp.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// OpenSSL's digest of the bytes, printed in lower case.
std::string ReferenceMd5(const std::string& bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_md5(), nullptr) || size != 16)
        throw std::runtime_error("OpenSSL's MD5 failed");
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < size; ++i) {
        text += digits[digest[i] >> 4];
        text += digits[digest[i] & 15];
    }
    return text;
}

std::string RandomBytes(std::mt19937& generator, std::size_t size)
{
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator() & 0xff);
    return bytes;
}

TEST(MD5, Rfc1321TestSuite)
{
    const struct {
        const char* message;
        const char* digest;
    } suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : suite) EXPECT_EQ(MD5HexOfString(std::string(c.message)), c.digest) << c.message;
}

TEST(MD5, LengthsAroundThePaddingBoundaries)
{
    // Digests of n letters 'a', from Python's hashlib.
    const struct {
        std::size_t length;
        const char* digest;
    } cases[] = {
        {55, "ef1772b6dff9a122358552954ad0df65"}, // the length still fits the block
        {56, "3b0c8ac703f828b04c6c197006d17218"}, // the length needs a second block
        {63, "b06521f39153d618550606be297466d5"},
        {64, "014842d480b571495a4a0363793f7367"},
        {65, "c743a45e0d2e6a95cb859adae0248435"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MD5HexOfString(std::string(c.length, 'a')), c.digest) << c.length << " bytes";
}

TEST(MD5, AgreesWithOpenSslOnRandomInputs)
{
    std::mt19937 generator(1321);
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= 300; ++n) lengths.push_back(n);
    for (std::size_t n : {511u, 512u, 513u, 4095u, 4096u, 65537u, 1000003u}) lengths.push_back(n);
    for (const std::size_t length : lengths) {
        const std::string bytes = RandomBytes(generator, length);
        ASSERT_EQ(MD5HexOfString(bytes), ReferenceMd5(bytes)) << length << " bytes";
    }
}

TEST(MD5, UpdatesSplitAtEveryOffsetGiveTheSameDigest)
{
    std::mt19937 generator(64);
    const std::string message = RandomBytes(generator, 200);
    const std::string expected = ReferenceMd5(message);
    for (std::size_t first = 0; first <= message.size(); ++first) {
        // Two pieces, and three with a second cut 70 bytes later.
        for (const std::size_t second : {first, std::min(first + 70, message.size())}) {
            MD5Context context;
            MD5Init(context);
            MD5Update(context, message.data(), static_cast<std::uint32_t>(first));
            MD5Update(context, message.data() + first, static_cast<std::uint32_t>(second - first));
            MD5Update(context, message.data() + second,
                      static_cast<std::uint32_t>(message.size() - second));
            ASSERT_EQ(MD5HexOfDigest(MD5Final(context)), expected) << "cuts at " << first << ", " << second;
        }
    }
}

TEST(MD5, FinalWipesTheContext)
{
    MD5Context context;
    MD5Init(context);
    MD5Update(context, "secret installation text", 24);
    MD5Final(context);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&context);
    for (std::size_t i = 0; i < sizeof context; ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i;
}

TEST(MD5, BitCountCarriesIntoItsHighWord)
{
    // 2^29 bytes make 2^32 bits: the low word wraps to zero and the high word counts one.
    MD5Context context;
    MD5Init(context);
    context.count[0] = 0xfffffff8u; // as if 2^29 - 1 bytes had been absorbed
    MD5Update(context, "x", 1);
    EXPECT_EQ(context.count[0], 0u);
    EXPECT_EQ(context.count[1], 1u);
    MD5Update(context, "y", 1);
    EXPECT_EQ(context.count[0], 8u);
    EXPECT_EQ(context.count[1], 1u);
}

TEST(MD5, HexIsLowerCaseHighHalfFirst)
{
    const MD5Digest digest{0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef,
                           0xfe, 0xdc, 0xba, 0x98, 0x76, 0x54, 0x32, 0x10};
    EXPECT_EQ(MD5HexOfDigest(digest), "0123456789abcdeffedcba9876543210");
}

} // namespace
