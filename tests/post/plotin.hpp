// Writes the header of a fixed-axis plot and picks a symbol size; strips a directory from a name.
// No part of the program calls these plot-file helpers; they are kept, with their tests, beside
// the tests of the plot writers.
#pragma once
#include <ostream>
#include <string>

#include "common/types.hpp"

namespace korva {

// Writes the header on `file`, its top title naming `connected_name` (the file `file` is
// connected to) without its directory part; size becomes 0.65 (flag 0), 0.55 (2) or 0.75
// (3, 4) and is left alone for any other flag.
void plotin(std::ostream& file, const std::string& connected_name, int flag, real& size);

// Moves what follows the first "]" of the 80-character name to its start, blank-filling the
// end; a name without "]" is unchanged. The name is taken as 80 characters (a shorter one as
// blank-padded, a longer one cut) and comes back with exactly 80.
void nome(std::string& name);

}  // namespace korva
