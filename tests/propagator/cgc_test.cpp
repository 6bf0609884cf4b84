#include "propagator/cgc.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>
#include <random>
#include <set>
#include <sstream>
#include <tuple>
#include <vector>

#include "propagator/oracle.hpp"

namespace korva {
namespace {

constexpr float few_ulps = 3e-7f;  // absolute, for single-precision results of size <= 1

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

// The error of a single-precision result against the exact value x, in units in the last
// place of single precision at |x|; a zero symbol must come out exactly 0.
double error_ulps(real got, double x) {
    if (x == 0.0) return got == 0.0f ? 0.0 : std::numeric_limits<double>::infinity();
    int e = 0;
    std::frexp(x, &e);
    return std::fabs(static_cast<double>(got) - x) / std::ldexp(1.0, e - 24);
}

// Both functions are the exact value rounded once to single precision: half an ulp, plus the
// double-precision error before that rounding (about 300 roundings of the factorial ratios,
// under 1e-13 relative, that is 2e-6 ulps).
constexpr double half_ulp_and_a_bit = 0.5 + 1e-5;

struct ulp_record {
    double c3j = 0.0, cgc = 0.0;
    long count = 0;
};

// c3j and cgc of (j1 j2 j3; m1 m2 -m1-m2) against the exact symbol.
void check_symbol(ulp_record& rec, int j1, int j2, int j3, int m1, int m2) {
    const int m3 = -m1 - m2;
    const double x = oracle::w3j(j1, j2, j3, m1, m2, m3);
    // <j1 m1, j2 m2 | j3 M> = (-1)^(j1-j2+M) sqrt(2 j3 + 1) (j1 j2 j3; m1 m2 -M).
    const double cg = ((j1 - j2 - m3) % 2 == 0 ? 1.0 : -1.0) * std::sqrt(2.0 * j3 + 1.0) * x;
    const double e3 = error_ulps(c3j(j1, j2, j3, m1, m2, m3), x);
    const double ec = error_ulps(cgc(j1, j2, j3, m1, m2), cg);
    ++rec.count;
    rec.c3j = std::max(rec.c3j, e3);
    rec.cgc = std::max(rec.cgc, ec);
    if (e3 > half_ulp_and_a_bit || ec > half_ulp_and_a_bit)
        ADD_FAILURE() << "(" << j1 << " " << j2 << " " << j3 << "; " << m1 << " " << m2 << " " << m3
                      << "): c3j off by " << e3 << " ulps, cgc by " << ec;
}

TEST(C3j, ExactToTheLastBitForAllMomentaUpToTwelve) {
    // Every (j1 j2 j3; m1 m2 m3) with j <= 12, selection-rule zeros included.
    ulp_record rec;
    for (int j1 = 0; j1 <= 12; ++j1)
        for (int j2 = 0; j2 <= 12; ++j2)
            for (int j3 = 0; j3 <= 12; ++j3)
                for (int m1 = -j1; m1 <= j1; ++m1)
                    for (int m2 = -j2; m2 <= j2; ++m2) check_symbol(rec, j1, j2, j3, m1, m2);
    std::cout << "[ measured ] c3j and cgc vs exact, j <= 12 (" << rec.count
              << " symbols): worst error " << rec.c3j << " and " << rec.cgc << " float ulps\n";
}

TEST(C3j, ExactOverEveryMomentumTheProgramPasses) {
    // The builders pass j1, j2 <= 20 and j3 <= 40 (sampled at random, every projection
    // allowed); c3j0 passes every zero-projection triple up to (40 40 80) (all of them). The
    // alternating sum cancels by up to 20 orders of magnitude here.
    ulp_record rec;
    std::mt19937 gen(4711);
    auto pick = [&gen](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); };
    for (int i = 0; i < 20000; ++i) {
        const int j1 = pick(0, 20), j2 = pick(0, 20);
        const int j3 = pick(std::abs(j1 - j2), std::min(j1 + j2, 40));
        const int m1 = pick(-j1, j1);
        const int m2 = pick(std::max(-j2, -j3 - m1), std::min(j2, j3 - m1));
        check_symbol(rec, j1, j2, j3, m1, m2);
    }
    for (int lo = 0; lo <= 40; ++lo)
        for (int mid = lo; mid <= 40; ++mid)
            for (int hi = mid; hi <= lo + mid; ++hi) check_symbol(rec, lo, mid, hi, 0, 0);
    // Beyond the program's range the exact sum needs more than its fixed 48 limbs.
    for (int j = 80; j <= 100; j += 10) {
        check_symbol(rec, j, j, j, 0, 0);
        check_symbol(rec, j, j, j, 3, -7);
    }
    std::cout << "[ measured ] c3j and cgc vs exact, j1, j2 <= 20, j3 <= 40 and zero "
                 "projections to (40 40 80) ("
              << rec.count << " symbols): worst error " << rec.c3j << " and " << rec.cgc
              << " float ulps\n";
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
    // the exact symbol to single precision.
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
                EXPECT_NEAR(v, oracle::w3j(l1, l2, l3, 0, 0, 0), 6e-8 * std::fabs(v));
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
