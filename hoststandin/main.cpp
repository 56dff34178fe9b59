// hoststandin: plays the quoting host on the session bus for the plug-in, the demo and
// the end-to-end tests.
//
//   hoststandin --program-folder DIR [--quote FILE] [--no-addons]
//
// Prints "READY <program folder>" on stdout once it owns QuoteWerks.Application and
// has started its add-ons; exits with 2 on bad arguments and 3 when the bus name cannot
// be had (another host owns it, or no session bus).

#include "BusObjects.h"
#include "HostWindow.h"
#include "ProgramFolder.h"
#include "QuoteDocument.h"
#include "StandInHost.h"
#include "pellwick/host/HostBus.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QMetaObject>
#include <cstdio>

namespace {

void say(FILE* stream, const QString& text) {
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stream);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("hoststandin"));
    // The window is not the only way out: Exit (or the testing interface) ends the host.
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays the quoting host (QuoteWerks.Application) on the session bus."));
    parser.addHelpOption();
    const QCommandLineOption folderOption(
        QStringLiteral("program-folder"),
        QStringLiteral("The host's program folder (created when missing)."), QStringLiteral("DIR"));
    const QCommandLineOption quoteOption(
        QStringLiteral("quote"),
        QStringLiteral("A quote file (JSON of field names and values) to open."),
        QStringLiteral("FILE"));
    const QCommandLineOption noAddonsOption(
        QStringLiteral("no-addons"),
        QStringLiteral("Do not start the add-ons listed in site.ini."));
    parser.addOptions({folderOption, quoteOption, noAddonsOption});
    parser.process(app);

    if (!parser.isSet(folderOption)) {
        say(stderr, QStringLiteral("hoststandin: --program-folder DIR is required"));
        return 2;
    }
    QString error;
    const QString folder = hoststandin::prepareProgramFolder(parser.value(folderOption), &error);
    if (folder.isEmpty()) {
        say(stderr, QStringLiteral("hoststandin: %1").arg(error));
        return 2;
    }
    hoststandin::QuoteDocument quote;
    if (parser.isSet(quoteOption) &&
        !hoststandin::QuoteDocument::load(parser.value(quoteOption), &quote, &error)) {
        say(stderr, QStringLiteral("hoststandin: %1").arg(error));
        return 2;
    }

    hoststandin::StandInHost host(folder, quote);
    hoststandin::HostWindow window(host);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        say(stderr,
            QStringLiteral("hoststandin: no session bus: %1").arg(bus.lastError().message()));
        return 3;
    }

    hoststandin::AutomationObject automation(host);
    // Objects first, then the name: whoever sees the name finds the objects in place.
    if (!bus.registerObject(QString::fromLatin1(pellwick::hostbus::kObjectPath), &automation,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals)) {
        say(stderr, QStringLiteral("hoststandin: cannot export the automation object: %1")
                        .arg(bus.lastError().message()));
        return 3;
    }
    hoststandin::TestingObject testing(host, window);
    if (!bus.registerObject(QString::fromLatin1(hoststandin::kTestingPath), &testing,
                            QDBusConnection::ExportAllSlots)) {
        say(stderr, QStringLiteral("hoststandin: cannot export the testing object: %1")
                        .arg(bus.lastError().message()));
        return 3;
    }
    const QString name = QString::fromLatin1(pellwick::hostbus::kServiceName);
    if (!bus.registerService(name)) {
        say(stderr, QStringLiteral("hoststandin: cannot own the bus name %1: %2")
                        .arg(name, bus.lastError().message()));
        return 3;
    }

    QObject::connect(
        &host, &hoststandin::StandInHost::exitRequested, &app,
        [&bus, name] {
            // A round trip to the bus daemon: it has routed AfterAppExit (sent before)
            // to every listener by the time this answer comes back.
            bus.interface()->serviceOwner(name);
            bus.unregisterService(name);
            QApplication::quit();
        },
        Qt::QueuedConnection);

    window.show();

    // As the real host: add-ons start once the host can be attached to.
    QStringList started;
    if (!parser.isSet(noAddonsOption)) {
        const QStringList log = hoststandin::startAddons(folder, &started);
        for (const QString& line : log)
            say(stdout, QStringLiteral("hoststandin: ") + line);
    }
    testing.setStartedAddons(started);

    say(stdout, QStringLiteral("READY %1").arg(folder));
    return QApplication::exec();
}
