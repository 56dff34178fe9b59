#include "SandboxProcess.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <curl/curl.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace sandbox {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kReadyTimeout = std::chrono::seconds(30);
constexpr auto kStopTimeout = std::chrono::seconds(5);
const std::string kReadyPrefix = "SANDBOX_READY ";

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string makeTempDir() {
    std::string pattern = (fs::temp_directory_path() / "pellwick-sandbox-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("sandbox: cannot create a temp folder: " +
                                 std::string(std::strerror(errno)));
    return pattern;
}

size_t collectBody(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

struct CurlGlobal {
    CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
};

// A text member of a log entry; empty when absent or null.
std::string text(const nlohmann::json& entry, const char* name) {
    const auto found = entry.find(name);
    return found != entry.end() && found->is_string() ? found->get<std::string>() : "";
}

LoggedCall loggedCall(const nlohmann::json& entry) {
    LoggedCall call;
    call.interface = text(entry, "interface");
    call.method = text(entry, "method");
    call.connection = entry.value("connection", 0L);
    call.path = text(entry, "path");
    call.keyInHeader = entry.value("key_in_header", false);
    call.fault = text(entry, "fault");
    for (const auto& p : entry.value("params", nlohmann::json::array()))
        call.params.push_back({p.value("type", ""), p.value("value", nlohmann::json())});
    call.httpMethod = text(entry, "http_method");
    call.query = entry.value("query", nlohmann::json::object());
    call.filter = text(entry, "filter");
    const auto mask = entry.find("update_mask");
    if (mask != entry.end() && mask->is_array())
        call.updateMask = mask->get<std::vector<std::string>>();
    call.body = entry.value("body", nlohmann::json());
    const auto status = entry.find("status");
    call.status = status != entry.end() && status->is_number_integer() ? status->get<int>() : 0;
    call.keyForm = text(entry, "key_form");
    return call;
}

} // namespace

