#pragma once
// Test doubles for the library's seams: a transport that answers with canned
// bytes and records what was posted, a notifier that records every box, and a
// reader for the XML of a posted call.

#include "Transport.h"
#include "tessary/Notifier.h"
#include "tessary/clsInfusionsoftAPI.h"

#include <deque>
#include <gtest/gtest.h>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace tessary::test {

class FakeTransport final : public detail::Transport {
public:
    struct Posted {
        std::string url;
        std::vector<std::string> headers;
        std::string body;
    };
    struct Reply {
        long status = 200;
        std::string body;
        bool fail = false; // throw TransportError instead
    };

    detail::HttpReply Post(const detail::HttpPost& post) override {
        // Read as libcurl does, in pieces, so that the streamed form is what is checked.
        std::string body;
        char piece[4093];
        while (const std::size_t n = post.body->Read(piece, sizeof piece))
            body.append(piece, n);
        EXPECT_EQ(body.size(), post.body->Size());
        posted.push_back({post.url, post.headers, std::move(body)});
        if (replies.empty())
            throw TransportError(7, "no canned answer left");
        Reply next = replies.front();
        replies.pop_front();
        if (next.fail)
            throw TransportError(28, next.body);
        return {next.status, next.body};
    }

    void Answer(std::string body, long status = 200) {
        replies.push_back({status, std::move(body), false});
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
    void Fail(std::string message) { replies.push_back({0, std::move(message), true}); }

    std::deque<Reply> replies;
    std::vector<Posted> posted;
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
    std::vector<Box> boxes;
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
        api->SetTransport(transport);
    }
    std::shared_ptr<clsInfusionsoftAPI> api;
    std::shared_ptr<FakeTransport> transport;
};

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
