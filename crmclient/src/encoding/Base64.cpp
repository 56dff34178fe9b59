// Base64 for file contents sent to and read from the CRM. Files can be large,
// so both directions write straight into a buffer sized once up front and
// look every character up in a table.

#include "Guard.h"
#include "encoding/Base64Lines.h"
#include "encoding/Buffer.h"
#include "tessary/Encoding.h"
#include "tessary/Notifier.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace tessary {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Every 12-bit value mapped to its two output characters, so one group of
// three bytes costs two lookups.
constexpr std::array<std::array<char, 2>, 4096> MakePairTable() {
    std::array<std::array<char, 2>, 4096> table{};
    for (int v = 0; v < 4096; ++v)
        table[v] = {kAlphabet[v >> 6], kAlphabet[v & 63]};
    return table;
}
constexpr auto kPairs = MakePairTable();

// Characters per output line, input bytes per full line.
constexpr std::size_t kLineChars = 64;
constexpr std::size_t kLineBytes = kLineChars / 4 * 3;
static_assert(kLineBytes == encoding::kBase64LineBytes);

inline void EncodeGroup(const unsigned char* in, char* out) {
    const std::uint32_t v = (std::uint32_t{in[0]} << 16) | (std::uint32_t{in[1]} << 8) | in[2];
    std::memcpy(out, kPairs[v >> 12].data(), 2);
    std::memcpy(out + 2, kPairs[v & 0xFFF].data(), 2);
}

// Decoding table: 0..63 for the alphabet, then markers.
constexpr std::uint8_t kPad = 64;
constexpr std::uint8_t kSpace = 65;
constexpr std::uint8_t kIllegal = 66;

constexpr std::array<std::uint8_t, 256> MakeDecodeTable() {
    std::array<std::uint8_t, 256> table{};
    for (auto& entry : table)
        entry = kIllegal;
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
    table['='] = kPad;
    for (unsigned char c : {'\r', '\n', '\t', ' '})
        table[c] = kSpace;
    return table;
}
constexpr auto kDecode = MakeDecodeTable();

// How many bytes a group of four decodes to, or -1 when it is not valid base64:
// every character must be of the alphabet or "=", and "=" may only stand as
// trailing padding ("xx==" or "xxx=").
int GroupLength(const unsigned char* g) {
    for (int i = 0; i < 4; ++i)
        if (kDecode[g[i]] > kPad)
            return -1;
    if (kDecode[g[0]] == kPad || kDecode[g[1]] == kPad)
        return -1;
    if (kDecode[g[2]] == kPad)
        return kDecode[g[3]] == kPad ? 1 : -1;
    return kDecode[g[3]] == kPad ? 2 : 3;
}

inline std::uint32_t GroupBits(const unsigned char* g) {
    auto value = [](unsigned char c) -> std::uint32_t { return kDecode[c] & 63; };
    return (value(g[0]) << 18) | (value(g[1]) << 12) | (value(g[2]) << 6) | value(g[3]);
}

// Asks the user what to do about an illegal group; true means go on.
bool AcceptIllegalGroup(const unsigned char* group) {
    std::string text = "Illegal Characters <";
    text.append(reinterpret_cast<const char*>(group), 4);
    text += "> found";
    return CurrentNotifier()->AskOkCancel("PROGRAM ERROR", text, BoxIcon::None) == BoxAnswer::Ok;
}

} // namespace

namespace encoding {

std::size_t Base64Size(std::size_t n) noexcept {
    const std::size_t chars = (n + 2) / 3 * 4;
    return chars + chars / kLineChars * 2;
}

void EncodeBase64To(std::string_view bytes, char* o) noexcept {
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t left = bytes.size();
    for (; left >= kLineBytes; left -= kLineBytes) {
        for (std::size_t g = 0; g < kLineBytes; g += 3)
            EncodeGroup(in + g, o + g / 3 * 4);
        in += kLineBytes;
        o += kLineChars;
        *o++ = '\r';
        *o++ = '\n';
    }
    std::size_t groups = 0;
    for (; left >= 3; left -= 3, ++groups) {
        EncodeGroup(in, o);
        in += 3;
        o += 4;
    }
    if (left > 0) {
        // Fill with zero bytes, encode, then cut and pad.
        const unsigned char tail[3] = {in[0], left == 2 ? in[1] : std::uint8_t{0}, 0};
        EncodeGroup(tail, o);
        o[3] = '=';
        if (left == 1)
            o[2] = '=';
        o += 4;
        ++groups;
    }
    if (groups == kLineChars / 4) {
        *o++ = '\r';
        *o++ = '\n';
    }
}

} // namespace encoding

std::string EncodeBase64(std::string_view bytes) {
    return detail::Guarded("sBase64Encode", std::string(), [bytes] {
        std::string out;
        encoding::SizeForOverwrite(out, encoding::Base64Size(bytes.size()));
        encoding::EncodeBase64To(bytes, out.data());
        return out;
    });
}

std::string DecodeBase64(std::string_view text) {
    return detail::Guarded("sBase64Decode", std::string(), [text] {
        // Each group of four gives at most three characters ("???" included).
        std::string out;
        encoding::SizeForOverwrite(out, (text.size() + 3) / 4 * 3);
        char* o = out.data();
        const auto* p = reinterpret_cast<const unsigned char*>(text.data());
        const auto* const end = p + text.size();

        for (;;) {
            // Clean groups of four straight from the input.
            while (end - p >= 4) {
                const std::uint32_t a = kDecode[p[0]], b = kDecode[p[1]], c = kDecode[p[2]],
                                    d = kDecode[p[3]];
                if ((a | b | c | d) > 63)
                    break;
                const std::uint32_t v = (a << 18) | (b << 12) | (c << 6) | d;
                o[0] = static_cast<char>(v >> 16);
                o[1] = static_cast<char>(v >> 8);
                o[2] = static_cast<char>(v);
                o += 3;
                p += 4;
            }
            // Otherwise gather the next four characters that are not white space.
            unsigned char group[4];
            int k = 0;
            while (p != end && k < 4) {
                const unsigned char c = *p++;
                if (kDecode[c] != kSpace)
                    group[k++] = c;
            }
            if (k == 0)
                break;
            for (; k < 4; ++k)
                group[k] = '=';

            const int length = GroupLength(group);
            if (length < 0) {
                if (!AcceptIllegalGroup(group))
                    break;
                std::memcpy(o, "???", 3);
                o += 3;
                continue;
            }
            const std::uint32_t v = GroupBits(group);
            const char decoded[3] = {static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                                     static_cast<char>(v)};
            std::memcpy(o, decoded, static_cast<std::size_t>(length));
            o += length;
        }
        const auto used = static_cast<std::size_t>(o - out.data());
        const bool mostlyUnused = used < out.size() / 2;
        out.resize(used);
        if (mostlyUnused) // stopped early: do not hand back a buffer sized for all of it
            out.shrink_to_fit();
        return out;
    });
}

} // namespace tessary
