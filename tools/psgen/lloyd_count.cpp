#include "lloyd_count.hpp"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_linalg.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <numbers>

#include "site_coupling.hpp"
#include "tmatrix.hpp"

namespace korva::psgen {

namespace {

constexpr double pi = std::numbers::pi;
constexpr int nch = (count_lmax + 1) * (count_lmax + 1);  // channels of one atom
constexpr double max_turn = 0.25 * pi;  // largest change of a followed phase between two points
constexpr double e_lowest = 1e-3;       // Ry: the walk on the real axis stays within the
constexpr double e_highest = 3.0;       // range of the Friedel curves
constexpr double walk_step = 0.01;      // Ry: the longest step of the walk on the real axis
constexpr double finest_step = 1e-6;    // Ry

struct gsl_matrix_deleter {
    void operator()(gsl_matrix_complex* m) const { gsl_matrix_complex_free(m); }
};
struct gsl_permutation_deleter {
    void operator()(gsl_permutation* p) const { gsl_permutation_free(p); }
};
struct gsl_vector_deleter {
    void operator()(gsl_vector_complex* v) const { gsl_vector_complex_free(v); }
};
using complex_matrix = std::unique_ptr<gsl_matrix_complex, gsl_matrix_deleter>;
using complex_vector = std::unique_ptr<gsl_vector_complex, gsl_vector_deleter>;

// A determinant whose phase can be followed: finite and not zero.
bool usable(cdouble d) {
    return std::isfinite(d.real()) && std::isfinite(d.imag()) && d != 0.0;
}
using permutation = std::unique_ptr<gsl_permutation, gsl_permutation_deleter>;

// t_l (l <= count_lmax) of every kind at the complex energy z.
std::vector<std::vector<cdouble>> t_of_kinds(const std::vector<count_kind>& kinds, cdouble z) {
    std::vector<std::vector<cdouble>> t;
    for (const count_kind& k : kinds)
        t.push_back(tl_all(k.v, k.rmt, z.real(), z.imag(), count_lmax));
    return t;
}

// The geometry of one centre's cluster: the couplings of every ordered pair of its atoms.
class centre_geometry {
  public:
    // The diagonal pairs (a direction of 1, 0, 0) are never used: they keep the indexing plain.
    centre_geometry(const coupling_terms& terms, const std::vector<count_atom>& cluster)
        : atoms_(cluster) {
        for (const count_atom& a : atoms_)
            for (const count_atom& b : atoms_)
                pairs_.emplace_back(terms, &a == &b ? 1.0 : a.x - b.x, a.y - b.y, a.z - b.z);
    }

    // det[(M^-1)_00] at the complex energy z, M = I - i g t: the centre's block of the inverse
    // from one LU factorisation and its nch unit columns. NaN when M is singular (the GSL error
    // handler is off: a status, never an abort).
    cdouble centre_determinant(cdouble z, const std::vector<std::vector<cdouble>>& t) const {
        const int n = static_cast<int>(atoms_.size()) * nch;
        const complex_matrix m(gsl_matrix_complex_alloc(n, n));
        fill(std::sqrt(z), t, m.get());
        const permutation p(gsl_permutation_alloc(n));
        int sign = 0;
        int status = gsl_linalg_complex_LU_decomp(m.get(), p.get(), &sign);
        const complex_matrix block(gsl_matrix_complex_alloc(nch, nch));
        const complex_vector column(gsl_vector_complex_alloc(n));
        for (int c = 0; c < nch && status == 0; ++c) {
            gsl_vector_complex_set_basis(column.get(), c);
            status = gsl_linalg_complex_LU_svx(m.get(), p.get(), column.get());
            for (int r = 0; r < nch; ++r)
                gsl_matrix_complex_set(block.get(), r, c, gsl_vector_complex_get(column.get(), r));
        }
        const permutation q(gsl_permutation_alloc(nch));
        if (status == 0) status = gsl_linalg_complex_LU_decomp(block.get(), q.get(), &sign);
        const gsl_complex d = gsl_linalg_complex_LU_det(block.get(), sign);
        const cdouble out(GSL_REAL(d), GSL_IMAG(d));
        return status == 0 && usable(out) ? out : cdouble(std::nan(""), 0.0);
    }

  private:
    // M_ij = delta_ij - i g(R_i - R_j) t_j, blocks of nch channels.
    void fill(cdouble k, const std::vector<std::vector<cdouble>>& t, gsl_matrix_complex* m) const {
        const std::size_t na = atoms_.size();
        gsl_matrix_complex_set_identity(m);
        std::vector<cdouble> g;
        for (std::size_t i = 0; i < na; ++i)
            for (std::size_t j = 0; j < na; ++j) {
                if (i == j) continue;
                pairs_[i * na + j].fill(k, g);
                const std::vector<cdouble>& tj = t[atoms_[j].kind];
                for (int r = 0; r < nch; ++r)
                    for (int l = 0, c = 0; l <= count_lmax; ++l)
                        for (int mm = -l; mm <= l; ++mm, ++c) {
                            const cdouble v = cdouble(0.0, -1.0) * g[r * nch + c] * tj[l];
                            gsl_matrix_complex_set(m, i * nch + r, j * nch + c,
                                                   gsl_complex{{v.real(), v.imag()}});
                        }
            }
    }

