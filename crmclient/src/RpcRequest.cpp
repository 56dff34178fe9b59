#include "tessary/RpcRequest.h"

#include "Transport.h"
#include "XmlRpcCodec.h"

#include <stdexcept>

namespace tessary {

namespace {
// The error code of an answer over a limit: curl's own for one over the size cap.
constexpr long kOverLimit = 63; // CURLE_FILESIZE_EXCEEDED
} // namespace

void RpcParamList::AddStruct(const RpcStruct& value) {
    AddValue(RpcValue::Struct(std::make_shared<RpcStruct>(value)));
}
void RpcParamList::AddArray(const RpcArray& value) {
    AddValue(RpcValue::Array(std::make_shared<RpcArray>(value)));
}

RpcRequest::RpcRequest() = default;
RpcRequest::RpcRequest(std::shared_ptr<detail::Transport> transport)
    : transport_(std::move(transport)) {}
RpcRequest::~RpcRequest() = default;

std::string RpcRequest::Url() const {
    return "https://" + hostName_ + ":" + std::to_string(port_) + path_;
}

RpcResponse RpcRequest::Submit() {
    if (transportMode_ != 1)
        throw std::invalid_argument("Transport mode " + std::to_string(transportMode_) +
                                    " is not supported; only 1 (HTTPS) is");
    detail::CallBody body(methodName_, params_);
    if (!transport_)
        transport_ = detail::MakeCurlTransport();
    detail::HttpRequest post;
    post.method = detail::HttpMethod::Post;
    post.url = Url();
    post.headers = headers_;
    post.xml = &body;
    post.options = &options_;
    detail::HttpReply reply = transport_->Send(post);
    if (reply.status != 200)
        return RpcResponse(
            RpcStatus::HttpError, {},
            RpcFault(std::to_string(reply.status),
                     "The server answered with HTTP status " + std::to_string(reply.status)),
            reply.status);
    if (detail::CountElements(reply.body) > options_.maxResponseElements)
        throw TransportError(kOverLimit,
                             "The answer held more than " +
                                 std::to_string(options_.maxResponseElements) +
                                 " XML elements, the limit for one answer (" + post.url + ")",
                             TransportError::Kind::TooLarge, true);
    return detail::DecodeResponse(std::move(reply.body), reply.status);
}

} // namespace tessary
