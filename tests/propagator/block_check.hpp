// Element-by-element comparison of a builder's block with the closed-form reference.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "common/capacities.hpp"
#include "common/channels.hpp"
#include "common/types.hpp"
#include "propagator/oracle.hpp"
#include "propagator/prop_common.hpp"

namespace korva::testing {

constexpr double ulp = 5.96e-8;  // unit roundoff of single precision

// Tolerance, in units of ulp times the size of the element's terms (the sum of the magnitudes
// of every product behind it, the terms of S_l'' included). Rounding k r to single precision
// moves exp(i k r) by |rho| ulps; the coefficient, the harmonic, the phase and the sums
// add a few roundings each, and a few more per order in hank's recurrence. Measured worst:
// 15 ulps of the size at |rho| about 30, 5 at lmax 18.
inline double tolerance_ulps(int lmax, double rho) {
    return 8.0 + 2.0 * lmax + rho;
}

struct deviation {
    double vs_bound = 0.0;  // worst |error| / tolerance
    double vs_max = 0.0;    // worst |error| / largest |element| of the block
};

// Compares the n x n corner of gg with the reference: |error| <= tol_ulps ulp scale +
// sym_err, ADD_FAILUREing the first few elements beyond. With `skip_mixed_diagonal`, the
// elements (l m; l m'), m != m', are measured but not asserted: two stores of one call hit
// them, from sums over different (but equal) 3j symbols, so the program's symbols do not
// single out one reference there.
inline deviation check_block(const cplx* gg, int ld, int lmax, int mmax,
                             const oracle::block_reference& ref, double tol_ulps,
                             const std::string& what, bool skip_mixed_diagonal = false) {
    const auto ch = layout_channels(lmax, mmax);
    const int n = static_cast<int>(ch.size());
    std::vector<oracle::element> want(static_cast<std::size_t>(n * n));
    double big = 0.0;
    for (int b = 0; b < n; ++b)
        for (int a = 0; a < n; ++a) {
            auto& w = want[static_cast<std::size_t>(a + b * n)];
            w = ref.at(ch[a].first, ch[a].second, ch[b].first, ch[b].second);
            big = std::max(big, std::abs(w.value));
        }
    deviation dev;
    int reported = 0;
    for (int b = 0; b < n; ++b)
        for (int a = 0; a < n; ++a) {
            const auto& w = want[static_cast<std::size_t>(a + b * n)];
            const oracle::zd got(gg[a + static_cast<std::size_t>(b) * ld]);
            const double err = std::abs(got - w.value);
            const double bound = tol_ulps * ulp * w.scale + w.sym_err;
            const bool mixed = ch[a].first == ch[b].first && ch[a].second != ch[b].second;
            const bool assert_bound = !(skip_mixed_diagonal && mixed);
            dev.vs_max = std::max(dev.vs_max, big > 0 ? err / big : err);
            if (bound > 0 && assert_bound) dev.vs_bound = std::max(dev.vs_bound, err / bound);
            if (assert_bound && !(err <= bound) && reported < 5) {
                ++reported;
                ADD_FAILURE() << what << ": element (" << a + 1 << ", " << b + 1 << ") = (l "
                              << ch[a].first << " m " << ch[a].second << "; l' " << ch[b].first
                              << " m' " << ch[b].second << "): got " << got << " want " << w.value
                              << " err " << err << " bound " << bound;
            }
        }
    return dev;
}

// A random bond for a builder of cut-off lmax: wave number with small damping, length between
// 2 and 10 Bohr, redrawn while H_(2 lmax)(kr) would leave single precision's range.
inline oracle::bond random_bond(std::mt19937& gen, int lmax, bool axial, bool azimuth) {
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (;;) {
        oracle::bond b;
        b.cost = axial ? 1.0 : static_cast<double>(static_cast<real>(2.0 * u(gen) - 1.0));
        b.phi = azimuth ? static_cast<double>(static_cast<real>(0.01 + 6.27 * u(gen))) : 0.0;
        b.k = oracle::zd(static_cast<real>(0.5 + 2.5 * u(gen)), static_cast<real>(0.1 * u(gen)));
        b.r = static_cast<real>(2.0 + 8.0 * u(gen));
        const auto hs = oracle::radial_scale(b.k * b.r, 2 * lmax);
        if (hs.back() < 1e28) return b;
    }
}

inline cplx k_of(const oracle::bond& b) {
    return cplx(static_cast<real>(b.k.real()), static_cast<real>(b.k.imag()));
}

// The key check of a builder: for each cut-off (lmax, mmax), three random bonds, every
// element of the block against the closed form twice: with GSL's exact 3j symbols (the
// bound adding the known inaccuracy of the program's symbols, which grows fast beyond
// l = 10) and with the program's own symbols (rounding alone). `call(b, lmax, mmax, fresh)`
// runs the builder on a table made fresh when asked and returns the block (leading
// dimension LDGG_). Prints the measured deviations.
inline void random_bond_sweep(
    const char* name, unsigned seed, bool axial, bool azimuth,
    const std::function<std::vector<cplx>(const oracle::bond&, int, int, bool)>& call) {
    std::mt19937 gen(seed);
    struct cut {
        int lmax, mmax;
    };
    double worst_upto10 = 0.0;
    for (const cut c :
         {cut{0, 0}, cut{1, 1}, cut{3, 1}, cut{6, 6}, cut{8, 8}, cut{10, 10}, cut{10, 3},
          cut{12, 4}, cut{15, axial ? 15 : 5}, cut{18, axial ? 18 : 3}, cut{20, 2}}) {
        deviation own_worst, gsl_worst;
        for (int trial = 0; trial < 3; ++trial) {
            const oracle::bond b = random_bond(gen, c.lmax, axial, azimuth);
            const auto gg = call(b, c.lmax, c.mmax, trial == 0);
            const double tol = tolerance_ulps(c.lmax, std::abs(b.k * b.r));
            const std::string what = std::string(name) + " lmax " + std::to_string(c.lmax) +
                                     " trial " + std::to_string(trial);
            const auto own = check_block(gg.data(), LDGG_, c.lmax, c.mmax,
                                         oracle::block_reference(b, c.lmax, oracle::symbols::korva),
                                         tol, what + " own 3j", !axial);
            const auto gsl = check_block(gg.data(), LDGG_, c.lmax, c.mmax,
                                         oracle::block_reference(b, c.lmax), tol, what + " GSL");
            own_worst.vs_bound = std::max(own_worst.vs_bound, own.vs_bound);
            gsl_worst.vs_bound = std::max(gsl_worst.vs_bound, gsl.vs_bound);
            gsl_worst.vs_max = std::max(gsl_worst.vs_max, gsl.vs_max);
        }
        if (c.lmax <= 10) worst_upto10 = std::max(worst_upto10, gsl_worst.vs_max);
        std::cout << "[ measured ] " << name << " lmax " << c.lmax << " mmax " << c.mmax
                  << ": worst |error| / block max vs GSL closed form " << gsl_worst.vs_max
                  << "; error / bound: GSL " << gsl_worst.vs_bound << ", own 3j "
                  << own_worst.vs_bound << '\n';
    }
    std::cout << "[ measured ] " << name
              << " worst relative deviation from the exact closed form, lmax <= 10: "
              << worst_upto10 << '\n';
}

// Fills the whole ld x ld store with a sentinel so that unwritten elements show.
inline std::vector<cplx> sentinel_block(int ld) {
    return std::vector<cplx>(static_cast<std::size_t>(ld * ld), cplx(1234.5f, -987.25f));
}

// Every element of the n x n corner written, every other element untouched.
inline void expect_corner_only(const std::vector<cplx>& gg, int ld, int n) {
    for (int b = 1; b <= ld; ++b)
        for (int a = 1; a <= ld; ++a) {
            const bool inside = a <= n && b <= n;
            const cplx v = gg[static_cast<std::size_t>(a - 1 + (b - 1) * ld)];
            if (inside)
                EXPECT_NE(v, cplx(1234.5f, -987.25f)) << "(" << a << ", " << b << ")";
            else
                EXPECT_EQ(v, cplx(1234.5f, -987.25f)) << "(" << a << ", " << b << ")";
        }
}

inline std::string count_line(int count, int lmax) {
    // Columns: 1 blank, 2-8 " >>>>  ", 9-14 count, 15-36 text, 37-42 "Lmax =", 43-46 lmax,
    // 47-58 blanks, 59-68 "      <<<<".
    std::string c = std::to_string(count);
    std::string l = std::to_string(lmax);
    return "  >>>>  " + std::string(6 - c.size(), ' ') + c +
           " COEFF.    COMPUTED   Lmax =" + std::string(4 - l.size(), ' ') + l +
           std::string(12, ' ') + "      <<<<\n";
}

inline std::string cutoff_warning(const char* name, int lmax) {
    std::string l = std::to_string(lmax);
    return std::string("  WARNING IN SUBROUTINE \"") + name + "\" PARAMETER LMAX MUST BE " +
           std::string(12 - l.size(), ' ') + l + "  AT LEAST\n";
}

inline std::string nind_message(const char* after_subroutine, int count) {
    std::string c = std::to_string(count);
    return std::string("  *** DIMENSION ERROR IN SUBROUTINE") + after_subroutine +
           " INCREASE PARAMETER NIND TO " + std::string(11 - c.size(), ' ') + c + "  ***\n";
}

}  // namespace korva::testing
