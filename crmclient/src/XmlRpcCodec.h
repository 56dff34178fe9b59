#pragma once
// XML-RPC 1.0 on the wire: writing a call, reading an answer. Each scalar type is
// read by a small pure function over the element's text; a value that does not
// fit its type makes the whole answer unreadable (XmlParseError), as a missing
// element or a wrong nesting does.

#include "tessary/RpcRequest.h"
#include "tessary/RpcValue.h"

#include <optional>
#include <string>
#include <string_view>

namespace pugi {
class xml_node;
}

namespace tessary::detail {

// Appends `text` with '&', '<' and '>' escaped, and CR as "&#13;" so that a
// reader's line-end normalisation does not turn CR LF into LF. Other bytes,
// UTF-8 sequences included, pass unchanged.
void AppendEscaped(std::string& out, std::string_view text);

// The call as an XML document. Throws std::invalid_argument for a value that
// XML-RPC cannot carry (a double that is not finite).
std::string EncodeCall(std::string_view methodName, const RpcParamList& params);

// Appends one <value> element for `value`.
void EncodeValue(std::string& out, const RpcValue& value);

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

// Deepest struct/array nesting accepted in an answer.
inline constexpr int kMaxNesting = 64;

} // namespace tessary::detail
