#include "script/bindings/graphics_bindings.h"

#include "platform/graphics/bitmap.h"
#include "platform/graphics/brush.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/font.h"
#include "platform/graphics/graphic.h"
#include "platform/graphics/metafile.h"
#include "platform/graphics/pen.h"

namespace vgl::fs_graphics {

namespace {

template <class T> TClass Cls() {
    return &T::StaticClassInfo();
}

} // namespace

TColor ScriptColor(TColor color) {
    if (color & clSystemColor)
        return TColor(0xFF000000u | (std::uint32_t(color) & 0xFFu));
    return color;
}

TFunctions::TFunctions(TfsScript* script) : TfsPendingModule(script) {
    TfsScript& s = *script;
    const auto method = Method();
    const auto getter = Getter();
    const auto setter = Setter();

    // One constant per name of the platform's colour table, in its order.
    GetColorValues([&s](const String& name) {
        if (const std::optional<TColor> color = IdentToColor(name))
            s.AddConst(name, u"Integer", ScriptColor(*color));
    });

    s.AddEnumSet(u"TFontStyles", u"fsBold, fsItalic, fsUnderline, fsStrikeout");
    s.AddEnum(u"TFontPitch", u"fpDefault, fpVariable, fpFixed");
    s.AddEnum(u"TPenStyle", u"psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame");
    s.AddEnum(u"TPenMode", u"pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot, "
                           u"pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor");
    s.AddEnum(u"TBrushStyle", u"bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, "
                              u"bsDiagCross");

    if (auto* c = s.AddClass(Cls<TFont>(), u"TPersistent"))
        c->AddConstructor(u"constructor Create", method);
    if (auto* c = s.AddClass(Cls<TPen>(), u"TPersistent"))
        c->AddConstructor(u"constructor Create", method);
    if (auto* c = s.AddClass(Cls<TBrush>(), u"TPersistent"))
        c->AddConstructor(u"constructor Create", method);
    if (auto* c = s.AddClass(Cls<TCanvas>(), u"TPersistent")) {
        c->AddConstructor(u"constructor Create", method);
        c->AddMethod(u"procedure Draw(X, Y: Integer; Graphic: TGraphic)", method);
        c->AddMethod(u"procedure Ellipse(X1, Y1, X2, Y2: Integer)", method);
        c->AddMethod(u"procedure LineTo(X, Y: Integer)", method);
        c->AddMethod(u"procedure MoveTo(X, Y: Integer)", method);
        c->AddMethod(u"procedure Rectangle(X1, Y1, X2, Y2: Integer)", method);
        c->AddMethod(u"procedure RoundRect(X1, Y1, X2, Y2, X3, Y3: Integer)", method);
        c->AddMethod(u"procedure StretchDraw(X1, Y1, X2, Y2: Integer; Graphic: TGraphic)", method);
        c->AddMethod(u"function TextHeight(const Text: string): Integer", method);
        c->AddMethod(u"procedure TextOut(X, Y: Integer; const Text: string)", method);
        c->AddMethod(u"function TextWidth(const Text: string): Integer", method);
        c->AddIndexProperty(u"Pixels", u"Integer, Integer", u"TColor", method);
    }
    if (auto* c = s.AddClass(Cls<TGraphic>(), u"TPersistent")) {
        c->AddConstructor(u"constructor Create", method);
        c->AddMethod(u"procedure LoadFromFile(const Filename: string)", method);
        c->AddMethod(u"procedure SaveToFile(const Filename: string)", method);
        c->AddProperty(u"Height", u"Integer", getter, setter);
        c->AddProperty(u"Width", u"Integer", getter, setter);
    }
    if (auto* c = s.AddClass(Cls<TPicture>(), u"TPersistent")) {
        c->AddMethod(u"procedure LoadFromFile(const Filename: string)", method);
        c->AddMethod(u"procedure SaveToFile(const Filename: string)", method);
        c->AddProperty(u"Height", u"Integer", getter);
        c->AddProperty(u"Width", u"Integer", getter);
    }
    s.AddClass(Cls<TMetafile>(), u"TGraphic");
    if (auto* c = s.AddClass(Cls<TMetafileCanvas>(), u"TCanvas"))
        c->AddConstructor(u"constructor Create(AMetafile: TMetafile; ReferenceDevice: Integer)", method);
    if (auto* c = s.AddClass(Cls<TBitmap>(), u"TGraphic"))
        c->AddProperty(u"Canvas", u"TCanvas", getter);
}

std::unique_ptr<TfsRTTIModule> Make(TfsScript* script) {
    return std::make_unique<TFunctions>(script);
}

} // namespace vgl::fs_graphics
