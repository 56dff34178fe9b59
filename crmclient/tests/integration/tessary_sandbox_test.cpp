// The library against the CRM sandbox over HTTPS with the sandbox's own CA: what
// arrives on the wire (read from the sandbox's call log), the answers as CPython's
// XML-RPC writes them, failures of every layer, and connection reuse.

#include "SandboxProcess.h"
#include "tessary/tessary.h"
#include "tessary_test_support.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <thread>
#include <unistd.h>

namespace {

using namespace tessary;
using namespace std::chrono_literals;

const char* kKey = "test-key";

class TessarySandbox : public test::NotifierFixture {
protected:
    static void SetUpTestSuite() {
        sandbox::SandboxOptions options;
        options.apiKey = kKey;
        options.extraArgs = {"--memory"};
        box = std::make_unique<sandbox::SandboxProcess>(options);
    }
    static void TearDownTestSuite() { box.reset(); }

    void SetUp() override {
        NotifierFixture::SetUp();
        box->clearFault();
        box->clearLog();
        api = Connection(kKey);
    }

    static std::shared_ptr<clsInfusionsoftAPI> Connection(const std::string& key) {
        auto c = clsInfusionsoftAPI::Create();
        c->SetupConnection("demo", key);
        c->SetServiceDomain("localhost");
        c->SetServicePort(box->port());
        c->SetCABundleFile(box->caFile());
        c->SetTimeouts(5s, 10s);
        return c;
    }

    // "method(type,type,...)" of every logged call.
    static std::vector<std::string> WireLog() {
        std::vector<std::string> out;
        for (const auto& call : box->calls()) {
            std::string line = call.method + "(";
            for (std::size_t i = 0; i < call.params.size(); ++i)
                line += (i ? "," : "") + call.params[i].type;
            out.push_back(line + ")");
        }
        return out;
    }

    static RpcArray Fields(std::initializer_list<const char*> names) {
        RpcArray a;
        for (const char* n : names)
            a.AddString(n);
        return a;
    }

    std::vector<std::string> BoxTitles() const {
        std::vector<std::string> titles;
        for (const auto& b : notifier->boxes)
            titles.push_back(b.title);
        return titles;
    }

    static inline std::unique_ptr<sandbox::SandboxProcess> box;
    std::shared_ptr<clsInfusionsoftAPI> api;
};

TEST_F(TessarySandbox, DataServiceRoundTrip) {
    auto ds = api->DataService();
    RpcStruct contact;
    contact.AddString("FirstName", "Zo\xC3\xAB <&> \"Q\"");
    contact.AddString("LastName", "Tessary");
    contact.AddString("Email", "zoe.tessary@example.test");
    const std::int32_t id = ds->Add("Contact", contact);
    ASSERT_GT(id, 0);

    const auto loaded = ds->Load("Contact", id, Fields({"Id", "FirstName", "DateCreated"}));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->Item("FirstName").StringValue(), "Zo\xC3\xAB <&> \"Q\"");
    EXPECT_EQ(loaded->Item("Id").IntegerValue(), id);
    EXPECT_GT(api->Helpers()->SafeDateTimeValue(loaded, "DateCreated"), 40000.0);

    RpcStruct change;
    change.AddString("LastName", "Changed");
    EXPECT_EQ(ds->Update("Contact", id, change), id);

    RpcStruct query;
    query.AddString("Email", "zoe.tessary@%");
    const auto found = ds->Query("Contact", 10, 0, query, Fields({"Id", "LastName"}));
    ASSERT_TRUE(found);
    ASSERT_EQ(found->Count(), 1u);
    EXPECT_EQ(found->Item(1).StructValue()->Item("LastName").StringValue(), "Changed");

    const auto byField =
        ds->FindByField("Contact", 10, 0, "LastName", RpcValue::String("Changed"), Fields({"Id"}));
    ASSERT_TRUE(byField);
    EXPECT_EQ(byField->Count(), 1u);

    EXPECT_TRUE(ds->Delete("Contact", id));
    EXPECT_FALSE(ds->Delete("Contact", id)) << "a missing record";
    EXPECT_TRUE(notifier->boxes.empty()) << "[RecordNotFound] is taken silently";

