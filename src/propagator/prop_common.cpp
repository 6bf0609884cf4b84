#include "propagator/prop_common.hpp"

#include "common/textio.hpp"

namespace korva {

std::string coeff_count_line(int ind, int lmax) {
    // Column 1 is a blank, " >>>>  " fills columns 2-8; 68 columns in all.
    return std::string(" ") + " >>>>  " + field_i(ind, 6) + " COEFF.    COMPUTED   " +
           "Lmax =" + field_i(lmax, 4) + std::string(12, ' ') + "      <<<<";
}

void write_cutoff_warning(std::ostream& out, const char* name, int lmax) {
    out << (record() << std::string(" WARNING IN SUBROUTINE \"") + name + "\" "
                     << "PARAMETER LMAX MUST BE " << lmax << " AT LEAST");
}

void report_coefficients(std::ostream& out, int ind, int lmax, int nind, const char* where) {
    out << coeff_count_line(ind, lmax) << '\n';
    if (ind > nind) out << (record() << " *** DIMENSION ERROR IN " << where << ind << " ***");
}

}  // namespace korva
