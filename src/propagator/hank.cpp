#include "propagator/hank.hpp"

#include <cmath>

namespace korva {

std::complex<double> hank_wide(std::complex<double> rho, int l, double al) {
    using zd = std::complex<double>;
    zd s(1.0, 0.0);
    if (l <= 0) return s;
    // z = i / (2 rho), dividing by the larger component of 2 rho = c + i d.
    const double c = 2.0 * rho.real();
    const double d = 2.0 * rho.imag();
    zd z;
    if (std::fabs(d) > std::fabs(c)) {
        const double r = c / d;
        const double q = c * r + d;
        z = zd(1.0 / q, r / q);
    } else {
        const double r = d / c;
        const double q = c + d * r;
        z = zd(r / q, 1.0 / q);
    }
    zd t(al * z.real(), al * z.imag());
    s = zd(s.real() + t.real(), s.imag() + t.imag());
    if (l == 1) return s;
    for (int n = 2; n <= l; ++n) {
        // Ratio of consecutive coefficients, (l + n)(l - n + 1) / n, formed from al.
        const double f = al / static_cast<double>(n) - static_cast<double>(n - 1);
        t = zd(t.real() * z.real() - t.imag() * z.imag(),
               t.real() * z.imag() + t.imag() * z.real());
        t = zd(t.real() * f, t.imag() * f);
        s = zd(s.real() + t.real(), s.imag() + t.imag());
    }
    return s;
}

cplx hank(cplx rho, int l, real al) {
    const std::complex<double> s = hank_wide(std::complex<double>(rho), l, static_cast<double>(al));
    return cplx(static_cast<real>(s.real()), static_cast<real>(s.imag()));
}

}  // namespace korva
