#pragma once
// The connection object: the CRM account's application name and API key, the
// endpoint settings, the request and response of the most recent call, and the
// service objects. Every call goes: Connect (fresh request) -> method and
// parameters -> Submit -> response kept as the last response -> status read.
//
// No operation lets a failure escape: an unexpected failure shows the library's
// error report ("Tessary Error", section = the operation's name) and the
// operation returns the default its comment names.

#include "tessary/Export.h"
#include "tessary/RpcRequest.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

namespace tessary {

class DataService;
class ContactService;
class FileService;
class OtherService;
class clsHelpers;

class ConnectionInternals;

// How the last operation on a connection failed (clsInfusionsoftAPI::LastCallFailure), so
// that a program can tell "failed, nothing done" from "may have been done" and show the
// server's own words.
struct CallFailure {
    enum class What {
        None,       // the operation succeeded, or failed before sending anything
        Transport,  // no complete answer came (TransportError): unreachable, time-out,
                    // dropped, cut off, cancelled
        HttpStatus, // the server answered with an HTTP error status
        Fault,      // the server answered with a fault: it refused the call
        Unreadable, // the server answered with something that does not read as the answer
        Library,    // the library refused or failed the operation itself
    };
    What what = What::None;
    // The server may have carried the call out although it failed: a call that writes
    // went out and no complete answer came, or it was answered with an HTTP 5xx or with
    // an answer that cannot be read.
    bool mayHaveBeenCarriedOut = false;
    // The HTTP status, the fault code or curl's error code; 0 when there is none.
    long code = 0;
    // The server's message (fault string, the REST API's error), curl's or the library's.
    std::string message;
    // What failed, for What::Transport.
    TransportError::Kind transport = TransportError::Kind::Other;

    bool Failed() const { return what != What::None; }
};

namespace detail {
class Transport;
class RestBackend;
} // namespace detail

// The CRM's API a connection speaks. The services are the same on both: on REST v2
// each XML-RPC call is translated (crmclient/docs/REST-V2.md says how).
enum class CrmInterface { XmlRpc, RestV2 };

// Where and how calls are sent.
struct ConnectionOptions {
    // XmlRpc keeps older programs as they were; a program picks per configuration.
    CrmInterface crmInterface = CrmInterface::XmlRpc;
    // The REST v2 API's base address; only https:// addresses are used.
    std::string restBaseUrl = "https://api.infusionsoft.com/crm/rest/v2";
    // Domain after the application name: "https://<app>.<domain>:<port>/api/xmlrpc".
    std::string serviceDomain = "infusionsoft.com";
    // The port of the XML-RPC endpoint.
    int servicePort = 443;
    // The CRM's current endpoint form instead: "https://api.<domain>:<port>/crm/xmlrpc",
    // the API key sent in the header X-Keap-API-Key as well as first parameter
    // ("DataService.getTemporaryKey" sends it in neither place).
    bool useCurrentEndpoint = false;
    // PEM file of trusted certificate authorities; empty = the system's store.
    std::string caBundleFile;
    // Time allowed to set up a connection (TransportOptions::connectTimeout).
    std::chrono::milliseconds connectTimeout{15000};
    // Time allowed for a whole call (TransportOptions::totalTimeout).
    std::chrono::milliseconds totalTimeout{120000};
    // The limits on one answer and the idle age of a reusable connection
    // (TransportOptions says more).
    std::size_t maxResponseBytes = std::size_t{64} * 1024 * 1024;
    std::size_t maxResponseElements = 1000000;
    std::chrono::seconds reuseIdleLimit{15};
};

// A connection to one CRM account; made by Create, shared with its service objects.
class TESSARY_API clsInfusionsoftAPI : public std::enable_shared_from_this<clsInfusionsoftAPI> {
public:
    // A new connection object with no account, no request and no response.
    static std::shared_ptr<clsInfusionsoftAPI> Create();
    ~clsInfusionsoftAPI();
    clsInfusionsoftAPI(const clsInfusionsoftAPI&) = delete;
    clsInfusionsoftAPI& operator=(const clsInfusionsoftAPI&) = delete;

    // Stores the two texts unchanged for the next Connect; sends nothing.
    void SetupConnection(const std::string& p_strApplicationName, const std::string& p_strAPIKey);
    // Replaces the current request by a fresh one aimed at the account; sends nothing.
    // An application name or domain holding anything but letters, digits, '-' and '.'
    // is refused (reported; no request is left), as it could aim the call elsewhere.
    void Connect();