    const std::string hash = api->Helpers()->MD5Encrypt("demo-password");
    EXPECT_GT(ds->AuthenticateUser("admin@demo.example", hash), 0);
    EXPECT_EQ(ds->GetTemporaryKey("pellwick-vendor-key", "admin@demo.example", hash), kKey);
    const auto fieldId = ds->AddCustomField("Contact", "Shoe Size", "Text", 1);
    ASSERT_TRUE(fieldId);
    ASSERT_GT(*fieldId, 0);
    RpcStruct label;
    label.AddString("Label", "Shoe");
    EXPECT_TRUE(ds->UpdateCustomField(*fieldId, label));
    ds->GetAppSetting("Contact", "optiontypes");
    EXPECT_TRUE(notifier->boxes.empty());

    EXPECT_EQ(WireLog(), (std::vector<std::string>{
                             "DataService.add(string,string,struct)",
                             "DataService.load(string,string,int,array)",
                             "DataService.update(string,string,int,struct)",
                             "DataService.query(string,string,int,int,struct,array)",
                             "DataService.findByField(string,string,int,int,string,string,array)",
                             "DataService.delete(string,string,int)",
                             "DataService.delete(string,string,int)",
                             "DataService.authenticateUser(string,string,string)",
                             "DataService.getTemporaryKey(string,string,string)",
                             "DataService.addCustomField(string,string,string,string,int)",
                             "DataService.updateCustomField(string,int,struct)",
                             "DataService.getAppSetting(string,string,string)",
                         }));
    const auto calls = box->calls();
    EXPECT_EQ(calls[8].params[0].value, "pellwick-vendor-key")
        << "no API key before the vendor key";
}

TEST_F(TessarySandbox, ContactServiceCalls) {
    auto cs = api->ContactService();
    RpcStruct data;
    data.AddString("FirstName", "Camp");
    data.AddString("Email", "camp@example.test");
    const auto id = cs->Add(data);
    ASSERT_TRUE(id);
    ASSERT_GT(*id, 0);
    data.AddString("LastName", "Er");
    EXPECT_EQ(cs->Update(*id, data), *id);
    const auto byMail = cs->FindByEmail("camp@example.test", Fields({"Id", "LastName"}));
    ASSERT_TRUE(byMail);
    ASSERT_EQ(byMail->Count(), 1u);
    EXPECT_EQ(cs->Load(*id, Fields({"LastName"}))->Item("LastName").StringValue(), "Er");
    EXPECT_TRUE(cs->AddToCampaign(*id, 1));
    EXPECT_GT(cs->GetNextCampaignStep(*id, 1), 0);
    EXPECT_TRUE(cs->PauseCampaign(*id, 1));
    EXPECT_TRUE(cs->ResumeCampaignForContact(*id, 1));
    RpcArray ids;
    ids.AddInteger(*id);
    cs->RescheduleCampaignStep(ids, cs->GetNextCampaignStep(*id, 1));
    EXPECT_TRUE(cs->RemoveFromCampaign(*id, 1));
    EXPECT_TRUE(cs->AddToGroup(*id, 1));
    EXPECT_TRUE(cs->RemoveFromGroup(*id, 1));
    const auto actions = cs->RunActionSequence(*id, 1);
    ASSERT_TRUE(actions);
    ASSERT_GT(actions->Count(), 0u);
    EXPECT_TRUE(actions->Item(1).StructValue()->Exists("Action"));
    EXPECT_TRUE(notifier->boxes.empty());

    const auto none = cs->FindByEmail("nobody@nowhere.test", Fields({"Id"}));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->Count(), 0u);

    RpcStruct bad;
    bad.AddString("NoSuchField", "x");
    EXPECT_EQ(cs->Add(bad), 0);
    EXPECT_EQ(BoxTitles(), std::vector<std::string>{"XML RPC Error"});

    const auto log = WireLog();
    EXPECT_EQ(log[0], "ContactService.add(string,struct)");
    EXPECT_EQ(log[1], "ContactService.update(string,int,struct)");
    EXPECT_EQ(log[2], "ContactService.findByEmail(string,string,array)");
    EXPECT_EQ(log[3], "ContactService.load(string,int,array)");
    EXPECT_EQ(log[4], "ContactService.addToCampaign(string,int,int)");
    EXPECT_EQ(log[9], "ContactService.rescheduleCampaignStep(string,array,int)");
    EXPECT_EQ(log[13], "ContactService.runActionSequence(string,int,int)");
    const auto calls = box->calls();
    EXPECT_EQ(calls[4].params[1].value, *id) << "contact id first";
    EXPECT_EQ(calls[4].params[2].value, 1);
}