    std::vector<count_atom> atoms_;
    std::vector<site_coupling> pairs_;  // row-major over (i, j)
};

// The centres' determinants at one energy.
std::vector<cdouble> determinants(const std::vector<count_kind>& kinds,
                                  const std::vector<centre_geometry>& centres, cdouble z) {
    const auto t = t_of_kinds(kinds, z);
    std::vector<cdouble> d;
    for (const centre_geometry& c : centres) d.push_back(c.centre_determinant(z, t));
    return d;
}

// The largest change of the determinants' phases from a to b; infinite when one of them cannot
// be followed.
double largest_turn(const std::vector<cdouble>& a, const std::vector<cdouble>& b) {
    double most = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!usable(a[i]) || !usable(b[i])) return HUGE_VAL;
        most = std::max(most, std::abs(std::arg(b[i] / a[i])));
    }
    return most;
}

// The angles of the first points of the half circle, from pi (e_low) to 0 (e_high): even in
// angle, and towards e_high, where the cluster's resonances lie just below the real axis, a
// geometric sequence (each point half as far from the axis as the one before, down to 1e-5 of
// the radius) so that no resonance there turns a phase through a whole turn between two points
// unseen.
std::vector<double> contour_angles() {
    constexpr int even_points = 16;
    std::vector<double> theta;
    for (int i = 0; i < even_points; ++i) theta.push_back(pi * (1.0 - double(i) / even_points));
    for (double t = pi / even_points; t > 1e-5; t /= 2.0) theta.push_back(t);
    theta.push_back(0.0);
    return theta;
}

// The phases of the centres' determinants followed along the half circle from e_low to e_high
// above the real axis: (2/pi) times their change, the principal phase at e_low added (the
// states multiple scattering moves below the floor: none when the cores stay single-site).
// Points at contour_angles, bisected wherever a phase turns by more than max_turn; the new
// points of each round are computed in parallel. Nothing when a determinant cannot be followed
// (a singular matrix) or a turn stays unresolved.
std::optional<std::vector<double>> contour_states(const std::vector<count_kind>& kinds,
                                                  const std::vector<centre_geometry>& centres,
                                                  double e_low, double e_high) {
    const double c = 0.5 * (e_low + e_high), rho = 0.5 * (e_high - e_low);
    auto at = [&](double theta) { return cdouble(c, 0.0) + rho * std::polar(1.0, theta); };
    std::vector<double> theta = contour_angles();
    std::vector<std::vector<cdouble>> d(theta.size());
    std::vector<std::size_t> todo(theta.size());
    for (std::size_t i = 0; i < todo.size(); ++i) todo[i] = i;
    for (int round = 0; !todo.empty() && round < 40; ++round) {
#pragma omp parallel for schedule(dynamic)
        for (std::size_t i = 0; i < todo.size(); ++i)
            d[todo[i]] = determinants(kinds, centres, at(theta[todo[i]]));
        std::vector<double> next_theta{theta.front()};
        std::vector<std::vector<cdouble>> next_d{d.front()};
        todo.clear();
        for (std::size_t i = 1; i < theta.size(); ++i) {
            if (largest_turn(d[i - 1], d[i]) > max_turn && theta[i - 1] - theta[i] > 1e-9) {
                todo.push_back(next_theta.size());
                next_theta.push_back(0.5 * (theta[i - 1] + theta[i]));
                next_d.emplace_back();
            }
            next_theta.push_back(theta[i]);
            next_d.push_back(d[i]);
        }
        theta.swap(next_theta);
        d.swap(next_d);
    }
    for (std::size_t i = 1; i < d.size(); ++i)
        if (largest_turn(d[i - 1], d[i]) > max_turn) return std::nullopt;  // not resolved
    std::vector<double> states(centres.size());
    for (std::size_t s = 0; s < centres.size(); ++s) {
        double turn = std::arg(d.front()[s]);
        for (std::size_t i = 1; i < d.size(); ++i) turn += std::arg(d[i][s] / d[i - 1][s]);
        states[s] = 2.0 / pi * turn;
    }
    return states;
}

std::vector<centre_geometry> geometries(const coupling_terms& terms,
                                        const std::vector<count_centre>& centres) {
    std::vector<centre_geometry> g;
    for (const count_centre& c : centres) g.emplace_back(terms, c.cluster);
    return g;
}

}  // namespace

double scattering_states(const std::vector<count_kind>& kinds,
                         const std::vector<count_atom>& cluster, double e_low, double e_high) {
    gsl_set_error_handler_off();
    const coupling_terms terms(count_lmax);
    const auto states = contour_states(kinds, {centre_geometry(terms, cluster)}, e_low, e_high);
    return states ? (*states)[0] : std::nan("");
}

