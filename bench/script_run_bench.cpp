// links: vgl_script_engine
// Running scripts, against CPython 3 running the same programs in the same run. CPython, like
// this engine, interprets dynamically typed boxed values without a JIT, so it is the like-for-like
// peer. The programs: a loop summing 1..10^6 into an Int64, a recursive fib(24), and the
// expression "1 + 2" evaluated from its text (Evaluate against python's eval, no target).
// The python versions are functions timed by python itself (time.perf_counter, best of several
// runs, start-up excluded); each engine benchmark reports its time per run divided by python's
// as the counter "vs_python" (its best run over python's best run; 0 when python3 is missing).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "script/engine/initialization.h"
#include "script/engine/script.h"

namespace {

using namespace vgl;

const char* const kPython = R"PY(
import time

def loop():
    s = 0
    for i in range(1, 1000001):
        s += i
    return s

def fib(n):
    if n < 2:
        return n
    return fib(n - 1) + fib(n - 2)

def evaluate():
    for _ in range(1000):
        eval("1 + 2")

def best(f, runs):
    result = None
    for _ in range(runs):
        start = time.perf_counter()
        f()
        spent = time.perf_counter() - start
        result = spent if result is None or spent < result else result
    return result

print(best(loop, 7))
print(best(lambda: fib(24), 7))
print(best(evaluate, 7) / 1000)
)PY";

struct PythonTimes {
    double Loop = 0;
    double Fib = 0;
    double Eval = 0;
};

// Python's times in seconds, measured once per process.
const PythonTimes& Python() {
    static const PythonTimes times = [] {
        PythonTimes t;
        char name[] = "/tmp/vgl_script_bench_XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0)
            return t;
        FILE* f = fdopen(fd, "w");
        std::fputs(kPython, f);
        std::fclose(f);
        if (FILE* p = popen((std::string("python3 ") + name + " 2>/dev/null").c_str(), "r")) {
            if (std::fscanf(p, "%lf %lf %lf", &t.Loop, &t.Fib, &t.Eval) != 3)
                t = PythonTimes();
            pclose(p);
        }
        std::remove(name);
        return t;
    }();
    return times;
}

const char16_t* const kProgram = u"function Loop: Int64; var s: Int64; i: Integer; begin s := 0; "
                                 u"for i := 1 to 1000000 do s := s + i; Result := s end;\r\n"
                                 u"function Fib(n: Integer): Integer; begin if n < 2 then Result := n else "
                                 u"Result := Fib(n - 1) + Fib(n - 2) end;\r\n"
                                 u"begin end.";

struct Compiled {
    Compiled() : Script(nullptr) {
        InitializeScriptEngine();
        Script.AddRTTI();
        Script.Lines().SetText(kProgram);
        if (!Script.Compile())
            std::abort();
    }
    TfsScript Script;
};

// Runs the body per iteration and reports, beside the usual mean, the best single run divided by
// python's best run: both sides are timed the same way.
template <class F> void Measure(benchmark::State& state, double pythonSeconds, F&& body) {
    using Clock = std::chrono::steady_clock;
    double best = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        body();
        const double spent = std::chrono::duration<double>(Clock::now() - start).count();
        if (best == 0 || spent < best)
            best = spent;
    }
    state.counters["vs_python"] = pythonSeconds > 0 ? best / pythonSeconds : 0;
    state.counters["best_us"] = best * 1e6;
    state.counters["python_us"] = pythonSeconds * 1e6;
}

void BM_Loop(benchmark::State& state) {
    Compiled c;
    const double python = Python().Loop;
    Measure(state, python, [&] {
        const Variant sum = c.Script.CallFunction(u"Loop", Variant());
        if (sum.AsInt64() != 500000500000LL)
            std::abort();
    });
}
BENCHMARK(BM_Loop)->Unit(benchmark::kMillisecond);

void BM_Fib(benchmark::State& state) {
    Compiled c;
    const double python = Python().Fib;
    const Variant args = VarArrayOf({Variant(24)});
    Measure(state, python, [&] {
        if (c.Script.CallFunction(u"Fib", args).AsInteger() != 46368)
            std::abort();
    });
}
BENCHMARK(BM_Fib)->Unit(benchmark::kMillisecond);

void BM_Evaluate(benchmark::State& state) {
    Compiled c;
    const double python = Python().Eval;
    Measure(state, python, [&] {
        if (c.Script.Evaluate(u"1 + 2").AsInteger() != 3)
            std::abort();
    });
}
BENCHMARK(BM_Evaluate)->Unit(benchmark::kMicrosecond);

} // namespace
