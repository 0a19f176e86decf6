#pragma once
// A host function's prototype ("function Copy(s: String; from, count: Integer): String") as its
// text alone gives it. What a script decides - the kinds of the named types and the value of a
// default that names a constant - is kept as names and asked of the script when an item is made,
// so one reading of a text serves every script.

#include <memory>
#include <vector>

#include "platform/rtl/variant.h"
#include "script/engine/script_items.h"

namespace vgl {

class TfsScript;

/// The parts of a prototype text.
struct TfsPrototype {
    /// How a parameter group's default is written.
    enum TDefaultKind {
        dkNone,   // no default
        dkNumber, // a number, perhaps after '-': its value, or Null when it is too large
        dkString, // a quoted text
        dkName,   // an identifier: the value of the item a script finds under it
        dkNull    // '=' followed by nothing that can be read
    };
    /// "[var|const] a, b: Type [= default]": the names of one group share its type and only the
    /// last one takes the default.
    struct TGroup {
        String TypeName;
        bool IsVarParam = false;
        TDefaultKind DefaultKind = dkNone;
        /// The number, the quoted text with its quotes, or the identifier.
        String DefaultText;
        std::vector<String> Names;
    };

    String Name;
    /// AnsiUpperCase(Name).
    String UppercaseName;
    /// The result type's name; empty for a procedure.
    String TypeName;
    bool IsMacro = false;
    /// In the order of the text, groups without names included (a script is asked their type all
    /// the same).
    std::vector<TGroup> Groups;
    /// The names of all groups.
    int ParamCount = 0;
};

/// Reads a prototype text (the rules of fsParsePrototype). Never fails.
std::unique_ptr<TfsPrototype> fsReadPrototype(StringView text);

/// The reading of `text`, made once per process and shared read-only by every thread; `holder`
/// receives a reading of its own when the process keeps no more texts (the number of texts kept
/// is bounded, since a host may register prototypes it builds at run time).
const TfsPrototype& fsPrototypeOf(StringView text, std::unique_ptr<TfsPrototype>& holder);

/// The kind of the item `script` finds under the result type's name (fsTypeOfName); asks the
/// script what the prototype's reading asked it first.
TfsVarType fsPrototypeResultType(const TfsPrototype& proto, const TfsScript* script);

/// Appends the parameters to `item` (TfsParamItem, by reference after "var", the last name of a
/// group with a default optional and holding it), asking `script` the kinds of their types and
/// the values of named defaults in the order of the text.
void fsAddPrototypeParams(const TfsPrototype& proto, const TfsScript* script, TfsCustomVariable& item);

} // namespace vgl
