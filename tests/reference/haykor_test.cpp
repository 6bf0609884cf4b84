#include "reference/haykor.hpp"

#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/textio.hpp"
#include "support/text_lines.hpp"

namespace korva::reference {
namespace {

constexpr double unit_roundoff = 5.9604644775390625e-8;  // 2^-24, single precision

using cdouble = std::complex<double>;
using test::lines_of;

// The 2 x 2 store with unit diagonal and both off-diagonal entries equal to x.
matrix_store two_by_two(cplx x) {
    matrix_store m(2);
    m.set_unit_diagonal();
    m.gt(1, 2) = x;
    m.gt(2, 1) = x;
    m.rebuild_row_lists(2);
    return m;
}

// Unit diagonal and random complex off-diagonal entries of modulus up to about w/sqrt(n), so
// that the off-diagonal part has a spectral radius near w. Pairs (i, j), |i - j| > 1, are both
// exactly zero with probability p_zero; with probability p_one_sided just one entry of such a
// pair is set to zero, which makes the pattern unsymmetric. The pairs (i, i + 1) always keep
// both entries: every channel stays reachable from every other, and no product of a left and a
// right vector vanishes by construction (were all pairs of a row one-sided, b2(1) would be
// exactly zero, a breakdown no two-sided recursion can avoid).
void fill_random(matrix_store& m, int n, float w, double p_zero, double p_one_sided,
                 std::mt19937& gen) {
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::bernoulli_distribution drop(p_zero), one_sided(p_one_sided), coin(0.5);
    const float scale = w / std::sqrt(static_cast<float>(n));
    m.set_unit_diagonal();
    for (int j = 1; j <= n; ++j) {
        for (int i = j + 1; i <= n; ++i) {
            if (i - j > 1 && drop(gen)) continue;
            m.gt(i, j) = cplx(scale * u(gen), scale * u(gen));
            m.gt(j, i) = cplx(scale * u(gen), scale * u(gen));
            if (i - j > 1 && one_sided(gen))
                (coin(gen) ? m.gt(i, j) : m.gt(j, i)) = cplx(0.0f, 0.0f);
        }
    }
    m.rebuild_row_lists(n);
}

// Diagonal of the inverse of the leading n x n corner, LU in double precision.
std::vector<cdouble> inverse_diagonal(const matrix_store& m, int n) {
    Eigen::MatrixXcd a(n, n);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) a(i, j) = cdouble(m.gt(i + 1, j + 1));
    const Eigen::MatrixXcd inv = a.inverse();
    std::vector<cdouble> d(n);
    for (int i = 0; i < n; ++i) d[i] = inv(i, i);
    return d;
}

// Smallest |b2(n)| = |b(n)|^2 of the B lines of a print.
double smallest_b2(const std::string& print) {
    double smallest = std::numeric_limits<double>::infinity();
    for (const auto& line : lines_of(print)) {
        if (line.compare(8, 3, " B(") != 0) continue;
        // " B(nnn) = " ends in column 18; then two fields of 14.
        const double re = std::stod(line.substr(18, 14)), im = std::stod(line.substr(32, 14));
        smallest = std::min(smallest, re * re + im * im);
    }
    return smallest;
}

TEST(Haykor, OneLevelIsTheReciprocalOfTheDiagonal) {
    matrix_store m = two_by_two(cplx(0.5f, 0.0f));
    m.gt(1, 1) = cplx(2.0f, 0.0f);
    std::ostringstream out;
    const haykor_result res = haykor(m, 2, 1, 2, 1, 1e-4f, 3, out);
    EXPECT_EQ(res.niter, 1);
    EXPECT_EQ(res.s, cplx(0.5f, 0.0f));
    EXPECT_EQ(res.err, 0.0f);
    EXPECT_EQ(
        out.str(),
        "         A(  1) =     2.00000000    0.00000000     S=    0.50000000    0.00000000\n");
}

TEST(Haykor, IsolatedChannelEndsAtTheFirstLevel) {
    matrix_store m(3);
    m.set_unit_diagonal();
    m.gt(1, 3) = cplx(0.3f, 0.1f);
    m.gt(3, 1) = cplx(-0.2f, 0.4f);
    m.gt(2, 2) = cplx(0.0f, 4.0f);
    m.rebuild_row_lists(3);
    std::ostringstream out;
    const haykor_result res = haykor(m, 3, 2, 2, 20, 1e-4f, 3, out);
    EXPECT_EQ(res.niter, 1);
    EXPECT_EQ(res.s, cplx(0.0f, -0.25f));  // 1/(4i)
    EXPECT_EQ(res.err, 0.0f);
    EXPECT_EQ(
        out.str(),
        "         A(  1) =     0.00000000    4.00000000     S=    0.00000000   -0.25000000\n");
}

// Both off-diagonals 0.5: the recursion closes after two levels with 1/(1 - 0.25).
TEST(Haykor, RealTwoByTwoClosesAfterTwoLevels) {
    const matrix_store m = two_by_two(cplx(0.5f, 0.0f));
    std::ostringstream out;
    const haykor_result res = haykor(m, 2, 1, 2, 20, 1e-4f, 3, out);
    EXPECT_EQ(res.niter, 2);
    EXPECT_EQ(res.s, cplx(4.0f / 3.0f, 0.0f));
    EXPECT_EQ(res.err, 0.0f);  // the next product vanishes exactly
    EXPECT_EQ(
        out.str(),
        "         A(  1) =     1.00000000    0.00000000     S=    1.00000000    0.00000000\n"
        "         B(  1) =     0.50000000    0.00000000\n"
        "         A(  2) =     1.00000000    0.00000000     S=    1.33333337    0.00000000\n");

    // Stopped by the level cap instead, the first change is returned: |1 - 4/3|.
    const haykor_result capped = haykor(m, 2, 1, 2, 2, 1e-4f, 0, out);
    EXPECT_EQ(capped.niter, 2);
    EXPECT_EQ(capped.err, 0.33333337f);
}

// Both off-diagonals 0.5i: b2(1) = -0.25, b(1) = 0.5i and the exact (1, 1) element of the
// inverse, 1/(1 + 0.25) = 0.8. A conjugating product would give 4/3.
TEST(Haykor, ProductsAreBilinear) {
    const matrix_store m = two_by_two(cplx(0.0f, 0.5f));
    std::ostringstream out;
    const haykor_result res = haykor(m, 2, 1, 2, 20, 1e-4f, 3, out);
    EXPECT_EQ(res.niter, 2);
    EXPECT_EQ(res.s.real(), 0.8f);
    EXPECT_EQ(res.s.imag(), 0.0f);
    EXPECT_EQ(res.err, 0.0f);
    EXPECT_EQ(
        out.str(),
        "         A(  1) =     1.00000000    0.00000000     S=    1.00000000    0.00000000\n"
        "         B(  1) =     0.00000000    0.50000000\n"
        "         A(  2) =     1.00000000    0.00000000     S=    0.80000001    0.00000000\n");
}

// [[2, 1], [1, 3]]: the solver takes the diagonal as stored; inverse diagonal 3/5 and 2/5.
TEST(Haykor, UsesTheStoredDiagonal) {
    matrix_store m = two_by_two(cplx(1.0f, 0.0f));
    m.gt(1, 1) = cplx(2.0f, 0.0f);
    m.gt(2, 2) = cplx(3.0f, 0.0f);
    std::ostringstream out;
    const float few_ulps = 4 * static_cast<float>(unit_roundoff);
    for (int r = 1; r <= 2; ++r) {
        const float want = r == 1 ? 0.6f : 0.4f;
        const haykor_result res = haykor(m, 2, r, 2, 20, 0.0f, 0, out);
        EXPECT_EQ(res.niter, 2) << "r=" << r;
        EXPECT_NEAR(res.s.real(), want, few_ulps * want) << "r=" << r;
        EXPECT_EQ(res.s.imag(), 0.0f) << "r=" << r;
    }
    EXPECT_EQ(out.str(), "");  // nothing below print level 3
}

TEST(Haykor, ZeroDiagonalFollowsIeeeAndPrintsAsterisks) {
    matrix_store m = two_by_two(cplx(0.5f, 0.0f));
    m.gt(1, 1) = cplx(0.0f, 0.0f);
    std::ostringstream out;
    const haykor_result res = haykor(m, 2, 1, 2, 1, 1e-4f, 3, out);
    EXPECT_FALSE(std::isfinite(res.s.real()) && std::isfinite(res.s.imag()));
    EXPECT_EQ(out.str(), "         A(  1) =     0.00000000    0.00000000     S=" +
                             std::string(28, '*') + "\n");
}

// A 12 x 12 store whose recursion does not break down within 12 levels.
class HaykorLevels : public ::testing::Test {
  protected:
    void SetUp() override {
        std::mt19937 gen(7);
        fill_random(m, n, 0.5f, 0.3, 0.0, gen);
    }
    static constexpr int n = 12;
    matrix_store m{n};
    std::ostringstream out;
};

TEST_F(HaykorLevels, ToleranceAndLevelCapsDecideTheLevelCount) {
    const real huge = 1e30f;
    EXPECT_EQ(haykor(m, n, 3, 2, 20, huge, 0, out).niter, 2);
    EXPECT_EQ(haykor(m, n, 3, 5, 20, huge, 0, out).niter, 5);
    EXPECT_EQ(haykor(m, n, 3, 5, 3, huge, 0, out).niter, 3);
    for (int maxlev = 2; maxlev <= n; ++maxlev)
        EXPECT_EQ(haykor(m, n, 3, 2, maxlev, 0.0f, 0, out).niter, maxlev) << "maxlev=" << maxlev;
}

// err is the change of the last level, and the tolerance test is strict.
TEST_F(HaykorLevels, ErrorIsTheLastChangeAndTheTestIsStrict) {
    std::vector<cplx> s(n + 1);
    for (int maxlev = 1; maxlev <= n; ++maxlev) {
        const haykor_result res = haykor(m, n, 5, 2, maxlev, 0.0f, 0, out);
        s[maxlev] = res.s;
        if (maxlev >= 2) {
            EXPECT_EQ(res.err, std::abs(s[maxlev - 1] - s[maxlev])) << maxlev;
        }
    }
    const real err2 = std::abs(s[1] - s[2]);
    EXPECT_GT(haykor(m, n, 5, 2, 20, err2, 0, out).niter, 2);
    const real above = std::nextafter(err2, 1.0f);
    EXPECT_EQ(haykor(m, n, 5, 2, 20, above, 0, out).niter, 2);
}

// The printed S of each A line is the fraction cut at that level: the value a call capped
// there returns. Lines come as A(1), B(1), A(2), ..., B(n-1), A(n).
TEST_F(HaykorLevels, PrintShowsEveryLevelInOrder) {
    constexpr int levels = 6;
    const haykor_result res = haykor(m, n, 4, 2, levels, 0.0f, 3, out);
    ASSERT_EQ(res.niter, levels);
    const auto lines = lines_of(out.str());
    ASSERT_EQ(lines.size(), 2u * levels - 1);
    std::ostringstream none;
    for (int lev = 1; lev <= levels; ++lev) {
        const std::string& a = lines[2 * (lev - 1)];
        EXPECT_EQ(a.substr(0, 18), "         A(" + field_i(lev, 3) + ") = ") << lev;
        const cplx s = haykor(m, n, 4, 2, lev, 0.0f, 0, none).s;
        EXPECT_EQ(a.substr(53), field_f(s.real(), 14, 8) + field_f(s.imag(), 14, 8)) << lev;
        if (lev < levels) {
            EXPECT_EQ(lines[2 * lev - 1].substr(0, 18), "         B(" + field_i(lev, 3) + ") = ")
                << lev;
        }
    }
    EXPECT_EQ(none.str(), "");
}

// Channels and entries outside the n x n corner take no part.
TEST_F(HaykorLevels, OnlyTheLeadingCornerCounts) {
    matrix_store big(n + 5);
    std::mt19937 gen(99);
    fill_random(big, n + 5, 3.0f, 0.0, 0.0, gen);
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) big.gt(i, j) = m.gt(i, j);
    big.rebuild_row_lists(n);
    for (int r = 1; r <= n; ++r) {
        const haykor_result want = haykor(m, n, r, 2, n, 0.0f, 0, out);
        const haykor_result got = haykor(big, n, r, 2, n, 0.0f, 0, out);
        EXPECT_EQ(got.s, want.s) << "r=" << r;
        EXPECT_EQ(got.niter, want.niter) << "r=" << r;
        EXPECT_EQ(got.err, want.err) << "r=" << r;
    }
}

