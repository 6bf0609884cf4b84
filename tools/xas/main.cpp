// korva-xas: the absorption of a finished korva run as the spectrum a spectroscopist compares
// with a measurement, written as an XDI file (see korva-xas --help).
#include <iostream>
#include <string>
#include <vector>

#include "cli.hpp"
#include "draw_cairo.hpp"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    int status = 1;
    try {
        status = korva::xas::run(args, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "korva-xas: internal error: " << e.what() << "\n";
    }
    // Font caches released so that a leak checker sees only the program's own memory.
    korva::plot::release_font_caches();
    return status;
}
