#pragma once
// The steps every service call runs: a fresh request from the connection, the
// method name, the parameters (API key first unless told otherwise), Submit, the
// response kept as the connection's last response, then the status read. Transport
// failures propagate as exceptions, for the operation's guard to report.

#include "tessary/RpcRequest.h"
#include "tessary/clsInfusionsoftAPI.h"

#include <functional>
#include <memory>
#include <optional>

namespace tessary::detail {

// Which failed answers a call takes without the "XML RPC Error" box.
enum class Quiet {
    Nothing,
    // XmlParseError with no params: read as an empty result.
    UnparsedWithoutParams,
    // A fault whose text contains "[RecordNotFound]", in any case.
    RecordNotFound,
};

enum class SendKey { Yes, No };

// The connection behind a service; throws when it no longer exists.
std::shared_ptr<clsInfusionsoftAPI> LockConnection(const std::weak_ptr<clsInfusionsoftAPI>& weak);

// Replaces the connection's request by a fresh one aimed at the account; throws on
// a setting that cannot make a safe address.
void PrepareRequest(clsInfusionsoftAPI& api);

// Runs one call; parameter 1 of the answer when it is ParamsReturned, otherwise
// std::nullopt after the box (unless `quiet` covers the case). Throws (for the
// operation's guard to report) when no answer came, or when a ParamsReturned
// answer holds no value at all.
std::optional<RpcValue> Invoke(clsInfusionsoftAPI& api, const char* method, SendKey sendKey,
                               const std::function<void(RpcParamList&)>& fill,
                               Quiet quiet = Quiet::Nothing);

// True when `text` contains `needle`, ignoring ASCII case.
bool ContainsNoCase(std::string_view text, std::string_view needle);

} // namespace tessary::detail
