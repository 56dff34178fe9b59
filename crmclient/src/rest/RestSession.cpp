#include "rest/RestSession.h"

#include "WireText.h"
#include "rest/RecordPageParser.h"

#include <algorithm>
#include <curl/curl.h>
#include <set>

namespace tessary::detail {
namespace {

constexpr long kTooLarge = 63;  // CURLE_FILESIZE_EXCEEDED, as for XML answers
constexpr int kMostRetries = 3; // after a 429
constexpr int kLongestWaitSeconds = 30;

bool IsSuccess(long status) {
    return status >= 200 && status < 300;
}

std::string Escape(const std::string& text) {
    char* escaped = curl_easy_escape(nullptr, text.data(), static_cast<int>(text.size()));
    if (!escaped)
        throw std::bad_alloc();
    std::string out(escaped);
    curl_free(escaped);
    return out;
}

// Values in an answer: what parsing it costs grows with this far more than with
// its size, so it is held to the same limit as the XML answer's elements. Commas
// and brackets inside texts count too: a bound, not a census.
std::size_t CountValues(std::string_view body) {
    return 1 + static_cast<std::size_t>(std::count(body.begin(), body.end(), ',') +
                                        std::count(body.begin(), body.end(), '[') +
                                        std::count(body.begin(), body.end(), '{'));
}

std::string Text(const Json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// Texts go as the XML-RPC interface sends them (WireText.h): the same bytes from
// the host end up stored the same on either interface.
void CleanTexts(Json& value) {
    if (value.is_string())
        value = WireText(value.get_ref<const std::string&>());
    else if (value.is_structured())
        for (Json& item : value)
            CleanTexts(item);
}

} // namespace

std::string PathPart(const std::string& text) {
    return Escape(WireText(text));
}

std::string ErrorMessage(long status, const std::string& body) {
    const Json answer = Json::parse(body, nullptr, false);
    if (answer.is_object()) {
        const std::string message = Text(answer, "message");
        if (!message.empty()) {
            const std::string code = Text(answer, "status");
            return code.empty() ? message : code + ": " + message;
        }
        const auto fault = answer.find("fault");
        if (fault != answer.end() && fault->is_object()) {
            const std::string text = Text(*fault, "faultstring");
            const auto detail = fault->find("detail");
            const std::string code = detail != fault->end() && detail->is_object()
                                         ? Text(*detail, "errorcode")
                                         : std::string();
            if (!text.empty() || !code.empty())
                return code.empty() ? text : code + ": " + text;
        }
    }
    std::string message = "HTTP " + std::to_string(status);
    if (!body.empty())
        message += ": " + body.substr(0, 200);
    return message;
}

RestSession::RestSession(std::shared_ptr<Transport> transport, std::string baseUrl, std::string key,
                         TransportOptions options)
    : transport_(std::move(transport)), baseUrl_(std::move(baseUrl)), key_(std::move(key)),
      options_(std::move(options)), buffers_(std::make_unique<PageBuffers>()) {
    while (!baseUrl_.empty() && baseUrl_.back() == '/')
        baseUrl_.pop_back();
}

RestSession::~RestSession() = default;

std::string RestSession::Url(const std::string& path, const QueryParams& query) const {
    std::string url = baseUrl_ + path;
    char separator = '?';
    for (const auto& [name, value] : query) {
        url += separator + Escape(name) + '=' + Escape(WireText(value));
        separator = '&';
    }
    return url;
}

HttpReply RestSession::SendWithKey(HttpRequest& request) {
    const auto send = [&](KeyForm form) {
        HttpRequest keyed = request;
        keyed.headers.push_back(form == KeyForm::Bearer ? "Authorization: Bearer " + key_
                                                        : "X-Keap-API-Key: " + key_);
        return transport_->Send(keyed);
    };
    if (keyForm_ != KeyForm::Untried)
        return send(keyForm_);
    // The gateway refuses a key in a form it does not take before the API runs,
    // so sending the request once more in the other form cannot carry it out twice.
    HttpReply reply = send(KeyForm::ApiKeyHeader);
    if (reply.status != 401) {
        keyForm_ = KeyForm::ApiKeyHeader;
        return reply;
    }
    reply = send(KeyForm::Bearer);
    if (reply.status != 401)
        keyForm_ = KeyForm::Bearer;
    return reply;
}

std::chrono::milliseconds RestSession::RetryDelay(const HttpReply& reply, int attempt) const {
    using std::chrono::seconds;
    const std::string& after = reply.retryAfter;
    long wait = -1;
    if (!after.empty() && after.find_first_not_of("0123456789") == std::string::npos) {
        wait = after.size() > 6 ? kLongestWaitSeconds : std::stol(after);
    } else if (!after.empty()) {
        const std::time_t at = curl_getdate(after.c_str(), nullptr);
        if (at != -1)
            wait = std::max<long>(
                0, static_cast<long>(at - std::chrono::system_clock::to_time_t(transport_->Now())));
    }
    if (wait < 0)
        wait = 1L << attempt; // 1 s, 2 s, 4 s
    return seconds(std::min<long>(wait, kLongestWaitSeconds));
}

HttpReply RestSession::Exchange(HttpRequest request) {
    request.headers.push_back("Accept: application/json");
    request.options = &options_;
    for (int attempt = 0;; ++attempt) {
        HttpReply reply = SendWithKey(request);
        // A 429 comes from the gateway before the API ran: safe to send again.
        if (reply.status != 429 || attempt == kMostRetries)
            return reply;
        transport_->Wait(RetryDelay(reply, attempt));
    }
}

void RestSession::Check(const HttpReply& reply, const std::string& url) const {
    if (!IsSuccess(reply.status))
        throw RestHttpError(reply.status, ErrorMessage(reply.status, reply.body));
    if (CountValues(reply.body) > options_.maxResponseElements)
        throw TransportError(kTooLarge,
                             "The answer held more than " +
                                 std::to_string(options_.maxResponseElements) +
                                 " JSON values, the limit for one answer (" + url + ")",
                             TransportError::Kind::TooLarge, true);
}

Json RestSession::Read(const HttpReply& reply, const std::string& url) const {
    Check(reply, url);
    if (reply.body.empty())
        return Json();
    Json json =
        Json::parse(reply.body.data(), reply.body.data() + reply.body.size(), nullptr, false);
    if (json.is_discarded())
        throw RestUnreadableAnswer("The answer from " + url + " is no JSON");
    return json;
}

Json RestSession::Call(HttpMethod method, const std::string& path, const QueryParams& query,
                       const Json* body) {
    HttpRequest request;
    request.method = method;
    request.url = Url(path, query);
    if (body) {
        Json clean = *body;
        CleanTexts(clean);
        request.text = clean.dump();
        request.contentType = "application/json";
    }
    const std::string url = request.url;
    return Read(Exchange(std::move(request)), url);
}

std::optional<Json> RestSession::CallIfFound(HttpMethod method, const std::string& path,
                                             const QueryParams& query, const Json* body) {
    try {
        return Call(method, path, query, body);
    } catch (const RestHttpError& e) {
        if (e.Status() == 404)
            return std::nullopt;
        throw;
    }
}

Json RestSession::PostForm(const std::string& path, const QueryParams& query,
                           std::vector<FormPart> form) {
    HttpRequest request;
    request.method = HttpMethod::Post;
    request.url = Url(path, query);
    for (FormPart& part : form) {
        part.text = WireText(part.text);
        part.fileName = WireText(part.fileName);
    }
    request.form = std::move(form);
    const std::string url = request.url;
    return Read(Exchange(std::move(request)), url);
}

HttpReply RestSession::GetRaw(const std::string& path) {
    HttpRequest request;
    request.method = HttpMethod::Get;
    request.url = Url(path, {});
    HttpReply reply = Exchange(std::move(request));
    if (!IsSuccess(reply.status))
        throw RestHttpError(reply.status, ErrorMessage(reply.status, reply.body));
    return reply;
}

std::string RestSession::FetchPage(const std::string& path, QueryParams query, int pageSize,
                                   const std::string& token) {
    query.emplace_back("page_size", std::to_string(pageSize));
    if (!token.empty())
        query.emplace_back("page_token", token);
    HttpRequest request;
    request.method = HttpMethod::Get;
    request.url = Url(path, query);
    const std::string url = request.url;
    HttpReply reply = Exchange(std::move(request));
    Check(reply, url);
    return std::move(reply.body);
}

Json RestSession::ListOf(const std::string& body, const std::string& path,
                         const std::string& listKey, std::string& next) {
    Json answer = Json::parse(body.data(), body.data() + body.size(), nullptr, false);
    next.clear();
    if (!answer.is_object())
        throw RestUnreadableAnswer("The list from " + path + " is no JSON object");
    if (const auto it = answer.find("next_page_token"); it != answer.end() && it->is_string())
        next = it->get<std::string>();
    const auto records = answer.find(listKey);
    if (records == answer.end() || records->is_null())
        return Json::array();
    if (!records->is_array())
        throw RestUnreadableAnswer("The list from " + path + " holds no array '" + listKey + "'");
    return std::move(*records);
}

std::optional<bool> RestSession::WalkTo(const std::string& path, const QueryParams& query,
                                        int pageSize, int index, const PageReader& read) {
    std::string list = path + '\n' + std::to_string(pageSize);
    for (const auto& [name, value] : query)
        list += '\n' + name + '=' + value;
    if (list != walkedList_) {
        walkedList_ = list;
        walkedTokens_.assign(1, std::string());
        walkedToTheEnd_ = false;
    }
    const auto wanted = static_cast<std::size_t>(index);
    if (walkedToTheEnd_ && wanted >= walkedTokens_.size())
        return std::nullopt;
    for (auto at = std::min(wanted, walkedTokens_.size() - 1);; ++at) {
        std::string next;
        const std::size_t records = read(FetchPage(path, query, pageSize, walkedTokens_[at]), next);
        const bool seen =
            std::find(walkedTokens_.begin(), walkedTokens_.end(), next) != walkedTokens_.end();
        const bool ends = next.empty() || seen || records == 0;
        if (walkedTokens_.size() == at + 1) {
            if (ends)
                walkedToTheEnd_ = true;
            else
                walkedTokens_.push_back(next);
        }
        if (at == wanted)
            return !ends;
        if (ends)
            return std::nullopt;
    }
}

Json RestSession::Page(const std::string& path, const QueryParams& query,
                       const std::string& listKey, int pageSize, int index, bool& more) {
    Json records = Json::array();
    const auto found =
        WalkTo(path, query, pageSize, index, [&](const std::string& body, std::string& next) {
            records = ListOf(body, path, listKey, next);
            return records.size();
        });
    more = found.value_or(false);
    return found ? std::move(records) : Json::array();
}

void RestSession::EachPage(const std::string& path, const QueryParams& query,
                           const std::string& listKey, int pageSize,
                           const std::function<bool(Json& records)>& take) {
    std::set<std::string> seen;
    std::string token;
    for (;;) {
        std::string next;
        Json records = ListOf(FetchPage(path, query, pageSize, token), path, listKey, next);
        if (records.empty() || !take(records) || next.empty() || !seen.insert(next).second)
            return;
        token = next;
    }
}

} // namespace tessary::detail
