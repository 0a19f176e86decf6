#pragma once
// TMessageLoggerPermanent: numbered log files per day, appended to while open. A file is written
// under a name ending in ".logtmp" and gets the same name ending in ".log" when it is finished.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/rtl/streams.h"
#include "service/message_logger.h"

namespace vgl {

/// The lines of the current permanent log file, guarded by their own lock.
class TLinesCache {
public:
    void Add(String line);
    /// Replaces the lines of `target` by the cached lines.
    void AssignTo(TStrings& target) const;
    void Clear();
    int Count() const;

private:
    mutable std::mutex FLock;
    std::vector<String> FLines;
};

/// File name: folder of LogFilename + the creation time in DateTimePatternFilename + "_" + the
/// file number as eight digits + "_" + LogFilename's name with the extension ".logtmp".
/// Construction finishes leftover ".logtmp" files of the folder (they become ".log") and opens a
/// file numbered one above the highest existing ".log" file. Created stopped: call Start().
/// A file that cannot be created or written never stops the logger: the first failure is reported
/// on the environment's error output, the lines meanwhile are dropped, and every batch tries to
/// open the file again.
class TMessageLoggerPermanent : public TMessageLogger {
public:
    explicit TMessageLoggerPermanent(const String& logFilename = String(), TLoggingEnvironment environment = {});
    /// Stops the writer (which writes what is queued), then finishes the current file.
    ~TMessageLoggerPermanent() override;
    String ClassName() const override { return u"TMessageLoggerPermanent"; }

    /// Finishes the current file, takes the new name, finishes leftovers and starts a new file.
    void SetLogFileName(const String& value) override;
    /// The full name of the file being written (ending in ".logtmp").
    String GetActualLogFilename() override;
    /// Today's finished files of the folder, each as "Filename: <name>" and its lines, then
    /// "Filename: <current file>" and the lines written into it so far.
    void ReadLogfile(TStrings& lines) override;

    const String& DateTimePatternFilename() const { return FDateTimePatternFilename; }
    /// Stores the pattern, finishes the current file and starts a new one.
    void SetDateTimePatternFilename(const String& value);

    /// Called with this logger after a file got its ".log" name; exceptions are swallowed.
    std::function<void(TObject* sender)> DoOnFinalizeFile;

    /// Lines written into the current file.
    std::int64_t ActualLines() const;
    int ActualFileNumber() const;

protected:
    void WriteMessages() override;

private:
    void RecoverTempFiles();
    void InitLogFile();
    void FinalizeLogFile();
    void CheckNewLogFile();
    /// Names, creates and opens the file numbered FActualFileNumber.
    void StartFile();
    bool EnsureFileOpen();
    void WriteLines(const TMessageQueue& messages);
    /// Writes messages[first, last); gives the number of lines that did not reach the file.
    size_t WriteChunk(const TMessageQueue& messages, size_t first, size_t last, String& error);
    void ReportUnwritable(const String& text);

    std::unique_ptr<TFileStream> FFile;
    bool FHasCurrentFile = false;
    std::int64_t FActualLines = 0;
    int FActualFileNumber = 0;
    String FCompleteFileName;
    TLinesCache FLinesCache;
    TDateTime FLastDate = 0;
    String FDateTimePatternFilename = u"yyyyMMddHHmmsszzz";
    /// Set once a failure was reported; cleared by the next successful write.
    bool FUnwritableReported = false;
    /// A failed write left part of a line at the end of the file: the next write ends it first.
    bool FLineOpen = false;
};

} // namespace vgl
