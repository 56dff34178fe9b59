// pellwick_screenshots <folder>: renders each window of the program to a PNG file in
// <folder> (frmMain.png, frmSetup-QuoteWerks.png, frmSetup-Infusionsoft.png,
// frmAbout.png). Runs on any Qt platform, e.g. QT_QPA_PLATFORM=offscreen.
//
// The windows are filled as a configured plug-in would show them. Settings and the host's
// program folder live in a temporary folder: the user's own settings are never read.

#include "pellwick/MessageBox.h"
#include "pellwick/ProgramState.h"
#include "pellwick/host/QuoteWerksApp.h"
#include "pellwick/modMain.h"
#include "pellwick/modRegistry.h"
#include "pellwick/setup/frmAbout.h"
#include "pellwick/setup/frmSetup.h"
#include "pellwick/ui/ProgramIcon.h"
#include "pellwick/ui/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <cstdio>

namespace {

// A host with a program folder and no document: all the windows ask of it here.
class StillHost final : public pellwick::QuoteWerksApp, private pellwick::QuoteWerksDocument {
public:
    explicit StillHost(QString folder) : m_folder(std::move(folder)) {}
    QString ProgramFolder() override { return m_folder; }
    pellwick::QuoteWerksDocument& DocumentAccess() override { return *this; }

private:
    QVariant GetFieldValue(const QString&) override { return QString(); }
    int SetFieldValue(const QString&, const QString&, bool) override { return 0; }
    bool NoDocumentOpen() override { return true; }
    QString m_folder;
};

bool save(QWidget& window, const QDir& folder, const QString& name) {
    window.ensurePolished();
    const QString path = folder.filePath(name);
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "pellwick_screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setWindowIcon(pellwick::ProgramIcon());
    if (argc != 2) {
        std::fprintf(stderr, "usage: pellwick_screenshots <folder>\n");
        return 2;
    }
    QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "pellwick_screenshots: cannot create %s\n", argv[1]);
        return 1;
    }

    QTemporaryDir temp;
    if (!temp.isValid())
        return 1;
    pellwick::SetSettingsFileOverride(temp.filePath(QStringLiteral("Pellwick.conf")));
    pellwick::WriteInfusionsoftAppNameToRegistry(QStringLiteral("example"));
    pellwick::WriteInfusionsoftAPIKeyToRegistry(QStringLiteral("0123456789abcdef"));
    {
        QFile ini(temp.filePath(QStringLiteral("site.ini")));
        if (!ini.open(QIODevice::WriteOnly | QIODevice::Text))
            return 1;
        QTextStream(&ini) << "[Addons]\nAutoRun1=" << QCoreApplication::applicationDirPath()
                          << "/pellwick\n";
    }
    pellwick::State().QuoteWerksApp = std::make_shared<StillHost>(temp.path());

    bool ok = true;
    pellwick::frmMain mainWindow;
    mainWindow.setWindowTitle(pellwick::frmMain::Caption());
    mainWindow.SetInfoText(QStringLiteral("QuoteWerks and Pellwick is running."));
    mainWindow.show();
    ok &= save(mainWindow, out, QStringLiteral("frmMain.png"));

    pellwick::frmSetup setup(&mainWindow);
    QTimer::singleShot(0, &setup, [&] {
        auto* tabs = setup.findChild<QTabWidget*>(QStringLiteral("tabMain"));
        ok &= save(setup, out, QStringLiteral("frmSetup-QuoteWerks.png"));
        tabs->setCurrentIndex(1);
        ok &= save(setup, out, QStringLiteral("frmSetup-Infusionsoft.png"));
        setup.reject();
    });
    setup.ShowForm();

    pellwick::frmAbout about(&mainWindow);
    QTimer::singleShot(0, &about, [&] {
        ok &= save(about, out, QStringLiteral("frmAbout.png"));
        about.reject();
    });
    about.ShowForm();

    pellwick::State().QuoteWerksApp.reset();
    return ok ? 0 : 1;
}
