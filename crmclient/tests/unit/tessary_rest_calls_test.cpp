// The REST v2 translation of every call the program and the library make, per
// resource: the requests sent (method, path, decoded query, body or form parts)
// and the XML-RPC-shaped answer handed back.

#include "tessary/tessary.h"
#include "tessary_test_support.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using namespace tessary;
using test::Show;

struct Call {
    const char* what;
    std::vector<std::string> answers;  // JSON bodies; "404 {...}" for another status
    std::function<std::string()> call; // the operation, its result shown in one line
    std::vector<std::string> sent;     // the requests expected
    std::string result;
};

class TessaryRest : public test::RestConnectionFixture {
protected:
    void Run(const std::vector<Call>& calls) {
        for (const Call& c : calls) {
            SCOPED_TRACE(c.what);
            transport->replies.clear();
            transport->AnswerJsons(c.answers);
            EXPECT_EQ(c.call(), c.result);
            EXPECT_EQ(Sent(), c.sent);
            EXPECT_TRUE(transport->replies.empty()) << "answers left unread";
        }
    }

    static RpcArray Fields(std::initializer_list<const char*> names) {
        RpcArray a;
        for (const char* n : names)
            a.AddString(n);
        return a;
    }
    static RpcStruct Values(std::initializer_list<std::pair<const char*, RpcValue>> members) {
        RpcStruct s;
        for (const auto& [name, value] : members)
            s.AddValue(name, value);
        return s;
    }
    static RpcValue S(const char* text) { return RpcValue::String(text); }
    static RpcValue I(std::int32_t n) { return RpcValue::Integer(n); }

    std::string Query(const char* table, std::int32_t limit, const RpcStruct& query,
                      const RpcArray& fields, std::int32_t page = 0) {
        const auto found = api->DataService()->Query(table, limit, page, query, fields);
        return found ? Show(RpcValue::Array(found)) : "null";
    }
    // The texts joined, made in the order given (a braced list is evaluated in order).
    static std::string InOrder(std::initializer_list<std::string> texts) {
        std::string out;
        for (const std::string& text : texts)
            out += (out.empty() ? "" : ",") + text;
        return out;
    }
    static std::string Text(bool flag) { return flag ? "1" : "0"; }
    std::vector<std::string> BoxTexts() {
        std::vector<std::string> texts;
        for (const auto& box : notifier->boxes)
            texts.push_back(box.text);
        notifier->boxes.clear();
        return texts;
    }
};

const char* kAnn = R"({"id":"51","given_name":"Ann","family_name":"Lee","prefix":"Dr",
    "company":{"id":"7","company_name":"Acme Ltd"},
    "email_addresses":[{"email":"ann@x.test","field":"EMAIL1"}],
    "phone_numbers":[{"number":"555-1","extension":"12","field":"PHONE1"}],
    "fax_numbers":[{"number":"555-2","field":"FAX1"}],
    "addresses":[{"field":"SHIPPING","line1":"elsewhere"},{"field":"BILLING","line1":"1 Main St",
        "locality":"Phoenix","region_code":"US-AZ","postal_code":"85001","country_code":"USA"}],
    "create_time":"2024-01-10T08:00:00Z"})";

