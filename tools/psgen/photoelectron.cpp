#include "photoelectron.hpp"

#include <cmath>
#include <numbers>

#include "lda_xc.hpp"

namespace korva::psgen {

double dirac_hara(double rho, double e) {
    if (!(rho > 0.0)) return 0.0;
    const double pi = std::numbers::pi;
    const double kf = std::cbrt(3.0 * pi * pi * rho);
    const double x = std::sqrt(1.0 + e / (kf * kf));
    const double f =
        x - 1.0 < 1.0e-12 ? 0.5 : 0.5 + (1.0 - x * x) / (4.0 * x) * std::log((x + 1.0) / (x - 1.0));
    return -4.0 * kf / pi * f;
}

photo_model::photo_model(const cluster_potential& c, exchange_model x) : c_(c), x_(x) {
    if (x_ != exchange_model::lda) return;
    for (const auto& s : c_.types) {
        xc_values v = lda_xc(s.rho);
        for (double& y : v.v) y *= 2.0;  // Hartree to Rydberg
        vxc_.push_back(std::move(v.v));
    }
}

double photo_model::exchange(int t, double r, double e) const {
    const site_potential& s = c_.types[t];
    if (x_ == exchange_model::lda) return interpolate(s.grid, vxc_[t], r);
    return dirac_hara(density_at(s, r), e);
}

double photo_model::interstitial(double e) const {
    double sum = 0.0;
    int count = 0;
    for (std::size_t t = 0; t < c_.types.size(); ++t) {
        const site_potential& s = c_.types[t];
        sum += s.count * (2.0 * coulomb_at(s, s.rmt) + exchange(static_cast<int>(t), s.rmt, e));
        count += s.count;
    }
    return sum / count;
}

double photo_model::operator()(int t, double r, double e, double v0) const {
    return 2.0 * coulomb_at(c_.types[t], r) + exchange(t, r, e) - v0;
}

}  // namespace korva::psgen
