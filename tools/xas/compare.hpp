// A computed spectrum held against a measured one: both normalised the same way, the computed
// one shifted in energy and scaled, the two compared on the measured energies of a window about
// the measured edge by Pearson's r, the R-factor and the shift that aligns them.
#pragma once

#include <cstddef>
#include <vector>

#include "measured.hpp"
#include "normalise.hpp"

namespace korva::xas {

// The window of the comparison, eV about the measured E0.
struct window_range {
    double lo = -10.0, hi = 80.0;
};

// A measured spectrum ready for the comparison: normalised as the computed one is (a column
// that is normalised already keeps its values; its E0 is the largest derivative all the same).
struct measurement {
    measured_spectrum file;
    normalisation norm;              // E0, the edge step and the fits (step 1 when kept)
    std::vector<double> energy, mu;  // the points in the window: eV, normalised
    std::vector<int> lines;          // their lines in the file
    window_range window;
};

// Normalises the measured spectrum (a pre-edge line over E0-150..E0-30 eV, the post-edge range
// of ranges_for) and keeps the points within the window. Throws normalise_error when it cannot
// be normalised, xas_error (status 1) when fewer than 3 points lie in the window.
measurement prepare_measurement(const measured_spectrum& m, const window_range& w);

// A computed spectrum on the regular grid e0 + i step (eV), continued beyond its ends as its end
// values (as the broadening continues it).
struct computed_line {
    double e0 = 0.0, step = 0.1;
    std::vector<double> mu;

    double first() const { return e0; }
    double last() const { return e0 + step * static_cast<double>(mu.size() - 1); }
    double at(double e) const;  // straight lines between the grid's points
};

// scale * c(E - shift) at the measurement's energies.
std::vector<double> model_values(const measurement& m, const computed_line& c, double shift,
                                 double scale);

struct figures {
    double r = 0.0;        // Pearson's correlation coefficient
    double rfactor = 0.0;  // sum (m - t)^2 / sum m^2
};

figures figures_of(const std::vector<double>& measured, const std::vector<double>& model);

// The step of the search for the shift that aligns the spectra, eV.
constexpr double shift_search_step = 0.05;

// The shift within [lo, hi] (on a grid of shift_search_step) that maximises r at scale 1.
// Throws xas_error (status 1), naming the measured file, when the window and the computed
// spectrum do not overlap at any shift within the bounds.
double best_shift(const measurement& m, const computed_line& c, double lo, double hi);

}  // namespace korva::xas
