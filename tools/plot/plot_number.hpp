// Reads one real number in the forms plot files use ("0.", ".5", "+.75", "1e-05", "1.5D+00") and
// prints a value back in its shortest round-trip form.
#pragma once

#include <string>
#include <string_view>

namespace korva::plot {

// True when `token` is exactly one finite real; `value` is set only then. Fortran's D exponent
// is taken as E. Infinities, NaNs and values beyond the double range are refused.
bool parse_real(std::string_view token, double& value);

// Shortest text that reads back as the same double ("2.5", "-0.0123", "1e-05").
std::string shortest(double value);

}  // namespace korva::plot
