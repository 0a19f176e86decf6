#pragma once
// TMessageLogger: a logger that keeps one size-limited text file, rewritten with every batch,
// with a ".bak" copy of the file it found at its first write.

#include <atomic>
#include <functional>
#include <mutex>

#include "platform/rtl/string_list.h"
#include "service/logger.h"

namespace vgl {

/// A text guarded by its own lock.
class TRqThreadSafeString {
public:
    String Value() const;
    void SetValue(const String& value);

private:
    mutable std::mutex FLock;
    String FValue;
};

/// Created stopped: call Start() once it is configured. Files are UTF-8 without a byte-order mark,
/// lines ended by CR LF.
class TMessageLogger : public TLogger {
public:
    /// `logFilename` empty: the program's file name with the extension ".log".
    explicit TMessageLogger(const String& logFilename = String(), TLoggingEnvironment environment = {});
    ~TMessageLogger() override;
    String ClassName() const override { return u"TMessageLogger"; }

    /// Queues `Value` with the current local time; never raises, never waits for the disk.
    void LogMessage(const String& Value) noexcept;

    const String& LogFilename() const { return FLogFilename; }
    virtual void SetLogFileName(const String& value);
    /// The file the next batch goes to: LogFilename, with AddDateToFilename the name with "_" and
    /// today as "YYYY-MM-DD" inserted before its last four characters.
    virtual String GetActualLogFilename();
    /// Fills `lines` with the lines of the actual log file (none when it cannot be read).
    virtual void ReadLogfile(TStrings& lines);

    /// Lines kept in the file (default 10000); may be changed while the writer runs.
    int MaxLines() const { return FMaxLines.load(); }
    void SetMaxLines(int value) { FMaxLines.store(value); }
    bool AddDateToFilename() const { return FAddDateToFilename.load(); }
    void SetAddDateToFilename(bool value) { FAddDateToFilename.store(value); }
    /// Time stamps with milliseconds ("DD.MM.YYYY hh:mm:ss.zzz") or without.
    bool ShowMilliseconds() const { return FShowMilliseconds.load(); }
    void SetShowMilliseconds(bool value) { FShowMilliseconds.store(value); }

    /// The file being written. Setting it calls OnFilenameChanged (its exceptions are swallowed).
    String CurrentFilename() const { return FCurrentFilename.Value(); }
    /// Called with this logger after CurrentFilename changed; set before Start.
    std::function<void(TObject* sender)> OnFilenameChanged;

protected:
    void WriteMessages() override;
    void SetCurrentFilename(const String& value);
    /// The file lock: held around loading and saving the file.
    TCriticalSection& FileLock() { return FCriticalSection; }

    String FLogFilename;

private:
    void CopyToBackup();

    TStringList FMessageCache;
    std::atomic<int> FMaxLines{10000};
    std::atomic<bool> FAddDateToFilename{false};
    std::atomic<bool> FShowMilliseconds{false};
    bool FIsJustStarted = true;
    TCriticalSection FCriticalSection;
    TRqThreadSafeString FCurrentFilename;
};

} // namespace vgl
