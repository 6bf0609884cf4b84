// Polynomial factor S_l(rho) = sum over n = 0..l of (l+n)! / (n! (l-n)!) (i / (2 rho))^n of the
// outgoing spherical Hankel function, h_l(rho) = (-i)^(l+1) exp(i rho) / rho S_l(rho).
#pragma once
#include "common/types.hpp"

namespace korva {

// S_l(rho) in single precision by the two-term recurrence of its coefficients; al is
// l (l + 1) as given by the caller. 1 for l <= 0; rho must not be 0.
cplx hank(cplx rho, int l, real al);

// Plain (bilinear) complex product, (ac - bd) + i (ad + bc), with no special-value recovery.
inline cplx cmul(cplx x, cplx y) {
    return {x.real() * y.real() - x.imag() * y.imag(), x.real() * y.imag() + x.imag() * y.real()};
}

}  // namespace korva
