#pragma once
// Pieces of the tag expansion that the tests' reference expansion uses too, so that comparing
// the two checks the expansion algorithm against one reading of the tags. Not for other callers.

#include <cstddef>
#include <optional>

#include "platform/graphics/color.h"
#include "platform/rtl/ustring.h"

namespace vgl::html_tags {

/// True when `s` holds `pattern` (upper-case ASCII) at `i`, compared without ASCII case.
bool MatchAt(StringView s, std::size_t i, StringView pattern);

/// The colour of a font tag's value: "#" with one to eight hex digits (the low 24 bits as
/// "RRGGBB", stored with red in the low byte) or a colour name without its "cl" prefix. Nothing
/// for anything else: such a tag stays ordinary text.
std::optional<TColor> ParseTagColor(StringView value);

} // namespace vgl::html_tags
