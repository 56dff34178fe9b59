#include "Transport.h"

#include <algorithm>
#include <thread>

namespace tessary::detail {

const char* MethodName(HttpMethod method) {
    switch (method) {
    case HttpMethod::Get:
        return "GET";
    case HttpMethod::Post:
        return "POST";
    case HttpMethod::Patch:
        return "PATCH";
    case HttpMethod::Delete:
        return "DELETE";
    }
    return "GET";
}

void Transport::Wait(std::chrono::milliseconds pause) {
    // In short steps, so that a cancel from another thread ends the wait soon.
    constexpr std::chrono::milliseconds kStep{50};
    const auto end = std::chrono::steady_clock::now() + pause;
    while (!Cancelled()) {
        const auto left = end - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            break;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, kStep));
    }
    ThrowIfCancelled();
}

std::chrono::system_clock::time_point Transport::Now() const {
    return std::chrono::system_clock::now();
}

void Transport::ThrowIfCancelled() const {
    constexpr long kAbortedByCallback = 42; // CURLE_ABORTED_BY_CALLBACK
    if (Cancelled())
        throw TransportError(kAbortedByCallback, "The call was cancelled before it was sent",
                             TransportError::Kind::Cancelled, false);
}

} // namespace tessary::detail
