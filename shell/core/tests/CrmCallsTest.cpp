// CRM calls on the worker thread: the caller's event loop runs while it waits, results
// and failures come back, calls keep their order on one thread, the library's boxes are
// shown on the user-interface thread, and a cancel stops a call once its grace is over.

#include "pellwick/CrmCalls.h"

#include "pellwick/ErrorReport.h"
#include "pellwick/testing/CoreTestScope.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <gtest/gtest.h>
#include <tessary/DataService.h>
#include <tessary/Notifier.h>
#include <tessary/clsInfusionsoftAPI.h>
#include <thread>

using namespace pellwick;
using namespace std::chrono_literals;
using pellwick::testing::CoreTestScope;

TEST(CrmCalls, TheCallerKeepsItsEventLoopWhileTheWorkerCalls) {
    CoreTestScope scope;
    int ticks = 0;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start();
    std::thread::id first;
    const int answer = CrmCall(nullptr, [&] {
        first = std::this_thread::get_id();
        std::this_thread::sleep_for(150ms);
        return 42;
    });
    EXPECT_EQ(answer, 42);
    EXPECT_NE(first, std::this_thread::get_id());
    EXPECT_GE(ticks, 5) << "the caller's timers ran during the call";

    std::thread::id second;
    CrmCall(nullptr, [&] { second = std::this_thread::get_id(); });
    EXPECT_EQ(second, first) << "one worker carries every call";
    EXPECT_THROW(CrmCall(nullptr,
                         [] {
                             throw ProgramError(errnum::TypeMismatch, QStringLiteral("no"));
                             return 0;
                         }),
                 ProgramError);

    // A box the library raises on the worker is shown here; the worker waits for it.
    bool onThisThread = false;
    scope.boxes->onPresent = [&](const MessageBoxRequest&) {
        onThisThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    };
    scope.boxes->QueueAnswer(MsgAnswer::Cancel);
    EXPECT_EQ(CrmCall(nullptr,
                      [] {
                          return tessary::CurrentNotifier()->AskOkCancel(
                              "PROGRAM ERROR", "bad", tessary::BoxIcon::Critical);
                      }),
              tessary::BoxAnswer::Cancel);
    EXPECT_TRUE(onThisThread);
    EXPECT_FALSE(CrmCallRunning());
}

TEST(CrmCalls, ACancelledCallStopsOnceItsGraceIsOver) {
    CoreTestScope scope;
    QTcpServer silent; // takes the connection and never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const auto api = tessary::clsInfusionsoftAPI::Create();
    api->SetupConnection("demo", "key");
    api->SetServiceDomain("localhost");
    api->SetServicePort(silent.serverPort());
    CrmCancel cancel(200ms);
    QTimer::singleShot(50, [&] { cancel.Request(); });
    QElapsedTimer clock;
    clock.start();
    tessary::RpcStruct query;
    query.AddInteger("Id", 1);
    tessary::RpcArray fields;
    fields.AddString("Id");
    EXPECT_EQ(CrmCall(
                  api, [&] { return api->DataService()->Query("Contact", 1, 0, query, fields); },
                  &cancel),
              nullptr);
    EXPECT_GE(clock.elapsed(), 240) << "the call had its grace";
    EXPECT_LT(clock.elapsed(), 5000) << "and no more";
    const tessary::CallFailure failure = api->LastCallFailure();
    EXPECT_EQ(failure.transport, tessary::TransportError::Kind::Cancelled);
    EXPECT_FALSE(failure.mayHaveBeenCarriedOut) << "nothing went out before the TLS handshake";
    EXPECT_TRUE(cancel.Requested());
}
