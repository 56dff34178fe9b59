#pragma once
// Byte encodings, the MD5 digest and date conversions used by the CRM client.
//
// Text in and out of these functions stands for bytes: one char per byte, no
// character-set conversion. None of them throws: a failure (in practice only
// running out of memory) is shown as the library's error report (Notifier.h)
// and the function returns its default, as documented per function.

#include "tessary/Export.h"

#include <optional>
#include <string>
#include <string_view>

namespace tessary {

// Standard base64 (alphabet A-Z a-z 0-9 + /, "=" padding) with a CR LF after
// every 64 output characters, including after the last group when the output
// length is a multiple of 64. Empty input gives empty text; on failure (report
// section "sBase64Encode") the result is empty text.
TESSARY_API std::string EncodeBase64(std::string_view bytes);

// Decodes base64 text. CR, LF, tab and space are ignored anywhere; the rest is
// read in groups of four, a short last group being filled up with "=". A group
// holding a character outside the alphabet, or "=" anywhere but as trailing
// padding in its last one or two places, is shown to the user as the question
// "PROGRAM ERROR" / "Illegal Characters <group> found" (OK/Cancel, no icon):
// OK puts "???" in that group's place and goes on, Cancel returns what was
// decoded before the group. On failure (report section "sBase64Decode") the
// result is empty text.
TESSARY_API std::string DecodeBase64(std::string_view text);

// The RFC 1321 MD5 digest of `bytes` as 32 lowercase hexadecimal digits.
// On failure (report section "DigestStrToHexStr") the result is empty text.
TESSARY_API std::string MD5Hex(std::string_view bytes);

// Automation dates: a double counting days from 30 December 1899 00:00, the
// fraction being the time of day. Before that day the integer part still
// names the day and the fraction's absolute value is the time, so -1.25 is
// 29 December 1899 06:00. Calendar is the proleptic Gregorian one. Valid
// values run from 1 January 100 to 31 December 9999.

// The automation date of the given moment. Like a date-serial function, parts
// out of their usual range carry over (month 13 is January of the next year,
// day 0 the last day of the month before, second 60 the next minute).
TESSARY_API double AutomationDateFromParts(int year, int month, int day, int hour, int minute,
                                           int second) noexcept;

// A moment's calendar parts (the default is the zero date, 1899-12-30 00:00:00).
struct DateParts {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    friend bool operator==(const DateParts&, const DateParts&) = default;
};

// The calendar parts of an automation date, rounded to the nearest second.
// A value that is not a number or lies outside the valid range gives the
// parts of the zero date (1899-12-30 00:00:00).
TESSARY_API DateParts PartsFromAutomationDate(double date) noexcept;

// "2009-07-03 14:05:09": the year in as many digits as it has, every other
// field in two. Outside the valid range (report section "MySQLDate", "Overflow")
// or on failure the result is empty text.
TESSARY_API std::string MySQLDateText(double date);

// The XML-RPC dateTime.iso8601 text "20090703T14:05:09", fields as in
// MySQLDateText. Outside the valid range (report section "InfuDate",
// "Overflow") or on failure the result is empty text.
TESSARY_API std::string Iso8601FromAutomationDate(double date);

// Reads a dateTime.iso8601 value: "YYYYMMDD" or "YYYY-MM-DD", then "T", then
// "HH:MM:SS" or "HHMMSS"; surrounding whitespace is ignored. A three-digit year
// (years 100 to 999, as Iso8601FromAutomationDate writes them) is read too.
// Anything else (a zone or other suffix, fields out of range such as 30
// February or 24:00) gives no value. Never reports.
TESSARY_API std::optional<double> AutomationDateFromIso8601(std::string_view text) noexcept;

} // namespace tessary
