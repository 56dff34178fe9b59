#include "SandboxProcess.h"

#include <curl/curl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace {

size_t collect(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

// A bare-bones XML-RPC client on one curl handle, so calls can share a connection.
class RawClient {
public:
    explicit RawClient(const sandbox::SandboxProcess& sb) : curl_(curl_easy_init()) {
        url_ = "https://" + sb.hostFor("demo") + ":" + std::to_string(sb.port()) + "/api/xmlrpc";
        ca_ = sb.caFile();
    }
    ~RawClient() { curl_easy_cleanup(curl_); }

    // Posts the body; returns the HTTP status (0 on a transport failure).
    long post(const std::string& body, std::string& answer) {
        answer.clear();
        curl_easy_setopt(curl_, CURLOPT_URL, url_.c_str());
        curl_easy_setopt(curl_, CURLOPT_CAINFO, ca_.c_str());
        curl_easy_setopt(curl_, CURLOPT_POSTFIELDS, body.c_str());
        curl_easy_setopt(curl_, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
        curl_easy_setopt(curl_, CURLOPT_TIMEOUT, 20L);
        curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, collect);
        curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &answer);
        if (curl_easy_perform(curl_) != CURLE_OK)
            return 0;
        long status = 0;
        curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
        return status;
    }

private:
    CURL* curl_;
    std::string url_;
    std::string ca_;
};

const std::string kStageQuery =
    "<?xml version=\"1.0\"?><methodCall><methodName>DataService.query</methodName><params>"
    "<param><value>test-key</value></param>"
    "<param><value><string>Stage</string></value></param>"
    "<param><value><i4>2</i4></value></param>"
    "<param><value><int>0</int></value></param>"
    "<param><value><struct><member><name>Id</name><value>%</value></member></struct></value>"
    "</param>"
    "<param><value><array><data><value>Id</value><value>StageName</value></data></array>"
    "</value></param>"
    "</params></methodCall>";

TEST(SandboxProcess, AnswersOverVerifiedTlsAndLogsEachCallWithItsConnection) {
    sandbox::SandboxProcess sb;
    ASSERT_GT(sb.port(), 0);
    ASSERT_TRUE(std::filesystem::exists(sb.caFile()));

    RawClient client(sb);
    std::string answer;
    ASSERT_EQ(client.post(kStageQuery, answer), 200);
    EXPECT_NE(answer.find("<name>StageName</name>"), std::string::npos) << answer;
    EXPECT_NE(answer.find("<value><i4>2</i4></value>"), std::string::npos) << answer;
    ASSERT_EQ(client.post(kStageQuery, answer), 200);

    const auto calls = sb.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].method, "DataService.query");
    EXPECT_EQ(calls[0].path, "/api/xmlrpc");
    EXPECT_FALSE(calls[0].keyInHeader);
    EXPECT_EQ(calls[0].connection, calls[1].connection); // keep-alive reused it
    ASSERT_EQ(calls[0].params.size(), 6u);
    EXPECT_EQ(calls[0].params[0].type, "string");
    EXPECT_EQ(calls[0].params[0].value, "test-key");
    EXPECT_EQ(calls[0].params[2].type, "i4");
    EXPECT_EQ(calls[0].params[3].type, "int");
    EXPECT_EQ(calls[0].params[4].type, "struct");
    EXPECT_EQ(calls[0].params[4].value["Id"]["value"], "%");
    EXPECT_EQ(calls[0].params[5].value[1]["value"], "StageName");

    sb.clearLog();
    EXPECT_TRUE(sb.calls().empty());
}

TEST(SandboxProcess, FaultsApplyToTheNextCallsOnlyUntilCleared) {
    sandbox::SandboxProcess sb(
        {.apiKey = "test-key", .app = "demo", .seed = "demo", .extraArgs = {"--memory"}});
    RawClient client(sb);
    std::string answer;

    sb.setFault("http500", 1);
    EXPECT_EQ(client.post(kStageQuery, answer), 500);
    EXPECT_EQ(client.post(kStageQuery, answer), 200);

    sb.setFault("notxml");
    EXPECT_EQ(client.post(kStageQuery, answer), 200);
    EXPECT_EQ(answer.find("<methodResponse>"), std::string::npos);
    EXPECT_EQ(client.post(kStageQuery, answer), 200);
    EXPECT_EQ(answer.find("<methodResponse>"), std::string::npos);
    sb.clearFault();
    EXPECT_EQ(client.post(kStageQuery, answer), 200);
    EXPECT_NE(answer.find("<methodResponse>"), std::string::npos);

    const auto calls = sb.calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].fault, "http500");
    EXPECT_EQ(calls[1].fault, "");
    EXPECT_EQ(calls[2].fault, "notxml");
    EXPECT_EQ(calls[4].fault, "");
    EXPECT_THROW(sb.setFault("no-such-mode"), std::runtime_error);
}

