#pragma once
// TROServer, the protocol-neutral core of request handling, with its message dispatchers, and
// ServerProcessMessage, which handles one request with one message instance: metadata for an
// empty body, the service definition for a 4-byte body, "PROBEDOK" for a 5-byte body, and
// otherwise one call through the class factory's invoker. Failures of the call become a fault
// in the response and the result false.
//
// InitializeRemotingServer / FinalizeRemotingServer start and end the server's process-wide
// state (the factory list, the RTTI support, the server-class list, the message classes); the
// service's start-up runs them.

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/rtl/collection.h"
#include "platform/rtl/string_list.h"
#include "remoting/core/ro_base_connection.h"
#include "remoting/core/ro_component.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_interfaces.h"
#include "remoting/core/ro_message.h"
#include "remoting/server/ro_class_factories.h"

namespace vgl {

class TROServer;
class TROMessageDispatchers;

/// A service raises it to say that no answer is to be sent.
VGL_DECLARE_EXCEPTION(EROSendNoResponse, EROException);

enum TROServerType { rstNonIPBased, rstTCP, rstHTTP, rstUDP, rstSuperHTTP, rstSuperTCP };
VGL_DECLARE_ENUM(TROServerType);

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TROGetRODLReader = std::function<void(TROServer* Sender, TROCustomRODLReader*& aRODLReader)>;

class TROMessageDispatcher : public TCollectionItem {
    VGL_CLASS(TROMessageDispatcher, TCollectionItem)
    /// Enabled, without message.
    explicit TROMessageDispatcher(TCollection* aCollection);
    ~TROMessageDispatcher() override;

    /// The message component's name, or "[Unassigned]".
    String GetDisplayName() const override;
    String Name() const { return GetDisplayName(); }
    void SetName(const String&) {}
    TROMessage* Message() const { return fMessage; }
    /// A message another dispatcher of the collection uses raises "Dispatcher for %s already
    /// assigned"; the server is told when the message goes.
    virtual void SetMessage(TROMessage* Value);
    bool Enabled() const { return fEnabled; }
    void SetEnabled(bool Value) { fEnabled = Value; }
    /// Copies Message and Enabled from another dispatcher.
    void Assign(const TPersistent* Source) override;
    /// Enabled in the base.
    virtual bool CanHandleMessage(const std::shared_ptr<IROTransport>& aTransport, TStream& aRequeststream);
    /// Answers the request with a new clone of the message, set to the server's service group.
    bool ProcessMessage(const std::shared_ptr<IROTransport>& aTransport, TStream& aRequeststream,
                        TStream& aResponsestream, TROResponseOptions& oResponseOptions, bool aServeRodl);
    TROMessageDispatchers* Dispatchers() const;

private:
    friend class TROMessageDispatchers;
    TROMessage* fMessage = nullptr;
    bool fEnabled = true;
};

class TROMessageDispatchers : public TOwnedCollection {
    VGL_CLASS(TROMessageDispatchers, TOwnedCollection)
    explicit TROMessageDispatchers(TROServer* aServer);
    TROMessageDispatchers(TROServer* aServer, TClass aDispatcherClass);

    TROServer* Server() const { return fServer; }
    TROMessageDispatcher* Add() { return static_cast<TROMessageDispatcher*>(TCollection::Add()); }
    TROMessageDispatcher* GetDispatcher(int Index) const;
    /// The first dispatcher that can handle the request; none.
    TROMessageDispatcher* FindDispatcher(const std::shared_ptr<IROTransport>& aTransport, TStream& aRequestStream);
    /// By display name without regard to case; none.
    TROMessageDispatcher* DispatcherByName(const String& aName) const;
    /// The first dispatcher holding aMessage; none.
    TROMessageDispatcher* FindDuplicate(const TROMessage* aMessage) const;
    /// Every dispatcher holding aMessage forgets it (the message is going).
    void CleanReferences(const TComponent* aMessage);
    /// False in the base: a second dispatcher raises "%s servers only support one dispatcher".
    virtual bool GetSupportsMultipleDispatchers() const { return false; }

protected:
    void Notify(TCollectionItem* item, TCollectionNotification action) override;

private:
    TROServer* fServer;
};

/// Supplies the definition from the program's "RODLFILE" resource filtered by the service group;
/// nothing without the resource (this program carries none).
class TRODefaultRODLReader : public TROCustomRODLReader {
    VGL_CLASS(TRODefaultRODLReader, TROCustomRODLReader)
    explicit TRODefaultRODLReader(TComponent* aOwner = nullptr) : TROCustomRODLReader(aOwner) {}

protected:
    void DoReadRODLResource(TStream& Dest, const String& aServiceGroup) override;
};

class TROServer : public TROBaseConnection, public IROTransport {
    VGL_CLASS(TROServer, TROBaseConnection)
    /// Makes the server's dispatcher collection (a transport gives its own kind).
    using TDispatchersMaker = std::unique_ptr<TROMessageDispatchers> (*)(TROServer* aServer);
    explicit TROServer(TComponent* aOwner);
    TROServer(TComponent* aOwner, TDispatchersMaker aMaker);
    /// Deactivates first.
    ~TROServer() override;

