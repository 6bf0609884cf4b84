// The process CPU-time clock, in seconds.
#pragma once
#include <vector>

namespace korva {
double cpu_seconds();
}

namespace korva {
// A steady wall clock, in seconds from an arbitrary origin.
double wall_seconds();

// Wall time spent in each phase of a run, for the benchmarks; the run never prints it.
struct run_timings {
    double setup = 0, ylm = 0, builders = 0, assembly = 0, lists = 0, recursion = 0, post = 0;
    std::vector<double> point;  // each energy point of each channel, assembly to data line
};
}  // namespace korva
