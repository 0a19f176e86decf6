#include "platform/rtl/datetime.h"

#include <cmath>
#include <ctime>
#include <mutex>
#include <optional>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/format.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

constexpr std::int64_t MsPerDay = 86400000;
/// Day numbers of 0001-01-01 and 9999-12-31.
constexpr std::int64_t MinDay = -693593;
constexpr std::int64_t MaxDay = 2958465;

/// The one lock around every use of the host's time-zone data (tzset/localtime_r read shared
/// state that a concurrent TZ change would tear).
std::mutex& TimeZoneLock() {
    static std::mutex lock;
    return lock;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

/// Days since 1899-12-30 of a proleptic Gregorian date (no range check).
std::int64_t DayNumber(int year, int month, int day) {
    std::int64_t y = year - (month <= 2 ? 1 : 0);
    std::int64_t era = FloorDiv(y, 400);
    std::int64_t yoe = y - era * 400;
    std::int64_t mp = (month + 9) % 12;
    std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
    std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    std::int64_t daysFrom1970 = era * 146097 + doe - 719468;
    return daysFrom1970 + static_cast<std::int64_t>(UnixDateDelta);
}

void CivilFromDayNumber(std::int64_t dayNumber, int& year, int& month, int& day) {
    std::int64_t z = dayNumber - static_cast<std::int64_t>(UnixDateDelta) + 719468;
    std::int64_t era = FloorDiv(z, 146097);
    std::int64_t doe = z - era * 146097;
    std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

/// A value as a calendar day number and the milliseconds of that day (the negative-date rule
/// undone, the time rounded to the millisecond). nullopt for NaN or a value out of range.
struct TStamp {
    std::int64_t Day;
    std::int64_t Ms;
    std::int64_t Linear() const { return Day * MsPerDay + Ms; }
};

std::optional<TStamp> ToStamp(TDateTime value) {
    if (!std::isfinite(value) || value < static_cast<double>(MinDay) - 1 || value >= static_cast<double>(MaxDay + 1))
        return std::nullopt;
    double dayPart = std::trunc(value);
    TStamp s{static_cast<std::int64_t>(dayPart),
             static_cast<std::int64_t>(std::nearbyint(std::fabs(value - dayPart) * static_cast<double>(MsPerDay)))};
    if (s.Ms >= MsPerDay) {
        // 23:59:59.9995 and later round into the next calendar day.
        ++s.Day;
        s.Ms -= MsPerDay;
    }
    if (s.Day < MinDay || s.Day > MaxDay)
        return std::nullopt;
    return s;
}

TStamp StampOrRaise(TDateTime value) {
    auto s = ToStamp(value);
    if (!s)
        throw EConvertError(u"'%s' is not a valid date", {FloatToStr(value)});
    return *s;
}

/// A calendar day and time of day back to a value by the negative-date rule.
TDateTime FromStamp(std::int64_t day, std::int64_t ms) {
    double t = static_cast<double>(ms) / static_cast<double>(MsPerDay);
    return day >= 0 ? static_cast<double>(day) + t : static_cast<double>(day) - t;
}

TDateTime FromLinear(std::int64_t linearMs) {
    std::int64_t day = FloorDiv(linearMs, MsPerDay);
    return FromStamp(day, linearMs - day * MsPerDay);
}

std::int64_t LinearOrRaise(TDateTime value) {
    return StampOrRaise(value).Linear();
}

constexpr std::int64_t UnixEpochMs = static_cast<std::int64_t>(UnixDateDelta) * MsPerDay;

/// Local broken-down time of a UTC instant, under the time-zone lock.
std::tm LocalTm(std::time_t t) {
    std::lock_guard<std::mutex> guard(TimeZoneLock());
    tzset();
    std::tm tm{};
    if (!localtime_r(&t, &tm))
        throw EConvertError(u"Time outside the range of the host's clock");
    return tm;
}

TDateTime FromTm(const std::tm& tm, int ms) {
    std::int64_t day = DayNumber(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    return FromStamp(day, ((tm.tm_hour * 60 + tm.tm_min) * 60 + tm.tm_sec) * 1000LL + ms);
}

// ---- Text helpers ------------------------------------------------------------------------------

void AppendNumber(String& out, std::int64_t v, int digits) {
    String s = IntToStr(v);
    if (static_cast<int>(s.size()) < digits)
        out.append(digits - s.size(), u'0');
    out += s;
}

bool StartsWithNoCase(StringView s, std::size_t pos, StringView what) {
    return s.size() - pos >= what.size() && SameText(s.substr(pos, what.size()), what);
}

class TDateFormatter {
public:
    TDateFormatter(TDateTime value, const TFormatSettings& settings) : FValue(value), FSettings(settings) {}

    void Append(StringView format, int depth) {
        const TFormatSettings& fs = FSettings;
        Char lastToken = 0;
        std::size_t i = 0;
        while (i < format.size()) {
            Char starter = format[i];
            Char token = AsciiUpperChar(starter);
            if (token >= u'A' && token <= u'Z') {
                if (token == u'M' && lastToken == u'H')
                    token = u'N';
                lastToken = token;
            }
            auto count = [&]() {
                std::size_t n = 1;
                while (i + n < format.size() && AsciiUpperChar(format[i + n]) == AsciiUpperChar(starter))
                    ++n;
                i += n;
                return static_cast<int>(n);
            };
            switch (token) {
            case u'Y': {
                int n = count();
                Decode();
                if (n <= 2)
                    AppendNumber(FOut, FYear % 100, 2);
                else
                    AppendNumber(FOut, FYear, 4);
                break;
            }
            case u'M': {
                int n = count();
                Decode();
                if (n <= 2)
                    AppendNumber(FOut, FMonth, n);
                else
                    FOut += n == 3 ? fs.ShortMonthNames[FMonth - 1] : fs.LongMonthNames[FMonth - 1];
                break;
            }
            case u'D': {
                int n = count();
                Decode();
                if (n <= 2)
                    AppendNumber(FOut, FDay, n);
                else if (n == 3)
                    FOut += fs.ShortDayNames[DayOfWeek(FValue) - 1];
                else if (n == 4)
                    FOut += fs.LongDayNames[DayOfWeek(FValue) - 1];
                else
                    Nested(n == 5 ? fs.ShortDateFormat : fs.LongDateFormat, depth);
                break;
            }
            case u'H': {
                int n = count();
                Decode();
                int hour = FHour;
                if (UsesTwelveHourClock(format, i)) {
                    hour %= 12;
                    if (hour == 0)
                        hour = 12;
                }
                AppendNumber(FOut, hour, n == 1 ? 1 : 2);
                break;
            }
            case u'N': {
                int n = count();
                Decode();
                AppendNumber(FOut, FMin, n == 1 ? 1 : 2);
                break;
            }
            case u'S': {
                int n = count();
                Decode();
                AppendNumber(FOut, FSec, n == 1 ? 1 : 2);
                break;
            }
            case u'Z': {
                int n = count();
                Decode();
                AppendNumber(FOut, FMsec, n == 1 ? 1 : 3);
                break;
            }
            case u'T': {
                int n = count();
                Nested(n == 1 ? fs.ShortTimeFormat : fs.LongTimeFormat, depth);
                break;
            }
            case u'C': {
                count();
                Decode();
                Nested(fs.ShortDateFormat, depth);
                if (FHour || FMin || FSec || FMsec) {
                    FOut += u' ';
                    Nested(fs.LongTimeFormat, depth);
                }
                break;
            }
            case u'A': {
                Decode();
                bool pm = FHour >= 12;
                if (StartsWithNoCase(format, i, u"am/pm")) {
                    FOut += format.substr(i + (pm ? 3 : 0), 2);
                    i += 5;
                } else if (StartsWithNoCase(format, i, u"a/p")) {
                    FOut += format[i + (pm ? 2 : 0)];
                    i += 3;
                } else if (StartsWithNoCase(format, i, u"ampm")) {
                    FOut += pm ? fs.TimePMString : fs.TimeAMString;
                    i += 4;
                } else {
                    FOut += starter;
                    ++i;
                }
                break;
            }
            case u'/':
                FOut += fs.DateSeparator;
                ++i;
                break;
            case u':':
                FOut += fs.TimeSeparator;
                ++i;
                break;
            case u'\'':
            case u'"': {
                std::size_t end = format.find(starter, i + 1);
                if (end == StringView::npos)
                    end = format.size();
                FOut += format.substr(i + 1, end - i - 1);
                i = end < format.size() ? end + 1 : end;
                break;
            }
            default:
                FOut += starter;
                ++i;
            }
        }
    }

    String Result() { return std::move(FOut); }

private:
    void Nested(StringView format, int depth) {
        // The settings' own formats hold no further nesting; the bound only guards against loops.
        if (depth < 2)
            Append(format, depth + 1);
    }

    /// An "h" specifier shows the 12-hour clock when the next "a" after it (outside quotes and
    /// before another "h") starts am/pm, a/p or ampm.
    static bool UsesTwelveHourClock(StringView format, std::size_t from) {
        bool quoted = false;
        for (std::size_t p = from; p < format.size(); ++p) {
            Char c = format[p];
            if (c == u'\'' || c == u'"')
                quoted = !quoted;
            else if (!quoted && (c == u'h' || c == u'H'))
                return false;
            else if (!quoted && (c == u'a' || c == u'A'))
                return StartsWithNoCase(format, p, u"am/pm") || StartsWithNoCase(format, p, u"a/p") ||
                       StartsWithNoCase(format, p, u"ampm");
        }
        return false;
    }

    void Decode() {
        if (!FDecoded) {
            DecodeDateTime(FValue, FYear, FMonth, FDay, FHour, FMin, FSec, FMsec);
            FDecoded = true;
        }
    }

    TDateTime FValue;
    const TFormatSettings& FSettings;
    bool FDecoded = false;
    int FYear = 0, FMonth = 0, FDay = 0, FHour = 0, FMin = 0, FSec = 0, FMsec = 0;
    String FOut;
};

/// A small cursor over text for the date and time readers.
struct TScanner {
    StringView S;
    std::size_t Pos = 0;

    void SkipBlanks() {
        while (Pos < S.size() && S[Pos] == u' ')
            ++Pos;
    }
    bool AtEnd() const { return Pos >= S.size(); }
    bool Char_(Char c) {
        SkipBlanks();
        if (Pos < S.size() && S[Pos] == c) {
            ++Pos;
            return true;
        }
        return false;
    }
    /// Up to `maxDigits` decimal digits; `digits` tells how many were read.
    bool Number(int& value, int& digits, int maxDigits = 9) {
        SkipBlanks();
        value = 0;
        digits = 0;
        while (Pos < S.size() && S[Pos] >= u'0' && S[Pos] <= u'9' && digits < maxDigits) {
            value = value * 10 + (S[Pos] - u'0');
            ++digits;
            ++Pos;
        }
        return digits > 0 && !(Pos < S.size() && S[Pos] >= u'0' && S[Pos] <= u'9');
    }
};

bool ScanDate(TScanner& sc, TDateTime& value) {
    const Char sep = FormatSettings().DateSeparator;
    int day, month, year, len, yearLen = 0;
    if (!sc.Number(day, len) || !sc.Char_(sep) || !sc.Number(month, len))
        return false;
    std::size_t save = sc.Pos;
    if (sc.Char_(sep) && sc.Number(year, yearLen)) {
        if (yearLen <= 2) {
            // Two-digit years fall within 50 years before or after the current year.
            int current, m, d;
            DecodeDate(Now(), current, m, d);
            int windowStart = current - 50;
            year += windowStart / 100 * 100;
            if (year < windowStart)
                year += 100;
        }
    } else {
        sc.Pos = save;
        DecodeDate(Now(), year, len, len);
    }
    return TryEncodeDate(year, month, day, value);
}

bool ScanTime(TScanner& sc, TDateTime& value) {
    int hour, min = 0, sec = 0, msec = 0, len;
    if (!sc.Number(hour, len))
        return false;
    bool hasMinutes = false;
    if (sc.Char_(FormatSettings().TimeSeparator)) {
        if (!sc.Number(min, len))
            return false;
        hasMinutes = true;
        if (sc.Char_(FormatSettings().TimeSeparator)) {
            if (!sc.Number(sec, len))
                return false;
            if (sc.Char_(FormatSettings().DecimalSeparator) && !sc.Number(msec, len))
                return false;
        }
    }
    sc.SkipBlanks();
    int ampm = 0; // 1 am, 2 pm
    if (StartsWithNoCase(sc.S, sc.Pos, FormatSettings().TimeAMString) || StartsWithNoCase(sc.S, sc.Pos, u"AM")) {
        ampm = 1;
        sc.Pos += 2;
    } else if (StartsWithNoCase(sc.S, sc.Pos, FormatSettings().TimePMString) || StartsWithNoCase(sc.S, sc.Pos, u"PM")) {
        ampm = 2;
        sc.Pos += 2;
    }
    if (!hasMinutes && !ampm)
        return false;
    if (ampm) {
        if (hour < 1 || hour > 12)
            return false;
        hour = hour % 12 + (ampm == 2 ? 12 : 0);
    }
    return TryEncodeTime(hour, min, sec, msec, value);
}

} // namespace

// ---- Encoding and decoding ---------------------------------------------------------------------

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInAMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& value) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInAMonth(year, month))
        return false;
    value = static_cast<double>(DayNumber(year, month, day));
    return true;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& value) {
    if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 || msec > 999)
        return false;
    value = static_cast<double>(((hour * 60 + min) * 60 + sec) * 1000LL + msec) / static_cast<double>(MsPerDay);
    return true;
}

