#include "service/permanent_logger.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/format.h"

namespace vgl {

namespace {

// Consecutive failed writes (without any byte getting through) before the rest of a batch is
// given up: a full disk must not hold the writer, and with it the shutdown, for good.
constexpr int kWriteAttempts = 3;
// Lines turned into bytes and written at a time: a long queue is written in pieces, so the
// buffer stays small.
constexpr size_t kLinesPerWrite = 4096;

// The eight digits of "<time>_<number>_<base>.log" as a number, 0 when they are not digits.
int FileNumberOf(StringView name, size_t baseLength) {
    if (name.size() < baseLength + 13)
        return 0;
    const StringView digits = name.substr(name.size() - baseLength - 13, 8);
    int number = 0;
    for (Char c : digits) {
        if (c < u'0' || c > u'9')
            return 0;
        number = number * 10 + (c - u'0');
    }
    return number;
}

String SystemErrorText(int error) {
    char buffer[256];
    return Utf8ToString(strerror_r(error, buffer, sizeof buffer));
}

} // namespace

// ---- TLinesCache ----------------------------------------------------------------------------

void TLinesCache::Add(String line) {
    std::lock_guard<std::mutex> guard(FLock);
    FLines.push_back(std::move(line));
}

void TLinesCache::AssignTo(TStrings& target) const {
    std::lock_guard<std::mutex> guard(FLock);
    target.BeginUpdate();
    target.Clear();
    for (const String& line : FLines)
        target.Add(line);
    target.EndUpdate();
}

void TLinesCache::Clear() {
    std::lock_guard<std::mutex> guard(FLock);
    FLines.clear();
}

int TLinesCache::Count() const {
    std::lock_guard<std::mutex> guard(FLock);
    return int(FLines.size());
}

// ---- TMessageLoggerPermanent ----------------------------------------------------------------

TMessageLoggerPermanent::TMessageLoggerPermanent(const String& logFilename, TLoggingEnvironment environment)
    : TMessageLogger(logFilename, std::move(environment)) {
    FLastDate = DateOf(Environment().CurrentTime());
    TCriticalSectionGuard guard(WriterLock());
    RecoverTempFiles();
}

TMessageLoggerPermanent::~TMessageLoggerPermanent() {
    StopWriter();
    // The writer has ended: lines queued after its last drain are written here, then the file is
    // finished. No other thread writes the file any more.
    try {
        TCriticalSectionGuard guard(WriterLock());
        WriteLines(TakeMessages());
        FinalizeLogFile();
    } catch (const std::exception& e) {
        Environment().Debug(u"TMessageLoggerPermanent.Destroy: " + Utf8ToString(e.what()));
    }
}

void TMessageLoggerPermanent::SetLogFileName(const String& value) {
    Environment().Debug(u"TMessageLoggerPermanent.SetLogFileName");
    TCriticalSectionGuard guard(WriterLock());
    FinalizeLogFile();
    FLogFilename = value;
    SetCurrentFilename(value);
    RecoverTempFiles();
}

String TMessageLoggerPermanent::GetActualLogFilename() {
    TCriticalSectionGuard guard(WriterLock());
    return FCompleteFileName;
}

void TMessageLoggerPermanent::SetDateTimePatternFilename(const String& value) {
    TCriticalSectionGuard guard(WriterLock());
    FDateTimePatternFilename = value;
    FinalizeLogFile();
    InitLogFile();
}

std::int64_t TMessageLoggerPermanent::ActualLines() const {
    TCriticalSectionGuard guard(const_cast<TMessageLoggerPermanent*>(this)->WriterLock());
    return FActualLines;
}

int TMessageLoggerPermanent::ActualFileNumber() const {
    TCriticalSectionGuard guard(const_cast<TMessageLoggerPermanent*>(this)->WriterLock());
    return FActualFileNumber;
}

void TMessageLoggerPermanent::ReadLogfile(TStrings& lines) {
    TCriticalSectionGuard guard(WriterLock());
    lines.Clear();
    const String folder = ExtractFilePath(FLogFilename);
    const String today = FormatDateTime(FDateTimePatternFilename, Environment().CurrentTime());
    for (const TSearchRec& found : FindFiles(folder, today + u"*.log")) {
        if (folder + found.Name == FLogFilename)
            continue;
        lines.Add(u"Filename: " + found.Name);
        TStringList content;
        try {
            content.LoadFromFile(folder + found.Name);
        } catch (const Exception& e) {
            Environment().Debug(u"TMessageLoggerPermanent.ReadLogfile: " + e.Message());
        }
        lines.AddStrings(content);
    }
    lines.Add(u"Filename: " + ExtractFileName(FCompleteFileName));
    TStringList current;
    FLinesCache.AssignTo(current);
    lines.AddStrings(current);
}

void TMessageLoggerPermanent::WriteMessages() {
    TMessageQueue messages = TakeMessages();
    if (!messages.empty())
        WriteLines(messages);
    CheckNewLogFile();
}

void TMessageLoggerPermanent::RecoverTempFiles() {
    const String folder = ExtractFilePath(FLogFilename);
    for (const TSearchRec& found : FindFiles(folder, u"*.logtmp")) {
        const String name = folder + found.Name;
        if (!RenameFile(name, ChangeFileExt(name, u".log")))
            Environment().Debug(u"TMessageLoggerPermanent.RecoverTempFiles: cannot rename " + name);
    }
    InitLogFile();
}

void TMessageLoggerPermanent::InitLogFile() {
    Environment().Debug(u"TMessageLoggerPermanent.InitLogFile");
    const String folder = ExtractFilePath(FLogFilename);
    const String base = ChangeFileExt(ExtractFileName(FLogFilename), u"");
    int highest = 0;
    for (const TSearchRec& found : FindFiles(folder, u"*" + base + u".log"))
        highest = std::max(highest, FileNumberOf(found.Name, base.size()));
    FActualFileNumber = highest + 1;
    StartFile();
}

void TMessageLoggerPermanent::StartFile() {
    FFile.reset();
    FCompleteFileName =
        ExtractFilePath(FLogFilename) +
        Format(u"%s_%8.8d_%s", {FormatDateTime(FDateTimePatternFilename, Environment().CurrentTime()),
                                FActualFileNumber, ChangeFileExt(ExtractFileName(FLogFilename), u".logtmp")});
    FHasCurrentFile = true;
    FLineOpen = false;
    // A new file holds no lines yet: a file finished before any line reached it is deleted.
    FActualLines = 0;
    FLinesCache.Clear();
    SetCurrentFilename(FCompleteFileName);
    try {
        FFile = std::make_unique<TFileStream>(FCompleteFileName, fmCreate);
    } catch (const Exception& e) {
        ReportUnwritable(u"TMessageLoggerPermanent.InitLogFile: " + e.Message());
    }
}

bool TMessageLoggerPermanent::EnsureFileOpen() {
    if (FFile)
        return true;
    if (!FHasCurrentFile)
        return false;
    try {
        if (FileExists(FCompleteFileName)) {
            FFile = std::make_unique<TFileStream>(FCompleteFileName, fmOpenWrite);
            FFile->Seek(0, soEnd);
        } else {
            FFile = std::make_unique<TFileStream>(FCompleteFileName, fmCreate);
            FLineOpen = false;
        }
        return true;
    } catch (const Exception& e) {
        FFile.reset();
        ReportUnwritable(u"TMessageLoggerPermanent.WriteMessages: " + e.Message());
        return false;
    }
}

void TMessageLoggerPermanent::WriteLines(const TMessageQueue& messages) {
    size_t dropped = 0;
    String error;
    for (size_t first = 0; first < messages.size(); first += kLinesPerWrite)
        dropped += WriteChunk(messages, first, std::min(messages.size(), first + kLinesPerWrite), error);
    if (messages.empty())
        return;
    if (dropped == 0) {
        FUnwritableReported = false;
        return;
    }
    ReportUnwritable(
        Format(u"TMessageLoggerPermanent.WriteMessages: %d log lines dropped. %s", {std::int64_t(dropped), error}));
}

size_t TMessageLoggerPermanent::WriteChunk(const TMessageQueue& messages, size_t first, size_t last, String& error) {
    // The lines go to the file in one write; `ends` marks where each line's bytes end, so that
    // after a failure exactly the lines that reached the file count as written.
    const bool fileOpen = EnsureFileOpen();
    std::vector<String> texts;
    texts.reserve(last - first);
    std::vector<size_t> ends;
    ends.reserve(last - first);
    // After a failed write that stopped inside a line, that fragment is ended first, so that
    // it is not joined to the next line.
    std::string bytes = FLineOpen ? "\r\n" : "";
    const size_t lead = bytes.size();
    for (size_t i = first; i < last; ++i) {
        texts.push_back(messages[i].MessageText());
        bytes += StringToUtf8(texts.back());
        bytes += "\r\n";
        ends.push_back(bytes.size());
    }

    size_t done = 0;
    if (fileOpen) {
        for (int failures = 0; done < bytes.size() && failures < kWriteAttempts;) {
            errno = 0;
            const std::int64_t n = FFile->Write(bytes.data() + done, std::int64_t(bytes.size() - done));
            done += size_t(n);
            if (done < bytes.size()) {
                ++failures;
                error = Format(u"Cannot write to \"%s\". %s", {FCompleteFileName, SystemErrorText(errno)});
                Environment().Debug(u"TMessageLoggerPermanent.WriteMessages: " + error);
            }
        }
    } else {
        error = u"The log file cannot be opened";
    }

    if (done == bytes.size())
        FLineOpen = false;
    else if (done > 0)
        FLineOpen = done != lead && !std::binary_search(ends.begin(), ends.end(), done);

    size_t written = 0;
    while (written < ends.size() && ends[written] <= done) {
        FLinesCache.Add(std::move(texts[written]));
        ++FActualLines;
        ++written;
    }
    return ends.size() - written;
}

void TMessageLoggerPermanent::ReportUnwritable(const String& text) {
    Environment().Debug(text);
    if (FUnwritableReported)
        return;
    FUnwritableReported = true;
    Environment().Error(text);
}

void TMessageLoggerPermanent::FinalizeLogFile() {
    if (!FHasCurrentFile)
        return;
    Environment().Debug(u"TMessageLoggerPermanent.FinalizeLogFile");
    FFile.reset();
    FHasCurrentFile = false;
    if (FActualLines == 0) {
        DeleteFile(FCompleteFileName);
        return;
    }
    if (!RenameFile(FCompleteFileName, ChangeFileExt(FCompleteFileName, u".log"))) {
        Environment().Debug(u"TMessageLoggerPermanent.FinalizeLogFile: cannot rename " + FCompleteFileName);
        return;
    }
    if (DoOnFinalizeFile) {
        try {
            DoOnFinalizeFile(this);
        } catch (...) {
            // A failing listener must not stop the writer.
        }
    }
}

void TMessageLoggerPermanent::CheckNewLogFile() {
    const TDateTime today = DateOf(Environment().CurrentTime());
    if (FActualLines <= MaxLines() && today == FLastDate)
        return;
    FLastDate = today;
    FinalizeLogFile();
    ++FActualFileNumber;
    StartFile();
}

} // namespace vgl
