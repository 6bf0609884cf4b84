// The free propagator between two sites of a cluster in the angular-momentum channels of complex
// spherical harmonics, at a complex wave number: the two-centre expansion of the outgoing Green
// function that couples the multiple scattering of the charge count.
#pragma once

#include <complex>
#include <vector>

namespace korva::psgen {

using cdouble = std::complex<double>;

// Channel (l, m), m = -l..l, of the layout l = 0..lmax: l^2 + l + m (from 0).
constexpr int ylm_channel(int l, int m) {
    return l * l + l + m;
}

// Y_lm of the direction (x, y, z) (any length above 0), with the Condon-Shortley phase:
// Y_l,-m = (-1)^m conj(Y_lm).
cdouble ylm(int l, int m, double x, double y, double z);

// The coupling g_LL'(R) of the expansion, for r = R_i + rho and r' = R_j + rho' with
// |rho| + |rho'| < |R|, R = R_i - R_j (Bohr), of the outgoing free Green function
// G0(r, r') = -e^{ik|r-r'|}/(4 pi |r-r'|) = -ik sum_LL' j_l(k rho) Y_L(rho) g_LL'(R)
// j_l'(k rho') conj(Y_L'(rho')) (Rydberg units: (nabla^2 + k^2) G0 = delta):
// g_LL'(R) = 4 pi sum_L2 i^(l + l2 - l') C(L'; L, L2) h_l2(kR) Y_L2(R), C(L'; L, L2) the integral
// of Y_L' conj(Y_L) conj(Y_L2) over the sphere (Gaunt) and h_l = j_l + i y_l.
// The Gaunt sums are prepared once per lmax (coupling_terms), the directions once per pair
// (site_coupling); each energy then costs the Hankel functions of one distance.
struct coupling_terms {
    explicit coupling_terms(int lmax);
    struct term {
        int row, col, l2, ylm;  // ylm: channel (l2, m2) of the direction's harmonics
        cdouble weight;         // 4 pi i^(l + l2 - l') C(L'; L, L2)
    };
    int lmax;
    std::vector<term> terms;
};

class site_coupling {
  public:
    site_coupling(const coupling_terms& terms, double x, double y, double z);
    // g_LL' at wave number k as a row-major (lmax+1)^2 square, channels by ylm_channel.
    void fill(cdouble k, std::vector<cdouble>& g) const;

  private:
    const coupling_terms* terms_;
    double distance_;
    std::vector<cdouble> y_;  // Y_L2 of the direction, l2 <= 2 lmax
};

}  // namespace korva::psgen
