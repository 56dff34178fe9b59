// The host stand-in as a program: program folder, add-ons from site.ini, command line.

#include "HostStandInProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using hoststandin::HostStandInProcess;

namespace {

// A script that appends its name and working folder to a marker file.
QString writeMarkerScript(const QString& path, const QString& marker) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(QStringLiteral("#!/bin/sh\necho \"$0 $(pwd)\" >> '%1'\n").arg(marker).toUtf8());
    file.close();
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    return path;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs the stand-in to its end with the given arguments; returns its exit code.
int runToEnd(const QStringList& args, QString* output) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(HostStandInProcess::executable(), args);
    if (!process.waitForFinished(15000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    *output = QString::fromLocal8Bit(process.readAll());
    return process.exitCode();
}

} // namespace

class TestHostStandIn : public QObject {
    Q_OBJECT

private slots:
    void preparesItsProgramFolder();
    void keepsAnExistingSiteIni();
    void startsTheAddonsOfSiteIni();
    void noAddonsWhenAskedNot();
    void refusesBadArguments();
    void refusesASecondHost();
    void opensWithoutAQuote();
};

void TestHostStandIn::preparesItsProgramFolder() {
    HostStandInProcess host;
    QDir(host.programFolder()).removeRecursively();
    QString error;
    QVERIFY2(host.start(&error), qPrintable(error));
    const QDir folder(host.programFolder());
    QVERIFY(QFileInfo(folder.filePath(QStringLiteral("DTF"))).isDir());
    QVERIFY(QFileInfo(folder.filePath(QStringLiteral("history/email"))).isDir());
    const QByteArray ini = readAll(folder.filePath(QStringLiteral("site.ini")));
    QVERIFY(ini.toLower().contains("[addons]"));
    QVERIFY(!ini.toLower().contains("autorun1="));
    QVERIFY(host.startedAddons().isEmpty());
    QVERIFY(host.exit());
}

void TestHostStandIn::keepsAnExistingSiteIni() {
    const QByteArray ini =
        "[Contact Managers]\r\nActive=Infusionsoft\r\n[ADDONS]\r\n; nothing yet\r\n";
    HostStandInProcess::Options options;
    options.siteIni = ini;
    HostStandInProcess host(options);
    QString error;
    QVERIFY2(host.start(&error), qPrintable(error));
    QCOMPARE(readAll(host.programFolder() + QStringLiteral("/site.ini")), ini);
}

void TestHostStandIn::startsTheAddonsOfSiteIni() {
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    HostStandInProcess::Options options;
    options.addons = true;
    // Three listed add-ons (relative path, absolute path with blanks around "=", a key
    // in other case, a quoted path) and some that must not run: one before the section,
    // one in another section, one commented out, one whose key is not autorunN.
    const QString marker = elsewhere.filePath(QStringLiteral("marker.txt"));
    const QString absolute =
        writeMarkerScript(elsewhere.filePath(QStringLiteral("second.sh")), marker);
    const QString quoted =
        writeMarkerScript(elsewhere.filePath(QStringLiteral("third addon.sh")), marker);
    const QString never = writeMarkerScript(elsewhere.filePath(QStringLiteral("never.sh")), marker);
    QVERIFY(!absolute.isEmpty() && !quoted.isEmpty() && !never.isEmpty());
    options.siteIni = QStringLiteral("autorun5=%1\r\n"
                                     "[General]\r\nAutoRun6=%1\r\n"
                                     "[AddOns]\r\n"
                                     "autorun2 = %2\r\n"
                                     ";autorun4=%1\r\n"
                                     "AUTORUN1=first.sh\r\n"
                                     "autorunner=%1\r\n"
                                     "AutoRun3=\"%3\"\r\n"
                                     "[Other]\r\nautorun7=%1\r\n")
                          .arg(never, absolute, quoted)
                          .toUtf8();
    HostStandInProcess host(options);
    const QString first =
        writeMarkerScript(host.programFolder() + QStringLiteral("/first.sh"), marker);
    QVERIFY(!first.isEmpty());

    QString error;
    QVERIFY2(host.start(&error), qPrintable(error));
    // In the order of their numbers; relative paths against the program folder.
    QCOMPARE(host.startedAddons(), (QStringList{first, absolute, quoted}));
    QVERIFY(host.output().contains(QStringLiteral("started add-on AUTORUN1: %1").arg(first)));

    QTRY_COMPARE_WITH_TIMEOUT(readAll(marker).count('\n'), 3, 10000);
    const QString ran = QString::fromUtf8(readAll(marker));
    QVERIFY(ran.contains(first + QLatin1Char(' ') + host.programFolder()));
    QVERIFY(ran.contains(absolute));
    QVERIFY(ran.contains(quoted));
    QVERIFY(!ran.contains(never));
}

void TestHostStandIn::noAddonsWhenAskedNot() {
    QTemporaryDir elsewhere;
    const QString marker = elsewhere.filePath(QStringLiteral("marker.txt"));
    const QString script =
        writeMarkerScript(elsewhere.filePath(QStringLiteral("addon.sh")), marker);
    HostStandInProcess::Options options;
    options.addons = false;
    options.siteIni = QStringLiteral("[addons]\nautorun1=%1\n").arg(script).toUtf8();
    HostStandInProcess host(options);
    QString error;
    QVERIFY2(host.start(&error), qPrintable(error));
    QVERIFY(host.startedAddons().isEmpty());
    QVERIFY(host.exit());
    QVERIFY(!QFile::exists(marker));
}

void TestHostStandIn::refusesBadArguments() {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("qw"));
    struct Case {
        QByteArray content;
        const char* expected;
    };
    const Case cases[] = {
        {"{\"DocNo\": \"Q1\",", "not valid JSON"},
        {"[1, 2]", "JSON object"},
        {"{\"SoldToNickname\": \"x\"}", "unknown field \"SoldToNickname\""},
        {"{\"DocNo\": [1]}", "must be text or a number"},
    };
    for (const Case& c : cases) {
        const QString quote = dir.filePath(QStringLiteral("quote.json"));
        QFile file(quote);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.content);
        file.close();
        QString output;
        QCOMPARE(
            runToEnd({QStringLiteral("--program-folder"), folder, QStringLiteral("--quote"), quote},
                     &output),
            2);
        QVERIFY2(output.contains(QLatin1String(c.expected)), qPrintable(output));
    }
    QString output;
    QCOMPARE(runToEnd({QStringLiteral("--quote"), HostStandInProcess::sampleQuoteFile()}, &output),
             2);
    QVERIFY(output.contains(QLatin1String("--program-folder")));
    QCOMPARE(runToEnd({QStringLiteral("--program-folder"), folder, QStringLiteral("--quote"),
                       dir.filePath(QStringLiteral("missing.json"))},
                      &output),
             2);
    QVERIFY(output.contains(QLatin1String("missing.json")));
    // A program folder that cannot be made.
    QCOMPARE(
        runToEnd({QStringLiteral("--program-folder"), QStringLiteral("/dev/null/qw")}, &output), 2);
    QVERIFY2(output.contains(QLatin1String("cannot create")), qPrintable(output));
}