TEST_F(TessarySandbox, QueryAnswersOfEveryKind) {
    auto ds = api->DataService();
    RpcStruct query;
    query.AddString("Email", "no-such-address@nowhere.test");
    const auto empty = ds->Query("Contact", 10, 0, query, Fields({"Id"}));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->Count(), 0u);

    box->setFault("malformed", 1);
    EXPECT_EQ(ds->Query("Contact", 10, 0, query, Fields({"Id"})), nullptr);
    EXPECT_TRUE(notifier->boxes.empty()) << "an answer that does not parse is an empty result";

    RpcStruct badField;
    badField.AddString("NoSuchField", "x");
    EXPECT_EQ(ds->Query("Contact", 10, 0, badField, Fields({"Id"})), nullptr);
    ASSERT_EQ(notifier->boxes.size(), 1u);
    EXPECT_NE(notifier->boxes[0].text.find("Fault String: \t[NoFieldFound]"), std::string::npos)
        << notifier->boxes[0].text;

    // A date for FindByField is not sent: the server misses a parameter and says so.
    notifier->boxes.clear();
    EXPECT_EQ(
        ds->FindByField("Contact", 10, 0, "DateCreated", RpcValue::Date(40000), Fields({"Id"})),
        nullptr);
    EXPECT_EQ(WireLog().back(), "DataService.findByField(string,string,int,int,string,array)");
    EXPECT_EQ(BoxTitles(), std::vector<std::string>{"XML RPC Error"});

    // A thousand records in one answer.
    RpcStruct all;
    all.AddString("Id", "%");
    const auto many = ds->Query("Contact", 1000, 0, all, Fields({"Id", "FirstName", "Email"}));
    ASSERT_TRUE(many);
    EXPECT_GE(many->Count(), 40u);
}

TEST_F(TessarySandbox, FileBoxUploadThenReplace) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("tessary-it-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto path = (dir / "Quote 1001.dtf").string();
    std::ofstream(path, std::ios::binary) << std::string("first\0version", 13);

    RpcStruct who;
    who.AddString("FirstName", "Filer");
    const std::int32_t contact = api->DataService()->Add("Contact", who);
    ASSERT_GT(contact, 0);
    auto fs = api->FileService();
    EXPECT_TRUE(fs->UpdateFileInFileBox(contact, path));
    std::ofstream(path, std::ios::binary | std::ios::trunc) << "second";
    EXPECT_TRUE(fs->UpdateFileInFileBox(contact, path));

    RpcStruct query;
    query.AddInteger("ContactId", contact);
    const auto files =
        api->DataService()->Query("FileBox", 10, 0, query, Fields({"Id", "FileName", "FileSize"}));
    ASSERT_TRUE(files);
    ASSERT_EQ(files->Count(), 1u) << "the second store replaces, it does not add";
    const auto record = files->Item(1).StructValue();
    EXPECT_EQ(record->Item("FileName").StringValue(), "Quote 1001.dtf");
    EXPECT_EQ(api->Helpers()->DecodeBase64(fs->GetFile(record->Item("Id"))), "second");
    EXPECT_TRUE(notifier->boxes.empty());

    // Without a contact the upload carries three parameters.
    const std::int32_t loose = fs->UploadFile("loose.txt", api->Helpers()->EncodeBase64("x"));
    EXPECT_GT(loose, 0);
    EXPECT_TRUE(fs->RenameFile(loose, "renamed.txt"));
    EXPECT_NE(fs->GetDownloadUrl(loose).find("Download?Id="), std::string::npos);
    const auto log = WireLog();
    EXPECT_EQ(log[1], "DataService.query(string,string,int,int,struct,array)");
    EXPECT_EQ(log[2], "FileService.uploadFile(string,int,string,string)");
    EXPECT_EQ(log[4], "FileService.replaceFile(string,int,string)");
    EXPECT_EQ(log[7], "FileService.uploadFile(string,string,string)");
    EXPECT_EQ(log[8], "FileService.renameFile(string,int,string)");
    std::filesystem::remove_all(dir);
}

