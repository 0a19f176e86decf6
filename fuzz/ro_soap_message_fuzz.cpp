// Arbitrary request bodies through ServerProcessMessage with the SOAP message and the test
// service. The first byte chooses the SOAPAction header and the "service" query parameter; the
// rest is the body. ServerProcessMessage must answer every input itself: a result or a fault in
// the response, never an exception, and no object of a call may be left alive.
// links: vgl_remoting_server
#include "fuzz/fuzz_input.h"
#include "platform/rtl/streams.h"
#include "remoting/server/ro_rtti_server.h"
#include "remoting/server/ro_server.h"
#include "remoting/server/ro_soap_message.h"
// The test service and its fixture types, compiled into this target.
#include "tests/remoting/server/ro_server_test_service.cpp"
#include "tests/remoting/server/ro_server_test_types.cpp"

using namespace vgl;
using namespace vgl::srvtest;

namespace {

/// A transport with the query parameter "service".
class TFuzzTransport : public TTestTransport {
public:
    String Service;
    String GetQueryParameter(const String& Name) override { return Name == u"service" ? Service : String(); }
};

const char16_t* const kActions[] = {
    u"",
    u"\"\"",
    u"\"urn:TestServiceLib-TestService#GetCode\"",
    u"\"urn:TestServiceLib-TestService#MakeLabels\"",
    u"urn:L-TestService#Fail",
    u"\"unterminated",
    u"TTestExtras#Measure",
    u"\"a\"\"b-c#d\"",
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static const bool ready = [] {
        InitializeRemotingServer();
        RegisterTestServices();
        SetRODLLibraryName(u"TestServiceLib");
        return true;
    }();
    (void)ready;
    static TROSOAPMessage configured;
    fuzz::FuzzInput in(data, size);
    const std::uint8_t mode = in.Byte();
    auto transport = std::make_shared<TFuzzTransport>();
    if (const char16_t* action = kActions[mode & 7]; *action)
        transport->RequestHeaders[u"SOAPAction"] = action;
    if (mode & 8)
        transport->Service = u"TestService";
    const std::string body = in.RestAsBytes();
    TMemoryStream request, response;
    if (!body.empty())
        request.WriteBuffer(body.data(), std::int64_t(body.size()));
    request.SetPosition(0);
    TROResponseOptions options;
    // Every failure of the call is answered with a fault, so nothing may leave here.
    ServerProcessMessage(TROMessage::CreateRefCountedClone(configured), transport, request, response, options);
    fuzz::Require(LiveFixtureObjects() == 0);
    fuzz::Require(TTestService::Live == 0 && TTestExtras::Live == 0);
    return 0;
}