void TestHostStandIn::refusesASecondHost() {
    HostStandInProcess first;
    QString error;
    QVERIFY2(first.start(&error), qPrintable(error));

    QTemporaryDir dir;
    QString output;
    QCOMPARE(
        runToEnd({QStringLiteral("--program-folder"), dir.path(), QStringLiteral("--no-addons")},
                 &output),
        3);
    QVERIFY2(output.contains(QLatin1String("QuoteWerks.Application")), qPrintable(output));
    // The first one is untouched.
    QCOMPARE(first.formField(QStringLiteral("DocNo")), QStringLiteral("Q1001"));

    HostStandInProcess second;
    QVERIFY(!second.start(&error));
    QVERIFY(error.contains(QLatin1String("ended before it was ready")));
}

void TestHostStandIn::opensWithoutAQuote() {
    HostStandInProcess::Options options;
    options.sampleQuote = false;
    HostStandInProcess host(options);
    QString error;
    QVERIFY2(host.start(&error), qPrintable(error));
    const QVariantMap fields = host.formFields();
    QCOMPARE(fields.size(), 7 + 3 * 15);
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        QVERIFY2(it.value().toString().isEmpty(), qPrintable(it.key()));
    QVERIFY(fields.contains(QStringLiteral("ShipToPhoneExt")));
    // Without a document number there is no file name to save under.
    QCOMPARE(host.save(), qint16(1));
    QVERIFY(QDir(host.programFolder() + QStringLiteral("/DTF")).isEmpty());
    host.setField(QStringLiteral("docno"), QStringLiteral("N-1"));
    QCOMPARE(host.save(), qint16(0));
    QVERIFY(QFile::exists(host.programFolder() + QStringLiteral("/DTF/N-1.dtf")));
}

QTEST_GUILESS_MAIN(TestHostStandIn)
#include "tst_HostStandIn.moc"
