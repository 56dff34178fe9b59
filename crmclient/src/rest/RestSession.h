#pragma once
// The REST API's HTTP side for one connection: the key header (and the one
// fallback to a bearer token on 401), JSON in and out, both error envelopes,
// 429 waits, and list pages walked by their tokens (the tokens of the last list
// walked are kept, so reading pages 0, 1, 2 in turn costs one request each).

#include "Transport.h"
#include "rest/RestIds.h"

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tessary::detail {

class PageBuffers;

using QueryParams = std::vector<std::pair<std::string, std::string>>;

// An answer other than 2xx: its status and the server's message.
class RestHttpError : public std::runtime_error {
public:
    RestHttpError(long status, const std::string& message)
        : std::runtime_error(message), status_(status) {}
    long Status() const { return status_; }

private:
    long status_;
};

// A 2xx answer that is no JSON.
class RestUnreadableAnswer : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The text as one path segment (percent-encoded).
std::string PathPart(const std::string& text);

// The message of an error answer, from the API's envelope ("STATUS: message"),
// the gateway's ("errorcode: faultstring") or else "HTTP <status>" and the
// body's first 200 bytes.
std::string ErrorMessage(long status, const std::string& body);

class RestSession {
public:
    RestSession(std::shared_ptr<Transport> transport, std::string baseUrl, std::string key,
                TransportOptions options);
    ~RestSession();
    RestSession(const RestSession&) = delete;
    RestSession& operator=(const RestSession&) = delete;

    // The answer's JSON (null when it has none); throws RestHttpError for a status
    // other than 2xx.
    Json Call(HttpMethod method, const std::string& path, const QueryParams& query = {},
              const Json* body = nullptr);
    // The same, with std::nullopt for 404.
    std::optional<Json> CallIfFound(HttpMethod method, const std::string& path,
                                    const QueryParams& query = {}, const Json* body = nullptr);
    // A multipart/form-data POST.
    Json PostForm(const std::string& path, const QueryParams& query, std::vector<FormPart> form);
    // A 2xx answer as it came (a file's contents).
    HttpReply GetRaw(const std::string& path);

    // Reads one page's answer: keeps its records, sets `next` to the next page's
    // token and returns how many records it held.
    using PageReader = std::function<std::size_t(const std::string& body, std::string& next)>;
    // Walks the list at `path` in pages of `pageSize` to page `index` (from 0), from
    // the kept tokens; `read` has read that page last. Whether another page follows;
    // std::nullopt when the list ends before that page.
    std::optional<bool> WalkTo(const std::string& path, const QueryParams& query, int pageSize,
                               int index, const PageReader& read);
    // Page `index` (from 0) of the list at `path` in pages of `pageSize`: the
    // records under `listKey`; `more` says whether another page follows.
    Json Page(const std::string& path, const QueryParams& query, const std::string& listKey,
              int pageSize, int index, bool& more);
    // Hands every page's records to `take` in turn until it returns false or the
    // list ends.
    void EachPage(const std::string& path, const QueryParams& query, const std::string& listKey,
                  int pageSize, const std::function<bool(Json& records)>& take);

    Transport& Wire() { return *transport_; }
    // The list page parser's buffers, kept for the connection.
    PageBuffers& Buffers() { return *buffers_; }

private:
    std::string Url(const std::string& path, const QueryParams& query) const;
    HttpReply Exchange(HttpRequest request);
    HttpReply SendWithKey(HttpRequest& request);
    std::chrono::milliseconds RetryDelay(const HttpReply& reply, int attempt) const;
    // Throws for an error answer or one over the limits.
    void Check(const HttpReply& reply, const std::string& url) const;
    Json Read(const HttpReply& reply, const std::string& url) const;
    std::string FetchPage(const std::string& path, QueryParams query, int pageSize,
                          const std::string& token);
    static Json ListOf(const std::string& body, const std::string& path, const std::string& listKey,
                       std::string& next);

    std::shared_ptr<Transport> transport_;
    std::string baseUrl_;
    std::string key_;
    TransportOptions options_;
    enum class KeyForm { Untried, ApiKeyHeader, Bearer } keyForm_ = KeyForm::Untried;
    // The last list walked: its path, query and page size, and the token of each
    // page reached (the first page's is empty).
    std::string walkedList_;
    std::vector<std::string> walkedTokens_;
    bool walkedToTheEnd_ = false; // the last token's page ended the list
    std::unique_ptr<PageBuffers> buffers_;
};

} // namespace tessary::detail
