#include "propagator/hank.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <iostream>

#include "propagator/oracle.hpp"
#include "propagator/radial.hpp"

namespace korva {
namespace {

using oracle::zd;

TEST(Hank, OrderZeroAndNegativeOrdersAreOne) {
    for (cplx rho : {cplx(1.0f, 0.0f), cplx(0.3f, -2.0f), cplx(-5.0f, 0.01f)})
        for (int l : {0, -1, -7}) EXPECT_EQ(hank(rho, l, 0.0f), cplx(1.0f, 0.0f)) << "l=" << l;
}

TEST(Hank, LowOrdersAtRhoOne) {
    // S_1 = 1 + i/rho and S_2 = 1 + 3i/rho - 3/rho^2, exact in binary at rho = 1.
    EXPECT_EQ(hank(cplx(1.0f, 0.0f), 1, 2.0f), cplx(1.0f, 1.0f));
    EXPECT_EQ(hank(cplx(1.0f, 0.0f), 2, 6.0f), cplx(-2.0f, 3.0f));
}

TEST(Hank, UsesTheSuppliedLTimesLPlusOne) {
    // S_1 = 1 + al z: with al = 4 instead of 2 at rho = 1 the imaginary part doubles.
    EXPECT_EQ(hank(cplx(1.0f, 0.0f), 1, 4.0f), cplx(1.0f, 2.0f));
}

TEST(Hank, BothDivisionBranchesStayFinite) {
    // Purely imaginary rho needs the branch that divides by the imaginary part; S_1 = 1 + i/rho
    // = 1 + 1/|rho| there, S_1(-2i) = 0.5.
    EXPECT_EQ(hank(cplx(0.0f, 2.0f), 1, 2.0f), cplx(1.5f, 0.0f));
    EXPECT_EQ(hank(cplx(0.0f, -2.0f), 1, 2.0f), cplx(0.5f, 0.0f));
    // A large imaginary part: the terms are tiny but the division stays well scaled.
    const cplx big = hank(cplx(1e-3f, 3e4f), 5, 30.0f);
    EXPECT_TRUE(std::isfinite(big.real()) && std::isfinite(big.imag()));
    EXPECT_NEAR(big.real(), 1.0f, 1e-3f);
    // A purely real argument takes the other branch: S_1(4) = 1 + 0.25 i.
    EXPECT_EQ(hank(cplx(4.0f, 0.0f), 1, 2.0f), cplx(1.0f, 0.25f));
}

TEST(Hank, MatchesSphericalHankelFunctionsByRecurrence) {
    // exp(i rho)/rho S_l(rho) = i^(l+1) h_l(rho); h_l by upward recurrence in double complex.
    // Each of the l terms is a product of about l single-precision roundings, so the error is
    // bounded by a few l ulps of the sum of the terms' magnitudes (oracle::radial_scale).
    constexpr double ulp = 5.96e-8;  // unit roundoff of single precision
    double worst = 0.0;
    for (double re : {0.7, 1.5, 2.0, 4.5, 9.0, 17.0, 30.0})
        for (double im : {0.0, 0.05, 0.4, -0.3, 3.0}) {
            const zd rho(re, im);
            const int lmax = 40;
            const auto ref = oracle::radial(rho, lmax);
            const auto scale = oracle::radial_scale(rho, lmax);
            const cplx rf(static_cast<real>(re), static_cast<real>(im));
            for (int l = 0; l <= lmax; ++l) {
                const zd s(hank(rf, l, static_cast<real>((l + 1) * l)));
                const zd rd(rf);
                const zd got = std::exp(zd(0.0, 1.0) * rd) / rd * s;
                // Rounding rho to single precision moves exp(i rho) by |rho| ulps.
                const double tol = (4.0 * (l + 1) + std::abs(rd)) * ulp * scale[l];
                const double err = std::abs(got - ref[l]);
                if (scale[l] > 1e30) continue;  // beyond single precision's range
                worst = std::max(worst, err / scale[l]);
                EXPECT_LE(err, tol) << "rho=" << rho << " l=" << l;
            }
        }
    std::cout << "[ measured ] hank vs recurrence: worst error relative to the terms' size "
              << worst << '\n';
}

TEST(RadialFactor, IsHankelTimesIToTheLPlusOne) {
    // H_l = S_l / rho exp(i rho) in single precision against i^(l+1) h_l.
    constexpr double ulp = 5.96e-8;
    for (cplx rho : {cplx(2.0f, 0.0f), cplx(3.7f, 0.08f), cplx(0.4f, 6.0f), cplx(12.0f, -0.5f)}) {
        const zd rd(rho);
        const auto ref = oracle::radial(rd, 30);
        const auto scale = oracle::radial_scale(rd, 30);
        for (int l = 0; l <= 30; ++l) {
            if (scale[l] > 1e30) continue;
            const zd got(radial_factor(rho, l));
            EXPECT_LE(std::abs(got - ref[l]), (4.0 * (l + 3) + std::abs(rd)) * ulp * scale[l])
                << "rho=" << rd << " l=" << l;
        }
    }
    // k = 1, r = 2: H_0 = exp(2i)/2 = -0.2080734 + 0.4546487 i (closed form).
    const cplx h0 = radial_factor(cplx(2.0f, 0.0f), 0);
    EXPECT_NEAR(h0.real(), -0.2080734f, 1e-7f);
    EXPECT_NEAR(h0.imag(), 0.4546487f, 1e-7f);
}

}  // namespace
}  // namespace korva
