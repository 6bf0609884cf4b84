#include "propagator/prop2.hpp"

#include <gtest/gtest.h>

#include <iostream>
#include <random>
#include <sstream>
#include <vector>

#include "common/capacities.hpp"
#include "common/channels.hpp"
#include "geometry/ylm.hpp"
#include "propagator/block_check.hpp"
#include "propagator/prop1.hpp"

namespace korva {
namespace {

using testing::check_block;

constexpr int ld = 441;

struct call_result {
    std::vector<cplx> gg;
    std::string out;
};

call_result run(prop2_table& t, int lmax, int mmax, cplx k, real r, const std::vector<real>& y) {
    call_result res{std::vector<cplx>(static_cast<std::size_t>(ld * ld)), ""};
    std::ostringstream out;
    prop2(t, out, ld, lmax, mmax, k, r, y.data(), res.gg.data());
    res.out = out.str();
    return res;
}

cplx at(const std::vector<cplx>& gg, int a, int b) {
    return gg[static_cast<std::size_t>(a - 1 + (b - 1) * ld)];
}

// Column of the z direction: Y(l, 0) = sqrt((2l+1)/(4 pi)), every other projection 0.
std::vector<real> z_column() {
    std::vector<real> y(NYLM_, 0.0f);
    for (int l = 0; l <= 2 * LPROP_; ++l)
        y[static_cast<std::size_t>(full_index(l, 0) - 1)] =
            static_cast<real>(std::sqrt((2 * l + 1) / (4 * oracle::pi)));
    return y;
}

TEST(Prop2, OrderZeroMatchesTheAxialBuilder) {
    // gg(1, 1) = -sqrt(4 pi) Y(0, 0) exp(ikr)/(kr) = 0.2080734 - 0.4546487 i at k = 1, r = 2.
    prop2_table t;
    const auto res = run(t, 0, 0, cplx(1.0f, 0.0f), 2.0f, oracle::ylm_column(0.3));
    EXPECT_NEAR(at(res.gg, 1, 1).real(), 0.2080734f, 3e-7f);
    EXPECT_NEAR(at(res.gg, 1, 1).imag(), -0.4546487f, 3e-7f);
}

TEST(Prop2, ZDirectionColumnGivesTheAxialBlock) {
    const int lmax = 8, mmax = 8;
    const oracle::bond b{1.0, 0.0, oracle::zd(1.25, 0.03), 4.0};
    prop2_table t2;
    const auto res = run(t2, lmax, mmax, testing::k_of(b), static_cast<real>(b.r), z_column());
    prop1_table t1;
    std::vector<cplx> g1(static_cast<std::size_t>(ld * ld));
    std::ostringstream out;
    prop1(t1, out, ld, lmax, mmax, testing::k_of(b), static_cast<real>(b.r), g1.data());
    const oracle::block_reference ref(b, lmax);
    // Each builder is within the rounding tolerance of the closed form, so of each other
    // within twice that.
    const double tol = 2 * testing::tolerance_ulps(lmax, std::abs(b.k * b.r)) * testing::ulp;
    const auto ch = layout_channels(lmax, mmax);
    const int n = static_cast<int>(ch.size());
    for (int a = 1; a <= n; ++a)
        for (int c = 1; c <= n; ++c) {
            const auto [l, m] = ch[a - 1];
            const auto [lp, mp] = ch[c - 1];
            if (m != mp) {
                EXPECT_EQ(at(res.gg, a, c), cplx(0.0f, 0.0f)) << a << "," << c;
            } else {
                const double err = std::abs(oracle::zd(at(res.gg, a, c)) -
                                            oracle::zd(g1[a - 1 + (c - 1) * std::size_t{ld}]));
                EXPECT_LE(err, tol * ref.at(l, m, lp, mp).scale) << a << "," << c;
            }
        }
}

TEST(Prop2, OrderOneOppositeProjectionsUseOnlyY2MinusTwo) {
    // Channels (0,0) (1,-1) (1,0) (1,1); gg(2,4) = gg(4,2) is the sum for m = 1, m' = -1: the
    // single term l'' = 2, -sqrt(4 pi 9) (-1)^(-1) sqrt(5) (1 1 2; 0 0 0) (1 1 2; 1 1 -2)
    // Y(2,-2) H_2, from GSL and the recurrence.
    const oracle::bond b{0.4, 0.0, oracle::zd(1.0, 0.0), 2.0};
    auto y = oracle::ylm_column(b.cost);
    prop2_table t;
    auto gg = testing::sentinel_block(ld);
    std::ostringstream out;
    prop2(t, out, ld, 1, 1, testing::k_of(b), static_cast<real>(b.r), y.data(), gg.data());
    testing::expect_corner_only(gg, ld, 4);
    const oracle::zd h2 = oracle::radial(oracle::zd(2.0), 2)[2];
    const oracle::zd want = std::sqrt(36 * oracle::pi * 5) * oracle::w3j(1, 1, 2, 0, 0, 0) *
                            oracle::w3j(1, 1, 2, 1, 1, -2) * oracle::ylm(2, -2, b.cost) * h2;
    EXPECT_EQ(at(gg, 2, 4), at(gg, 4, 2));
    EXPECT_NEAR(at(gg, 2, 4).real(), want.real(), 1e-6 * std::abs(want));
    EXPECT_NEAR(at(gg, 2, 4).imag(), want.imag(), 1e-6 * std::abs(want));
    // Changing every other harmonic leaves it alone.
    const cplx before = at(gg, 2, 4);
    for (std::size_t i = 0; i < y.size(); ++i)
        if (static_cast<int>(i) != full_index(2, -2) - 1) y[i] *= 1.5f;
    prop2(t, out, ld, 1, 1, testing::k_of(b), static_cast<real>(b.r), y.data(), gg.data());
    EXPECT_EQ(at(gg, 2, 4), before);
    EXPECT_NE(at(gg, 3, 3), cplx(0.0f, 0.0f));
}

TEST(Prop2, BlockIsSymmetricWithTheProjectionSignRule) {
    const int lmax = 7, mmax = 4;
    const oracle::bond b{-0.35, 0.0, oracle::zd(1.6, 0.02), 5.0};
    prop2_table t;
    const auto res =
        run(t, lmax, mmax, testing::k_of(b), static_cast<real>(b.r), oracle::ylm_column(b.cost));
    const oracle::block_reference ref(b, lmax);
    const double tol = testing::tolerance_ulps(lmax, std::abs(b.k * b.r)) * testing::ulp;
    const auto ch = layout_channels(lmax, mmax);
    const int n = static_cast<int>(ch.size());
    for (int a = 1; a <= n; ++a)
        for (int c = 1; c <= n; ++c) {
            const auto [l, m] = ch[a - 1];
            const auto [lp, mp] = ch[c - 1];
            // Every pair stores both (a, c) and (c, a), so the symmetry is exact.
            EXPECT_EQ(at(res.gg, a, c), at(res.gg, c, a)) << a << "," << c;
            // gg(l -m; l' -m') = (-1)^(m+m') gg(l m; l' m'): exact between different l, up
            // to rounding inside a diagonal block, where later stores overwrite.
            const cplx mirrored =
                at(res.gg, layout_index(l, -m, mmax), layout_index(lp, -mp, mmax));
            const cplx want = ((m + mp) % 2 == 0 ? 1.0f : -1.0f) * at(res.gg, a, c);
            if (l != lp)
                EXPECT_EQ(mirrored, want) << a << "," << c;
            else
                EXPECT_LE(std::abs(oracle::zd(mirrored) - oracle::zd(want)),
                          2 * tol * ref.at(l, m, lp, mp).scale)
                    << a << "," << c;
        }
}

TEST(Prop2, WritesExactlyTheLeadingCorner) {
    const int ldim = 13;
    prop2_table t;
    auto gg = testing::sentinel_block(ldim);
    const auto y = oracle::ylm_column(0.2);
    std::ostringstream out;
    prop2(t, out, ldim, 3, 1, cplx(1.0f, 0.1f), 3.0f, y.data(), gg.data());
    testing::expect_corner_only(gg, ldim, 10);
}

TEST(Prop2, CoefficientCountLineOnTheFirstCallOnly) {
    struct row {
        int lmax, mmax, count;
    };
    const auto y = oracle::ylm_column(0.6);
    for (const row& c : {row{5, 5, 1258}, row{8, 8, 8229}, row{10, 10, 21205}, row{12, 12, 46963},
                         row{18, 2, 19047}}) {
        prop2_table t;
        const auto first = run(t, c.lmax, c.mmax, cplx(1.0f, 0.0f), 10.0f, y);
        EXPECT_EQ(first.out, testing::count_line(c.count, c.lmax)) << "lmax=" << c.lmax;
        EXPECT_EQ(t.coe.size(), static_cast<std::size_t>(c.count));
        EXPECT_EQ(t.sq.size(), static_cast<std::size_t>((c.lmax + 1) * (c.lmax + 2) / 2));
        EXPECT_EQ(t.hy.size(), static_cast<std::size_t>((2 * c.lmax + 1) * (2 * c.lmax + 1)));
        EXPECT_EQ(run(t, c.lmax, c.mmax, cplx(1.2f, 0.0f), 9.0f, y).out, "") << c.lmax;
    }
}

TEST(Prop2, TooManyCoefficientsReportsNindAndStillComputes) {
    // lmax = mmax = 15 needs 127152 coefficients, above NIND = 100000.
    const oracle::bond b{0.55, 0.0, oracle::zd(1.8, 0.02), 8.0};
    prop2_table t;
    const auto res =
        run(t, 15, 15, testing::k_of(b), static_cast<real>(b.r), oracle::ylm_column(b.cost));
    EXPECT_EQ(res.out,
              testing::count_line(127152, 15) + testing::nind_message(" \"PROP2\"", 127152));
    EXPECT_EQ(t.coe.size(), 127152u);
    check_block(res.gg.data(), ld, 15, 15, oracle::block_reference(b, 15),
                testing::tolerance_ulps(15, std::abs(b.k * b.r)), "lmax 15");
}

TEST(Prop2, CutoffWarningOnEveryCallAboveEighteen) {
    const oracle::bond b{-0.8, 0.0, oracle::zd(1.7, 0.03), 9.5};
    const auto y = oracle::ylm_column(b.cost);
    prop2_table t;
    const auto first = run(t, 19, 2, testing::k_of(b), static_cast<real>(b.r), y);
    EXPECT_EQ(first.out, testing::cutoff_warning("PROP2", 19) + testing::count_line(22146, 19));
    const auto second = run(t, 19, 2, testing::k_of(b), static_cast<real>(b.r), y);
    EXPECT_EQ(second.out, testing::cutoff_warning("PROP2", 19));
    EXPECT_EQ(run(t, 18, 2, testing::k_of(b), static_cast<real>(b.r), y).out, "");
    check_block(second.gg.data(), ld, 19, 2, oracle::block_reference(b, 19),
                testing::tolerance_ulps(19, std::abs(b.k * b.r)), "lmax 19");
}

TEST(Prop2, SmallerLaterCallsReadAPrefixOfTheTable) {
    const auto y = oracle::ylm_column(-0.1);
    prop2_table big, small;
    run(big, 9, 3, cplx(1.0f, 0.0f), 3.0f, y);
    const auto a = run(big, 6, 3, cplx(1.2f, 0.04f), 3.5f, y);
    const auto b = run(small, 6, 3, cplx(1.2f, 0.04f), 3.5f, y);
    EXPECT_EQ(a.gg, b.gg);
}

TEST(Prop2, HarmonicsFromLegendreGiveTheClosedForm) {
    // The driver's path: the column from fill_ylm_column (legendre's recurrences are good to
    // 1e-14, far below single-precision rounding).
    const int lmax = 8, mmax = 8;
    const oracle::bond b{0.7071, 0.0, oracle::zd(1.4, 0.05), 3.5};
    std::vector<real> y(NYLM_, 0.0f);
    std::ostringstream out;
    fill_ylm_column(out, b.cost, 2 * lmax, y.data());
    prop2_table t;
    const auto res = run(t, lmax, mmax, testing::k_of(b), static_cast<real>(b.r), y);
    check_block(res.gg.data(), ld, lmax, mmax, oracle::block_reference(b, lmax),
                testing::tolerance_ulps(lmax, std::abs(b.k * b.r)), "legendre column");
}

TEST(Prop2, MatchesTheClosedFormSumForRandomBonds) {
    // -sqrt(4 pi (2l+1)(2l'+1)) sum (-1)^m' sqrt(2l''+1) (l l' l''; 0 0 0)
    // (l l' l''; m -m' m'-m) Y(l'', m'-m) H_l''(kr), harmonics from GSL, random polar angle.
    prop2_table t;
    testing::random_bond_sweep("prop2", 7741, false, false,
                               [&](const oracle::bond& b, int lmax, int mmax, bool fresh) {
                                   if (fresh) t = prop2_table{};
                                   return run(t, lmax, mmax, testing::k_of(b),
                                              static_cast<real>(b.r), oracle::ylm_column(b.cost))
                                       .gg;
                               });
}

}  // namespace
}  // namespace korva
