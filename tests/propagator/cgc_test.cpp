#include "propagator/cgc.hpp"

#include <gsl/gsl_sf_coupling.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <set>
#include <sstream>
#include <tuple>
#include <vector>

#include "propagator/oracle.hpp"

namespace korva {
namespace {

constexpr float few_ulps = 3e-7f;  // absolute, for single-precision results of size <= 1

double gsl_3j(int j1, int j2, int j3, int m1, int m2, int m3) {
    return gsl_sf_coupling_3j(2 * j1, 2 * j2, 2 * j3, 2 * m1, 2 * m2, 2 * m3);
}

TEST(Cgc, ReferenceValues) {
    // Closed forms: <1 1, 1 -1|0 0> = 1/sqrt(3), <1 0, 1 0|0 0> = -1/sqrt(3),
    // <1 1, 1 0|1 1> = 1/sqrt(2).
    EXPECT_NEAR(cgc(0, 0, 0, 0, 0), 1.0f, few_ulps);
    EXPECT_NEAR(cgc(1, 1, 0, 1, -1), 0.5773503f, few_ulps);
    EXPECT_NEAR(cgc(1, 1, 0, 0, 0), -0.5773503f, few_ulps);
    EXPECT_NEAR(cgc(1, 1, 2, 1, 1), 1.0f, few_ulps);
    EXPECT_NEAR(cgc(1, 1, 1, 1, 0), 0.7071068f, few_ulps);
}

TEST(C3j, ReferenceValues) {
    // (1 1 0; 0 0 0) = -1/sqrt(3), (1 1 2; 0 0 0) = sqrt(2/15), (2 2 2; 0 0 0) = -sqrt(2/35),
    // (1 1 1; 1 -1 0) = 1/sqrt(6); closed forms.
    EXPECT_NEAR(c3j(1, 1, 0, 0, 0, 0), -0.5773503f, few_ulps);
    EXPECT_NEAR(c3j(1, 1, 2, 0, 0, 0), 0.3651484f, few_ulps);
    EXPECT_NEAR(c3j(2, 2, 2, 0, 0, 0), -0.2390457f, few_ulps);
    EXPECT_NEAR(c3j(1, 1, 1, 1, -1, 0), 0.4082483f, few_ulps);
    // Odd j1 + j2 + j3 with zero projections: the alternating sum cancels exactly.
    EXPECT_EQ(c3j(1, 1, 1, 0, 0, 0), 0.0f);
}

TEST(C3j, SelectionRulesGiveExactZeros) {
    for (int j = 0; j <= 6; ++j) {
        EXPECT_EQ(c3j(j, j, j, j + 1, -j - 1, 0), 0.0f) << "j=" << j;              // |m1| > j1
        EXPECT_EQ(c3j(j, j, 2 * j + 1, 0, 0, 0), 0.0f) << "j=" << j;               // triangle
        EXPECT_EQ(c3j(j + 1, j, 0, 0, 0, 0), 0.0f) << "j=" << j;                   // triangle
        EXPECT_EQ(c3j(j + 1, j + 1, j, 1, 0, 0), 0.0f) << "j=" << j;               // sum of m
        EXPECT_EQ(cgc(j, j, j, 0, j + 1), 0.0f) << "j=" << j;                      // |m2| > j2
        EXPECT_EQ(cgc(j, j + 1, 2 * j + 2, j, j + 1), 0.0f) << "j=" << j;          // triangle
        EXPECT_EQ(cgc(j + 1, j, j, j + 1, -j - 1 + (j == 0)), 0.0f) << "j=" << j;  // |M| > j3
    }
}

TEST(C3j, SingleTermSymbolsStayExactThroughTheRescaling) {
    // (l l 0; m -m 0) = (-1)^(l-m) / sqrt(2l+1) and (j1 j2 j1+j2; j1 j2 -j1-j2) =
    // 1 / sqrt(2(j1+j2)+1), closed forms. Racah's sum has a single term here, so no
    // cancellation; for large l the factorial ratios pass 1e20 many times and exercise the
    // exponent counter (l! ^ 4 is about 1e191 at l = 40).
    for (int l = 0; l <= 60; l += 3)
        for (int m = -l; m <= l; m += std::max(1, l / 4)) {
            const double ref = ((l - m) % 2 == 0 ? 1.0 : -1.0) / std::sqrt(2.0 * l + 1.0);
            EXPECT_NEAR(c3j(l, l, 0, m, -m, 0), ref, few_ulps * std::fabs(ref) * 4)
                << "l=" << l << " m=" << m;
        }
    for (int j1 = 0; j1 <= 18; ++j1)
        for (int j2 = 0; j2 <= 18; ++j2) {
            const double ref = 1.0 / std::sqrt(2.0 * (j1 + j2) + 1.0);
            EXPECT_NEAR(c3j(j1, j2, j1 + j2, j1, j2, -j1 - j2), ref, few_ulps * ref * 4)
                << "j1=" << j1 << " j2=" << j2;
        }
}

TEST(C3j, AgreesWithGslForAllMomentaUpToTwelve) {
    // Every (j1 j2 j3; m1 m2 m3) with j <= 12. The result is single precision and |3j| <= 1,
    // so rounding alone allows 6e-8; the Racah sum loses a little more to cancellation
    // (measured 2.8e-8), hence 1e-7.
    double worst = 0.0;
    long count = 0;
    for (int j1 = 0; j1 <= 12; ++j1)
        for (int j2 = 0; j2 <= 12; ++j2)
            for (int j3 = 0; j3 <= 12; ++j3)
                for (int m1 = -j1; m1 <= j1; ++m1)
                    for (int m2 = -j2; m2 <= j2; ++m2) {
                        const int m3 = -m1 - m2;
                        const double ref = gsl_3j(j1, j2, j3, m1, m2, m3);
                        const double err = std::fabs(c3j(j1, j2, j3, m1, m2, m3) - ref);
                        worst = std::max(worst, err);
                        ++count;
                        if (err > 1e-7)
                            ADD_FAILURE() << "(" << j1 << " " << j2 << " " << j3 << "; " << m1
                                          << " " << m2 << " " << m3 << ") err " << err;
                    }
    std::cout << "[ measured ] c3j vs GSL, j <= 12 (" << count << " symbols): worst absolute "
              << worst << '\n';
}

TEST(C3j, OverTheBuildersArgumentsOnlyCancellationLimitsAccuracy) {
    // The builders ask for (l l' l''; m -m' m'-m), l' <= l <= 18, l'' of the parity of l + l'
    // up to 36. Racah's alternating sum is taken in double precision without compensation:
    // for l, l' above about 10 with l'' near l + l' its terms exceed the result by up to 20
    // orders of magnitude, and at (18 18 36) the symbol comes out in the hundreds. So the
    // check is twofold: single-precision accuracy (absolute 1e-6: |3j| <= 1 and rounding
    // to single precision alone gives 6e-8) while l, l' <= 10, and everywhere an error within
    // the rounding of the terms actually summed (256 double ulps of their total size, which
    // allows about one rounding per factor of the longest chain of products, plus three
    // single-precision roundings of the result), so that only
    // the documented cancellation, and no fault, separates the result from GSL.
    double worst_ratio = 0.0;
    std::vector<double> worst_at(19, 0.0);  // by l
    long count = 0;
    for (int l = 0; l <= 18; ++l)
        for (int lp = 0; lp <= l; ++lp)
            for (int m = 0; m <= l; ++m)
                for (int mp = -lp; mp <= lp; ++mp)
                    for (int l2 = l - lp; l2 <= l + lp; l2 += 2) {
                        const int d = mp - m;
                        if (std::abs(d) > l2) continue;
                        const double ref = gsl_3j(l, lp, l2, m, -mp, d);
                        const double got = c3j(l, lp, l2, m, -mp, d);
                        const double err = std::fabs(got - ref);
                        const double bound = oracle::c3j_error_bound(l, lp, l2, m, -mp, ref);
                        ++count;
                        worst_at[static_cast<std::size_t>(l)] =
                            std::max(worst_at[static_cast<std::size_t>(l)], err);
                        worst_ratio = std::max(worst_ratio, err / bound);
                        if (err > bound || (l <= 10 && err > 1e-6))
                            ADD_FAILURE()
                                << "(" << l << " " << lp << " " << l2 << "; " << m << " " << -mp
                                << " " << d << ") err " << err << " bound " << bound;
                    }
    std::cout << "[ measured ] c3j vs GSL over the builders' range (" << count
              << " symbols), worst absolute error with l' <= l <= L:";
    double run = 0.0;
    for (int l = 0; l <= 18; ++l) {
        run = std::max(run, worst_at[static_cast<std::size_t>(l)]);
        if (l >= 8) std::cout << " L=" << l << " " << run;
    }
    std::cout << "; worst error / rounding bound " << worst_ratio << '\n';
}

TEST(C3j0, TripleNumberIsABijectionInLexicographicOrder) {
    int rank = 0;
    for (int lmin = 0; lmin <= 40; ++lmin)
        for (int lmid = lmin; lmid <= 40; ++lmid)
            for (int lmax = lmid; lmax <= lmin + lmid; ++lmax) {
                if ((lmin + lmid + lmax) % 2 != 0) continue;
                ++rank;
                ASSERT_EQ(c3j0_triple(lmin, lmid, lmax), rank)
                    << lmin << " " << lmid << " " << lmax;
            }
    EXPECT_EQ(rank, NC3J0_);
    EXPECT_EQ(c3j0_triple(0, 0, 0), 1);
    EXPECT_EQ(c3j0_triple(0, 40, 40), 41);
    EXPECT_EQ(c3j0_triple(40, 40, 80), 6391);
}

TEST(C3j0, PermutationsShareOneSlotAndTheSecondCallIsCached) {
    c3j0_cache cache;
    std::ostringstream out;
    const double a = c3j0(cache, out, 2, 1, 1);
    EXPECT_EQ(cache.computed, 1);
    const double b = c3j0(cache, out, 1, 2, 1);
    const double c = c3j0(cache, out, 1, 1, 2);
    EXPECT_EQ(cache.computed, 1);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, c);
    // (1 1 2; 0 0 0) = sqrt(2/15), closed form.
    EXPECT_NEAR(a, std::sqrt(2.0 / 15.0), 1e-7);
    EXPECT_EQ(cache.flx[static_cast<std::size_t>(c3j0_triple(1, 1, 2) - 1)], 1);
    EXPECT_EQ(out.str(), "");
}

TEST(C3j0, EverySlotHoldsTheWidenedSymbol) {
    // Each admissible triple in any order is computed once and holds c3j widened to double,
    // which matches GSL while the momenta stay small (see the cancellation above).
    c3j0_cache cache;
    std::ostringstream out;
    for (int l1 = 0; l1 <= 40; ++l1)
        for (int l2 = 0; l2 <= 40; ++l2)
            for (int l3 = std::abs(l1 - l2); l3 <= std::min(l1 + l2, 40); l3 += 2) {
                const int lo = std::min({l1, l2, l3});
                const int hi = std::max({l1, l2, l3});
                const int mid = l1 + l2 + l3 - lo - hi;
                const double v = c3j0(cache, out, l1, l2, l3);
                EXPECT_EQ(v, static_cast<double>(c3j(lo, mid, hi, 0, 0, 0)))
                    << l1 << " " << l2 << " " << l3;
                if (hi <= 10) {
                    EXPECT_NEAR(v, gsl_3j(l1, l2, l3, 0, 0, 0), 1e-7);
                }
            }
    for (int lo = 0; lo <= 40; ++lo)
        for (int mid = lo; mid <= 40; ++mid)
            for (int hi = std::max(mid, 41); hi <= lo + mid; hi += 1)
                if ((lo + mid + hi) % 2 == 0) c3j0(cache, out, hi, lo, mid);
    EXPECT_EQ(cache.computed, NC3J0_);
    EXPECT_EQ(out.str(), "");
}

TEST(C3j0, WarningsAndSilentZeros) {
    c3j0_cache cache;
    std::ostringstream out;
    EXPECT_EQ(c3j0(cache, out, 41, 41, 2), 0.0);
    EXPECT_EQ(out.str(), std::string("  WARNING IN SUBROUTINE C3J0: L2= ") + std::string(9, ' ') +
                             "41     MAXIMUM L VALUE ALLOWED IS " + std::string(10, ' ') + "40\n");
    out.str("");
    EXPECT_EQ(c3j0(cache, out, -1, 2, 3), 0.0);
    EXPECT_EQ(out.str(),
              std::string("  WARNING IN SUBROUTINE C3J0 L VALUES SHOULD BE NON NEGATIVE ") +
                  std::string(10, ' ') + "-1" + std::string(11, ' ') + "2" + std::string(11, ' ') +
                  "3\n");
    out.str("");
    EXPECT_EQ(c3j0(cache, out, 1, 2, 4), 0.0);  // triangle violation
    EXPECT_EQ(c3j0(cache, out, 1, 1, 1), 0.0);  // odd sum
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(cache.computed, 0);
}

}  // namespace
}  // namespace korva
