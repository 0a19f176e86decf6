#pragma once
// The picture cache of prepared pages: every picture is stored once, in its encoded file form,
// in large append-only segments (memory blocks or temporary files), and picture objects keep only
// its 1-based image index. Readers decode a picture again on demand, or share one decoded copy
// per index that lives while somebody holds it. A second store keeps reduced copies
// (thumbnails). Both stores are written into and read back from the prepared-pages XML as
// upper-case hexadecimal text.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/graphics/geometry.h"
#include "platform/graphics/graphic.h"
#include "platform/rtl/object.h"
#include "platform/rtl/streams.h"
#include "report/foundation/picture_cache_options.h"

namespace vgl {

class TCanvas;
class TfrxXMLItem;

/// One stored picture. Offsets and sizes are 64-bit so that a segment may pass 2 GiB.
struct TfrxCacheItem {
    std::int32_t Segment = 0;
    std::int64_t Offset = 0;
    /// 1 from creation until the bytes are complete; an item with 1 cannot be read.
    std::int32_t Loading = 1;
    /// The picture's size as it was given to the cache, before any reduction.
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};

/// One store: items laid end to end, in index order, segment after segment. Reads take the
/// store's lock (a read moves the shared segment's position); adding, clearing, saving and
/// loading run on the one thread that prepares or loads the report.
class TfrxInternalPictureCache : public TObject {
public:
    /// A new segment starts once the last one has reached this many bytes.
    static constexpr std::int64_t SegmentLimit = 0x6AAAAAAA;

    TfrxInternalPictureCache() = default;
    ~TfrxInternalPictureCache() override;
    TfrxInternalPictureCache(const TfrxInternalPictureCache&) = delete;
    TfrxInternalPictureCache& operator=(const TfrxInternalPictureCache&) = delete;
    String ClassName() const override { return u"TfrxInternalPictureCache"; }

    /// Stores the graphic in its own file form; returns its 1-based index, or 0 (nothing stored)
    /// for none or a graphic whose width and height are both 0. When the graphic fails to save,
    /// the error propagates and the item stays unreadable; the rest of the store is intact.
    int AddPicture(const TGraphic* graphic);
    /// A new graphic decoded by the picture-format registry (by magic bytes), or none when the
    /// index is not readable, no format accepts the bytes or decoding fails.
    std::unique_ptr<TGraphic> GetPicture(int imageIndex);
    /// Loads the given graphic from the item's bytes; false (graphic untouched) when the index is
    /// not readable. Decoding errors propagate.
    bool GetPicture(TGraphic& graphic, int imageIndex);
    /// Loads the picture container through the registry; false when the index is not readable.
    /// Decoding errors propagate.
    bool GetPicture(TPicture& picture, int imageIndex);
    /// The item's bytes (empty when the index is not readable).
    std::vector<std::uint8_t> GetBytes(int imageIndex);

    /// 1 <= index <= Count and the store has a segment (the loading state is not looked at).
    bool IsExist(int imageIndex) const;
    /// Readable: IsExist and the item's bytes are complete.
    bool IsReadable(int imageIndex) const;
    /// The recorded size as (width, height); (0, 0) for an index that does not exist.
    TPoint GetSize(int imageIndex) const;
    void SetSize(int imageIndex, int width, int height);
    int Count() const { return int(FItems.size()); }
    const TfrxCacheItem& Item(int imageIndex) const;
    int SegmentCount() const { return int(FCacheStreamList.size()); }
    /// The names of the temporary files, one per file segment.
    const std::vector<String>& TempFiles() const { return FTempFile; }

    /// Frees every segment (deleting its temporary file) and every item.
    void Clear();
    /// Appends one child "item" per picture to `node`: stream="<hex>" and a child "size" with w
    /// and h.
    void SaveToXML(TfrxXMLItem& node);
    /// Clears the store and makes one item per child of `node`. A stream text that is not an even
    /// number of hexadecimal digits stores nothing and leaves its item unreadable. A malformed w
    /// or h raises EConvertError.
    void LoadFromXML(TfrxXMLItem& node);

