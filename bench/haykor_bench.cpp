// Times one 20-level recursion and the row-list rebuild on dense stores of order 1000 to 5000.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <random>
#include <sstream>

#include "bandwidth.hpp"
#include "common/cputime.hpp"
#include "recursion/haykor.hpp"
#include "reference/haykor.hpp"
#include "reference/matrix.hpp"

namespace {

using korva::cplx;
using korva::bench::fill_dense;

double wall_seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

int main() {
    std::printf("%6s %12s %12s %12s %12s %6s  %s\n", "N", "rebuild s", "haykor s", "haykor cpu",
                "per level s", "niter", "S");
    for (int n : {1000, 2500, 5000}) {
        korva::reference::matrix_store m(n);
        fill_dense(m, n);

        double t0 = wall_seconds();
        m.rebuild_row_lists(n);
        const double rebuild = wall_seconds() - t0;

        // Best of a few calls for the smaller orders, one at 5000.
        const int repeats = n <= 1000 ? 3 : 1;
        double best = 1e30, best_cpu = 1e30;
        korva::haykor_result res;
        std::ostringstream none;
        for (int k = 0; k < repeats; ++k) {
            t0 = wall_seconds();
            const double c0 = korva::cpu_seconds();
            res = korva::reference::haykor(m, n, 1, 2, 20, 0.0f, 0, none);
            best_cpu = std::min(best_cpu, korva::cpu_seconds() - c0);
            best = std::min(best, wall_seconds() - t0);
        }
        std::printf("%6d %12.4f %12.4f %12.4f %12.5f %6d  (%.7g, %.7g)\n", n, rebuild, best,
                    best_cpu, best / res.niter, res.niter, res.s.real(), res.s.imag());
    }
    return 0;
}
