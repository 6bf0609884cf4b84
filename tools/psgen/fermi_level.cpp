#include "fermi_level.hpp"

#include <cmath>
#include <numbers>
#include <vector>

#include "friedel_count.hpp"

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

std::optional<double> counted_fermi_energy(const cluster_potential& c) {
    const photo_model lda(c, exchange_model::lda);
    const double v0 = lda.interstitial(0.0).real();
    std::vector<std::vector<double>> rv;  // r (V - V0) of each counted set on its grid
    rv.reserve(c.types.size());           // the potentials keep references to its elements
    std::vector<counted_site> sites;
    for (std::size_t t = 1; t < c.types.size(); ++t) {
        const site_potential& s = c.types[t];
        if (s.count == 0) continue;
        std::vector<double>& v = rv.emplace_back(s.grid.size());
        for (int i = 0; i < s.grid.size(); ++i)
            v[i] = s.grid.r[i] * lda.real_part(static_cast<int>(t), s.grid.r[i], 0.0, v0);
        const radial_potential pot = [&s, &v](double r) { return interpolate(s.grid, v, r) / r; };
        sites.push_back({pot, s.rmt, 4.0 * std::numbers::pi / 3.0 * std::pow(s.norman, 3),
                         static_cast<double>(s.z), static_cast<double>(s.count)});
    }
    const std::optional<double> e = friedel_fermi_level(sites);
    if (!e) return std::nullopt;
    return v0 + *e;
}

fermi_estimate estimate_fermi_level(const std::string& mode, double given,
                                    const cluster_potential& c, const photo_model& m) {
    if (mode == "given") return {given, "given"};
    if (mode == "charge-count") {
        if (const std::optional<double> abs = counted_fermi_energy(c)) {
            // e + V0(e) = E_F: V0 moves slowly with e, so the iteration contracts quickly.
            double e = *abs - m.level_at_fermi(0.0);
            for (int it = 0; it < 50; ++it) {
                const double next = *abs - m.level_at_fermi(e);
                const bool done = std::abs(next - e) < 1e-12;
                e = next;
                if (done) break;
            }
            if (e > 0.0) return {e, "charge count"};
        }
    }
    return {fermi_level(c), "electron gas"};
}

}  // namespace korva::psgen
