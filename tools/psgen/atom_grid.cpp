#include "atom_grid.hpp"

#include <algorithm>
#include <cmath>

namespace korva::psgen {

radial_grid make_grid(double r_min, double r_max, int n) {
    radial_grid g;
    g.h = std::log(r_max / r_min) / (n - 1);
    g.r.resize(n);
    for (int i = 0; i < n; ++i) g.r[i] = r_min * std::exp(i * g.h);
    return g;
}

radial_grid atom_grid(double z) {
    const double r_min = 1.0e-8 / z, r_max = 50.0, h = 0.005;
    const int n = static_cast<int>(std::ceil(std::log(r_max / r_min) / h)) + 1;
    return make_grid(r_min, r_max, n);
}

double integrate(const radial_grid& g, const std::vector<double>& f) {
    double s = 0.0;
    const int n = g.size();
    for (int i = 0; i < n; ++i) s += f[i] * g.r[i] * (i == 0 || i == n - 1 ? 0.5 : 1.0);
    return s * g.h;
}

double interpolate(const radial_grid& g, const std::vector<double>& f, double r) {
    const int n = g.size();
    if (r <= g.r.front()) return f.front();
    if (r >= g.r.back()) return f.back();
    const double x = std::log(r / g.r.front()) / g.h;
    const int i0 = std::clamp(static_cast<int>(x) - 1, 0, n - 4);
    const double t = x - i0;  // in [0, 3]
    const double a = t, b = t - 1.0, c = t - 2.0, d = t - 3.0;
    return (-b * c * d * f[i0] + 3.0 * a * c * d * f[i0 + 1] - 3.0 * a * b * d * f[i0 + 2] +
            a * b * c * f[i0 + 3]) /
           6.0;
}

namespace {

// Running integral in x of y = f r, stepping from index `from` by `dir` (+1 or -1).
std::vector<double> running(const radial_grid& g, const std::vector<double>& f, int dir) {
    const int n = g.size();
    std::vector<double> y(n), out(n, 0.0);
    for (int i = 0; i < n; ++i) y[i] = f[i] * g.r[i];
    const double h = g.h;
    const int first = dir > 0 ? 0 : n - 1;
    for (int s = 1; s < n; ++s) {
        const int i = first + dir * s, p = i - dir;
        double step;
        if (s < 4) {
            step = 0.5 * h * (y[i] + y[p]);
        } else {
            step = h / 720.0 *
                   (251.0 * y[i] + 646.0 * y[p] - 264.0 * y[p - dir] + 106.0 * y[p - 2 * dir] -
                    19.0 * y[p - 3 * dir]);
        }
        out[i] = out[p] + step;
    }
    return out;
}

}  // namespace

std::vector<double> integral_outward(const radial_grid& g, const std::vector<double>& f) {
    return running(g, f, +1);
}

std::vector<double> integral_inward(const radial_grid& g, const std::vector<double>& f) {
    return running(g, f, -1);
}

}  // namespace korva::psgen
