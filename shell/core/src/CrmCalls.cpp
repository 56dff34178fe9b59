#include "pellwick/CrmCalls.h"

#include "pellwick/ErrorReport.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <tessary/clsInfusionsoftAPI.h>
#include <thread>

namespace pellwick {
namespace {

// The one thread that carries CRM calls, started on first use and ended with the program.
class CrmWorker {
public:
    static CrmWorker& Instance() {
        static CrmWorker worker;
        return worker;
    }
    ~CrmWorker() { Stop(); }
    void Post(std::function<void()> job) {
        {
            std::lock_guard lock(m_mutex);
            m_jobs.push_back(std::move(job));
            if (!m_thread.joinable()) {
                m_thread = std::thread([this] { Loop(); });
                // Ended with the application, before the libraries' own clean-up at exit
                // (OpenSSL frees a thread's state only while it is still set up).
                qAddPostRoutine([] { Instance().Stop(); });
            }
        }
        m_wake.notify_one();
    }
    // Lets the jobs posted finish and ends the thread; the next job starts it again.
    void Stop() {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        if (m_thread.joinable())
            m_thread.join();
        std::lock_guard lock(m_mutex);
        m_stopping = false;
    }

private:
    CrmWorker() = default;
    void Loop() {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [&] { return m_stopping || !m_jobs.empty(); });
                if (m_jobs.empty())
                    return;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::thread m_thread;
};

int& CallsWaiting() {
    static int waiting = 0;
    return waiting;
}

bool& CallsEnded() {
    static bool ended = false;
    return ended;
}

// What the worker hands back; read on the user-interface thread once `done` is set there.
struct Outcome {
    bool done = false;
    std::exception_ptr error;
    QPointer<QEventLoop> loop;
};

} // namespace

// The caller's side of one call: the busy cursor, the cancel's grace and the count of
// calls in flight, for as long as it waits.
class CrmCallWait {
public:
    CrmCallWait(QEventLoop& loop, std::shared_ptr<tessary::clsInfusionsoftAPI> connection,
                CrmCancel* cancel)
        : m_connection(std::move(connection)), m_cancel(cancel) {
        ++CallsWaiting();
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
        if (!m_cancel)
            return;
        m_previousHook = std::move(m_cancel->m_onRequest);
        m_cancel->m_onRequest = [this, &loop] {
            QTimer::singleShot(m_cancel->Grace(), &loop, [this] { StopCall(); });
        };
        if (m_cancel->Requested())
            m_cancel->m_onRequest();
    }
    ~CrmCallWait() {
        if (m_cancel)
            m_cancel->m_onRequest = std::move(m_previousHook);
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            QGuiApplication::restoreOverrideCursor();
        --CallsWaiting();
    }
    CrmCallWait(const CrmCallWait&) = delete;
    CrmCallWait& operator=(const CrmCallWait&) = delete;

    void StopCall() const {
        if (m_connection)
            m_connection->CancelCurrentCall();
    }

private:
    std::shared_ptr<tessary::clsInfusionsoftAPI> m_connection;
    CrmCancel* m_cancel;
    std::function<void()> m_previousHook;
};

void CrmCancel::Request() {
    if (m_requested)
        return;
    m_requested = true;
    if (m_onRequest)
        m_onRequest();
}

void RunCrmCall(const std::function<void()>& call,
                const std::shared_ptr<tessary::clsInfusionsoftAPI>& connection, CrmCancel* cancel) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        call();
        return;
    }
    if (CallsEnded())
        throw ProgramError(errnum::InternalError,
                           QStringLiteral("Pellwick is ending: no more calls go to Infusionsoft."));
    auto outcome = std::make_shared<Outcome>();
    QEventLoop loop;
    outcome->loop = &loop;
    const CrmCallWait wait(loop, connection, cancel);
    CrmWorker::Instance().Post([&call, outcome, app] {
        std::exception_ptr error;
        try {
            call();
        } catch (...) {
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(
            app,
            [outcome, error] {
                outcome->error = error;
                outcome->done = true;
                if (outcome->loop)
                    outcome->loop->quit();
            },
            Qt::QueuedConnection);
    });
    loop.exec();
    if (!outcome->done) {
        // The program is ending (its event loops were told to exit): stop the call and
        // wait for it without an event loop, since none runs any more.
        CallsEnded() = true;
        wait.StopCall();
        if (cancel)
            cancel->Request();
        while (!outcome->done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (outcome->error)
        std::rethrow_exception(outcome->error);
}

bool CrmCallRunning() {
    return CallsWaiting() > 0;
}

bool CrmCallsEnded() {
    return CallsEnded();
}

} // namespace pellwick