TEST_F(TessaryRest, Contacts) {
    auto ds = api->DataService();
    auto cs = api->ContactService();
    const RpcArray five = Fields({"Id", "FirstName", "LastName", "Email", "Phone1"});
    const std::string fiveFields = "fields=id,given_name,family_name,email_addresses,phone_numbers";
    Run({
        {"C2: by Id",
         {kAnn},
         [&] {
             return Query("Contact", 1, Values({{"Id", I(51)}}), five);
         },
         {"GET /contacts/51?" + fiveFields},
         "[{Id:51,FirstName:Ann,LastName:Lee,Email:ann@x.test,Phone1:555-1}]"},
        {"by Id, none",
         {R"(404 {"code":404,"message":"no such contact","status":"NOT_FOUND"})"},
         [&] {
             return Query("Contact", 1, Values({{"Id", I(52)}}), five);
         },
         {"GET /contacts/52?" + fiveFields},
         "[]"},
        {"C17: by Id as text, every field the quote takes; the country's name looked up",
         {kAnn, R"({"codes":{"alpha2":"US","alpha3":"USA"},"name":"United States"})"},
         [&] {
             return Query("Contact", 1, Values({{"Id", S("51")}}),
                          Fields({"Company", "Id", "Title", "StreetAddress1", "City", "State",
                                  "PostalCode", "Country", "Phone1Ext", "Fax1", "DateCreated"}));
         },
         {"GET /contacts/51?fields=id,company,prefix,addresses,phone_numbers,fax_numbers,"
          "create_time",
          "GET /locales/countries/USA"},
         "[{Company:Acme Ltd,Id:51,Title:Dr,StreetAddress1:1 Main St,City:Phoenix,State:AZ,"
         "PostalCode:85001,Country:United States,Phone1Ext:12,Fax1:555-2,"
         "DateCreated:20240110T08:00:00}]"},
        {"C3: by e-mail",
         {R"({"contacts":[)" + std::string(kAnn) + "]}"},
         [&] {
             return Query("Contact", 100, Values({{"Email", S("ann@x.test")}}), five);
         },
         {"GET /contacts?filter=email==ann@x.test&order_by=id&" + fiveFields + "&page_size=100"},
         "[{Id:51,FirstName:Ann,LastName:Lee,Email:ann@x.test,Phone1:555-1}]"},
        {"C4, C16: names exact and by prefix",
         {R"({"contacts":[]})", R"({"contacts":[]})"},
         [&] {
             return InOrder(
                 {Query("Contact", 100, Values({{"FirstName", S("Ann")}, {"LastName", S("Lee")}}),
                        Fields({"Id"})),
                  Query("Contact", 1000, Values({{"FirstName", S("An%")}, {"LastName", S("Le%")}}),
                        Fields({"Id"}))});
         },
         {"GET "
          "/contacts?filter=given_name==Ann;family_name==Lee&order_by=id&fields=id&page_size=100",
          "GET "
          "/contacts?filter=given_name==An*;family_name==Le*&order_by=id&fields=id&page_size=1000"},
         "[],[]"},
        {"C16: everyone",
         {R"({"contacts":[{"id":"3"},{"id":4}],"next_page_token":""})"},
         [&] {
             return Query("Contact", 1000, Values({{"Id", S("%")}}), Fields({"Id"}));
         },
         {"GET /contacts?order_by=id&fields=id&page_size=1000"},
         "[{Id:3},{Id:4}]"},
        {"a value the filter cannot carry is matched on our side",
         {R"({"contacts":[{"id":"3","family_name":"O;Brien-Smith"},{"id":"4","family_name":"O;Neil"},
             {"id":"5","given_name":"x*y","family_name":"o;brien"}]})"},
         [&] {
             return Query("Contact", 1,
                          Values({{"LastName", S("O;Brien%")}, {"FirstName", S("%")}}),
                          Fields({"Id"}), 1);
         },
         {"GET /contacts?order_by=id&fields=id,family_name&page_size=1000"},
         "[{Id:5}]"},
        {"C16: by company, two steps, each contact once, in Id order",
         {R"({"companies":[{"id":"7","company_name":"Acme Ltd"},{"id":"9","company_name":"ACME Two"}]})",
          R"({"contacts":[{"id":"12","company":{"id":"7","company_name":"Acme Ltd"}}]})",
          R"({"contacts":[{"id":"3","company":{"id":"9","company_name":"ACME Two"}},
                          {"id":"12","company":{"id":"7","company_name":"Acme Ltd"}}]})"},
         [&] {
             return Query("Contact", 1000, Values({{"Company", S("Acme%")}}),
                          Fields({"Id", "Company"}));
         },
         {"GET /companies?filter=name==Acme*&page_size=1000",
          "GET /contacts?filter=company_id==7&order_by=id&fields=id,company&page_size=1000",
          "GET /contacts?filter=company_id==9&order_by=id&fields=id,company&page_size=1000"},
         "[{Id:3,Company:ACME Two},{Id:12,Company:Acme Ltd}]"},
        {"load",
         {kAnn},
         [&] {
             return Show(
                 RpcValue::Struct(ds->Load("Contact", 51, Fields({"FirstName", "EmailAddress2"}))));
         },
         {"GET /contacts/51?fields=id,given_name,email_addresses"},
         "{FirstName:Ann}"},
        {"findByEmail: any slot, ignoring case",
         {R"({"contacts":[{"id":"5","email_addresses":[{"email":"ANN@x.test","field":"EMAIL2"}]},
                          {"id":"6","email_addresses":[{"email":"other@x.test","field":"EMAIL1"}]}]})"},
         [&] { return Show(RpcValue::Array(cs->FindByEmail("ann@x.test", Fields({"Id"})))); },
         {"GET "
          "/contacts?filter=email==ann@x.test&order_by=id&fields=id,email_addresses&page_size="
          "1000"},
         "[{Id:5}]"},
        {"C9: a new contact; its company found or made, country and region as ISO codes",
         {R"({"companies":[{"id":"8","company_name":"Acme Holdings"}]})", R"({"id":"77"})",
          R"({"codes":{"alpha2":"US","alpha3":"USA"},"name":"United States"})",
          R"({"code":"US-AZ"})", R"({"id":"101"})"},
         [&] {
             return std::to_string(*cs->Add(Values({
                 {"Email", S("ann@x.test")},
                 {"Title", S("Dr")},
                 {"FirstName", S("Ann")},
                 {"MiddleName", S("")},
                 {"LastName", S("Lee")},
                 {"Company", S("Acme")},
                 {"StreetAddress1", S("1 Main St")},
                 {"StreetAddress2", S("")},
                 {"City", S("Phoenix")},
                 {"State", S("Arizona")},
                 {"PostalCode", S("85001")},
                 {"Country", S("United States")},
                 {"Phone1", S("555-1")},
                 {"Phone1Ext", S("12")},
                 {"Fax1", S("555-2")},
             })));
         },
         {"GET /companies?filter=company_name==Acme&page_size=1000",
          R"(POST /companies {"company_name":"Acme"})", "GET /locales/countries/United States",
          "GET /locales/countries/USA/provinces/Arizona",
          R"(POST /contacts {"addresses":[{"country_code":"USA","field":"BILLING","line1":"1 Main St",)"
          R"("locality":"Phoenix","postal_code":"85001","region_code":"US-AZ"}],"company":{"id":"77"},)"
          R"("email_addresses":[{"email":"ann@x.test","field":"EMAIL1"}],"family_name":"Lee",)"
          R"("fax_numbers":[{"field":"FAX1","number":"555-2"}],"given_name":"Ann",)"
          R"("phone_numbers":[{"extension":"12","field":"PHONE1","number":"555-1"}],"prefix":"Dr"})"},
         "101"},
        {"a country the CRM does not know leaves the address out (the look-up is kept)",
         {R"(404 {"code":404,"message":"unknown","status":"NOT_FOUND"})", R"({"id":"102"})",
          R"({"id":"103"})"},
         [&] {
             const RpcStruct v =
                 Values({{"Email", S("b@x.test")}, {"City", S("X")}, {"Country", S("Atlantis")}});
             return InOrder({std::to_string(*cs->Add(v)), std::to_string(ds->Add("Contact", v))});
         },
         {"GET /locales/countries/Atlantis",
          R"(POST /contacts {"email_addresses":[{"email":"b@x.test","field":"EMAIL1"}]})",
          R"(POST /contacts {"email_addresses":[{"email":"b@x.test","field":"EMAIL1"}]})"},
         "102,103"},
        {"update: the arrays read first, the changed slot merged",
         {R"({"id":"51","email_addresses":[{"email":"a@x.test","field":"EMAIL1","is_opt_in":true}],
             "phone_numbers":[{"number":"1","field":"PHONE1","number_e164":"+11"},{"number":"2","field":"PHONE2"}]})",
          R"({"id":"51"})"},
         [&] {
             return std::to_string(
                 *cs->Update(51, Values({{"LastName", S("Changed")}, {"Phone1", S("999")}})));
         },
         {"GET /contacts/51?fields=email_addresses,phone_numbers,fax_numbers,addresses",
          R"(PATCH /contacts/51?update_mask=family_name&update_mask=phone_numbers {"family_name":"Changed",)"
          R"("phone_numbers":[{"field":"PHONE1","number":"999"},{"field":"PHONE2","number":"2"}]})"},
         "51"},
        {"delete, then a missing one quietly",
         {"", R"(404 {"code":404,"message":"gone","status":"NOT_FOUND"})"},
         [&] {
             return InOrder({Text(ds->Delete("Contact", 51)), Text(ds->Delete("Contact", 51))});
         },
         {"DELETE /contacts/51", "DELETE /contacts/51"},
         "1,0"},
        {"tags",
         {"", ""},
         [&] {
             return InOrder({Text(cs->AddToGroup(51, 9)), Text(cs->RemoveFromGroup(51, 9))});
         },
         {R"(POST /tags/9/contacts:applyTags {"contact_ids":["51"]})",
          R"(POST /tags/9/contacts:removeTags {"contact_ids":["51"]})"},
         "1,1"},
    });
    ASSERT_EQ(notifier->debugLines.size(), 2u) << "said for each contact";
    EXPECT_EQ(notifier->debugLines[0], "tessary REST v2: the country 'Atlantis' is not known to "
                                       "the CRM; the address was left out");
    EXPECT_TRUE(notifier->boxes.empty()) << notifier->boxes[0].text;

    transport->AnswerJson(R"({"code":404,"message":"no such contact","status":"NOT_FOUND"})", 404);
    EXPECT_EQ(cs->Load(52, Fields({"Id"})), nullptr);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{
                              "Method Called:\tContactService.load\r\nStatus Returned:\tFault "
                              "Returned\r\nFault Code: \t404\r\nFault String: \t[RecordNotFound]"
                              "Record not found: Contact with Id 52"});
    EXPECT_EQ(cs->Add(Values({{"Nickname", S("x")}})), 0);
    EXPECT_NE(BoxTexts()[0].find("[NoFieldFound]No field found: Contact.Nickname"),
              std::string::npos);
    EXPECT_TRUE(Sent().size() == 1) << "only the load went out";
}

