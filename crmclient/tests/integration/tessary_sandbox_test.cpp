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

// One sandbox per suite; each test gets a fresh log, no fault and a connection.
class SandboxSuite : public test::NotifierFixture {
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
        box->resetRest();
        box->clearLog();
        api = Connection(kKey);
    }

    virtual CrmInterface Interface() const { return CrmInterface::XmlRpc; }
    bool Rest() const { return Interface() == CrmInterface::RestV2; }
    // The text made distinct per interface: both runs of a test share one sandbox.
    std::string Own(const std::string& text) const { return (Rest() ? "rest." : "xml.") + text; }
    // What is expected on the interface under test.
    template <class T> static T Pick(bool rest, T xmlRpc, T onRest) {
        return rest ? onRest : xmlRpc;
    }

    std::shared_ptr<clsInfusionsoftAPI> Connection(const std::string& key) const {
        auto c = clsInfusionsoftAPI::Create();
        c->SetupConnection("demo", key);
        c->SetServiceDomain("localhost");
        c->SetServicePort(box->port());
        c->SetCABundleFile(box->caFile());
        c->SetTimeouts(5s, 10s);
        c->SetCrmInterface(Interface());
        c->SetRestBaseUrl(box->restUrl());
        return c;
    }

    // XML-RPC: "method(type,type,...)" of every logged call; REST: "METHOD /path".
    static std::vector<std::string> WireLog() {
        std::vector<std::string> out;
        for (const auto& call : box->calls()) {
            std::string line = call.method;
            if (call.interface != "rest") {
                line += "(";
                for (std::size_t i = 0; i < call.params.size(); ++i)
                    line += (i ? "," : "") + call.params[i].type;
                line += ")";
            }
            out.push_back(line);
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

// The tests every interface must pass alike.
class TessarySandbox : public SandboxSuite, public ::testing::WithParamInterface<CrmInterface> {
protected:
    CrmInterface Interface() const override { return GetParam(); }
};

// What only the XML-RPC interface offers.
class TessarySandboxXmlRpc : public SandboxSuite {};

// What only the REST v2 interface has to get right.
class TessarySandboxRest : public SandboxSuite {
protected:
    CrmInterface Interface() const override { return CrmInterface::RestV2; }
};

TEST_P(TessarySandbox, DataServiceRoundTrip) {
    auto ds = api->DataService();
    RpcStruct contact;
    contact.AddString("FirstName", "Zo\xC3\xAB <&> \"Q\"");
    contact.AddString("LastName", "Tessary");
    contact.AddString("Email", "zoe.tessary@example.test");
    const std::int32_t id = ds->Add("Contact", contact);
    ASSERT_GT(id, 0) << (notifier->boxes.empty() ? "" : notifier->boxes[0].text);

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
    EXPECT_TRUE(notifier->boxes.empty()) << "a missing record is taken silently";

    EXPECT_EQ(
        WireLog(),
        Pick<std::vector<std::string>>(
            Rest(),
            {"DataService.add(string,string,struct)", "DataService.load(string,string,int,array)",
             "DataService.update(string,string,int,struct)",
             "DataService.query(string,string,int,int,struct,array)",
             "DataService.findByField(string,string,int,int,string,string,array)",
             "DataService.delete(string,string,int)", "DataService.delete(string,string,int)"},
            {"POST /contacts", "GET /contacts/{id}", "GET /contacts/{id}", "PATCH /contacts/{id}",
             "GET /contacts", "GET /contacts", "DELETE /contacts/{id}", "DELETE /contacts/{id}"}));
}

TEST_F(TessarySandboxXmlRpc, AccountAndCustomFieldCalls) {
    auto ds = api->DataService();
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
                             "DataService.authenticateUser(string,string,string)",
                             "DataService.getTemporaryKey(string,string,string)",
                             "DataService.addCustomField(string,string,string,string,int)",
                             "DataService.updateCustomField(string,int,struct)",
                             "DataService.getAppSetting(string,string,string)",
                         }));
    EXPECT_EQ(box->calls()[1].params[0].value, "pellwick-vendor-key")
        << "no API key before the vendor key";
}

