#include "report/foundation/charset_conversion.h"

#include "platform/rtl/exceptions.h"

namespace vgl {

int CodePageOfCharset(int charset) {
    switch (charset) {
    case 1:
        return GetACP();
    case 77:
        return CP_MACCP;
    case 255:
        return CP_OEMCP;
    default:
        break;
    }
    const int codePage = CharsetToCodePage(charset);
    if (codePage == 0)
        throw EOSError(u"System Error. Code: 87.\nThe parameter is incorrect");
    return codePage;
}

String AnsiTextToWide(std::string_view bytes, int charset, int codePage) {
    if (bytes.empty())
        return String();
    return CodePageToString(bytes, codePage == 0 ? CodePageOfCharset(charset) : codePage);
}

AnsiString WideTextToAnsi(StringView text, int charset, int codePage) {
    if (text.empty())
        return AnsiString();
    return StringToCodePage(text, codePage == 0 ? CodePageOfCharset(charset) : codePage);
}

int LocaleIdOfCharset(int charset) {
    struct Row {
        int Charset;
        int Locale;
    };
    static constexpr Row kTable[] = {
        {128, 1041}, {129, 1042}, {130, 2066},  {134, 2052}, {136, 3076}, {161, 1032}, {162, 1055},
        {163, 1066}, {177, 1037}, {178, 13313}, {186, 1061}, {204, 1049}, {222, 1054}, {238, 1029},
    };
    for (const Row& row : kTable)
        if (row.Charset == charset)
            return row.Locale;
    return kThreadLocale;
}

} // namespace vgl
