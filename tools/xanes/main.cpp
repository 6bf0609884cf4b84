// korva-xanes: from a structure file (and a measurement) to the spectrum and its picture, by
// running korva-cluster, korva-psgen, korva and korva-xas (see korva-xanes --help).
#include <iostream>
#include <string>
#include <vector>

#include "cli.hpp"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return korva::xanes::run(args, argv[0], std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "korva-xanes: internal error: " << e.what() << "\n";
        return 1;
    }
}
