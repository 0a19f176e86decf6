#include "service/directory_cleaner.h"

#include <algorithm>
#include <exception>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"

namespace vgl {

void FindFilesInDirectory(TStrings& list, const String& folder, const String& pattern, bool filesOnly,
                          std::int64_t sizeLimit, int maxCount, const std::function<void(const String&)>& progress) {
    list.Clear();
    const String dir = folder.empty() ? folder : IncludeTrailingPathDelimiter(folder);
    int count = 0;
    for (const TSearchRec& found : FindFiles(dir, pattern, filesOnly)) {
        if (count >= maxCount)
            break;
        if (sizeLimit != -1 && found.Size >= sizeLimit)
            continue;
        list.Add(found.Name);
        ++count;
        if (progress)
            progress(String());
    }
}

void DeleteOldFiles(const String& directory, const String& pattern, int maxFileAgeDays, TDateTime now,
                    const TMeldung& onMeldung, const std::function<bool()>& stopRequested) {
    const String dir = IncludeTrailingPathDelimiter(directory);
    for (const TSearchRec& found : FindFiles(dir, pattern, true)) {
        if (stopRequested && stopRequested())
            return;
        TDateTime changed;
        try {
            changed = ToLocalTime(UnixToDateTime(found.ModifiedTime));
        } catch (const Exception&) {
            continue; // a time that cannot be read: the file is left alone
        }
        // Whole days only: the fraction of a day is dropped, so 40 days and some hours is 40.
        if (static_cast<std::int64_t>(now - changed) <= maxFileAgeDays)
            continue;
        if (onMeldung)
            onMeldung(u"TDirectoryCleaner.Execute: Delete file " + found.Name, true);
        DeleteFile(dir + found.Name);
    }
}

TDirectoryCleaner::TDirectoryCleaner(const String& aDirectory, const String& aFilePattern, int aIntervalSeconds,
                                     int aMaxFileAgeDays, bool aIsRecursive, TMeldung aOnMeldung,
                                     bool aInterruptOnTerminate, std::function<TDateTime()> clock)
    : FOnMeldung(std::move(aOnMeldung)), FDirectory(IncludeTrailingPathDelimiter(aDirectory)),
      FFilePattern(aFilePattern), FIntervalSeconds(aIntervalSeconds), FMaxFileAgeDays(aMaxFileAgeDays),
      FIsRecursive(aIsRecursive), FInterruptOnTerminate(aInterruptOnTerminate), FClock(std::move(clock)) {
    if (FIsRecursive)
        throw Exception(u"recursion not yet implemented");
    if (aIntervalSeconds < 1)
        throw EArgumentException(u"The cleaning interval must be at least one second, not %d", {aIntervalSeconds});
    if (aMaxFileAgeDays < 0)
        throw EArgumentException(u"The maximum file age must not be negative, not %d", {aMaxFileAgeDays});
    SetName(u"DirectoryCleaner");
    Start();
}

TDirectoryCleaner::~TDirectoryCleaner() {
    Terminate();
    FWake.SetEvent();
    WaitFor();
}

void TDirectoryCleaner::Execute() {
    while (!Terminated()) {
        try {
            DeleteOldFiles(FDirectory, FFilePattern, FMaxFileAgeDays, FClock ? FClock() : Now(), FOnMeldung,
                           [this] { return FInterruptOnTerminate && Terminated(); });
        } catch (const std::exception& e) {
            if (FOnMeldung) {
                try {
                    FOnMeldung(Utf8ToString(e.what()), true);
                } catch (...) {
                    // The receiver failed as well: nothing is left to tell.
                }
            }
        }
        // The pause ends at once when termination is asked (the destructor sets the event).
        const std::uint64_t pauseMs = std::uint64_t(FIntervalSeconds) * 1000u;
        FWake.WaitFor(unsigned(std::min<std::uint64_t>(pauseMs, INFINITE - 1)));
    }
}

} // namespace vgl
