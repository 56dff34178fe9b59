// The REST v2 interface's HTTP rules on canned answers: error envelopes, 429
// waits, the key header and its fallback, nothing sent twice, page tokens kept;
// and the value rules under every resource: filter patterns, Ids, times.

#include "Transport.h"
#include "rest/RecordPageParser.h"
#include "rest/RestFilter.h"
#include "rest/RestIds.h"
#include "rest/RestSession.h"
#include "rest/RestTimes.h"
#include "rest/TableMapping.h"
#include "tessary/tessary.h"
#include "tessary_test_support.h"

#include <gtest/gtest.h>

namespace {

using namespace tessary;
using namespace std::chrono_literals;

class TessaryRestSession : public test::RestConnectionFixture {
protected:
    std::shared_ptr<RpcArray> Everyone(std::int32_t limit = 2, std::int32_t page = 0) {
        RpcStruct query;
        query.AddString("Id", "%");
        RpcArray fields;
        fields.AddString("Id");
        return api->DataService()->Query("Contact", limit, page, query, fields);
    }
    std::int32_t AddContact() {
        RpcStruct values;
        values.AddString("Email", "a@x.test");
        return api->DataService()->Add("Contact", values);
    }
    std::string OnlyBox() {
        EXPECT_EQ(notifier->boxes.size(), 1u);
        const std::string text = notifier->boxes.empty() ? "" : notifier->boxes[0].text;
        notifier->boxes.clear();
        return text;
    }
    static constexpr const char* kPage = R"({"contacts":[{"id":"1"}],"next_page_token":"t"})";
};

TEST_F(TessaryRestSession, ErrorAnswersBecomeTheXmlRpcBoxWithTheServersMessage) {
    const std::pair<long, std::string> answers[] = {
        {400,
         R"({"code":400,"message":"Invalid filter","status":"INVALID_ARGUMENT","details":[]})"},
        {403,
         R"({"fault":{"faultstring":"Quota gone","detail":{"errorcode":"policies.ratelimit.QuotaViolation"}}})"},
        {502, "<html>" + std::string(300, 'x')},
    };
    const std::string expected[] = {
        "Fault Code: \t400\r\nFault String: \tINVALID_ARGUMENT: Invalid filter",
        "Fault Code: \t403\r\nFault String: \tpolicies.ratelimit.QuotaViolation: Quota gone",
        "Fault Code: \t502\r\nFault String: \tHTTP 502: <html>" + std::string(194, 'x') + "\r",
    };
    for (std::size_t i = 0; i < std::size(answers); ++i) {
        transport->AnswerJson(answers[i].second, answers[i].first);
        EXPECT_EQ(Everyone(), nullptr);
        const std::string box = OnlyBox();
        EXPECT_NE(box.find("Method Called:\tDataService.query\r\nStatus Returned:\tHTTP Error"),
                  std::string::npos);
        EXPECT_NE((box + "\r").find(expected[i]), std::string::npos) << box;
        EXPECT_EQ(api->XMLRPC_Response()->HttpStatus(), answers[i].first);
    }
}

TEST_F(TessaryRestSession, TooManyRequestsIsSentAgainAfterTheWaitItAsksFor) {
    transport->now = std::chrono::system_clock::from_time_t(1700000000); // 14 Nov 2023 22:13:20
    transport->AnswerJson("{}", 429, "7");
    transport->AnswerJson("{}", 429, "Tue, 14 Nov 2023 22:13:32 GMT");
    transport->AnswerJson("{}", 429, "120");
    transport->AnswerJson(kPage);
    ASSERT_TRUE(Everyone());
    EXPECT_EQ(transport->waits, (std::vector<std::chrono::milliseconds>{7s, 12s, 30s}));
    EXPECT_EQ(Sent().size(), 4u);

    transport->waits.clear();
    for (int i = 0; i < 4; ++i)
        transport->AnswerJson(R"({"fault":{"faultstring":"Rate limit"}})", 429);
    EXPECT_EQ(AddContact(), 0) << "a POST refused by the gateway is sent again as well";
    EXPECT_EQ(transport->waits, (std::vector<std::chrono::milliseconds>{1s, 2s, 4s}));
    EXPECT_EQ(Sent().size(), 4u) << "three times more, then a failure like any other";
    EXPECT_NE(OnlyBox().find("Fault Code: \t429"), std::string::npos);
}

TEST_F(TessaryRestSession, KeyHeaderFallsBackToABearerTokenOnceAndKeepsWhatWorked) {
    transport->AnswerJson(
        R"({"fault":{"faultstring":"Invalid","detail":{"errorcode":"oauth.v2.InvalidAccessToken"}}})",
        401);
    transport->AnswerJson(kPage);
    transport->AnswerJson(kPage);
    ASSERT_TRUE(Everyone());
    ASSERT_TRUE(Everyone(2, 1));
    ASSERT_EQ(transport->posted.size(), 3u);
    const auto headers = [&](std::size_t i) { return transport->posted[i].headers; };
    EXPECT_EQ(headers(0),
              (std::vector<std::string>{"Accept: application/json", "X-Keap-API-Key: KEY"}));
    EXPECT_EQ(headers(1).back(), "Authorization: Bearer KEY");
    EXPECT_EQ(headers(2).back(), "Authorization: Bearer KEY") << "the form that worked is kept";

    // A key refused in both forms is a failure; once a form has worked, a 401 is final.
    api->SetupConnection("demo", "WRONG");
    transport->AnswerJson("{}", 401);
    transport->AnswerJson(R"({"code":401,"message":"Bad key","status":"UNAUTHENTICATED"})", 401);
    EXPECT_FALSE(api->TestConnection());
    api->SetupConnection("demo", "KEY");
    transport->AnswerJson(kPage);
    transport->AnswerJson("{}", 401);
    ASSERT_TRUE(Everyone());
    EXPECT_EQ(Everyone(2, 1), nullptr);
    EXPECT_EQ(Sent().size(), 7u);
    EXPECT_NE(OnlyBox().find("Fault Code: \t401"), std::string::npos);
}

TEST_F(TessaryRestSession, AWriteThatMayHaveBeenCarriedOutIsNeverSentAgain) {
    transport->Fail("The server did not answer in time", true);
    EXPECT_EQ(AddContact(), 0);
    EXPECT_NE(OnlyBox().find("Error Section: Add"), std::string::npos);
    transport->AnswerJson(R"({"code":500,"message":"oops","status":"INTERNAL"})", 500);
    EXPECT_EQ(AddContact(), 0);
    EXPECT_NE(OnlyBox().find("INTERNAL: oops"), std::string::npos);
    EXPECT_EQ(
        Sent(),
        (std::vector<std::string>(
            2, R"(POST /contacts {"email_addresses":[{"email":"a@x.test","field":"EMAIL1"}]})")));
}

TEST_F(TessaryRestSession, PagesAreReachedThroughTheirTokensKeptFromTheLastList) {
    const auto page = [&](const char* id, const char* next) {
        transport->AnswerJson(std::string(R"({"contacts":[{"id":")") + id +
                              R"("}],"next_page_token":")" + next + "\"}");
    };
    page("1", "t1");
    page("2", "t2");
    page("3", "");
    for (std::int32_t p = 0; p < 3; ++p)
        ASSERT_EQ(Everyone(1, p)->Count(), 1u);
    const std::string list = "GET /contacts?order_by=id&fields=id&page_size=1";
    EXPECT_EQ(Sent(),
              (std::vector<std::string>{list, list + "&page_token=t1", list + "&page_token=t2"}))
        << "one request per page read in turn";

    page("3", "");
    EXPECT_EQ(Everyone(1, 2)->Count(), 1u);
    EXPECT_EQ(Sent(), std::vector<std::string>{list + "&page_token=t2"})
        << "straight from a kept token";
    EXPECT_EQ(Everyone(1, 3)->Count(), 0u) << "past the end: nothing left to ask for";
    EXPECT_TRUE(Sent().empty());

    // Another list starts afresh; a token seen twice ends it.
    page("7", "a");
    page("8", "a");
    EXPECT_EQ(Everyone(2, 0)->Count(), 1u);
    EXPECT_EQ(Everyone(2, 2)->Count(), 0u);
    EXPECT_EQ(Sent().size(), 2u);
}

