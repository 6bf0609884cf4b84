#include "photoelectron.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "lda_xc.hpp"

namespace korva::psgen {

namespace {

constexpr double pi = std::numbers::pi;

double fermi_momentum(double rho) {
    return std::cbrt(3.0 * pi * pi * rho);
}

double density_parameter(double rho) {
    return std::cbrt(3.0 / (4.0 * pi * rho));
}

// The range of density parameters inside the spheres (and a little beyond: the potential's
// interpolation near the radius reads grid points past it), for the table's rows.
std::pair<double, double> rs_range(const cluster_potential& c) {
    double hi = 0.0, lo = 1e300;
    for (const site_potential& s : c.types)
        for (int i = 0; i < s.grid.size() && s.grid.r[i] <= 1.2 * s.rmt; ++i) {
            const double rho = std::max(s.rho[i], 1e-30);
            hi = std::max(hi, rho);
            lo = std::min(lo, rho);
        }
    return {density_parameter(hi), density_parameter(lo)};
}

}  // namespace

double dirac_hara(double rho, double e) {
    if (!(rho > 0.0)) return 0.0;
    const double kf = fermi_momentum(rho);
    const double x = std::sqrt(1.0 + e / (kf * kf));
    const double f =
        x - 1.0 < 1.0e-12 ? 0.5 : 0.5 + (1.0 - x * x) / (4.0 * x) * std::log((x + 1.0) / (x - 1.0));
    return -4.0 * kf / pi * f;
}

double local_momentum(double rho, double e, double e_f) {
    const double kf = rho > 0.0 ? fermi_momentum(rho) : 0.0;
    return std::sqrt(std::max(kf * kf + e - e_f, 0.0));
}

photo_model::photo_model(const cluster_potential& c, exchange_model x) : c_(c), x_(x) {
    if (x_ == exchange_model::hedin_lundqvist) {
        const auto [lo, hi] = rs_range(c_);
        hl_.emplace(lo, hi);
    } else if (x_ == exchange_model::lda) {
        for (const auto& s : c_.types) {
            xc_values v = lda_xc(s.rho);
            for (double& y : v.v) y *= 2.0;  // Hartree to Rydberg
            vxc_.push_back(std::move(v.v));
        }
    }
}

cdouble photo_model::exchange(int t, double r, double e, double fermi) const {
    const site_potential& s = c_.types[t];
    if (x_ == exchange_model::lda) return interpolate(s.grid, vxc_[t], r);
    const double rho = density_at(s, r);
    if (x_ == exchange_model::dirac_hara) return dirac_hara(rho, e);
    return (*hl_)(rho, local_momentum(rho, e, fermi));
}

cdouble photo_model::level(double e, double fermi) const {
    cdouble sum = 0.0;
    int count = 0;
    for (std::size_t t = 0; t < c_.types.size(); ++t) {
        const site_potential& s = c_.types[t];
        sum += static_cast<double>(s.count) *
               (2.0 * coulomb_at(s, s.rmt) + exchange(static_cast<int>(t), s.rmt, e, fermi));
        count += s.count;
    }
    return sum / static_cast<double>(count);
}

cdouble photo_model::interstitial(double e) const {
    return level(e, fermi_);
}

double photo_model::level_at_fermi(double e) const {
    return level(e, e).real();
}

cdouble photo_model::operator()(int t, double r, double e, cdouble v0) const {
    return 2.0 * coulomb_at(c_.types[t], r) + exchange(t, r, e, fermi_) - v0;
}

double photo_model::real_part(int t, double r, double e, double v0) const {
    return 2.0 * coulomb_at(c_.types[t], r) + exchange(t, r, e, fermi_).real() - v0;
}

}  // namespace korva::psgen
