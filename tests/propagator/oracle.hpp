// Independent double-precision references for the propagator tests: spherical Hankel
// functions by recurrence, spherical harmonics and 3j symbols from GSL, and the closed-form
// double sum of a propagator element.
#pragma once
#include <gsl/gsl_sf_coupling.h>
#include <gsl/gsl_sf_legendre.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <utility>
#include <vector>

#include "common/capacities.hpp"
#include "common/types.hpp"
#include "propagator/cgc.hpp"

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

inline double w3j(int j1, int j2, int j3, int m1, int m2, int m3) {
    return gsl_sf_coupling_3j(2 * j1, 2 * j2, 2 * j3, 2 * m1, 2 * m2, 2 * m3);
}

// Sum of the magnitudes of the terms of Racah's sum for (j1 j2 j3; m1 m2 -m1-m2), prefactor
// and the 1/sqrt(2 j3 + 1) of the 3j symbol included (first term from lgamma, the rest by
// the ratio of consecutive terms): the size the program's double-precision sum must cancel.
inline double racah_term_size(int j1, int j2, int j3, int m1, int m2) {
    const int mt = m1 + m2;
    if (j3 + j1 - j2 < 0 || j3 - j1 + j2 < 0 || j1 + j2 - j3 < 0 || std::abs(mt) > j3 ||
        std::abs(m1) > j1 || std::abs(m2) > j2)
        return 0.0;
    auto lf = [](int n) { return std::lgamma(n + 1.0); };
    const int k0 = std::max(0, mt + j2 - j1);
    const int kmax = std::min(j3 + j2 - j1, j3 + mt);
    const double lpre =
        0.5 * (lf(j3 + j1 - j2) + lf(j3 - j1 + j2) + lf(j1 + j2 - j3) + lf(j3 + mt) + lf(j3 - mt) -
               lf(j1 + j2 + j3 + 1) - lf(j1 - m1) - lf(j1 + m1) - lf(j2 - m2) - lf(j2 + m2));
    double t = std::exp(lpre + lf(j2 + j3 + m1 - k0) + lf(j1 - m1 + k0) - lf(k0) -
                        lf(j3 - j1 + j2 - k0) - lf(j3 + mt - k0) - lf(k0 + j1 - j2 - mt));
    double sum = t;
    for (int k = k0 + 1; k <= kmax; ++k) {
        t *= static_cast<double>(j1 + k - m1) * (j3 + j2 - j1 - k + 1) * (j3 + mt - k + 1) /
             (static_cast<double>(j1 + k - j2 - mt) * k * (j2 + j3 + m1 - k + 1));
        sum += t;
    }
    return sum;
}

// Bound on |c3j - exact|: 256 double ulps of the Racah terms' size (the cancellation of the
// uncompensated sum) plus three single-precision roundings of the result; checked against
// GSL over the builders' whole range in the coupling-coefficient tests.
inline double c3j_error_bound(int j1, int j2, int j3, int m1, int m2, double value) {
    constexpr double eps_d = 1.1102230246251565e-16;  // unit roundoff of double
    return 256 * eps_d * racah_term_size(j1, j2, j3, m1, m2) + 2e-7 * std::abs(value);
}

// The program's c3j for the symbol a builder actually evaluates for this one. A builder
// computes (L L' l''; M -M' M'-M) for L >= L', M >= 0 only, and fills (L M; L' M') and
// (L' M'; L M) from it, and for M > 0 also (L -M; L' -M') and (L' -M'; L -M). So the
// element's symbol is rewritten with the larger l first (swapping the first two columns),
// then with all signs flipped where that builder pair has them flipped; neither changes the
// value for l + l' + l'' even. Elements (l m; l m'), m != m', have two writers and are not
// covered.
inline double builder_c3j(int j1, int j2, int j3, int m1, int m2, int m3) {
    bool flip = m1 < 0;
    if (j1 < j2) {
        std::swap(j1, j2);
        std::swap(m1, m2);
        flip = m1 <= 0;  // (L' M'; L M) comes from the pair (M, M'), M >= 0
    }
    if (flip) {
        m1 = -m1;
        m2 = -m2;
        m3 = -m3;
    }
    return static_cast<double>(c3j(j1, j2, j3, m1, m2, m3));
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
// (l l' l''; m -m' m'-m) Y(l'', m'-m)(theta, phi) H_l''(kr). Valid for every sign of m, m';
// on the z axis it is the equal-m formula of the axial builder.
struct element {
    zd value;
    double scale;    // size of the terms: rounding errors scale with it
    double sym_err;  // bound on the error the program's 3j symbols bring (GSL symbols only)
};

// Which 3j symbols the closed form uses: GSL's (the exact values; the element then carries
// the error bound of the program's symbols), or the program's own c3j for the same symbols
// the builder evaluates, widened to double, which isolates the builders' sums and stores
// from the cancellation of the 3j symbols at large momenta.
enum class symbols { gsl, korva };

class block_reference {
  public:
    block_reference(const bond& b, int lmax, symbols sym = symbols::gsl)
        : b_(b), lmax_(lmax), sym_(sym) {
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
        double sym_err = 0.0;
        for (int l2 = std::abs(l - lp); l2 <= l + lp; l2 += 2) {
            if (l2 < std::abs(d)) continue;
            const double y = y_[static_cast<std::size_t>(l2 * (l2 + 1) + d)];
            if (y == 0.0) continue;
            double w0, wm;
            if (sym_ == symbols::korva) {
                w0 = builder_c3j(l, lp, l2, 0, 0, 0);
                wm = builder_c3j(l, lp, l2, m, -mp, d);
            } else {
                w0 = w3j(l, lp, l2, 0, 0, 0);
                wm = w3j(l, lp, l2, m, -mp, d);
            }
            const double c = sgn * std::sqrt(2.0 * l2 + 1) * w0 * wm;
            const double size = std::abs(y) * hs_[static_cast<std::size_t>(l2)];
            sum += c * y * phase * h_[static_cast<std::size_t>(l2)];
            scale += std::abs(c) * size * (1.0 + std::abs(d * b_.phi));
            if (sym_ == symbols::gsl) {
                // |(w0 + e0)(wm + em) - w0 wm| <= e0 |wm| + |w0| em + e0 em.
                const double e0 = c3j_error_bound(l, lp, l2, 0, 0, w0);
                const double em = c3j_error_bound(l, lp, l2, m, -mp, wm);
                sym_err += std::sqrt(2.0 * l2 + 1) * size *
                           (e0 * std::abs(wm) + std::abs(w0) * em + e0 * em);
            }
        }
        return {pre * sum, std::abs(pre) * scale, std::abs(pre) * sym_err};
    }

  private:
    bond b_;
    int lmax_;
    symbols sym_;
    std::vector<zd> h_;
    std::vector<double> hs_;
    std::vector<double> y_;
};

}  // namespace korva::oracle
