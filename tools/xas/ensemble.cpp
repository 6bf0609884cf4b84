#include "ensemble.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "inputs.hpp"

namespace korva::xas {

namespace {

// The grid points k (x = k step) the members share, and a member that starts at the first.
struct shared_range {
    long k0 = LONG_MIN, k1 = LONG_MAX;
    std::size_t ref = 0;
};

long first_k(const grid_spectrum& g) {
    return std::lround(g.x0 / g.step);
}

shared_range shared_of(const std::vector<member>& m) {
    shared_range r;
    for (std::size_t i = 0; i < m.size(); ++i) {
        const long k0 = first_k(m[i].cut);
        if (k0 > r.k0) r.k0 = k0, r.ref = i;
        r.k1 = std::min(r.k1, k0 + static_cast<long>(m[i].cut.mu.size()) - 1);
    }
    if (r.k1 - r.k0 + 1 < 3) {
        char what[160];
        std::snprintf(what, sizeof what,
                      "the %zu runs share %ld photon energies of their grids; at least 3 are "
                      "needed (their energy ranges about their Fermi levels hardly overlap)",
                      m.size(), std::max(0L, r.k1 - r.k0 + 1));
        throw xas_error(exit_wrong_value, what);
    }
    return r;
}

spectrum_parameters with_widths(const member& m, const widths& w) {
    spectrum_parameters p = m.p;
    p.resolution = w.resolution;
    if (w.final_scale) p.final_scale = *w.final_scale;
    return p;
}

// Every member on the shared energies, their weighted mean and spread.
void average(const std::vector<member>& m, const shared_range& r, ensemble& out) {
    const auto n = static_cast<std::size_t>(r.k1 - r.k0 + 1);
    const auto at = [&](std::size_t i) {
        return static_cast<std::size_t>(r.k0 - first_k(m[i].cut));
    };
    const std::vector<double>& ref = out.each[r.ref].energy;
    out.energy.assign(ref.begin() + static_cast<long>(at(r.ref)),
                      ref.begin() + static_cast<long>(at(r.ref) + n));
    out.shared.clear();
    for (std::size_t i = 0; i < m.size(); ++i) {
        const std::vector<double>& mu = out.each[i].mu;
        out.shared.emplace_back(mu.begin() + static_cast<long>(at(i)),
                                mu.begin() + static_cast<long>(at(i) + n));
    }
    out.spread.assign(n, 0.0);
    if (m.size() == 1) {  // the run's own spectrum, not w x / w
        out.mean = out.shared[0];
        return;
    }
    double total = 0.0;
    for (const member& x : m) total += x.weight;
    out.mean.assign(n, 0.0);
    for (std::size_t j = 0; j < n; ++j) {
        double sum = 0.0;
        for (std::size_t i = 0; i < m.size(); ++i) sum += m[i].weight * out.shared[i][j];
        out.mean[j] = sum / total;
        double square = 0.0;
        for (std::size_t i = 0; i < m.size(); ++i) {
            const double d = out.shared[i][j] - out.mean[j];
            square += m[i].weight * d * d;
        }
        out.spread[j] = std::sqrt(square / total);
    }
}

}  // namespace

computed_line ensemble::mean_line() const {
    return {energy.front(), step, mean};
}

computed_line ensemble::spread_line() const {
    return {energy.front(), step, spread};
}

double ensemble_step(const std::vector<double>& spans) {
    double widest = 0.0;
    for (double s : spans) widest = std::max(widest, s);
    return grid_step(widest);
}

ensemble combine(const std::vector<member>& m, const widths& w, const std::vector<double>& e0) {
    const shared_range r = shared_of(m);
    ensemble out;
    out.step = m.front().cut.step;
    for (std::size_t i = 0; i < m.size(); ++i) {
        const spectrum_parameters p = with_widths(m[i], w);
        const std::optional<double> held = e0.empty() ? std::nullopt : std::optional<double>(e0[i]);
        out.each.push_back(normalised(broaden(m[i].cut, p), p.edge_ev, held));
    }
    average(m, r, out);
    return out;
}

ensemble_model::ensemble_model(const std::vector<member>& m, std::vector<double> e0)
    : members_(m), e0_(std::move(e0)), scale_(m.size()), lorentzian_(m.size()) {}

computed_line ensemble_model::mean(const widths& w) {
    const shared_range r = shared_of(members_);
    ensemble out;
    out.step = members_.front().cut.step;
    for (std::size_t i = 0; i < members_.size(); ++i) {
        const spectrum_parameters p = with_widths(members_[i], w);
        if (!scale_[i] || *scale_[i] != p.final_scale) {
            arctan_width law = p.law;
            law.gamma_max *= p.final_scale;
            lorentzian_[i] = lorentzian(members_[i].cut, law);
            scale_[i] = p.final_scale;
        }
        out.each.push_back(normalised(gaussian(lorentzian_[i], p.resolution), p.edge_ev, e0_[i]));
    }
    average(members_, r, out);
    return out.mean_line();
}

}  // namespace korva::xas