// A GET on the REST interface with one header line; returns the HTTP status (0 on a
// transport failure) and keeps the answer and its Retry-After header.
long restGet(const sandbox::SandboxProcess& sb, const std::string& path,
             const std::string& keyHeader, std::string& answer, std::string* retryAfter = nullptr) {
    CURL* curl = curl_easy_init();
    const std::string url = sb.restUrl(sb.hostFor("demo")) + path;
    curl_slist* headers = curl_slist_append(nullptr, keyHeader.c_str());
    answer.clear();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_CAINFO, sb.caFile().c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
    long status = 0;
    if (curl_easy_perform(curl) == CURLE_OK) {
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        curl_header* header = nullptr;
        if (retryAfter &&
            curl_easy_header(curl, "Retry-After", 0, CURLH_HEADER, -1, &header) == CURLHE_OK)
            *retryAfter = header->value;
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return status;
}

TEST(SandboxProcess, RestCallsAreLoggedAndTakeTargetedFaultsAndKeySettings) {
    sandbox::SandboxProcess sb({.extraArgs = {"--memory"}});
    const std::string key = "X-Keap-API-Key: test-key";
    std::string answer;
    std::string retryAfter;

    ASSERT_EQ(restGet(sb, "/contacts?filter=family_name%3D%3DOkafor&fields=id", key, answer), 200);
    EXPECT_NE(answer.find("\"51\""), std::string::npos) << answer;

    sb.setFault(sandbox::FaultOptions{
        .mode = "http429", .count = 1, .method = "GET /contacts/{id}", .retryAfter = 2});
    EXPECT_EQ(restGet(sb, "/contacts?fields=id", key, answer), 200); // not the targeted operation
    EXPECT_EQ(restGet(sb, "/contacts/51", key, answer, &retryAfter), 429);
    EXPECT_EQ(retryAfter, "2");
    EXPECT_NE(answer.find("policies.ratelimit.QuotaViolation"), std::string::npos) << answer;
    EXPECT_EQ(restGet(sb, "/contacts/51", key, answer), 200);

    sb.setRest({.keyHeader = "bearer", .unauthorized = "error"});
    EXPECT_EQ(restGet(sb, "/contacts/51", key, answer), 401);
    EXPECT_NE(answer.find("UNAUTHENTICATED"), std::string::npos) << answer;
    EXPECT_EQ(restGet(sb, "/contacts/51", "Authorization: Bearer test-key", answer), 200);
    sb.resetRest();
    EXPECT_EQ(restGet(sb, "/contacts/51", key, answer), 200);

    const auto calls = sb.calls();
    ASSERT_EQ(calls.size(), 7u);
    EXPECT_EQ(calls[0].interface, "rest");
    EXPECT_EQ(calls[0].method, "GET /contacts");
    EXPECT_EQ(calls[0].httpMethod, "GET");
    EXPECT_EQ(calls[0].path, "/crm/rest/v2/contacts");
    EXPECT_EQ(calls[0].filter, "family_name==Okafor");
    EXPECT_EQ(calls[0].query["fields"][0], "id");
    EXPECT_EQ(calls[0].status, 200);
    EXPECT_EQ(calls[0].keyForm, "x-keap-api-key");
    EXPECT_EQ(calls[2].method, "GET /contacts/{id}");
    EXPECT_EQ(calls[2].fault, "http429");
    EXPECT_EQ(calls[2].status, 429);
    EXPECT_EQ(calls[5].keyForm, "bearer");
    EXPECT_THROW(sb.setFault(sandbox::FaultOptions{.mode = "drop", .retryAfter = 1}),
                 std::runtime_error);
    EXPECT_THROW(sb.setRest({.keyHeader = "cookie"}), std::runtime_error);
}

TEST(SandboxProcess, StartFailureCarriesTheSandboxMessage) {
    try {
        sandbox::SandboxProcess sb({.extraArgs = {"--contacts", "-3"}});
        FAIL() << "the sandbox started with a negative record count";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("--contacts"), std::string::npos) << e.what();
    }
}

} // namespace
