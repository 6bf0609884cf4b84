#include "friedel_count.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "sbessel.hpp"
#include "tmatrix.hpp"

namespace korva::psgen {

namespace {

constexpr double pi = std::numbers::pi;
constexpr int l_count = 3;        // s, p, d and f phase shifts
constexpr double e_first = 1e-3;  // Ry: the count starts here (delta_l(0+) taken at it)
constexpr double e_last = 3.0;    // Ry
constexpr double e_step = 0.01;   // Ry: the base step, halved where a phase moves fast
constexpr double h_min = 1e-7;    // Ry: the smallest step

// 2 delta_l (the phase of S_l = 1 + 2i t_l) of every kind at real energy e, kind-major.
std::vector<double> phases(const std::vector<counted_site>& sites, double e) {
    std::vector<double> out;
    for (const counted_site& s : sites)
        for (const cdouble t : tl_all(s.v, s.rmt, e, 0.0, l_count))
            out.push_back(std::arg(s_from_t(t)));
    return out;
}

double wrapped(double d) {
    return std::remainder(d, 2.0 * pi);
}

// The largest change of a phase between two energies.
double largest_move(const std::vector<double>& a, const std::vector<double>& b) {
    double m = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) m = std::max(m, std::abs(wrapped(b[i] - a[i])));
    return m;
}

// States of the weighted atoms up to kinetic energy e, from the followed phases (shift: the
// change of 2 delta_l since e_first): (2/pi)(2l + 1) delta_l = (2l + 1) shift / pi.
double states(const std::vector<counted_site>& sites, const std::vector<double>& shift, double e) {
    double n = 0.0;
    for (std::size_t s = 0; s < sites.size(); ++s) {
        double ns = sites[s].volume * std::pow(e, 1.5) / (3.0 * pi * pi);
        for (int l = 0; l <= l_count; ++l) ns += (2 * l + 1) * shift[s * (l_count + 1) + l] / pi;
        n += sites[s].weight * ns;
    }
    return n;
}

// r u'/u at radius r of the solution outside the sphere that decays at energy e <= 0:
// u = r h_l(kr), k = i sqrt(-e); -l at e = 0.
double decaying_log_derivative(double r, int l, double e) {
    if (e >= 0.0) return -l;
    sbessel_values b;
    const cdouble z(0.0, std::sqrt(-e) * r);
    sbessel(z, l, b);
    return (1.0 + z * b.dh[l] / b.h[l]).real();
}

}  // namespace

int bound_states(const radial_potential& v, double rmt, int l, double e) {
    const radial_wave w = radial_solution(v, rmt, cdouble(e, 0.0), l);
    int nodes = 0;
    double last = 0.0;
    for (const cdouble& r : w.R) {
        if (r.real() == 0.0) continue;
        if (last != 0.0 && (r.real() < 0.0) != (last < 0.0)) ++nodes;
        last = r.real();
    }
    // u = r R: r u'/u = 1 + r R'/R at the sphere.
    const double value = w.boundary.value.real(), slope = w.boundary.slope.real();
    if (value != 0.0 && 1.0 + rmt * slope / value < decaying_log_derivative(rmt, l, e)) ++nodes;
    return nodes;
}

double valence_electrons(const counted_site& s) {
    double core = 0.0;
    for (int l = 0; l <= l_count; ++l) core += 2.0 * (2 * l + 1) * bound_states(s.v, s.rmt, l);
    return s.electrons - core;
}

double state_curve::operator()(double energy) const {
    if (energy <= e.front()) return n.front();
    if (energy >= e.back()) return n.back();
    const std::size_t i = std::upper_bound(e.begin(), e.end(), energy) - e.begin();
    const double f = (energy - e[i - 1]) / (e[i] - e[i - 1]);
    return n[i - 1] + f * (n[i] - n[i - 1]);
}

state_curve friedel_states(const counted_site& s) {
    const std::vector<counted_site> one{{s.v, s.rmt, s.volume, s.electrons, 1.0}};
    std::vector<double> last = phases(one, e_first), shift(last.size(), 0.0);
    state_curve c{{e_first}, {states(one, shift, e_first)}};
    double e = e_first, h = e_step;
    while (e < e_last) {
        const double next = std::min(e + h, e_last);
        const std::vector<double> now = phases(one, next);
        if (largest_move(last, now) > 0.25 * pi && h > h_min) {
            h *= 0.5;
            continue;
        }
        for (std::size_t i = 0; i < now.size(); ++i) shift[i] += wrapped(now[i] - last[i]);
        c.e.push_back(next);
        c.n.push_back(states(one, shift, next));
        e = next, last = now;
        h = std::min(2.0 * h, e_step);
    }
    return c;
}

std::optional<double> friedel_fermi_level(const std::vector<counted_site>& sites) {
    double target = 0.0;
    for (const counted_site& s : sites) target += s.weight * valence_electrons(s);
    if (sites.empty() || !(target > 0.0)) return std::nullopt;
    std::vector<double> last = phases(sites, e_first), shift(last.size(), 0.0);
    double e = e_first, n = 0.0, h = e_step;
    while (e < e_last) {
        const double next = std::min(e + h, e_last);
        const std::vector<double> now = phases(sites, next);
        if (largest_move(last, now) > 0.25 * pi && h > h_min) {
            h *= 0.5;  // a resonance: follow it in smaller steps
            continue;
        }
        for (std::size_t i = 0; i < now.size(); ++i) shift[i] += wrapped(now[i] - last[i]);
        const double n_next = states(sites, shift, next);
        if (n_next >= target) return e + (next - e) * (target - n) / (n_next - n);
        e = next, n = n_next, last = now;
        h = std::min(2.0 * h, e_step);
    }
    return std::nullopt;
}

}  // namespace korva::psgen
