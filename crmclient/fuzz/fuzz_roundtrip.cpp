// What we send: random parameter lists (texts of any bytes, integers, booleans,
// doubles, dates, base64 data, nested structs and arrays) are written as a call,
// whole and read out in pieces of random size, and the call is read back with the
// answer decoder. Every text must arrive as the writing rules make it (checked
// against a plain reimplementation of them here), every other value exactly, and
// the body must be UTF-8 that XML 1.0 can carry. Also: base64 of random bytes
// decodes back to them, and a date written as text reads back as the same second.
//
// Speed: a long text (64 kB, which the body streams) costs a run some 50 ms under the
// sanitizers, a thousand times what the rest does. So a run holds at most one, and
// only when a hash of the whole input says so (one input in 1024): any change to an
// input that has one most likely takes it away, so the fuzzer cannot spend its time on
// them, however rare the coverage they bring.
// This file's own code is left out of the coverage the fuzzer steers by (see
// CMakeLists.txt): its branches say nothing about the library and cost time.

#include "QuietBoxes.h"
#include "XmlRpcCodec.h"
#include "encoding/Dates.h"
#include "tessary/Encoding.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <memory>
#include <sanitizer/asan_interface.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

using tessary::RpcArray;
using tessary::RpcStruct;
using tessary::RpcType;
using tessary::RpcValue;

void Require(bool ok) {
    if (!ok)
        __builtin_trap();
}

// ---- the writing rules for texts, written out plainly ----

void PutUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Calls f with each code point of valid UTF-8; false, part-way, when the text is not.
// (No vector of code points: a body runs to hundreds of kilobytes.)
template <class F> bool ForEachCodePoint(std::string_view s, F f) {
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const int n = b < 0x80 ? 1 : b >> 5 == 6 ? 2 : b >> 4 == 14 ? 3 : b >> 3 == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        char32_t cp = n == 1 ? b : b & (0x7F >> n);
        for (int k = 1; k < n; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if (c >> 6 != 2)
                return false;
            cp = cp << 6 | (c & 0x3F);
        }
        const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        f(cp);
        i += n;
    }
    return true;
}

// A code point as it must be written: one XML 1.0 cannot carry becomes a blank.
void PutWritten(char32_t cp, std::string& out) {
    if ((cp < 0x20 && cp != '\t' && cp != '\n' && cp != '\r') || cp == 0xFFFE || cp == 0xFFFF)
        cp = ' ';
    PutUtf8(cp, out);
}

std::string Expected(const std::string& text) {
    static const char32_t kHigh[32] = {
        0x20AC, 0x81,   0x201A, 0x192,  0x201E, 0x2026, 0x2020, 0x2021, 0x2C6,  0x2030, 0x160,
        0x2039, 0x152,  0x8D,   0x17D,  0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x2DC,  0x2122, 0x161,  0x203A, 0x153,  0x9D,   0x17E,  0x178};
    std::string out;
    out.reserve(text.size());
    if (ForEachCodePoint(text, [&](char32_t cp) { PutWritten(cp, out); }))
        return out;
    // Not UTF-8: the bytes are Windows-1252.
    out.clear();
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        PutWritten(b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b, out);
    }
    return out;
}

// ---- random values ----

class Maker {
public:
    // With `longText`, one string value of the call (if there is one) is 64 kB long.
    Maker(FuzzedDataProvider& in, bool longText) : in_(in), longTexts_(longText ? 1 : 0) {}

    std::string Text() { return in_.ConsumeRandomLengthString(64); }

    // A string value; the long one is its text repeated to the size from which the body
    // streams a text instead of copying it (64 kB), cut there, maybe in a character.
    std::string StringValue() {
        std::string text = Text();
        if (longTexts_ > 0 && !text.empty()) {
            --longTexts_;
            constexpr std::size_t kStreamed = 64 * 1024;
            text.reserve(kStreamed + text.size());
            while (text.size() < kStreamed)
                text.append(text.data(), std::min(text.size(), kStreamed - text.size()));
        }
        return text;
    }

