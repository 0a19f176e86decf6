#include "report/model/styles.h"

#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/resource_strings.h"
#include "report/foundation/xml_document.h"
#include "report/foundation/xml_item.h"
#include "report/foundation/xml_serializer.h"
#include "report/model/memo_view.h"
#include "report/model/report.h"

namespace vgl {

VGL_DEFINE_CLASS(TfrxStyleItem) {
    b.Property(u"Name", &TfrxStyleItem::Name, &TfrxStyleItem::SetName);
    b.Property(u"Color", &TfrxStyleItem::Color, &TfrxStyleItem::SetColor).Type(ColorTypeInfo());
    b.Property(u"Font", &TfrxStyleItem::Font, &TfrxStyleItem::SetFont);
    b.Property(u"Frame", &TfrxStyleItem::Frame, &TfrxStyleItem::SetFrame);
    b.Property(u"ApplyFont", &TfrxStyleItem::ApplyFont, &TfrxStyleItem::SetApplyFont).Default(true);
    b.Property(u"ApplyFill", &TfrxStyleItem::ApplyFill, &TfrxStyleItem::SetApplyFill).Default(true);
    b.Property(u"ApplyFrame", &TfrxStyleItem::ApplyFrame, &TfrxStyleItem::SetApplyFrame).Default(true);
    b.Property(u"FillType", &TfrxStyleItem::FillType, &TfrxStyleItem::SetFillType).Default(ftBrush);
    b.Property(u"Fill", &TfrxStyleItem::Fill, &TfrxStyleItem::SetFill);
}

VGL_DEFINE_CLASS(TfrxStyles) {}

// ---- TfrxStyleItem ----------------------------------------------------------------------------

TfrxStyleItem::TfrxStyleItem(TCollection* collection)
    : TfrxCollectionItem(collection), FFont(std::make_unique<TFont>()), FFrame(std::make_unique<TfrxFrame>()),
      FFill(std::make_unique<TfrxBrushFill>()) {
    FFont->SetName(u"Arial");
    FFont->SetPixelsPerInch(96);
    FFont->SetSize(10);
    FFont->SetCharset(DEFAULT_CHARSET);
}

TfrxStyleItem::~TfrxStyleItem() = default;

void TfrxStyleItem::SetName(const String& value) {
    if (const TCollection* styles = Collection())
        for (int i = 0; i < styles->Count(); ++i) {
            const auto* other = static_cast<const TfrxStyleItem*>(styles->Items(i));
            if (other != this && AnsiSameText(other->FName, value))
                throw Exception(frxResourcesInstance().Get(u"clDupName"));
        }
    FName = value;
}

void TfrxStyleItem::CreateUniqueName() {
    const auto* styles = dynamic_cast<const TfrxStyles*>(Collection());
    for (int i = 1;; ++i) {
        const String name = u"Style" + IntToStr(i);
        const TfrxStyleItem* found = styles ? styles->Find(name) : nullptr;
        if (!found || found == this) {
            SetName(name);
            return;
        }
    }
}

TColor TfrxStyleItem::Color() const {
    if (const auto* brush = dynamic_cast<const TfrxBrushFill*>(FFill.get()))
        return brush->BackColor();
    if (const auto* gradient = dynamic_cast<const TfrxGradientFill*>(FFill.get()))
        return gradient->GetColor();
    return clNone;
}

void TfrxStyleItem::SetColor(TColor value) {
    if (auto* brush = dynamic_cast<TfrxBrushFill*>(FFill.get()))
        brush->SetBackColor(value);
}

void TfrxStyleItem::SetFill(TfrxCustomFill* value) {
    if (!value)
        return;
    SetFillType(FillKindOf(value));
    FFill->Assign(value);
}

void TfrxStyleItem::SetFillType(TfrxFillType value) {
    if (FillType() != value)
        if (auto fill = NewFillOfKind(value))
            FFill = std::move(fill);
}

void TfrxStyleItem::Assign(const TPersistent* source) {
    const auto* s = dynamic_cast<const TfrxStyleItem*>(source);
    if (!s) {
        TfrxCollectionItem::Assign(source);
        return;
    }
    SetName(s->FName);
    SetFill(s->FFill.get());
    FFont->Assign(s->FFont.get());
    FFrame->Assign(s->FFrame.get());
    FApplyFont = s->FApplyFont;
    FApplyFill = s->FApplyFill;
    FApplyFrame = s->FApplyFrame;
    FIsInherited = s->FIsInherited;
}

String TfrxStyleItem::GetInheritedName() const {
    return FName.empty() ? TfrxCollectionItem::GetInheritedName() : FName;
}

// ---- TfrxStyles -------------------------------------------------------------------------------

TfrxStyles::TfrxStyles(TfrxReport* report) : TfrxCollection(&TfrxStyleItem::StaticClassInfo()), FReport(report) {}

TfrxStyleItem* TfrxStyles::Add() {
    return static_cast<TfrxStyleItem*>(TCollection::Add());
}

TfrxStyleItem* TfrxStyles::Items(int index) const {
    return static_cast<TfrxStyleItem*>(TCollection::Items(index));
}

TfrxStyleItem* TfrxStyles::Find(const String& name) const {
    for (int i = 0; i < Count(); ++i)
        if (AnsiSameText(Items(i)->Name(), name))
            return Items(i);
    return nullptr;
}

void TfrxStyles::GetList(TStrings& list) const {
    list.Clear();
    for (int i = 0; i < Count(); ++i)
        list.Add(Items(i)->Name());
}

void TfrxStyles::LoadFromXMLItem(TfrxXMLItem& item, bool oldXMLFormat) {
    Clear();
    FName = item.Prop(u"Name");
    TfrxXMLSerializer serializer;
    serializer.OldFormat = oldXMLFormat;
    for (int i = 0; i < item.Count(); ++i) {
        TfrxXMLItem& child = *item.Items(i);
        if (SameText(child.Name(), u"item"))
            serializer.XMLToObj(child.Text(), *Add());
    }
    Apply();
}

void TfrxStyles::SaveToXMLItem(TfrxXMLItem& item) const {
    item.SetName(u"style");
    item.SetProp(u"Name", FName);
    TfrxXMLSerializer serializer;
    for (int i = 0; i < Count(); ++i)
        item.Add(u"item")->SetText(serializer.ObjToXML(Items(i)));
}

void TfrxStyles::LoadFromStream(TStream& stream) {
    Clear();
    TfrxXMLDocument document;
    document.LoadFromStream(stream);
    if (SameText(document.Root()->Name(), u"style"))
        LoadFromXMLItem(*document.Root(), document.OldVersion());
}

void TfrxStyles::SaveToStream(TStream& stream) const {
    TfrxXMLDocument document;
    document.AutoIndent = true;
    SaveToXMLItem(*document.Root());
    document.SaveToStream(stream);
}

void TfrxStyles::LoadFromFile(const String& fileName) {
    TFileStream stream(fileName, fmOpenRead);
    LoadFromStream(stream);
}

void TfrxStyles::SaveToFile(const String& fileName) const {
    TFileStream stream(fileName, fmCreate);
    SaveToStream(stream);
}

void TfrxStyles::Apply() {
    if (!FReport)
        return;
    // Setting a memo's Style applies the style of that name; a name no style has any more is
    // emptied.
    for (TfrxComponent* object : std::vector<TfrxComponent*>(FReport->AllObjects()))
        if (auto* memo = dynamic_cast<TfrxCustomMemoView*>(object))
            memo->SetStyle(Find(memo->Style()) ? String(memo->Style()) : String());
}

} // namespace vgl
