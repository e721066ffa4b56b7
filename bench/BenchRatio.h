// Benchmarks prove their targets as ratios against a reference measured in
// the same run. This reporter keeps the best time per iteration of every
// benchmark (over repetitions, if any) so that main can print the ratios.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <unistd.h>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    // No colour codes when the output goes to a log, so ratio lines stay greppable.
    RatioReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0)
                continue;
            const double perIter = run.real_accumulated_time / static_cast<double>(run.iterations);
            const std::string name = run.run_name.function_name;
            auto it = m_best.find(name);
            if (it == m_best.end() || perIter < it->second)
                m_best[name] = perIter;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Seconds per iteration of a benchmark (by its function name), or 0 if it did not run.
    double Best(const std::string& name) const
    {
        auto it = m_best.find(name);
        return it == m_best.end() ? 0.0 : it->second;
    }

    // Prints "ratio LABEL = X.XX" for time(numerator) / time(denominator); false if either is missing.
    bool PrintRatio(const char* label, const std::string& numerator, const std::string& denominator) const
    {
        double a = Best(numerator), b = Best(denominator);
        if (a <= 0 || b <= 0) {
            std::fprintf(stderr, "ratio %s: %s and %s must both run\n", label, numerator.c_str(), denominator.c_str());
            return false;
        }
        std::printf("ratio %s = %.2f\n", label, a / b);
        return true;
    }

private:
    std::map<std::string, double> m_best;
};

// Runs the benchmarks of this program with the reporter; false on bad arguments.
inline bool RunBenchmarks(int& argc, char** argv, RatioReporter& reporter)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return false;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return true;
}
