#include "fermi_level.hpp"

#include <cmath>
#include <numbers>

namespace korva::psgen {

double interstitial_density(const cluster_potential& c) {
    double sum = 0.0;
    int count = 0;
    for (const site_potential& s : c.types) {
        sum += s.count * density_at(s, s.rmt);
        count += s.count;
    }
    return sum / count;
}

double fermi_level(const cluster_potential& c) {
    const double kf =
        std::cbrt(3.0 * std::numbers::pi * std::numbers::pi * interstitial_density(c));
    return kf * kf;
}

}  // namespace korva::psgen
