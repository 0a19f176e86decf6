#pragma once
// TROComponent, the base of the framework's components, with a free-notification list of its
// own guarded by the component's lock; TROCustomRODLReader, the base of the components that
// supply the service-definition document; and small helpers for reference counts and type names.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/rtl/component.h"
#include "platform/rtl/sync.h"

namespace vgl {

class TStream;

class TROComponent : public TComponent {
    VGL_CLASS(TROComponent, TComponent)

    explicit TROComponent(TComponent* aOwner);
    /// Tells every component on the list (last first) that this one goes, then frees the list.
    ~TROComponent() override;

    /// Puts aComponent on this component's list (once) and, when it is a TROComponent, this one
    /// on aComponent's list. A component that is not a TROComponent is linked through the
    /// runtime's free notification as well, so it hears of this one's end. Raises
    /// EAssertionFailed "Component already destroyed: %s" (this component's name) when either is
    /// being destroyed. Each list is changed under its owner's lock, and no lock is held while
    /// the partner is called.
    void ROFreeNotification(TComponent* aComponent);
    /// Removes the link both ways.
    void RORemoveFreeNotification(TComponent* aComponent);
    /// The components on the list, in the order they were linked.
    std::vector<TComponent*> ROFreeNotifies() const;
    /// Whether the list exists (it is made on first use and freed when it becomes empty).
    bool HasROFreeNotifyList() const;

    /// Does nothing: assigning between framework components never fails at this level.
    void Assign(const TPersistent* Source) override;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void TellPartners();
    void RemoveFromList(TComponent* aComponent);

    mutable TCriticalSection fCriticalSection;
    std::unique_ptr<std::vector<TComponent*>> fROFreeNotifies;
};

/// Supplies the service-definition document for a service group.
class TROCustomRODLReader : public TROComponent {
    VGL_CLASS(TROCustomRODLReader, TROComponent)

    using TROReadRODLEvent = std::function<void(TROCustomRODLReader* aRODLReader, TStream& aStream)>;

    explicit TROCustomRODLReader(TComponent* aOwner) : TROComponent(aOwner) {}

    String DefaultServiceGroup() const;
    void SetDefaultServiceGroup(const String& value);
    TROReadRODLEvent OnBeforeReadRODL;
    TROReadRODLEvent OnAfterReadRODL;

    /// Fires OnBeforeReadRODL, asks DoReadRODLResource for aServiceGroup joined with
    /// DefaultServiceGroup by "," (either alone when the other is empty), fires OnAfterReadRODL.
    void ReadRODLResource(TStream& Dest, const String& aServiceGroup);
    /// From another reader: both events and DefaultServiceGroup.
    void Assign(const TPersistent* Source) override;

protected:
    virtual void DoReadRODLResource(TStream& Dest, const String& aServiceGroup) = 0;

private:
    mutable std::mutex fLock;
    String fDefaultServiceGroup;
};

/// Adds or subtracts 1 with a locked operation and returns the new value.
std::int32_t InterlockedIncrementInt(std::atomic<std::int32_t>& counter);
std::int32_t InterlockedDecrementInt(std::atomic<std::int32_t>& counter);
/// The name of a type and of a published property.
String GetTypeInfoName(const TypeInfo& type);
String GetPropInfoName(const PropInfo& prop);

} // namespace vgl