TEST_F(TessaryRestSession, MatchingOnOurSideReadsAtMostTwentyThousandRecords) {
    std::string records;
    for (int i = 0; i < 1000; ++i)
        records += std::string(i ? "," : "") + R"({"id":")" + std::to_string(i + 1) +
                   R"(","family_name":"x"})";
    for (int i = 0; i < 21; ++i)
        transport->AnswerJson(R"({"contacts":[)" + records + R"(],"next_page_token":"p)" +
                              std::to_string(i) + "\"}");
    RpcStruct query;
    query.AddString("LastName", "%;%");
    RpcArray fields;
    fields.AddString("Id");
    EXPECT_EQ(api->DataService()->Query("Contact", 10, 0, query, fields), nullptr);
    EXPECT_EQ(transport->posted.size(), 21u);
    EXPECT_NE(OnlyBox().find("more than 20,000 records would have to be read"), std::string::npos);
}

TEST_F(TessaryRestSession, IdsBeyondThirtyTwoBitsFailRatherThanNameAnotherRecord) {
    transport->AnswerJson(R"({"contacts":[{"id":1},{"id":"4294967296"}]})");
    EXPECT_EQ(Everyone(), nullptr);
    EXPECT_NE(
        OnlyBox().find("The CRM's Id 4294967296 of a Contact record does not fit the 32-bit Ids"),
        std::string::npos);
    transport->AnswerJson(R"({"id":"2147483648"})", 201);
    EXPECT_EQ(AddContact(), 0);
    EXPECT_NE(OnlyBox().find("Error Number: 6"), std::string::npos);

    const std::pair<detail::Json, std::int32_t> good[] = {
        {"51", 51}, {51, 51}, {"2147483647", 2147483647}};
    for (const auto& [id, expected] : good)
        EXPECT_EQ(detail::Id32(id, "Contact"), expected) << id;
    for (const detail::Json& bad : {detail::Json("-1"), detail::Json("1e3"), detail::Json(""),
                                    detail::Json("x"), detail::Json(9223372036854775807),
                                    detail::Json(nullptr), detail::Json("99999999999999999999")})
        EXPECT_THROW(detail::Id32(bad, "Contact"), std::exception) << bad;
}

