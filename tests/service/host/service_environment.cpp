// The libraries of the service and the label fonts, started once for the in-process tests of this
// executable and finished after the last test.

#include <memory>

#include <gtest/gtest.h>

#include "labels/fonts_module.h"
#include "service/host/geolabel_service.h"

namespace vgl {
namespace {

class TServiceEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        FLibraries = std::make_unique<TServiceLibraries>();
        FFonts = std::make_unique<TDMFonts>(nullptr);
    }
    void TearDown() override {
        FFonts.reset();
        FLibraries.reset();
    }

private:
    std::unique_ptr<TServiceLibraries> FLibraries;
    std::unique_ptr<TDMFonts> FFonts;
};

[[maybe_unused]] ::testing::Environment* const ServiceEnvironment =
    ::testing::AddGlobalTestEnvironment(new TServiceEnvironment);

} // namespace
} // namespace vgl
