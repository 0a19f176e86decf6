#include "platform/service/heap_tuning.h"

#include <malloc.h>

namespace vgl {

void TuneHeapForConcurrentRequests() {
    constexpr int kMiB = 1024 * 1024;
    mallopt(M_MMAP_THRESHOLD, 64 * kMiB);
    mallopt(M_TRIM_THRESHOLD, 32 * kMiB);
}

} // namespace vgl
