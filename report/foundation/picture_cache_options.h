#pragma once
// The settings that decide how much a picture kept in the picture cache is reduced: bounds and a
// percentage for full-size pictures and for thumbnails, and when thumbnails are built.

#include <cstdint>
#include <memory>

#include "platform/rtl/persistent.h"

namespace vgl {

/// Which picture of a cached view is meant.
enum TfrxCachedGraphicType { cgNone, cgOriginal, cgThumbnail };
VGL_DECLARE_ENUM(TfrxCachedGraphicType);

/// When thumbnails of cached pictures are built.
enum TfrxThumbnailBuildType { tbtNone, tbtOriginal, tbtAtPrepare, tbtAtSave, tbtAtPreview };
VGL_DECLARE_ENUM(TfrxThumbnailBuildType);

/// An integer from 0 to 100.
using TfrxPercentage = int;
/// "TfrxPercentage": Integer limited to 0..100.
const TypeInfo& PercentageTypeInfo();

class TfrxPictureConverterOptions : public TPersistent {
    VGL_CLASS(TfrxPictureConverterOptions, TPersistent)

    /// MaxWidth and MaxHeight 2147483647; MinWidth, MinHeight and ReducePercent 0 (the minimums
    /// count as 32 where they are used).
    TfrxPictureConverterOptions() = default;

    /// From other converter options: every value (the minimums through their setters); other
    /// sources are ignored.
    void Assign(const TPersistent* source) override;

    std::int32_t MinWidth() const { return FMinWidth; }
    /// Values below 32 are stored as 32.
    void SetMinWidth(std::int32_t value);
    std::int32_t MaxWidth() const { return FMaxWidth; }
    void SetMaxWidth(std::int32_t value) { FMaxWidth = value; }
    std::int32_t MinHeight() const { return FMinHeight; }
    /// Values below 32 are stored as 32.
    void SetMinHeight(std::int32_t value);
    std::int32_t MaxHeight() const { return FMaxHeight; }
    void SetMaxHeight(std::int32_t value) { FMaxHeight = value; }
    TfrxPercentage ReducePercent() const { return FReducePercent; }
    /// Raises ERangeError outside 0..100.
    void SetReducePercent(TfrxPercentage value);

    /// Smallest minimum that takes effect.
    static constexpr std::int32_t MinimumSize = 32;

private:
    std::int32_t FMinWidth = 0;
    std::int32_t FMaxWidth = INT32_MAX;
    std::int32_t FMinHeight = 0;
    std::int32_t FMaxHeight = INT32_MAX;
    TfrxPercentage FReducePercent = 0;
};

class TfrxPictureCacheOptions : public TPersistent {
    VGL_CLASS(TfrxPictureCacheOptions, TPersistent)

    TfrxPictureCacheOptions();
    ~TfrxPictureCacheOptions() override;

    /// From other cache options: both reducers and CachedImagesBuildType; other sources are
    /// ignored.
    void Assign(const TPersistent* source) override;

    /// The ReducePercent of the thumbnail reducer (for cgThumbnail) or of the original one when
    /// the width or the height lies within the reducer's bounds; 0 when both lie outside.
    TfrxPercentage GetPercentFor(TfrxCachedGraphicType cacheType, std::int32_t width, std::int32_t height) const;

    TfrxPictureConverterOptions* OriginalQualityReducer() const { return FOriginalQualityReducer.get(); }
    /// Copies the values into the owned reducer.
    void SetOriginalQualityReducer(TfrxPictureConverterOptions* value);
    TfrxPictureConverterOptions* ThumbnailQualityReducer() const { return FThumbnailQualityReducer.get(); }
    void SetThumbnailQualityReducer(TfrxPictureConverterOptions* value);
    TfrxThumbnailBuildType CachedImagesBuildType() const { return FCachedImagesBuildType; }
    void SetCachedImagesBuildType(TfrxThumbnailBuildType value) { FCachedImagesBuildType = value; }

private:
    std::unique_ptr<TfrxPictureConverterOptions> FOriginalQualityReducer;
    TfrxThumbnailBuildType FCachedImagesBuildType = tbtNone;
    std::unique_ptr<TfrxPictureConverterOptions> FThumbnailQualityReducer;
};

} // namespace vgl
