#include "radial.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace korva::psgen {

namespace {

// First mesh point, Bohr. 2 Z r0 stays below 2.4e-4 for Z <= 120, so the two-term start
// series r^{l+1} (1 - Z r/(l+1)) is exact to well beyond double precision there.
constexpr double r0 = 1.0e-6;
constexpr double hmax = 0.004;

// |w''/w| = |r^2 (V - E) + (l + 1/2)^2| sampled at 257 points evenly spaced in x from r0 to rmt.
constexpr int samples = 256;
std::vector<cdouble> sample_q2(const radial_potential& v, double rmt, cdouble energy, int l) {
    const double x0 = std::log(r0), xr = std::log(rmt);
    std::vector<cdouble> q2(samples + 1);
    for (int i = 0; i <= samples; ++i) {
        const double r = std::exp(x0 + (xr - x0) * i / samples);
        q2[i] = r * r * (v(r) - energy) + (l + 0.5) * (l + 0.5);
    }
    return q2;
}

// The step in x that keeps the square root of the largest |w''/w| times h below 0.02: Numerov's
// local error (q h)^6/240 then stays near 3e-13 per step, and q^2 h^2 stays far from 12, where
// the scheme breaks down.
double step_for(const std::vector<cdouble>& q2) {
    double most = 0.0;
    for (const cdouble& q : q2) most = std::max(most, std::abs(q));
    return std::min(hmax, 0.02 / std::max(std::sqrt(most), 1.0));
}

// Where the integration of a boundary value may start, as a fraction of the span from r0 to rmt
// in x: inside the classically forbidden core of the centrifugal barrier (Re w''/w > 0), as far
// out as leaves 20 units of the WKB exponent int sqrt(w''/w) dx before the turning point. Any
// start there is the regular solution to e^-40 (the irregular admixture decays by e^-2 per
// unit), so high l skip most of the mesh. 0 for the low l, whose barrier is too weak.
double start_fraction(const std::vector<cdouble>& q2, double span) {
    constexpr double wkb_units = 20.0;
    const double dx = span / samples;
    int turn = 0;
    while (turn < samples && q2[turn + 1].real() > 0.0) ++turn;
    std::vector<double> s(turn + 1, 0.0);  // the exponent from sample k to the turning point
    for (int k = turn - 1; k >= 0; --k)
        s[k] = s[k + 1] + 0.5 * dx * (std::sqrt(q2[k].real()) + std::sqrt(q2[k + 1].real()));
    int start = 0;
    while (start < turn && s[start + 1] >= wkb_units) ++start;
    return static_cast<double>(start) / samples;
}

}  // namespace

int radial_mesh_size(const radial_potential& v, double rmt, cdouble energy, int l) {
    const double span = std::log(rmt / r0);
    return std::max(16, static_cast<int>(std::ceil(span / step_for(sample_q2(v, rmt, energy, l)))));
}

