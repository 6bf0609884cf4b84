// The korva-xanes command: from a structure file (and a measurement) to the picture, through
// korva-cluster, korva-psgen, korva and korva-xas run as child processes in a run folder.
#pragma once

#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace korva::xanes {

constexpr int exit_wrong_value = 1;  // an option korva-xanes refuses, a folder that exists
constexpr int exit_unreadable = 2;   // input it cannot read
constexpr int exit_write = 3;        // a folder or file it cannot write

// One line for standard error (without "korva-xanes: ") and the exit status.
struct xanes_error : std::runtime_error {
    int status;
    xanes_error(int st, const std::string& what) : std::runtime_error(what), status(st) {}
};

constexpr double default_radius = 6.0;  // Angstrom: five shells of fcc copper, 79 atoms

struct options {
    std::string structure;
    std::string absorber;
    double radius = default_radius;
    std::string edge;  // empty: korva-cluster's default (K)
    std::string exp;   // the measurement
    bool fit = false;
    std::string folder;       // empty: NAME_WHO beside the working folder
    bool every_atom = false;  // XYZ, PDB, mmCIF: every atom of the element absorbs
    std::optional<int> max_atoms, points;
    int jobs = 0, threads = 0;          // 0: from the machine's cores
    std::vector<std::string> launcher;  // before korva's path: "mpirun -n 4"
    std::string korva;                  // korva's path in place of the one found (an MPI build)
    std::vector<std::string> xas;       // more arguments for korva-xas
    bool prepare = false;               // --prepare: the folder and its scripts, nothing run
    bool help = false;
};

std::string_view help_text();

// Throws xanes_error (status 1) for anything it cannot use.
options parse_options(const std::vector<std::string>& args);

// `args` after the program name; `self` the path korva-xanes was started as (its programs are
// found from it). Progress and the summary go to `out`, one line on an error to `err`.
int run(const std::vector<std::string>& args, const std::string& self, std::ostream& out,
        std::ostream& err);

}  // namespace korva::xanes
