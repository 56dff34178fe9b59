// The connection object on canned answers: endpoints, statuses and boxes,
// TestConnection's verdict, and the guard around every operation.

#include "tessary/tessary.h"
#include "tessary_test_support.h"

#include <functional>
#include <gtest/gtest.h>
#include <limits>

namespace {

using namespace tessary;
using test::FakeTransport;
using test::ReadCall;
using test::Signature;

class TessaryConnection : public test::FakeConnectionFixture {
protected:
    std::shared_ptr<RpcArray> QueryContacts() {
        RpcStruct q;
        q.AddString("Email", "a@b.c");
        RpcArray f;
        f.AddString("Id");
        return api->DataService()->Query("Contact", 10, 0, q, f);
    }
};

TEST_F(TessaryConnection, ConnectAimsAtTheAccount) {
    api->Connect();
    auto request = api->XMLRPC_Request();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->Url(), "https://demo.infusionsoft.com:443/api/xmlrpc");
    EXPECT_EQ(request->TransportMode(), 1);
    EXPECT_TRUE(request->MethodName().empty());
    EXPECT_EQ(request->Params().Count(), 0u);
    EXPECT_TRUE(request->Headers().empty());

    api->SetServiceDomain("localhost");
    api->SetServicePort(8443);
    api->Connect();
    EXPECT_NE(api->XMLRPC_Request(), request) << "every Connect makes a new request";
    EXPECT_EQ(api->XMLRPC_Request()->Url(), "https://demo.localhost:8443/api/xmlrpc");
}

TEST_F(TessaryConnection, CurrentEndpointSendsKeyInHeaderAndParameter) {
    api->SetServiceDomain("localhost");
    api->SetUseCurrentEndpoint(true);
    transport->AnswerParam("<int>1</int>");
    EXPECT_EQ(api->DataService()->Add("Contact", RpcStruct()), 1);
    ASSERT_EQ(transport->posted.size(), 1u);
    EXPECT_EQ(transport->posted[0].url, "https://api.localhost:443/crm/xmlrpc");
    ASSERT_EQ(transport->posted[0].headers.size(), 1u);
    EXPECT_EQ(transport->posted[0].headers[0], "X-Keap-API-Key: KEY");
    EXPECT_EQ(ReadCall(transport->posted[0].body).params[0].text, "KEY");

    transport->AnswerParam("<string>TMP</string>");
    EXPECT_EQ(api->DataService()->GetTemporaryKey("VENDOR", "ann", "hash"), "TMP");
    EXPECT_TRUE(transport->posted[1].headers.empty()) << "no API key, not even in the header";
    EXPECT_EQ(ReadCall(transport->posted[1].body).params[0].text, "VENDOR");
}

TEST_F(TessaryConnection, HostileApplicationNameIsRefused) {
    for (const char* name : {"evil.com/x?", "a@b", "x:1", "a b", "demo#"}) {
        api->SetupConnection(name, "KEY");
        EXPECT_EQ(QueryContacts(), nullptr) << name;
    }
    EXPECT_TRUE(transport->posted.empty()) << "the key never leaves for a foreign host";
    ASSERT_EQ(notifier->boxes.size(), 5u);
    EXPECT_EQ(notifier->boxes[0].title, "Tessary Error");
    EXPECT_NE(notifier->boxes[0].text.find("Error Section: Query"), std::string::npos);

    notifier->boxes.clear();
    api->Connect();
    ASSERT_EQ(notifier->boxes.size(), 1u);
    EXPECT_NE(notifier->boxes[0].text.find("Error Section: Connect"), std::string::npos);
    EXPECT_EQ(api->XMLRPC_Request(), nullptr);
}

TEST_F(TessaryConnection, EmptyApplicationNameIsStoredAndUsed) {
    api->SetupConnection("", "KEY");
    api->Connect();
    EXPECT_EQ(api->XMLRPC_Request()->HostName(), ".infusionsoft.com");
}

