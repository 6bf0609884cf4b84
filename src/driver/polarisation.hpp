// Linearly polarised spectra of a K or L1 edge (final state l = 1): the polarisation vector in
// the cluster's frame and the combination of the absorber's p channels the dipole selects.
#pragma once
#include <array>
#include <string>

#include "common/types.hpp"
#include "geometry/angles.hpp"
#include "recursion/haykor.hpp"

namespace korva {

using vec3 = std::array<real, 3>;

// A vector of the deck's Cartesian frame in the cluster's frame of `angles`: z along bond 1, x
// the reference direction of the azimuths (for a cluster on one line, any direction normal to
// z), y = z x x.
vec3 cluster_frame_vector(const angles_frame& f, const vec3& e);

// The plots' name of vector k: "e2 = (0.577, 0.577, 0.577)".
std::string polarisation_name(int k, const vec3& e);

// The start of the recursion for the unit polarisation vector e (cluster frame): on the
// absorber's channels (1, m), m = -1, 0, 1 (layout indices with the |m| cut-off mmax >= 1),
// right coefficients c_m = sqrt(4 pi / 3) conj(Y_1m(e)), that is c_0 = e_z and
// c_(+-1) = (-+e_x + i e_y) / sqrt 2, and left coefficients conj(c_m); sum_m |c_m|^2 = 1, so the
// recursion gives sum_mm' conj(c_m) (gt^-1)(m, m') c_m'. The three coefficient vectors of x,
// y and z are orthonormal: their values sum to the trace over m.
recursion_start polarised_start(const vec3& e, int mmax);

}  // namespace korva
