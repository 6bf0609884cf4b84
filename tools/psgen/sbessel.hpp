// Spherical Bessel functions j_l, y_l and the outgoing Hankel function h_l = j_l + i y_l, with
// their derivatives, for a complex argument and all orders 0..lmax at once.
#pragma once

#include <complex>
#include <vector>

namespace korva::psgen {

// Double precision: the phase shifts are formed from differences of these values.
using cdouble = std::complex<double>;

struct sbessel_values {
    std::vector<cdouble> j, y, h;     // j_l(z), y_l(z), h_l(z) = j_l(z) + i y_l(z), l = 0..lmax
    std::vector<cdouble> dj, dy, dh;  // derivatives with respect to z
};

// Fills out for l = 0..lmax (lmax >= 0). z must be non-zero.
// j_l comes from a downward (Miller) recurrence normalised to j_0 or j_1, which stays accurate for
// l above |z| where the upward recurrence loses every digit; h_l comes from the upward
// recurrence, which is stable for the outgoing (dominant for l > |z|) solution; y_l = -i (h_l -
// j_l).
void sbessel(cdouble z, int lmax, sbessel_values& out);

}  // namespace korva::psgen
