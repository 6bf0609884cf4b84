// The recursion at the speed of memory: time per pass over the stored half of every kernel this
// processor runs, against the machine's read bandwidth and its rate of vector fused
// multiply-adds measured in the same run and against the plain row-list solver (the full
// matrix, two products per level); then one whole point of three channels at N = 4539 with
// each kernel.
//
//   solver_bench [threads]      (default: OMP_NUM_THREADS, or all cores)
#include <omp.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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
using korva::pass_kernel;
using korva::bench::fill_dense;
using korva::bench::now;

std::vector<pass_kernel> vector_kernels() {
    std::vector<pass_kernel> out;
    for (pass_kernel k : {pass_kernel::avx512, pass_kernel::avx2})
        if (korva::pass_available(k))
            out.push_back(k);
        else
            std::printf("note: kernel %s not run: this processor lacks its instructions\n",
                        korva::pass_kernel_name(k));
    return out;
}

// Seconds per level of the plain solver, one channel, 20 levels.
double plain_per_level(int n) {
    korva::reference::matrix_store m(n);
    fill_dense(m, n);
    m.rebuild_row_lists(n);
    std::ostringstream none;
    const double t0 = now();
    const auto r = korva::reference::haykor(m, n, 1, 2, 20, 0.0f, 0, none);
    return (now() - t0) / r.niter;
}

// Best time of one pass over g for ch channels.
double pass_seconds(const korva::tile_store& g, int ch, int threads, pass_kernel kern) {
    const int n = g.order();
    std::vector<std::vector<cplx>> vec(4 * ch, std::vector<cplx>(g.padded()));
    std::vector<korva::pass_vectors> pv;
    for (int k = 0; k < ch; ++k) {
        for (int i = 0; i < n; ++i) {
            vec[4 * k][i] = cplx(1.0f / (i + k + 1), 0.5f);
            vec[4 * k + 1][i] = cplx(0.25f, 1.0f / (i + 2 * k + 1));
        }
        pv.push_back({vec[4 * k].data(), vec[4 * k + 1].data(), vec[4 * k + 2].data(),
                      vec[4 * k + 3].data()});
    }
    korva::stream_pass(g, pv.data(), ch, threads, kern);  // warm up
    const int reps = std::max(5, static_cast<int>(1e9 / static_cast<double>(g.bytes())));
    double best = 1e30;
    for (int rep = 0; rep < reps; ++rep) {
        const double t0 = now();
        korva::stream_pass(g, pv.data(), ch, threads, kern);
        best = std::min(best, now() - t0);
    }
    return best;
}

// Seconds of the arithmetic of one pass over g for ch channels: two complex multiply-adds per
// stored entry and channel, at `rate` a second.
double pass_arithmetic(const korva::tile_store& g, int ch, double rate) {
    return 2.0 * ch * static_cast<double>(g.bytes() / sizeof(cplx)) / rate;
}

void pass_table(const std::vector<pass_kernel>& kernels, int threads, double bw, double rate) {
    std::printf("%6s %4s %8s %10s %8s %8s %8s %14s %11s\n", "N", "ch", "kernel", "ms/pass", "GB/s",
                "x bound", "x arith", "plain ms/lev", "plain/fast");
    for (int n : {1000, 2000, 3000, 4539}) {
        korva::tile_store g(n);
        korva::bench::fill_dense_half(g, n);
        const double bytes = static_cast<double>(g.bytes());
        const double plain_level = n <= 2000 ? plain_per_level(n) : 0.0;
        for (int ch : {1, 3})
            for (pass_kernel kern : kernels) {
                const double t = pass_seconds(g, ch, threads, kern);
                const double gbs = bytes / t / 1e9;
                std::printf("%6d %4d %8s %10.3f %8.1f %8.2f %8.2f", n, ch,
                            korva::pass_kernel_name(kern), t * 1e3, gbs, bw / gbs,
                            t / pass_arithmetic(g, ch, rate));
                // The plain solver does two products per level for each channel.
                if (plain_level > 0)
                    std::printf(" %14.2f %11.1f\n", plain_level * ch * 1e3, plain_level * ch / t);
                else
                    std::printf(" %14s %11s\n", "-", "-");
            }
    }
}

// One whole point of three channels at N = 4539: EPS 0, so 20 levels (19 passes).
void whole_point(const std::vector<pass_kernel>& kernels, int threads, double bw, double rate) {
    korva::tile_store g(4539);
    korva::bench::fill_dense_half(g, 4539);
    const double bytes = static_cast<double>(g.bytes());
    for (pass_kernel kern : kernels) {
        std::vector<std::string> lines;
        const double t0 = now();
        const auto res = korva::haykor(g, {2, 3, 4}, 2, 20, 0.0f, 0, lines, threads, kern);
        const double t = now() - t0;
        int levels = 0;
        for (const auto& r : res) levels = std::max(levels, r.niter);
        const double bound = (levels - 1) * bytes / (bw * 1e9);
        const double arith = (levels - 1) * pass_arithmetic(g, 3, rate);
        std::printf(
            "recursion of 3 channels at N = 4539, kernel %s: %.3f s for %d levels; read bound "
            "(levels - 1) x %.0f MB / %.1f GB/s = %.3f s, ratio %.2f; arithmetic bound %.3f s, "
            "ratio %.2f\n",
            korva::pass_kernel_name(kern), t, levels, bytes / 1e6, bw, bound, t / bound, arith,
            t / arith);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int threads = argc > 1 ? std::atoi(argv[1]) : omp_get_max_threads();
    const double bw = korva::bench::read_bandwidth(threads);
    const double bw1 = korva::bench::read_bandwidth(1);
    const double triad = korva::bench::triad_bandwidth(threads);
    const double rate = korva::bench::madd_rate(threads), rate1 = korva::bench::madd_rate(1);
    std::printf("read bandwidth: %.1f GB/s with %d threads, %.1f GB/s with 1; triad %.1f GB/s\n",
                bw, threads, bw1, triad);
    std::printf(
        "arithmetic: %.1f G complex multiply-adds/s with %d threads, %.1f with 1 (chains of "
        "vector fused multiply-adds)\n",
        rate / 1e9, threads, rate1 / 1e9);
    std::printf("kernel in use: %s (the program's choice on this processor)\n",
                korva::pass_kernel_name(korva::pass_kernel_used()));
    const std::vector<pass_kernel> kernels = vector_kernels();
    pass_table(kernels, threads, bw, rate);
    whole_point(kernels, threads, bw, rate);
}
