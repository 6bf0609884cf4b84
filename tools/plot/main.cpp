// korva-plot: draws KORVA's plot-command files as PNG, SVG or PDF, or lists their curves.
#include <iostream>
#include <string>
#include <vector>

#include "cli.hpp"
#include "draw_cairo.hpp"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    int status = korva::plot::run(args, std::cout, std::cerr);
    korva::plot::release_font_caches();
    return status;
}