TEST_F(TessaryRestSession, CallsWithoutACounterpartAndCancelledCallsAreReported) {
    EXPECT_EQ(api->DataService()->GetTemporaryKey("V", "u", "p"), "");
    EXPECT_EQ(api->ContactService()->AddToCampaign(1, 2), false);
    RpcStruct none;
    RpcArray fields;
    EXPECT_EQ(api->DataService()->Query("Campaign", 1, 0, none, fields), nullptr);
    EXPECT_TRUE(transport->posted.empty());
    ASSERT_EQ(notifier->boxes.size(), 3u);
    EXPECT_NE(notifier->boxes[0].text.find(
                  "DataService.getTemporaryKey is not available on the REST v2 interface"),
              std::string::npos);
    EXPECT_NE(notifier->boxes[2].text.find("The table Campaign is not available"),
              std::string::npos);
    notifier->boxes.clear();

    // A cancel from another thread during a 429's wait ends the whole operation.
    transport->onSend = [&] { api->CancelCurrentCall(); };
    transport->AnswerJson("{}", 429);
    EXPECT_EQ(Everyone(), nullptr);
    EXPECT_EQ(transport->posted.size(), 1u);
    EXPECT_NE(OnlyBox().find("cancelled"), std::string::npos);
    transport->onSend = nullptr;
    transport->AnswerJson(kPage);
    EXPECT_TRUE(Everyone()) << "the next call runs normally";
}