TEST_F(TessarySandbox, FileBoxReplacesOnlyTheSameNameAndNothingAfterAFailedLookup) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("tessary-it-q-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto q11 = (dir / "Q11.dtf").string();
    const auto pattern = (dir / "Q%1.dtf").string(); // as a query pattern it finds Q11.dtf
    std::ofstream(q11, std::ios::binary) << "quote 11";
    std::ofstream(pattern, std::ios::binary) << "quote %1";
    RpcStruct who;
    who.AddString("FirstName", "Patterned");
    const std::int32_t contact = api->DataService()->Add("Contact", who);
    ASSERT_GT(contact, 0);
    auto fs = api->FileService();
    EXPECT_TRUE(fs->UpdateFileInFileBox(contact, q11));
    EXPECT_TRUE(fs->UpdateFileInFileBox(contact, pattern));
    EXPECT_TRUE(notifier->boxes.empty());

    for (const char* fault : {"malformed", "http500", "drop"}) {
        box->setFault(fault, 1);
        EXPECT_FALSE(fs->UpdateFileInFileBox(contact, q11)) << fault;
        EXPECT_EQ(WireLog().back(), "DataService.query(string,string,int,int,struct,array)")
            << fault << ": nothing uploaded after a failed lookup";
    }
    EXPECT_EQ(BoxTitles(),
              (std::vector<std::string>{"XML RPC Error", "XML RPC Error", "Tessary Error"}));

    RpcStruct query;
    query.AddInteger("ContactId", contact);
    const auto files =
        api->DataService()->Query("FileBox", 10, 0, query, Fields({"Id", "FileName"}));
    ASSERT_TRUE(files);
    ASSERT_EQ(files->Count(), 2u);
    EXPECT_EQ(files->Item(1).StructValue()->Item("FileName").StringValue(), "Q11.dtf");
    EXPECT_EQ(api->Helpers()->DecodeBase64(fs->GetFile(files->Item(1).StructValue()->Item("Id"))),
              "quote 11");
    EXPECT_EQ(files->Item(2).StructValue()->Item("FileName").StringValue(), "Q%1.dtf");
    std::filesystem::remove_all(dir);
}

TEST_F(TessarySandbox, TextsThePeersParserWouldRejectArriveCleaned) {
    RpcStruct contact;
    contact.AddString("FirstName", "Soft\x0B"
                                   "break\x01");
    contact.AddString("LastName", "M\xFCller"); // Latin-1 from the host
    contact.AddString("Company", "Caf\xC3\xA9 \xE2\x82\xAC");
    const std::int32_t id = api->DataService()->Add("Contact", contact);
    ASSERT_GT(id, 0) << (notifier->boxes.empty() ? "" : notifier->boxes[0].text);
    const auto loaded =
        api->DataService()->Load("Contact", id, Fields({"FirstName", "LastName", "Company"}));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->Item("FirstName").StringValue(), "Soft break ");
    EXPECT_EQ(loaded->Item("LastName").StringValue(), "M\xC3\xBCller");
    EXPECT_EQ(loaded->Item("Company").StringValue(), "Caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_TRUE(notifier->boxes.empty());
}

TEST_F(TessarySandbox, AConnectionIdleTooLongIsNotReused) {
    ConnectionOptions options = api->GetConnectionOptions();
    options.reuseIdleLimit = 1s;
    api->SetConnectionOptions(options);
    ASSERT_TRUE(api->TestConnection());
    ASSERT_TRUE(api->TestConnection());
    std::this_thread::sleep_for(2100ms); // libcurl counts idle time in whole seconds
    ASSERT_TRUE(api->TestConnection());
    const auto calls = box->calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1].connection, calls[0].connection);
    EXPECT_NE(calls[2].connection, calls[1].connection);
}

