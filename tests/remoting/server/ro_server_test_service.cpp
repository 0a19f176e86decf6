#include "tests/remoting/server/ro_server_test_service.h"

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_attributes.h"
#include "remoting/core/ro_type_registry.h"
#include "remoting/core/xml_document.h"
#include "remoting/server/ro_xml_serializer.h"

namespace vgl::srvtest {

namespace {
/// Every operation carries the attributes the label service's operations carry.
template <class B> void Operation(B& b, const char16_t* name) {
    AddROAttribute(b, ROServiceMethodAttribute());
    AddROAttribute(b, ROCustomAttribute(u"SOAPInputNameOverride", name));
}

std::unique_ptr<TROBinaryMemoryStream> Binary(const String& text) {
    auto stream = std::make_unique<TROBinaryMemoryStream>();
    const std::string bytes = StringToUtf8(text);
    if (!bytes.empty())
        stream->WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
    stream->SetPosition(0);
    return stream;
}
} // namespace

VGL_DEFINE_CLASS(TTestService) {
    AddROClassAttribute(b, ROServiceAttribute(u"TestService", u"{00000000-0000-0000-0000-000000000000}"));
    b.Method(u"MakeLabels", &TTestService::MakeLabels, {u"aGeoLabelData"});
    Operation(b, u"MakeLabels");
    b.Method(u"GetCode", &TTestService::GetCode, {u"aCODType", u"aGeoLabelData"});
    Operation(b, u"GetCode");
    b.Method(u"Fail", &TTestService::Fail, {u"aText"});
    Operation(b, u"Fail");
}

TResultArray* TTestService::MakeLabels(TGeoLabelData* aGeoLabelData) {
    ++Calls;
    auto results = std::make_unique<TResultArray>();
    TResultInfo* first = results->Add();
    first->FResultType = aGeoLabelData->FHazLQ ? resHazlqLabel : resGeoLabel;
    first->FResultBase64 = Binary(aGeoLabelData->FParcelNumber);
    TResultInfo* second = results->Add();
    second->FResultType = resSWAPLabel;
    second->FResultBase64 = Binary(aGeoLabelData->FRTown + u";" + IntToStr(aGeoLabelData->FParcelRank) + u";" +
                                   FloatToStr(aGeoLabelData->FCODAmount));
    return results.release();
}

TROBinaryMemoryStream* TTestService::GetCode(TCODType aCODType, TGeoLabelData* aGeoLabelData) {
    ++Calls;
    return Binary(GetEnumName(TypeInfoFor(TypeTag<TCODType>{}), aCODType) + u":" + aGeoLabelData->FParcelNumber)
        .release();
}

void TTestService::Fail(String aText) {
    ++Calls;
    throw Exception(aText);
}

VGL_DEFINE_CLASS(TTestExtras) {
    AddROClassAttribute(b, ROServiceAttribute(u"", u""));
    b.Method(u"Echo", &TTestExtras::Echo, {u"aGeoLabelData"});
    Operation(b, u"Echo");
    b.Method(u"Nothing", &TTestExtras::Nothing);
    Operation(b, u"Nothing");
    b.Method(u"Close", &TTestExtras::Close);
    Operation(b, u"Close");
    b.Method(u"Measure", &TTestExtras::Measure, {u"aText", Out(u"aUpper"), u"aCount"});
    Operation(b, u"Measure");
    b.Method(u"Keep", &TTestExtras::Keep);
    Operation(b, u"Keep");
    b.Method(u"Hidden", &TTestExtras::Hidden);
}

TGeoLabelData* TTestExtras::Echo(TGeoLabelData* aGeoLabelData) {
    if (aGeoLabelData->FParcelNumber == u"raise")
        throw Exception(u"raised");
    return aGeoLabelData;
}

TResultArray* TTestExtras::Nothing() {
    return nullptr;
}

void TTestExtras::Close() {}

std::int32_t TTestExtras::Measure(String aText, String& aUpper, std::int32_t& aCount) {
    aUpper = UpperCase(aText);
    ++aCount;
    return std::int32_t(aText.size());
}

TGeoLabelData* TTestExtras::Keep() {
    Kept = new TGeoLabelData();
    Kept->FParcelNumber = u"kept";
    RetainObject(Kept);
    return Kept;
}

void TTestExtras::Hidden() {}

void RegisterTestServices() {
    RegisterServerTestTypes();
    RegisterServiceClass(&TTestService::StaticClassInfo());
    RegisterServiceClass(&TTestExtras::StaticClassInfo());
}

// ---- TTestXmlMessage ----------------------------------------------------------------------

VGL_DEFINE_CLASS(TTestXmlMessage) {}

std::unique_ptr<TROSerializer> TTestXmlMessage::CreateSerializer() {
    auto serializer = std::make_unique<TROXMLSerializer>();
    serializer->SetSerializationOptions(DefaultXMLSerializationOptions());
    return serializer;
}

void TTestXmlMessage::ReadFromStream(TStream& aStream) {
    TROMessage::ReadFromStream(aStream);
    fDocument = CreateROXmlDocument();
    fDocument->LoadFromStream(aStream);
    IXMLNodePtr root = fDocument->GetDocumentNode();
    SetInterfaceName(root->GetAttributeValue(u"service", Variant(String())).AsString());
    SetMessageName(root->GetAttributeValue(u"method", Variant(String())).AsString());
    fType = StrToIntDef(root->GetAttributeValue(u"type", Variant(String(u"0"))).AsString(), 0);
    const String clientID = root->GetAttributeValue(u"clientid", Variant(String())).AsString();
    TGUID id{};
    SetClientID(TryStringToGUID(clientID, id) ? id : GUID_NULL);
    static_cast<TROXMLSerializer&>(GetSerializer()).SetStorageRef(root);
}

void TTestXmlMessage::InitializeForLibrary(const std::shared_ptr<IROTransport>& aTransport, const String& aLibraryName,
                                           const String& anInterfaceName, const String& aMessageName, int aType) {
    TROMessage::InitializeForLibrary(aTransport, aLibraryName, anInterfaceName, aMessageName, aType);
    fType = aType;
    fDocument = CreateROXmlDocument();
    fDocument->New(u"Response");
    IXMLNodePtr root = fDocument->GetDocumentNode();
    root->AddAttribute(u"library", Variant(aLibraryName));
    root->AddAttribute(u"service", Variant(anInterfaceName));
    root->AddAttribute(u"method", Variant(aMessageName));
    root->AddAttribute(u"xmlns:xsi", Variant(String(u"http://www.w3.org/2001/XMLSchema-instance")));
    static_cast<TROXMLSerializer&>(GetSerializer()).SetStorageRef(root);
}

void TTestXmlMessage::WriteToStream(TStream& aStream) {
    aStream.SetSize(0);
    if (fDocument)
        fDocument->SaveToStream(aStream);
    DoWriteToStream(aStream);
}

void TTestXmlMessage::WriteException(TStream& aStream, const Exception& E) {
    TROMessage::WriteException(aStream, E);
    IXMLDocumentPtr fault = CreateROXmlDocument();
    fault->New(u"Fault");
    fault->GetDocumentNode()->AddAttribute(u"class", Variant(E.ClassName()));
    fault->GetDocumentNode()->AddAttribute(u"message", Variant(E.Message()));
    aStream.SetSize(0);
    fault->SaveToStream(aStream);
}

void TTestXmlMessage::GetModuleInfo(TStream& aStream, const std::shared_ptr<IROTransport>&, String& aContentType) {
    aStream.WriteBuffer("<wsdl/>", 7);
    aContentType = u"text/x-test";
}

void TTestXmlMessage::GetRodlInfo(TStream& aStream, const std::shared_ptr<IROTransport>&, String& aContentType) {
    aStream.WriteBuffer("<rodl/>", 7);
    aContentType = u"text/x-rodl";
}

// ---- Helpers ------------------------------------------------------------------------------

String TTestTransport::GetHeader(const String& Name) {
    auto it = RequestHeaders.find(Name);
    return it == RequestHeaders.end() ? String() : it->second;
}

String StreamText(TStream& aStream) {
    const std::int64_t position = aStream.GetPosition();
    std::string bytes(size_t(aStream.GetSize()), '\0');
    aStream.SetPosition(0);
    if (!bytes.empty())
        aStream.ReadBuffer(bytes.data(), std::int64_t(bytes.size()));
    aStream.SetPosition(position);
    return Utf8ToString(bytes);
}

std::unique_ptr<TMemoryStream> TextStream(const String& aText) {
    auto stream = std::make_unique<TMemoryStream>();
    const std::string bytes = StringToUtf8(aText);
    if (!bytes.empty())
        stream->WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
    stream->SetPosition(0);
    return stream;
}

} // namespace vgl::srvtest