TEST_F(TessaryConnection, TestConnectionTrustsOnlyParams) {
    transport->AnswerParam("<array><data/></array>");
    EXPECT_TRUE(api->TestConnection());
    const auto call = ReadCall(transport->posted[0].body);
    EXPECT_EQ(call.method, "DataService.query");
    EXPECT_EQ(Signature(call), "string:KEY | string:User | int:1 | int:0 | struct:Id | array:Id");

    transport->AnswerFault(2, "[InvalidConfig]Invalid API key");
    EXPECT_FALSE(api->TestConnection()) << "a wrong key must not pass the test";
    transport->Answer("<html/>", 500);
    EXPECT_FALSE(api->TestConnection());
    transport->Answer("garbage");
    EXPECT_FALSE(api->TestConnection());
    transport->Fail("timed out");
    EXPECT_FALSE(api->TestConnection());
    EXPECT_TRUE(notifier->boxes.empty()) << "a test's failure is its answer, not a box";
}

TEST_F(TessaryConnection, TestConnectionLeavesTheLastResponse) {
    transport->AnswerParam("<array><data/></array>");
    ASSERT_TRUE(QueryContacts());
    const auto before = api->XMLRPC_Response();
    transport->AnswerFault(2, "x");
    api->TestConnection();
    EXPECT_EQ(api->XMLRPC_Response(), before);
}

TEST_F(TessaryConnection, ErrorBoxLinesAndStatusTexts) {
    transport->AnswerFault(10, "[NoFieldFound]No field found: Contact.Nope");
    EXPECT_EQ(QueryContacts(), nullptr);
    ASSERT_EQ(notifier->boxes.size(), 1u) << "the box is shown once";
    EXPECT_EQ(notifier->boxes[0].title, "XML RPC Error");
    EXPECT_EQ(notifier->boxes[0].icon, BoxIcon::Critical);
    EXPECT_EQ(notifier->boxes[0].text,
              "Method Called:\tDataService.query\r\nStatus Returned:\tFault Returned\r\n"
              "Fault Code: \t10\r\nFault String: \t[NoFieldFound]No field found: Contact.Nope");

    const std::pair<RpcStatus, const char*> statuses[] = {
        {RpcStatus::NotInitialised, "Not Initialised"},
        {RpcStatus::HttpError, "HTTP Error"},
        {RpcStatus::ParamsReturned, "Params Returned"},
        {RpcStatus::XmlParseError, "XML Parse Error"},
        {static_cast<RpcStatus>(7), ""},
    };
    for (const auto& [status, text] : statuses) {
        notifier->boxes.clear();
        api->XMLRPC_Response(RpcResponse(status, {}, RpcFault("c", "s")));
        api->ShowXMLRPCError();
        ASSERT_EQ(notifier->boxes.size(), 1u);
        EXPECT_NE(notifier->boxes[0].text.find(std::string("Status Returned:\t") + text + "\r\n"),
                  std::string::npos)
            << notifier->boxes[0].text;
    }
}

TEST_F(TessaryConnection, QueryStatuses) {
    transport->AnswerParam("<array><data/></array>");
    auto empty = QueryContacts();
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->Count(), 0u);
    EXPECT_TRUE(notifier->boxes.empty());

    transport->Answer("<methodResponse><params><param><value><i4>x</i4></value></param>");
    EXPECT_EQ(QueryContacts(), nullptr);
    EXPECT_TRUE(notifier->boxes.empty()) << "an unreadable answer is an empty result";
    EXPECT_EQ(api->XMLRPC_Response()->Status(), RpcStatus::XmlParseError);

    transport->Answer("<html>Internal error</html>", 500);
    EXPECT_EQ(QueryContacts(), nullptr);
    ASSERT_EQ(notifier->boxes.size(), 1u);
    EXPECT_NE(notifier->boxes[0].text.find("HTTP Error"), std::string::npos);
    EXPECT_NE(notifier->boxes[0].text.find("Fault Code: \t500"), std::string::npos);
    EXPECT_EQ(api->XMLRPC_Response()->HttpStatus(), 500);
}

