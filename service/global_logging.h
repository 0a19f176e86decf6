#pragma once
// TGlobalLogging: the process-wide logger of the service. Lines go to numbered daily files in
// the folder "log" beside the program; a cleaner thread deletes files older than 40 days.

#include <memory>

#include "service/directory_cleaner.h"
#include "service/permanent_logger.h"

namespace vgl {

struct TGlobalLoggingOptions {
    /// The folder that receives the "log" folder; the program's folder when empty.
    String Folder;
    /// The program's file name (without folder) that names the log files; the running program's
    /// when empty.
    String ProgramName;
    TLoggingEnvironment Environment;
};

/// Creation makes the log folder (a folder that cannot be made is reported once on the error
/// output, and the service goes on without a log), finishes leftover files, opens today's file
/// and starts the writer and the cleaner. Destruction stops the cleaner, then the writer (which
/// writes every queued line), then finishes the current file.
class TGlobalLogging {
public:
    explicit TGlobalLogging(TGlobalLoggingOptions options = {});
    ~TGlobalLogging();
    TGlobalLogging(const TGlobalLogging&) = delete;
    TGlobalLogging& operator=(const TGlobalLogging&) = delete;

    /// Queues `Msg` and returns at once; `LogToFile` is not looked at.
    void Meldung(const String& Msg, bool LogToFile = true) noexcept;

    TMessageLoggerPermanent& MessageLogger() { return *FMessageLogger; }
    /// The log folder, ending with "/".
    const String& LogFolder() const { return FLogFolder; }

private:
    String FLogFolder;
    std::unique_ptr<TMessageLoggerPermanent> FMessageLogger;
    std::unique_ptr<TDirectoryCleaner> FDirectoryCleaner;
};

/// Creates the process-wide logger (once; a second call changes nothing).
void InitializeLogging(TGlobalLoggingOptions options = {});
/// Frees the process-wide logger. Call when no other thread logs any more.
void FinalizeLogging();
/// The process-wide logger; null before InitializeLogging and after FinalizeLogging.
TGlobalLogging* GlobalLogging();

} // namespace vgl
