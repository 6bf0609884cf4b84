#include "atom_scf.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "psgen_input.hpp"

namespace korva::psgen {

namespace {

// Thomas-Fermi screening (Moliere's three exponentials) as the first guess of the electrons'
// potential, Hartree: V_H + V_xc = (N/r) (1 - phi(r/b)), with Latter's tail: never more than
// (N - 1)/r, so that the first potential falls off like that of an ion of charge 1 and binds the
// open 4f, 5f and 6d shells that Moliere's exponential screening leaves unbound.
std::vector<double> starting_potential(const radial_grid& g, double electrons) {
    const double b = 0.8853 / std::cbrt(std::max(electrons, 1.0));
    std::vector<double> u(g.size());
    for (int i = 0; i < g.size(); ++i) {
        const double x = g.r[i] / b;
        const double phi =
            0.35 * std::exp(-0.3 * x) + 0.55 * std::exp(-1.2 * x) + 0.10 * std::exp(-6.0 * x);
        u[i] = std::min(electrons * (1.0 - phi), electrons - 1.0) / g.r[i];
    }
    return u;
}

// Pulay (DIIS) mixing of the electrons' potential: the combination of the stored inputs whose
// residuals (output minus input) have the least norm, stepped along its residual by beta.
class pulay_mixer {
  public:
    pulay_mixer(const radial_grid& g, int depth, double beta)
        : gp_(&g), depth_(depth), beta_(beta) {}
    std::vector<double> next(const std::vector<double>& in, const std::vector<double>& out);

