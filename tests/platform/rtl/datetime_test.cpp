#include "platform/rtl/datetime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "platform/rtl/exceptions.h"

namespace vgl {
namespace {

template <typename F> String ConvertErrorOf(F&& f) {
    try {
        f();
    } catch (const EConvertError& e) {
        return e.Message();
    }
    return u"<no EConvertError>";
}

TEST(DateTime, EncodeDecodeRoundTrips) {
    struct Case {
        int Y, M, D;
        double Value;
        int DayOfWeek;
    } cases[] = {
        {1899, 12, 30, 0, 7},      {1899, 12, 29, -1, 6},    {1900, 1, 1, 2, 2},      {1900, 2, 28, 60, 4},
        {1900, 3, 1, 61, 5},       {2000, 2, 29, 36585, 3},  {2023, 4, 11, 45027, 3}, {2024, 2, 29, 45351, 5},
        {1600, 2, 29, -109512, 3}, {1752, 9, 14, -53797, 5}, {1, 1, 1, -693593, 2},   {9999, 12, 31, 2958465, 6},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeDate(c.Y, c.M, c.D), c.Value) << c.Y << "-" << c.M << "-" << c.D;
        int y, m, d;
        DecodeDate(c.Value, y, m, d);
        EXPECT_EQ(y * 10000 + m * 100 + d, c.Y * 10000 + c.M * 100 + c.D);
        EXPECT_EQ(DayOfWeek(c.Value), c.DayOfWeek) << c.Value;
    }
}

TEST(DateTime, InvalidPartsRaise) {
    struct Case {
        int Y, M, D;
    } dates[] = {{2023, 2, 29}, {1900, 2, 29}, {0, 1, 1}, {10000, 1, 1}, {2023, 13, 1}, {2023, 4, 0}, {2023, 4, 31}};
    for (const Case& c : dates) {
        TDateTime v;
        EXPECT_FALSE(TryEncodeDate(c.Y, c.M, c.D, v));
        EXPECT_EQ(ConvertErrorOf([&] { EncodeDate(c.Y, c.M, c.D); }), u"Invalid argument to date encode");
    }
    struct TimeCase {
        int H, N, S, Z;
    } times[] = {{24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}, {-1, 0, 0, 0}};
    for (const TimeCase& c : times)
        EXPECT_EQ(ConvertErrorOf([&] { EncodeTime(c.H, c.N, c.S, c.Z); }), u"Invalid argument to time encode");
    int y, m, d;
    EXPECT_EQ(ConvertErrorOf([&] { DecodeDate(1e300, y, m, d); }), u"'1E300' is not a valid date");
    EXPECT_NE(ConvertErrorOf([&] { DecodeDate(std::nan(""), y, m, d); }), u"<no EConvertError>");
}

TEST(DateTime, NegativeDatesSubtractTheTimeOfDay) {
    struct Case {
        double Value;
        int Y, M, D, H, N;
    } cases[] = {
        {-1.25, 1899, 12, 29, 6, 0},  // day -1, then 6 hours
        {-0.5, 1899, 12, 30, 12, 0},  // day 0 either way
        {0.5, 1899, 12, 30, 12, 0},   //
        {-2.75, 1899, 12, 28, 18, 0}, //
        {1.25, 1899, 12, 31, 6, 0},   //
    };
    for (const Case& c : cases) {
        int y, m, d, h, n, s, z;
        DecodeDateTime(c.Value, y, m, d, h, n, s, z);
        EXPECT_EQ((std::to_string(y) + "-" + std::to_string(m) + "-" + std::to_string(d) + " " + std::to_string(h) +
                   ":" + std::to_string(n)),
                  (std::to_string(c.Y) + "-" + std::to_string(c.M) + "-" + std::to_string(c.D) + " " +
                   std::to_string(c.H) + ":" + std::to_string(c.N)))
            << c.Value;
        if (c.Value != -0.5) {
            EXPECT_EQ(EncodeDateTime(c.Y, c.M, c.D, c.H, c.N, 0, 0), c.Value);
        }
    }
    // Day arithmetic crosses 1899-12-30 by the calendar, not by adding to the number.
    EXPECT_EQ(IncDay(0.25, -1), -1.25);
    EXPECT_EQ(IncDay(-1.25, 2), 1.25);
    EXPECT_EQ(IncDay(-1.25, 1), 0.25);
    EXPECT_EQ(IncMonth(EncodeDateTime(1900, 1, 15, 6, 0, 0, 0), -1), EncodeDateTime(1899, 12, 15, 6, 0, 0, 0));
}

TEST(DateTime, TimesRoundToTheMillisecond) {
    int h, n, s, z;
    DecodeTime(EncodeTime(13, 5, 9, 250), h, n, s, z);
    EXPECT_EQ(h * 10000000 + n * 100000 + s * 1000 + z, 130509250);
    DecodeTime(45027 + EncodeTime(23, 59, 59, 999), h, n, s, z);
    EXPECT_EQ(h * 10000000 + n * 100000 + s * 1000 + z, 235959999);
    // Just below midnight rounds into the next day instead of reading 24:00.
    double late = 45027 + (86400000 - 0.4) / 86400000;
    int y, m, d;
    DecodeDateTime(late, y, m, d, h, n, s, z);
    EXPECT_EQ(y * 10000 + m * 100 + d, 20230412);
    EXPECT_EQ(h + n + s + z, 0);
    EXPECT_EQ(FormatDateTime(u"yyyy-mm-dd hh:nn:ss.zzz", late), u"2023-04-12 00:00:00.000");
}

TEST(DateTime, IncMonthClipsTheDay) {
    struct Case {
        int Y, M, D, Months, EY, EM, ED;
    } cases[] = {
        {2024, 1, 31, 1, 2024, 2, 29},  {2023, 1, 31, 1, 2023, 2, 28},  {2023, 3, 15, -14, 2022, 1, 15},
        {2023, 12, 31, 1, 2024, 1, 31}, {2023, 5, 31, -1, 2023, 4, 30},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IncMonth(EncodeDate(c.Y, c.M, c.D) + 0.5, c.Months), EncodeDate(c.EY, c.EM, c.ED) + 0.5);
    EXPECT_EQ(ConvertErrorOf([] { IncMonth(EncodeDate(9999, 12, 1), 1); }), u"Invalid argument to date encode");
}

TEST(DateTime, FormatDateTimeSpecifiers) {
    const TDateTime v = EncodeDateTime(2023, 4, 11, 13, 5, 9, 7);
    const TDateTime morning = EncodeDateTime(2023, 4, 11, 0, 30, 0, 0);
    struct Case {
        const char16_t* Format;
        TDateTime Value;
        const char16_t* Out;
    } cases[] = {
        {u"yyyy-mm-dd hh:nn:ss.zzz", v, u"2023-04-11 13:05:09.007"},
        {u"d/m/yy", v, u"11.4.23"},
        {u"ddd dddd mmm mmmm", v, u"Tue Tuesday Apr April"},
        {u"h:mm", v, u"13:05"}, // m right after h means minutes
        {u"hh:nn am/pm", v, u"01:05 pm"},
        {u"h AM/PM", v, u"1 PM"},
        {u"h a/p", v, u"1 p"},
        {u"hh ampm", v, u"01 PM"},
        {u"h:nn am/pm", morning, u"12:30 am"},
        {u"c", v, u"11.04.2023 13:05:09"},
        {u"c", 45027, u"11.04.2023"},
        {u"ddddd", v, u"11.04.2023"},
        {u"tt", v, u"13:05:09"},
        {u"t", v, u"13:05"},
        {u"'yyyy' \"mm\" yyyy", v, u"yyyy mm 2023"},
        {u"z s n", v, u"7 9 5"},
        {u"YYYY MM DD", v, u"2023 04 11"},
        {u"yyyy-mm-dd", 0, u"1899-12-30"},
        {u"yyyy", -693593, u"0001"},
        {u"'unterminated", v, u"unterminated"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatDateTime(c.Format, c.Value), c.Out) << StringToUtf8(c.Format);
    EXPECT_EQ(DateToStr(v), u"11.04.2023");
    EXPECT_EQ(TimeToStr(v), u"13:05:09");
    EXPECT_EQ(DateTimeToStr(v), u"11.04.2023 13:05:09");
}

TEST(DateTime, ReadsTextWithTheFixedSettings) {
    struct Case {
        const char16_t* Text;
        std::optional<TDateTime> Value;
    } cases[] = {
        {u"11.04.2023", 45027},
        {u" 1.4.2023 ", EncodeDate(2023, 4, 1)},
        {u"11.04.2023 13:05:09", EncodeDateTime(2023, 4, 11, 13, 5, 9, 0)},
        {u"11.04.2023 1:05 PM", EncodeDateTime(2023, 4, 11, 13, 5, 0, 0)},
        {u"13:05", EncodeTime(13, 5, 0, 0)},
        {u"12:00 AM", 0},
        {u"29.12.1899 06:00:00", -1.25},
        {u"31.04.2023", std::nullopt},
        {u"11/04/2023", std::nullopt},
        {u"11.04.2023 x", std::nullopt},
        {u"11.04.2023 25:00", std::nullopt},
        {u"", std::nullopt},
    };
    for (const Case& c : cases) {
        TDateTime v = -1e9;
        EXPECT_EQ(TryStrToDateTime(c.Text, v), c.Value.has_value()) << StringToUtf8(c.Text);
        if (c.Value) {
            EXPECT_EQ(v, *c.Value) << StringToUtf8(c.Text);
        } else {
            EXPECT_EQ(ConvertErrorOf([&] { StrToDateTime(c.Text); }),
                      u"'" + String(c.Text) + u"' is not a valid date and time");
        }
    }
    EXPECT_EQ(StrToDate(u"29.02.2024"), 45351);
    EXPECT_EQ(ConvertErrorOf([] { StrToDate(u"29.02.2023"); }), u"'29.02.2023' is not a valid date");
    EXPECT_EQ(StrToTime(u"23:59:59.999"), EncodeTime(23, 59, 59, 999));
    EXPECT_EQ(ConvertErrorOf([] { StrToTime(u"25:00"); }), u"'25:00' is not a valid time");
    EXPECT_EQ(ConvertErrorOf([] { StrToTime(u"11.04.2023"); }), u"'11.04.2023' is not a valid time");
    // What the formatter writes, the reader takes back.
    for (TDateTime v : {45027.0, EncodeDateTime(2023, 4, 11, 13, 5, 9, 0), -1.25})
        EXPECT_EQ(StrToDateTime(DateTimeToStr(v)), v);
}

TEST(DateTime, ISO8601BothWays) {
    const TDateTime base = EncodeDateTime(2023, 4, 11, 13, 5, 9, 0);
    struct Case {
        const char16_t* Text;
        std::optional<TDateTime> Utc;
    } cases[] = {
        {u"2023-04-11T13:05:09", base},
        {u"2023-04-11T13:05:09Z", base},
        {u"2023-04-11T13:05:09+02:00", EncodeDateTime(2023, 4, 11, 11, 5, 9, 0)},
        {u"2023-04-11T13:05:09-05:30", EncodeDateTime(2023, 4, 11, 18, 35, 9, 0)},
        {u"2023-04-11T13:05:09+0200", EncodeDateTime(2023, 4, 11, 11, 5, 9, 0)},
        {u"2023-04-11T13:05:09+02", EncodeDateTime(2023, 4, 11, 11, 5, 9, 0)},
        {u"2023-04-11T13:05:09.5Z", EncodeDateTime(2023, 4, 11, 13, 5, 9, 500)},
        {u"2023-04-11T13:05:09.250", EncodeDateTime(2023, 4, 11, 13, 5, 9, 250)},
        {u"2023-04-11T13:05:09.9996Z", EncodeDateTime(2023, 4, 11, 13, 5, 10, 0)},
        {u"2023-04-11 13:05", EncodeDateTime(2023, 4, 11, 13, 5, 0, 0)},
        {u"2023-04-11", 45027},
        {u"2023-04-11T23:30:00-01:00", EncodeDateTime(2023, 4, 12, 0, 30, 0, 0)},
        {u"1899-12-29T06:00:00Z", -1.25},
        {u"1899-12-30T01:00:00+02:00", -1 - 23.0 / 24},
        {u"2023-4-11", std::nullopt},
        {u"2023-04-11T25:00:00", std::nullopt},
        {u"2023-02-30", std::nullopt},
        {u"2023-04-11T13:05:09+2", std::nullopt},
        {u"2023-04-11T13:05:09+02:00x", std::nullopt},
        {u"2023-04-11T13:05:09.Z", std::nullopt},
        {u"2023-04-11T13", std::nullopt},
        {u"garbage", std::nullopt},
        {u"", std::nullopt},
    };
    for (const Case& c : cases) {
        TDateTime v = -1e9;
        ASSERT_EQ(TryISO8601ToDate(c.Text, v), c.Utc.has_value()) << StringToUtf8(c.Text);
        if (c.Utc) {
            EXPECT_NEAR(v, *c.Utc, 1e-9) << StringToUtf8(c.Text);
        } else {
            EXPECT_EQ(ConvertErrorOf([&] { ISO8601ToDate(c.Text); }),
                      u"'" + String(c.Text) + u"' is not a valid date and time");
        }
    }
    EXPECT_EQ(DateToISO8601(EncodeDateTime(2023, 4, 11, 13, 5, 9, 7)), u"2023-04-11T13:05:09.007Z");
    for (TDateTime v :
         {base, -1.25, EncodeDateTime(1, 1, 1, 0, 0, 0, 1), EncodeDateTime(9999, 12, 31, 23, 59, 59, 999)})
        EXPECT_EQ(ISO8601ToDate(DateToISO8601(v)), v);
}

/// Sets the process time zone for one test and restores it afterwards.
class LocalTimeZone : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ"))
            FSaved = tz;
        // Central European rules written out, so no time-zone database is needed.
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
    }
    void TearDown() override {
        if (FSaved)
            setenv("TZ", FSaved->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> FSaved;
};

TEST_F(LocalTimeZone, LocalAndUniversalTime) {
    struct Case {
        TDateTime Local;
        bool ForceDaylight;
        TDateTime Utc;
        bool RoundTrip; // whether ToLocalTime gives the same local time back
    } cases[] = {
        {EncodeDateTime(2023, 7, 1, 12, 0, 0, 0), false, EncodeDateTime(2023, 7, 1, 10, 0, 0, 0), true},
        {EncodeDateTime(2023, 1, 1, 12, 0, 0, 0), false, EncodeDateTime(2023, 1, 1, 11, 0, 0, 0), true},
        {EncodeDateTime(2023, 1, 1, 0, 30, 0, 0), false, EncodeDateTime(2022, 12, 31, 23, 30, 0, 0), true},
        // 02:30 on 29 October happens twice: daylight time first, then standard time.
        {EncodeDateTime(2023, 10, 29, 2, 30, 0, 0), true, EncodeDateTime(2023, 10, 29, 0, 30, 0, 0), true},
        {EncodeDateTime(2023, 10, 29, 2, 30, 0, 0), false, EncodeDateTime(2023, 10, 29, 1, 30, 0, 0), true},
        // 02:30 on 26 March never happens: it takes the offset before the change (03:30 back).
        {EncodeDateTime(2023, 3, 26, 2, 30, 0, 0), false, EncodeDateTime(2023, 3, 26, 1, 30, 0, 0), false},
        {EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), false, EncodeDateTime(1899, 12, 29, 5, 0, 0, 0), true},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(ToUniversalTime(c.Local, c.ForceDaylight), c.Utc, 1e-9) << c.Local;
        if (c.RoundTrip) {
            EXPECT_NEAR(ToLocalTime(c.Utc), c.Local, 1e-9) << c.Utc;
        }
    }
    EXPECT_NEAR(ToLocalTime(EncodeDateTime(2023, 3, 26, 1, 30, 0, 0)), EncodeDateTime(2023, 3, 26, 3, 30, 0, 0), 1e-9);
    EXPECT_EQ(DateToISO8601(EncodeDateTime(2023, 7, 1, 12, 0, 0, 0), false), u"2023-07-01T12:00:00.000+02:00");
    EXPECT_NEAR(ISO8601ToDate(u"2023-07-01T10:00:00Z", false), EncodeDateTime(2023, 7, 1, 12, 0, 0, 0), 1e-9);
    EXPECT_EQ(GetUtcOffsetMinutes(EncodeDate(2023, 1, 15)), 60);
}

TEST(DateTime, UnixSeconds) {
    EXPECT_EQ(DateTimeToUnix(UnixDateDelta), 0);
    EXPECT_EQ(DateTimeToUnix(EncodeDateTime(2023, 4, 11, 13, 5, 9, 0)), 1681218309);
    EXPECT_EQ(UnixToDateTime(1681218309), EncodeDateTime(2023, 4, 11, 13, 5, 9, 0));
    EXPECT_EQ(DateTimeToUnix(-1.25), (-1 * 86400 + 6 * 3600) - 25569LL * 86400);
}

} // namespace
} // namespace vgl
