// The host's field names and the in-memory host that unit tests of its users rely on.

#include "pellwick/host/HostFields.h"
#include "pellwick/testing/FakeQuoteWerksApp.h"

#include <QSet>
#include <QtTest>

using namespace pellwick;
using pellwick::testing::FakeQuoteWerksApp;

class TestHostFields : public QObject {
    Q_OBJECT

private slots:
    void namesAndSpellings();
    void fakeHostBehavesLikeTheHost();
};

void TestHostFields::namesAndSpellings() {
    const QStringList& all = hostfields::allFieldNames();
    QCOMPARE(all.size(), 7 + 3 * 15);
    QSet<QString> lower;
    for (const QString& name : all)
        lower.insert(name.toLower());
    QCOMPARE(lower.size(), all.size());
    QCOMPARE(all.first(), QStringLiteral("DocNo"));
    QCOMPARE(all.last(), QStringLiteral("BillToEmail"));

    QCOMPARE(hostfields::canonicalName(QStringLiteral("SoldToPhoneext")),
             QStringLiteral("SoldToPhoneExt"));
    QCOMPARE(hostfields::canonicalName(QStringLiteral("billtofaxext")),
             QStringLiteral("BillToFaxExt"));
    QCOMPARE(hostfields::canonicalName(QStringLiteral("INTERNALNOTES")),
             QStringLiteral("InternalNotes"));
    // A section field needs its prefix; prefixes alone and other names are no fields.
    QCOMPARE(hostfields::canonicalName(QStringLiteral("Email")), QString());
    QCOMPARE(hostfields::canonicalName(QStringLiteral("SoldTo")), QString());
    QCOMPARE(hostfields::canonicalName(QStringLiteral("SoldToEmail ")), QString());
    QCOMPARE(hostfields::canonicalName(QString()), QString());

    QCOMPARE(hostfields::sectionPrefix(1), QStringLiteral("ShipTo"));
    QCOMPARE(hostfields::sectionPrefix(3), QString());
    QCOMPARE(hostfields::sectionPrefix(-1), QString());
}

void TestHostFields::fakeHostBehavesLikeTheHost() {
    FakeQuoteWerksApp host(QStringLiteral("/opt/qw"));
    host.setField(QStringLiteral("docno"), QStringLiteral("Q7"));
    host.setField(QStringLiteral("GrandTotal"), 99.5);
    QuoteWerksDocument& doc = host.DocumentAccess();

    QCOMPARE(doc.GetFieldValue(QStringLiteral("DocNo")).toString(), QStringLiteral("Q7"));
    QCOMPARE(doc.GetFieldValue(QStringLiteral("GrandTotal")).toDouble(), 99.5);
    QCOMPARE(doc.GetFieldValue(QStringLiteral("ShipToCity")), QVariant(QString()));
    doc.SetFieldValue(QStringLiteral("SoldToPhoneext"), QStringLiteral("5"), false);
    doc.SetFieldValue(QStringLiteral("SoldToEmail"), QStringLiteral("a@b.c"), true);
    QCOMPARE(host.field(QStringLiteral("SoldToPhoneExt")).toString(), QStringLiteral("5"));
    QCOMPARE(host.writes().size(), std::size_t(2));
    QCOMPARE(host.writes()[0].field, QStringLiteral("SoldToPhoneext"));
    QCOMPARE(host.writes()[0].refresh, false);
    QCOMPARE(host.writes()[1].refresh, true);
    QCOMPARE(host.reads(), (QStringList{"DocNo", "GrandTotal", "ShipToCity"}));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, host.setField(QStringLiteral("Nickname"), 1));
    QVERIFY_THROWS_EXCEPTION(HostError, doc.GetFieldValue(QStringLiteral("Nickname")));

    // Handlers may change the by-reference values; the fake hands them back.
    connect(&host, &QuoteWerksApp::BeforeContactSelection, this,
            [](qint16, qint16& source) { source = 4; });
    connect(&host, &QuoteWerksApp::BeforePrintDocument, this,
            [](qint16, qint16, const QString&, bool& cancel) { cancel = true; });
    QCOMPARE(host.raiseBeforeContactSelection(0, 1), qint16(4));
    QCOMPARE(host.raiseBeforePrintDocument(2), true);

    host.setDocumentOpen(false);
    QCOMPARE(doc.NoDocumentOpen(), true);
    QVERIFY_THROWS_EXCEPTION(HostError, doc.GetFieldValue(QStringLiteral("DocNo")));
    QCOMPARE(host.ProgramFolder(), QStringLiteral("/opt/qw"));

    host.setGone(true);
    QVERIFY_THROWS_EXCEPTION(HostError, host.ProgramFolder());
    QVERIFY_THROWS_EXCEPTION(HostError, doc.NoDocumentOpen());
}

QTEST_GUILESS_MAIN(TestHostFields)
#include "tst_HostFields.moc"
