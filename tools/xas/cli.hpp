// The korva-xas command: reads a finished run (deck, cross-section plot file, data files'
// comment lines), turns its absorption into the spectrum a spectroscopist compares with a
// measurement and writes it as an XDI file (and pictures on request); returns the exit status.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "compare.hpp"
#include "fit.hpp"

namespace korva::xas {

// Limits of the options: wider values are refused as mistakes.
constexpr double max_resolution = 20.0;   // eV, FWHM
constexpr double max_final_scale = 10.0;  // times Gamma_max
constexpr double max_fermi = 100.0;       // Ry, either sign
constexpr double max_window = 2000.0;     // eV about E0, either side
constexpr int max_iterations_limit = 100000;

// The fit's parameters: their names, units, default bounds and starts. The shift starts where
// the spectra align best (the largest r), the scale at the least-squares scale there, the
// resolution and the final-state width at their options' values.
fit_parameters default_parameters();

struct options {
    std::string deck;
    std::string out;
    std::string png, svg;         // empty: no picture
    std::optional<double> fermi;  // Ry, overrides the data files' headers
    std::optional<std::string> element, edge;
    double resolution = 1.0;  // eV, Gaussian FWHM
    std::optional<double> final_scale;
    std::string runs;                      // --runs: a run list in place of the deck
    std::string exp, exp_column, compare;  // the measurement; the comparison's XDI file
    window_range window;
    bool fit = false;
    fit_parameters params = default_parameters();  // bounds, free or fixed
    std::optional<double> shift, scale;            // given: the start (or the fixed value)
    int max_iterations = 200;
    bool check = false;  // --check: the options (and the measurement) only, nothing run
    bool help = false;

    bool measurement_only() const { return deck.empty() && runs.empty(); }
};

std::string_view help_text();

// Throws xas_error (status 1) for anything it cannot use.
options parse_options(const std::vector<std::string>& args);

// `args` are the arguments after the program name. Standard output gets one summary, standard
// error one line on an error (and warnings); no file is written unless the whole run succeeds.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace korva::xas
