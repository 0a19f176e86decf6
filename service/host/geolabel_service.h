#pragma once
// The label service program: start-up, serving until a stop, and shut-down.

#include <vector>

namespace vgl {

/// The libraries the service is made of, started in their order on creation (remoting core and
/// server, report foundation, script engine and bindings, report model and export, the service's
/// wire types and the service class itself, and the service library's name) and finished in
/// reverse on destruction. The process-wide logger is not among them: it starts before and goes
/// after them.
class TServiceLibraries {
public:
    TServiceLibraries();
    ~TServiceLibraries();
    TServiceLibraries(const TServiceLibraries&) = delete;
    TServiceLibraries& operator=(const TServiceLibraries&) = delete;

private:
    void Finish();
    std::vector<void (*)()> FFinalizers;
};

/// Runs the program with its command line and returns the exit code: 0 after a clean stop or a
/// registration; 1 when start-up fails (a bad port, a port in use, a failed registration),
/// after one line on standard error (and in the log, when there is one).
int RunGeoLabelService(int argc, char** argv);

} // namespace vgl
