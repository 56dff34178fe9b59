#include "rest/RestTimes.h"

#include "tessary/Encoding.h"

#include <charconv>
#include <ctime>

namespace tessary::detail {
namespace {

// Reads `count` digits at text[pos], advancing pos.
bool Digits(std::string_view text, std::size_t& pos, std::size_t count, int& out) {
    if (pos + count > text.size())
        return false;
    const auto [end, error] = std::from_chars(text.data() + pos, text.data() + pos + count, out);
    if (error != std::errc() || end != text.data() + pos + count)
        return false;
    pos += count;
    return true;
}

bool Expect(std::string_view text, std::size_t& pos, char c) {
    if (pos >= text.size() || text[pos] != c)
        return false;
    ++pos;
    return true;
}

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
long long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = static_cast<unsigned>((153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1);
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

// The zone's offset east of UTC in seconds: "Z", "+hh:mm", "+hhmm", "+hh" or nothing.
bool ZoneOffset(std::string_view text, std::size_t& pos, long& seconds) {
    seconds = 0;
    if (pos == text.size())
        return true;
    if (text[pos] == 'Z' || text[pos] == 'z')
        return ++pos == text.size();
    if (text[pos] != '+' && text[pos] != '-')
        return false;
    const long sign = text[pos++] == '-' ? -1 : 1;
    int hours = 0, minutes = 0;
    if (!Digits(text, pos, 2, hours))
        return false;
    if (pos < text.size()) {
        Expect(text, pos, ':');
        if (!Digits(text, pos, 2, minutes))
            return false;
    }
    seconds = sign * (hours * 3600L + minutes * 60L);
    return pos == text.size() && hours < 24 && minutes < 60;
}

} // namespace

std::optional<double> LocalDateFromIso(std::string_view text) {
    std::size_t pos = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!Digits(text, pos, 4, year) || !Expect(text, pos, '-') || !Digits(text, pos, 2, month) ||
        !Expect(text, pos, '-') || !Digits(text, pos, 2, day) || month < 1 || month > 12 ||
        day < 1 || day > 31)
        return std::nullopt;
    if (pos == text.size())
        return AutomationDateFromParts(year, month, day, 0, 0, 0);
    if ((text[pos] != 'T' && text[pos] != ' ') || !Digits(text, ++pos, 2, hour) ||
        !Expect(text, pos, ':') || !Digits(text, pos, 2, minute) || !Expect(text, pos, ':') ||
        !Digits(text, pos, 2, second) || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    if (pos < text.size() && text[pos] == '.')
        for (++pos; pos < text.size() && text[pos] >= '0' && text[pos] <= '9';)
            ++pos;
    long offset = 0;
    if (!ZoneOffset(text, pos, offset))
        return std::nullopt;
    const long long utc =
        DaysFromCivil(year, month, day) * 86400LL + hour * 3600LL + minute * 60LL + second - offset;
    const auto moment = static_cast<std::time_t>(utc);
    std::tm local{};
    if (!localtime_r(&moment, &local))
        return std::nullopt;
    return AutomationDateFromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                   local.tm_hour, local.tm_min, local.tm_sec);
}

RpcValue DateFromIso(std::string_view text) {
    const auto date = LocalDateFromIso(text);
    return date ? RpcValue::Date(*date) : RpcValue();
}

} // namespace tessary::detail
