#include "service/host/service_start.h"

#include "platform/rtl/file_utils.h"
#include "platform/rtl/ini_files.h"
#include "platform/rtl/sysutils.h"
#include "platform/service/systemd_unit.h"

#ifndef VGL_PROJECT_VERSION
#define VGL_PROJECT_VERSION ""
#endif

namespace vgl {

namespace {

constexpr int DefaultPort = 8099;

String BlanksToUnderscores(String text) {
    for (Char& c : text)
        if (c == u' ')
            c = u'_';
    return text;
}

} // namespace

TStartComboValues GeoLabelStartValues(const String& dependency) {
    TStartComboValues values;
    values.ServiceName = u"VelmoraGeoLabelService";
    values.DisplayName = u"VelmoraGeoLabelService";
    values.Description = u"Velmora GeoLabel Creator Service";
    values.StartType = stAuto;
    values.Dependency = dependency;
    values.ServiceType = stWin32;
    values.LoadGroup = u"---";
    return values;
}

String ServiceIniFileName(const String& programFile) {
    return ChangeFileExt(programFile, u".ini");
}

String ReadServiceDependencies(const String& iniFileName) {
    TMemIniFile ini(iniFileName);
    return ini.ReadString(u"General", u"Dependencies", String());
}

String ReadServiceDependencies() {
    return ReadServiceDependencies(ServiceIniFileName(ProgramFileName()));
}

bool IsCommandLineSwitch(StringView arg, StringView word) {
    if (arg.empty() || (arg[0] != u'-' && arg[0] != u'/' && arg[0] != u'\\'))
        return false;
    return SameText(arg.substr(1), word);
}

bool FindCmdLineSwitch(const std::vector<String>& args, StringView word) {
    for (const String& arg : args)
        if (IsCommandLineSwitch(arg, word))
            return true;
    return false;
}

int ReadPortSwitch(const std::vector<String>& args) {
    int port = DefaultPort;
    for (const String& arg : args) {
        if (arg.size() < 6 || LowerCase(StringView(arg).substr(0, 6)) != u"-port=")
            continue;
        std::int64_t value = 0;
        if (!TryStrToInt64(StringView(arg).substr(6), value)) {
            port = DefaultPort;
            continue;
        }
        if (value < 1 || value > 65535)
            throw EServiceStartError(u"The port " + String(StringView(arg).substr(6)) +
                                     u" is outside 1..65535; the service does not start");
        port = int(value);
    }
    return port;
}

void RegisterService(const TStartComboValues& values, bool install, const String& programFile) {
    const String name = BlanksToUnderscores(values.ServiceName);
    try {
        if (install) {
            TSystemdUnit unit;
            unit.Name = name;
            unit.Description = values.Description;
            unit.Program = programFile;
            unit.Arguments = values.ExtraParameters;
            if (!values.Dependency.empty())
                unit.Dependencies.push_back(values.Dependency);
            InstallSystemdUnit(unit);
        } else {
            UninstallSystemdUnit(name);
        }
    } catch (const ESystemdUnitError& e) {
        throw EServiceStartError((install ? u"The service " + name + u" was not installed: "
                                          : u"The service " + name + u" was not uninstalled: ") +
                                 e.Message());
    }
}

TStartDecision DecideStart(const std::vector<String>& args, bool startedBySystemd) {
    if (FindCmdLineSwitch(args, u"install"))
        return TStartDecision::Install;
    if (FindCmdLineSwitch(args, u"uninstall"))
        return TStartDecision::Uninstall;
    if (FindCmdLineSwitch(args, u"standalone"))
        return TStartDecision::Window;
    return startedBySystemd ? TStartDecision::Service : TStartDecision::Window;
}

TStartDecision StartComboService(const TStartComboValues& values, const std::vector<String>& args) {
    const TStartDecision decision = DecideStart(args, StartedBySystemd());
    if (decision == TStartDecision::Install || decision == TStartDecision::Uninstall)
        RegisterService(values, decision == TStartDecision::Install, ProgramFileName());
    return decision;
}

String GetExeVersionString() {
    const String version = Utf8ToString(VGL_PROJECT_VERSION);
    int parts[3] = {0, 0, 0};
    size_t start = 0;
    for (int i = 0; i < 3 && start <= version.size(); ++i) {
        size_t dot = version.find(u'.', start);
        if (dot == String::npos)
            dot = version.size();
        parts[i] = StrToIntDef(StringView(version).substr(start, dot - start), 0);
        start = dot + 1;
    }
    return IntToStr(parts[0]) + u"." + IntToStr(parts[1]) + u"." + IntToStr(parts[2]);
}

} // namespace vgl
