#include "broadening.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace korva::xas {

namespace {

constexpr double pi = std::numbers::pi;

// Cells further away than this many times sigma*sqrt(2) get a Gaussian weight below 1e-43:
// left out.
constexpr double gaussian_reach = 10.0;

// Adds mu times the Lorentzian cell weights of half width g about cell j to out.
void spread_cell(double mu, std::size_t j, double g, double h, std::vector<double>& out) {
    const std::size_t n = out.size();
    const std::size_t reach = std::max(j, n - 1 - j);
    double below = 0.0;  // arctan((k - 1/2) h / g) / pi, k = 0 first: -arctan(h / 2g) / pi
    for (std::size_t k = 0; k <= reach; ++k) {
        const double above = std::atan((static_cast<double>(k) + 0.5) * h / g) / pi;
        const double w = k == 0 ? 2.0 * above : above - below;
        below = above;
        if (k <= n - 1 - j) out[j + k] += mu * w;
        if (k > 0 && k <= j) out[j - k] += mu * w;
    }
}

// What the constant continuations beyond the ends bring to each cell: below the first cell the
// value mu.front() spread with half width g_lo, above the last mu.back() with g_hi; `share`
// gives the part of a unit-area profile beyond a distance d (eV) from its centre.
template <class Share>
void add_end_tails(const grid_spectrum& s, Share share, std::vector<double>& out) {
    const std::size_t n = s.mu.size();
    const double h = s.step;
    for (std::size_t i = 0; i < n; ++i) {
        out[i] += s.mu.front() * share(s.x(i) - s.x0 + 0.5 * h, true);
        out[i] += s.mu.back() * share(s.x(n - 1) - s.x(i) + 0.5 * h, false);
    }
}

}  // namespace

grid_spectrum resample(const std::vector<double>& e, const std::vector<double>& mu, double step) {
    grid_spectrum g;
    g.step = step;
    // A point that lies on the grid up to rounding counts as inside.
    const double first = std::ceil(e.front() / step - 1e-9);
    const double last = std::floor(e.back() / step + 1e-9);
    g.x0 = first * step;
    const auto n = static_cast<std::size_t>(std::max(0.0, last - first + 1.0));
    g.mu.resize(n);
    std::size_t k = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = std::clamp(g.x(i), e.front(), e.back());
        while (k + 2 < e.size() && e[k + 1] < x) ++k;
        const double t = (x - e[k]) / (e[k + 1] - e[k]);
        g.mu[i] = mu[k] + t * (mu[k + 1] - mu[k]);
    }
    return g;
}

double fermi_step(double x, double gamma) {
    if (gamma <= 0.0) return x > 0.0 ? 1.0 : x < 0.0 ? 0.0 : 0.5;
    return 0.5 + std::atan(x / gamma) / pi;
}

grid_spectrum cut_at_fermi(const grid_spectrum& s, double gamma) {
    grid_spectrum out = s;
    for (std::size_t i = 0; i < s.mu.size(); ++i) out.mu[i] *= fermi_step(s.x(i), gamma);
    return out;
}

double arctan_width::operator()(double x) const {
    if (!(x > 0.0)) return 0.0;
    const double e = x / e_cent;
    const double arg = pi / 3.0 * gamma_max / e_larg * (e - 1.0 / (e * e));
    return gamma_max * (0.5 + std::atan(arg) / pi);
}

grid_spectrum lorentzian(const grid_spectrum& s, const std::function<double(double)>& fwhm) {
    const std::size_t n = s.mu.size();
    grid_spectrum out{s.x0, s.step, std::vector<double>(n, 0.0)};
    if (n == 0) return out;
    for (std::size_t j = 0; j < n; ++j) {
        const double g = 0.5 * fwhm(s.x(j));
        if (g > 0.0) {
            spread_cell(s.mu[j], j, g, s.step, out.mu);
        } else {
            out.mu[j] += s.mu[j];
        }
    }
    const double g_lo = 0.5 * fwhm(s.x0), g_hi = 0.5 * fwhm(s.x(n - 1));
    add_end_tails(
        s,
        [&](double d, bool low) {
            const double g = low ? g_lo : g_hi;
            return g > 0.0 ? 0.5 - std::atan(d / g) / pi : 0.0;
        },
        out.mu);
    return out;
}

grid_spectrum gaussian(const grid_spectrum& s, double fwhm) {
    if (!(fwhm > 0.0) || s.mu.empty()) return s;
    // sigma * sqrt(2): the Gaussian's cumulative share is erf(d / width) / 2.
    const double width = fwhm / (2.0 * std::sqrt(2.0 * std::numbers::ln2)) * std::numbers::sqrt2;
    const double h = s.step;
    // w[k]: the share of a cell's Gaussian that lands k cells away.
    std::vector<double> w;
    for (std::size_t k = 0; static_cast<double>(k) * h <= gaussian_reach * width + h; ++k) {
        const double kd = static_cast<double>(k);
        w.push_back(
            k == 0 ? std::erf(0.5 * h / width)
                   : 0.5 * (std::erf((kd + 0.5) * h / width) - std::erf((kd - 0.5) * h / width)));
    }
    const std::size_t n = s.mu.size();
    grid_spectrum out{s.x0, s.step, std::vector<double>(n, 0.0)};
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t lo = i >= w.size() - 1 ? i - (w.size() - 1) : 0;
        const std::size_t hi = std::min(n - 1, i + w.size() - 1);
        for (std::size_t j = lo; j <= hi; ++j) out.mu[i] += s.mu[j] * w[i > j ? i - j : j - i];
    }
    add_end_tails(
        s, [&](double d, bool) { return 0.5 * std::erfc(d / width); }, out.mu);
    return out;
}

}  // namespace korva::xas
