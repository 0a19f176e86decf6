// links: vgl_service
// The caller's cost of one log line: TGlobalLogging::Meldung from 1 and 8 threads while the
// writer thread drains the queue into files of a temporary folder.
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "service/global_logging.h"

namespace {

using namespace vgl;

std::string folder;
std::unique_ptr<TGlobalLogging> logging;

void StartLogging(const benchmark::State&) {
    std::string pattern = (std::filesystem::temp_directory_path() / "vgl-log-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        std::abort();
    folder = pattern;
    TGlobalLoggingOptions options;
    options.Folder = Utf8ToString(folder);
    options.ProgramName = u"bench";
    logging = std::make_unique<TGlobalLogging>(options);
}

void StopLogging(const benchmark::State&) {
    logging.reset(); // writes what is still queued
    std::filesystem::remove_all(folder);
}

const String text = u"TVelmoraGeoLabelService.GetLabel: request 4711 answered in 12 ms";

// Callers faster than the disk: the queue keeps growing, so every line also pays for new memory.
void BM_Meldung(benchmark::State& state) {
    for (auto _ : state)
        logging->Meldung(text, true);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Meldung)->Setup(StartLogging)->Teardown(StopLogging)->Threads(1)->Threads(8)->UseRealTime();

// Callers the writer keeps up with (the service's case): after every 1000 lines the clock stops
// while the queue is written out, so the measured cost is the append into recycled memory.
void BM_MeldungWriterKeepsUp(benchmark::State& state) {
    int sinceDrain = 0;
    for (auto _ : state) {
        logging->Meldung(text, true);
        if (++sinceDrain == 1000) {
            sinceDrain = 0;
            state.PauseTiming();
            logging->MessageLogger().Flush();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MeldungWriterKeepsUp)
    ->Setup(StartLogging)
    ->Teardown(StopLogging)
    ->Iterations(200000)
    ->Threads(1)
    ->Threads(8)
    ->UseRealTime();

} // namespace
