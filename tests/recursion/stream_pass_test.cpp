// The half store and its pass against the plain reference, the same bits whatever the kernel and
// threads; the recursion against the two-sided reference solver on the full matrix.
#include "recursion/stream_pass.hpp"

#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <algorithm>
#include <cstring>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/channels.hpp"
#include "recursion/haykor.hpp"
#include "recursion/tile_store.hpp"
#include "reference/half_pass.hpp"
#include "reference/haykor.hpp"
#include "reference/matrix.hpp"
#include "support/kernels.hpp"

namespace korva {
namespace {

bool same_bits(cplx a, cplx b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

using test::kernels_here;

TEST(TileStore, TriangleOfTilesChannelsAndTheReflectedHalf) {
    tile_store g(20);
    g.reshape(20);
    g.upper(3, 7) = cplx(2.0f, 3.0f);
    g.reshape(13);
    EXPECT_EQ(g.order(), 13);
    EXPECT_EQ(g.tiles(), 2);
    EXPECT_EQ(g.padded(), 16u);
    EXPECT_EQ(g.bytes(), 3u * 64 * sizeof(cplx));  // tiles (0,0), (0,1), (1,1)
    EXPECT_EQ(g.upper(3, 7), cplx(0.0f, 0.0f));
    // Entry (i, j) lives in tile ((i-1)/8, (j-1)/8), column by column inside it; column of
    // tiles 1 starts after the one tile of column 0.
    g.upper(4, 11) = cplx(5.0f, 6.0f);
    EXPECT_EQ(g.tile(0, 1)[8 * 2 + 3], cplx(5.0f, 6.0f));
    EXPECT_EQ(g.tile(0, 1), g.tile(0, 0) + 64);
    EXPECT_EQ(g.tile(1, 1), g.tile(0, 0) + 128);
    EXPECT_FALSE(tile_store::kept(11, 4));
    g.reshape(99);
    EXPECT_EQ(g.order(), 20);  // clamped to the capacity

    // Two atoms: atom 1 with l = 0..1, atom 2 with l = 0..2, Mmax 1 (4 + 7 channels).
    for (int j = 1; j <= 24; ++j)
        for (int i = 1; i <= j; ++i)
            if (tile_store::kept(i, j)) g.upper(i, j) = cplx(7.0f, 7.0f);
    g.relayout(11);
    g.set_atom(1, 0, 1, 1);
    g.set_atom(2, 4, 2, 1);
    // relayout clears the padding and the lower half of each diagonal tile.
    for (int j = 1; j <= 16; ++j)
        for (int i = 1; i <= 16; ++i)
            if (tile_store::kept(i, j) &&
                (i > 11 || j > 11 || (i > j && (i - 1) / 8 == (j - 1) / 8))) {
                EXPECT_EQ(g.upper(i, j), cplx(0.0f, 0.0f)) << i << "," << j;
            }
    // Channel (l, m) = (1, 1) of atom 2 is 5 + 3 = 8: partner (1, -1), number 6, sign +1;
    // (2, 1) is 11, partner 9, sign -1; (1, 0) of atom 1 is its own partner, sign -1.
    EXPECT_EQ(g.partner(8), 6);
    EXPECT_EQ(g.sign(8), 1.0f);
    EXPECT_EQ(g.partner(11), 9);
    EXPECT_EQ(g.sign(11), -1.0f);
    EXPECT_EQ(g.partner(3), 3);
    EXPECT_EQ(g.sign(3), -1.0f);
    EXPECT_EQ(g.atom(4), 1);
    EXPECT_EQ(g.atom(5), 2);
    // G below the block diagonal is the reflection: G(11, 3) = s s U(3', 11') = -(-1) U(3, 9).
    g.upper(3, 9) = cplx(0.5f, -0.25f);
    g.amplitude(3) = cplx(2.0f, 1.0f);
    EXPECT_EQ(g.g(11, 3), cplx(0.5f, -0.25f));
    EXPECT_EQ(g.gt(11, 3), cplx(0.5f, -0.25f) * cplx(2.0f, 1.0f));
    EXPECT_EQ(g.gt(2, 3), cplx(0.0f, 0.0f));  // inside atom 1
    EXPECT_EQ(g.gt(3, 3), cplx(1.0f, 0.0f));
}

// Every stored entry random (the lower halves of the diagonal tiles too: the pass reads all of
// them), about one in 29 shrunk below the normal floats, a share of exact and signed zeros.
void fill_random(tile_store& g, int n, double zeros, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::uniform_real_distribution<double> pick(0.0, 1.0);
    g.reshape(n);
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) {
            if (!tile_store::kept(i, j)) continue;
            cplx v(u(gen), u(gen));
            if (pick(gen) < zeros) v = (i + j) % 3 == 0 ? cplx(-0.0f, 0.0f) : cplx(0.0f, -0.0f);
            if ((7 * i + 13 * j) % 29 == 0) v *= 1e-38f;
            g.upper(i, j) = v;
        }
}

// The pass against the reference's plain sums over the stored entries, with the same fused
// multiply-adds; every kernel, one to three threads, orders with one to 48 blocks of tile rows.
TEST(StreamPass, BothProductsHaveThePlainReferencesBits) {
    const std::vector<pass_kernel> kernels = kernels_here();
    for (int n : {1, 3, 8, 9, 17, 130, 257, 401, 803}) {
        tile_store g(n + 5);  // a larger capacity than the order
        fill_random(g, n, 0.3, 7u + n);
        std::mt19937 gen(99);
        std::uniform_real_distribution<float> u(-2.0f, 2.0f);
        const int nch = 3;
        const std::size_t len = g.padded();
        std::vector<std::vector<cplx>> y(nch, std::vector<cplx>(len)), z = y;
        for (int k = 0; k < nch; ++k)
            for (int i = 0; i < n; ++i) {
                y[k][i] = i % 5 == 2 ? cplx(0.0f, 0.0f) : cplx(u(gen), u(gen));
                z[k][i] = i % 11 == 4 ? 1e-39f * cplx(u(gen), u(gen)) : cplx(u(gen), u(gen));
            }
        std::vector<std::vector<cplx>> want_uy(nch), want_utz(nch);
        for (int k = 0; k < nch; ++k)
            reference::half_products(g, y[k], z[k], want_uy[k], want_utz[k]);
        for (int marks = 0; marks < 3; ++marks) {
            // No tile marked, the tiles with subnormal entries, every tile: the paths of
            // marked tiles must give the same bits.
            g.clear_marks();
            if (marks == 1) g.mark_subnormal_tiles();
            for (int tj = 0; marks == 2 && tj < g.tiles(); ++tj)
                for (int ti = 0; ti <= tj; ++ti) g.mark(ti, tj)->store(1);
            for (pass_kernel kern : kernels)
                for (int threads : {1, 2, 3}) {
                    std::vector<std::vector<cplx>> uy(nch, std::vector<cplx>(len)), utz = uy;
                    std::vector<pass_vectors> pv;
                    for (int k = 0; k < nch; ++k)
                        pv.push_back({y[k].data(), z[k].data(), uy[k].data(), utz[k].data()});
                    stream_pass(g, pv.data(), nch, threads, kern);
                    int wrong = 0;
                    for (int k = 0; k < nch; ++k)
                        for (std::size_t i = 0; i < len; ++i)
                            wrong += !same_bits(uy[k][i], want_uy[k][i]) +
                                     !same_bits(utz[k][i], want_utz[k][i]);
                    ASSERT_EQ(wrong, 0)
                        << "n=" << n << " threads=" << threads
                        << " kernel=" << pass_kernel_name(kern) << " marks=" << marks;
                }
        }
    }
}

TEST(StreamPass, RowBlocksCoverTheRowsWithAboutEqualWork) {
    for (int nt : {1, 2, 47, 48, 49, 568, 2758}) {
        const std::vector<int> b = pass_row_blocks(nt);
        ASSERT_EQ(b.front(), 0);
        ASSERT_EQ(b.back(), nt);
        ASSERT_LE(b.size(), 49u);
        for (std::size_t k = 1; k < b.size(); ++k) ASSERT_LT(b[k - 1], b[k]) << "nt=" << nt;
        if (nt < 500) continue;
        // 48 blocks of nt (nt + 1) / 96 stored tiles each, within a row of tiles.
        for (std::size_t k = 1; k < b.size(); ++k) {
            const double tiles = (b[k] - b[k - 1]) * (nt - 0.5 * (b[k] + b[k - 1]) + 0.5);
            EXPECT_NEAR(tiles, nt * (nt + 1) / 96.0, nt) << "nt=" << nt << " block " << k;
        }
    }
}

// A cluster-like matrix A = I + G T in the half store: atoms of cut-offs l_i (Mmax 2) in a
// row, random bond blocks, random amplitudes t per atom and l, so G^T = P G P holds exactly.
// The same matrix, rebuilt entry by entry, in the reference's row-list store.
struct cluster_matrix {
    tile_store g;
    reference::matrix_store m;
    cluster_matrix(const std::vector<int>& lmax, float w, unsigned seed)
        : g(count(lmax)), m(count(lmax)) {
        const int n = count(lmax), mmax = 2;
        std::mt19937 gen(seed);
        std::uniform_real_distribution<float> u(-1.0f, 1.0f);
        g.relayout(n);
        std::vector<int> first;
        for (std::size_t a = 0, o = 0; a < lmax.size(); o += layout_count(lmax[a], mmax), ++a) {
            first.push_back(static_cast<int>(o));
            g.set_atom(static_cast<int>(a) + 1, static_cast<int>(o), lmax[a], mmax);
            const auto ch = layout_channels(lmax[a], mmax);
            std::vector<cplx> t(lmax[a] + 1);
            for (cplx& x : t) x = cplx(0.5f + 0.5f * u(gen), 0.5f * u(gen));
            for (std::size_t k = 0; k < ch.size(); ++k)
                g.amplitude(int(o + k) + 1) = t[ch[k].first];
        }
        const float scale = w / std::sqrt(static_cast<float>(n));
        for (int j = 1; j <= n; ++j)
            for (int i = 1; i <= j; ++i)
                if (tile_store::kept(i, j))
                    g.upper(i, j) = g.atom(i) < g.atom(j) ? cplx(scale * u(gen), scale * u(gen))
                                                          : cplx(0.0f, 0.0f);
        for (int j = 1; j <= n; ++j)
            for (int i = 1; i <= n; ++i) m.gt(i, j) = g.gt(i, j);
        m.rebuild_row_lists(n);
    }
    static int count(const std::vector<int>& lmax) {
        int n = 0;
        for (int l : lmax) n += layout_count(l, 2);
        return n;
    }
};

// The starts a test runs: unit vectors of m = 0 and m != 0 channels, the symmetric
// combinations of +-m, and one start whose left vector is unrelated to the right one.
std::vector<recursion_start> test_starts(const tile_store& g) {
    const real r = std::sqrt(0.5f);
    const int c = layout_index(2, 0, 2);  // (2, 0) of atom 1
    std::vector<recursion_start> s{recursion_start::unit(c), recursion_start::unit(c + 1),
                                   recursion_start::unit(g.order())};
    for (real sg : {1.0f, -1.0f}) {
        const std::vector<std::pair<int, cplx>> v{{c + 2, cplx(r, 0.0f)},
                                                  {c - 2, cplx(sg * r, 0.0f)}};
        s.push_back({v, v});
    }
    s.push_back({{{c, cplx(0.6f, 0.0f)}, {c + 1, cplx(0.8f, 0.0f)}},
                 {{c, cplx(0.6f, 0.0f)}, {c + 1, cplx(0.8f, 0.0f)}}});
    return s;
}

TEST(Haykor, StartsRunOneSidedExactlyWhenTheLeftVectorIsPTTimesTheRightOne) {
    const cluster_matrix cm({2, 3, 2}, 0.6f, 11u);
    const std::vector<recursion_start> s = test_starts(cm.g);
    const std::vector<bool> want{true, false, false, true, true, false};
    for (std::size_t k = 0; k < s.size(); ++k) {
        cplx c;
        EXPECT_EQ(one_sided_start(cm.g, s[k], c), want[k]) << "start " << k;
    }
    // The last channel of the last atom is (2, 2): its own reflection is (2, -2), so its unit
    // vector is no one-sided start.
    EXPECT_NE(cm.g.partner(cm.g.order()), cm.g.order());
}

// One-sided and two-sided starts against the reference's two-sided recursion on the full
// matrix: the same levels and values within single-precision rounding; and every kernel and
// thread count gives the same bits.
TEST(Haykor, AgreesWithTheTwoSidedReferenceAndKeepsItsBitsAcrossKernelsAndThreads) {
    // Single-precision rounding of twelve levels: measured 1.2e-7, a margin of about 16.
    constexpr double tol = 2e-6;
    double worst = 0;
    for (const auto& [lmax, seed] : {std::pair<std::vector<int>, unsigned>{{2, 3, 2}, 1u},
                                     {{4, 4, 3, 4, 2, 4, 4, 3, 4, 4, 4, 4, 3}, 2u}}) {
        const cluster_matrix cm(lmax, 0.6f, seed);
        const std::vector<recursion_start> s = test_starts(cm.g);
        std::vector<std::string> first_lines;
        std::vector<haykor_result> first;
        for (pass_kernel kern : kernels_here())
            for (int threads : {1, 2, 3}) {
                std::vector<std::string> lines;
                const auto res = haykor(cm.g, s, 2, 12, 0.0f, 3, lines, threads, kern);
                if (first.empty()) {
                    first = res;
                    first_lines = lines;
                }
                for (std::size_t k = 0; k < s.size(); ++k) {
                    EXPECT_TRUE(same_bits(res[k].s, first[k].s)) << pass_kernel_name(kern);
                    EXPECT_EQ(lines[k], first_lines[k]);
                }
            }
        for (std::size_t k = 0; k < s.size(); ++k) {
            std::ostringstream text;
            const haykor_result h =
                reference::haykor(cm.m, cm.m.order(), s[k], 2, 12, 0.0f, 0, text);
            EXPECT_EQ(first[k].niter, h.niter) << "start " << k;
            const double d = std::abs(std::complex<double>(first[k].s) - std::complex<double>(h.s));
            EXPECT_LE(d, tol * std::abs(h.s)) << "start " << k;
            worst = std::max(worst, d / std::abs(h.s));
        }
    }
    std::cout << "[ measured ] one- and two-sided recursion against the two-sided reference: "
              << worst << " relative\n";
}

// The trace of the absorber's l = 2 block of A^-1 against Eigen's inverse in double precision,
// two ways: from the symmetric combinations (every start one-sided), and as the program sums it,
// A^-1(0, 0) + 2 A^-1(m, m) over m > 0 (reciprocity makes A^-1(-m, -m) = A^-1(m, m)).
TEST(Haykor, CombinationsAndReciprocityGiveTheTraceOfTheInverse) {
    const cluster_matrix cm({2, 3, 2, 3, 2}, 0.5f, 5u);
    const int n = cm.g.order(), c = layout_index(2, 0, 2);
    Eigen::MatrixXcd a(n, n);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) a(i, j) = std::complex<double>(cm.g.gt(i + 1, j + 1));
    const Eigen::MatrixXcd inv = a.inverse();
    std::complex<double> trace = 0;
    for (int m = -2; m <= 2; ++m) trace += inv(c + m - 1, c + m - 1);
    const real r = std::sqrt(0.5f);
    std::vector<recursion_start> s{recursion_start::unit(c)};
    for (int m = 1; m <= 2; ++m)
        for (real sg : {1.0f, -1.0f}) {
            const std::vector<std::pair<int, cplx>> v{{c + m, cplx(r, 0.0f)},
                                                      {c - m, cplx(sg * r, 0.0f)}};
            s.push_back({v, v});
        }
    s.push_back(recursion_start::unit(c + 1));
    s.push_back(recursion_start::unit(c + 2));
    std::vector<std::string> lines;
    const auto res = haykor(cm.g, s, 2, 40, 0.0f, 0, lines, 1);
    std::complex<double> combined = 0, weighted = 0;
    for (int k = 0; k < 5; ++k) combined += std::complex<double>(res[k].s);
    weighted = std::complex<double>(res[0].s) + 2.0 * std::complex<double>(res[5].s) +
               2.0 * std::complex<double>(res[6].s);
    // Converged (the matrix has order 67; 40 levels or the recursion closes) to single
    // precision over five elements: measured 8e-9 and 2e-8.
    EXPECT_LE(std::abs(combined - trace), 1e-6 * std::abs(trace));
    EXPECT_LE(std::abs(weighted - trace), 1e-6 * std::abs(trace));
    // Exact but for the roundings of A's entries g t (a few 1e-8 of A^-1; measured 6e-10).
    for (int m = 1; m <= 2; ++m)
        EXPECT_LE(std::abs(inv(c + m - 1, c + m - 1) - inv(c - m - 1, c - m - 1)), 1e-7);
    std::cout << "[ measured ] trace of the inverse's l = 2 block against Eigen: "
              << std::abs(combined - trace) / std::abs(trace) << " from the combinations, "
              << std::abs(weighted - trace) / std::abs(trace) << " from m = 0, 1, 2 weighted\n";
}

// A channel without couplings ends at level 1, next to starts that run on.
TEST(Haykor, IsolatedChannelStopsAtOnce) {
    cluster_matrix cm({2, 2, 2}, 0.6f, 5u);
    const int c = layout_index(2, 0, 2);
    for (int j = 1; j <= cm.g.order(); ++j)
        for (int i = 1; i <= j; ++i)
            if (tile_store::kept(i, j) && (i == c || j == c)) cm.g.upper(i, j) = cplx(0.0f, 0.0f);
    cm.g.amplitude(c) = cplx(2.0f, 0.0f);
    std::vector<std::string> lines;
    const auto res = haykor(cm.g, {c, 1}, 2, 20, 1e-5f, 0, lines, 1);
    EXPECT_EQ(res[0].niter, 1);
    EXPECT_EQ(res[0].s, cplx(1.0f, 0.0f));
    EXPECT_GT(res[1].niter, 2);
}

}  // namespace
}  // namespace korva
