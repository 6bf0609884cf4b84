#include "propagator/prop1.hpp"

#include <gtest/gtest.h>

#include <iostream>
#include <random>
#include <sstream>
#include <vector>

#include "common/channels.hpp"
#include "propagator/block_check.hpp"

namespace korva {
namespace {

using testing::check_block;

constexpr int ld = 441;
constexpr float ref_digits = 2e-7f;  // reference values below are given to 7 decimals

struct call_result {
    std::vector<cplx> gg;
    std::string out;
};

call_result run(prop1_table& t, int lmax, int mmax, cplx k, real r, int ldim = ld) {
    call_result res{std::vector<cplx>(static_cast<std::size_t>(ldim * ldim)), ""};
    std::ostringstream out;
    prop1(t, out, ldim, lmax, mmax, k, r, res.gg.data());
    res.out = out.str();
    return res;
}

cplx at(const std::vector<cplx>& gg, int a, int b, int ldim = ld) {
    return gg[static_cast<std::size_t>(a - 1 + (b - 1) * ldim)];
}

TEST(Prop1, OrderZeroIsMinusExpIkrOverKr) {
    // -exp(2i)/2 = 0.2080734 - 0.4546487 i at k = 1, r = 2.
    prop1_table t;
    const auto res = run(t, 0, 0, cplx(1.0f, 0.0f), 2.0f);
    EXPECT_NEAR(at(res.gg, 1, 1).real(), 0.2080734f, ref_digits);
    EXPECT_NEAR(at(res.gg, 1, 1).imag(), -0.4546487f, ref_digits);
}

TEST(Prop1, OrderOneWithoutProjections) {
    // -sqrt(3) H_1(2) = 0.7541311 - 0.6072778 i at k = 1, r = 2.
    prop1_table t;
    const auto res = run(t, 1, 0, cplx(1.0f, 0.0f), 2.0f);
    for (auto v : {at(res.gg, 2, 1), at(res.gg, 1, 2)}) {
        EXPECT_NEAR(v.real(), 0.7541311f, ref_digits);
        EXPECT_NEAR(v.imag(), -0.6072778f, ref_digits);
    }
}

TEST(Prop1, OrderOneWithProjections) {
    // Channels (0,0) (1,-1) (1,0) (1,1). gg(3,3) = -(H_0 + 2 H_2) = 1.6760563 - 0.0577528 i,
    // gg(2,2) = gg(4,4) = H_2 - H_0 = -0.5259180 - 0.6530967 i; unequal m exactly 0.
    prop1_table t;
    const auto res = run(t, 1, 1, cplx(1.0f, 0.0f), 2.0f);
    EXPECT_NEAR(at(res.gg, 3, 3).real(), 1.6760563f, ref_digits);
    EXPECT_NEAR(at(res.gg, 3, 3).imag(), -0.0577528f, ref_digits);
    for (int a : {2, 4}) {
        EXPECT_NEAR(at(res.gg, a, a).real(), -0.5259180f, ref_digits) << "a=" << a;
        EXPECT_NEAR(at(res.gg, a, a).imag(), -0.6530967f, ref_digits) << "a=" << a;
    }
    for (auto [a, b] : {std::pair{2, 4}, {4, 2}, {1, 2}, {3, 4}, {1, 4}, {2, 3}})
        EXPECT_EQ(at(res.gg, a, b), cplx(0.0f, 0.0f)) << a << "," << b;
}

TEST(Prop1, UnequalProjectionsAreExactZerosAndTheBlockIsSymmetric) {
    const int lmax = 8, mmax = 8;
    prop1_table t;
    const auto res = run(t, lmax, mmax, cplx(1.3f, 0.05f), 4.5f);
    const auto ch = layout_channels(lmax, mmax);
    const int n = static_cast<int>(ch.size());
    for (int a = 1; a <= n; ++a)
        for (int b = 1; b <= n; ++b) {
            const auto [l, m] = ch[a - 1];
            const auto [lp, mp] = ch[b - 1];
            if (m != mp) {
                EXPECT_EQ(at(res.gg, a, b), cplx(0.0f, 0.0f)) << a << "," << b;
            } else {
                EXPECT_EQ(at(res.gg, a, b), at(res.gg, b, a)) << a << "," << b;
                // (l -m; l' -m) holds the same value as (l m; l' m).
                EXPECT_EQ(at(res.gg, a, b),
                          at(res.gg, layout_index(l, -m, mmax), layout_index(lp, -mp, mmax)))
                    << a << "," << b;
            }
        }
}

TEST(Prop1, WritesExactlyTheLeadingCorner) {
    // lmax = 3, mmax = 1: 10 channels, (2,-1) is number 5 and (3,1) number 10.
    const int ldim = 13;
    prop1_table t;
    auto gg = testing::sentinel_block(ldim);
    std::ostringstream out;
    prop1(t, out, ldim, 3, 1, cplx(1.0f, 0.1f), 3.0f, gg.data());
    testing::expect_corner_only(gg, ldim, 10);
    EXPECT_EQ(layout_index(2, -1, 1), 5);
    EXPECT_EQ(layout_index(3, 1, 1), 10);
}

TEST(Prop1, CoefficientCountLineOnTheFirstCallOnly) {
    // Counts: sum over l' <= l <= lmax of (min(l', mmax) + 1)(l' + 1).
    struct row {
        int lmax, mmax, count;
    };
    for (const row& c : {row{8, 8, 825}, row{15, 15, 6936}, row{18, 2, 3916}, row{1, 1, 6}}) {
        prop1_table t;
        const auto first = run(t, c.lmax, c.mmax, cplx(1.0f, 0.0f), 10.0f);
        EXPECT_EQ(first.out, testing::count_line(c.count, c.lmax)) << "lmax=" << c.lmax;
        EXPECT_EQ(first.out.size(), 69u);  // 68 columns and the end of line
        EXPECT_EQ(t.coe.size(), static_cast<std::size_t>(c.count));
        EXPECT_EQ(t.h.size(), static_cast<std::size_t>(2 * c.lmax + 1));
        EXPECT_EQ(run(t, c.lmax, c.mmax, cplx(1.1f, 0.0f), 9.0f).out, "") << "lmax=" << c.lmax;
    }
}

TEST(Prop1, TooManyCoefficientsReportsNindAndStillComputes) {
    // lmax = mmax = 18 needs 13300 coefficients, above NIND = 10000.
    prop1_table t;
    const oracle::bond b{1.0, 0.0, oracle::zd(1.5, 0.02), 9.0};
    const auto res = run(t, 18, 18, testing::k_of(b), static_cast<real>(b.r));
    EXPECT_EQ(res.out,
              testing::count_line(13300, 18) + testing::nind_message("  \"PROP1\"", 13300));
    const oracle::block_reference ref(b, 18);
    const double tol = testing::tolerance_ulps(18, std::abs(b.k * b.r));
    check_block(res.gg.data(), ld, 18, 18, ref, tol, "lmax 18");
}

TEST(Prop1, CutoffWarningOnEveryCallAboveEighteen) {
    prop1_table t;
    const oracle::bond b{1.0, 0.0, oracle::zd(1.7, 0.03), 9.5};
    const auto first = run(t, 19, 2, testing::k_of(b), static_cast<real>(b.r));
    EXPECT_EQ(first.out, testing::cutoff_warning("PROP1", 19) + testing::count_line(4542, 19));
    const auto second = run(t, 19, 2, testing::k_of(b), static_cast<real>(b.r));
    EXPECT_EQ(second.out, testing::cutoff_warning("PROP1", 19));
    EXPECT_EQ(run(t, 18, 2, testing::k_of(b), static_cast<real>(b.r)).out, "");
    // Past the warning the block is still the closed form.
    const oracle::block_reference ref(b, 19);
    check_block(second.gg.data(), ld, 19, 2, ref, testing::tolerance_ulps(19, std::abs(b.k * b.r)),
                "lmax 19");
}

TEST(Prop1, SmallerLaterCallsReadAPrefixOfTheTable) {
    // A table built for lmax 8 serves lmax 5 exactly as a table built for lmax 5.
    prop1_table big, small;
    run(big, 8, 3, cplx(1.0f, 0.0f), 3.0f);
    const auto a = run(big, 5, 3, cplx(1.2f, 0.04f), 3.5f);
    const auto b = run(small, 5, 3, cplx(1.2f, 0.04f), 3.5f);
    EXPECT_EQ(a.gg, b.gg);
}

TEST(Prop1, LargerLaterCallIsRebuiltNotReadPastTheTable) {
    // Outside the calling contract: the table is rebuilt silently and the block is right.
    prop1_table t;
    run(t, 2, 2, cplx(1.0f, 0.0f), 3.0f);
    const oracle::bond b{1.0, 0.0, oracle::zd(1.2, 0.04), 4.0};
    const auto res = run(t, 6, 2, testing::k_of(b), static_cast<real>(b.r));
    EXPECT_EQ(res.out, "");
    const oracle::block_reference ref(b, 6);
    check_block(res.gg.data(), ld, 6, 2, ref, testing::tolerance_ulps(6, std::abs(b.k * b.r)),
                "rebuilt");
}

TEST(Prop1, MatchesTheClosedFormSumForRandomBonds) {
    // -sqrt((2l+1)(2l'+1)) sum (-1)^m (2l''+1) (l l' l''; 0 0 0) (l l' l''; m -m 0) H_l''(kr)
    // for equal m, 0 otherwise, on bonds along z.
    prop1_table t;
    testing::random_bond_sweep(
        "prop1", 20240611, true, false, [&](const oracle::bond& b, int lmax, int mmax, bool fresh) {
            if (fresh) t = prop1_table{};
            return run(t, lmax, mmax, testing::k_of(b), static_cast<real>(b.r)).gg;
        });
}

}  // namespace
}  // namespace korva
