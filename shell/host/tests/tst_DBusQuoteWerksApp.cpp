// The plug-in's host adapter talking to the host stand-in over the session bus.

#include "HostStandInProcess.h"
#include "pellwick/host/DBusQuoteWerksApp.h"
#include "pellwick/host/HostBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QXmlStreamReader>
#include <QtTest>
#include <memory>
#include <vector>

using hoststandin::HostStandInProcess;
using pellwick::HostError;
using pellwick::QuoteWerksApp;

namespace {

struct ContactSelection {
    qint16 type;
    qint16 source;
};
struct PrintEvent {
    qint16 method;
    qint16 layoutType;
    QString layoutFile;
    bool cancel;
};

// Records every event the adapter passes on.
struct EventLog {
    int exits = 0;
    int vanished = 0; // HostVanished: not a host event, the bus's word that it is gone
    std::vector<qint16> saves;
    std::vector<ContactSelection> selections;
    std::vector<PrintEvent> prints;

    explicit EventLog(QuoteWerksApp& app) {
        QObject::connect(&app, &QuoteWerksApp::AfterAppExit, [this] { ++exits; });
        QObject::connect(&app, &QuoteWerksApp::HostVanished, [this] { ++vanished; });
        QObject::connect(&app, &QuoteWerksApp::AfterSaveDocument,
                         [this](qint16 r) { saves.push_back(r); });
        QObject::connect(&app, &QuoteWerksApp::BeforeContactSelection, [this](qint16 t, qint16& s) {
            selections.push_back({t, s});
            s = 99; // a handler may change it; the host never sees that
        });
        QObject::connect(&app, &QuoteWerksApp::BeforePrintDocument,
                         [this](qint16 m, qint16 l, const QString& f, bool& c) {
                             prints.push_back({m, l, f, c});
                             c = true;
                         });
    }
};

// Starts the stand-in; a failure to start fails the calling test function.
#define START_HOST(host)                                                                           \
    do {                                                                                           \
        QString startError;                                                                        \
        QVERIFY2((host).start(&startError), qPrintable(startError));                               \
    } while (false)

std::shared_ptr<QuoteWerksApp> attach(int timeoutMs = pellwick::hostbus::kDefaultCallTimeoutMs) {
    QString why;
    auto app = pellwick::AttachToRunningQuoteWerks(QDBusConnection::sessionBus(), timeoutMs, &why);
    if (!app)
        qWarning("attach failed: %s", qPrintable(why));
    return app;
}

// "method Name(s)->(v)" / "signal Name(n,n)" for every member of the host's
// interface in an introspection document.
QSet<QString> interfaceMembers(const QByteArray& xml) {
    QSet<QString> members;
    QXmlStreamReader reader(xml);
    bool inInterface = false;
    QString current;
    QStringList args;
    QStringList outs;
    while (!reader.atEnd()) {
        reader.readNext();
        const auto name = reader.name();
        if (reader.isStartElement()) {
            if (name == QLatin1String("interface"))
                inInterface = reader.attributes().value(QLatin1String("name")) ==
                              QLatin1String(pellwick::hostbus::kInterface);
            else if (inInterface &&
                     (name == QLatin1String("method") || name == QLatin1String("signal"))) {
                current = name.toString() + QLatin1Char(' ') +
                          reader.attributes().value(QLatin1String("name")).toString();
                args.clear();
                outs.clear();
            } else if (inInterface && name == QLatin1String("arg") && !current.isEmpty()) {
                const QString direction =
                    reader.attributes().value(QLatin1String("direction")).toString();
                const QString type = reader.attributes().value(QLatin1String("type")).toString();
                // Signal arguments only go out; their direction attribute is optional.
                const bool isOut = current.startsWith(QLatin1String("method")) &&
                                   direction == QLatin1String("out");
                (isOut ? outs : args) << type;
            }
        } else if (reader.isEndElement()) {
            if (inInterface &&
                (name == QLatin1String("method") || name == QLatin1String("signal"))) {
                QString member =
                    current + QLatin1Char('(') + args.join(QLatin1Char(',')) + QLatin1Char(')');
                if (current.startsWith(QLatin1String("method")))
                    member +=
                        QStringLiteral("->(") + outs.join(QLatin1Char(',')) + QLatin1Char(')');
                members.insert(member);
                current.clear();
            } else if (name == QLatin1String("interface")) {
                inInterface = false;
            }
        }
    }
    return members;
}

} // namespace

