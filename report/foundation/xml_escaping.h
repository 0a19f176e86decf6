#pragma once
// Escaping of attribute values in the report engine's XML documents.
//
// Values inside an item's attribute text are always kept escaped. Only the engine's own escapes
// are produced, and only those (plus the four named references below) are decoded.

#include "platform/rtl/ustring.h"

namespace vgl {
class Variant;
}

namespace vgl {

/// LF, CR, '"', '&', '<' and '>' become decimal references ("&#10;", "&#13;", "&#34;", "&#38;",
/// "&#60;", "&#62;"); the six characters "&quot;" become "&#34;" as a whole; NUL becomes a blank.
/// Every other character (apostrophe, tab, other controls) passes unchanged.
String XMLEscapeText(StringView text);

/// Replaces the character at the 1-based `pos` of `text` by its escape as XMLEscapeText would
/// write it (NUL by a blank); other characters and positions outside the text are left alone.
void XMLEscapeCharAt(String& text, int pos);

/// Decodes "&#<integer>;" (the integer read by StrToInt, so a text that is no integer raises
/// EConvertError), "&quot;", "&amp;", "&lt;" and "&gt;". Decoding never rescans a produced
/// character, so "&amp;lt;" gives "&lt;". A numeric reference without a closing ';' or with a code
/// outside 0..10FFFF is kept as literal text; codes above FFFF become a surrogate pair. An '&' in
/// the last position is kept.
String XMLUnescapeText(StringView text);

/// The attribute text of a variant: integers in decimal, single, double and currency by
/// FloatToStr, dates by DateTimeToStr, texts escaped by XMLEscapeText, Booleans "1" and "0";
/// every other kind (empty, null, arrays, ...) the empty text.
String VariantToXMLText(const Variant& value);

} // namespace vgl
