#include "xsection.hpp"

#include <cmath>
#include <numbers>

namespace korva::psgen {

double hydrogenic_law(double x) {
    const double e4 = 0.01831564;  // e^{-4} to 7 digits, as the law is quoted; f(0) = 1 - 5e-8
    // Below 1e-12 every factor equals its limit to double precision.
    if (x <= 1.0e-12) return std::exp(-4.0) / e4;
    const double s = std::sqrt(x);
    return std::exp(-4.0 / s * std::atan(s)) / e4 / std::pow(1.0 + x, 4) /
           (1.0 - std::exp(-2.0 * std::numbers::pi / s));
}

}  // namespace korva::psgen
