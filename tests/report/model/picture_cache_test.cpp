#include "report/model/picture_cache.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/graphics/bitmap.h"
#include "platform/rtl/exceptions.h"
#include "report/foundation/graphic_formats.h"
#include "report/foundation/picture_formats.h"
#include "report/foundation/png_jpeg_formats.h"
#include "report/foundation/utilities.h"
#include "report/foundation/xml_document.h"
#include "report/foundation/xml_item.h"

namespace vgl {
namespace {

namespace fs = std::filesystem;

std::string Shell(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return out;
    char buf[256];
    while (fgets(buf, sizeof buf, p))
        out += buf;
    pclose(p);
    return out;
}

std::string Narrow(const String& s) {
    return std::string(s.begin(), s.end());
}

// What ImageMagick says about bytes: "<format> <w>x<h>".
std::string Identify(const std::vector<std::uint8_t>& bytes) {
    fs::path path = fs::temp_directory_path() / ("k1_pc_" + std::to_string(::getpid()));
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    std::string out = Shell("identify -format '%m %wx%h' " + path.string() + " 2>&1");
    fs::remove(path);
    return out;
}

// The same, with the hex text turned back into bytes by xxd.
std::string IdentifyHex(const String& hex) {
    fs::path path = fs::temp_directory_path() / ("k1_pc_hex_" + std::to_string(::getpid()));
    std::ofstream(path) << Narrow(hex);
    std::string out = Shell("xxd -r -p " + path.string() + " | identify -format '%m %wx%h' - 2>&1");
    fs::remove(path);
    return out;
}

std::unique_ptr<TBitmap> Bitmap(int w, int h) {
    return std::make_unique<TBitmap>(w, h);
}

std::unique_ptr<TGraphic> Png(int w, int h) {
    TBitmap b(w, h);
    return frxGraphicFormatsInstance().Convert(b, u"PNG", pf24bit, 100);
}

String SaveText(TfrxPictureCache& cache) {
    TfrxXMLDocument doc;
    doc.Root()->SetName(u"preparedreport");
    cache.SaveToXML(*doc.Root());
    TStringStream out(u"");
    doc.SaveToStream(out);
    return out.DataString();
}

class PictureCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (frxGraphicFormatsInstance().Count() == 0) {
            RegisterPictureFormats();
            FRegistered = true;
        }
    }
    void TearDown() override {
        if (FRegistered)
            UnregisterPictureFormats();
    }
    bool FRegistered = false;
};

TEST_F(PictureCacheTest, IndexesAndUnreadableItems) {
    TfrxPictureCache cache;
    EXPECT_EQ(cache.AddPicture(nullptr), 0);
    TBitmap empty;
    EXPECT_EQ(cache.AddPicture(&empty), 0);
    auto zero = Bitmap(0, 0);
    EXPECT_EQ(cache.AddPicture(zero.get()), 0);
    EXPECT_EQ(cache.Originals().Count(), 0);
    EXPECT_EQ(cache.Originals().SegmentCount(), 0);

    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(cache.AddPicture(Bitmap(i, 2).get()), i);
    for (int i = 1; i <= 3; ++i) {
        std::unique_ptr<TGraphic> g = cache.GetGraphic(i);
        ASSERT_TRUE(g);
        EXPECT_EQ(g->GetWidth(), i);
        EXPECT_EQ(cache.GetImageSize(cgOriginal, i), (TPoint{i, 2}));
    }
    for (int bad : {0, -1, 4})
        EXPECT_FALSE(cache.GetGraphic(bad)) << bad;

    // A given graphic stays untouched for an unreadable index; a picture container is filled.
    TBitmap given(5, 5);
    EXPECT_FALSE(cache.GetGraphic(given, 4));
    EXPECT_EQ(given.GetWidth(), 5);
    EXPECT_TRUE(cache.GetGraphic(given, 2));
    EXPECT_EQ(given.GetWidth(), 2);
    TPicture picture;
    EXPECT_TRUE(cache.GetPicture(picture, 3));
    EXPECT_EQ(picture.GetWidth(), 3);

    // Items lie end to end in the one segment.
    const TfrxInternalPictureCache& store = cache.Originals();
    EXPECT_EQ(store.SegmentCount(), 1);
    EXPECT_EQ(store.Item(1).Offset, 0);
    EXPECT_EQ(store.Item(2).Offset, store.Item(1).Offset + std::int64_t(Bitmap(1, 2)->SaveToBytes().size()));
    EXPECT_EQ(store.Item(3).Offset, store.Item(2).Offset + std::int64_t(Bitmap(2, 2)->SaveToBytes().size()));
}