    bool UseFileCache() const { return FUseFileCache; }
    /// Ignored once the store has a segment.
    void SetUseFileCache(bool value);
    const String& TempDir() const { return FTempDir; }
    /// Ignored once the store has a segment.
    void SetTempDir(const String& value);

private:
    // Makes a new item at the end of the last segment (adding a segment when needed); returns
    // its 0-based position. The segment's position is at the item's offset.
    int NewItem();
    // Bytes of item `index` (0-based) and its segment; the caller holds the lock.
    std::int64_t ItemLength(int index);
    // Runs `body` on a read-only view of the item's bytes, under the lock; false when the index
    // is not readable.
    bool ReadItem(int imageIndex, const std::function<void(TStream&)>& body);

    std::vector<TfrxCacheItem> FItems;
    std::vector<std::unique_ptr<TStream>> FCacheStreamList;
    std::vector<String> FTempFile;
    String FTempDir;
    bool FUseFileCache = false;
    std::mutex FCrit;
};

/// A shared decoded picture of the cache.
class IfrxCachedGraphic {
public:
    virtual ~IfrxCachedGraphic() = default;
    /// Does nothing: drawing goes through the graphic.
    virtual void Draw(TCanvas& canvas, int x, int y, int x1, int y1) = 0;
    /// The held decoded picture (the kind is ignored).
    virtual TGraphic* GetGraphic(TfrxCachedGraphicType cacheType) = 0;
    virtual TfrxCachedGraphicType GetCacheType() const = 0;
    virtual void SetCacheType(TfrxCachedGraphicType cacheType) = 0;
    /// The stored picture's width and height before any reduction.
    virtual TPoint GetOriginalSize() const = 0;
};

/// The picture cache as report objects and exports see it.
class IfrxPictureCache {
public:
    virtual ~IfrxPictureCache() = default;
    /// The index the picture object keeps; 0 for none or an empty graphic.
    virtual int AddPicture(const TGraphic* graphic) = 0;
    /// Loads the given graphic; false (untouched) for an unreadable index. Errors propagate.
    virtual bool GetGraphic(TGraphic& graphic, int imageIndex) = 0;
    /// A new decoded graphic, or none.
    virtual std::unique_ptr<TGraphic> GetGraphic(int imageIndex) = 0;
    /// Loads the picture container; false for an unreadable index. Errors propagate.
    virtual bool GetPicture(TPicture& picture, int imageIndex) = 0;
    /// The shared decoded copy of that kind for the index, or none.
    virtual std::shared_ptr<IfrxCachedGraphic> GetCachedBitmap(TfrxCachedGraphicType cacheType, int imageIndex) = 0;
    /// True when the build type is not tbtNone.
    virtual bool ThumbnailsEnabled() const = 0;
    /// The original item's recorded width and height (the kind is ignored).
    virtual TPoint GetImageSize(TfrxCachedGraphicType cacheType, int imageIndex) const = 0;
};

/// Views that take their pictures from the picture cache (the picture view).
class IfrxCachedView {
public:
    virtual ~IfrxCachedView() = default;
    /// Hands the view's changed picture to the cache and keeps the index it gets.
    virtual void SetCachedGraphic(IfrxPictureCache& cache) = 0;
    /// Attaches the cache's picture of that kind for the view's index.
    virtual void GetCachedGraphic(TfrxCachedGraphicType cacheType, IfrxPictureCache& cache) = 0;
    /// True when the view needs its picture (again) for that kind.
    virtual bool IsUpdateRequired(TfrxCachedGraphicType cacheType) = 0;
    /// Drops the attached picture.
    virtual void ReleaseCachedGraphic() = 0;
};

enum TfrxThumbnailsUpdateState { tusAdded, tusClear };
using TfrxThumbnailsUpdate = std::function<void(TObject* sender, TfrxThumbnailsUpdateState state)>;

class TfrxPictureCache;

/// A decoded copy shared by everyone who asks the cache for the same index. When the last
/// holder lets go it leaves the cache's list; when the cache is cleared or destroyed first, the
/// copy is detached and stays usable on its own.
class TfrxAutoRefGraphic : public IfrxCachedGraphic {
public:
    TfrxAutoRefGraphic(TfrxPictureCache* cache, int imageIndex, TfrxCachedGraphicType cacheType,
                       std::unique_ptr<TGraphic> graphic, TPoint originalSize);
    ~TfrxAutoRefGraphic() override;
    TfrxAutoRefGraphic(const TfrxAutoRefGraphic&) = delete;
    TfrxAutoRefGraphic& operator=(const TfrxAutoRefGraphic&) = delete;

