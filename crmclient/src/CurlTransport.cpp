#include "Transport.h"

#include <algorithm>
#include <curl/curl.h>
#include <memory>
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
    const Transport* transport = nullptr;
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
    std::string& answer = *state->answer;
    const std::size_t needed = answer.size() + bytes + kAnswerPadding;
    if (answer.capacity() < needed)
        answer.reserve(std::max(needed, 2 * answer.capacity()));
    answer.append(data, bytes);
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

// Called by libcurl while a transfer runs; a non-zero answer stops it
// (CURLE_ABORTED_BY_CALLBACK), which is how another thread cancels a call.
int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<CallState*>(user)->transport->Cancelled() ? 1 : 0;
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
    case CURLE_ABORTED_BY_CALLBACK:
        what = "The call was cancelled";
        break;
    case CURLE_READ_ERROR:
        what = "The file to send could not be read";
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

TransportError::Kind KindOf(CURLcode code, const CallState& state) {
    using Kind = TransportError::Kind;
    if (state.overflow || code == CURLE_FILESIZE_EXCEEDED)
        return Kind::TooLarge;
    if (state.resendRefused)
        return Kind::Connection;
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        return Kind::TimedOut;
    case CURLE_ABORTED_BY_CALLBACK:
        return Kind::Cancelled;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
        return Kind::Connection;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
        return Kind::Tls;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_BAD_CONTENT_ENCODING:
        return Kind::Protocol;
    default:
        return Kind::Other;
    }
}

// The multipart body of a request, freed with the request.
struct MimeDeleter {
    void operator()(curl_mime* mime) const { curl_mime_free(mime); }
};
using MimePtr = std::unique_ptr<curl_mime, MimeDeleter>;

// File parts are streamed by libcurl from their file (no copy in memory) or
// handed over from memory; text parts are copied.
MimePtr MakeForm(CURL* handle, const std::vector<FormPart>& parts) {
    MimePtr mime(curl_mime_init(handle));
    for (const FormPart& part : parts) {
        curl_mimepart* field = curl_mime_addpart(mime.get());
        curl_mime_name(field, part.name.c_str());
        if (!part.IsFile()) {
            curl_mime_data(field, part.text.data(), part.text.size());
            continue;
        }
        if (!part.filePath.empty()) {
            if (curl_mime_filedata(field, part.filePath.c_str()) != CURLE_OK)
                throw TransportError(CURLE_READ_ERROR,
                                     "The file '" + part.filePath + "' could not be opened",
                                     TransportError::Kind::Other, false);
        } else {
            curl_mime_data(field, part.bytes.data(), part.bytes.size());
        }
        curl_mime_filename(field, part.fileName.c_str());
        curl_mime_type(field, "application/octet-stream");
    }
    return mime;
}

// The answer's value of a header; empty when it did not come.
std::string ReplyHeader(CURL* handle, const char* name) {
    curl_header* header = nullptr;
    if (curl_easy_header(handle, name, 0, CURLH_HEADER, -1, &header) != CURLHE_OK || !header)
        return {};
    return header->value;
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

    HttpReply Send(const HttpRequest& request) override {
        ThrowIfCancelled();
        const TransportOptions defaults;
        const TransportOptions& options = request.options ? *request.options : defaults;

        // Options are set anew per call but on the same handle, so curl keeps its
        // connection cache and reuses the TLS connection when nothing relevant changed.
        curl_easy_reset(handle_);
        HttpReply reply;
        CallState state{&reply.body, options.maxResponseBytes};
        state.request = request.xml;
        state.transport = this;
        char errorBuffer[CURL_ERROR_SIZE] = {0};

        MimePtr form;
        SetBody(request, state, form);
        curl_slist* headers = nullptr;
        if (request.xml)
            headers = curl_slist_append(headers, "Content-Type: text/xml; charset=utf-8");
        else if (!request.contentType.empty())
            headers = curl_slist_append(headers, ("Content-Type: " + request.contentType).c_str());
        headers = curl_slist_append(headers, "Expect:");
        for (const std::string& line : request.headers)
            headers = curl_slist_append(headers, line.c_str());

        curl_easy_setopt(handle_, CURLOPT_URL, request.url.c_str());
        curl_easy_setopt(handle_, CURLOPT_PROTOCOLS_STR, "https");
        if (request.method == HttpMethod::Patch || request.method == HttpMethod::Delete)
            curl_easy_setopt(handle_, CURLOPT_CUSTOMREQUEST, MethodName(request.method));
        curl_easy_setopt(handle_, CURLOPT_PREREQFUNCTION, &BeforeSending);
        curl_easy_setopt(handle_, CURLOPT_PREREQDATA, &state);
        curl_easy_setopt(handle_, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(handle_, CURLOPT_XFERINFOFUNCTION, &Progress);
        curl_easy_setopt(handle_, CURLOPT_XFERINFODATA, &state);
        curl_easy_setopt(handle_, CURLOPT_MAXAGE_CONN,
                         static_cast<long>(options.reuseIdleLimit.count()));
        curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(handle_, CURLOPT_USERAGENT, "tessary/6.0");
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
        curl_easy_setopt(handle_, CURLOPT_MIMEPOST, nullptr);
        curl_slist_free_all(headers);
        if (code != CURLE_OK)
            throw TransportError(code, Explain(code, errorBuffer, request.url, options, state),
                                 KindOf(code, state), state.sendings > 0);
        curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &reply.status);
        const char* type = nullptr;
        if (curl_easy_getinfo(handle_, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type)
            reply.contentType = type;
        reply.retryAfter = ReplyHeader(handle_, "Retry-After");
        return reply;
    }

private:
    void SetBody(const HttpRequest& request, CallState& state, MimePtr& form) {
        if (request.xml) {
            curl_easy_setopt(handle_, CURLOPT_POST, 1L);
            if (const std::string* whole = request.xml->Whole()) {
                curl_easy_setopt(handle_, CURLOPT_POSTFIELDS, whole->data());
            } else {
                curl_easy_setopt(handle_, CURLOPT_READFUNCTION, &ReadBody);
                curl_easy_setopt(handle_, CURLOPT_READDATA, &state);
                curl_easy_setopt(handle_, CURLOPT_UPLOAD_BUFFERSIZE, kUploadBuffer);
            }
            curl_easy_setopt(handle_, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(request.xml->Size()));
        } else if (!request.form.empty()) {
            form = MakeForm(handle_, request.form);
            curl_easy_setopt(handle_, CURLOPT_MIMEPOST, form.get());
            curl_easy_setopt(handle_, CURLOPT_UPLOAD_BUFFERSIZE, kUploadBuffer);
        } else if (request.method != HttpMethod::Get && request.method != HttpMethod::Delete) {
            curl_easy_setopt(handle_, CURLOPT_POST, 1L);
            curl_easy_setopt(handle_, CURLOPT_POSTFIELDS, request.text.data());
            curl_easy_setopt(handle_, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(request.text.size()));
        } else {
            curl_easy_setopt(handle_, CURLOPT_HTTPGET, 1L);
        }
    }

    CURL* handle_ = nullptr;
};

} // namespace

std::shared_ptr<Transport> MakeCurlTransport() {
    return std::make_shared<CurlTransport>();
}

} // namespace tessary::detail