// A picture that fails to write itself.
class TUnsavableBitmap : public TBitmap {
public:
    using TBitmap::TBitmap;
    std::vector<std::uint8_t> SaveToBytes() const override { throw EInvalidGraphic(u"cannot save"); }
};

TEST_F(PictureCacheTest, FailedSaveLeavesTheRestIntact) {
    TfrxPictureCache cache;
    EXPECT_EQ(cache.AddPicture(Bitmap(2, 2).get()), 1);
    TUnsavableBitmap bad(3, 3);
    EXPECT_THROW(cache.AddPicture(&bad), EInvalidGraphic);
    EXPECT_EQ(cache.AddPicture(Bitmap(4, 4).get()), 3);
    EXPECT_FALSE(cache.Originals().IsReadable(2));
    EXPECT_FALSE(cache.GetGraphic(2));
    for (int i : {1, 3}) {
        std::unique_ptr<TGraphic> g = cache.GetGraphic(i);
        ASSERT_TRUE(g);
        EXPECT_EQ(g->GetWidth(), i + 1);
    }
}

TEST_F(PictureCacheTest, BitmapItemAsHexText) {
    TfrxPictureCache cache;
    ASSERT_EQ(cache.AddPicture(Bitmap(2, 1).get()), 1);
    TfrxXMLItem root;
    cache.SaveToXML(root);
    ASSERT_EQ(root.Count(), 1); // no thumbnails with tbtNone
    TfrxXMLItem* pictures = root.Items(0);
    EXPECT_EQ(pictures->Name(), u"picturecache");
    ASSERT_EQ(pictures->Count(), 1);
    TfrxXMLItem* item = pictures->Items(0);
    EXPECT_EQ(item->Name(), u"item");
    String hex = item->GetProp(u"stream");
    EXPECT_EQ(hex.substr(0, 4), u"424D");
    EXPECT_EQ(item->Text(), u"stream=\"" + hex + u"\"");
    EXPECT_EQ(hex.find_first_not_of(u"0123456789ABCDEF"), String::npos);
    ASSERT_EQ(item->Count(), 1);
    EXPECT_EQ(item->Items(0)->Name(), u"size");
    EXPECT_EQ(item->Items(0)->Text(), u"w=\"2\" h=\"1\"");
    EXPECT_EQ(IdentifyHex(hex), "BMP3 2x1");
}

TEST_F(PictureCacheTest, ReductionOnlyWhenThumbnailsAreOn) {
    for (TfrxThumbnailBuildType build : {tbtNone, tbtOriginal, tbtAtSave}) {
        TfrxPictureCache cache;
        cache.PictureCacheOptions().SetCachedImagesBuildType(build);
        cache.PictureCacheOptions().OriginalQualityReducer()->SetReducePercent(50);
        ASSERT_EQ(cache.AddPicture(Png(400, 200).get()), 1);
        EXPECT_EQ(cache.GetImageSize(cgOriginal, 1), (TPoint{400, 200}));
        std::string stored = Identify(cache.Originals().GetBytes(1));
        EXPECT_EQ(stored, build == tbtNone ? "PNG 400x200" : "PNG 200x100") << build;
    }
}

TEST_F(PictureCacheTest, ThumbnailsAtPrepareAndAtSave) {
    TfrxPictureCache prepare;
    prepare.PictureCacheOptions().SetCachedImagesBuildType(tbtAtPrepare);
    prepare.PictureCacheOptions().ThumbnailQualityReducer()->SetReducePercent(75);
    EXPECT_EQ(prepare.AddPicture(Png(400, 200).get()), 1);
    EXPECT_EQ(prepare.AddPicture(Png(100, 100).get()), 2);
    EXPECT_EQ(prepare.Thumbnails().Count(), 2);
    EXPECT_EQ(Identify(prepare.Thumbnails().GetBytes(1)), "PNG 100x50");
    EXPECT_EQ(prepare.Thumbnails().GetSize(1), (TPoint{400, 200}));
    EXPECT_EQ(Identify(prepare.Originals().GetBytes(1)), "PNG 400x200");

    TfrxPictureCache save;
    save.PictureCacheOptions().SetCachedImagesBuildType(tbtAtSave);
    save.PictureCacheOptions().ThumbnailQualityReducer()->SetReducePercent(50);
    save.AddPicture(Png(400, 200).get());
    save.AddPicture(Bitmap(64, 64).get());
    EXPECT_EQ(save.Thumbnails().Count(), 0);
    TfrxXMLItem root;
    save.SaveToXML(root);
    ASSERT_EQ(root.Find(u"thumbnailcache"), 1);
    EXPECT_EQ(root.Items(1)->Count(), 2);
    EXPECT_EQ(Identify(save.Thumbnails().GetBytes(1)), "PNG 200x100");
    EXPECT_EQ(Identify(save.Thumbnails().GetBytes(2)), "BMP3 32x32");

    // Loading thumbnails into a cache without a build type turns them on.
    TfrxPictureCache loaded;
    loaded.LoadFromXML(root);
    EXPECT_EQ(loaded.PictureCacheOptions().CachedImagesBuildType(), tbtOriginal);
    EXPECT_EQ(loaded.Thumbnails().Count(), 2);
}

