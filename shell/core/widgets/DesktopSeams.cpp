#include "pellwick/DesktopSeams.h"

#include "pellwick/modMain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QWidget>
#include <QWindow>

namespace pellwick {
namespace {

QMessageBox::StandardButton ToStandard(MsgAnswer answer) {
    switch (answer) {
    case MsgAnswer::Ok:
        return QMessageBox::Ok;
    case MsgAnswer::Cancel:
        return QMessageBox::Cancel;
    case MsgAnswer::Yes:
        return QMessageBox::Yes;
    case MsgAnswer::No:
        return QMessageBox::No;
    case MsgAnswer::Retry:
        return QMessageBox::Retry;
    case MsgAnswer::Abort:
        return QMessageBox::Abort;
    case MsgAnswer::Ignore:
        return QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

// The set's buttons in the order their captions are given.
QList<QMessageBox::StandardButton> StandardButtonsInOrder(MsgButtons buttons) {
    switch (buttons) {
    case MsgButtons::Ok:
        return {QMessageBox::Ok};
    case MsgButtons::OkCancel:
        return {QMessageBox::Ok, QMessageBox::Cancel};
    case MsgButtons::YesNo:
        return {QMessageBox::Yes, QMessageBox::No};
    case MsgButtons::YesNoCancel:
        return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
    case MsgButtons::RetryCancel:
        return {QMessageBox::Retry, QMessageBox::Cancel};
    case MsgButtons::AbortRetryIgnore:
        return {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore};
    }
    return {QMessageBox::Ok};
}

QMessageBox::StandardButtons ButtonSet(MsgButtons buttons) {
    QMessageBox::StandardButtons set;
    for (const QMessageBox::StandardButton button : StandardButtonsInOrder(buttons))
        set |= button;
    return set;
}

// The answer of a box closed with Escape or the close button.
MsgAnswer EscapeAnswer(MsgButtons buttons) {
    switch (buttons) {
    case MsgButtons::OkCancel:
    case MsgButtons::YesNoCancel:
    case MsgButtons::RetryCancel:
        return MsgAnswer::Cancel;
    case MsgButtons::YesNo:
        return MsgAnswer::No;
    case MsgButtons::AbortRetryIgnore:
        return MsgAnswer::Abort;
    case MsgButtons::Ok:
        break;
    }
    return MsgAnswer::Ok;
}

QMessageBox::Icon ToIcon(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Critical:
        return QMessageBox::Critical;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

MsgAnswer QMessageBoxPresenter::Present(const MessageBoxRequest& request) {
    QMessageBox box(ToIcon(request.icon), request.title, request.text, ButtonSet(request.buttons),
                    QApplication::activeWindow());
    // Every box of the program carries plain text. Left to guess, Qt takes a first line
    // such as a server's "<fault>" or a name in angle brackets for markup and swallows it.
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(ToStandard(request.defaultButton.value_or(FirstButton(request.buttons))));
    for (qsizetype i = 0; i < request.buttonTexts.size(); ++i)
        if (QAbstractButton* button = box.button(StandardButtonsInOrder(request.buttons).value(i)))
            button->setText(request.buttonTexts[i]);
    // A box raised during a CRM call waits for the user: the arrow, not the wait cursor.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int chosen = box.exec();
    if (busy)
        QApplication::restoreOverrideCursor();
    for (MsgAnswer answer : {MsgAnswer::Ok, MsgAnswer::Cancel, MsgAnswer::Yes, MsgAnswer::No,
                             MsgAnswer::Retry, MsgAnswer::Abort, MsgAnswer::Ignore})
        if (chosen == ToStandard(answer))
            return answer;
    return EscapeAnswer(request.buttons);
}

bool DesktopShellOpener::Open(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

void InstallDesktopSeams() {
    SetMessageBoxPresenter(std::make_shared<QMessageBoxPresenter>());
    SetShellOpener(std::make_shared<DesktopShellOpener>());
    InstallTessaryNotifier();
}

void SetWindowOnTop(QWidget* widget, bool onTop) {
    if (!widget)
        return;
    QWidget* top = widget->window();
    if (QWindow* handle = top->windowHandle()) {
        // A shown window: change the native window directly, which keeps it visible
        // (QWidget::setWindowFlag would hide it), then keep the widget's flags in step.
        SetWindowOnTop(handle, onTop);
        top->overrideWindowFlags(handle->flags());
    } else {
        top->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    }
}

} // namespace pellwick
