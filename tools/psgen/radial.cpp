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

// Largest |w''/w| = |r^2 (V - E) + (l + 1/2)^2| on the mesh, sampled at 256 points, and the
// step in x that keeps its square root times h below 0.02: Numerov's local error (q h)^6/240
// then stays near 3e-13 per step, and q^2 h^2 stays far from 12, where the scheme breaks down.
double step_for(const radial_potential& v, double rmt, cdouble energy, int l) {
    const double x0 = std::log(r0), xr = std::log(rmt);
    double q2 = 0.0;
    for (int i = 0; i <= 256; ++i) {
        const double r = std::exp(x0 + (xr - x0) * i / 256.0);
        q2 = std::max(q2, std::abs(r * r * (v(r) - energy) + (l + 0.5) * (l + 0.5)));
    }
    return std::min(hmax, 0.02 / std::max(std::sqrt(q2), 1.0));
}

}  // namespace

int radial_mesh_size(const radial_potential& v, double rmt, cdouble energy, int l) {
    const double span = std::log(rmt / r0);
    return std::max(16, static_cast<int>(std::ceil(span / step_for(v, rmt, energy, l))));
}

namespace {

// Numerov integration to rmt; when wave is given it receives R(r) at every mesh point.
radial_boundary integrate_to_sphere(const radial_potential& v, double rmt, cdouble energy, int l,
                                    radial_wave* wave) {
    const int m = radial_mesh_size(v, rmt, energy, l);
    const double x0 = std::log(r0), xr = std::log(rmt);
    const double h = (xr - x0) / m;
    const double h12 = h * h / 12.0;
    const double lh2 = (l + 0.5) * (l + 0.5);

    auto fcoef = [&](int i) {
        const double r = (i == m) ? rmt : std::exp(x0 + i * h);
        return r * r * (v(r) - energy) + lh2;
    };

    // Nuclear charge seen by the start series, from the potential itself: V ~ -2 Z/r near 0.
    const double zeff = -0.5 * r0 * v(r0);
    auto start = [&](int i) {
        const double r = std::exp(x0 + i * h);
        return cdouble(std::pow(r, l + 0.5) * (1.0 - zeff * r / (l + 1)), 0.0);
    };

    cdouble wm = start(0), w = start(1);
    cdouble fm = fcoef(0), f = fcoef(1);
    auto record = [&](int i, cdouble wi) {
        if (wave == nullptr) return;
        const double r = (i == m) ? rmt : std::exp(x0 + i * h);
        wave->r.push_back(r);
        wave->R.push_back(wi / std::sqrt(r));
    };
    record(0, wm);
    record(1, w);
    for (int i = 1; i <= m; ++i) {
        const cdouble fp = fcoef(i + 1);
        const cdouble wp =
            (2.0 * (1.0 + 5.0 * h12 * f) * w - (1.0 - h12 * fm) * wm) / (1.0 - h12 * fp);
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
        // Keep the solution inside the double range for high l.
        const double big = std::max(std::abs(w), std::abs(wm));
        if (big > 1.0e100) {
            w /= big;
            wm /= big;
            if (wave != nullptr)
                for (auto& x : wave->R) x /= big;
        }
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