bool TryEncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec, TDateTime& value) {
    TDateTime d, t;
    if (!TryEncodeDate(year, month, day, d) || !TryEncodeTime(hour, min, sec, msec, t))
        return false;
    value = d >= 0 ? d + t : d - t;
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime v;
    if (!TryEncodeDate(year, month, day, v))
        throw EConvertError(u"Invalid argument to date encode");
    return v;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
    TDateTime v;
    if (!TryEncodeTime(hour, min, sec, msec, v))
        throw EConvertError(u"Invalid argument to time encode");
    return v;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec) {
    TDateTime d = EncodeDate(year, month, day), t = EncodeTime(hour, min, sec, msec);
    return d >= 0 ? d + t : d - t;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
    CivilFromDayNumber(StampOrRaise(value).Day, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec) {
    std::int64_t ms = StampOrRaise(value).Ms;
    msec = static_cast<int>(ms % 1000);
    sec = static_cast<int>(ms / 1000 % 60);
    min = static_cast<int>(ms / 60000 % 60);
    hour = static_cast<int>(ms / 3600000);
}

void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& min, int& sec, int& msec) {
    DecodeDate(value, year, month, day);
    DecodeTime(value, hour, min, sec, msec);
}

int DayOfWeek(TDateTime value) {
    // Day 0 (1899-12-30) was a Saturday.
    std::int64_t d = StampOrRaise(value).Day;
    return static_cast<int>(((d + 6) % 7 + 7) % 7) + 1;
}