TEST_P(TessarySandbox, ContactServiceCalls) {
    auto cs = api->ContactService();
    RpcStruct data;
    data.AddString("FirstName", "Camp");
    data.AddString("Email", Own("camp@example.test"));
    const auto id = cs->Add(data);
    ASSERT_TRUE(id);
    ASSERT_GT(*id, 0);
    data.AddString("LastName", "Er");
    EXPECT_EQ(cs->Update(*id, data), *id);
    const auto byMail = cs->FindByEmail(Own("CAMP@example.test"), Fields({"Id", "LastName"}));
    ASSERT_TRUE(byMail);
    ASSERT_EQ(byMail->Count(), 1u);
    EXPECT_EQ(cs->Load(*id, Fields({"LastName"}))->Item("LastName").StringValue(), "Er");
    EXPECT_TRUE(cs->AddToGroup(*id, 1));
    EXPECT_TRUE(cs->RemoveFromGroup(*id, 1));
    const auto actions = cs->RunActionSequence(*id, 1);
    ASSERT_TRUE(actions);
    ASSERT_GT(actions->Count(), 0u);
    EXPECT_TRUE(actions->Item(1).StructValue()->Exists("Action"));
    EXPECT_TRUE(notifier->boxes.empty()) << notifier->boxes[0].text;

    const auto none = cs->FindByEmail("nobody@nowhere.test", Fields({"Id"}));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->Count(), 0u);

    RpcStruct bad;
    bad.AddString("NoSuchField", "x");
    EXPECT_EQ(cs->Add(bad), 0);
    EXPECT_EQ(BoxTitles(), std::vector<std::string>{"XML RPC Error"});

    const auto log = WireLog();
    if (!Rest()) {
        EXPECT_EQ(log[0], "ContactService.add(string,struct)");
        EXPECT_EQ(log[1], "ContactService.update(string,int,struct)");
        EXPECT_EQ(log[2], "ContactService.findByEmail(string,string,array)");
        EXPECT_EQ(log[3], "ContactService.load(string,int,array)");
        EXPECT_EQ(log[4], "ContactService.addToGroup(string,int,int)");
        EXPECT_EQ(log[6], "ContactService.runActionSequence(string,int,int)");
        EXPECT_EQ(box->calls()[4].params[1].value, *id) << "contact id first";
        return;
    }
    EXPECT_EQ(log, (std::vector<std::string>{
                       "POST /contacts", "GET /contacts/{id}", "PATCH /contacts/{id}",
                       "GET /contacts", "GET /contacts/{id}", "POST /tags/{id}/contacts:applyTags",
                       "POST /tags/{id}/contacts:removeTags", "GET /campaigns",
                       "GET /campaigns/{id}/sequences", "GET /campaigns/{id}/sequences",
                       "GET /campaigns/{id}/sequences",
                       "POST /campaigns/{id}/sequences/{id}:addContacts", "GET /contacts"}))
        << "the bad field is refused before anything is sent";
    EXPECT_EQ(box->calls()[11].body["contact_ids"], nlohmann::json::array({std::to_string(*id)}));
}

