#pragma once
// Run limits of the script engine. Script text is outside input, so no script may crash the
// process or hold a request for ever: a run has a time budget and routines a nesting bound,
// and every recursive walk of the engine probes the thread's remaining stack.
//
// A run (TfsScript::Run, Evaluate, CallFunction, a procedure call made by the host, or a
// constant computed at compile time) opens a TfsRunGuard. The outermost guard of a thread owns
// the budget; guards opened inside it share it. Once a limit is hit, every later check of that
// run raises the same error at once, so neither a script's except handler nor its finally block
// can carry on the work. The errors are EfsScriptLimit, which script try blocks do not catch.

#include <cstdint>

#include "platform/rtl/exceptions.h"

namespace vgl {

class TfsScript;

VGL_DECLARE_EXCEPTION(EfsScriptLimit, Exception);

/// Default time budget of an outermost run, in milliseconds.
constexpr std::int64_t fsDefaultRunTimeLimitMs = 30000;
/// Default bound of nested script routine calls.
constexpr int fsDefaultMaxCallDepth = 1000;

/// Opens a run on the calling thread for the duration of its scope. The outermost one takes the
/// budget and the depth bound from `script`'s topmost parent (RunTimeLimitMs, MaxCallDepth) and
/// raises at once when a limit of the enclosing run was already hit.
class TfsRunGuard {
public:
    explicit TfsRunGuard(const TfsScript* script);
    ~TfsRunGuard();
    TfsRunGuard(const TfsRunGuard&) = delete;
    TfsRunGuard& operator=(const TfsRunGuard&) = delete;

private:
    bool FOuter = false;
};

namespace detail {
// Steps left before the next full check (a clock read); 0 or below: check now. Plain thread-local
// storage, so that the inline checks below cost a few instructions.
extern __thread int tfsStepsLeft;
// The lowest address the thread's stack may reach (0 until learned).
extern __thread std::uintptr_t tfsStackLimit;
void fsRunStepSlow();
[[noreturn]] void fsStackExhausted();
std::uintptr_t fsLearnStackLimit();
} // namespace detail

/// One step of a run (a statement or a loop iteration): raises EfsScriptLimit once the run's
/// time budget is spent (the clock is read every few thousand steps) or a limit was hit before.
/// Does nothing outside a run.
inline void fsCheckRunStep() {
    if (--detail::tfsStepsLeft <= 0) [[unlikely]]
        detail::fsRunStepSlow();
}

/// Raises EfsScriptLimit when the calling thread has less stack left than the engine keeps in
/// reserve. Cheap (one comparison); every recursive walk of scripts calls it.
inline void fsCheckStack() {
    char probe = 0;
    std::uintptr_t limit = detail::tfsStackLimit;
    if (limit == 0) [[unlikely]]
        limit = detail::fsLearnStackLimit();
    if (reinterpret_cast<std::uintptr_t>(&probe) < limit) [[unlikely]]
        detail::fsStackExhausted();
}

/// True when the calling thread has less stack left than the engine keeps in reserve (the test of
/// fsCheckStack, for callers that report the condition their own way).
bool fsStackShort();

/// Raises the stack limit's EfsScriptLimit (for a caller that found the stack short itself).
[[noreturn]] void fsRaiseStackLimit();

/// True while a run is open on the calling thread.
bool fsRunInProgress();

/// Counts one nested script routine call for its scope; raises EfsScriptLimit beyond the run's
/// depth bound or when the stack runs short.
class TfsCallDepthGuard {
public:
    TfsCallDepthGuard();
    ~TfsCallDepthGuard();
    TfsCallDepthGuard(const TfsCallDepthGuard&) = delete;
    TfsCallDepthGuard& operator=(const TfsCallDepthGuard&) = delete;

private:
    bool FCounted = false;
};

/// The messages of the limits.
extern const char16_t* const fsSTimeLimit;  // "Script run time limit of %d ms exceeded"
extern const char16_t* const fsSDepthLimit; // "Script routines nested too deeply (more than %d calls)"
extern const char16_t* const fsSStackLimit; // "Script nested too deeply: stack exhausted"

} // namespace vgl
