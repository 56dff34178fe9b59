// The XML-RPC codec on fixture answers: each type, malformed and truncated
// answers, entities, non-ASCII text, and what the writer puts on the wire.

#include "XmlRpcCodec.h"
#include "tessary_test_support.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace tessary;
using detail::DecodeResponse;

std::string Response(const std::string& valueXml) {
    return "<?xml version=\"1.0\"?>\n<methodResponse>\n <params>\n  <param>\n   <value>" +
           valueXml + "</value>\n  </param>\n </params>\n</methodResponse>\n";
}

RpcValue Decoded(const std::string& valueXml) {
    RpcResponse r = DecodeResponse(Response(valueXml));
    EXPECT_EQ(r.Status(), RpcStatus::ParamsReturned)
        << r.Fault().FaultString() << " for " << valueXml;
    EXPECT_EQ(r.Params().Count(), 1u);
    return r.Params().Item(1);
}

TEST(TessaryCodec, ReadsEveryScalarType) {
    EXPECT_EQ(Decoded("<int>42</int>").Type(), RpcType::Integer);
    EXPECT_EQ(Decoded("<int>42</int>").IntegerValue(), 42);
    EXPECT_EQ(Decoded("<i4>-7</i4>").IntegerValue(), -7);
    EXPECT_EQ(Decoded("<i4> +15 </i4>").IntegerValue(), 15);
    EXPECT_TRUE(Decoded("<boolean>1</boolean>").BooleanValue());
    EXPECT_FALSE(Decoded("<boolean>0</boolean>").BooleanValue());
    EXPECT_EQ(Decoded("<boolean>0</boolean>").Type(), RpcType::Boolean);
    EXPECT_EQ(Decoded("<string>Hello</string>").StringValue(), "Hello");
    EXPECT_DOUBLE_EQ(Decoded("<double>-12.214</double>").DoubleValue(), -12.214);
    const RpcValue date = Decoded("<dateTime.iso8601>20090703T14:05:09</dateTime.iso8601>");
    EXPECT_EQ(date.Type(), RpcType::DateTime);
    EXPECT_EQ(date.StringValue(), "20090703T14:05:09");
    EXPECT_NEAR(date.DateValue(), 40000.0 - 3 + (14 * 3600 + 5 * 60 + 9) / 86400.0, 1e-9);
    const RpcValue b64 = Decoded("<base64>\n  SGVsbG8=\n</base64>");
    EXPECT_EQ(b64.Type(), RpcType::Base64);
    EXPECT_EQ(b64.StringValue(), "SGVsbG8=");
    EXPECT_EQ(Decoded("<nil/>").Type(), RpcType::Empty);
}

TEST(TessaryCodec, BareAndEmptyValuesAreStrings) {
    EXPECT_EQ(Decoded("plain text").StringValue(), "plain text");
    EXPECT_EQ(Decoded("  spaced  ").StringValue(), "  spaced  ");
    EXPECT_EQ(Decoded("<string> </string>").StringValue(), " ");
    EXPECT_EQ(Decoded("").Type(), RpcType::String);
    EXPECT_EQ(Decoded("").StringValue(), "");
    EXPECT_EQ(Decoded("<string/>").StringValue(), "");
    RpcResponse r = DecodeResponse("<methodResponse><params><param><value/></param></params>"
                                   "</methodResponse>");
    ASSERT_EQ(r.Status(), RpcStatus::ParamsReturned);
    EXPECT_EQ(r.Params().Item(1).StringValue(), "");
}

TEST(TessaryCodec, EntitiesCdataAndNonAscii) {
    EXPECT_EQ(
        Decoded("<string>a &amp; b &lt;c&gt; &quot;q&quot; &#65;&#x42;</string>").StringValue(),
        "a & b <c> \"q\" AB");
    EXPECT_EQ(Decoded("<string><![CDATA[<raw> & ]]>tail</string>").StringValue(), "<raw> & tail");
    EXPECT_EQ(Decoded("M\xC3\xBCller &#x20AC;").StringValue(), "M\xC3\xBCller \xE2\x82\xAC");
    EXPECT_EQ(Decoded("<string>\xE6\x97\xA5\xE6\x9C\xAC</string>").StringValue(),
              "\xE6\x97\xA5\xE6\x9C\xAC");
}

