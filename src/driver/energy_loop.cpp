#include "driver/energy_loop.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "common/channels.hpp"
#include "common/cputime.hpp"
#include "common/errors.hpp"
#include "common/textio.hpp"
#include "common/units.hpp"
#include "driver/assembly.hpp"
#include "post/open.hpp"
#include "post/plot_value.hpp"
#include "propagator/prop1.hpp"
#include "propagator/prop2.hpp"
#include "propagator/prop3.hpp"
#include "recursion/haykor.hpp"
#include "recursion/haykor_multi.hpp"

namespace korva {

int energy_cutoffs(phase_table& t, real toll_lmax) {
    real tref = 0.0f;
    int lmxtop = 0;
    const int lc = std::min(t.lmxall, LPROP_);
    for (int e = 1; e <= t.nen; ++e) {
        // tref is the largest magnitude met at this point and all earlier ones.
        for (int l = 0; l <= lc; ++l)
            for (int p = 1; p <= t.nphs; ++p) tref = std::max(tref, std::abs(t.til(e, l, p)));
        for (int p = 1; p <= t.nphs; ++p) {
            int l = lc;
            // The search stops at 2, or at 0 for a table whose largest l is below 2.
            while (l != 2 && l > 0 && !(std::abs(t.til(e, l, p)) > toll_lmax * tref)) --l;
            t.lmxp(p, e) = l;
            lmxtop = std::max(lmxtop, l);
        }
    }
    return lmxtop;
}

namespace {

[[noreturn]] void stop(std::ostream& out, const record& r) {
    out << r;
    throw run_stop{};
}

double elapsed_ms(run_parameters& p) {
    const double now = cpu_seconds();
    const double ms = (now - p.mark_cpu) * 1000.0;
    p.mark_cpu = now;
    return ms;
}

// Final-state channel c = 1, 2 of the core state: its l.
int channel_l0(int lcore, int c) {
    return lcore == 0 ? 1 : (c == 1 ? lcore - 1 : lcore + 1);
}

// Points the loop cannot compute: a zero wave number (the propagators divide by k r), a zero
// amplitude t_L0 of the absorbing atom (the normalisation divides by it), or a layout of the
// absorbing atom without a channel (L0, M0) the loop asks for.
void check_points(run_state& st, std::ostream& out) {
    const run_parameters& p = st.par;
    const phase_table& t = st.phases;
    for (int e = 1; e <= t.nen; ++e) {
        if (t.ckph(e) == cplx(0.0f, 0.0f))
            stop(out, record() << " *** ERROR: THE WAVE NUMBER OF ENERGY POINT" << e
                               << "IS ZERO; THE PROPAGATORS NEED K > 0 ***");
        for (int c = 1; c <= st.sig.nch; ++c) {
            const int l0 = channel_l0(p.lcore, c);
            if (t.til(e, l0, p.iph[0]) == cplx(0.0f, 0.0f))
                stop(out, record() << " *** ERROR: T_L OF THE ABSORBING ATOM IS ZERO FOR L =" << l0
                                   << "AT ENERGY POINT" << e << "***");
            const int l1 = atom_cutoff(st, 1, e);
            if (l1 < l0 || p.mmax < l0)
                stop(out, record() << " *** ERROR: CHANNEL L0 =" << l0
                                   << "IS MISSING FROM THE ABSORBING ATOM AT ENERGY POINT" << e
                                   << "(ITS LMAX =" << l1 << ", MMAX =" << p.mmax
                                   << "); RAISE TOLL_lmax SENSITIVITY OR Mmax ***");
        }
    }
}

}  // namespace

void energy_loop(run_state& st, std::ostream& out) {
    run_parameters& p = st.par;
    phase_table& t = st.phases;
    signal_arrays& s = st.sig;
    const int nb = p.nat * (p.nat - 1) / 2;

    run_timings& tm = st.timing;
    double t0 = wall_seconds();
    st.lmxtop = energy_cutoffs(t, p.toll_lmax);

    // Spherical harmonics of every bond but the first, up to twice the largest cut-off.
    const int lylm = 2 * st.lmxtop;
    st.ylm.resize(nb > 1 ? nb - 1 : 0, (lylm + 1) * (lylm + 1));
    for (int b = 2; b <= nb; ++b)
        fill_ylm_column(out, static_cast<double>(st.bonds.cbond[b - 1]), lylm,
                        st.ylm.column(b - 1));
    tm.ylm = wall_seconds() - t0;
    out << ' ' << " >>>>    Ylm FUNCTIONS  COMPUTED   " << field_f(elapsed_ms(p), 6, 2)
        << " msec  CPU time  <<<<" << '\n';

    // Matrix-dimension check: the run stops before the first point that does not fit.
    int stop_at = -1, nmax = 0;
    for (int e = 1; e <= t.nen; ++e) {
        const int n = matrix_order(st, e);
        if (n > NDM_) {
            out << (record() << "  *** WARNING  DIMENSION OF MATRIX GT IN "
                             << "PROGRAM \"KORVA\" IS NOT SUFFICIENT AT KEN=" << e << " ***");
            out << (record() << "  *** INCREASE PARAMETER NDM_=" << NDM_ << "  TO" << n
                             << " AT LEAST ***");
            if (stop_at < 0) stop_at = e - 1;
        } else if (stop_at < 0) {
            nmax = std::max(nmax, n);
        }
    }
    if (stop_at >= 0) {
        t.nen = stop_at;
        out << (record() << "      ");
        out << (record() << "  *** THE PRESENT CALCULATION WILL BE STOPPED AT KEN =" << t.nen);
        out << (record() << "      ");
        if (t.nen == 0)
            stop(out,
                 record() << " *** ERROR: NO ENERGY POINT FITS THE MATRIX; NOTHING TO COMPUTE ***");
    }

    s.nch = p.lcore == 0 ? 1 : 2;
    check_points(st, out);

    // First call of each builder, with the largest cut-off of the run: it builds the tables.
    t0 = wall_seconds();
    prop1(st.props.p1, out, LPROP_, LDGG_, st.lmxtop, p.mmax, t.ckph(1), st.bonds.rbond[0],
          st.gg.data());
    if (nb >= 2) {
        prop2(st.props.p2, out, LPROP_, LDGG_, st.lmxtop, p.mmax, t.ckph(1), st.bonds.rbond[1],
              st.ylm.column(1), st.gg.data());
        prop3(st.props.p3, out, LPROP_, LDGG_, st.lmxtop, p.mmax, t.ckph(1), st.bonds.rbond[1],
              st.ylm.column(1), st.bonds.tbond[1], st.gg.data());
    }

    tm.builders = wall_seconds() - t0;

    // Signal plot file, header.
    p.set_extension("dat");
    open(out, st.dat, p.outname);
    std::ofstream& dat = st.dat;
    dat << (record() << "SET FONT DUPLEX");
    dat << (record() << "SET WINDOW X 2 12 Y 2. 8.5");
    dat << (record() << "TITLE 3. 9.4 SIZE 2.5 \"" + p.outname + "\"");
    dat << (record() << "TITLE 6. .7 SIZE 2.5 \"k (A)\"");
    dat << (record() << "TITLE .5 4.5 SIZE 2.5 \"C\"");
    dat << (record() << "CASE                  \"G\"");
    dat << (record() << "SET SYMBOL 2P SIZE 0.8");

    if (st.plain_solver) {
        st.matrix = std::make_unique<matrix_store>(std::max(nmax, 1));
        st.matrix->set_unit_diagonal();
        tm.matrix_bytes =
            static_cast<double>(st.matrix->order()) * st.matrix->order() * sizeof(cplx);
    } else {
        st.tiles = std::make_unique<tile_store>(std::max(nmax, 1));
        const double nt = (std::max(nmax, 1) + tile_store::W - 1) / tile_store::W;
        tm.matrix_bytes = nt * nt * (tile_store::W * tile_store::W) * sizeof(cplx);
    }
    tm.ylm_bytes =
        static_cast<double>(nb > 1 ? nb - 1 : 0) * (lylm + 1) * (lylm + 1) * sizeof(real);

    out << (record() << " ANGULAR MOMENTUM OF CORE ELECTRON =" << p.lcore);
    out << (record() << (s.nch == 1 ? " OLNY THE L+1 CHANNEL EXISTS"
                                    : " BOTH THE L-1 AND L+1 CHANNELS EXIST"));

    for (int c = 1; c <= s.nch; ++c) {
        const int l0 = channel_l0(p.lcore, c);
        const real w = 1.0f / static_cast<real>(2 * l0 + 1);
        for (int e = 1; e <= t.nen; ++e) {
            if (p.iout > 2) {
                out << std::string(80, '*') << '\n';
                out << ' ' << ">>> CALCULATING ENERGY POINT" << field_i(e, 5)
                    << "    E= " << field_f(t.eph(e), 10, 4) << " (Ry)" << '\n';
                out << (record() << "    MAXIMUM ANGULAR MOMENTA FOR THE ATOMS");
                std::string phase = "    PHASE", lmax = "    LMAX ";
                for (int ip = 1; ip <= t.nphs; ++ip) {
                    phase += field_i(ip, 4);
                    lmax += field_i(t.lmxp(ip, e), 4);
                }
                out << ' ' << phase << '\n' << ' ' << lmax << '\n';
            }
            s.c(c, e) = cplx(0.0f, 0.0f);
            bool changed = e == 1;
            for (int ip = 1; ip <= t.nphs && !changed; ++ip)
                changed = t.lmxp(ip, e) != t.lmxp(ip, e - 1);
            const double tp = wall_seconds();
            if (changed && !st.plain_solver) st.tiles->reshape(matrix_order(st, e));
            const assembly_result a = st.plain_solver
                                          ? assemble(st, out, e, changed)
                                          : assemble_tiles(st, out, e, changed, st.threads);
            if (p.iout > 2) {
                out << ' ' << "    MATRIX DIMENSION = " << field_i(a.n, 5) << '\n';
                out << ' '
                    << "    L0   M0         INVERSE                            # OF ITER.    EST. "
                       "ERROR"
                    << '\n';
            }
            double t1 = wall_seconds();
            tm.assembly += t1 - tp;
            if (changed && st.plain_solver) st.matrix->rebuild_row_lists(a.n);
            tm.lists += wall_seconds() - t1;
            t1 = wall_seconds();

            const int m_first = st.bonds.thetanz ? -l0 : 0;
            // The fast solver runs every M0 of the point together; what it collected per
            // channel is then written in the order of the plain solver's calls.
            std::vector<haykor_result> all;
            std::vector<std::string> lines;
            if (!st.plain_solver) {
                if (st.matrix_hook) st.matrix_hook(*st.tiles, e);
                std::vector<int> rs;
                for (int m0 = m_first; m0 <= l0; ++m0) rs.push_back(layout_index(l0, m0, p.mmax));
                all =
                    haykor_multi(*st.tiles, rs, MINLEV_, MAXLEV_, p.eps, p.iout, lines, st.threads);
            }
            int nitmax = 0;
            for (int m0 = m_first; m0 <= l0; ++m0) {
                const real fac = (!st.bonds.thetanz && m0 > 0) ? 2.0f : 1.0f;
                const int r = layout_index(l0, m0, p.mmax);
                haykor_result h;
                if (st.plain_solver) {
                    h = haykor(*st.matrix, a.n, r, MINLEV_, MAXLEV_, p.eps, p.iout, out);
                } else {
                    h = all[static_cast<std::size_t>(m0 - m_first)];
                    out << lines[static_cast<std::size_t>(m0 - m_first)];
                }
                nitmax = std::max(nitmax, h.niter);
                if (p.iout > 2)
                    out << ' ' << field_i(l0, 5) << field_i(m0, 5) << "   "
                        << field_f(h.s.real(), 12, 6) << field_f(h.s.imag(), 12, 6) << "   "
                        << field_i(h.niter, 3) << "   " << field_e(h.err, 10, 4) << '\n';
                if (!std::isfinite(h.s.real()) || !std::isfinite(h.s.imag()))
                    stop(out, record() << " *** ERROR: THE RECURSION FOR L0 =" << l0 << "M0 =" << m0
                                       << "AT ENERGY POINT" << e
                                       << "GAVE A NON-FINITE VALUE (A ZERO DENOMINATOR) ***");
                s.c(c, e) += fac * h.s;
            }
            tm.recursion += wall_seconds() - t1;
            tm.point_rec.push_back(wall_seconds() - t1);
            tm.point_levels.push_back(nitmax);
            tm.point_order.push_back(a.n);
            // A point at or below the edge has no real wave number: it is given k = 0.
            s.kwave[e - 1] = t.eph(e) > 0.0f ? std::sqrt(t.eph(e)) / bohr : 0.0f;

            const cplx ratio = t.sig0c(e, c) * w / t.til(e, l0, p.iph[0]);
            cplx& cs = s.c(c, e);
            cs = cplx(cs.real() - static_cast<real>(2 * l0 + 1), cs.imag());
            cs = cs * ratio;
            // Finite recursion values can still overflow here, from extreme file values.
            if (!std::isfinite(cs.real()) || !std::isfinite(cs.imag()))
                stop(out, record() << " *** ERROR: THE SIGNAL OF CHANNEL" << c << "AT ENERGY POINT"
                                   << e << "IS NOT A FINITE NUMBER; CHECK THE DATA FILES ***");
            s.xtot[c - 1][e - 1] = cs.imag();
            s.camp[c - 1][e - 1] = std::abs(cs);
            if (cs.real() == 0.0f && cs.imag() == 0.0f) {
                if (e == 1) out << (record() << " ****  WARNING SIGNAL #" << c << "   IS 0.  ****");
                s.cphase[c - 1][e - 1] = 0.0f;  // no phase of its own: taken as 0
            } else {
                s.cphase[c - 1][e - 1] = std::atan2(cs.imag(), cs.real());
            }

            out << ' ' << " >>>>  " << field_i(e, 3) << "   Lm=" << field_i(a.last_lmax, 2)
                << "  Mm=" << field_i(p.mmax, 2) << "  Ni=" << field_i(nitmax, 2) << "   "
                << field_f(elapsed_ms(p), 10, 2) << " msec CPU time "
                << "   "
                << " Signal= " << field_f(s.xtot[c - 1][e - 1], 10, 6) << "  <<<<" << '\n';

            const real k = s.kwave[e - 1];
            real y = s.xtot[c - 1][e - 1];
            // k^ESP with k = 0 and a negative ESP has no value: such a point plots 0.
            if (p.esp != 0.0f) y = (k == 0.0f && p.esp < 0.0f) ? 0.0f : std::pow(k, p.esp) * y;
            dat << (record() << k << plot_value(y));
            tm.point.push_back(wall_seconds() - tp);
        }
        if (p.lcore > 0) {
            dat << (record() << "PLOT");
            dat << (record() << "JOIN");
            dat << (record() << "SET SYMBOL 3P SIZE 0.8");
        }
    }
    dat << (record() << "PLOT");
    dat << (record() << "JOIN");
    out << (record() << "  ");
}

}  // namespace korva
