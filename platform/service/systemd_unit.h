#pragma once
// Registering the program as a systemd service: the unit file text, writing and removing it in
// the folder of system units, and telling systemd about it.

#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/ustring.h"

namespace vgl {

/// A unit that could not be written, removed or told to systemd; the message is one line.
VGL_DECLARE_EXCEPTION(ESystemdUnitError, Exception);

struct TSystemdUnit {
    /// The unit's name without ".service" (letters, digits and ":-_.\\" only).
    String Name;
    String Description;
    /// The program's full file name; written in double quotes.
    String Program;
    /// Written after the program as they stand (empty: none).
    String Arguments;
    /// Units the service needs; a name without a suffix gets ".service".
    std::vector<String> Dependencies;
};

/// The unit file: [Unit] with Description, After=network.target and Requires=/After= for each
/// dependency; [Service] with Type=simple and ExecStart; [Install] with
/// WantedBy=multi-user.target. Raises ESystemdUnitError for a value that cannot stand in a unit
/// file (a line break or other control character, an empty or malformed name).
String SystemdUnitText(const TSystemdUnit& unit);

/// The folder that receives unit files: $VGL_SYSTEMD_UNIT_DIR when set and not empty (tests),
/// else "/etc/systemd/system". No trailing "/".
String SystemdUnitFolder();
/// True when the folder is the one given by $VGL_SYSTEMD_UNIT_DIR: systemd is then not told.
bool SystemdUnitFolderOverridden();
/// True when systemd manages the machine ("/run/systemd/system" exists).
bool SystemdRunning();
/// True when systemd started this very process ($SYSTEMD_EXEC_PID is our process id).
bool StartedBySystemd();

/// Writes "<folder>/<Name>.service" (through a temporary file renamed into place), then, when
/// the folder is systemd's own and systemd runs, "systemctl daemon-reload" and "systemctl
/// enable <Name>.service". Raises ESystemdUnitError naming what failed.
void InstallSystemdUnit(const TSystemdUnit& unit);
/// "systemctl disable" (as above), removes the unit file and reloads systemd. Raises
/// ESystemdUnitError when there is no such unit file or it cannot be removed, or systemctl fails.
void UninstallSystemdUnit(const String& name);

} // namespace vgl
