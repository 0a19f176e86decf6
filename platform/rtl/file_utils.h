#pragma once
// Files, folders and file names. The path delimiter is "/"; names are UTF-16 in the system and
// UTF-8 on the file system.

#include <cstdint>
#include <vector>

#include "platform/rtl/ustring.h"

namespace vgl {

constexpr Char PathDelim = u'/';

// ---- File names (pure text operations) ---------------------------------------------------
/// The folder part including the last "/" ("" when there is none).
String ExtractFilePath(StringView fileName);
/// The part after the last "/".
String ExtractFileName(StringView fileName);
/// The extension with its "." ("" when the file name part holds no ".").
String ExtractFileExt(StringView fileName);
/// Replaces the extension (or appends `extension` when there is none); `extension` includes the ".".
String ChangeFileExt(StringView fileName, StringView extension);
/// Appends "/" unless the text already ends with one (also to an empty text).
String IncludeTrailingPathDelimiter(StringView path);
/// Removes one trailing "/" (a lone "/" stays).
String ExcludeTrailingPathDelimiter(StringView path);
/// True when `name` matches `mask`: "*" any run of characters, "?" exactly one; case-sensitive,
/// as the file system is. "*.*" matches every name.
bool MatchesMask(StringView name, StringView mask);

// ---- The program -------------------------------------------------------------------------
/// The full file name of the running program (from /proc/self/exe).
String ProgramFileName();
/// The program's folder with a trailing "/".
String ProgramFolder();

// ---- Files and folders -------------------------------------------------------------------
/// True for an existing file that is not a folder (symbolic links followed).
bool FileExists(const String& fileName);
bool DirectoryExists(const String& dir);
/// Creates the folder and its missing parents; true when it exists afterwards. Raises
/// EInOutError "Cannot create directory" for an empty name.
bool ForceDirectories(const String& dir);
/// Removes a file (never a folder); false when it could not be removed.
bool DeleteFile(const String& fileName);
/// Removes an empty folder; false when it could not be removed.
bool RemoveDir(const String& dir);
/// Renames or moves a file or folder; false when it fails or when `newName` already exists
/// (an existing file is never replaced).
bool RenameFile(const String& oldName, const String& newName);

/// The system's folder for temporary files ($TMPDIR when it names a folder, else "/tmp"),
/// with a trailing "/".
String GetTempPath();
/// Creates a new empty file `prefix` + eight hex digits + ".tmp" in `folder` (the temporary
/// folder when empty) and returns its full name. The file is created exclusively, so an
/// existing file is never reused or overwritten. Raises EArgumentException for a prefix holding
/// "/" and EInOutError "Cannot create temporary file in \"%s\". %s" when no file can be made.
String CreateTempFile(const String& folder, const String& prefix);

/// One entry of a folder listing.
struct TSearchRec {
    String Name;                   ///< the name without folder
    std::int64_t Size = 0;         ///< bytes (0 for folders)
    bool IsDirectory = false;      ///< a folder (symbolic links followed)
    std::int64_t ModifiedTime = 0; ///< last change, seconds since 1970-01-01 UTC
};
/// The entries of `folder` whose names match `mask` (see MatchesMask), in the order the file
/// system returns them, hidden ones included, "." and ".." never. Folders are left out when
/// `filesOnly`. A missing or unreadable folder gives an empty list.
std::vector<TSearchRec> FindFiles(const String& folder, StringView mask, bool filesOnly = true);

} // namespace vgl