namespace {

// One Numerov step: (2 (1 + 5 h^2 f/12) w - (1 - h^2 fm/12) wm) / (1 - h^2 fp/12), the division
// written out: the library's general complex division is a third of the time otherwise.
cdouble numerov_step(cdouble w, cdouble wm, cdouble f, cdouble fm, cdouble fp, double h12) {
    const cdouble num = 2.0 * (1.0 + 5.0 * h12 * f) * w - (1.0 - h12 * fm) * wm;
    const cdouble den = 1.0 - h12 * fp;
    const double inv = 1.0 / (den.real() * den.real() + den.imag() * den.imag());
    return {(num.real() * den.real() + num.imag() * den.imag()) * inv,
            (num.imag() * den.real() - num.real() * den.imag()) * inv};
}

// Keeps the solution inside the double range for high l (the recorded wave with it).
void keep_in_range(cdouble& w, cdouble& wm, radial_wave* wave) {
    const double big = std::max(
        {std::abs(w.real()), std::abs(w.imag()), std::abs(wm.real()), std::abs(wm.imag())});
    if (big > 1.0e100) {
        w /= big;
        wm /= big;
        if (wave != nullptr)
            for (auto& x : wave->R) x /= big;
    }
}

// Numerov integration to rmt; when wave is given it receives R(r) at every mesh point from r0.
// Without it the integration starts where start_fraction allows.
radial_boundary integrate_to_sphere(const radial_potential& v, double rmt, cdouble energy, int l,
                                    radial_wave* wave) {
    const double x0 = std::log(r0), xr = std::log(rmt);
    const std::vector<cdouble> q2 = sample_q2(v, rmt, energy, l);
    const int m = std::max(16, static_cast<int>(std::ceil((xr - x0) / step_for(q2))));
    const double h = (xr - x0) / m;
    const double h12 = h * h / 12.0;
    const double lh2 = (l + 0.5) * (l + 0.5);
    const int first =
        wave == nullptr ? std::min(m - 2, static_cast<int>(start_fraction(q2, xr - x0) * m)) : 0;

    auto fcoef = [&](int i) {
        const double r = (i == m) ? rmt : std::exp(x0 + i * h);
        return r * r * (v(r) - energy) + lh2;
    };

    // Nuclear charge seen by the start series, from the potential itself: V ~ -2 Z/r near 0.
    const double zeff = -0.5 * r0 * v(r0).real();
    auto start = [&](int i) {
        const double r = std::exp(x0 + i * h);
        return cdouble(std::pow(r, l + 0.5) * (1.0 - zeff * r / (l + 1)), 0.0);
    };

    cdouble wm = start(0), w = start(1);
    cdouble fm = fcoef(first), f = fcoef(first + 1);
    if (first > 0) {
        // Deep in the barrier: the growing WKB solution over one step.
        wm = 1.0;
        w = std::exp(0.5 * h * (std::sqrt(fm) + std::sqrt(f)));
    }
    auto record = [&](int i, cdouble wi) {
        if (wave == nullptr) return;
        const double r = (i == m) ? rmt : std::exp(x0 + i * h);
        wave->r.push_back(r);
        wave->R.push_back(wi / std::sqrt(r));
    };
    record(0, wm);
    record(1, w);
    for (int i = first + 1; i <= m; ++i) {
        const cdouble fp = fcoef(i + 1);
        const cdouble wp = numerov_step(w, wm, f, fm, fp, h12);
        if (i == m) {
            // Fourth-order derivative in x at the sphere from the two Numerov neighbours.
            const cdouble dw =
                ((1.0 - 2.0 * h12 * fp) * wp - (1.0 - 2.0 * h12 * fm) * wm) / (2.0 * h);
            const double rs = std::sqrt(rmt);
            // R = r^{-1/2} w, so dR/dr = r^{-3/2} (dw/dx - w/2).
            return {w / rs, (dw - 0.5 * w) / (rs * rmt)};
        }
        if (i + 1 < m) record(i + 1, wp);
        wm = w;
        w = wp;
        fm = f;
        f = fp;
        keep_in_range(w, wm, wave);
    }
    return {w, 0.0};  // not reached: the loop returns at i == m
}

}  // namespace

radial_boundary radial_solve(const radial_potential& v, double rmt, cdouble energy, int l) {
    return integrate_to_sphere(v, rmt, energy, l, nullptr);
}

radial_wave radial_solution(const radial_potential& v, double rmt, cdouble energy, int l) {
    radial_wave wave;
    wave.boundary = integrate_to_sphere(v, rmt, energy, l, &wave);
    wave.r.push_back(rmt);
    wave.R.push_back(wave.boundary.value);
    return wave;
}

double screened_coulomb::operator()(double r) const {
    return -2.0 * z / r * std::exp(-r / a);
}

double thomas_fermi_atom::operator()(double r) const {
    const double x = r / b;
    return -2.0 * z / r *
           (0.35 * std::exp(-0.3 * x) + 0.55 * std::exp(-1.2 * x) + 0.10 * std::exp(-6.0 * x));
}

thomas_fermi_atom type_potential(double z) {
    return {z, thomas_fermi_length(z)};
}

double thomas_fermi_length(double z) {
    return 0.8853 / std::cbrt(z);
}

}  // namespace korva::psgen
