#pragma once
// TROMessage, the abstract message component: it carries the names of the called interface and
// operation, reads and writes the parameters of one call through its serializer, writes an
// exception and turns a received fault back into an exception. A wire format derives from it,
// supplies the serializer (CreateSerializer) and parses and writes its own envelope. Every
// message stream passes through the message's envelope items on the way out and in.
//
// A configured message lives as a component of its owner. For each request the server takes a
// reference-counted clone (Clone), held by std::shared_ptr<IROMessage> and freed at its last
// release on whatever thread that happens; the per-call state lives in the clone.

#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/guid.h"
#include "platform/rtl/string_list.h"
#include "remoting/core/ro_component.h"
#include "remoting/core/ro_interfaces.h"
#include "remoting/core/ro_message_envelope.h"
#include "remoting/core/ro_serializer.h"

namespace vgl {

class Exception;
class TStream;
class TROMessage;

/// The message types of the Initialize family.
constexpr int MessageTypeRequest = 0;
constexpr int MessageTypeResponse = 1;
constexpr int MessageType5 = 5;

/// The operations of a message, as the server and the invoker use them.
class IROMessage {
public:
    virtual ~IROMessage() = default;

    virtual void Initialize(const std::shared_ptr<IROTransport>& aTransport, const String& anInterfaceName,
                            const String& aMessageName, int aType) = 0;
    virtual void InitializeForLibrary(const std::shared_ptr<IROTransport>& aTransport, const String& aLibraryName,
                                      const String& anInterfaceName, const String& aMessageName, int aType) = 0;
    virtual void InitializeRequestMessage(const std::shared_ptr<IROTransport>& aTransport, const String& aLibraryName,
                                          const String& anInterfaceName, const String& aMessageName) = 0;
    virtual void InitializeResponseMessage(const std::shared_ptr<IROTransport>& aTransport, const String& aLibraryName,
                                           const String& anInterfaceName, const String& aMessageName) = 0;
    virtual void InitializeType5Message(const std::shared_ptr<IROTransport>& aTransport, const String& aLibraryName,
                                        const String& anInterfaceName, const String& aMessageName) = 0;
    virtual void InitializeContentType(const std::shared_ptr<IROTransport>& aTransport, const String& aLibraryName,
                                       const String& anInterfaceName, const String& aMessageName) = 0;
    virtual void Finalize() = 0;
    virtual TGUID GetClientID() const = 0;
    virtual void SetClientID(const TGUID& Value) = 0;
    virtual void Write(const String& aName, const TypeInfo& aTypeInfo, TROValue& Ref,
                       TParamAttributes Attributes = {}) = 0;
    virtual void Read(const String& aName, const TypeInfo& aTypeInfo, TROValue& Ref,
                      TParamAttributes Attributes = {}) = 0;
    virtual String GetInterfaceName() const = 0;
    virtual String GetMessageName() const = 0;
    virtual void SetInterfaceName(const String& Value) = 0;
    virtual void SetMessageName(const String& Value) = 0;
    virtual void WriteToStream(TStream& aStream) = 0;
    virtual void ReadFromStream(TStream& aStream) = 0;
    virtual void ReadFromStreamEx(TStream& aStream, bool& aFreeStream) = 0;
    virtual void WriteException(TStream& aStream, const Exception& E) = 0;
    /// 0 in the base.
    virtual int GetMessageType() const = 0;
    virtual TROMessageEnvelopeCollection& GetEnvelopes() = 0;
    virtual void SetAttributes(const std::shared_ptr<IROTransport>& aTransport, const std::vector<String>& aNames,
                               const std::vector<String>& aValues) = 0;
    virtual void ResetAttributes() = 0;
    virtual void ReadTransportInfo(const std::shared_ptr<IROTransport>& aTransport) = 0;

