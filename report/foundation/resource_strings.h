#pragma once
// TfrxResources: the report engine's process-wide string table, and the script engine's message
// texts that every XML load refreshes from it.

#include <unordered_map>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/ustring.h"
#include "report/foundation/wide_strings.h"

namespace vgl {

class TStream;

/// Raised when the program holds no resource of a name: "Resource %s not found".
VGL_DECLARE_EXCEPTION(EResNotFound, Exception);

/// The script engine's message texts: English defaults, the first 17 replaced by the table's texts
/// of the same key after every XML load (UpdateFSResources).
struct TfsScriptMessages {
    String SLangNotFound = u"Language '%s' not found";
    String SInvalidLanguage = u"Invalid language definition";
    String SIdRedeclared = u"Identifier redeclared: ";
    String SUnknownType = u"Unknown type: ";
    String SIncompatibleTypes = u"Incompatible types";
    String SIdUndeclared = u"Undeclared identifier: ";
    String SClassRequired = u"Class type required";
    String SIndexRequired = u"Index required";
    String SStringError = u"Strings doesn't have properties or methods";
    String SClassError = u"Class %s does not have a default property";
    String SArrayRequired = u"Array type required";
    String SVarRequired = u"Variable required";
    String SNotEnoughParams = u"Not enough actual parameters";
    String STooManyParams = u"Too many actual parameters";
    String SLeftCantAssigned = u"Left side cannot be assigned to";
    String SForError = u"For loop variable must be numeric variable";
    String SEventError = u"Event handler must be a procedure";
    // Not in the resource table: they keep their defaults.
    String SComponentNotFound = u"Component with name %s not found";
    String SComponentFieldAssign = u"Can not assign value to component field %s";
};

/// The process-wide script message table. Written at start-up and by resource loads, read by the
/// script engine.
TfsScriptMessages& fsScriptMessages();

class TfrxResources : public TObject {
public:
    TfrxResources();
    String ClassName() const override { return u"TfrxResources"; }

    /// The text of `strName` (keys compare without regard to case), or the key itself when the
    /// table lacks it; one leading "!" is removed in both cases.
    String Get(const String& strName) const;
    /// Adds a key with its text, or replaces the text of an existing key in place.
    void AddW(const String& ref, const String& str);
    /// AddW with 8-bit text in the ANSI code page.
    void Add(const String& ref, const AnsiString& str);
    /// "key=value" lines; lines without "=", with an empty key or an empty value are skipped.
    void AddStrings(const String& str);
    /// A resource document as UTF-8 XML bytes (see LoadFromStream).
    void AddXML(std::string_view str);
    /// Loads a language file; a missing file does nothing.
    void LoadFromFile(const String& fileName);
    /// Loads a document: under a root "Resources" with a numeric CodePage, every "StrRes" child
    /// gives AddW(Name, Text unescaped once more). Then refreshes the script messages, whatever
    /// the root. Raises TfrxInvalidXMLException for a bad document and EConvertError for a
    /// missing or non-numeric CodePage.
    void LoadFromStream(TStream& stream);
    void Clear();
    /// Copies the texts of the first 17 script messages from the table.
    void UpdateFSResources();

    /// Language names of the "*.frc" files beside the program ("German" for "german.frc").
    const TStringList& Languages() const { return FLanguages; }
    /// Number of texts held.
    int Count() const { return FValues.Count(); }
    unsigned CP() const { return FCP; }
    String HelpFile = u"RAZodi.chm";

private:
    void FillLanguages();

    std::unordered_map<String, int> FNames; // upper-cased key → index into FValues
    TfrxWideStrings FValues;
    TStringList FLanguages;
    unsigned FCP = 0;
};

/// The process-wide table, created on first use.
TfrxResources& frxResourcesInstance();
/// Get of the decimal text of `number`.
String frxResourceText(int number);

/// Adds the embedded string document `resourceName` (resource type "XML") to the process-wide
/// table. Raises EResNotFound when the program does not hold it. A library registers a built-in
/// string document with one call of this from its start-up function.
void AddResourceDocument(StringView resourceName);

} // namespace vgl
