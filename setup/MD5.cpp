// RFC 1321, transcribed: the four auxiliary functions, 64 steps with the standard's
// message-word order, rotations and sine constants, little-endian throughout.
#include "MD5.h"

#include <algorithm>
#include <cstring>

#ifdef _WIN32
#include "Text.h"
#endif

namespace {

using std::uint32_t;
using std::uint8_t;

inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return (x & y) | (~x & z); }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return (x & z) | (y & ~z); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }

inline uint32_t RotateLeft(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

template <uint32_t (*Fn)(uint32_t, uint32_t, uint32_t)>
inline void Step(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, int s, uint32_t t)
{
    a = b + RotateLeft(a + Fn(b, c, d) + x + t, s);
}

void Transform(uint32_t state[4], const uint8_t block[64])
{
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) {
        x[i] = uint32_t(block[4 * i]) | uint32_t(block[4 * i + 1]) << 8 |
               uint32_t(block[4 * i + 2]) << 16 | uint32_t(block[4 * i + 3]) << 24;
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];

    // Round 1
    Step<F>(a, b, c, d, x[0], 7, 0xd76aa478);
    Step<F>(d, a, b, c, x[1], 12, 0xe8c7b756);
    Step<F>(c, d, a, b, x[2], 17, 0x242070db);
    Step<F>(b, c, d, a, x[3], 22, 0xc1bdceee);
    Step<F>(a, b, c, d, x[4], 7, 0xf57c0faf);
    Step<F>(d, a, b, c, x[5], 12, 0x4787c62a);
    Step<F>(c, d, a, b, x[6], 17, 0xa8304613);
    Step<F>(b, c, d, a, x[7], 22, 0xfd469501);
    Step<F>(a, b, c, d, x[8], 7, 0x698098d8);
    Step<F>(d, a, b, c, x[9], 12, 0x8b44f7af);
    Step<F>(c, d, a, b, x[10], 17, 0xffff5bb1);
    Step<F>(b, c, d, a, x[11], 22, 0x895cd7be);
    Step<F>(a, b, c, d, x[12], 7, 0x6b901122);
    Step<F>(d, a, b, c, x[13], 12, 0xfd987193);
    Step<F>(c, d, a, b, x[14], 17, 0xa679438e);
    Step<F>(b, c, d, a, x[15], 22, 0x49b40821);

    // Round 2
    Step<G>(a, b, c, d, x[1], 5, 0xf61e2562);
    Step<G>(d, a, b, c, x[6], 9, 0xc040b340);
    Step<G>(c, d, a, b, x[11], 14, 0x265e5a51);
    Step<G>(b, c, d, a, x[0], 20, 0xe9b6c7aa);
    Step<G>(a, b, c, d, x[5], 5, 0xd62f105d);
    Step<G>(d, a, b, c, x[10], 9, 0x02441453);
    Step<G>(c, d, a, b, x[15], 14, 0xd8a1e681);
    Step<G>(b, c, d, a, x[4], 20, 0xe7d3fbc8);
    Step<G>(a, b, c, d, x[9], 5, 0x21e1cde6);
    Step<G>(d, a, b, c, x[14], 9, 0xc33707d6);
    Step<G>(c, d, a, b, x[3], 14, 0xf4d50d87);
    Step<G>(b, c, d, a, x[8], 20, 0x455a14ed);
    Step<G>(a, b, c, d, x[13], 5, 0xa9e3e905);
    Step<G>(d, a, b, c, x[2], 9, 0xfcefa3f8);
    Step<G>(c, d, a, b, x[7], 14, 0x676f02d9);
    Step<G>(b, c, d, a, x[12], 20, 0x8d2a4c8a);

    // Round 3
    Step<H>(a, b, c, d, x[5], 4, 0xfffa3942);
    Step<H>(d, a, b, c, x[8], 11, 0x8771f681);
    Step<H>(c, d, a, b, x[11], 16, 0x6d9d6122);
    Step<H>(b, c, d, a, x[14], 23, 0xfde5380c);
    Step<H>(a, b, c, d, x[1], 4, 0xa4beea44);
    Step<H>(d, a, b, c, x[4], 11, 0x4bdecfa9);
    Step<H>(c, d, a, b, x[7], 16, 0xf6bb4b60);
    Step<H>(b, c, d, a, x[10], 23, 0xbebfbc70);
    Step<H>(a, b, c, d, x[13], 4, 0x289b7ec6);
    Step<H>(d, a, b, c, x[0], 11, 0xeaa127fa);
    Step<H>(c, d, a, b, x[3], 16, 0xd4ef3085);
    Step<H>(b, c, d, a, x[6], 23, 0x04881d05);
    Step<H>(a, b, c, d, x[9], 4, 0xd9d4d039);
    Step<H>(d, a, b, c, x[12], 11, 0xe6db99e5);
    Step<H>(c, d, a, b, x[15], 16, 0x1fa27cf8);
    Step<H>(b, c, d, a, x[2], 23, 0xc4ac5665);

    // Round 4
    Step<I>(a, b, c, d, x[0], 6, 0xf4292244);
    Step<I>(d, a, b, c, x[7], 10, 0x432aff97);
    Step<I>(c, d, a, b, x[14], 15, 0xab9423a7);
    Step<I>(b, c, d, a, x[5], 21, 0xfc93a039);
    Step<I>(a, b, c, d, x[12], 6, 0x655b59c3);
    Step<I>(d, a, b, c, x[3], 10, 0x8f0ccc92);
    Step<I>(c, d, a, b, x[10], 15, 0xffeff47d);
    Step<I>(b, c, d, a, x[1], 21, 0x85845dd1);
    Step<I>(a, b, c, d, x[8], 6, 0x6fa87e4f);
    Step<I>(d, a, b, c, x[15], 10, 0xfe2ce6e0);
    Step<I>(c, d, a, b, x[6], 15, 0xa3014314);
    Step<I>(b, c, d, a, x[13], 21, 0x4e0811a1);
    Step<I>(a, b, c, d, x[4], 6, 0xf7537e82);
    Step<I>(d, a, b, c, x[11], 10, 0xbd3af235);
    Step<I>(c, d, a, b, x[2], 15, 0x2ad7d2bb);
    Step<I>(b, c, d, a, x[9], 21, 0xeb86d391);

    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

void EncodeLittleEndian(uint8_t* out, const uint32_t* words, int count)
{
    for (int i = 0; i < count; ++i) {
        out[4 * i] = uint8_t(words[i]);
        out[4 * i + 1] = uint8_t(words[i] >> 8);
        out[4 * i + 2] = uint8_t(words[i] >> 16);
        out[4 * i + 3] = uint8_t(words[i] >> 24);
    }
}

} // namespace

