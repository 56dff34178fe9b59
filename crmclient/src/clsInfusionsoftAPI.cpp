#include "tessary/clsInfusionsoftAPI.h"

#include "ConnectionInternals.h"
#include "Guard.h"
#include "ServiceCall.h"
#include "TextNumbers.h"
#include "Transport.h"
#include "rest/RestBackend.h"
#include "tessary/ContactService.h"
#include "tessary/DataService.h"
#include "tessary/FileService.h"
#include "tessary/OtherService.h"
#include "tessary/clsHelpers.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <curl/curl.h>
#include <limits>
#include <optional>

namespace tessary {

namespace detail {
namespace {

// A host name part may hold letters, digits, '-' and '.'; anything else (':', '/',
// '@', '#', '?', blanks) could aim the call, and the API key with it, at another
// server than the account's.
bool IsHostText(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](unsigned char c) { return std::isalnum(c) || c == '-' || c == '.'; });
}

TransportOptions TransportOptionsOf(const ConnectionOptions& options) {
    TransportOptions transport;
    transport.caBundleFile = options.caBundleFile;
    transport.connectTimeout = options.connectTimeout;
    transport.totalTimeout = options.totalTimeout;
    transport.maxResponseBytes = options.maxResponseBytes;
    transport.maxResponseElements = options.maxResponseElements;
    transport.reuseIdleLimit = options.reuseIdleLimit;
    return transport;
}

// Aims the request at the REST base address, which must be an https:// URL with
// a host (the key goes wherever it points).
void AimAtRestBase(RpcRequest& request, const std::string& base) {
    const auto refuse = [&] {
        throw LibraryError(kGeneralFailure,
                           "The REST v2 address '" + base + "' is no https:// address of a server");
    };
    if (base.rfind("https://", 0) != 0 || base.find_first_of(" \r\n\t") != std::string::npos)
        refuse();
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> url(curl_url(), &curl_url_cleanup);
    char* host = nullptr;
    char* port = nullptr;
    char* path = nullptr;
    if (!url || curl_url_set(url.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK ||
        curl_url_get(url.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK)
        refuse();
    request.SetHostName(host);
    curl_free(host);
    if (curl_url_get(url.get(), CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK) {
        request.SetPort(std::atoi(port));
        curl_free(port);
    }
    if (curl_url_get(url.get(), CURLUPART_PATH, &path, 0) == CURLUE_OK) {
        request.SetPath(path);
        curl_free(path);
    }
}

} // namespace

bool IsRest(const clsInfusionsoftAPI& api) {
    return api.GetConnectionOptions().crmInterface == CrmInterface::RestV2;
}

std::shared_ptr<clsInfusionsoftAPI> LockConnection(const std::weak_ptr<clsInfusionsoftAPI>& weak) {
    auto api = weak.lock();
    if (!api)
        throw LibraryError(kObjectMissing,
                           "The connection object of this service no longer exists");
    // Every operation starts here: what an earlier one left says nothing about this one.
    ConnectionInternals::NoteCallFailure(*api, {});
    return api;
}

bool ContainsNoCase(std::string_view text, std::string_view needle) {
    const auto lower = [](char c) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    };
    return std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                       [&](char a, char b) { return lower(a) == lower(b); }) != text.end();
}

} // namespace detail

void ConnectionInternals::NoteCallFailure(clsInfusionsoftAPI& api, CallFailure failure) {
    std::lock_guard lock(api.failureMutex_);
    api.lastFailure_ = std::move(failure);
}

void ConnectionInternals::PrepareRequest(clsInfusionsoftAPI& api, bool keyHeader) {
    api.ConnectOrThrow(keyHeader);
}

detail::RestBackend& ConnectionInternals::RestBackendOf(clsInfusionsoftAPI& api) {
    const auto transport = api.SharedTransport();
    const TransportOptions options = detail::TransportOptionsOf(api.options_);
    if (!api.rest_ ||
        !api.rest_->MadeFor(transport.get(), api.options_.restBaseUrl, api.apiKey_, options))
        api.rest_ = std::make_shared<detail::RestBackend>(transport, api.options_.restBaseUrl,
                                                          api.apiKey_, options);
    return *api.rest_;
}

