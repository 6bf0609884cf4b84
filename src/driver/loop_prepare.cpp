#include "driver/loop_prepare.hpp"

#include <algorithm>

#include "common/channels.hpp"
#include "common/errors.hpp"
#include "common/textio.hpp"
#include "driver/assembly.hpp"
#include "post/open.hpp"
#include "post/signal_plot.hpp"

namespace korva {

ylm_table bond_harmonics(const bond_list& bonds, int lmxtop, std::ostream& out) {
    const int nb = bonds.count();
    const int lylm = 2 * lmxtop;
    ylm_table ylm(nb > 1 ? nb - 1 : 0, (lylm + 1) * (lylm + 1));
    for (int b = 2; b <= nb; ++b)
        fill_ylm_column(out, static_cast<double>(bonds.cbond[b - 1]), lylm, ylm.column(b - 1));
    return ylm;
}

point_range fitting_points(const point_cutoffs& cut, const run_parameters& p, int nen,
                           std::ostream& out) {
    int stop_at = -1, nmax = 0;
    for (int e = 1; e <= nen; ++e) {
        const int n = layout_at(cut, p.iph, p.mmax, e).order();
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
    if (stop_at < 0) return {nen, nmax};
    out << (record() << "      ");
    out << (record() << "  *** THE PRESENT CALCULATION WILL BE STOPPED AT KEN =" << stop_at);
    out << (record() << "      ");
    if (stop_at == 0)
        stop(out, " *** ERROR: NO ENERGY POINT FITS THE MATRIX; NOTHING TO COMPUTE ***");
    return {stop_at, nmax};
}

void check_points(const phase_table& t, const point_cutoffs& cut, const run_parameters& p, int nen,
                  int nch, std::ostream& out) {
    for (int e = 1; e <= nen; ++e) {
        if (t.ckph(e) == cplx(0.0f, 0.0f))
            stop(out, " *** ERROR: THE WAVE NUMBER OF ENERGY POINT", e,
                 "IS ZERO; THE PROPAGATORS NEED K > 0 ***");
        for (int c = 1; c <= nch; ++c) {
            const int l0 = channel_l0(p.lcore, c);
            if (t.til(e, l0, p.iph[0]) == cplx(0.0f, 0.0f))
                stop(out, " *** ERROR: T_L OF THE ABSORBING ATOM IS ZERO FOR L =", l0,
                     "AT ENERGY POINT", e, "***");
            const int l1 = cut.l(p.iph[0], e);
            if (l1 < l0 || p.mmax < l0)
                stop(out, " *** ERROR: CHANNEL L0 =", l0,
                     "IS MISSING FROM THE ABSORBING ATOM AT ENERGY POINT", e, "(ITS LMAX =", l1,
                     ", MMAX =", p.mmax, "); RAISE TOLL_lmax SENSITIVITY OR Mmax ***");
        }
    }
}

loop_plan plan_loop(run_state& st, std::ostream& out, run_observer* obs) {
    const run_parameters& p = st.par;
    loop_plan plan;
    {
        phase_timer t(obs, &run_timings::ylm);
        plan.cut = energy_cutoffs(st.phases, st.nen, p.toll_lmax);
        st.ylm = bond_harmonics(st.bonds, plan.cut.lmxtop, out);
    }
    out << ' ' << " >>>>    Ylm FUNCTIONS  COMPUTED   " << field_f(st.cpu.lap_ms(), 6, 2)
        << " msec  CPU time  <<<<" << '\n';
    const point_range fit = fitting_points(plan.cut, p, st.nen, out);
    plan.nen = fit.nen;
    plan.nmax = fit.nmax;
    plan.nch = p.lcore == 0 ? 1 : 2;
    check_points(st.phases, plan.cut, p, plan.nen, plan.nch, out);
    return plan;
}

void prepare_points(run_state& st, const loop_plan& plan, std::ostream& out, run_observer* obs,
                    bool plots) {
    const run_parameters& p = st.par;
    st.sig.nch = plan.nch;
    st.sig.set_columns(p.polar.empty() ? plan.nch : static_cast<int>(p.polar.size()));
    {
        phase_timer t(obs, &run_timings::builders);
        st.builders.resize(static_cast<std::size_t>(st.threads));
        warm_up_builders(cluster_of(st, plan), st.builders, out);
    }
    if (plots) {
        open(out, st.dat, p.output_name("dat"), st.place);
        dat_header(st.dat, p.output_name("dat"));
        polarisation_titles(st.dat, st.polar_names);
    }
    {
        phase_timer t(obs, &run_timings::store);
        st.tiles = std::make_unique<tile_store>(std::max(plan.nmax, 1));
    }
    if (obs) {
        obs->timing.matrix_bytes = static_cast<double>(st.tiles->capacity_bytes());
        obs->timing.ylm_bytes = static_cast<double>(st.ylm.cols()) * st.ylm.rows() * sizeof(real);
    }
    out << (record() << " ANGULAR MOMENTUM OF CORE ELECTRON =" << p.lcore);
    out << (record() << (plan.nch == 1 ? " OLNY THE L+1 CHANNEL EXISTS"
                                       : " BOTH THE L-1 AND L+1 CHANNELS EXIST"));
}

}  // namespace korva
