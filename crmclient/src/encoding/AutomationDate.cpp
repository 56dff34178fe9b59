// Automation dates and their text forms. Calendar arithmetic on day numbers
// (days since 1970-01-01 in the proleptic Gregorian calendar, after H. Hinnant's
// civil-date algorithms), so no time-zone or C library date code is involved.

#include "Guard.h"
#include "encoding/Dates.h"
#include "tessary/Encoding.h"

#include <cmath>
#include <cstdint>

namespace tessary {
namespace {

using i64 = std::int64_t;

constexpr i64 kSecondsPerDay = 86400;
// The report's error number for a date that cannot be written (the classic
// runtime's "Overflow").
constexpr long kOverflow = 6;

constexpr i64 FloorDiv(i64 a, i64 b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

constexpr i64 DaysFromCivil(i64 y, i64 m, i64 d) {
    y -= m <= 2;
    const i64 era = FloorDiv(y, 400);
    const i64 yoe = y - era * 400;
    const i64 doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const i64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct Civil {
    i64 year;
    int month;
    int day;
};

constexpr Civil CivilFromDays(i64 z) {
    z += 719468;
    const i64 era = FloorDiv(z, 146097);
    const i64 doe = z - era * 146097;
    const i64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const i64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const i64 mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (m <= 2), m, d};
}

constexpr i64 kEpoch = DaysFromCivil(1899, 12, 30);
static_assert(CivilFromDays(kEpoch).year == 1899 && CivilFromDays(kEpoch).day == 30);

// The valid range: 1 January 100 to 31 December 9999, 23:59:59.
constexpr double kFirstDay = static_cast<double>(DaysFromCivil(100, 1, 1) - kEpoch);
constexpr double kLastDay = static_cast<double>(DaysFromCivil(9999, 12, 31) - kEpoch);

bool InRange(double date) {
    // Rounding to the second may still carry 9999-12-31 23:59:59.6 over.
    return date > kFirstDay - 1 && date < kLastDay + 1 - 0.5 / kSecondsPerDay;
}

// Whole days and seconds of the day; the day is the integer part, the time the
// fraction's absolute value, rounded to the nearest second.
struct DaySeconds {
    i64 day;
    i64 seconds;
};

DaySeconds Split(double date) {
    const double whole = std::trunc(date);
    i64 day = static_cast<i64>(whole);
    i64 seconds = std::llround(std::fabs(date - whole) * kSecondsPerDay);
    if (seconds >= kSecondsPerDay) {
        seconds -= kSecondsPerDay;
        ++day;
    }
    return {day, seconds};
}

void PutDigits(char*& out, int value, int width) {
    for (int i = width - 1; i >= 0; --i, value /= 10)
        out[i] = static_cast<char>('0' + value % 10);
    out += width;
}

// Year (as many digits as it has), then month, day, hour, minute and second
// in two digits each, with the given separators between them.
std::string FormatDate(double date, const char* separators) {
    if (!InRange(date))
        throw detail::LibraryError(kOverflow,
                                   "Overflow: the date lies outside the years 100 to 9999");
    const DateParts p = PartsFromAutomationDate(date);
    char buffer[32];
    char* out = buffer;
    PutDigits(out, p.year, p.year >= 1000 ? 4 : 3);
    const int fields[] = {p.month, p.day, p.hour, p.minute, p.second};
    for (int i = 0; i < 5; ++i) {
        if (separators[i] != '\0')
            *out++ = separators[i];
        PutDigits(out, fields[i], 2);
    }
    return std::string(buffer, out);
}

// Reads exactly `width` digits; -1 when one of them is not a digit.
int ReadDigits(std::string_view& text, std::size_t width) {
    if (text.size() < width)
        return -1;
    int value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    text.remove_prefix(width);
    return value;
}

bool Skip(std::string_view& text, char c) {
    if (!text.empty() && text.front() == c) {
        text.remove_prefix(1);
        return true;
    }
    return false;
}

bool IsLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

} // namespace

namespace encoding {
bool IsWritableDate(double date) noexcept {
    return InRange(date);
}
} // namespace encoding

double AutomationDateFromParts(int year, int month, int day, int hour, int minute,
                               int second) noexcept {
    const i64 months = i64{year} * 12 + (i64{month} - 1);
    const i64 y = FloorDiv(months, 12);
    const i64 m = months - y * 12 + 1;
    i64 days = DaysFromCivil(y, m, 1) - kEpoch + (i64{day} - 1);
    i64 seconds = i64{hour} * 3600 + i64{minute} * 60 + second;
    days += FloorDiv(seconds, kSecondsPerDay);
    seconds -= FloorDiv(seconds, kSecondsPerDay) * kSecondsPerDay;
    const double time = static_cast<double>(seconds) / kSecondsPerDay;
    return days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time;
}

DateParts PartsFromAutomationDate(double date) noexcept {
    if (!InRange(date))
        return {};
    const DaySeconds ds = Split(date);
    const Civil c = CivilFromDays(ds.day + kEpoch);
    const int s = static_cast<int>(ds.seconds);
    return {static_cast<int>(c.year), c.month, c.day, s / 3600, s / 60 % 60, s % 60};
}

std::string MySQLDateText(double date) {
    return detail::Guarded("MySQLDate", std::string(),
                           [date] { return FormatDate(date, "-- ::"); });
}

std::string Iso8601FromAutomationDate(double date) {
    return detail::Guarded("InfuDate", std::string(), [date] {
        static constexpr char kSeparators[] = {'\0', '\0', 'T', ':', ':'};
        return FormatDate(date, kSeparators);
    });
}

std::optional<double> AutomationDateFromIso8601(std::string_view text) noexcept {
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);

    // The year has three or four digits: count them up to the first separator.
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
        ++digits;
    const bool dashes = digits < text.size() && text[digits] == '-';
    const std::size_t yearDigits = dashes ? digits : digits - 4;
    if (digits < 3 || yearDigits < 3 || yearDigits > 4)
        return std::nullopt;
    const int year = ReadDigits(text, yearDigits);
    Skip(text, '-');
    const int month = ReadDigits(text, 2);
    if (dashes && !Skip(text, '-'))
        return std::nullopt;
    const int day = ReadDigits(text, 2);
    if (!Skip(text, 'T'))
        return std::nullopt;
    const int hour = ReadDigits(text, 2);
    const bool colons = Skip(text, ':');
    const int minute = ReadDigits(text, 2);
    if (colons && !Skip(text, ':'))
        return std::nullopt;
    const int second = ReadDigits(text, 2);
    if (!text.empty() || year < 100 || month < 1 || month > 12 || day < 1 || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return std::nullopt;
    if (day > DaysInMonth(year, month))
        return std::nullopt;
    return AutomationDateFromParts(year, month, day, hour, minute, second);
}

} // namespace tessary
