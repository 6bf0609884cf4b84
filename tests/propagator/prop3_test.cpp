#include "propagator/prop3.hpp"

#include <gtest/gtest.h>

#include <iostream>
#include <random>
#include <sstream>
#include <vector>

#include "common/capacities.hpp"
#include "common/channels.hpp"
#include "common/units.hpp"
#include "propagator/block_check.hpp"
#include "propagator/hank.hpp"
#include "propagator/prop1.hpp"
#include "propagator/prop2.hpp"
#include "propagator/radial.hpp"

namespace korva {
namespace {

using testing::check_block;

constexpr int ld = 441;

struct call_result {
    std::vector<cplx> gg;
    std::string out;
};

call_result run(prop3_table& t, int lmax, int mmax, cplx k, real r, const std::vector<real>& y,
                real phi) {
    call_result res{std::vector<cplx>(static_cast<std::size_t>(ld * ld)), ""};
    std::ostringstream out;
    prop3(t, out, ld, lmax, mmax, k, r, y.data(), phi, res.gg.data());
    res.out = out.str();
    return res;
}

cplx at(const std::vector<cplx>& gg, int a, int b) {
    return gg[static_cast<std::size_t>(a - 1 + (b - 1) * ld)];
}

double sign(int n) {
    return n % 2 == 0 ? 1.0 : -1.0;
}

TEST(Prop3, OrderZeroIgnoresTheAzimuth) {
    const auto y = oracle::ylm_column(0.3);
    prop3_table t3;
    const auto g3 = run(t3, 0, 0, cplx(1.0f, 0.0f), 2.0f, y, 1.234f);
    prop2_table t2;
    std::vector<cplx> g2(static_cast<std::size_t>(ld * ld));
    std::ostringstream out;
    prop2(t2, out, ld, 0, 0, cplx(1.0f, 0.0f), 2.0f, y.data(), g2.data());
    EXPECT_EQ(at(g3.gg, 1, 1), g2[0]);
}

TEST(Prop3, ZeroAzimuthGivesTheZeroAzimuthBlock) {
    // Y(l, -m) = (-1)^m Y(l, m), so Q = (-1)^(m+m') P at phi = 0: the prop2 block, up to
    // rounding (the two builders' sums read different harmonics for the transposed half).
    const int lmax = 8, mmax = 5;
    const oracle::bond b{-0.45, 0.0, oracle::zd(1.3, 0.04), 4.2};
    const auto y = oracle::ylm_column(b.cost);
    prop3_table t3;
    const auto g3 = run(t3, lmax, mmax, testing::k_of(b), static_cast<real>(b.r), y, 0.0f);
    prop2_table t2;
    std::vector<cplx> g2(static_cast<std::size_t>(ld * ld));
    std::ostringstream out;
    prop2(t2, out, ld, lmax, mmax, testing::k_of(b), static_cast<real>(b.r), y.data(), g2.data());
    const oracle::block_reference ref(b, lmax);
    const double tol = 2 * testing::tolerance_ulps(lmax, std::abs(b.k * b.r)) * testing::ulp;
    const auto ch = layout_channels(lmax, mmax);
    const int n = static_cast<int>(ch.size());
    for (int a = 1; a <= n; ++a)
        for (int c = 1; c <= n; ++c) {
            const auto [l, m] = ch[a - 1];
            const auto [lp, mp] = ch[c - 1];
            const double err = std::abs(oracle::zd(at(g3.gg, a, c)) -
                                        oracle::zd(g2[a - 1 + (c - 1) * std::size_t{ld}]));
            EXPECT_LE(err, tol * ref.at(l, m, lp, mp).scale) << a << "," << c;
        }
}

TEST(Prop3, FullTurnOfTheAzimuthChangesNothing) {
    // exp(i m (phi + 2 pi)) = exp(i m phi); the larger argument costs |m (phi + 2 pi)| ulps of
    // phase, which the reference's scale at phi + 2 pi carries.
    const int lmax = 7, mmax = 7;
    const real phi = 0.9f;
    const real phi2 = phi + 2.0f * pi_f;
    const oracle::bond b{0.2, phi2, oracle::zd(1.1, 0.03), 3.3};
    const auto y = oracle::ylm_column(b.cost);
    prop3_table t;
    const auto g1 = run(t, lmax, mmax, testing::k_of(b), static_cast<real>(b.r), y, phi);
    const auto g2 = run(t, lmax, mmax, testing::k_of(b), static_cast<real>(b.r), y, phi2);
    const oracle::block_reference ref(b, lmax);
    const double tol = 2 * testing::tolerance_ulps(lmax, std::abs(b.k * b.r)) * testing::ulp;
    const auto ch = layout_channels(lmax, mmax);
    const int n = static_cast<int>(ch.size());
    for (int a = 1; a <= n; ++a)
        for (int c = 1; c <= n; ++c) {
            const auto [l, m] = ch[a - 1];
            const auto [lp, mp] = ch[c - 1];
            const double err = std::abs(oracle::zd(at(g1.gg, a, c)) - oracle::zd(at(g2.gg, a, c)));
            EXPECT_LE(err, tol * ref.at(l, m, lp, mp).scale) << a << "," << c;
        }
}

TEST(Prop3, TransposeAndMirrorRelations) {
    // gg(l' m'; l m) = (-1)^(m+m') gg(l -m; l' -m') (both Q) and gg(l' -m'; l -m) =
    // (-1)^(m+m') gg(l m; l' m') (both P): exact between different l, up to rounding inside
    // diagonal blocks, where later stores overwrite.
    const int lmax = 7, mmax = 4;
    const oracle::bond b{0.65, 2.2, oracle::zd(1.6, 0.02), 5.0};
    prop3_table t;
    const auto res = run(t, lmax, mmax, testing::k_of(b), static_cast<real>(b.r),
                         oracle::ylm_column(b.cost), static_cast<real>(b.phi));
    const oracle::block_reference ref(b, lmax);
    const double tol = 2 * testing::tolerance_ulps(lmax, std::abs(b.k * b.r)) * testing::ulp;
    auto idx = [&](int l, int m) { return layout_index(l, m, mmax); };
    for (int l = 0; l <= lmax; ++l)
        for (int lp = 0; lp <= l; ++lp)
            for (int m = 0; m <= std::min(l, mmax); ++m)
                for (int mp = -std::min(lp, mmax); mp <= std::min(lp, mmax); ++mp) {
                    const real s = static_cast<real>(sign(m + mp));
                    const cplx q1 = at(res.gg, idx(lp, mp), idx(l, m));
                    const cplx q2 = s * at(res.gg, idx(l, -m), idx(lp, -mp));
                    const cplx p1 = at(res.gg, idx(lp, -mp), idx(l, -m));
                    const cplx p2 = s * at(res.gg, idx(l, m), idx(lp, mp));
                    if (l != lp) {
                        EXPECT_EQ(q1, q2) << l << " " << m << " " << lp << " " << mp;
                        EXPECT_EQ(p1, p2) << l << " " << m << " " << lp << " " << mp;
                    } else {
                        const double bound = tol * ref.at(l, m, lp, mp).scale;
                        EXPECT_LE(std::abs(oracle::zd(q1) - oracle::zd(q2)), bound);
                        EXPECT_LE(std::abs(oracle::zd(p1) - oracle::zd(p2)), bound);
                    }
                }
}

TEST(Prop3, RadialTimesHarmonicTimesPhaseIsFormedInThatOrder) {
    // hy(l, m) = (Y(l, m) H_l) exp(i m phi), bit for bit, the phase factor rounded from
    // double precision (m phi up to 250 rad at m = 40).
    const int lmax = 6;
    const real phi = 2.6f;
    const auto y = oracle::ylm_column(-0.7);
    prop3_table t;
    run(t, lmax, 6, cplx(1.4f, 0.03f), 4.0f, y, phi);
    const cplx rho(1.4f * 4.0f, 0.03f * 4.0f);
    for (int l = 0; l <= 2 * lmax; ++l) {
        const cplx hl = radial_factor(rho, l);
        for (int m = -l; m <= l; ++m) {
            const int i = l * (l + 1) + m;
            const double a = m * static_cast<double>(phi);
            const cplx phase(static_cast<real>(std::cos(a)), static_cast<real>(std::sin(a)));
            const cplx want = cmul(y[static_cast<std::size_t>(i)] * hl, phase);
            EXPECT_EQ(t.hy[static_cast<std::size_t>(i)], want) << "l=" << l << " m=" << m;
        }
    }
}

TEST(Prop3, WritesExactlyTheLeadingCorner) {
    const int ldim = 13;
    prop3_table t;
    auto gg = testing::sentinel_block(ldim);
    const auto y = oracle::ylm_column(0.2);
    std::ostringstream out;
    prop3(t, out, ldim, 3, 1, cplx(1.0f, 0.1f), 3.0f, y.data(), 0.7f, gg.data());
    testing::expect_corner_only(gg, ldim, 10);
}

TEST(Prop3, CoefficientCountLineOnTheFirstCallOnly) {
    struct row {
        int lmax, mmax, count;
    };
    const auto y = oracle::ylm_column(0.6);
    for (const row& c : {row{8, 8, 8229}, row{12, 12, 46963}, row{15, 2, 11490}}) {
        prop3_table t;
        const auto first = run(t, c.lmax, c.mmax, cplx(1.0f, 0.0f), 10.0f, y, 1.0f);
        EXPECT_EQ(first.out, testing::count_line(c.count, c.lmax)) << "lmax=" << c.lmax;
        EXPECT_EQ(t.coe.size(), static_cast<std::size_t>(c.count));
        EXPECT_EQ(t.sq.size(), static_cast<std::size_t>((c.lmax + 1) * (c.lmax + 2) / 2));
        EXPECT_EQ(t.hy.size(), static_cast<std::size_t>((2 * c.lmax + 1) * (2 * c.lmax + 1)));
        EXPECT_EQ(run(t, c.lmax, c.mmax, cplx(1.2f, 0.0f), 9.0f, y, 2.0f).out, "") << c.lmax;
    }
}

TEST(Prop3, TooManyCoefficientsReportsNindAndStillComputes) {
    // lmax = mmax = 13 needs 66948 coefficients, above NIND = 50000.
    const oracle::bond b{-0.25, 4.0, oracle::zd(1.5, 0.02), 7.0};
    prop3_table t;
    const auto res = run(t, 13, 13, testing::k_of(b), static_cast<real>(b.r),
                         oracle::ylm_column(b.cost), static_cast<real>(b.phi));
    EXPECT_EQ(res.out, testing::count_line(66948, 13) + testing::nind_message(" \"PROP3\"", 66948));
    check_block(res.gg.data(), ld, 13, 13, oracle::block_reference(b, 13),
                testing::tolerance_ulps(13, std::abs(b.k * b.r)), "lmax 13");
}

TEST(Prop3, CutoffWarningOnEveryCallAboveFifteen) {
    const oracle::bond b{0.8, 5.5, oracle::zd(1.7, 0.03), 8.5};
    const auto y = oracle::ylm_column(b.cost);
    const real phi = static_cast<real>(b.phi);
    prop3_table t;
    const auto first = run(t, 16, 2, testing::k_of(b), static_cast<real>(b.r), y, phi);
    EXPECT_EQ(first.out, testing::cutoff_warning("PROP3", 16) + testing::count_line(13734, 16));
    const auto second = run(t, 16, 2, testing::k_of(b), static_cast<real>(b.r), y, phi);
    EXPECT_EQ(second.out, testing::cutoff_warning("PROP3", 16));
    EXPECT_EQ(run(t, 15, 2, testing::k_of(b), static_cast<real>(b.r), y, phi).out, "");
    check_block(second.gg.data(), ld, 16, 2, oracle::block_reference(b, 16),
                testing::tolerance_ulps(16, std::abs(b.k * b.r)), "lmax 16");
    // The other builders accept 16 without a warning (their limit is 18).
    std::vector<cplx> gg(static_cast<std::size_t>(ld * ld));
    std::ostringstream out;
    prop1_table t1;
    prop1(t1, out, ld, 16, 2, testing::k_of(b), static_cast<real>(b.r), gg.data());
    prop2_table t2;
    prop2(t2, out, ld, 16, 2, testing::k_of(b), static_cast<real>(b.r), y.data(), gg.data());
    EXPECT_EQ(out.str().find("WARNING"), std::string::npos);
}

TEST(Prop3, SmallerLaterCallsReadAPrefixOfTheTable) {
    const auto y = oracle::ylm_column(-0.1);
    prop3_table big, small;
    run(big, 9, 3, cplx(1.0f, 0.0f), 3.0f, y, 1.0f);
    const auto a = run(big, 6, 3, cplx(1.2f, 0.04f), 3.5f, y, 2.5f);
    const auto b = run(small, 6, 3, cplx(1.2f, 0.04f), 3.5f, y, 2.5f);
    EXPECT_EQ(a.gg, b.gg);
}

TEST(Prop3, MatchesTheClosedFormSumForRandomBonds) {
    // The general closed form with Y(l'', m'-m)(theta, 0) exp(i (m'-m) phi): P for the stored
    // (l m; l' m') and, through the relations, Q for the rest (the closed form holds for
    // every sign of m and m'); random polar angle and azimuth.
    prop3_table t;
    testing::random_bond_sweep(
        "prop3", 31337, false, true, [&](const oracle::bond& b, int lmax, int mmax, bool fresh) {
            if (fresh) t = prop3_table{};
            return run(t, lmax, mmax, testing::k_of(b), static_cast<real>(b.r),
                       oracle::ylm_column(b.cost), static_cast<real>(b.phi))
                .gg;
        });
}

}  // namespace
}  // namespace korva