    // A value of any kind, nested at most four deep. A call holds at most kValues of
    // them: a run's cost stays bounded however long the input grows, and every kind of
    // value and nesting still fits.
    RpcValue Value(int depth) {
        --valuesLeft_;
        switch (in_.ConsumeIntegralInRange(0, depth < 4 ? 8 : 6)) {
        case 0:
            return RpcValue::Integer(in_.ConsumeIntegral<std::int32_t>());
        case 1:
            return RpcValue::Boolean(in_.ConsumeBool());
        case 2: {
            const double d = in_.ConsumeFloatingPoint<double>();
            return RpcValue::Double(std::isfinite(d) ? d : 0.5);
        }
        case 3:
            // Only dates with a text form; the others must make the writer refuse.
            return RpcValue::Date(in_.ConsumeFloatingPointInRange(-657434.0, 2958465.99));
        case 4:
            return RpcValue::Base64(tessary::EncodeBase64(in_.ConsumeRandomLengthString(200)));
        case 5:
            return RpcValue();
        case 6:
            return RpcValue::String(StringValue());
        case 7: {
            auto s = std::make_shared<RpcStruct>();
            for (int n = in_.ConsumeIntegralInRange(0, 4); n > 0 && Left(); --n)
                s->AddValue(in_.ConsumeRandomLengthString(16), Value(depth + 1));
            return RpcValue::Struct(s);
        }
        default: {
            auto a = std::make_shared<RpcArray>();
            for (int n = in_.ConsumeIntegralInRange(0, 4); n > 0 && Left(); --n)
                a->AddValue(Value(depth + 1));
            return RpcValue::Array(a);
        }
        }
    }

    // Whether another value fits into the call.
    bool Left() const { return valuesLeft_ > 0; }

private:
    static constexpr int kValues = 32;
    FuzzedDataProvider& in_;
    int longTexts_;
    int valuesLeft_ = kValues;
};

// FNV-1a of the whole input.
std::uint32_t Hash(const std::uint8_t* data, std::size_t size) {
    std::uint32_t h = 2166136261u;
    for (std::size_t i = 0; i < size; ++i)
        h = (h ^ data[i]) * 16777619u;
    return h;
}

// ---- comparing what was sent with what arrived ----

void Same(const RpcValue& sent, const RpcValue& got) {
    switch (sent.Type()) {
    case RpcType::Empty: // no nil on the wire: an empty string
    case RpcType::String:
        Require(got.Type() == RpcType::String && got.StringValue() == Expected(sent.StringValue()));
        break;
    case RpcType::Integer:
        Require(got.Type() == RpcType::Integer && got.IntegerValue() == sent.IntegerValue());
        break;
    case RpcType::Boolean:
        Require(got.Type() == RpcType::Boolean && got.BooleanValue() == sent.BooleanValue());
        break;
    case RpcType::Double:
        Require(got.Type() == RpcType::Double && got.DoubleValue() == sent.DoubleValue());
        break;
    case RpcType::DateTime:
        Require(got.Type() == RpcType::DateTime && got.StringValue() == sent.StringValue());
        Require(tessary::PartsFromAutomationDate(got.DateValue()) ==
                tessary::PartsFromAutomationDate(sent.DateValue()));
        break;
    case RpcType::Base64:
        Require(got.Type() == RpcType::Base64 && tessary::DecodeBase64(got.StringValue()) ==
                                                     tessary::DecodeBase64(sent.StringValue()));
        break;
    case RpcType::Struct: {
        // Names are texts too: two that are written alike arrive as one member,
        // the later value in the earlier one's place, as RpcStruct keeps them.
        RpcStruct expected;
        for (const auto& [name, value] : sent.StructValue()->Members())
            expected.AddValue(Expected(name), value);
        const auto s = got.StructValue();
        Require(s && s->Count() == expected.Count());
        for (std::size_t i = 0; i < expected.Count(); ++i) {
            Require(s->Members()[i].first == expected.Members()[i].first);
            Same(expected.Members()[i].second, s->Members()[i].second);
        }
        break;
    }
    case RpcType::Array: {
        const auto a = got.ArrayValue();
        Require(a && a->Count() == sent.ArrayValue()->Count());
        for (std::size_t i = 0; i < a->Count(); ++i)
            Same(sent.ArrayValue()->Elements()[i], a->Elements()[i]);
        break;
    }
    }
}

