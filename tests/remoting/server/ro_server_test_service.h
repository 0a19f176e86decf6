#pragma once
// The test service of the server tests, the plain XML message that drives it through
// ServerProcessMessage, and an HTTP transport that records what the server sets.
//
// TTestService ("TestService") has the three operations shaped like the label service's:
// MakeLabels (a request record in, an array of results with binaries out, built from the
// request's fields), GetCode (an enumeration and a record in, a binary out) and Fail (a text
// in, raising an Exception with it). TTestExtras, reachable only by its class name, holds the
// operations that the invoker's edge cases need.

#include <atomic>
#include <map>
#include <memory>

#include "platform/rtl/streams.h"
#include "remoting/core/ro_message.h"
#include "remoting/core/xml_interfaces.h"
#include "remoting/server/ro_remote_data_module.h"
#include "tests/remoting/server/ro_server_test_types.h"

namespace vgl::srvtest {

class TTestService : public TRORemoteDataModule {
    VGL_CLASS(TTestService, TRORemoteDataModule)
    explicit TTestService(TComponent* aOwner = nullptr) : TRORemoteDataModule(aOwner) { ++Live; }
    ~TTestService() override { --Live; }
    static inline std::atomic<int> Live = 0;
    /// Calls that reached an operation.
    static inline std::atomic<int> Calls = 0;

    /// Two results: the parcel number's bytes (resGeoLabel, or resHazlqLabel with HazLQ) and
    /// "<town>;<rank>;<COD amount>" (resSWAPLabel).
    TResultArray* MakeLabels(TGeoLabelData* aGeoLabelData);
    /// "<COD type name>:<parcel number>".
    TROBinaryMemoryStream* GetCode(TCODType aCODType, TGeoLabelData* aGeoLabelData);
    /// Raises Exception(aText).
    void Fail(String aText);
};

class TTestExtras : public TRORemoteDataModule {
    VGL_CLASS(TTestExtras, TRORemoteDataModule)
    explicit TTestExtras(TComponent* aOwner = nullptr) : TRORemoteDataModule(aOwner) { ++Live; }
    ~TTestExtras() override { --Live; }
    static inline std::atomic<int> Live = 0;

    /// Returns the record it received; raises "raised" for the parcel number "raise".
    TGeoLabelData* Echo(TGeoLabelData* aGeoLabelData);
    /// Returns no object.
    TResultArray* Nothing();
    /// No parameters, no result.
    void Close();
    /// The text's length as result; aUpper the text upper-cased (out), aCount + 1 (var).
    std::int32_t Measure(String aText, String& aUpper, std::int32_t& aCount);
    /// Retains the record it makes, so the invoker leaves it alone.
    TGeoLabelData* Keep();
    /// Not an operation: no ROServiceMethodAttribute.
    void Hidden();
    static inline TGeoLabelData* Kept = nullptr;
};

/// Adds the fixture types and both services to the RTTI context (once).
void RegisterTestServices();

/// A message whose body is a plain XML document: the request element "Call" carries the
/// attributes service, method, type and clientid and the parameters as children; the answer is
/// "Response" with the values, a fault "Fault" with the attributes class and message.
class TTestXmlMessage : public TROMessage {
    VGL_CLASS(TTestXmlMessage, TROMessage)
    explicit TTestXmlMessage(TComponent* aOwner = nullptr) : TROMessage(aOwner) {}

    void ReadFromStream(TStream& aStream) override;
    void InitializeForLibrary(const std::shared_ptr<IROTransport>& aTransport, const String& aLibraryName,
                              const String& anInterfaceName, const String& aMessageName, int aType) override;
    void WriteToStream(TStream& aStream) override;
    void WriteException(TStream& aStream, const Exception& E) override;
    int GetMessageType() const override { return fType; }
    /// "<wsdl/>", typed "text/x-test".
    void GetModuleInfo(TStream& aStream, const std::shared_ptr<IROTransport>& aTransport,
                       String& aContentType) override;
    /// "<rodl/>", typed "text/x-rodl".
    void GetRodlInfo(TStream& aStream, const std::shared_ptr<IROTransport>& aTransport, String& aContentType) override;
    const IXMLDocumentPtr& Document() const { return fDocument; }

protected:
    std::unique_ptr<TROSerializer> CreateSerializer() override;

private:
    IXMLDocumentPtr fDocument;
    int fType = 0;
};

/// An HTTP transport and request that record the answer's content type and headers.
class TTestTransport : public IROHTTPTransportEx, public IROHTTPRequest {
public:
    String Method = u"POST";
    String ContentType;
    std::map<String, String> Headers;
    std::map<String, String> RequestHeaders;

    TObject* GetTransportObject() override { return nullptr; }
    String GetClientAddress() override { return u"127.0.0.1"; }
    void SetHeader(const String& Name, const String& Value) override { Headers[Name] = Value; }
    String GetHeader(const String& Name) override;
    String GetContentType() override { return ContentType; }
    void SetContentType(const String& aContentType) override { ContentType = aContentType; }
    String GetUserAgent() override { return fUserAgent; }
    void SetUserAgent(const String& aUserAgent) override { fUserAgent = aUserAgent; }
    String GetTargetUrl() override { return {}; }
    void SetTargetUrl(const String&) override {}
    void SetPathInfo(const String&) override {}
    String GetPathInfo() override { return u"/SOAP"; }
    String GetQueryString() override { return {}; }
    String GetLocation() override { return u"http://localhost:8099"; }
    String GetQueryParameter(const String&) override { return {}; }
    bool GetCanUseContentEncoding() override { return fCanUseContentEncoding; }
    void SetCanUseContentEncoding(bool aValue) override { fCanUseContentEncoding = aValue; }
    String GetPassword() override { return {}; }
    String GetUserName() override { return {}; }
    String GetMethod() override { return Method; }
    bool GetAuthenticationPresent() override { return false; }

private:
    String fUserAgent;
    bool fCanUseContentEncoding = true;
};

/// The stream's bytes as text (UTF-8).
String StreamText(TStream& aStream);
/// A memory stream holding the UTF-8 bytes of the text.
std::unique_ptr<TMemoryStream> TextStream(const String& aText);

} // namespace vgl::srvtest
