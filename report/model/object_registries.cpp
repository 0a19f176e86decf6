#include "report/model/object_registries.h"

#include <algorithm>
#include <mutex>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/format.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"
#include "report/model/report_component.h"

namespace vgl {

VGL_DEFINE_ENUM(TfrxObjectCategory, u"ctData", u"ctReport", u"ctDialog", u"ctDMP", u"ctNone")
VGL_DEFINE_SET(TfrxObjectCategories, TfrxObjectCategory)

bool ClassInheritsFromName(TClass cls, StringView className) {
    for (; cls; cls = cls->Parent())
        if (cls->Name() == className)
            return true;
    return false;
}

namespace {

template <class Item> const Item& ItemAt(const std::vector<std::unique_ptr<Item>>& items, int index) {
    if (index < 0 || index >= int(items.size()))
        throw EListError(Format(u"List index out of bounds (%d)", {index}));
    return *items[std::size_t(index)];
}

bool IsDataClass(TClass cls) {
    for (StringView name : {u"TfrxDataSet", u"TfrxCustomDatabase", u"TDataSet"})
        if (ClassInheritsFromName(cls, name))
            return true;
    return false;
}

bool IsDialogClass(TClass cls) {
    return ClassInheritsFromName(cls, u"TfrxDialogControl") || ClassInheritsFromName(cls, u"TfrxDialogComponent");
}

} // namespace

// ---- Report objects -----------------------------------------------------------------------

void TfrxObjectCollection::RegisterObject1(TClass classRef, TBitmap* buttonBmp, const String& buttonHint,
                                           const String& categoryName, std::uint16_t flags, int imageIndex,
                                           TfrxObjectCategories category) {
    std::unique_lock lock(FLock);
    if (classRef && std::any_of(FItems.begin(), FItems.end(),
                                [&](const auto& item) { return item->ClassRef == classRef && item->Flags == flags; }))
        return;
    if (classRef)
        RegisterClass(classRef);
    auto item = std::make_unique<TfrxObjectItem>();
    item->ClassRef = classRef;
    item->ButtonBmp = buttonBmp; // bitmaps here have no screen handle to release
    item->ButtonImageIndex = imageIndex;
    item->ButtonHint = buttonHint;
    item->CategoryName = categoryName;
    item->Flags = flags;
    item->Category = category;
    if (classRef && category.Empty())
        item->Category = IsDataClass(classRef)     ? TfrxObjectCategories{ctData}
                         : IsDialogClass(classRef) ? TfrxObjectCategories{ctDialog}
                                                   : TfrxObjectCategories{ctReport};
    FItems.push_back(std::move(item));
}

void TfrxObjectCollection::RegisterObject(TClass classRef, TBitmap* buttonBmp, const String& categoryName) {
    RegisterObject1(classRef, buttonBmp, {}, categoryName, 0, -1, {});
}

void TfrxObjectCollection::RegisterCategory(const String& categoryName, TBitmap* buttonBmp, const String& buttonHint,
                                            int imageIndex) {
    RegisterObject1(nullptr, buttonBmp, buttonHint, categoryName, 0, imageIndex, {});
}

void TfrxObjectCollection::Unregister(TClass classRef) {
    std::unique_lock lock(FLock);
    std::erase_if(FItems, [&](const auto& item) { return item->ClassRef == classRef; });
}

int TfrxObjectCollection::Count() const {
    std::shared_lock lock(FLock);
    return int(FItems.size());
}

const TfrxObjectItem& TfrxObjectCollection::GetObjectItem(int index) const {
    std::shared_lock lock(FLock);
    return ItemAt(FItems, index);
}

std::vector<TfrxObjectItem> TfrxObjectCollection::Items() const {
    std::shared_lock lock(FLock);
    std::vector<TfrxObjectItem> out;
    out.reserve(FItems.size());
    for (const auto& item : FItems)
        out.push_back(*item);
    return out;
}

// ---- Component editors --------------------------------------------------------------------

void TfrxComponentEditorCollection::Register(TClass componentClass, TfrxComponentEditorClass componentEditor) {
    std::unique_lock lock(FLock);
    FItems.push_back(
        std::make_unique<TfrxComponentEditorItem>(TfrxComponentEditorItem{componentClass, componentEditor}));
}

void TfrxComponentEditorCollection::UnRegister(TfrxComponentEditorClass componentEditor) {
    std::unique_lock lock(FLock);
    std::erase_if(FItems, [&](const auto& item) { return item->ComponentEditor == componentEditor; });
}

std::unique_ptr<TfrxComponentEditor> TfrxComponentEditorCollection::GetComponentEditor(TfrxComponent* component,
                                                                                       TfrxCustomDesigner* designer,
                                                                                       TObject* menu) const {
    if (!component)
        return nullptr;
    TfrxComponentEditorClass editor = nullptr;
    {
        std::shared_lock lock(FLock);
        const TClass own = component->ClassType();
        for (const auto& item : FItems) {
            if (item->ComponentClass == own) {
                editor = item->ComponentEditor;
                break;
            }
            if (item->ComponentClass && component->InheritsFrom(item->ComponentClass))
                editor = item->ComponentEditor;
        }
    }
    return editor ? editor(component, designer, menu) : nullptr;
}

int TfrxComponentEditorCollection::Count() const {
    std::shared_lock lock(FLock);
    return int(FItems.size());
}

const TfrxComponentEditorItem& TfrxComponentEditorCollection::GetComponentEditorItem(int index) const {
    std::shared_lock lock(FLock);
    return ItemAt(FItems, index);
}

// ---- Property editors ---------------------------------------------------------------------

void TfrxPropertyEditorCollection::Register(const TypeInfo* propertyType, TClass componentClass,
                                            const String& propertyName, TfrxPropertyEditorClass editorClass) {
    std::unique_lock lock(FLock);
    FItems.push_back(std::make_unique<TfrxPropertyEditorItem>(
        TfrxPropertyEditorItem{propertyType, componentClass, propertyName, editorClass}));
}

void TfrxPropertyEditorCollection::RegisterEventEditor(TfrxPropertyEditorClass editorClass) {
    std::unique_lock lock(FLock);
    FItems.push_back(
        std::make_unique<TfrxPropertyEditorItem>(TfrxPropertyEditorItem{nullptr, nullptr, {}, editorClass}));
    FEventEditorItem = int(FItems.size()) - 1;
}

void TfrxPropertyEditorCollection::UnRegister(TfrxPropertyEditorClass editorClass) {
    std::unique_lock lock(FLock);
    for (int i = int(FItems.size()) - 1; i >= 0; --i) {
        if (FItems[std::size_t(i)]->EditorClass != editorClass)
            continue;
        FItems.erase(FItems.begin() + i);
        // The event editor's index follows its item (and is forgotten with it).
        if (FEventEditorItem == i)
            FEventEditorItem = -1;
        else if (FEventEditorItem > i)
            --FEventEditorItem;
    }
}

int TfrxPropertyEditorCollection::GetPropertyEditor(const TypeInfo* propertyType, const TfrxComponent* component,
                                                    const String& propertyName) const {
    std::shared_lock lock(FLock);
    if (propertyType) {
        const String name = LowerCase(propertyType->Name);
        if (name.starts_with(u"tfrx") && name.size() >= 5 && name.find(u"event") == name.size() - 5)
            return FEventEditorItem;
    }
    int generic = -1;
    for (int i = int(FItems.size()) - 1; i >= 0; --i) {
        const TfrxPropertyEditorItem& item = *FItems[std::size_t(i)];
        if (!item.ComponentClass && item.PropertyName.empty() && item.PropertyType == propertyType) {
            generic = i;
            continue;
        }
        if (!item.ComponentClass && item.PropertyType == propertyType && SameText(item.PropertyName, propertyName))
            return i;
        if (item.ComponentClass && component && component->InheritsFrom(item.ComponentClass) &&
            SameText(item.PropertyName, propertyName))
            return i;
    }
    return generic;
}

int TfrxPropertyEditorCollection::Count() const {
    std::shared_lock lock(FLock);
    return int(FItems.size());
}

const TfrxPropertyEditorItem& TfrxPropertyEditorCollection::GetPropertyEditorItem(int index) const {
    std::shared_lock lock(FLock);
    return ItemAt(FItems, index);
}

int TfrxPropertyEditorCollection::EventEditorItem() const {
    std::shared_lock lock(FLock);
    return FEventEditorItem;
}

// ---- Accessors ----------------------------------------------------------------------------

TfrxObjectCollection& GetObjectCollection() {
    static TfrxObjectCollection collection;
    return collection;
}

TfrxComponentEditorCollection& GetComponentEditorCollection() {
    static TfrxComponentEditorCollection collection;
    return collection;
}

TfrxPropertyEditorCollection& GetPropertyEditorCollection() {
    static TfrxPropertyEditorCollection collection;
    return collection;
}

} // namespace vgl
