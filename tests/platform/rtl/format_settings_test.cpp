#include "platform/rtl/format_settings.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/rtl/datetime.h"
#include "platform/rtl/format.h"
#include "platform/rtl/sysutils.h"

namespace vgl {
namespace {

/// The request mapping's private record: "/" between date parts, ":" in times, "." decimals.
TFormatSettings SlashSettings() {
    TFormatSettings fs = TFormatSettings::Create();
    fs.DateSeparator = u'/';
    fs.TimeSeparator = u':';
    fs.DecimalSeparator = u'.';
    return fs;
}

TFormatSettings CommaSettings() {
    TFormatSettings fs = TFormatSettings::Create();
    fs.DecimalSeparator = u',';
    fs.ThousandSeparator = u'.';
    fs.CurrencyString = u"EUR";
    fs.CurrencyFormat = 3;
    return fs;
}

TEST(FormatSettings, RoutinesFollowTheRecordTheyAreGiven) {
    const TDateTime t = EncodeDateTime(2023, 4, 11, 13, 5, 0, 0);
    const TFormatSettings slash = SlashSettings(), comma = CommaSettings();
    struct Case {
        const char* Name;
        std::function<String()> Run;
        const char16_t* Expected;
    } cases[] = {
        {"date-time, slash record", [&] { return FormatDateTime(u"yy/mm/dd hh:nn", t, slash); }, u"23/04/11 13:05"},
        {"date-time, process record", [&] { return FormatDateTime(u"yy/mm/dd hh:nn", t); }, u"23.04.11 13:05"},
        {"picture, comma", [&] { return FormatFloat(u"#0.00", 12.5, comma); }, u"12,50"},
        {"picture, point", [&] { return FormatFloat(u"#0.00", 12.5, slash); }, u"12.50"},
        {"picture, process", [&] { return FormatFloat(u"#0.00", 12.5); }, u"12.50"},
        {"thousands, comma", [&] { return FormatFloat(u"#,##0.0", 1234567.25, comma); }, u"1.234.567,3"},
        {"currency picture", [&] { return FormatCurr(u"0.00", 125000, comma); }, u"12,50"},
        {"shortest, comma", [&] { return FloatToStr(0.25, comma); }, u"0,25"},
        {"Format %f %n %m",
         [&] {
             return Format(u"%.1f|%n|%m", {2.5, 1234.5, 3.0}, comma);
         },
         u"2,5|1.234,50|3,00 EUR"},
        {"Format %s %d keep",
         [&] {
             return Format(u"%s-%d", {u"a", 7}, comma);
         },
         u"a-7"},
        {"date, slash", [&] { return DateToStr(t, slash); }, u"11/04/2023"},
        {"date-time, slash", [&] { return DateTimeToStr(t, slash); }, u"11/04/2023 13:05:00"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.Run(), c.Expected) << c.Name;

    // A changed copy is the caller's own: the process's record stays as it was.
    EXPECT_EQ(FormatSettings().DecimalSeparator, u'.');
    EXPECT_EQ(FormatSettings().DateSeparator, u'.');
}

TEST(FormatSettings, EveryOverloadMatchesItsPlainFormOnTheProcessRecord) {
    const TFormatSettings fs = TFormatSettings::Create();
    for (TDateTime t : {EncodeDateTime(2023, 4, 11, 13, 5, 7, 89), EncodeDate(1899, 12, 30), -1.25, 45000.5}) {
        EXPECT_EQ(FormatDateTime(u"c dddd mmmm yyyy am/pm zzz", t, fs),
                  FormatDateTime(u"c dddd mmmm yyyy am/pm zzz", t));
        EXPECT_EQ(DateToStr(t, fs), DateToStr(t));
        EXPECT_EQ(TimeToStr(t, fs), TimeToStr(t));
        EXPECT_EQ(DateTimeToStr(t, fs), DateTimeToStr(t));
    }
    for (long double v : {0.0L, -1.005L, 12.5L, 1234567.891L, 1e20L, -3e-7L}) {
        EXPECT_EQ(FloatToStr(v, fs), FloatToStr(v));
        EXPECT_EQ(FormatFloat(u"#,##0.00;(#,##0.00);zero", v, fs), FormatFloat(u"#,##0.00;(#,##0.00);zero", v));
        EXPECT_EQ(FloatToStrF(v, ffCurrency, 15, 2, fs), FloatToStrF(v, ffCurrency, 15, 2));
        EXPECT_EQ(Format(u"%g %e %.3f %n %m", {v, v, v, v, v}, fs), Format(u"%g %e %.3f %n %m", {v, v, v, v, v}));
    }
    EXPECT_EQ(FormatCurr(u"0.0000", -123456789, fs), FormatCurr(u"0.0000", -123456789));
}

} // namespace
} // namespace vgl
