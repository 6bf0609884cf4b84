// Polynomial factor S_l(rho) = sum over n = 0..l of (l+n)! / (n! (l-n)!) (i / (2 rho))^n of the
// outgoing spherical Hankel function, h_l(rho) = (-i)^(l+1) exp(i rho) / rho S_l(rho).
#pragma once
#include <complex>

#include "common/types.hpp"

namespace korva {

// S_l(rho) by the two-term recurrence of its coefficients, in double precision: for l near
// |rho| the terms exceed the sum by up to 1e8 (l = 40), which single precision cannot carry;
// in double the sum is good to about 1e-8 relative there. al is l (l + 1) as given by the
// caller. 1 for l <= 0; rho must not be 0.
std::complex<double> hank_wide(std::complex<double> rho, int l, double al);

// num / den by Smith's scaled division: the larger component of den divides first, so no
// intermediate overflows where the quotient fits.
std::complex<double> smith_divide(std::complex<double> num, std::complex<double> den);

// hank_wide of the widened arguments, rounded to single precision (infinite where S_l itself
// does not fit).
cplx hank(cplx rho, int l, real al);

// Plain (bilinear) complex product, (ac - bd) + i (ad + bc), with no special-value recovery.
inline cplx cmul(cplx x, cplx y) {
    return {x.real() * y.real() - x.imag() * y.imag(), x.real() * y.imag() + x.imag() * y.real()};
}

}  // namespace korva
