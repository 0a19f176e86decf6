#include "report/foundation/report_variables.h"

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/xml_document.h"
#include "report/foundation/xml_serializer.h"

namespace vgl {

VGL_DEFINE_CLASS(TfrxVariable) {
    b.Property(u"Name", &TfrxVariable::FName);
    b.Property(u"Value", &TfrxVariable::FValue);
}
VGL_DEFINE_CLASS(TfrxVariables) {}
VGL_DEFINE_CLASS(TfrxArray) {}

// ---- TfrxVariable --------------------------------------------------------------------------

TfrxVariable::TfrxVariable(TCollection* collection) : TfrxCollectionItem(collection), FValue(Null()) {}

String TfrxVariable::GetInheritedName() const {
    return FName.empty() ? TfrxCollectionItem::GetInheritedName() : FName;
}

void TfrxVariable::Assign(const TPersistent* source) {
    if (const auto* other = dynamic_cast<const TfrxVariable*>(source)) {
        FName = other->FName;
        FValue = other->FValue;
        FIsInherited = other->FIsInherited;
    }
}

bool IsVariableCategory(const String& name) {
    return !name.empty() && name[0] == u' ';
}

// ---- TfrxVariables -------------------------------------------------------------------------

TfrxVariables::TfrxVariables() : TfrxCollection(&TfrxVariable::StaticClassInfo()) {}

TfrxVariable* TfrxVariables::Items(int index) const {
    return static_cast<TfrxVariable*>(TCollection::Items(index));
}

TfrxVariable* TfrxVariables::Add() {
    return static_cast<TfrxVariable*>(TCollection::Add());
}

TfrxVariable* TfrxVariables::Insert(int index) {
    return static_cast<TfrxVariable*>(TCollection::Insert(index));
}

int TfrxVariables::IndexOf(const String& name) const {
    for (int i = 0; i < Count(); ++i)
        if (AnsiSameText(Items(i)->Name(), name))
            return i;
    return -1;
}

Variant TfrxVariables::GetVariable(const String& name) const {
    const int i = IndexOf(name);
    return i < 0 ? Null() : Items(i)->Value();
}

void TfrxVariables::SetVariable(const String& name, const Variant& value) {
    const int i = IndexOf(name);
    TfrxVariable* v = i < 0 ? Add() : Items(i);
    if (i < 0)
        v->SetName(name);
    v->SetValue(value);
}

int TfrxVariables::IndexOfCategory(const String& category) const {
    const String header = u" " + category;
    for (int i = 0; i < Count(); ++i)
        if (IsVariableCategory(Items(i)->Name()) && AnsiSameText(Items(i)->Name(), header))
            return i;
    return -1;
}

int TfrxVariables::CategoryEnd(int header) const {
    int i = header + 1;
    while (i < Count() && !IsVariableCategory(Items(i)->Name()))
        ++i;
    return i;
}

void TfrxVariables::GetCategoriesList(TStrings& list, bool clearList) const {
    if (clearList)
        list.Clear();
    for (int i = 0; i < Count(); ++i)
        if (const String& name = Items(i)->Name(); IsVariableCategory(name))
            list.Add(name.substr(1, 255));
}

void TfrxVariables::GetVariablesList(const String& category, TStrings& list) const {
    list.Clear();
    int first = 0;
    if (!category.empty()) {
        const int header = IndexOfCategory(category);
        if (header < 0)
            return;
        first = header + 1;
    }
    for (int i = first; i < CategoryEnd(first - 1); ++i)
        list.Add(Items(i)->Name());
}

void TfrxVariables::DeleteCategory(const String& name) {
    const int header = IndexOfCategory(name);
    if (header < 0)
        return;
    const int end = CategoryEnd(header);
    BeginUpdate();
    for (int i = end - 1; i >= header; --i)
        Delete(i);
    EndUpdate();
}

void TfrxVariables::DeleteVariable(const String& name) {
    if (const int i = IndexOf(name); i >= 0)
        Delete(i);
}

void TfrxVariables::AddVariable(const String& category, const String& name, const Variant& value) {
    const int header = IndexOfCategory(category);
    if (header < 0)
        return;
    if (const int i = IndexOf(name); i >= 0) {
        Items(i)->SetValue(value);
        return;
    }
    TfrxVariable* v = Insert(CategoryEnd(header));
    v->SetName(name);
    v->SetValue(value);
}

void TfrxVariables::LoadFromFile(const String& fileName) {
    TFileStream stream(fileName, fmOpenRead);
    LoadFromStream(stream);
}

void TfrxVariables::LoadFromStream(TStream& stream) {
    Clear();
    TfrxXMLDocument document;
    document.LoadFromStream(stream);
    if (SameText(document.Root()->Name(), u"variables"))
        LoadFromXMLItem(*document.Root(), document.OldVersion());
}

void TfrxVariables::LoadFromXMLItem(TfrxXMLItem& item, bool oldXMLFormat) {
    Clear();
    TfrxXMLSerializer serializer;
    serializer.OldFormat = oldXMLFormat;
    for (int i = 0; i < item.Count(); ++i) {
        TfrxXMLItem& child = *item.Items(i);
        if (SameText(child.Name(), u"item"))
            serializer.XMLToObj(child.Text(), *Add());
    }
}

void TfrxVariables::SaveToFile(const String& fileName) const {
    TFileStream stream(fileName, fmCreate);
    SaveToStream(stream);
}

void TfrxVariables::SaveToStream(TStream& stream) const {
    TfrxXMLDocument document;
    document.AutoIndent = true;
    document.Root()->SetName(u"variables");
    SaveToXMLItem(*document.Root());
    document.SaveToStream(stream);
}

void TfrxVariables::SaveToXMLItem(TfrxXMLItem& item) const {
    TfrxXMLSerializer serializer;
    for (int i = 0; i < Count(); ++i)
        item.Add(u"item")->SetText(serializer.ObjToXML(Items(i)));
}

// ---- TfrxArray -----------------------------------------------------------------------------

TfrxArray::TfrxArray() : TCollection(&TfrxVariable::StaticClassInfo()) {}

TfrxVariable* TfrxArray::Items(int index) const {
    return static_cast<TfrxVariable*>(TCollection::Items(index));
}

int TfrxArray::IndexOf(const Variant& key) const {
    const String name = VarToStr(key);
    for (int i = 0; i < Count(); ++i)
        if (AnsiSameText(Items(i)->Name(), name))
            return i;
    return -1;
}

Variant TfrxArray::GetVariable(const Variant& key) const {
    const int i = IndexOf(key);
    return i < 0 ? Null() : Items(i)->Value();
}

void TfrxArray::SetVariable(const Variant& key, const Variant& value) {
    const int i = IndexOf(key);
    TfrxVariable* v = i < 0 ? static_cast<TfrxVariable*>(Add()) : Items(i);
    if (i < 0)
        v->SetName(VarToStr(key));
    v->SetValue(value);
}

} // namespace vgl