TDateTime DateOf(TDateTime value) {
    return static_cast<double>(StampOrRaise(value).Day);
}

TDateTime TimeOf(TDateTime value) {
    return FromStamp(0, StampOrRaise(value).Ms);
}

TDateTime IncDay(TDateTime value, int days) {
    std::int64_t linear = LinearOrRaise(value) + static_cast<std::int64_t>(days) * MsPerDay;
    return FromLinear(linear);
}

TDateTime IncMonth(TDateTime value, int months) {
    TStamp s = StampOrRaise(value);
    int year, month, day;
    CivilFromDayNumber(s.Day, year, month, day);
    std::int64_t total = static_cast<std::int64_t>(year) * 12 + (month - 1) + months;
    std::int64_t newYear = FloorDiv(total, 12);
    int newMonth = static_cast<int>(total - newYear * 12) + 1;
    if (newYear < 1 || newYear > 9999)
        throw EConvertError(u"Invalid argument to date encode");
    int newDay = std::min(day, DaysInAMonth(static_cast<int>(newYear), newMonth));
    return FromStamp(DayNumber(static_cast<int>(newYear), newMonth, newDay), s.Ms);
}

// ---- Clock and time zone -----------------------------------------------------------------------

TDateTime Now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return FromTm(LocalTm(ts.tv_sec), static_cast<int>(ts.tv_nsec / 1000000));
}