TEST(TessaryCodec, StructKeepsMemberOrderAndNesting) {
    const RpcValue v =
        Decoded("<struct><member><name>Zeta</name><value><i4>1</i4></value></member>"
                "<member><name>Alpha</name><value>text</value></member>"
                "<member><name>List</name><value><array><data><value><i4>5</i4></value>"
                "<value><struct><member><name>In</name><value><boolean>1</boolean></value></member>"
                "</struct></value></data></array></value></member></struct>");
    const auto s = v.StructValue();
    ASSERT_TRUE(s);
    ASSERT_EQ(s->Count(), 3u);
    EXPECT_EQ(s->Members()[0].first, "Zeta");
    EXPECT_EQ(s->Members()[1].first, "Alpha");
    EXPECT_EQ(s->Item("Alpha").StringValue(), "text");
    const auto list = s->Item("List").ArrayValue();
    ASSERT_TRUE(list);
    ASSERT_EQ(list->Count(), 2u);
    EXPECT_EQ(list->Item(1).IntegerValue(), 5);
    EXPECT_TRUE(list->Item(2).StructValue()->Item("In").BooleanValue());
    EXPECT_FALSE(s->Exists("alpha")) << "member names are case-sensitive";
}

TEST(TessaryCodec, EmptyArrayAndStruct) {
    const auto a = Decoded("<array><data/></array>").ArrayValue();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->Count(), 0u);
    const auto s = Decoded("<struct></struct>").StructValue();
    ASSERT_TRUE(s);
    EXPECT_EQ(s->Count(), 0u);
}

TEST(TessaryCodec, HugeNumbers) {
    // Beyond 32 bits an integer keeps its digits as text rather than wrapping.
    const RpcValue big = Decoded("<int>99999999999999999999</int>");
    EXPECT_EQ(big.StringValue(), "99999999999999999999");
    EXPECT_EQ(big.IntegerValue(), 0);
    EXPECT_EQ(Decoded("<i4>2147483647</i4>").IntegerValue(), 2147483647);
    EXPECT_EQ(Decoded("<i4>-2147483648</i4>").IntegerValue(), -2147483647 - 1);
    EXPECT_EQ(Decoded("<i8>2147483648</i8>").Type(), RpcType::String);
    EXPECT_DOUBLE_EQ(Decoded("<double>1e308</double>").DoubleValue(), 1e308);
    EXPECT_EQ(Decoded("<double>1e308</double>").IntegerValue(), 0);
}

TEST(TessaryCodec, FaultCarriesCodeAndStringAsText) {
    RpcResponse r = DecodeResponse(
        "<methodResponse><fault><value><struct><member><name>faultCode</name><value><int>10"
        "</int></value></member><member><name>faultString</name><value>[NoFieldFound]No field "
        "found: Contact.Nope</value></member></struct></value></fault></methodResponse>");
    EXPECT_EQ(r.Status(), RpcStatus::FaultReturned);
    EXPECT_EQ(r.Fault().FaultCode(), "10");
    EXPECT_EQ(r.Fault().FaultString(), "[NoFieldFound]No field found: Contact.Nope");
    EXPECT_EQ(r.Params().Count(), 0u);
}

TEST(TessaryCodec, NoParamsIsStillAnAnswer) {
    RpcResponse r = DecodeResponse("<methodResponse><params/></methodResponse>");
    EXPECT_EQ(r.Status(), RpcStatus::ParamsReturned);
    EXPECT_EQ(r.Params().Count(), 0u);
    EXPECT_EQ(r.Params().Item(1).Type(), RpcType::Empty);
}

TEST(TessaryCodec, MalformedAnswersAreParseErrorsWithoutParams) {
    const char* cases[] = {
        "",
        "not xml at all",
        "<html><body>502 Bad Gateway</body></html>",
        "<methodResponse><params><param><value><i4>1</i4></value></param>", // truncated
        "<methodResponse><params><param><value><i4>abc</i4></value></param></params></"
        "methodResponse>",
        "<methodResponse><params><param><value><double>1.5x</double></value></param></params></"
        "methodResponse>",
        "<methodResponse><params><param><value><boolean>2</boolean></value></param></params></"
        "methodResponse>",
        "<methodResponse><params><param><value><float>1</float></value></param></params></"
        "methodResponse>",
        "<methodResponse><params><param><value><i4>1</i4><i4>2</i4></value></param></params></"
        "methodResponse>",
        "<methodResponse><params><param><value><struct><member><value>1</value></member></struct></"
        "value></param></params></methodResponse>",
        "<methodResponse><params><param><value><array><value>1</value></array></value></param></"
        "params></methodResponse>",
        "<methodResponse><params><param/></params></methodResponse>",
        "<methodResponse/>",
        "<methodResponse><fault><value>text</value></fault></methodResponse>",
        "<methodResponse><params><param><value><i4><b/>1</i4></value></param></params></"
        "methodResponse>",
    };
    for (const char* body : cases) {
        RpcResponse r = DecodeResponse(body);
        EXPECT_EQ(r.Status(), RpcStatus::XmlParseError) << body;
        EXPECT_EQ(r.Params().Count(), 0u) << body;
        EXPECT_FALSE(r.Fault().FaultString().empty()) << body;
    }
}

