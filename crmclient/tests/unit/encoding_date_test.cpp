#include "tessary/Encoding.h"
#include "tessary/Notifier.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using tessary::AutomationDateFromIso8601;
using tessary::AutomationDateFromParts;
using tessary::DateParts;
using tessary::Iso8601FromAutomationDate;
using tessary::MySQLDateText;
using tessary::PartsFromAutomationDate;

constexpr double kSecond = 1.0 / 86400;

class ReportRecorder : public tessary::Notifier {
public:
    std::vector<std::string> texts;
    void ShowMessage(const std::string&, const std::string& text, tessary::BoxIcon) override {
        texts.push_back(text);
    }
    tessary::BoxAnswer AskOkCancel(const std::string&, const std::string& text,
                                   tessary::BoxIcon) override {
        texts.push_back(text);
        return tessary::BoxAnswer::Ok;
    }
};

TEST(EncodingDateTest, KnownDays) {
    EXPECT_EQ(AutomationDateFromParts(1899, 12, 30, 0, 0, 0), 0.0);
    EXPECT_EQ(PartsFromAutomationDate(0.0), (DateParts{1899, 12, 30, 0, 0, 0}));
    EXPECT_EQ(AutomationDateFromParts(1900, 1, 1, 0, 0, 0), 2.0);
    EXPECT_EQ(AutomationDateFromParts(1970, 1, 1, 0, 0, 0), 25569.0);
    EXPECT_EQ(AutomationDateFromParts(2000, 1, 1, 0, 0, 0), 36526.0);
    EXPECT_EQ(AutomationDateFromParts(2009, 7, 3, 12, 0, 0), 39997.5);
    EXPECT_EQ(AutomationDateFromParts(100, 1, 1, 0, 0, 0), -657434.0);
    EXPECT_EQ(AutomationDateFromParts(9999, 12, 31, 0, 0, 0), 2958465.0);
}

TEST(EncodingDateTest, TimeOfDay) {
    const double date = AutomationDateFromParts(2009, 7, 3, 14, 5, 9);
    EXPECT_DOUBLE_EQ(date, 39997 + (14 * 3600 + 5 * 60 + 9) * kSecond);
    EXPECT_EQ(PartsFromAutomationDate(date), (DateParts{2009, 7, 3, 14, 5, 9}));
    EXPECT_EQ(MySQLDateText(date), "2009-07-03 14:05:09");
    EXPECT_EQ(Iso8601FromAutomationDate(date), "20090703T14:05:09");
    EXPECT_EQ(MySQLDateText(AutomationDateFromParts(2010, 11, 30, 23, 59, 59)),
              "2010-11-30 23:59:59");
    EXPECT_EQ(MySQLDateText(0.0), "1899-12-30 00:00:00");
}

TEST(EncodingDateTest, LeapDays) {
    EXPECT_EQ(AutomationDateFromParts(2000, 2, 29, 0, 0, 0), 36585.0);
    EXPECT_EQ(MySQLDateText(36585.0), "2000-02-29 00:00:00");
    EXPECT_EQ(PartsFromAutomationDate(AutomationDateFromParts(2024, 2, 29, 8, 0, 0)),
              (DateParts{2024, 2, 29, 8, 0, 0}));
    // 1900 is no leap year (day 60 is 28 February, day 61 the first of March).
    EXPECT_EQ(MySQLDateText(60.0), "1900-02-28 00:00:00");
    EXPECT_EQ(MySQLDateText(61.0), "1900-03-01 00:00:00");
    // Parts out of range carry over, as a date-serial function does.
    EXPECT_EQ(AutomationDateFromParts(2023, 2, 29, 0, 0, 0),
              AutomationDateFromParts(2023, 3, 1, 0, 0, 0));
    EXPECT_EQ(AutomationDateFromParts(2008, 13, 1, 0, 0, 0),
              AutomationDateFromParts(2009, 1, 1, 0, 0, 0));
    EXPECT_EQ(AutomationDateFromParts(2009, 3, 0, 0, 0, 0),
              AutomationDateFromParts(2009, 2, 28, 0, 0, 0));
    EXPECT_EQ(AutomationDateFromParts(2009, 0, 1, 0, 0, 0),
              AutomationDateFromParts(2008, 12, 1, 0, 0, 0));
    EXPECT_EQ(AutomationDateFromParts(2009, 7, 3, 23, 59, 60),
              AutomationDateFromParts(2009, 7, 4, 0, 0, 0));
}

