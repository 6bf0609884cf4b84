#include "spectrum.hpp"

#include <algorithm>
#include <cmath>

namespace korva::xas {

double grid_step(double span_ev) {
    return std::max(fine_step, span_ev / max_grid_points);
}

normalise_ranges computed_ranges(double e0, double last) {
    return ranges_for(e0, last, false);  // nothing but this edge absorbs in the calculation
}

grid_spectrum cut_spectrum(const computed_spectrum& c, const spectrum_parameters& p, double step) {
    std::vector<double> x(c.e_ry.size());  // eV above the Fermi level
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = (c.e_ry[i] - p.fermi_ry) * ev_per_ry;
    const grid_spectrum fine = resample(x, c.mu, step);
    return cut_at_fermi(fine, p.gamma_ry * ev_per_ry);
}

double span_ev(const computed_spectrum& c, double fermi_ry) {
    const double first = (c.e_ry.front() - fermi_ry) * ev_per_ry;
    const double last = (c.e_ry.back() - fermi_ry) * ev_per_ry;
    return last - first;
}

grid_spectrum broaden(const grid_spectrum& cut, const spectrum_parameters& p) {
    arctan_width law = p.law;
    law.gamma_max *= p.final_scale;
    const grid_spectrum lifetime = lorentzian(cut, law);
    return gaussian(lifetime, p.resolution);
}

xas_spectrum normalised(const grid_spectrum& seen, double edge_ev, std::optional<double> e0) {
    xas_spectrum s;
    s.step = seen.step;
    for (std::size_t i = 0; i < seen.mu.size(); ++i) s.energy.push_back(edge_ev + seen.x(i));
    const double edge = e0 ? *e0 : largest_derivative(s.energy, seen.mu);
    s.norm = normalise(s.energy, seen.mu, computed_ranges(edge, s.energy.back()), e0);
    s.mu = s.norm.mu;
    for (double v : s.mu)
        if (!std::isfinite(v)) throw normalise_error("the normalised spectrum is not finite");
    return s;
}

xas_spectrum make_spectrum(const computed_spectrum& c, const spectrum_parameters& p) {
    const grid_spectrum cut = cut_spectrum(c, p, grid_step(span_ev(c, p.fermi_ry)));
    return normalised(broaden(cut, p), p.edge_ev);
}

}  // namespace korva::xas
