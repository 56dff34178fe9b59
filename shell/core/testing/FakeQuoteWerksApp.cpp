#include "pellwick/testing/FakeQuoteWerksApp.h"

#include <stdexcept>
#include <utility>

namespace pellwick::testing {

FakeQuoteWerksApp::FakeQuoteWerksApp(QString programFolder, QObject* parent)
    : QuoteWerksApp(parent), m_programFolder(std::move(programFolder)) {}

void FakeQuoteWerksApp::setField(const QString& name, const QVariant& value) {
    const QString canonical = hostfields::canonicalName(name);
    if (canonical.isEmpty())
        throw std::invalid_argument("FakeQuoteWerksApp: no host field " + name.toStdString());
    m_fields.insert(canonical, value);
}

QVariant FakeQuoteWerksApp::field(const QString& name) const {
    return m_fields.value(hostfields::canonicalName(name), QString());
}

void FakeQuoteWerksApp::setFieldFailing(const QString& name, bool failing) {
    const QString canonical = hostfields::canonicalName(name);
    m_failingFields.removeAll(canonical);
    if (failing)
        m_failingFields << canonical;
}

void FakeQuoteWerksApp::clearRecord() {
    m_writes.clear();
    m_reads.clear();
}

qint16 FakeQuoteWerksApp::raiseBeforeContactSelection(qint16 type, qint16 source) {
    emit BeforeContactSelection(type, source);
    return source;
}

bool FakeQuoteWerksApp::raiseBeforePrintDocument(qint16 printMethod, qint16 layoutType,
                                                 const QString& layoutFileName, bool cancel) {
    emit BeforePrintDocument(printMethod, layoutType, layoutFileName, cancel);
    return cancel;
}

void FakeQuoteWerksApp::throwIfGone() const {
    if (m_gone)
        throw HostError("QuoteWerks did not carry out the call: the host has gone away");
}

QString FakeQuoteWerksApp::checkedField(const QString& name) const {
    throwIfGone();
    const QString canonical = hostfields::canonicalName(name);
    if (canonical.isEmpty())
        throw HostError("QuoteWerks did not carry out the call: Unknown field name \"" +
                        name.toStdString() + "\".");
    if (!m_documentOpen)
        throw HostError("QuoteWerks did not carry out the call: No document is open.");
    return canonical;
}

QString FakeQuoteWerksApp::ProgramFolder() {
    throwIfGone();
    return m_programFolder;
}

QuoteWerksDocument& FakeQuoteWerksApp::DocumentAccess() {
    throwIfGone();
    return *this;
}

QVariant FakeQuoteWerksApp::GetFieldValue(const QString& fieldName) {
    const QString canonical = checkedField(fieldName);
    if (m_failingFields.contains(canonical))
        throw HostError("QuoteWerks did not carry out the call: the field could not be read.");
    m_reads << fieldName;
    return m_fields.value(canonical, QString());
}

int FakeQuoteWerksApp::SetFieldValue(const QString& fieldName, const QString& value, bool refresh) {
    const QString canonical = checkedField(fieldName);
    m_writes.push_back({fieldName, value, refresh});
    m_fields.insert(canonical, value);
    return 1;
}

bool FakeQuoteWerksApp::NoDocumentOpen() {
    throwIfGone();
    return !m_documentOpen;
}

} // namespace pellwick::testing
