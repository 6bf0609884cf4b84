// Scattering amplitudes t_l = exp(i delta_l) sin(delta_l) of one muffin-tin potential at a complex
// energy, from the regular radial solution matched to free spherical waves at the sphere.
#pragma once

#include <complex>
#include <vector>

#include "radial.hpp"

namespace korva::psgen {

using cdouble = std::complex<double>;

// Photoelectron wave number sqrt(E + i gamma), principal root: Im k >= 0, so e^{ikr} is damped.
cdouble wave_number(double energy, double gamma);

// t_l from the boundary values of R_l at rmt and the wave number k:
// t_l = i (k j_l' R - R' j_l) / (k h_l' R - R' h_l), arguments k rmt, h_l = j_l + i y_l.
// This is tan(delta)/(1 - i tan(delta)) with tan(delta) = (k j' R - R' j)/(k y' R - R' y), and
// stays finite when R(rmt) = 0.
cdouble tl_from_boundary(cdouble k, double rmt, int l, const radial_boundary& b);

// t_l for l = 0..lmax of the potential v inside a sphere of radius rmt at energy E + i gamma.
std::vector<cdouble> tl_all(const radial_potential& v, double rmt, double energy, double gamma,
                            int lmax);

// S_l = exp(2 i delta_l) = 1 + 2 i t_l.
inline cdouble s_from_t(cdouble t) {
    return 1.0 + 2.0 * cdouble(0.0, 1.0) * t;
}

}  // namespace korva::psgen
