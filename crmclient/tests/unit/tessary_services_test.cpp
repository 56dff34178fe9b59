// Every service operation on canned answers: method name, parameter order and
// types on the wire, the reading of the answer, and the default after a fault.

#include "tessary/tessary.h"
#include "tessary_test_support.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using namespace tessary;
using test::FakeTransport;
using test::ReadCall;
using test::Signature;

class TessaryServices : public test::FakeConnectionFixture {
protected:
    void SetUp() override {
        FakeConnectionFixture::SetUp();
        fields.AddString("Id");
        fields.AddString("FirstName");
        data.AddString("FirstName", "Ann");
        data.AddInteger("Age", 3);
    }
    std::string LastCall() {
        const auto call = ReadCall(transport->posted.back().body);
        return call.method + " <- " + Signature(call);
    }
    RpcArray fields;
    RpcStruct data;
};

struct Case {
    const char* wire;                  // what must arrive
    const char* answer;                // the value answered
    std::function<std::string()> call; // runs the operation, shows its result as text
    std::string okResult;              // result for the answer
    std::string failResult;            // result after a fault
};

std::string Text(const std::shared_ptr<RpcArray>& a) {
    return a ? "array(" + std::to_string(a->Count()) + ")" : "null";
}
std::string Text(const std::shared_ptr<RpcStruct>& s) {
    return s ? "struct(" + std::to_string(s->Count()) + ")" : "null";
}
std::string Text(const std::optional<std::int32_t>& v) {
    return v ? std::to_string(*v) : "nullopt";
}
std::string Text(std::int32_t v) {
    return std::to_string(v);
}
std::string Text(bool v) {
    return v ? "true" : "false";
}
std::string Text(const std::string& v) {
    return "'" + v + "'";
}