TDateTime Date() {
    return DateOf(Now());
}
TDateTime Time() {
    return TimeOf(Now());
}

TDateTime NowUTC() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return FromLinear(UnixEpochMs + static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000);
}

std::int64_t DateTimeToUnix(TDateTime value) {
    return FloorDiv(LinearOrRaise(value) - UnixEpochMs, 1000);
}

TDateTime UnixToDateTime(std::int64_t seconds) {
    constexpr std::int64_t limit = (MaxDay - MinDay + 2) * 86400;
    if (seconds < -limit || seconds > limit)
        throw EConvertError(u"'%d' is not a valid date", {seconds});
    return FromLinear(UnixEpochMs + seconds * 1000);
}

int GetUtcOffsetMinutes(TDateTime local, bool forceDaylight) {
    std::int64_t linear = LinearOrRaise(local);
    std::int64_t asIfUtc = FloorDiv(linear - UnixEpochMs, 1000);
    struct TCandidate {
        long Offset;
        bool Daylight;
    };
    // Offsets in force around that time; one of them is the offset at the instant it names.
    auto at = [](std::int64_t t) {
        std::tm tm = LocalTm(static_cast<std::time_t>(t));
        return TCandidate{tm.tm_gmtoff, tm.tm_isdst > 0};
    };
    TCandidate before = at(asIfUtc - 86400), after = at(asIfUtc + 86400);
    std::optional<TCandidate> match;
    for (const TCandidate& c : {before, after}) {
        TCandidate check = at(asIfUtc - c.Offset);
        if (check.Offset != c.Offset)
            continue; // that offset does not give back this local time
        if (!match || (forceDaylight ? check.Daylight : !check.Daylight))
            match = check;
    }
    // A local time skipped when the clocks went forward takes the offset before the change.
    long offset = match ? match->Offset : before.Offset;
    return static_cast<int>(offset / 60);
}

