#include "script/engine/script_limits.h"

#include <pthread.h>

#include <chrono>

#include "script/engine/script.h"

namespace vgl {

const char16_t* const fsSTimeLimit = u"Script run time limit of %d ms exceeded";
const char16_t* const fsSDepthLimit = u"Script routines nested too deeply (more than %d calls)";
const char16_t* const fsSStackLimit = u"Script nested too deeply: stack exhausted";

namespace {

using Clock = std::chrono::steady_clock;

// The stack reserve kept free below every check: what the deepest engine work between two
// checks, a host function and the unwinding of an exception need.
constexpr std::uintptr_t kStackReserve = 64 * 1024;
// Steps between two clock reads.
constexpr int kStepsPerClockRead = 4096;

struct RunState {
    int Guards = 0;
    Clock::time_point Deadline;
    bool HasDeadline = false;
    std::int64_t TimeLimitMs = 0;
    int Depth = 0;
    int MaxDepth = fsDefaultMaxCallDepth;
    bool Tripped = false;
    // The message of the limit that was hit: its format and number (the state stays trivially
    // destructible, so thread-local access needs no wrapper).
    const char16_t* TrippedFormat = nullptr;
    std::int64_t TrippedArgument = 0;
};

thread_local RunState tRun;

} // namespace

__thread int detail::tfsStepsLeft = 0;
__thread std::uintptr_t detail::tfsStackLimit = 0;

std::uintptr_t detail::fsLearnStackLimit() {
    std::uintptr_t result = 1;
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        void* base = nullptr;
        size_t size = 0;
        if (pthread_attr_getstack(&attr, &base, &size) == 0 && base && size > kStackReserve)
            result = reinterpret_cast<std::uintptr_t>(base) + kStackReserve;
        pthread_attr_destroy(&attr);
    }
    detail::tfsStackLimit = result;
    return result;
}

namespace {

String LimitMessage(const char16_t* format, std::int64_t argument) {
    return format == fsSStackLimit ? String(format) : Format(format, {argument});
}

[[noreturn, gnu::noinline]] void Trip(const char16_t* format, std::int64_t argument = 0) {
    if (tRun.Guards > 0 && !tRun.Tripped) {
        tRun.Tripped = true;
        detail::tfsStepsLeft = 0;
        tRun.TrippedFormat = format;
        tRun.TrippedArgument = argument;
    }
    throw EfsScriptLimit(LimitMessage(format, argument));
}

[[noreturn, gnu::noinline]] void RaiseTripped() {
    throw EfsScriptLimit(LimitMessage(tRun.TrippedFormat, tRun.TrippedArgument));
}

inline void RaiseIfTripped() {
    if (tRun.Tripped) [[unlikely]]
        RaiseTripped();
}

} // namespace

TfsRunGuard::TfsRunGuard(const TfsScript* script) {
    if (tRun.Guards == 0) {
        const TfsScript* root = script;
        while (root && root->Parent)
            root = root->Parent;
        tRun = RunState();
        if (root) {
            tRun.TimeLimitMs = root->RunTimeLimitMs;
            tRun.MaxDepth = root->MaxCallDepth;
        } else {
            tRun.TimeLimitMs = fsDefaultRunTimeLimitMs;
        }
        tRun.HasDeadline = tRun.TimeLimitMs > 0;
        detail::tfsStepsLeft = kStepsPerClockRead;
        if (tRun.HasDeadline)
            tRun.Deadline = Clock::now() + std::chrono::milliseconds(tRun.TimeLimitMs);
        FOuter = true;
    }
    ++tRun.Guards;
    if (!FOuter && tRun.Tripped) {
        --tRun.Guards;
        RaiseIfTripped();
    }
}

TfsRunGuard::~TfsRunGuard() {
    if (--tRun.Guards == 0) {
        tRun = RunState();
        detail::tfsStepsLeft = kStepsPerClockRead;
    }
}

void detail::fsRunStepSlow() {
    if (tRun.Guards == 0) {
        detail::tfsStepsLeft = kStepsPerClockRead;
        return;
    }
    RaiseIfTripped();
    detail::tfsStepsLeft = kStepsPerClockRead;
    if (tRun.HasDeadline && Clock::now() >= tRun.Deadline)
        Trip(fsSTimeLimit, tRun.TimeLimitMs);
}

void detail::fsStackExhausted() {
    Trip(fsSStackLimit);
}

void fsRaiseStackLimit() {
    Trip(fsSStackLimit);
}

bool fsStackShort() {
    char probe = 0;
    std::uintptr_t limit = detail::tfsStackLimit;
    if (limit == 0)
        limit = detail::fsLearnStackLimit();
    return reinterpret_cast<std::uintptr_t>(&probe) < limit;
}

bool fsRunInProgress() {
    return tRun.Guards > 0;
}

TfsCallDepthGuard::TfsCallDepthGuard() {
    fsCheckStack();
    if (tRun.Guards == 0)
        return;
    if (tRun.MaxDepth > 0 && tRun.Depth >= tRun.MaxDepth)
        Trip(fsSDepthLimit, tRun.MaxDepth);
    ++tRun.Depth;
    FCounted = true;
}

TfsCallDepthGuard::~TfsCallDepthGuard() {
    if (FCounted && tRun.Guards > 0)
        --tRun.Depth;
}

} // namespace vgl
