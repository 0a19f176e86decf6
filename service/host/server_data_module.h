#pragma once
// TServerDataModule: the SOAP message and the HTTP server of the label service. Creation logs
// the start banner, takes the port from the command line and starts listening; destruction
// stops the server (running calls finish first) and logs the close banner.

#include <vector>

#include "platform/rtl/component.h"

namespace vgl {

class TROSOAPMessage;
class TROSocketHTTPServer;

class TServerDataModule : public TComponent {
    VGL_CLASS(TServerDataModule, TComponent)

    /// Makes ROMessage and ROServer with their stored settings, then runs DataModuleCreate with
    /// the command-line arguments (without the program name). A failure (a bad port, a port
    /// in use) leaves the constructor after the components are freed.
    TServerDataModule(TComponent* owner, const std::vector<String>& args);
    /// Stops the server, then runs DataModuleDestroy.
    ~TServerDataModule() override;

    TROSOAPMessage* ROMessage() const { return FROMessage; }
    TROSocketHTTPServer* ROServer() const { return FROServer; }

    /// Logs "########## START VelmoraGeoLabelService <version> ##########", sets the port of
    /// the last "-port=" switch (8099 without one) and activates the server. Raises
    /// EServiceStartError for a port outside 1..65535 and the listener's error when the port
    /// cannot be bound.
    void DataModuleCreate(const std::vector<String>& args);
    /// Logs "########## CLOSE VelmoraGeoLabelService <version> ##########".
    void DataModuleDestroy();

private:
    TROSOAPMessage* FROMessage;     // owned as a component
    TROSocketHTTPServer* FROServer; // owned as a component
};

} // namespace vgl
