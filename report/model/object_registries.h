#pragma once
// Process-wide registries of report object classes (with their palette categories), component
// editors and property editors. Object units fill them at start-up; they are read-only
// afterwards, but a late registration is allowed: each registry takes a lock that its readers
// take too, so a registration never tears a list that another thread reads. Items stay where
// they are until they are unregistered (at shut-down), so pointers to them stay valid.

#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <vector>

#include "platform/rtl/reflection.h"

namespace vgl {

class TBitmap;
class TfrxComponent;
class TfrxCustomDesigner;

enum TfrxObjectCategory { ctData, ctReport, ctDialog, ctDMP, ctNone };
VGL_DECLARE_ENUM(TfrxObjectCategory);
VGL_DECLARE_SET(TfrxObjectCategories, TfrxObjectCategory);

/// True when the class or one of its ancestors has that name.
bool ClassInheritsFromName(TClass cls, StringView className);

struct TfrxObjectItem {
    TClass ClassRef = nullptr; ///< none for a category entry
    TBitmap* ButtonBmp = nullptr;
    int ButtonImageIndex = -1;
    String ButtonHint;
    String CategoryName;
    std::uint16_t Flags = 0;
    TfrxObjectCategories Category;
};

class TfrxObjectCollection {
public:
    /// Appends an item unless one with the same class and flags exists; the class is also
    /// registered with the class registry by name. Without categories a class gets {ctData} for
    /// data sets and databases, {ctDialog} for dialog controls and components, else {ctReport}.
    void RegisterObject1(TClass classRef, TBitmap* buttonBmp, const String& buttonHint = {},
                         const String& categoryName = {}, std::uint16_t flags = 0, int imageIndex = -1,
                         TfrxObjectCategories category = {});
    void RegisterObject(TClass classRef, TBitmap* buttonBmp, const String& categoryName = {});
    void RegisterCategory(const String& categoryName, TBitmap* buttonBmp, const String& buttonHint,
                          int imageIndex = -1);
    /// Removes every item of the class.
    void Unregister(TClass classRef);
    int Count() const;
    /// Raises EListError outside 0..Count-1.
    const TfrxObjectItem& GetObjectItem(int index) const;
    /// A copy of the items, in registration order.
    std::vector<TfrxObjectItem> Items() const;

private:
    mutable std::shared_mutex FLock;
    std::vector<std::unique_ptr<TfrxObjectItem>> FItems;
};

/// An in-place editor of a report component in a designer (none is built in the service).
class TfrxComponentEditor : public TObject {
public:
    TfrxComponentEditor(TfrxComponent* component, TfrxCustomDesigner* designer, TObject* menu)
        : FComponent(component), FDesigner(designer), FMenu(menu) {}
    String ClassName() const override { return u"TfrxComponentEditor"; }
    TfrxComponent* Component() const { return FComponent; }
    TfrxCustomDesigner* Designer() const { return FDesigner; }
    TObject* Menu() const { return FMenu; }

private:
    TfrxComponent* FComponent;
    TfrxCustomDesigner* FDesigner;
    TObject* FMenu;
};

/// An editor class: makes an editor for a component, a designer and a menu. The function
/// itself is the class's identity (MakeComponentEditor<E> gives one per editor type).
using TfrxComponentEditorClass = std::unique_ptr<TfrxComponentEditor> (*)(TfrxComponent*, TfrxCustomDesigner*,
                                                                          TObject*);
template <class E>
std::unique_ptr<TfrxComponentEditor> MakeComponentEditor(TfrxComponent* c, TfrxCustomDesigner* d, TObject* m) {
    return std::make_unique<E>(c, d, m);
}

struct TfrxComponentEditorItem {
    TClass ComponentClass = nullptr;
    TfrxComponentEditorClass ComponentEditor = nullptr;
};

class TfrxComponentEditorCollection {
public:
    /// Appends an item (no duplicate test).
    void Register(TClass componentClass, TfrxComponentEditorClass componentEditor);
    /// Removes every item of that editor class.
    void UnRegister(TfrxComponentEditorClass componentEditor);
    /// The editor of the item whose class is the component's own, else of the last item whose
    /// class is an ancestor of it; none when no item fits. The caller owns the editor.
    std::unique_ptr<TfrxComponentEditor> GetComponentEditor(TfrxComponent* component, TfrxCustomDesigner* designer,
                                                            TObject* menu) const;
    int Count() const;
    const TfrxComponentEditorItem& GetComponentEditorItem(int index) const;

private:
    mutable std::shared_mutex FLock;
    std::vector<std::unique_ptr<TfrxComponentEditorItem>> FItems;
};

/// A property editor of a designer (none is built in the service).
class TfrxPropertyEditor : public TObject {
public:
    explicit TfrxPropertyEditor(TfrxCustomDesigner* designer) : FDesigner(designer) {}
    String ClassName() const override { return u"TfrxPropertyEditor"; }
    TfrxCustomDesigner* Designer() const { return FDesigner; }

private:
    TfrxCustomDesigner* FDesigner;
};

/// A property-editor class; none hides the property.
using TfrxPropertyEditorClass = std::unique_ptr<TfrxPropertyEditor> (*)(TfrxCustomDesigner*);
template <class E> std::unique_ptr<TfrxPropertyEditor> MakePropertyEditor(TfrxCustomDesigner* designer) {
    return std::make_unique<E>(designer);
}

struct TfrxPropertyEditorItem {
    const TypeInfo* PropertyType = nullptr;
    TClass ComponentClass = nullptr;
    String PropertyName;
    TfrxPropertyEditorClass EditorClass = nullptr;
};

class TfrxPropertyEditorCollection {
public:
    /// Appends an item (no duplicate test).
    void Register(const TypeInfo* propertyType, TClass componentClass, const String& propertyName,
                  TfrxPropertyEditorClass editorClass);
    /// Registers the editor of every event property ("Tfrx…Event" types).
    void RegisterEventEditor(TfrxPropertyEditorClass editorClass);
    void UnRegister(TfrxPropertyEditorClass editorClass);
    /// The index of the item that edits the property, or -1.
    int GetPropertyEditor(const TypeInfo* propertyType, const TfrxComponent* component,
                          const String& propertyName) const;
    int Count() const;
    const TfrxPropertyEditorItem& GetPropertyEditorItem(int index) const;
    int EventEditorItem() const;

private:
    mutable std::shared_mutex FLock;
    std::vector<std::unique_ptr<TfrxPropertyEditorItem>> FItems;
    int FEventEditorItem = -1;
};

/// The registries, each made on first use.
TfrxObjectCollection& GetObjectCollection();
TfrxComponentEditorCollection& GetComponentEditorCollection();
TfrxPropertyEditorCollection& GetPropertyEditorCollection();

} // namespace vgl
