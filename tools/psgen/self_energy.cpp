#include "self_energy.hpp"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_integration.h>
#include <gsl/gsl_poly.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace korva::psgen {

namespace {

constexpr double pi = std::numbers::pi;
constexpr double ry_per_hartree = 2.0;
constexpr int workspace_size = 400;

// GSL's adaptive integration workspace, released when it goes out of scope.
struct workspace {
    gsl_integration_workspace* w = gsl_integration_workspace_alloc(workspace_size);
    workspace() = default;
    workspace(const workspace&) = delete;
    workspace& operator=(const workspace&) = delete;
    ~workspace() { gsl_integration_workspace_free(w); }
};

// On the shell w = k^2/2 the plasmon part is
//   Sigma_p(k) = (1/(pi k)) int_0^inf dq w_p^2/(2 q w_q) [U(q) + O(q)],
// the angular integral over the direction of q taken in the momentum p = |k - q| of the
// intermediate state (d^3q = 2 pi q dq p dp / k):
//   U = int p dp / (w - w_q - p^2/2 + i0) over the empty states, max(|k - q|, k_F) < p < k + q,
//   O = int p dp / (w + w_q - p^2/2 - i0) over the filled ones, |k - q| < p < min(k + q, k_F),
// each the logarithm of the ratio of its denominators at the two ends: the electron emits a
// plasmon and falls into an empty state, the hole into a filled one. A logarithm is singular
// where a denominator vanishes at an end; the imaginary part is -pi (U) or +pi (O) where a
// denominator changes sign inside its range.
struct shell {
    const electron_gas& g;
    double k;

    // The end denominators, each written so that the large k^2/2 cancels exactly:
    // a(p) = k^2/2 - w_q - p^2/2 at p = |k - q|, k + q or k_F; b(p) = k^2/2 + w_q - p^2/2.
    double a_near(double q, double wq) const { return k * q - 0.5 * q * q - wq; }
    double a_far(double q, double wq) const { return -k * q - 0.5 * q * q - wq; }
    double b_near(double q, double wq) const { return k * q - 0.5 * q * q + wq; }
    double b_far(double q, double wq) const { return wq - k * q - 0.5 * q * q; }
    double fermi(double wq, double sign) const { return 0.5 * (k * k - g.kf * g.kf) + sign * wq; }
    // U's lower end is |k - q| or k_F, O's upper end k + q or k_F.
    double a_lo(double q, double wq) const {
        return std::abs(k - q) > g.kf ? a_near(q, wq) : fermi(wq, -1.0);
    }
    double b_hi(double q, double wq) const { return k + q < g.kf ? b_far(q, wq) : fermi(wq, 1.0); }
    bool u_open(double q) const { return std::max(std::abs(k - q), g.kf) < k + q; }
    bool o_open(double q) const { return std::abs(k - q) < std::min(k + q, g.kf); }

    double real_integrand(double q) const {
        const double wq = g.wq(q);
        double s = 0.0;
        if (u_open(q)) s += log_ratio(a_lo(q, wq), a_far(q, wq));
        if (o_open(q)) s += log_ratio(b_near(q, wq), b_hi(q, wq));
        return g.wp * g.wp / (2.0 * q * wq) * s;
    }

    // ln|x/y|; an end that rounds to an exact zero (a breakpoint's neighbour) counts as 1e-300.
    static double log_ratio(double x, double y) {
        return std::log(std::max(std::abs(x), 1e-300)) - std::log(std::max(std::abs(y), 1e-300));
    }

