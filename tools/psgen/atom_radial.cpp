#include "atom_radial.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "psgen_input.hpp"

namespace korva::psgen {

namespace {

using pair2 = std::array<double, 2>;

// The 2x2 system matrix at one grid point for one trial energy.
struct shooting {
    const radial_grid& g;
    const std::vector<double>& v;
    int l;
    double alpha2;  // 1/c^2, or 0 non-relativistic
    double e;

    double mass(int i) const { return 1.0 + 0.5 * (e - v[i]) * alpha2; }
    // Rows (a11 a12; a21 a22) of d(P, q)/dx = A (P, q).
    std::array<double, 4> matrix(int i) const {
        const double r = g.r[i], m = mass(i);
        return {1.0, 2.0 * m * r, l * (l + 1) / (2.0 * m * r) + r * (v[i] - e), -1.0};
    }
    double veff(int i) const { return v[i] + l * (l + 1) / (2.0 * g.r[i] * g.r[i]); }
};

pair2 apply(const std::array<double, 4>& a, const pair2& y) {
    return {a[0] * y[0] + a[1] * y[1], a[2] * y[0] + a[3] * y[1]};
}

// Adams-Moulton (5th order) from the four start values at from, from+dir, ... to `to`. With
// A = (1 a12; a21 -1) the implicit step y_i = rhs + w A_i y_i is solved by Cramer's rule.
void integrate(const shooting& s, int from, int to, int dir, std::vector<double>& p,
               std::vector<double>& q) {
    const double c = dir * s.g.h / 720.0, w = 251.0 * c;
    std::array<pair2, 4> f;  // derivatives at the four previous points, newest first
    for (int k = 0; k < 4; ++k) {
        const int i = from + dir * (3 - k);
        f[k] = apply(s.matrix(i), {p[i], q[i]});
    }
    for (int i = from + 4 * dir; dir > 0 ? i <= to : i >= to; i += dir) {
        const int j = i - dir;
        const double rhs_p =
            p[j] + c * (646.0 * f[0][0] - 264.0 * f[1][0] + 106.0 * f[2][0] - 19.0 * f[3][0]);
        const double rhs_q =
            q[j] + c * (646.0 * f[0][1] - 264.0 * f[1][1] + 106.0 * f[2][1] - 19.0 * f[3][1]);
        const auto a = s.matrix(i);
        const double b11 = 1.0 - w, b12 = -w * a[1], b21 = -w * a[2], b22 = 1.0 + w;
        const double inv_det = 1.0 / (b11 * b22 - b12 * b21);  // off the step-to-step chain
        const double pi = (rhs_p * b22 - b12 * rhs_q) * inv_det;
        const double qi = (b11 * rhs_q - b21 * rhs_p) * inv_det;
        p[i] = pi;
        q[i] = qi;
        f[3] = f[2];
        f[2] = f[1];
        f[1] = f[0];
        f[0] = {pi + a[1] * qi, a[2] * pi - qi};
    }
}

// Regular solution near the origin: P = r^s with s = sqrt(l(l+1) + 1 - (z/c)^2) for the
// scalar-relativistic equation, and P = r^(l+1) (1 - z r/(l+1)) without relativity.
void start_outward(const shooting& s, double z, std::vector<double>& p, std::vector<double>& q) {
    for (int i = 0; i < 4; ++i) {
        const double r = s.g.r[i];
        if (s.alpha2 > 0.0) {
            const double sp = std::sqrt(s.l * (s.l + 1) + 1.0 - z * z * s.alpha2);
            p[i] = std::pow(r, sp);
            q[i] = (sp - 1.0) * p[i] / (2.0 * s.mass(i) * r);
        } else {
            p[i] = std::pow(r, s.l + 1) * (1.0 - z * r / (s.l + 1));
            q[i] = 0.5 * (s.l * std::pow(r, s.l) - z * std::pow(r, s.l + 1));
        }
    }
}

// Decaying solution P = exp(-kappa r) at the far end.
void start_inward(const shooting& s, int last, std::vector<double>& p, std::vector<double>& q) {
    const double kappa = std::sqrt(std::max(2.0 * (s.veff(last) - s.e), 1.0e-6));
    for (int k = 0; k < 4; ++k) {
        const int i = last - k;
        const double r = s.g.r[i];
        p[i] = std::exp(-kappa * (r - s.g.r[last]));
        q[i] = (-kappa * r - 1.0) * p[i] / (2.0 * s.mass(i) * r);
    }
}

// Outermost point where the state is classically allowed, or -1.
int turning_point(const shooting& s) {
    for (int i = s.g.size() - 1; i >= 0; --i)
        if (s.veff(i) < s.e) return i;
    return -1;
}

// First point beyond the turning point where the state has decayed by about e^-50.
int far_end(const shooting& s, int icl) {
    double decay = 0.0;
    const int n = s.g.size();
    for (int i = icl + 1; i < n; ++i) {
        decay += std::sqrt(std::max(2.0 * (s.veff(i) - s.e), 0.0)) * s.g.r[i] * s.g.h;
        if (decay > 50.0) return i;
    }
    return n - 1;
}

struct trial {
    int nodes = 0;
    double de = 0.0;  // first-order correction of the energy
};

// One shot at energy s.e; leaves the joined, normalised solution in p, q.
trial shoot(const shooting& s, double z, int icl, std::vector<double>& p, std::vector<double>& q) {
    const int n = s.g.size();
    const int last = std::max(far_end(s, icl), icl + 8);
    std::fill(p.begin(), p.end(), 0.0);
    std::fill(q.begin(), q.end(), 0.0);
    start_outward(s, z, p, q);
    integrate(s, 0, icl, +1, p, q);
    trial t;
    for (int i = 1; i <= icl; ++i)
        if ((p[i] > 0.0) != (p[i - 1] > 0.0) && p[i] != 0.0) ++t.nodes;
    const double p_out = p[icl], q_out = q[icl];
    start_inward(s, std::min(last, n - 1), p, q);
    integrate(s, std::min(last, n - 1), icl, -1, p, q);
    const double scale = p_out / p[icl];
    for (int i = icl; i < n; ++i) {
        p[i] *= scale;
        q[i] *= scale;
    }
    const double dq = q_out - q[icl];
    q[icl] = q_out;
    std::vector<double> dens(n);
    for (int i = 0; i < n; ++i) dens[i] = p[i] * p[i];
    const double norm = integrate(s.g, dens);
    t.de = s.mass(icl) * p_out * dq / norm;
    const double f = (p_out < 0 ? -1.0 : 1.0) / std::sqrt(norm);  // P > 0 near the last node
    for (int i = 0; i < n; ++i) {
        p[i] *= f;
        q[i] *= f;
    }
    return t;
}

}  // namespace

bound_state solve_bound(const radial_grid& g, const std::vector<double>& v, double z, int n, int l,
                        bool relativistic, double guess, double tol) {
    shooting s{g, v, l, relativistic ? 1.0 / (light_speed * light_speed) : 0.0, 0.0};
    double lo = -0.8 * z * z / (n * n) - 10.0, hi = 0.0;
    s.e = guess < 0.0 && guess > lo ? guess : -0.5 * z * z / (n * n);
    const int want = n - l - 1, ng = g.size();
    std::vector<double> p(ng), q(ng);
    for (int it = 0; it < 400; ++it) {
        const int icl = turning_point(s);
        if (icl < 8 || icl > ng - 12) {
            (icl < 8 ? lo : hi) = s.e;  // no allowed region, or not bound inside the grid
            s.e = 0.5 * (lo + hi);
            continue;
        }
        const trial t = shoot(s, z, icl, p, q);
        if (t.nodes != want) {
            (t.nodes > want ? hi : lo) = s.e;
            s.e = 0.5 * (lo + hi);
            continue;
        }
        (t.de > 0.0 ? lo : hi) = s.e;
        if (std::abs(t.de) < tol * std::max(1.0, std::abs(s.e))) {
            bound_state b{s.e, p, q};
            for (double& x : b.q) x *= std::sqrt(s.alpha2);
            return b;
        }
        const double next = s.e + t.de;
        s.e = next > lo && next < hi ? next : 0.5 * (lo + hi);
        if (hi - lo < 1.0e-14 * std::max(1.0, std::abs(s.e))) break;
    }
    throw psgen_error("no bound " + std::to_string(n) + "spdfg"[l] +
                      " state in the atom's potential (is the configuration possible?)");
}

}  // namespace korva::psgen
