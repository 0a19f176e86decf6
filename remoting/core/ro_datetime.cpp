#include "remoting/core/ro_datetime.h"

#include <cmath>
#include <cstdlib>
#include <mutex>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

/// The platform's time-zone conversions are not safe for concurrent use.
std::mutex& TimeZoneLock() {
    static std::mutex lock;
    return lock;
}

/// A number made of digits only (no sign, blanks or hexadecimal forms).
int ReadNumber(StringView text, int pos, int count) {
    const String part = Copy(text, pos, count);
    if (part.empty() || part.size() > 9)
        throw EConvertError(u"'%s' is not a valid integer value", {part});
    int value = 0;
    for (Char c : part) {
        if (!IsDigit(c))
            throw EConvertError(u"'%s' is not a valid integer value", {part});
        value = value * 10 + (c - u'0');
    }
    return value;
}

/// Date and time of day combined by the platform's rule: before 1899-12-30 the time of day is
/// subtracted from the (negative) day number.
TDateTime Combine(TDateTime date, TDateTime time) {
    return date >= 0 ? date + time : date - time;
}

/// The zone part's offset in minutes east of UTC, or NoTimeZoneOffset.
std::int32_t ReadZone(StringView zone) {
    if (zone.empty())
        return NoTimeZoneOffset;
    if (zone[0] == u'Z' || zone[0] == u'z')
        return 0;
    if (zone[0] != u'+' && zone[0] != u'-')
        return NoTimeZoneOffset;
    const StringView digits = zone.substr(1);
    int hours = 0;
    int minutes = 0;
    const int colon = Pos(u":", digits);
    if (colon > 0) {
        hours = ReadNumber(digits, 1, colon - 1);
        minutes = ReadNumber(digits, colon + 1, int(digits.size()) - colon);
    } else if (digits.size() == 4) {
        hours = ReadNumber(digits, 1, 2);
        minutes = ReadNumber(digits, 3, 2);
    } else {
        hours = ReadNumber(digits, 1, int(digits.size()));
    }
    if (minutes > 59 || hours * 60 + minutes > 14 * 60)
        throw EConvertError(u"'%s' is not a valid time zone offset", {String(zone)});
    const std::int32_t offset = hours * 60 + minutes;
    return zone[0] == u'-' ? -offset : offset;
}

} // namespace

TDateTime LocalToUtcDateTime(TDateTime value, bool forceDaylight) {
    std::lock_guard lock(TimeZoneLock());
    return ToUniversalTime(value, forceDaylight);
}

TDateTime UtcToLocalDateTime(TDateTime value) {
    std::lock_guard lock(TimeZoneLock());
    return ToLocalTime(value);
}

TDateTime UtcNow() {
    return NowUTC();
}

TDateTime ParseISO8601DateTime(StringView text, std::int32_t& zoneOffset) {
    zoneOffset = NoTimeZoneOffset;
    const int n = int(text.size());
    if (n == 0)
        return 0;
    TDateTime date = 0;
    TDateTime time = 0;
    String rest;
    if (n == 8 || n == 9 || n == 14) {
        time = EncodeTime(ReadNumber(text, 1, 2), ReadNumber(text, 4, 2), ReadNumber(text, 7, 2), 0);
        rest = Copy(text, 9, n);
    } else if (n == 10 || n == 11 || n == 16) {
        date = EncodeDate(ReadNumber(text, 1, 4), ReadNumber(text, 6, 2), ReadNumber(text, 9, 2));
        rest = Copy(text, 11, n);
    } else {
        date = EncodeDate(ReadNumber(text, 1, 4), ReadNumber(text, 6, 2), ReadNumber(text, 9, 2));
        time = EncodeTime(ReadNumber(text, 12, 2), ReadNumber(text, 15, 2), ReadNumber(text, 18, 2), 0);
        rest = Copy(text, 20, n);
        if (rest.size() > 1 && rest[0] == u'.') {
            // The fraction runs up to the last zone character, or to the end.
            const size_t zoneStart = rest.find_last_of(u"+-Zz");
            String digits;
            if (zoneStart == String::npos || zoneStart == 0) {
                digits = rest.substr(1);
                rest.clear();
            } else {
                digits = rest.substr(1, zoneStart - 1);
                rest = rest.substr(zoneStart);
            }
            long double fraction = 0;
            bool plain = !digits.empty();
            for (Char c : digits)
                plain = plain && IsDigit(c);
            if (!plain || !TryStrToFloat(u"0." + digits, fraction))
                fraction = 0;
            time += double(fraction) / SecsPerDay;
        }
    }
    zoneOffset = ReadZone(rest);
    return Combine(date, time);
}

TDateTime ISO8601ToUtcDateTime(StringView text) {
    std::int32_t offset = NoTimeZoneOffset;
    const TDateTime value = ParseISO8601DateTime(text, offset);
    if (offset == NoTimeZoneOffset || offset == 0)
        return value;
    // Shift the time of day and carry whole days, so that the platform's rule for dates before
    // 1899-12-30 holds on both sides of the shift.
    const double shifted = TimeOf(value) - double(offset) / MinsPerDay;
    const double carry = std::floor(shifted);
    const TDateTime day = DateOf(value) + carry;
    return Combine(day, shifted - carry);
}

String DateTimeToISO8601(TDateTime value) {
    int hour = 0, minute = 0, second = 0, msec = 0;
    DecodeTime(value, hour, minute, second, msec);
    if (msec != 0)
        return FormatDateTime(u"yyyy\"-\"mm\"-\"dd\"T\"hh\":\"nn\":\"ss\".\"zzz", value);
    return FormatDateTime(u"yyyy\"-\"mm\"-\"dd\"T\"hh\":\"nn\":\"ss", value);
}

} // namespace vgl
