#pragma once
// TFormatSettings: the values the number and date formatting routines read (separators, date
// and time formats, day and month names, currency placement). A record is a plain value: the
// routines that take one read only it, so a caller may keep a private, changed copy without
// affecting anyone else. The process's record is fixed and never read from the host's locale.

#include "platform/rtl/ustring.h"

namespace vgl {

struct TFormatSettings {
    Char DecimalSeparator = u'.';
    Char ThousandSeparator = u',';
    Char DateSeparator = u'.';
    Char TimeSeparator = u':';
    /// In the formats "/" and ":" stand for the record's date and time separators, so the
    /// process's "dd/mm/yyyy" reads "11.04.2023" and a copy with DateSeparator "/" "11/04/2023".
    String ShortDateFormat = u"dd/mm/yyyy";
    String LongDateFormat = u"dd/mm/yyyy";
    String ShortTimeFormat = u"hh:nn";
    String LongTimeFormat = u"hh:nn:ss";
    String TimeAMString = u"AM";
    String TimePMString = u"PM";
    String ShortMonthNames[12] = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                                  u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
    String LongMonthNames[12] = {u"January", u"February", u"March",     u"April",   u"May",      u"June",
                                 u"July",    u"August",   u"September", u"October", u"November", u"December"};
    String ShortDayNames[7] = {u"Sun", u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat"};
    String LongDayNames[7] = {u"Sunday", u"Monday", u"Tuesday", u"Wednesday", u"Thursday", u"Friday", u"Saturday"};
    int CurrencyDecimals = 2;
    /// Currency symbol and placement: CurrencyFormat 0..3 ("¤1", "1¤", "¤ 1", "1 ¤"),
    /// NegCurrFormat 0..15 (0 is "(¤1)", 1 is "-¤1", 8 is "-1 ¤").
    String CurrencyString = u"\u00A4";
    int CurrencyFormat = 0;
    int NegCurrFormat = 0;

    /// A copy of the process's record, to change and pass to the routines that take one.
    static TFormatSettings Create();
};

/// The process-wide settings (read-only).
const TFormatSettings& FormatSettings();

} // namespace vgl
