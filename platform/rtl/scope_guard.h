#pragma once
// Scope guards: a cleanup said once, run however the scope is left.
//
//     list.BeginUpdate();
//     const TScopeExit endUpdate([&] { list.EndUpdate(); });
//
// TScopeExit runs its cleanup on every exit (the try/finally of the platform); TScopeFail runs it
// only when an exception leaves the scope (the undo of a change that did not complete). A cleanup
// that raises while an exception is already leaving the scope is dropped, so the first error goes
// on; on a normal exit its exception propagates.

#include <exception>
#include <utility>

namespace vgl {

namespace detail {

template <class F, bool OnlyOnFailure> class TScopeGuard {
public:
    explicit TScopeGuard(F cleanup) : FCleanup(std::move(cleanup)), FExceptions(std::uncaught_exceptions()) {}
    TScopeGuard(const TScopeGuard&) = delete;
    TScopeGuard& operator=(const TScopeGuard&) = delete;

    ~TScopeGuard() noexcept(false) {
        if (!FActive)
            return;
        if (std::uncaught_exceptions() > FExceptions) {
            try {
                FCleanup();
            } catch (...) {
            }
        } else if (!OnlyOnFailure) {
            FCleanup();
        }
    }

    /// The cleanup will not run.
    void Dismiss() noexcept { FActive = false; }

private:
    F FCleanup;
    int FExceptions;
    bool FActive = true;
};

} // namespace detail

/// Runs the cleanup when the scope ends, however it ends.
template <class F> class [[nodiscard]] TScopeExit : public detail::TScopeGuard<F, false> {
public:
    explicit TScopeExit(F cleanup) : detail::TScopeGuard<F, false>(std::move(cleanup)) {}
};
template <class F> TScopeExit(F) -> TScopeExit<F>;

/// Runs the cleanup only when an exception leaves the scope.
template <class F> class [[nodiscard]] TScopeFail : public detail::TScopeGuard<F, true> {
public:
    explicit TScopeFail(F cleanup) : detail::TScopeGuard<F, true>(std::move(cleanup)) {}
};
template <class F> TScopeFail(F) -> TScopeFail<F>;

} // namespace vgl
