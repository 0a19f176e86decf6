#include "remoting/core/ro_datetime.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <locale>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

namespace vgl {
namespace {

constexpr std::int32_t None = NoTimeZoneOffset;

TDateTime At(int y, int mo, int d, int h, int mi, int s, int ms) {
    return EncodeDateTime(y, mo, d, h, mi, s, ms);
}

TEST(RODateTimeTest, ParsesEveryFormAndZone) {
    struct Case {
        const char16_t* text;
        TDateTime value;
        std::int32_t offset;
        TDateTime utc;
    } cases[] = {
        {u"", 0, None, 0},
        {u"2023-04-11T13:05:09", At(2023, 4, 11, 13, 5, 9, 0), None, At(2023, 4, 11, 13, 5, 9, 0)},
        {u"2023-04-11T13:05:09Z", At(2023, 4, 11, 13, 5, 9, 0), 0, At(2023, 4, 11, 13, 5, 9, 0)},
        {u"2023-04-11T13:05:09z", At(2023, 4, 11, 13, 5, 9, 0), 0, At(2023, 4, 11, 13, 5, 9, 0)},
        {u"2023-04-11T13:05:09+02:00", At(2023, 4, 11, 13, 5, 9, 0), 120, At(2023, 4, 11, 11, 5, 9, 0)},
        {u"2023-04-11T13:05:09-05:30", At(2023, 4, 11, 13, 5, 9, 0), -330, At(2023, 4, 11, 18, 35, 9, 0)},
        {u"2023-04-11T13:05:09+02", At(2023, 4, 11, 13, 5, 9, 0), 120, At(2023, 4, 11, 11, 5, 9, 0)},
        // Hours and minutes without a colon.
        {u"2023-04-11T13:05:09+0200", At(2023, 4, 11, 13, 5, 9, 0), 120, At(2023, 4, 11, 11, 5, 9, 0)},
        {u"2023-04-11T13:05:09-0130", At(2023, 4, 11, 13, 5, 9, 0), -90, At(2023, 4, 11, 14, 35, 9, 0)},
        {u"2023-04-11T13:05:09+14:00", At(2023, 4, 11, 13, 5, 9, 0), 840, At(2023, 4, 10, 23, 5, 9, 0)},
        {u"2023-04-11T13:05:09.5Z", At(2023, 4, 11, 13, 5, 9, 500), 0, At(2023, 4, 11, 13, 5, 9, 500)},
        {u"2023-04-11T13:05:09.250", At(2023, 4, 11, 13, 5, 9, 250), None, At(2023, 4, 11, 13, 5, 9, 250)},
        {u"2023-04-11T13:05:09.250-01:00", At(2023, 4, 11, 13, 5, 9, 250), -60, At(2023, 4, 11, 14, 5, 9, 250)},
        // The separator between date and time is not looked at.
        {u"2023-04-11 13:05:09", At(2023, 4, 11, 13, 5, 9, 0), None, At(2023, 4, 11, 13, 5, 9, 0)},
        // A zone part that begins with another character names no zone.
        {u"2023-04-11T13:05:09X", At(2023, 4, 11, 13, 5, 9, 0), None, At(2023, 4, 11, 13, 5, 9, 0)},
        {u"13:05:09", EncodeTime(13, 5, 9, 0), None, EncodeTime(13, 5, 9, 0)},
        {u"13:05:09Z", EncodeTime(13, 5, 9, 0), 0, EncodeTime(13, 5, 9, 0)},
        {u"2023-04-11", EncodeDate(2023, 4, 11), None, EncodeDate(2023, 4, 11)},
        {u"2023-04-11+01:00", EncodeDate(2023, 4, 11), 60, At(2023, 4, 10, 23, 0, 0, 0)},
        // Before 1899-12-30 the time of day is subtracted from the day number.
        {u"1899-12-29T06:00:00", -1.25, None, -1.25},
        {u"1899-12-29T06:00:00+08:00", -1.25, 480, At(1899, 12, 28, 22, 0, 0, 0)},
        {u"1899-12-30T01:00:00+02:00", EncodeTime(1, 0, 0, 0), 120, At(1899, 12, 29, 23, 0, 0, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(StringToUtf8(c.text));
        std::int32_t offset = 0;
        EXPECT_NEAR(ParseISO8601DateTime(c.text, offset), c.value, 1e-9);
        EXPECT_EQ(offset, c.offset);
        EXPECT_NEAR(ISO8601ToUtcDateTime(c.text), c.utc, 1e-9);
    }
}

TEST(RODateTimeTest, RefusesBadNumbersAndOffsets) {
    for (const char16_t* text : {u"2023-04-11T13:05:09+0260", u"2023-04-11T13:05:09+02:75", u"2023-04-11T13:05:09+15",
                                 u"2023-04-11T13:05:09-14:01", u"2023-04-11T13:05:09+1500", u"2023-04-11T13:05:09+",
                                 u"2023-13-11T13:05:09", u"2023-04-11T24:05:09", u"20x3-04-11T13:05:09",
                                 u"2023-04-11T+1:05:09", u"13:05", u"2023-04-11T13:05:09+02:0x"}) {
        SCOPED_TRACE(StringToUtf8(text));
        std::int32_t offset = 0;
        EXPECT_THROW(ParseISO8601DateTime(text, offset), EConvertError);
    }
}

/// A decimal comma for C++ streams.
struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

/// Makes a German locale the process's C locale for the test's duration, compiling it into a
/// temporary folder when the system has none.
class DecimalCommaLocale {
public:
    DecimalCommaLocale() {
        fOldCpp = std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
        fOldC = std::setlocale(LC_ALL, nullptr);
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) {
            const auto dir = std::filesystem::temp_directory_path() / "vgl_ro_datetime_locale";
            std::filesystem::create_directories(dir);
            const std::string command =
                "localedef -i de_DE -f UTF-8 " + (dir / "de_DE.UTF-8").string() + " >/dev/null 2>&1";
            if (std::filesystem::exists(dir / "de_DE.UTF-8" / "LC_NUMERIC") || std::system(command.c_str()) == 0) {
                setenv("LOCPATH", dir.c_str(), 1);
                fCActive = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
            }
        } else {
            fCActive = true;
        }
    }
    ~DecimalCommaLocale() {
        std::setlocale(LC_ALL, fOldC.c_str());
        std::locale::global(fOldCpp);
    }
    bool CActive() const { return fCActive; }

private:
    std::locale fOldCpp;
    std::string fOldC;
    bool fCActive = false;
};

TEST(RODateTimeTest, FormatsWithoutTheLocalesSeparators) {
    DecimalCommaLocale locale;
    if (locale.CActive()) {
        EXPECT_EQ(*std::localeconv()->decimal_point, ',');
    }
    EXPECT_EQ(DateTimeToISO8601(At(2023, 4, 11, 13, 5, 9, 0)), u"2023-04-11T13:05:09");
    EXPECT_EQ(DateTimeToISO8601(At(2023, 4, 11, 13, 5, 9, 250)), u"2023-04-11T13:05:09.250");
    EXPECT_EQ(DateTimeToISO8601(At(1, 1, 1, 0, 0, 0, 7)), u"0001-01-01T00:00:00.007");
    std::int32_t offset = 0;
    EXPECT_NEAR(ParseISO8601DateTime(u"2023-04-11T13:05:09.250", offset), At(2023, 4, 11, 13, 5, 9, 250), 1e-9);
    // Written text reads back to the same value.
    const TDateTime value = At(2024, 2, 29, 23, 59, 58, 999);
    EXPECT_NEAR(ISO8601ToUtcDateTime(DateTimeToISO8601(value)), value, 1e-9);
}

TEST(RODateTimeTest, LocalAndUtcConvertBothWays) {
    // Central European time as a POSIX rule, so no zone database is needed.
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    const TDateTime summer = At(2023, 7, 1, 13, 0, 0, 0);
    EXPECT_NEAR(LocalToUtcDateTime(summer), At(2023, 7, 1, 11, 0, 0, 0), 1e-9);
    EXPECT_NEAR(UtcToLocalDateTime(At(2023, 1, 1, 11, 0, 0, 0)), At(2023, 1, 1, 12, 0, 0, 0), 1e-9);
    unsetenv("TZ");
    tzset();
    EXPECT_LT(std::abs(UtcNow() - NowUTC()), 1.0 / SecsPerDay);
}

} // namespace
} // namespace vgl
