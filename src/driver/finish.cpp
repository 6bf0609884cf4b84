#include "driver/finish.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/cputime.hpp"
#include "common/errors.hpp"
#include "common/textio.hpp"
#include "common/units.hpp"
#include "input/experiment.hpp"
#include "post/chiplot.hpp"
#include "post/fouplot.hpp"
#include "post/interpchin.hpp"
#include "post/interpmesh.hpp"
#include "post/open.hpp"
#include "post/piadj.hpp"
#include "post/signal_plot.hpp"

namespace korva {

real hydrogen_law(real x) {
    const real sx = std::sqrt(x);
    const real onepx = 1.0f + x;
    return std::exp(-(4.0f / sx) * std::atan(sx)) / 0.01831564f / (onepx * onepx * onepx * onepx) /
           (1.0f - std::exp(-2.0f * pi_f / sx));
}

namespace {

// The atomic cross-section of each channel at points 1..nen, as the plot shows it.
using channel_cross_sections = std::array<std::vector<real>, 2>;

channel_cross_sections cross_sections(const phase_table& t, int nen) {
    channel_cross_sections s;
    for (int c = 1; c <= 2; ++c)
        for (int e = 1; e <= nen; ++e) s[c - 1].push_back(t.sig0(e, c));
    return s;
}

// The cross sections scaled above the edge by the hydrogen-like law, keeping the last point's
// value; unscaled, with a warning, when the law has no value there.
channel_cross_sections rescaled_cross_sections(const phase_table& t, int nen, real ene,
                                               std::ostream& out) {
    channel_cross_sections s = cross_sections(t, nen);
    const real xlast = ene > 0.0f ? ev * t.eph(nen) / ene : 0.0f;
    const real flast = xlast > 0.0f ? hydrogen_law(xlast) : 0.0f;
    const real s1 = flast != 0.0f ? t.sig0(nen, 1) / flast : 0.0f;
    const real s2 = flast != 0.0f ? t.sig0(nen, 2) / flast : 0.0f;
    if (!(xlast > 0.0f) || !(flast > 0.0f) || !std::isfinite(s1) || !std::isfinite(s2)) {
        out << (record() << " *** WARNING: ATOMIC CROSS-SECTION NOT RESCALED: ENE MUST BE POSITIVE "
                            "AND THE LAST ENERGY POINT ABOVE THE EDGE ***");
        return s;
    }
    for (int e = 1; e <= nen; ++e) {
        const real x = ev * t.eph(e) / ene;
        if (x > 0.0f) {
            const real f = hydrogen_law(x);
            s[0][e - 1] = f * s1;
            s[1][e - 1] = f * s2;
        }
    }
    return s;
}

void total_time_line(cpu_marks& cpu, std::ostream& out) {
    const double now = cpu_seconds();
    out << ' ' << " >>>>  TOTAL SIGNAL COMPUTED CPU TIME "
        << field_f((now - cpu.start) * 1000.0, 10, 2) << " msec  <<<<" << '\n';
    cpu.mark = now;
}

void signal_table(const run_state& st, int nen, std::ostream& out) {
    const signal_arrays& s = st.sig;
    out << (record() << "  ");
    out << ' ' << "  E(eV)   K (1/A)       Xtot" << '\n';
    out << (record() << "  ");
    for (int e = 1; e <= nen; ++e) {
        out << ' ' << field_f(ev * st.phases.eph(e), 8, 4) << "   " << field_f(s.kwave[e - 1], 8, 4)
            << "    " << field_f(s.xtot[0][e - 1], 12, 6);
        for (int col = 2; col <= s.columns(); ++col) out << field_f(s.xtot[col - 1][e - 1], 12, 6);
        out << '\n';
    }
}

// Prompt 10 and the experimental file; false (with a warning) when the file cannot be opened.
bool read_experimental_file(const std::string& name, std::ostream& out, experiment& x) {
    out << (record() << "> INPUT FILE NAME for comparison with "
                     << "experimental data");
    out.flush();
    std::ifstream f;
    if (!name.empty()) f.open(name, std::ios::in | std::ios::binary);
    if (!f.is_open()) {
        out << (record() << "!!! WARNING experimental data file NOT FOUND");
        return false;
    }
    read_experiment(f, out, x);
    return true;
}

// The cross-section plot, with the experimental points when IF2 = 1 and the file was found.
void cross_section_plot(run_state& st, int nen, std::ostream& out) {
    const run_parameters& p = st.par;
    const channel_cross_sections s0 = p.if1 == 2
                                          ? rescaled_cross_sections(st.phases, nen, p.ene, out)
                                          : cross_sections(st.phases, nen);
    experiment x;
    const bool with_experiment =
        p.if2 == 1 && read_experimental_file(st.place.path(p.expfile), out, x);
    open(out, st.sigfile, p.output_name("sig"), st.place);
    // One curve per channel, or per polarisation (all of channel 1).
    std::vector<sig_curve> curves;
    for (int col = 1; col <= st.sig.columns(); ++col)
        curves.push_back({s0[p.polar.empty() ? col - 1 : 0].data(), st.sig.xtot[col - 1].data()});
    const sig_experiment xp{x.energy, x.value, x.smallest, p.ene, p.fac};
    write_sig_plot(st.sigfile, p.output_name("sig"), nen, &st.phases.eph(1), curves,
                   with_experiment ? &xp : nullptr, st.polar_names);
}

// The mesh's lines, chi(k) on the mesh (the sum of the channels), then both plots.
void chi_and_fourier_plots(run_state& st, int nen, const chi_mesh& mesh, std::ostream& out) {
    const run_parameters& p = st.par;
    const signal_arrays& s = st.sig;
    // The phases made continuous along k, channel by channel.
    std::vector<std::array<real, NER_>> phase = s.cphase;
    for (int c = 1; c <= s.nch; ++c)
        piadj(out, NER_, nen, s.kwave.data(), phase[c - 1].data(), p.rmin);
    out << mesh.text;
    const int nmesh = mesh.nmesh;
    std::vector<real> chimesh(NPI_, 0.0f), chi(NPI_, 0.0f);
    std::vector<real> kmesh = mesh.kmesh;
    for (int c = 1; c <= s.nch; ++c)
        interpchin(NER_, mesh.kpoint.data(), s.camp[c - 1].data(), phase[c - 1].data(), 4, NPI_,
                   nmesh, kmesh.data(), mesh.istart.data(), chi.data(), chimesh.data());

    open(out, st.chi, p.output_name("chi"), st.place);
    chiplot(st.chi, NPI_, nmesh, kmesh.data(), chimesh.data(), p.esp, p.output_name("chi"));
    out << (record() << " >>>>    TOTAL SIGNAL PLOT DONE    <<<<");

    const real k1 = std::max(mesh.kmin, 2.5f);
    open(out, st.foufile, p.output_name("fou"), st.place);
    fouplot(st.fou, st.foufile, NPI_, nmesh, kmesh.data(), chimesh.data(), k1, mesh.kmax, p.esp,
            p.output_name("fou"));
    out << (record() << " >>>>  FOURIER TRANSFORM PLOT DONE <<<<");
}

}  // namespace

chi_mesh plan_chi_mesh(const run_parameters& p, const phase_table& t, int nen, std::ostream& out) {
    chi_mesh m;
    m.kmin = p.kmin;
    m.kmax = p.kmax;
    m.kpoint.assign(NER_, 0.0f);
    m.kmesh.assign(NPI_, 0.0f);
    m.istart.assign(NPI_, 0);
    std::vector<real> chimesh(NPI_, 0.0f), eph(NER_, 0.0f);
    for (int e = 1; e <= nen; ++e) eph[e - 1] = t.eph(e);
    std::ostringstream text;
    try {
        interpmesh(text, m.kmin, m.kmax, p.dk, p.de0, NER_, nen, eph.data(), m.kpoint.data(), NPI_,
                   m.nmesh, 4, m.kmesh.data(), chimesh.data(), m.istart.data());
    } catch (const run_stop&) {
        out << text.str();
        throw;
    }
    m.text = text.str();
    return m;
}

void finish_run(run_state& st, const loop_plan& plan, const chi_mesh& mesh, std::ostream& out) {
    total_time_line(st.cpu, out);
    signal_table(st, plan.nen, out);
    if (st.par.if1 > 0) cross_section_plot(st, plan.nen, out);
    chi_and_fourier_plots(st, plan.nen, mesh, out);
}

}  // namespace korva
