#pragma once
// XML-RPC 1.0 on the wire: writing a call, reading an answer. Each scalar type is
// read by a small pure function over the element's text; a value that does not
// fit its type makes the whole answer unreadable (XmlParseError), as a missing
// element or a wrong nesting does.

#include "WireText.h"
#include "tessary/RpcRequest.h"
#include "tessary/RpcValue.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pugi {
class xml_node;
}

namespace tessary::detail {

// The body of a call, made once and then read out in pieces. Markup and short
// texts are written out when the body is made; a long text (a file's base64)
// stays where it is in the parameter list and is escaped as it is read, so
// sending a call never holds a second copy of it. Texts are written as
// WireText.h says. The parameters must outlive the body and stay unchanged.
class CallBody {
public:
    // Throws std::invalid_argument for a value XML-RPC cannot carry (a double that
    // is not finite, a date that is empty or outside the years 100 to 9999).
    CallBody(std::string_view methodName, const RpcParamList& params);

    // Bytes in the whole body.
    std::size_t Size() const { return size_; }
    // The whole body when it is a single piece (no long text), else nullptr.
    const std::string* Whole() const;
    // Copies the next bytes, at most `room`, to out; returns how many (0 at the end).
    std::size_t Read(char* out, std::size_t room);
    // The whole body as one text; does not move the reading position.
    std::string ToString() const;

private:
    struct Piece {
        std::string markup;                // written out, when text is null
        const std::string* text = nullptr; // a long text, escaped as it is read
        TextForm form = TextForm::Utf8;
        std::size_t textSize = 0; // of the text's written form
    };
    std::string& Markup();
    void Text(const std::string& text);
    void Value(const RpcValue& value);

    std::vector<Piece> pieces_;
    std::size_t size_ = 0;
    // Reading position: the piece, the offset in its markup or text, and the
    // bytes of a character that did not fit in the last read.
    std::size_t piece_ = 0;
    std::size_t offset_ = 0;
    char pending_[kMaxCharForm] = {};
    std::size_t pendingFrom_ = 0;
    std::size_t pendingTo_ = 0;
};

// The call as one XML document (CallBody's text).
std::string EncodeCall(std::string_view methodName, const RpcParamList& params);

// Scalar readers: the element's text in, the value out; std::nullopt when the text
// is not of that type. <int>/<i4>/<i8>: a decimal integer, surrounding blanks
// allowed; one beyond the 32-bit range is kept as a String of its digits.
std::optional<RpcValue> DecodeInteger(std::string_view text);
// <boolean>: "0"/"1" (also "false"/"true").
std::optional<RpcValue> DecodeBoolean(std::string_view text);
// <double>: a decimal number.
std::optional<RpcValue> DecodeDouble(std::string_view text);
// <dateTime.iso8601>: kept as its text (blanks trimmed).
std::optional<RpcValue> DecodeDateTime(std::string_view text);
// <base64>: kept as its encoded text.
std::optional<RpcValue> DecodeBase64Element(std::string_view text);

// One <value> element, nested structs and arrays included; std::nullopt when it
// or anything inside it cannot be read. `depth` bounds nesting.
std::optional<RpcValue> DecodeValue(const pugi::xml_node& value, int depth = 0);

// A whole HTTP answer body: ParamsReturned, FaultReturned, or XmlParseError (no
// params; the fault text says what was wrong). The body is parsed in place.
RpcResponse DecodeResponse(std::string body, long httpStatus = 200);

// Elements (start tags, comments and the like) in an answer: what decoding it
// costs grows with this count far more than with its size in bytes.
std::size_t CountElements(std::string_view body);

// Deepest struct/array nesting accepted in an answer.
inline constexpr int kMaxNesting = 64;

} // namespace tessary::detail
