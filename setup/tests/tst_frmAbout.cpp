// The About window: caption, version from the program's own version, the maker's
// details, and the two links going out through the shell.

#include "pellwick/setup/frmAbout.h"
#include "pellwick/testing/CoreTestScope.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace pellwick;
using namespace pellwick::testing;

class TestFrmAbout : public QObject {
    Q_OBJECT
private slots:
    void showsNameVersionAndMaker();
    void linksOpenThroughTheShell();
    void enterAndEscapeClose();
};

void TestFrmAbout::showsNameVersionAndMaker() {
    CoreTestScope scope;
    frmAbout about;
    QCOMPARE(about.windowTitle(), QStringLiteral("Pellwick - About"));
    auto text = [&](const char* name) {
        auto* label = about.findChild<QLabel*>(QString::fromLatin1(name));
        return label ? label->text() : QStringLiteral("<missing>");
    };
    QCOMPARE(text("lblProgram"), QStringLiteral("Pellwick"));
    QCOMPARE(text("lblVersion"), QStringLiteral("Version - 5.0.0"));
    QCOMPARE(text("lblCompany"), QStringLiteral("Varrow"));
    QVERIFY(text("lblCopyright").contains(QStringLiteral("Varrow")));
    QVERIFY(text("lblTelephone").startsWith(QStringLiteral("Tel: ")));
    QCOMPARE(text("lblEmail"), QStringLiteral("support@varrow.example"));
    QCOMPARE(text("lblWebsite"), QStringLiteral("https://varrow.example/pellwick"));
    for (QLabel* label : about.findChildren<QLabel*>())
        QVERIFY2(label->alignment() & Qt::AlignHCenter, qPrintable(label->objectName()));
    QVERIFY(scope.boxes->boxes().empty());
}

void TestFrmAbout::linksOpenThroughTheShell() {
    CoreTestScope scope;
    frmAbout about;
    about.show();
    QTest::mouseClick(about.findChild<QLabel*>(QStringLiteral("lblEmail")), Qt::LeftButton);
    QTest::mouseClick(about.findChild<QLabel*>(QStringLiteral("lblWebsite")), Qt::LeftButton);
    QTest::mouseClick(about.findChild<QLabel*>(QStringLiteral("lblCompany")), Qt::LeftButton);
    QTest::keyClick(about.findChild<QLabel*>(QStringLiteral("lblWebsite")), Qt::Key_Space);
    const auto& opened = scope.shell->opened();
    QCOMPARE(opened.size(), size_t(3));
    QCOMPARE(opened[2], opened[1]);
    QCOMPARE(opened[0], QUrl(QStringLiteral("mailto:support@varrow.example")));
    QCOMPARE(opened[1], QUrl(QStringLiteral("https://varrow.example/pellwick")));
    QVERIFY(about.isVisible());
}

void TestFrmAbout::enterAndEscapeClose() {
    CoreTestScope scope;
    frmAbout about;
    auto* close = about.findChild<QPushButton*>(QStringLiteral("cmdClose"));
    QVERIFY(close && close->isDefault());
    QCOMPARE(close->text(), QStringLiteral("Close"));
    auto* email = about.findChild<QLabel*>(QStringLiteral("lblEmail"));
    for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
        bool wasOpen = false;
        QWidget* focused = nullptr;
        QTimer::singleShot(0, &about, [&] {
            wasOpen = about.isVisible();
            focused = about.focusWidget();
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget()
                                                        : static_cast<QWidget*>(&about),
                            static_cast<Qt::Key>(key));
        });
        QTimer::singleShot(3000, &about, [&] { about.done(42); }); // only if the key failed
        about.ShowForm(); // returns once the key has closed the window
        QVERIFY(wasOpen);
        // The window opens on Close whatever had the focus when it was last closed.
        QCOMPARE(focused, static_cast<QWidget*>(close));
        QVERIFY(scope.shell->opened().empty());
        QCOMPARE(about.result(),
                 key == Qt::Key_Return ? int(QDialog::Accepted) : int(QDialog::Rejected));
        QVERIFY(!about.isVisible());
        email->setFocus(); // as if Tab had reached the link before the window closed
    }
}

QTEST_MAIN(TestFrmAbout)
#include "tst_frmAbout.moc"
