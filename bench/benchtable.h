// One row of the benchmark table: a path the operator waits for, measured
// next to a floor (the least a program could do for the same result) in the
// same run. Each row is printed, and appended to the file named by
// TARNDECK_BENCH_TABLE when it is set, where scripts/bench collects the rows
// of every benchmark into one table.
//
// A row in that file is tab-separated: measure, unit, median, p99, floor,
// floor median, floor p99, target. A figure that does not apply is "-"; the
// target is a text such as "p99 <= 1.20 x", "= 0" or "<= 16" (on the figure
// itself). The ratios are computed
// when the table is written.
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

namespace benchtable {

inline void appendRow(const std::string &row)
{
    const char *path = std::getenv("TARNDECK_BENCH_TABLE");
    if (!path || !*path)
        return;
    if (FILE *table = std::fopen(path, "a")) {
        std::fputs(row.c_str(), table);
        std::fclose(table);
    }
}

inline std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

} // namespace benchtable

// A timed path: medians and 99th percentiles of ours and of the floor, and a
// target on the ratio of one of them ("median" or "p99"). A target of 0 means
// the figure is reported without one.
inline void benchTableRow(const std::string &measure, const std::string &unit,
                          const BenchFigures &ours, const std::string &floor,
                          const BenchFigures &reference, double targetRatio,
                          const std::string &targetOn = "median")
{
    const auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    char target[64] = "-";
    if (targetRatio > 0)
        std::snprintf(target, sizeof target, "%s <= %.2f x", targetOn.c_str(), targetRatio);
    std::printf("%s: median %.1f %s, p99 %.1f %s; %s: median %.1f, p99 %.1f; "
                "ratio %.2f (median), %.2f (p99); target %s\n",
                measure.c_str(), ours.median, unit.c_str(), ours.p99, unit.c_str(), floor.c_str(),
                reference.median, reference.p99, ratio(ours.median, reference.median),
                ratio(ours.p99, reference.p99), target);
    std::fflush(stdout);
    using benchtable::number;
    benchtable::appendRow(measure + '\t' + unit + '\t' + number(ours.median) + '\t'
                          + number(ours.p99) + '\t' + floor + '\t' + number(reference.median)
                          + '\t' + number(reference.p99) + '\t' + target + '\n');
}

// A timed path whose target is a bound on its own median, shown beside a
// floor without a ratio target (e.g. "<= 5" ms).
inline void benchTableRowWithin(const std::string &measure, const std::string &unit,
                                const BenchFigures &ours, const std::string &floor,
                                const BenchFigures &reference, double bound)
{
    std::printf("%s: median %.3f %s, p99 %.3f %s; %s: median %.3f, p99 %.3f; target <= %g\n",
                measure.c_str(), ours.median, unit.c_str(), ours.p99, unit.c_str(), floor.c_str(),
                reference.median, reference.p99, bound);
    std::fflush(stdout);
    using benchtable::number;
    benchtable::appendRow(measure + '\t' + unit + '\t' + number(ours.median) + '\t'
                          + number(ours.p99) + '\t' + floor + '\t' + number(reference.median) + '\t'
                          + number(reference.p99) + "\t<= " + number(bound) + '\n');
}

// A single count or amount over a fixed time (idle wake-ups, system calls),
// ours and the floor's, with a target given as text (e.g. "= 0").
inline void benchTableCount(const std::string &measure, const std::string &unit, double ours,
                            const std::string &floor, double reference, const std::string &target)
{
    std::printf("%s: %.1f %s; %s: %.1f; target %s\n", measure.c_str(), ours, unit.c_str(),
                floor.c_str(), reference, target.c_str());
    std::fflush(stdout);
    using benchtable::number;
    benchtable::appendRow(measure + '\t' + unit + '\t' + number(ours) + "\t-\t" + floor + '\t'
                          + number(reference) + "\t-\t" + target + '\n');
}