    // -1 where an empty state conserves energy, +1 where a filled one does, else 0
    // (a_far < 0 and b_near > 0 always).
    int pole_sign(double q) const {
        const double wq = g.wq(q);
        if (u_open(q) && a_lo(q, wq) > 0.0) return -1;
        if (o_open(q) && b_hi(q, wq) < 0.0) return 1;
        return 0;
    }
};

// Positive real roots of q^3 + c2 q^2 + c0 = 0, each polished by Newton steps: the closed
// form loses the small root (q ~ w_p/k) to cancellation at high k.
void cubic_roots(double c2, double c0, std::vector<double>& out) {
    double r[3];
    const int n = gsl_poly_solve_cubic(c2, 0.0, c0, &r[0], &r[1], &r[2]);
    for (int i = 0; i < n; ++i) {
        double q = r[i];
        for (int it = 0; it < 3 && q > 0.0; ++it) {
            const double d = q * (3.0 * q + 2.0 * c2);
            if (d == 0.0) break;
            q -= (q * q * (q + c2) + c0) / d;
        }
        if (q > 0.0) out.push_back(q);
    }
}

// The q where w_q = e (e > w_p): w_q^2 = e^2 solved for q^2.
void pole_at(const electron_gas& g, double e, std::vector<double>& out) {
    const double c = g.kf * g.kf / 3.0;
    if (e > g.wp) out.push_back(std::sqrt(2.0 * (std::sqrt(c * c + e * e - g.wp * g.wp) - c)));
}

// Where the end denominators vanish, in closed form. With w = k^2/2:
//   a(|k - q|) = 0:  k q^3 - (k^2 - c) q^2 + w_p^2 = 0   (squared: 2 k q - q^2 = 2 w_q),
//   a(k_F) = 0:      w_q = (k^2 - k_F^2)/2,
//   b(k + q) = 0:    k q^3 + (k^2 - c) q^2 - w_p^2 = 0   (w_q = k q + q^2/2),
//   b(k_F) = 0:      w_q = (k_F^2 - k^2)/2,
// c = k_F^2/3 (a(k + q) and b(|k - q|) keep their sign). With the kinks |k - q| = k_F, the ends
// 0 and `top` (beyond which w_q > w and |k - q| > k_F: no pole, no singularity), and points even
// in ln q that keep the adaptive rule from having to resolve both ends of a long interval.
std::vector<double> breakpoints(const shell& s) {
    const electron_gas& g = s.g;
    const double k = s.k, c = g.kf * g.kf / 3.0;
    std::vector<double> pts{std::abs(k - g.kf), k + g.kf};
    cubic_roots(-(k * k - c) / k, g.wp * g.wp / k, pts);
    cubic_roots((k * k - c) / k, -g.wp * g.wp / k, pts);
    pole_at(g, 0.5 * (k * k - g.kf * g.kf), pts);
    pole_at(g, 0.5 * (g.kf * g.kf - k * k), pts);
    const double top = 1.05 * *std::max_element(pts.begin(), pts.end()) + 1e-3 * g.kf;
    const double q_small = 1e-3 * std::min(g.wp / std::max(k, g.kf), g.kf);
    for (double q = q_small; q < top; q *= 4.0) pts.push_back(q);
    pts.push_back(0.0);
    pts.push_back(top);
    std::sort(pts.begin(), pts.end());
    pts.erase(std::unique(pts.begin(), pts.end(),
                          [top](double x, double y) { return y - x < 1e-14 * top; }),
              pts.end());
    return pts;
}

double call_real(double q, void* p) {
    return static_cast<const shell*>(p)->real_integrand(q);
}

double real_plasmon(const shell& s, std::vector<double> pts) {
    workspace ws;
    gsl_function f{call_real, const_cast<shell*>(&s)};
    const double tol = 1e-10 * s.g.wp;  // the integral is of the order of the plasma energy
    double inner = 0.0, tail = 0.0, err = 0.0;
    gsl_integration_qagp(&f, pts.data(), pts.size(), tol, 1e-8, workspace_size, ws.w, &inner, &err);
    gsl_integration_qagiu(&f, pts.back(), tol, 1e-8, workspace_size, ws.w, &tail, &err);
    return (inner + tail) / (pi * s.k);
}

// int dq / (q w_q) = -(1/(2 w_p)) ln[(2 w_p^2 + (k_F^2/3) q^2 + 2 w_p w_q) / q^2], the closed form
// of int ds / (s sqrt(c + b s + s^2/4)) with s = q^2.
double pole_antiderivative(const electron_gas& g, double q) {
    const double wp2 = g.wp * g.wp;
    return -std::log((2.0 * wp2 + g.kf * g.kf / 3.0 * q * q + 2.0 * g.wp * g.wq(q)) / (q * q)) /
           (2.0 * g.wp);
}

// The delta functions of the poles integrated over q: between two breakpoints the sign of the
// pole term is constant, and int dq w_p^2/(2 q w_q) has the closed form above.
double imag_plasmon(const shell& s, const std::vector<double>& pts) {
    double sum = 0.0;
    for (std::size_t i = 1; i < pts.size(); ++i) {
        if (pts[i - 1] <= 0.0) continue;  // no pole near q = 0: the plasmon costs w_p
        const int sign = s.pole_sign(0.5 * (pts[i - 1] + pts[i]));
        if (sign != 0)
            sum += sign * (pole_antiderivative(s.g, pts[i]) - pole_antiderivative(s.g, pts[i - 1]));
    }
    return s.g.wp * s.g.wp / (2.0 * s.k) * sum;
}

}  // namespace

