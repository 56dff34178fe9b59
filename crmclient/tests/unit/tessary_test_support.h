#pragma once
// Test doubles for the library's seams: a transport that answers with canned
// bytes and records what was posted, a notifier that records every box, and a
// reader for the XML of a posted call.

#include "ConnectionInternals.h"
#include "Transport.h"
#include "tessary/Notifier.h"
#include "tessary/clsInfusionsoftAPI.h"

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace tessary::test {

// Records every request and answers from a script of canned replies.
class FakeTransport final : public detail::Transport {
public:
    struct Posted {
        std::string method;
        std::string url;
        std::vector<std::string> headers;
        std::string body;               // an XML-RPC call or a text body
        std::vector<std::string> parts; // multipart: "name=text" or "name<file name>:contents"
    };
    struct Reply {
        long status = 200;
        std::string body;
        bool fail = false; // throw TransportError instead
        std::string contentType;
        std::string retryAfter;
        bool carriedOut = false; // a failure after the request went out
    };

    detail::HttpReply Send(const detail::HttpRequest& request) override {
        posted.push_back(Record(request));
        if (onSend)
            onSend();
        if (replies.empty())
            throw TransportError(7, "no canned answer left");
        Reply next = replies.front();
        replies.pop_front();
        if (next.fail)
            throw TransportError(28, next.body, TransportError::Kind::TimedOut, next.carriedOut);
        return {next.status, next.body, next.contentType, next.retryAfter};
    }
    void Wait(std::chrono::milliseconds pause) override {
        waits.push_back(pause);
        ThrowIfCancelled();
    }
    std::chrono::system_clock::time_point Now() const override { return now; }

    void Answer(std::string body, long status = 200) {
        replies.push_back({status, std::move(body), false, "text/xml", "", false});
    }
    void AnswerParam(const std::string& valueXml) {
        Answer("<?xml version=\"1.0\"?><methodResponse><params><param><value>" + valueXml +
               "</value></param></params></methodResponse>");
    }
    void AnswerFault(int code, const std::string& text) {
        Answer("<methodResponse><fault><value><struct><member><name>faultCode</name><value><int>" +
               std::to_string(code) +
               "</int></value></member><member><name>faultString</name><value>" + text +
               "</value></member></struct></value></fault></methodResponse>");
    }
    void AnswerJson(std::string json, long status = 200, std::string retryAfter = "") {
        replies.push_back(
            {status, std::move(json), false, "application/json", std::move(retryAfter), false});
    }
    // "404 {...}" answers with that status.
    void AnswerJsons(const std::vector<std::string>& answers) {
        for (const std::string& a : answers) {
            const bool status = a.size() > 4 && a[3] == ' ' && std::isdigit(a[0]);
            AnswerJson(status ? a.substr(4) : a, status ? std::stol(a.substr(0, 3)) : 200);
        }
    }
    void AnswerRaw(std::string body, std::string contentType) {
        replies.push_back({200, std::move(body), false, std::move(contentType), "", false});
    }
    void Fail(std::string message, bool carriedOut = false) {
        replies.push_back({0, std::move(message), true, "", "", carriedOut});
    }

    std::deque<Reply> replies;
    std::vector<Posted> posted;
    std::vector<std::chrono::milliseconds> waits;
    std::chrono::system_clock::time_point now{};
    std::function<void()> onSend; // runs as each request is sent

private:
    static Posted Record(const detail::HttpRequest& request) {
        Posted p{detail::MethodName(request.method), request.url, request.headers, {}, {}};
        if (request.xml) {
            // Read as libcurl does, in pieces, so that the streamed form is what is checked.
            char piece[4093];
            while (const std::size_t n = request.xml->Read(piece, sizeof piece))
                p.body.append(piece, n);
            EXPECT_EQ(p.body.size(), request.xml->Size());
        } else {
            p.body = request.text;
        }
        for (const auto& part : request.form) {
            if (!part.IsFile()) {
                p.parts.push_back(part.name + "=" + part.text);
                continue;
            }
            std::string bytes = part.bytes;
            if (!part.filePath.empty()) {
                std::ifstream in(part.filePath, std::ios::binary);
                bytes.assign(std::istreambuf_iterator<char>(in), {});
            }
            p.parts.push_back(part.name + "<" + part.fileName + ">:" + bytes);
        }
        return p;
    }
};

class RecordingNotifier final : public Notifier {
public:
    struct Box {
        std::string title;
        std::string text;
        BoxIcon icon;
    };
    void ShowMessage(const std::string& title, const std::string& text, BoxIcon icon) override {
        boxes.push_back({title, text, icon});
    }
    BoxAnswer AskOkCancel(const std::string& title, const std::string& text,
                          BoxIcon icon) override {
        boxes.push_back({title, text, icon});
        return BoxAnswer::Ok;
    }
    void DebugLine(const std::string& line) override { debugLines.push_back(line); }
    std::vector<Box> boxes;
    std::vector<std::string> debugLines;
};

// Installs a RecordingNotifier for the test's life.
class NotifierFixture : public ::testing::Test {
protected:
    void SetUp() override {
        notifier = std::make_shared<RecordingNotifier>();
        SetNotifier(notifier);
    }
    void TearDown() override { SetNotifier(nullptr); }
    std::shared_ptr<RecordingNotifier> notifier;
};

// A connection to the application "demo" with key "KEY" whose calls go to a
// FakeTransport instead of the network.
class FakeConnectionFixture : public NotifierFixture {
protected:
    void SetUp() override {
        NotifierFixture::SetUp();
        api = clsInfusionsoftAPI::Create();
        api->SetupConnection("demo", "KEY");
        transport = std::make_shared<FakeTransport>();
        ConnectionInternals::SetTransport(*api, transport);
    }
    std::shared_ptr<clsInfusionsoftAPI> api;
    std::shared_ptr<FakeTransport> transport;
};

// The same connection speaking REST v2 at kRestBase, in UTC so that dates read
// the same everywhere.
inline const std::string kRestBase = "https://crm.test/v2";

class RestConnectionFixture : public FakeConnectionFixture {
protected:
    void SetUp() override {
        FakeConnectionFixture::SetUp();
        api->SetCrmInterface(CrmInterface::RestV2);
        api->SetRestBaseUrl(kRestBase);
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
        FakeConnectionFixture::TearDown();
    }

    // "METHOD /path?query" of each request sent (the query decoded), then
    // forgets them.
    std::vector<std::string> Sent() {
        std::vector<std::string> lines;
        for (const auto& p : transport->posted) {
            std::string line = p.method + " ";
            const std::string url =
                p.url.substr(p.url.rfind(kRestBase, 0) == 0 ? kRestBase.size() : 0);
            for (std::size_t i = 0; i < url.size(); ++i) {
                if (url[i] == '%' && i + 2 < url.size()) {
                    line += static_cast<char>(std::stoi(url.substr(i + 1, 2), nullptr, 16));
                    i += 2;
                } else {
                    line += url[i];
                }
            }
            if (!p.body.empty())
                line += " " + p.body;
            for (std::size_t i = 0; i < p.parts.size(); ++i)
                line += (i ? "|" : " [") + p.parts[i] + (i + 1 == p.parts.size() ? "]" : "");
            lines.push_back(line);
        }
        transport->posted.clear();
        return lines;
    }
};

// A value in one line: {A:1,B:x}, [..], dates as their wire text.
inline std::string Show(const RpcValue& value) {
    if (const auto s = value.StructValue()) {
        std::string out = "{";
        for (const auto& [name, member] : s->Members())
            out += (out.size() > 1 ? "," : "") + name + ":" + Show(member);
        return out + "}";
    }
    if (const auto a = value.ArrayValue()) {
        std::string out = "[";
        for (const auto& element : a->Elements())
            out += (out.size() > 1 ? "," : "") + Show(element);
        return out + "]";
    }
    return value.IsEmpty() ? "null" : value.StringValue();
}

// One parameter of a posted call: its XML-RPC type element and its text (for
// struct and array, the member names or element count).
struct WireParam {
    std::string type;
    std::string text;
};

struct WireCall {
    std::string method;
    std::vector<WireParam> params;
};

inline WireCall ReadCall(const std::string& body) {
    pugi::xml_document doc;
    const auto parsed = doc.load_string(body.c_str());
    EXPECT_TRUE(parsed) << parsed.description() << " in " << body;
    WireCall call;
    const auto root = doc.child("methodCall");
    call.method = root.child("methodName").text().get();
    for (const auto& param : root.child("params").children("param")) {
        const auto typed = param.child("value").first_child();
        WireParam p;
        if (typed.type() == pugi::node_element) {
            p.type = typed.name();
            if (p.type == "struct") {
                for (const auto& m : typed.children("member")) {
                    if (!p.text.empty())
                        p.text += ",";
                    p.text += m.child("name").text().get();
                }
            } else if (p.type == "array") {
                for (const auto& v : typed.child("data").children("value")) {
                    if (!p.text.empty())
                        p.text += ",";
                    p.text += v.first_child().text().get();
                }
            } else {
                p.text = typed.text().get();
            }
        } else {
            p.type = "string";
            p.text = param.child("value").text().get();
        }
        call.params.push_back(p);
    }
    return call;
}

// "type:text" per parameter, joined by " | ", for compact expectations.
inline std::string Signature(const WireCall& call) {
    std::string out;
    for (const auto& p : call.params) {
        if (!out.empty())
            out += " | ";
        out += p.type + ":" + p.text;
    }
    return out;
}

} // namespace tessary::test
