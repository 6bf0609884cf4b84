// The input of korva-psgen: atom types, energy grid, damping, angular-momentum range, edge data
// and output file names, read from a short keyword file.
#pragma once

#include <istream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/capacities.hpp"

namespace korva::psgen {

// Any input the tool cannot use: the message names the line and what is wrong with it.
struct psgen_error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct atom_type {
    double z;    // nuclear charge
    double rmt;  // muffin-tin radius, Bohr; 0: the scaled Norman radius (self-consistent model)
};

// Ranges the tool accepts; the program's capacities bound the points, the types and l.
constexpr int max_points = korva::NER_;  // energy points
constexpr int max_types = korva::NPH_;   // atom types (phase sets)
constexpr int max_l = korva::LMPH_;      // largest l of the table
constexpr double min_energy = 1.0e-4;    // Ry
constexpr double max_energy = 400.0;     // Ry
constexpr double max_gamma = 5.0;        // Ry

// `grid near-edge [below_ev above_ev n]`: n energies from below_ev under the Fermi level to
// above_ev over it (eV), evenly spaced in k = sqrt(E), resolved once the Fermi level is known
// (self-consistent model only). The first energy is never below near_edge_floor.
struct near_edge_grid {
    double below_ev = 5.0;
    double above_ev = 100.0;
    int n = max_points;
};
constexpr double near_edge_floor = 0.02;  // Ry: the interstitial wave number stays well above 0

struct psgen_input {
    std::string model = "self-consistent";     // or "thomas-fermi"
    std::string deck;                          // KORVA deck whose atom block gives the cluster
    double overlap = 0.10;                     // overlap of the closest pair of Norman spheres
    std::string corehole = "relaxed";          // none | z+1 | relaxed
    std::string edge_name = "K";               // K | L1 | L2 | L3
    std::string exchange = "hedin-lundqvist";  // hedin-lundqvist | dirac-hara | lda
    bool gamma_given = false;
    bool edge_given = false;  // edge energy given (edge E or edge_ev)
    std::string title;
    std::vector<atom_type> types;
    std::vector<double> energies;  // Ry, strictly increasing (empty with near_edge)
    std::optional<near_edge_grid> near_edge;
    std::string fermi = "charge-count";  // charge-count | friedel | electron-gas | given
    double fermi_given = 0.0;            // Ry above the interstitial level
    double gamma = 0.0;                  // Ry
    int lmax = 12;
    double tcut = 1.0e-6;  // |t_l| below which the high l are left out
    int lcore = 0;
    double edge = 0.0;        // edge energy, Ry
    double sigma_edge = 1.0;  // atomic cross-section at the edge, Mbarn
    std::string phase_file;
    std::string xs_file;
};

// Reads and checks the keyword input; throws psgen_error on anything it cannot use.
psgen_input read_psgen_input(std::istream& in);

// Energies of a grid from first to last (Ry) with n points, evenly spaced in E or, when in_k is
// true, in k = sqrt(E).
std::vector<double> energy_grid(double first, double last, int n, bool in_k);

// The near-edge grid about the Fermi level fermi (Ry, kinetic energy above the interstitial
// level): from max(fermi - below, near_edge_floor) to fermi + above, evenly spaced in k.
std::vector<double> near_edge_energies(const near_edge_grid& g, double fermi);

// Throws psgen_error unless the energies lie in [min_energy, max_energy], number at most
// max_points and increase strictly also in single precision (the reader tells points apart by
// their single-precision values).
void check_energies(const std::vector<double>& e);

}  // namespace korva::psgen