TEST_F(TessaryServices, EveryOperationOnTheWire) {
    auto ds = api->DataService();
    auto cs = api->ContactService();
    auto fs = api->FileService();
    RpcArray ids;
    ids.AddInteger(4);
    ids.AddInteger(5);
    const char* rec = "<struct><member><name>Id</name><value><i4>9</i4></value></member></struct>";
    const char* list = "<array><data><value><struct/></value></data></array>";
    const std::vector<Case> cases = {
        {"DataService.add <- string:KEY | string:Contact | struct:FirstName,Age", "<i4>12</i4>",
         [&] { return Text(ds->Add("Contact", data)); }, "12", "0"},
        {"DataService.load <- string:KEY | string:Contact | int:9 | array:Id,FirstName", rec,
         [&] { return Text(ds->Load("Contact", 9, fields)); }, "struct(1)", "null"},
        {"DataService.update <- string:KEY | string:Lead | int:9 | struct:FirstName,Age",
         "<i4>9</i4>", [&] { return Text(ds->Update("Lead", 9, data)); }, "9", "0"},
        {"DataService.delete <- string:KEY | string:Lead | int:9", "<boolean>1</boolean>",
         [&] { return Text(ds->Delete("Lead", 9)); }, "true", "false"},
        {"DataService.findByField <- string:KEY | string:Contact | int:5 | int:1 | "
         "string:Email | string:a@b.c | array:Id,FirstName",
         list,
         [&] {
             return Text(
                 ds->FindByField("Contact", 5, 1, "Email", RpcValue::String("a@b.c"), fields));
         },
         "array(1)", "null"},
        {"DataService.query <- string:KEY | string:Contact | int:1000 | int:2 | "
         "struct:FirstName,Age | array:Id,FirstName",
         list, [&] { return Text(ds->Query("Contact", 1000, 2, data, fields)); }, "array(1)",
         "null"},
        {"DataService.addCustomField <- string:KEY | string:Contact | string:Shoe | "
         "string:Text | int:4",
         "<i4>77</i4>", [&] { return Text(ds->AddCustomField("Contact", "Shoe", "Text", 4)); },
         "77", "0"},
        {"DataService.authenticateUser <- string:KEY | string:ann | string:abc123", "<i4>3</i4>",
         [&] { return Text(ds->AuthenticateUser("ann", "abc123")); }, "3", "0"},
        {"DataService.getAppSetting <- string:KEY | string:Contact | string:optiontypes",
         "Work,Home", [&] { return Text(ds->GetAppSetting("Contact", "optiontypes")); },
         "'Work,Home'", "''"},
        {"DataService.getTemporaryKey <- string:VENDOR | string:ann | string:abc123",
         "<string>TMP</string>",
         [&] { return Text(ds->GetTemporaryKey("VENDOR", "ann", "abc123")); }, "'TMP'", "''"},
        {"DataService.updateCustomField <- string:KEY | int:77 | struct:FirstName,Age",
         "<boolean>1</boolean>", [&] { return Text(ds->UpdateCustomField(77, data)); }, "true",
         "false"},
        {"ContactService.add <- string:KEY | struct:FirstName,Age", "<i4>41</i4>",
         [&] { return Text(cs->Add(data)); }, "41", "0"},
        {"ContactService.update <- string:KEY | int:41 | struct:FirstName,Age", "<i4>41</i4>",
         [&] { return Text(cs->Update(41, data)); }, "41", "0"},
        {"ContactService.findByEmail <- string:KEY | string:a@b.c | array:Id,FirstName",
         "<array><data/></array>", [&] { return Text(cs->FindByEmail("a@b.c", fields)); },
         "array(0)", "null"},
        {"ContactService.load <- string:KEY | int:41 | array:Id,FirstName", rec,
         [&] { return Text(cs->Load(41, fields)); }, "struct(1)", "null"},
        {"ContactService.addToCampaign <- string:KEY | int:41 | int:2", "<boolean>1</boolean>",
         [&] { return Text(cs->AddToCampaign(41, 2)); }, "true", "false"},
        {"ContactService.getNextCampaignStep <- string:KEY | int:41 | int:2", "<i4>8</i4>",
         [&] { return Text(cs->GetNextCampaignStep(41, 2)); }, "8", "0"},
        {"ContactService.pauseCampaign <- string:KEY | int:41 | int:2", "<boolean>1</boolean>",
         [&] { return Text(cs->PauseCampaign(41, 2)); }, "true", "false"},
        {"ContactService.removeFromCampaign <- string:KEY | int:41 | int:2", "<boolean>1</boolean>",
         [&] { return Text(cs->RemoveFromCampaign(41, 2)); }, "true", "false"},
        {"ContactService.resumeCampaignForContact <- string:KEY | int:41 | int:2",
         "<boolean>1</boolean>", [&] { return Text(cs->ResumeCampaignForContact(41, 2)); }, "true",
         "false"},
        {"ContactService.rescheduleCampaignStep <- string:KEY | array:4,5 | int:6", "<i4>6</i4>",
         [&] { return Text(cs->RescheduleCampaignStep(ids, 6)); }, "6", "0"},
        {"ContactService.addToGroup <- string:KEY | int:41 | int:3", "<boolean>1</boolean>",
         [&] { return Text(cs->AddToGroup(41, 3)); }, "true", "false"},
        {"ContactService.removeFromGroup <- string:KEY | int:41 | int:3", "<boolean>1</boolean>",
         [&] { return Text(cs->RemoveFromGroup(41, 3)); }, "true", "false"},
        {"ContactService.runActionSequence <- string:KEY | int:41 | int:6", list,
         [&] { return Text(cs->RunActionSequence(41, 6)); }, "array(1)", "null"},
        {"FileService.getFile <- string:KEY | int:15",
         "SGVsbG8=", [&] { return Text(fs->GetFile(RpcValue::String("15"))); }, "'SGVsbG8='", "''"},
        {"FileService.uploadFile <- string:KEY | int:41 | string:q.dtf | string:QUJD",
         "<i4>15</i4>", [&] { return Text(fs->UploadFile("q.dtf", "QUJD", 41)); }, "15", "0"},
        {"FileService.uploadFile <- string:KEY | string:q.dtf | string:QUJD", "<i4>16</i4>",
         [&] { return Text(fs->UploadFile("q.dtf", "QUJD")); }, "16", "0"},
        {"FileService.replaceFile <- string:KEY | int:15 | string:QUJD", "<boolean>1</boolean>",
         [&] { return Text(fs->ReplaceFile(15, "QUJD")); }, "true", "false"},
        {"FileService.renameFile <- string:KEY | int:15 | string:new.pdf", "<boolean>1</boolean>",
         [&] { return Text(fs->RenameFile(15, "new.pdf")); }, "true", "false"},
        {"FileService.getDownloadUrl <- string:KEY | int:15", "https://x/f/15",
         [&] { return Text(fs->GetDownloadUrl(15)); }, "'https://x/f/15'", "''"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wire);
        notifier->boxes.clear();
        transport->AnswerParam(c.answer);
        EXPECT_EQ(c.call(), c.okResult);
        EXPECT_EQ(LastCall(), c.wire);
        EXPECT_TRUE(notifier->boxes.empty());

        transport->AnswerFault(3, "[InvalidParameter]rejected");
        EXPECT_EQ(c.call(), c.failResult);
        ASSERT_EQ(notifier->boxes.size(), 1u);
        EXPECT_EQ(notifier->boxes[0].title, "XML RPC Error");
    }
}