TEST_F(TessaryConnection, DateWithoutTextFormIsRefusedUnderTheCallingOperation) {
    for (const double date : {3e6, -7e5, std::numeric_limits<double>::quiet_NaN()}) {
        RpcStruct values;
        values.AddDate("DateCreated", date);
        EXPECT_EQ(api->DataService()->Add("Contact", values), 0);
    }
    EXPECT_TRUE(transport->posted.empty()) << "no empty dateTime.iso8601 on the wire";
    ASSERT_EQ(notifier->boxes.size(), 3u) << "one report per call, none when the date is made";
    EXPECT_EQ(notifier->boxes[0].title, "Tessary Error");
    EXPECT_NE(notifier->boxes[0].text.find("Error Section: Add\r\n"), std::string::npos);
    EXPECT_NE(notifier->boxes[0].text.find("outside the years 100 to 9999"), std::string::npos);
}

TEST_F(TessaryConnection, AnswerOverTheElementLimitIsRefusedLikeAnOversizedOne) {
    std::string values;
    values.reserve(8'000'000);
    for (int i = 0; i < 1'000'000; ++i)
        values += "<value/>";
    transport->AnswerParam("<array><data>" + values + "</data></array>");
    EXPECT_EQ(QueryContacts(), nullptr);
    ASSERT_EQ(notifier->boxes.size(), 1u);
    EXPECT_EQ(notifier->boxes[0].title, "Tessary Error");
    EXPECT_NE(notifier->boxes[0].text.find("Error Section: Query\r\n"), std::string::npos);
    EXPECT_NE(notifier->boxes[0].text.find("more than 1000000 XML elements"), std::string::npos)
        << notifier->boxes[0].text;
}

TEST_F(TessaryConnection, TransportFailureIsReportedWithItsCause) {
    transport->Fail("The server did not answer in time (call time-out 500 ms)");
    EXPECT_EQ(QueryContacts(), nullptr);
    ASSERT_EQ(notifier->boxes.size(), 1u);
    EXPECT_EQ(notifier->boxes[0].title, "Tessary Error");
    EXPECT_EQ(notifier->boxes[0].text,
              "Error Reported From Tessary.\r\n\r\nError Section: Query\r\nError Source: tessary "
              "(libcurl)\r\nError Line: 0\r\nError Number: 28\r\nError Description: The server "
              "did not answer in time (call time-out 500 ms)");
}

