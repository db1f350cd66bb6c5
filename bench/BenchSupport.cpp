#include "BenchSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

void RatioReporter::ReportRuns(const std::vector<Run>& reports) {
    benchmark::ConsoleReporter::ReportRuns(reports);
    for (const Run& run : reports) {
        if (run.error_occurred || run.run_type != Run::RT_Aggregate ||
            run.aggregate_name != "median")
            continue;
        m_medianSeconds[run.run_name.function_name] =
            run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
    }
}

double RatioReporter::MedianSeconds(const std::string& name) const {
    const auto found = m_medianSeconds.find(name);
    return found == m_medianSeconds.end() ? -1.0 : found->second;
}

void RatioReporter::PrintRatio(const std::string& label, const std::string& reference,
                               const std::string& subject) const {
    const double r = MedianSeconds(reference);
    const double s = MedianSeconds(subject);
    char line[160];
    if (r <= 0.0 || s <= 0.0)
        std::snprintf(line, sizeof line, "ratio %s = n/a\n", label.c_str());
    else
        std::snprintf(line, sizeof line, "ratio %s = %.2fx\n", label.c_str(), r / s);
    GetOutputStream() << line << std::flush;
}

void RatioReporter::PrintMedian(const std::string& label, const std::string& name) const {
    const double s = MedianSeconds(name);
    char line[160];
    if (s < 0.0)
        std::snprintf(line, sizeof line, "%s = n/a\n", label.c_str());
    else
        std::snprintf(line, sizeof line, "%s = %.1f ms\n", label.c_str(), s * 1000.0);
    GetOutputStream() << line << std::flush;
}

void ConfigureRepeated(benchmark::internal::Benchmark* bench) {
    bench->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinWarmUpTime(0.1)
        ->Repetitions(5)
        ->ReportAggregatesOnly(true);
}

BenchFolder::BenchFolder(const char* prefix) {
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error)
        base = "/tmp";
    std::string folderTemplate = (base / (std::string(prefix) + ".XXXXXX")).string();
    if (mkdtemp(folderTemplate.data()) != nullptr)
        m_path = folderTemplate;
    else
        std::fprintf(stderr, "cannot create a folder under %s\n", base.c_str());
}

BenchFolder::~BenchFolder() {
    std::error_code error;
    if (!m_path.empty())
        std::filesystem::remove_all(m_path, error);
}

double PairedRatio(const std::function<void()>& reference, const std::function<void()>& subject,
                   int rounds, const std::function<void()>& prepare) {
    using Clock = std::chrono::steady_clock;
    const auto timed = [&prepare](const std::function<void()>& run) {
        if (prepare)
            prepare();
        const auto t0 = Clock::now();
        run();
        return std::chrono::duration<double>(Clock::now() - t0).count();
    };
    std::vector<double> ratios;
    for (int round = 0; round < rounds; ++round) {
        const double referenceSeconds = timed(reference);
        const double subjectSeconds = timed(subject);
        if (subjectSeconds > 0.0)
            ratios.push_back(referenceSeconds / subjectSeconds);
    }
    if (ratios.empty())
        return 0.0;
    std::sort(ratios.begin(), ratios.end());
    return ratios[ratios.size() / 2];
}
