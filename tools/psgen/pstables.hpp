// Phase-shift and cross-section tables of a psgen input, and the two text files KORVA reads.
#pragma once

#include <complex>
#include <optional>
#include <ostream>
#include <vector>

#include "psgen_input.hpp"

namespace korva::psgen {

using cdouble = std::complex<double>;

struct xs_record {
    int l0;          // final-state channel
    double x;        // photon energy above the edge over the edge energy
    double law;      // hydrogenic_law(x)
    double sigma;    // atomic cross-section of the channel, Mbarn
    cdouble factor;  // exp(2 i delta_l0) of type 1, outgoing-wave convention
};

// Physical (outgoing-wave) values: Im k >= 0, Im t_l >= 0 for real phase shifts.
struct psgen_tables {
    std::vector<double> energies;
    std::vector<cdouble> k;                            // per energy
    std::vector<std::vector<std::vector<cdouble>>> t;  // [energy][type][l], l = 0..lmax
    std::vector<std::vector<int>> lcut;                // [energy][type]: largest l written
    std::vector<std::vector<xs_record>> xs;            // [energy][channel]
    // What the tables were made with (the self-consistent model chooses them itself):
    std::vector<double> rmt;  // per type, muffin-tin radius, Bohr
    double gamma = 0.0;       // damping, Ry
    double edge = 0.0;        // edge energy, Ry
    // Fermi level, Ry above the interstitial level (self-consistent model; the files' headers
    // carry it as "| E_F <value> Ry").
    std::optional<double> fermi;
};

// Final-state channels of a core state lcore: {1} for lcore = 0, else {lcore-1, lcore+1}.
std::vector<int> final_channels(int lcore);

// Share of the atomic cross-section in channel l0 for core state lcore: 1 for lcore = 0, else the
// dipole angular weights lcore/(2 lcore+1) for l0 = lcore-1 and (lcore+1)/(2 lcore+1) for lcore+1.
double channel_weight(int lcore, int l0);

// Largest l written at each energy: the highest l with |t_l| >= tcut, at least max(2, lcore+1),
// never lower than at the previous energy, at most lmax.
std::vector<int> adaptive_lcut(const std::vector<std::vector<cdouble>>& t_by_energy, double tcut,
                               int lfloor);

// Computes everything with the Thomas-Fermi model; throws psgen_error if any value comes out
// non-finite.
psgen_tables psgen_compute(const psgen_input& p);

// Fills tb.lcut from tb.t (adaptive_lcut per type, floor max(2, lcore + 1)).
void set_lcut(const psgen_input& p, psgen_tables& tb);

// The files hold the complex conjugates of k, t_l and the factor, because KORVA conjugates them
// when it reads them. One comment line first, then one record per line.
void write_phase_file(std::ostream& os, const psgen_input& p, const psgen_tables& tb);
void write_xs_file(std::ostream& os, const psgen_input& p, const psgen_tables& tb);

}  // namespace korva::psgen
