#pragma once
// Report actions deferred while another action of the same report runs. A request to load,
// prepare, show or refresh that arrives during a preparation (from one of its events, say) is
// wrapped in a command and queued in the report's TfrxDelayedCommandManager; the report runs the
// queue when the running action has ended. The queue keeps at most one command per class (the
// latest request of a kind replaces the earlier one) and runs them in the order of their class
// names. Commands are held by std::shared_ptr; the queue holds one reference to each.

#include <map>
#include <memory>

#include "report/model/report_component.h"
#include "report/model/report_services.h"

namespace vgl {

class TMemoryStream;
class TStream;
class TfrxEngineOptions;
class TfrxCustomIOTransport;
class TfrxReport;

/// Loads the report's template from a copy of a stream.
class TfrxLoadFromStreamCommand : public TfrxBaseDelayedCommand {
public:
    /// Copies `stream` from its position to its end (the caller may free it at once).
    TfrxLoadFromStreamCommand(TfrxComponent* report, TStream& stream);
    ~TfrxLoadFromStreamCommand() override;
    String ClassName() const override { return u"TfrxLoadFromStreamCommand"; }
    /// The report loads its template from the copy.
    void Run() override;
    TMemoryStream& Stream() const { return *FStream; }

private:
    TfrxComponent* FReport;
    std::unique_ptr<TMemoryStream> FStream;
};

/// Loads the report's template through a copy of a transport.
class TfrxLoadFromCommand : public TfrxBaseDelayedCommand {
public:
    /// Makes an unregistered transport of `transport`'s class with its filter and shared
    /// properties (the caller may free the original at once).
    TfrxLoadFromCommand(TfrxReport* report, const TfrxCustomIOTransport& transport, const String& fileName);
    ~TfrxLoadFromCommand() override;
    String ClassName() const override { return u"TfrxLoadFromCommand"; }
    /// The report loads from the file name through the copy.
    void Run() override;
    TfrxCustomIOTransport& Transport() const { return *FTransport; }
    const String& FileName() const { return FFileName; }

private:
    TfrxReport* FReport;
    std::unique_ptr<TfrxCustomIOTransport> FTransport;
    String FFileName;
};

/// Loads the report's template from a file.
class TfrxLoadFromFileCommand : public TfrxBaseDelayedCommand {
public:
    TfrxLoadFromFileCommand(TfrxReport* report, const String& fileName, bool exceptionIfNotFound);
    String ClassName() const override { return u"TfrxLoadFromFileCommand"; }
    /// The report loads the file with the stored choice for a missing file.
    void Run() override;
    const String& FileName() const { return FFileName; }
    bool ExceptionIfNotFound() const { return FExceptionIfNotFound; }

private:
    TfrxReport* FReport;
    String FFileName;
    bool FExceptionIfNotFound;
};

/// The base of the commands that prepare or show: the clear-last flag and the report's engine
/// options as they were when the request was made.
class TfrxBasePrepareReportCommand : public TfrxBaseDelayedCommand {
public:
    /// Raises EArgumentException for a component that is no report.
    TfrxBasePrepareReportCommand(TfrxComponent* report, bool clearLast);
    ~TfrxBasePrepareReportCommand() override;
    String ClassName() const override { return u"TfrxBasePrepareReportCommand"; }
    /// Puts the stored engine options (ordinary and thread-related ones) back into the report.
    void Run() override;
    bool ClearLast() const { return FClearLast; }
    const TfrxEngineOptions& EngineOptions() const { return *FEngineOptions; }

protected:
    IfrxReportServices& Report() const { return *FReport; }

private:
    IfrxReportServices* FReport;
    bool FClearLast;
    std::unique_ptr<TfrxEngineOptions> FEngineOptions;
};

/// Prepares the report with the stored clear-last flag.
class TfrxPrepareReportCommand : public TfrxBasePrepareReportCommand {
public:
    using TfrxBasePrepareReportCommand::TfrxBasePrepareReportCommand;
    String ClassName() const override { return u"TfrxPrepareReportCommand"; }
    void Run() override;
};

/// Shows the report with the stored clear-last flag.
class TfrxShowReportCommand : public TfrxBasePrepareReportCommand {
public:
    using TfrxBasePrepareReportCommand::TfrxBasePrepareReportCommand;
    String ClassName() const override { return u"TfrxShowReportCommand"; }
    void Run() override;
};

/// Refreshes the report shown in the report's preview.
class TfrxRefreshReportCommand : public TfrxBasePrepareReportCommand {
public:
    using TfrxBasePrepareReportCommand::TfrxBasePrepareReportCommand;
    String ClassName() const override { return u"TfrxRefreshReportCommand"; }
    void Run() override;
};

/// The queue of delayed commands of one report (used by that report's thread only).
class TfrxDelayedCommandManager : public TObject {
public:
    TfrxDelayedCommandManager() = default;
    ~TfrxDelayedCommandManager() override;
    String ClassName() const override { return u"TfrxDelayedCommandManager"; }

    /// Queues the command, replacing a queued command of the same name. Ignored while the queue
    /// runs. Raises EArgumentException for none.
    void AddCommand(std::shared_ptr<IfrxDelayedCommand> command);
    /// Runs the queued commands in the order of their names (ASCII case-insensitive), each taken
    /// out of the queue before it runs, until the queue is empty. Nothing while already running.
    /// An exception of a command passes on; the commands after it stay queued.
    void RunAll();
    /// Drops every queued command.
    void Clear();
    bool IsRunning() const { return FIsRunning; }
    int Count() const { return int(FCommands.size()); }

private:
    std::map<String, std::shared_ptr<IfrxDelayedCommand>, TfrxNameLess> FCommands;
    bool FIsRunning = false;
};

} // namespace vgl
