#include "remoting/core/ro_component.h"

#include <algorithm>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_CLASS(TROComponent) {}

VGL_DEFINE_CLASS(TROCustomRODLReader) {
    b.Property(u"OnBeforeReadRODL", &TROCustomRODLReader::OnBeforeReadRODL);
    b.Property(u"OnAfterReadRODL", &TROCustomRODLReader::OnAfterReadRODL);
}

// ---- TROComponent -------------------------------------------------------------------------

TROComponent::TROComponent(TComponent* aOwner) : TComponent(aOwner) {}

TROComponent::~TROComponent() {
    UpdateComponentState(csDestroying, true);
    TellPartners();
}

void TROComponent::TellPartners() {
    // The lock is never held while a partner is called, so two components that link, unlink or
    // end on different threads cannot wait for each other's locks.
    for (;;) {
        TComponent* partner = nullptr;
        {
            TCriticalSectionGuard lock(fCriticalSection);
            if (!fROFreeNotifies || fROFreeNotifies->empty()) {
                fROFreeNotifies.reset();
                return;
            }
            partner = fROFreeNotifies->back();
        }
        RemoveFromList(partner);
        // Framework partners leave their own list through Notification; other components hear
        // of it through the runtime's free notification.
        if (auto* ro = dynamic_cast<TROComponent*>(partner))
            ro->Notification(this, opRemove);
    }
}

void TROComponent::ROFreeNotification(TComponent* aComponent) {
    if (!aComponent || aComponent == this)
        return;
    {
        TCriticalSectionGuard lock(fCriticalSection);
        if (ComponentState().Contains(csDestroying) || aComponent->ComponentState().Contains(csDestroying))
            throw EAssertionFailed(u"Component already destroyed: %s", {Name()});
        if (!fROFreeNotifies)
            fROFreeNotifies = std::make_unique<std::vector<TComponent*>>();
        if (std::find(fROFreeNotifies->begin(), fROFreeNotifies->end(), aComponent) != fROFreeNotifies->end())
            return;
        fROFreeNotifies->push_back(aComponent);
    }
    if (auto* ro = dynamic_cast<TROComponent*>(aComponent))
        ro->ROFreeNotification(this);
    else
        FreeNotification(aComponent);
}

void TROComponent::RemoveFromList(TComponent* aComponent) {
    TCriticalSectionGuard lock(fCriticalSection);
    if (!fROFreeNotifies)
        return;
    auto& list = *fROFreeNotifies;
    list.erase(std::remove(list.begin(), list.end(), aComponent), list.end());
    if (list.empty())
        fROFreeNotifies.reset();
}

void TROComponent::RORemoveFreeNotification(TComponent* aComponent) {
    if (!aComponent)
        return;
    RemoveFromList(aComponent);
    if (auto* ro = dynamic_cast<TROComponent*>(aComponent))
        ro->RemoveFromList(this);
}

std::vector<TComponent*> TROComponent::ROFreeNotifies() const {
    TCriticalSectionGuard lock(fCriticalSection);
    return fROFreeNotifies ? *fROFreeNotifies : std::vector<TComponent*>();
}

bool TROComponent::HasROFreeNotifyList() const {
    TCriticalSectionGuard lock(fCriticalSection);
    return fROFreeNotifies != nullptr;
}

void TROComponent::Assign(const TPersistent*) {}

void TROComponent::Notification(TComponent* AComponent, TOperation Operation) {
    if (Operation == opRemove && AComponent) {
        if (AComponent == Owner())
            TellPartners();
        RORemoveFreeNotification(AComponent);
    }
    TComponent::Notification(AComponent, Operation);
}

// ---- TROCustomRODLReader ------------------------------------------------------------------

String TROCustomRODLReader::DefaultServiceGroup() const {
    std::lock_guard lock(fLock);
    return fDefaultServiceGroup;
}

void TROCustomRODLReader::SetDefaultServiceGroup(const String& value) {
    std::lock_guard lock(fLock);
    fDefaultServiceGroup = value;
}

void TROCustomRODLReader::ReadRODLResource(TStream& Dest, const String& aServiceGroup) {
    if (OnBeforeReadRODL)
        OnBeforeReadRODL(this, Dest);
    String group = aServiceGroup;
    String fallback = DefaultServiceGroup();
    if (!fallback.empty())
        group = group.empty() ? fallback : group + u"," + fallback;
    DoReadRODLResource(Dest, group);
    if (OnAfterReadRODL)
        OnAfterReadRODL(this, Dest);
}

void TROCustomRODLReader::Assign(const TPersistent* Source) {
    if (auto* reader = dynamic_cast<const TROCustomRODLReader*>(Source)) {
        OnBeforeReadRODL = reader->OnBeforeReadRODL;
        OnAfterReadRODL = reader->OnAfterReadRODL;
        SetDefaultServiceGroup(reader->DefaultServiceGroup());
    }
}

// ---- Helpers ------------------------------------------------------------------------------

std::int32_t InterlockedIncrementInt(std::atomic<std::int32_t>& counter) {
    return counter.fetch_add(1) + 1;
}

std::int32_t InterlockedDecrementInt(std::atomic<std::int32_t>& counter) {
    return counter.fetch_sub(1) - 1;
}

String GetTypeInfoName(const TypeInfo& type) {
    return type.Name;
}

String GetPropInfoName(const PropInfo& prop) {
    return prop.Name;
}

} // namespace vgl
