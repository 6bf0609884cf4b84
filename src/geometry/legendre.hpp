// Orthonormal spherical harmonics Y(l, m) at azimuth 0 of one direction cosine, for all l up to
// a given order, by the stable recurrences of the normalised associated Legendre functions in
// double precision.
#pragma once
#include <ostream>

namespace korva {

// Fills plm[full_index(l, m) - 1] = Y(l, m)(theta, 0), Z = cos(theta), for l = 0..lmx and
// m = -l..l (Condon-Shortley phase, Y(l, -m) = (-1)^m Y(l, m)). An order above 100 is lowered
// to 100 and a cosine outside [-1, 1] is clamped, both in the caller's variables, with
// messages on `out`. `capacity` is the length of plm: orders whose entries would not fit are
// left out. Good to about 1e-15 of the largest value at every order.
void legendre(std::ostream& out, double& z, int capacity, int& lmx, double* plm);

}  // namespace korva
