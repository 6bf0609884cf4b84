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
    std::vector<double> point;      // each energy point of each channel, assembly to data line
    std::vector<double> point_rec;  // the recursion of each point
    std::vector<int> point_levels;  // the largest number of levels of each point
    std::vector<int> point_order;   // the order of the matrix at each point
    double matrix_bytes = 0, ylm_bytes = 0;
    int threads = 1;
};
}  // namespace korva
