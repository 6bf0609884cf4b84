// Several runs of one edge (the sites of a crystal, the frames of a trajectory): each run's
// spectrum broadened alike and normalised on its own, then their weighted mean and spread on
// the photon energies they share. One run is an ensemble of one, whose mean is its spectrum.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "compare.hpp"
#include "spectrum.hpp"

namespace korva::xas {

struct member {
    std::string label;
    double weight = 1.0;
    spectrum_parameters p;  // its own Fermi level, damping, ENE and default widths
    grid_spectrum cut;      // cut at its Fermi level, on the ensemble's step
};

// The widths every member gets: the resolution always, the final-state scale when given (else
// each member keeps its own).
struct widths {
    double resolution = 1.0;
    std::optional<double> final_scale;
};

struct ensemble {
    std::vector<xas_spectrum> each;           // every member's whole spectrum
    std::vector<double> energy;               // the shared photon energies, eV
    std::vector<std::vector<double>> shared;  // every member on them
    std::vector<double> mean, spread;         // weighted mean and standard deviation
    double step = fine_step;

    computed_line mean_line() const;
    computed_line spread_line() const;
};

// The members' common grid step: the one the widest span needs (grid_step).
double ensemble_step(const std::vector<double>& spans);

// The members' spectra with these widths, each normalised at its largest derivative, or at
// e0[i] when given (a fit's model). The spread is the weighted standard deviation about the
// weighted mean, sqrt(sum w (x - mean)^2 / sum w): the spread of the members themselves. Throws
// xas_error (status 1) when the members share fewer than 3 energies, normalise_error as
// normalised() does.
ensemble combine(const std::vector<member>& m, const widths& w, const std::vector<double>& e0 = {});

// The weighted mean as a fit evaluates it again and again: E0 of every member held, each
// member's Lorentzian kept while the final-state scale stays the same (the costly step: its
// cost is the square of the grid's points).
class ensemble_model {
  public:
    ensemble_model(const std::vector<member>& m, std::vector<double> e0);
    computed_line mean(const widths& w);

  private:
    const std::vector<member>& members_;
    std::vector<double> e0_;
    std::vector<std::optional<double>> scale_;  // the final-state scale of each cached one
    std::vector<grid_spectrum> lorentzian_;
};

}  // namespace korva::xas