class TestDBusQuoteWerksApp : public QObject {
    Q_OBJECT

private slots:
    void attachWithoutHostGivesNothing();
    void interfaceMatchesItsDescription();
    void fieldsTravelBothWays();
    void eachEventArrivesWithItsArguments();
    void quoteFilesAreWritten();
    void noDocumentOpen();
    void hostExitingMidRun();
    void hostKilledMidRun();
    void hungHostTimesOut();
    void newHostIsNotTheAttachedOne();
};

void TestDBusQuoteWerksApp::attachWithoutHostGivesNothing() {
    QString why;
    QElapsedTimer clock;
    clock.start();
    const auto app = pellwick::AttachToRunningQuoteWerks(&why);
    QVERIFY(!app);
    QVERIFY2(why.contains(QLatin1String("QuoteWerks.Application")), qPrintable(why));
    QVERIFY(clock.elapsed() < 2000);
    // Asking never started anything on the bus.
    QVERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(
        QString::fromLatin1(pellwick::hostbus::kServiceName)));

    // A bus that is not connected is "not running" too, not a crash.
    const QDBusConnection none = QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("no-bus"));
    QVERIFY(!pellwick::AttachToRunningQuoteWerks(none, 1000, &why));
    QVERIFY(!why.isEmpty());
    QDBusConnection::disconnectFromBus(QStringLiteral("no-bus"));
}

