#include "report/model/report_commands.h"

#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/streams.h"
#include "report/model/io_transport.h"
#include "report/model/report.h"
#include "report/model/report_options.h"

namespace vgl {

// ---- TfrxLoadFromStreamCommand ---------------------------------------------------------------

TfrxLoadFromStreamCommand::TfrxLoadFromStreamCommand(TfrxComponent* report, TStream& stream)
    : FReport(report), FStream(std::make_unique<TMemoryStream>()) {
    if (!report)
        throw EArgumentException(u"A load command needs a report");
    // Copied in blocks of at most 1 MiB, so a stream of unknown size is read to its end.
    constexpr std::int64_t blockSize = 1 << 20;
    std::vector<std::uint8_t> block(static_cast<std::size_t>(blockSize));
    for (std::int64_t read; (read = stream.Read(block.data(), blockSize)) > 0;)
        FStream->WriteBuffer(block.data(), read);
    FStream->SetPosition(0);
}

TfrxLoadFromStreamCommand::~TfrxLoadFromStreamCommand() = default;

void TfrxLoadFromStreamCommand::Run() {
    FStream->SetPosition(0);
    FReport->LoadFromStream(*FStream);
}

// ---- TfrxLoadFromCommand and TfrxLoadFromFileCommand -------------------------------------------

TfrxLoadFromCommand::TfrxLoadFromCommand(TfrxReport* report, const TfrxCustomIOTransport& transport,
                                         const String& fileName)
    : FReport(report), FTransport(transport.NewNoRegister()), FFileName(fileName) {
    if (!report)
        throw EArgumentException(u"A load command needs a report");
    FTransport->AssignFilter(&transport);
    FTransport->AssignSharedProperties(&transport);
}

TfrxLoadFromCommand::~TfrxLoadFromCommand() = default;

void TfrxLoadFromCommand::Run() {
    FReport->LoadFromFilter(FTransport.get(), FFileName);
}

TfrxLoadFromFileCommand::TfrxLoadFromFileCommand(TfrxReport* report, const String& fileName, bool exceptionIfNotFound)
    : FReport(report), FFileName(fileName), FExceptionIfNotFound(exceptionIfNotFound) {
    if (!report)
        throw EArgumentException(u"A load command needs a report");
}

void TfrxLoadFromFileCommand::Run() {
    FReport->LoadFromFile(FFileName, FExceptionIfNotFound);
}

// ---- Prepare, show and refresh ---------------------------------------------------------------

TfrxBasePrepareReportCommand::TfrxBasePrepareReportCommand(TfrxComponent* report, bool clearLast)
    : FReport(ReportServicesOf(report)), FClearLast(clearLast), FEngineOptions(std::make_unique<TfrxEngineOptions>()) {
    if (!FReport || !FReport->EngineOptions())
        throw EArgumentException(u"A prepare command needs a report");
    FEngineOptions->Assign(FReport->EngineOptions());
    FEngineOptions->AssignThreadProps(FReport->EngineOptions());
}

TfrxBasePrepareReportCommand::~TfrxBasePrepareReportCommand() = default;

void TfrxBasePrepareReportCommand::Run() {
    TfrxEngineOptions* options = FReport->EngineOptions();
    options->Assign(FEngineOptions.get());
    options->AssignThreadProps(FEngineOptions.get());
}

void TfrxPrepareReportCommand::Run() {
    TfrxBasePrepareReportCommand::Run();
    Report().PrepareReport(ClearLast());
}

void TfrxShowReportCommand::Run() {
    TfrxBasePrepareReportCommand::Run();
    Report().ShowReport(ClearLast());
}

void TfrxRefreshReportCommand::Run() {
    TfrxBasePrepareReportCommand::Run();
    Report().RefreshActivePreviewedReport();
}

// ---- TfrxDelayedCommandManager ---------------------------------------------------------------

TfrxDelayedCommandManager::~TfrxDelayedCommandManager() = default;

void TfrxDelayedCommandManager::AddCommand(std::shared_ptr<IfrxDelayedCommand> command) {
    if (!command)
        throw EArgumentException(u"No command to queue");
    if (FIsRunning)
        return;
    FCommands.insert_or_assign(command->GetName(), std::move(command));
}

void TfrxDelayedCommandManager::RunAll() {
    if (FIsRunning)
        return;
    FIsRunning = true;
    TScopeExit stop([this] { FIsRunning = false; });
    while (!FCommands.empty()) {
        auto first = FCommands.begin();
        std::shared_ptr<IfrxDelayedCommand> command = std::move(first->second);
        FCommands.erase(first);
        command->Run();
    }
}

void TfrxDelayedCommandManager::Clear() {
    FCommands.clear();
}

} // namespace vgl