    // Typed forwarders to the serializer.
    virtual void WriteInteger(const String& aName, TOrdType anOrdType, std::int64_t Ref, int ArrayElementId) = 0;
    virtual void WriteInt64(const String& aName, std::int64_t Ref, int ArrayElementId) = 0;
    virtual void WriteEnumerated(const String& aName, const TypeInfo& anEnumTypeInfo, std::int64_t Ref,
                                 int ArrayElementId) = 0;
    virtual void WriteUTF8String(const String& aName, const AnsiString& Ref, int ArrayElementId) = 0;
    virtual void WriteAnsiString(const String& aName, const AnsiString& Ref, int ArrayElementId) = 0;
    virtual void WriteUnicodeString(const String& aName, const String& Ref, int ArrayElementId) = 0;
    virtual void WriteLegacyString(const String& aName, const String& Ref, TParamAttributes ExtraAttributes,
                                   int ArrayElementId) = 0;
    virtual void WriteDateTime(const String& aName, TDateTime Ref, int ArrayElementId) = 0;
    virtual void WriteDouble(const String& aName, TFloatType aFloatType, long double Ref, int ArrayElementId) = 0;
    virtual void WriteVariant(const String& aName, const Variant& Ref, int ArrayElementId) = 0;
    virtual void WriteXml(const String& aName, const std::shared_ptr<IXMLNode>& Ref, int ArrayElementId) = 0;
    virtual void WriteGuid(const String& aName, const String& Ref, int ArrayElementId) = 0;
    virtual void WriteDecimal(const String& aName, const Variant& Ref, int ArrayElementId) = 0;
    virtual void WriteStruct(const String& aName, const TObject* Ref, TClass aClass, int ArrayElementId) = 0;
    virtual void WriteArray(const String& aName, const TObject* Ref, TClass aClass, int ArrayElementId) = 0;
    virtual void WriteBinary(const String& aName, const TObject* Ref, int ArrayElementId) = 0;
    virtual void ReadInteger(const String& aName, TOrdType anOrdType, std::int64_t& Ref, int ArrayElementId) = 0;
    virtual void ReadInt64(const String& aName, std::int64_t& Ref, int ArrayElementId) = 0;
    virtual void ReadEnumerated(const String& aName, const TypeInfo& anEnumTypeInfo, std::int64_t& Ref,
                                int ArrayElementId) = 0;
    virtual void ReadUTF8String(const String& aName, AnsiString& Ref, int ArrayElementId, int aMaxLength = -1) = 0;
    virtual void ReadAnsiString(const String& aName, AnsiString& Ref, int ArrayElementId, int aMaxLength = -1) = 0;
    virtual void ReadUnicodeString(const String& aName, String& Ref, int ArrayElementId, int aMaxLength = -1) = 0;
    virtual void ReadLegacyString(const String& aName, String& Ref, TParamAttributes ExtraAttributes,
                                  int ArrayElementId, int aMaxLength = -1) = 0;
    virtual void ReadDateTime(const String& aName, TDateTime& Ref, int ArrayElementId) = 0;
    virtual void ReadDouble(const String& aName, TFloatType aFloatType, long double& Ref, int ArrayElementId) = 0;
    virtual void ReadVariant(const String& aName, Variant& Ref, int ArrayElementId) = 0;
    virtual void ReadXml(const String& aName, std::shared_ptr<IXMLNode>& Ref, int ArrayElementId) = 0;
    virtual void ReadGuid(const String& aName, String& Ref, int ArrayElementId) = 0;
    virtual void ReadDecimal(const String& aName, Variant& Ref, int ArrayElementId) = 0;
    virtual bool ReadStruct(const String& aName, TClass aClass, std::unique_ptr<TObject>& Ref, int ArrayElementId) = 0;
    virtual bool ReadArray(const String& aName, TClass aClass, std::unique_ptr<TObject>& Ref, int ArrayElementId) = 0;
    virtual void ReadBinary(const String& aName, std::unique_ptr<TObject>& Ref, int ArrayElementId) = 0;

