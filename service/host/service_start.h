#pragma once
// The start-up decision of the label service: the dependency from the ini file beside the
// program, the command-line switches, registration as a systemd service ("install",
// "uninstall"), and window mode ("standalone", or any start that systemd did not make) against
// service mode (systemd started this very process).

#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/ustring.h"

namespace vgl {

/// A start that cannot go on (a bad port, a registration that failed); the message is one line.
VGL_DECLARE_EXCEPTION(EServiceStartError, Exception);

enum TServiceStartType { stBoot, stSystem, stAuto, stManual, stDisabled };
enum TServiceType { stWin32, stDevice, stFileSystem };

/// The values the program hands to StartComboService, in its order.
struct TStartComboValues {
    String ServiceName;
    String DisplayName;
    String Description;
    TServiceStartType StartType = stAuto;
    String Dependency;
    TServiceType ServiceType = stWin32;
    String Account;
    String Password;
    String LoadGroup;
    String ExtraParameters;
};

/// The label service's values with the dependency read from the ini file.
TStartComboValues GeoLabelStartValues(const String& dependency);

/// The configuration file: the program's file name with its extension replaced by ".ini"
/// (appended when it has none).
String ServiceIniFileName(const String& programFile);
/// "Dependencies" of section "General" of the program's ini file; empty when the file, the
/// section or the key is missing.
String ReadServiceDependencies();
String ReadServiceDependencies(const String& iniFileName);

/// The one recogniser of switches: `arg` is "-", "/" or a backslash followed by `word`,
/// compared without regard to case.
bool IsCommandLineSwitch(StringView arg, StringView word);
/// True when any of `args` (without the program name) is the switch `word`.
bool FindCmdLineSwitch(const std::vector<String>& args, StringView word);

/// The port of the last "-port=" argument (the first six characters compared without regard
/// to case; only with a hyphen); 8099 without one, or when its value is no integer. Raises
/// EServiceStartError for a number outside 1..65535.
int ReadPortSwitch(const std::vector<String>& args);

/// Registers ("install") or removes ("uninstall") the systemd unit of the values: the service
/// name with blanks made "_" names the unit, the description describes it, the program (in
/// double quotes) with the extra parameters starts it, and a non-empty dependency is required
/// and started before. Raises EServiceStartError with the reason when the unit cannot be
/// written or removed or systemctl fails.
void RegisterService(const TStartComboValues& values, bool install, const String& programFile);

enum class TStartDecision { Window, Service, Install, Uninstall };
/// What StartComboService does for these arguments: "install" or "uninstall" (any prefix),
/// else "standalone": window mode, else service mode exactly when `startedBySystemd`.
TStartDecision DecideStart(const std::vector<String>& args, bool startedBySystemd);

/// The start-up decision. For "install" and "uninstall" it registers or removes the unit and
/// returns Install or Uninstall, after which the program ends with 0 without serving; a
/// registration that fails raises EServiceStartError with the reason (the program then ends
/// with 1). Otherwise Service or Window.
TStartDecision StartComboService(const TStartComboValues& values, const std::vector<String>& args);

/// major.minor.release of the build's project version ("0.0.0" when the build sets none).
String GetExeVersionString();

} // namespace vgl
