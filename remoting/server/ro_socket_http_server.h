#pragma once
// TROSocketHTTPServer: the HTTP server of the system over the project's HTTP listener (one
// thread per connection, one request per connection). Each request is wrapped in a
// TSocketHTTPTransport, answered by ProcessRequest and copied into the listener's answer.

#include <memory>

#include "platform/net/http_listener.h"
#include "remoting/server/ro_http_server.h"

namespace vgl {

class TROSocketHTTPServer : public TROBaseHTTPServer {
    VGL_CLASS(TROSocketHTTPServer, TROBaseHTTPServer)
    /// Port 8099, IPv4 on all addresses, the listener's default limits.
    explicit TROSocketHTTPServer(TComponent* aOwner);
    /// Stops listening first.
    ~TROSocketHTTPServer() override;

    /// Takes effect at the next activation.
    void SetPort(int Value) override;
    /// The port set; while active with port 0, the port bound.
    int GetPort() const override;
    int Port() const { return GetPort(); }
    /// Kept for the configuration; every answer closes its connection whatever it says.
    bool KeepAlive() const { return fKeepAlive; }
    void SetKeepAlive(bool Value) { fKeepAlive = Value; }
    bool DisableNagle() const { return fDisableNagle; }
    /// While active it can only switch the option on (it applies to new connections).
    void SetDisableNagle(bool Value);
    bool BindV4() const { return fBindV4; }
    void SetBindV4(bool Value) { fBindV4 = Value; }
    bool BindV6() const { return fBindV6; }
    void SetBindV6(bool Value) { fBindV6 = Value; }
    /// Copies the port, KeepAlive, DisableNagle, BindV4, BindV6 and the listener settings of
    /// another socket HTTP server (after the HTTP server's own Assign).
    void Assign(const TPersistent* Source) override;
    /// No TLS in this system.
    bool GetSecure() const override { return false; }

    /// The listener's limits and bind address as used at the next activation (the port, the
    /// IP versions, DisableNagle and the body cap come from the server's own settings).
    THttpListenerSettings& ListenerSettings() { return fListenerSettings; }

    /// One request of the listener: runs ProcessRequest and fills the answer. A failure that
    /// leaves ProcessRequest is answered with a plain 500.
    void InternalServerCommandGet(const THttpRequest& aRequestInfo, THttpAnswer& aResponseInfo);

protected:
    void IntSetActive(bool Value) override;
    bool IntGetActive() override;

private:
    std::unique_ptr<THttpListener> fSocketServer;
    THttpListenerSettings fListenerSettings;
    int fPort = 8099;
    bool fKeepAlive = false;
    bool fDisableNagle = false;
    bool fBindV4 = true;
    bool fBindV6 = false;
};

} // namespace vgl