// After n levels the recursion has spanned the whole space, so the fraction is the exact
// diagonal element of the inverse, up to rounding. Two tolerances:
// - each case: n u / min(1, min |b2|). Every level rounds sums of up to n terms (about n u),
//   and the two-sided recursion, which is not re-biorthogonalised, amplifies that by 1/|b2| at
//   its nearest approach to a breakdown. Over these seeds the observed error stays below 0.07
//   of the bound (below 0.1 over 5000 trial cases), so the bound keeps a factor of ten or more;
// - all cases together: the median error below 4 u (observed about u / 2), which a fault that
//   drops or conjugates an entry (moving the value by about |gt(i, j) gt(j, i)|, 1e-2 here)
//   cannot meet.
// The smallest |b2| is read from the B lines (printed to 8 decimals).
void check_against_inverse(double p_one_sided, std::uint32_t seed0) {
    std::vector<double> errors;
    for (int n : {1, 2, 3, 5, 8, 13, 20}) {
        for (std::uint32_t seed = seed0; seed < seed0 + 8; ++seed) {
            matrix_store m(n);
            std::mt19937 gen(seed);
            fill_random(m, n, 0.5f, 0.3, p_one_sided, gen);
            const auto want = inverse_diagonal(m, n);
            for (int r = 1; r <= n; ++r) {
                std::ostringstream out;
                const haykor_result res = haykor(m, n, r, 2, n, 0.0f, 3, out);
                EXPECT_EQ(res.niter, n) << "n=" << n << " seed=" << seed << " r=" << r;
                const double b2 = std::min(1.0, smallest_b2(out.str()));
                const double rel = std::abs(cdouble(res.s) - want[r - 1]) / std::abs(want[r - 1]);
                EXPECT_LE(rel, n * unit_roundoff / b2)
                    << "n=" << n << " seed=" << seed << " r=" << r;
                errors.push_back(rel);
            }
        }
    }
    std::nth_element(errors.begin(), errors.begin() + errors.size() / 2, errors.end());
    EXPECT_LT(errors[errors.size() / 2], 4 * unit_roundoff);
}

