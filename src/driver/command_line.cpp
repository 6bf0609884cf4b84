#include "driver/command_line.hpp"

#include <cmath>

#include "common/capacities.hpp"
#include "common/listread.hpp"
#include "driver/version.hpp"

namespace korva {

namespace {

// The three values after --polarisation, as a unit vector.
std::array<real, 3> polarisation(const std::vector<std::string>& args, std::size_t& i) {
    std::array<double, 3> v{};
    for (double& x : v) {
        if (++i >= args.size())
            throw usage_error{"--polarisation needs three numbers, the vector's x, y and z"};
        if (!parse_real(args[i], x) || !std::isfinite(x))
            throw usage_error{"--polarisation: '" + args[i] + "' is not a finite number"};
    }
    const double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(n > 0.0) || !std::isfinite(n))
        throw usage_error{"--polarisation: the vector must have a length above 0"};
    return {static_cast<real>(v[0] / n), static_cast<real>(v[1] / n), static_cast<real>(v[2] / n)};
}

}  // namespace

command_line parse_command_line(const std::vector<std::string>& args) {
    command_line cl;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help")
            cl.what = command_line::action::help;
        else if (a == "--version")
            cl.what = command_line::action::version;
        else if (a == "--polarisation" || a == "--polarization")
            cl.polarisations.push_back(polarisation(args, i));
        else if (!a.empty() && a[0] == '-')
            throw usage_error{"unknown option '" + a + "' (korva --help lists the options)"};
        else
            throw usage_error{"unexpected argument '" + a +
                              "': the input deck is read from standard input (korva < deck.in)"};
    }
    return cl;
}

std::string usage_text() {
    const std::string nat = std::to_string(NAT_), ner = std::to_string(NER_),
                      nph = std::to_string(NPH_), lmph = std::to_string(LMPH_),
                      ndm = std::to_string(NDM_);
    return "usage: korva [OPTION]... < DECK\n"
           "\n"
           "Computes the X-ray absorption near-edge signal of a cluster of atoms by full multiple\n"
           "scattering. The input deck comes on standard input: the answers to the program's\n"
           "twelve prompts (the phase-shift and cross-section file names, the prefix of the\n"
           "output files, the atoms, the cut-offs, the output flags, the k mesh); the data files\n"
           "it names are read from the working directory. The whole deck is checked before the\n"
           "first energy point.\n"
           "\n"
           "Output: the prompts, the progress of every energy point and the signal table on\n"
           "standard output; the plot files PREFIX_kor.dat (signal against k), .sig (cross\n"
           "sections against energy), .chi (k-weighted chi(k)) and .fou (its Fourier transform)\n"
           "in the working directory, put in place only when the run has finished.\n"
           "\n"
           "Options:\n"
           "  -h, --help     this text, without reading standard input\n"
           "  --version      the version and the capacities of this build\n"
           "  --polarisation EX EY EZ\n"
           "                 the signal for linear polarisation along (EX, EY, EZ), in the\n"
           "                 deck's frame (normalised; K and L1 edges, lcore = 0). Repeated: one\n"
           "                 column of the signal table and one curve of the .dat and .sig\n"
           "                 plots per vector, in order; chi(k) and its transform are the first\n"
           "                 vector's. Without it: the isotropic spectrum.\n"
           "Threads: OMP_NUM_THREADS (default: every core).\n"
           "\n"
           "Capacities of this build: " +
           nat + " atoms, " + ner + " energy points, " + nph + " phase sets,\nl up to " + lmph +
           " in the phase-shift file, matrix order " + ndm +
           ".\n"
           "\n"
           "Exit status: 0 the run ended orderly (warnings included); 1 the run stopped with a\n"
           "message of its own on standard output (or an option was refused); 2 a deck or data\n"
           "value could not be read, or an input ended early; 3 an output could not be written.\n";
}

std::string version_text() {
    return std::string("korva ") + korva_version + " (" + korva_edition +
           "); capacities: " + std::to_string(NAT_) + " atoms, " + std::to_string(NER_) +
           " energy points, " + std::to_string(NPH_) + " phase sets, l up to " +
           std::to_string(LMPH_) + ", matrix order " + std::to_string(NDM_) + "\n";
}

}  // namespace korva
