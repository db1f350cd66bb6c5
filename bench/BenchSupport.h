#pragma once

#include <benchmark/benchmark.h>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

// Shared pieces of the benchmark programs.

// Remembers the median real time of every benchmark while the console shows the usual report,
// and prints ratios of medians at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : benchmark::ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& reports) override;

    // Median seconds of a benchmark, or a negative number when it did not run.
    double MedianSeconds(const std::string& name) const;

    // "ratio LABEL = x": throughput of `subject` relative to `reference` for the same work,
    // that is reference time / subject time.
    void PrintRatio(const std::string& label, const std::string& reference,
                    const std::string& subject) const;
    // "LABEL = N ms" for one benchmark's median.
    void PrintMedian(const std::string& label, const std::string& name) const;

private:
    std::map<std::string, double> m_medianSeconds;
};

// Runs `reference` and `subject` alternately `rounds` times and returns the median of the
// per-round ratios reference time / subject time. Alternating keeps slow drifts of a shared
// machine out of the ratio. `prepare`, when given, runs untimed before each of them.
double PairedRatio(const std::function<void()>& reference, const std::function<void()>& subject,
                   int rounds, const std::function<void()>& prepare = {});

// Milliseconds, real time, a short warm-up, five repetitions, medians reported.
void ConfigureRepeated(benchmark::internal::Benchmark* bench);

// A fresh folder for a benchmark's files, removed when the object goes.
class BenchFolder {
public:
    explicit BenchFolder(const char* prefix);
    ~BenchFolder();
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

    bool Ok() const { return !m_path.empty(); }
    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};
