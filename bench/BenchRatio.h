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
            // Kept under the function's name, and with its arguments ("BM_X/2000").
            Keep(run.run_name.function_name, perIter);
            if (!run.run_name.args.empty())
                Keep(run.run_name.function_name + "/" + run.run_name.args, perIter);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Seconds per iteration of a benchmark (by its function name, or with its
    // arguments), or 0 if it did not run.
    double Best(const std::string& name) const
    {
        auto it = m_best.find(name);
        return it == m_best.end() ? 0.0 : it->second;
    }

    // Prints "ratio LABEL = X.XX" for time(numerator) / time(denominator) * scale
    // (a scale turns times per iteration into times per item); false if either is missing.
    bool PrintRatio(const char* label, const std::string& numerator, const std::string& denominator,
                    double scale = 1.0) const
    {
        double a = Best(numerator), b = Best(denominator);
        if (a <= 0 || b <= 0) {
            std::fprintf(stderr, "ratio %s: %s and %s must both run\n", label, numerator.c_str(), denominator.c_str());
            return false;
        }
        std::printf("ratio %s = %.2f\n", label, a / b * scale);
        return true;
    }

private:
    void Keep(const std::string& name, double perIter)
    {
        auto it = m_best.find(name);
        if (it == m_best.end() || perIter < it->second)
            m_best[name] = perIter;
    }

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
