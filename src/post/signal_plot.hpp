// The plot files of the signal: against k (".dat", written point by point during the energy
// loop) and the cross sections against energy (".sig", written at the end).
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "common/types.hpp"

namespace korva {

// Header of the signal plot; `name` is the file's own name, its title.
void dat_header(std::ostream& f, const std::string& name);
// One point: k (1/Angstrom) and the signal weighted by k^esp.
void dat_point(std::ostream& f, real k, real xtot, real esp);
// End of one channel's curve; `more` when another channel's curve follows.
void dat_curve_end(std::ostream& f, bool more);

// The names of the curves of a polarised run, one title line each at the top left of the frame
// ("e1 = (1, 0, 0)"): a plotter shows them as text, korva-plot also names its legend after them.
void polarisation_titles(std::ostream& f, const std::vector<std::string>& names);

// One curve of the cross-section plot: the energies (Ry) and, per energy, the atomic cross
// section and the total signal of one channel.
struct sig_curve {
    const real* sig0;  // atomic cross-section (Mbarn) of each point
    const real* xtot;  // normalised signal of each point
};

// The experimental points of the comparison: energies (eV) and values as read.
struct sig_experiment {
    const std::vector<real>& energy;
    const std::vector<real>& value;
    real smallest;  // the smallest value read, the zero of the plot
    real ene, fac;  // edge energy (eV) and scale of the values
};

// The whole cross-section plot of nen points: for each channel (or polarisation, named by
// `names`) the total cross section sig0 (xtot + 1) and the atomic one, then the experimental
// points when there are any.
void write_sig_plot(std::ostream& f, const std::string& name, int nen, const real* eph,
                    const std::vector<sig_curve>& curves, const sig_experiment* x,
                    const std::vector<std::string>& names = {});

}  // namespace korva