TEST_F(TessarySandbox, TestConnectionWithGoodAndWrongKey) {
    EXPECT_TRUE(api->TestConnection());
    EXPECT_FALSE(Connection("wrong-key")->TestConnection());
    EXPECT_TRUE(notifier->boxes.empty());
    EXPECT_EQ(WireLog(),
              (std::vector<std::string>{"DataService.query(string,string,int,int,struct,array)",
                                        "DataService.query(string,string,int,int,struct,array)"}));
}

TEST_F(TessarySandbox, CertificateForAnotherNameIsRefused) {
    // The sandbox's certificate names demo.localhost and api.localhost, not
    // other.localhost (a wildcard over a single-label domain such as *.localhost
    // matches nothing), so the call must fail the host-name check.
    api->SetupConnection("other", kKey);
    EXPECT_EQ(api->DataService()->GetAppSetting("Contact", "optiontypes"), "");
    ASSERT_EQ(notifier->boxes.size(), 1u);
    EXPECT_NE(notifier->boxes[0].text.find("other.localhost"), std::string::npos)
        << notifier->boxes[0].text;
    EXPECT_NE(notifier->boxes[0].text.find("certificate"), std::string::npos);
    EXPECT_TRUE(box->calls().empty());
}

TEST(TessarySandboxCurrentEndpoint, KeyTravelsInHeaderAndParameter) {
    sandbox::SandboxOptions options;
    options.apiKey = kKey;
    options.app = "api"; // a certificate for api.localhost
    options.extraArgs = {"--memory"};
    sandbox::SandboxProcess server(options);
    auto api = clsInfusionsoftAPI::Create();
    api->SetupConnection("ignored", kKey);
    api->SetServiceDomain("localhost");
    api->SetServicePort(server.port());
    api->SetCABundleFile(server.caFile());
    api->SetUseCurrentEndpoint(true);
    EXPECT_TRUE(api->TestConnection());
    api->SetupConnection("ignored", "wrong-key");
    EXPECT_FALSE(api->TestConnection());
    const auto calls = server.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].path, "/crm/xmlrpc");
    EXPECT_TRUE(calls[0].keyInHeader);
    EXPECT_EQ(calls[0].params[0].value, kKey);

    const std::string hash = api->Helpers()->MD5Encrypt("demo-password");
    EXPECT_EQ(
        api->DataService()->GetTemporaryKey("pellwick-vendor-key", "admin@demo.example", hash),
        kKey);
    const auto last = server.calls().back();
    EXPECT_FALSE(last.keyInHeader) << "getTemporaryKey sends no API key at all";
    EXPECT_EQ(last.params[0].value, "pellwick-vendor-key");
}

TEST_F(TessarySandbox, HttpErrorAndUnreadableAnswers) {
    RpcStruct data;
    data.AddString("FirstName", "X");
    box->setFault("http500", 1);
    EXPECT_EQ(api->DataService()->Add("Contact", data), 0);
    box->setFault("notxml", 1);
    EXPECT_EQ(api->DataService()->Add("Contact", data), 0);
    ASSERT_EQ(notifier->boxes.size(), 2u);
    EXPECT_NE(notifier->boxes[0].text.find("Status Returned:\tHTTP Error"), std::string::npos);
    EXPECT_NE(notifier->boxes[1].text.find("Status Returned:\tXML Parse Error"), std::string::npos);
}

TEST_F(TessarySandbox, SlowServerPastTheTimeOut) {
    api->SetTimeouts(2s, 500ms);
    box->setFault("delay", 1, 3000);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(api->DataService()->GetAppSetting("Contact", "optiontypes"), "");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2500ms);
    ASSERT_EQ(notifier->boxes.size(), 1u);
    EXPECT_EQ(notifier->boxes[0].title, "Tessary Error");
    EXPECT_NE(notifier->boxes[0].text.find("Error Section: GetAppSetting"), std::string::npos);
    EXPECT_NE(notifier->boxes[0].text.find("did not answer in time"), std::string::npos)
        << notifier->boxes[0].text;
}

