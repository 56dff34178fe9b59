#include "pellwick/MessageBox.h"

#include "pellwick/modMain.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>
#include <tessary/Notifier.h>

namespace pellwick {
namespace {

std::shared_ptr<MessageBoxPresenter>& PresenterSlot() {
    static std::shared_ptr<MessageBoxPresenter> presenter;
    return presenter;
}

const char* IconName(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Critical:
        return "critical";
    case MsgIcon::Exclamation:
        return "exclamation";
    case MsgIcon::Information:
        return "information";
    case MsgIcon::Question:
        return "question";
    case MsgIcon::None:
        break;
    }
    return "none";
}

MsgIcon FromLibraryIcon(tessary::BoxIcon icon) {
    switch (icon) {
    case tessary::BoxIcon::Critical:
        return MsgIcon::Critical;
    case tessary::BoxIcon::Exclamation:
        return MsgIcon::Exclamation;
    case tessary::BoxIcon::Information:
        return MsgIcon::Information;
    case tessary::BoxIcon::Question:
        return MsgIcon::Question;
    case tessary::BoxIcon::None:
        break;
    }
    return MsgIcon::None;
}

// Runs `work` on the user-interface thread, the calling thread waiting for it: the
// library calls from the CRM worker, and boxes and the debug log belong to the UI.
template <class Work> void OnUiThread(Work&& work) {
    QCoreApplication* app = QCoreApplication::instance();
    const auto guarded = [&work] {
        try {
            work();
        } catch (...) { // a failing presenter must not unwind through the event loop
        }
    };
    if (!app || QThread::currentThread() == app->thread())
        guarded();
    else
        QMetaObject::invokeMethod(app, guarded, Qt::BlockingQueuedConnection);
}

// The library's boxes, shown like the program's own.
class BoxForwarder : public tessary::Notifier {
public:
    void ShowMessage(const std::string& title, const std::string& text,
                     tessary::BoxIcon icon) override {
        OnUiThread([&] {
            MsgBox(QString::fromStdString(text), FromLibraryIcon(icon), MsgButtons::Ok,
                   QString::fromStdString(title));
        });
    }
    tessary::BoxAnswer AskOkCancel(const std::string& title, const std::string& text,
                                   tessary::BoxIcon icon) override {
        MsgAnswer answer = MsgAnswer::Cancel;
        OnUiThread([&] {
            answer = MsgBox(QString::fromStdString(text), FromLibraryIcon(icon),
                            MsgButtons::OkCancel, QString::fromStdString(title));
        });
        return answer == MsgAnswer::Ok ? tessary::BoxAnswer::Ok : tessary::BoxAnswer::Cancel;
    }
    // What the library left out of a call (an address it could not carry, say) goes to
    // the debug log, where the user's support looks.
    void DebugLine(const std::string& text) override {
        OnUiThread(
            [&] { DebugMessage(QStringLiteral(" - tessary - ") + QString::fromStdString(text)); });
    }
};

} // namespace

void SetMessageBoxPresenter(std::shared_ptr<MessageBoxPresenter> presenter) {
    PresenterSlot() = std::move(presenter);
}

std::shared_ptr<MessageBoxPresenter> CurrentMessageBoxPresenter() {
    return PresenterSlot();
}

MsgAnswer FirstButton(MsgButtons buttons) {
    switch (buttons) {
    case MsgButtons::Ok:
    case MsgButtons::OkCancel:
        return MsgAnswer::Ok;
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel:
        return MsgAnswer::Yes;
    case MsgButtons::RetryCancel:
        return MsgAnswer::Retry;
    case MsgButtons::AbortRetryIgnore:
        return MsgAnswer::Abort;
    }
    return MsgAnswer::Ok;
}

MsgAnswer ShowMessageBox(const MessageBoxRequest& request) {
    // Hold a reference: a presenter may replace itself while its box is open.
    const std::shared_ptr<MessageBoxPresenter> presenter = PresenterSlot();
    if (presenter)
        return presenter->Present(request);
    const MsgAnswer answer = request.defaultButton.value_or(FirstButton(request.buttons));
    std::fprintf(stderr, "[%s] %s: %s\n", IconName(request.icon),
                 request.title.toLocal8Bit().constData(), request.text.toLocal8Bit().constData());
    return answer;
}

MsgAnswer MsgBox(const QString& text, MsgIcon icon, MsgButtons buttons, const QString& title,
                 std::optional<MsgAnswer> defaultButton) {
    return ShowMessageBox(MessageBoxRequest{title, text, icon, buttons, defaultButton, {}});
}

void InstallTessaryNotifier() {
    tessary::SetNotifier(std::make_shared<BoxForwarder>());
}

} // namespace pellwick