// UTF-8 without a character XML 1.0 cannot carry (CR only as "&#13;").
void FitForTheWire(const std::string& body) {
    Require(ForEachCodePoint(body, [](char32_t cp) {
        Require((cp >= 0x20 || cp == '\t' || cp == '\n') && cp != 0xFFFE && cp != 0xFFFF);
    }));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::QuietBoxes(tessary::BoxAnswer::Ok);
    FuzzedDataProvider in(data, size);
    Maker make(in, Hash(data, size) % 1024 == 0);
    // Small pieces cut entities apart; large ones are what libcurl asks for.
    const std::size_t piece = in.ConsumeBool()
                                  ? in.ConsumeIntegralInRange<std::size_t>(1, 16)
                                  : in.ConsumeIntegralInRange<std::size_t>(4096, 300000);

    // Dates written as text read back as the same second, and out of range not at all.
    const double date = in.ConsumeFloatingPointInRange(-800000.0, 3100000.0);
    tessary::RpcParamList dated;
    dated.AddDate(date);
    if (tessary::encoding::IsWritableDate(date)) {
        const auto back =
            tessary::AutomationDateFromIso8601(tessary::Iso8601FromAutomationDate(date));
        Require(back &&
                tessary::PartsFromAutomationDate(*back) == tessary::PartsFromAutomationDate(date));
    } else {
        bool refused = false;
        try {
            tessary::detail::EncodeCall("m", dated);
        } catch (const std::invalid_argument&) {
            refused = true;
        }
        Require(refused);
    }

    // Base64 both ways.
    const std::string bytes = in.ConsumeRandomLengthString(300);
    Require(tessary::DecodeBase64(tessary::EncodeBase64(bytes)) == bytes);

    // A call, written and read back.
    const std::string method = make.Text();
    tessary::RpcParamList params;
    for (int n = in.ConsumeIntegralInRange(0, 5); n > 0 && make.Left(); --n)
        params.AddValue(make.Value(0));
    // The whole body (what EncodeCall gives) from the body that is then read in pieces:
    // writing the call once more for it would double the run's main cost.
    tessary::detail::CallBody streamed(method, params);
    const std::string body = streamed.ToString();
    FitForTheWire(body);
    Require(streamed.Size() == body.size());
    // The buffers keep their memory from run to run: fresh memory every run (up to
    // 300 kB, filled and mapped by the sanitizer's allocator) cost more than the run's
    // own work. The piece is read into the buffer's end, so a write past it runs into
    // the allocation's guard zone; the rest is poisoned, so one before it is caught too.
    static std::vector<char> buffer(300000);
    static std::string pieces;
    pieces.clear();
    char* const room = buffer.data() + buffer.size() - piece;
    ASAN_POISON_MEMORY_REGION(buffer.data(), buffer.size() - piece);
    while (const std::size_t got = streamed.Read(room, piece))
        pieces.append(room, got);
    ASAN_UNPOISON_MEMORY_REGION(buffer.data(), buffer.size());
    Require(pieces == body);

    // The call's params, read as an answer's.
    const std::size_t from = body.find("<params>");
    const std::size_t to = body.rfind("</params>") + 9;
    static std::string answer;
    answer.assign("<methodResponse>").append(body, from, to - from).append("</methodResponse>");
    const tessary::RpcResponse back = tessary::detail::DecodeResponse(answer);
    Require(back.Status() == tessary::RpcStatus::ParamsReturned);
    Require(back.Params().Count() == params.Count());
    for (std::size_t i = 1; i <= params.Count(); ++i)
        Same(params.Item(i), back.Params().Item(i));
    return 0;
}
