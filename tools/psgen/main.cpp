// korva-psgen: writes a phase-shift file and a cross-section file for KORVA from a keyword input
// (file named on the command line, or standard input).
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "atom_scf.hpp"
#include "common/errors.hpp"
#include "common/whole_files.hpp"
#include "elements.hpp"
#include "psgen_input.hpp"
#include "pstables.hpp"
#include "sc_model.hpp"

namespace {

constexpr const char* usage =
    "usage: korva-psgen [INPUT]   (no INPUT or '-' reads standard input)\n"
    "       korva-psgen --atom Z|SYMBOL [--scalar-relativistic] [--config \"...\"]\n"
    "writes the phase-shift and cross-section files named in INPUT (see tools/psgen/README.md);\n"
    "--atom prints the self-consistent LDA energies and eigenvalues of one atom, in Hartree\n";

// korva-psgen --atom Z [--scalar-relativistic] [--config "..."]: status 0, 1 on an input the
// solver cannot use, 2 on a malformed command line.
int atom_command(int argc, char** argv) {
    using namespace korva::psgen;
    std::string element, config;
    bool rel = false;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--scalar-relativistic") {
            rel = true;
        } else if (a == "--config" && i + 1 < argc) {
            config = argv[++i];
        } else if (element.empty() && i == 2) {
            element = a;
        } else {
            std::cerr << usage;
            return 2;
        }
    }
    if (element.empty()) {
        std::cerr << usage;
        return 2;
    }
    try {
        const int z = parse_element(element);
        const configuration c = config.empty() ? ground_state(z) : parse_configuration(config, z);
        atom_options o;
        o.relativistic = rel;
        const atom_solution a = solve_atom(z, c, o);
        std::cout << z << " " << element_symbol(z) << " " << configuration_text(c) << "  "
                  << (rel ? "ScRLDA" : "LDA") << "\n";
        print_atom(std::cout, a);
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "korva-psgen: " << e.what() << "\n";
        return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    using namespace korva::psgen;
    if (argc >= 2 && std::string(argv[1]) == "--atom") return atom_command(argc, argv);
    if (argc > 2 ||
        (argc == 2 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help"))) {
        std::cerr << usage;
        return argc > 2 ? 2 : 0;
    }
    try {
        psgen_input p;
        if (argc == 2 && std::string(argv[1]) != "-") {
            std::ifstream in(argv[1]);
            if (!in) throw psgen_error(std::string("cannot open ") + argv[1]);
            p = read_psgen_input(in);
        } else {
            p = read_psgen_input(std::cin);
        }
        const psgen_tables tb =
            p.model == "thomas-fermi" ? psgen_compute(p) : compute_self_consistent(p, std::cout);
        std::ostringstream ps, xs;
        write_phase_file(ps, p, tb);
        write_xs_file(xs, p, tb);
        korva::write_whole_files({{p.phase_file, ps.str()}, {p.xs_file, xs.str()}});

        std::cout << "korva-psgen: " << tb.energies.size() << " energy points, " << p.types.size()
                  << " type(s), " << tb.xs.front().size() << " cross-section record(s) per point\n";
        for (std::size_t it = 0; it < p.types.size(); ++it)
            std::cout << "  type " << it + 1 << ": Z = " << p.types[it].z
                      << ", rmt = " << tb.rmt[it] << " Bohr, l cut " << tb.lcut.front()[it]
                      << " .. " << tb.lcut.back()[it] << "\n";
        if (tb.fermi)
            std::cout << "  Fermi level " << *tb.fermi << " Ry above the interstitial level\n";
        std::cout << "  wrote " << p.phase_file << " and " << p.xs_file << "\n";
        return 0;
    } catch (const korva::write_error& e) {
        std::cerr << "korva-psgen: cannot write " << e.file << ": " << e.reason << "\n";
        return 3;
    } catch (const std::exception& e) {
        std::cerr << "korva-psgen: " << e.what() << "\n";
        return 1;
    }
}
