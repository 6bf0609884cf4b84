// korva-xas: the absorption of a finished korva run as the spectrum a spectroscopist compares
// with a measurement, written as an XDI file (see korva-xas --help).
#include <iostream>
#include <string>
#include <vector>

#include "cli.hpp"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return korva::xas::run(args, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "korva-xas: internal error: " << e.what() << "\n";
        return 1;
    }
}