TEST_F(TessarySandboxXmlRpc, CampaignCalls) {
    RpcStruct data;
    data.AddString("FirstName", "Camp");
    auto cs = api->ContactService();
    const auto id = cs->Add(data);
    ASSERT_TRUE(id && *id > 0);
    EXPECT_TRUE(cs->AddToCampaign(*id, 1));
    EXPECT_GT(cs->GetNextCampaignStep(*id, 1), 0);
    EXPECT_TRUE(cs->PauseCampaign(*id, 1));
    EXPECT_TRUE(cs->ResumeCampaignForContact(*id, 1));
    RpcArray ids;
    ids.AddInteger(*id);
    cs->RescheduleCampaignStep(ids, cs->GetNextCampaignStep(*id, 1));
    EXPECT_TRUE(cs->RemoveFromCampaign(*id, 1));
    EXPECT_TRUE(notifier->boxes.empty());
    const auto log = WireLog();
    EXPECT_EQ(log[1], "ContactService.addToCampaign(string,int,int)");
    EXPECT_EQ(log[6], "ContactService.rescheduleCampaignStep(string,array,int)");
    EXPECT_EQ(box->calls()[1].params[1].value, *id) << "contact id first";
    EXPECT_EQ(box->calls()[1].params[2].value, 1);
}

TEST_P(TessarySandbox, QueryAnswersOfEveryKind) {
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

    // A date for FindByField is not sent: the server (on REST our side) misses a
    // value and says so.
    notifier->boxes.clear();
    EXPECT_EQ(
        ds->FindByField("Contact", 10, 0, "DateCreated", RpcValue::Date(40000), Fields({"Id"})),
        nullptr);
    EXPECT_EQ(BoxTitles(), std::vector<std::string>{"XML RPC Error"});

    // A thousand records in one answer, and the pages after it.
    RpcStruct all;
    all.AddString("Id", "%");
    const auto many = ds->Query("Contact", 1000, 0, all, Fields({"Id", "FirstName", "Email"}));
    ASSERT_TRUE(many);
    EXPECT_GE(many->Count(), 40u);
    const auto first = ds->Query("Contact", 20, 0, all, Fields({"Id"}));
    const auto second = ds->Query("Contact", 20, 1, all, Fields({"Id"}));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(second->Item(1).StructValue()->Item("Id").IntegerValue(),
              many->Item(21).StructValue()->Item("Id").IntegerValue());
}

TEST_P(TessarySandbox, TheProgramsSearches) {
    auto ds = api->DataService();
    const RpcArray fields = Fields({"Id", "Company", "FirstName", "LastName", "Email", "Phone1"});
    const auto count = [&](std::initializer_list<std::pair<const char*, const char*>> members) {
        RpcStruct query;
        for (const auto& [name, value] : members)
            query.AddString(name, value);
        const auto found = ds->Query("Contact", 1000, 0, query, fields);
        return found ? static_cast<int>(found->Count()) : -1;
    };
    EXPECT_EQ(count({{"FirstName", "John%"}, {"LastName", "Smi%"}}), 2);
    EXPECT_EQ(count({{"Email", "office@abramscole.example"}}), 2);
    EXPECT_EQ(count({{"Company", "Harbour Lane%"}}), 1);
    EXPECT_EQ(count({{"Company", "%Dental"}}), 2);
    EXPECT_EQ(count({{"Company", "%dental%"}}), 3);
    EXPECT_EQ(count({{"LastName", "O;Neil%"}}), 0) << "a value the filter cannot carry";
    EXPECT_TRUE(notifier->boxes.empty()) << notifier->boxes[0].text;

    RpcStruct byText;
    byText.AddString("Id", "51");
    const auto sold = ds->Query(
        "Contact", 1, 0, byText,
        Fields({"Company", "StreetAddress1", "City", "State", "PostalCode", "Country", "Phone1"}));
    ASSERT_TRUE(sold);
    ASSERT_EQ(sold->Count(), 1u);
    const auto record = sold->Item(1).StructValue();
    EXPECT_EQ(record->Item("Company").StringValue(), "Harbour Lane Dental");
    EXPECT_FALSE(record->Item("Country").StringValue().empty());
    EXPECT_FALSE(record->Item("State").StringValue().empty());
}