TEST(TessaryCodec, DeepNestingIsRefused) {
    std::string value;
    for (int i = 0; i < 200; ++i)
        value += "<array><data><value>";
    value += "x";
    for (int i = 0; i < 200; ++i)
        value += "</value></data></array>";
    EXPECT_EQ(DecodeResponse(Response(value)).Status(), RpcStatus::XmlParseError);
}

TEST(TessaryCodec, LargeStructBuildsWithIndexAndKeepsLastValue) {
    std::string members;
    for (int i = 0; i < 5000; ++i)
        members += "<member><name>f" + std::to_string(i) + "</name><value><i4>" +
                   std::to_string(i) + "</i4></value></member>";
    members += "<member><name>f17</name><value><i4>-1</i4></value></member>";
    const auto s = Decoded("<struct>" + members + "</struct>").StructValue();
    ASSERT_TRUE(s);
    EXPECT_EQ(s->Count(), 5000u);
    EXPECT_EQ(s->Item("f4999").IntegerValue(), 4999);
    EXPECT_EQ(s->Item("f17").IntegerValue(), -1);
    EXPECT_EQ(s->Members()[17].first, "f17");
}

TEST(TessaryCodec, WriterEscapesAndKeepsUtf8) {
    RpcParamList params;
    params.AddString("a&b <tag> \"q\" 'x' M\xC3\xBCller\r\nline");
    params.AddInteger(-5);
    params.AddBoolean(true);
    params.AddDouble(0.1);
    RpcStruct s;
    s.AddString("Na<me", "v");
    s.AddInteger("Id", 3);
    params.AddStruct(s);
    RpcArray a;
    a.AddString("Id");
    a.AddString("FirstName");
    params.AddArray(a);
    params.AddDate(40000.5);
    const std::string body = detail::EncodeCall("DataService.query", params);
    EXPECT_NE(body.find("<string>a&amp;b &lt;tag&gt; \"q\" 'x' M\xC3\xBCller&#13;\nline</string>"),
              std::string::npos)
        << body;
    EXPECT_NE(body.find("<int>-5</int>"), std::string::npos);
    EXPECT_NE(body.find("<boolean>1</boolean>"), std::string::npos);
    EXPECT_NE(body.find("<double>0.1</double>"), std::string::npos);
    EXPECT_NE(body.find("<name>Na&lt;me</name>"), std::string::npos);
    EXPECT_NE(body.find("<dateTime.iso8601>20090706T12:00:00</dateTime.iso8601>"),
              std::string::npos)
        << body;

    const auto call = test::ReadCall(body);
    EXPECT_EQ(call.method, "DataService.query");
    EXPECT_EQ(call.params[0].text, "a&b <tag> \"q\" 'x' M\xC3\xBCller\r\nline")
        << "CR survives the reader's line-end normalisation";
    EXPECT_EQ(test::Signature(call).substr(call.params[0].text.size() + 7),
              " | int:-5 | boolean:1 | double:0.1 | struct:Na<me,Id | array:Id,FirstName | "
              "dateTime.iso8601:20090706T12:00:00");
}

TEST(TessaryCodec, WriterRefusesNumbersXmlRpcCannotCarry) {
    RpcParamList params;
    params.AddDouble(std::numeric_limits<double>::infinity());
    EXPECT_THROW(detail::EncodeCall("m", params), std::invalid_argument);
}

// The text between <string> and </string> of a call carrying `text`.
std::string WrittenString(const std::string& text) {
    RpcParamList params;
    params.AddString(text);
    const std::string body = detail::EncodeCall("m", params);
    const auto from = body.find("<string>") + 8;
    return body.substr(from, body.find("</string>") - from);
}

