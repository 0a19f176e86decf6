#include "report/model/picture_cache.h"

#include <algorithm>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/graphic_formats.h"
#include "report/foundation/utilities.h"
#include "report/foundation/xml_item.h"

namespace vgl {

namespace {

// A read-only window [start, start + length) of another stream: decoders see exactly the
// item's bytes, its size and nothing behind it.
class TSegmentView : public TStream {
public:
    TSegmentView(TStream& segment, std::int64_t start, std::int64_t length)
        : FSegment(segment), FStart(start), FLength(length) {}
    String ClassName() const override { return u"TSegmentView"; }

    std::int64_t Read(void* buffer, std::int64_t count) override {
        if (count <= 0 || FPosition >= FLength)
            return 0;
        count = std::min(count, FLength - FPosition);
        FSegment.SetPosition(FStart + FPosition);
        std::int64_t done = FSegment.Read(buffer, count);
        FPosition += done;
        return done;
    }
    // The item's bytes where a segment in memory holds them, moving both positions as Read does.
    std::optional<std::span<const std::uint8_t>> ReadRemainingInPlace() override {
        if (FPosition >= FLength)
            return std::span<const std::uint8_t>();
        FSegment.SetPosition(FStart + FPosition);
        const auto rest = FSegment.ReadRemainingInPlace();
        if (!rest)
            return std::nullopt;
        const std::int64_t n = std::min(FLength - FPosition, std::int64_t(rest->size()));
        FSegment.SetPosition(FStart + FPosition + n);
        FPosition += n;
        return rest->first(size_t(n));
    }
    std::int64_t Write(const void*, std::int64_t) override { throw EStreamError(u"Stream write error"); }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
        std::int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? FPosition : FLength;
        std::int64_t target = base + offset;
        if (target < 0)
            target = 0;
        FPosition = target;
        return FPosition;
    }
    std::int64_t GetSize() override { return FLength; }

private:
    TStream& FSegment;
    std::int64_t FStart;
    std::int64_t FLength;
    std::int64_t FPosition = 0;
};

} // namespace

// ---- TfrxInternalPictureCache ----------------------------------------------------------------

TfrxInternalPictureCache::~TfrxInternalPictureCache() {
    Clear();
}

void TfrxInternalPictureCache::SetUseFileCache(bool value) {
    if (FCacheStreamList.empty())
        FUseFileCache = value;
}

void TfrxInternalPictureCache::SetTempDir(const String& value) {
    if (FCacheStreamList.empty())
        FTempDir = value;
}

int TfrxInternalPictureCache::NewItem() {
    if (FCacheStreamList.empty() || FCacheStreamList.back()->GetSize() >= SegmentLimit) {
        if (FUseFileCache) {
            String name = CreateTempFile(FTempDir, u"frPic");
            std::unique_ptr<TStream> file;
            try {
                file = std::make_unique<TFileStream>(name, fmOpenReadWrite);
            } catch (...) {
                DeleteFile(name);
                throw;
            }
            FTempFile.push_back(name);
            FCacheStreamList.push_back(std::move(file));
        } else {
            FCacheStreamList.push_back(std::make_unique<TMemoryStream>());
        }
    }
    TStream& segment = *FCacheStreamList.back();
    TfrxCacheItem item;
    item.Segment = std::int32_t(FCacheStreamList.size() - 1);
    item.Offset = segment.GetSize();
    FItems.push_back(item);
    segment.SetPosition(item.Offset);
    return int(FItems.size() - 1);
}

int TfrxInternalPictureCache::AddPicture(const TGraphic* graphic) {
    if (!graphic || (graphic->GetWidth() == 0 && graphic->GetHeight() == 0))
        return 0;
    int index = NewItem();
    TStream& segment = *FCacheStreamList[size_t(FItems[size_t(index)].Segment)];
    graphic->SaveToStream(segment);
    TfrxCacheItem& item = FItems[size_t(index)];
    item.Width = graphic->GetWidth();
    item.Height = graphic->GetHeight();
    item.Loading = 0;
    return index + 1;
}

bool TfrxInternalPictureCache::IsExist(int imageIndex) const {
    return imageIndex >= 1 && imageIndex <= Count() && !FCacheStreamList.empty();
}