  private:
    double dot(const std::vector<double>& a, const std::vector<double>& b) const {
        double s = 0.0;
        const radial_grid& g = *gp_;
        for (int i = 0; i < g.size(); ++i) s += a[i] * b[i] * g.r[i] * g.r[i] * g.r[i];
        return s * g.h;
    }
    const radial_grid* gp_;
    int depth_;
    double beta_;
    std::vector<std::vector<double>> ins_, res_;
};

// Solves the small symmetric system a c = b by Gaussian elimination with partial pivoting.
std::vector<double> solve_small(std::vector<std::vector<double>> a, std::vector<double> b) {
    const int n = static_cast<int>(b.size());
    for (int k = 0; k < n; ++k) {
        int piv = k;
        for (int i = k + 1; i < n; ++i)
            if (std::abs(a[i][k]) > std::abs(a[piv][k])) piv = i;
        std::swap(a[k], a[piv]);
        std::swap(b[k], b[piv]);
        if (a[k][k] == 0.0) return {};
        for (int i = k + 1; i < n; ++i) {
            const double f = a[i][k] / a[k][k];
            for (int j = k; j < n; ++j) a[i][j] -= f * a[k][j];
            b[i] -= f * b[k];
        }
    }
    std::vector<double> x(n);
    for (int k = n - 1; k >= 0; --k) {
        double s = b[k];
        for (int j = k + 1; j < n; ++j) s -= a[k][j] * x[j];
        x[k] = s / a[k][k];
    }
    return x;
}

std::vector<double> pulay_mixer::next(const std::vector<double>& in,
                                      const std::vector<double>& out) {
    std::vector<double> r(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) r[i] = out[i] - in[i];
    ins_.push_back(in);
    res_.push_back(r);
    if (static_cast<int>(ins_.size()) > depth_) {
        ins_.erase(ins_.begin());
        res_.erase(res_.begin());
    }
    const int m = static_cast<int>(ins_.size());
    // Lagrange system for min |sum c_k R_k|^2 with sum c_k = 1.
    std::vector<std::vector<double>> a(m + 1, std::vector<double>(m + 1, 1.0));
    std::vector<double> b(m + 1, 0.0);
    a[m][m] = 0.0;
    b[m] = 1.0;
    for (int i = 0; i < m; ++i)
        for (int j = 0; j <= i; ++j) a[i][j] = a[j][i] = dot(res_[i], res_[j]);
    std::vector<double> c = solve_small(a, b);
    if (c.empty()) c.assign(m + 1, 0.0), c[m - 1] = 1.0;
    std::vector<double> x(in.size(), 0.0);
    for (int k = 0; k < m; ++k)
        for (std::size_t i = 0; i < in.size(); ++i)
            x[i] += c[k] * (ins_[k][i] + beta_ * res_[k][i]);
    return x;
}

struct scf_state {
    std::vector<double> density, vh, vxc, eps_xc;
};

// Density of the occupied orbitals and the potentials and energy densities it makes.
scf_state density_and_potential(const radial_grid& g, const std::vector<atom_orbital>& orbs,
                                vwn_variant xc, bool relativistic) {
    const int n = g.size();
    scf_state s;
    s.density.assign(n, 0.0);
    for (const auto& o : orbs)
        for (int i = 0; i < n; ++i) s.density[i] += o.occ * o.state.p[i] * o.state.p[i];
    s.vh = hartree_potential(g, s.density);
    std::vector<double> rho(n);
    for (int i = 0; i < n; ++i) rho[i] = s.density[i] / (4.0 * std::numbers::pi * g.r[i] * g.r[i]);
    xc_values x = lda_xc(rho, xc, relativistic);
    s.vxc = std::move(x.v);
    s.eps_xc = std::move(x.eps);
    return s;
}

atom_energies energies(const radial_grid& g, double z, const std::vector<atom_orbital>& orbs,
                       const scf_state& s, const std::vector<double>& u_in) {
    const int n = g.size();
    std::vector<double> f_nuc(n), f_h(n), f_xc(n), f_in(n);
    for (int i = 0; i < n; ++i) {
        f_nuc[i] = s.density[i] / g.r[i];
        f_h[i] = s.density[i] * s.vh[i];
        f_xc[i] = s.density[i] * s.eps_xc[i];
        f_in[i] = s.density[i] * u_in[i];
    }
    atom_energies e;
    double band = 0.0;
    for (const auto& o : orbs) band += o.occ * o.state.e;
    e.enuc = -z * integrate(g, f_nuc);
    e.coulomb = 0.5 * integrate(g, f_h);
    e.xc = integrate(g, f_xc);
    e.kinetic = band - e.enuc - integrate(g, f_in);  // band - int n (-z/r + u_in)
    e.total = e.kinetic + e.coulomb + e.enuc + e.xc;
    return e;
}

// tol: how closely each eigenvalue is found (relative); loose while the potential itself is far
// from self-consistent.
void solve_orbitals(const radial_grid& g, double z, const std::vector<double>& u, bool rel,
                    double tol, std::vector<atom_orbital>& orbs) {
    std::vector<double> v(g.size());
    for (int i = 0; i < g.size(); ++i) v[i] = -z / g.r[i] + u[i];
    for (auto& o : orbs) o.state = solve_bound(g, v, z, o.n, o.l, rel, o.state.e, tol);
}

}  // namespace

std::vector<double> hartree_potential(const radial_grid& g, const std::vector<double>& n) {
    std::vector<double> n_over_r(g.size());
    for (int i = 0; i < g.size(); ++i) n_over_r[i] = n[i] / g.r[i];
    const std::vector<double> inside = integral_outward(g, n);
    const std::vector<double> outside = integral_inward(g, n_over_r);
    std::vector<double> vh(g.size());
    for (int i = 0; i < g.size(); ++i) vh[i] = inside[i] / g.r[i] + outside[i];
    return vh;
}

namespace {

// Largest change of an eigenvalue between two sets of orbitals.
double eigenvalue_shift(const std::vector<atom_orbital>& a, const std::vector<atom_orbital>& b) {
    double shift = 0.0;
    for (std::size_t k = 0; k < a.size(); ++k)
        shift = std::max(shift, std::abs(a[k].state.e - b[k].state.e));
    return shift;
}

}  // namespace

atom_solution solve_atom(double z, const configuration& c, const atom_options& o) {
    atom_solution a;
    a.z = z;
    a.grid = atom_grid(z);
    const radial_grid& g = a.grid;
    for (const auto& s : c) a.orbitals.push_back({s.n, s.l, s.occ, {}});
    std::vector<double> u = starting_potential(g, electron_count(c));
    pulay_mixer mix(g, 8, 0.3);
    std::vector<double> u_ok, r_ok;  // last input whose states were all bound, and its residual
    std::vector<atom_orbital> before = a.orbitals;
    int failures = 0;
    double shift = 1.0;  // largest eigenvalue change of the last iteration, Hartree
    for (int it = 1; it <= 300; ++it) {
        try {
            // Eigenvalues 1e5 times closer than they still move (relative, at most 1e-7): no
            // shot is spent on digits the next potential changes; 1e-13 from shifts of 1e-8 on.
            solve_orbitals(g, z, u, o.relativistic, std::clamp(1.0e-5 * shift, 1.0e-13, 1.0e-7),
                           a.orbitals);
        } catch (const psgen_error&) {
            // A Pulay step can overshoot so far that an open shell is not bound: go back to the
            // last good input and take a short linear step from there, shorter at each failure.
            if (u_ok.empty() || ++failures > 20) throw;
            a.orbitals = before;
            mix = pulay_mixer(g, 8, 0.3);
            for (std::size_t i = 0; i < u.size(); ++i)
                u[i] = u_ok[i] + 0.1 * std::pow(0.5, failures - 1) * r_ok[i];
            continue;
        }
        const scf_state s = density_and_potential(g, a.orbitals, o.xc, o.relativistic);
        const atom_energies e = energies(g, z, a.orbitals, s, u);
        std::vector<double> u_out(g.size());
        for (int i = 0; i < g.size(); ++i) u_out[i] = s.vh[i] + s.vxc[i];
        shift = eigenvalue_shift(a.orbitals, before);
        const bool done = it > 2 && shift < 1.0e-10 && std::abs(e.total - a.energy.total) < 1.0e-10;
        a.energy = e;
        before = a.orbitals;
        if (done) {
            a.density = s.density;
            a.v_hartree = s.vh;
            a.v_xc = s.vxc;
            a.iterations = it;
            return a;
        }
        u_ok = u;
        r_ok.resize(u.size());
        for (std::size_t i = 0; i < u.size(); ++i) r_ok[i] = u_out[i] - u[i];
        u = mix.next(u, u_out);
    }
    throw psgen_error("the atom Z = " + std::to_string(z) + " did not reach self-consistency");
}

void print_atom(std::ostream& os, const atom_solution& a) {
    char buf[64];
    const std::pair<const char*, double> rows[] = {{"Etot", a.energy.total},
                                                   {"Ekin", a.energy.kinetic},
                                                   {"Ecoul", a.energy.coulomb},
                                                   {"Eenuc", a.energy.enuc},
                                                   {"Exc", a.energy.xc}};
    for (const auto& [name, value] : rows) {
        std::snprintf(buf, sizeof buf, "%-6s= %15.6f\n", name, value);
        os << buf;
    }
    for (const auto& o : a.orbitals) {
        std::snprintf(buf, sizeof buf, "%-4s%15.6f\n", subshell_label(o.n, o.l).c_str(), o.state.e);
        os << buf;
    }
}

}  // namespace korva::psgen
