#include "report/foundation/picture_cache_options.h"

#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"
#include "report/foundation/xml_serializer.h"

namespace vgl {
namespace {

TEST(PictureCacheOptions, PercentFollowsTheReducerBounds) {
    TfrxPictureCacheOptions options;
    options.OriginalQualityReducer()->SetReducePercent(40);
    options.ThumbnailQualityReducer()->SetReducePercent(70);
    options.ThumbnailQualityReducer()->SetMaxWidth(100);
    options.ThumbnailQualityReducer()->SetMaxHeight(100);
    struct Case {
        TfrxCachedGraphicType type;
        int width, height, expected;
    };
    const Case cases[] = {
        {cgOriginal, 20, 20, 0},    {cgOriginal, 40, 20, 40},  {cgOriginal, 20, 32, 40},
        {cgNone, 31, 31, 0},        {cgNone, 32, 10, 40},      {cgThumbnail, 50, 500, 70},
        {cgThumbnail, 500, 500, 0}, {cgThumbnail, 101, 31, 0}, {cgThumbnail, 500, 100, 70},
    };
    for (const Case& c : cases)
        EXPECT_EQ(options.GetPercentFor(c.type, c.width, c.height), c.expected)
            << c.type << " " << c.width << "x" << c.height;
}

TEST(PictureCacheOptions, MinimumsAndPercentAreChecked) {
    TfrxPictureConverterOptions reducer;
    EXPECT_EQ(reducer.MinWidth(), 0);
    reducer.SetMinWidth(10);
    EXPECT_EQ(reducer.MinWidth(), 32);
    reducer.SetMinHeight(-5);
    EXPECT_EQ(reducer.MinHeight(), 32);
    reducer.SetMinHeight(64);
    EXPECT_EQ(reducer.MinHeight(), 64);
    EXPECT_THROW(reducer.SetReducePercent(101), ERangeError);
    EXPECT_THROW(SetOrdProp(reducer, u"ReducePercent", -1), ERangeError);
}

TEST(PictureCacheOptions, AssignCopiesEveryValue) {
    TfrxPictureCacheOptions source, target;
    source.OriginalQualityReducer()->SetMaxWidth(800);
    source.OriginalQualityReducer()->SetReducePercent(25);
    source.ThumbnailQualityReducer()->SetMinHeight(48);
    source.SetCachedImagesBuildType(tbtAtSave);
    target.Assign(&source);
    EXPECT_EQ(target.OriginalQualityReducer()->MaxWidth(), 800);
    EXPECT_EQ(target.OriginalQualityReducer()->ReducePercent(), 25);
    EXPECT_EQ(target.OriginalQualityReducer()->MinWidth(), 32) << "copied through the setter";
    EXPECT_EQ(target.ThumbnailQualityReducer()->MinHeight(), 48);
    EXPECT_EQ(target.CachedImagesBuildType(), tbtAtSave);
    target.Assign(target.OriginalQualityReducer()); // another kind of source is ignored
    EXPECT_EQ(target.CachedImagesBuildType(), tbtAtSave);
}

TEST(PictureCacheOptions, SerializerWritesAndReadsTheOptions) {
    TfrxPictureCacheOptions options;
    TfrxXMLSerializer serializer;
    // The minimums start at 0, not at their declared default 32; ReducePercent has no default.
    EXPECT_EQ(serializer.ObjToXML(&options),
              u" OriginalQualityReducer.MinWidth=\"0\" OriginalQualityReducer.MinHeight=\"0\""
              u" OriginalQualityReducer.ReducePercent=\"0\" ThumbnailQualityReducer.MinWidth=\"0\""
              u" ThumbnailQualityReducer.MinHeight=\"0\" ThumbnailQualityReducer.ReducePercent=\"0\"");
    TfrxPictureCacheOptions read;
    serializer.XMLToObj(u" CachedImagesBuildType=\"tbtAtPreview\" ThumbnailQualityReducer.ReducePercent=\"55\""
                        u" OriginalQualityReducer.MaxHeight=\"600\" OriginalQualityReducer.ReducePercent=\"101\"",
                        read);
    EXPECT_EQ(read.CachedImagesBuildType(), tbtAtPreview);
    EXPECT_EQ(read.ThumbnailQualityReducer()->ReducePercent(), 55);
    EXPECT_EQ(read.OriginalQualityReducer()->MaxHeight(), 600);
    EXPECT_EQ(read.OriginalQualityReducer()->ReducePercent(), 0);
    EXPECT_EQ(serializer.Errors().Count(), 1) << "101 is out of range";
}

} // namespace
} // namespace vgl
