#pragma once
// Date and time values of the runtime.
//
// TDateTime counts days since 1899-12-30; the fraction is the time of day. Before 1899-12-30
// the day number is negative and the time of day is subtracted from it: -1.25 is 1899-12-29
// 06:00. Texts use the process's fixed format settings ("dd.mm.yyyy", "hh:nn:ss"); nothing
// here reads the host's locale. Only the local ⇄ UTC conversions ask the host's time zone.

#include <cstdint>

#include "platform/rtl/format_settings.h"
#include "platform/rtl/ustring.h"

namespace vgl {

using TDateTime = double;

constexpr double HoursPerDay = 24;
constexpr double MinsPerDay = 24 * 60;
constexpr double SecsPerDay = 24 * 60 * 60;
constexpr double MSecsPerDay = 24 * 60 * 60 * 1000;
/// Days between 1899-12-30 and 1970-01-01.
constexpr TDateTime UnixDateDelta = 25569;
/// 0001-01-01 00:00 and 9999-12-31 23:59:59.999.
constexpr TDateTime MinDateTime = -693593.0;
constexpr TDateTime MaxDateTime = 2958465.99999999;

// ---- Encoding and decoding -----------------------------------------------------------------
/// Years 1-9999. Raise EConvertError "Invalid argument to date encode" /
/// "Invalid argument to time encode" (hours 0-23, minutes and seconds 0-59, ms 0-999).
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
/// Date and time combined by the negative-date rule.
TDateTime EncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec);
bool TryEncodeDate(int year, int month, int day, TDateTime& value);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& value);
bool TryEncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec, TDateTime& value);

/// The parts of a value, with the time of day rounded to the millisecond (a time that rounds
/// up to 24:00 is 00:00 of the next day). Raise EConvertError for NaN or a value outside
/// MinDateTime..MaxDateTime.
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec);
void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& min, int& sec, int& msec);

bool IsLeapYear(int year);
int DaysInAMonth(int year, int month);
/// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime value);
/// The day part and the time part (for negative values the time part is positive).
TDateTime DateOf(TDateTime value);
TDateTime TimeOf(TDateTime value);
/// Adds days, keeping the time of day (also across 1899-12-30).
TDateTime IncDay(TDateTime value, int days = 1);
/// Adds months; the day is clipped to the target month's length; the time of day is kept.
TDateTime IncMonth(TDateTime value, int months = 1);

// ---- Clock and time zone -------------------------------------------------------------------
/// Local date and time, today, and the time of day, to the millisecond.
TDateTime Now();
TDateTime Date();
TDateTime Time();
/// The current UTC date and time.
TDateTime NowUTC();
/// Local time to UTC through the host's time zone. A local time that occurs twice (the hour
/// after daylight saving ends) is taken as daylight time when `forceDaylight` is set, else as
/// standard time; a local time skipped by the change is taken with the offset before it.
TDateTime ToUniversalTime(TDateTime local, bool forceDaylight = false);
/// UTC to local time through the host's time zone.
TDateTime ToLocalTime(TDateTime utc);
/// The offset of local time from UTC in minutes (east positive) at the given local time.
int GetUtcOffsetMinutes(TDateTime local, bool forceDaylight = false);
/// Seconds since 1970-01-01 00:00 and back.
std::int64_t DateTimeToUnix(TDateTime value);
TDateTime UnixToDateTime(std::int64_t seconds);

// ---- Text ----------------------------------------------------------------------------------
/// The platform's format specifiers (case-insensitive): c (date, and time when not 00:00),
/// d dd ddd dddd ddddd (short date) dddddd (long date), m mm mmm mmmm (minutes when right
/// after h/hh), yy yyyy, h hh, n nn, s ss, z zzz, t (short time) tt (long time), am/pm a/p
/// ampm (12-hour clock), "/" date separator, ":" time separator, text in '...' or "..."
/// literally, any other character literally.
/// The forms without a settings record use the process's record.
String FormatDateTime(StringView format, TDateTime value);
String FormatDateTime(StringView format, TDateTime value, const TFormatSettings& settings);
/// "dd.mm.yyyy", "hh:nn:ss" and both (the time only when it is not 00:00:00) with the process's
/// record; the settings' short date and long time formats with a record.
String DateToStr(TDateTime value);
String DateToStr(TDateTime value, const TFormatSettings& settings);
String TimeToStr(TDateTime value);
String TimeToStr(TDateTime value, const TFormatSettings& settings);
String DateTimeToStr(TDateTime value);
String DateTimeToStr(TDateTime value, const TFormatSettings& settings);
/// Read "d.m.yyyy" (a two-digit year is taken within 50 years of today; "d.m" is in the
/// current year), "h:n[:s[.z]]" with an optional AM/PM, and a date with an optional time.
/// Raise EConvertError "'%s' is not a valid date", "'%s' is not a valid time",
/// "'%s' is not a valid date and time".
TDateTime StrToDate(StringView s);
TDateTime StrToTime(StringView s);
TDateTime StrToDateTime(StringView s);
bool TryStrToDate(StringView s, TDateTime& value);
bool TryStrToTime(StringView s, TDateTime& value);
bool TryStrToDateTime(StringView s, TDateTime& value);

/// ISO 8601 text "yyyy-mm-ddThh:nn:ss.zzz" followed by "Z" when the value is UTC, else by the
/// local offset "+hh:mm"/"-hh:mm".
String DateToISO8601(TDateTime value, bool inputIsUTC = true);
/// Reads "yyyy-mm-dd", optionally "T" (or a blank) and "hh:nn[:ss[.fraction]]", optionally a
/// zone "Z", "±hh", "±hhmm" or "±hh:mm". With a zone the value is shifted to UTC (and then to
/// local time unless `returnUTC`); without one it is taken as written. Raises EConvertError
/// "'%s' is not a valid date and time".
TDateTime ISO8601ToDate(StringView text, bool returnUTC = true);
bool TryISO8601ToDate(StringView text, TDateTime& value, bool returnUTC = true);

} // namespace vgl
