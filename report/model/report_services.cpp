#include "report/model/report_services.h"

#include "report/foundation/picture_cache_options.h"

namespace vgl {

TfrxCustomPreviewPages::TfrxCustomPreviewPages(TfrxComponent* report) : FReport(report) {}

TfrxCustomPreviewPages::~TfrxCustomPreviewPages() = default;

TfrxPictureCacheOptions& TfrxCustomPreviewPages::PictureCacheOptions() {
    if (!FPictureCacheOptions)
        FPictureCacheOptions = std::make_unique<TfrxPictureCacheOptions>();
    return *FPictureCacheOptions;
}

} // namespace vgl
