#pragma once

// Runs the CRM sandbox (sandbox/crm_sandbox.py) as a child process for tests:
// a fresh state folder per instance, the ready line awaited, the call log parsed,
// and fault injection switched through the sandbox's admin endpoint.

#include <nlohmann/json.hpp>
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

// One XML-RPC call received. connection numbers the TLS connection it came on
// (1, 2, ... in accept order); path is "/api/xmlrpc" or "/crm/xmlrpc".
struct LoggedCall {
    std::string method;
    long connection = 0;
    std::string path;
    std::vector<LoggedParam> params;
    bool keyInHeader = false; // the X-Keap-API-Key header was present
    std::string fault;        // fault-injection mode applied to this call, empty if none
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

    // Every call logged so far, in arrival order. A line still being written is skipped.
    std::vector<LoggedCall> calls() const;
    // Empties the call log.
    void clearLog();
    // Makes the next count calls (-1: every call until cleared) misbehave: mode is one
    // of "delay", "http500", "malformed", "notxml", "close", "drop", "hang" (or "none").
    // delayMs waits before answering (the delay mode's length; default 1000 ms there).
    void setFault(const std::string& mode, int count = -1, int delayMs = 0);
    void clearFault();

private:
    void adminPost(const std::string& path, const std::string& body);
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
