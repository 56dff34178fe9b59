#pragma once
// One XML-RPC call: the parameter list, the request that sends it over HTTPS and
// the response with its status and fault.

#include "tessary/Export.h"
#include "tessary/RpcValue.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tessary {

class ConnectionInternals;

namespace detail {
class Transport;
} // namespace detail

// Parameters of a call or of an answer, in order, counted from 1 by Item.
class TESSARY_API RpcParamList : public RpcValueList {
public:
    // Appends a struct parameter, copied member by member (nested structs and
    // arrays are shared).
    void AddStruct(const RpcStruct& value);
    // Appends an array parameter, copied element by element (nested values shared).
    void AddArray(const RpcArray& value);
    // The parameters in order (Values()).
    const std::vector<RpcValue>& Items() const { return Values(); }
};

// How a call that reached the server ended (RpcResponse::Status).
enum class RpcStatus : int {
    NotInitialised = 0,
    HttpError = 1,      // the server answered with an HTTP status other than 200
    FaultReturned = 2,  // the server sent an XML-RPC fault
    ParamsReturned = 3, // a normal answer
    XmlParseError = 4,  // the answer is no XML-RPC response
};

// The server's fault (or the HTTP status) of a failed call.
class TESSARY_API RpcFault {
public:
    // No fault.
    RpcFault() = default;
    // A fault with the given code text and fault string.
    RpcFault(std::string code, std::string text) : code_(std::move(code)), text_(std::move(text)) {}
    // The fault code as text (the digits of the server's faultCode); empty when none.
    const std::string& FaultCode() const { return code_; }
    // The fault string; empty when none.
    const std::string& FaultString() const { return text_; }

private:
    std::string code_;
    std::string text_;
};

// The outcome of a call that reached the server.
// HttpError: no params; Fault holds the HTTP status as code and a short text.
// FaultReturned: no params; Fault holds the server's faultCode and faultString.
// ParamsReturned: Params holds what the server sent; Fault is empty.
// XmlParseError: no params; Fault's text says what could not be read.
class TESSARY_API RpcResponse {
public:
    // A response with status NotInitialised.
    RpcResponse() = default;
    // A response as a call ended.
    RpcResponse(RpcStatus status, RpcParamList params, RpcFault fault, long httpStatus = 0)
        : status_(status), params_(std::move(params)), fault_(std::move(fault)),
          httpStatus_(httpStatus) {}

    // How the call ended.
    RpcStatus Status() const { return status_; }
    // What the server sent back (ParamsReturned only; empty otherwise).
    const RpcParamList& Params() const { return params_; }
    // The fault or HTTP error (empty for ParamsReturned).
    const RpcFault& Fault() const { return fault_; }
    // The HTTP status of the answer; 0 when the response did not come over HTTP.
    long HttpStatus() const { return httpStatus_; }

private:
    RpcStatus status_ = RpcStatus::NotInitialised;
    RpcParamList params_;
    RpcFault fault_;
    long httpStatus_ = 0;
};

// Thrown by RpcRequest::Submit when no answer could be had: the name did not
// resolve, the connection was refused or dropped, the TLS handshake or the
// certificate check failed, a time-out passed, the answer exceeded a limit or the
// call was cancelled. what() says so in words a user can act on (with curl's own
// detail); Code() is curl's error code.
class TESSARY_API TransportError : public std::runtime_error {
public:
    // The category of a failure.
    enum class Kind {
        Connection, // name not resolved, connection refused or broken
        TimedOut,   // the connect or call time-out passed
        Tls,        // TLS set-up or certificate check failed
        TooLarge,   // the answer was over the size or element limit
        Protocol,   // the answer was no HTTP answer, or nothing came back
        Cancelled,  // CancelCurrentCall stopped it
        Other,
    };
    // A failure with curl's code, a message for the user and its category.
    TransportError(long code, const std::string& message, Kind kind = Kind::Other,
                   bool mayHaveBeenCarriedOut = false)
        : std::runtime_error(message), code_(code), kind_(kind),
          mayHaveBeenCarriedOut_(mayHaveBeenCarriedOut) {}
    // curl's error code (CURLE_...), or 0 when curl reported none.
    long Code() const { return code_; }
    // What kind of failure it was: time-out, TLS, connection, protocol, ...
    Kind Category() const { return kind_; }
    // True when the request had been sent and no complete answer came, so the
    // server may have carried it out; false when it never left.
    bool MayHaveBeenCarriedOut() const { return mayHaveBeenCarriedOut_; }

private:
    long code_;
    Kind kind_;
    bool mayHaveBeenCarriedOut_;
};

