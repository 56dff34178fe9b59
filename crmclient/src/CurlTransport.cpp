#include "Transport.h"

#include <curl/curl.h>
#include <mutex>
#include <string>

namespace tessary::detail {
namespace {

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// What one call's callbacks share.
struct CallState {
    std::string* answer;
    std::size_t cap;
    bool overflow = false;
    CallBody* request = nullptr;
    int sendings = 0;
    bool resendRefused = false;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
    auto* state = static_cast<CallState*>(user);
    const size_t bytes = size * count;
    if (state->answer->size() + bytes > state->cap) {
        state->overflow = true;
        return 0; // makes curl abort the transfer with CURLE_WRITE_ERROR
    }
    state->answer->append(data, bytes);
    return bytes;
}

size_t ReadBody(char* buffer, size_t size, size_t count, void* user) {
    return static_cast<CallState*>(user)->request->Read(buffer, size * count);
}

// libcurl calls this right before it sends the request on a connection. When a
// reused connection dies without an answer, libcurl sends the same request again
// on a new one; but the server may have received and carried out the call on the
// first (a record added twice), so a second sending within one call is stopped.
int BeforeSending(void* user, char*, char*, int, int) {
    auto* state = static_cast<CallState*>(user);
    if (++state->sendings == 1)
        return CURL_PREREQFUNC_OK;
    state->resendRefused = true;
    return CURL_PREREQFUNC_ABORT;
}

// Pieces of a streamed body handed to libcurl at a time.
constexpr long kUploadBuffer = 256 * 1024;

// Words for the user: what went wrong, then curl's own detail.
std::string Explain(CURLcode code, const char* detail, const std::string& url,
                    const TransportOptions& options, const CallState& state) {
    std::string what;
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        what = "The server's name could not be resolved";
        break;
    case CURLE_COULDNT_CONNECT:
        what = "The server could not be reached (connection refused or no route)";
        break;
    case CURLE_OPERATION_TIMEDOUT:
        what = "The server did not answer in time (connect time-out " +
               std::to_string(options.connectTimeout.count()) + " ms, call time-out " +
               std::to_string(options.totalTimeout.count()) + " ms)";
        break;
    case CURLE_PEER_FAILED_VERIFICATION:
        what = "The server's certificate could not be verified (not signed by a trusted "
               "authority, or issued for another name)";
        break;
    case CURLE_SSL_CONNECT_ERROR:
        what = "The secure (TLS) connection could not be set up";
        break;
    case CURLE_SSL_CACERT_BADFILE:
        what = "The certificate authority file '" + options.caBundleFile + "' could not be read";
        break;
    case CURLE_FILESIZE_EXCEEDED:
        what = "The answer was larger than the limit of " +
               std::to_string(options.maxResponseBytes) + " bytes";
        break;
    case CURLE_GOT_NOTHING:
        what = "The server closed the connection without answering; the call was not sent "
               "again, as the server may have carried it out";
        break;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
        what = "The connection to the server broke off before the answer was complete";
        break;
    default:
        what = "The call to the server failed";
        break;
    }
    if (state.overflow)
        what = "The answer was larger than the limit of " +
               std::to_string(options.maxResponseBytes) + " bytes";
    if (state.resendRefused)
        what = "The connection to the server broke off after the call was sent; the call was not "
               "sent again, as the server may have carried it out";
    std::string text = what + " (" + url + "): ";
    text += (detail && *detail) ? detail : curl_easy_strerror(code);
    return text;
}

class CurlTransport final : public Transport {
public:
    CurlTransport() {
        InitCurlOnce();
        handle_ = curl_easy_init();
        if (!handle_)
            throw TransportError(CURLE_FAILED_INIT, "The HTTP client could not be started");
    }
    ~CurlTransport() override {
        if (handle_)
            curl_easy_cleanup(handle_);
    }
    CurlTransport(const CurlTransport&) = delete;
    CurlTransport& operator=(const CurlTransport&) = delete;

    HttpReply Post(const HttpPost& post) override {
        const TransportOptions defaults;
        const TransportOptions& options = post.options ? *post.options : defaults;

        // Options are set anew per call but on the same handle, so curl keeps its
        // connection cache and reuses the TLS connection when nothing relevant changed.
        curl_easy_reset(handle_);
        HttpReply reply;
        CallState state{&reply.body, options.maxResponseBytes};
        state.request = post.body;
        char errorBuffer[CURL_ERROR_SIZE] = {0};

        curl_slist* headers = nullptr;
        headers = curl_slist_append(headers, "Content-Type: text/xml; charset=utf-8");
        headers = curl_slist_append(headers, "Expect:");
        for (const std::string& line : post.headers)
            headers = curl_slist_append(headers, line.c_str());

        curl_easy_setopt(handle_, CURLOPT_URL, post.url.c_str());
        curl_easy_setopt(handle_, CURLOPT_PROTOCOLS_STR, "https");
        curl_easy_setopt(handle_, CURLOPT_POST, 1L);
        if (const std::string* whole = post.body->Whole()) {
            curl_easy_setopt(handle_, CURLOPT_POSTFIELDS, whole->data());
        } else {
            curl_easy_setopt(handle_, CURLOPT_READFUNCTION, &ReadBody);
            curl_easy_setopt(handle_, CURLOPT_READDATA, &state);
            curl_easy_setopt(handle_, CURLOPT_UPLOAD_BUFFERSIZE, kUploadBuffer);
        }
        curl_easy_setopt(handle_, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(post.body->Size()));
        curl_easy_setopt(handle_, CURLOPT_PREREQFUNCTION, &BeforeSending);
        curl_easy_setopt(handle_, CURLOPT_PREREQDATA, &state);
        curl_easy_setopt(handle_, CURLOPT_MAXAGE_CONN,
                         static_cast<long>(options.reuseIdleLimit.count()));
        curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(handle_, CURLOPT_USERAGENT, "tessary/5.0");
        curl_easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(handle_, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(handle_, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!options.caBundleFile.empty())
            curl_easy_setopt(handle_, CURLOPT_CAINFO, options.caBundleFile.c_str());
        curl_easy_setopt(handle_, CURLOPT_CONNECTTIMEOUT_MS,
                         static_cast<long>(options.connectTimeout.count()));
        curl_easy_setopt(handle_, CURLOPT_TIMEOUT_MS,
                         static_cast<long>(options.totalTimeout.count()));
        curl_easy_setopt(handle_, CURLOPT_MAXFILESIZE_LARGE,
                         static_cast<curl_off_t>(options.maxResponseBytes));
        curl_easy_setopt(handle_, CURLOPT_ACCEPT_ENCODING, "");
        curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, &WriteBody);
        curl_easy_setopt(handle_, CURLOPT_WRITEDATA, &state);
        curl_easy_setopt(handle_, CURLOPT_ERRORBUFFER, errorBuffer);

        const CURLcode code = curl_easy_perform(handle_);
        curl_easy_setopt(handle_, CURLOPT_ERRORBUFFER, nullptr);
        curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, nullptr);
        curl_slist_free_all(headers);
        if (code != CURLE_OK)
            throw TransportError(code, Explain(code, errorBuffer, post.url, options, state));
        curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &reply.status);
        return reply;
    }

private:
    CURL* handle_ = nullptr;
};

} // namespace

std::shared_ptr<Transport> MakeCurlTransport() {
    return std::make_shared<CurlTransport>();
}

} // namespace tessary::detail
