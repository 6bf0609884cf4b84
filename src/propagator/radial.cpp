#include "propagator/radial.hpp"

#include <cmath>
#include <complex>

#include "propagator/hank.hpp"

namespace korva {

cplx radial_factor(cplx rho, int l) {
    const real al = static_cast<real>((l + 1) * l);
    const cplx sl = hank(rho, l, al);
    const real a = sl.real();
    const real b = sl.imag();
    const real c = rho.real();
    const real d = rho.imag();
    cplx h;
    if (std::fabs(d) > std::fabs(c)) {
        const real r = c / d;
        const real q = c * r + d;
        h = cplx((a * r + b) / q, (b * r - a) / q);
    } else {
        const real r = d / c;
        const real q = c + d * r;
        h = cplx((a + b * r) / q, (b - a * r) / q);
    }
    // exp(i rho) with the exponent formed as (-Im rho, Re rho).
    return cmul(h, std::exp(cplx(-d, c)));
}

}  // namespace korva