void TestDBusQuoteWerksApp::interfaceMatchesItsDescription() {
    HostStandInProcess host;
    START_HOST(host);

    QFile file(QStringLiteral(PELLWICK_HOST_XML));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QSet<QString> described = interfaceMembers(file.readAll());

    QDBusMessage introspect = QDBusMessage::createMethodCall(
        QString::fromLatin1(pellwick::hostbus::kServiceName),
        QString::fromLatin1(pellwick::hostbus::kObjectPath),
        QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"));
    const QDBusMessage reply = QDBusConnection::sessionBus().call(introspect, QDBus::Block, 5000);
    QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    const QSet<QString> live = interfaceMembers(reply.arguments().value(0).toString().toUtf8());

    QCOMPARE(described.size(), 8);
    QVERIFY(described.contains(QStringLiteral("signal BeforePrintDocument(n,n,s,b)")));
    QVERIFY(described.contains(QStringLiteral("method SetFieldValue(s,s,b)->(i)")));
    QCOMPARE(live, described);
}

void TestDBusQuoteWerksApp::fieldsTravelBothWays() {
    HostStandInProcess host;
    QString error;
    QVERIFY2(host.start(&error), qPrintable(error));
    const auto app = attach();
    QVERIFY(app);
    QCOMPARE(app->ProgramFolder(), host.programFolder());
    auto& doc = app->DocumentAccess();
    QCOMPARE(doc.NoDocumentOpen(), false);

    // Reading: text fields as text, the total as a number.
    QCOMPARE(doc.GetFieldValue(QStringLiteral("DocNo")), QVariant(QStringLiteral("Q1001")));
    QCOMPARE(doc.GetFieldValue(QStringLiteral("SoldToContact")).toString(),
             QStringLiteral("Marion Q Okafor"));
    const QVariant total = doc.GetFieldValue(QStringLiteral("GrandTotal"));
    QCOMPARE(total.metaType().id(), int(QMetaType::Double));
    QCOMPARE(total.toDouble(), 12480.5);
    QCOMPARE(doc.GetFieldValue(QStringLiteral("ShipToAddress3")).toString(),
             QStringLiteral("Building B"));

    // The writer's "Phoneext" and the reader's "PhoneExt" are one field. A write without
    // refresh changes the document but not yet the display.
    QCOMPARE(doc.SetFieldValue(QStringLiteral("BillToPhoneext"), QStringLiteral("321"), false), 1);
    QCOMPARE(doc.GetFieldValue(QStringLiteral("BillToPhoneExt")).toString(), QStringLiteral("321"));
    QCOMPARE(host.formField(QStringLiteral("BillToPhoneExt")), QString());
    QCOMPARE(
        doc.SetFieldValue(QStringLiteral("BillToEmail"), QStringLiteral("new@example.com"), true),
        1);
    QCOMPARE(host.formField(QStringLiteral("BillToPhoneExt")), QStringLiteral("321"));
    QCOMPARE(host.formField(QStringLiteral("BillToEmail")), QStringLiteral("new@example.com"));

    // What the user types in the host reaches the plug-in, notes with their line breaks.
    host.setField(QStringLiteral("ClosingNotes"), QStringLiteral("Line one\nLine two"));
    host.setField(QStringLiteral("GrandTotal"), QStringLiteral("1,200.00"));
    QCOMPARE(doc.GetFieldValue(QStringLiteral("ClosingNotes")).toString(),
             QStringLiteral("Line one\nLine two"));
    QCOMPARE(doc.GetFieldValue(QStringLiteral("GrandTotal")), QVariant(QStringLiteral("1,200.00")));
    QCOMPARE(host.formFields().value(QStringLiteral("ClosingNotes")).toString(),
             QStringLiteral("Line one\nLine two"));

    // Text with characters outside ASCII survives the trip.
    doc.SetFieldValue(QStringLiteral("SoldToCity"), QStringLiteral("Zürich – Ørsted"), true);
    QCOMPARE(host.formField(QStringLiteral("SoldToCity")), QStringLiteral("Zürich – Ørsted"));

    // An unknown field is the host's error, reported as such.
    try {
        doc.GetFieldValue(QStringLiteral("SoldToNickname"));
        QFAIL("an unknown field was read");
    } catch (const HostError& e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(QLatin1String("SoldToNickname")), e.what());
    }
    QVERIFY_THROWS_EXCEPTION(
        HostError, doc.SetFieldValue(QStringLiteral("Nickname"), QStringLiteral("x"), true));
}

void TestDBusQuoteWerksApp::eachEventArrivesWithItsArguments() {
    HostStandInProcess host;
    START_HOST(host);
    const auto app = attach();
    QVERIFY(app);
    EventLog log(*app);

    QCOMPARE(host.save(), qint16(0));
    QTRY_COMPARE(log.saves.size(), size_t(1));
    QCOMPARE(log.saves[0], qint16(0));

    host.email();
    host.print();
    QTRY_COMPARE(log.prints.size(), size_t(2));
    QCOMPARE(log.prints[0].method, qint16(2));
    QCOMPARE(log.prints[1].method, qint16(1));
    for (const PrintEvent& e : log.prints) {
        QCOMPARE(e.layoutType, qint16(0));
        QCOMPARE(e.layoutFile, QStringLiteral("Standard Quote.qwl"));
        QCOMPARE(e.cancel, false);
    }

    for (qint16 type = 0; type < 3; ++type)
        host.selectContact(type, qint16(10 + type));
    QTRY_COMPARE(log.selections.size(), size_t(3));
    for (qint16 type = 0; type < 3; ++type) {
        QCOMPARE(log.selections[type].type, type);
        QCOMPARE(log.selections[type].source, qint16(10 + type));
    }
    // Negative and extreme 16-bit values keep their value.
    host.selectContact(qint16(-1), qint16(-32768));
    QTRY_COMPARE(log.selections.size(), size_t(4));
    QCOMPARE(log.selections[3].type, qint16(-1));
    QCOMPARE(log.selections[3].source, qint16(-32768));

    // The document number names the files; one that would leave the folder is refused
    // and the save reports failure.
    host.setField(QStringLiteral("DocNo"), QStringLiteral("../escape"));
    QCOMPARE(host.save(), qint16(1));
    QTRY_COMPARE(log.saves.size(), size_t(2));
    QCOMPARE(log.saves[1], qint16(1));
    QVERIFY(!QFile::exists(host.programFolder() + QStringLiteral("/escape.dtf")));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, host.email());

    QVERIFY(host.exit());
    QTRY_COMPARE(log.exits, 1);
    QCOMPARE(log.saves.size(), size_t(2));
    QCOMPARE(log.prints.size(), size_t(2));
}