TEST_F(TessaryRest, OpportunitiesAndStages) {
    auto ds = api->DataService();
    const RpcStruct lead = Values({{"ContactID", I(51)},
                                   {"ProjectedRevenueHigh", RpcValue::Double(10.5)},
                                   {"ProjectedRevenueLow", RpcValue::Double(2)},
                                   {"OpportunityTitle", S("Quote 7")}});
    const std::string posted =
        R"(POST /opportunities {"contact_id":"51","opportunity_title":"Quote 7",)"
        R"("projected_revenue_high":10.5,"projected_revenue_low":2.0,"stage_id":"3"})";
    Run({
        {"C5: the contact's opportunities, in Id order",
         {R"({"opportunities":[
             {"id":"9","opportunity_title":"B","stage":{"id":"3","name":"Won"},
              "created_time":"2024-03-15T10:30:00.000+0000","last_updated_time":"2024-03-15T11:30:00+01:00"},
             {"id":"4","opportunity_title":"A","contact":{"id":"51"}}]})"},
         [&] {
             return Query("Lead", 1000, Values({{"ContactID", I(51)}}),
                          Fields({"Id", "OpportunityTitle", "DateCreated", "LastUpdated", "StageID",
                                  "ContactID"}));
         },
         {"GET /opportunities?filter=contact_id==51&page_size=1000"},
         "[{Id:4,OpportunityTitle:A,ContactID:51},{Id:9,OpportunityTitle:B,DateCreated:20240315T10:"
         "30:00,"
         "LastUpdated:20240315T10:30:00,StageID:3}]"},
        {"C12: the default stage named by the application, read once",
         {R"({"opportunity":{"default_stage":"Won"}})",
          R"({"stages":[{"id":"1","name":"New","order":1},{"id":"3","name":"Won","order":5}]})",
          R"({"id":"88"})", R"({"id":"89"})"},
         [&] {
             return InOrder(
                 {std::to_string(ds->Add("Lead", lead)), std::to_string(ds->Add("Lead", lead))});
         },
         {"GET /settings/applications:getConfiguration", "GET /opportunities/stages?page_size=1000",
          posted, posted},
         "88,89"},
        {"C13: update names what it sends",
         {R"({"id":"88"})"},
         [&] {
             return std::to_string(*ds->Update(
                 "Lead", 88, Values({{"ContactID", I(51)}, {"OpportunityNotes", S("n")}})));
         },
         {R"(PATCH /opportunities/88?update_mask=contact_id&update_mask=opportunity_notes )"
          R"({"contact_id":"51","opportunity_notes":"n"})"},
         "88"},
        {"C6: stages",
         {R"({"stages":[{"id":"1","name":"New","order":1,"target_number_days":3}],"next_page_token":""})"},
         [&] {
             return Query("Stage", 1000, Values({{"Id", S("%")}}),
                          Fields({"Id", "StageName", "TargetNumDays"}));
         },
         {"GET /opportunities/stages?page_size=1000"},
         "[{Id:1,StageName:New,TargetNumDays:3}]"},
        {"by Id; load; delete",
         {R"({"id":"88","opportunity_title":"Q"})", R"({"id":"88","opportunity_notes":"n"})", ""},
         [&] {
             return InOrder(
                 {Query("Lead", 1, Values({{"Id", I(88)}}), Fields({"OpportunityTitle"})),
                  Show(RpcValue::Struct(ds->Load("Lead", 88, Fields({"OpportunityNotes"})))),
                  Text(ds->Delete("Lead", 88))});
         },
         {"GET /opportunities/88", "GET /opportunities/88", "DELETE /opportunities/88"},
         "[{OpportunityTitle:Q}],{OpportunityNotes:n},1"},
    });

    // Without a configured default the first stage by order; a new connection reads anew.
    api = clsInfusionsoftAPI::Create();
    api->SetupConnection("demo", "KEY");
    ConnectionInternals::SetTransport(*api, transport);
    api->SetCrmInterface(CrmInterface::RestV2);
    api->SetRestBaseUrl(test::kRestBase);
    Run({{"first stage by order",
          {R"(404 {"code":404,"message":"none","status":"NOT_FOUND"})",
           R"({"stages":[{"id":"5","name":"Late","order":9},{"id":"2","name":"Early","order":0}]})",
           R"({"id":"90"})"},
          [&] { return std::to_string(api->DataService()->Add("Lead", lead)); },
          {"GET /settings/applications:getConfiguration",
           "GET /opportunities/stages?page_size=1000",
           R"(POST /opportunities {"contact_id":"51","opportunity_title":"Quote 7",)"
           R"("projected_revenue_high":10.5,"projected_revenue_low":2.0,"stage_id":"2"})"},
          "90"}});
    EXPECT_TRUE(notifier->boxes.empty());
}

