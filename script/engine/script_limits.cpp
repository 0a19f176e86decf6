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
    int Steps = 0;
    int Depth = 0;
    int MaxDepth = fsDefaultMaxCallDepth;
    bool Tripped = false;
    String TrippedMessage;
};

thread_local RunState tRun;

// The lowest address the calling thread's stack may reach before the reserve; 0 when unknown.
std::uintptr_t StackLimit() {
    thread_local std::uintptr_t limit = [] {
        std::uintptr_t result = 0;
        pthread_attr_t attr;
        if (pthread_getattr_np(pthread_self(), &attr) == 0) {
            void* base = nullptr;
            size_t size = 0;
            if (pthread_attr_getstack(&attr, &base, &size) == 0 && base && size > kStackReserve)
                result = reinterpret_cast<std::uintptr_t>(base) + kStackReserve;
            pthread_attr_destroy(&attr);
        }
        return result;
    }();
    return limit;
}

[[noreturn]] void Trip(const String& message) {
    if (tRun.Guards > 0 && !tRun.Tripped) {
        tRun.Tripped = true;
        tRun.TrippedMessage = message;
    }
    throw EfsScriptLimit(message);
}

void RaiseIfTripped() {
    if (tRun.Tripped)
        throw EfsScriptLimit(tRun.TrippedMessage);
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
    if (--tRun.Guards == 0)
        tRun = RunState();
}

void fsCheckRunStep() {
    if (tRun.Guards == 0)
        return;
    RaiseIfTripped();
    if (++tRun.Steps < kStepsPerClockRead)
        return;
    tRun.Steps = 0;
    if (tRun.HasDeadline && Clock::now() >= tRun.Deadline)
        Trip(Format(fsSTimeLimit, {tRun.TimeLimitMs}));
}

bool fsStackShort() {
    char probe = 0;
    return reinterpret_cast<std::uintptr_t>(&probe) < StackLimit();
}

bool fsRunInProgress() {
    return tRun.Guards > 0;
}

void fsCheckStack() {
    if (fsStackShort())
        Trip(fsSStackLimit);
    if (tRun.Guards > 0)
        RaiseIfTripped();
}

TfsCallDepthGuard::TfsCallDepthGuard() {
    fsCheckStack();
    if (tRun.Guards == 0)
        return;
    if (tRun.MaxDepth > 0 && tRun.Depth >= tRun.MaxDepth)
        Trip(Format(fsSDepthLimit, {tRun.MaxDepth}));
    ++tRun.Depth;
    FCounted = true;
}

TfsCallDepthGuard::~TfsCallDepthGuard() {
    if (FCounted && tRun.Guards > 0)
        --tRun.Depth;
}

} // namespace vgl
