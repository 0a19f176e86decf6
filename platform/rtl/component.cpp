#include "platform/rtl/component.h"

#include <algorithm>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

VGL_DEFINE_ENUM(TComponentStateItem, u"csLoading", u"csReading", u"csWriting", u"csDestroying", u"csDesigning",
                u"csAncestor", u"csInline")
VGL_DEFINE_SET(TComponentState, TComponentStateItem)

VGL_DEFINE_CLASS(TComponent) {
    b.Property(u"Name", &TComponent::FName, &TComponent::SetName).Stored(false);
    b.Property(u"Tag", &TComponent::FTag, &TComponent::SetTag).Default(0);
}

bool IsValidIdent(StringView ident) {
    auto alpha = [](Char c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_'; };
    if (ident.empty() || !alpha(ident[0]))
        return false;
    return std::all_of(ident.begin() + 1, ident.end(), [&](Char c) { return alpha(c) || (c >= u'0' && c <= u'9'); });
}

TComponent::TComponent(TComponent* owner) {
    if (owner)
        owner->InsertComponent(this);
}

TComponent::~TComponent() {
    // Partners and owned components may hold Variants naming this component: from here on they
    // read as freed.
    ReleaseIdentity();
    FComponentState.Include(csDestroying);
    // Partners are told last-linked first; each one's Notification unlinks it.
    while (!FFreeNotifies.empty()) {
        TComponent* partner = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        partner->RemoveNotification(this);
        partner->Notification(this, opRemove);
    }
    while (!FComponents.empty()) {
        TComponent* child = FComponents.back();
        Remove(child);
        delete child;
    }
    if (FOwner)
        FOwner->RemoveComponent(this);
}

void TComponent::SetName(const String& newName) {
    if (FName == newName)
        return;
    if (!newName.empty() && !IsValidIdent(newName))
        throw EComponentError(u"'%s' is not a valid component name", {newName});
    if (FOwner)
        FOwner->ValidateRename(this, FName, newName);
    else
        ValidateRename(nullptr, FName, newName);
    if (FOwner)
        FOwner->UnindexName(this, FName);
    FName = newName;
    if (FOwner)
        FOwner->IndexName(this);
}

void TComponent::ValidateRename(TComponent* component, StringView curName, StringView newName) const {
    if (component && !SameText(curName, newName) && component->FOwner == this) {
        TComponent* other = FindComponent(newName);
        if (other && other != component)
            throw EComponentError(u"A component named %s already exists", {newName});
    }
}

void TComponent::UpdateComponentState(TComponentStateItem item, bool on) {
    if (on)
        FComponentState.Include(item);
    else
        FComponentState.Exclude(item);
}

void TComponent::SetDesigning(bool value) {
    UpdateComponentState(csDesigning, value);
    for (TComponent* c : FComponents)
        c->SetDesigning(value);
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount())
        throw EListError(u"List index out of bounds (%d)", {index});
    return FComponents[size_t(index)];
}

namespace {

/// The key of a name in an owner's index: names equal by SameText share it.
std::uint64_t NameKey(StringView name) {
    return AsciiFoldedHash(name);
}

} // namespace

TComponent* TComponent::FindComponent(StringView name) const {
    if (name.empty())
        return nullptr;
    // Equal keys may hold other names: the first in the list of those named so is the answer.
    TComponent* found = nullptr;
    FNames.ForEach(NameKey(name), [&](TComponent* c) {
        if (SameText(c->FName, name) && (!found || c->FIndex < found->FIndex))
            found = c;
    });
    return found;
}

void TComponent::IndexName(TComponent* component) {
    if (!component->FName.empty())
        FNames.Add(NameKey(component->FName), component);
}

void TComponent::UnindexName(TComponent* component, StringView name) {
    if (!name.empty())
        FNames.Remove(NameKey(name), component);
}

void TComponentNameIndex::Add(std::uint64_t key, TComponent* component) {
    if ((FCount + 1) * 2 > FSlots.size()) {
        std::vector<Slot> old = std::move(FSlots);
        FSlots.assign(old.empty() ? 16 : old.size() * 2, Slot());
        FCount = 0;
        for (const Slot& slot : old)
            if (slot.Item)
                Add(slot.Key, slot.Item);
    }
    const size_t mask = FSlots.size() - 1;
    size_t i = size_t(key) & mask;
    while (FSlots[i].Item)
        i = (i + 1) & mask;
    FSlots[i] = {key, component};
    ++FCount;
}

