#pragma once
// The HTTP layer under RpcRequest::Submit. CurlTransport is the real one; tests
// put a Transport of their own under a connection to feed canned answers.

#include "XmlRpcCodec.h"
#include "tessary/RpcRequest.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tessary::detail {

struct HttpPost {
    std::string url;
    std::vector<std::string> headers; // "Name: value"
    CallBody* body = nullptr;         // read from its start, once
    const TransportOptions* options = nullptr;
};

struct HttpReply {
    long status = 0;
    std::string body;
};

class Transport {
public:
    virtual ~Transport() = default;
    // Posts the body and returns the answer whatever its HTTP status; throws
    // TransportError when no complete answer came. Never sends the body twice.
    virtual HttpReply Post(const HttpPost& post) = 0;
};

// An HTTPS session on one curl handle: successive posts reuse its connection.
std::shared_ptr<Transport> MakeCurlTransport();

} // namespace tessary::detail