TEST_F(TessaryRestSession, AnAnswerThatIsNoJsonIsAnUnreadableOne) {
    transport->AnswerJson("<html>proxy</html>");
    EXPECT_EQ(Everyone(), nullptr);
    EXPECT_TRUE(notifier->boxes.empty()) << "a query takes it as an empty result, as on XML-RPC";
    EXPECT_EQ(api->XMLRPC_Response()->Status(), RpcStatus::XmlParseError);
    transport->AnswerJson("[1,2]");
    EXPECT_EQ(AddContact(), 0);
    EXPECT_EQ(notifier->boxes.size(), 1u);
}

TEST(TessaryRestValues, FilterPatterns) {
    using detail::FilterValue;
    const std::tuple<const char*, FilterValue::Form, const char*> patterns[] = {
        {"%", FilterValue::Form::Any, ""},        {"%%", FilterValue::Form::Any, ""},
        {"Ann", FilterValue::Form::Exact, "Ann"}, {"An%", FilterValue::Form::Prefix, "An"},
        {"%nn", FilterValue::Form::OurSide, ""},  {"A%n", FilterValue::Form::OurSide, ""},
        {"a;b%", FilterValue::Form::OurSide, ""}, {"a,b", FilterValue::Form::OurSide, ""},
        {"a*", FilterValue::Form::OurSide, ""},   {"a==b%", FilterValue::Form::OurSide, ""},
        {"", FilterValue::Form::OurSide, ""},     {"a=b", FilterValue::Form::Exact, "a=b"},
    };
    for (const auto& [pattern, form, text] : patterns) {
        const FilterValue value = detail::ReadPattern(pattern);
        EXPECT_EQ(value.form, form) << pattern;
        if (form == FilterValue::Form::Exact || form == FilterValue::Form::Prefix) {
            EXPECT_EQ(value.text, text) << pattern;
        }
    }
    const std::tuple<const char*, const char*, bool> matches[] = {
        {"%", "", true},
        {"ann", "ANN", true},
        {"an%", "Anna", true},
        {"%nn%", "Joanne", true},
        {"a%b%c", "aXbYc", true},
        {"a%b%c", "aXbY", false},
        {"O;Brien%", "o;brien-smith", true},
        {"ann", "anna", false},
        {"%a", "bab", false},
        {"%%x", "abx", true},
        {"", "", true},
        {"", "a", false},
    };
    for (const auto& [pattern, text, expected] : matches)
        EXPECT_EQ(detail::PatternMatches(pattern, text), expected) << pattern << " ~ " << text;
}

