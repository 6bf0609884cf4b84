// Times one 20-level recursion and the row-list rebuild on dense stores of order 1000 to 5000.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <random>
#include <sstream>

#include "common/cputime.hpp"
#include "recursion/haykor.hpp"
#include "recursion/matrix.hpp"

namespace {

using korva::cplx;

double wall_seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Unit diagonal, every off-diagonal entry non-zero with modulus up to about 0.3/sqrt(n): the
// off-diagonal part has a spectral radius near 0.3, so the recursion stays well behaved.
void fill_dense(korva::matrix_store& m, int n) {
    std::mt19937 gen(12345);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    const float scale = 0.3f / std::sqrt(static_cast<float>(n));
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i)
            m.gt(i, j) = i == j ? cplx(1.0f, 0.0f) : cplx(scale * u(gen), scale * u(gen));
}

}  // namespace

int main() {
    std::printf("%6s %12s %12s %12s %12s %6s  %s\n", "N", "rebuild s", "haykor s", "haykor cpu",
                "per level s", "niter", "S");
    for (int n : {1000, 2500, 5000}) {
        korva::matrix_store m(n);
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
            res = korva::haykor(m, n, 1, 2, 20, 0.0f, 0, none);
            best_cpu = std::min(best_cpu, korva::cpu_seconds() - c0);
            best = std::min(best, wall_seconds() - t0);
        }
        std::printf("%6d %12.4f %12.4f %12.4f %12.5f %6d  (%.7g, %.7g)\n", n, rebuild, best,
                    best_cpu, best / res.niter, res.niter, res.s.real(), res.s.imag());
    }
    return 0;
}
