// The figures a benchmark reports against its target, printed one line each on standard output by
// finish(), so that bench/run can gather every program's figures into one table:
//   figure <name> <value> <unit> <baseline> <ratio> <op><target> <ok|MISS>
// Google Benchmark runs a body several times while it sizes the run; the last report of a name
// stands. A ratio misses when it is past its target by more than the noise margin (20 %); main
// returns finish() so that a miss is also the program's exit status (3). Main thread only.
#ifndef ZT_BENCH_FIGURES_H
#define ZT_BENCH_FIGURES_H

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace benchfig {

constexpr double kNoiseMargin = 1.2;

// value / baseline must stay at most `target` (AtMost) or reach at least `target` (AtLeast).
// A baseline of 1 states an absolute bound (for example at most 50 ns).
enum class Bound { AtMost, AtLeast, None };

struct Row {
    double value, baseline, target;
    std::string unit;
    Bound bound;
};

inline std::map<std::string, Row> &rows()
{
    static std::map<std::string, Row> all;
    return all;
}

inline void report(const std::string &name, double value, const char *unit, double baseline, double target,
                   Bound bound = Bound::AtMost)
{
    rows()[name] = Row{value, baseline, target, unit, bound};
}

// A figure without a target, for the record; with a baseline the ratio is shown too.
inline void note(const std::string &name, double value, const char *unit, double baseline = 0)
{
    report(name, value, unit, baseline, 0, Bound::None);
}

inline bool meets(const Row &r)
{
    if (r.bound == Bound::None)
        return true;
    const double ratio = r.baseline > 0 ? r.value / r.baseline : 0;
    return r.baseline > 0 &&
           (r.bound == Bound::AtMost ? ratio <= r.target * kNoiseMargin : ratio * kNoiseMargin >= r.target);
}

// Prints every figure; 3 when one misses its target, else 0.
inline int finish()
{
    int misses = 0;
    for (const auto &[name, r] : rows()) {
        const bool ok = meets(r);
        misses += !ok;
        std::printf("figure %s %.4g %s ", name.c_str(), r.value, r.unit.c_str());
        if (r.baseline > 0)
            std::printf("%.4g %.3f ", r.baseline, r.value / r.baseline);
        else
            std::printf("- - ");
        if (r.bound == Bound::None)
            std::printf("- ");
        else
            std::printf("%s%.4g ", r.bound == Bound::AtMost ? "<=" : ">=", r.target);
        std::printf("%s\n", ok ? "ok" : "MISS");
    }
    std::fflush(stdout);
    return misses ? 3 : 0;
}

// The whole main of a program made only of registered benchmarks.
inline int runRegistered(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return finish();
}

}  // namespace benchfig

#endif