double scattering_states_at(const std::vector<count_kind>& kinds,
                            const std::vector<count_atom>& cluster, double e) {
    gsl_set_error_handler_off();
    const coupling_terms terms(count_lmax);
    return 2.0 / pi * std::arg(determinants(kinds, {centre_geometry(terms, cluster)}, e)[0]);
}

double valence_floor(const std::vector<count_kind>& kinds) {
    constexpr double lowest = -3.0, highest = -0.2, step = 0.05;
    const int n = static_cast<int>(std::lround((highest - lowest) / step));
    std::vector<int> bound(n + 1);
#pragma omp parallel for schedule(dynamic)
    for (int i = 0; i <= n; ++i) {
        int b = 0;
        for (const count_kind& k : kinds)
            for (int l = 0; l <= count_lmax; ++l)
                b += bound_states(k.v, k.rmt, l, lowest + i * step);
        bound[i] = b;
    }
    int best_first = 0, best_last = 0;
    for (int first = 0, i = 1; i <= n + 1; ++i)
        if (i == n + 1 || bound[i] != bound[first]) {
            if (i - 1 - first > best_last - best_first) best_first = first, best_last = i - 1;
            first = i;
        }
    return lowest + 0.5 * (best_first + best_last) * step;
}

namespace {

// The centres' followed parts at an energy of the real axis and their determinants there.
struct walk_point {
    double e;
    std::vector<cdouble> d;
    std::vector<double> ms;
};

// One step of the walk on the real axis from p to x: the determinants at x and the change of the
// followed parts along the detour through the apex (p.e + x)/2 + i|x - p.e|/2, which passes
// above the narrow resonances of the cluster (poles just below the axis) at half a step, so that
// a phase that turns through a whole turn within one step is not taken for one that stands
// still. The two ends are computed in parallel. Nothing when a leg turns a phase by more than
// max_turn.
std::optional<walk_point> step_to(const std::vector<count_kind>& kinds,
                                  const std::vector<centre_geometry>& geo, const walk_point& p,
                                  double x) {
    const cdouble ends[2] = {cdouble(0.5 * (p.e + x), 0.5 * std::abs(x - p.e)), cdouble(x, 0.0)};
    std::vector<cdouble> d[2];
#pragma omp parallel for
    for (int i = 0; i < 2; ++i) d[i] = determinants(kinds, geo, ends[i]);
    if (largest_turn(p.d, d[0]) > max_turn || largest_turn(d[0], d[1]) > max_turn)
        return std::nullopt;
    walk_point q{x, d[1], p.ms};
    for (std::size_t s = 0; s < q.ms.size(); ++s)
        q.ms[s] += 2.0 / pi * (std::arg(d[0][s] / p.d[s]) + std::arg(d[1][s] / d[0][s]));
    return q;
}

// The walk on the real axis from p towards the energy where excess (the weighted states less
// the target) changes sign, linear between the last two points; steps of at most walk_step,
// halved at a resonance. Nothing when it leaves the range of the Friedel curves or a phase
// cannot be followed.
std::optional<double> walk_to_count(const std::vector<count_kind>& kinds,
                                    const std::vector<centre_geometry>& geo, walk_point p,
                                    const std::function<double(const walk_point&)>& excess) {
    const double dir = excess(p) < 0.0 ? 1.0 : -1.0;
    double h = walk_step;
    for (int steps = 0; steps < 4000; ++steps) {
        const double x = p.e + dir * h;
        if (x < e_lowest || x > e_highest) return std::nullopt;
        const std::optional<walk_point> q = step_to(kinds, geo, p, x);
        if (!q && h > finest_step) {
            h *= 0.5;  // a resonance: follow it in smaller steps
            continue;
        }
        if (!q) return std::nullopt;
        const double before = excess(p), after = excess(*q);
        if ((after >= 0.0) != (before >= 0.0)) return p.e + (x - p.e) * before / (before - after);
        p = *q;
        h = std::min(2.0 * h, walk_step);
    }
    return std::nullopt;
}

}  // namespace

std::optional<double> lloyd_fermi_level(const std::vector<count_kind>& kinds,
                                        const std::vector<count_centre>& centres, double start) {
    if (centres.empty()) return std::nullopt;
    std::vector<state_curve> friedel;
    double target = 0.0;
    for (const count_centre& c : centres) {
        friedel.push_back(friedel_states(c.site));
        target += c.site.weight * valence_electrons(c.site);
    }
    if (!(target > 0.0)) return std::nullopt;
    gsl_set_error_handler_off();
    const coupling_terms terms(count_lmax);
    const std::vector<centre_geometry> geo = geometries(terms, centres);
    const double e = std::clamp(start, e_lowest, e_highest);
    const auto ms = contour_states(kinds, geo, valence_floor(kinds), e);
    if (!ms) return std::nullopt;
    auto excess = [&](const walk_point& p) {
        double n = -target;
        for (std::size_t s = 0; s < centres.size(); ++s)
            n += centres[s].site.weight * (friedel[s](p.e) + p.ms[s]);
        return n;
    };
    return walk_to_count(kinds, geo, {e, determinants(kinds, geo, e), *ms}, excess);
}

}  // namespace korva::psgen
