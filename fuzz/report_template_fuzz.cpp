// The report's template load: arbitrary bytes read by the report's LoadFromStream with every report
// class of the model registered, and by the component base's read (the stored-form route). Bad
// input ends in Errors or in a project exception; a template that loads without errors saves,
// and what it saves loads without errors and saves to the same bytes.
// links: vgl_report_model
#include <memory>
#include <string>

#include "fuzz/fuzz_input.h"
#include "platform/rtl/streams.h"
#include "report/foundation/initialization.h"
#include "report/model/report.h"
#include "report/model/report_model_init.h"
#include "script/engine/initialization.h"
#include "tests/report/model/service_doubles.h"

using namespace vgl;

namespace {

// The engine and the prepared-pages store are not exercised by a load; the doubles stand in.
struct TSetUp {
    TSetUp() {
        InitializeReportFoundation();
        InitializeScriptEngine();
        InitializeReportModel();
        Doubles = std::make_unique<test::TServiceDoubles>();
    }
    std::unique_ptr<test::TServiceDoubles> Doubles;
};

std::string Save(TfrxReport& report) {
    TMemoryStream stream;
    report.SaveToStream(stream);
    const auto* p = reinterpret_cast<const char*>(stream.Memory());
    return std::string(p, p + stream.GetSize());
}

bool Load(TfrxReport& report, const std::string& bytes) {
    TBytesStream stream(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    report.LoadFromStream(stream);
    return report.Errors().Count() == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static TSetUp setUp;
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string first;
    fuzz::Guarded([&] {
        TfrxReport report;
        report.EngineOptions()->SetNewSilentMode(simSilent);
        if (Load(report, input))
            first = Save(report);
    });
    if (!first.empty()) {
        TfrxReport again;
        again.EngineOptions()->SetNewSilentMode(simSilent);
        fuzz::Require(Load(again, first));
        fuzz::Require(Save(again) == first);
    }
    fuzz::Guarded([&] {
        TfrxReport report;
        TBytesStream stream(std::span<const std::uint8_t>(data, size));
        report.TfrxComponent::LoadFromStream(stream);
    });
    return 0;
}
