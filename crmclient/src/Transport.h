#pragma once
// The HTTP layer under both interfaces: one request (method, URL, headers, a body
// that is none, a text, an XML-RPC call or a multipart form) and its answer.
// CurlTransport is the real one; tests put a Transport of their own under a
// connection to record requests and feed canned answers.

#include "XmlRpcCodec.h"
#include "tessary/RpcRequest.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tessary::detail {

enum class HttpMethod { Get, Post, Patch, Delete };

const char* MethodName(HttpMethod method);

// One part of a multipart/form-data body: a text, or a file's contents, either
// streamed from `filePath` or given in `bytes`.
struct FormPart {
    std::string name;
    std::string text;     // a text part's value
    std::string fileName; // set for a file part: the name it is sent under
    std::string filePath; // a file part streamed from disk
    std::string bytes;    // a file part from memory (when filePath is empty)
    bool IsFile() const { return !fileName.empty(); }
};

struct HttpRequest {
    HttpMethod method = HttpMethod::Post;
    std::string url;
    std::vector<std::string> headers; // "Name: value"
    // The body: at most one of these. text goes with contentType.
    CallBody* xml = nullptr; // read from its start, once
    std::string text;
    std::string contentType;
    std::vector<FormPart> form;
    const TransportOptions* options = nullptr;
};

// Spare bytes an answer's body keeps allocated past its end: simdjson reads ahead
// in blocks and can then parse the body where it is, without a padded copy.
constexpr std::size_t kAnswerPadding = 64;

struct HttpReply {
    long status = 0;
    std::string body;        // with kAnswerPadding spare bytes (CurlTransport)
    std::string contentType; // empty when none came
    std::string retryAfter;  // the Retry-After header's value; empty when none came
};

class Transport {
public:
    virtual ~Transport() = default;
    // Sends the request and returns the answer whatever its HTTP status; throws
    // TransportError when no complete answer came. Never sends a request twice.
    virtual HttpReply Send(const HttpRequest& request) = 0;

    // Waits before a request is sent again; a cancel cuts the wait short.
    virtual void Wait(std::chrono::milliseconds pause);
    // The wall clock, for answers that name a moment (an HTTP date).
    virtual std::chrono::system_clock::time_point Now() const;

    // Cancel stops the request in progress and every later one until
    // ClearCancel, which each operation calls first. Cancel is safe from any thread.
    void Cancel() { cancelled_.store(true); }
    void ClearCancel() { cancelled_.store(false); }
    bool Cancelled() const { return cancelled_.load(); }
    // Throws the Cancelled failure when a cancel is pending.
    void ThrowIfCancelled() const;

private:
    std::atomic<bool> cancelled_{false};
};

// An HTTPS session on one curl handle: successive requests reuse its connection.
std::shared_ptr<Transport> MakeCurlTransport();

} // namespace tessary::detail
