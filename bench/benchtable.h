// One row of the benchmark table: a path the operator waits for, measured
// next to a floor (the least a program could do for the same result) in the
// same run. Each row is printed, and appended to the file named by
// TARNDECK_BENCH_TABLE when it is set, where scripts/bench collects the rows
// of every benchmark into one table.
//
// A row in that file is tab-separated: measure, unit, median, p99, floor,
// floor median, floor p99, target ratio ("-" for a floor shown without a
// target, passed as 0), and which figure the target applies to ("median" or
// "p99"). The ratios are computed when the table is written.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// The value below which `fraction` of the values lie (0.5: the median).
inline double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(fraction * double(values.size())));
    return values[index];
}

struct BenchFigures
{
    double median = 0;
    double p99 = 0;
};

inline BenchFigures figuresOf(const std::vector<double> &values)
{
    return {percentile(values, 0.5), percentile(values, 0.99)};
}

inline void benchTableRow(const std::string &measure, const std::string &unit,
                          const BenchFigures &ours, const std::string &floor,
                          const BenchFigures &reference, double targetRatio,
                          const std::string &targetOn = "median")
{
    const auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    char target[32] = "-";
    if (targetRatio > 0)
        std::snprintf(target, sizeof target, "%.2f", targetRatio);
    std::printf("%s: median %.1f %s, p99 %.1f %s; %s: median %.1f, p99 %.1f; "
                "ratio %.2f (median), %.2f (p99); target %s%s%s\n",
                measure.c_str(), ours.median, unit.c_str(), ours.p99, unit.c_str(), floor.c_str(),
                reference.median, reference.p99, ratio(ours.median, reference.median),
                ratio(ours.p99, reference.p99), targetRatio > 0 ? targetOn.c_str() : "",
                targetRatio > 0 ? " <= " : "", target);
    std::fflush(stdout);
    const char *path = std::getenv("TARNDECK_BENCH_TABLE");
    if (!path || !*path)
        return;
    if (FILE *table = std::fopen(path, "a")) {
        std::fprintf(table, "%s\t%s\t%.3f\t%.3f\t%s\t%.3f\t%.3f\t%s\t%s\n", measure.c_str(),
                     unit.c_str(), ours.median, ours.p99, floor.c_str(), reference.median,
                     reference.p99, target, targetOn.c_str());
        std::fclose(table);
    }
}