void TestDBusQuoteWerksApp::quoteFilesAreWritten() {
    HostStandInProcess host;
    START_HOST(host);
    const auto app = attach();
    QVERIFY(app);
    EventLog log(*app);
    const QString folder = app->ProgramFolder();

    app->DocumentAccess().SetFieldValue(QStringLiteral("DocNo"), QStringLiteral("Q2002"), true);
    QCOMPARE(host.save(), qint16(0));
    QFile dtf(folder + QStringLiteral("/DTF/Q2002.dtf"));
    QVERIFY(dtf.open(QIODevice::ReadOnly));
    QVERIFY(dtf.readAll().contains("Harbour Lane Dental"));

    // The PDF exists by the time the e-mail event arrives.
    QCOMPARE(host.email(), folder + QStringLiteral("/history/email/Q2002.pdf"));
    QTRY_COMPARE(log.prints.size(), size_t(1));
    QFile pdf(folder + QStringLiteral("/history/email/Q2002.pdf"));
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    QVERIFY(bytes.startsWith("%PDF-"));
    QVERIFY(bytes.trimmed().endsWith("%%EOF"));

    // A host that produces the PDF after the event: the event comes first.
    host.setEmailPdfDelay(400);
    app->DocumentAccess().SetFieldValue(QStringLiteral("DocNo"), QStringLiteral("Q2003"), true);
    host.email();
    QTRY_COMPARE(log.prints.size(), size_t(2));
    const QString late = folder + QStringLiteral("/history/email/Q2003.pdf");
    QVERIFY(!QFile::exists(late));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(late), 10000);

    // And one that never produces it.
    host.setEmailPdfDelay(-1);
    app->DocumentAccess().SetFieldValue(QStringLiteral("DocNo"), QStringLiteral("Q2004"), true);
    host.email();
    QTRY_COMPARE(log.prints.size(), size_t(3));
    QTest::qWait(600);
    QVERIFY(!QFile::exists(folder + QStringLiteral("/history/email/Q2004.pdf")));
}

void TestDBusQuoteWerksApp::noDocumentOpen() {
    HostStandInProcess host;
    START_HOST(host);
    const auto app = attach();
    QVERIFY(app);
    auto& doc = app->DocumentAccess();

    host.closeDocument();
    QCOMPARE(doc.NoDocumentOpen(), true);
    QCOMPARE(host.formField(QStringLiteral("DocNo")), QString());
    QVERIFY_THROWS_EXCEPTION(HostError, doc.GetFieldValue(QStringLiteral("DocNo")));
    QVERIFY_THROWS_EXCEPTION(HostError,
                             doc.SetFieldValue(QStringLiteral("DocNo"), QStringLiteral("x"), true));
    // The host's actions need a document too.
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, host.save());
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, host.selectContact(0));
    // The application object still answers.
    QCOMPARE(app->ProgramFolder(), host.programFolder());

    host.openDocument();
    QCOMPARE(doc.NoDocumentOpen(), false);
    QCOMPARE(doc.GetFieldValue(QStringLiteral("DocNo")).toString(), QStringLiteral("Q1001"));
    QCOMPARE(host.formField(QStringLiteral("DocNo")), QStringLiteral("Q1001"));
}

