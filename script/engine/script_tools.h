#pragma once
// Free functions that the script front end and the interpreter share: the type-compatibility
// rules, Variant ⇄ argument-list conversions, constant texts, prototypes of host functions and
// the designer's contents tree.

#include <memory>
#include <span>
#include <vector>

#include "platform/rtl/format.h"
#include "script/engine/script_items.h"
#include "script/engine/script_parser.h"

namespace vgl {

class TfsScript;
class TfsXMLItem;

/// The static type of an item or expression: the kind and, for classes and enumerations, the
/// type name.
struct TfsTypeRec {
    TfsVarType Typ = fvtInt;
    String TypeName;
};

/// The Typ of the item `script` finds under `name` (there or in a parent); fvtClass when none
/// is found (or there is no script).
TfsVarType fsTypeOfName(StringView name, const TfsScript* script);
/// True when both names are class items of the script and B's host class is A's or derives
/// from it.
bool fsClassInherits(StringView classA, StringView classB, const TfsScript* script);
/// Whether a value of type `offered` may go where `receiving` is expected.
bool fsTypesCompatible(const TfsTypeRec& receiving, const TfsTypeRec& offered, const TfsScript* script);
/// fsTypesCompatible of the two variables' types, except that an fvtInt target refuses an
/// fvtFloat source.
bool fsAssignCompatible(const TfsCustomVariable& target, const TfsCustomVariable& source, const TfsScript* script);

/// One argument of a host call as a script value: integers (32 and 64 bits), Booleans,
/// characters (one-character texts), floats and currency (Double), texts; a pointer gives Null.
Variant fsVarRecToVariant(const TVarRec& arg);
/// The elements of a one-dimensional Variant array as Format arguments, one per element:
/// integers, floats (currency and dates as their value), Booleans and texts (8-bit texts whole)
/// keep their value; other kinds become the integer 0. The list holds its own texts. Raises
/// EVariantError when `values` is no array.
std::vector<TVarRec> fsVariantToVarRecs(const Variant& values);
/// Empties an argument list made by fsVariantToVarRecs.
void fsClearVarRecs(std::vector<TVarRec>& varRecs);

/// The value of a constant written in IL form: Null for an empty text; a text in single quotes
/// without them; an integer (decimal or '$' hexadecimal) as Integer when it fits 32 bits, else
/// Int64; else a float (Double). Raises EConvertError for a text that is no number.
Variant fsTextToValue(StringView text);

/// Reads a prototype such as "function Copy(s: String; from, count: Integer): String" into a
/// new item: name, result kind and type name, IsMacro ("macrofunction"), and one TfsParamItem
/// per parameter (by reference after "var"; the last name of a group with a default is
/// optional and holds it). Types are looked up in `script` and its parents. Never fails on a
/// malformed prototype: what cannot be read is skipped, and reading ends with the text.
std::unique_ptr<TfsCustomVariable> fsParsePrototype(StringView prototype, const TfsScript* script);

/// The items of a comma list as TStrings::SetCommaText gives them, and the same items trimmed.
struct TfsCommaList {
    std::vector<String> Items;
    std::vector<String> Trimmed;
};
/// The comma list of `text`, read once per process and shared read-only by every thread; `holder`
/// receives a list of its own when the process keeps no more texts.
const TfsCommaList& fsCommaListOf(StringView text, std::unique_ptr<TfsCommaList>& holder);

/// "line:column" → X = column, Y = line; both 0 for an empty text. Raises EConvertError for a
/// part that is no integer.
TfsPoint fsTextToPoint(StringView text);

/// Fills `item` with the groups "Functions", "Classes", "Types", "Variables" and "Constants"
/// describing the script's items (with `functionsOnly`, only the host functions). Texts are
/// stored as escaped attributes, so a saved tree is well-formed whatever the names and values.
void fsBuildContentsTree(const TfsScript& script, TfsXMLItem& item, bool functionsOnly);

} // namespace vgl
