#include "XmlRpcCodec.h"

#include "TextNumbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <pugixml.hpp>
#include <stdexcept>
#include <system_error>

namespace tessary::detail {
namespace {

bool NameIs(const pugi::xml_node& node, const char* name) {
    return std::strcmp(node.name(), name) == 0;
}

// First element child, skipping text between elements.
pugi::xml_node FirstElement(const pugi::xml_node& parent) {
    for (pugi::xml_node n = parent.first_child(); n; n = n.next_sibling())
        if (n.type() == pugi::node_element)
            return n;
    return {};
}

pugi::xml_node NextElement(const pugi::xml_node& node) {
    for (pugi::xml_node n = node.next_sibling(); n; n = n.next_sibling())
        if (n.type() == pugi::node_element)
            return n;
    return {};
}

// The text inside an element (text and CDATA pieces joined); std::nullopt when the
// element holds another element, which no scalar may.
std::optional<std::string> ElementText(const pugi::xml_node& element) {
    std::string text;
    for (pugi::xml_node n = element.first_child(); n; n = n.next_sibling()) {
        switch (n.type()) {
        case pugi::node_pcdata:
        case pugi::node_cdata:
            text += n.value();
            break;
        case pugi::node_element:
            return std::nullopt;
        default:
            break; // comments, processing instructions
        }
    }
    return text;
}

std::optional<RpcValue> DecodeStruct(const pugi::xml_node& node, int depth) {
    auto result = std::make_shared<RpcStruct>();
    for (pugi::xml_node member = FirstElement(node); member; member = NextElement(member)) {
        if (!NameIs(member, "member"))
            return std::nullopt;
        pugi::xml_node name;
        pugi::xml_node value;
        for (pugi::xml_node part = FirstElement(member); part; part = NextElement(part)) {
            if (NameIs(part, "name") && !name)
                name = part;
            else if (NameIs(part, "value") && !value)
                value = part;
            else
                return std::nullopt;
        }
        if (!name || !value)
            return std::nullopt;
        auto memberName = ElementText(name);
        auto memberValue = DecodeValue(value, depth + 1);
        if (!memberName || !memberValue)
            return std::nullopt;
        result->AddValue(std::move(*memberName), std::move(*memberValue));
    }
    return RpcValue::Struct(std::move(result));
}

std::optional<RpcValue> DecodeArray(const pugi::xml_node& node, int depth) {
    const pugi::xml_node data = FirstElement(node);
    if (!data || !NameIs(data, "data") || NextElement(data))
        return std::nullopt;
    auto result = std::make_shared<RpcArray>();
    for (pugi::xml_node value = FirstElement(data); value; value = NextElement(value)) {
        if (!NameIs(value, "value"))
            return std::nullopt;
        auto element = DecodeValue(value, depth + 1);
        if (!element)
            return std::nullopt;
        result->AddValue(std::move(*element));
    }
    return RpcValue::Array(std::move(result));
}

RpcResponse ParseError(std::string why, long httpStatus) {
    return RpcResponse(RpcStatus::XmlParseError, {}, RpcFault("", std::move(why)), httpStatus);
}

// Texts from this size on are escaped while the body is read rather than copied
// into it: file contents, in practice.
constexpr std::size_t kLongText = 64 * 1024;

} // namespace

CallBody::CallBody(std::string_view methodName, const RpcParamList& params) {
    std::string& out = Markup();
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<methodCall><methodName>";
    AppendEscaped(out, methodName);
    out += "</methodName><params>";
    for (const RpcValue& p : params.Items()) {
        Markup() += "<param>";
        Value(p);
        Markup() += "</param>";
    }
    Markup() += "</params></methodCall>\n";
    for (const Piece& piece : pieces_)
        size_ += piece.text ? piece.textSize : piece.markup.size();
}

std::string& CallBody::Markup() {
    if (pieces_.empty() || pieces_.back().text)
        pieces_.emplace_back();
    return pieces_.back().markup;
}

void CallBody::Text(const std::string& text) {
    if (text.size() < kLongText) {
        AppendEscaped(Markup(), text);
        return;
    }
    const TextPlan plan = PlanText(text, true);
    Piece piece;
    piece.text = &text;
    piece.form = plan.form;
    piece.textSize = plan.size;
    pieces_.push_back(std::move(piece));
}

void CallBody::Value(const RpcValue& value) {
    Markup() += "<value>";
    switch (value.Type()) {
    case RpcType::Empty:
        break; // no nil in XML-RPC 1.0: an absent value travels as empty text
    case RpcType::Integer:
        Markup() += "<int>" + std::to_string(value.IntegerValue()) + "</int>";
        break;
    case RpcType::Boolean:
        Markup() += value.BooleanValue() ? "<boolean>1</boolean>" : "<boolean>0</boolean>";
        break;
    case RpcType::String:
        Markup() += "<string>";
        Text(*value.TextPointer());
        Markup() += "</string>";
        break;
    case RpcType::Double: {
        const double number = value.DoubleValue();
        if (!std::isfinite(number))
            throw std::invalid_argument("A number that is not finite cannot be sent");
        char buffer[400];
        const auto written =
            std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::fixed);
        Markup() += "<double>";
        Markup().append(buffer, written.ptr);
        Markup() += "</double>";
        break;
    }
    case RpcType::DateTime:
        // RpcValue::Date leaves the text empty for a date it cannot write.
        if (TrimBlanks(*value.TextPointer()).empty())
            throw std::invalid_argument(
                "A date that is empty or outside the years 100 to 9999 cannot be sent");
        Markup() += "<dateTime.iso8601>";
        Text(*value.TextPointer());
        Markup() += "</dateTime.iso8601>";
        break;
    case RpcType::Base64:
        Markup() += "<base64>";
        Text(*value.TextPointer());
        Markup() += "</base64>";
        break;
    case RpcType::Struct:
        Markup() += "<struct>";
        for (const auto& [name, member] : value.StructValue()->Members()) {
            Markup() += "<member><name>";
            Text(name);
            Markup() += "</name>";
            Value(member);
            Markup() += "</member>";
        }
        Markup() += "</struct>";
        break;
    case RpcType::Array:
        Markup() += "<array><data>";
        for (const RpcValue& element : value.ArrayValue()->Elements())
            Value(element);
        Markup() += "</data></array>";
        break;
    }
    Markup() += "</value>";
}