void TestDBusQuoteWerksApp::hostExitingMidRun() {
    HostStandInProcess host;
    START_HOST(host);
    const auto app = attach();
    QVERIFY(app);
    EventLog log(*app);

    QVERIFY(host.exit());
    QTRY_COMPARE(log.exits, 1);
    QTRY_COMPARE(log.vanished, 1);
    QElapsedTimer clock;
    clock.start();
    QVERIFY_THROWS_EXCEPTION(HostError, app->ProgramFolder());
    QVERIFY_THROWS_EXCEPTION(HostError, app->DocumentAccess().NoDocumentOpen());
    QVERIFY_THROWS_EXCEPTION(HostError,
                             app->DocumentAccess().GetFieldValue(QStringLiteral("DocNo")));
    QVERIFY(clock.elapsed() < 1000);
    QVERIFY(!pellwick::AttachToRunningQuoteWerks());
}

void TestDBusQuoteWerksApp::hostKilledMidRun() {
    HostStandInProcess host;
    START_HOST(host);
    const auto app = attach();
    QVERIFY(app);
    EventLog log(*app);

    host.kill();
    QElapsedTimer clock;
    clock.start();
    QVERIFY_THROWS_EXCEPTION(HostError, app->DocumentAccess().SetFieldValue(
                                            QStringLiteral("DocNo"), QStringLiteral("x"), true));
    QVERIFY(clock.elapsed() < 1000);
    QTRY_COMPARE(log.vanished, 1); // the bus tells, once
    QTest::qWait(100);
    QCOMPARE(log.exits, 0); // a crash says nothing
    QCOMPARE(log.vanished, 1);
}

void TestDBusQuoteWerksApp::hungHostTimesOut() {
    HostStandInProcess host;
    QString error;
    QVERIFY2(host.start(&error), qPrintable(error));
    const auto app = attach(500);
    QVERIFY(app);

    host.suspend();
    QElapsedTimer clock;
    clock.start();
    QVERIFY_THROWS_EXCEPTION(HostError,
                             app->DocumentAccess().GetFieldValue(QStringLiteral("DocNo")));
    QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
    // A hung host is not one to attach to.
    clock.restart();
    QVERIFY(!pellwick::AttachToRunningQuoteWerks(QDBusConnection::sessionBus(), 500, &error));
    QVERIFY(clock.elapsed() < 2500);
    host.resume();
    // Once it answers again, so does the adapter.
    QCOMPARE(app->DocumentAccess().GetFieldValue(QStringLiteral("DocNo")).toString(),
             QStringLiteral("Q1001"));
}

void TestDBusQuoteWerksApp::newHostIsNotTheAttachedOne() {
    std::shared_ptr<QuoteWerksApp> old;
    {
        HostStandInProcess first;
        QString error;
        QVERIFY2(first.start(&error), qPrintable(error));
        old = attach();
        QVERIFY(old);
        QVERIFY(first.exit());
    }
    HostStandInProcess second;
    QString error;
    QVERIFY2(second.start(&error), qPrintable(error));
    EventLog oldLog(*old);
    // The object of the host that went away stays dead, events of the new one do not
    // reach it; attaching anew finds the new host.
    QVERIFY_THROWS_EXCEPTION(HostError, old->ProgramFolder());
    const auto fresh = attach();
    QVERIFY(fresh);
    EventLog freshLog(*fresh);
    second.save();
    QTRY_COMPARE(freshLog.saves.size(), size_t(1));
    QTest::qWait(100);
    QCOMPARE(oldLog.saves.size(), size_t(0));
}

QTEST_GUILESS_MAIN(TestDBusQuoteWerksApp)
#include "tst_DBusQuoteWerksApp.moc"