TEST_F(TessaryServices, FindByFieldSendsValuesByTheirType) {
    auto ds = api->DataService();
    const std::pair<RpcValue, const char*> values[] = {
        {RpcValue::Boolean(true), " | boolean:1 | "},
        {RpcValue::Integer(7), " | int:7 | "},
        {RpcValue::Double(2.5), " | double:2.5 | "},
        {RpcValue::String("x"), " | string:x | "},
    };
    for (const auto& [value, expected] : values) {
        transport->AnswerParam("<array><data/></array>");
        ds->FindByField("Contact", 1, 0, "F", value, fields);
        EXPECT_NE(LastCall().find(std::string("string:F") + expected), std::string::npos)
            << LastCall();
    }
    // A date is not sent: the server's fault about the missing value shows in the box.
    transport->AnswerFault(5, "[InvalidParameter]missing");
    EXPECT_EQ(ds->FindByField("Contact", 1, 0, "DateCreated", RpcValue::Date(40000), fields),
              nullptr);
    EXPECT_EQ(LastCall(), "DataService.findByField <- string:KEY | string:Contact | int:1 | "
                          "int:0 | string:DateCreated | array:Id,FirstName");
    EXPECT_EQ(notifier->boxes.size(), 1u);
    notifier->boxes.clear();
    transport->Answer("not xml");
    EXPECT_EQ(ds->FindByField("Contact", 1, 0, "F", RpcValue::String("x"), fields), nullptr);
    EXPECT_TRUE(notifier->boxes.empty());
}

TEST_F(TessaryServices, DeleteOfAMissingRecordIsSilent) {
    transport->AnswerFault(4, "[recordnotfound]Record 5 not found");
    EXPECT_FALSE(api->DataService()->Delete("Contact", 5));
    EXPECT_TRUE(notifier->boxes.empty());
    transport->AnswerFault(4, "[NoTableFound]nope");
    EXPECT_FALSE(api->DataService()->Delete("Nope", 5));
    EXPECT_EQ(notifier->boxes.size(), 1u);
}

TEST_F(TessaryServices, OtherOperationsTakeNoParseErrorSilently) {
    transport->Answer("not xml");
    EXPECT_EQ(api->ContactService()->FindByEmail("a@b.c", fields), nullptr);
    ASSERT_EQ(notifier->boxes.size(), 1u);
    EXPECT_NE(notifier->boxes[0].text.find("XML Parse Error"), std::string::npos);
}

