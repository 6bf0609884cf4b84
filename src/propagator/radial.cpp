#include "propagator/radial.hpp"

#include <cmath>
#include <complex>

#include "propagator/hank.hpp"

namespace korva {

cplx radial_factor(cplx rho, int l) {
    const double al = static_cast<double>(static_cast<real>((l + 1) * l));
    const std::complex<double> sl = hank_wide(std::complex<double>(rho), l, al);
    const std::complex<double> h = smith_divide(sl, std::complex<double>(rho));
    const double hr = h.real(), hi = h.imag();
    // exp(i rho) with the exponent formed as (-Im rho, Re rho).
    const std::complex<double> e =
        std::exp(std::complex<double>(-static_cast<double>(rho.imag()), rho.real()));
    return cplx(static_cast<real>(hr * e.real() - hi * e.imag()),
                static_cast<real>(hr * e.imag() + hi * e.real()));
}

}  // namespace korva