electron_gas::electron_gas(double r)
    : rs(r), kf(std::cbrt(9.0 * pi / 4.0) / r), wp(std::sqrt(3.0 / (r * r * r))) {}

double electron_gas::wq(double q) const {
    const double q2 = q * q;
    return std::sqrt(wp * wp + kf * kf / 3.0 * q2 + 0.25 * q2 * q2);
}

double exchange_part(const electron_gas& g, double k) {
    const double kf = g.kf;
    if (k < 1e-8 * kf) return -2.0 * kf / pi;
    if (std::abs(k - kf) < 1e-12 * kf) return -kf / pi;
    return -kf / pi *
           (1.0 + (kf * kf - k * k) / (2.0 * k * kf) * std::log(std::abs((k + kf) / (k - kf))));
}

cdouble plasmon_part(const electron_gas& g, double k) {
    k = std::max(k, 1e-6 * g.kf);
    const shell s{g, k};
    const std::vector<double> pts = breakpoints(s);
    return {real_plasmon(s, pts), -std::abs(imag_plasmon(s, pts))};  // retarded: Im <= 0
}

void quiet_gsl() {
    gsl_set_error_handler_off();
}

cdouble hl_self_energy(double rs, double x) {
    quiet_gsl();
    const electron_gas g(rs);
    const double k = std::max(x, 1e-6) * g.kf;
    return ry_per_hartree * (exchange_part(g, k) + plasmon_part(g, k));
}

}  // namespace korva::psgen

