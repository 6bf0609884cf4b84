#include "dipole.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "atom_radial.hpp"
#include "sbessel.hpp"
#include "tmatrix.hpp"

namespace korva::psgen {

namespace {

constexpr double a0_squared_mbarn = 28.002852;  // (0.52917721 1e-8 cm)^2 in 1e-18 cm^2

// Amplitude that makes the inside solution (value R, slope dR at rmt) continue as the
// energy-normalised outside wave F = sqrt(2k/pi) (j_l cos d - y_l sin d): a least-squares match
// of value and slope, which stays defined when either vanishes at the sphere.
double normalisation(double k, double rmt, int l, const radial_boundary& b) {
    const cdouble t = tl_from_boundary(k, rmt, l, b);
    const double delta = std::atan(std::real(t / (1.0 + cdouble(0.0, 1.0) * t)));
    sbessel_values s;
    sbessel(cdouble(k * rmt, 0.0), l, s);
    const double c = std::sqrt(2.0 * k / std::numbers::pi);
    const double f = c * (s.j[l].real() * std::cos(delta) - s.y[l].real() * std::sin(delta));
    const double df = c * k * (s.dj[l].real() * std::cos(delta) - s.dy[l].real() * std::sin(delta));
    const double r = b.value.real(), dr = b.slope.real();
    return (f * r + df * dr / (k * k)) / (r * r + dr * dr / (k * k));
}

}  // namespace

double dipole_sigma(const radial_potential& v, double rmt, double e, double edge, int l0,
                    const core_orbital& core) {
    const radial_wave w = radial_solution(v, rmt, cdouble(e, 0.0), l0);
    const double k = std::sqrt(e);
    const double a = normalisation(k, rmt, l0, w.boundary);
    // int P_c r P_e dr with P_e = r R: trapezoid in x = ln r on the solution's mesh.
    double m = 0.0;
    for (std::size_t i = 0; i < w.r.size(); ++i) {
        const double r = w.r[i];
        const double pc = interpolate(*core.grid, *core.p, r);
        const double f = pc * r * r * w.R[i].real() * r;
        const double dx = i == 0 ? 0.0 : std::log(r / w.r[i - 1]);
        const double dx_next = i + 1 < w.r.size() ? std::log(w.r[i + 1] / r) : 0.0;
        m += 0.5 * (dx + dx_next) * f;
    }
    m *= a;
    const double omega = 0.5 * (e + edge);  // Hartree
    const double pi = std::numbers::pi;
    const double share = std::max(core.l, l0) / (2.0 * core.l + 1.0);
    return a0_squared_mbarn * 4.0 * pi * pi / (3.0 * light_speed) * omega * core.electrons * share *
           m * m;
}

}  // namespace korva::psgen