TEST_F(TessaryRest, Notes) {
    auto ds = api->DataService();
    const RpcArray fields = Fields({"Id", "ActionDescription"});
    Run({
        {"C14: the title matched anywhere by the server",
         {R"({"notes":[{"id":"300","title":"Quote 7 for Ann","contact_id":"51"}]})"},
         [&] {
             return Query("ContactAction", 1000,
                          Values({{"ContactId", I(51)}, {"ActionDescription", S("%Quote 7%")}}),
                          fields);
         },
         {"GET /contacts/51/notes?filter=title==Quote 7&page_size=1000"},
         "[{Id:300,ActionDescription:Quote 7 for Ann}]"},
        {"C14: a title the filter cannot carry is matched on our side",
         {R"({"notes":[{"id":"1","title":"Q;7 x"},{"id":"2","title":"other"}]})"},
         [&] {
             return Query("ContactAction", 1000,
                          Values({{"ContactId", I(51)}, {"ActionDescription", S("%q;7%")}}),
                          fields);
         },
         {"GET /contacts/51/notes?page_size=1000"},
         "[{Id:1,ActionDescription:Q;7 x}]"},
        {"an exact title: the server's wider match narrowed here",
         {R"({"notes":[{"id":"1","title":"Quote 7"},{"id":"2","title":"Quote 7 old"}]})"},
         [&] {
             return Query("ContactAction", 10,
                          Values({{"ContactId", I(51)}, {"ActionDescription", S("quote 7")}}),
                          fields);
         },
         {"GET /contacts/51/notes?filter=title==quote 7&page_size=1000"},
         "[{Id:1,ActionDescription:Quote 7}]"},
        {"no contact 0 (nothing sent, where a filter would be refused) and none missing",
         {"404 {\"code\":404,\"message\":\"Contact 77 not found\"}"},
         [&] {
             return Query("ContactAction", 10, Values({{"ContactId", I(0)}}), fields) +
                    Query("Lead", 10, Values({{"ContactID", S("0")}}), Fields({"Id"})) +
                    Query("ContactAction", 10, Values({{"ContactId", I(77)}}), fields);
         },
         {"GET /contacts/77/notes?page_size=10"},
         "[][][]"},
        {"C15: written as the key's own user, kept; the dates left out",
         {R"({"sub":"abc","id":"12"})", R"({"id":"300"})", R"({"id":"301"})"},
         [&] {
             const RpcStruct note = Values({{"ContactId", I(51)},
                                            {"ActionDescription", S("Quote 7")},
                                            {"CreationNotes", S("text")},
                                            {"ActionDate", RpcValue::Date(45000)},
                                            {"CompletionDate", RpcValue::Date(45000)}});
             return InOrder({std::to_string(ds->Add("ContactAction", note)),
                             std::to_string(ds->Add("ContactAction", note))});
         },
         {"GET /oauth/connect/userinfo",
          R"(POST /contacts/51/notes {"text":"text","title":"Quote 7","user_id":"12"})",
          R"(POST /contacts/51/notes {"text":"text","title":"Quote 7","user_id":"12"})"},
         "300,301"},
        {"delete through the note's contact",
         {R"({"notes":[{"id":"300","contact_id":"51"}]})", "", R"({"notes":[]})"},
         [&] {
             return InOrder(
                 {Text(ds->Delete("ContactAction", 300)), Text(ds->Delete("ContactAction", 300))});
         },
         {"GET /notes?filter=id==300&page_size=1", "DELETE /contacts/51/notes/300",
          "GET /notes?filter=id==300&page_size=1"},
         "1,0"},
    });
    EXPECT_EQ(notifier->debugLines.size(), 4u) << "two dates left out of each note";
    EXPECT_TRUE(notifier->boxes.empty());
}

