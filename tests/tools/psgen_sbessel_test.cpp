// Complex spherical Bessel functions of korva-psgen against closed forms, GSL and identities.
#include <gsl/gsl_sf_bessel.h>
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "sbessel.hpp"

namespace korva::psgen {
namespace {

const std::vector<cdouble> complex_points = {
    {0.05, 0.01}, {0.7, 0.02}, {1.3, -0.4}, {3.14159, 0.05}, {5.0, 0.3},
    {9.7, 0.8},   {14.0, 0.1}, {0.2, 1.5},  {-2.0, 0.5},     {25.0, 2.0}};

// Closed forms: j0 = sin z/z, y0 = -cos z/z, j1 = sin z/z^2 - cos z/z, y1 = -cos z/z^2 - sin z/z.
// Double precision with at most a few cancelling terms: 1e-12 relative to the largest term.
TEST(psgen_sbessel, closed_forms_l0_l1_complex) {
    for (const cdouble z : complex_points) {
        sbessel_values b;
        sbessel(z, 3, b);
        const cdouble s = std::sin(z), c = std::cos(z);
        const cdouble j0 = s / z, y0 = -c / z;
        const cdouble j1 = s / (z * z) - c / z, y1 = -c / (z * z) - s / z;
        const double scale = (std::abs(s) + std::abs(c)) * (1.0 + 1.0 / std::abs(z * z));
        EXPECT_LT(std::abs(b.j[0] - j0), 1e-12 * scale) << "z=" << z;
        EXPECT_LT(std::abs(b.y[0] - y0), 1e-12 * scale) << "z=" << z;
        EXPECT_LT(std::abs(b.j[1] - j1), 1e-12 * scale) << "z=" << z;
        EXPECT_LT(std::abs(b.y[1] - y1), 1e-12 * scale) << "z=" << z;
        EXPECT_LT(std::abs(b.h[0] - (j0 + cdouble(0, 1) * y0)), 1e-12 * scale) << "z=" << z;
        // j0' = -j1, y0' = -y1 (recurrence identity)
        EXPECT_LT(std::abs(b.dj[0] + j1), 1e-12 * scale) << "z=" << z;
        EXPECT_LT(std::abs(b.dy[0] + y1), 1e-12 * scale) << "z=" << z;
        // j1' = j0 - 2 j1/z
        EXPECT_LT(std::abs(b.dj[1] - (j0 - 2.0 * j1 / z)), 1e-12 * scale) << "z=" << z;
    }
}

// Real axis against GSL (gsl_sf_bessel_jl / _yl), l up to 30, including l >> x where the upward
// recurrence for j_l would have lost every digit. Relative 1e-11: both sides are recurrences in
// double precision.
TEST(psgen_sbessel, real_axis_against_gsl) {
    const int lmax = 30;
    for (double x : {0.01, 0.3, 1.0, 2.5, 7.0, 12.0, 20.0, 33.0}) {
        sbessel_values b;
        sbessel(cdouble(x, 0.0), lmax, b);
        for (int l = 0; l <= lmax; ++l) {
            const double jl = gsl_sf_bessel_jl(l, x);
            EXPECT_NEAR(b.j[l].real(), jl, 1e-11 * std::abs(jl) + 1e-300)
                << "x=" << x << " l=" << l;
            EXPECT_LT(std::abs(b.j[l].imag()), 1e-11 * std::abs(jl) + 1e-300);
            gsl_sf_result yr;
            if (gsl_sf_bessel_yl_e(l, x, &yr) != 0) continue;  // GSL overflow: outside its range
            EXPECT_NEAR(b.y[l].real(), yr.val, 1e-11 * std::abs(yr.val)) << "x=" << x << " l=" << l;
        }
    }
}

// Wronskian j_l y_{l-1} - j_{l-1} y_l = 1/z^2 holds for every complex z; it ties the two
// recurrences together at high l and small |z|, where j_l and y_l differ by many decades.
TEST(psgen_sbessel, wronskian_complex) {
    const int lmax = 35;
    for (const cdouble z : complex_points) {
        sbessel_values b;
        sbessel(z, lmax, b);
        const cdouble w_exact = 1.0 / (z * z);
        for (int l = 1; l <= lmax; ++l) {
            const cdouble w = b.j[l] * b.y[l - 1] - b.j[l - 1] * b.y[l];
            const double size = std::abs(b.j[l] * b.y[l - 1]) + std::abs(b.j[l - 1] * b.y[l]);
            if (!std::isfinite(size)) continue;
            EXPECT_LT(std::abs(w - w_exact), 1e-10 * size) << "z=" << z << " l=" << l;
        }
    }
}

// Derivatives against a central difference of the functions themselves, step h = 1e-5 |z|:
// truncation (h/|z|)^2 (l+1)(l+2)(l+3)/6 < 1e-7 relative for l <= 12, rounding about 1e-11.
TEST(psgen_sbessel, derivatives_against_difference) {
    const int lmax = 12;
    for (const cdouble z : complex_points) {
        const double h = 1e-5 * std::abs(z);
        sbessel_values b, bp, bm;
        sbessel(z, lmax, b);
        sbessel(z + h, lmax, bp);
        sbessel(z - h, lmax, bm);
        for (int l = 0; l <= lmax; ++l) {
            const cdouble dj = (bp.j[l] - bm.j[l]) / (2 * h);
            const cdouble dh = (bp.h[l] - bm.h[l]) / (2 * h);
            EXPECT_LT(std::abs(b.dj[l] - dj), 1e-6 * (std::abs(dj) + std::abs(b.j[l])))
                << "z=" << z << " l=" << l;
            EXPECT_LT(std::abs(b.dh[l] - dh), 1e-6 * (std::abs(dh) + std::abs(b.h[l])))
                << "z=" << z << " l=" << l;
        }
    }
}

// Small-argument limits j_l ~ z^l/(2l+1)!!, y_l ~ -(2l-1)!!/z^{l+1} at z = 1e-3 (next term is
// relative z^2/(2(2l+3)) < 2e-7).
TEST(psgen_sbessel, small_argument_limits) {
    const cdouble z{1e-3, 2e-4};
    sbessel_values b;
    sbessel(z, 20, b);
    double dfact = 1.0;  // (2l+1)!!
    for (int l = 0; l <= 20; ++l) {
        const double dfact_lm1 = dfact;  // (2l-1)!!
        dfact *= 2 * l + 1;
        const cdouble jl = std::pow(z, l) / dfact;
        const cdouble yl = -dfact_lm1 / std::pow(z, l + 1);
        EXPECT_LT(std::abs(b.j[l] / jl - 1.0), 2e-7) << "l=" << l;
        EXPECT_LT(std::abs(b.y[l] / yl - 1.0), 2e-6) << "l=" << l;
    }
}

}  // namespace
}  // namespace korva::psgen
