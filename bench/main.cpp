// The benchmark program: a widget application on the offscreen platform (the
// window benchmarks paint real grids), then every benchmark of bench/. Each
// benchmark's result carries peak_MB, the peak resident memory of its work: from
// the end of the previous benchmark, or from when its account was made, to its
// end.

#include "BenchAccount.h"
#include "WindowMemory.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstring>

namespace {

template <class Reporter>
class WithPeakMemory : public Reporter {
  public:
    void ReportRuns(const std::vector<benchmark::BenchmarkReporter::Run>& runs) override {
        std::vector<benchmark::BenchmarkReporter::Run> withPeak = runs;
        const double peak = qc::bench::peakMemoryMB();
        for (benchmark::BenchmarkReporter::Run& r : withPeak)
            r.counters["peak_MB"] = benchmark::Counter(peak);
        Reporter::ReportRuns(withPeak);
        qc::bench::resetPeakMemory();
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (const std::optional<int> child = qc::bench::runWindowMemoryChild()) return *child;
    bool json = false;
    for (int i = 1; i < argc; ++i) json = json || std::strcmp(argv[i], "--benchmark_format=json") == 0;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    qc::bench::resetPeakMemory();
    if (json) {
        WithPeakMemory<benchmark::JSONReporter> reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
    } else {
        WithPeakMemory<benchmark::ConsoleReporter> reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
    }
    benchmark::Shutdown();
    return 0;
}