TEST_F(TessaryRest, Files) {
    auto fs = api->FileService();
    const auto dir =
        std::filesystem::temp_directory_path() / ("tessary-rest-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "Q%1.dtf").string();
    std::ofstream(path, std::ios::binary) << std::string("raw\0bytes", 9);
    const std::string stored = std::string("file<Q%1.dtf>:raw\0bytes", 23);
    Run({
        {"C10a: the contact's files, the name matched on our side",
         {R"({"files":[{"id":"1","file_name":"Q11.dtf","is_public":false,"file_size":3},
                       {"id":"2","file_name":"Q%1.dtf"},{"id":"3","file_name":"other.pdf"}]})"},
         [&] {
             return Query("FileBox", 1000,
                          Values({{"FileName", S("Q%1.dtf")}, {"ContactId", I(51)}}),
                          Fields({"Id", "FileName", "Extension", "Public", "FileSize"}));
         },
         {"GET /files?filter=contact_id==51&page_size=1000"},
         "[{Id:1,FileName:Q11.dtf,Extension:dtf,Public:0,FileSize:3},{Id:2,FileName:Q%1.dtf,"
         "Extension:dtf}]"},
        {"C10a-c: UpdateFileInFileBox streams the file in place of the one of that name, or as new",
         {R"({"files":[{"id":"1","file_name":"Q11.dtf"},{"id":"2","file_name":"q%1.DTF"}]})",
          R"({"id":"2"})", R"({"files":[{"id":"1","file_name":"Q11.dtf"}]})", R"({"id":"4"})"},
         [&] {
             return InOrder({Text(fs->UpdateFileInFileBox(51, path)),
                             Text(fs->UpdateFileInFileBox(51, path))});
         },
         {"GET /files?filter=contact_id==51&page_size=1000",
          "POST /files/2?update_mask=file [" + stored + "]",
          "GET /files?filter=contact_id==51&page_size=1000",
          "POST /files [" + stored +
              "|file_name=Q%1.dtf|file_association=CONTACT|contact_id=51|is_public=false]"},
         "1,1"},
        {"uploadFile, replaceFile, renameFile",
         {R"({"id":"15"})", R"({"id":"15"})", R"({"id":"15"})"},
         [&] {
             return InOrder({std::to_string(fs->UploadFile("q.dtf", "QUJD", 51)),
                             Text(fs->ReplaceFile(15, "QUJD")),
                             Text(fs->RenameFile(15, "new.pdf"))});
         },
         {"POST /files "
          "[file<q.dtf>:ABC|file_name=q.dtf|file_association=CONTACT|contact_id=51|is_public="
          "false]",
          "POST /files/15?update_mask=file [file<file>:ABC]",
          "POST /files/15?update_mask=file_name [file_name=new.pdf]"},
         "15,1,1"},
        {"getFile as base64 text from a JSON string",
         {R"("SGVsbG8=")"},
         [&] { return fs->GetFile(RpcValue::Integer(15)); },
         {"GET /files/15:data"},
         "SGVsbG8="},
    });
    transport->AnswerRaw("Hello", "application/octet-stream");
    EXPECT_EQ(fs->GetFile(RpcValue::Integer(15)), "SGVsbG8=") << "raw bytes encoded here";
    EXPECT_EQ(Sent(), std::vector<std::string>{"GET /files/15:data"});
    EXPECT_TRUE(notifier->boxes.empty());

    // A failed look-up stores nothing.
    transport->AnswerJson(R"({"code":500,"message":"down","status":"INTERNAL"})", 500);
    EXPECT_FALSE(fs->UpdateFileInFileBox(51, path));
    EXPECT_EQ(Sent(), std::vector<std::string>{"GET /files?filter=contact_id==51&page_size=1000"});
    EXPECT_EQ(BoxTexts().size(), 1u);
    EXPECT_EQ(fs->GetDownloadUrl(15), "");
    EXPECT_TRUE(Sent().empty());
    EXPECT_NE(BoxTexts()[0].find("FileService.getDownloadUrl is not available on the REST v2 "
                                 "interface"),
              std::string::npos);
    std::filesystem::remove_all(dir);
}