    void Draw(TCanvas&, int, int, int, int) override {}
    TGraphic* GetGraphic(TfrxCachedGraphicType) override { return FGraphic.get(); }
    TfrxCachedGraphicType GetCacheType() const override { return FCacheType; }
    void SetCacheType(TfrxCachedGraphicType cacheType) override { FCacheType = cacheType; }
    TPoint GetOriginalSize() const override { return FOriginalSize; }

    int Index() const { return FIndex; }
    /// The owning cache, or none once detached.
    TfrxPictureCache* PictureCache() const { return FPictureCache; }

private:
    friend class TfrxPictureCache;
    std::unique_ptr<TGraphic> FGraphic;
    TPoint FOriginalSize;
    int FIndex;
    TfrxCachedGraphicType FCacheType;
    TfrxPictureCache* FPictureCache;
};

/// The public cache: the originals store, the thumbnails store (always in memory), the options
/// and the shared decoded copies. Held by std::shared_ptr.
class TfrxPictureCache : public TObject, public IfrxPictureCache {
public:
    TfrxPictureCache();
    /// Detaches the live shared copies (as Clear does), so a copy that outlives the cache stays
    /// safe to use and release.
    ~TfrxPictureCache() override;
    TfrxPictureCache(const TfrxPictureCache&) = delete;
    TfrxPictureCache& operator=(const TfrxPictureCache&) = delete;
    String ClassName() const override { return u"TfrxPictureCache"; }

    /// Adds to the originals (reduced by the options) and, with tbtAtPrepare, to the thumbnails
    /// too; the result is then the thumbnails store's index.
    int AddPicture(const TGraphic* graphic) override;
    bool GetGraphic(TGraphic& graphic, int imageIndex) override;
    std::unique_ptr<TGraphic> GetGraphic(int imageIndex) override;
    bool GetPicture(TPicture& picture, int imageIndex) override;
    std::shared_ptr<IfrxCachedGraphic> GetCachedBitmap(TfrxCachedGraphicType cacheType, int imageIndex) override;
    bool ThumbnailsEnabled() const override;
    TPoint GetImageSize(TfrxCachedGraphicType cacheType, int imageIndex) const override;

    /// Preparation ended: with tbtAtPreview thumbnail requests are from now on served from the
    /// originals (until Clear).
    void BuildFinished();
    /// Detaches every live shared copy, clears both stores and fires OnThumbnailUpdated(tusClear).
    void Clear();
    /// Writes "picturecache" and, with tbtAtPrepare or tbtAtSave (after building the missing
    /// thumbnails), "thumbnailcache" under `item`.
    void SaveToXML(TfrxXMLItem& item);
    /// Reads "picturecache" and "thumbnailcache" when present; thumbnails loaded with build type
    /// tbtNone turn it into tbtOriginal.
    void LoadFromXML(TfrxXMLItem& item);

    bool UseFileCache() const { return FPictureCache.UseFileCache(); }
    void SetUseFileCache(bool value) { FPictureCache.SetUseFileCache(value); }
    const String& TempDir() const { return FPictureCache.TempDir(); }
    void SetTempDir(const String& value) { FPictureCache.SetTempDir(value); }
    TfrxPictureCacheOptions& PictureCacheOptions() { return *FPictureCacheOptions; }
    /// Copies the given options.
    void SetPictureCacheOptions(const TfrxPictureCacheOptions& options);
    TfrxThumbnailsUpdate OnThumbnailUpdated;

    TfrxInternalPictureCache& Originals() { return FPictureCache; }
    TfrxInternalPictureCache& Thumbnails() { return FThumbnailCache; }
    /// Number of live shared copies.
    int CachedCopyCount() const { return int(FCachedBitmap.size()); }

private:
    friend class TfrxAutoRefGraphic;
    // Adds the graphic to one store, reduced by the options of that kind.
    int AddToStore(TfrxInternalPictureCache& store, TfrxCachedGraphicType cacheType, const TGraphic& graphic);
    std::unique_ptr<TGraphic> DecodeFor(TfrxCachedGraphicType cacheType, int imageIndex);
    void BuildThumbnails();
    void DetachCopies();

    TfrxInternalPictureCache FPictureCache;
    TfrxInternalPictureCache FThumbnailCache;
    // Live shared copies by index; the list holds no references to them.
    std::map<int, std::weak_ptr<TfrxAutoRefGraphic>> FCachedBitmap;
    bool FIsUpdating = false;
    std::unique_ptr<TfrxPictureCacheOptions> FPictureCacheOptions;
};

} // namespace vgl