TEST(TessaryRestValues, ListPagesGiveTheRecordsOfTheParsedAnswer) {
    using detail::Json;
    const detail::FieldTable table(
        "Contact", {
                       {"Id", "", "", detail::IdAt("id", "Contact")},
                       {"Company", "", "", detail::TextIn("company", "company_name")},
                       {"Email", "", "", detail::SlotAt("email_addresses", "EMAIL1", "email")},
                       {"Email2", "", "", detail::SlotAt("email_addresses", "EMAIL2", "email")},
                       {"Size", "", "", detail::IntegerAt("size")},
                       {"Rate", "", "", detail::NumberAt("rate")},
                       {"Public", "", "", detail::FlagAt("public")},
                       {"Created", "", "", detail::TimeAt("created")},
                   });
    const std::string answer = R"({"next_page_token":"n2","contacts":[
        {"id":"1","company":{"id":"7","company_name":"Acme"},"tags":[1,2,[3]],
         "email_addresses":[{"email":"a@x","field":"EMAIL2"},{"field":"EMAIL1","email":"b@x"},
                            {"email":"c@x","field":"EMAIL1"},{"email":"no slot"}],
         "size":41.6,"rate":2,"public":true,"created":"2024-01-10T08:00:00Z"},
        {"id":2,"company":{"company_name":2.50},"email_addresses":[],"size":"x","rate":null,
         "public":1,"nested":{"company":{"company_name":"not this"}},"created":"bad"},
        {"id":"3","email":"top-level, not a slot"}],"other":[{"id":"9"}]})";
    RpcArray fields;
    for (const char* name :
         {"Id", "Company", "Email", "Email2", "Size", "Rate", "Public", "Created"})
        fields.AddString(name);
    detail::PageBuffers buffers;
    detail::RecordPageParser parser("contacts", table.Rules(fields), buffers);
    const auto parsed = [&](const std::string& body) {
        return test::Show(detail::RecordArray(table, Json::parse(body)["contacts"], fields));
    };
    std::string next;
    std::string padded = answer; // as the transport leaves it: read in place
    padded.reserve(answer.size() + detail::kAnswerPadding);
    const std::string* const bodies[] = {&answer, &padded};
    for (const std::string* body : bodies) {
        ASSERT_EQ(parser.Parse(*body, next), 3u);
        EXPECT_EQ(next, "n2");
        EXPECT_EQ(test::Show(RpcValue::Array(parser.Records())), parsed(answer));
    }
    EXPECT_EQ(test::Show(RpcValue::Array(parser.Records())),
              "[{Id:1,Company:Acme,Email:b@x,Email2:a@x,Size:42,Rate:2,Public:1,"
              "Created:20240110T08:00:00},{Id:2,Company:2.5},{Id:3}]");

    // JSON that simdjson does not take is still read, as nlohmann-json reads it.
    const std::string deep = std::string(1100, '[') + std::string(1100, ']');
    const std::pair<std::string, std::size_t> wide[] = {
        {"\xEF\xBB\xBF" + answer, 3}, // a byte-order mark
        {R"({"contacts":[{"id":"1","size":123456789012345678901234567890,"rate":1e2}]})", 1},
        {R"({"contacts":[{"id":"1","tags":)" + deep + "}]}", 1}};
    for (const auto& [body, count] : wide) {
        ASSERT_EQ(parser.Parse(body, next), count) << body.substr(0, 40);
        EXPECT_EQ(test::Show(RpcValue::Array(parser.Records())), parsed(body));
    }
    for (const char* bad : {"", "[]", R"({"contacts":[{"id":"1"})", "{\"contacts\": 5}x",
                            R"({"contacts":[],"x":tru})", R"({"contacts":[{"id":"1"},]})",
                            "{\"contacts\":[],\"x\":\"\xff\"}", R"({"contacts":[01]})"})
        EXPECT_THROW(parser.Parse(bad, next), detail::RestUnreadableAnswer) << bad;
}

TEST(TessaryRestValues, TimesBecomeLocalXmlRpcDates) {
    const auto wire = [](const char* iso) { return detail::DateFromIso(iso).StringValue(); };
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1); // Central Europe, without tzdata
    tzset();
    EXPECT_EQ(wire("2024-01-10T08:00:00Z"), "20240110T09:00:00");
    EXPECT_EQ(wire("2024-07-10T08:00:00.123Z"), "20240710T10:00:00") << "summer time";
    EXPECT_EQ(wire("2024-03-15T10:30:00.000+0000"), "20240315T11:30:00");
    EXPECT_EQ(wire("2024-03-15T10:30:00-05:30"), "20240315T17:00:00");
    EXPECT_EQ(wire("2024-12-31T23:30:00-01:00"), "20250101T01:30:00");
    EXPECT_EQ(wire("2024-01-10T08:00:00"), "20240110T09:00:00") << "no zone: UTC";
    EXPECT_EQ(wire("2024-01-10"), "20240110T00:00:00") << "a day stays that day";
    for (const char* bad : {"", "2024-13-01T00:00:00Z", "2024-01-10T25:00:00Z", "2024-01-10T08:00Z",
                            "2024-01-10T08:00:00+2", "10/01/2024", "2024-01-10T08:00:00Zjunk"})
        EXPECT_TRUE(detail::DateFromIso(bad).IsEmpty()) << bad;
    unsetenv("TZ");
    tzset();
}

} // namespace
