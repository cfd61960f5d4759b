#pragma once
// One line per measured figure in the form scripts/run-bench.sh collects into
// build/bench-report.md:
//     | figure | value | unit | ratio |
// where ratio is value / baseline for a baseline measured in the same run
// (say which in the figure's name, e.g. "transfer rate (raw ping-pong = 1)"),
// or "-" for a figure without one. A figure that could not be measured still
// gets its row, saying why, so that a gap in the table is never silent.
// Other output is kept verbatim in the report.
#include <cstdio>
#include <string>

namespace quillon::bench {

inline void reportRow(const std::string& figure, double value, const char* unit, double baseline)
{
    std::printf("| %s | %.3f | %s | %.3f |\n", figure.c_str(), value, unit, value / baseline);
}

inline void reportRow(const std::string& figure, double value, const char* unit)
{
    std::printf("| %s | %.3f | %s | - |\n", figure.c_str(), value, unit);
}

inline void reportMissing(const std::string& figure, const char* unit, const std::string& why)
{
    std::printf("| %s | not measured: %s | %s | - |\n", figure.c_str(), why.c_str(), unit);
}

} // namespace quillon::bench