const std::string* CallBody::Whole() const {
    return pieces_.size() == 1 && !pieces_[0].text ? &pieces_[0].markup : nullptr;
}

std::size_t CallBody::Read(char* out, std::size_t room) {
    std::size_t written = 0;
    while (written < room) {
        if (pendingFrom_ < pendingTo_) {
            out[written++] = pending_[pendingFrom_++];
            continue;
        }
        if (piece_ == pieces_.size())
            break;
        const Piece& piece = pieces_[piece_];
        if (!piece.text) {
            const std::size_t n = std::min(room - written, piece.markup.size() - offset_);
            std::memcpy(out + written, piece.markup.data() + offset_, n);
            written += n;
            offset_ += n;
        } else {
            written += WriteSomeText(*piece.text, piece.form, true, offset_, out + written,
                                     room - written);
            // A character whose entity does not fit the room left waits for the next read.
            if (written < room && offset_ < piece.text->size()) {
                pendingTo_ = WriteOneChar(*piece.text, piece.form, true, offset_, pending_);
                pendingFrom_ = 0;
            }
        }
        if (offset_ == (piece.text ? piece.text->size() : piece.markup.size())) {
            ++piece_;
            offset_ = 0;
        }
    }
    return written;
}

std::string CallBody::ToString() const {
    std::string out;
    out.reserve(size_);
    for (const Piece& piece : pieces_) {
        if (piece.text)
            AppendEscaped(out, *piece.text);
        else
            out += piece.markup;
    }
    return out;
}

std::string EncodeCall(std::string_view methodName, const RpcParamList& params) {
    return CallBody(methodName, params).ToString();
}

std::optional<RpcValue> DecodeInteger(std::string_view text) {
    text = TrimBlanks(text);
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    if (digits.empty())
        return std::nullopt;
    std::size_t i = digits.front() == '-' ? 1 : 0;
    if (i == digits.size())
        return std::nullopt;
    for (; i < digits.size(); ++i)
        if (digits[i] < '0' || digits[i] > '9')
            return std::nullopt;
    std::int32_t number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error == std::errc::result_out_of_range)
        return RpcValue::String(std::string(digits)); // beyond 32 bits: keep every digit
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return RpcValue::Integer(number);
}

std::optional<RpcValue> DecodeBoolean(std::string_view text) {
    text = TrimBlanks(text);
    if (text == "1" || text == "true")
        return RpcValue::Boolean(true);
    if (text == "0" || text == "false")
        return RpcValue::Boolean(false);
    return std::nullopt;
}

std::optional<RpcValue> DecodeDouble(std::string_view text) {
    const std::optional<double> number = NumberFromText(text);
    if (!number)
        return std::nullopt;
    return RpcValue::Double(*number);
}

