#pragma once
// Edit masks: formatting a value through a mask such as "(999) 000-0000;1;_".

#include "platform/rtl/ustring.h"

namespace vgl {

/// The value laid into the mask's positions. The mask has up to three fields separated by ';':
/// the mask characters; "0" when the value holds no literals (anything else, or no field: the
/// value holds the literals at their positions); the blank character (default '_'). Mask
/// characters: L/l letter, A/a letter or digit, C/c any character, 0/9 digit, # digit or sign
/// (upper case required, lower case optional; all take the next value character), > and <
/// upper- and lower-case what follows, <> ends that, \ makes the next mask character literal,
/// _ stands for a blank, ! is accepted and changes nothing; everything else is a literal. A
/// value character that does not fit its position, and a position without value character,
/// gives the blank character. Raises EConvertError for a mask that ends in a lone backslash.
String FormatMaskText(StringView editMask, StringView value);

} // namespace vgl
