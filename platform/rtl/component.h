#pragma once
// TComponent: named objects in an ownership tree. An owner frees the components it owns (last
// first); components that asked for free notification learn when a partner goes away.

#include <cstdint>
#include <vector>

#include "platform/rtl/persistent.h"
#include "platform/rtl/reflection.h"

namespace vgl {

enum TComponentStateItem { csLoading, csReading, csWriting, csDestroying, csDesigning, csAncestor, csInline };
VGL_DECLARE_ENUM(TComponentStateItem);
VGL_DECLARE_SET(TComponentState, TComponentStateItem);

enum TOperation { opInsert, opRemove };

class TComponent;

/// An owner's index of its components by a key of their names: open addressing with linear
/// probing in one flat array, so a lookup costs about one memory access however many components
/// there are. Several components may share a key.
class TComponentNameIndex {
public:
    void Add(std::uint64_t key, TComponent* component);
    void Remove(std::uint64_t key, TComponent* component);
    /// Calls `f` with every component filed under `key`.
    template <class F> void ForEach(std::uint64_t key, F f) const {
        if (FSlots.empty())
            return;
        const size_t mask = FSlots.size() - 1;
        for (size_t i = size_t(key) & mask; FSlots[i].Item; i = (i + 1) & mask)
            if (FSlots[i].Key == key)
                f(FSlots[i].Item);
    }

private:
    struct Slot {
        std::uint64_t Key = 0;
        TComponent* Item = nullptr; // none: the slot is free
    };
    std::vector<Slot> FSlots; // a power of two long, at most half full
    size_t FCount = 0;
};

class TComponent : public TPersistent {
    VGL_CLASS(TComponent, TPersistent)

    /// Creates the component; with an owner, the owner holds it and frees it.
    explicit TComponent(TComponent* owner);
    /// Tells free-notification partners, frees the owned components (last first) and leaves the
    /// owner. Partners are told after the descendant's own destructor has run: they may compare
    /// the pointer but must not call into the component.
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return FOwner; }
    TPersistent* GetOwner() const override { return FOwner; }

    const String& Name() const { return FName; }
    /// Renames the component. Raises EComponentError "'%s' is not a valid component name" for a
    /// non-empty name that is no identifier, and "A component named %s already exists" when a
    /// sibling of the same owner has that name (ASCII case-insensitive).
    virtual void SetName(const String& newName);
    std::intptr_t Tag() const { return FTag; }
    void SetTag(std::intptr_t tag) { FTag = tag; }
    String GetNamePath() const override { return FName; }

    TComponentState ComponentState() const { return FComponentState; }
    /// Sets or clears one state flag (readers, writers and designers use this).
    void UpdateComponentState(TComponentStateItem item, bool on);
    /// csDesigning on this component and everything it owns.
    void SetDesigning(bool value);

    /// The owned components, in insertion order.
    int ComponentCount() const { return int(FComponents.size()); }
    /// Raises EListError "List index out of bounds (%d)" outside 0..ComponentCount-1.
    TComponent* Components(int index) const;
    /// Position within the owner's list (-1 without owner); constant time.
    int ComponentIndex() const { return FOwner ? FIndex : -1; }
    /// The owned component of that name (ASCII case-insensitive); none for an empty name. Names
    /// are indexed: constant time.
    TComponent* FindComponent(StringView name) const;
    /// Takes a component into this owner (leaving its former owner); tells the owner and the
    /// owned components that asked for news (RequestInsertRemoveNews) with opInsert.
    void InsertComponent(TComponent* component);
    /// Lets go of an owned component without freeing it; tells the owner and the owned
    /// components that asked for news with opRemove.
    void RemoveComponent(TComponent* component);

    /// Asks (or stops asking) to be told through Notification when a component is inserted into
    /// or removed from this component's owner or an owner further up. Components that did not ask
    /// hear only of their own children and of their free-notification partners, so building a
    /// tree costs time linear in its size. News of insertions is not sent while the owner is
    /// loading, nor any news while it is being destroyed.
    void RequestInsertRemoveNews(bool on = true);

    /// Asks to be told (Notification with opRemove) when `component` is freed; the link goes
    /// both ways, so `component` is told when this one is freed.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

    /// Called when the component has been read; clears csLoading.
    virtual void Loaded();

protected:
    /// A component was inserted into or removed from this owner, or a free-notification partner
    /// is being freed. The base forgets a removed partner and passes the news to every owned
    /// component.
    virtual void Notification(TComponent* component, TOperation operation);
    /// Raises the duplicate-name error when a component this one owns would get a sibling's name.
    virtual void ValidateRename(TComponent* component, StringView curName, StringView newName) const;

private:
    void Insert(TComponent* component);
    void Remove(TComponent* component);
    void RemoveNotification(TComponent* component);
    /// True when this component asked for news or owns one that needs it: its owner tells it.
    bool NeedsNews() const { return FWantsNews || !FNewsChildren.empty(); }
    /// Enters or leaves the owner's list of children to tell, after NeedsNews changed.
    void NewsNeedChanged(bool before);
    void IndexName(TComponent* component);
    void UnindexName(TComponent* component, StringView name);

    TComponent* FOwner = nullptr;
    int FIndex = -1; // position in the owner's FComponents
    String FName;
    std::intptr_t FTag = 0;
    TComponentState FComponentState;
    bool FWantsNews = false;
    std::vector<TComponent*> FComponents;   // owned
    std::vector<TComponent*> FNewsChildren; // owned components to tell, in FComponents order
    std::uint64_t FNewsChanges = 0;         // counts inserts and removals in FNewsChildren
    TComponentNameIndex FNames;             // owned components by NameKey
    std::vector<TComponent*> FFreeNotifies; // not owned
};

/// The platform's identifier rule: a letter or "_" first, then letters, digits or "_" (ASCII).
bool IsValidIdent(StringView ident);

} // namespace vgl