std::optional<RpcValue> DecodeDateTime(std::string_view text) {
    return RpcValue::DateTimeIso(std::string(TrimBlanks(text)));
}

std::optional<RpcValue> DecodeBase64Element(std::string_view text) {
    return RpcValue::Base64(std::string(TrimBlanks(text)));
}

std::optional<RpcValue> DecodeValue(const pugi::xml_node& value, int depth) {
    if (depth > kMaxNesting)
        return std::nullopt;
    const pugi::xml_node typed = FirstElement(value);
    if (!typed) {
        // A bare <value>text</value> is a string; <value/> an empty one.
        auto text = ElementText(value);
        if (!text)
            return std::nullopt;
        return RpcValue::String(std::move(*text));
    }
    if (NextElement(typed))
        return std::nullopt;
    const char* type = typed.name();
    if (std::strcmp(type, "struct") == 0)
        return DecodeStruct(typed, depth);
    if (std::strcmp(type, "array") == 0)
        return DecodeArray(typed, depth);
    if (std::strcmp(type, "nil") == 0 || std::strcmp(type, "ex:nil") == 0)
        return RpcValue();
    auto text = ElementText(typed);
    if (!text)
        return std::nullopt;
    if (std::strcmp(type, "string") == 0)
        return RpcValue::String(std::move(*text));
    if (std::strcmp(type, "int") == 0 || std::strcmp(type, "i4") == 0 ||
        std::strcmp(type, "i8") == 0 || std::strcmp(type, "ex:i8") == 0)
        return DecodeInteger(*text);
    if (std::strcmp(type, "boolean") == 0)
        return DecodeBoolean(*text);
    if (std::strcmp(type, "double") == 0)
        return DecodeDouble(*text);
    if (std::strcmp(type, "dateTime.iso8601") == 0)
        return DecodeDateTime(*text);
    if (std::strcmp(type, "base64") == 0)
        return DecodeBase64Element(*text);
    return std::nullopt;
}

RpcResponse DecodeResponse(std::string body, long httpStatus) {
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer_inplace(
        body.data(), body.size(), pugi::parse_default | pugi::parse_ws_pcdata_single,
        pugi::encoding_auto);
    if (!parsed)
        return ParseError("The answer is not well-formed XML (" +
                              std::string(parsed.description()) + " at byte " +
                              std::to_string(parsed.offset) + ")",
                          httpStatus);
    const pugi::xml_node root = document.document_element();
    if (!root || !NameIs(root, "methodResponse"))
        return ParseError("The answer is not an XML-RPC methodResponse", httpStatus);
    const pugi::xml_node content = FirstElement(root);
    if (!content || NextElement(content))
        return ParseError("The methodResponse holds neither params nor a fault", httpStatus);

    if (NameIs(content, "fault")) {
        const pugi::xml_node valueNode = FirstElement(content);
        if (!valueNode || !NameIs(valueNode, "value"))
            return ParseError("The fault holds no value", httpStatus);
        auto value = DecodeValue(valueNode);
        if (!value || value->Type() != RpcType::Struct)
            return ParseError("The fault's value is not a struct", httpStatus);
        const auto fault = value->StructValue();
        return RpcResponse(RpcStatus::FaultReturned, {},
                           RpcFault(fault->Item("faultCode").StringValue(),
                                    fault->Item("faultString").StringValue()),
                           httpStatus);
    }
    if (!NameIs(content, "params"))
        return ParseError("The methodResponse holds an unknown element", httpStatus);

    RpcParamList params;
    for (pugi::xml_node param = FirstElement(content); param; param = NextElement(param)) {
        const pugi::xml_node valueNode = FirstElement(param);
        if (!NameIs(param, "param") || !valueNode || !NameIs(valueNode, "value") ||
            NextElement(valueNode))
            return ParseError("A param of the answer is malformed", httpStatus);
        auto value = DecodeValue(valueNode);
        if (!value)
            return ParseError("A value of the answer cannot be read", httpStatus);
        params.AddValue(std::move(*value));
    }
    return RpcResponse(RpcStatus::ParamsReturned, std::move(params), {}, httpStatus);
}

std::size_t CountElements(std::string_view body) {
    std::size_t count = 0;
    const char* p = body.data();
    const char* const end = p + body.size();
    while ((p = static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p))))) {
        ++p;
        if (p == end || *p != '/')
            ++count;
    }
    return count;
}

} // namespace tessary::detail
