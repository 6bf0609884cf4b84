// Reads a plot-command file into a plot_file: commands, titles with their CASE controls and data
// lines, grouped into curves by the PLOT and JOIN lines.
#pragma once

#include <istream>
#include <ostream>
#include <string>

#include "plot_file.hpp"

namespace korva::plot {

// A line that cannot be read: a malformed data line. `line` is 1-based.
struct plot_error {
    int line = 0;
    std::string what;
};

// Reads the whole stream. Unknown commands and unreadable command arguments are reported on
// `warn` as "NAME:LINE: warning: ..." and skipped; a malformed data line throws plot_error.
plot_file read_plot(std::istream& in, const std::string& name, std::ostream& warn);

}  // namespace korva::plot