TEST_F(TessarySandbox, ConnectionClosedMidAnswer) {
    box->setFault("close", 1);
    EXPECT_EQ(api->DataService()->GetAppSetting("Contact", "optiontypes"), "");
    ASSERT_EQ(notifier->boxes.size(), 1u);
    EXPECT_NE(notifier->boxes[0].text.find("broke off"), std::string::npos)
        << notifier->boxes[0].text;
}

TEST_F(TessarySandbox, ACallWhoseAnswerIsLostIsNeverSentAgain) {
    ASSERT_TRUE(api->TestConnection()); // leaves a kept-alive connection for the next call
    box->setFault("drop", 1);           // carries the call out, then hangs up without answering
    RpcStruct contact;
    contact.AddString("FirstName", "Sent");
    contact.AddString("LastName", "Once");
    EXPECT_EQ(api->DataService()->Add("Contact", contact), 0);
    ASSERT_EQ(notifier->boxes.size(), 1u);
    EXPECT_EQ(notifier->boxes[0].title, "Tessary Error");
    EXPECT_NE(notifier->boxes[0].text.find("Error Section: Add\r\n"), std::string::npos);
    EXPECT_NE(notifier->boxes[0].text.find("not sent again"), std::string::npos)
        << notifier->boxes[0].text;
    EXPECT_EQ(WireLog().back(), "DataService.add(string,string,struct)");
    EXPECT_EQ(WireLog().size(), 2u) << "the call reached the server once";

    RpcStruct query;
    query.AddString("LastName", "Once");
    const auto found = api->DataService()->Query("Contact", 10, 0, query, Fields({"Id"}));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->Count(), 1u) << "one record, neither lost nor doubled";

    // The same for a body streamed to the server (a file's contents).
    box->setFault("drop", 1);
    const std::string data = api->Helpers()->EncodeBase64(std::string(100000, 'x'));
    EXPECT_EQ(api->FileService()->UploadFile(
                  "big.txt", data, found->Item(1).StructValue()->Item("Id").IntegerValue()),
              0);
    EXPECT_EQ(WireLog().back(), "FileService.uploadFile(string,int,string,string)");
    EXPECT_EQ(WireLog().size(), 4u) << "the upload reached the server once";
}

TEST_F(TessarySandbox, CertificateFromAnotherAuthorityIsRefused) {
    // The system's store does not know the sandbox's own CA.
    api->SetCABundleFile("");
    EXPECT_FALSE(api->TestConnection());
    RpcStruct q;
    q.AddString("Id", "%");
    EXPECT_EQ(api->DataService()->Query("Contact", 1, 0, q, Fields({"Id"})), nullptr);
    ASSERT_EQ(notifier->boxes.size(), 1u);
    EXPECT_NE(notifier->boxes[0].text.find("certificate"), std::string::npos)
        << notifier->boxes[0].text;
    EXPECT_TRUE(box->calls().empty()) << "nothing is sent over an unverified connection";
}

TEST_F(TessarySandbox, OversizedAnswerIsAborted) {
    api->SetMaxResponseBytes(2000);
    RpcStruct all;
    all.AddString("Id", "%");
    EXPECT_EQ(api->DataService()->Query("Contact", 1000, 0, all, Fields({"Id", "Email"})), nullptr);
    ASSERT_EQ(notifier->boxes.size(), 1u);
    EXPECT_NE(notifier->boxes[0].text.find("larger than the limit of 2000 bytes"),
              std::string::npos)
        << notifier->boxes[0].text;
}

TEST_F(TessarySandbox, CallsOnOneConnectionObjectShareOneTlsConnection) {
    RpcStruct q;
    q.AddString("Id", "%");
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(api->DataService()->Query("Stage", 100, 0, q, Fields({"Id", "StageName"})));
    api->TestConnection();
    auto other = Connection(kKey);
    other->TestConnection();
    std::set<long> first;
    const auto calls = box->calls();
    ASSERT_EQ(calls.size(), 12u);
    for (std::size_t i = 0; i < 11; ++i)
        first.insert(calls[i].connection);
    EXPECT_EQ(first.size(), 1u) << "eleven calls, one handshake";
    EXPECT_NE(calls[11].connection, calls[0].connection) << "another object, its own session";
}

} // namespace
