// korva-cluster: the atom block of a KORVA deck from a CIF, mmCIF, PDB or XYZ structure, and on
// request a whole deck and a korva-psgen input (see korva-cluster --help).
#include <iostream>
#include <string>
#include <vector>

#include "cli.hpp"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return korva::cluster::run(args, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "korva-cluster: internal error: " << e.what() << "\n";
        return 1;
    }
}
