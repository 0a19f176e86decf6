#include "service/host/server_data_module.h"

#include "platform/rtl/reflection_builder.h"
#include "remoting/server/ro_soap_message.h"
#include "remoting/server/ro_socket_http_server.h"
#include "service/global_logging.h"
#include "service/host/service_start.h"

namespace vgl {

VGL_DEFINE_CLASS(TServerDataModule) {}

namespace {

void Log(const String& text) {
    if (TGlobalLogging* logging = GlobalLogging())
        logging->Meldung(text);
}

} // namespace

TServerDataModule::TServerDataModule(TComponent* owner, const std::vector<String>& args) : TComponent(owner) {
    SetName(u"ServerDataModule");
    FROMessage = new TROSOAPMessage(this);
    FROMessage->SetName(u"ROMessage");
    FROMessage->SetSerializationOptions(
        TROXMLSerializationOptions{xsoSendUntyped, xsoStrictStructureFieldOrder, xsoDocument, xsoSplitServiceWsdls});
    FROServer = new TROSocketHTTPServer(this);
    FROServer->SetName(u"ROServer");
    TROHTTPDispatcher* dispatcher = FROServer->HTTPDispatchers().Add();
    dispatcher->SetName(u"ROMessage");
    dispatcher->SetMessage(FROMessage);
    dispatcher->SetEnabled(true);
    dispatcher->SetPathInfo(u"SOAP");
    FROServer->SetSendClientAccessPolicyXml(captAllowAll);
    FROServer->SetPort(8099);
    DataModuleCreate(args);
}

TServerDataModule::~TServerDataModule() {
    // Stop listening first: the listener waits for the calls in work, so the close banner is
    // the last line of the module.
    try {
        FROServer->SetActive(false);
    } catch (const Exception& e) {
        Log(u"Stopping the server failed: " + e.Message());
    }
    DataModuleDestroy();
}

void TServerDataModule::DataModuleCreate(const std::vector<String>& args) {
    Log(u"########## START VelmoraGeoLabelService " + GetExeVersionString() + u" ##########");
    FROServer->SetPort(ReadPortSwitch(args));
    FROServer->SetActive(true);
}

void TServerDataModule::DataModuleDestroy() {
    Log(u"########## CLOSE VelmoraGeoLabelService " + GetExeVersionString() + u" ##########");
}

} // namespace vgl
