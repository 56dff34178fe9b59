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

// Whether the API key goes with the call (first parameter, and the current
// endpoint's header).
enum class SendKey { Yes, No };

// The type an operation reads its result as. An answer holding a value that does
// not read as that type without loss (a string where an array or an integer is
// expected, text that is no number, a nil) is no result but a failure.
enum class Expect {
    Integer, // an integer, or a double or text holding a whole 32-bit number
    Boolean, // a boolean, an integer, or the text 0, 1, true or false
    Text,    // any scalar
    Struct,
    Array,
};

// The connection behind a service; throws when it no longer exists.
std::shared_ptr<clsInfusionsoftAPI> LockConnection(const std::weak_ptr<clsInfusionsoftAPI>& weak);

// Runs one call; parameter 1 of the answer when it is ParamsReturned, otherwise
// std::nullopt after the box (unless `quiet` covers the case). Throws (for the
// operation's guard to report) when no answer came, or when a ParamsReturned
// answer holds no value at all or one that is not of the type expected.
std::optional<RpcValue> Invoke(clsInfusionsoftAPI& api, const char* method, SendKey sendKey,
                               Expect expect, const std::function<void(RpcParamList&)>& fill,
                               Quiet quiet = Quiet::Nothing);

// The same with the request carried out by `carry` instead of the connection's
// interface (a file streamed from its path on REST v2); `fill` then only says
// what the request was, for the connection's last request and the boxes.
using Carrier = std::function<RpcResponse(const RpcRequest& request)>;
std::optional<RpcValue> InvokeCarried(clsInfusionsoftAPI& api, const char* method, Expect expect,
                                      const std::function<void(RpcParamList&)>& fill,
                                      const Carrier& carry);

// Whether the connection speaks the REST v2 interface.
bool IsRest(const clsInfusionsoftAPI& api);

// True when `text` contains `needle`, ignoring ASCII case.
bool ContainsNoCase(std::string_view text, std::string_view needle);

} // namespace tessary::detail
