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
    FName = newName;
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

int TComponent::ComponentIndex() const {
    if (!FOwner)
        return -1;
    auto& list = FOwner->FComponents;
    return int(std::find(list.begin(), list.end(), this) - list.begin());
}

TComponent* TComponent::FindComponent(StringView name) const {
    if (name.empty())
        return nullptr;
    for (TComponent* c : FComponents)
        if (SameText(c->FName, name))
            return c;
    return nullptr;
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
    FComponents.push_back(component);
    ++FComponentsChanges;
    component->FOwner = this;
}

void TComponent::Remove(TComponent* component) {
    auto it = std::find(FComponents.begin(), FComponents.end(), component);
    if (it != FComponents.end()) {
        FComponents.erase(it);
        ++FComponentsChanges;
    }
    component->FOwner = nullptr;
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
    // A child may free siblings while it is told; walk a copy from the last to the first. Only
    // once the list has changed is each further child looked up before it is told, so an
    // untouched list costs one pass (a lookup every time made freeing n children cubic).
    std::vector<TComponent*> children = FComponents;
    const std::uint64_t changes = FComponentsChanges;
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        if (FComponentsChanges == changes ||
            std::find(FComponents.begin(), FComponents.end(), *it) != FComponents.end())
            (*it)->Notification(component, operation);
}

void TComponent::Loaded() {
    UpdateComponentState(csLoading, false);
}

} // namespace vgl