TEST_F(PictureCacheTest, SaveLoadSaveIsStable) {
    TfrxPictureCache cache;
    cache.AddPicture(Bitmap(3, 2).get());
    cache.AddPicture(Png(7, 5).get());
    cache.AddPicture(Bitmap(1, 1).get());
    String first = SaveText(cache);

    TfrxXMLDocument doc;
    TStringStream in(first);
    doc.LoadFromStream(in);
    TfrxPictureCache loaded;
    loaded.LoadFromXML(*doc.Root());
    EXPECT_EQ(SaveText(loaded), first);
    const TfrxInternalPictureCache& store = loaded.Originals();
    ASSERT_EQ(store.Count(), 3);
    EXPECT_EQ(store.SegmentCount(), 1);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(store.Item(i).Segment, 0);
        EXPECT_EQ(store.Item(i).Loading, 0);
        EXPECT_EQ(loaded.Originals().GetBytes(i), cache.Originals().GetBytes(i));
        EXPECT_EQ(store.GetSize(i), cache.Originals().GetSize(i));
    }
    EXPECT_EQ(store.Item(2).Offset, std::int64_t(cache.Originals().GetBytes(1).size()));
    std::unique_ptr<TGraphic> png = loaded.GetGraphic(2);
    ASSERT_TRUE(png);
    EXPECT_EQ(png->GetWidth(), 7);
}

TEST_F(PictureCacheTest, DamagedStreamLeavesOnlyThatItemUnreadable) {
    auto hexOf = [](const TGraphic& g) {
        TMemoryStream s;
        g.SaveToStream(s);
        return StreamToHexText(s);
    };
    String good1 = hexOf(*Bitmap(2, 1));
    String good2 = hexOf(*Bitmap(4, 3));
    for (const String& damaged :
         std::vector<String>{good2.substr(0, 20) + u"ZZ" + good2.substr(22), good2 + u"4", u"42 4D"}) {
        TfrxXMLItem root;
        TfrxXMLItem* pictures = root.Add(u"picturecache");
        pictures->Add(u"item")->SetProp(u"stream", good1);
        TfrxXMLItem* bad = pictures->Add(u"item");
        bad->SetProp(u"stream", damaged);
        bad->Add(u"size")->SetText(u"w=\"4\" h=\"3\"");
        pictures->Add(u"item")->SetProp(u"stream", good2);

        TfrxPictureCache cache;
        cache.LoadFromXML(root);
        ASSERT_EQ(cache.Originals().Count(), 3);
        EXPECT_FALSE(cache.Originals().IsReadable(2));
        EXPECT_FALSE(cache.GetGraphic(2));
        EXPECT_FALSE(cache.GetCachedBitmap(cgOriginal, 2));
        EXPECT_EQ(cache.GetImageSize(cgOriginal, 2), (TPoint{4, 3}));
        std::unique_ptr<TGraphic> first = cache.GetGraphic(1);
        std::unique_ptr<TGraphic> third = cache.GetGraphic(3);
        ASSERT_TRUE(first && third);
        EXPECT_EQ(first->GetWidth(), 2);
        EXPECT_EQ(third->GetWidth(), 4);
        // The damaged item took no bytes: the third follows the first directly.
        EXPECT_EQ(cache.Originals().Item(3).Offset, cache.Originals().Item(2).Offset);
    }

    // A malformed size raises the conversion error; bytes that no format reads decode to none.
    TfrxXMLItem root;
    TfrxXMLItem* item = root.Add(u"picturecache")->Add(u"item");
    item->SetProp(u"stream", u"00112233");
    item->Add(u"size")->SetText(u"w=\"x1\"");
    TfrxPictureCache cache;
    EXPECT_THROW(cache.LoadFromXML(root), EConvertError);
    item->Items(0)->SetText(u"w=\"9\"");
    cache.LoadFromXML(root);
    EXPECT_EQ(cache.GetImageSize(cgNone, 1), (TPoint{9, 0}));
    EXPECT_FALSE(cache.GetGraphic(1));
    TBitmap given(1, 1);
    EXPECT_THROW(cache.GetGraphic(given, 1), Exception);
}

