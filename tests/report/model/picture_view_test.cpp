#include "report/model/picture_view.h"

#include <gtest/gtest.h>

#include "tests/report/model/model_test_support.h"

#include <fstream>
#include <iterator>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/metafile.h"
#include "platform/graphics/png_image.h"
#include "platform/rtl/streams.h"
#include "report/foundation/initialization.h"
#include "report/foundation/png_jpeg_formats.h"
#include "report/model/data_set.h"
#include "report/model/picture_cache.h"
#include "report/model/report.h"
#include "report/model/report_model_init.h"
#include "report/model/report_page.h"
#include "script/engine/initialization.h"
#include "tests/report/model/service_doubles.h"

namespace vgl {
namespace {

class PictureView : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitializeReportFoundation();
        InitializeReportModel();
    }
    static std::vector<std::uint8_t> Png() {
        std::ifstream in(VGL_TEST_DATA_DIR "/view_fixture_1.png", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static std::int32_t LoadBytes(TfrxPictureView& view, const std::vector<std::uint8_t>& bytes) {
        TMemoryStream stream;
        if (!bytes.empty())
            stream.WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
        return view.LoadPictureFromStream(stream, true);
    }
    static std::vector<std::uint8_t> Prefixed(const std::vector<std::uint8_t>& data, std::uint32_t length) {
        std::vector<std::uint8_t> out = {1,
                                         0,
                                         0,
                                         1,
                                         std::uint8_t(length),
                                         std::uint8_t(length >> 8),
                                         std::uint8_t(length >> 16),
                                         std::uint8_t(length >> 24)};
        out.insert(out.end(), data.begin(), data.end());
        return out;
    }
};

TEST_F(PictureView, DrawFlagsBehindIndexedProperties) {
    TfrxPictureView view(nullptr);
    EXPECT_FALSE(view.AutoSize());
    EXPECT_TRUE(view.KeepAspectRatio());
    EXPECT_TRUE(view.Stretched());
    EXPECT_TRUE(view.DrawProps().Contains(fgdClip));
    EXPECT_EQ(view.TransparentColor(), clWhite);
    view.SetPictureProp(8, true);
    EXPECT_FALSE(view.GetPictureProp(8));
    EXPECT_FALSE(view.GetPictureProp(5 + 100));
    view.SetHightQuality(true);
    EXPECT_TRUE(view.GetPictureProp(7));
}

TEST_F(PictureView, LoadsPlainAndPrefixedStreams) {
    const auto png = Png();
    ASSERT_FALSE(png.empty());
    TfrxPictureView view(nullptr);
    EXPECT_EQ(LoadBytes(view, png), 0);
    EXPECT_EQ(view.GraphicWidth(), 400);
    EXPECT_EQ(view.GraphicHeight(), 100);
    EXPECT_TRUE(view.PictureChanged());

    TfrxPictureView prefixed(nullptr);
    EXPECT_EQ(LoadBytes(prefixed, Prefixed(png, std::uint32_t(png.size()))), 0);
    EXPECT_EQ(prefixed.GraphicWidth(), 400);
    // A wrong length: the whole stream goes to the formats, which know no such data.
    EXPECT_EQ(LoadBytes(prefixed, Prefixed(png, std::uint32_t(png.size() + 1))), E_INVALIDARG_CODE);
    EXPECT_TRUE(prefixed.IsEmpty());
}

TEST_F(PictureView, BadDataClearsThePicture) {
    const auto png = Png();
    std::vector<std::uint8_t> truncated(png.begin(), png.begin() + std::ptrdiff_t(png.size() / 2));
    std::vector<std::uint8_t> damaged = png;
    for (std::size_t i = 40; i < damaged.size(); i += 7)
        damaged[i] ^= 0x5A;
    const std::vector<std::vector<std::uint8_t>> cases = {
        {}, {1, 2, 3}, {'B', 'M', 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0, 54, 0, 0, 0}, truncated, damaged};
    for (const auto& bytes : cases) {
        TfrxPictureView view(nullptr);
        ASSERT_EQ(LoadBytes(view, png), 0);
        EXPECT_EQ(LoadBytes(view, bytes), E_INVALIDARG_CODE) << bytes.size();
        EXPECT_TRUE(view.IsEmpty());
        EXPECT_EQ(view.GetGraphic(), nullptr);
    }
}

TEST_F(PictureView, AutoSizeTakesThePictureSize) {
    TfrxPictureView view(nullptr);
    view.SetBounds(0, 0, 10, 10);
    view.SetAutoSize(true);
    EXPECT_EQ(view.Width(), 10); // no picture: nothing changes
    view.SetAutoSize(false);
    ASSERT_EQ(LoadBytes(view, Png()), 0);
    view.SetAutoSize(true);
    EXPECT_EQ(view.Width(), 400);
    EXPECT_EQ(view.Height(), 100);
}

TEST_F(PictureView, DiffAlwaysWritesTheImageIndex) {
    TfrxPictureView a(nullptr), b(nullptr);
    String diff = a.Diff(&b);
    EXPECT_NE(diff.find(u" ImageIndex=\"0\""), String::npos);
    EXPECT_EQ(diff.find(u"TransparentColor"), String::npos);
    a.SetTransparent(true);
    a.SetTransparentColor(clRed);
    diff = a.Diff(&b);
    EXPECT_NE(diff.find(u" Transparent=\"1\""), String::npos);
    EXPECT_NE(diff.find(u" TransparentColor=\"255\""), String::npos);
}

TEST_F(PictureView, TemplateWithPicturesSavesLoadsAndSavesIdentically) {
    TfrxReportPage page(nullptr);
    page.SetName(u"Page1");
    auto* logo = new TfrxPictureView(&page);
    logo->SetParent(&page);
    logo->SetName(u"Picture1");
    ASSERT_EQ(LoadBytes(*logo, Png()), 0);
    auto* big = new TfrxPictureView(&page);
    big->SetParent(&page);
    big->SetName(u"picAztec");
    big->SetCenter(true);
    TBitmap square(600, 600);
    TCanvas canvas(&square);
    canvas.Brush().SetData({clWhite, bsSolid});
    canvas.FillRect(Rect(0, 0, 600, 600));
    canvas.Brush().SetData({clBlack, bsSolid});
    for (int i = 0; i < 600; i += 40)
        canvas.FillRect(Rect(i, i, i + 20, i + 20));
    big->Picture()->SetGraphic(&square);

    const std::string first = test::Saved(page);
    EXPECT_EQ(test::XmlLint(first), "");
    EXPECT_NE(first.find("Picture.PropData"), std::string::npos);
    TfrxReportPage loaded(nullptr);
    TMemoryStream in;
    in.WriteBuffer(first.data(), std::int64_t(first.size()));
    in.SetPosition(0);
    loaded.LoadFromStream(in);
    auto* back = dynamic_cast<TfrxPictureView*>(loaded.FindObject(String(u"picAztec")));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GraphicWidth(), 600);
    EXPECT_TRUE(back->Center());
    EXPECT_EQ(test::Saved(loaded), first);
}

TEST_F(PictureView, DrawsKeepingProportionsCentred) {
    TfrxPictureView view(nullptr);
    TBitmap black(10, 20);
    {
        TCanvas c(&black);
        c.Brush().SetData({clBlack, bsSolid});
        c.FillRect(Rect(0, 0, 10, 20));
    }
    view.Picture()->SetGraphic(&black);
    view.SetCenter(true);
    view.SetBounds(0, 0, 40, 40);
    TBitmap page(40, 40);
    TCanvas canvas(&page);
    canvas.Brush().SetData({clWhite, bsSolid});
    canvas.FillRect(Rect(0, 0, 40, 40));
    view.Draw(canvas, 1, 1, 0, 0);
    EXPECT_EQ(canvas.GetPixel(20, 20), clBlack);
    EXPECT_EQ(canvas.GetPixel(5, 20), clWhite); // 20 wide, centred: columns 10..29
    EXPECT_EQ(canvas.GetPixel(12, 2), clBlack);
}

TEST_F(PictureView, GetDataFromAFileOrABlobField) {
    InitializeScriptEngine();
    const test::TServiceDoubles doubles;
    TfrxReport report(nullptr);
    auto* set = new TfrxUserDataSet(&report);
    set->SetUserName(u"Parcel");
    set->OnIsBlobField = [](TObject*, const String& field) { return field == u"Logo"; };
    const auto png = Png();
    set->OnGetBlobValue = [&png](TObject*, const String&, TObject* obj) {
        if (auto* stream = dynamic_cast<TStream*>(obj))
            stream->WriteBuffer(png.data(), std::int64_t(png.size()));
    };
    auto* page = new TfrxReportPage(&report);
    page->SetParent(&report);
    auto* view = new TfrxPictureView(page);
    view->SetParent(page);
    view->SetDataSetName(u"Parcel");
    view->SetDataField(u"Logo");
    view->GetData();
    EXPECT_EQ(view->GraphicWidth(), 400);

    view->SetFileLink(Utf8ToString(VGL_TEST_DATA_DIR "/no_such_picture.png"));
    view->GetData();
    EXPECT_TRUE(view->IsEmpty());
    view->SetFileLink(Utf8ToString(VGL_TEST_DATA_DIR "/view_fixture_1.png"));
    view->GetData();
    EXPECT_EQ(view->GraphicWidth(), 400);
}

TEST_F(PictureView, InvisibleSignatureDrawsNothing) {
    TfrxDigitalSignatureView view(nullptr);
    view.SetBounds(0, 0, 20, 20);
    view.SetColor(clBlack);
    TBitmap page(20, 20);
    TCanvas canvas(&page);
    canvas.Brush().SetData({clWhite, bsSolid});
    canvas.FillRect(Rect(0, 0, 20, 20));
    view.Draw(canvas, 1, 1, 0, 0);
    EXPECT_EQ(canvas.GetPixel(10, 10), clWhite);
    view.SetKind(skVisible);
    view.Draw(canvas, 1, 1, 0, 0);
    EXPECT_EQ(canvas.GetPixel(10, 10), clBlack);
}

TEST_F(PictureView, CachedPictureThroughThePictureCache) {
    TfrxPictureCache cache;
    {
        TfrxPictureView view(nullptr);
        ASSERT_EQ(LoadBytes(view, Png()), 0);
        ASSERT_TRUE(view.PictureChanged());
        view.SetCachedGraphic(cache);
        EXPECT_EQ(view.ImageIndex(), 1);
        EXPECT_FALSE(view.PictureChanged());
        view.SetCachedGraphic(cache); // unchanged: not stored again
        EXPECT_EQ(cache.Originals().Count(), 1);
    }

    // A view read back from prepared pages knows only its index.
    TfrxPictureView view(nullptr);
    view.SetBounds(0, 0, 40, 10);
    view.SetImageIndex(1);
    EXPECT_TRUE(view.IsEmpty());
    EXPECT_TRUE(view.IsUpdateRequired(cgThumbnail));
    view.GetCachedGraphic(cgThumbnail, cache);
    ASSERT_NE(view.CachedGraphic(), nullptr);
    EXPECT_EQ(cache.CachedCopyCount(), 1);
    EXPECT_FALSE(view.IsEmpty());
    EXPECT_EQ(view.GraphicWidth(), 400);
    EXPECT_FALSE(view.IsUpdateRequired(cgThumbnail));
    EXPECT_TRUE(view.IsUpdateRequired(cgOriginal)) << "a copy of another kind";
    EXPECT_EQ(view.GraphicFormat(), &TfrxPNGGraphicFormat::Instance());
    TBitmap page(40, 10);
    TCanvas canvas(&page);
    canvas.Brush().SetData({clWhite, bsSolid});
    canvas.FillRect(Rect(0, 0, 40, 10));
    view.Draw(canvas, 1, 1, 0, 0);
    EXPECT_NE(page.GetPixel(5, 5), page.GetPixel(35, 9)) << "the cached picture is drawn";

    // Reading Picture copies the original in without counting as a change.
    EXPECT_EQ(view.Picture()->GetWidth(), 400);
    EXPECT_EQ(view.ImageIndex(), 1);
    EXPECT_FALSE(view.PictureChanged());
    EXPECT_NE(view.CachedGraphic(), nullptr);

    // A new picture drops the copy and the index.
    TPicture other;
    other.SetGraphic(std::make_unique<TBitmap>(8, 8));
    view.SetPicture(&other);
    EXPECT_EQ(view.CachedGraphic(), nullptr);
    EXPECT_EQ(view.ImageIndex(), 0);
    EXPECT_TRUE(view.PictureChanged());
    EXPECT_EQ(cache.CachedCopyCount(), 0);
    EXPECT_EQ(view.GraphicFormat(), &TfrxBitmapGraphicFormat::Instance());

    TfrxPictureView released(nullptr);
    released.SetImageIndex(1);
    released.GetCachedGraphic(cgOriginal, cache);
    EXPECT_EQ(cache.CachedCopyCount(), 1);
    released.ReleaseCachedGraphic();
    EXPECT_EQ(cache.CachedCopyCount(), 0);
    EXPECT_TRUE(released.IsUpdateRequired(cgOriginal));
}

// A cache that keeps no shared copies: the picture is loaded into the view.
class TLoadingCache : public IfrxPictureCache {
public:
    explicit TLoadingCache(std::vector<std::uint8_t> png) : FPng(std::move(png)) {}
    int AddPicture(const TGraphic*) override { return 0; }
    bool GetGraphic(TGraphic&, int) override { return false; }
    std::unique_ptr<TGraphic> GetGraphic(int) override { return nullptr; }
    bool GetPicture(TPicture& picture, int imageIndex) override {
        if (imageIndex != 7)
            return false;
        picture.LoadFromBytes(FPng);
        return true;
    }
    std::shared_ptr<IfrxCachedGraphic> GetCachedBitmap(TfrxCachedGraphicType, int) override { return nullptr; }
    bool ThumbnailsEnabled() const override { return false; }
    TPoint GetImageSize(TfrxCachedGraphicType, int) const override { return {}; }

private:
    std::vector<std::uint8_t> FPng;
};

TEST_F(PictureView, CacheWithoutSharedCopiesLoadsThePicture) {
    TLoadingCache cache(Png());
    TfrxPictureView view(nullptr);
    view.SetImageIndex(7);
    view.GetCachedGraphic(cgOriginal, cache);
    EXPECT_EQ(view.CachedGraphic(), nullptr);
    EXPECT_EQ(view.GraphicWidth(), 400);
    EXPECT_EQ(view.ImageIndex(), 7);
    EXPECT_FALSE(view.PictureChanged());
    EXPECT_FALSE(view.IsUpdateRequired(cgOriginal));
}

TEST_F(PictureView, FormatQueriesFollowTheGraphic) {
    auto png = [](void (*prepare)(TPngImage&)) {
        auto image = std::make_unique<TPngImage>();
        image->CreateBlank(COLOR_RGB, 8, 4, 4);
        prepare(*image);
        return std::unique_ptr<TGraphic>(std::move(image));
    };
    auto metafile = [] {
        auto m = std::make_unique<TMetafile>(10, 10);
        {
            TMetafileCanvas c(*m);
            c.Rectangle(Rect(0, 0, 5, 5));
        }
        return std::unique_ptr<TGraphic>(std::move(m));
    };
    struct Case {
        const char* name;
        std::unique_ptr<TGraphic> graphic;
        bool transparent;
        bool isVector, hasAlpha, hasMask, transparency, emf;
        TColor transparentColor;
    };
    std::vector<Case> cases;
    cases.push_back({"none", nullptr, false, false, false, false, false, false, clNone});
    cases.push_back({"none, Transparent", nullptr, true, false, false, false, true, false, clNone});
    cases.push_back({"png", png([](TPngImage&) {}), false, false, false, false, false, false, clNone});
    cases.push_back({"png with a colour key", png([](TPngImage& p) { p.SetTransparentColor(clRed); }), false, false,
                     false, true, false, false, clRed});
    cases.push_back(
        {"png with alpha", png([](TPngImage& p) { p.CreateAlpha(); }), false, false, true, false, true, false, clNone});
    cases.push_back({"metafile", metafile(), false, true, false, false, false, true, clNone});
    for (Case& c : cases) {
        TfrxPictureView view(nullptr);
        view.SetTransparentColor(clNone);
        view.SetTransparent(c.transparent);
        view.Picture()->SetGraphic(std::move(c.graphic));
        EXPECT_EQ(view.GraphicIsVector(), c.isVector) << c.name;
        EXPECT_EQ(view.GraphicHasAlpha(), c.hasAlpha) << c.name;
        EXPECT_EQ(view.GraphicHasMaskColor(), c.hasMask) << c.name;
        EXPECT_EQ(view.GraphicTransparency(), c.transparency) << c.name;
        EXPECT_EQ(view.IsEMFExportable(), c.emf) << c.name;
        EXPECT_EQ(view.GraphicTransparentColor(), c.transparentColor) << c.name;
    }

    // HightQuality without Transparent does not ask for an alpha channel.
    TfrxPictureView view(nullptr);
    view.Picture()->SetGraphic(png([](TPngImage& p) { p.CreateAlpha(); }));
    view.SetHightQuality(true);
    EXPECT_FALSE(view.GraphicHasAlpha());
    view.SetTransparent(true);
    EXPECT_TRUE(view.GraphicHasAlpha());
    // A view that may not export vectors keeps its metafile a picture.
    TfrxPictureView vector(nullptr);
    vector.Picture()->SetGraphic(metafile());
    vector.SetAllowVectorExport(false);
    EXPECT_FALSE(vector.IsEMFExportable());
}

} // namespace
} // namespace vgl
