#include "propagator/hank.hpp"

#include <cmath>

namespace korva {

std::complex<double> smith_divide(std::complex<double> num, std::complex<double> den) {
    const double a = num.real(), b = num.imag(), c = den.real(), d = den.imag();
    if (std::fabs(d) > std::fabs(c)) {
        const double r = c / d;
        const double q = c * r + d;
        return {(a * r + b) / q, (b * r - a) / q};
    }
    const double r = d / c;
    const double q = c + d * r;
    return {(a + b * r) / q, (b - a * r) / q};
}

std::complex<double> hank_wide(std::complex<double> rho, int l, double al) {
    using zd = std::complex<double>;
    zd s(1.0, 0.0);
    if (l <= 0) return s;
    const zd z = smith_divide(zd(0.0, 1.0), 2.0 * rho);  // i / (2 rho)
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
