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

// Compares the n x n corner of gg with the reference: |error| <= tol_ulps ulp scale,
// ADD_FAILUREing the first few elements beyond.
inline deviation check_block(const cplx* gg, int ld, int lmax, int mmax,
                             const oracle::block_reference& ref, double tol_ulps,
                             const std::string& what) {
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
            const double bound = tol_ulps * ulp * w.scale;
            dev.vs_max = std::max(dev.vs_max, big > 0 ? err / big : err);
            if (bound > 0) dev.vs_bound = std::max(dev.vs_bound, err / bound);
            if (!(err <= bound) && reported < 5) {
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

// The key check of a builder: for each cut-off (lmax, mmax) up to lmax = mmax = 20, random
// bonds, every element of the block against the closed form with exact 3j symbols, within
// the rounding tolerance of its terms and within 1e-5 of the block's largest element (the
// accuracy the program needs of a block at every cut-off it accepts). `call(b, lmax, mmax,
// fresh)` runs the builder on a table made fresh when asked and returns the block (leading
// dimension LDGG_). Prints the measured deviations.
inline void random_bond_sweep(
    const char* name, unsigned seed, bool axial, bool azimuth,
    const std::function<std::vector<cplx>(const oracle::bond&, int, int, bool)>& call) {
    constexpr double block_goal = 1e-5;  // of the block maximum
    std::mt19937 gen(seed);
    struct cut {
        int lmax, mmax, trials;
    };
    double worst = 0.0;
    for (const cut c :
         {cut{0, 0, 3}, cut{1, 1, 3}, cut{3, 1, 3}, cut{6, 6, 3}, cut{8, 8, 3}, cut{10, 3, 3},
          cut{12, 12, 3}, cut{16, 16, 2}, cut{20, 2, 2}, cut{20, 20, 2}}) {
        deviation cut_worst;
        for (int trial = 0; trial < c.trials; ++trial) {
            const oracle::bond b = random_bond(gen, c.lmax, axial, azimuth);
            const auto gg = call(b, c.lmax, c.mmax, trial == 0);
            const double tol = tolerance_ulps(c.lmax, std::abs(b.k * b.r));
            const std::string what = std::string(name) + " lmax " + std::to_string(c.lmax) +
                                     " mmax " + std::to_string(c.mmax) + " trial " +
                                     std::to_string(trial);
            const auto dev = check_block(gg.data(), LDGG_, c.lmax, c.mmax,
                                         oracle::block_reference(b, c.lmax), tol, what);
            EXPECT_LE(dev.vs_max, block_goal) << what;
            cut_worst.vs_bound = std::max(cut_worst.vs_bound, dev.vs_bound);
            cut_worst.vs_max = std::max(cut_worst.vs_max, dev.vs_max);
        }
        worst = std::max(worst, cut_worst.vs_max);
        std::cout << "[ measured ] " << name << " lmax " << c.lmax << " mmax " << c.mmax
                  << ": worst |error| / block max " << cut_worst.vs_max
                  << ", worst error / rounding bound " << cut_worst.vs_bound << '\n';
    }
    std::cout << "[ measured ] " << name
              << " worst |error| / block max over every cut-off up to 20: " << worst << '\n';
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
