#pragma once
// TRORemoteDataModule: the component base of service implementations. It takes part in every
// call (activation, dispatch information, deactivation), validates roles, keeps the objects the
// service retains beyond the call and frees itself when its last reference goes.
//
// This system runs without session managers and event repositories: a module has no session,
// RequiresSession makes every call fail, and the session, event-client and event-data
// operations come with the session and event Parts.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/rtl/component.h"
#include "platform/rtl/guid.h"
#include "remoting/server/ro_class_factories.h"

namespace vgl {

class IROMessage;
/// A client session; none exists in this system.
class TROSession;

using TActivateEvent =
    std::function<void(const TGUID& aClientID, TROSession* aSession, const std::shared_ptr<IROMessage>& aMessage)>;
using TDeactivateEvent = std::function<void(const TGUID& aClientID, TROSession* aSession)>;
using TGetDispatchInfoEvent =
    std::function<void(const std::shared_ptr<IROTransport>& aTransport, const std::shared_ptr<IROMessage>& aMessage)>;
using TValidateRolesEvent = std::function<void(const std::vector<String>& aRequiredRoles, bool& aAllowed)>;

class TRORemoteDataModule : public TComponent,
                            public IROService,
                            public IRORolesAwareService,
                            public IROObjectRetainer,
                            public IRODispatchNotifier,
                            public IROObjectActivation {
    VGL_CLASS(TRORemoteDataModule, TComponent)

    /// LegacyEvents set, reference count 0.
    explicit TRORemoteDataModule(TComponent* aOwner = nullptr);
    ~TRORemoteDataModule() override;

    /// Atomic; -1 without effect at design time. _Release frees the module at 0.
    std::int32_t _AddRef();
    std::int32_t _Release();
    std::int32_t RefCount() const { return fRefCount.load(); }

    bool RequiresSession() const { return fRequiresSession; }
    void SetRequiresSession(bool value) { fRequiresSession = value; }
    bool LegacyEvents() const { return fLegacyEvents; }
    void SetLegacyEvents(bool value) { fLegacyEvents = value; }
    /// The client ID of the current call.
    const TGUID& ClientID() const { return fClientID; }
    /// The transport of the current call, from dispatch to deactivation.
    const std::shared_ptr<IROTransport>& Transport() const { return fTransport; }

    TActivateEvent OnActivate;
    TDeactivateEvent OnDeactivate;
    TGetDispatchInfoEvent OnGetDispatchInfo;
    TValidateRolesEvent OnValidateRoles;

    /// Stores the client ID, runs DoOnActivate, then fires OnActivate.
    void _OnActivate(const TGUID& aClientID, const std::shared_ptr<IROMessage>& aMessage) override;
    /// Fires OnDeactivate, then runs DoOnDeactivate.
    void _OnDeactivate(const TGUID& aClientID) override;
    /// Fires OnGetDispatchInfo, then keeps the transport.
    void GetDispatchInfo(const std::shared_ptr<IROTransport>& aTransport,
                         const std::shared_ptr<IROMessage>& aMessage) override;
    /// Allowed without required roles; otherwise only with a session whose roles match
    /// (RolesMatch). OnValidateRoles may change the verdict; a refusal raises
    /// SessionDoesNotHaveRequiredRolesException.
    void ServiceValidateRoles(const std::vector<String>& aRoles) override;

    void RetainObject(TObject* anObject) override;
    void ReleaseObject(TObject* anObject) override;
    bool IsRetained(const TObject* anObject) const override;

    /// The session of the call. Without a session manager: EROException "The session has not
    /// been initialized. <name>.SessionManager property is set to nil.".
    TROSession* GetSession();
    /// Whether the call would bind a session: true without a message, else unless the message
    /// name is "GetDescriptor".
    virtual bool CustomRequireSession(const std::shared_ptr<IROMessage>& aMessage);

    /// The role walk of ServiceValidateRoles: each required role trimmed (empty ones skipped);
    /// "!" marks a forbidden role; roles compare ASCII case-insensitively. True when every
    /// needed role is held and no forbidden one.
    static bool RolesMatch(const std::vector<String>& aRequiredRoles, const std::vector<String>& aSessionRoles);

protected:
    /// Without a session manager: fails with "SessionManager required, but not assigned" when
    /// RequiresSession is set.
    virtual void DoOnActivate(const std::shared_ptr<IROMessage>& aMessage);
    /// Releases the transport.
    virtual void DoOnDeactivate();

private:
    bool Designing() const;

    std::atomic<std::int32_t> fRefCount{0};
    TGUID fClientID{};
    TROSession* fSession = nullptr;
    bool fRequiresSession = false;
    bool fLegacyEvents = true;
    std::shared_ptr<IROTransport> fTransport;
    TRORetainedObjects fRetained;
};

/// Keeps a service class in the program for the service search: adds it to the RTTI context.
void RegisterServiceClass(TClass aServiceClass);

} // namespace vgl
