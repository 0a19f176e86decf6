#pragma once
// TfsILParser: turns script source into the intermediate language (IL), an XML document in
// which every construct the language's grammar names is an element with its source position.
// The parser has no code per language: it loads the grammar registered for the language, sets
// the tokenizer up from it and walks the grammar's rules over the source.

#include <map>
#include <memory>
#include <vector>

#include "platform/rtl/string_list.h"
#include "script/engine/script_parser.h"
#include "script/engine/script_xml.h"

namespace vgl {

class TfsScript;
class TfsDesignator;
class TfsExpression;
class TfsStatement;
class TfsCustomVariable;
class TfsProcVariable;
struct TfsPreparedGrammar;

/// What a designator adds at its end: nothing, a call of the class's constructor (new) or of
/// Free (delete).
enum TfsEmitOp { emNone, emCreate, emFree };

class TfsILParser {
public:
    /// A parser for `program`, which receives the error texts of each compile.
    explicit TfsILParser(TfsScript* program);
    ~TfsILParser();
    TfsILParser(const TfsILParser&) = delete;
    TfsILParser& operator=(const TfsILParser&) = delete;

    /// Loads the grammar registered under `language` and sets the tokenizer up from its
    /// settings and keywords. Raises Exception "Language '%s' not found" for an unregistered
    /// language and "Invalid file format" for a grammar text that is no script XML.
    void SelectLanguage(const String& language);
    /// Walks the grammar's "program" rule over `text` and, on success, fills ILScript. A first
    /// line "#language Name" selects that language for the rest of the text. Sets the script's
    /// ErrorMsg and ErrorPos ("line:column") in every case, both empty on success; returns false
    /// for a syntax error. A program nested deeper than MaxNesting grammar steps fails with
    /// "Nesting too deep". Raises Exception "Invalid language definition" for a grammar that
    /// refers to a rule it does not define (or has no "program" rule).
    bool MakeILScript(const String& text);

    /// Builds the script's items and statements from ILScript. Errors of the Exception family
    /// end the step: the script's ErrorMsg, ErrorPos and ErrorUnit then describe the first one
    /// (other exceptions pass through). On success ErrorPos is empty.
    void ParseILScript();
    /// The designator of a `dsgn` element, compiled against `program`.
    std::unique_ptr<TfsDesignator> DoDesignator(TfsXMLItem* item, TfsScript* program, TfsEmitOp emitOp);

    /// The IL document of the last successful MakeILScript.
    TfsXMLDocument& ILScript() const { return *FILScript; }
    const String& LangName() const { return FLangName; }
    bool NeedDeclareVars() const { return FNeedDeclareVars; }
    const String& UnitName() const { return FUnitName; }
    void SetUnitName(const String& value) { FUnitName = value; }
    TStringList& UsesList() { return *FUsesList; }

    /// The deepest nesting of grammar steps a walk accepts. It keeps the walk's recursion far
    /// from the stack's end and the IL's element depth below the script XML reader's bound.
    static constexpr int MaxNesting = 900;

    /// Set while a late-bound designator is resolved at run time: a Variant step after a routine
    /// then takes the value of the chain so far (the routine is called with its arguments),
    /// where at compile time it counts as unknown.
    bool ResolvingAtRunTime = false;

    /// The deepest nesting of expressions, designators and statements ParseILScript follows.
    static constexpr int MaxTreeNesting = 1000;

private:
    friend struct TfsGrammarWalk;
    friend struct TfsILProgramBuilder;

    String FErrorPos;
    // Loaded once per grammar text and shared by every parser of the process (read-only).
    std::shared_ptr<const TfsXMLDocument> FGrammar;
    std::unique_ptr<TfsXMLDocument> FILScript;
    String FLangName;
    bool FNeedDeclareVars = true;
    std::unique_ptr<TfsParser> FParser;
    TfsScript* FProgram;
    TfsXMLItem* FProgRoot = nullptr;
    const TfsXMLItem* FRoot = nullptr;
    String FUnitName;
    std::unique_ptr<TStringList> FUsesList;
    std::unique_ptr<TStringList> FWithList;
    std::shared_ptr<const TfsPreparedGrammar> FPrepared;
    // Grammar steps already taken by the walks that include this parser's text as a unit, so
    // that nested units count toward MaxNesting.
    int FBaseDepth = 0;
    // The source text of each unit included during this compile, for the Source of its
    // expressions.
    std::map<String, String> FUnitTexts;
    // IL documents of units given by OnGetILUnit; the program tree may refer to their elements
    // (late-bound designators copy what they need), so they live as long as the parser.
    std::vector<std::unique_ptr<TfsXMLDocument>> FILUnits;
};

} // namespace vgl
