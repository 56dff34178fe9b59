#pragma once

// Runs the CRM sandbox (sandbox/crm_sandbox.py) as a child process for tests:
// a fresh state folder per instance, the ready line awaited, the call log parsed,
// and fault injection and the REST interface's settings switched through the
// sandbox's admin endpoints.

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace sandbox {

// How to start the sandbox; extraArgs are appended to its command line
// (for example {"--memory", "--stages", "2500"}).
struct SandboxOptions {
    std::string apiKey = "test-key";
    std::string app = "demo";
    std::string seed = "demo";
    std::vector<std::string> extraArgs;
};

// One XML-RPC parameter as it arrived: its wire type ("string" also for a bare
// <value>, "i4" or "int", "boolean", "double", "dateTime.iso8601", "base64",
// "struct", "array") and its value. A struct's value maps member names to
// {"type", "value"} objects, an array's value is a list of them; dates and
// base64 keep their wire text.
struct LoggedParam {
    std::string type;
    nlohmann::json value;
};

// One call received, XML-RPC or REST. connection numbers the TLS connection it came
// on (1, 2, ... in accept order). For XML-RPC, method is the method name, path
// "/api/xmlrpc" or "/crm/xmlrpc", and params the parameters. For REST, method is the
// operation with its path ids written {id} ("POST /contacts/{id}/notes"), path the
// request path ("/crm/rest/v2/contacts/51/notes"), and the REST members are filled.
struct LoggedCall {
    std::string interface; // "xmlrpc" or "rest"
    std::string method;
    long connection = 0;
    std::string path;
    std::vector<LoggedParam> params;
    bool keyInHeader = false; // the X-Keap-API-Key header was present
    std::string fault;        // fault-injection mode applied to this call, empty if none

    // REST only.
    std::string httpMethod;              // "GET", "POST", "PATCH", "DELETE"
    nlohmann::json query;                // query parameter -> list of values, decoded
    std::string filter;                  // the decoded filter parameter, empty if none
    std::vector<std::string> updateMask; // update_mask, repeated or comma-joined
    nlohmann::json body; // JSON body; for multipart {"parts": [{"name", "filename", "size"}
                         // or {"name", "value"}]}; null when none
    int status = 0;      // HTTP status sent, 0 when none (dropped, hung)
    std::string keyForm; // "x-keap-api-key", "bearer", "both" or "none"
};

// The REST v2 operations, as the call log names them, that do what an XML-RPC method does
// on a table (the table only for DataService's methods): "DataService.add" on "Lead" is
// "POST /opportunities". Empty when there is none.
std::vector<std::string> RestOperationsFor(const std::string& method,
                                           const std::string& table = {});
// Whether a logged call, over either interface, is that XML-RPC method (on that table).
bool IsCallOf(const LoggedCall& call, const std::string& method, const std::string& table = {});

// A fault for the next calls (setFault). mode: "delay", "http500", "http429", "fault"
// (the server refuses the call), "malformed", "notxml", "close", "drop",
// "commit_then_500", "late", "hang" or "none". count -1: every matching call until
// cleared. delayMs: wait before misbehaving (delay and late: the delay, default 1000; late waits
// after carrying the call out). skip: let that many matching calls through first. method: only
// calls of that XML-RPC method or REST operation ("POST /contacts"); table: only XML-RPC calls
// naming that table. retryAfter: the Retry-After seconds of http429 (none if unset).
// Name the type when passing one: setFault(sandbox::FaultOptions{.mode = "late"}).
struct FaultOptions {
    std::string mode = "none";
    int count = -1;
    int delayMs = 0;
    int skip = 0;
    std::string method{};
    std::string table{};
    std::optional<int> retryAfter = std::nullopt;
};

// REST interface settings (setRest); unset members stay as they are.
// keyHeader: "both", "x-keap-api-key" or "bearer" (which key form is accepted);
// unauthorized: "fault" (gateway envelope, oauth.v2.InvalidAccessToken) or "error"
// (the API's Error envelope) for 401; limited: every call but userinfo answers 403;
// fileData: "raw" or "base64" for GET /files/{id}:data; defaultStage: what the
// application configuration names as default stage ("" none); keyUser: the key's user.
struct RestSettings {
    std::optional<std::string> keyHeader = std::nullopt;
    std::optional<std::string> unauthorized = std::nullopt;
    std::optional<bool> limited = std::nullopt;
    std::optional<std::string> fileData = std::nullopt;
    std::optional<std::string> defaultStage = std::nullopt;
    std::optional<int> keyUser = std::nullopt;
};

class SandboxProcess {
public:
    // Starts the sandbox on a free loopback port and waits (at most 30 s) for its
    // ready line. Throws std::runtime_error carrying the sandbox's stderr on failure.
    explicit SandboxProcess(SandboxOptions options = {});
    // Stops the process (SIGTERM, then SIGKILL after 5 s) and removes the state folder.
    ~SandboxProcess();

    SandboxProcess(const SandboxProcess&) = delete;
    SandboxProcess& operator=(const SandboxProcess&) = delete;

    int port() const { return port_; }
    std::string caFile() const { return caFile_; }
    std::string logFile() const { return logFile_; }
    std::string stateDir() const { return stateDir_; }
    // "<app>.localhost": the host name libcurl clients use (it resolves it to loopback).
    std::string hostFor(const std::string& app) const { return app + ".localhost"; }
    // "https://<host>:PORT/crm/rest/v2": the REST v2 base address.
    std::string restUrl(const std::string& host = "localhost") const {
        return "https://" + host + ":" + std::to_string(port_) + "/crm/rest/v2";
    }

    // Every call logged so far, in arrival order. A line still being written is skipped.
    std::vector<LoggedCall> calls() const;
    // Empties the call log.
    void clearLog();
    // Makes the next count calls (-1: every call until cleared) misbehave: mode as in
    // FaultOptions. delayMs waits before answering (the delay mode's length; default
    // 1000 ms there). Throws std::runtime_error when the sandbox refuses the options.
    void setFault(const std::string& mode, int count = -1, int delayMs = 0);
    void setFault(const FaultOptions& fault);
    void clearFault();
    // Changes the REST interface's settings; resetRest() restores every default.
    void setRest(const RestSettings& settings);
    void resetRest();

private:
    void adminPost(const std::string& path, const nlohmann::json& body);
    void stop() noexcept;

    pid_t pid_ = -1;
    int stdoutFd_ = -1;
    int port_ = 0;
    std::string caFile_;
    std::string logFile_;
    std::string stateDir_;
    std::string tempDir_;
};

} // namespace sandbox