void TComponentNameIndex::Remove(std::uint64_t key, TComponent* component) {
    if (FSlots.empty())
        return;
    const size_t mask = FSlots.size() - 1;
    size_t i = size_t(key) & mask;
    while (FSlots[i].Item && !(FSlots[i].Key == key && FSlots[i].Item == component))
        i = (i + 1) & mask;
    if (!FSlots[i].Item)
        return;
    // Backward-shift deletion: move up every later entry of the run whose home lies at or before
    // the freed slot, so no probe sequence is broken and no marker is needed.
    size_t hole = i;
    for (size_t j = (i + 1) & mask; FSlots[j].Item; j = (j + 1) & mask) {
        const size_t home = size_t(FSlots[j].Key) & mask;
        if (((j - home) & mask) >= ((j - hole) & mask)) {
            FSlots[hole] = FSlots[j];
            hole = j;
        }
    }
    FSlots[hole] = Slot();
    --FCount;
}

void TComponent::InsertComponent(TComponent* component) {
    if (!component || component->FOwner == this)
        return;
    if (component == this)
        throw EComponentError(u"A component cannot own itself");
    for (const TComponent* o = this; o; o = o->FOwner)
        if (o == component)
            throw EComponentError(u"A component cannot own its owner");
    if (!component->FName.empty() && FindComponent(component->FName))
        throw EComponentError(u"A component named %s already exists", {component->FName});
    if (component->FOwner)
        component->FOwner->RemoveComponent(component);
    Insert(component);
    Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
    if (!component || component->FOwner != this)
        return;
    Notification(component, opRemove);
    Remove(component);
}

void TComponent::Insert(TComponent* component) {
    component->FIndex = int(FComponents.size());
    FComponents.push_back(component);
    component->FOwner = this;
    IndexName(component);
    if (component->NeedsNews()) {
        const bool before = NeedsNews();
        FNewsChildren.push_back(component);
        ++FNewsChanges;
        NewsNeedChanged(before);
    }
}

void TComponent::Remove(TComponent* component) {
    if (component->FOwner != this)
        return;
    const int index = component->FIndex;
    if (index >= 0 && index < ComponentCount() && FComponents[size_t(index)] == component) {
        // Removal from the end (an owner freeing its children, last first) moves nothing.
        FComponents.erase(FComponents.begin() + index);
        for (size_t i = size_t(index); i < FComponents.size(); ++i)
            FComponents[i]->FIndex = int(i);
    }
    UnindexName(component, component->FName);
    auto it = std::find(FNewsChildren.begin(), FNewsChildren.end(), component);
    if (it != FNewsChildren.end()) {
        const bool before = NeedsNews();
        FNewsChildren.erase(it);
        ++FNewsChanges;
        NewsNeedChanged(before);
    }
    component->FOwner = nullptr;
    component->FIndex = -1;
}

void TComponent::RequestInsertRemoveNews(bool on) {
    const bool before = NeedsNews();
    FWantsNews = on;
    NewsNeedChanged(before);
}

void TComponent::NewsNeedChanged(bool before) {
    const bool now = NeedsNews();
    if (now == before || !FOwner)
        return;
    TComponent* owner = FOwner;
    const bool ownerBefore = owner->NeedsNews();
    auto& list = owner->FNewsChildren;
    if (now) {
        auto at = std::lower_bound(list.begin(), list.end(), FIndex,
                                   [](const TComponent* c, int index) { return c->FIndex < index; });
        list.insert(at, this);
    } else {
        list.erase(std::find(list.begin(), list.end(), this));
    }
    ++owner->FNewsChanges;
    owner->NewsNeedChanged(ownerBefore);
}

void TComponent::FreeNotification(TComponent* component) {
    if (!component || component == this)
        return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end()) {
        FFreeNotifies.push_back(component);
        component->FreeNotification(this);
    }
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    if (!component)
        return;
    RemoveNotification(component);
    component->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* component) {
    auto it = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component);
    if (it != FFreeNotifies.end())
        FFreeNotifies.erase(it);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove && component)
        RemoveFreeNotification(component);
    if (FComponentState.Contains(csDestroying) || (operation == opInsert && FComponentState.Contains(csLoading)))
        return;
    // Only the owned components that asked (or own one that did) are told, last first. A child
    // may free siblings while it is told: walk a copy, and only once the list has changed look
    // each further child up before telling it.
    if (FNewsChildren.empty())
        return;
    std::vector<TComponent*> children = FNewsChildren;
    const std::uint64_t changes = FNewsChanges;
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        if (FNewsChanges == changes ||
            std::find(FNewsChildren.begin(), FNewsChildren.end(), *it) != FNewsChildren.end())
            (*it)->Notification(component, operation);
}

void TComponent::Loaded() {
    UpdateComponentState(csLoading, false);
}

} // namespace vgl
