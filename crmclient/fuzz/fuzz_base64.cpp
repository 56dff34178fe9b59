// Arbitrary text to the base64 decoder, the question about illegal groups answered
// OK or Cancel by the input's first byte. What it decodes must encode and decode
// back to itself, and be no longer than three bytes per four characters read.

#include "tessary/Encoding.h"
#include "tessary/Notifier.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace {

class Answering final : public tessary::Notifier {
public:
    tessary::BoxAnswer answer = tessary::BoxAnswer::Ok;
    void ShowMessage(const std::string&, const std::string&, tessary::BoxIcon) override {}
    tessary::BoxAnswer AskOkCancel(const std::string&, const std::string&,
                                   tessary::BoxIcon) override {
        return answer;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto notifier = [] {
        auto n = std::make_shared<Answering>();
        tessary::SetNotifier(n);
        return n;
    }();
    if (size == 0)
        return 0;
    notifier->answer = data[0] & 1 ? tessary::BoxAnswer::Cancel : tessary::BoxAnswer::Ok;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

    const std::string bytes = tessary::DecodeBase64(text);
    std::size_t read = 0;
    for (const char c : text)
        read += c != '\r' && c != '\n' && c != '\t' && c != ' ';
    if (bytes.size() > (read + 3) / 4 * 3)
        __builtin_trap();
    if (tessary::DecodeBase64(tessary::EncodeBase64(bytes)) != bytes)
        __builtin_trap();
    return 0;
}