void ConnectionInternals::SetTransport(clsInfusionsoftAPI& api,
                                       std::shared_ptr<detail::Transport> transport) {
    std::lock_guard lock(api.transportMutex_);
    api.transport_ = std::move(transport);
}

std::shared_ptr<RpcRequest>
ConnectionInternals::MakeRequest(std::shared_ptr<detail::Transport> transport) {
    return std::shared_ptr<RpcRequest>(new RpcRequest(std::move(transport)));
}

clsInfusionsoftAPI::clsInfusionsoftAPI() = default;
clsInfusionsoftAPI::~clsInfusionsoftAPI() = default;

std::shared_ptr<clsInfusionsoftAPI> clsInfusionsoftAPI::Create() {
    return std::shared_ptr<clsInfusionsoftAPI>(new clsInfusionsoftAPI());
}

void clsInfusionsoftAPI::SetupConnection(const std::string& p_strApplicationName,
                                         const std::string& p_strAPIKey) {
    detail::GuardedVoid("SetupConnection", [&] {
        applicationName_ = p_strApplicationName;
        apiKey_ = p_strAPIKey;
    });
}

std::shared_ptr<detail::Transport> clsInfusionsoftAPI::SharedTransport() {
    std::lock_guard lock(transportMutex_);
    if (!transport_)
        transport_ = detail::MakeCurlTransport();
    return transport_;
}

void clsInfusionsoftAPI::Connect() {
    detail::GuardedVoid("Connect", [&] { ConnectOrThrow(); });
}

void clsInfusionsoftAPI::ConnectOrThrow(bool keyHeader) {
    // The previous request goes first, so a failed Connect leaves none behind.
    request_.reset();
    if (!detail::IsHostText(applicationName_))
        throw detail::LibraryError(detail::kGeneralFailure,
                                   "The application name '" + applicationName_ +
                                       "' holds characters a host name cannot have");
    if (!detail::IsHostText(options_.serviceDomain))
        throw detail::LibraryError(detail::kGeneralFailure,
                                   "The service domain '" + options_.serviceDomain +
                                       "' holds characters a host name cannot have");
    if (apiKey_.find_first_of("\r\n") != std::string::npos)
        throw detail::LibraryError(detail::kGeneralFailure, "The API key holds a line break");
    const auto transport = SharedTransport();
    transport->ClearCancel();
    auto request = ConnectionInternals::MakeRequest(transport);
    if (options_.crmInterface == CrmInterface::RestV2) {
        detail::AimAtRestBase(*request, options_.restBaseUrl);
    } else if (options_.useCurrentEndpoint) {
        request->SetHostName("api." + options_.serviceDomain);
        request->SetPath("/crm/xmlrpc");
        if (keyHeader && !apiKey_.empty())
            request->AddHeader("X-Keap-API-Key: " + apiKey_);
    } else {
        request->SetHostName(applicationName_ + "." + options_.serviceDomain);
        request->SetPath("/api/xmlrpc");
    }
    if (options_.crmInterface != CrmInterface::RestV2)
        request->SetPort(options_.servicePort);
    request->SetTransportMode(1);
    request->SetOptions(detail::TransportOptionsOf(options_));
    request_ = std::move(request);
}

std::shared_ptr<tessary::DataService> clsInfusionsoftAPI::DataService() {
    return detail::Guarded("DataService", std::shared_ptr<tessary::DataService>(), [&] {
        if (!dataService_)
            dataService_.reset(new tessary::DataService(weak_from_this()));
        return dataService_;
    });
}

std::shared_ptr<tessary::ContactService> clsInfusionsoftAPI::ContactService() {
    return detail::Guarded("ContactService", std::shared_ptr<tessary::ContactService>(), [&] {
        if (!contactService_)
            contactService_.reset(new tessary::ContactService(weak_from_this()));
        return contactService_;
    });
}

std::shared_ptr<tessary::FileService> clsInfusionsoftAPI::FileService() {
    return detail::Guarded("FileService", std::shared_ptr<tessary::FileService>(), [&] {
        if (!fileService_)
            fileService_.reset(new tessary::FileService(weak_from_this()));
        return fileService_;
    });
}

