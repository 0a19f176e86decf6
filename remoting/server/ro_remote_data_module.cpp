#include "remoting/server/ro_remote_data_module.h"

#include <algorithm>

#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_message.h"
#include "remoting/core/ro_type_registry.h"

namespace vgl {

VGL_DEFINE_CLASS(TRORemoteDataModule) {
    b.Property(u"RequiresSession", &TRORemoteDataModule::RequiresSession, &TRORemoteDataModule::SetRequiresSession)
        .Default(false);
    b.Property(u"LegacyEvents", &TRORemoteDataModule::LegacyEvents, &TRORemoteDataModule::SetLegacyEvents);
}

namespace {
constexpr const char16_t* SMissingRoles = u"Session does not have all the required roles for this action.";
constexpr const char16_t* SSessionManagerRequired = u"SessionManager required, but not assigned";
constexpr const char16_t* SSessionNotInitialized = u"The session has not been initialized.";
constexpr const char16_t* SSessionManagerNil = u"SessionManager property is set to nil.";
} // namespace

TRORemoteDataModule::TRORemoteDataModule(TComponent* aOwner) : TComponent(aOwner) {}

TRORemoteDataModule::~TRORemoteDataModule() = default;

bool TRORemoteDataModule::Designing() const {
    return ComponentState().Contains(csDesigning);
}

std::int32_t TRORemoteDataModule::_AddRef() {
    if (Designing())
        return -1;
    return fRefCount.fetch_add(1) + 1;
}

std::int32_t TRORemoteDataModule::_Release() {
    if (Designing())
        return -1;
    const std::int32_t count = fRefCount.fetch_sub(1) - 1;
    if (count == 0)
        delete this;
    return count;
}

void TRORemoteDataModule::_OnActivate(const TGUID& aClientID, const std::shared_ptr<IROMessage>& aMessage) {
    fClientID = aClientID;
    DoOnActivate(aMessage);
    if (OnActivate)
        OnActivate(aClientID, fSession, aMessage);
}

void TRORemoteDataModule::_OnDeactivate(const TGUID& aClientID) {
    if (OnDeactivate)
        OnDeactivate(aClientID, fSession);
    DoOnDeactivate();
}

void TRORemoteDataModule::DoOnActivate(const std::shared_ptr<IROMessage>& aMessage) {
    if (Designing())
        return;
    fSession = nullptr;
    if (!CustomRequireSession(aMessage))
        return;
    // No session manager exists in this system.
    if (fRequiresSession)
        throw EROException(SSessionManagerRequired);
}

void TRORemoteDataModule::DoOnDeactivate() {
    if (Designing())
        return;
    fTransport.reset();
}

void TRORemoteDataModule::GetDispatchInfo(const std::shared_ptr<IROTransport>& aTransport,
                                          const std::shared_ptr<IROMessage>& aMessage) {
    if (OnGetDispatchInfo)
        OnGetDispatchInfo(aTransport, aMessage);
    fTransport = aTransport;
}

bool TRORemoteDataModule::CustomRequireSession(const std::shared_ptr<IROMessage>& aMessage) {
    return !aMessage || !SameText(aMessage->GetMessageName(), u"GetDescriptor");
}

bool TRORemoteDataModule::RolesMatch(const std::vector<String>& aRequiredRoles,
                                     const std::vector<String>& aSessionRoles) {
    auto held = [&](const String& role) {
        return std::any_of(aSessionRoles.begin(), aSessionRoles.end(),
                           [&](const String& s) { return SameText(s, role); });
    };
    for (const String& required : aRequiredRoles) {
        String role = Trim(required);
        if (role.empty())
            continue;
        if (role[0] == u'!') {
            if (held(TrimLeft(role.substr(1))))
                return false;
        } else if (!held(role))
            return false;
    }
    return true;
}

void TRORemoteDataModule::ServiceValidateRoles(const std::vector<String>& aRoles) {
    // Without sessions there are no session roles: any required role refuses the call.
    bool allowed = aRoles.empty() || (fSession && RolesMatch(aRoles, {}));
    if (OnValidateRoles)
        OnValidateRoles(aRoles, allowed);
    if (!allowed)
        throw SessionDoesNotHaveRequiredRolesException(SMissingRoles);
}

TROSession* TRORemoteDataModule::GetSession() {
    if (!fSession && !Designing())
        throw EROException(u"%s %s.%s", {String(SSessionNotInitialized), Name(), String(SSessionManagerNil)});
    return fSession;
}

void TRORemoteDataModule::RetainObject(TObject* anObject) {
    fRetained.Add(anObject);
}

void TRORemoteDataModule::ReleaseObject(TObject* anObject) {
    fRetained.Remove(anObject);
}

bool TRORemoteDataModule::IsRetained(const TObject* anObject) const {
    return fRetained.Contains(anObject);
}

void RegisterServiceClass(TClass aServiceClass) {
    if (!aServiceClass)
        return;
    RegisterRttiType(aServiceClass->Type());
    // The next look-up searches the services again.
    ClearRttiClientCache();
}

} // namespace vgl
