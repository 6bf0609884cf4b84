#include "geometry/legendre.hpp"

#include <gsl/gsl_sf_legendre.h>
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "common/channels.hpp"

namespace korva {
namespace {

constexpr double qpi = 12.56637061435917;  // 4 pi of the normalisation
constexpr double half_last_digit = 5e-9;   // reference values below are given to 8 decimals

std::vector<double> harmonics(double z, int lmx, std::string* messages = nullptr) {
    std::ostringstream out;
    const int n = (std::min(lmx, 100) + 1) * (std::min(lmx, 100) + 1);
    std::vector<double> plm(static_cast<std::size_t>(n), std::nan(""));
    legendre(out, z, n, lmx, plm.data());
    if (messages) *messages = out.str();
    return plm;
}

// Y(l, m)(theta, 0) with Condon-Shortley phase from GSL (its sphPlm includes the phase).
double gsl_ylm(int l, int m, double x) {
    if (m >= 0) return gsl_sf_legendre_sphPlm(l, m, x);
    return (m % 2 == 0 ? 1.0 : -1.0) * gsl_sf_legendre_sphPlm(l, -m, x);
}

// Largest |legendre - GSL| over order l and a grid of cosines including the poles.
double worst_error_at(int l) {
    double worst = 0.0;
    for (int iz = -200; iz <= 200; ++iz) {
        const double z = iz / 200.0;
        const std::vector<double> plm = harmonics(z, l);
        for (int m = -l; m <= l; ++m)
            worst = std::max(worst, std::fabs(plm[full_index(l, m) - 1] - gsl_ylm(l, m, z)));
    }
    return worst;
}

TEST(Legendre, OrderZeroIsOneOverSqrtFourPi) {
    // sqrt(1 / qpi) = 0.28209479
    const std::vector<double> plm = harmonics(0.3, 0);
    EXPECT_NEAR(plm[0], 0.28209479, half_last_digit);
    EXPECT_DOUBLE_EQ(plm[0], std::sqrt(1.0 / qpi));
}

TEST(Legendre, HalfCosineTableToOrderTwo) {
    // Z = 0.5, lmx = 2: the nine reference values of the harmonics in full index order.
    const double ref[9] = {0.28209479, 0.29920671,  0.24430126,  -0.29920671, 0.28970565,
                           0.33452327, -0.07884789, -0.33452327, 0.28970565};
    const std::vector<double> plm = harmonics(0.5, 2);
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(plm[i], ref[i], half_last_digit) << "index " << i + 1;
}

TEST(Legendre, PoleHasOnlyZeroProjections) {
    // Z = 1: Y(l, 0) = sqrt((2l+1)/qpi) (0.28209479, 0.48860251, 0.63078313, 0.74635267 ...),
    // every m != 0 entry a zero of either sign.
    const double ref[4] = {0.28209479, 0.48860251, 0.63078313, 0.74635267};
    const int lmx = 20;
    const std::vector<double> plm = harmonics(1.0, lmx);
    for (int l = 0; l <= lmx; ++l) {
        if (l < 4) {
            EXPECT_NEAR(plm[full_index(l, 0) - 1], ref[l], half_last_digit) << "l=" << l;
        }
        // The expansion's cancellation leaves about 1e-9 at l = 20, even at the pole.
        EXPECT_NEAR(plm[full_index(l, 0) - 1], std::sqrt((2 * l + 1) / qpi), 2e-9) << "l=" << l;
        for (int m = 1; m <= l; ++m) {
            EXPECT_EQ(plm[full_index(l, m) - 1], 0.0) << "l=" << l << " m=" << m;
            EXPECT_EQ(plm[full_index(l, -m) - 1], 0.0) << "l=" << l << " m=" << -m;
        }
    }
}

TEST(Legendre, CosineAboveOneIsClampedInTheCallerWithAWarning) {
    std::ostringstream out;
    double z = 1.5;
    int lmx = 3;
    std::vector<double> plm(16);
    legendre(out, z, 16, lmx, plm.data());
    EXPECT_EQ(out.str(), "  WARNING ORIGINAL VALUE OF Z = 1.5  CHANGED INTO 1.D0\n");
    EXPECT_EQ(z, 1.0);
    EXPECT_EQ(plm, harmonics(1.0, 3));

    std::ostringstream out2;
    z = -2.25;
    legendre(out2, z, 16, lmx, plm.data());
    EXPECT_EQ(out2.str(), "  WARNING ORIGINAL VALUE OF Z = -2.25  CHANGED INTO -1.D0\n");
    EXPECT_EQ(z, -1.0);
    EXPECT_EQ(plm, harmonics(-1.0, 3));
}

TEST(Legendre, OrderAboveCapacityIsLoweredInTheCaller) {
    std::ostringstream out;
    double z = 0.25;
    int lmx = 120;
    const int n = 101 * 101;
    std::vector<double> plm(n + 1, 7.0);  // sentinel one past the 101^2 values
    legendre(out, z, n + 1, lmx, plm.data());
    EXPECT_EQ(out.str(), std::string("  DIMENSION ERROR IN SUBROUTINE \"LEGENDRE\" SET LMAX_ TO ") +
                             std::string(9, ' ') + "120\n" +
                             "  CALCULATION LIMITED TO ANGULAR MOMENTUM " + std::string(9, ' ') +
                             "100\n");
    EXPECT_EQ(lmx, 100);
    EXPECT_NE(plm[n - 1], 7.0);
    EXPECT_EQ(plm[n], 7.0);
}

TEST(Legendre, NonFiniteCosinePassesSilently) {
    std::ostringstream out;
    double z = std::numeric_limits<double>::quiet_NaN();
    int lmx = 2;
    std::vector<double> plm(9);
    legendre(out, z, 9, lmx, plm.data());
    EXPECT_EQ(out.str(), "");
    EXPECT_TRUE(std::isnan(plm[2]));
}

TEST(Legendre, NeverWritesPastItsCapacity) {
    // Orders whose entries do not fit are left out: capacity 10 holds l = 0..2 (9 entries).
    std::ostringstream out;
    double z = 0.5;
    int lmx = 5;
    std::vector<double> plm(12, 7.0);
    legendre(out, z, 10, lmx, plm.data());
    EXPECT_NE(plm[8], 7.0);
    EXPECT_EQ(plm[9], 7.0);
    EXPECT_EQ(plm[10], 7.0);
}

TEST(Legendre, AgreesWithGslUpToOrderTwenty) {
    // The explicit expansion keeps about 1e-9 absolute accuracy up to l = 20 at every cosine.
    const int lmx = 20;
    double worst = 0.0;
    for (int iz = -100; iz <= 100; ++iz) {
        const double z = iz / 100.0 - 0.001 * (iz % 3);
        const std::vector<double> plm = harmonics(z, lmx);
        for (int l = 0; l <= lmx; ++l)
            for (int m = -l; m <= l; ++m) {
                const double err = std::fabs(plm[full_index(l, m) - 1] - gsl_ylm(l, m, z));
                worst = std::max(worst, err);
                EXPECT_LT(err, 2e-9) << "z=" << z << " l=" << l << " m=" << m;
            }
    }
    std::cout << "[ measured ] legendre vs GSL, l <= 20: worst absolute error " << worst << '\n';
}

TEST(Legendre, AccuracyDegradesAtHighOrders) {
    // Cancellation between the alternating terms of the expansion grows with l: about 4e-6 at
    // l = 30 and 0.04 at l = 40 (near the poles). Only loose bounds are asserted; the
    // measured figures are printed.
    const double e20 = worst_error_at(20);
    const double e30 = worst_error_at(30);
    const double e40 = worst_error_at(40);
    std::cout << "[ measured ] legendre vs GSL worst absolute error: l=20 " << e20 << ", l=30 "
              << e30 << ", l=40 " << e40 << '\n';
    EXPECT_LT(e20, 2e-9);
    EXPECT_LT(e30, 1e-4);
    EXPECT_LT(e40, 1.0);
}

TEST(Legendre, AdditionTheoremSumsToTwoLPlusOneOverFourPi) {
    // Sum over m of Y(l, m)^2 = (2l+1)/(4 pi) for every direction (addition theorem).
    const int lmx = 20;
    for (double z : {-0.97, -0.5, 0.0, 0.123, 0.8, 0.999}) {
        const std::vector<double> plm = harmonics(z, lmx);
        for (int l = 0; l <= lmx; ++l) {
            double s = 0.0;
            for (int m = -l; m <= l; ++m)
                s += plm[full_index(l, m) - 1] * plm[full_index(l, m) - 1];
            // 2l+1 terms of size about 1, each off by up to about 1e-9.
            EXPECT_NEAR(s, (2 * l + 1) / qpi, 1e-8) << "z=" << z << " l=" << l;
        }
    }
}

TEST(Derlag, RodriguesAndAssociatedStepsOnOrderOne) {
    // (Z^2 - 1) -> d/dZ / 2 = Z -> d/dZ / sqrt(2) = 1/sqrt(2); the source entry is cleared.
    double coe[3] = {-1.0, 0.0, 1.0};
    int g = 0;
    derlag(3, 1, coe, 1, 2, 0, g);
    EXPECT_EQ(g, 1);
    EXPECT_EQ(coe[1], 1.0);
    EXPECT_EQ(coe[2], 0.0);
    derlag(3, 1, coe, 1, 0, 1, g);
    EXPECT_EQ(g, 2);
    EXPECT_DOUBLE_EQ(coe[0], 1.0 / std::sqrt(2.0));
    EXPECT_EQ(coe[1], 0.0);
}

}  // namespace
}  // namespace korva
