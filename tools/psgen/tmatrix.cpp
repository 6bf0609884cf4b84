#include "tmatrix.hpp"

#include "sbessel.hpp"

namespace korva::psgen {

cdouble wave_number(double energy, double gamma) {
    return std::sqrt(cdouble(energy, gamma));
}

namespace {

cdouble tl_matched(cdouble k, const sbessel_values& b, int l, const radial_boundary& rb) {
    const cdouble i{0.0, 1.0};
    const cdouble num = k * b.dj[l] * rb.value - rb.slope * b.j[l];
    const cdouble den = k * b.dh[l] * rb.value - rb.slope * b.h[l];
    return i * num / den;
}

}  // namespace

cdouble tl_from_boundary(cdouble k, double rmt, int l, const radial_boundary& rb) {
    sbessel_values b;
    sbessel(k * rmt, l, b);
    return tl_matched(k, b, l, rb);
}

std::vector<cdouble> tl_all(const radial_potential& v, double rmt, double energy, double gamma,
                            int lmax) {
    const cdouble k = wave_number(energy, gamma);
    const cdouble e{energy, gamma};
    sbessel_values b;
    sbessel(k * rmt, lmax, b);
    std::vector<cdouble> t(lmax + 1);
    for (int l = 0; l <= lmax; ++l) t[l] = tl_matched(k, b, l, radial_solve(v, rmt, e, l));
    return t;
}

}  // namespace korva::psgen
