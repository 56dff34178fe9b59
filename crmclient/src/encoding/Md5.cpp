// MD5 (RFC 1321), written for speed: the round functions use forms whose
// parts that do not depend on the previous step's result can start early, and
// the message word plus constant is added off the critical path.

#include "Guard.h"
#include "tessary/Encoding.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace tessary {
namespace {

using u32 = std::uint32_t;

inline u32 LoadLE(const unsigned char* p) {
    if constexpr (std::endian::native == std::endian::little) {
        u32 v;
        std::memcpy(&v, p, 4);
        return v;
    } else {
        return u32{p[0]} | (u32{p[1]} << 8) | (u32{p[2]} << 16) | (u32{p[3]} << 24);
    }
}

// One step: a = b + rotl(a + f(b, c, d) + m + k, s), with mk = m + k. F and I
// depend on b in full; G is split into (c & ~d), known early, plus (b & d), the
// two having no bits in common; H needs c ^ d, also known early.
inline u32 StepF(u32 a, u32 b, u32 c, u32 d, u32 mk, int s) {
    a += mk;
    a += d ^ (b & (c ^ d));
    return std::rotl(a, s) + b;
}
inline u32 StepG(u32 a, u32 b, u32 c, u32 d, u32 mk, int s) {
    a += mk + (c & ~d);
    a += b & d;
    return std::rotl(a, s) + b;
}
inline u32 StepH(u32 a, u32 b, u32 c, u32 d, u32 mk, int s) {
    a += mk;
    a += b ^ (c ^ d);
    return std::rotl(a, s) + b;
}
inline u32 StepI(u32 a, u32 b, u32 c, u32 d, u32 mk, int s) {
    a += mk;
    a += c ^ (b | ~d);
    return std::rotl(a, s) + b;
}

struct Md5State {
    u32 a = 0x67452301, b = 0xefcdab89, c = 0x98badcfe, d = 0x10325476;
};

void Transform(Md5State& st, const unsigned char* block, std::size_t blocks) {
    u32 a = st.a, b = st.b, c = st.c, d = st.d;
    for (; blocks > 0; --blocks, block += 64) {
        u32 m[16];
        for (int i = 0; i < 16; ++i)
            m[i] = LoadLE(block + 4 * i);
        const u32 aa = a, bb = b, cc = c, dd = d;

        a = StepF(a, b, c, d, m[0] + 0xd76aa478, 7);
        d = StepF(d, a, b, c, m[1] + 0xe8c7b756, 12);
        c = StepF(c, d, a, b, m[2] + 0x242070db, 17);
        b = StepF(b, c, d, a, m[3] + 0xc1bdceee, 22);
        a = StepF(a, b, c, d, m[4] + 0xf57c0faf, 7);
        d = StepF(d, a, b, c, m[5] + 0x4787c62a, 12);
        c = StepF(c, d, a, b, m[6] + 0xa8304613, 17);
        b = StepF(b, c, d, a, m[7] + 0xfd469501, 22);
        a = StepF(a, b, c, d, m[8] + 0x698098d8, 7);
        d = StepF(d, a, b, c, m[9] + 0x8b44f7af, 12);
        c = StepF(c, d, a, b, m[10] + 0xffff5bb1, 17);
        b = StepF(b, c, d, a, m[11] + 0x895cd7be, 22);
        a = StepF(a, b, c, d, m[12] + 0x6b901122, 7);
        d = StepF(d, a, b, c, m[13] + 0xfd987193, 12);
        c = StepF(c, d, a, b, m[14] + 0xa679438e, 17);
        b = StepF(b, c, d, a, m[15] + 0x49b40821, 22);

        a = StepG(a, b, c, d, m[1] + 0xf61e2562, 5);
        d = StepG(d, a, b, c, m[6] + 0xc040b340, 9);
        c = StepG(c, d, a, b, m[11] + 0x265e5a51, 14);
        b = StepG(b, c, d, a, m[0] + 0xe9b6c7aa, 20);
        a = StepG(a, b, c, d, m[5] + 0xd62f105d, 5);
        d = StepG(d, a, b, c, m[10] + 0x02441453, 9);
        c = StepG(c, d, a, b, m[15] + 0xd8a1e681, 14);
        b = StepG(b, c, d, a, m[4] + 0xe7d3fbc8, 20);
        a = StepG(a, b, c, d, m[9] + 0x21e1cde6, 5);
        d = StepG(d, a, b, c, m[14] + 0xc33707d6, 9);
        c = StepG(c, d, a, b, m[3] + 0xf4d50d87, 14);
        b = StepG(b, c, d, a, m[8] + 0x455a14ed, 20);
        a = StepG(a, b, c, d, m[13] + 0xa9e3e905, 5);
        d = StepG(d, a, b, c, m[2] + 0xfcefa3f8, 9);
        c = StepG(c, d, a, b, m[7] + 0x676f02d9, 14);
        b = StepG(b, c, d, a, m[12] + 0x8d2a4c8a, 20);

        a = StepH(a, b, c, d, m[5] + 0xfffa3942, 4);
        d = StepH(d, a, b, c, m[8] + 0x8771f681, 11);
        c = StepH(c, d, a, b, m[11] + 0x6d9d6122, 16);
        b = StepH(b, c, d, a, m[14] + 0xfde5380c, 23);
        a = StepH(a, b, c, d, m[1] + 0xa4beea44, 4);
        d = StepH(d, a, b, c, m[4] + 0x4bdecfa9, 11);
        c = StepH(c, d, a, b, m[7] + 0xf6bb4b60, 16);
        b = StepH(b, c, d, a, m[10] + 0xbebfbc70, 23);
        a = StepH(a, b, c, d, m[13] + 0x289b7ec6, 4);
        d = StepH(d, a, b, c, m[0] + 0xeaa127fa, 11);
        c = StepH(c, d, a, b, m[3] + 0xd4ef3085, 16);
        b = StepH(b, c, d, a, m[6] + 0x04881d05, 23);
        a = StepH(a, b, c, d, m[9] + 0xd9d4d039, 4);
        d = StepH(d, a, b, c, m[12] + 0xe6db99e5, 11);
        c = StepH(c, d, a, b, m[15] + 0x1fa27cf8, 16);
        b = StepH(b, c, d, a, m[2] + 0xc4ac5665, 23);

        a = StepI(a, b, c, d, m[0] + 0xf4292244, 6);
        d = StepI(d, a, b, c, m[7] + 0x432aff97, 10);
        c = StepI(c, d, a, b, m[14] + 0xab9423a7, 15);
        b = StepI(b, c, d, a, m[5] + 0xfc93a039, 21);
        a = StepI(a, b, c, d, m[12] + 0x655b59c3, 6);
        d = StepI(d, a, b, c, m[3] + 0x8f0ccc92, 10);
        c = StepI(c, d, a, b, m[10] + 0xffeff47d, 15);
        b = StepI(b, c, d, a, m[1] + 0x85845dd1, 21);
        a = StepI(a, b, c, d, m[8] + 0x6fa87e4f, 6);
        d = StepI(d, a, b, c, m[15] + 0xfe2ce6e0, 10);
        c = StepI(c, d, a, b, m[6] + 0xa3014314, 15);
        b = StepI(b, c, d, a, m[13] + 0x4e0811a1, 21);
        a = StepI(a, b, c, d, m[4] + 0xf7537e82, 6);
        d = StepI(d, a, b, c, m[11] + 0xbd3af235, 10);
        c = StepI(c, d, a, b, m[2] + 0x2ad7d2bb, 15);
        b = StepI(b, c, d, a, m[9] + 0xeb86d391, 21);

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    st.a = a;
    st.b = b;
    st.c = c;
    st.d = d;
}

// The whole digest of one buffer: full blocks straight from the input, then
// the padding (0x80, zeros, the bit length) in one or two final blocks.
std::array<unsigned char, 16> Digest(std::string_view bytes) noexcept {
    Md5State st;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t full = bytes.size() / 64;
    Transform(st, p, full);

    unsigned char tail[128] = {};
    const std::size_t rest = bytes.size() % 64;
    std::memcpy(tail, p + full * 64, rest);
    tail[rest] = 0x80;
    const std::size_t tailBlocks = rest < 56 ? 1 : 2;
    const std::uint64_t bits = static_cast<std::uint64_t>(bytes.size()) * 8;
    for (int i = 0; i < 8; ++i)
        tail[tailBlocks * 64 - 8 + i] = static_cast<unsigned char>(bits >> (8 * i));
    Transform(st, tail, tailBlocks);

    std::array<unsigned char, 16> digest{};
    const u32 words[4] = {st.a, st.b, st.c, st.d};
    for (int w = 0; w < 4; ++w)
        for (int i = 0; i < 4; ++i)
            digest[4 * w + i] = static_cast<unsigned char>(words[w] >> (8 * i));
    return digest;
}

} // namespace

std::string MD5Hex(std::string_view bytes) {
    const auto digest = Digest(bytes);
    return detail::Guarded("DigestStrToHexStr", std::string(), [&digest] {
        static constexpr char kHex[] = "0123456789abcdef";
        std::string hex(32, '0');
        for (std::size_t i = 0; i < digest.size(); ++i) {
            hex[2 * i] = kHex[digest[i] >> 4];
            hex[2 * i + 1] = kHex[digest[i] & 15];
        }
        return hex;
    });
}

} // namespace tessary
