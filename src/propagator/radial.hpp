// Radial factor H_l(rho) = exp(i rho) / rho S_l(rho) = i^(l+1) h_l(rho) shared by the three
// propagator builders.
#pragma once
#include "common/types.hpp"

namespace korva {

// H_l(rho) for the single-precision argument rho: S_l from hank_wide, divided by rho (scaled
// division) and times exp(i rho), all in double precision and rounded once, so it is finite and
// good to about a single-precision rounding wherever H_l fits single precision, even where S_l
// or S_l / rho alone would not. Infinite where H_l itself does not fit (large l at small
// |rho|). rho must not be 0.
cplx radial_factor(cplx rho, int l);

}  // namespace korva
