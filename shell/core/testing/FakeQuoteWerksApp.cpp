#include "pellwick/testing/FakeQuoteWerksApp.h"

namespace pellwick::testing {

FakeQuoteWerksApp::FakeQuoteWerksApp(QString programFolder)
    : m_programFolder(std::move(programFolder)) {}

void FakeQuoteWerksApp::ThrowIfGone() const {
    if (gone)
        throw HostError("The host application is not running");
}

QString FakeQuoteWerksApp::ProgramFolder() {
    ThrowIfGone();
    return m_programFolder;
}

QuoteWerksDocument& FakeQuoteWerksApp::DocumentAccess() {
    ThrowIfGone();
    return *this;
}

QVariant FakeQuoteWerksApp::GetFieldValue(const QString& fieldName) {
    ThrowIfGone();
    reads << fieldName;
    return fields.value(fieldName, QString());
}

int FakeQuoteWerksApp::SetFieldValue(const QString& fieldName, const QString& value, bool refresh) {
    ThrowIfGone();
    writes.push_back({fieldName, value, refresh});
    fields.insert(fieldName, value);
    return 1;
}

bool FakeQuoteWerksApp::NoDocumentOpen() {
    ThrowIfGone();
    return noDocumentOpen;
}

} // namespace pellwick::testing