TEST(TessaryCodec, TextsAreWrittenAsXmlCanCarryThem) {
    const std::pair<std::string, std::string> cases[] = {
        {"soft\x0B"
         "break",
         "soft break"}, // Word's soft line break
        {std::string("\x00\x01\x08\x0C\x0E\x1F", 6), "      "},
        {"tab\tLF\nCR\r", "tab\tLF\nCR&#13;"},
        {"Zo\xC3\xAB \xE2\x82\xAC \xF0\x9F\x98\x80", "Zo\xC3\xAB \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"\xEF\xBF\xBE|\xEF\xBF\xBF", " | "},
        // Not UTF-8: every byte read as Windows-1252 (Latin-1 from the host).
        {"M\xFCller & S\xF6hne", "M\xC3\xBCller &amp; S\xC3\xB6hne"},
        {"\x80\x81\x9F\xA0\xFF", "\xE2\x82\xAC\xC2\x81\xC5\xB8\xC2\xA0\xC3\xBF"},
        {"\xC3\xA9\xE9", "\xC3\x83\xC2\xA9\xC3\xA9"}, // UTF-8 and Latin-1 mixed
        {"\xC0\x80 \xED\xA0\x80",
         "\xC3\x80\xE2\x82\xAC \xC3\xAD\xC2\xA0\xE2\x82\xAC"}, // overlong, surrogate
        {"\xE2\x82", "\xC3\xA2\xE2\x80\x9A"},                  // cut short
    };
    for (const auto& [text, written] : cases)
        EXPECT_EQ(WrittenString(text), written) << text;

    RpcStruct record;
    record.AddString("Na\x01me", "v");
    RpcParamList params;
    params.AddStruct(record);
    EXPECT_EQ(test::ReadCall(detail::EncodeCall("M\xE9thode", params)).method, "M\xC3\xA9thode");
    EXPECT_NE(detail::EncodeCall("m", params).find("<name>Na me</name>"), std::string::npos);
}

TEST(TessaryCodec, LongTextsAreStreamedInPiecesOfAnySize) {
    std::string text;
    while (text.size() < 200'000)
        text += "line & <tag>\r\n\x0B\xFC"; // Latin-1, so the whole text is Windows-1252
    RpcParamList params;
    params.AddInteger(1);
    params.AddString(text);
    params.AddString("short");
    params.AddValue(RpcValue::Base64(std::string(100'000, 'A')));
    const std::string whole = detail::EncodeCall("m", params);
    EXPECT_EQ(test::ReadCall(whole).params[1].text, detail::WireText(text));
    for (const std::size_t piece : {1, 3, 4, 7, 4096}) {
        detail::CallBody body("m", params);
        EXPECT_EQ(body.Whole(), nullptr) << "a long text is not copied into the body";
        EXPECT_EQ(body.Size(), whole.size());
        std::string read;
        std::vector<char> buffer(piece);
        while (const std::size_t n = body.Read(buffer.data(), piece))
            read.append(buffer.data(), n);
        EXPECT_EQ(read, whole) << "pieces of " << piece;
    }
}

TEST(TessaryCodec, DatesWithoutTextAreNotWritten) {
    for (const double date : {-700000.0, 3e6}) {
        RpcParamList params;
        params.AddDate(date);
        EXPECT_THROW(detail::EncodeCall("m", params), std::invalid_argument) << date;
    }
    RpcParamList params;
    params.AddValue(RpcValue::DateTimeIso(" "));
    EXPECT_THROW(detail::EncodeCall("m", params), std::invalid_argument);
}

TEST(TessaryCodec, WrittenValuesReadBack) {
    auto inner = std::make_shared<RpcStruct>();
    inner->AddString("x", "<&>");
    inner->AddDouble("d", 1e-7);
    auto list = std::make_shared<RpcArray>();
    list->AddStruct(inner);
    list->AddInteger(7);
    RpcParamList params;
    params.AddValue(RpcValue::Array(list));
    std::string body = detail::EncodeCall("m", params);
    // Turn the call into an answer and read it with our own reader.
    const auto start = body.find("<params>");
    const auto end = body.find("</params>") + 9;
    const RpcValue back =
        DecodeResponse("<methodResponse>" + body.substr(start, end - start) + "</methodResponse>")
            .Params()
            .Item(1);
    const auto a = back.ArrayValue();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->Item(1).StructValue()->Item("x").StringValue(), "<&>");
    EXPECT_DOUBLE_EQ(a->Item(1).StructValue()->Item("d").DoubleValue(), 1e-7);
    EXPECT_EQ(a->Item(2).IntegerValue(), 7);
}

} // namespace
