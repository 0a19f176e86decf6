#include "report/foundation/picture_cache_options.h"

#include <algorithm>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_ENUM(TfrxCachedGraphicType, u"cgNone", u"cgOriginal", u"cgThumbnail")
VGL_DEFINE_ENUM(TfrxThumbnailBuildType, u"tbtNone", u"tbtOriginal", u"tbtAtPrepare", u"tbtAtSave", u"tbtAtPreview")

const TypeInfo& PercentageTypeInfo() {
    static const TypeInfo info = [] {
        TypeInfo t = AliasTypeInfo(TypeInfoFor(TypeTag<std::int32_t>{}), u"TfrxPercentage");
        t.MinValue = 0;
        t.MaxValue = 100;
        return t;
    }();
    return info;
}

VGL_DEFINE_CLASS(TfrxPictureConverterOptions) {
    using T = TfrxPictureConverterOptions;
    b.Property(u"MinWidth", &T::MinWidth, &T::SetMinWidth).Default(32);
    b.Property(u"MaxWidth", &T::MaxWidth, &T::SetMaxWidth).Default(INT32_MAX);
    b.Property(u"MinHeight", &T::MinHeight, &T::SetMinHeight).Default(32);
    b.Property(u"MaxHeight", &T::MaxHeight, &T::SetMaxHeight).Default(INT32_MAX);
    b.Property(u"ReducePercent", &T::ReducePercent, &T::SetReducePercent).Type(PercentageTypeInfo());
}

VGL_DEFINE_CLASS(TfrxPictureCacheOptions) {
    using T = TfrxPictureCacheOptions;
    b.Property(u"OriginalQualityReducer", &T::OriginalQualityReducer, &T::SetOriginalQualityReducer);
    b.Property(u"CachedImagesBuildType", &T::CachedImagesBuildType, &T::SetCachedImagesBuildType).Default(tbtNone);
    b.Property(u"ThumbnailQualityReducer", &T::ThumbnailQualityReducer, &T::SetThumbnailQualityReducer);
}

// ---- TfrxPictureConverterOptions -----------------------------------------------------------

void TfrxPictureConverterOptions::Assign(const TPersistent* source) {
    if (const auto* other = dynamic_cast<const TfrxPictureConverterOptions*>(source)) {
        FReducePercent = other->FReducePercent;
        SetMinWidth(other->FMinWidth);
        FMaxWidth = other->FMaxWidth;
        SetMinHeight(other->FMinHeight);
        FMaxHeight = other->FMaxHeight;
    }
}

void TfrxPictureConverterOptions::SetMinWidth(std::int32_t value) {
    FMinWidth = std::max(value, MinimumSize);
}

void TfrxPictureConverterOptions::SetMinHeight(std::int32_t value) {
    FMinHeight = std::max(value, MinimumSize);
}

void TfrxPictureConverterOptions::SetReducePercent(TfrxPercentage value) {
    if (value < 0 || value > 100)
        throw ERangeError(u"Range check error");
    FReducePercent = value;
}

// ---- TfrxPictureCacheOptions ---------------------------------------------------------------

TfrxPictureCacheOptions::TfrxPictureCacheOptions()
    : FOriginalQualityReducer(std::make_unique<TfrxPictureConverterOptions>()),
      FThumbnailQualityReducer(std::make_unique<TfrxPictureConverterOptions>()) {}

TfrxPictureCacheOptions::~TfrxPictureCacheOptions() = default;

void TfrxPictureCacheOptions::Assign(const TPersistent* source) {
    if (const auto* other = dynamic_cast<const TfrxPictureCacheOptions*>(source)) {
        FOriginalQualityReducer->Assign(other->FOriginalQualityReducer.get());
        FCachedImagesBuildType = other->FCachedImagesBuildType;
        FThumbnailQualityReducer->Assign(other->FThumbnailQualityReducer.get());
    }
}

void TfrxPictureCacheOptions::SetOriginalQualityReducer(TfrxPictureConverterOptions* value) {
    FOriginalQualityReducer->Assign(value);
}

void TfrxPictureCacheOptions::SetThumbnailQualityReducer(TfrxPictureConverterOptions* value) {
    FThumbnailQualityReducer->Assign(value);
}

TfrxPercentage TfrxPictureCacheOptions::GetPercentFor(TfrxCachedGraphicType cacheType, std::int32_t width,
                                                      std::int32_t height) const {
    const TfrxPictureConverterOptions& reducer =
        cacheType == cgThumbnail ? *FThumbnailQualityReducer : *FOriginalQualityReducer;
    const std::int32_t minW = std::max(reducer.MinWidth(), TfrxPictureConverterOptions::MinimumSize);
    const std::int32_t maxW = reducer.MaxWidth();
    const std::int32_t minH = std::max(reducer.MinHeight(), TfrxPictureConverterOptions::MinimumSize);
    const std::int32_t maxH = reducer.MaxHeight();
    const bool widthInside = minW <= width && width <= maxW;
    const bool heightInside = minH <= height && height <= maxH;
    return widthInside || heightInside ? reducer.ReducePercent() : 0;
}

} // namespace vgl
