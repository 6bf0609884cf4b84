#include "agreement.hpp"

#include <algorithm>

#include "inputs.hpp"

namespace korva::xas {

namespace {

// The scale that makes scale * t closest to m in least squares, within the scale's bounds.
double least_squares_scale(const std::vector<double>& m, const std::vector<double>& t,
                           const fit_parameter& bounds) {
    double mt = 0.0, tt = 0.0;
    for (std::size_t i = 0; i < m.size(); ++i) mt += m[i] * t[i], tt += t[i] * t[i];
    return tt > 0.0 ? std::clamp(mt / tt, bounds.lo, bounds.hi) : 1.0;
}

// The residuals of the fit: the model of the ensemble at the parameters' values, less the
// measurement.
residual_function residuals(const measurement& m, ensemble_model& model, const options& o) {
    const bool width_free = o.params[p_width].free;
    return [&m, &model, &o, width_free](const parameter_values& v, std::vector<double>& r) {
        widths w{v[p_resolution], o.final_scale};
        if (width_free) w.final_scale = v[p_width];
        const std::vector<double> t = model_values(m, model.mean(w), v[p_shift], v[p_scale]);
        for (std::size_t k = 0; k < r.size(); ++k) r[k] = t[k] - m.mu[k];
    };
}

std::string iterations_text(int n) {
    return std::to_string(n) + (n == 1 ? " iteration" : " iterations");
}

// One fit from `start` with every member's E0 held where `held` has it; the outcome into `a`.
void fit_once(const measurement& m, const std::vector<member>& members, const options& o,
              const fit_parameters& start, const ensemble& held, agreement& a) {
    std::vector<double> e0;
    for (const xas_spectrum& s : held.each) e0.push_back(s.norm.e0);
    ensemble_model model(members, e0);
    a.outcome = fit(start, m.mu.size(), residuals(m, model, o), o.max_iterations);
    if (!a.outcome.converged)
        throw xas_error(exit_wrong_value,
                        m.file.path + ": the fit did not converge (" + a.outcome.reason +
                            ") after " + iterations_text(a.outcome.iterations) +
                            " (--max-iterations " + std::to_string(o.max_iterations) +
                            "); fix or bound parameters, or give a start with --shift");
    a.p = a.outcome.p;
    a.w = {a.p[p_resolution].value, o.final_scale};
    if (o.params[p_width].free) a.w.final_scale = a.p[p_width].value;
}

bool same_e0(const ensemble& x, const ensemble& y) {
    for (std::size_t i = 0; i < x.each.size(); ++i)
        if (x.each[i].norm.e0 != y.each[i].norm.e0) return false;
    return true;
}

// The fit from the aligned start. A fit holds every member's E0 (its normalisation would jump
// between grid points as the widths change); when the fitted widths move an E0, the fit is
// made again with E0 held there, so that the result is the model the fit found.
void fit_parameters_of(const measurement& m, const std::vector<member>& members, const options& o,
                       const ensemble& first, agreement& a) {
    constexpr int max_passes = 4;
    fit_parameters start = o.params;
    start[p_shift].value = a.start_shift;
    start[p_scale].value =
        o.scale ? *o.scale
                : least_squares_scale(m.mu, model_values(m, first.mean_line(), a.start_shift, 1.0),
                                      start[p_scale]);
    start[p_resolution].value = o.resolution;
    start[p_width].value = o.final_scale ? *o.final_scale : members.front().p.final_scale;
    ensemble held = first;
    for (int pass = 1;; ++pass) {
        fit_once(m, members, o, start, held, a);
        a.spectrum = combine(members, a.w);
        if (same_e0(a.spectrum, held) || pass == max_passes) break;
        held = a.spectrum;
        start = a.p;
    }
    a.fitted = true;
}

}  // namespace

agreement hold_against(const measurement& m, const std::vector<member>& members, const options& o) {
    agreement a;
    a.w = {o.resolution, o.final_scale};
    const ensemble first = combine(members, a.w);
    const computed_line line = first.mean_line();
    const fit_parameter& shift = o.params[p_shift];
    a.start_shift = o.shift ? *o.shift : best_shift(m, line, shift.lo, shift.hi);
    a.start_scale = o.scale ? *o.scale : 1.0;
    a.start = figures_of(m.mu, model_values(m, line, a.start_shift, a.start_scale));
    a.p = o.params;
    a.p[p_shift].value = a.start_shift;
    a.p[p_scale].value = a.start_scale;
    a.p[p_resolution].value = o.resolution;
    a.p[p_width].value = o.final_scale ? *o.final_scale : members.front().p.final_scale;
    if (!o.fit) {
        a.result = a.start;
        a.spectrum = first;
        return a;
    }
    fit_parameters_of(m, members, o, first, a);
    a.result = figures_of(
        m.mu, model_values(m, a.spectrum.mean_line(), a.p[p_shift].value, a.p[p_scale].value));
    return a;
}

}  // namespace korva::xas
