#include "report/foundation/vector_canvas.h"

#include <gtest/gtest.h>

#include "platform/graphics/font_registry.h"
#include "platform/graphics/metafile.h"
#include "report/foundation/draw_text.h"

namespace vgl {
namespace {

TEST(VectorCanvasTest, RecordsKeepTheCallAndItsAdvances) {
    TVectorCanvas vc;
    const int dx[] = {7, 7, 8};
    vc.ExtTextOutA(1, 2, ETO_CLIPPED, Rect(0, 0, 50, 20), "abc", dx);
    vc.ExtTextOutA(1, 2, 0, Rect(0, 0, 50, 20), "abc");
    vc.ExtTextOutA(0, 0, 0, Rect(0, 0, 1, 1), "\x80\xE9"); // Windows-1252: euro sign, e acute
    ASSERT_EQ(vc.Count(), 3);
    auto& first = dynamic_cast<const TVector_ExtTextOut&>(vc.Items(0));
    EXPECT_EQ(first.Str(), u"abc");
    EXPECT_EQ(first.TextLength(), 22);
    EXPECT_EQ(first.Options(), ETO_CLIPPED);
    EXPECT_EQ(dynamic_cast<const TVector_ExtTextOut&>(vc.Items(1)).TextLength(), 0);
    EXPECT_TRUE(dynamic_cast<const TVector_ExtTextOut&>(vc.Items(1)).Dx().empty());
    EXPECT_EQ(dynamic_cast<const TVector_ExtTextOut&>(vc.Items(2)).Str(), u"\u20AC\u00E9");
    EXPECT_TRUE(IsExtTextOutRecord(&vc.Items(0)));
    TObject other;
    EXPECT_FALSE(IsExtTextOutRecord(&other));
    EXPECT_FALSE(IsExtTextOutRecord(nullptr));
    EXPECT_THROW(vc.Items(3), EListError);
    // Advances shorter than the text are padded with 0 and never read past their end.
    const int one[] = {5};
    vc.ExtTextOutW(0, 0, 0, Rect(0, 0, 1, 1), u"xy", one);
    EXPECT_EQ(dynamic_cast<const TVector_ExtTextOut&>(vc.Items(3)).Dx(), (TCharacterDistance{5, 0}));
}

TEST(VectorCanvasTest, AsStringHasFiveLines) {
    TVectorCanvas vc;
    const int dx[] = {5, 6};
    vc.ExtTextOutW(10, 20, 4, Rect(1, 2, 3, 4), u"ab", dx);
    EXPECT_EQ(dynamic_cast<const TVector_ExtTextOut&>(vc.Items(0)).AsString(),
              u"ExtTextOutW\r\n  X, Y, Options: 10, 20, 4\r\n  Rect: 1 2 3 4\r\n  Text: ab\r\n  Dx: 5 6");
    vc.ExtTextOutA(0, 0, 0, Rect(0, 0, 0, 0), "");
    EXPECT_EQ(dynamic_cast<const TVector_ExtTextOut&>(vc.Items(1)).AsString(),
              u"ExtTextOutW\r\n  X, Y, Options: 0, 0, 0\r\n  Rect: 0 0 0 0\r\n  Text: \r\n  Dx:");
}

// A memo drawn with the recorder set: one W record per style run, the advances summing to the
// drawn width; nothing without Wysiwyg.
TEST(VectorCanvasTest, DrawTextRecordsEveryRunDrawn) {
    RegisterLabelFonts();
    for (bool wysiwyg : {true, false}) {
        TfrxDrawText d;
        TfrxDrawTextLock lock{d};
        TFont font;
        font.SetName(u"Arial Narrow");
        font.SetSize(10);
        d.SetFont(font);
        d.SetOptions(true, true, false, false, true, wysiwyg, 0);
        d.SetGaps(0, 0, 0);
        TRect r = Rect(10, 20, 210, 120);
        d.SetDimensions(1, 1, 1, r, r);
        TfrxWideStrings text;
        text.Add(u"ab<b>cd</b>ef");
        d.SetText(text, false);
        TVectorCanvas vc;
        d.SetVC(&vc);
        TMetafile mf;
        TMetafileCanvas canvas(mf);
        d.DrawText(canvas, haLeft, vaTop, ulmNone, -1);
        d.SetVC(nullptr);
        std::vector<const TMetafileRecord*> drawn;
        for (const TMetafileRecord& rec : mf.Records())
            if (rec.Kind == mrExtTextOut)
                drawn.push_back(&rec);
        if (!wysiwyg) {
            EXPECT_EQ(vc.Count(), 0);
            continue;
        }
        ASSERT_EQ(drawn.size(), 3u);
        ASSERT_EQ(vc.Count(), 3);
        for (int i = 0; i < 3; ++i) {
            auto& rec = dynamic_cast<const TVector_ExtTextOutW&>(vc.Items(i));
            const TMetafileRecord& m = *drawn[size_t(i)];
            EXPECT_EQ(rec.Str(), m.Text);
            EXPECT_EQ(rec.X(), m.A);
            EXPECT_EQ(rec.Y(), m.B);
            std::int64_t width = 0;
            for (int a : m.Dx)
                width += a;
            EXPECT_EQ(rec.TextLength(), width);
            if (i + 1 < 3) {
                EXPECT_EQ(rec.X() + rec.TextLength(), dynamic_cast<const TVector_ExtTextOut&>(vc.Items(i + 1)).X());
            }
        }
        EXPECT_EQ(dynamic_cast<const TVector_ExtTextOut&>(vc.Items(1)).Str(), u"cd");
    }
}

} // namespace
} // namespace vgl