TEST(Haykor, SymmetricPatternGivesTheInverseDiagonal) {
    check_against_inverse(0.0, 1);
}

// gt(a, b) = 0 while gt(b, a) != 0 for about a third of the pairs: the union row lists still
// carry every entry through both products.
TEST(Haykor, UnsymmetricPatternGivesTheInverseDiagonal) {
    check_against_inverse(0.35, 101);
}

// Order 200, off-diagonal part of spectral radius about one half: the fraction approaches the
// element of the inverse as levels are added (from 5e-3 relative at level 1 to 3e-5 at
// level 4) until single-precision rounding is reached (observed 3e-8 relative, about u / 2; the
// floor allowed is 16 u). Level by level the error need not fall (for r = 77 it rises from level 2
// to 3), so the check is at doublings.
TEST(Haykor, LargeStoreConvergesWithTheLevels) {
    constexpr int n = 200;
    const double floor = 16 * unit_roundoff;
    matrix_store m(n);
    std::mt19937 gen(2024);
    fill_random(m, n, 0.5f, 0.3, 0.0, gen);
    const auto want = inverse_diagonal(m, n);
    std::ostringstream out;
    for (int r : {1, 77, 200}) {
        double previous = 1.0;
        for (int maxlev : {1, 2, 4, 8, 16, 20}) {
            const haykor_result res = haykor(m, n, r, 2, maxlev, 0.0f, 0, out);
            ASSERT_EQ(res.niter, maxlev);
            const double rel = std::abs(cdouble(res.s) - want[r - 1]) / std::abs(want[r - 1]);
            if (maxlev == 1) {
                EXPECT_GT(rel, 1e-3) << "r=" << r;  // there is something to converge
            } else if (previous > floor) {
                EXPECT_LT(rel, previous) << "r=" << r << " maxlev=" << maxlev;
            } else {
                EXPECT_LT(rel, floor) << "r=" << r << " maxlev=" << maxlev;
            }
            previous = rel;
        }
        EXPECT_LT(previous, floor) << "r=" << r;
    }
}

}  // namespace
}  // namespace korva::reference