// How requests are sent. Certificate and host-name checks are always on.
struct TransportOptions {
    // PEM file of trusted certificate authorities; empty = the system's store.
    std::string caBundleFile;
    // Time allowed to set up the connection (name lookup, TCP and TLS).
    std::chrono::milliseconds connectTimeout{15000};
    // Time allowed for a whole call, from connecting to the last byte of the answer.
    std::chrono::milliseconds totalTimeout{120000};
    // Largest answer accepted; a larger one is aborted as a transport failure. A
    // query of 1,000 records is about 2 MB; files read back are the large case.
    std::size_t maxResponseBytes = std::size_t{64} * 1024 * 1024;
    // Most XML elements one answer may hold. Decoding costs about 150 bytes of
    // memory per element, so an answer of many tiny values would otherwise cost
    // many times its size; 1,000 records of 100 fields hold about 400,000. A
    // larger answer is refused like one over the size limit.
    std::size_t maxResponseElements = 1000000;
    // A kept-alive connection idle for longer than this is not used again: a server
    // may close an idle connection just as a call goes out on it, and a call that
    // may have reached the server is never sent a second time (see Submit).
    std::chrono::seconds reuseIdleLimit{15};
};

// A request aimed at one endpoint. Connect (clsInfusionsoftAPI) makes a fresh one
// for every call, sharing the connection's HTTP session so calls reuse the TLS
// connection; a request made directly opens its own session.
class TESSARY_API RpcRequest {
public:
    // A request with its own HTTPS session, aimed at nothing yet.
    RpcRequest();
    ~RpcRequest();
    RpcRequest(const RpcRequest&) = delete;
    RpcRequest& operator=(const RpcRequest&) = delete;

    // The server's host name.
    void SetHostName(std::string host) { hostName_ = std::move(host); }
    // The server's host name.
    const std::string& HostName() const { return hostName_; }
    // The server's port (443 unless set).
    void SetPort(int port) { port_ = port; }
    // The server's port.
    int Port() const { return port_; }
    // The endpoint's path ("/api/xmlrpc" unless set).
    void SetPath(std::string path) { path_ = std::move(path); }
    // The endpoint's path.
    const std::string& Path() const { return path_; }
    // 1 = HTTPS, the only mode there is; Submit refuses any other value.
    void SetTransportMode(int mode) { transportMode_ = mode; }
    // The transport mode set.
    int TransportMode() const { return transportMode_; }
    // The XML-RPC method called ("DataService.query").
    void SetMethodName(std::string name) { methodName_ = std::move(name); }
    // The XML-RPC method called.
    const std::string& MethodName() const { return methodName_; }
    // Extra HTTP header lines ("Name: value") sent with the call.
    void AddHeader(std::string line) { headers_.push_back(std::move(line)); }
    // The extra header lines, in order.
    const std::vector<std::string>& Headers() const { return headers_; }
    // Time-outs, limits and trusted authorities for the call.
    void SetOptions(TransportOptions options) { options_ = std::move(options); }
    // Time-outs, limits and trusted authorities for the call.
    const TransportOptions& Options() const { return options_; }

    // The call's parameters, to fill before Submit.
    RpcParamList& Params() { return params_; }
    // The call's parameters.
    const RpcParamList& Params() const { return params_; }

    // "https://host:port/path".
    std::string Url() const;

    // Sends the call and waits for the answer. Returns the response (see
    // RpcResponse for the statuses); throws TransportError when no answer came or
    // the answer is over the limits of TransportOptions, std::invalid_argument
    // when the request cannot be written (a transport mode other than 1, a double
    // that is not finite, a date that is empty or out of range). A call is sent at
    // most once: when the connection breaks after the call went out, Submit
    // throws rather than send it again, since the server may have carried it out.
    // Texts are sent as UTF-8 that XML can carry: control characters other than
    // TAB, LF and CR become spaces, and a text that is not valid UTF-8 is read as
    // Windows-1252. Long texts (file contents) are streamed, not copied.
    RpcResponse Submit();

private:
    // Requests made by a connection share its transport (ConnectionInternals).
    friend class ConnectionInternals;
    explicit RpcRequest(std::shared_ptr<detail::Transport> transport);

    std::shared_ptr<detail::Transport> transport_;
    std::string hostName_;
    int port_ = 443;
    std::string path_ = "/api/xmlrpc";
    int transportMode_ = 1;
    std::string methodName_;
    std::vector<std::string> headers_;
    TransportOptions options_;
    RpcParamList params_;
};

} // namespace tessary
