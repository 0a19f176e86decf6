#include "remoting/core/ro_message.h"

#include <algorithm>
#include <mutex>
#include <typeinfo>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_http_utils.h"
#include "remoting/core/ro_type_registry.h"
#include "remoting/core/ro_utils.h"
#include "remoting/core/rodl_streams.h"

namespace vgl {

VGL_DEFINE_CLASS(TROMessage) {
    b.Property(u"RODLReader", &TROMessage::RODLReader, &TROMessage::SetRODLReader);
    b.Property(u"AddServerExceptionPrefix", &TROMessage::AddServerExceptionPrefix,
               &TROMessage::SetAddServerExceptionPrefix)
        .Default(true);
    b.Property(u"DefaultNamespaces", &TROMessage::DefaultNamespaces, &TROMessage::SetDefaultNamespaces);
    b.Property(u"OnWriteToStream", &TROMessage::OnWriteToStream);
    b.Property(u"OnReadFromStream", &TROMessage::OnReadFromStream);
    b.Property(u"OnServerException", &TROMessage::OnServerException);
    b.Property(u"OnInitializeMessage", &TROMessage::OnInitializeMessage);
    b.Property(u"OnFinalizeMessage", &TROMessage::OnFinalizeMessage);
    b.Property(u"OnWriteMessageParameter", &TROMessage::OnWriteMessageParameter);
    b.Property(u"OnReadMessageParameter", &TROMessage::OnReadMessageParameter);
    b.Property(u"OnWriteException", &TROMessage::OnWriteException);
    b.Property(u"OnBeforeProcessOutgoingEnvelopes", &TROMessage::OnBeforeProcessOutgoingEnvelopes);
    b.Property(u"OnAfterProcessOutgoingEnvelopes", &TROMessage::OnAfterProcessOutgoingEnvelopes);
    b.Property(u"OnBeforeProcessIncomingEnvelopes", &TROMessage::OnBeforeProcessIncomingEnvelopes);
    b.Property(u"OnAfterProcessIncomingEnvelopes", &TROMessage::OnAfterProcessIncomingEnvelopes);
}

VGL_DEFINE_CLASS(TROBaseRTTIRODLReader) {}

namespace {
constexpr const char16_t* SErrorReadingParameter = u"Error reading parameter %s: %s";
constexpr const char16_t* SServerExceptionPrefix = u"An exception was raised on the server: %s";
constexpr const char16_t* SEnvelopeNotFound = u"%s envelope isn't found";
constexpr const char16_t* SEnvelopeNotAssigned =
    u"%s envelope can't be processed! TROMessageEnvelope should be assigned.";
} // namespace

// ---- Construction and lifetime ------------------------------------------------------------

TROMessage::TROMessage(TComponent* aOwner)
    : TROComponent(aOwner), fClientID(NewGuid()), fEnvelopes(std::make_unique<TROMessageEnvelopeCollection>(this)),
      fDefaultNamespacesList(std::make_unique<TStringList>()) {
    fDefaultNamespacesList->Delimiter = u';';
}

TROMessage::~TROMessage() {
    ClearAttributes();
    fHttpHeaders.reset();
    fSerializer.reset();
    fEnvelopes.reset();
    SetRODLReader(nullptr);
}

std::shared_ptr<TROMessage> TROMessage::CreateRefCountedClone(const TROMessage& aMessage) {
    std::unique_ptr<TObject> made = aMessage.ClassType()->Create();
    auto* message = dynamic_cast<TROMessage*>(made.get());
    if (!message || typeid(*message) != typeid(aMessage))
        throw EROException(u"Cannot clone a %s: its class table creates a %s",
                           {aMessage.ClassName(), made ? made->ClassName() : String(u"nil")});
    made.release();
    std::shared_ptr<TROMessage> clone(message);
    clone->fReferenceCounted = true;
    clone->Assign(&aMessage);
    return clone;
}

std::shared_ptr<IROMessage> TROMessage::Clone() {
    return CreateRefCountedClone(*this);
}

void TROMessage::Assign(const TPersistent* Source) {
    if (!Source)
        return;
    auto* source = dynamic_cast<const TROMessage*>(Source);
    if (!source || !source->InheritsFrom(ClassType()))
        throw EROException(u"Cannot Assign a %s to a %s", {ClassName(), Source->ClassName()});
    fAddServerExceptionPrefix = source->fAddServerExceptionPrefix;
    SetEnvelopes(*source->fEnvelopes);
    OnWriteToStream = source->OnWriteToStream;
    OnReadFromStream = source->OnReadFromStream;
    OnServerException = source->OnServerException;
    OnInitializeMessage = source->OnInitializeMessage;
    OnFinalizeMessage = source->OnFinalizeMessage;
    OnWriteMessageParameter = source->OnWriteMessageParameter;
    OnReadMessageParameter = source->OnReadMessageParameter;
    OnWriteException = source->OnWriteException;
    OnBeforeProcessOutgoingEnvelopes = source->OnBeforeProcessOutgoingEnvelopes;
    OnAfterProcessOutgoingEnvelopes = source->OnAfterProcessOutgoingEnvelopes;
    OnBeforeProcessIncomingEnvelopes = source->OnBeforeProcessIncomingEnvelopes;
    OnAfterProcessIncomingEnvelopes = source->OnAfterProcessIncomingEnvelopes;
    SetRODLReader(source->fRODLReader);
    SetDefaultNamespaces(source->fDefaultNamespaces);
    SetMaxStringSize(source->fMaxStringSize);
}

void TROMessage::Notification(TComponent* AComponent, TOperation Operation) {
    if (Operation == opRemove && AComponent) {
        if (AComponent == fRODLReader)
            fRODLReader = nullptr;
        if (AComponent == fRTTIReader)
            fRTTIReader = nullptr;
        if (fEnvelopes)
            for (int i = 0; i < fEnvelopes->Count(); ++i)
                if (fEnvelopes->GetEnvelope(i)->Envelope() == AComponent)
                    fEnvelopes->GetEnvelope(i)->SetEnvelope(nullptr);
    }
    TROComponent::Notification(AComponent, Operation);
}

// ---- Properties ---------------------------------------------------------------------------

TROSerializer& TROMessage::GetSerializer() {
    if (!fSerializer) {
        fSerializer = CreateSerializer();
        if (!fSerializer)
            throw EROException(u"%s made no serializer", {ClassName()});
        fSerializer->SetDefaultNamespaces(fDefaultNamespacesList.get());
    }
    fSerializer->SetMaxStringSize(fMaxStringSize);
    return *fSerializer;
}

std::unique_ptr<TROSerializer> TROMessage::CreateSerializer() {
    throw EAbstractError(u"Abstract Error");
}

void TROMessage::SetRODLReader(TROCustomRODLReader* Value) {
    if (Value == fRODLReader)
        return;
    if (fRODLReader)
        RORemoveFreeNotification(fRODLReader);
    fRODLReader = nullptr;
    if (Value && !Value->ComponentState().Contains(csDestroying)) {
        ROFreeNotification(Value);
        fRODLReader = Value;
    }
}

void TROMessage::SetEnvelopes(const TROMessageEnvelopeCollection& Value) {
    if (&Value != fEnvelopes.get())
        fEnvelopes->Assign(&Value);
}

void TROMessage::SetDefaultNamespaces(const String& Value) {
    fDefaultNamespaces = Value;
    fDefaultNamespacesList->SetDelimitedText(Value);
}

void TROMessage::SetNamespaceList(const String& aText) {
    if (fDefaultNamespaces.empty())
        fDefaultNamespacesList->SetDelimitedText(aText);
}

void TROMessage::SetMaxStringSize(std::int32_t Value) {
    if (Value == fMaxStringSize)
        return;
    fMaxStringSize = Value;
    if (fSerializer)
        fSerializer->SetMaxStringSize(Value);
}

TStrings& TROMessage::GetHttpHeaders() {
    if (!fHttpHeaders)
        fHttpHeaders = std::make_unique<TStringList>();
    return *fHttpHeaders;
}

// ---- Call lifecycle -----------------------------------------------------------------------

void TROMessage::Initialize(const std::shared_ptr<IROTransport>& aTransport, const String& anInterfaceName,
                            const String& aMessageName, int) {
    if (OnInitializeMessage)
        OnInitializeMessage(this, aTransport, anInterfaceName, aMessageName);
    fInterfaceName = anInterfaceName;
    fMessageName = aMessageName;
    fhttp_CanUseContentEncoding = !fEnvelopes->HasActiveItem();
}

void TROMessage::InitializeForLibrary(const std::shared_ptr<IROTransport>& aTransport, const String&,
                                      const String& anInterfaceName, const String& aMessageName, int aType) {
    Initialize(aTransport, anInterfaceName, aMessageName, aType);
}

void TROMessage::InitializeRequestMessage(const std::shared_ptr<IROTransport>& aTransport, const String& aLibraryName,
                                          const String& anInterfaceName, const String& aMessageName) {
    InitializeForLibrary(aTransport, aLibraryName, anInterfaceName, aMessageName, MessageTypeRequest);
}

void TROMessage::InitializeResponseMessage(const std::shared_ptr<IROTransport>& aTransport, const String& aLibraryName,
                                           const String& anInterfaceName, const String& aMessageName) {
    InitializeForLibrary(aTransport, aLibraryName, anInterfaceName, aMessageName, MessageTypeResponse);
}

void TROMessage::InitializeType5Message(const std::shared_ptr<IROTransport>& aTransport, const String& aLibraryName,
                                        const String& anInterfaceName, const String& aMessageName) {
    InitializeForLibrary(aTransport, aLibraryName, anInterfaceName, aMessageName, MessageType5);
}

void TROMessage::InitializeContentType(const std::shared_ptr<IROTransport>&, const String&, const String&,
                                       const String&) {}

void TROMessage::Finalize() {
    if (OnFinalizeMessage)
        OnFinalizeMessage(this);
}

void TROMessage::Write(const String& aName, const TypeInfo& aTypeInfo, TROValue& Ref, TParamAttributes Attributes) {
    if (OnWriteMessageParameter)
        OnWriteMessageParameter(this, aName, aTypeInfo, Ref, Attributes);
    GetSerializer().Write(aName, aTypeInfo, Ref, -1, Attributes);
}

void TROMessage::Read(const String& aName, const TypeInfo& aTypeInfo, TROValue& Ref, TParamAttributes Attributes) {
    try {
        GetSerializer().Read(aName, aTypeInfo, Ref, -1, Attributes);
    } catch (const Exception& e) {
        throw EROException(SErrorReadingParameter, {aName, e.Message()});
    }
    if (OnReadMessageParameter)
        OnReadMessageParameter(this, aName, aTypeInfo, Ref, Attributes);
}

void TROMessage::DoWriteToStream(TStream& aStream) {
    if (OnWriteToStream) {
        aStream.SetPosition(0);
        OnWriteToStream(aStream);
    }
    aStream.SetPosition(0);
    ProcessOutgoingEnvelopes(aStream);
    aStream.SetPosition(0);
}

void TROMessage::WriteToStream(TStream& aStream) {
    DoWriteToStream(aStream);
}

void TROMessage::ReadFromStream(TStream& aStream) {
    aStream.SetPosition(0);
    ProcessIncomingEnvelopes(aStream);
    aStream.SetPosition(0);
    if (OnReadFromStream)
        OnReadFromStream(aStream);
    aStream.SetPosition(0);
}

void TROMessage::ReadFromStreamEx(TStream& aStream, bool& aFreeStream) {
    aFreeStream = true;
    ReadFromStream(aStream);
}

void TROMessage::WriteException(TStream& aStream, const Exception& E) {
    if (OnWriteException)
        OnWriteException(this, aStream, E);
}

// ---- Attributes and transports ------------------------------------------------------------

void TROMessage::SetAttributes(const std::shared_ptr<IROTransport>&, const std::vector<String>& aNames,
                               const std::vector<String>& aValues) {
    StoreAttributes(aNames, aValues);
    ApplyAttributes();
}

void TROMessage::StoreAttributes(const std::vector<String>& aNames, const std::vector<String>& aValues) {
    fAttributesNames = aNames;
    fAttributesValues = aValues;
}

void TROMessage::ApplyAttributes() {}

void TROMessage::ClearAttributes() {
    fAttributesNames.clear();
    fAttributesValues.clear();
}

void TROMessage::ReadTransportInfo(const std::shared_ptr<IROTransport>&) {}

void TROMessage::ResetTransportInfo(const std::shared_ptr<IROTransport>&) {}

void TROMessage::WriteTransportInfo(const std::shared_ptr<IROTransport>& aTransport) {
    if (!fHttpHeaders)
        return;
    auto http = std::dynamic_pointer_cast<IROHTTPTransportEx>(aTransport);
    if (!http)
        return;
    for (int i = 0; i < fHttpHeaders->Count(); ++i)
        http->SetHeader(fHttpHeaders->Names(i), fHttpHeaders->ValueFromIndex(i));
    http->SetCanUseContentEncoding(fhttp_CanUseContentEncoding);
    if (!fhttp_ContentType.empty())
        http->SetContentType(fhttp_ContentType);
    if (http->GetUserAgent().empty())
        http->SetUserAgent(ROAgentName);
}

// ---- Typed forwarders ---------------------------------------------------------------------
// They use the serializer as it stands (MaxStringSize is passed on by GetSerializer only).

namespace {
TROSerializer& Plain(std::unique_ptr<TROSerializer>& serializer, TROMessage& message) {
    return serializer ? *serializer : message.GetSerializer();
}
} // namespace

#define VGL_SERIALIZER Plain(fSerializer, *this)

void TROMessage::WriteInteger(const String& aName, TOrdType anOrdType, std::int64_t Ref, int ArrayElementId) {
    VGL_SERIALIZER.WriteInteger(aName, anOrdType, Ref, ArrayElementId);
}
void TROMessage::WriteInt64(const String& aName, std::int64_t Ref, int ArrayElementId) {
    VGL_SERIALIZER.WriteInt64(aName, Ref, ArrayElementId);
}
void TROMessage::WriteEnumerated(const String& aName, const TypeInfo& anEnumTypeInfo, std::int64_t Ref,
                                 int ArrayElementId) {
    VGL_SERIALIZER.WriteEnumerated(aName, anEnumTypeInfo, Ref, ArrayElementId);
}
void TROMessage::WriteUTF8String(const String& aName, const AnsiString& Ref, int ArrayElementId) {
    VGL_SERIALIZER.WriteLegacyString(aName, Utf8ToString(Ref), TParamAttributes{paAsUTF8String}, ArrayElementId);
}
void TROMessage::WriteAnsiString(const String& aName, const AnsiString& Ref, int ArrayElementId) {
    VGL_SERIALIZER.WriteLegacyString(aName, AnsiToString(Ref), TParamAttributes{paAsAnsiString}, ArrayElementId);
}
void TROMessage::WriteUnicodeString(const String& aName, const String& Ref, int ArrayElementId) {
    VGL_SERIALIZER.WriteUnicodeString(aName, Ref, ArrayElementId);
}
void TROMessage::WriteLegacyString(const String& aName, const String& Ref, TParamAttributes ExtraAttributes,
                                   int ArrayElementId) {
    VGL_SERIALIZER.WriteLegacyString(aName, Ref, ExtraAttributes, ArrayElementId);
}
void TROMessage::WriteDateTime(const String& aName, TDateTime Ref, int ArrayElementId) {
    VGL_SERIALIZER.WriteDateTime(aName, Ref, ArrayElementId);
}
void TROMessage::WriteDouble(const String& aName, TFloatType aFloatType, long double Ref, int ArrayElementId) {
    VGL_SERIALIZER.WriteDouble(aName, aFloatType, Ref, ArrayElementId);
}
void TROMessage::WriteVariant(const String& aName, const Variant& Ref, int ArrayElementId) {
    VGL_SERIALIZER.WriteVariant(aName, Ref, ArrayElementId);
}
void TROMessage::WriteXml(const String& aName, const std::shared_ptr<IXMLNode>& Ref, int ArrayElementId) {
    VGL_SERIALIZER.WriteXml(aName, Ref, ArrayElementId);
}
void TROMessage::WriteGuid(const String& aName, const String& Ref, int ArrayElementId) {
    VGL_SERIALIZER.WriteGuid(aName, Ref, ArrayElementId);
}
void TROMessage::WriteDecimal(const String& aName, const Variant& Ref, int ArrayElementId) {
    VGL_SERIALIZER.WriteDecimal(aName, Ref, ArrayElementId);
}
void TROMessage::WriteStruct(const String& aName, const TObject* Ref, TClass aClass, int ArrayElementId) {
    VGL_SERIALIZER.WriteStruct(aName, Ref, aClass, ArrayElementId);
}
void TROMessage::WriteArray(const String& aName, const TObject* Ref, TClass aClass, int ArrayElementId) {
    VGL_SERIALIZER.WriteArray(aName, Ref, aClass, ArrayElementId);
}
void TROMessage::WriteBinary(const String& aName, const TObject* Ref, int ArrayElementId) {
    VGL_SERIALIZER.WriteBinary(aName, Ref, ArrayElementId);
}
void TROMessage::ReadInteger(const String& aName, TOrdType anOrdType, std::int64_t& Ref, int ArrayElementId) {
    VGL_SERIALIZER.ReadInteger(aName, anOrdType, Ref, ArrayElementId);
}
void TROMessage::ReadInt64(const String& aName, std::int64_t& Ref, int ArrayElementId) {
    VGL_SERIALIZER.ReadInt64(aName, Ref, ArrayElementId);
}
void TROMessage::ReadEnumerated(const String& aName, const TypeInfo& anEnumTypeInfo, std::int64_t& Ref,
                                int ArrayElementId) {
    VGL_SERIALIZER.ReadEnumerated(aName, anEnumTypeInfo, Ref, ArrayElementId);
}
void TROMessage::ReadUTF8String(const String& aName, AnsiString& Ref, int ArrayElementId, int aMaxLength) {
    String text;
    VGL_SERIALIZER.ReadLegacyString(aName, text, TParamAttributes{paAsUTF8String}, ArrayElementId, aMaxLength);
    Ref = StringToUtf8(text);
}
void TROMessage::ReadAnsiString(const String& aName, AnsiString& Ref, int ArrayElementId, int aMaxLength) {
    String text;
    VGL_SERIALIZER.ReadLegacyString(aName, text, TParamAttributes{paAsAnsiString}, ArrayElementId, aMaxLength);
    Ref = StringToAnsi(text);
}
void TROMessage::ReadUnicodeString(const String& aName, String& Ref, int ArrayElementId, int aMaxLength) {
    VGL_SERIALIZER.ReadUnicodeString(aName, Ref, ArrayElementId, aMaxLength);
}
void TROMessage::ReadLegacyString(const String& aName, String& Ref, TParamAttributes ExtraAttributes,
                                  int ArrayElementId, int aMaxLength) {
    VGL_SERIALIZER.ReadLegacyString(aName, Ref, ExtraAttributes, ArrayElementId, aMaxLength);
}
void TROMessage::ReadDateTime(const String& aName, TDateTime& Ref, int ArrayElementId) {
    VGL_SERIALIZER.ReadDateTime(aName, Ref, ArrayElementId);
}
void TROMessage::ReadDouble(const String& aName, TFloatType aFloatType, long double& Ref, int ArrayElementId) {
    VGL_SERIALIZER.ReadDouble(aName, aFloatType, Ref, ArrayElementId);
}
void TROMessage::ReadVariant(const String& aName, Variant& Ref, int ArrayElementId) {
    VGL_SERIALIZER.ReadVariant(aName, Ref, ArrayElementId);
}
void TROMessage::ReadXml(const String& aName, std::shared_ptr<IXMLNode>& Ref, int ArrayElementId) {
    VGL_SERIALIZER.ReadXml(aName, Ref, ArrayElementId);
}
void TROMessage::ReadGuid(const String& aName, String& Ref, int ArrayElementId) {
    VGL_SERIALIZER.ReadGuid(aName, Ref, ArrayElementId);
}
void TROMessage::ReadDecimal(const String& aName, Variant& Ref, int ArrayElementId) {
    VGL_SERIALIZER.ReadDecimal(aName, Ref, ArrayElementId);
}
bool TROMessage::ReadStruct(const String& aName, TClass aClass, std::unique_ptr<TObject>& Ref, int ArrayElementId) {
    return VGL_SERIALIZER.ReadStruct(aName, aClass, Ref, ArrayElementId);
}
bool TROMessage::ReadArray(const String& aName, TClass aClass, std::unique_ptr<TObject>& Ref, int ArrayElementId) {
    return VGL_SERIALIZER.ReadArray(aName, aClass, Ref, ArrayElementId);
}
void TROMessage::ReadBinary(const String& aName, std::unique_ptr<TObject>& Ref, int ArrayElementId) {
    VGL_SERIALIZER.ReadBinary(aName, Ref, ArrayElementId);
}

#undef VGL_SERIALIZER

// ---- Faults -------------------------------------------------------------------------------

std::unique_ptr<Exception> TROMessage::ReadException() {
    throw EAbstractError(u"Abstract Error");
}

bool TROMessage::IsValidMessage(const std::uint8_t*, std::int64_t) {
    throw EAbstractError(u"Abstract Error");
}

void TROMessage::CheckProperties() {}

void TROMessage::ProcessException() {
    std::unique_ptr<Exception> e = ReadException();
    if (!e)
        return;
    bool raise = true;
    if (OnServerException)
        OnServerException(*e, raise);
    if (raise)
        e->Raise();
}

std::unique_ptr<Exception> TROMessage::CreateException(const String& aClassName, const String& aMessage) const {
    std::vector<String> nameSpaces;
    for (int i = 0; i < fDefaultNamespacesList->Count(); ++i)
        nameSpaces.push_back(fDefaultNamespacesList->Get(i));
    TClass cls = FindExceptionClass(aClassName, nameSpaces);
    const String text = fAddServerExceptionPrefix ? Format(SServerExceptionPrefix, {aMessage}) : aMessage;
    std::unique_ptr<TObject> made = cls->CreateWithMessage(text);
    if (auto* e = dynamic_cast<Exception*>(made.get())) {
        made.release();
        return std::unique_ptr<Exception>(e);
    }
    return std::make_unique<EROUnknownExceptionReceivedFromServer>(text);
}

// ---- Envelopes ----------------------------------------------------------------------------

bool TROMessage::HasEnvelope(const std::uint8_t* aData, std::int64_t aLength) {
    return aData && aLength > 5 && std::equal(aData, aData + 5, reinterpret_cast<const std::uint8_t*>("ROENV"));
}

bool TROMessage::CheckForEnvelope(TStream& Source, String& aEnvelopeName) {
    const std::int64_t start = Source.GetPosition();
    const std::int64_t remaining = Source.GetSize() - start;
    if (remaining <= 6)
        return false;
    std::uint8_t head[6];
    Source.ReadBuffer(head, 6);
    if (HasEnvelope(head, 6)) {
        const std::int64_t n = head[5];
        if (remaining - 6 >= n) {
            std::string marker(size_t(n), '\0');
            if (n)
                Source.ReadBuffer(marker.data(), n);
            aEnvelopeName = Utf8ToString(marker);
            return true;
        }
    }
    Source.SetPosition(start);
    return false;
}

void TROMessage::WriteEnvelopeHeader(const TROMessageEnvelope& aEnvelope, TStream& aStream) {
    aEnvelope.WriteEnvelopeHeader(aStream);
}

namespace {

/// The stream an envelope loop works on: the caller's, or one an envelope made (owned).
class TCurrentStream {
public:
    explicit TCurrentStream(TStream& original) : fOriginal(original) {}
    TStream& Get() { return fOwned ? *fOwned : fOriginal; }
    /// Takes an envelope's answer: another stream replaces the current one.
    void Take(std::unique_ptr<TStream> made) {
        if (!made)
            return;
        if (!fOwned)
            fOriginal.SetSize(0);
        fOwned = std::move(made);
    }
    /// Copies a replacement back into the caller's stream (also on failure paths).
    void Finish() {
        if (!fOwned)
            return;
        std::unique_ptr<TStream> made = std::move(fOwned);
        fOriginal.SetSize(0);
        fOriginal.SetPosition(0);
        made->SetPosition(0);
        CopyStreamData(made.get(), &fOriginal, 0);
    }

private:
    TStream& fOriginal;
    std::unique_ptr<TStream> fOwned;
};

} // namespace

void TROMessage::ProcessOutgoingEnvelopes(TStream& aStream) {
    if (OnBeforeProcessOutgoingEnvelopes)
        OnBeforeProcessOutgoingEnvelopes(aStream);
    TCurrentStream current(aStream);
    {
        const TScopeExit finish([&] { current.Finish(); });
        for (int i = 0; i < fEnvelopes->Count(); ++i) {
            TROMessageEnvelopeItem* item = fEnvelopes->GetEnvelope(i);
            if (!item->IsActive())
                continue;
            current.Get().SetPosition(0);
            current.Take(item->Envelope()->ProcessOutgoing(this, current.Get()));
        }
    }
    if (OnAfterProcessOutgoingEnvelopes)
        OnAfterProcessOutgoingEnvelopes(aStream);
}

void TROMessage::ProcessIncomingEnvelopes(TStream& aStream) {
    if (OnBeforeProcessIncomingEnvelopes)
        OnBeforeProcessIncomingEnvelopes(aStream);
    TCurrentStream current(aStream);
    {
        const TScopeExit finish([&] { current.Finish(); });
        String marker;
        int layers = 0;
        while (CheckForEnvelope(current.Get(), marker)) {
            // Every layer copies the rest of the stream, so a stack of headers is bounded.
            if (++layers > MaxEnvelopeLayers)
                throw EROException(u"More than %d envelopes", {MaxEnvelopeLayers});
            TROMessageEnvelopeItem* item = fEnvelopes->ItemByMarker(marker);
            if (!item)
                throw EROException(SEnvelopeNotFound, {marker});
            if (!item->Envelope())
                throw EROException(SEnvelopeNotAssigned, {marker});
            current.Take(item->Envelope()->ProcessIncoming(this, current.Get()));
            current.Get().SetPosition(0);
        }
    }
    if (OnAfterProcessIncomingEnvelopes)
        OnAfterProcessIncomingEnvelopes(aStream);
}

// ---- Metadata -----------------------------------------------------------------------------

void TROMessage::GetModuleInfo(TStream& aStream, const std::shared_ptr<IROTransport>& aTransport,
                               String& aContentType) {
    GetRodlInfo(aStream, aTransport, aContentType);
}

void TROMessage::GetRodlInfo(TStream& aStream, const std::shared_ptr<IROTransport>& aTransport, String& aContentType) {
    TROCustomRODLReader* reader = GetRttiRODLReaderClass() ? GetRttiRODLReader(*this) : fRODLReader;
    aContentType = WriteRODLToStream(aStream, aTransport, fServiceGroups, false, false, reader);
}

// ---- Message classes ----------------------------------------------------------------------

namespace {
struct MessageClassList {
    std::mutex Lock;
    std::vector<TClass> Classes;
};
MessageClassList& TheMessageClasses() {
    static MessageClassList list;
    return list;
}
} // namespace

void RegisterMessageClass(TClass aMessageClass) {
    if (!aMessageClass)
        return;
    {
        MessageClassList& list = TheMessageClasses();
        std::lock_guard lock(list.Lock);
        if (std::find(list.Classes.begin(), list.Classes.end(), aMessageClass) == list.Classes.end())
            list.Classes.push_back(aMessageClass);
    }
    if (!GetClass(aMessageClass->Name()))
        RegisterClass(aMessageClass);
}

std::vector<TClass> MessageClasses() {
    MessageClassList& list = TheMessageClasses();
    std::lock_guard lock(list.Lock);
    return list.Classes;
}

// ---- Parameters through run-time type information ------------------------------------------

void RttiReadParameter(TROMessage& aMessage, const String& aName, const TypeInfo& aType, TROValue& aValue) {
    try {
        RttiReadValue(aMessage.GetSerializer(), aName, aType, -1, aValue);
    } catch (const Exception& e) {
        throw EROException(SErrorReadingParameter, {aName, e.Message()});
    }
    if (aMessage.OnReadMessageParameter)
        aMessage.OnReadMessageParameter(&aMessage, aName, aType, aValue, TParamAttributes{paIsTValue});
}

void RttiWriteParameter(TROMessage& aMessage, const String& aName, const TypeInfo& aType, TROValue& aValue) {
    if (aMessage.OnWriteMessageParameter)
        aMessage.OnWriteMessageParameter(&aMessage, aName, aType, aValue, TParamAttributes{paIsTValue});
    RttiWriteValue(aMessage.GetSerializer(), aName, aType, -1, aValue);
}

namespace {
std::atomic<TClass>& ReaderClassSlot() {
    static std::atomic<TClass> slot{nullptr};
    return slot;
}
} // namespace

void SetRttiRODLReaderClass(TClass aReaderClass) {
    if (aReaderClass && !aReaderClass->InheritsFrom(&TROBaseRTTIRODLReader::StaticClassInfo()))
        throw EArgumentException(u"%s is no RTTI definition reader class", {aReaderClass->Name()});
    ReaderClassSlot().store(aReaderClass);
}

TClass GetRttiRODLReaderClass() {
    return ReaderClassSlot().load();
}

TROCustomRODLReader* GetRttiRODLReader(TROMessage& aMessage) {
    TClass readerClass = GetRttiRODLReaderClass();
    if (!aMessage.fRTTIReader && readerClass) {
        TComponent& made = readerClass->CreateComponent(aMessage);
        aMessage.fRTTIReader = dynamic_cast<TROCustomRODLReader*>(&made);
    }
    if (auto* reader = dynamic_cast<TROBaseRTTIRODLReader*>(aMessage.fRTTIReader))
        reader->SetBaseRODLReader(aMessage.fRODLReader);
    return aMessage.fRTTIReader;
}

} // namespace vgl
