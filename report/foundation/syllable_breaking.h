#pragma once
// Syllable breaking of Russian words written in Cyrillic letters: where a word that does not fit
// a line may be cut before a hyphen. Words without such letters have no break positions.

#include "platform/rtl/ustring.h"

namespace vgl {

/// The positions after which a hyphen may follow in the upper-case word `w`, ascending; each
/// position p (1 <= p < length) is one character of code p. Words under four letters have none.
String RussianHyphenPositions(StringView w);

/// False when `p` has fewer than two characters, else true when any of them is a Russian vowel.
bool PartHasVowel(StringView p);

/// The leading part of the word of `s` that begins at `start` (1-based) to stand before a hyphen,
/// or the empty text when there is none. `stop` is the first character that no longer fits the
/// line and `len` the length of `s`; the word ends before the first of " .,-;" at or after `stop`.
/// The part leaves room for the hyphen: it is shorter than `stop` - `start` characters.
String SyllableBreakPart(StringView s, int start, int stop, int len);

} // namespace vgl
