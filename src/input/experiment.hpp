// The experimental file of the cross-section comparison: energy and value per record.
#pragma once
#include <istream>
#include <ostream>
#include <vector>

#include "common/types.hpp"

namespace korva {

struct experiment {
    std::vector<real> energy, value;  // energies in eV (values up to 100 read as keV)
    real smallest = 1.0e20f;
};

// Records of energy and value until the end of the file or a record that cannot be read; a
// record that is not a pair of finite numbers ends the reading with a warning.
void read_experiment(std::istream& f, std::ostream& out, experiment& x);

}  // namespace korva
