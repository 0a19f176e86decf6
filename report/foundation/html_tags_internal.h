#pragma once
// Pieces of the tag expansion that the tests' reference expansion uses too, so that comparing
// the two checks the expansion algorithm against one reading of the tags. Not for other callers.

#include <cstddef>
#include <optional>

#include "platform/graphics/color.h"
#include "platform/graphics/font.h"
#include "platform/rtl/ustring.h"

namespace vgl::html_tags {

/// The character at `i` folded to ASCII upper case; 0 past the end.
Char UpperAt(StringView s, std::size_t i);

/// True for the letters of the one-letter style tags ("B", "I", "U", upper case).
bool IsStyleTagLetter(Char c);
/// The style a one-letter tag sets: bold for "B", italic for "I", underline for "U".
TFontStyle StyleOfTagLetter(Char c);

/// True when `s` holds `pattern` (upper-case ASCII) at `i`, compared without ASCII case.
bool MatchAt(StringView s, std::size_t i, StringView pattern);

/// The colour of a font tag's value: "#" with one to eight hex digits (the low 24 bits as
/// "RRGGBB", stored with red in the low byte) or a colour name without its "cl" prefix. Nothing
/// for anything else: such a tag stays ordinary text.
std::optional<TColor> ParseTagColor(StringView value);

} // namespace vgl::html_tags
