#pragma once
// Named styles of a report: a font, a fill and a frame that memos take by naming the style in
// their Style property, each part applied only when its Apply flag is set. A report keeps one
// collection of them (TfrxReport::Styles), stored with the template; a collection can also be
// kept on its own as a style sheet: an XML document with the root "style" (attribute "Name") and
// one child "item" per style.

#include <memory>

#include "platform/graphics/color.h"
#include "platform/graphics/font.h"
#include "platform/rtl/ustring.h"
#include "report/foundation/report_collections.h"
#include "report/model/fills.h"

namespace vgl {

class TStream;
class TStrings;
class TfrxReport;
class TfrxStyles;
class TfrxXMLItem;

class TfrxStyleItem : public TfrxCollectionItem {
    VGL_CLASS(TfrxStyleItem, TfrxCollectionItem)
    /// Font "Arial", size 10, DEFAULT_CHARSET at 96 pixels per inch; an empty frame; a brush
    /// fill; the three Apply flags True.
    explicit TfrxStyleItem(TCollection* collection);
    ~TfrxStyleItem() override;

    const String& Name() const { return FName; }
    /// Raises Exception with the resource text "clDupName" when another style of the same
    /// collection has that name (case-insensitive); the name is then unchanged.
    void SetName(const String& value);
    /// Names the style "Style1", "Style2", ...: the first such name no style of the collection
    /// has.
    void CreateUniqueName();
    /// The brush fill's BackColor, the gradient fill's middle colour, else clNone.
    TColor Color() const;
    /// Changes only a brush fill.
    void SetColor(TColor value);
    TFont* Font() const { return FFont.get(); }
    void SetFont(TFont* value) { FFont->Assign(value); }
    TfrxFrame* Frame() const { return FFrame.get(); }
    void SetFrame(TfrxFrame* value) { FFrame->Assign(value); }
    TfrxCustomFill* Fill() const { return FFill.get(); }
    /// Takes the kind of `value`, then its values (none is ignored).
    void SetFill(TfrxCustomFill* value);
    TfrxFillType FillType() const { return FillKindOf(FFill.get()); }
    /// A different kind replaces the fill by a new default one of that kind.
    void SetFillType(TfrxFillType value);
    bool ApplyFont() const { return FApplyFont; }
    void SetApplyFont(bool value) { FApplyFont = value; }
    bool ApplyFill() const { return FApplyFill; }
    void SetApplyFill(bool value) { FApplyFill = value; }
    bool ApplyFrame() const { return FApplyFrame; }
    void SetApplyFrame(bool value) { FApplyFrame = value; }

    /// From another style: name (through SetName), fill kind and fill, font, frame, the Apply
    /// flags and the inherited mark. Other sources: the base rule.
    void Assign(const TPersistent* source) override;
    /// The name, or the base rule's name for a style without one.
    String GetInheritedName() const override;

private:
    String FName;
    std::unique_ptr<TFont> FFont;
    std::unique_ptr<TfrxFrame> FFrame;
    std::unique_ptr<TfrxCustomFill> FFill;
    bool FApplyFont = true;
    bool FApplyFill = true;
    bool FApplyFrame = true;
};

class TfrxStyles : public TfrxCollection {
    VGL_CLASS(TfrxStyles, TfrxCollection)
    /// The styles of `report` (none: a style sheet of its own).
    explicit TfrxStyles(TfrxReport* report = nullptr);

    TfrxReport* Report() const { return FReport; }
    const String& Name() const { return FName; }
    void SetName(const String& value) { FName = value; }
    /// A new style at the end, with an empty name and the defaults.
    TfrxStyleItem* Add();
    /// EListError outside 0..Count-1.
    TfrxStyleItem* Items(int index) const;
    /// The first style whose name equals `name` (case-insensitive), or none.
    TfrxStyleItem* Find(const String& name) const;
    /// Empties `list` and fills it with the style names in order.
    void GetList(TStrings& list) const;

    /// Empties the collection, takes the item's "Name" attribute and reads every child named
    /// "item" (case-insensitive) as a new style (in the old attribute format when asked); then
    /// Apply. Problems of the attributes are dropped as the serializer drops them.
    void LoadFromXMLItem(TfrxXMLItem& item, bool oldXMLFormat = false);
    /// Names the item "style", sets its "Name" and adds one child "item" per style.
    void SaveToXMLItem(TfrxXMLItem& item) const;
    /// Empties the collection and reads an XML document; only a root named "style"
    /// (case-insensitive) is loaded. Raises the XML reader's exception for text that is no XML.
    void LoadFromStream(TStream& stream);
    /// Writes an indented XML document with the root "style".
    void SaveToStream(TStream& stream) const;
    void LoadFromFile(const String& fileName);
    void SaveToFile(const String& fileName) const;
    /// Every memo of the report whose Style names one of these styles has it set again (which
    /// applies the style); every other memo's Style is emptied. Nothing without a report.
    void Apply();

private:
    TfrxReport* FReport;
    String FName;
};

} // namespace vgl
