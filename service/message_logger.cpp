#include "service/message_logger.h"

#include <algorithm>
#include <exception>
#include <memory>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/streams.h"

namespace vgl {

namespace {

// Lines that a failed save keeps for the next run.
constexpr int kMaxKeptLinesAfterFailedSave = 20000;

// Copies a file, replacing the target; false when it cannot be done.
bool CopyFileReplacing(const String& source, const String& target) {
    try {
        TFileStream in(source, fmOpenRead);
        TFileStream out(target, fmCreate);
        out.CopyFrom(in, 0);
        return true;
    } catch (const EStreamError&) {
        return false;
    }
}

// Removes the oldest lines until at most `count` remain, in one pass.
void KeepLastLines(TStringList& lines, int count) {
    if (lines.Count() <= count)
        return;
    TStringList kept;
    for (int i = lines.Count() - count; i < lines.Count(); ++i)
        kept.Add(lines[i]);
    lines.Assign(kept);
}

} // namespace

String TRqThreadSafeString::Value() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FValue;
}

void TRqThreadSafeString::SetValue(const String& value) {
    std::lock_guard<std::mutex> guard(FLock);
    FValue = value;
}

TMessageLogger::TMessageLogger(const String& logFilename, TLoggingEnvironment environment)
    : TLogger(std::move(environment)),
      FLogFilename(logFilename.empty() ? ChangeFileExt(ProgramFileName(), u".log") : logFilename) {}

TMessageLogger::~TMessageLogger() {
    StopWriter();
}

void TMessageLogger::LogMessage(const String& Value) noexcept {
    try {
        if (Environment().UsesSystemClock())
            Enqueue(TSimpleMessage::Stamped(FShowMilliseconds.load(), Value));
        else
            Enqueue(TSimpleMessage{Environment().CurrentTime(), FShowMilliseconds.load(), Value});
    } catch (...) {
        // Queuing never fails for the caller (a failing clock or allocation loses the line).
    }
}

void TMessageLogger::SetLogFileName(const String& value) {
    TCriticalSectionGuard guard(WriterLock());
    FLogFilename = value;
}

String TMessageLogger::GetActualLogFilename() {
    if (!AddDateToFilename())
        return FLogFilename;
    String date(1, u'_');
    date += FormatDateTime(u"yyyy-mm-dd", Environment().CurrentTime());
    String name = FLogFilename;
    name.insert(name.size() < 4 ? name.size() : name.size() - 4, date);
    return name;
}

void TMessageLogger::ReadLogfile(TStrings& lines) {
    TCriticalSectionGuard guard(FCriticalSection);
    try {
        lines.LoadFromFile(GetActualLogFilename());
    } catch (const Exception&) {
        lines.Clear();
    }
}

void TMessageLogger::SetCurrentFilename(const String& value) {
    FCurrentFilename.SetValue(value);
    if (OnFilenameChanged) {
        try {
            OnFilenameChanged(this);
        } catch (...) {
            // A failing listener must not stop the writer.
        }
    }
}

void TMessageLogger::CopyToBackup() {
    try {
        if (FileExists(FLogFilename) && !CopyFileReplacing(FLogFilename, FLogFilename + u".bak"))
            LogMessage(u"TMessageLogger: could not copy .bak file");
    } catch (const std::exception& e) {
        LogMessage(u"TMessageLogger: " + Utf8ToString(e.what()));
    }
}

void TMessageLogger::WriteMessages() {
    if (FIsJustStarted) {
        FIsJustStarted = false;
        CopyToBackup();
    }
    for (const TSimpleMessage& message : TakeMessages())
        FMessageCache.Add(message.MessageText());
    if (FMessageCache.Count() == 0)
        return;

    const String actual = GetActualLogFilename();
    if (actual != CurrentFilename())
        SetCurrentFilename(actual);
    TStringList file;
    {
        TCriticalSectionGuard guard(FCriticalSection);
        try {
            file.LoadFromFile(actual);
        } catch (const Exception&) {
            file.Clear(); // a missing or unreadable file counts as empty
        }
    }
    file.AddStrings(FMessageCache);
    KeepLastLines(file, std::max(0, MaxLines()));
    file.WriteBOM = false;
    try {
        TCriticalSectionGuard guard(FCriticalSection);
        file.SaveToFile(actual, TTextEncoding::UTF8);
    } catch (const Exception& e) {
        Environment().Debug(u"TMessageLogger.WriteMessages: " + e.Message());
        KeepLastLines(FMessageCache, kMaxKeptLinesAfterFailedSave);
        return;
    }
    FMessageCache.Clear();
}

} // namespace vgl