bool TfrxInternalPictureCache::IsReadable(int imageIndex) const {
    return IsExist(imageIndex) && FItems[size_t(imageIndex - 1)].Loading != 1;
}

const TfrxCacheItem& TfrxInternalPictureCache::Item(int imageIndex) const {
    if (imageIndex < 1 || imageIndex > Count())
        throw EListError(u"List index out of bounds (" + IntToStr(imageIndex) + u")");
    return FItems[size_t(imageIndex - 1)];
}

TPoint TfrxInternalPictureCache::GetSize(int imageIndex) const {
    if (imageIndex < 1 || imageIndex > Count())
        return {};
    const TfrxCacheItem& item = FItems[size_t(imageIndex - 1)];
    return {item.Width, item.Height};
}

void TfrxInternalPictureCache::SetSize(int imageIndex, int width, int height) {
    if (imageIndex < 1 || imageIndex > Count())
        return;
    TfrxCacheItem& item = FItems[size_t(imageIndex - 1)];
    item.Width = width;
    item.Height = height;
}

std::int64_t TfrxInternalPictureCache::ItemLength(int index) {
    const TfrxCacheItem& item = FItems[size_t(index)];
    if (size_t(index) + 1 < FItems.size() && FItems[size_t(index) + 1].Segment == item.Segment)
        return FItems[size_t(index) + 1].Offset - item.Offset;
    return FCacheStreamList[size_t(item.Segment)]->GetSize() - item.Offset;
}

bool TfrxInternalPictureCache::ReadItem(int imageIndex, const std::function<void(TStream&)>& body) {
    std::lock_guard lock(FCrit);
    if (!IsReadable(imageIndex))
        return false;
    int index = imageIndex - 1;
    const TfrxCacheItem& item = FItems[size_t(index)];
    TSegmentView view(*FCacheStreamList[size_t(item.Segment)], item.Offset, ItemLength(index));
    body(view);
    return true;
}

std::unique_ptr<TGraphic> TfrxInternalPictureCache::GetPicture(int imageIndex) {
    std::unique_ptr<TGraphic> result;
    try {
        ReadItem(imageIndex, [&](TStream& view) { result = frxGraphicFormatsInstance().LoadFromStream(view); });
    } catch (const Exception&) {
        result.reset();
    }
    return result;
}

bool TfrxInternalPictureCache::GetPicture(TGraphic& graphic, int imageIndex) {
    return ReadItem(imageIndex, [&](TStream& view) { graphic.LoadFromStream(view); });
}

bool TfrxInternalPictureCache::GetPicture(TPicture& picture, int imageIndex) {
    return ReadItem(imageIndex, [&](TStream& view) { frxGraphicFormatsInstance().LoadFromStream(picture, view); });
}

std::vector<std::uint8_t> TfrxInternalPictureCache::GetBytes(int imageIndex) {
    std::vector<std::uint8_t> bytes;
    ReadItem(imageIndex, [&](TStream& view) { bytes = view.ReadRemaining(); });
    return bytes;
}

void TfrxInternalPictureCache::Clear() {
    FCacheStreamList.clear(); // closes the files before they are deleted
    for (const String& name : FTempFile)
        DeleteFile(name);
    FTempFile.clear();
    FItems.clear();
}

void TfrxInternalPictureCache::SaveToXML(TfrxXMLItem& node) {
    for (int i = 0; i < Count(); ++i) {
        const TfrxCacheItem& item = FItems[size_t(i)];
        TMemoryStream bytes;
        TSegmentView view(*FCacheStreamList[size_t(item.Segment)], item.Offset, ItemLength(i));
        bytes.CopyFrom(view, 0);
        TfrxXMLItem* child = node.Add(u"item");
        child->SetText(u"stream=\"" + StreamToHexText(bytes) + u"\"");
        TfrxXMLItem* size = child->Add(u"size");
        size->SetText(u"w=\"" + IntToStr(item.Width) + u"\" h=\"" + IntToStr(item.Height) + u"\"");
    }
}

