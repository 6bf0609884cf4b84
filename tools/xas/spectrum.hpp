// The computed absorption as a spectroscopist reads it: on the photon-energy scale of the edge,
// cut at the Fermi level, broadened by the final state's width and the instrument's resolution,
// and normalised to an edge step of 1.
#pragma once

#include <optional>
#include <vector>

#include "broadening.hpp"
#include "inputs.hpp"
#include "normalise.hpp"

namespace korva::xas {

// eV per Rydberg: the program's own factor (common/units.hpp, there in single precision).
constexpr double ev_per_ry = 13.6058;

// The grid step of the broadened spectrum (eV): the run's points lie 1 to 2 eV apart near the
// edge, too far apart for the Fermi step of a core-hole width below 1 eV. The Lorentzian of
// energy-dependent width costs the square of the points: a run that spans more than
// max_grid_points * fine_step gets the step that gives max_grid_points (about 1 s at that size
// on a 2-core machine of 2023; the copper example's 4857 points take 0.3 s).
constexpr double fine_step = 0.1;
constexpr double max_grid_points = 8000;
double grid_step(double span_ev);

struct spectrum_parameters {
    double fermi_ry = 0.0;     // E_F on the data files' scale (Ry)
    double gamma_ry = 0.0;     // the damping the data carry: half the core level's width (Ry)
    double edge_ev = 0.0;      // ENE of prompt 8: the photon energy of the Fermi level (eV)
    arctan_width law;          // the final state's width before its scale
    double final_scale = 1.0;  // multiplies law.gamma_max; 0: no final-state width
    double resolution = 1.0;   // Gaussian FWHM (eV)
};

struct xas_spectrum {
    std::vector<double> energy;  // photon energy, eV
    std::vector<double> mu;      // normalised absorption
    double step = fine_step;     // of the grid, eV
    normalisation norm;          // E0, the step (Mbarn) and the fits
};

// The post-edge range korva-xas fits: from E0 + 150 eV (Athena's default) when the spectrum
// reaches E0 + 250 eV, else from a third of the way between E0 and its end, to the end.
normalise_ranges computed_ranges(double e0, double last);

// The run's absorption on the regular grid x = k step (eV above the Fermi level, k whole, photon
// energy edge_ev + x), cut at the Fermi level: what every broadening starts from.
grid_spectrum cut_spectrum(const computed_spectrum& c, const spectrum_parameters& p, double step);

// The span of the run's energies in eV (each taken from E_F first): what grid_step() chooses
// the step from.
double span_ev(const computed_spectrum& c, double fermi_ry);

// The cut spectrum convolved with the final state's width (p.law, Gamma_max times
// p.final_scale), then with the Gaussian of p.resolution.
grid_spectrum broaden(const grid_spectrum& cut, const spectrum_parameters& p);

// The broadened spectrum on photon energies edge_ev + x, normalised with E0 at its largest
// derivative, or held at `e0` (a fit's model, whose normalisation must not jump between grid
// points as the widths change). Throws normalise_error when it has no positive edge step or a
// value that is not a finite number.
xas_spectrum normalised(const grid_spectrum& seen, double edge_ev,
                        std::optional<double> e0 = std::nullopt);

// normalised(broaden(cut_spectrum(c, p, grid_step(span_ev(c, p.fermi_ry))), p), p.edge_ev).
xas_spectrum make_spectrum(const computed_spectrum& c, const spectrum_parameters& p);

}  // namespace korva::xas
