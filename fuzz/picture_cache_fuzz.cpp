// The picture cache loaded from a prepared-pages XML text: every index is read back by each kind
// of read and as a shared copy, then the cache is saved again. The first byte chooses the
// thumbnail build type.
// links: vgl_report_model
#include <memory>

#include "fuzz/fuzz_input.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/streams.h"
#include "report/foundation/graphic_formats.h"
#include "report/foundation/picture_formats.h"
#include "report/foundation/xml_document.h"
#include "report/foundation/xml_item.h"
#include "report/model/picture_cache.h"

using namespace vgl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static const bool registered = [] {
        if (frxGraphicFormatsInstance().Count() == 0)
            RegisterPictureFormats();
        return true;
    }();
    (void)registered;
    fuzz::FuzzInput input(data, size);
    auto build = TfrxThumbnailBuildType(input.Byte() % 5);
    fuzz::Guarded([&] {
        TfrxXMLDocument doc;
        TBytesStream stream(input.Rest());
        doc.LoadFromStream(stream);
        auto cache = std::make_shared<TfrxPictureCache>();
        cache->PictureCacheOptions().SetCachedImagesBuildType(build);
        cache->PictureCacheOptions().ThumbnailQualityReducer()->SetReducePercent(50);
        fuzz::Guarded([&] { cache->LoadFromXML(*doc.Root()); });
        std::shared_ptr<IfrxCachedGraphic> kept;
        int count = cache->Originals().Count();
        for (int i = -1; i <= count + 1; ++i) {
            cache->GetGraphic(i);
            cache->GetImageSize(cgOriginal, i);
            fuzz::Guarded([&] {
                TBitmap bitmap;
                cache->GetGraphic(bitmap, i);
            });
            fuzz::Guarded([&] {
                TPicture picture;
                cache->GetPicture(picture, i);
            });
            kept = cache->GetCachedBitmap(cgThumbnail, i);
            cache->GetCachedBitmap(cgOriginal, i);
        }
        TfrxXMLItem out;
        fuzz::Guarded([&] { cache->SaveToXML(out); });
        cache.reset(); // a copy that outlives its cache stays usable
        if (kept)
            kept->GetGraphic(cgNone);
    });
    return 0;
}
