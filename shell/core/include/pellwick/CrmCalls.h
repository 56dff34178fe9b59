#pragma once
// CRM calls off the user-interface thread. One worker thread carries every CRM call, one
// at a time and in order (a connection is used by one thread at a time); the caller
// waits in a local event loop, so that windows repaint, the tray menu works and host
// events arrive while a call runs. The library's boxes and debug lines raised on the
// worker are shown on the user-interface thread (InstallTessaryNotifier).
//
//     const auto found = CrmCall(connection, [&] { return data->Query(...); }, &m_cancel);

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace tessary {
class clsInfusionsoftAPI;
}

namespace pellwick {

// How long a call already sent may still finish after the user cancelled: then it is
// stopped (it may have been carried out all the same).
inline constexpr std::chrono::milliseconds kCancelGrace{2000};

// The user's wish to stop. The caller checks Requested() before each call; a call in
// flight when it is requested is stopped once the grace has passed.
class CrmCancel {
public:
    explicit CrmCancel(std::chrono::milliseconds grace = kCancelGrace) : m_grace(grace) {}
    CrmCancel(const CrmCancel&) = delete;
    CrmCancel& operator=(const CrmCancel&) = delete;

    void Request();
    bool Requested() const { return m_requested; }
    void Reset() { m_requested = false; }
    std::chrono::milliseconds Grace() const { return m_grace; }

private:
    friend class CrmCallWait;
    std::chrono::milliseconds m_grace;
    bool m_requested = false;
    std::function<void()> m_onRequest; // set by the wait for the call in flight
};

// Runs `call` on the CRM worker and returns once it has finished, the user interface
// alive meanwhile (with the busy cursor); rethrows what the call threw. `connection` is
// the connection the call uses: the one a cancel or the program's end stops. Outside the
// user-interface thread, or without an application, the call runs right here.
void RunCrmCall(const std::function<void()>& call,
                const std::shared_ptr<tessary::clsInfusionsoftAPI>& connection,
                CrmCancel* cancel = nullptr);

// The same, giving what the call returns.
template <class F>
auto CrmCall(const std::shared_ptr<tessary::clsInfusionsoftAPI>& connection, F&& call,
             CrmCancel* cancel = nullptr) {
    using Result = std::invoke_result_t<F&>;
    if constexpr (std::is_void_v<Result>) {
        RunCrmCall(call, connection, cancel);
    } else {
        std::optional<Result> result;
        RunCrmCall([&] { result.emplace(call()); }, connection, cancel);
        return std::move(*result);
    }
}

// Whether a CRM call is in flight (its caller waiting for it).
bool CrmCallRunning();
// True once the program's end stopped a call in flight: callers make no further calls
// and leave their work where it stands.
bool CrmCallsEnded();

} // namespace pellwick