TEST_P(TessarySandbox, FileBoxUploadThenReplace) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("tessary-it-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto path = (dir / "Quote 1001.dtf").string();
    std::ofstream(path, std::ios::binary) << std::string("first\0version", 13);

    RpcStruct who;
    who.AddString("FirstName", "Filer");
    who.AddString("Email", "filer@example.test");
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
    EXPECT_TRUE(notifier->boxes.empty()) << notifier->boxes[0].text;

    const std::int32_t other =
        fs->UploadFile("other.txt", api->Helpers()->EncodeBase64("x"), contact);
    EXPECT_GT(other, 0);
    EXPECT_TRUE(fs->RenameFile(other, "renamed.txt"));
    EXPECT_TRUE(fs->ReplaceFile(other, api->Helpers()->EncodeBase64("y\0z")));
    const auto log = WireLog();
    if (Rest()) {
        EXPECT_EQ(log[1], "GET /files");
        EXPECT_EQ(log[2], "POST /files");
        EXPECT_EQ(log[4], "POST /files/{id}");
        EXPECT_EQ(box->calls()[4].updateMask, std::vector<std::string>{"file"});
        EXPECT_EQ(box->calls()[4].body["parts"][0]["size"], 6) << "the raw bytes, streamed";
    } else {
        EXPECT_EQ(log[1], "DataService.query(string,string,int,int,struct,array)");
        EXPECT_EQ(log[2], "FileService.uploadFile(string,int,string,string)");
        EXPECT_EQ(log[4], "FileService.replaceFile(string,int,string)");
    }
    std::filesystem::remove_all(dir);
}

TEST_F(TessarySandboxXmlRpc, FilesWithoutAContactAndDownloadAddresses) {
    auto fs = api->FileService();
    const std::int32_t loose = fs->UploadFile("loose.txt", api->Helpers()->EncodeBase64("x"));
    EXPECT_GT(loose, 0);
    EXPECT_NE(fs->GetDownloadUrl(loose).find("Download?Id="), std::string::npos);
    EXPECT_EQ(WireLog()[0], "FileService.uploadFile(string,string,string)");
}