TEST_F(PictureCacheTest, AnItemIsDecodedFromItsOwnBytesOnly) {
    // A picture cut in two items: decoding the first must not read on into the second (whose
    // bytes would complete it), whether the segment is in memory (decoded where it lies) or a
    // file (read out first).
    TMemoryStream whole;
    Bitmap(5, 4)->SaveToStream(whole);
    const std::vector<std::uint8_t> bytes(whole.Bytes().begin(), whole.Bytes().end());
    const std::size_t cut = bytes.size() - 7;
    for (const bool file : {false, true}) {
        TfrxInternalPictureCache store;
        if (file) {
            store.SetUseFileCache(true);
            store.SetTempDir(String(fs::temp_directory_path().u16string()));
        }
        TfrxXMLItem node;
        for (const auto& part : {std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + std::ptrdiff_t(cut)),
                                 std::vector<std::uint8_t>(bytes.begin() + std::ptrdiff_t(cut), bytes.end())}) {
            TBytesStream stream(part);
            node.Add(u"item")->SetProp(u"stream", StreamToHexText(stream));
        }
        node.Add(u"item")->SetProp(u"stream", StreamToHexText(whole));
        store.LoadFromXML(node);
        EXPECT_FALSE(store.GetPicture(1)) << file;
        TBitmap given(1, 1);
        EXPECT_THROW(store.GetPicture(given, 1), EInvalidGraphic) << file;
        TPicture picture;
        EXPECT_THROW(store.GetPicture(picture, 1), EInvalidGraphic) << file;
        EXPECT_FALSE(store.GetPicture(2)) << file;
        // The whole picture after them decodes, read twice from the same segment.
        for (int round = 0; round < 2; ++round) {
            std::unique_ptr<TGraphic> third = store.GetPicture(3);
            ASSERT_TRUE(third) << file;
            EXPECT_EQ(third->SaveToBytes(), bytes) << file;
            EXPECT_TRUE(store.GetPicture(given, 3)) << file;
            EXPECT_EQ(given.SaveToBytes(), bytes) << file;
        }
        EXPECT_EQ(store.GetBytes(1).size(), cut) << file;
    }
}

TEST_F(PictureCacheTest, FileSegmentsLiveInTempDir) {
    fs::path dir = fs::temp_directory_path() / ("k1_pc_dir_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    auto frPicFiles = [&] {
        int n = 0;
        for (auto& entry : fs::directory_iterator(dir))
            n += entry.path().filename().string().rfind("frPic", 0) == 0;
        return n;
    };
    String tempDir = String(dir.u16string());
    {
        TfrxPictureCache cache;
        cache.SetUseFileCache(true);
        cache.SetTempDir(tempDir);
        EXPECT_EQ(frPicFiles(), 0);
        cache.AddPicture(Bitmap(2, 2).get());
        cache.AddPicture(Png(3, 3).get());
        EXPECT_EQ(frPicFiles(), 1);
        ASSERT_EQ(cache.Originals().TempFiles().size(), 1u);
        EXPECT_EQ(fs::file_size(Narrow(cache.Originals().TempFiles()[0])),
                  cache.Originals().GetBytes(1).size() + cache.Originals().GetBytes(2).size());
        // Fixed once a segment exists.
        cache.SetUseFileCache(false);
        cache.SetTempDir(u"/nonexistent");
        EXPECT_TRUE(cache.UseFileCache());
        EXPECT_EQ(cache.TempDir(), tempDir);
        std::unique_ptr<TGraphic> png = cache.GetGraphic(2);
        ASSERT_TRUE(png);
        EXPECT_EQ(png->GetWidth(), 3);

        int cleared = 0;
        cache.OnThumbnailUpdated = [&](TObject*, TfrxThumbnailsUpdateState s) { cleared += s == tusClear; };
        cache.Clear();
        EXPECT_EQ(cleared, 1);
        EXPECT_EQ(frPicFiles(), 0);
        cache.AddPicture(Bitmap(2, 2).get());
        EXPECT_EQ(frPicFiles(), 1);
    }
    EXPECT_EQ(frPicFiles(), 0); // destruction deletes them too
    fs::remove_all(dir);
}

