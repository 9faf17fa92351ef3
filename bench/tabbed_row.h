// One result as the benchmark programs print it for run_benchmarks.sh:
// name <TAB> value <TAB> unit <TAB> goal (in the same unit; "-" when there is none).
#pragma once

#include <cstdio>
#include <string>

// A goal of 0 or less prints none.
inline void Report(const std::string& name, double value, const char* unit, double goal)
{
    if (goal > 0)
        std::printf("%s\t%.3f\t%s\t%g\n", name.c_str(), value, unit, goal);
    else
        std::printf("%s\t%.3f\t%s\t-\n", name.c_str(), value, unit);
    std::fflush(stdout);
}