    // The service objects, created on first use and kept for the connection's life
    // (the same object on every call). They hold a weak reference back, so they
    // work while the connection lives; after that each call reports and returns
    // its default. nullptr only when creating one failed (reported).
    std::shared_ptr<tessary::DataService> DataService();
    std::shared_ptr<tessary::ContactService> ContactService();
    std::shared_ptr<tessary::FileService> FileService();
    std::shared_ptr<tessary::OtherService> OtherService();
    std::shared_ptr<clsHelpers> Helpers();

    // Sends one "DataService.query" on the User table (REST v2: GET
    // /oauth/connect/userinfo) and returns true only when the server answers with
    // params (a wrong key's fault or HTTP error gives false). A transport failure
    // gives false without a box; the last response is left as it was.
    bool TestConnection();

    // Stops the call in progress, from any thread: it fails with a TransportError
    // of Kind Cancelled (the operation reports it and returns its default). A call
    // started afterwards runs normally. The connection is otherwise used from one
    // thread at a time.
    void CancelCurrentCall();

    // How the last operation failed: cleared when an operation starts, set when a call it
    // sends fails (what None after a success). Read it after the operation returned, on the
    // thread that ran it or once that thread has handed the result over.
    CallFailure LastCallFailure() const;

    // Endpoint settings, used from the next Connect on.
    void SetConnectionOptions(const ConnectionOptions& options);
    // The endpoint settings in force.
    const ConnectionOptions& GetConnectionOptions() const { return options_; }
    // ConnectionOptions::serviceDomain.
    void SetServiceDomain(const std::string& domain) { options_.serviceDomain = domain; }
    // ConnectionOptions::servicePort.
    void SetServicePort(int port) { options_.servicePort = port; }
    // ConnectionOptions::caBundleFile.
    void SetCABundleFile(const std::string& path) { options_.caBundleFile = path; }
    // ConnectionOptions::useCurrentEndpoint.
    void SetUseCurrentEndpoint(bool on) { options_.useCurrentEndpoint = on; }
    // ConnectionOptions::crmInterface.
    void SetCrmInterface(CrmInterface crmInterface) { options_.crmInterface = crmInterface; }
    // ConnectionOptions::restBaseUrl.
    void SetRestBaseUrl(const std::string& url) { options_.restBaseUrl = url; }
    // ConnectionOptions::connectTimeout and totalTimeout.
    void SetTimeouts(std::chrono::milliseconds connectTimeout,
                     std::chrono::milliseconds totalTimeout);
    // ConnectionOptions::maxResponseBytes.
    void SetMaxResponseBytes(std::size_t bytes) { options_.maxResponseBytes = bytes; }

    // --- Used by the service classes; a program rarely needs them. ---

    // The stored API key; empty text on failure.
    std::string InfusionsoftAPIKey();
    // The stored application name.
    const std::string& ApplicationName() const { return applicationName_; }
    // The current request (made by Connect); nullptr before the first Connect. Once
    // a service call has been sent, a parameter holding a long text (a file's
    // contents) is replaced by a short note saying how long it was, so that the
    // connection does not keep a copy of the file until the next call.
    std::shared_ptr<RpcRequest> XMLRPC_Request();
    // The last response of a service call; nullptr before the first call.
    std::shared_ptr<const RpcResponse> XMLRPC_Response();
    // Replaces the last response.
    void XMLRPC_Response(RpcResponse response);
    // Shows the "XML RPC Error" box for the current request and the last response.
    void ShowXMLRPCError();

private:
    // The library's own access to the transport and the REST v2 translation.
    friend class ConnectionInternals;
    clsInfusionsoftAPI();
    // Connect's work; throws instead of reporting. Without keyHeader the current
    // endpoint's request carries no key header.
    void ConnectOrThrow(bool keyHeader = true);
    std::shared_ptr<detail::Transport> SharedTransport();

    std::shared_ptr<RpcRequest> request_;
    std::shared_ptr<const RpcResponse> response_;
    std::shared_ptr<tessary::DataService> dataService_;
    std::shared_ptr<tessary::ContactService> contactService_;
    std::shared_ptr<tessary::FileService> fileService_;
    std::shared_ptr<tessary::OtherService> otherService_;
    std::shared_ptr<clsHelpers> helpers_;
    std::string applicationName_;
    std::string apiKey_;
    ConnectionOptions options_;
    // Guards transport_, which CancelCurrentCall reads from another thread.
    mutable std::mutex transportMutex_;
    std::shared_ptr<detail::Transport> transport_;
    // The REST v2 translation and what it keeps (made on first use, remade when
    // the key or the base address changes).
    std::shared_ptr<detail::RestBackend> rest_;
    mutable std::mutex failureMutex_;
    CallFailure lastFailure_;
};

} // namespace tessary