TEST_F(PictureCacheTest, SharedCopies) {
    TfrxPictureCache cache;
    cache.AddPicture(Bitmap(6, 4).get());
    EXPECT_FALSE(cache.GetCachedBitmap(cgOriginal, 0));
    EXPECT_FALSE(cache.GetCachedBitmap(cgOriginal, 2));

    std::shared_ptr<IfrxCachedGraphic> a = cache.GetCachedBitmap(cgOriginal, 1);
    std::shared_ptr<IfrxCachedGraphic> b = cache.GetCachedBitmap(cgOriginal, 1);
    ASSERT_TRUE(a);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a->GetGraphic(cgNone)->GetWidth(), 6);
    EXPECT_EQ(a->GetOriginalSize(), (TPoint{6, 4}));
    EXPECT_EQ(cache.CachedCopyCount(), 1);
    a.reset();
    EXPECT_EQ(cache.CachedCopyCount(), 1);
    b.reset();
    EXPECT_EQ(cache.CachedCopyCount(), 0); // the next request decodes again
    std::shared_ptr<IfrxCachedGraphic> c = cache.GetCachedBitmap(cgOriginal, 1);
    ASSERT_TRUE(c);
    EXPECT_EQ(cache.CachedCopyCount(), 1);

    // No thumbnails: the originals' copy, marked as a thumbnail.
    c.reset();
    std::shared_ptr<IfrxCachedGraphic> t = cache.GetCachedBitmap(cgThumbnail, 1);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->GetCacheType(), cgThumbnail);
    EXPECT_EQ(t->GetGraphic(cgThumbnail)->GetWidth(), 6);

    // Clear detaches live copies; they stay usable.
    auto* copy = dynamic_cast<TfrxAutoRefGraphic*>(t.get());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->PictureCache(), &cache);
    cache.Clear();
    EXPECT_EQ(copy->PictureCache(), nullptr);
    EXPECT_EQ(cache.CachedCopyCount(), 0);
    EXPECT_EQ(t->GetGraphic(cgNone)->GetWidth(), 6);
}

TEST_F(PictureCacheTest, ExistingCopyTakesTheRequestedKind) {
    TfrxPictureCache cache;
    cache.PictureCacheOptions().SetCachedImagesBuildType(tbtAtPrepare);
    cache.PictureCacheOptions().ThumbnailQualityReducer()->SetReducePercent(50);
    ASSERT_EQ(cache.AddPicture(Png(400, 200).get()), 1);
    std::shared_ptr<IfrxCachedGraphic> original = cache.GetCachedBitmap(cgOriginal, 1);
    EXPECT_EQ(original->GetGraphic(cgNone)->GetWidth(), 400);
    std::shared_ptr<IfrxCachedGraphic> thumb = cache.GetCachedBitmap(cgThumbnail, 1);
    EXPECT_EQ(thumb, original);
    EXPECT_EQ(thumb->GetCacheType(), cgThumbnail);
    EXPECT_EQ(thumb->GetGraphic(cgNone)->GetWidth(), 200);
    EXPECT_EQ(thumb->GetOriginalSize(), (TPoint{400, 200}));

    // With tbtAtPreview, once preparation ended thumbnails come from the originals.
    TfrxPictureCache preview;
    preview.PictureCacheOptions().SetCachedImagesBuildType(tbtAtPreview);
    preview.AddPicture(Png(40, 20).get());
    preview.BuildFinished();
    std::shared_ptr<IfrxCachedGraphic> p = preview.GetCachedBitmap(cgThumbnail, 1);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->GetCacheType(), cgThumbnail);
    EXPECT_EQ(p->GetGraphic(cgNone)->GetWidth(), 40);
}

TEST_F(PictureCacheTest, CopyOutlivesItsCache) {
    std::shared_ptr<IfrxCachedGraphic> copy;
    {
        auto cache = std::make_shared<TfrxPictureCache>();
        cache->AddPicture(Bitmap(3, 3).get());
        copy = cache->GetCachedBitmap(cgOriginal, 1);
        ASSERT_TRUE(copy);
    }
    EXPECT_EQ(dynamic_cast<TfrxAutoRefGraphic&>(*copy).PictureCache(), nullptr);
    EXPECT_EQ(copy->GetGraphic(cgNone)->GetWidth(), 3);
    copy.reset(); // must not reach the dead cache (checked under AddressSanitizer)
}

TEST_F(PictureCacheTest, ConcurrentReads) {
    TfrxPictureCache cache;
    for (int i = 1; i <= 8; ++i)
        cache.AddPicture(i % 2 ? static_cast<TGraphic*>(Bitmap(i, i).get()) : Png(i, i).get());
    std::vector<std::thread> threads;
    std::vector<int> failures(4);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 50; ++round)
                for (int i = 1; i <= 8; ++i) {
                    std::unique_ptr<TGraphic> g = cache.GetGraphic(i);
                    failures[size_t(t)] += !g || g->GetWidth() != i;
                }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures, std::vector<int>(4));
}

} // namespace
} // namespace vgl
