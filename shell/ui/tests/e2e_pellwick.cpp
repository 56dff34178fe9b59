// pellwick_e2e: the program pellwick exactly as shipped (RunPellwick), plus a test
// driver for the end-to-end test. The host stand-in starts it from its site.ini like any
// add-on. The driver types the CRM account into the configuration window when start-up
// opens it, presses OK, and appends what the main window reports to a file:
//   PELLWICK_E2E_APP, PELLWICK_E2E_KEY  the application name and API key to type
//   PELLWICK_E2E_REPORT                 the file receiving "info: <lblInfo>" lines,
//                                       "boxes: <n>" and finally "ended: <exit code>"

#include "PellwickMain.h"
#include "pellwick/ui/frmMain.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

void Report(const QString& line) {
    QFile file(qEnvironmentVariable("PELLWICK_E2E_REPORT"));
    if (file.open(QIODevice::Append))
        file.write(line.toUtf8().replace("\r\n", " | ") + "\n");
}

QWidget* VisibleWindow(const QString& objectName) {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == objectName && window->isVisible())
            return window;
    return nullptr;
}

} // namespace

int main(int argc, char* argv[]) {
    const int code = pellwick::RunPellwick(argc, argv, [](pellwick::frmMain& mainWindow) {
        auto* info = mainWindow.findChild<QLabel*>(QStringLiteral("lblInfo"));
        auto* poll = new QTimer(&mainWindow);
        auto last = std::make_shared<QString>();
        auto typed = std::make_shared<bool>(false);
        QObject::connect(poll, &QTimer::timeout, [=] {
            if (info->text() != *last) {
                *last = info->text();
                Report(QStringLiteral("info: ") + *last);
            }
            QWidget* setup = VisibleWindow(QStringLiteral("frmSetup"));
            if (setup && !*typed) {
                *typed = true;
                setup->findChild<QLineEdit*>(QStringLiteral("txtAppName"))
                    ->setText(qEnvironmentVariable("PELLWICK_E2E_APP"));
                setup->findChild<QLineEdit*>(QStringLiteral("txtAPIKey"))
                    ->setText(qEnvironmentVariable("PELLWICK_E2E_KEY"));
                Report(QStringLiteral("configuring"));
                // Clicked from the event loop, not from inside this tick: OK runs the
                // connection test and may show boxes.
                QTimer::singleShot(0, setup, [setup] {
                    setup->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
                    Report(QStringLiteral("configured: ") +
                           (setup->isVisible() ? QStringLiteral("window open")
                                               : QStringLiteral("window closed")));
                });
            }
        });
        poll->start(20);
    });
    Report(QStringLiteral("ended: ") + QString::number(code));
    return code;
}