std::shared_ptr<tessary::OtherService> clsInfusionsoftAPI::OtherService() {
    return detail::Guarded("OtherService", std::shared_ptr<tessary::OtherService>(), [&] {
        if (!otherService_)
            otherService_.reset(new tessary::OtherService(weak_from_this()));
        return otherService_;
    });
}

std::shared_ptr<clsHelpers> clsInfusionsoftAPI::Helpers() {
    return detail::Guarded("Helpers", std::shared_ptr<clsHelpers>(), [&] {
        if (!helpers_)
            helpers_ = std::make_shared<clsHelpers>();
        return helpers_;
    });
}

bool clsInfusionsoftAPI::TestConnection() {
    return detail::Guarded("TestConnection", false, [&] {
        ConnectOrThrow();
        if (detail::IsRest(*this)) {
            request_->SetMethodName("GET /oauth/connect/userinfo");
            try {
                return ConnectionInternals::RestBackendOf(*this).TestConnection();
            } catch (const TransportError&) {
                return false;
            }
        }
        RpcStruct query;
        query.AddString("Id", "%");
        RpcArray fields;
        fields.AddString("Id");
        request_->SetMethodName("DataService.query");
        RpcParamList& params = request_->Params();
        params.AddString(apiKey_);
        params.AddString("User");
        params.AddInteger(1);
        params.AddInteger(0);
        params.AddStruct(query);
        params.AddArray(fields);
        // The verdict is the answer itself: a wrong key comes back as a fault, which
        // must not pass for a working connection. Submission failures are the
        // expected "no" of a test and are not reported.
        try {
            return request_->Submit().Status() == RpcStatus::ParamsReturned;
        } catch (...) {
            return false;
        }
    });
}

void clsInfusionsoftAPI::CancelCurrentCall() {
    std::shared_ptr<detail::Transport> transport;
    {
        std::lock_guard lock(transportMutex_);
        transport = transport_;
    }
    if (transport)
        transport->Cancel();
}

CallFailure clsInfusionsoftAPI::LastCallFailure() const {
    std::lock_guard lock(failureMutex_);
    return lastFailure_;
}

void clsInfusionsoftAPI::SetConnectionOptions(const ConnectionOptions& options) {
    options_ = options;
}

void clsInfusionsoftAPI::SetTimeouts(std::chrono::milliseconds connectTimeout,
                                     std::chrono::milliseconds totalTimeout) {
    options_.connectTimeout = connectTimeout;
    options_.totalTimeout = totalTimeout;
}

std::string clsInfusionsoftAPI::InfusionsoftAPIKey() {
    return detail::Guarded("InfusionsoftAPIKey", std::string(), [&] { return apiKey_; });
}

std::shared_ptr<RpcRequest> clsInfusionsoftAPI::XMLRPC_Request() {
    return request_;
}

std::shared_ptr<const RpcResponse> clsInfusionsoftAPI::XMLRPC_Response() {
    return response_;
}

void clsInfusionsoftAPI::XMLRPC_Response(RpcResponse response) {
    detail::GuardedVoid("XMLRPC_Response", [&] {
        response_ = std::make_shared<const RpcResponse>(std::move(response));
    });
}

void clsInfusionsoftAPI::ShowXMLRPCError() {
    detail::GuardedVoid("ShowXMLRPCError", [&] {
        static const RpcResponse none;
        const RpcResponse& response = response_ ? *response_ : none;
        std::string status;
        switch (static_cast<int>(response.Status())) {
        case 0:
            status = "Not Initialised";
            break;
        case 1:
            status = "HTTP Error";
            break;
        case 2:
            status = "Fault Returned";
            break;
        case 3:
            status = "Params Returned";
            break;
        case 4:
            status = "XML Parse Error";
            break;
        default:
            break;
        }
        const std::string method = request_ ? request_->MethodName() : std::string();
        const std::string crlf = "\r\n";
        const std::string text = "Method Called:\t" + method + crlf + "Status Returned:\t" +
                                 status + crlf + "Fault Code: \t" + response.Fault().FaultCode() +
                                 crlf + "Fault String: \t" + response.Fault().FaultString();
        CurrentNotifier()->ShowMessage("XML RPC Error", text, BoxIcon::Critical);
    });
}

