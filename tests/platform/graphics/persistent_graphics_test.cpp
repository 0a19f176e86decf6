// Fonts, pens, brushes, pictures and graphics as reflected persistent classes.
#include <gtest/gtest.h>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/brush.h"
#include "platform/graphics/font.h"
#include "platform/graphics/graphic.h"
#include "platform/graphics/jpeg_image.h"
#include "platform/graphics/metafile.h"
#include "platform/graphics/pen.h"
#include "platform/graphics/png_image.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection.h"
#include "platform/rtl/variant.h"

namespace vgl {
namespace {

std::vector<String> PropertyNames(TClass cls) {
    std::vector<String> names;
    for (const PropInfo* p : cls->Properties())
        names.push_back(p->Name);
    return names;
}

TEST(GraphicsClasses, TablesNameTheClassesAndTheirAncestry) {
    struct Case {
        std::unique_ptr<TObject> Object;
        TClass Class;
        const char16_t* Name;
        TClass Parent;
    };
    Case cases[] = {
        {std::make_unique<TFont>(), &TFont::StaticClassInfo(), u"TFont", &TPersistent::StaticClassInfo()},
        {std::make_unique<TPen>(), &TPen::StaticClassInfo(), u"TPen", &TPersistent::StaticClassInfo()},
        {std::make_unique<TBrush>(), &TBrush::StaticClassInfo(), u"TBrush", &TPersistent::StaticClassInfo()},
        {std::make_unique<TPicture>(), &TPicture::StaticClassInfo(), u"TPicture", &TPersistent::StaticClassInfo()},
        {std::make_unique<TBitmap>(), &TBitmap::StaticClassInfo(), u"TBitmap", &TGraphic::StaticClassInfo()},
        {std::make_unique<TPngImage>(), &TPngImage::StaticClassInfo(), u"TPngImage", &TGraphic::StaticClassInfo()},
        {std::make_unique<TJPEGImage>(), &TJPEGImage::StaticClassInfo(), u"TJPEGImage", &TGraphic::StaticClassInfo()},
        {std::make_unique<TMetafile>(), &TMetafile::StaticClassInfo(), u"TMetafile", &TGraphic::StaticClassInfo()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.Object->ClassType(), c.Class);
        EXPECT_EQ(c.Object->ClassName(), c.Name);
        EXPECT_EQ(c.Class->Parent(), c.Parent) << StringToUtf8(c.Name);
        EXPECT_TRUE(c.Object->InheritsFrom(&TPersistent::StaticClassInfo()));
        // The factory makes an instance of the class itself.
        std::unique_ptr<TObject> made = c.Class->Create();
        EXPECT_EQ(made->ClassType(), c.Class);
    }
    EXPECT_EQ(TGraphic::StaticClassInfo().Parent(), &TPersistent::StaticClassInfo());
    EXPECT_FALSE(TGraphic::StaticClassInfo().CanCreate()) << "abstract";
    // "Equals or descends from", as a picture-format registry asks it.
    EXPECT_TRUE(TPngImage().InheritsFrom(&TGraphic::StaticClassInfo()));
    EXPECT_FALSE(TPngImage().InheritsFrom(&TBitmap::StaticClassInfo()));
    EXPECT_FALSE(TBitmap::StaticClassInfo().InheritsFrom(&TMetafile::StaticClassInfo()));
}

TEST(GraphicsClasses, PublishedPropertiesWithTheirTypesDefaultsAndStoredRules) {
    EXPECT_EQ(PropertyNames(&TFont::StaticClassInfo()),
              (std::vector<String>{u"Charset", u"Color", u"Height", u"Name", u"Orientation", u"Size", u"Style"}));
    EXPECT_EQ(PropertyNames(&TPen::StaticClassInfo()), (std::vector<String>{u"Color", u"Style", u"Width"}));
    EXPECT_EQ(PropertyNames(&TBrush::StaticClassInfo()), (std::vector<String>{u"Color", u"Style"}));

    TFont font;
    const PropInfo* style = GetPropInfo(font, u"Style");
    EXPECT_EQ(style->Kind(), tkSet);
    EXPECT_EQ(style->PropType->Name, u"TFontStyles");
    EXPECT_EQ(GetPropInfo(font, u"Color")->PropType->Name, u"TColor");
    EXPECT_EQ(GetPropInfo(font, u"Charset")->PropType->Name, u"TFontCharset");
    EXPECT_FALSE(IsStoredProp(font, *GetPropInfo(font, u"Size"))) << "Height carries the size";
    EXPECT_TRUE(IsStoredProp(font, *style));

    SetSetProp(font, u"Style", u"[fsBold,fsStrikeOut]");
    EXPECT_EQ(font.GetStyle(), (TFontStyles{fsBold, fsStrikeOut}));
    EXPECT_EQ(GetOrdProp(font, u"Style"), 1 + 8) << "bold 1, italic 2, underline 4, strike-out 8";
    SetOrdProp(font, u"Size", 12);
    EXPECT_EQ(font.GetHeight(), -16);
    EXPECT_THROW(SetSetProp(font, u"Style", u"fsWide"), EPropertyError);

    TPen pen;
    for (const char16_t* name : {u"Color", u"Style", u"Width"})
        EXPECT_TRUE(IsDefaultPropValue(pen, *GetPropInfo(pen, name))) << StringToUtf8(name);
    SetEnumProp(pen, u"Style", u"psDot");
    EXPECT_EQ(pen.GetStyle(), psDot);
    TBrush brush;
    brush.SetStyle(bsClear);
    SetPropValue(brush, u"Color", Variant(int(clRed)));
    EXPECT_EQ(brush.GetStyle(), bsSolid) << "a colour makes a clear brush solid";
    EXPECT_EQ(GetEnumProp(brush, u"Style"), u"bsSolid");
}

TEST(GraphicsClasses, AssignThroughThePersistentBase) {
    TFont a, b;
    b.SetName(u"Arial Narrow");
    b.SetStyle({fsItalic});
    b.SetColor(clNavy);
    int changes = 0;
    a.OnChange = [&](TObject*) { ++changes; };
    const TPersistent* source = &b;
    a.Assign(source);
    EXPECT_EQ(a.Data(), b.Data());
    EXPECT_EQ(changes, 1) << "one notification for the whole copy";
    a.Assign(source);
    EXPECT_EQ(changes, 1) << "nothing differs";

    TPen pen;
    pen.SetWidth(3);
    TPen penCopy;
    penCopy.Assign(static_cast<const TPersistent*>(&pen));
    EXPECT_EQ(penCopy.GetWidth(), 3);
    TBrush brush;
    brush.SetStyle(bsCross);
    TBrush brushCopy;
    brushCopy.Assign(static_cast<const TPersistent*>(&brush));
    EXPECT_EQ(brushCopy.GetStyle(), bsCross);

    struct Failure {
        TPersistent* Target;
        const TPersistent* Source;
        const char* Message;
    } failures[] = {{&a, &pen, "Cannot assign a TPen to a TFont."},
                    {&pen, &brush, "Cannot assign a TBrush to a TPen."},
                    {&brush, nullptr, "Cannot assign a nil to a TBrush."}};
    for (const Failure& f : failures) {
        try {
            f.Target->Assign(f.Source);
            ADD_FAILURE() << f.Message;
        } catch (const EConvertError& e) {
            EXPECT_STREQ(e.what(), f.Message);
        }
    }
}

TEST(GraphicsClasses, PicturesAndGraphicsAssignThroughThePersistentBase) {
    TBitmap bitmap(4, 3);
    bitmap.SetPixel(1, 1, clRed);
    TPicture picture;
    picture.Assign(static_cast<const TPersistent*>(&bitmap));
    ASSERT_NE(picture.GetGraphic(), nullptr);
    EXPECT_EQ(picture.GetGraphic()->ClassType(), &TBitmap::StaticClassInfo());
    EXPECT_NE(picture.GetGraphic(), &bitmap) << "a copy";

    TPicture copy;
    copy.Assign(static_cast<const TPersistent*>(&picture));
    EXPECT_EQ(copy.GetWidth(), 4);
    copy.Assign(static_cast<const TPersistent*>(nullptr));
    EXPECT_EQ(copy.GetGraphic(), nullptr) << "none empties the picture";

    // A graphic takes another graphic through the base's pointer, converting where it can.
    TPngImage png;
    png.Assign(static_cast<const TPersistent*>(&bitmap));
    EXPECT_EQ(png.GetPixelColor(1, 1), clRed);
    TBitmap back;
    back.Assign(static_cast<const TPersistent*>(&png));
    EXPECT_EQ(back.GetPixel(1, 1), clRed);
    TFont font;
    try {
        back.Assign(static_cast<const TPersistent*>(&font));
        ADD_FAILURE() << "a font was assigned to a bitmap";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TFont to a TBitmap.");
    }
    EXPECT_THROW(TMetafile().Assign(static_cast<const TPersistent*>(&picture)), EConvertError);
}

} // namespace
} // namespace vgl
