#include "service/global_logging.h"

#include <atomic>
#include <mutex>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"

namespace vgl {

namespace {

constexpr int kMaxLines = 200000;
constexpr int kCleanerIntervalSeconds = 600;
constexpr int kMaxFileAgeDays = 40;

std::mutex globalLock;
std::unique_ptr<TGlobalLogging> globalInstance;
std::atomic<TGlobalLogging*> globalPointer{nullptr};

} // namespace

TGlobalLogging::TGlobalLogging(TGlobalLoggingOptions options) {
    const String folder = options.Folder.empty() ? ProgramFolder() : IncludeTrailingPathDelimiter(options.Folder);
    const String program = options.ProgramName.empty() ? ExtractFileName(ProgramFileName()) : options.ProgramName;
    FLogFolder = folder + u"log/";
    if (!DirectoryExists(FLogFolder) && !ForceDirectories(FLogFolder))
        options.Environment.Debug(u"TGlobalLogging: cannot create the log folder " + FLogFolder);

    const String logFilename = FLogFolder + ChangeFileExt(program, u".log");
    FMessageLogger = std::make_unique<TMessageLoggerPermanent>(logFilename, options.Environment);
    FMessageLogger->SetLogFileName(logFilename);
    FMessageLogger->SetDateTimePatternFilename(u"yyyyMMdd");
    FMessageLogger->SetMaxLines(kMaxLines);
    FMessageLogger->SetShowMilliseconds(true);
    FMessageLogger->SetName(u"Logger");
    FMessageLogger->Start();

    FDirectoryCleaner = std::make_unique<TDirectoryCleaner>(
        FLogFolder, u"*.log", kCleanerIntervalSeconds, kMaxFileAgeDays, false,
        [this](const String& s, bool logToFile) { Meldung(s, logToFile); }, true, options.Environment.Clock);
}

TGlobalLogging::~TGlobalLogging() {
    FDirectoryCleaner.reset();
    if (FMessageLogger) {
        // The writer alone drains the queue to its end; only then is the file finished.
        FMessageLogger->StopWriter();
        FMessageLogger.reset();
    }
}

void TGlobalLogging::Meldung(const String& Msg, bool /*LogToFile*/) noexcept {
    FMessageLogger->LogMessage(Msg);
}

void InitializeLogging(TGlobalLoggingOptions options) {
    std::lock_guard<std::mutex> guard(globalLock);
    if (globalInstance)
        return;
    globalInstance = std::make_unique<TGlobalLogging>(std::move(options));
    globalPointer.store(globalInstance.get());
}

void FinalizeLogging() {
    std::lock_guard<std::mutex> guard(globalLock);
    globalPointer.store(nullptr);
    globalInstance.reset();
}

TGlobalLogging* GlobalLogging() {
    return globalPointer.load();
}

} // namespace vgl