TEST_F(TessaryServices, AnswerWithoutAnyValueIsReportedNotReadAsDefault) {
    transport->Answer("<methodResponse><params/></methodResponse>");
    EXPECT_EQ(api->DataService()->Query("Contact", 1, 0, data, fields), nullptr);
    transport->Answer("<methodResponse><params></params></methodResponse>");
    EXPECT_EQ(api->ContactService()->Add(data), std::nullopt);
    ASSERT_EQ(notifier->boxes.size(), 2u);
    EXPECT_EQ(notifier->boxes[0].title, "Tessary Error");
    EXPECT_NE(notifier->boxes[0].text.find("Error Section: Query\r\n"), std::string::npos)
        << notifier->boxes[0].text;
    EXPECT_NE(notifier->boxes[0].text.find("Error Number: 9\r\n"), std::string::npos);
    EXPECT_NE(notifier->boxes[0].text.find("answer to DataService.query holds no value"),
              std::string::npos);
    EXPECT_NE(notifier->boxes[1].text.find("Error Section: Add\r\n"), std::string::npos);
}

TEST_F(TessaryServices, AnswerOfTheWrongTypeIsReportedNotReadAsDefault) {
    auto ds = api->DataService();
    const auto query = [&] { return Text(ds->Query("Contact", 1, 0, data, fields)); };
    const auto add = [&] { return Text(ds->Add("Contact", data)); };
    const auto del = [&] { return Text(ds->Delete("Contact", 5)); };
    const auto setting = [&] { return Text(ds->GetAppSetting("a", "b")); };
    const struct {
        const char* answer;
        std::function<std::string()> call;
        std::string result;
        std::string report; // empty: a result, no box
    } cases[] = {
        {"<string>Contact</string>", query, "null", "Section: Query\r\nError Source: tessary\r\n"},
        {"<string>Contact</string>", query, "null",
         "Error Number: 13\r\nError Description: Type mismatch: the server's answer to "
         "DataService.query holds a string where an array was expected"},
        {"<struct/>", query, "null", "holds a struct where an array"},
        {"<nil/>", [&] { return Text(ds->Load("Contact", 1, fields)); }, "null",
         "holds no value (nil) where a struct"},
        {"<string>abc</string>", add, "0", "Section: Add"},
        {"<i8>9999999999</i8>", add, "0", "holds a string where an integer"},
        {"<boolean>1</boolean>", add, "0", "holds a boolean where an integer"},
        {"<string>maybe</string>", del, "false", "holds a string where a boolean"},
        {"<array><data/></array>", setting, "''", "holds an array where a text"},
        // Values that read as the type without loss are results.
        {"<string> 42 </string>", add, "42", ""},
        {"<double>7</double>", add, "7", ""},
        {"<i4>1</i4>", del, "true", ""},
        {"<string>false</string>", del, "false", ""},
        {"<i4>5</i4>", setting, "'5'", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        notifier->boxes.clear();
        transport->AnswerParam(c.answer);
        EXPECT_EQ(c.call(), c.result);
        if (c.report.empty()) {
            EXPECT_TRUE(notifier->boxes.empty());
            continue;
        }
        ASSERT_EQ(notifier->boxes.size(), 1u);
        EXPECT_EQ(notifier->boxes[0].title, "Tessary Error");
        EXPECT_NE(notifier->boxes[0].text.find(c.report), std::string::npos)
            << notifier->boxes[0].text;
    }
}

TEST_F(TessaryServices, GetFileWithAnIdThatIsNoNumber) {
    EXPECT_EQ(api->FileService()->GetFile(RpcValue::String("abc")), "");
    EXPECT_TRUE(transport->posted.empty());
    ASSERT_EQ(notifier->boxes.size(), 1u);
    EXPECT_EQ(notifier->boxes[0].title, "Tessary Error");
    EXPECT_NE(notifier->boxes[0].text.find("Error Section: GetFile"), std::string::npos);
    EXPECT_NE(notifier->boxes[0].text.find("Error Number: 13"), std::string::npos);
    transport->AnswerParam("x");
    api->FileService()->GetFile(RpcValue::Double(15.0));
    EXPECT_EQ(LastCall(), "FileService.getFile <- string:KEY | int:15");
    // Numeric text converts like a number; a fraction rounds half to even.
    transport->AnswerParam("x");
    api->FileService()->GetFile(RpcValue::String(" 12.5 "));
    EXPECT_EQ(LastCall(), "FileService.getFile <- string:KEY | int:12");
    transport->AnswerParam("x");
    api->FileService()->GetFile(RpcValue::String("+1.7e1"));
    EXPECT_EQ(LastCall(), "FileService.getFile <- string:KEY | int:17");
    const std::size_t sent = transport->posted.size();
    EXPECT_EQ(api->FileService()->GetFile(RpcValue::String("9999999999")), "");
    EXPECT_EQ(api->FileService()->GetFile(RpcValue::String("12 apples")), "");
    EXPECT_EQ(transport->posted.size(), sent) << "an Id that is no 32-bit number sends nothing";
    EXPECT_EQ(notifier->boxes.size(), 3u);
}

class TessaryFileBox : public TessaryServices {
protected:
    void SetUp() override {
        TessaryServices::SetUp();
        dir = std::filesystem::temp_directory_path() /
              ("tessary-filebox-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir / "sub");
    }
    void TearDown() override {
        std::filesystem::remove_all(dir);
        TessaryServices::TearDown();
    }
    std::string Write(const std::string& relative, const std::string& bytes) {
        const auto path = dir / relative;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }
    std::filesystem::path dir;
};

// A file-box lookup answer: one record per (Id, FileName).
std::string FileBoxAnswer(const std::vector<std::pair<int, std::string>>& files) {
    std::string values;
    for (const auto& [id, name] : files)
        values += "<value><struct><member><name>Id</name><value><i4>" + std::to_string(id) +
                  "</i4></value></member><member><name>FileName</name><value>" + name +
                  "</value></member></struct></value>";
    return "<array><data>" + values + "</data></array>";
}

TEST_F(TessaryFileBox, UploadsNewThenReplaces) {
    const std::string path = Write("sub/Quote 12.dtf", "ABC");
    transport->AnswerParam("<array><data/></array>");
    transport->AnswerParam("<i4>15</i4>");
    EXPECT_TRUE(api->FileService()->UpdateFileInFileBox(41, path));
    ASSERT_EQ(transport->posted.size(), 2u);
    EXPECT_EQ(Signature(ReadCall(transport->posted[0].body)),
              "string:KEY | string:FileBox | int:1000 | int:0 | struct:FileName,ContactId | "
              "array:Id,FileName");
    EXPECT_EQ(LastCall(), "FileService.uploadFile <- string:KEY | int:41 | string:Quote 12.dtf | "
                          "string:QUJD");

    transport->AnswerParam(FileBoxAnswer({{15, "Quote 12.dtf"}}));
    transport->AnswerParam("<boolean>1</boolean>");
    EXPECT_TRUE(api->FileService()->UpdateFileInFileBox(41, path));
    EXPECT_EQ(LastCall(), "FileService.replaceFile <- string:KEY | int:15 | string:QUJD");
    EXPECT_TRUE(notifier->boxes.empty());
}

TEST_F(TessaryFileBox, OnlyAFileOfTheSameNameIsReplaced) {
    // The lookup is a pattern match: "Q%1.dtf" also finds another quote's "Q11.dtf".
    const std::string pattern = Write("Q%1.dtf", "ABC");
    const std::string latin1 = Write("M\xFCller.dtf", "ABC"); // the host's Latin-1 name
    std::vector<std::pair<int, std::string>> fullPage;
    for (int i = 0; i < 1000; ++i)
        fullPage.push_back({100 + i, "Q1" + std::to_string(i) + ".dtf"});
    struct {
        std::string path;
        std::vector<std::string> answers;
        const char* last;
    } cases[] = {
        {pattern, {FileBoxAnswer({{11, "Q11.dtf"}})}, "uploadFile"},
        {pattern,
         {FileBoxAnswer({{11, "Q11.dtf"}, {12, "q%1.DTF"}})},
         "replaceFile <- string:KEY | int:12"},
        {pattern,
         {FileBoxAnswer(fullPage), FileBoxAnswer({{13, "Q%1.dtf"}})},
         "replaceFile <- string:KEY | int:13"},
        {latin1,
         {FileBoxAnswer({{14, "m\xC3\xBCller.dtf"}})},
         "replaceFile <- string:KEY | int:14"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.last);
        transport->posted.clear();
        for (const auto& answer : c.answers)
            transport->AnswerParam(answer);
        transport->AnswerParam("<i4>1</i4>");
        EXPECT_TRUE(api->FileService()->UpdateFileInFileBox(41, c.path));
        ASSERT_EQ(transport->posted.size(), c.answers.size() + 1);
        EXPECT_EQ(LastCall().rfind(std::string("FileService.") + c.last, 0), 0u) << LastCall();
        if (c.answers.size() == 2) {
            EXPECT_EQ(ReadCall(transport->posted[1].body).params[3].text, "1") << "second page";
        }
    }
    EXPECT_TRUE(notifier->boxes.empty());
}

TEST_F(TessaryFileBox, NameIsCutAtEitherSeparator) {
    const std::string path = Write("sub/x.pdf", "");
    // A path mixing both separators: "\" inside a Linux file name is an ordinary byte.
    const std::string odd = Write("a\\b.pdf", "1");
    transport->AnswerParam("<array><data/></array>");
    transport->AnswerParam("<i4>1</i4>");
    transport->AnswerParam("<array><data/></array>");
    transport->AnswerParam("<i4>2</i4>");
    EXPECT_TRUE(api->FileService()->UpdateFileInFileBox(0, path));
    EXPECT_EQ(LastCall(), "FileService.uploadFile <- string:KEY | string:x.pdf | string:")
        << "an empty file goes up with empty data, and contact 0 is not sent";
    EXPECT_TRUE(api->FileService()->UpdateFileInFileBox(3, odd));
    EXPECT_EQ(LastCall(), "FileService.uploadFile <- string:KEY | int:3 | string:b.pdf | "
                          "string:MQ==");
}

TEST_F(TessaryFileBox, NothingIsSentForAMissingOrHiddenFileOrADirectory) {
    Write(".hidden.dtf", "x");
    auto fs = api->FileService();
    EXPECT_FALSE(fs->UpdateFileInFileBox(41, (dir / "missing.dtf").string()));
    EXPECT_FALSE(fs->UpdateFileInFileBox(41, (dir / ".hidden.dtf").string()));
    EXPECT_FALSE(fs->UpdateFileInFileBox(41, (dir / "sub").string()));
    EXPECT_FALSE(fs->UpdateFileInFileBox(41, (dir / "*.dtf").string()));
    EXPECT_TRUE(transport->posted.empty());
    EXPECT_TRUE(notifier->boxes.empty());
}

TEST_F(TessaryFileBox, FailedLookupUploadsNothing) {
    const std::string path = Write("q.dtf", "ABC");
    const struct {
        std::function<void()> answer;
        const char* box;
    } cases[] = {
        {[&] { transport->AnswerFault(1, "[DatabaseError]down"); }, "XML RPC Error"},
        {[&] { transport->Answer("<html/>", 500); }, "XML RPC Error"},
        {[&] { transport->Answer("Service unavailable"); }, "XML RPC Error"},
        {[&] { transport->Fail("connection dropped"); }, "Tessary Error"},
        {[&] { transport->AnswerParam("<string>x</string>"); }, "Tessary Error"},
        {[&] { transport->AnswerParam("<array><data><value>x</value></data></array>"); },
         "Tessary Error"},
    };
    for (const auto& c : cases) {
        transport->posted.clear();
        notifier->boxes.clear();
        c.answer();
        EXPECT_FALSE(api->FileService()->UpdateFileInFileBox(41, path));
        EXPECT_EQ(transport->posted.size(), 1u) << "only the lookup was sent";
        ASSERT_EQ(notifier->boxes.size(), 1u);
        EXPECT_EQ(notifier->boxes[0].title, c.box);
    }
    EXPECT_NE(notifier->boxes[0].text.find("Error Section: UpdateFileInFileBox"),
              std::string::npos);
}

TEST_F(TessaryFileBox, FailedUploadOrReplacementIsNotStored) {
    const std::string path = Write("q.dtf", "ABC");
    const struct {
        std::string lookup;
        std::function<void()> store;
        bool uncertain;
    } cases[] = {
        {"<array><data/></array>", [&] { transport->AnswerFault(1, "[DatabaseError]down"); },
         false},
        {"<array><data/></array>", [&] { transport->Fail("cut off", true); }, true},
        {FileBoxAnswer({{15, "q.dtf"}}), [&] { transport->Answer("<html/>", 500); }, true},
        {FileBoxAnswer({{15, "q.dtf"}}), [&] { transport->AnswerParam("<boolean>0</boolean>"); },
         false},
    };
    for (const auto& c : cases) {
        transport->AnswerParam(c.lookup);
        c.store();
        EXPECT_FALSE(api->FileService()->UpdateFileInFileBox(41, path)) << c.lookup;
        EXPECT_EQ(api->LastCallFailure().mayHaveBeenCarriedOut, c.uncertain) << c.lookup;
    }
    EXPECT_EQ(api->LastCallFailure().what, CallFailure::What::None)
        << "the server said no: no failure of the call";
    transport->posted.clear();
    EXPECT_FALSE(api->FileService()->UpdateFileInFileBox(41, path + ".missing"));
    EXPECT_EQ(api->LastCallFailure().what, CallFailure::What::Library);
    EXPECT_TRUE(transport->posted.empty());
}

TEST_F(TessaryFileBox, LargeFileTravelsIntact) {
    std::string bytes(3 * 1024 * 1024 + 1, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 131 % 251);
    const std::string path = Write("big.bin", bytes);
    transport->AnswerParam("<array><data/></array>");
    transport->AnswerParam("<i4>1</i4>");
    EXPECT_TRUE(api->FileService()->UpdateFileInFileBox(41, path));
    const auto call = ReadCall(transport->posted.back().body);
    ASSERT_EQ(call.params.size(), 4u);
    EXPECT_EQ(DecodeBase64(call.params[3].text), bytes);
    EXPECT_EQ(api->XMLRPC_Request()->Params().Item(4).StringValue(),
              "(" + std::to_string(EncodeBase64(bytes).size()) + " characters sent, not kept)")
        << "the connection keeps no copy of the file";
}

TEST_F(TessaryServices, OtherServiceAndHelpers) {
    EXPECT_EQ(api->OtherService()->InfuDate(39997.0 + (14 * 3600 + 5 * 60 + 9) / 86400.0),
              "20090703T14:05:09");
    auto h = api->Helpers();
    EXPECT_EQ(h->MySQLDate(39997.0 + (14 * 3600 + 5 * 60 + 9) / 86400.0), "2009-07-03 14:05:09");
    EXPECT_EQ(h->MD5Encrypt("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(h->DecodeBase64(h->EncodeBase64(std::string(49, 'x'))), std::string(49, 'x'));
    EXPECT_EQ(h->SafeXMLStringDataValue("a<b>c & \"d\""), "a%b%c & \"d\"");

    RpcStruct rec;
    rec.AddString("Name", "Ann");
    rec.AddString("Id", "42");
    rec.AddValue("Created", RpcValue::DateTimeIso("20090706T12:00:00"));
    EXPECT_EQ(h->SafeStringValue(rec, "Name"), "Ann");
    EXPECT_EQ(h->SafeIntegerValue(rec, "Id"), 42);
    EXPECT_DOUBLE_EQ(h->SafeDateTimeValue(rec, "Created"), 40000.5);
    EXPECT_EQ(h->SafeStringValue(rec, "Missing"), "");
    EXPECT_EQ(h->SafeIntegerValue(rec, "Missing"), 0);
    EXPECT_DOUBLE_EQ(h->SafeDateTimeValue(rec, "Missing"), 0.0);
    EXPECT_TRUE(notifier->boxes.empty());

    EXPECT_EQ(h->SafeIntegerValue(std::shared_ptr<RpcStruct>(), "Id"), 0);
    ASSERT_EQ(notifier->boxes.size(), 1u);
    EXPECT_NE(notifier->boxes[0].text.find("Error Section: SafeIntegerValue"), std::string::npos);
}

} // namespace