TDateTime ToUniversalTime(TDateTime local, bool forceDaylight) {
    std::int64_t offset = GetUtcOffsetMinutes(local, forceDaylight);
    return FromLinear(LinearOrRaise(local) - offset * 60000);
}

TDateTime ToLocalTime(TDateTime utc) {
    std::int64_t linear = LinearOrRaise(utc) - UnixEpochMs;
    std::int64_t seconds = FloorDiv(linear, 1000);
    return FromTm(LocalTm(static_cast<std::time_t>(seconds)), static_cast<int>(linear - seconds * 1000));
}

// ---- Text --------------------------------------------------------------------------------------

String FormatDateTime(StringView format, TDateTime value) {
    return FormatDateTime(format, value, FormatSettings());
}

String FormatDateTime(StringView format, TDateTime value, const TFormatSettings& settings) {
    TDateFormatter f(value, settings);
    f.Append(format, 0);
    return f.Result();
}

String DateToStr(TDateTime value) {
    return FormatDateTime(u"ddddd", value);
}
String DateToStr(TDateTime value, const TFormatSettings& settings) {
    return FormatDateTime(u"ddddd", value, settings);
}
String TimeToStr(TDateTime value) {
    return FormatDateTime(u"tt", value);
}
String TimeToStr(TDateTime value, const TFormatSettings& settings) {
    return FormatDateTime(u"tt", value, settings);
}
String DateTimeToStr(TDateTime value) {
    return FormatDateTime(u"c", value);
}
String DateTimeToStr(TDateTime value, const TFormatSettings& settings) {
    return FormatDateTime(u"c", value, settings);
}

bool TryStrToDate(StringView s, TDateTime& value) {
    TScanner sc{s};
    TDateTime v;
    if (!ScanDate(sc, v))
        return false;
    sc.SkipBlanks();
    if (!sc.AtEnd())
        return false;
    value = v;
    return true;
}

bool TryStrToTime(StringView s, TDateTime& value) {
    TScanner sc{s};
    TDateTime v;
    if (!ScanTime(sc, v))
        return false;
    sc.SkipBlanks();
    if (!sc.AtEnd())
        return false;
    value = v;
    return true;
}

bool TryStrToDateTime(StringView s, TDateTime& value) {
    TScanner sc{s};
    TDateTime d, t = 0;
    if (ScanDate(sc, d)) {
        sc.SkipBlanks();
        if (sc.AtEnd() || (ScanTime(sc, t) && (sc.SkipBlanks(), sc.AtEnd()))) {
            value = d >= 0 ? d + t : d - t;
            return true;
        }
    }
    return TryStrToTime(s, value);
}

TDateTime StrToDate(StringView s) {
    TDateTime v;
    if (!TryStrToDate(s, v))
        throw EConvertError(u"'%s' is not a valid date", {s});
    return v;
}

