#pragma once
// The service-definition XML writer: TRODLConverter (the base of text converters: a buffer of
// output lines, written out as UTF-8 with CR LF after every line and no byte-order mark),
// TROConverterNode (an element of the output text tree) and TRODLToXML, which writes a
// TRODLLibrary as service-definition XML, optionally without private services and filtered by
// service groups.
//
// The XML has one element per line, no indentation and attributes separated by single blanks.
// Attribute values escape "&", "<", ">" and the double quote (and tab, line feed and carriage
// return as character references, so they read back unchanged); element text escapes "&", "<"
// and ">"; documentation and code bodies travel as CDATA. Characters XML 1.0 cannot carry are
// written as blanks.

#include <map>
#include <memory>
#include <vector>

#include "platform/rtl/object.h"
#include "platform/rtl/ustring.h"

namespace vgl {

class TRODLLibrary;
class TRODLEntity;

/// An element of the output text tree. Attribute values and element values are inserted as
/// given: the node escapes nothing.
class TROConverterNode {
public:
    TROConverterNode(const String& aTag, int aDefaultOffset);
    TROConverterNode(const String& aPrefix, const String& aTag, int aDefaultOffset);
    TROConverterNode(const TROConverterNode&) = delete;
    TROConverterNode& operator=(const TROConverterNode&) = delete;

    void AddAttribute(const String& aName, const String& aValue, bool aNewLine = false);
    void AddAttribute(const String& aPrefix, const String& aName, const String& aValue, bool aNewLine);
    /// A new child: its indent is this node's indent plus offset, its offset this node's.
    TROConverterNode* AddChild(const String& aName);
    TROConverterNode* AddChild(const String& aPrefix, const String& aName);
    void SetValue(const String& aValue, bool aNewLine = false);
    TROConverterNode* FirstChild() const { return fChilds.empty() ? nullptr : fChilds.front().get(); }
    TROConverterNode* LastChild() const { return fChilds.empty() ? nullptr : fChilds.back().get(); }
    const String& Name() const { return fName; }
    /// The node and its children as text, every line ended by CR LF.
    String ToString() const;

private:
    void Render(String& out) const;
    int fIndent = 0;
    int fOffset = 0;
    String fName;
    std::vector<std::unique_ptr<TROConverterNode>> fChilds;
    std::vector<std::pair<String, bool>> fAttributes;
    String fValue;
    bool fValueFromNewString = false;
};

class TRODLConverter : public TObject {
public:
    TRODLConverter() = default;
    ~TRODLConverter() override = default;
    TRODLConverter(const TRODLConverter&) = delete;
    TRODLConverter& operator=(const TRODLConverter&) = delete;
    String ClassName() const override { return u"TRODLConverter"; }

    /// EROException "Invalid library" for none and "Invalid TargetEntity "%s"" for a target
    /// entity the library has no service of; then stores the target, empties the buffer and
    /// converts.
    void Convert(const TRODLLibrary* aLibrary, const String& aTargetEntity = {});
    /// Reads the definition file and converts it.
    void ConvertFile(const String& aFileName, const String& aTargetEntity = {});

    const std::vector<String>& Buffer() const { return fBuffer; }
    /// Every line followed by CR LF, as UTF-8 without a byte-order mark.
    std::string AsBytes() const;
    const String& TargetEntity() const { return fTargetEntity; }

    /// Appends one line: aIndentation blanks and the text.
    void Write(const String& aText, int aIndentation = 0);
    /// Appends a text that may hold line breaks, one line per line.
    void WriteLines(const String& aText);
    void WriteEmptyLine() { fBuffer.emplace_back(); }

protected:
    virtual void IntConvert(const TRODLLibrary& aLibrary) = 0;
    virtual bool ValidateTargetEntity(const TRODLLibrary& aLibrary, const String& aTargetEntity) const;
    std::vector<String> fBuffer;
    String fTargetEntity;
};

class TRODLToXML : public TRODLConverter {
public:
    /// ExcludePrivateServices off. aOutputFileName makes "Rodl" paths relative to its folder;
    /// aFlattenUsedRODLs writes entities of used definitions as well.
    explicit TRODLToXML(const String& aOutputFileName = {}, bool aFlattenUsedRODLs = false);
    String ClassName() const override { return u"TRODLToXML"; }

    bool ExcludePrivateServices = false;
    bool ExcludeServiceGroupAttribute = false;
    /// A comma list of groups ("!" excludes a group; a part in single quotes may hold commas).
    String ServiceGroup;
    String StyleSheet;

protected:
    void IntConvert(const TRODLLibrary& aLibrary) override;

private:
    struct Context;
    String fOutputFileName;
    bool fFlattenUsedRODLs;
};

/// Text helpers of the writer.
/// Every character XML 1.0 cannot carry made a blank.
String XmlSafeText(StringView aText);
/// An attribute value: "&", "<", ">", the double quote, tab, line feed and carriage return
/// escaped.
String EscapeXmlAttribute(StringView aText);
/// Element text: "&", "<", ">" and carriage return escaped.
String EscapeXmlElementText(StringView aText);
/// The CDATA form of documentation and code bodies (trailing white space removed, control
/// characters as blanks, line ends as line feeds, "]]>" split over two sections).
String MakeCDataText(StringView aText);
/// Whether the text can be the name of an XML element.
bool IsValidXmlElementName(StringView aName);

} // namespace vgl