// What the program reads to tell "nothing done" from "may have been done": each operation
// replaces what the one before it left.
TEST_F(TessaryConnection, LastCallFailureSaysHowTheCallFailed) {
    using What = CallFailure::What;
    RpcStruct values;
    values.AddString("FirstName", "Ann");
    const auto add = [&] { return api->DataService()->Add("Contact", values); };
    const struct {
        const char* name;
        std::function<void()> answer;
        std::function<bool()> call;
        What what;
        bool uncertain;
        long code;
        const char* message;
    } cases[] = {
        {"success", [&] { transport->AnswerParam("<i4>7</i4>"); }, [&] { return add() == 7; },
         What::None, false, 0, ""},
        {"fault", [&] { transport->AnswerFault(3, "[DatabaseError]busy"); },
         [&] { return add() == 0; }, What::Fault, false, 3, "[DatabaseError]busy"},
        {"500 to a write", [&] { transport->Answer("<html/>", 500); }, [&] { return add() == 0; },
         What::HttpStatus, true, 500, "HTTP status 500"},
        {"500 to a read", [&] { transport->Answer("<html/>", 500); },
         [&] { return !QueryContacts(); }, What::HttpStatus, false, 500, "HTTP status 500"},
        {"429 to a write (refused before it ran)", [&] { transport->Answer("<html/>", 429); },
         [&] { return add() == 0; }, What::HttpStatus, false, 429, "HTTP status 429"},
        {"answer lost", [&] { transport->Fail("The connection was closed", true); },
         [&] { return add() == 0; }, What::Transport, true, 28, "The connection was closed"},
        {"answer to a read lost", [&] { transport->Fail("The connection was closed", true); },
         [&] { return !QueryContacts(); }, What::Transport, false, 28, "closed"},
        {"never sent", [&] { transport->Fail("Could not connect"); }, [&] { return add() == 0; },
         What::Transport, false, 28, "Could not connect"},
        {"unreadable answer to a write", [&] { transport->Answer("plain text"); },
         [&] { return add() == 0; }, What::Unreadable, true, 0, ""},
        {"answer of the wrong type", [&] { transport->AnswerParam("<string>x</string>"); },
         [&] { return add() == 0; }, What::Unreadable, true, 0, "Type mismatch"},
        {"refused by the library", [] {},
         [&] {
             RpcStruct bad;
             bad.AddDate("DateCreated", 3e6);
             return api->DataService()->Add("Contact", bad) == 0;
         },
         What::Library, false, 0, "outside the years 100 to 9999"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.answer();
        EXPECT_TRUE(c.call());
        const CallFailure failure = api->LastCallFailure();
        EXPECT_EQ(failure.what, c.what);
        EXPECT_EQ(failure.Failed(), c.what != What::None);
        EXPECT_EQ(failure.mayHaveBeenCarriedOut, c.uncertain);
        EXPECT_EQ(failure.code, c.code);
        EXPECT_NE(failure.message.find(c.message), std::string::npos) << failure.message;
        if (c.what == What::Transport)
            EXPECT_EQ(failure.transport, TransportError::Kind::TimedOut);
    }
}

TEST_F(TessaryConnection, ServicesAreMadeOnceAndFollowTheSettings) {
    auto data = api->DataService();
    EXPECT_EQ(api->DataService(), data);
    EXPECT_EQ(api->ContactService(), api->ContactService());
    EXPECT_EQ(api->FileService(), api->FileService());
    EXPECT_EQ(api->OtherService(), api->OtherService());
    EXPECT_EQ(api->Helpers(), api->Helpers());
    api->SetupConnection("other", "KEY2");
    transport->AnswerParam("<i4>5</i4>");
    EXPECT_EQ(data->Add("Contact", RpcStruct()), 5);
    EXPECT_EQ(transport->posted[0].url, "https://other.infusionsoft.com:443/api/xmlrpc");
    EXPECT_EQ(ReadCall(transport->posted[0].body).params[0].text, "KEY2");
}

TEST_F(TessaryConnection, ServiceOutlivingItsConnectionReportsAndDefaults) {
    auto data = api->DataService();
    api.reset();
    EXPECT_EQ(data->Add("Contact", RpcStruct()), 0);
    ASSERT_EQ(notifier->boxes.size(), 1u);
    EXPECT_NE(notifier->boxes[0].text.find("Error Section: Add"), std::string::npos);
    EXPECT_NE(notifier->boxes[0].text.find("Error Number: 91"), std::string::npos);
}

TEST_F(TessaryConnection, ANotifierThatThrowsDoesNotEscape) {
    struct Throwing : Notifier {
        void ShowMessage(const std::string&, const std::string&, BoxIcon) override {
            throw std::runtime_error("no display");
        }
        BoxAnswer AskOkCancel(const std::string&, const std::string&, BoxIcon) override {
            throw std::runtime_error("no display");
        }
    };
    SetNotifier(std::make_shared<Throwing>());
    transport->Fail("refused");
    EXPECT_NO_THROW(EXPECT_EQ(QueryContacts(), nullptr));
    transport->AnswerFault(1, "x");
    EXPECT_NO_THROW(EXPECT_EQ(QueryContacts(), nullptr));
}

TEST_F(TessaryConnection, EachCallReplacesRequestAndResponse) {
    transport->AnswerParam("<i4>5</i4>");
    transport->AnswerParam("<boolean>1</boolean>");
    EXPECT_EQ(api->DataService()->Add("Contact", RpcStruct()), 5);
    const auto firstResponse = api->XMLRPC_Response();
    EXPECT_TRUE(api->DataService()->Delete("Contact", 5));
    EXPECT_NE(api->XMLRPC_Response(), firstResponse);
    EXPECT_EQ(api->XMLRPC_Request()->MethodName(), "DataService.delete");
    EXPECT_EQ(api->XMLRPC_Request()->Params().Count(), 3u);
}

} // namespace
