#include "driver/energy_loop.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "common/channels.hpp"
#include "common/errors.hpp"
#include "common/textio.hpp"
#include "common/units.hpp"
#include "driver/assembly.hpp"
#include "driver/polarisation.hpp"
#include "post/open.hpp"
#include "post/signal_plot.hpp"

namespace korva {

namespace {

// The recursion of one point: the trace of the absorber's L0 block of the inverse (the sum of
// the diagonal elements of every initial channel M0), or the element of each polarisation times
// 2 L0 + 1 (the sum over M0 of a spherical absorber), and the most levels any start took.
struct point_solution {
    std::vector<cplx> sums;
    int nitmax = 0;
    int channels = 0;  // channels of the pass a level reads the store for
};

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

std::vector<haykor_result> recursion(const run_state& st,
                                     const std::vector<recursion_start>& starts,
                                     std::vector<std::string>& lines) {
    const run_parameters& p = st.par;
    if (st.solver) return st.solver(*st.tiles, starts, p.eps, p.iout, lines);
    return haykor(*st.tiles, starts, MINLEV_, MAXLEV_, p.eps, p.iout, lines, st.threads, st.kernel);
}

// The detail line of one recursion: L0, its M0 (or polarisation), the value, levels, error.
void detail_line(std::ostream& out, const haykor_result& h, int l0, const std::string& which) {
    out << ' ' << field_i(l0, 5) << which << "   " << field_f(h.s.real(), 12, 6)
        << field_f(h.s.imag(), 12, 6) << "   " << field_i(h.niter, 3) << "   "
        << field_e(h.err, 10, 4) << '\n';
}

bool finite(cplx z) {
    return std::isfinite(z.real()) && std::isfinite(z.imag());
}

// The signal needs the trace of the absorber's L0 block of A^-1, the sum over M0 of A^-1(M0,
// M0). The propagator's reciprocity makes A^-1(-M, -M) = A^-1(M, M) (README, "Half the
// matrix"), so M0 = 0..L0 suffice, M0 > 0 counted twice: M0 = 0 as a one-sided recursion (its
// unit vector is P T's own), each M0 > 0 as a two-sided one (two channels of the pass).
// Then, M0 by M0 in the design's order (-L0..L0 with azimuths, 0..L0 without), the detail
// lines at print level above 2 (those of |M0|: the recursion of -M has the coefficients of M's)
// and the check of the value.
point_solution solve_isotropic(const run_state& st, std::ostream& out, int l0, int e) {
    const run_parameters& p = st.par;
    std::vector<recursion_start> starts;
    for (int m0 = 0; m0 <= l0; ++m0)
        starts.push_back(recursion_start::unit(layout_index(l0, m0, p.mmax)));
    std::vector<std::string> lines;
    const std::vector<haykor_result> all = recursion(st, starts, lines);
    for (int m0 = st.bonds.thetanz ? -l0 : 0; m0 <= l0; ++m0) {
        const haykor_result& h = all[static_cast<std::size_t>(std::abs(m0))];
        if (p.iout > 2) {
            out << lines[static_cast<std::size_t>(std::abs(m0))];
            detail_line(out, h, l0, field_i(m0, 5));
        }
        if (!finite(h.s))
            stop(out, " *** ERROR: THE RECURSION FOR L0 =", l0, "M0 =", m0, "AT ENERGY POINT", e,
                 "GAVE A NON-FINITE VALUE (A ZERO DENOMINATOR) ***");
    }
    point_solution sol{{cplx(0.0f, 0.0f)}, 0, 1 + 2 * l0};
    for (int m0 = 0; m0 <= l0; ++m0) {
        const haykor_result& h = all[static_cast<std::size_t>(m0)];
        sol.sums[0] += (m0 > 0 ? 2.0f : 1.0f) * h.s;
        sol.nitmax = std::max(sol.nitmax, h.niter);
    }
    return sol;
}

// One recursion per polarisation, on one assembled matrix; each value counts three times, as
// the sum over M0 of an absorber whose p states all took it would.
point_solution solve_polarised(const run_state& st, std::ostream& out, int e) {
    const run_parameters& p = st.par;
    std::vector<recursion_start> starts;
    for (const vec3& v : p.polar) starts.push_back(polarised_start(v, p.mmax));
    std::vector<std::string> lines;
    const std::vector<haykor_result> all =
        haykor(*st.tiles, starts, MINLEV_, MAXLEV_, p.eps, p.iout, lines, st.threads, st.kernel);
    point_solution sol;
    cplx scale;
    for (const recursion_start& s : starts)
        sol.channels += one_sided_start(*st.tiles, s, scale) ? 1 : 2;
    for (std::size_t v = 0; v < all.size(); ++v) {
        const haykor_result& h = all[v];
        out << lines[v];
        sol.nitmax = std::max(sol.nitmax, h.niter);
        const int k = static_cast<int>(v) + 1;
        if (p.iout > 2) detail_line(out, h, 1, "  E" + field_i(k, 2));
        if (!finite(h.s))
            stop(out, " *** ERROR: THE RECURSION FOR POLARISATION", k, "AT ENERGY POINT", e,
                 "GAVE A NON-FINITE VALUE (A ZERO DENOMINATOR) ***");
        sol.sums.push_back(3.0f * h.s);
    }
    return sol;
}

// The signal of one column at point e of channel c from the recursion's sum, normalised with
// the cross section factor and the amplitude t_L0 of the absorbing atom.
void normalise(const run_state& st, std::ostream& out, cplx sum, point_signal& s) {
    const run_parameters& p = st.par;
    const phase_table& t = st.phases;
    const int c = s.c, e = s.e;
    const int l0 = channel_l0(p.lcore, c);
    const real w = 1.0f / static_cast<real>(2 * l0 + 1);
    // A point at or below the edge has no real wave number: it is given k = 0.
    s.kwave = t.eph(e) > 0.0f ? std::sqrt(t.eph(e)) / bohr : 0.0f;
    const cplx ratio = t.sig0c(e, c) * w / t.til(e, l0, p.iph[0]);
    cplx cs = cplx(sum.real() - static_cast<real>(2 * l0 + 1), sum.imag());
    cs = cs * ratio;
    // Finite recursion values can still overflow here, from extreme file values.
    if (!std::isfinite(cs.real()) || !std::isfinite(cs.imag()))
        stop(out, " *** ERROR: THE SIGNAL OF CHANNEL", c, "AT ENERGY POINT", e,
             "IS NOT A FINITE NUMBER; CHECK THE DATA FILES ***");
    s.csig.push_back(cs);
    s.xtot.push_back(cs.imag());
    s.camp.push_back(std::abs(cs));
    if (cs.real() == 0.0f && cs.imag() == 0.0f) {
        if (e == 1 && s.xtot.size() == 1)
            out << (record() << " ****  WARNING SIGNAL #" << c << "   IS 0.  ****");
        s.cphase.push_back(0.0f);  // no phase of its own: taken as 0
    } else {
        s.cphase.push_back(std::atan2(cs.imag(), cs.real()));
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

namespace {

// Point (c, e) up to its progress line, written on `out`, into `s`.
void compute_point(run_state& st, const loop_plan& plan, std::ostream& out, run_observer* obs,
                   bool changed, point_signal& s) {
    const run_parameters& p = st.par;
    const int c = s.c, e = s.e;
    if (p.iout > 2) point_header(out, st.phases, plan.cut, e);
    const atom_layout lay = layout_at(plan.cut, p.iph, p.mmax, e);
    assembly_result a;
    {
        phase_timer t(obs, &run_timings::assembly);
        a = assemble(cluster_of(st, plan), lay, e, changed, st.builders, *st.tiles, out,
                     obs ? &obs->timing : nullptr);
    }
    if (p.iout > 2) matrix_lines(out, a.n);
    if (obs && obs->matrix_hook) obs->matrix_hook(*st.tiles, e);
    const double t1 = obs ? wall_seconds() : 0.0;
    const point_solution sol = p.polar.empty() ? solve_isotropic(st, out, channel_l0(p.lcore, c), e)
                                               : solve_polarised(st, out, e);
    if (obs) {
        const double t2 = wall_seconds();
        obs->timing.recursion += t2 - t1;
        obs->timing.point_rec.push_back(t2 - t1);
        obs->timing.point_levels.push_back(sol.nitmax);
        obs->timing.point_order.push_back(a.n);
        obs->timing.point_channels.push_back(sol.channels);
    }
    for (const cplx sum : sol.sums) normalise(st, out, sum, s);
    progress_line(out, st, e, a.last_lmax, sol.nitmax, s.xtot[0]);
}

// Whether the store may hold another layout than point `now` needs: its first point, a new
// channel, a layout change since the point before (where a serial run reshapes), or one since
// the last point this member computed. Reshaping a store that had the layout already changes
// no bit.
bool layout_changes(const point_cutoffs& cut, int nphs, const std::optional<point_index>& last,
                    point_index now) {
    if (!last || last->c != now.c || cut.changed(now.e, nphs)) return true;
    for (int p = 1; p <= nphs; ++p)
        if (cut.l(p, now.e) != cut.l(p, last->e)) return true;
    return false;
}

}  // namespace

point_signal compute_signal(run_state& st, const loop_plan& plan, run_observer* obs, int k,
                            bool changed) {
    const double t0 = obs ? wall_seconds() : 0.0;
    const point_index pt = point_at(k, plan.nen);
    point_signal s;
    s.k = k;
    s.c = pt.c;
    s.e = pt.e;
    std::ostringstream text;
    try {
        compute_point(st, plan, text, obs, changed, s);
    } catch (...) {
        record_failure(s);
    }
    s.text = text.str();
    if (obs) obs->timing.point.push_back(wall_seconds() - t0);
    return s;
}

void compute_points(run_state& st, const loop_plan& plan, point_team& team, run_observer* obs) {
    std::optional<point_index> last;
    while (const std::optional<int> k = team.next_point()) {
        const point_index pt = point_at(*k, plan.nen);
        const bool changed = layout_changes(plan.cut, st.phases.nphs, last, pt);
        point_signal s = compute_signal(st, plan, obs, *k, changed);
        last = pt;
        const bool failed = s.end != point_end::done;
        team.hand_back(std::move(s));
        if (failed) return;
    }
}

void take_signal(run_state& st, const loop_plan& plan, std::ostream& out, const point_signal& s,
                 const point_watch& watch) {
    out << s.text;
    rethrow_failure(s);
    st.sig.set(s);
    dat_point(st.dat, s.kwave, s.xtot[0], st.par.esp);
    if (s.e == plan.nen && st.par.lcore > 0) dat_curve_end(st.dat, true);
    // Each progress line reaches the user now, not when the buffer fills.
    out.flush();
    watch.after_point(s.k, plan.total());
}

void energy_loop(run_state& st, const loop_plan& plan, std::ostream& out, run_observer* obs,
                 const point_watch& watch) {
    serial_team team(plan.total(),
                     [&](const point_signal& s) { take_signal(st, plan, out, s, watch); });
    compute_points(st, plan, team, obs);
}

void end_loop(run_state& st, const loop_plan& plan, std::ostream& out) {
    // The curves of the second and further polarisations, after the first.
    for (int col = 2; col <= static_cast<int>(st.par.polar.size()); ++col) {
        dat_curve_end(st.dat, true);
        for (int e = 1; e <= plan.nen; ++e)
            dat_point(st.dat, st.sig.kwave[e - 1], st.sig.xtot[col - 1][e - 1], st.par.esp);
    }
    dat_curve_end(st.dat, false);
    out << (record() << "  ");
}

}  // namespace korva
