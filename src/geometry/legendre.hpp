// Orthonormal spherical harmonics Y(l, m) at azimuth 0 of one direction cosine, for all l up to
// a given order, by explicit expansion of the Legendre polynomials in double precision.
#pragma once
#include <ostream>

namespace korva {

// Fills plm[full_index(l, m) - 1] = Y(l, m)(theta, 0), Z = cos(theta), for l = 0..lmx and
// m = -l..l (Condon-Shortley phase, Y(l, -m) = (-1)^m Y(l, m)). An order above 100 is lowered
// to 100 and a cosine outside [-1, 1] is clamped, both in the caller's variables, with
// messages on `out`. `capacity` is the length of plm: orders whose entries would not fit are
// left out.
void legendre(std::ostream& out, double& z, int capacity, int& lmx, double* plm);

// One differentiation step, in place, of the polynomial coe[p - 1] = coefficient of Z^(p - 1)
// in the sequence for angular momentum l that starts from (Z^2 - 1)^l: divides by nd for a
// Rodrigues step (m = 0), by sqrt((l + m)(l - m + 1)) for the associated step m (nd = 0).
// g counts the derivatives already taken and is increased by one. `capacity` and `order` only
// describe the caller's array and order.
void derlag(int capacity, int order, double* coe, int l, int nd, int m, int& g);

}  // namespace korva