TEST_P(TessarySandbox, FileBoxReplacesOnlyTheSameNameAndNothingAfterAFailedLookup) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("tessary-it-q-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto q11 = (dir / "Q11.dtf").string();
    const auto pattern = (dir / "Q%1.dtf").string(); // as a query pattern it finds Q11.dtf
    std::ofstream(q11, std::ios::binary) << "quote 11";
    std::ofstream(pattern, std::ios::binary) << "quote %1";
    RpcStruct who;
    who.AddString("FirstName", "Patterned");
    who.AddString("Email", "patterned@example.test");
    const std::int32_t contact = api->DataService()->Add("Contact", who);
    ASSERT_GT(contact, 0);
    auto fs = api->FileService();
    EXPECT_TRUE(fs->UpdateFileInFileBox(contact, q11));
    EXPECT_TRUE(fs->UpdateFileInFileBox(contact, pattern));
    EXPECT_TRUE(notifier->boxes.empty());

    const std::string lookup = Pick<std::string>(
        Rest(), "DataService.query(string,string,int,int,struct,array)", "GET /files");
    for (const char* fault : {"malformed", "http500", "drop"}) {
        box->setFault(fault, 1);
        EXPECT_FALSE(fs->UpdateFileInFileBox(contact, q11)) << fault;
        EXPECT_EQ(WireLog().back(), lookup) << fault << ": nothing uploaded after a failed lookup";
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

TEST_P(TessarySandbox, TextsThePeersParserWouldRejectArriveCleaned) {
    RpcStruct contact;
    contact.AddString("FirstName", "Soft\x0B"
                                   "break\x01");
    contact.AddString("LastName", "M\xFCller"); // Latin-1 from the host
    contact.AddString("Company", "Caf\xC3\xA9 \xE2\x82\xAC");
    contact.AddString("Email", "cafe@example.test");
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

TEST_P(TessarySandbox, AConnectionIdleTooLongIsNotReused) {
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

TEST_P(TessarySandbox, TestConnectionWithGoodAndWrongKey) {
    EXPECT_TRUE(api->TestConnection());
    EXPECT_FALSE(Connection("wrong-key")->TestConnection());
    EXPECT_TRUE(notifier->boxes.empty());
    const std::string test =
        Pick<std::string>(Rest(), "DataService.query(string,string,int,int,struct,array)",
                          "GET /oauth/connect/userinfo");
    // On REST a refused key is tried once more as a bearer token.
    EXPECT_EQ(WireLog(), std::vector<std::string>(Rest() ? 3 : 2, test));
}

TEST_P(TessarySandbox, CertificateForAnotherNameIsRefused) {
    // The sandbox's certificate names demo.localhost and localhost, not
    // other.localhost (a wildcard over a single-label domain such as *.localhost
    // matches nothing), so the call must fail the host-name check.
    api->SetupConnection("other", kKey);
    api->SetRestBaseUrl(box->restUrl("other.localhost"));
    EXPECT_EQ(api->DataService()->Load("Contact", 1, Fields({"Id"})), nullptr);
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

TEST_P(TessarySandbox, HttpErrorAndUnreadableAnswers) {
    RpcStruct data;
    data.AddString("FirstName", "X");
    data.AddString("Email", "x@example.test");
    box->setFault("http500", 1);
    EXPECT_EQ(api->DataService()->Add("Contact", data), 0);
    box->setFault("notxml", 1);
    EXPECT_EQ(api->DataService()->Add("Contact", data), 0);
    ASSERT_EQ(notifier->boxes.size(), 2u);
    EXPECT_NE(notifier->boxes[0].text.find("Status Returned:\tHTTP Error"), std::string::npos);
    EXPECT_NE(notifier->boxes[1].text.find("Status Returned:\tXML Parse Error"), std::string::npos);
}

TEST_P(TessarySandbox, SlowServerPastTheTimeOut) {
    api->SetTimeouts(2s, 500ms);
    box->setFault("delay", 1, 3000);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(api->DataService()->Load("Contact", 1, Fields({"Id"})), nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2500ms);
    ASSERT_EQ(notifier->boxes.size(), 1u);
    EXPECT_EQ(notifier->boxes[0].title, "Tessary Error");
    EXPECT_NE(notifier->boxes[0].text.find("Error Section: Load"), std::string::npos);
    EXPECT_NE(notifier->boxes[0].text.find("did not answer in time"), std::string::npos)
        << notifier->boxes[0].text;
}

TEST_P(TessarySandbox, ConnectionClosedMidAnswer) {
    box->setFault("close", 1);
    EXPECT_EQ(api->DataService()->Load("Contact", 1, Fields({"Id"})), nullptr);
    ASSERT_EQ(notifier->boxes.size(), 1u);
    EXPECT_NE(notifier->boxes[0].text.find("broke off"), std::string::npos)
        << notifier->boxes[0].text;
}

TEST_P(TessarySandbox, ACallWhoseAnswerIsLostIsNeverSentAgain) {
    ASSERT_TRUE(api->TestConnection()); // leaves a kept-alive connection for the next call
    box->setFault("drop", 1);           // carries the call out, then hangs up without answering
    RpcStruct contact;
    contact.AddString("FirstName", "Sent");
    contact.AddString("LastName", Own("Once"));
    contact.AddString("Email", Own("sent.once@example.test"));
    EXPECT_EQ(api->DataService()->Add("Contact", contact), 0);
    ASSERT_EQ(notifier->boxes.size(), 1u);
    EXPECT_EQ(notifier->boxes[0].title, "Tessary Error");
    EXPECT_NE(notifier->boxes[0].text.find("Error Section: Add\r\n"), std::string::npos);
    EXPECT_NE(notifier->boxes[0].text.find("not sent again"), std::string::npos)
        << notifier->boxes[0].text;
    EXPECT_EQ(WireLog().size(), 2u) << "the call reached the server once";

    RpcStruct query;
    query.AddString("LastName", Own("Once"));
    const auto found = api->DataService()->Query("Contact", 10, 0, query, Fields({"Id"}));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->Count(), 1u) << "one record, neither lost nor doubled";

    // The same for a body streamed to the server (a file's contents), and for an
    // answer that says the server failed after carrying the call out.
    box->setFault("drop", 1);
    const std::string data = api->Helpers()->EncodeBase64(std::string(100000, 'x'));
    const std::int32_t id = found->Item(1).StructValue()->Item("Id").IntegerValue();
    EXPECT_EQ(api->FileService()->UploadFile("big.txt", data, id), 0);
    EXPECT_EQ(WireLog().size(), 4u) << "the upload reached the server once";
    box->setFault("commit_then_500", 1);
    EXPECT_EQ(api->FileService()->UploadFile("big.txt", data, id), 0);
    EXPECT_EQ(WireLog().size(), 5u);
}

TEST_P(TessarySandbox, CertificateFromAnotherAuthorityIsRefused) {
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

TEST_P(TessarySandbox, OversizedAnswerIsAborted) {
    api->SetMaxResponseBytes(2000);
    RpcStruct all;
    all.AddString("Id", "%");
    EXPECT_EQ(api->DataService()->Query("Contact", 1000, 0, all, Fields({"Id", "Email"})), nullptr);
    ASSERT_EQ(notifier->boxes.size(), 1u);
    EXPECT_NE(notifier->boxes[0].text.find("larger than the limit of 2000 bytes"),
              std::string::npos)
        << notifier->boxes[0].text;
}

TEST_P(TessarySandbox, CallsOnOneConnectionObjectShareOneTlsConnection) {
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

TEST_F(TessarySandboxRest, ASaveQuoteRoundTrip) {
    auto ds = api->DataService();
    RpcStruct contact;
    for (const auto& [name, value] :
         {std::pair<const char*, const char*>{"Email", "round@example.test"},
          {"FirstName", "Round"},
          {"LastName", "Trip"},
          {"Company", "Roundtrip Works"},
          {"StreetAddress1", "1 Loop Rd"},
          {"City", "Portland"},
          {"State", "Oregon"},
          {"PostalCode", "97201"},
          {"Country", "United States"},
          {"Phone1", "555-0100"},
          {"Phone1Ext", "7"}})
        contact.AddString(name, value);
    const std::int32_t id = *api->ContactService()->Add(contact);
    ASSERT_GT(id, 0) << (notifier->boxes.empty() ? "" : notifier->boxes[0].text);

    RpcStruct lead;
    lead.AddInteger("ContactID", id);
    lead.AddString("OpportunityTitle", "Quote 9");
    lead.AddDouble("ProjectedRevenueHigh", 120.5);
    const std::int32_t leadId = ds->Add("Lead", lead);
    ASSERT_GT(leadId, 0);
    RpcStruct note;
    note.AddInteger("ContactId", id);
    note.AddString("ActionDescription", "Quote 9 <sent>");
    note.AddString("CreationNotes", "Totals");
    note.AddDate("ActionDate", 46000);
    ASSERT_GT(ds->Add("ContactAction", note), 0);
    EXPECT_FALSE(notifier->debugLines.empty()) << "the action date was left out, and said so";

    // Read back over XML-RPC: the same store, the same values.
    auto xml = clsInfusionsoftAPI::Create();
    xml->SetupConnection("demo", kKey);
    xml->SetServiceDomain("localhost");
    xml->SetServicePort(box->port());
    xml->SetCABundleFile(box->caFile());
    const auto fields = Fields({"Company", "City", "Country", "Phone1Ext"});
    const auto overXml = xml->DataService()->Load("Contact", id, fields);
    const auto overRest = ds->Load("Contact", id, fields);
    ASSERT_TRUE(overXml && overRest);
    EXPECT_EQ(test::Show(RpcValue::Struct(overRest)), test::Show(RpcValue::Struct(overXml)));
    // The region goes as its ISO code and reads back as XML-RPC keeps it.
    EXPECT_EQ(
        xml->DataService()->Load("Contact", id, Fields({"State"}))->Item("State").StringValue(),
        "OR");
    EXPECT_EQ(ds->Load("Contact", id, Fields({"State"}))->Item("State").StringValue(), "OR");
    RpcStruct byContact;
    byContact.AddInteger("ContactID", id);
    const auto leads =
        xml->DataService()->Query("Lead", 10, 0, byContact, Fields({"Id", "StageID"}));
    ASSERT_TRUE(leads && leads->Count() == 1);
    EXPECT_GT(leads->Item(1).StructValue()->Item("StageID").IntegerValue(), 0)
        << "the default stage";
    RpcStruct notes;
    notes.AddInteger("ContactId", id);
    notes.AddString("ActionDescription", "%Quote 9 %sent%");
    const auto found =
        ds->Query("ContactAction", 1000, 0, notes, Fields({"Id", "ActionDescription"}));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->Count(), 1u);
    EXPECT_TRUE(notifier->boxes.empty()) << notifier->boxes[0].text;
}

TEST_F(TessarySandboxRest, KeyFormAndRateLimits) {
    box->setRest(sandbox::RestSettings{.keyHeader = "bearer"});
    ASSERT_TRUE(api->TestConnection());
    ASSERT_TRUE(api->DataService()->Load("Contact", 1, Fields({"Id"})));
    auto calls = box->calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].status, 401);
    EXPECT_EQ(calls[1].keyForm, "bearer");
    EXPECT_EQ(calls[2].keyForm, "bearer") << "kept";

    box->clearLog();
    box->setFault(sandbox::FaultOptions{.mode = "http429", .count = 1, .retryAfter = 1});
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(api->DataService()->Load("Contact", 1, Fields({"Id"})));
    EXPECT_GE(std::chrono::steady_clock::now() - started, 900ms);
    EXPECT_EQ(box->calls().size(), 2u);
    EXPECT_TRUE(notifier->boxes.empty());
}

TEST_F(TessarySandboxRest, ACallCancelledFromAnotherThreadStops) {
    box->setFault("delay", 1, 3000);
    std::thread canceller([&] {
        std::this_thread::sleep_for(300ms);
        api->CancelCurrentCall();
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(api->DataService()->Load("Contact", 1, Fields({"Id"})), nullptr);
    canceller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2500ms);
    ASSERT_EQ(notifier->boxes.size(), 1u);
    EXPECT_NE(notifier->boxes[0].text.find("cancelled"), std::string::npos)
        << notifier->boxes[0].text;
    EXPECT_TRUE(api->DataService()->Load("Contact", 1, Fields({"Id"}))) << "usable again";
}

TEST_F(TessarySandboxRest, FileContentsComeBackInEitherForm) {
    const std::string bytes("\0\x01\xFFraw", 6);
    const std::int32_t file =
        api->FileService()->UploadFile("b.bin", api->Helpers()->EncodeBase64(bytes), 1);
    ASSERT_GT(file, 0);
    for (const char* form : {"raw", "base64"}) {
        box->setRest(sandbox::RestSettings{.fileData = form});
        EXPECT_EQ(
            api->Helpers()->DecodeBase64(api->FileService()->GetFile(RpcValue::Integer(file))),
            bytes)
            << form;
    }
    EXPECT_TRUE(notifier->boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Interfaces, TessarySandbox,
                         ::testing::Values(CrmInterface::XmlRpc, CrmInterface::RestV2),
                         [](const auto& param) {
                             return param.param == CrmInterface::RestV2 ? "RestV2" : "XmlRpc";
                         });

} // namespace
