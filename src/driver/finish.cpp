#include "driver/finish.hpp"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "common/cputime.hpp"
#include "common/errors.hpp"
#include "common/textio.hpp"
#include "common/units.hpp"
#include "driver/experiment.hpp"
#include "post/chiplot.hpp"
#include "post/fouplot.hpp"
#include "post/interpchin.hpp"
#include "post/interpmesh.hpp"
#include "post/open.hpp"
#include "post/piadj.hpp"
#include "post/plot_value.hpp"

namespace korva {

real hydrogen_law(real x) {
    const real sx = std::sqrt(x);
    const real onepx = 1.0f + x;
    return std::exp(-(4.0f / sx) * std::atan(sx)) / 0.01831564f / (onepx * onepx * onepx * onepx) /
           (1.0f - std::exp(-2.0f * pi_f / sx));
}

namespace {

// Scales the atomic cross-section of every point above the edge by the hydrogen-like law,
// keeping the last point's value.
void rescale_cross_section(run_state& st, std::ostream& out) {
    const run_parameters& p = st.par;
    phase_table& t = st.phases;
    const int nen = t.nen;
    const real xlast = p.ene > 0.0f ? ev * t.eph(nen) / p.ene : 0.0f;
    const real flast = xlast > 0.0f ? hydrogen_law(xlast) : 0.0f;
    const real s1 = flast != 0.0f ? t.sig0(nen, 1) / flast : 0.0f;
    const real s2 = flast != 0.0f ? t.sig0(nen, 2) / flast : 0.0f;
    if (!(xlast > 0.0f) || !(flast > 0.0f) || !std::isfinite(s1) || !std::isfinite(s2)) {
        out << (record() << " *** WARNING: ATOMIC CROSS-SECTION NOT RESCALED: ENE MUST BE POSITIVE "
                            "AND THE LAST ENERGY POINT ABOVE THE EDGE ***");
        return;
    }
    for (int e = 1; e <= nen; ++e) {
        const real x = ev * t.eph(e) / p.ene;
        if (x > 0.0f) {
            const real f = hydrogen_law(x);
            t.sig0(e, 1) = f * s1;
            t.sig0(e, 2) = f * s2;
        }
    }
}

}  // namespace

void finish_run(run_state& st, text_input& deck, std::ostream& out) {
    run_parameters& p = st.par;
    phase_table& t = st.phases;
    signal_arrays& s = st.sig;
    const int nen = t.nen;

    {
        const double now = cpu_seconds();
        out << ' ' << " >>>>  TOTAL SIGNAL COMPUTED CPU TIME "
            << field_f((now - p.start_cpu) * 1000.0, 10, 2) << " msec  <<<<" << '\n';
        p.mark_cpu = now;
    }

    out << (record() << "  ");
    out << ' ' << "  E(eV)   K (1/A)       Xtot" << '\n';
    out << (record() << "  ");
    for (int e = 1; e <= nen; ++e) {
        out << ' ' << field_f(ev * t.eph(e), 8, 4) << "   " << field_f(s.kwave[e - 1], 8, 4)
            << "    " << field_f(s.xtot[0][e - 1], 12, 6);
        if (p.lcore != 0) out << field_f(s.xtot[1][e - 1], 12, 6);
        out << '\n';
    }

    if (p.if1 > 0) {
        if (p.if1 == 2) rescale_cross_section(st, out);
        experiment x;
        if (p.if2 == 1) {
            out << (record() << "> INPUT FILE NAME for comparison with "
                             << "experimental data");
            out.flush();
            std::string name;
            if (read_name(deck, name) != read_status::ok)
                throw read_error{
                    "input deck, prompt 10 (experimental data file name): standard input "
                    "ended early"};
            std::ifstream f;
            if (!name.empty()) f.open(name, std::ios::in | std::ios::binary);
            if (!f.is_open()) {
                out << (record() << "!!! WARNING experimental data file NOT FOUND");
                p.if2 = 0;
            } else {
                read_experiment(f, out, x);
            }
        }

        p.set_extension("sig");
        open(out, st.sigfile, p.outname);
        real largest = 0.0f;
        for (int e = 1; e <= nen; ++e) {
            largest = std::max(largest, t.sig0(e, 1) * (s.xtot[0][e - 1] + 1.0f));
            if (p.lcore > 0) largest = std::max(largest, t.sig0(e, 2) * (s.xtot[1][e - 1] + 1.0f));
        }
        std::ofstream& f = st.sigfile;
        f << (record() << "SET FONT DUPLEX");
        f << (record() << "SET WINDOW X 2 12 Y 2. 8.5");
        f << (record() << "SET LIMITS Y 0. " << plot_value(1.1f * largest));
        f << (record() << "TITLE 3. 9.4 SIZE 2.5 \"" + p.outname + "\"");
        f << (record() << "TITLE 6.5 .7 SIZE 2.5 \"E (Ry)\"");
        f << (record() << "TITLE .5 4.5 ANGLE 90 SIZE 2.5 \"S (Mbarn)\"");
        f << (record() << "CASE                  \"G        \"");
        f << (record() << "SET SYMBOL 2P SIZE 0.8");
        for (int c = 1; c <= (p.lcore > 0 ? 2 : 1); ++c) {
            if (c == 2) f << (record() << "SET SYMBOL 3P SIZE 0.8");
            for (int e = 1; e <= nen; ++e)
                f << (record() << t.eph(e)
                               << plot_value(t.sig0(e, c) * (s.xtot[c - 1][e - 1] + 1.0f)));
            f << (record() << "PLOT");
            f << (record() << "JOIN");
            for (int e = 1; e <= nen; ++e) f << (record() << t.eph(e) << t.sig0(e, c));
            f << (record() << "PLOT");
            f << (record() << "JOIN");
        }
        if (p.if2 == 1) {
            f << (record() << "SET SYMBOL 6P SIZE 0.8");
            for (std::size_t n = 0; n < x.energy.size(); ++n)
                f << (record() << plot_value((x.energy[n] - p.ene) / ev)
                               << plot_value(p.fac * (x.value[n] - x.smallest)));
            f << (record() << "PLOT");
            f << (record() << "JOIN");
        }
    }

    for (int c = 1; c <= s.nch; ++c)
        piadj(out, NER_, nen, s.kwave.data(), s.cphase[c - 1].data(), p.rmin);

    real kmin = 0, kmax = 0, dk = 0, de0 = 0;
    int nmesh = 0;
    std::vector<real> kmesh(NPI_, 0.0f), chimesh(NPI_, 0.0f), chi(NPI_, 0.0f);
    std::vector<int> istart(NPI_, 0);
    interpmesh(out, deck, kmin, kmax, dk, de0, NER_, nen, &t.eph(1), s.kwave.data(), NPI_, nmesh, 4,
               kmesh.data(), chimesh.data(), istart.data());
    for (int c = 1; c <= s.nch; ++c)
        interpchin(NER_, s.kwave.data(), s.camp[c - 1].data(), s.cphase[c - 1].data(), 4, NPI_,
                   nmesh, kmesh.data(), istart.data(), chi.data(), chimesh.data());

    p.set_extension("chi");
    open(out, st.chi, p.outname);
    chiplot(st.chi, NPI_, nmesh, kmesh.data(), chimesh.data(), p.esp, p.outname);
    out << (record() << " >>>>    TOTAL SIGNAL PLOT DONE    <<<<");

    const real k1 = std::max(kmin, 2.5f);
    p.set_extension("fou");
    open(out, st.foufile, p.outname);
    fouplot(st.fou, st.foufile, NPI_, nmesh, kmesh.data(), chimesh.data(), k1, kmax, p.esp,
            p.outname);
    out << (record() << " >>>>  FOURIER TRANSFORM PLOT DONE <<<<");
}

}  // namespace korva