void MD5Init(MD5Context& context)
{
    context.state[0] = 0x67452301;
    context.state[1] = 0xefcdab89;
    context.state[2] = 0x98badcfe;
    context.state[3] = 0x10325476;
    context.count[0] = context.count[1] = 0;
    std::memset(context.buffer, 0, sizeof context.buffer);
}

void MD5Update(MD5Context& context, const void* bytes, uint32_t length)
{
    const auto* input = static_cast<const uint8_t*>(bytes);
    uint32_t used = (context.count[0] >> 3) & 0x3f; // bytes waiting in the buffer

    // The bit count: a 32-bit length is at most 2^35 bits, which carries into the high word.
    const uint32_t lowBits = length << 3;
    context.count[0] += lowBits;
    if (context.count[0] < lowBits) ++context.count[1];
    context.count[1] += length >> 29;

    uint32_t done = 0;
    const uint32_t room = 64 - used;
    if (length >= room) {
        std::memcpy(context.buffer + used, input, room);
        Transform(context.state, context.buffer);
        for (done = room; done + 63 < length; done += 64) Transform(context.state, input + done);
        used = 0;
    }
    if (length > done) std::memcpy(context.buffer + used, input + done, length - done);
}

MD5Digest MD5Final(MD5Context& context)
{
    static const uint8_t padding[64] = {0x80};
    uint8_t bits[8];
    EncodeLittleEndian(bits, context.count, 2);

    // Pad to 56 bytes modulo 64, then append the length.
    const uint32_t used = (context.count[0] >> 3) & 0x3f;
    MD5Update(context, padding, used < 56 ? 56 - used : 120 - used);
    MD5Update(context, bits, 8);

    MD5Digest digest;
    EncodeLittleEndian(digest.data(), context.state, 4);
    std::memset(&context, 0, sizeof context); // nothing of the message stays behind
    return digest;
}

std::string MD5HexOfDigest(const MD5Digest& digest)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(32);
    for (const uint8_t byte : digest) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0f];
    }
    return text;
}

std::string MD5HexOfString(const std::string& ansiBytes)
{
    MD5Context context;
    MD5Init(context);
    // One update over all the bytes; a text longer than 4 GiB would go in pieces.
    const char* data = ansiBytes.data();
    std::size_t left = ansiBytes.size();
    do {
        const auto piece = static_cast<std::uint32_t>(std::min<std::size_t>(left, 0xffffffffu));
        MD5Update(context, data, piece);
        data += piece;
        left -= piece;
    } while (left > 0);
    return MD5HexOfDigest(MD5Final(context));
}

#ifdef _WIN32
std::wstring MD5HexOfString(const std::wstring& text)
{
    const std::string hex = MD5HexOfString(winui::ToAnsi(text));
    return std::wstring(hex.begin(), hex.end());
}
#endif
