// Radial factor H_l(rho) = exp(i rho) / rho S_l(rho) = i^(l+1) h_l(rho) shared by the three
// propagator builders.
#pragma once
#include "common/types.hpp"

namespace korva {

// H_l(rho) in single precision: S_l from hank, divided by rho (scaled division), times
// exp(i rho). rho must not be 0.
cplx radial_factor(cplx rho, int l);

}  // namespace korva