SandboxProcess::SandboxProcess(SandboxOptions options) {
    static CurlGlobal curlGlobal;
    tempDir_ = makeTempDir();
    stateDir_ = tempDir_ + "/state";
    const std::string errPath = tempDir_ + "/stderr.txt";

    // -B: no bytecode caches written into the source tree.
    std::vector<std::string> args = {PELLWICK_PYTHON3, "-B", PELLWICK_SANDBOX_SCRIPT};
    const std::vector<std::string> fixedArgs = {"--state",   stateDir_,      "--port", "0",
                                                "--api-key", options.apiKey, "--app",  options.app,
                                                "--seed",    options.seed};
    args.insert(args.end(), fixedArgs.begin(), fixedArgs.end());
    args.insert(args.end(), options.extraArgs.begin(), options.extraArgs.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        fs::remove_all(tempDir_);
        throw std::runtime_error("sandbox: pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    stdoutFd_ = out[0];
    if (rc != 0) {
        pid_ = -1;
        stop();
        throw std::runtime_error(std::string("sandbox: cannot start python3: ") +
                                 std::strerror(rc));
    }

    std::string buffer;
    std::string failure;
    const auto deadline = Clock::now() + kReadyTimeout;
    while (true) {
        const auto newline = buffer.find('\n');
        if (newline != std::string::npos) {
            const std::string line = buffer.substr(0, newline);
            if (line.rfind(kReadyPrefix, 0) == 0) {
                try {
                    const auto ready = nlohmann::json::parse(line.substr(kReadyPrefix.size()));
                    port_ = ready.at("port").get<int>();
                    caFile_ = ready.at("ca").get<std::string>();
                    logFile_ = ready.at("log").get<std::string>();
                } catch (const nlohmann::json::exception& e) {
                    failure = std::string("bad ready line: ") + e.what();
                }
                break;
            }
            buffer.erase(0, newline + 1);
            continue;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            failure = "no ready line within 30 s";
            break;
        }
        pollfd pfd{stdoutFd_, POLLIN, 0};
        const int ready = poll(&pfd, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue;
        char chunk[4096];
        const ssize_t n = read(stdoutFd_, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failure = "the sandbox exited before it was ready";
            break;
        }
        buffer.append(chunk, static_cast<size_t>(n));
    }
    if (!failure.empty()) {
        stop();
        const std::string err = readFile(errPath);
        fs::remove_all(tempDir_);
        throw std::runtime_error("sandbox: " + failure + "\n" + err);
    }
}

SandboxProcess::~SandboxProcess() {
    stop();
    std::error_code ignored;
    fs::remove_all(tempDir_, ignored);
}

void SandboxProcess::stop() noexcept {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        const auto deadline = Clock::now() + kStopTimeout;
        bool gone = false;
        while (Clock::now() < deadline) {
            const pid_t r = waitpid(pid_, nullptr, WNOHANG);
            if (r == pid_ || (r < 0 && errno != EINTR)) {
                gone = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!gone) {
            kill(pid_, SIGKILL);
            while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
        pid_ = -1;
    }
    if (stdoutFd_ >= 0) {
        close(stdoutFd_);
        stdoutFd_ = -1;
    }
}

std::vector<LoggedCall> SandboxProcess::calls() const {
    std::vector<LoggedCall> result;
    std::ifstream in(logFile_);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        nlohmann::json entry;
        try {
            entry = nlohmann::json::parse(line);
        } catch (const nlohmann::json::parse_error&) {
            if (in.eof())
                break; // the last line is still being written
            throw std::runtime_error("sandbox: unreadable call log line: " + line);
        }
        result.push_back(loggedCall(entry));
    }
    return result;
}

void SandboxProcess::adminPost(const std::string& path, const nlohmann::json& json) {
    const std::string body = json.dump();
    CURL* curl = curl_easy_init();
    if (curl == nullptr)
        throw std::runtime_error("sandbox: curl_easy_init failed");
    const std::string url = "https://localhost:" + std::to_string(port_) + path;
    std::string answer;
    char error[CURL_ERROR_SIZE] = {};
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_CAINFO, caFile_.c_str());
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collectBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
    const CURLcode rc = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    if (rc != CURLE_OK)
        throw std::runtime_error("sandbox: admin call " + path +
                                 " failed: " + (error[0] ? error : curl_easy_strerror(rc)));
    if (status != 200)
        throw std::runtime_error("sandbox: admin call " + path + " answered " +
                                 std::to_string(status) + ": " + answer);
}

void SandboxProcess::clearLog() {
    adminPost("/admin/clear-log", nlohmann::json::object());
}

void SandboxProcess::setFault(const std::string& mode, int count, int delayMs) {
    setFault(FaultOptions{.mode = mode, .count = count, .delayMs = delayMs});
}

void SandboxProcess::setFault(const FaultOptions& fault) {
    nlohmann::json body = {{"mode", fault.mode},
                           {"count", fault.count},
                           {"delay_ms", fault.delayMs},
                           {"skip", fault.skip}};
    if (!fault.method.empty())
        body["method"] = fault.method;
    if (!fault.table.empty())
        body["table"] = fault.table;
    if (fault.retryAfter)
        body["retry_after"] = *fault.retryAfter;
    adminPost("/admin/fault", body);
}

void SandboxProcess::clearFault() {
    setFault("none");
}

void SandboxProcess::setRest(const RestSettings& settings) {
    nlohmann::json body = nlohmann::json::object();
    if (settings.keyHeader)
        body["key_header"] = *settings.keyHeader;
    if (settings.unauthorized)
        body["unauthorized"] = *settings.unauthorized;
    if (settings.limited)
        body["limited"] = *settings.limited;
    if (settings.fileData)
        body["file_data"] = *settings.fileData;
    if (settings.defaultStage)
        body["default_stage"] = *settings.defaultStage;
    if (settings.keyUser)
        body["key_user"] = *settings.keyUser;
    adminPost("/admin/rest", body);
}

void SandboxProcess::resetRest() {
    adminPost("/admin/rest", {{"key_header", "both"},
                              {"unauthorized", "fault"},
                              {"limited", false},
                              {"file_data", "raw"},
                              {"default_stage", nullptr},
                              {"key_user", nullptr}});
}

std::vector<std::string> RestOperationsFor(const std::string& method, const std::string& table) {
    // What the library sends for each call the program makes (crmclient/docs/REST-V2.md).
    static const std::map<std::pair<std::string, std::string>, std::vector<std::string>> map = {
        {{"DataService.query", "Contact"}, {"GET /contacts", "GET /contacts/{id}"}},
        {{"DataService.query", "Lead"}, {"GET /opportunities", "GET /opportunities/{id}"}},
        {{"DataService.query", "Stage"}, {"GET /opportunities/stages"}},
        {{"DataService.query", "ActionSequence"}, {"GET /campaigns"}},
        {{"DataService.query", "ContactAction"}, {"GET /contacts/{id}/notes", "GET /notes"}},
        {{"DataService.query", "FileBox"}, {"GET /files"}},
        // The connection test's query of one user is a read of the key's own user.
        {{"DataService.query", "User"}, {"GET /users", "GET /oauth/connect/userinfo"}},
        {{"DataService.add", "Contact"}, {"POST /contacts"}},
        {{"DataService.add", "Lead"}, {"POST /opportunities"}},
        {{"DataService.add", "ContactAction"}, {"POST /contacts/{id}/notes"}},
        {{"DataService.update", "Contact"}, {"PATCH /contacts/{id}"}},
        {{"DataService.update", "Lead"}, {"PATCH /opportunities/{id}"}},
        {{"ContactService.add", ""}, {"POST /contacts"}},
        {{"ContactService.runActionSequence", ""},
         {"POST /campaigns/{id}/sequences/{id}:addContacts"}},
        {{"FileService.uploadFile", ""}, {"POST /files"}},
        {{"FileService.replaceFile", ""}, {"POST /files/{id}"}},
    };
    const auto found = map.find({method, table});
    return found == map.end() ? std::vector<std::string>{} : found->second;
}

bool IsCallOf(const LoggedCall& call, const std::string& method, const std::string& table) {
    if (call.interface == "rest") {
        const auto operations = RestOperationsFor(method, table);
        return std::find(operations.begin(), operations.end(), call.method) != operations.end();
    }
    return call.method == method &&
           (table.empty() || (call.params.size() > 1 && call.params[1].value == table));
}

} // namespace sandbox
