#pragma once
// TROXMLSerializer: typed values as elements and attributes of an XML node tree, and back. The
// serializer works below a current node: writes append elements to it, reads look values up
// among its children by local name. Numbers always use "." whatever the host locale.

#include <cstdint>

#include "platform/rtl/string_list.h"
#include "remoting/core/ro_serializer.h"
#include "remoting/core/ro_types.h"
#include "remoting/core/xml_interfaces.h"

namespace vgl {

enum TROXMLSerializationOption {
    xsoWriteMultiRefArray,
    xsoWriteMultiRefObject,
    xsoSendUntyped,
    xsoStrictStructureFieldOrder,
    xsoIgnoreStructureType,
    xsoEncodedXML,
    xsoClientIdInWsdl,
    xsoDocument,
    xsoSplitServiceWsdls,
    xsoExternalTypesAsReferences,
    xsoSoap12,
    xsoSkipOperationName,
    xsoDocumentLiteralWrappedNaming,
    xsoHexBinary
};
VGL_DECLARE_ENUM(TROXMLSerializationOption);
VGL_DECLARE_SET(TROXMLSerializationOptions, TROXMLSerializationOption);

/// The options of a new serializer (and of the service host's message).
TROXMLSerializationOptions DefaultXMLSerializationOptions();

class TROXMLSerializer : public TROSerializer {
    VGL_CLASS(TROXMLSerializer, TROSerializer)

    explicit TROXMLSerializer(IXMLNodePtr aStorageRef = nullptr);
    ~TROXMLSerializer() override;

    /// Makes `aStorageRef` the current node and forgets the reference state of the previous one.
    void SetStorageRef(IXMLNodePtr aStorageRef);
    const IXMLNodePtr& CurrentNode() const { return fNode; }

    TROXMLSerializationOptions SerializationOptions() const { return fSerializationOptions; }
    void SetSerializationOptions(TROXMLSerializationOptions value);
    /// RPC-encoded: neither xsoSendUntyped nor xsoDocument, and (with a current node) a document
    /// that indexes elements by "id".
    bool RPCEncoding() const { return fRPCEncoding; }
    bool GetRecordStrictOrder() const override;

    /// Field names of the current structure that travel as attributes, and name=value lines
    /// giving an attribute name that differs from the field name.
    TStringList& Attributes() { return fAttributes; }
    TStringList& AnonymousAttributes() { return fAnonymousAttributes; }

    void WriteInteger(const String& aName, TOrdType anOrdType, std::int64_t Ref, int ArrayElementId) override;
    void WriteInt64(const String& aName, std::int64_t Ref, int ArrayElementId) override;
    void WriteUInt64(const String& aName, std::uint64_t Ref, int ArrayElementId);
    void WriteEnumerated(const String& aName, const TypeInfo& anEnumTypeInfo, std::int64_t Ref,
                         int ArrayElementId) override;
    void WriteUnicodeString(const String& aName, const String& Ref, int ArrayElementId) override;
    void WriteLegacyString(const String& aName, const String& Ref, TParamAttributes ExtraAttributes,
                           int ArrayElementId) override;
    void WriteDateTime(const String& aName, TDateTime Ref, int ArrayElementId) override;
    void WriteDouble(const String& aName, TFloatType aFloatType, long double Ref, int ArrayElementId) override;
    void WriteGuid(const String& aName, const String& Ref, int ArrayElementId) override;
    void WriteBinary(const String& aName, const TObject* Ref, int ArrayElementId) override;
    /// By the variant's kind: xsi:empty="1" or xsi:null="1" elements, or the typed operation of
    /// that kind; ENotSupportedException for kinds without one (decimal among them for now).
    void WriteVariant(const String& aName, const Variant& Ref, int ArrayElementId) override;
    /// Embedded elements, or escaped text with xsoEncodedXML.
    void WriteXml(const String& aName, const std::shared_ptr<IXMLNode>& Ref, int ArrayElementId) override;
    /// The date-time, then "Z" for offset 0 or "+hh:mm"/"-hh:mm" when the value has a zone; an
    /// empty element for no value.
    void WriteXSDateTime(const String& aName, const XsDateTime* Ref, int ArrayElementId);

    void ReadInteger(const String& aName, TOrdType anOrdType, std::int64_t& Ref, int ArrayElementId) override;
    void ReadInt64(const String& aName, std::int64_t& Ref, int ArrayElementId) override;
    void ReadUInt64(const String& aName, std::uint64_t& Ref, int ArrayElementId);
    void ReadEnumerated(const String& aName, const TypeInfo& anEnumTypeInfo, std::int64_t& Ref,
                        int ArrayElementId) override;
    void ReadUnicodeString(const String& aName, String& Ref, int ArrayElementId, int aMaxLength = -1) override;
    void ReadLegacyString(const String& aName, String& Ref, TParamAttributes ExtraAttributes, int ArrayElementId,
                          int aMaxLength = -1) override;
    void ReadDateTime(const String& aName, TDateTime& Ref, int ArrayElementId) override;
    void ReadDouble(const String& aName, TFloatType aFloatType, long double& Ref, int ArrayElementId) override;
    void ReadGuid(const String& aName, String& Ref, int ArrayElementId) override;
    void ReadBinary(const String& aName, std::unique_ptr<TObject>& Ref, int ArrayElementId) override;
    /// By the element's type attribute (default string); a missing element gives Null.
    void ReadVariant(const String& aName, Variant& Ref, int ArrayElementId) override;
    /// A document of the element's first child element, or of its text ("Invalid input" when
    /// that does not parse); no value for an empty text.
    void ReadXml(const String& aName, std::shared_ptr<IXMLNode>& Ref, int ArrayElementId) override;
    /// The local date-time as written and its offset (none: no zone); no value for a missing,
    /// nil or empty element.
    void ReadXsDateTime(const String& aName, std::unique_ptr<XsDateTime>& Ref, int ArrayElementId);

