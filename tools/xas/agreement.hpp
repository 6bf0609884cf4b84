// How well a computed spectrum (one run or the mean of several) agrees with a measurement: the
// shift that aligns them, then, on request, the least-squares fit of the shift, the amplitude
// scale, the Gaussian resolution and the final-state width; the figures before and after.
#pragma once

#include <vector>

#include "cli.hpp"
#include "compare.hpp"
#include "ensemble.hpp"
#include "fit.hpp"

namespace korva::xas {

struct agreement {
    fit_parameters p;  // the values of the result, with their errors after a fit
    figures start;     // at the aligning shift, scale 1 (or --shift, --scale)
    double start_shift = 0.0, start_scale = 1.0;
    figures result;  // with p: after the fit, or the start again without one
    bool fitted = false;
    fit_outcome outcome;
    widths w;           // the widths of the final spectrum
    ensemble spectrum;  // the final spectrum, E0 of each member at its largest derivative
};

// Throws xas_error (status 1, naming the measured file) when the spectra do not overlap or the
// fit does not converge, normalise_error when a spectrum cannot be normalised.
agreement hold_against(const measurement& m, const std::vector<member>& members, const options& o);

}  // namespace korva::xas
