#include "WireText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace tessary::detail {
namespace {

using u64 = std::uint64_t;

constexpr u64 kOnes = 0x0101010101010101ULL;
constexpr u64 kHighs = 0x8080808080808080ULL;

constexpr u64 HasZeroByte(u64 v) {
    return (v - kOnes) & ~v & kHighs;
}

// Whether an 8-byte word may hold a byte that is not written as itself: a byte
// with the high bit set, one below 0x20, or '&', '<', '>'. (TAB and LF are
// flagged too and then taken one by one.)
constexpr bool MayNeedWork(u64 w) {
    return ((w & kHighs) | ((w - kOnes * 0x20) & ~w & kHighs) | HasZeroByte(w ^ (kOnes * '&')) |
            HasZeroByte(w ^ (kOnes * '<')) | HasZeroByte(w ^ (kOnes * '>'))) != 0;
}

constexpr std::array<bool, 256> MakePlainTable() {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x80; ++c)
        plain[c] = c != '&' && c != '<' && c != '>';
    plain['\t'] = plain['\n'] = true;
    return plain;
}
constexpr auto kPlain = MakePlainTable();

// How many bytes from p on are written as they stand.
std::size_t PlainRun(const unsigned char* p, const unsigned char* end) {
    const unsigned char* q = p;
    for (;;) {
        while (end - q >= 8) {
            u64 word;
            std::memcpy(&word, q, 8);
            if (MayNeedWork(word))
                break;
            q += 8;
        }
        if (q == end || !kPlain[*q])
            return static_cast<std::size_t>(q - p);
        ++q;
    }
}

// Length of the well-formed UTF-8 sequence at p (Unicode's table 3-7: no
// overlong forms, no surrogates, nothing above U+10FFFF); 0 when there is none.
std::size_t Utf8Length(const unsigned char* p, const unsigned char* end) {
    const unsigned char b = p[0];
    const auto left = end - p;
    const auto cont = [&](std::ptrdiff_t i, unsigned char lo = 0x80, unsigned char hi = 0xBF) {
        return i < left && p[i] >= lo && p[i] <= hi;
    };
    if (b < 0x80)
        return 1;
    if (b >= 0xC2 && b <= 0xDF)
        return cont(1) ? 2 : 0;
    if (b >= 0xE0 && b <= 0xEF) {
        const unsigned char lo = b == 0xE0 ? 0xA0 : 0x80;
        const unsigned char hi = b == 0xED ? 0x9F : 0xBF;
        return cont(1, lo, hi) && cont(2) ? 3 : 0;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        const unsigned char lo = b == 0xF0 ? 0x90 : 0x80;
        const unsigned char hi = b == 0xF4 ? 0x8F : 0xBF;
        return cont(1, lo, hi) && cont(2) && cont(3) ? 4 : 0;
    }
    return 0;
}

// Windows-1252 0x80-0x9F; the five bytes it leaves undefined read as the C1
// controls of the same number, as Windows itself reads them.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::size_t PutUtf8(char16_t cp, char* out) {
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
}

std::size_t Put(const char* text, char* out) {
    const std::size_t n = std::strlen(text);
    std::memcpy(out, text, n);
    return n;
}

} // namespace

std::size_t WriteOneChar(std::string_view text, TextForm form, bool escape, std::size_t& pos,
                         char* out) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char b = s[pos];
    if (b < 0x80) {
        ++pos;
        if (escape) {
            switch (b) {
            case '&':
                return Put("&amp;", out);
            case '<':
                return Put("&lt;", out);
            case '>':
                return Put("&gt;", out);
            case '\r':
                return Put("&#13;", out);
            default:
                break;
            }
        }
        const bool forbidden = b < 0x20 && b != '\t' && b != '\n' && b != '\r';
        out[0] = forbidden ? ' ' : static_cast<char>(b);
        return 1;
    }
    if (form == TextForm::Utf8) {
        const std::size_t n = Utf8Length(s + pos, s + text.size());
        if (n == 3 && b == 0xEF && s[pos + 1] == 0xBF && s[pos + 2] >= 0xBE) {
            pos += 3; // U+FFFE, U+FFFF: no XML character
            out[0] = ' ';
            return 1;
        }
        if (n != 0) {
            std::memcpy(out, s + pos, n);
            pos += n;
            return n;
        }
        // Not reached for a text planned as UTF-8; read the stray byte as below.
    }
    ++pos;
    return PutUtf8(b < 0xA0 ? kCp1252High[b - 0x80] : char16_t{b}, out);
}

std::size_t WriteSomeText(std::string_view text, TextForm form, bool escape, std::size_t& pos,
                          char* out, std::size_t room) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t written = 0;
    while (pos < text.size() && written < room) {
        const std::size_t run =
            PlainRun(s + pos, s + std::min(text.size(), pos + (room - written)));
        if (run > 0) {
            std::memcpy(out + written, s + pos, run);
            written += run;
            pos += run;
            continue;
        }
        char unit[kMaxCharForm];
        std::size_t next = pos;
        const std::size_t n = WriteOneChar(text, form, escape, next, unit);
        if (n > room - written)
            break;
        std::memcpy(out + written, unit, n);
        written += n;
        pos = next;
    }
    return written;
}

TextPlan PlanText(std::string_view text, bool escape) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = s + text.size();
    for (const TextForm form : {TextForm::Utf8, TextForm::Windows1252}) {
        std::size_t size = 0;
        std::size_t pos = 0;
        bool fits = true;
        while (pos < text.size()) {
            const std::size_t run = PlainRun(s + pos, end);
            size += run;
            pos += run;
            if (pos == text.size())
                break;
            if (form == TextForm::Utf8 && Utf8Length(s + pos, end) == 0) {
                fits = false;
                break;
            }
            char unit[kMaxCharForm];
            size += WriteOneChar(text, form, escape, pos, unit);
        }
        if (fits)
            return {form, size};
    }
    return {}; // not reached: every byte has a Windows-1252 reading
}

void AppendEscaped(std::string& out, std::string_view text) {
    const TextPlan plan = PlanText(text, true);
    const std::size_t at = out.size();
    out.resize(at + plan.size);
    std::size_t pos = 0;
    WriteSomeText(text, plan.form, true, pos, out.data() + at, plan.size);
}

std::string WireText(std::string_view text) {
    const TextPlan plan = PlanText(text, false);
    std::string out(plan.size, '\0');
    std::size_t pos = 0;
    WriteSomeText(text, plan.form, false, pos, out.data(), out.size());
    return out;
}

} // namespace tessary::detail
