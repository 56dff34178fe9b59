#include "pellwick/ErrorReport.h"

#include "pellwick/MessageBox.h"
#include "pellwick/host/QuoteWerksApp.h"

#include <new>

namespace pellwick {

ProgramError::ProgramError(long number, const QString& description, QString source,
                           std::source_location where)
    : ProgramError(number, description, std::move(source), static_cast<long>(where.line())) {}

ProgramError::ProgramError(long number, const QString& description, QString source, long line)
    : std::runtime_error(description.toStdString()), m_number(number), m_line(line),
      m_source(std::move(source)) {}

ProgramError ObjectNotSetError(std::source_location where) {
    return ProgramError(errnum::ObjectNotSet,
                        QStringLiteral("Object variable or With block variable not set"),
                        QStringLiteral("Pellwick"), where);
}

ErrorInfo DescribeException(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const ProgramError& e) {
        // A ProgramError numbered 0 would make the report disappear; it is still an error.
        return {e.source(), e.number() != 0 ? e.number() : errnum::InternalError, e.line(),
                e.description()};
    } catch (const HostError& e) {
        return {QStringLiteral("QuoteWerks.Application"), errnum::RemoteServerUnavailable, 0,
                QString::fromUtf8(e.what())};
    } catch (const std::bad_alloc&) {
        return {QStringLiteral("Pellwick"), errnum::OutOfMemory, 0,
                QStringLiteral("Out of memory")};
    } catch (const std::exception& e) {
        return {QStringLiteral("Pellwick"), errnum::InternalError, 0, QString::fromUtf8(e.what())};
    } catch (...) {
        return {QStringLiteral("Pellwick"), errnum::InternalError, 0,
                QStringLiteral("Unknown error")};
    }
}

QString ErrorReportText(const QString& section, const ErrorInfo& error) {
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("Error Reported From Pellwick.") + crlf + crlf +
           QStringLiteral("Error Section: ") + section + crlf + QStringLiteral("Error Source: ") +
           error.source + crlf + QStringLiteral("Error Line: ") + QString::number(error.line) +
           crlf + QStringLiteral("Error Number: ") + QString::number(error.number) + crlf +
           QStringLiteral("Error Description: ") + error.description;
}

void ReportError(const QString& section, const ErrorInfo& error) {
    if (error.number == 0)
        return;
    MsgBox(ErrorReportText(section, error), MsgIcon::Critical, MsgButtons::Ok,
           QStringLiteral("Pellwick Error"));
}

void ReportError(const QString& section) {
    const std::exception_ptr pending = std::current_exception();
    if (!pending)
        return;
    const ErrorInfo info = DescribeException(pending);
    // The report itself must not throw out of a catch block: a failing presenter would
    // otherwise turn one error into a crash.
    try {
        ReportError(section, info);
    } catch (...) {
    }
}

} // namespace pellwick
