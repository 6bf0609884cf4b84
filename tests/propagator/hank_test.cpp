#include "propagator/hank.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <iostream>
#include <limits>
#include <string>

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

// A value, a float result and whether the result is within one float ulp of the value's
// magnitude (2^-23 |value|): rounding each part to single precision costs at most 2^-24
// |value|, the double-precision sum before it about 1e-8 relative at l = 40 (its terms exceed
// the sum by up to 1e8 where l is near |rho|), the recurrence of the reference 1e-14. Where a
// part of the value does not fit single precision the result must be infinite.
struct hankel_check {
    double worst = 0.0;  // worst |error| / |value| where the value fits
    int overflowing = 0;
    void operator()(cplx got, zd want, const std::string& what) {
        constexpr double fmax = std::numeric_limits<float>::max();
        const bool fits = std::fabs(want.real()) <= fmax && std::fabs(want.imag()) <= fmax;
        const bool finite = std::isfinite(got.real()) && std::isfinite(got.imag());
        if (!fits) {
            ++overflowing;
            EXPECT_FALSE(finite) << what;
            return;
        }
        ASSERT_TRUE(finite) << what;
        const double rel = std::abs(zd(got) - want) / std::abs(want);
        worst = std::max(worst, rel);
        EXPECT_LE(rel, std::ldexp(1.0, -23)) << what;
    }
};

TEST(Hank, WithinAnUlpOfTheTrueValueUpToOrderForty) {
    // S_l = rho exp(-i rho) i^(l+1) h_l(rho) and H_l = i^(l+1) h_l(rho), h_l by upward
    // recurrence in double complex, at the single-precision rho the program holds; |rho| from
    // 0.3 (where H_40 does not fit single precision) through l = |rho| (the worst cancellation)
    // to 55, damped, growing and nearly imaginary waves.
    hankel_check s_check, h_check;
    for (double re : {0.3, 0.7, 1.5, 2.0, 4.5, 9.0, 17.0, 25.0, 30.0, 35.0, 40.0, 55.0})
        for (double im : {0.0, 0.05, 0.4, -0.3, 3.0}) {
            const cplx rf(static_cast<real>(re), static_cast<real>(im));
            const zd rho(rf);
            const auto ref = oracle::radial(rho, 40);
            for (int l = 0; l <= 40; ++l) {
                const std::string what = "rho=" + std::to_string(re) + "+" + std::to_string(im) +
                                         "i l=" + std::to_string(l);
                const zd h = ref[static_cast<std::size_t>(l)];
                s_check(hank(rf, l, static_cast<real>((l + 1) * l)),
                        rho * std::exp(zd(0.0, -1.0) * rho) * h, "S " + what);
                h_check(radial_factor(rf, l), h, "H " + what);
            }
        }
    // rho = 2.9i, l = 40: S_40 / rho = 1.4e39 does not fit single precision, H_40 = 7.6e37
    // (S_40 / rho times exp(i rho) = e^-2.9) does.
    const cplx rf(0.0f, 2.9f);
    const zd h40 = oracle::radial(zd(rf), 40)[40];
    EXPECT_GT(std::abs(h40 * std::exp(zd(2.9, 0.0))), std::numeric_limits<float>::max());
    h_check(radial_factor(rf, 40), h40, "H rho=2.9i l=40");
    std::cout << "[ measured ] hank and the radial factor, l <= 40, against the recurrence: worst "
                 "relative error "
              << s_check.worst << " and " << h_check.worst << " (" << h_check.overflowing
              << " values beyond single precision, all infinite)\n";
}

TEST(RadialFactor, OrderZeroIsExpIRhoOverRho) {
    // k = 1, r = 2: H_0 = exp(2i)/2 = -0.2080734 + 0.4546487 i (closed form).
    const cplx h0 = radial_factor(cplx(2.0f, 0.0f), 0);
    EXPECT_NEAR(h0.real(), -0.2080734f, 1e-7f);
    EXPECT_NEAR(h0.imag(), 0.4546487f, 1e-7f);
}

}  // namespace
}  // namespace korva
