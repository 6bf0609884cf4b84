#include "compare.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "inputs.hpp"

namespace korva::xas {

namespace {

std::string ev(double v) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

std::string window_text(const window_range& w) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "E0%+g..E0%+g eV", w.lo, w.hi);
    return buf;
}

}  // namespace

measurement prepare_measurement(const measured_spectrum& m, const window_range& w) {
    measurement out;
    out.file = m;
    out.window = w;
    if (m.normalised) {
        out.norm.e0 = largest_derivative(m.energy, m.mu);
        out.norm.step = 1.0;
        out.norm.mu = m.mu;
    } else {
        const double e0 = largest_derivative(m.energy, m.mu);
        out.norm = normalise(m.energy, m.mu, ranges_for(e0, m.energy.back(), true));
    }
    for (std::size_t i = 0; i < m.energy.size(); ++i) {
        const double d = m.energy[i] - out.norm.e0;
        if (d < w.lo || d > w.hi) continue;
        out.energy.push_back(m.energy[i]);
        out.mu.push_back(out.norm.mu[i]);
        out.lines.push_back(m.lines[i]);
    }
    if (out.energy.size() < 3)
        throw xas_error(exit_wrong_value, m.path + ": " + std::to_string(out.energy.size()) +
                                              " measured points lie in the window " +
                                              window_text(w) + " (E0 " + ev(out.norm.e0) +
                                              " eV); at least 3 are needed");
    return out;
}

double computed_line::at(double e) const {
    const double t = (e - e0) / step;
    if (!(t > 0.0)) return mu.front();
    const auto i = static_cast<std::size_t>(t);
    if (i + 1 >= mu.size()) return mu.back();
    const double f = t - static_cast<double>(i);
    return mu[i] + f * (mu[i + 1] - mu[i]);
}

std::vector<double> model_values(const measurement& m, const computed_line& c, double shift,
                                 double scale) {
    std::vector<double> t(m.energy.size());
    for (std::size_t i = 0; i < t.size(); ++i) t[i] = scale * c.at(m.energy[i] - shift);
    return t;
}

figures figures_of(const std::vector<double>& measured, const std::vector<double>& model) {
    const auto n = static_cast<double>(measured.size());
    double sm = 0.0, st = 0.0;
    for (std::size_t i = 0; i < measured.size(); ++i) sm += measured[i], st += model[i];
    const double mm = sm / n, mt = st / n;
    double smt = 0.0, smm = 0.0, stt = 0.0, diff = 0.0, square = 0.0;
    for (std::size_t i = 0; i < measured.size(); ++i) {
        const double a = measured[i] - mm, b = model[i] - mt;
        smt += a * b, smm += a * a, stt += b * b;
        diff += (measured[i] - model[i]) * (measured[i] - model[i]);
        square += measured[i] * measured[i];
    }
    figures f;
    f.r = smm > 0.0 && stt > 0.0 ? smt / std::sqrt(smm * stt) : 0.0;
    f.rfactor = square > 0.0 ? diff / square : 0.0;
    return f;
}

double best_shift(const measurement& m, const computed_line& c, double lo, double hi) {
    const double w_lo = m.energy.front(), w_hi = m.energy.back();
    const bool overlap = c.first() + lo < w_hi && c.last() + hi > w_lo;
    if (!overlap)
        throw xas_error(exit_wrong_value,
                        m.file.path + ": the measured window " + window_text(m.window) + ", " +
                            ev(w_lo) + ".." + ev(w_hi) +
                            " eV, does not overlap the computed "
                            "spectrum, " +
                            ev(c.first()) + ".." + ev(c.last()) + " eV, at any shift from " +
                            ev(lo) + " to " + ev(hi) + " eV");
    double best_r = -2.0, best = lo;
    const auto steps = static_cast<long>(std::floor((hi - lo) / shift_search_step + 1e-9));
    for (long k = 0; k <= steps; ++k) {
        const double s = lo + shift_search_step * static_cast<double>(k);
        const figures f = figures_of(m.mu, model_values(m, c, s, 1.0));
        if (f.r > best_r) best_r = f.r, best = s;
    }
    return best;
}

}  // namespace korva::xas