TDateTime StrToTime(StringView s) {
    TDateTime v;
    if (!TryStrToTime(s, v))
        throw EConvertError(u"'%s' is not a valid time", {s});
    return v;
}

TDateTime StrToDateTime(StringView s) {
    TDateTime v;
    if (!TryStrToDateTime(s, v))
        throw EConvertError(u"'%s' is not a valid date and time", {s});
    return v;
}

String DateToISO8601(TDateTime value, bool inputIsUTC) {
    String text = FormatDateTime(u"yyyy'-'mm'-'dd'T'hh':'nn':'ss'.'zzz", value);
    int offset = inputIsUTC ? 0 : GetUtcOffsetMinutes(value);
    if (offset == 0)
        return text + u"Z";
    text += offset < 0 ? u'-' : u'+';
    offset = std::abs(offset);
    AppendNumber(text, offset / 60, 2);
    text += u':';
    AppendNumber(text, offset % 60, 2);
    return text;
}

bool TryISO8601ToDate(StringView text, TDateTime& value, bool returnUTC) {
    auto digits = [&](std::size_t pos, std::size_t n, int& out) {
        if (pos + n > text.size())
            return false;
        out = 0;
        for (std::size_t k = pos; k < pos + n; ++k) {
            if (text[k] < u'0' || text[k] > u'9')
                return false;
            out = out * 10 + (text[k] - u'0');
        }
        return true;
    };
    int year, month, day, hour = 0, min = 0, sec = 0;
    if (!digits(0, 4, year) || text.size() < 10 || text[4] != u'-' || !digits(5, 2, month) || text[7] != u'-' ||
        !digits(8, 2, day))
        return false;
    std::size_t pos = 10;
    std::int64_t fractionMs = 0;
    if (pos < text.size() && (text[pos] == u'T' || text[pos] == u't' || text[pos] == u' ')) {
        ++pos;
        if (!digits(pos, 2, hour) || pos + 2 >= text.size() || text[pos + 2] != u':' || !digits(pos + 3, 2, min))
            return false;
        pos += 5;
        if (pos < text.size() && text[pos] == u':') {
            if (!digits(pos + 1, 2, sec))
                return false;
            pos += 3;
            if (pos < text.size() && (text[pos] == u'.' || text[pos] == u',')) {
                ++pos;
                std::size_t start = pos;
                long double fraction = 0, scale = 1;
                while (pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9') {
                    if (pos - start < 18) {
                        scale /= 10;
                        fraction += (text[pos] - u'0') * scale;
                    }
                    ++pos;
                }
                if (pos == start)
                    return false;
                fractionMs = static_cast<std::int64_t>(std::nearbyint(fraction * 1000));
            }
        }
    }
    std::optional<int> offset;
    if (pos < text.size()) {
        Char c = text[pos];
        if ((c == u'Z' || c == u'z') && pos + 1 == text.size()) {
            offset = 0;
        } else if (c == u'+' || c == u'-') {
            int oh, om = 0;
            std::size_t rest = text.size() - pos - 1;
            if (!digits(pos + 1, 2, oh))
                return false;
            if (rest == 4 && !digits(pos + 3, 2, om))
                return false;
            if (rest == 5 && (text[pos + 3] != u':' || !digits(pos + 4, 2, om)))
                return false;
            if ((rest != 2 && rest != 4 && rest != 5) || oh > 23 || om > 59)
                return false;
            offset = (oh * 60 + om) * (c == u'-' ? -1 : 1);
        } else {
            return false;
        }
    }
    TDateTime d, t;
    if (!TryEncodeDate(year, month, day, d) || !TryEncodeTime(hour, min, sec, 0, t))
        return false;
    std::int64_t linear =
        static_cast<std::int64_t>(d) * MsPerDay + ((hour * 60 + min) * 60 + sec) * 1000LL + fractionMs;
    if (offset)
        linear -= static_cast<std::int64_t>(*offset) * 60000;
    TDateTime result = FromLinear(linear);
    if (!ToStamp(result))
        return false;
    value = offset && !returnUTC ? ToLocalTime(result) : result;
    return true;
}

TDateTime ISO8601ToDate(StringView text, bool returnUTC) {
    TDateTime v;
    if (!TryISO8601ToDate(text, v, returnUTC))
        throw EConvertError(u"'%s' is not a valid date and time", {text});
    return v;
}

} // namespace vgl