    TObject* GetTransportObject() override { return this; }

    bool Active();
    void SetActive(bool Value);
    TROMessageDispatchers& Dispatchers() { return *fDispatchers; }
    bool ServeRodl() const { return fServeRodl; }
    void SetServeRodl(bool Value) { fServeRodl = Value; }
    String ServiceGroup() const { return fServiceGroup; }
    void SetServiceGroup(const String& Value) { fServiceGroup = Value; }

    TNotifyEvent OnBeforeServerActivate;
    TNotifyEvent OnAfterServerActivate;
    TNotifyEvent OnBeforeServerDeactivate;
    TNotifyEvent OnAfterServerDeactivate;
    TStreamOperation OnReadFromStream;
    TStreamOperation OnWriteToStream;
    TROGetRODLReader OnGetRODLReader;

    /// Hooks of the zero-configuration channel.
    void SetZeroConfAfterActivate(TNotifyEvent aEvent) { fz_OnAfterServerActivate = std::move(aEvent); }
    void SetZeroConfBeforeDeactivate(TNotifyEvent aEvent) { fz_OnBeforeServerDeactivate = std::move(aEvent); }

    /// The first dispatcher that can handle the request answers it. Any failure writes its text
    /// (or "Unhandled exception") as UTF-16LE into the response and gives false. The response
    /// is rewound in every case.
    bool DispatchMessage(const std::shared_ptr<IROTransport>& aTransport, TStream& aRequestStream,
                         TStream& aResponseStream, TROResponseOptions& oResponseOptions);
    bool DispatchMessage(const std::shared_ptr<IROTransport>& aTransport, TStream& aRequestStream,
                         TStream& aResponseStream);
    /// The read trigger, the dispatcher's ProcessMessage, the write trigger.
    bool IntDispatchMessage(TROMessageDispatcher& aDispatcher, const std::shared_ptr<IROTransport>& aTransport,
                            TStream& aRequeststream, TStream& aResponsestream, TROResponseOptions& oResponseOptions);
    /// Each does nothing without its event; otherwise the stream is rewound before and after.
    void TriggerReadFromStream(TStream& aSource);
    void TriggerWriteToStream(TStream& aDest);

    /// OnGetRODLReader's reader, handed to the RTTI definition reader when a reader class is set;
    /// else the default reader. The service group becomes the reader's default group.
    TROCustomRODLReader* GetRODLReader();
    /// The cached service and zero-configuration names (sorted; refreshed by every Active change).
    const TStringList& CachedServices() const { return fCachedServices; }
    const TStringList& CachedZeroServices() const { return fCachedZeroServices; }
    /// Refreshes the cached names from the current service definition.
    void CacheServiceNames();

    /// An active server refuses ("%s must be stopped before assigning").
    void Assign(const TPersistent* Source) override;
    void Loaded() override;

    virtual void SetPort(int) {}
    virtual int GetPort() const { return -1; }
    virtual TROServerType GetServerType() const { return rstNonIPBased; }
    virtual bool GetSecure() const { return false; }
    virtual void CheckProperties() {}

protected:
    virtual void IntSetActive(bool Value) = 0;
    virtual bool IntGetActive() = 0;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    bool fDoneAfterLoad = false;
    bool fLoadActive = false;
    TNotifyEvent fz_OnBeforeServerDeactivate;
    TNotifyEvent fz_OnAfterServerActivate;
    std::unique_ptr<TROMessageDispatchers> fDispatchers;
    String fServiceGroup;
    bool fServeRodl = true;
    std::unique_ptr<TRODefaultRODLReader> fDefaultRodlReader;
    std::mutex fRodlReaderLock; // making and setting up the RODL readers
    TStringList fCachedServices;
    TStringList fCachedZeroServices;
    TROCustomRODLReader* fRTTIReader = nullptr; // owned as a component of this server
};

/// One request with one message instance (see the header comment). A nil message gives
/// "Message is nil" as a failure; with a server, a service outside its group is not found.
/// Failures of the call become the message's fault in the response (roNoResponse is added for
/// EROSendNoResponse) and the result false; a failure while writing the fault leaves.
bool ServerProcessMessage(const std::shared_ptr<IROMessage>& aMessage, const std::shared_ptr<IROTransport>& aTransport,
                          TStream& aRequestStream, TStream& aResponseStream, TROResponseOptions& oResponseOptions,
                          bool aServeRodl = true, TROServer* aServer = nullptr);
/// True when the server has no service group, or the name is among its cached service or
/// zero-configuration names.
bool IsServiceInServerGroup(const TROServer* aServer, const String& anInterfaceName);

/// The server classes the transports add.
void RegisterServerClass(TClass aServerClass);
void UnregisterServerClass(TClass aServerClass);
std::vector<TClass> ServerClasses();

/// The server's unit starts (the remoting core first): the factory list, the RTTI support,
/// EROSendNoResponse filed for transfer by name, the message classes. Calling it again does no
/// harm.
void InitializeRemotingServer();
/// Undoes InitializeRemotingServer (the factories, the RTTI cache and the library texts go).
void FinalizeRemotingServer();

} // namespace vgl
