// The desktop side of the seams: real QMessageBox boxes and topmost widgets.

#include "pellwick/DesktopSeams.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <QtTest>
#include <tessary/Notifier.h>

using namespace pellwick;

class DesktopSeamsTest : public QObject {
    Q_OBJECT

private:
    // Runs `inspect` on the box once it is open, then closes it with `click`.
    template <class F> void whenBoxOpens(F inspect, QMessageBox::StandardButton click) {
        QTimer::singleShot(0, this, [this, inspect, click] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                whenBoxOpens(inspect, click); // not shown yet: look again on the next turn
                return;
            }
            inspect(*box);
            if (click == QMessageBox::NoButton)
                QTest::keyClick(box, Qt::Key_Escape);
            else
                box->button(click)->click();
        });
    }

private slots:
    void presenterShowsTheRequestedBoxAndReturnsTheClick() {
        QMessageBoxPresenter presenter;
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QList<QMessageBox::StandardButton> buttons;
        QStringList captions;
        QString noCaption;
        QAbstractButton* defaultButton = nullptr;
        QAbstractButton* noButton = nullptr;
        whenBoxOpens(
            [&](QMessageBox& box) {
                title = box.windowTitle();
                text = box.text();
                icon = box.icon();
                for (QAbstractButton* b : box.buttons()) {
                    buttons << box.standardButton(b);
                    captions << b->text();
                }
                defaultButton = box.defaultButton();
                noButton = box.button(QMessageBox::No);
                noCaption = noButton->text();
            },
            QMessageBox::No);
        const MsgAnswer answer =
            presenter.Present({QStringLiteral("Pellwick - Save Quote"),
                               QStringLiteral("Create the contact?"),
                               MsgIcon::Question,
                               MsgButtons::YesNoCancel,
                               MsgAnswer::No,
                               {QStringLiteral("&Create"), QStringLiteral("&Later")}});
        QCOMPARE(answer, MsgAnswer::No);
        QCOMPARE(title, QStringLiteral("Pellwick - Save Quote"));
        QCOMPARE(text, QStringLiteral("Create the contact?"));
        QCOMPARE(icon, QMessageBox::Question);
        QCOMPARE(buttons.size(), 3);
        QVERIFY(buttons.contains(QMessageBox::Yes) && buttons.contains(QMessageBox::Cancel));
        QCOMPARE(defaultButton, noButton);
        // Captions given replace the set's own, in its order; the others stay.
        QCOMPARE(noCaption, QStringLiteral("&Later"));
        QVERIFY(captions.contains(QStringLiteral("&Create")) && captions.size() == 3);
    }

    void escapeGivesTheCancellingAnswer() {
        QMessageBoxPresenter presenter;
        whenBoxOpens([](QMessageBox&) {}, QMessageBox::NoButton);
        QCOMPARE(presenter.Present({QStringLiteral("t"),
                                    QStringLiteral("x"),
                                    MsgIcon::Question,
                                    MsgButtons::YesNoCancel,
                                    std::nullopt,
                                    {}}),
                 MsgAnswer::Cancel);
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        Qt::TextFormat format = Qt::AutoText;
        whenBoxOpens(
            [&](QMessageBox& box) {
                icon = box.icon();
                format = box.textFormat();
            },
            QMessageBox::NoButton);
        // Text that looks like markup is shown as it stands.
        QCOMPARE(presenter.Present({QStringLiteral("t"),
                                    QStringLiteral("<b>Ann</b> not found"),
                                    MsgIcon::Exclamation,
                                    MsgButtons::Ok,
                                    std::nullopt,
                                    {}}),
                 MsgAnswer::Ok);
        QCOMPARE(icon, QMessageBox::Warning);
        QCOMPARE(format, Qt::PlainText);
    }

    void aBoxDuringABusyCallShowsTheArrow() {
        QMessageBoxPresenter presenter;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        Qt::CursorShape shown = Qt::WaitCursor;
        whenBoxOpens([&](QMessageBox&) { shown = QApplication::overrideCursor()->shape(); },
                     QMessageBox::Ok);
        presenter.Present({QStringLiteral("t"),
                           QStringLiteral("x"),
                           MsgIcon::Critical,
                           MsgButtons::Ok,
                           std::nullopt,
                           {}});
        QCOMPARE(shown, Qt::ArrowCursor);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QApplication::restoreOverrideCursor();
        QVERIFY(!QApplication::overrideCursor());
    }

    void installedSeamsCarryTheLibrarysBoxesToo() {
        InstallDesktopSeams();
        QVERIFY(std::dynamic_pointer_cast<QMessageBoxPresenter>(CurrentMessageBoxPresenter()));
        QVERIFY(std::dynamic_pointer_cast<DesktopShellOpener>(CurrentShellOpener()));
        QString title;
        whenBoxOpens([&](QMessageBox& box) { title = box.windowTitle(); }, QMessageBox::Cancel);
        QCOMPARE(tessary::CurrentNotifier()->AskOkCancel("PROGRAM ERROR", "bad",
                                                         tessary::BoxIcon::Critical),
                 tessary::BoxAnswer::Cancel);
        QCOMPARE(title, QStringLiteral("PROGRAM ERROR"));
        // Never open anything from a test run.
        SetShellOpener(nullptr);
        SetMessageBoxPresenter(nullptr);
        tessary::SetNotifier(nullptr);
    }

    void windowOnTopKeepsTheWindowWhereItIs() {
        QWidget notShown;
        SetWindowOnTop(&notShown, true);
        QVERIFY(notShown.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!notShown.isVisible());

        QWidget window;
        window.setGeometry(100, 120, 300, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect before = window.geometry();
        SetWindowOnTop(&window, true);
        QVERIFY(window.isVisible());
        QVERIFY(window.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(window.geometry(), before);
        SetWindowOnTop(&window, false);
        QVERIFY(window.isVisible());
        QVERIFY(!window.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        SetWindowOnTop(static_cast<QWidget*>(nullptr), true);
    }
};

QTEST_MAIN(DesktopSeamsTest)
#include "DesktopSeamsTest.moc"
