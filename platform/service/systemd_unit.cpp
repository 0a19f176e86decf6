#include "platform/service/systemd_unit.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vgl {

namespace {

constexpr const char* SystemUnitFolder = "/etc/systemd/system";

String ErrnoText(int error) {
    return Utf8ToString(std::strerror(error));
}

void CheckValue(const String& what, const String& value) {
    for (Char c : value)
        if (c < 0x20 || c == 0x7F)
            throw ESystemdUnitError(what + u" holds a line break or control character");
}

bool IsUnitNameChar(Char c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u':' || c == u'-' ||
           c == u'_' || c == u'.' || c == u'\\' || c == u'@';
}

void CheckUnitName(const String& what, const String& name) {
    if (name.empty() || name.size() > 255)
        throw ESystemdUnitError(what + u" \"" + name + u"\" is no valid unit name");
    for (Char c : name)
        if (!IsUnitNameChar(c))
            throw ESystemdUnitError(what + u" \"" + name + u"\" is no valid unit name");
}

String DependencyUnit(const String& name) {
    CheckUnitName(u"The dependency", name);
    return name.find(u'.') == String::npos ? name + u".service" : name;
}

/// A value of ExecStart: backslash and double quote escaped, "%" and "$" doubled so that
/// systemd takes them literally.
String QuoteExecValue(const String& value) {
    String out = u"\"";
    for (Char c : value) {
        if (c == u'\\' || c == u'"')
            out += u'\\';
        else if (c == u'%' || c == u'$')
            out += c;
        out += c;
    }
    return out + u"\"";
}

String UnitFileName(const String& name) {
    return SystemdUnitFolder() + u"/" + name + u".service";
}

/// Runs systemctl with the arguments; raises when it cannot run or fails.
void RunSystemctl(std::vector<std::string> args) {
    args.insert(args.begin(), "systemctl");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    String command = u"systemctl";
    for (size_t i = 1; i < args.size(); ++i)
        command += u" " + Utf8ToString(args[i]);
    pid_t pid = 0;
    const int error = ::posix_spawnp(&pid, "systemctl", nullptr, nullptr, argv.data(), environ);
    if (error != 0)
        throw ESystemdUnitError(u"Cannot run \"" + command + u"\": " + ErrnoText(error));
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            throw ESystemdUnitError(u"Cannot wait for \"" + command + u"\": " + ErrnoText(errno));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw ESystemdUnitError(u"\"" + command + u"\" failed");
}

bool TellSystemd() {
    return !SystemdUnitFolderOverridden() && SystemdRunning();
}

} // namespace

String SystemdUnitText(const TSystemdUnit& unit) {
    CheckUnitName(u"The service name", unit.Name);
    CheckValue(u"The description", unit.Description);
    CheckValue(u"The program's file name", unit.Program);
    CheckValue(u"The arguments", unit.Arguments);
    if (unit.Program.empty())
        throw ESystemdUnitError(u"The service has no program");
    String text = u"[Unit]\n";
    text += u"Description=" + unit.Description + u"\n";
    text += u"After=network.target\n";
    for (const String& dependency : unit.Dependencies) {
        const String name = DependencyUnit(dependency);
        text += u"Requires=" + name + u"\n";
        text += u"After=" + name + u"\n";
    }
    text += u"\n[Service]\nType=simple\n";
    text += u"ExecStart=" + QuoteExecValue(unit.Program);
    if (!unit.Arguments.empty())
        text += u" " + unit.Arguments;
    text += u"\n\n[Install]\nWantedBy=multi-user.target\n";
    return text;
}

String SystemdUnitFolder() {
    const char* folder = std::getenv("VGL_SYSTEMD_UNIT_DIR");
    String result = Utf8ToString(folder && *folder ? folder : SystemUnitFolder);
    while (result.size() > 1 && result.back() == u'/')
        result.pop_back();
    return result;
}

bool SystemdUnitFolderOverridden() {
    const char* folder = std::getenv("VGL_SYSTEMD_UNIT_DIR");
    return folder && *folder;
}

bool SystemdRunning() {
    struct stat info {};
    return ::stat("/run/systemd/system", &info) == 0 && S_ISDIR(info.st_mode);
}

bool StartedBySystemd() {
    const char* pid = std::getenv("SYSTEMD_EXEC_PID");
    if (!pid || !*pid)
        return false;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(pid, &end, 10);
    return errno == 0 && *end == 0 && value == long(::getpid());
}

void InstallSystemdUnit(const TSystemdUnit& unit) {
    const std::string text = StringToUtf8(SystemdUnitText(unit));
    const String fileName = UnitFileName(unit.Name);
    const std::string target = StringToUtf8(fileName);
    const std::string temporary = target + ".tmp";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file)
        throw ESystemdUnitError(u"Cannot write " + fileName + u": " + ErrnoText(errno));
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const int writeError = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::remove(temporary.c_str());
        throw ESystemdUnitError(u"Cannot write " + fileName + u": " + ErrnoText(written ? errno : writeError));
    }
    ::chmod(temporary.c_str(), 0644);
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        std::remove(temporary.c_str());
        throw ESystemdUnitError(u"Cannot write " + fileName + u": " + ErrnoText(error));
    }
    if (TellSystemd()) {
        RunSystemctl({"daemon-reload"});
        RunSystemctl({"enable", StringToUtf8(unit.Name) + ".service"});
    }
}

void UninstallSystemdUnit(const String& name) {
    CheckUnitName(u"The service name", name);
    const String fileName = UnitFileName(name);
    const std::string target = StringToUtf8(fileName);
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0)
        throw ESystemdUnitError(u"Cannot remove " + fileName + u": " + ErrnoText(errno));
    if (TellSystemd())
        RunSystemctl({"disable", StringToUtf8(name) + ".service"});
    if (std::remove(target.c_str()) != 0)
        throw ESystemdUnitError(u"Cannot remove " + fileName + u": " + ErrnoText(errno));
    if (TellSystemd())
        RunSystemctl({"daemon-reload"});
}

} // namespace vgl
