#pragma once
// One line per measured figure in the form scripts/run-bench.sh collects into
// build/bench-report.md:
//     | figure | value | unit | ratio |
// where ratio is value / baseline for a baseline measured in the same run
// (say which in the figure's name, e.g. "transfer rate (raw ping-pong = 1)"),
// or "-" for a figure without one. Other output is kept verbatim in the report.
#include <cstdio>

namespace quillon::bench {

inline void reportRow(const char* figure, double value, const char* unit, double baseline)
{
    std::printf("| %s | %.3f | %s | %.3f |\n", figure, value, unit, value / baseline);
}

inline void reportRow(const char* figure, double value, const char* unit)
{
    std::printf("| %s | %.3f | %s | - |\n", figure, value, unit);
}

} // namespace quillon::bench