TEST(EncodingDateTest, AgreesWithDayByDayCalendarWalk) {
    // Walk the calendar one day at a time from 1 January 1600 with a plain
    // month-length table and check the serial numbers and the way back.
    auto daysIn = [](int y, int m) {
        static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        return m == 2 && leap ? 29 : days[m - 1];
    };
    const double start = AutomationDateFromParts(1600, 1, 1, 0, 0, 0);
    int y = 1600, m = 1, d = 1;
    for (int n = 0; y < 2401; ++n) {
        ASSERT_EQ(AutomationDateFromParts(y, m, d, 0, 0, 0), start + n)
            << y << "-" << m << "-" << d;
        ASSERT_EQ(PartsFromAutomationDate(start + n), (DateParts{y, m, d, 0, 0, 0})) << n;
        if (++d > daysIn(y, m)) {
            d = 1;
            if (++m > 12) {
                m = 1;
                ++y;
            }
        }
    }
}

TEST(EncodingDateTest, NegativeDatesKeepTheTimeAsPositiveFraction) {
    EXPECT_EQ(AutomationDateFromParts(1899, 12, 29, 6, 0, 0), -1.25);
    EXPECT_EQ(PartsFromAutomationDate(-1.25), (DateParts{1899, 12, 29, 6, 0, 0}));
    EXPECT_EQ(PartsFromAutomationDate(-1.0), (DateParts{1899, 12, 29, 0, 0, 0}));
    // Between -1 and 0 the day is the zero day.
    EXPECT_EQ(PartsFromAutomationDate(-0.5), (DateParts{1899, 12, 30, 12, 0, 0}));
    const double old = AutomationDateFromParts(1800, 1, 1, 18, 30, 15);
    EXPECT_DOUBLE_EQ(old, -36522 - (18 * 3600 + 30 * 60 + 15) * kSecond);
    EXPECT_EQ(MySQLDateText(old), "1800-01-01 18:30:15");
    EXPECT_EQ(Iso8601FromAutomationDate(old), "18000101T18:30:15");
}

TEST(EncodingDateTest, RoundsToTheNearestSecond) {
    const double day = 39997;
    EXPECT_EQ(PartsFromAutomationDate(day + 0.4 * kSecond).second, 0);
    EXPECT_EQ(PartsFromAutomationDate(day + 0.6 * kSecond).second, 1);
    EXPECT_EQ(PartsFromAutomationDate(day + 59.7 * kSecond), (DateParts{2009, 7, 3, 0, 1, 0}));
    // The last half second of a day belongs to the next day.
    EXPECT_EQ(PartsFromAutomationDate(day + 1 - 0.3 * kSecond), (DateParts{2009, 7, 4, 0, 0, 0}));
    EXPECT_EQ(PartsFromAutomationDate(-1.0 - (1 - 0.3 * kSecond)),
              (DateParts{1899, 12, 30, 0, 0, 0}));
    // Every second of a day survives the trip through a double.
    for (int s = 0; s < 86400; s += 7) {
        const DateParts parts{2009, 7, 3, s / 3600, s / 60 % 60, s % 60};
        ASSERT_EQ(PartsFromAutomationDate(
                      AutomationDateFromParts(2009, 7, 3, parts.hour, parts.minute, parts.second)),
                  parts);
        ASSERT_EQ(PartsFromAutomationDate(
                      AutomationDateFromParts(1850, 1, 1, parts.hour, parts.minute, parts.second))
                      .second,
                  parts.second);
    }
}

TEST(EncodingDateTest, YearsWithFewerDigitsAndTheEndsOfTheRange) {
    EXPECT_EQ(MySQLDateText(AutomationDateFromParts(999, 5, 6, 7, 8, 9)), "999-05-06 07:08:09");
    EXPECT_EQ(Iso8601FromAutomationDate(AutomationDateFromParts(100, 1, 1, 0, 0, 0)),
              "1000101T00:00:00");
    EXPECT_EQ(MySQLDateText(AutomationDateFromParts(9999, 12, 31, 23, 59, 59)),
              "9999-12-31 23:59:59");
}

