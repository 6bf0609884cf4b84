// Independent double-precision references for the propagator tests: spherical Hankel
// functions by recurrence, spherical harmonics from GSL, exact 3j symbols, and the closed-form
// double sum of a propagator element.
#pragma once
#include <gsl/gsl_sf_legendre.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <utility>
#include <vector>

#include "common/capacities.hpp"
#include "common/types.hpp"
#include "propagator/exact_3j.hpp"

namespace korva::oracle {

using zd = std::complex<double>;
constexpr double pi = 3.14159265358979323846;

// i^(l+1) h_l(rho) for l = 0..lmax, h_l the outgoing spherical Hankel function, by the upward
// recurrence h_(l+1) = (2l+1)/rho h_l - h_(l-1) (stable for the outgoing solution) from
// h_0 = -i exp(i rho)/rho and h_1 = -exp(i rho)(rho + i)/rho^2.
inline std::vector<zd> radial(zd rho, int lmax) {
    const zd i(0.0, 1.0);
    const zd e = std::exp(i * rho);
    std::vector<zd> h(static_cast<std::size_t>(lmax + 2));
    h[0] = -i * e / rho;
    h[1] = -e * (rho + i) / (rho * rho);
    for (int l = 1; l < lmax; ++l)
        h[static_cast<std::size_t>(l + 1)] =
            static_cast<double>(2 * l + 1) / rho * h[static_cast<std::size_t>(l)] -
            h[static_cast<std::size_t>(l - 1)];
    std::vector<zd> out(static_cast<std::size_t>(lmax + 1));
    zd ipow = i;  // i^(l+1)
    for (int l = 0; l <= lmax; ++l) {
        out[static_cast<std::size_t>(l)] = ipow * h[static_cast<std::size_t>(l)];
        ipow *= i;
    }
    return out;
}

// Size of the terms of H_l = exp(i rho)/rho sum_n (l+n)!/(n!(l-n)!) (i/(2 rho))^n: the sum of
// their magnitudes, which bounds the rounding error of a single-precision evaluation.
inline std::vector<double> radial_scale(zd rho, int lmax) {
    std::vector<double> out(static_cast<std::size_t>(lmax + 1));
    const double pre = std::abs(std::exp(zd(0.0, 1.0) * rho) / rho);
    const double x = 1.0 / std::abs(2.0 * rho);
    for (int l = 0; l <= lmax; ++l) {
        double term = 1.0;
        double sum = 1.0;
        for (int n = 1; n <= l; ++n) {
            term *= static_cast<double>((l + n) * (l - n + 1)) / n * x;
            sum += term;
        }
        out[static_cast<std::size_t>(l)] = pre * sum;
    }
    return out;
}

// Y(l, m)(theta, 0) with the Condon-Shortley phase (GSL includes it), Y(l, -m) = (-1)^m Y(l, m).
inline double ylm(int l, int m, double x) {
    if (m >= 0) return gsl_sf_legendre_sphPlm(l, m, x);
    return (m % 2 == 0 ? 1.0 : -1.0) * gsl_sf_legendre_sphPlm(l, -m, x);
}

// A column of the driver's table for direction cosine x: Y(l, m) at full_index(l, m) - 1 for
// l <= 2 LPROP_, from GSL, rounded to single precision.
inline std::vector<real> ylm_column(double x) {
    const int lt = 2 * LPROP_;
    std::vector<real> y(static_cast<std::size_t>((lt + 1) * (lt + 1)));
    for (int l = 0; l <= lt; ++l)
        for (int m = -l; m <= l; ++m)
            y[static_cast<std::size_t>(l * (l + 1) + m)] = static_cast<real>(ylm(l, m, x));
    return y;
}

// The tests' one table of exact symbols: each symbol is evaluated once per test process.
inline exact_3j& exact_symbols() {
    static exact_3j table;
    return table;
}

// (j1 j2 j3; m1 m2 m3), exact rounded to double.
inline double w3j(int j1, int j2, int j3, int m1, int m2, int m3) {
    return exact_symbols()(j1, j2, j3, m1, m2, m3);
}

// A bond seen by a builder: direction cosine, azimuth, wave number and length.
struct bond {
    double cost;
    double phi;
    zd k;
    double r;
};

// Element (l m; l' m') of the propagator block and the sum of the magnitudes of its terms
// (each weighted by 1 + |(m'-m) phi|, the relative size of the error of the phase argument):
// -sqrt(4 pi (2l+1)(2l'+1)) sum over l'' of (-1)^m' sqrt(2l''+1) (l l' l''; 0 0 0)
// (l l' l''; m -m' m'-m) Y(l'', m'-m)(theta, phi) H_l''(kr), with exact 3j symbols. Valid for
// every sign of m, m'; on the z axis it is the equal-m formula of the axial builder.
struct element {
    zd value;
    double scale;  // size of the terms: rounding errors scale with it
};

class block_reference {
  public:
    block_reference(const bond& b, int lmax) : b_(b) {
        const zd rho = b.k * b.r;
        h_ = radial(rho, 2 * lmax);
        hs_ = radial_scale(rho, 2 * lmax);
        const int nl = 2 * lmax + 1;
        y_.resize(static_cast<std::size_t>(nl * nl));
        for (int l = 0; l <= 2 * lmax; ++l)
            for (int m = -l; m <= l; ++m)
                y_[static_cast<std::size_t>(l * (l + 1) + m)] = ylm(l, m, b.cost);
    }
    element at(int l, int m, int lp, int mp) const {
        const int d = mp - m;
        const zd phase = std::exp(zd(0.0, d * b_.phi));
        const double pre = -std::sqrt(4.0 * pi * (2 * l + 1) * (2 * lp + 1));
        const double sgn = mp % 2 == 0 ? 1.0 : -1.0;
        zd sum = 0.0;
        double scale = 0.0;
        for (int l2 = std::abs(l - lp); l2 <= l + lp; l2 += 2) {
            if (l2 < std::abs(d)) continue;
            const double y = y_[static_cast<std::size_t>(l2 * (l2 + 1) + d)];
            if (y == 0.0) continue;
            const double c =
                sgn * std::sqrt(2.0 * l2 + 1) * w3j(l, lp, l2, 0, 0, 0) * w3j(l, lp, l2, m, -mp, d);
            sum += c * y * phase * h_[static_cast<std::size_t>(l2)];
            scale += std::abs(c) * std::abs(y) * hs_[static_cast<std::size_t>(l2)] *
                     (1.0 + std::abs(d * b_.phi));
        }
        return {pre * sum, std::abs(pre) * scale};
    }

  private:
    bond b_;
    std::vector<zd> h_;
    std::vector<double> hs_;
    std::vector<double> y_;
};

}  // namespace korva::oracle