void TfrxInternalPictureCache::LoadFromXML(TfrxXMLItem& node) {
    Clear();
    for (int i = 0; i < node.Count(); ++i) {
        TfrxXMLItem* child = node.Items(i);
        int index = NewItem();
        TMemoryStream decoded;
        bool complete = true;
        try {
            HexTextToStream(child->GetProp(u"stream"), decoded);
        } catch (const EConvertError&) {
            complete = false; // a damaged text stores nothing; the item stays unreadable
        }
        if (complete && decoded.GetSize() > 0)
            FCacheStreamList[size_t(FItems[size_t(index)].Segment)]->WriteBuffer(decoded.Bytes());
        if (child->Count() > 0) {
            TfrxXMLItem* size = child->Items(0);
            String w = size->GetProp(u"w");
            String h = size->GetProp(u"h");
            if (!w.empty())
                FItems[size_t(index)].Width = StrToInt(w);
            if (!h.empty())
                FItems[size_t(index)].Height = StrToInt(h);
        }
        if (complete)
            FItems[size_t(index)].Loading = 0;
    }
}

// ---- TfrxAutoRefGraphic ----------------------------------------------------------------------

TfrxAutoRefGraphic::TfrxAutoRefGraphic(TfrxPictureCache* cache, int imageIndex, TfrxCachedGraphicType cacheType,
                                       std::unique_ptr<TGraphic> graphic, TPoint originalSize)
    : FGraphic(std::move(graphic)), FOriginalSize(originalSize), FIndex(imageIndex), FCacheType(cacheType),
      FPictureCache(cache) {}

TfrxAutoRefGraphic::~TfrxAutoRefGraphic() {
    if (FPictureCache) {
        auto it = FPictureCache->FCachedBitmap.find(FIndex);
        if (it != FPictureCache->FCachedBitmap.end() && it->second.expired())
            FPictureCache->FCachedBitmap.erase(it);
    }
    FIndex = -1;
}

// ---- TfrxPictureCache ------------------------------------------------------------------------

TfrxPictureCache::TfrxPictureCache() : FPictureCacheOptions(std::make_unique<TfrxPictureCacheOptions>()) {}

TfrxPictureCache::~TfrxPictureCache() {
    DetachCopies();
}

void TfrxPictureCache::DetachCopies() {
    for (auto& [index, weak] : FCachedBitmap)
        if (auto copy = weak.lock())
            copy->FPictureCache = nullptr;
    FCachedBitmap.clear();
}

void TfrxPictureCache::SetPictureCacheOptions(const TfrxPictureCacheOptions& options) {
    FPictureCacheOptions->Assign(&options);
}

bool TfrxPictureCache::ThumbnailsEnabled() const {
    return FPictureCacheOptions->CachedImagesBuildType() != tbtNone;
}

int TfrxPictureCache::AddToStore(TfrxInternalPictureCache& store, TfrxCachedGraphicType cacheType,
                                 const TGraphic& graphic) {
    int width = graphic.GetWidth();
    int height = graphic.GetHeight();
    std::int64_t keep = 100 - FPictureCacheOptions->GetPercentFor(cacheType, width, height);
    int newWidth = int(std::int64_t(width) * keep / 100);
    int newHeight = int(std::int64_t(height) * keep / 100);
    if (newWidth == 0)
        newWidth = width;
    if (newHeight == 0)
        newHeight = height;
    std::unique_ptr<TGraphic> reduced;
    if (ThumbnailsEnabled() && (newWidth != width || newHeight != height))
        reduced = frxGraphicFormatsInstance().ScaleGraphicToNew(graphic, newWidth, newHeight);
    int index = store.AddPicture(reduced ? reduced.get() : &graphic);
    if (reduced && index > 0)
        store.SetSize(index, width, height);
    return index;
}

int TfrxPictureCache::AddPicture(const TGraphic* graphic) {
    if (!graphic || graphic->GetEmpty() || (graphic->GetWidth() == 0 && graphic->GetHeight() == 0))
        return 0;
    int index = AddToStore(FPictureCache, cgOriginal, *graphic);
    if (FPictureCacheOptions->CachedImagesBuildType() == tbtAtPrepare)
        index = AddToStore(FThumbnailCache, cgThumbnail, *graphic);
    return index;
}

bool TfrxPictureCache::GetGraphic(TGraphic& graphic, int imageIndex) {
    return FPictureCache.GetPicture(graphic, imageIndex);
}

std::unique_ptr<TGraphic> TfrxPictureCache::GetGraphic(int imageIndex) {
    return FPictureCache.GetPicture(imageIndex);
}

