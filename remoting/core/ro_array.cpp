#include "remoting/core/ro_array.h"

#include "platform/rtl/format.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/reflection_visitor.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_binary_memory_stream.h"
#include "remoting/core/ro_serializer.h"
#include "remoting/core/xml_interfaces.h"

namespace vgl {

VGL_DEFINE_CLASS(TROArray) {}

namespace {

[[noreturn]] void RaiseAbstract() {
    throw EAbstractError(u"Abstract Error");
}

} // namespace

int TROArray::GetCount() const {
    RaiseAbstract();
}

void TROArray::ResizeInternal(int, bool) {
    RaiseAbstract();
}

const TypeInfo& TROArray::GetItemType() const {
    throw EROAbstractMethodCalled(u"Abstract method called: TROArray.GetItemType.");
}

int TROArray::GetItemSize() const {
    throw EROAbstractMethodCalled(u"Abstract method called: TROArray.GetItemSize.");
}

const void* TROArray::GetItemRef(int) const {
    RaiseAbstract();
}

void TROArray::SetItemRef(int, std::unique_ptr<TObject>) {}

void TROArray::Delete(int) {
    RaiseAbstract();
}

void TROArray::Clear() {
    RaiseAbstract();
}

void TROArray::GetItemValue(int, TROValue&) const {}

void TROArray::SetItemValue(int, TROValue&) {}

int TROArray::GetIndex(StringView aPropertyName, const Variant& aPropertyValue, int StartFrom,
                       TROSearchOptions Options) const {
    int count = GetCount();
    for (int i = StartFrom < 0 ? 0 : StartFrom; i < count; ++i) {
        auto* item = static_cast<const TObject*>(GetItemRef(i));
        if (!item)
            continue;
        Variant value = GetPropValue(*item, aPropertyName, false);
        bool same = Options.Contains(soIgnoreCase) ? AnsiSameText(VarToStr(value), VarToStr(aPropertyValue))
                                                   : value == aPropertyValue;
        if (same)
            return i;
    }
    return -1;
}

TObject* TROArray::Search(StringView aPropertyName, const Variant& aPropertyValue, int StartFrom,
                          TROSearchOptions Options) const {
    int index = GetIndex(aPropertyName, aPropertyValue, StartFrom, Options);
    return index < 0 ? nullptr : const_cast<TObject*>(static_cast<const TObject*>(GetItemRef(index)));
}

void TROArray::Assign(const TPersistent* Source) {
    if (!Source)
        return TROComplexType::Assign(Source);
    if (InheritsFrom(Source->ClassType()) || Source->InheritsFrom(ClassType()))
        return; // the typed array copies
    TPersistent::Assign(Source);
}

void TROArray::ReadComplex(TROSerializer& ASerializer) {
    const TypeInfo& itemType = GetItemType();
    bool objects = GetItemClass() != nullptr;
    for (int i = 0; i < GetCount(); ++i) {
        String name = ASerializer.GetArrayElementName(itemType, GetItemRef(i));
        TROValue value;
        if (objects) {
            ASerializer.Read(name, itemType, value, i);
            SetItemRef(i, value.ReleaseObject());
        } else {
            GetItemValue(i, value);
            ASerializer.Read(name, itemType, value, i);
            SetItemValue(i, value);
        }
    }
}

void TROArray::WriteComplex(TROSerializer& ASerializer) {
    const TypeInfo& itemType = GetItemType();
    bool objects = GetItemClass() != nullptr;
    for (int i = 0; i < GetCount(); ++i) {
        const void* ref = GetItemRef(i);
        String name = ASerializer.GetArrayElementName(itemType, ref);
        TROValue value;
        if (objects)
            value.Object = const_cast<TObject*>(static_cast<const TObject*>(ref));
        else
            GetItemValue(i, value);
        ASerializer.Write(name, itemType, value, i);
    }
}

} // namespace vgl

namespace vgl {

std::unique_ptr<TStringList> TROArray::DumpToStrings() const {
    const TypeInfo& itemType = GetItemType();
    auto list = std::make_unique<TStringList>();
    list->Add(Format(u"%s:%s", {ClassName(), itemType.Name}));
    namespace k = valuekind;
    for (int i = 0; i < GetCount(); ++i) {
        TROValue value;
        VisitValue(itemType, ValueVisitor{
                                 [&](k::Integer) {
                                     GetItemValue(i, value);
                                     list->Add(Format(u"  item%d=%d", {i + 1, value.Ord}));
                                 },
                                 [&](k::Float) {
                                     GetItemValue(i, value);
                                     list->Add(Format(u"  item%d=%f", {i + 1, double(value.Float)}));
                                 },
                                 [&](k::UnicodeText) {
                                     GetItemValue(i, value);
                                     list->Add(Format(u"  item%d=%s", {i + 1, value.Text}));
                                 },
                                 [&](k::AnsiText) {
                                     GetItemValue(i, value);
                                     list->Add(Format(u"  item%d=%s",
                                                      {i + 1, itemType.CodePage == 65001 ? Utf8ToString(value.Ansi)
                                                                                         : AnsiToString(value.Ansi)}));
                                 },
                                 [&](k::Object) {
                                     auto* obj = static_cast<const TObject*>(GetItemRef(i));
                                     if (!obj)
                                         return;
                                     const char16_t* kind =
                                         dynamic_cast<const TROArray*>(obj)                ? u"  item%d=array1"
                                         : dynamic_cast<const TROComplexType*>(obj)        ? u"  item%d=structure1"
                                         : dynamic_cast<const TROBinaryMemoryStream*>(obj) ? u"  item%d=binary1"
                                                                                           : nullptr;
                                     if (!kind)
                                         return;
                                     list->Add(Format(kind, {i}));
                                     DumpObject(*list, *obj);
                                 },
                                 [](k::AnyValue) {}, // enumerations, Int64, variants and characters give no line
                             });
    }
    return list;
}

void TROArray::DumpToXml(const std::shared_ptr<IXMLNode>& Node) const {
    const TypeInfo& itemType = GetItemType();
    namespace k = valuekind;
    IXMLNodePtr array = Node->Add(u"array");
    array->AddAttribute(u"name", Variant(ClassName()));
    array->AddAttribute(u"type", Variant(itemType.Name));
    for (int i = 0; i < GetCount(); ++i) {
        IXMLNodePtr item = array->Add(u"item");
        item->AddAttribute(u"id", Variant(i + 1));
        TROValue value;
        VisitValue(itemType, ValueVisitor{
                                 [&](k::Integer) {
                                     GetItemValue(i, value);
                                     item->SetValue(Variant(IntToStr(value.Ord)));
                                 },
                                 [&](k::Float) {
                                     GetItemValue(i, value);
                                     item->SetValue(Variant(Format(u"%f", {double(value.Float)})));
                                 },
                                 [&](k::UnicodeText) {
                                     GetItemValue(i, value);
                                     item->SetValue(Variant(value.Text));
                                 },
                                 [&](k::AnsiText) {
                                     GetItemValue(i, value);
                                     item->SetValue(Variant(itemType.Name == u"UTF8String" ? Utf8ToString(value.Ansi)
                                                                                           : AnsiToString(value.Ansi)));
                                 },
                                 [&](k::VariantValue) {
                                     GetItemValue(i, value);
                                     item->SetValue(Variant(VarToStr(value.Var)));
                                 },
                                 [&](k::Object) {
                                     if (auto* obj = static_cast<const TObject*>(GetItemRef(i)))
                                         DumpObjectToXml(item, *obj);
                                 },
                                 [](k::AnyValue) {},
                             });
    }
}

} // namespace vgl
