#pragma once
// The library's own access to what a connection and its requests keep private: the
// transport they send through and the REST v2 translation. Not installed; unit tests
// use it to send through a canned transport.

#include "tessary/RpcRequest.h"
#include "tessary/clsInfusionsoftAPI.h"

#include <memory>

namespace tessary {

class ConnectionInternals {
public:
    // Replaces the connection's request by a fresh one aimed at the account (with the
    // current endpoint's key header unless keyHeader is false); throws on a setting
    // that cannot make a safe address.
    static void PrepareRequest(clsInfusionsoftAPI& api, bool keyHeader);
    // Records how the operation in progress failed (What::None clears it).
    static void NoteCallFailure(clsInfusionsoftAPI& api, CallFailure failure);
    // The connection's REST v2 translation, made again when the key, the base
    // address or the transport changed.
    static detail::RestBackend& RestBackendOf(clsInfusionsoftAPI& api);
    // Sends the connection's calls through `transport` instead of its HTTPS session.
    static void SetTransport(clsInfusionsoftAPI& api, std::shared_ptr<detail::Transport> transport);
    // A request sending through `transport`.
    static std::shared_ptr<RpcRequest> MakeRequest(std::shared_ptr<detail::Transport> transport);
};

} // namespace tessary