TEST_F(TessaryRest, SequencesUsersAndTheConnectionTest) {
    auto cs = api->ContactService();
    const char* campaigns = R"({"campaigns":[{"id":"5","name":"Welcome","published_status":true},
                                             {"id":"6","name":"Draft","published_status":false}]})";
    const char* sequences =
        R"({"sequences":[{"id":"21","name":"Quote sent"},{"id":"20","name":"Start"}]})";
    Run({
        {"C7: the published campaigns' sequences as action sets",
         {campaigns, sequences},
         [&] {
             return Query("ActionSequence", 1000, Values({{"Id", S("%")}}),
                          Fields({"Id", "TemplateName"}));
         },
         {"GET /campaigns?page_size=1000", "GET /campaigns/5/sequences"},
         "[{Id:20,TemplateName:Welcome - Start},{Id:21,TemplateName:Welcome - Quote sent}]"},
        {"C11: run one; the sequence's campaign was kept",
         {R"({"add_to_sequence_results":{"51":"ALREADY_IN_SEQUENCE"}})"},
         [&] { return Show(RpcValue::Array(cs->RunActionSequence(51, 21))); },
         {R"(POST /campaigns/5/sequences/21:addContacts {"contact_ids":["51"]})"},
         "[{Action:Add to campaign sequence,Message:ALREADY_IN_SEQUENCE,IsError:0}]"},
        {"a sequence not kept is looked up by listing again",
         {campaigns, R"({"sequences":[{"id":"22","name":"New"}]})",
          R"({"add_to_sequence_results":{"51":"CONTACT_DOES_NOT_EXIST"}})"},
         [&] { return Show(RpcValue::Array(cs->RunActionSequence(51, 22))); },
         {"GET /campaigns?page_size=1000", "GET /campaigns/5/sequences",
          R"(POST /campaigns/5/sequences/22:addContacts {"contact_ids":["51"]})"},
         "[{Action:Add to campaign sequence,Message:CONTACT_DOES_NOT_EXIST,IsError:1}]"},
        {"users, in pages of at most 100",
         {R"({"users":[{"id":"12","given_name":"Ann","email_addresses":[{"email":"a@x.test","field":"EMAIL1"}]}]})"},
         [&] {
             return Query("User", 1000, Values({{"Id", S("%")}}),
                          Fields({"Id", "FirstName", "Email"}));
         },
         {"GET /users?page_size=100"},
         "[{Id:12,FirstName:Ann,Email:a@x.test}]"},
        {"the connection test reads the key's own user",
         {R"({"id":"12"})", R"(403 {"code":403,"message":"no","status":"PERMISSION_DENIED"})"},
         [&] {
             return InOrder({Text(api->TestConnection()), Text(api->TestConnection())});
         },
         {"GET /oauth/connect/userinfo", "GET /oauth/connect/userinfo"},
         "1,0"},
    });
    transport->Fail("refused");
    EXPECT_FALSE(api->TestConnection());
    EXPECT_TRUE(notifier->boxes.empty()) << "a test's failure is its answer, not a box";
}

} // namespace
