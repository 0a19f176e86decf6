#include "service/logger.h"

#include <chrono>
#include <cstdio>
#include <exception>

#include "platform/rtl/exceptions.h"

namespace vgl {

TDateTime TLoggingEnvironment::CurrentTime() const {
    return Clock ? Clock() : Now();
}

void TLoggingEnvironment::Debug(const String& text) const {
    if (DebugOutput)
        DebugOutput(text);
}

void TLoggingEnvironment::Error(const String& text) const {
    if (ErrorOutput) {
        ErrorOutput(text);
        return;
    }
    const std::string bytes = StringToUtf8(text) + "\n";
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
}

namespace {

// The local time of a moment given in milliseconds since 1970 UTC. Turning a second into local
// time asks the host's time zone, which is slow and serialised; lines come in runs of the same
// second, so the last answer is kept per thread.
TDateTime LocalTimeOfUnixMs(std::int64_t unixMs) {
    thread_local std::int64_t cachedSecond = -1;
    thread_local TDateTime cachedLocal = 0;
    const std::int64_t second = unixMs / 1000;
    if (second != cachedSecond) {
        cachedLocal = ToLocalTime(UnixToDateTime(second));
        cachedSecond = second;
    }
    return cachedLocal + double(unixMs % 1000) / MSecsPerDay;
}

} // namespace

TSimpleMessage TSimpleMessage::Stamped(bool showMilliseconds, const String& text) {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    TSimpleMessage message;
    message.ShowMilliseconds = showMilliseconds;
    message.Text = text;
    message.UnixMs = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count();
    return message;
}

String TSimpleMessage::MessageText() const {
    // Lines come in runs of the same time stamp: the last one formatted is kept per thread.
    thread_local TDateTime cachedTime = -1;
    thread_local bool cachedMilliseconds = false;
    thread_local String cachedStamp;
    const TDateTime time = UnixMs >= 0 ? LocalTimeOfUnixMs(UnixMs) : Time;
    if (time != cachedTime || ShowMilliseconds != cachedMilliseconds || cachedStamp.empty()) {
        cachedStamp = FormatDateTime(ShowMilliseconds ? u"dd.mm.yyyy hh:nn:ss.zzz" : u"dd.mm.yyyy hh:nn:ss", time);
        cachedTime = time;
        cachedMilliseconds = ShowMilliseconds;
    }
    String line;
    line.reserve(cachedStamp.size() + 2 + Text.size());
    line += cachedStamp;
    line += u": ";
    line += Text;
    return line;
}

TLogger::TLogger(TLoggingEnvironment environment) : FEnvironment(std::move(environment)) {}

TLogger::~TLogger() {
    // The derived parts are gone here; their destructors have already stopped the writer.
    StopWriter();
}

void TLogger::Execute() {
    while (!Terminated()) {
        try {
            TCriticalSectionGuard guard(FWriterLock);
            WriteMessages();
        } catch (const std::exception& e) {
            FEnvironment.Debug(u"TLogger.Execute: " + Utf8ToString(e.what()));
        }
        FWake.WaitFor(FInterval.load());
    }
    // Lines queued while the loop ended are written before the thread stops.
    Flush();
}

void TLogger::Flush() {
    try {
        TCriticalSectionGuard guard(FWriterLock);
        WriteMessages();
    } catch (const std::exception& e) {
        FEnvironment.Debug(u"TLogger.Flush: " + Utf8ToString(e.what()));
    }
}

void TLogger::StopWriter() {
    Terminate();
    FWake.SetEvent();
    WaitFor();
}

size_t TLogger::QueuedCount() const {
    std::lock_guard<std::mutex> guard(FQueueLock);
    return FMessages.size();
}

void TLogger::Enqueue(TSimpleMessage message) noexcept {
    try {
        std::lock_guard<std::mutex> guard(FQueueLock);
        FMessages.push_back(std::move(message));
    } catch (...) {
        // Queuing never fails for the caller: a line that cannot be stored is lost.
    }
}

TMessageQueue TLogger::TakeMessages() {
    TMessageQueue taken;
    std::lock_guard<std::mutex> guard(FQueueLock);
    taken.swap(FMessages);
    return taken;
}

} // namespace vgl
