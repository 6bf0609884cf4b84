// The process CPU-time clock and a steady wall clock, in seconds.
#pragma once

namespace korva {

double cpu_seconds();

// A steady wall clock, in seconds from an arbitrary origin.
double wall_seconds();

// The CPU-time marks of the run's timing lines: where the run started and where the last
// timing line stood.
struct cpu_marks {
    double start = 0, mark = 0;
    // Milliseconds since the last mark; the mark moves to now.
    double lap_ms() {
        const double now = cpu_seconds();
        const double ms = (now - mark) * 1000.0;
        mark = now;
        return ms;
    }
};

}  // namespace korva
