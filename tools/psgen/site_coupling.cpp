#include "site_coupling.hpp"

#include <gsl/gsl_sf_coupling.h>
#include <gsl/gsl_sf_legendre.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "sbessel.hpp"

namespace korva::psgen {

namespace {

constexpr double pi = std::numbers::pi;

// i^n for any integer n.
cdouble i_power(int n) {
    constexpr cdouble powers[4] = {{1.0, 0.0}, {0.0, 1.0}, {-1.0, 0.0}, {0.0, -1.0}};
    return powers[((n % 4) + 4) % 4];
}

// The integral of Y_a conj(Y_b) conj(Y_c) over the sphere:
// (-1)^(mb + mc) integral of Y_a Y_b,-mb Y_c,-mc, the product of two 3j symbols.
double gaunt(int la, int ma, int lb, int mb, int lc, int mc) {
    if (ma != mb + mc) return 0.0;
    const double norm =
        std::sqrt((2.0 * la + 1.0) * (2.0 * lb + 1.0) * (2.0 * lc + 1.0) / (4.0 * pi));
    const double zero = gsl_sf_coupling_3j(2 * la, 2 * lb, 2 * lc, 0, 0, 0);
    if (zero == 0.0) return 0.0;
    const double sign = (mb + mc) % 2 == 0 ? 1.0 : -1.0;
    return sign * norm * zero *
           gsl_sf_coupling_3j(2 * la, 2 * lb, 2 * lc, 2 * ma, -2 * mb, -2 * mc);
}

}  // namespace

cdouble ylm(int l, int m, double x, double y, double z) {
    const double r = std::sqrt(x * x + y * y + z * z);
    const int am = std::abs(m);
    const double theta_part = gsl_sf_legendre_sphPlm(l, am, std::clamp(z / r, -1.0, 1.0));
    const cdouble value = theta_part * std::exp(cdouble(0.0, am * std::atan2(y, x)));
    if (m >= 0) return value;
    return am % 2 == 0 ? std::conj(value) : -std::conj(value);
}

coupling_terms::coupling_terms(int lmax_) : lmax(lmax_) {
    for (int l = 0; l <= lmax; ++l)
        for (int m = -l; m <= l; ++m)
            for (int lp = 0; lp <= lmax; ++lp)
                for (int mp = -lp; mp <= lp; ++mp)
                    for (int l2 = std::abs(l - lp); l2 <= l + lp; l2 += 2) {
                        const int m2 = mp - m;
                        if (std::abs(m2) > l2) continue;
                        const double c = gaunt(lp, mp, l, m, l2, m2);
                        if (c == 0.0) continue;
                        terms.push_back({ylm_channel(l, m), ylm_channel(lp, mp), l2,
                                         ylm_channel(l2, m2), 4.0 * pi * i_power(l + l2 - lp) * c});
                    }
}

site_coupling::site_coupling(const coupling_terms& terms, double x, double y, double z)
    : terms_(&terms), distance_(std::sqrt(x * x + y * y + z * z)) {
    for (int l = 0; l <= 2 * terms.lmax; ++l)
        for (int m = -l; m <= l; ++m) y_.push_back(ylm(l, m, x, y, z));
}

void site_coupling::fill(cdouble k, std::vector<cdouble>& g) const {
    const int n = (terms_->lmax + 1) * (terms_->lmax + 1);
    sbessel_values b;
    sbessel(k * distance_, 2 * terms_->lmax, b);
    g.assign(static_cast<std::size_t>(n) * n, 0.0);
    for (const coupling_terms::term& t : terms_->terms)
        g[static_cast<std::size_t>(t.row) * n + t.col] += t.weight * y_[t.ylm] * b.h[t.l2];
}

}  // namespace korva::psgen