namespace detail {

namespace {

const char* TypeName(RpcType type) {
    switch (type) {
    case RpcType::Empty:
        return "no value (nil)";
    case RpcType::Integer:
        return "an integer";
    case RpcType::Boolean:
        return "a boolean";
    case RpcType::String:
        return "a string";
    case RpcType::Double:
        return "a double";
    case RpcType::DateTime:
        return "a date";
    case RpcType::Base64:
        return "base64 data";
    case RpcType::Struct:
        return "a struct";
    case RpcType::Array:
        return "an array";
    }
    return "an unknown value";
}

const char* ExpectedName(Expect expect) {
    switch (expect) {
    case Expect::Integer:
        return "an integer";
    case Expect::Boolean:
        return "a boolean";
    case Expect::Text:
        return "a text";
    case Expect::Struct:
        return "a struct";
    case Expect::Array:
        return "an array";
    }
    return "a value";
}

bool IsWhole32(std::optional<double> n) {
    return n && *n == std::trunc(*n) && *n >= std::numeric_limits<std::int32_t>::min() &&
           *n <= std::numeric_limits<std::int32_t>::max();
}

bool ReadsAs(const RpcValue& value, Expect expect) {
    const RpcType type = value.Type();
    switch (expect) {
    case Expect::Integer:
        if (type == RpcType::Double)
            return IsWhole32(value.DoubleValue());
        return type == RpcType::Integer ||
               (type == RpcType::String && IsWhole32(NumberFromText(*value.TextPointer())));
    case Expect::Boolean: {
        if (type == RpcType::Boolean || type == RpcType::Integer)
            return true;
        if (type != RpcType::String)
            return false;
        const std::string_view text = TrimBlanks(*value.TextPointer());
        return text == "0" || text == "1" || text == "true" || text == "false";
    }
    case Expect::Text:
        return type != RpcType::Empty && type != RpcType::Struct && type != RpcType::Array;
    case Expect::Struct:
        return type == RpcType::Struct;
    case Expect::Array:
        return type == RpcType::Array;
    }
    return false;
}

// Texts from this size on (file contents) are not kept in the connection's last
// request once they have been sent.
constexpr std::size_t kKeptTextLimit = 64 * 1024;

void DropLongTexts(RpcParamList& params) {
    for (std::size_t n = 1; n <= params.Count(); ++n) {
        const std::string* text = params.Item(n).TextPointer();
        if (!text || text->size() < kKeptTextLimit)
            continue;
        std::string note = "(";
        note += std::to_string(text->size());
        note += " characters sent, not kept)";
        params.SetItem(n, RpcValue::String(std::move(note)));
    }
}

} // namespace

namespace {

// Whether a call only reads: then an answer lost or refused cannot have changed anything.
bool OnlyReads(std::string_view method) {
    const std::string_view name = method.substr(method.find('.') + 1);
    for (const std::string_view read : {"query", "load", "find", "get", "authenticate", "count"})
        if (name.substr(0, read.size()) == read)
            return true;
    return false;
}

// How a call that reached the server failed, from its answer.
CallFailure FailureOfAnswer(const RpcResponse& response, std::string_view method) {
    CallFailure failure;
    failure.message = response.Fault().FaultString();
    switch (response.Status()) {
    case RpcStatus::HttpError:
        failure.what = CallFailure::What::HttpStatus;
        failure.code = response.HttpStatus();
        // A server error after the call arrived may come after it was carried out.
        failure.mayHaveBeenCarriedOut = failure.code >= 500 && !OnlyReads(method);
        break;
    case RpcStatus::FaultReturned:
        failure.what = CallFailure::What::Fault;
        failure.code = std::atol(response.Fault().FaultCode().c_str());
        break;
    default:
        failure.what = CallFailure::What::Unreadable;
        failure.mayHaveBeenCarriedOut = !OnlyReads(method);
        break;
    }
    return failure;
}

CallFailure FailureOfException(std::string_view method) {
    CallFailure failure;
    try {
        throw;
    } catch (const TransportError& e) {
        failure.what = CallFailure::What::Transport;
        failure.transport = e.Category();
        failure.code = e.Code();
        failure.mayHaveBeenCarriedOut = e.MayHaveBeenCarriedOut() && !OnlyReads(method);
        failure.message = e.what();
    } catch (const std::exception& e) {
        failure.what = CallFailure::What::Library;
        failure.message = e.what();
    } catch (...) {
        failure.what = CallFailure::What::Library;
        failure.message = "Unknown failure";
    }
    return failure;
}

std::optional<RpcValue> Run(clsInfusionsoftAPI& api, const char* method, SendKey sendKey,
                            Expect expect, const std::function<void(RpcParamList&)>& fill,
                            Quiet quiet, const std::function<RpcResponse(RpcRequest&)>& carry) {
    ConnectionInternals::PrepareRequest(api, sendKey == SendKey::Yes);
    const std::shared_ptr<RpcRequest> request = api.XMLRPC_Request();
    request->SetMethodName(method);
    if (sendKey == SendKey::Yes)
        request->Params().AddString(api.InfusionsoftAPIKey());
    fill(request->Params());
    std::optional<RpcResponse> answer;
    try {
        answer = carry(*request);
    } catch (...) {
        DropLongTexts(request->Params());
        throw;
    }
    DropLongTexts(request->Params());
    api.XMLRPC_Response(std::move(*answer));
    const std::shared_ptr<const RpcResponse> response = api.XMLRPC_Response();
    if (response->Status() == RpcStatus::ParamsReturned) {
        // A normal answer without any value, or with a value that does not read as
        // the operation's type, carries no result to read: a failure of the
        // operation (reported), not a quiet 0, false or empty result.
        if (response->Params().Count() == 0)
            throw LibraryError(kSubscriptOutOfRange,
                               "The server's answer to " + std::string(method) + " holds no value");
        const RpcValue& result = response->Params().Item(1);
        if (!ReadsAs(result, expect)) {
            LibraryError error(kTypeMismatch, "Type mismatch: the server's answer to " +
                                                  std::string(method) + " holds " +
                                                  TypeName(result.Type()) + " where " +
                                                  ExpectedName(expect) + " was expected");
            // The server answered, so a call that writes was carried out.
            ConnectionInternals::NoteCallFailure(
                api, {CallFailure::What::Unreadable, !OnlyReads(method), 0, error.what()});
            throw error;
        }
        return result;
    }
    ConnectionInternals::NoteCallFailure(api, FailureOfAnswer(*response, method));
    const bool silent =
        (quiet == Quiet::UnparsedWithoutParams && response->Status() == RpcStatus::XmlParseError &&
         response->Params().Count() == 0) ||
        (quiet == Quiet::RecordNotFound && response->Status() == RpcStatus::FaultReturned &&
         ContainsNoCase(response->Fault().FaultString(), "[RecordNotFound]"));
    if (!silent)
        api.ShowXMLRPCError();
    return std::nullopt;
}

// Run, with how the call failed noted on the connection (each call of an operation
// replaces what the one before it noted).
template <class RunCall>
std::optional<RpcValue> Noted(clsInfusionsoftAPI& api, const char* method, RunCall&& run) {
    ConnectionInternals::NoteCallFailure(api, {});
    try {
        return run();
    } catch (...) {
        if (!api.LastCallFailure().Failed())
            ConnectionInternals::NoteCallFailure(api, FailureOfException(method));
        throw;
    }
}

} // namespace

std::optional<RpcValue> Invoke(clsInfusionsoftAPI& api, const char* method, SendKey sendKey,
                               Expect expect, const std::function<void(RpcParamList&)>& fill,
                               Quiet quiet) {
    return Noted(api, method, [&] {
        return Run(api, method, sendKey, expect, fill, quiet, [&](RpcRequest& request) {
            return IsRest(api) ? ConnectionInternals::RestBackendOf(api).Carry(request)
                               : request.Submit();
        });
    });
}

std::optional<RpcValue> InvokeCarried(clsInfusionsoftAPI& api, const char* method, Expect expect,
                                      const std::function<void(RpcParamList&)>& fill,
                                      const Carrier& carry) {
    return Noted(api, method, [&] {
        return Run(api, method, SendKey::Yes, expect, fill, Quiet::Nothing,
                   [&](RpcRequest& request) { return carry(request); });
    });
}

} // namespace detail

} // namespace tessary
