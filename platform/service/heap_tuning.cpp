#include "platform/service/heap_tuning.h"

#include <malloc.h>
#include <unistd.h>

namespace vgl {

void TuneHeapForConcurrentRequests() {
    constexpr int kMiB = 1024 * 1024;
    mallopt(M_MMAP_THRESHOLD, 64 * kMiB);
    mallopt(M_TRIM_THRESHOLD, 32 * kMiB);
    const long cores = sysconf(_SC_NPROCESSORS_ONLN);
    mallopt(M_ARENA_MAX, cores > 0 ? 2 * int(cores) : 16);
}

} // namespace vgl
