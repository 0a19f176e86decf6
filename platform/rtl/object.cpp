#include "platform/rtl/object.h"

namespace vgl {

const std::shared_ptr<TObjectLink>& TObject::Identity() const {
    std::shared_ptr<TObjectLink>* link = FLink.load(std::memory_order_acquire);
    if (!link) {
        auto made =
            std::make_unique<std::shared_ptr<TObjectLink>>(std::make_shared<TObjectLink>(const_cast<TObject*>(this)));
        // Another thread may have made one meanwhile: then `link` receives it and ours goes.
        if (FLink.compare_exchange_strong(link, made.get(), std::memory_order_acq_rel, std::memory_order_acquire))
            link = made.release();
    }
    return *link;
}

void TObject::ReleaseIdentity() noexcept {
    std::unique_ptr<std::shared_ptr<TObjectLink>> link(FLink.exchange(nullptr, std::memory_order_acq_rel));
    if (link)
        (*link)->Object.store(nullptr, std::memory_order_release);
}

} // namespace vgl
