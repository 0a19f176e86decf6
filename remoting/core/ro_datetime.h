#pragma once
// Date-times of the remoting framework: local time ⇄ UTC, and the ISO 8601 text of XML Schema
// dateTime values. Values are the runtime's TDateTime; texts never depend on the host's locale.

#include <cstdint>

#include "platform/rtl/datetime.h"
#include "platform/rtl/ustring.h"

namespace vgl {

/// The zone offset that ParseISO8601DateTime reports for a text without a zone.
constexpr std::int32_t NoTimeZoneOffset = 2147483647;

/// Local time to UTC through the host's time zone (`forceDaylight` picks daylight time for a
/// local time that occurs twice). Conversions through the time zone run under one process-wide
/// lock.
TDateTime LocalToUtcDateTime(TDateTime value, bool forceDaylight = false);
/// UTC to local time through the host's time zone, under the same lock.
TDateTime UtcToLocalDateTime(TDateTime value);
/// The current UTC date-time, to the millisecond.
TDateTime UtcNow();

/// Reads an XML Schema date, time or date-time as written (not shifted) and its zone offset in
/// minutes east of UTC, or NoTimeZoneOffset when the text names no zone. The text's length
/// selects the form: 0 gives 0; 8, 9 or 14 is "hh:mm:ss" with no zone, a one-character zone or
/// a six-character zone; 10, 11 or 16 is "yyyy-mm-dd" with the same zone forms; any other
/// length is "yyyy-mm-dd?hh:mm:ss" (the separator is not looked at), an optional fraction of a
/// second ".ddd" and a zone. Zones: "Z"/"z" (0), "±hh", "±hhmm" or "±hh:mm"; a zone part that
/// begins with another character is no zone. Raises EConvertError for a number that is not all
/// digits, a date or time out of range, zone minutes above 59 or an offset beyond ±14:00.
TDateTime ParseISO8601DateTime(StringView text, std::int32_t& zoneOffset);
/// ParseISO8601DateTime shifted to UTC when the text names a zone (an offset east of UTC is
/// subtracted); the value as written otherwise.
TDateTime ISO8601ToUtcDateTime(StringView text);
/// "yyyy-mm-ddThh:nn:ss", followed by ".zzz" only when the millisecond part is not 0; no zone.
String DateTimeToISO8601(TDateTime value);

} // namespace vgl
