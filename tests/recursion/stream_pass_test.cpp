// The streaming solver against the plain one: the same bits, whatever the kernel and threads.
#include "recursion/stream_pass.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "recursion/haykor.hpp"
#include "recursion/tile_store.hpp"
#include "reference/haykor.hpp"
#include "reference/matrix.hpp"
#include "support/kernels.hpp"

namespace korva {
namespace {

bool same_bits(cplx a, cplx b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

using test::kernels_here;

// A random matrix with unit diagonal, the same in both stores. `zeros` is the share of exact
// zero entries; with `blocks`, whole atom-like blocks are zero (and one side of some pairs
// only, so the pattern is not symmetric); signed zeros appear among them.
struct random_matrix {
    int n;
    std::vector<cplx> a;  // column-major
    random_matrix(int n_, double zeros, bool blocks, unsigned seed) : n(n_), a(n_ * n_) {
        std::mt19937 gen(seed);
        std::uniform_real_distribution<float> u(-1.0f, 1.0f);
        std::uniform_real_distribution<double> pick(0.0, 1.0);
        const float scale = 0.6f / std::sqrt(static_cast<float>(n));
        const int bs = 7;  // block edge
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                cplx v(scale * u(gen), scale * u(gen));
                if (i == j) v = cplx(1.0f, 0.0f);
                bool zero = i != j && pick(gen) < zeros;
                if (blocks && i != j) {
                    const int bi = i / bs, bj = j / bs;
                    if ((bi * 31 + bj * 17) % 5 == 0) zero = true;  // pattern not symmetric
                }
                if (zero) v = (i + j) % 3 == 0 ? cplx(-0.0f, 0.0f) : cplx(0.0f, -0.0f);
                a[i + j * n] = v;
            }
    }
    // About one entry in 29 shrunk by 1e-38 below the normal floats: subnormal entries, and
    // products and sums that fall below 2^-126.
    random_matrix& with_subnormals() {
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i)
                if (i != j && (7 * i + 13 * j) % 29 == 0) a[i + j * n] *= 1e-38f;
        return *this;
    }
    cplx at(int i, int j) const { return a[(i - 1) + (j - 1) * n]; }
    void fill(reference::matrix_store& m) const {
        for (int j = 1; j <= n; ++j)
            for (int i = 1; i <= n; ++i) m.gt(i, j) = at(i, j);
        m.rebuild_row_lists(n);
    }
    void fill(tile_store& g) const {
        g.reshape(n);
        for (int j = 1; j <= n; ++j)
            for (int i = 1; i <= n; ++i) g.gt(i, j) = at(i, j);
    }
};

TEST(TileStore, ReshapeClearsAndSetsTheDiagonal) {
    tile_store g(20);
    g.reshape(20);
    g.gt(3, 7) = cplx(2.0f, 3.0f);
    g.gt(20, 1) = cplx(4.0f, 0.0f);
    g.reshape(13);
    EXPECT_EQ(g.order(), 13);
    EXPECT_EQ(g.tiles(), 2);
    EXPECT_EQ(g.padded(), 16u);
    for (int j = 1; j <= 13; ++j)
        for (int i = 1; i <= 13; ++i)
            EXPECT_EQ(g.gt(i, j), i == j ? cplx(1.0f, 0.0f) : cplx(0.0f, 0.0f));
    // Entry (i, j) lives in tile ((i-1)/8, (j-1)/8), column by column inside it.
    g.gt(11, 4) = cplx(5.0f, 6.0f);
    EXPECT_EQ(g.tile(1, 0)[8 * 3 + 2], cplx(5.0f, 6.0f));
    EXPECT_EQ(g.tile(1, 1)[8 * 2 + 2], cplx(1.0f, 0.0f));  // entry (11, 11)
    EXPECT_EQ(g.tile(1, 1)[8 * 7 + 7], cplx(0.0f, 0.0f));  // padding stays zero
    EXPECT_EQ(g.bytes(), 4u * 64 * sizeof(cplx));
    g.reshape(99);
    EXPECT_EQ(g.order(), 20);  // clamped to the capacity
    // relayout: the padding of the new order is cleared, whatever the old order left.
    for (int j = 1; j <= 20; ++j)
        for (int i = 1; i <= 20; ++i) g.gt(i, j) = cplx(7.0f, 7.0f);
    g.relayout(13);
    for (int ti = 0; ti < 2; ++ti)
        for (int tj = 0; tj < 2; ++tj)
            for (int c = 0; c < 8; ++c)
                for (int r = 0; r < 8; ++r)
                    if (8 * ti + r >= 13 || 8 * tj + c >= 13) {
                        EXPECT_EQ(g.tile(ti, tj)[8 * c + r], cplx(0.0f, 0.0f))
                            << "row " << 8 * ti + r + 1 << " column " << 8 * tj + c + 1;
                    }
}

// The pass against the reference solver's sums over the listed entries of the plain store, in
// list order, with the same fused multiply-adds; every kernel, one to three threads.
TEST(StreamPass, BothProductsHaveThePlainSolversBits) {
    const std::vector<pass_kernel> kernels = kernels_here();
    for (int n : {1, 3, 8, 9, 17, 130, 257, 401}) {
        random_matrix rm(n, 0.3, true, 7u + n);
        rm.with_subnormals();
        reference::matrix_store m(n);
        rm.fill(m);
        tile_store g(n + 5);  // a larger capacity than the order
        rm.fill(g);
        std::mt19937 gen(99);
        std::uniform_real_distribution<float> u(-2.0f, 2.0f);
        const int nch = 3;
        const std::size_t len = g.padded();
        // 1-based for the reference (element 0 unused), 0-based for the pass.
        std::vector<std::vector<cplx>> q(nch, std::vector<cplx>(len + 1)), p = q;
        for (int k = 0; k < nch; ++k)
            for (int i = 1; i <= n; ++i) {
                q[k][i] = i % 5 == 2 ? cplx(0.0f, 0.0f) : cplx(u(gen), u(gen));
                p[k][i] = i % 11 == 4 ? 1e-39f * cplx(u(gen), u(gen)) : cplx(u(gen), u(gen));
            }
        for (int marks = 0; marks < 3; ++marks) {
            // No tile marked, the tiles with subnormal entries, every tile: the paths of
            // marked tiles must give the same bits.
            g.clear_marks();
            if (marks == 1) g.mark_subnormal_tiles();
            for (int tj = 0; marks == 2 && tj < g.tiles(); ++tj)
                for (int ti = 0; ti < g.tiles(); ++ti) g.mark(ti, tj)->store(1);
            for (pass_kernel kern : kernels)
                for (int threads : {1, 2, 3}) {
                    std::vector<std::vector<cplx>> gq(nch, std::vector<cplx>(len)), gtp = gq;
                    std::vector<pass_vectors> pv;
                    for (int k = 0; k < nch; ++k)
                        pv.push_back(
                            {q[k].data() + 1, p[k].data() + 1, gq[k].data(), gtp[k].data()});
                    stream_pass(g, pv.data(), nch, threads, kern);
                    for (int k = 0; k < nch; ++k)
                        for (int i = 1; i <= n; ++i) {
                            ASSERT_TRUE(same_bits(gq[k][i - 1], reference::row_times(m, i, q[k])))
                                << "n=" << n << " i=" << i << " threads=" << threads
                                << " kernel=" << pass_kernel_name(kern) << " marks=" << marks;
                            ASSERT_TRUE(
                                same_bits(gtp[k][i - 1], reference::column_times(m, i, p[k])))
                                << "n=" << n << " i=" << i << " threads=" << threads
                                << " kernel=" << pass_kernel_name(kern) << " marks=" << marks;
                        }
                }
        }
    }
}

// The whole recursion: niter, s, err and every A and B line of each channel as haykor gives
// them, for 1 to 3 threads and every kernel; channels stop at different levels.
TEST(HaykorMulti, EveryChannelHasThePlainSolversBitsAndLines) {
    const std::vector<pass_kernel> kernels = kernels_here();
    struct setting {
        int n;
        double zeros;
        bool blocks;
        int minlev, maxlev;
        float eps;
    };
    for (const setting& s :
         {setting{9, 0.0, false, 2, 20, 1e-4f}, setting{150, 0.5, true, 2, 20, 1e-4f},
          setting{301, 0.2, true, 5, 12, 1e-6f}, setting{260, 0.0, false, 2, 1, 1e-4f},
          setting{200, 0.9, false, 2, 20, 0.0f}, setting{131, 0.3, true, 2, 0, 1e-4f}}) {
        random_matrix rm(s.n, s.zeros, s.blocks, 1234u + s.n);
        if (s.n == 301) rm.with_subnormals();
        reference::matrix_store m(s.n);
        rm.fill(m);
        tile_store g(s.n);
        rm.fill(g);
        g.mark_subnormal_tiles();
        std::vector<int> channels;
        for (int r : {1, 2, 3, s.n / 2, s.n}) channels.push_back(std::min(r, s.n));
        for (pass_kernel kern : kernels)
            for (int threads : {1, 2, 3}) {
                std::vector<std::string> lines;
                const auto res =
                    haykor(g, channels, s.minlev, s.maxlev, s.eps, 3, lines, threads, kern);
                ASSERT_EQ(res.size(), channels.size());
                for (std::size_t k = 0; k < channels.size(); ++k) {
                    std::ostringstream text;
                    const haykor_result h =
                        reference::haykor(m, s.n, channels[k], s.minlev, s.maxlev, s.eps, 3, text);
                    EXPECT_EQ(res[k].niter, h.niter) << "n=" << s.n << " r=" << channels[k];
                    EXPECT_TRUE(same_bits(res[k].s, h.s)) << "n=" << s.n << " r=" << channels[k];
                    EXPECT_EQ(std::memcmp(&res[k].err, &h.err, sizeof h.err), 0)
                        << "n=" << s.n << " r=" << channels[k];
                    EXPECT_EQ(lines[k], text.str()) << "n=" << s.n << " r=" << channels[k];
                }
            }
    }
}

// Above order 2048 the element-by-element steps of the recursion are shared by the threads as
// well; the bits stay those of the reference.
TEST(HaykorMulti, LongVectorsKeepThePlainSolversBits) {
    const int n = 2100;
    const random_matrix rm(n, 0.98, false, 77u);
    reference::matrix_store m(n);
    rm.fill(m);
    tile_store g(n);
    rm.fill(g);
    const std::vector<int> channels{1, 1000, n};
    for (int threads : {1, 2, 3}) {
        std::vector<std::string> lines;
        const auto res = haykor(g, channels, 2, 6, 0.0f, 0, lines, threads);
        for (std::size_t k = 0; k < channels.size(); ++k) {
            std::ostringstream text;
            const haykor_result h = reference::haykor(m, n, channels[k], 2, 6, 0.0f, 0, text);
            EXPECT_EQ(res[k].niter, h.niter) << "r=" << channels[k] << " threads=" << threads;
            EXPECT_TRUE(same_bits(res[k].s, h.s)) << "r=" << channels[k] << " threads=" << threads;
        }
    }
}

// A channel without couplings ends at level 1, next to channels that run on.
TEST(HaykorMulti, IsolatedChannelStopsAtOnce) {
    const int n = 40;
    random_matrix rm(n, 0.0, false, 5u);
    for (int i = 1; i <= n; ++i)
        if (i != 7) rm.a[(i - 1) + 6 * n] = rm.a[6 + (i - 1) * n] = cplx(0.0f, 0.0f);
    rm.a[6 + 6 * n] = cplx(2.0f, 0.0f);
    tile_store g(n);
    rm.fill(g);
    std::vector<std::string> lines;
    const auto res = haykor(g, {7, 1}, 2, 20, 1e-5f, 0, lines, 1);
    EXPECT_EQ(res[0].niter, 1);
    EXPECT_EQ(res[0].s, cplx(0.5f, 0.0f));
    EXPECT_GT(res[1].niter, 2);
}

}  // namespace
}  // namespace korva