namespace korva::psgen {

double plasmon_threshold(const electron_gas& g) {
    // max(k1, k2) falls while k1 = q/2 + w_q/q falls and rises after: golden-section search.
    auto need = [&g](double q) {
        const double wq = g.wq(q);
        return std::max(0.5 * q + wq / q, std::sqrt(g.kf * g.kf + 2.0 * wq));
    };
    const double phi = 0.5 * (std::sqrt(5.0) - 1.0);
    double a = 1e-6 * g.kf, b = 10.0 * (g.kf + std::sqrt(g.wp));
    double c = b - phi * (b - a), d = a + phi * (b - a);
    double fc = need(c), fd = need(d);
    for (int it = 0; it < 200 && b - a > 1e-15 * b; ++it) {
        if (fc < fd) {
            b = d, d = c, fd = fc;
            c = b - phi * (b - a), fc = need(c);
        } else {
            a = c, c = d, fc = fd;
            d = a + phi * (b - a), fd = need(d);
        }
    }
    return need(0.5 * (a + b));
}

namespace {

constexpr double lrs_first = -5.298317366548036;  // ln(hl_table::rs_min)
constexpr double h_rs = 0.1;                      // the rows' step in ln rs

// Lagrange weights of the four nodes 0..3 at position s (in node steps from the first).
void lagrange4(double s, double w[4]) {
    const double a = s, b = s - 1.0, c = s - 2.0, d = s - 3.0;
    w[0] = -b * c * d / 6.0;
    w[1] = a * c * d / 2.0;
    w[2] = -a * b * d / 2.0;
    w[3] = a * b * c / 6.0;
}

// The first of the four nodes around position g (in node steps) among n, and the weights.
int stencil(double g, int n, double w[4]) {
    const int j0 = std::clamp(static_cast<int>(std::floor(g)) - 1, 0, n - 4);
    lagrange4(std::clamp(g - j0, 0.0, 3.0), w);
    return j0;
}

cdouble mix(const std::vector<cdouble>& v, double g) {
    double w[4];
    const int j0 = stencil(g, static_cast<int>(v.size()), w);
    return w[0] * v[j0] + w[1] * v[j0 + 1] + w[2] * v[j0 + 2] + w[3] * v[j0 + 3];
}

const double u_max = std::log1p(hl_table::x_max);
const double h_above = std::sqrt(u_max) / (hl_table::n_above - 1);  // step in sqrt(u - u_th)

}  // namespace

hl_table::row hl_table::make_row(int i) const {
    const electron_gas g(std::exp(lrs_first + i * h_rs));
    row r;
    r.u_th = std::log1p(plasmon_threshold(g) / g.kf);
    auto value = [&g](double u) {
        const double k = std::max(std::expm1(u), 1e-6) * g.kf;
        return ry_per_hartree * (exchange_part(g, k) + plasmon_part(g, k)) / g.kf;
    };
    const double h_below = std::sqrt(r.u_th) / (n_below - 1);  // step in sqrt(u_th - u)
    for (int j = 0; j < n_below; ++j) r.below.push_back(value(r.u_th - std::pow(j * h_below, 2)));
    for (int j = 0; j < n_above; ++j) r.above.push_back(value(r.u_th + std::pow(j * h_above, 2)));
    return r;
}

hl_table::hl_table(double rs_lo, double rs_hi) {
    quiet_gsl();
    auto index = [](double rs) {
        const double f = (std::log(std::clamp(rs, rs_min, rs_max)) - lrs_first) / h_rs;
        return std::clamp(static_cast<int>(std::floor(f)), 0, n_rs - 1);
    };
    // Two more rows each side for the stencils, and at least four in all.
    first_ = std::max(0, std::min(index(rs_lo) - 2, n_rs - 4));
    const int last = std::min(n_rs - 1, std::max(index(rs_hi) + 3, first_ + 3));
    rows_.resize(last - first_ + 1);
#pragma omp parallel for schedule(dynamic)
    for (int i = first_; i <= last; ++i) rows_[i - first_] = make_row(i);
}

cdouble hl_table::at(double rs, double x) const {
    const double f = (std::log(std::clamp(rs, rs_min, rs_max)) - lrs_first) / h_rs - first_;
    double wr[4];
    const int i0 = stencil(f, static_cast<int>(rows_.size()), wr);
    double u_th = 0.0;
    for (int a = 0; a < 4; ++a) u_th += wr[a] * rows_[i0 + a].u_th;
    const double u = std::log1p(std::clamp(x, 0.0, x_max));
    cdouble s = 0.0;
    for (int a = 0; a < 4; ++a) {
        const row& r = rows_[i0 + a];
        s += wr[a] * (u < u_th ? mix(r.below, std::sqrt(u_th - u) / std::sqrt(u_th) * (n_below - 1))
                               : mix(r.above, std::sqrt(u - u_th) / h_above));
    }
    s *= electron_gas(rs).kf;
    if (x > x_max) s = {s.real() * x_max / x, s.imag() * x_max / x * std::log(x) / std::log(x_max)};
    return s;
}

cdouble hl_table::operator()(double rho, double p) const {
    if (!(rho > 0.0)) return 0.0;
    const double rs = std::cbrt(3.0 / (4.0 * pi * rho));
    return at(rs, p / electron_gas(rs).kf);
}

}  // namespace korva::psgen
