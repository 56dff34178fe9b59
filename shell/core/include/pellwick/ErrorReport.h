#pragma once
// The program's error report and the guard that every handler and procedure runs its
// body in: "no procedure lets an error escape". A failure inside the body is caught,
// shown in the "Pellwick Error" box with the procedure's name as the section, and the
// procedure returns its default.
//
//     bool frmSetup::cmdOK_Click() {
//         return Guarded("cmdOK_Click", false, [&] { ...; return true; });
//     }

#include <QString>
#include <exception>
#include <source_location>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

namespace pellwick {

// Line ends of every text the program shows or writes, as the host's own files have them.
inline const QString kCrLf = QStringLiteral("\r\n");

// Error numbers the program raises itself (the classic runtime's numbering).
namespace errnum {
inline constexpr long InvalidProcedureCall = 5;
inline constexpr long Overflow = 6;
inline constexpr long OutOfMemory = 7;
inline constexpr long TypeMismatch = 13;
inline constexpr long InternalError = 51;
inline constexpr long PathFileAccess = 75;
// A host, connection or record that should be there is not.
inline constexpr long ObjectNotSet = 91;
inline constexpr long ObjectRequired = 424;
inline constexpr long RemoteServerUnavailable = 462;
} // namespace errnum

// A failure raised by the program's own code, carrying what the error report shows.
class ProgramError : public std::runtime_error {
public:
    ProgramError(long number, const QString& description,
                 QString source = QStringLiteral("Pellwick"),
                 std::source_location where = std::source_location::current());
    ProgramError(long number, const QString& description, QString source, long line);

    long number() const { return m_number; }
    long line() const { return m_line; }
    const QString& source() const { return m_source; }
    QString description() const { return QString::fromUtf8(what()); }

private:
    long m_number;
    long m_line;
    QString m_source;
};

// What the error report box shows; number 0 means "no error pending".
struct ErrorInfo {
    QString source;
    long number = 0;
    long line = 0;
    QString description;
};

// "Object variable or With block variable not set": what a missing host, connection or
// record raises.
ProgramError ObjectNotSetError(std::source_location where = std::source_location::current());

// Describes an exception: ProgramError as it stands; a host failure as source
// "QuoteWerks.Application", number 462; out of memory as number 7; any other exception
// as source "Pellwick", number 51 with its text. Never returns number 0 for a real error.
ErrorInfo DescribeException(std::exception_ptr error);

// The text of the error report box for one section and error (lines joined by CR LF).
QString ErrorReportText(const QString& section, const ErrorInfo& error);

// The error report box ("Pellwick Error", critical icon, OK). Shows nothing when
// error.number is 0.
void ReportError(const QString& section, const ErrorInfo& error);
// The error report for the exception being handled: inside a catch block it reports
// that exception; anywhere else no error is pending and nothing is shown. Never throws.
void ReportError(const QString& section);
// The same; the name says where it belongs.
inline void ReportCurrentError(const QString& section) {
    ReportError(section);
}

// Runs body; on any exception reports it under `section` and returns fallback.
template <class T, class F> T Guarded(const char* section, T fallback, F&& body) {
    try {
        return std::forward<F>(body)();
    } catch (...) {
        ReportCurrentError(QString::fromUtf8(section));
        return fallback;
    }
}

// The same for procedures without a result. Returns false when the body failed.
template <class F> bool Guarded(const char* section, F&& body) {
    static_assert(std::is_void_v<std::invoke_result_t<F>>,
                  "a body with a result needs the form with a fallback value");
    try {
        std::forward<F>(body)();
        return true;
    } catch (...) {
        ReportCurrentError(QString::fromUtf8(section));
        return false;
    }
}

} // namespace pellwick
