// The recursion at the speed of memory: time per level of the streaming pass against the
// machine's read bandwidth measured in the same run, and against the plain row-list solver.
//
//   solver_bench [threads]      (default: OMP_NUM_THREADS, or all cores)
#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bandwidth.hpp"
#include "recursion/haykor.hpp"
#include "recursion/stream_pass.hpp"
#include "recursion/tile_store.hpp"
#include "reference/haykor.hpp"
#include "reference/matrix.hpp"

namespace {

using korva::cplx;
using korva::bench::fill_dense;
using korva::bench::now;
using korva::bench::read_bandwidth;

}  // namespace

int main(int argc, char** argv) {
    const int threads = argc > 1 ? std::atoi(argv[1]) : omp_get_max_threads();
    const double bw = read_bandwidth(threads);
    const double bw1 = read_bandwidth(1);
    std::printf("read bandwidth: %.1f GB/s with %d threads, %.1f GB/s with 1\n", bw, threads, bw1);
    std::printf("%6s %4s %8s %12s %8s %10s %14s %12s\n", "N", "ch", "threads", "ms/level", "GB/s",
                "x bound", "plain ms/lev", "plain/fast");
    std::ostringstream none;
    for (int n : {1000, 2000, 3000, 4000, 4539, 5000}) {
        korva::tile_store g(n);
        g.reshape(n);
        fill_dense(g, n);
        const double bytes = static_cast<double>(g.tiles()) * g.tiles() * 16 * sizeof(cplx);
        // The plain solver, one channel, 20 levels (only up to 3000: it is slow).
        double plain_level = 0.0;
        if (n <= 3000) {
            korva::reference::matrix_store m(n);
            fill_dense(m, n);
            m.rebuild_row_lists(n);
            const double t0 = now();
            const auto r = korva::reference::haykor(m, n, 1, 2, 20, 0.0f, 0, none);
            plain_level = (now() - t0) / r.niter;
        }
        for (int ch : {1, 3}) {
            std::vector<std::vector<cplx>> vec(4 * ch, std::vector<cplx>(4 * g.tiles()));
            std::vector<korva::pass_vectors> pv;
            for (int k = 0; k < ch; ++k) {
                for (int i = 0; i < n; ++i) {
                    vec[4 * k][i] = cplx(1.0f / (i + k + 1), 0.5f);
                    vec[4 * k + 1][i] = cplx(0.25f, 1.0f / (i + 2 * k + 1));
                }
                pv.push_back({vec[4 * k].data(), vec[4 * k + 1].data(), vec[4 * k + 2].data(),
                              vec[4 * k + 3].data()});
            }
            korva::stream_pass(g, pv.data(), ch, threads);  // warm up
            const int reps = std::max(5, static_cast<int>(2e9 / bytes));
            double best = 1e30;
            for (int rep = 0; rep < reps; ++rep) {
                const double t0 = now();
                korva::stream_pass(g, pv.data(), ch, threads);
                best = std::min(best, now() - t0);
            }
            const double gbs = bytes / best / 1e9;
            // The plain solver does two products per level for each channel.
            const double plain = plain_level * ch;
            std::printf("%6d %4d %8d %12.3f %8.1f %10.2f", n, ch, threads, best * 1e3, gbs,
                        bw / gbs);
            if (plain > 0)
                std::printf(" %14.2f %12.1f\n", plain * 1e3, plain / best);
            else
                std::printf(" %14s %12s\n", "-", "-");
        }
    }
    // One whole point of three channels at N = 4539, 20 levels at most.
    korva::tile_store g(4539);
    g.reshape(4539);
    fill_dense(g, 4539);
    std::vector<std::string> lines;
    const double t0 = now();
    const auto res = korva::haykor(g, {2, 3, 4}, 2, 20, 1e-4f, 0, lines, threads);
    const double t = now() - t0;
    int levels = 0;
    for (const auto& r : res) levels = std::max(levels, r.niter);
    const double bytes = static_cast<double>(g.tiles()) * g.tiles() * 16 * sizeof(cplx);
    std::printf(
        "3 channels at N = 4539: %.3f s for %d levels; bound (levels - 1) x %.0f MB / "
        "%.1f GB/s = %.3f s; ratio %.2f\n",
        t, levels, bytes / 1e6, bw, (levels - 1) * bytes / (bw * 1e9),
        t / ((levels - 1) * bytes / (bw * 1e9)));
}
