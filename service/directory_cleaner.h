#pragma once
// TDirectoryCleaner: a background thread that deletes the files of one folder whose last change
// lies more than a number of whole days back; and FindFilesInDirectory, the folder listing it uses.

#include <cstdint>
#include <functional>
#include <limits>

#include "platform/rtl/datetime.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sync.h"
#include "platform/rtl/thread.h"

namespace vgl {

/// A message receiver: the text and whether it belongs in the log file.
using TMeldung = std::function<void(const String& s, bool LogToFile)>;

/// Empties `list`, then adds the names (without folder) of the entries of `folder` that match
/// `pattern` ("*", "?"), in the order the file system returns them, hidden ones included. Folders
/// are left out when `filesOnly`; entries whose size is not below `sizeLimit` are left out unless
/// it is -1; at most `maxCount` names are added; `progress` (when set) is called with an empty
/// text after each name. A missing folder or no match leaves the list empty; nothing is raised.
void FindFilesInDirectory(TStrings& list, const String& folder, const String& pattern, bool filesOnly = true,
                          std::int64_t sizeLimit = -1, int maxCount = std::numeric_limits<int>::max(),
                          const std::function<void(const String&)>& progress = {});

/// One cleaning pass: deletes every file of `directory` matching `pattern` whose last change
/// (local time) lies more than `maxFileAgeDays` whole days before `now`, each announced to
/// `onMeldung` as "TDirectoryCleaner.Execute: Delete file <name>" before it is deleted. A file
/// that cannot be deleted stays, silently. The pass ends early when `stopRequested` answers true.
void DeleteOldFiles(const String& directory, const String& pattern, int maxFileAgeDays, TDateTime now,
                    const TMeldung& onMeldung, const std::function<bool()>& stopRequested = {});

/// Runs a pass at start and then every `aIntervalSeconds` seconds until it is destroyed. An
/// exception of a pass goes to `aOnMeldung` and the next pass follows as usual. Destruction asks
/// the thread to stop and waits for it: the pause ends at once, and with `aInterruptOnTerminate`
/// a pass stops between two files.
class TDirectoryCleaner final : public TThread {
public:
    /// Raises Exception "recursion not yet implemented" for `aIsRecursive` and
    /// EArgumentException for an interval below one second or a negative age. `clock` gives the
    /// local time (Now() when empty). The thread starts at once.
    TDirectoryCleaner(const String& aDirectory, const String& aFilePattern, int aIntervalSeconds, int aMaxFileAgeDays,
                      bool aIsRecursive, TMeldung aOnMeldung, bool aInterruptOnTerminate,
                      std::function<TDateTime()> clock = {});
    ~TDirectoryCleaner() override;
    String ClassName() const override { return u"TDirectoryCleaner"; }

    const String& Directory() const { return FDirectory; }

protected:
    void Execute() override;

private:
    TMeldung FOnMeldung;
    String FDirectory;
    String FFilePattern;
    int FIntervalSeconds;
    int FMaxFileAgeDays;
    bool FIsRecursive;
    bool FInterruptOnTerminate;
    std::function<TDateTime()> FClock;
    TEvent FWake;
};

} // namespace vgl
