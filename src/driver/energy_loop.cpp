#include "driver/energy_loop.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "common/channels.hpp"
#include "common/errors.hpp"
#include "common/textio.hpp"
#include "common/units.hpp"
#include "driver/assembly.hpp"
#include "driver/loop_prepare.hpp"
#include "post/open.hpp"
#include "post/signal_plot.hpp"

namespace korva {

namespace {

// What the assembly and the builders read of the run.
cluster_view view_of(const run_state& st) {
    return {st.par, st.phases, st.bonds, st.ylm, st.cut.lmxtop, st.kernel};
}

// The recursion of one point: the weighted sum of the diagonal elements of every initial
// channel M0 of L0, and the most levels any of them took.
struct point_solution {
    cplx sum;
    int nitmax = 0;
};

}  // namespace

void prepare_loop(run_state& st, std::ostream& out, run_observer* obs, bool plots) {
    const run_parameters& p = st.par;
    {
        phase_timer t(obs, &run_timings::ylm);
        st.cut = energy_cutoffs(st.phases, st.nen, p.toll_lmax);
        st.ylm = bond_harmonics(st.bonds, st.cut.lmxtop, out);
    }
    out << ' ' << " >>>>    Ylm FUNCTIONS  COMPUTED   " << field_f(st.cpu.lap_ms(), 6, 2)
        << " msec  CPU time  <<<<" << '\n';
    const point_range fit = fitting_points(st.cut, p, st.nen, out);
    st.nen = fit.nen;
    st.sig.nch = p.lcore == 0 ? 1 : 2;
    check_points(st.phases, st.cut, p, st.nen, st.sig.nch, out);
    {
        phase_timer t(obs, &run_timings::builders);
        st.builders.resize(static_cast<std::size_t>(st.threads));
        warm_up_builders(view_of(st), st.builders, out);
    }
    if (plots) {
        open(out, st.dat, p.output_name("dat"));
        dat_header(st.dat, p.output_name("dat"));
    }
    {
        // The store for the run's largest order, every page touched now: no point of the loop
        // pays for first touches.
        phase_timer t(obs, &run_timings::store);
        st.tiles = std::make_unique<tile_store>(std::max(fit.nmax, 1));
    }
    if (obs) {
        obs->timing.matrix_bytes = static_cast<double>(st.tiles->capacity_bytes());
        obs->timing.ylm_bytes = static_cast<double>(st.ylm.cols()) * st.ylm.rows() * sizeof(real);
    }
    out << (record() << " ANGULAR MOMENTUM OF CORE ELECTRON =" << p.lcore);
    out << (record() << (st.sig.nch == 1 ? " OLNY THE L+1 CHANNEL EXISTS"
                                         : " BOTH THE L-1 AND L+1 CHANNELS EXIST"));
}

namespace {

// The detail lines before a point (print level above 2).
void point_header(std::ostream& out, const phase_table& t, const point_cutoffs& cut, int e) {
    out << std::string(80, '*') << '\n';
    out << ' ' << ">>> CALCULATING ENERGY POINT" << field_i(e, 5)
        << "    E= " << field_f(t.eph(e), 10, 4) << " (Ry)" << '\n';
    out << (record() << "    MAXIMUM ANGULAR MOMENTA FOR THE ATOMS");
    std::string phase = "    PHASE", lmax = "    LMAX ";
    for (int ip = 1; ip <= t.nphs; ++ip) {
        phase += field_i(ip, 4);
        lmax += field_i(cut.l(ip, e), 4);
    }
    out << ' ' << phase << '\n' << ' ' << lmax << '\n';
}

void matrix_lines(std::ostream& out, int n) {
    out << ' ' << "    MATRIX DIMENSION = " << field_i(n, 5) << '\n';
    out << ' ' << "    L0   M0         INVERSE                            # OF ITER.    EST. ERROR"
        << '\n';
}

std::vector<haykor_result> recursion(const run_state& st, const std::vector<int>& channels,
                                     std::vector<std::string>& lines) {
    const run_parameters& p = st.par;
    if (st.solver) return st.solver(*st.tiles, channels, p.eps, p.iout, lines);
    return haykor(*st.tiles, channels, MINLEV_, MAXLEV_, p.eps, p.iout, lines, st.threads,
                  st.kernel);
}

// Every M0 of L0 together, then what each gave, in M0 order.
point_solution solve_point(const run_state& st, std::ostream& out, int l0, int e) {
    const run_parameters& p = st.par;
    const int m_first = st.bonds.thetanz ? -l0 : 0;
    std::vector<int> channels;
    for (int m0 = m_first; m0 <= l0; ++m0) channels.push_back(layout_index(l0, m0, p.mmax));
    std::vector<std::string> lines;
    const std::vector<haykor_result> all = recursion(st, channels, lines);
    point_solution sol{cplx(0.0f, 0.0f), 0};
    for (int m0 = m_first; m0 <= l0; ++m0) {
        // Without azimuths M0 and -M0 give the same value: M0 > 0 counts twice.
        const real fac = (!st.bonds.thetanz && m0 > 0) ? 2.0f : 1.0f;
        const haykor_result& h = all[static_cast<std::size_t>(m0 - m_first)];
        out << lines[static_cast<std::size_t>(m0 - m_first)];
        sol.nitmax = std::max(sol.nitmax, h.niter);
        if (p.iout > 2)
            out << ' ' << field_i(l0, 5) << field_i(m0, 5) << "   " << field_f(h.s.real(), 12, 6)
                << field_f(h.s.imag(), 12, 6) << "   " << field_i(h.niter, 3) << "   "
                << field_e(h.err, 10, 4) << '\n';
        if (!std::isfinite(h.s.real()) || !std::isfinite(h.s.imag()))
            stop(out, " *** ERROR: THE RECURSION FOR L0 =", l0, "M0 =", m0, "AT ENERGY POINT", e,
                 "GAVE A NON-FINITE VALUE (A ZERO DENOMINATOR) ***");
        sol.sum += fac * h.s;
    }
    return sol;
}

// The signal of channel c at point e from the recursion's sum, normalised with the cross
// section factor and the amplitude t_L0 of the absorbing atom.
void normalise(const run_state& st, std::ostream& out, cplx sum, int c, int e, signal_arrays& s) {
    const run_parameters& p = st.par;
    const phase_table& t = st.phases;
    const int l0 = channel_l0(p.lcore, c);
    const real w = 1.0f / static_cast<real>(2 * l0 + 1);
    // A point at or below the edge has no real wave number: it is given k = 0.
    s.kwave[e - 1] = t.eph(e) > 0.0f ? std::sqrt(t.eph(e)) / bohr : 0.0f;
    const cplx ratio = t.sig0c(e, c) * w / t.til(e, l0, p.iph[0]);
    cplx cs = cplx(sum.real() - static_cast<real>(2 * l0 + 1), sum.imag());
    cs = cs * ratio;
    // Finite recursion values can still overflow here, from extreme file values.
    if (!std::isfinite(cs.real()) || !std::isfinite(cs.imag()))
        stop(out, " *** ERROR: THE SIGNAL OF CHANNEL", c, "AT ENERGY POINT", e,
             "IS NOT A FINITE NUMBER; CHECK THE DATA FILES ***");
    s.c(c, e) = cs;
    s.xtot[c - 1][e - 1] = cs.imag();
    s.camp[c - 1][e - 1] = std::abs(cs);
    if (cs.real() == 0.0f && cs.imag() == 0.0f) {
        if (e == 1) out << (record() << " ****  WARNING SIGNAL #" << c << "   IS 0.  ****");
        s.cphase[c - 1][e - 1] = 0.0f;  // no phase of its own: taken as 0
    } else {
        s.cphase[c - 1][e - 1] = std::atan2(cs.imag(), cs.real());
    }
}

void progress_line(std::ostream& out, run_state& st, int e, int last_lmax, int nitmax, real xtot) {
    out << ' ' << " >>>>  " << field_i(e, 3) << "   Lm=" << field_i(last_lmax, 2)
        << "  Mm=" << field_i(st.par.mmax, 2) << "  Ni=" << field_i(nitmax, 2) << "   "
        << field_f(st.cpu.lap_ms(), 10, 2) << " msec CPU time "
        << "   "
        << " Signal= " << field_f(xtot, 10, 6) << "  <<<<" << '\n';
}

}  // namespace

void compute_point(run_state& st, std::ostream& out, run_observer* obs, int c, int e, bool changed,
                   signal_arrays& s) {
    const run_parameters& p = st.par;
    if (p.iout > 2) point_header(out, st.phases, st.cut, e);
    const atom_layout lay = layout_at(st.cut, p.iph, p.mmax, e);
    assembly_result a;
    {
        phase_timer t(obs, &run_timings::assembly);
        a = assemble(view_of(st), lay, e, changed, st.builders, *st.tiles, out,
                     obs ? &obs->timing : nullptr);
    }
    if (p.iout > 2) matrix_lines(out, a.n);
    if (obs && obs->matrix_hook) obs->matrix_hook(*st.tiles, e);
    const double t1 = obs ? wall_seconds() : 0.0;
    const point_solution sol = solve_point(st, out, channel_l0(p.lcore, c), e);
    if (obs) {
        const double t2 = wall_seconds();
        obs->timing.recursion += t2 - t1;
        obs->timing.point_rec.push_back(t2 - t1);
        obs->timing.point_levels.push_back(sol.nitmax);
        obs->timing.point_order.push_back(a.n);
    }
    normalise(st, out, sol.sum, c, e, s);
    progress_line(out, st, e, a.last_lmax, sol.nitmax, s.xtot[c - 1][e - 1]);
}

namespace {

// One point of channel c: assembly, recursion, normalisation, progress and plot lines.
void energy_point(run_state& st, std::ostream& out, run_observer* obs, int c, int e) {
    const double t0 = obs ? wall_seconds() : 0.0;
    compute_point(st, out, obs, c, e, st.cut.changed(e, st.phases.nphs), st.sig);
    dat_point(st.dat, st.sig.kwave[e - 1], st.sig.xtot[c - 1][e - 1], st.par.esp);
    if (obs) obs->timing.point.push_back(wall_seconds() - t0);
}

}  // namespace

void energy_loop(run_state& st, std::ostream& out, run_observer* obs) {
    prepare_loop(st, out, obs);
    for (int c = 1; c <= st.sig.nch; ++c) {
        for (int e = 1; e <= st.nen; ++e) energy_point(st, out, obs, c, e);
        if (st.par.lcore > 0) dat_curve_end(st.dat, true);
    }
    dat_curve_end(st.dat, false);
    out << (record() << "  ");
}

}  // namespace korva
