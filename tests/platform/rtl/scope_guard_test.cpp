#include "platform/rtl/scope_guard.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace vgl {
namespace {

TEST(ScopeGuard, ExitRunsOnEveryRoadFailOnlyOnAnException) {
    std::string log;
    {
        const TScopeExit exit([&] { log += "exit;"; });
        const TScopeFail fail([&] { log += "fail;"; });
    }
    EXPECT_EQ(log, "exit;");

    log.clear();
    try {
        const TScopeExit exit([&] { log += "exit;"; });
        const TScopeFail fail([&] { log += "fail;"; });
        throw std::runtime_error("body");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(log, "fail;exit;"); // in reverse order of construction, as destructors run

    log.clear();
    {
        TScopeExit exit([&] { log += "exit;"; });
        exit.Dismiss();
    }
    EXPECT_EQ(log, "");
}

TEST(ScopeGuard, TheFirstErrorWinsAndACleanupErrorOtherwisePropagates) {
    // An error of the cleanup while the body's error leaves the scope is dropped.
    try {
        const TScopeExit exit([] { throw std::runtime_error("cleanup"); });
        throw std::runtime_error("body");
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "body");
    }
    // On a normal exit the cleanup's error is the scope's error.
    bool raised = false;
    try {
        const TScopeExit exit([] { throw std::runtime_error("cleanup"); });
    } catch (const std::runtime_error& e) {
        raised = true;
        EXPECT_EQ(std::string(e.what()), "cleanup");
    }
    EXPECT_TRUE(raised);
    // A guard made in a destructor that runs while an error unwinds counts only the errors of
    // its own scope: it ends normally.
    struct Unwinding {
        bool& Ran;
        ~Unwinding() {
            const TScopeFail fail([&] { Ran = true; });
        }
    };
    bool ran = false;
    try {
        const Unwinding unwinding{ran};
        throw std::runtime_error("outer");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(ran);
}

} // namespace
} // namespace vgl
