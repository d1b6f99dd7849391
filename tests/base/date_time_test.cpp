// Recording time stamps: day serials, the recorder date and time forms and the
// texts shown for them.

#include "base/date_time.h"

#include <gtest/gtest.h>

namespace waveharm {
namespace {

TEST(DateTime, SerialDaysFrom1899December30) {
    EXPECT_DOUBLE_EQ(DateTime::fromCivil({1899, 12, 30, 0, 0, 0}).serial, 0);
    EXPECT_DOUBLE_EQ(DateTime::fromCivil({1900, 3, 1, 0, 0, 0}).serial, 61);
    EXPECT_DOUBLE_EQ(DateTime::fromCivil({2018, 12, 12, 12, 0, 0}).serial, 43446.5);
    const CivilDateTime c = DateTime{43446.5 + 1.0 / 86400 * 0.4}.civil();
    EXPECT_EQ(c.year, 2018);
    EXPECT_EQ(c.day, 12);
    EXPECT_EQ(c.hour, 12);
    EXPECT_EQ(c.second, 0);  // rounded to the nearest second
    const DateTime t = DateTime::fromCivil({2020, 2, 29, 23, 59, 59}).plusHours(1.0 / 3600);
    EXPECT_EQ(formatDateTimeText(t), "2020/03/01 00:00:00");
}

TEST(DateTime, OnlyRealDaysAndTimesOfDayAreTimes) {
    for (const CivilDateTime c :
         {CivilDateTime{2014, 4, 30, 23, 59, 59}, CivilDateTime{2000, 2, 29, 0, 0, 0},
          CivilDateTime{2016, 2, 29, 12, 0, 0}})
        EXPECT_TRUE(DateTime::fromValidCivil(c)) << c.year << "-" << c.month << "-" << c.day;
    for (const CivilDateTime c :
         {CivilDateTime{2014, 4, 31, 0, 0, 0}, CivilDateTime{1900, 2, 29, 0, 0, 0},
          CivilDateTime{2019, 2, 29, 0, 0, 0}, CivilDateTime{2018, 13, 1, 0, 0, 0},
          CivilDateTime{2018, 0, 1, 0, 0, 0}, CivilDateTime{2018, 1, 0, 0, 0, 0},
          CivilDateTime{2018, 1, 1, 24, 0, 0}, CivilDateTime{2018, 1, 1, 0, 60, 0},
          CivilDateTime{2018, 1, 1, 0, 0, -1}})
        EXPECT_FALSE(DateTime::fromValidCivil(c)) << c.year << "-" << c.month << "-" << c.day << " "
                                                  << c.hour << ":" << c.minute << ":" << c.second;
}

TEST(DateTime, RecorderDateForms) {
    for (const char* text : {"18-12-12", "18/12/12", "18.12.12", "2018-12-12", " 18-12-12 "}) {
        const auto d = parseDateText(text);
        ASSERT_TRUE(d) << text;
        EXPECT_EQ(d->year, 2018);
        EXPECT_EQ(d->month, 12);
        EXPECT_EQ(d->day, 12);
    }
    EXPECT_EQ(parseDateText("29-01-01")->year, 2029);
    EXPECT_EQ(parseDateText("30-01-01")->year, 1930);
    EXPECT_EQ(parseDateText("99-01-01")->year, 1999);
    EXPECT_EQ(parseDateText("00-02-29")->day, 29);  // 2000 is a leap year
    for (const char* bad : {"", "18-13-01", "18-02-30", "19-02-29", "18-12", "18-12-12-1",
                            "18-12/12", "a8-12-12", "123-01-01", "18--12", "14-04-31"})
        EXPECT_FALSE(parseDateText(bad)) << bad;
}

TEST(DateTime, TimeForms) {
    const auto t = parseTimeText("09:05:07");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->hour, 9);
    EXPECT_EQ(t->minute, 5);
    EXPECT_EQ(t->second, 7);
    EXPECT_EQ(parseTimeText("23:59")->second, 0);
    for (const char* bad : {"", "24:00:00", "12:60:00", "12:00:60", "12", "12:00:00:00", "1a:00"})
        EXPECT_FALSE(parseTimeText(bad)) << bad;
}

TEST(DateTime, DisplayTextsWithJapaneseWeekday) {
    const char* expected[] = {"日", "月", "火", "水", "木", "金", "土"};
    for (int i = 0; i < 7; ++i) {  // 2018-12-09 was a Sunday
        const DateTime t = DateTime::fromCivil({2018, 12, 9 + i, 7, 8, 9});
        EXPECT_EQ(formatDateText(t), "18/12/" + std::to_string(9 + i).insert(0, i == 0 ? "0" : "") +
                                         "(" + expected[i] + ")");
    }
    EXPECT_EQ(formatDateText(DateTime::fromCivil({1999, 1, 1, 0, 0, 0})), "99/01/01(金)");
    EXPECT_EQ(formatTimeText(DateTime::fromCivil({2018, 1, 1, 7, 8, 9})), "07:08:09");
}

}  // namespace
}  // namespace waveharm
