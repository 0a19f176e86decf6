#pragma once
// General-purpose functions of the remoting framework: simple type names of the service
// definition, string splitting and joining, character filtering, GUIDs, hexadecimal text and
// a fast stream copy.

#include <bitset>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "platform/rtl/guid.h"
#include "platform/rtl/ustring.h"

namespace vgl {

class TStream;
class TStrings;
class IROStrings;

/// A set of the characters U+0000..U+00FF; characters above never belong to it.
class TSysCharSet {
public:
    TSysCharSet() = default;
    TSysCharSet(std::initializer_list<Char> chars) {
        for (Char c : chars)
            Include(c);
    }
    void Include(Char c) {
        if (c <= 0xFF)
            FBits.set(c);
    }
    bool Contains(Char c) const { return c <= 0xFF && FBits.test(c); }

private:
    std::bitset<256> FBits;
};

// ---- Service-definition simple types ------------------------------------------------------

/// The index of a simple type name, ASCII case-insensitive: "Integer" 0, "DateTime" 1,
/// "Double" 2, "Currency" 3, "WideString" 4, "AnsiString" 5, "Int64" 6, "Boolean" 7,
/// "Variant" 8, "Binary" 9, "Xml" 10, "Guid" 11, "Decimal" 12, "Utf8String" 13,
/// "XsDateTime" 14; any other name (and "???") gives 15.
int StrToDataType(StringView name);

// ---- Strings and lists --------------------------------------------------------------------

/// A new string list interface over a new, owned string list.
std::shared_ptr<IROStrings> NewROStrings();
/// A string list interface over `list`, which it frees when `ownsList` is set.
std::shared_ptr<IROStrings> NewROStringsFromList(TStrings* list, bool ownsList);
/// Splits `text` at `separator`, where a separator inside a quoted section (opened and closed
/// by runs of an odd number of `quote` characters) does not split. Pieces keep their quotes
/// and blanks; empty pieces are dropped except the last one. A section that is never closed
/// runs to the end of the text.
std::shared_ptr<IROStrings> SplitToROStrings(StringView text, StringView separator, Char quote);
std::vector<String> StringListToArray(const TStrings& list);
/// The elements with `separator` between them; an empty array gives empty text.
String JoinStrings(const std::vector<String>& items, Char separator);
/// The pieces of `text` as the string list's delimited-text reader finds them with `delimiter`
/// (not strict: characters up to 32 also end a piece, double quotes quote, a trailing delimiter
/// adds an empty piece).
std::vector<String> SplitToArray(StringView text, Char delimiter);
/// Every character of `set` in `text` becomes `replacement`.
void ReplaceCharsInSet(String& text, const TSysCharSet& set, Char replacement);
/// Every character of `set` is removed from `text`.
void RemoveCharsInSet(String& text, const TSysCharSet& set);
/// True when `text` ends with `suffix` (with `ignoreCase`, after Unicode upper-casing of both);
/// an empty suffix always matches.
bool EndsWithText(StringView suffix, StringView text, bool ignoreCase);

// ---- GUIDs --------------------------------------------------------------------------------

TGUID NewGuid();
/// A new GUID as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (38 characters, upper case).
String NewGuidString();

// ---- Hexadecimal text ---------------------------------------------------------------------

/// The bytes of hexadecimal `text` (two digits of either case per byte) after line feeds,
/// carriage returns and blanks are removed (other white space stays and is no digit). Raises
/// EROException "String length must be 2n" for an odd number of digits and EConvertError for a
/// pair that is not hexadecimal.
AnsiString HexTextToBytes(StringView text);

// ---- Streams ------------------------------------------------------------------------------

/// Copies `count` bytes from the position of `source` to the position of `dest` and returns
/// `count`; 0 copies the whole source from its start. Memory streams on either side are copied
/// without a buffer in between. Raises EROException "Source must be assigned" / "Dest must be
/// assigned" for a missing stream, and EReadError "Stream read error" when the source holds
/// fewer bytes (after copying those it has) or when `count` is negative. The same stream on
/// both sides copies nothing.
std::int64_t CopyStreamData(TStream* source, TStream* dest, std::int64_t count = 0);

} // namespace vgl