    virtual void StoreAttributes(const std::vector<String>& aNames, const std::vector<String>& aValues) = 0;
    virtual void ApplyAttributes() = 0;
    virtual void WriteTransportInfo(const std::shared_ptr<IROTransport>& aTransport) = 0;
    virtual void ClearAttributes() = 0;
    virtual void ResetTransportInfo(const std::shared_ptr<IROTransport>& aTransport) = 0;
    virtual void SetDefaultNamespaces(const String& Value) = 0;
    virtual void SetNamespaceList(const String& aText) = 0;
};

class IROMessageCloneable {
public:
    virtual ~IROMessageCloneable() = default;
    /// A reference-counted clone of the message (same class), freed at its last release.
    virtual std::shared_ptr<IROMessage> Clone() = 0;
};

using TStreamOperation = std::function<void(TStream& aStream)>;
using TROServerExceptionEvent = std::function<void(Exception& anException, bool& RaiseException)>;
using TROInitializeMessageEvent =
    std::function<void(TROMessage* Sender, const std::shared_ptr<IROTransport>& aTransport,
                       const String& anInterfaceName, const String& aMessageName)>;
using TROFinalizeMessageEvent = std::function<void(TROMessage* Sender)>;
using TROMessageParameterEvent = std::function<void(TROMessage* Sender, const String& aName, const TypeInfo& aTypeInfo,
                                                    TROValue& DataRef, TParamAttributes Attributes)>;
using TROWriteExceptionEvent = std::function<void(TROMessage* Sender, TStream& aStream, const Exception& E)>;

class TROMessage : public TROComponent,
                   public IROMessage,
                   public IROMessageCloneable,
                   public virtual IRONamedModuleInfo,
                   public IROServiceGroupSupport {
    VGL_CLASS(TROMessage, TROComponent)

    /// MaxStringSize -1, AddServerExceptionPrefix true, a new client id, no envelopes; the
    /// serializer is made by CreateSerializer on first use.
    explicit TROMessage(TComponent* aOwner = nullptr);
    /// Clears the attributes and frees the header list, serializer and envelope collection.
    ~TROMessage() override;

    // ---- Cloning ------------------------------------------------------------------------
    /// A new instance of aMessage's class (which must declare its own class table), reference
    /// counted, Assigned from aMessage. Raises EROException when the class table does not
    /// create that class.
    static std::shared_ptr<TROMessage> CreateRefCountedClone(const TROMessage& aMessage);
    std::shared_ptr<IROMessage> Clone() override;
    bool ReferenceCounted() const { return fReferenceCounted; }
    /// Nothing for none; EROException "Cannot Assign a %s to a %s" (this class, then Source's)
    /// for a source that is no instance of this message's class; else copies
    /// AddServerExceptionPrefix, the envelope items, the twelve events, RODLReader,
    /// DefaultNamespaces and MaxStringSize.
    void Assign(const TPersistent* Source) override;

    // ---- Properties ---------------------------------------------------------------------
    /// The serializer, with the current MaxStringSize passed on.
    TROSerializer& GetSerializer();
    TROSerializer& Serializer() { return GetSerializer(); }
    String MessageName() const { return fMessageName; }
    String InterfaceName() const { return fInterfaceName; }
    TGUID ClientID() const { return fClientID; }
    TROCustomRODLReader* RODLReader() const { return fRODLReader; }
    /// Links the reader (watched for destruction); a reader being destroyed is stored as none.
    void SetRODLReader(TROCustomRODLReader* Value);
    /// The reader built from run-time type information, when GetRttiRODLReader made one.
    TROCustomRODLReader* RTTIReader() const { return fRTTIReader; }
    bool AddServerExceptionPrefix() const { return fAddServerExceptionPrefix; }
    void SetAddServerExceptionPrefix(bool Value) { fAddServerExceptionPrefix = Value; }
    TROMessageEnvelopeCollection& Envelopes() { return *fEnvelopes; }
    void SetEnvelopes(const TROMessageEnvelopeCollection& Value);
    String DefaultNamespaces() const { return fDefaultNamespaces; }
    /// Stores the text and loads the namespace list from it (split at ";" and, unless quoted,
    /// at blanks).
    void SetDefaultNamespaces(const String& Value) override;
    /// Loads the namespace list from the text only while DefaultNamespaces is empty.
    void SetNamespaceList(const String& aText) override;
    const TStrings& DefaultNamespacesList() const { return *fDefaultNamespacesList; }
    std::int32_t MaxStringSize() const { return fMaxStringSize; }
    void SetMaxStringSize(std::int32_t Value);
    /// The "name=value" header lines for an HTTP transport, created on first call.
    TStrings& GetHttpHeaders();
    bool HasHttpHeaders() const { return fHttpHeaders != nullptr; }
    String ServiceGroups() const { return fServiceGroups; }
    void SetServiceGroups(const String& aServiceGroups) override { fServiceGroups = aServiceGroups; }
    const std::vector<String>& AttributesNames() const { return fAttributesNames; }
    const std::vector<String>& AttributesValues() const { return fAttributesValues; }
    bool HttpCanUseContentEncoding() const { return fhttp_CanUseContentEncoding; }
    String HttpContentType() const { return fhttp_ContentType; }

    // ---- Events -------------------------------------------------------------------------
    TStreamOperation OnWriteToStream;
    TStreamOperation OnReadFromStream;
    TROServerExceptionEvent OnServerException;
    TROInitializeMessageEvent OnInitializeMessage;
    TROFinalizeMessageEvent OnFinalizeMessage;
    TROMessageParameterEvent OnWriteMessageParameter;
    TROMessageParameterEvent OnReadMessageParameter;
    TROWriteExceptionEvent OnWriteException;
    TStreamOperation OnBeforeProcessOutgoingEnvelopes;
    TStreamOperation OnAfterProcessOutgoingEnvelopes;
    TStreamOperation OnBeforeProcessIncomingEnvelopes;
    TStreamOperation OnAfterProcessIncomingEnvelopes;

    // ---- IROMessage ---------------------------------------------------------------------
    /// Fires OnInitializeMessage, stores both names; content encoding is allowed while no
    /// envelope item is enabled with an envelope.
    void Initialize(const std::shared_ptr<IROTransport>& aTransport, const String& anInterfaceName,
                    const String& aMessageName, int aType) override;
    /// Ignores the library name.
    void InitializeForLibrary(const std::shared_ptr<IROTransport>& aTransport, const String& aLibraryName,
                              const String& anInterfaceName, const String& aMessageName, int aType) override;
    void InitializeRequestMessage(const std::shared_ptr<IROTransport>& aTransport, const String& aLibraryName,
                                  const String& anInterfaceName, const String& aMessageName) override;
    void InitializeResponseMessage(const std::shared_ptr<IROTransport>& aTransport, const String& aLibraryName,
                                   const String& anInterfaceName, const String& aMessageName) override;
    void InitializeType5Message(const std::shared_ptr<IROTransport>& aTransport, const String& aLibraryName,
                                const String& anInterfaceName, const String& aMessageName) override;
    /// Nothing in the base.
    void InitializeContentType(const std::shared_ptr<IROTransport>& aTransport, const String& aLibraryName,
                               const String& anInterfaceName, const String& aMessageName) override;
    /// Fires OnFinalizeMessage.
    void Finalize() override;
    TGUID GetClientID() const override { return fClientID; }
    void SetClientID(const TGUID& Value) override { fClientID = Value; }
    /// Fires OnWriteMessageParameter, then the serializer's Write (no array index).
    void Write(const String& aName, const TypeInfo& aTypeInfo, TROValue& Ref,
               TParamAttributes Attributes = {}) override;
    /// The serializer's Read (no array index); a failure becomes EROException "Error reading
    /// parameter %s: %s"; after a successful read fires OnReadMessageParameter.
    void Read(const String& aName, const TypeInfo& aTypeInfo, TROValue& Ref, TParamAttributes Attributes = {}) override;
    String GetInterfaceName() const override { return fInterfaceName; }
    String GetMessageName() const override { return fMessageName; }
    void SetInterfaceName(const String& Value) override { fInterfaceName = Value; }
    void SetMessageName(const String& Value) override { fMessageName = Value; }
    /// Fires OnWriteToStream (at position 0), then wraps the stream in the enabled envelopes;
    /// the stream is left at position 0.
    void WriteToStream(TStream& aStream) override;
    /// Position 0, unwraps every envelope header, position 0, fires OnReadFromStream, position
    /// 0. Descendants then parse the body.
    void ReadFromStream(TStream& aStream) override;
    void ReadFromStreamEx(TStream& aStream, bool& aFreeStream) override;
    /// Fires OnWriteException; descendants write the fault.
    void WriteException(TStream& aStream, const Exception& E) override;
    int GetMessageType() const override { return 0; }
    TROMessageEnvelopeCollection& GetEnvelopes() override { return *fEnvelopes; }
    /// StoreAttributes, then ApplyAttributes.
    void SetAttributes(const std::shared_ptr<IROTransport>& aTransport, const std::vector<String>& aNames,
                       const std::vector<String>& aValues) override;
    void ResetAttributes() override { ClearAttributes(); }
    /// Nothing in the base.
    void ReadTransportInfo(const std::shared_ptr<IROTransport>& aTransport) override;
    void StoreAttributes(const std::vector<String>& aNames, const std::vector<String>& aValues) override;
    /// Nothing in the base.
    void ApplyAttributes() override;
    /// Only when the header list exists and the transport offers IROHTTPTransportEx: every
    /// "name=value" line as a header, the content-encoding flag, the content type when not
    /// empty, and the agent name "Remoting SDK" when the transport's is empty.
    void WriteTransportInfo(const std::shared_ptr<IROTransport>& aTransport) override;
    void ClearAttributes() override;
    /// Nothing in the base.
    void ResetTransportInfo(const std::shared_ptr<IROTransport>& aTransport) override;

    void WriteInteger(const String& aName, TOrdType anOrdType, std::int64_t Ref, int ArrayElementId) override;
    void WriteInt64(const String& aName, std::int64_t Ref, int ArrayElementId) override;
    void WriteEnumerated(const String& aName, const TypeInfo& anEnumTypeInfo, std::int64_t Ref,
                         int ArrayElementId) override;
    /// UTF-8 bytes, written through WriteLegacyString with paAsUTF8String.
    void WriteUTF8String(const String& aName, const AnsiString& Ref, int ArrayElementId) override;
    /// Bytes of the system ANSI code page, written through WriteLegacyString with paAsAnsiString.
    void WriteAnsiString(const String& aName, const AnsiString& Ref, int ArrayElementId) override;
    void WriteUnicodeString(const String& aName, const String& Ref, int ArrayElementId) override;
    void WriteLegacyString(const String& aName, const String& Ref, TParamAttributes ExtraAttributes,
                           int ArrayElementId) override;
    void WriteDateTime(const String& aName, TDateTime Ref, int ArrayElementId) override;
    void WriteDouble(const String& aName, TFloatType aFloatType, long double Ref, int ArrayElementId) override;
    void WriteVariant(const String& aName, const Variant& Ref, int ArrayElementId) override;
    void WriteXml(const String& aName, const std::shared_ptr<IXMLNode>& Ref, int ArrayElementId) override;
    void WriteGuid(const String& aName, const String& Ref, int ArrayElementId) override;
    void WriteDecimal(const String& aName, const Variant& Ref, int ArrayElementId) override;
    void WriteStruct(const String& aName, const TObject* Ref, TClass aClass, int ArrayElementId) override;
    void WriteArray(const String& aName, const TObject* Ref, TClass aClass, int ArrayElementId) override;
    void WriteBinary(const String& aName, const TObject* Ref, int ArrayElementId) override;
    void ReadInteger(const String& aName, TOrdType anOrdType, std::int64_t& Ref, int ArrayElementId) override;
    void ReadInt64(const String& aName, std::int64_t& Ref, int ArrayElementId) override;
    void ReadEnumerated(const String& aName, const TypeInfo& anEnumTypeInfo, std::int64_t& Ref,
                        int ArrayElementId) override;
    /// ReadLegacyString with paAsUTF8String, stored as UTF-8 bytes.
    void ReadUTF8String(const String& aName, AnsiString& Ref, int ArrayElementId, int aMaxLength = -1) override;
    /// ReadLegacyString with paAsAnsiString, stored in the system ANSI code page.
    void ReadAnsiString(const String& aName, AnsiString& Ref, int ArrayElementId, int aMaxLength = -1) override;
    void ReadUnicodeString(const String& aName, String& Ref, int ArrayElementId, int aMaxLength = -1) override;
    void ReadLegacyString(const String& aName, String& Ref, TParamAttributes ExtraAttributes, int ArrayElementId,
                          int aMaxLength = -1) override;
    void ReadDateTime(const String& aName, TDateTime& Ref, int ArrayElementId) override;
    void ReadDouble(const String& aName, TFloatType aFloatType, long double& Ref, int ArrayElementId) override;
    void ReadVariant(const String& aName, Variant& Ref, int ArrayElementId) override;
    void ReadXml(const String& aName, std::shared_ptr<IXMLNode>& Ref, int ArrayElementId) override;
    void ReadGuid(const String& aName, String& Ref, int ArrayElementId) override;
    void ReadDecimal(const String& aName, Variant& Ref, int ArrayElementId) override;
    bool ReadStruct(const String& aName, TClass aClass, std::unique_ptr<TObject>& Ref, int ArrayElementId) override;
    bool ReadArray(const String& aName, TClass aClass, std::unique_ptr<TObject>& Ref, int ArrayElementId) override;
    void ReadBinary(const String& aName, std::unique_ptr<TObject>& Ref, int ArrayElementId) override;

    // ---- Metadata -----------------------------------------------------------------------
    /// The service definition (GetRodlInfo) in the base.
    void GetModuleInfo(TStream& aStream, const std::shared_ptr<IROTransport>& aTransport,
                       String& aContentType) override;
    /// Writes the service-definition XML filtered by the transport's and the message's service
    /// groups: from the RTTI-built reader when the process has a reader class, else from
    /// RODLReader, else from the program's stored definition; aContentType becomes
    /// "text/xml; charset=utf-8".
    void GetRodlInfo(TStream& aStream, const std::shared_ptr<IROTransport>& aTransport, String& aContentType) override;
    /// The name of the format's metadata; empty in the base.
    String GetModuleInfoName() override { return {}; }

    // ---- Faults -------------------------------------------------------------------------
    /// The exception a received message carries, or none. Abstract: EAbstractError.
    virtual std::unique_ptr<Exception> ReadException();
    /// ReadException; with an exception fires OnServerException (RaiseException true) and
    /// raises it when RaiseException stays true.
    void ProcessException();
    /// The exception for a received fault: the class filed under aClassName in the namespace
    /// list (EROUnknownExceptionReceivedFromServer when none), with the message
    /// "An exception was raised on the server: %s" when AddServerExceptionPrefix is set, else
    /// aMessage itself.
    std::unique_ptr<Exception> CreateException(const String& aClassName, const String& aMessage) const;
    /// Whether the bytes are a message of this format. Abstract: EAbstractError.
    virtual bool IsValidMessage(const std::uint8_t* aData, std::int64_t aLength);
    /// Fails when the message is not usable; nothing in the base.
    virtual void CheckProperties();

    // ---- Envelopes ----------------------------------------------------------------------
    /// True when aData has more than 5 bytes and begins with "ROENV".
    static bool HasEnvelope(const std::uint8_t* aData, std::int64_t aLength);
    /// Reads an envelope header at the stream's position: true with the marker, the stream
    /// just after the header; false with the position unchanged.
    static bool CheckForEnvelope(TStream& Source, String& aEnvelopeName);
    /// Writes aEnvelope's header at the stream's position.
    static void WriteEnvelopeHeader(const TROMessageEnvelope& aEnvelope, TStream& aStream);

protected:
    /// The format's serializer. Abstract: EAbstractError.
    virtual std::unique_ptr<TROSerializer> CreateSerializer();
    /// The steps of WriteToStream, for descendants that override it.
    void DoWriteToStream(TStream& aStream);
    void Notification(TComponent* AComponent, TOperation Operation) override;

    bool fhttp_CanUseContentEncoding = true;
    String fhttp_ContentType;

private:
    friend TROCustomRODLReader* GetRttiRODLReader(TROMessage& aMessage);
    void ProcessOutgoingEnvelopes(TStream& aStream);
    void ProcessIncomingEnvelopes(TStream& aStream);

    std::unique_ptr<TROSerializer> fSerializer;
    String fMessageName;
    String fInterfaceName;
    TGUID fClientID{};
    bool fReferenceCounted = false;
    TROCustomRODLReader* fRODLReader = nullptr;
    TROCustomRODLReader* fRTTIReader = nullptr; // owned as a component of this message
    bool fAddServerExceptionPrefix = true;
    std::unique_ptr<TROMessageEnvelopeCollection> fEnvelopes;
    String fDefaultNamespaces;
    std::unique_ptr<TStringList> fDefaultNamespacesList;
    std::unique_ptr<TStringList> fHttpHeaders;
    std::int32_t fMaxStringSize = -1;
    String fServiceGroups;
    std::vector<String> fAttributesNames;
    std::vector<String> fAttributesValues;
};

// ---- Message classes ----------------------------------------------------------------------

/// Adds the class to the list of message classes and registers it with the class registry
/// unless a class of that name is registered.
void RegisterMessageClass(TClass aMessageClass);
/// The registered message classes, in order.
std::vector<TClass> MessageClasses();

// ---- Parameters through run-time type information ------------------------------------------

/// Reads one incoming parameter through the message's serializer (RttiReadValue, no array
/// index). A failure becomes EROException "Error reading parameter %s: %s"; after a successful
/// read OnReadMessageParameter fires with {paIsTValue}.
void RttiReadParameter(TROMessage& aMessage, const String& aName, const TypeInfo& aType, TROValue& aValue);
/// Fires OnWriteMessageParameter with {paIsTValue}, then writes through RttiWriteValue.
void RttiWriteParameter(TROMessage& aMessage, const String& aName, const TypeInfo& aType, TROValue& aValue);

/// A definition reader built from run-time type information, with the reader that supplies a
/// base definition (none allowed).
class TROBaseRTTIRODLReader : public TROCustomRODLReader {
    VGL_CLASS(TROBaseRTTIRODLReader, TROCustomRODLReader)
    explicit TROBaseRTTIRODLReader(TComponent* aOwner) : TROCustomRODLReader(aOwner) {}
    TROCustomRODLReader* BaseRODLReader() const { return fRODLReader; }
    void SetBaseRODLReader(TROCustomRODLReader* aReader) { fRODLReader = aReader; }

protected:
    TROCustomRODLReader* fRODLReader = nullptr;
};

/// The process-wide class of the RTTI definition reader (a TROBaseRTTIRODLReader descendant);
/// none until the server sets it at start-up.
void SetRttiRODLReaderClass(TClass aReaderClass);
TClass GetRttiRODLReaderClass();
/// The message's RTTI reader: made on first call with the message as owner when the reader
/// class is set; whenever there is one, the message's RODLReader is handed to it. None when no
/// class is set.
TROCustomRODLReader* GetRttiRODLReader(TROMessage& aMessage);

} // namespace vgl
