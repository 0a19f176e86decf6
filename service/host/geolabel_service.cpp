#include "service/host/geolabel_service.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "labels/fonts_module.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/scope_guard.h"
#include "platform/service/event_loop.h"
#include "platform/service/stop_signals.h"
#include "remoting/core/initialization.h"
#include "remoting/server/ro_rtti_server.h"
#include "remoting/server/ro_server.h"
#include "report/export/initialization.h"
#include "report/foundation/initialization.h"
#include "report/model/report_model_init.h"
#include "script/bindings/bindings.h"
#include "script/engine/initialization.h"
#include "service/geo_label_types.h"
#include "service/global_logging.h"
#include "service/host/server_data_module.h"
#include "service/host/server_form.h"
#include "service/host/service_start.h"
#include "service/host/velmora_geo_label_service.h"

namespace vgl {

namespace {

/// One line on standard error and in the log.
void ReportStartFailure(const String& text) {
    std::fprintf(stderr, "geolabel_service: %s\n", StringToUtf8(text).c_str());
    std::fflush(stderr);
    if (TGlobalLogging* logging = GlobalLogging())
        logging->Meldung(text);
}

String FailureText(const std::exception& e) {
    if (const auto* ours = dynamic_cast<const Exception*>(&e))
        return ours->ClassName() + u": " + ours->Message();
    return Utf8ToString(e.what());
}

/// Serves until a stop: the fonts, in window mode the server form, the server module, and the
/// loop. Everything made here is freed on the way out, the server module (close banner) after
/// the loop has ended.
int Serve(bool asService, const std::vector<String>& args) {
    TEventLoop loop(asService ? TLoopMode::Service : TLoopMode::Window);
    // Before the server listens, so that a stop signal from then on ends the loop cleanly.
    TStopSignals stopSignals([&loop] {
        if (TGlobalLogging* logging = GlobalLogging())
            logging->Meldung(u"Stop requested");
        loop.Terminate();
    });
    TDMFonts fonts(nullptr);
    // The form (its close timer) is there before the server listens, so that a CloseApplication
    // of the very first request finds it.
    std::optional<TServerForm> form;
    if (!asService)
        form.emplace(loop);
    std::unique_ptr<TServerDataModule> server;
    try {
        server = std::make_unique<TServerDataModule>(nullptr, args);
    } catch (const std::exception& e) {
        ReportStartFailure(FailureText(e));
        return 1;
    }
    loop.Run();
    form.reset();
    server.reset();
    return 0;
}

} // namespace

TServiceLibraries::TServiceLibraries() {
    // Each library that started is finished again, also when a later one fails to start.
    const auto start = [this](void (*initialize)(), void (*finalize)()) {
        initialize();
        if (finalize)
            FFinalizers.push_back(finalize);
    };
    try {
        start(InitializeRemotingCore, FinalizeRemotingCore);
        start(InitializeRemotingServer, FinalizeRemotingServer);
        start(InitializeReportFoundation, FinalizeReportFoundation);
        start(InitializeScriptEngine, FinalizeScriptEngine);
        start(InitializeScriptBindings, FinalizeScriptBindings);
        start(InitializeReportModel, FinalizeReportModel);
        start(InitializeReportExport, FinalizeReportExport);
        // The wire types and the service class stay registered until the server library goes.
        start(InitializeServiceTypes, nullptr);
        start(InitializeGeoLabelService, nullptr);
        SetRODLLibraryName(u"VelmoraGeoLabelServiceLib");
    } catch (...) {
        Finish();
        throw;
    }
}

TServiceLibraries::~TServiceLibraries() {
    Finish();
}

void TServiceLibraries::Finish() {
    while (!FFinalizers.empty()) {
        void (*finalize)() = FFinalizers.back();
        FFinalizers.pop_back();
        finalize();
    }
}

int RunGeoLabelService(int argc, char** argv) {
    std::vector<String> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(Utf8ToString(argv[i]));

    InitializeLogging();
    TScopeExit logging([] { FinalizeLogging(); });
    TServiceLibraries libraries;

    try {
        const TStartComboValues values = GeoLabelStartValues(ReadServiceDependencies());
        const TStartDecision decision = StartComboService(values, args);
        if (decision == TStartDecision::Install || decision == TStartDecision::Uninstall) {
            if (!FindCmdLineSwitch(args, u"silent"))
                std::printf("%s\n", decision == TStartDecision::Install ? "Service erfolgreich installiert"
                                                                        : "Service erfolgreich deinstalliert");
            return 0;
        }
        return Serve(decision == TStartDecision::Service, args);
    } catch (const std::exception& e) {
        ReportStartFailure(FailureText(e));
        return 1;
    }
}

} // namespace vgl
