// Cost of the process logger: a message it filters out, and a line written to a log file next to
// a plain fprintf + fflush of the same text (the "ratio" counter of BM_LoggerToFile is
// logger time / plain time, measured in the same run).
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_figures.h"
#include "gcore/GCoreLogger.h"

namespace {

using gcore::Logger;

const char kMessage[] = "   [INFO]: [CML]: candidate %s state %d\n";
const char kArg[] = "100ZTCAM/ZX010001.MP4";

std::string tempPath(const char *name)
{
    char dir[] = "/tmp/bench_logger.XXXXXX";
    if (!mkdtemp(dir))
        abort();
    return std::string(dir) + "/" + name;
}

void removeFile(const std::string &path)
{
    unlink(path.c_str());
    rmdir(path.substr(0, path.rfind('/')).c_str());
}

// The media checker's own setting: threshold 0, no level mask, components 0xFF.
void BM_LoggerFilteredOut(benchmark::State &state)
{
    Logger::configDebugLog(0, 0, 0xFF, GCORE_DEBUG_STDOUT, "");
    Logger *logger = Logger::getLogger();
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        benchmark::DoNotOptimize(logger->log(3, 8, kMessage, kArg, 1));
    std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
    benchfig::report("logger_filtered_call", spent.count() / double(state.iterations()), "ns", 1, 50);
}
BENCHMARK(BM_LoggerFilteredOut);

double secondsPerLine(FILE *out, int lines, bool viaLogger)
{
    Logger *logger = Logger::getLogger();
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < lines; ++i) {
        if (viaLogger) {
            logger->log(3, 8, kMessage, kArg, i);
        } else {
            fprintf(out, kMessage, kArg, i);
            fflush(out);
        }
    }
    std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
    return spent.count() / lines;
}

// Each iteration writes a batch through the logger and the same batch with fprintf + fflush,
// alternating so that both see the same machine load.
void BM_LoggerToFile(benchmark::State &state)
{
    const int kBatch = 200;
    std::string loggerPath = tempPath("logger.log"), plainPath = tempPath("plain.log");
    Logger::configDebugLog(8, 0, 0xFF, GCORE_DEBUG_FILE, loggerPath);
    FILE *plain = fopen(plainPath.c_str(), "a");
    double loggerTotal = 0, plainTotal = 0;
    for (auto _ : state) {
        loggerTotal += secondsPerLine(nullptr, kBatch, true);
        plainTotal += secondsPerLine(plain, kBatch, false);
    }
    fclose(plain);
    // An empty name closes the file and forgets it (closeLog would keep the name, and the next
    // run's configDebugLog with the same name would then leave the file shut).
    Logger::configDebugLog(8, 0, 0xFF, 0, "");
    removeFile(loggerPath);
    removeFile(plainPath);
    double n = static_cast<double>(state.iterations());
    state.counters["logger_ns"] = loggerTotal / n * 1e9;
    state.counters["fprintf_ns"] = plainTotal / n * 1e9;
    state.counters["ratio"] = loggerTotal / plainTotal;
    benchfig::note("logger_file_line_vs_fprintf", loggerTotal / n * 1e9, "ns", plainTotal / n * 1e9);
}
BENCHMARK(BM_LoggerToFile)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char **argv) { return benchfig::runRegistered(argc, argv); }
