// Writes the curves of a plot file as plain columns: a comment line naming each curve, then one
// "x y" line per point in shortest round-trip form.
#pragma once

#include <ostream>
#include <string>

#include "plot_file.hpp"

namespace korva::plot {

// How the curve is drawn, as its comment line says it: "PLOT+JOIN, symbol 2P", "JOIN",
// "PLOT, default symbol".
std::string describe(const curve& c);

// Blocks are separated by one blank line; `after_other_output` puts one before the first block
// too. A file without curves gives the single comment line "# no curves in NAME".
void write_columns(const plot_file& plot, const std::string& name, std::ostream& out,
                   bool after_other_output);

}  // namespace korva::plot