    /// Structures (XsDateTime through the date-time operations), arrays and exceptions as elements;
    /// reading creates the object (no element or a nil element: none). References (href) are
    /// followed; an element reached again while it is being read, or structures nested deeper
    /// than MaxNesting, raise EROException.
    void WriteStruct(const String& aName, const TObject* Ref, TClass aClass, int ArrayElementId) override;
    bool ReadStruct(const String& aName, TClass aClass, std::unique_ptr<TObject>& Ref, int ArrayElementId) override;
    void WriteArray(const String& aName, const TObject* Ref, TClass aClass, int ArrayElementId) override;
    bool ReadArray(const String& aName, TClass aClass, std::unique_ptr<TObject>& Ref, int ArrayElementId) override;
    /// An exception's fields under its element ("ElementName", "ElementNamespace"; none of its
    /// own when the class declares "Anonymous"). Reading fills the caller's object, or frees it
    /// when the element is missing or nil.
    void WriteException(const String& aName, const TObject* Ref, int ArrayElementId) override;
    void ReadException(const String& aName, std::unique_ptr<TObject>& Ref, int ArrayElementId) override;
    /// Makes the class's "ImportedFromNamespace", then its "ElementNamespace", current.
    void ChangeClass(TClass aClass) override;
    String GetArrayElementName(const TypeInfo& anItemType, const void* anItemReference) override;
    String GetArrayElementName(const String& anItemType) override;
    static constexpr int MaxNesting = 64;

    /// The namespace of new elements: "*" for none (prefix "v0"); any other URI gets the prefix
    /// "v" + its number, declared on the document root once. Empty changes nothing.
    void SetCurrentNamespace(const String& aNamespace);
    /// Empty for none.
    String GetCurrentNamespace() const;
    /// The prefix of the current namespace ("v" + its number; empty before the first).
    const String& CurrentPrefix() const { return fPrefix; }

    /// The child of the current node for a value: by local name (one leading "_" removed,
    /// case-sensitive, any namespace) or, for an array item, by the item list being read.
    IXMLNodePtr FindElement(const String& aName, int ArrayElementId) const;
    /// No node, or a node with xsi:nil="true" (the XML Schema instance namespace, exactly "true").
    static bool IsNilNode(const IXMLNodePtr& node);

protected:
    /// Appends the element of a value to `parent`, named and placed in a namespace by the
    /// prefix rules.
    IXMLNodePtr AddElement(const IXMLNodePtr& parent, const String& name, bool arrayItem);
    /// The element of a simple value: a new element, or the current node inside a simple type
    /// extension; xsi:type `xsdType` unless untyped (empty: none).
    IXMLNodePtr WriteSimple(const String& aName, int ArrayElementId, const String& xsdType, const String& text);
    /// The text of a simple value and whether it was present and not nil.
    bool ReadSimple(const String& aName, int ArrayElementId, String& text) const;
    bool Typed() const { return !fSerializationOptions.Contains(xsoSendUntyped); }
    /// The element an href points to (the node itself when it has none); no node when nothing
    /// carries that id.
    IXMLNodePtr ResolveHref(const IXMLNodePtr& node);
    /// The nearest ancestor of the current node named "Body" (any letter case), cached.
    IXMLNodePtr BodyNode();
    /// Writes the element `name` with href="#n" and appends the value's element with id="n" to
    /// the Body; returns the latter. EROException when the current node is outside a Body.
    IXMLNodePtr WriteReference(const String& name, const String& bodyName, int ArrayElementId);
    /// The class to create for an element: the declared one, or the one its type names.
    TClass ClassOfElement(const IXMLNodePtr& node, TClass aClass, bool allowSimpleExtension) const;
    class ReadScope;
    friend class ReadScope;
    void InitializeRPCEncoding();
    void ClearDocumentCache();

    IXMLNodePtr fNode;
    TStringList fPrefixMap;
    String fPrefix;
    String fCurrentNamespace;
    TROXMLSerializationOptions fSerializationOptions;
    IXMLNodePtr fBodyNode;
    std::int32_t fMaxRef = 0;
    IXMLNodePtr fRespNode;
    String fArrayElementName;
    std::vector<std::vector<int>> fElements;
    TStringList fAttributes;
    TStringList fAnonymousAttributes;
    bool fIsSimpleTypeExtension = false;
    String fSimpleType;
    bool fRPCEncoding = false;
    std::shared_ptr<IXMLDocumentCache> fXMLDocumentCache;
    /// Elements whose structure or array is being read (cycle and depth check).
    std::vector<void*> fReading;
};

/// Number text of the serializer: shortest general form with up to 15 significant digits, "."
/// separator, "E" exponent without "+" or leading zeros; "NaN", "INF", "-INF".
String XmlFloatToStr(double value);
/// The inverse; also "NaN", "INF", "-INF" in any letter case. Raises EConvertError
/// "'%s' ist kein gültiger Gleitkommawert".
double XmlStrToFloat(StringView text);

} // namespace vgl
