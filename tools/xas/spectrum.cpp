#include "spectrum.hpp"

#include <algorithm>
#include <cmath>

namespace korva::xas {

double grid_step(double span_ev) {
    return std::max(fine_step, span_ev / max_grid_points);
}

normalise_ranges computed_ranges(double e0, double last) {
    normalise_ranges r;
    r.pre_edge = false;  // nothing but this edge absorbs in the calculation
    r.post1 = last - e0 >= 250.0 ? 150.0 : (last - e0) / 3.0;
    return r;
}

xas_spectrum make_spectrum(const computed_spectrum& c, const spectrum_parameters& p) {
    std::vector<double> x(c.e_ry.size());  // eV above the Fermi level
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = (c.e_ry[i] - p.fermi_ry) * ev_per_ry;
    xas_spectrum s;
    s.step = grid_step(x.back() - x.front());
    const grid_spectrum fine = resample(x, c.mu, s.step);
    const grid_spectrum cut = cut_at_fermi(fine, p.gamma_ry * ev_per_ry);
    arctan_width law = p.law;
    law.gamma_max *= p.final_scale;
    const grid_spectrum lifetime = lorentzian(cut, law);
    const grid_spectrum seen = gaussian(lifetime, p.resolution);
    for (std::size_t i = 0; i < seen.mu.size(); ++i) s.energy.push_back(p.edge_ev + seen.x(i));
    const double e0 = largest_derivative(s.energy, seen.mu);
    s.norm = normalise(s.energy, seen.mu, computed_ranges(e0, s.energy.back()));
    s.mu = s.norm.mu;
    for (double v : s.mu)
        if (!std::isfinite(v)) throw normalise_error("the normalised spectrum is not finite");
    return s;
}

}  // namespace korva::xas
