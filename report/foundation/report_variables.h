#pragma once
// TfrxVariables: the report's ordered list of name/value pairs, where entries whose name begins
// with a blank are category headers; TfrxArray: a Variant-keyed list of the same items.

#include "platform/rtl/variant.h"
#include "report/foundation/report_collections.h"

namespace vgl {

class TStream;
class TStrings;
class TfrxXMLItem;

class TfrxVariable : public TfrxCollectionItem {
    VGL_CLASS(TfrxVariable, TfrxCollectionItem)

    /// A variable with an empty Name and a Null Value.
    explicit TfrxVariable(TCollection* collection);

    const String& Name() const { return FName; }
    void SetName(const String& value) { FName = value; }
    const Variant& Value() const { return FValue; }
    void SetValue(const Variant& value) { FValue = value; }

    /// The Name, or the base form ("frxUIN" + UniqueIndex) when it is empty.
    String GetInheritedName() const override;
    /// From another variable: Name, Value and IsInherited; other sources are ignored.
    void Assign(const TPersistent* source) override;

private:
    String FName;
    Variant FValue;
};

/// True for a category header: a name that begins with a blank.
bool IsVariableCategory(const String& name);

class TfrxVariables : public TfrxCollection {
    VGL_CLASS(TfrxVariables, TfrxCollection)

    TfrxVariables();

    TfrxVariable* Items(int index) const;
    TfrxVariable* Add();
    TfrxVariable* Insert(int index);

    /// The first entry named `name` (case-insensitive, headers under their blank-prefixed
    /// names); -1 when none.
    int IndexOf(const String& name) const;
    /// The entry's Value; Null when there is none.
    Variant GetVariable(const String& name) const;
    /// Sets the entry's Value, appending an entry when there is none.
    void SetVariable(const String& name, const Variant& value);

    /// Adds the name of every category (without its blank, at most 255 characters), clearing
    /// `list` first when asked.
    void GetCategoriesList(TStrings& list, bool clearList = true) const;
    /// Fills `list` with the names in `category`; an empty category names the entries before
    /// the first header; an unknown category gives an empty list.
    void GetVariablesList(const String& category, TStrings& list) const;
    /// Removes the header of `name` and the entries up to the next header.
    void DeleteCategory(const String& name);
    void DeleteVariable(const String& name);
    /// Sets the Value of `name` when it exists anywhere; otherwise inserts it at the end of the
    /// category. Nothing when the category does not exist.
    void AddVariable(const String& category, const String& name, const Variant& value);

    /// Clears the list, then reads a document whose root is "variables" (any other root leaves
    /// the list empty). Raises for a document that cannot be loaded.
    void LoadFromFile(const String& fileName);
    void LoadFromStream(TStream& stream);
    /// Clears the list and adds one variable per child "item" from its attributes.
    void LoadFromXMLItem(TfrxXMLItem& item, bool oldXMLFormat);
    /// An indented document with the root "variables" and one "item" per entry.
    void SaveToFile(const String& fileName) const;
    void SaveToStream(TStream& stream) const;
    void SaveToXMLItem(TfrxXMLItem& item) const;

private:
    /// Index of the header of `category`, -1 when none.
    int IndexOfCategory(const String& category) const;
    /// Index after the last entry of the category whose header is at `header`.
    int CategoryEnd(int header) const;
};

class TfrxArray : public TCollection {
    VGL_CLASS(TfrxArray, TCollection)

    TfrxArray();

    TfrxVariable* Items(int index) const;
    /// The first item whose Name equals the key's text (case-insensitive); -1 when none.
    int IndexOf(const Variant& key) const;
    /// The item's Value, Null when there is none.
    Variant GetVariable(const Variant& key) const;
    /// Sets the Value, appending an item named by the key's text when there is none.
    void SetVariable(const Variant& key, const Variant& value);
};

} // namespace vgl
