#include "propagator/radial.hpp"

#include <cmath>
#include <complex>

#include "propagator/hank.hpp"

namespace korva {

cplx radial_factor(cplx rho, int l) {
    const double al = static_cast<double>(static_cast<real>((l + 1) * l));
    const std::complex<double> sl = hank_wide(std::complex<double>(rho), l, al);
    const double a = sl.real();
    const double b = sl.imag();
    const double c = rho.real();
    const double d = rho.imag();
    double hr, hi;
    if (std::fabs(d) > std::fabs(c)) {
        const double r = c / d;
        const double q = c * r + d;
        hr = (a * r + b) / q;
        hi = (b * r - a) / q;
    } else {
        const double r = d / c;
        const double q = c + d * r;
        hr = (a + b * r) / q;
        hi = (b - a * r) / q;
    }
    // exp(i rho) with the exponent formed as (-Im rho, Re rho).
    const std::complex<double> e = std::exp(std::complex<double>(-d, c));
    return cplx(static_cast<real>(hr * e.real() - hi * e.imag()),
                static_cast<real>(hr * e.imag() + hi * e.real()));
}

}  // namespace korva
