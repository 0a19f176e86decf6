#pragma once
// Unicode character tables of the Basic Multilingual Plane: simple (1:1) case mappings and the
// letter categories. Surrogate code units map to themselves and are no letters.

namespace vgl {

/// Simple upper-case mapping; the character itself when it has none inside the BMP.
char16_t UnicodeSimpleUpper(char16_t c);
/// Simple lower-case mapping; the character itself when it has none inside the BMP.
char16_t UnicodeSimpleLower(char16_t c);
/// True for the general categories Lu, Ll, Lt, Lm and Lo.
bool UnicodeIsLetter(char16_t c);

} // namespace vgl
