#pragma once
// Timing helpers of the ratio benchmarks that time two sides alternately by hand.

#include <algorithm>
#include <chrono>
#include <vector>

namespace vgl::bench {

/// Wall time in milliseconds. The thread's CPU time would be steadier on a busy machine, but the
/// time the system spends faulting pages in is not always charged to the thread, and that time is
/// part of what the measured work costs.
inline double NowMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

/// The median of the values (0 for none).
inline double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace vgl::bench