TEST(EncodingDateTest, OutOfRangeIsReportedAndGivesEmptyText) {
    auto recorder = std::make_shared<ReportRecorder>();
    tessary::SetNotifier(recorder);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(MySQLDateText(nan), "");
    EXPECT_EQ(Iso8601FromAutomationDate(AutomationDateFromParts(10000, 1, 1, 0, 0, 0)), "");
    EXPECT_EQ(MySQLDateText(AutomationDateFromParts(99, 12, 31, 23, 59, 59)), "");
    EXPECT_EQ(PartsFromAutomationDate(nan), DateParts{});
    EXPECT_EQ(PartsFromAutomationDate(1e300), DateParts{});
    tessary::SetNotifier(nullptr);

    ASSERT_EQ(recorder->texts.size(), 3u);
    EXPECT_NE(recorder->texts[0].find("Error Section: MySQLDate\r\n"), std::string::npos);
    EXPECT_NE(recorder->texts[0].find("Error Number: 6\r\n"), std::string::npos);
    EXPECT_NE(recorder->texts[1].find("Error Section: InfuDate\r\n"), std::string::npos);
}

TEST(EncodingIso8601Test, ReadsTheWireFormAndItsVariants) {
    const double expected = AutomationDateFromParts(2009, 7, 3, 14, 5, 9);
    for (const char* text : {"20090703T14:05:09", "2009-07-03T14:05:09", "20090703T140509",
                             " \r\n\t20090703T14:05:09\n "}) {
        const auto date = AutomationDateFromIso8601(text);
        ASSERT_TRUE(date.has_value()) << text;
        EXPECT_EQ(*date, expected) << text;
    }
    EXPECT_EQ(AutomationDateFromIso8601("20000229T00:00:00"), 36585.0);
    EXPECT_EQ(AutomationDateFromIso8601("18991229T06:00:00"), -1.25);
    EXPECT_EQ(AutomationDateFromIso8601("01000101T00:00:00"), -657434.0);
    // Years before 1000 as the writer gives them: three digits.
    EXPECT_EQ(AutomationDateFromIso8601("1000101T00:00:00"), -657434.0);
    EXPECT_EQ(AutomationDateFromIso8601("999-12-31T00:00:00"),
              AutomationDateFromParts(999, 12, 31, 0, 0, 0));
    EXPECT_EQ(AutomationDateFromIso8601("99991231T23:59:59"),
              AutomationDateFromParts(9999, 12, 31, 23, 59, 59));
}

TEST(EncodingIso8601Test, RoundTripsThroughText) {
    std::mt19937 rng(3);
    std::uniform_int_distribution<long> seconds(-657434L * 86400, 2958465L * 86400 + 86399);
    for (int i = 0; i < 2000; ++i) {
        const long s = seconds(rng);
        const double day = static_cast<double>(s >= 0 ? s / 86400 : -((-s) / 86400));
        const double time = static_cast<double>(s >= 0 ? s % 86400 : (-s) % 86400);
        const double date = day >= 0 ? day + time * kSecond : day - time * kSecond;
        const std::string text = Iso8601FromAutomationDate(date);
        const auto back = AutomationDateFromIso8601(text);
        ASSERT_TRUE(back.has_value()) << text;
        ASSERT_EQ(PartsFromAutomationDate(*back), PartsFromAutomationDate(date)) << text;
    }
}

TEST(EncodingIso8601Test, RejectsJunk) {
    for (const char* text : {"",
                             "2009",
                             "20090703",
                             "20090703T",
                             "20090703 14:05:09",
                             "20090703t14:05:09",
                             "20090703T14:05:09Z",
                             "20090703T14:05:09+01:00",
                             "20090703T14:05:09.5",
                             "20090703T14:05",
                             "20090703T14:05:9",
                             "2009-0703T14:05:09",
                             "200907-03T14:05:09",
                             "20090703T14:0509",
                             "20091303T14:05:09",
                             "20090003T14:05:09",
                             "20090700T14:05:09",
                             "20090732T14:05:09",
                             "20090230T00:00:00",
                             "19000229T00:00:00",
                             "20090703T24:00:00",
                             "20090703T14:60:00",
                             "20090703T14:05:60",
                             "00990703T14:05:09",
                             "abcd0703T14:05:09",
                             "+2009070T14:05:09",
                             "2009-07-03T14:05:09junk"}) {
        EXPECT_FALSE(AutomationDateFromIso8601(text).has_value()) << text;
    }
    EXPECT_FALSE(AutomationDateFromIso8601(std::string_view("20090703T14:05:09\0", 18)));
}

} // namespace
