#pragma once
// The label service program: start-up, serving until a stop, and shut-down.

namespace vgl {

/// Runs the program with its command line and returns the exit code: 0 after a clean stop or a
/// registration; 1 when start-up fails (a bad port, a port in use, a failed registration),
/// after one line on standard error (and in the log, when there is one).
int RunGeoLabelService(int argc, char** argv);

} // namespace vgl
