#include "propagator/hank.hpp"

#include <cmath>

namespace korva {

cplx hank(cplx rho, int l, real al) {
    cplx s(1.0f, 0.0f);
    if (l <= 0) return s;
    // z = i / (2 rho), dividing by the larger component of 2 rho = c + i d.
    const real c = 2.0f * rho.real();
    const real d = 2.0f * rho.imag();
    cplx z;
    if (std::fabs(d) > std::fabs(c)) {
        const real r = c / d;
        const real q = c * r + d;
        z = cplx(1.0f / q, r / q);
    } else {
        const real r = d / c;
        const real q = c + d * r;
        z = cplx(r / q, 1.0f / q);
    }
    cplx t(al * z.real(), al * z.imag());
    s = cplx(s.real() + t.real(), s.imag() + t.imag());
    if (l == 1) return s;
    for (int n = 2; n <= l; ++n) {
        // Ratio of consecutive coefficients, (l + n)(l - n + 1) / n, formed from al.
        const real f = al / static_cast<real>(n) - static_cast<real>(n - 1);
        t = cmul(t, z);
        t = cplx(t.real() * f, t.imag() * f);
        s = cplx(s.real() + t.real(), s.imag() + t.imag());
    }
    return s;
}

}  // namespace korva
