#include "platform/rtl/file_utils.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

namespace vgl {

namespace {

String SystemErrorText(int error) {
    char buffer[256];
    return Utf8ToString(strerror_r(error, buffer, sizeof buffer));
}

bool StatNative(const std::string& name, struct stat& info) {
    return !name.empty() && name.find('\0') == std::string::npos && ::stat(name.c_str(), &info) == 0;
}

// Position of the extension's "." in `fileName`, or npos when the name part has none.
size_t ExtensionDot(StringView fileName) {
    const size_t p = fileName.find_last_of(u"./");
    return p != StringView::npos && fileName[p] == u'.' ? p : StringView::npos;
}

} // namespace

// ---- File names ---------------------------------------------------------------------------

String ExtractFilePath(StringView fileName) {
    const size_t p = fileName.rfind(PathDelim);
    return p == StringView::npos ? String() : String(fileName.substr(0, p + 1));
}

String ExtractFileName(StringView fileName) {
    const size_t p = fileName.rfind(PathDelim);
    return String(p == StringView::npos ? fileName : fileName.substr(p + 1));
}

String ExtractFileExt(StringView fileName) {
    const size_t p = ExtensionDot(fileName);
    return p == StringView::npos ? String() : String(fileName.substr(p));
}

String ChangeFileExt(StringView fileName, StringView extension) {
    const size_t p = ExtensionDot(fileName);
    String result(p == StringView::npos ? fileName : fileName.substr(0, p));
    result += extension;
    return result;
}

String IncludeTrailingPathDelimiter(StringView path) {
    String result(path);
    if (result.empty() || result.back() != PathDelim)
        result += PathDelim;
    return result;
}

String ExcludeTrailingPathDelimiter(StringView path) {
    if (path.size() > 1 && path.back() == PathDelim)
        path.remove_suffix(1);
    return String(path);
}

bool MatchesMask(StringView name, StringView mask) {
    if (mask == u"*.*")
        return true;
    // Greedy match with one back-tracking point: the last "*" seen absorbs one more character
    // whenever the rest fails. Linear in practice, quadratic at worst, never exponential.
    size_t n = 0, m = 0;
    size_t starMask = StringView::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == u'?' || mask[m] == name[n])) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == u'*') {
            starMask = m++;
            starName = n;
        } else if (starMask != StringView::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == u'*')
        ++m;
    return m == mask.size();
}

// ---- The program --------------------------------------------------------------------------

String ProgramFileName() {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            throw EOSError(Format(u"Cannot find the program's file name. %s", {SystemErrorText(errno)}));
        if (size_t(n) < buffer.size()) {
            buffer.resize(size_t(n));
            return Utf8ToString(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

String ProgramFolder() {
    return ExtractFilePath(ProgramFileName());
}

// ---- Files and folders --------------------------------------------------------------------

bool FileExists(const String& fileName) {
    struct stat info;
    return StatNative(FileNameToNative(fileName), info) && !S_ISDIR(info.st_mode);
}

bool DirectoryExists(const String& dir) {
    struct stat info;
    return StatNative(FileNameToNative(dir), info) && S_ISDIR(info.st_mode);
}

bool ForceDirectories(const String& dir) {
    if (dir.empty())
        throw EInOutError(u"Cannot create directory");
    const std::string native = FileNameToNative(dir);
    if (native.find('\0') != std::string::npos)
        return false;
    // Each prefix ending before a "/" is made in turn; existing ones are passed over.
    for (size_t p = native.find('/', 1);; p = native.find('/', p + 1)) {
        const std::string part = native.substr(0, p);
        if (!part.empty() && ::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
        if (p == std::string::npos)
            break;
    }
    return DirectoryExists(dir);
}

bool DeleteFile(const String& fileName) {
    const std::string native = FileNameToNative(fileName);
    return !native.empty() && native.find('\0') == std::string::npos && ::unlink(native.c_str()) == 0;
}

bool RemoveDir(const String& dir) {
    const std::string native = FileNameToNative(dir);
    return !native.empty() && native.find('\0') == std::string::npos && ::rmdir(native.c_str()) == 0;
}

bool RenameFile(const String& oldName, const String& newName) {
    const std::string from = FileNameToNative(oldName), to = FileNameToNative(newName);
    if (from.empty() || to.empty() || from.find('\0') != std::string::npos || to.find('\0') != std::string::npos)
        return false;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the no-replace flag: check first (not atomic, but never silent).
    struct stat info;
    if (::lstat(to.c_str(), &info) == 0)
        return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

String GetTempPath() {
    const char* env = std::getenv("TMPDIR");
    if (env != nullptr && *env != '\0') {
        const String dir = Utf8ToString(env);
        if (DirectoryExists(dir))
            return IncludeTrailingPathDelimiter(dir);
    }
    return u"/tmp/";
}

String CreateTempFile(const String& folder, const String& prefix) {
    if (prefix.find(PathDelim) != String::npos || prefix.find(u'\0') != String::npos)
        throw EArgumentException(Format(u"Invalid temporary file prefix \"%s\"", {prefix}));
    const String dir = folder.empty() ? GetTempPath() : IncludeTrailingPathDelimiter(folder);
    thread_local std::mt19937 random{std::random_device{}()};
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        String name = dir + prefix;
        std::uint32_t r = random();
        for (int i = 0; i < 8; ++i, r >>= 4)
            name += kHex[r & 0xF];
        name += u".tmp";
        const std::string native = FileNameToNative(name);
        const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        error = errno;
    }
    throw EInOutError(u"Cannot create temporary file in \"%s\". %s", {dir, SystemErrorText(error)});
}

std::vector<TSearchRec> FindFiles(const String& folder, StringView mask, bool filesOnly) {
    std::vector<TSearchRec> result;
    const String dir = folder.empty() ? String(u"./") : IncludeTrailingPathDelimiter(folder);
    const std::string native = FileNameToNative(dir);
    if (native.find('\0') != std::string::npos)
        return result;
    std::unique_ptr<DIR, int (*)(DIR*)> handle(::opendir(native.c_str()), &::closedir);
    if (!handle)
        return result;
    while (const dirent* entry = ::readdir(handle.get())) {
        const std::string_view entryName = entry->d_name;
        if (entryName == "." || entryName == "..")
            continue;
        String name = Utf8ToString(entryName);
        if (!MatchesMask(name, mask))
            continue;
        struct stat info;
        if (::stat((native + std::string(entryName)).c_str(), &info) != 0)
            continue; // vanished meanwhile, or a dangling link: nothing to report about it
        const bool isDir = S_ISDIR(info.st_mode);
        if (isDir && filesOnly)
            continue;
        result.push_back(TSearchRec{std::move(name), isDir ? 0 : std::int64_t(info.st_size), isDir,
                                    std::int64_t(info.st_mtim.tv_sec)});
    }
    return result;
}

} // namespace vgl