bool TfrxPictureCache::GetPicture(TPicture& picture, int imageIndex) {
    return FPictureCache.GetPicture(picture, imageIndex);
}

TPoint TfrxPictureCache::GetImageSize(TfrxCachedGraphicType, int imageIndex) const {
    return FPictureCache.GetSize(imageIndex);
}

std::unique_ptr<TGraphic> TfrxPictureCache::DecodeFor(TfrxCachedGraphicType cacheType, int imageIndex) {
    if (cacheType == cgThumbnail)
        return FIsUpdating ? nullptr : FThumbnailCache.GetPicture(imageIndex);
    return FPictureCache.GetPicture(imageIndex);
}

std::shared_ptr<IfrxCachedGraphic> TfrxPictureCache::GetCachedBitmap(TfrxCachedGraphicType cacheType, int imageIndex) {
    if (imageIndex <= 0)
        return nullptr;
    auto it = FCachedBitmap.find(imageIndex);
    std::shared_ptr<TfrxAutoRefGraphic> existing = it != FCachedBitmap.end() ? it->second.lock() : nullptr;
    if (!existing) {
        if (std::unique_ptr<TGraphic> graphic = DecodeFor(cacheType, imageIndex)) {
            auto copy = std::make_shared<TfrxAutoRefGraphic>(this, imageIndex, cacheType, std::move(graphic),
                                                             FPictureCache.GetSize(imageIndex));
            FCachedBitmap[imageIndex] = copy;
            return copy;
        }
        if (cacheType == cgOriginal)
            return nullptr;
        std::shared_ptr<IfrxCachedGraphic> original = GetCachedBitmap(cgOriginal, imageIndex);
        if (original)
            original->SetCacheType(cacheType);
        return original;
    }
    if (existing->FCacheType != cacheType) {
        if (std::unique_ptr<TGraphic> graphic = DecodeFor(cacheType, imageIndex)) {
            existing->FGraphic = std::move(graphic);
            existing->FCacheType = cacheType;
        }
    }
    return existing;
}

void TfrxPictureCache::BuildFinished() {
    if (FPictureCacheOptions->CachedImagesBuildType() == tbtAtPreview)
        FIsUpdating = true;
}

void TfrxPictureCache::Clear() {
    DetachCopies();
    FPictureCache.Clear();
    FThumbnailCache.Clear();
    FIsUpdating = false;
    if (OnThumbnailUpdated)
        OnThumbnailUpdated(this, tusClear);
}

void TfrxPictureCache::BuildThumbnails() {
    FIsUpdating = true;
    try {
        for (int i = 1; i <= FPictureCache.Count(); ++i) {
            if (FThumbnailCache.IsExist(i))
                continue;
            std::unique_ptr<TGraphic> graphic = FPictureCache.GetPicture(i);
            if (!graphic)
                break;
            AddToStore(FThumbnailCache, cgThumbnail, *graphic);
        }
    } catch (...) {
        FIsUpdating = false;
        throw;
    }
    FIsUpdating = false;
}

void TfrxPictureCache::SaveToXML(TfrxXMLItem& item) {
    TfrxXMLItem* pictures = item.FindItem(u"picturecache");
    pictures->Clear();
    FPictureCache.SaveToXML(*pictures);
    TfrxThumbnailBuildType build = FPictureCacheOptions->CachedImagesBuildType();
    if (build == tbtAtPrepare || build == tbtAtSave) {
        if (build == tbtAtSave)
            BuildThumbnails();
        TfrxXMLItem* thumbnails = item.FindItem(u"thumbnailcache");
        thumbnails->Clear();
        FThumbnailCache.SaveToXML(*thumbnails);
    }
}

void TfrxPictureCache::LoadFromXML(TfrxXMLItem& item) {
    int pictures = item.Find(u"picturecache");
    if (pictures >= 0) {
        DetachCopies();
        FPictureCache.LoadFromXML(*item.Items(pictures));
    }
    int thumbnails = item.Find(u"thumbnailcache");
    if (thumbnails >= 0) {
        DetachCopies();
        FThumbnailCache.LoadFromXML(*item.Items(thumbnails));
        if (FPictureCacheOptions->CachedImagesBuildType() == tbtNone)
            FPictureCacheOptions->SetCachedImagesBuildType(tbtOriginal);
    }
}

} // namespace vgl
