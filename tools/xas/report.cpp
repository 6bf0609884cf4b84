#include "report.hpp"

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "draw_cairo.hpp"
#include "picture.hpp"
#include "xdi.hpp"

namespace korva::xas {

namespace {

const char* const spectrum_comment = "KORVA XANES, normalised to an edge step of 1 by korva-xas";

std::string g(double v, int digits = 6) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*g", digits, v);
    return buf;
}

std::string fixed(double v, int decimals) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

std::string base_name(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

std::string exchange_of(const choices& c) {
    return c.exchange.empty() ? "not named" : c.exchange;
}

// ---- one deck: the summary it always had (its fields are choices.hpp's xdi_fields)

std::string single_head(const options& o, const loaded_run& l, const xas_spectrum& s) {
    std::ostringstream os;
    const run_data& r = l.r;
    const choices& c = l.c;
    const auto& e = r.spectrum.e_ry;
    os << "korva-xas: " << o.deck << ", " << r.sig << " (" << r.spectrum.channels
       << (r.spectrum.channels == 1 ? " channel, " : " channels, ") << e.size() << " points, "
       << g(e.front()) << ".." << g(e.back()) << " Ry), " << c.element << " " << c.edge << "\n";
    os << "  Fermi level  " << g(c.p.fermi_ry, 10) << " Ry (" << c.fermi_source << ") at "
       << g(c.p.edge_ev) << " eV (ENE)\n";
    os << "  Fermi cut    arctangent step, gamma " << g(c.p.gamma_ry * ev_per_ry, 4)
       << " eV (the data's damping)\n";
    os << "  final state  arctangent width, Gamma_max " << g(c.p.law.gamma_max) << " eV x "
       << g(c.p.final_scale) << " (exchange " << exchange_of(c) << ")\n";
    os << "  resolution   Gaussian FWHM " << g(c.p.resolution) << " eV; grid " << g(s.step, 4)
       << " eV, " << s.energy.size() << " points, " << g(s.energy.front(), 8) << ".."
       << g(s.energy.back(), 8) << " eV\n";
    os << "  edge         E0 " << g(s.norm.e0, 8) << " eV, edge step " << g(s.norm.step)
       << " Mbarn (post-edge E0+" << g(s.norm.post_lo, 4) << "..E0+" << g(s.norm.post_hi, 4)
       << " eV)\n";
    return os.str();
}

// ---- a run list

std::string run_line(const loaded_run& l, const xas_spectrum& s) {
    const choices& c = l.c;
    return "weight " + g(l.entry.weight) + ", " + l.entry.deck + ": E_F " + g(c.p.fermi_ry, 8) +
           " Ry (" + c.fermi_source + "), gamma " + g(c.p.gamma_ry * ev_per_ry, 4) +
           " eV, final state x " + g(c.p.final_scale) + " (" + exchange_of(c) + "), E0 " +
           g(s.norm.e0, 8) + " eV, edge step " + g(s.norm.step) + " Mbarn";
}

std::string ensemble_head(const session& s) {
    std::ostringstream os;
    const ensemble& e = s.spectrum;
    os << "korva-xas: " << s.o.runs << ", " << s.runs.size()
       << (s.runs.size() == 1 ? " run, " : " runs, ") << s.first().element << " " << s.first().edge
       << "\n";
    for (std::size_t i = 0; i < s.runs.size(); ++i)
        os << "  run " << s.runs[i].entry.label << "  " << run_line(s.runs[i], e.each[i]) << "\n";
    os << "  resolution   Gaussian FWHM " << g(s.first().p.resolution) << " eV; grid "
       << g(e.step, 4) << " eV; the runs share " << e.energy.size() << " points, "
       << g(e.energy.front(), 8) << ".." << g(e.energy.back(), 8) << " eV\n";
    if (s.runs.size() > 1)
        os << "  mean         weighted by the runs' weights; spread: their weighted standard "
              "deviation\n";
    return os.str();
}

std::vector<xdi_field> ensemble_fields(const session& s) {
    std::vector<xdi_field> f{
        {"Element.symbol", s.first().element},
        {"Element.edge", s.first().edge},
        {"Korva.runs", s.o.runs + " (" + std::to_string(s.runs.size()) +
                           " runs, weighted mean and standard deviation)"},
        {"Korva.resolution", g(s.first().p.resolution) + " eV (Gaussian FWHM)"},
        {"Korva.grid", g(s.spectrum.step, 4) + " eV"}};
    for (std::size_t i = 0; i < s.runs.size(); ++i)
        f.push_back(
            {"Korva.run_" + s.runs[i].entry.label, run_line(s.runs[i], s.spectrum.each[i])});
    return f;
}

// The mean, and with several runs its spread and every run.
std::vector<xdi_column> ensemble_columns(const ensemble& e, const std::vector<loaded_run>& runs) {
    std::vector<xdi_column> c{{"energy", "eV", e.energy}, {"mu", "", e.mean}};
    if (runs.size() == 1) return c;
    c.push_back({"mu_std", "", e.spread});
    for (std::size_t i = 0; i < runs.size(); ++i)
        c.push_back({"mu_" + runs[i].entry.label, "", e.shared[i]});
    return c;
}

// ---- the comparison

std::string window_text(const window_range& w) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "E0%+g..E0%+g eV", w.lo, w.hi);
    return buf;
}

std::string measured_text(const measurement& m) {
    const measured_spectrum& f = m.file;
    std::string t = f.path + " (" + f.format + ", " + f.column + ", " +
                    std::to_string(f.energy.size()) + " points, " + g(f.energy.front(), 8) + ".." +
                    g(f.energy.back(), 8) + " eV" + (f.kev ? " from keV" : "") + "): E0 " +
                    fixed(m.norm.e0, 2) + " eV, ";
    if (f.normalised) return t + "normalised in the file";
    return t + "edge step " + g(m.norm.step) + " (pre-edge line E0-150..E0-30 eV, post-edge " +
           "quadratic E0+" + g(m.norm.post_lo, 4) + "..E0+" + g(m.norm.post_hi, 4) + " eV)";
}

// The line a script reads: r = 0.xxx and shift = x.x eV.
std::string result_line(const agreement& a) {
    return "r = " + fixed(a.result.r, 3) + ", R = " + g(a.result.rfactor, 3) +
           ", shift = " + fixed(a.p[p_shift].value, 1) + " eV, scale " + g(a.p[p_scale].value, 4);
}

std::string parameter_line(const fit_parameter& p) {
    char buf[200];
    const std::string unit = p.unit.empty() ? "" : " " + p.unit;
    std::snprintf(buf, sizeof buf, "    %-11s %-10s +- %-9s%-3s bounds %g..%g%s", p.name.c_str(),
                  g(p.value, 5).c_str(), g(p.error, 2).c_str(), unit.c_str(), p.lo, p.hi,
                  !p.free      ? " (fixed)"
                  : p.at_bound ? " (at a bound)"
                               : "");
    return buf;
}

std::string comparison_lines(const session& s) {
    const measurement& m = *s.meas;
    const agreement& a = *s.agree;
    std::ostringstream os;
    os << "  measured     " << measured_text(m) << "\n";
    os << "  window       " << window_text(m.window) << ": " << m.energy.size()
       << " measured points, " << fixed(m.energy.front(), 2) << ".." << fixed(m.energy.back(), 2)
       << " eV\n";
    os << "  aligned      r " << g(a.start.r, 5) << ", R " << g(a.start.rfactor, 4) << ", shift "
       << g(a.start_shift, 4) << " eV, scale " << g(a.start_scale, 4)
       << (s.o.shift ? " (--shift)" : " (the shift of the largest r)") << "\n";
    if (a.fitted) {
        os << "  fit          converged after " << a.outcome.iterations
           << " iterations (GSL nonlinear least squares, Levenberg-Marquardt), chi^2 "
           << g(a.outcome.chisq, 4) << "\n";
        for (const fit_parameter& p : a.p) os << parameter_line(p) << "\n";
    }
    os << "  result       " << result_line(a) << (a.fitted ? " (fitted)" : " (aligned)") << "\n";
    return os.str();
}

std::vector<xdi_field> comparison_fields(const session& s) {
    const measurement& m = *s.meas;
    const agreement& a = *s.agree;
    std::vector<xdi_field> f{
        {"Element.symbol", s.first().element},
        {"Element.edge", s.first().edge},
        {"Korva.computed", s.o.out + (s.several ? " (the weighted mean of " + s.o.runs + ")" : "")},
        {"Korva.measured", measured_text(m)},
        {"Korva.window", window_text(m.window) + " about the measured E0"},
        {"Korva.normalisation",
         "both to an edge step of 1 (Athena's standard: E0 at the largest derivative, a "
         "pre-edge line subtracted from the measured one, a post-edge quadratic)"},
        {"Korva.r", g(a.result.r, 8)},
        {"Korva.r_factor", g(a.result.rfactor, 8) + " (sum (m - c)^2 / sum m^2)"},
        {"Korva.fit",
         a.fitted ? "converged after " + std::to_string(a.outcome.iterations) + " iterations"
                  : "none: shift aligning the spectra, scale " + g(a.start_scale)}};
    for (const fit_parameter& p : a.p)
        f.push_back({"Korva." + p.name, g(p.value, 8) + (p.unit.empty() ? "" : " " + p.unit) +
                                            (a.fitted && p.free ? " +- " + g(p.error, 3) : "") +
                                            (!p.free || !a.fitted ? " (not fitted)" : "") +
                                            (a.fitted && p.at_bound ? " (at a bound)" : "")});
    return f;
}

struct compared {
    std::vector<double> computed, spread, residual;
};

compared comparison_values(const session& s) {
    const measurement& m = *s.meas;
    const agreement& a = *s.agree;
    const double shift = a.p[p_shift].value, scale = a.p[p_scale].value;
    compared c;
    c.computed = model_values(m, s.spectrum.mean_line(), shift, scale);
    if (s.runs.size() > 1) c.spread = model_values(m, s.spectrum.spread_line(), shift, scale);
    for (std::size_t i = 0; i < m.mu.size(); ++i) c.residual.push_back(m.mu[i] - c.computed[i]);
    return c;
}

std::string comparison_xdi(const session& s) {
    const compared c = comparison_values(s);
    std::vector<xdi_column> cols{{"energy", "eV", s.meas->energy},
                                 {"computed", "", c.computed},
                                 {"measured", "", s.meas->mu},
                                 {"residual", "", c.residual}};
    if (s.runs.size() > 1) cols.push_back({"computed_std", "", c.spread});
    return xdi_table(comparison_fields(s),
                     "KORVA XANES against a measurement, both normalised by korva-xas", cols);
}

overlay overlay_of(const session& s) {
    const measurement& m = *s.meas;
    const agreement& a = *s.agree;
    const double shift = a.p[p_shift].value, scale = a.p[p_scale].value;
    overlay o;
    const ensemble& e = s.spectrum;
    for (std::size_t i = 0; i < e.energy.size(); ++i) {
        const double x = e.energy[i] + shift;
        if (x < m.norm.e0 + m.window.lo || x > m.norm.e0 + m.window.hi) continue;
        o.energy.push_back(x);
        o.computed.push_back(scale * e.mean[i]);
        if (s.runs.size() > 1) o.spread.push_back(scale * e.spread[i]);
    }
    const compared c = comparison_values(s);
    o.measured_energy = m.energy;
    o.measured = m.mu;
    o.residual = c.residual;
    o.computed_name = s.runs.size() > 1
                          ? "computed, mean of " + std::to_string(s.runs.size()) + " runs"
                          : "computed";
    o.measured_name = base_name(m.file.path);
    o.notes = {
        "r = " + fixed(a.result.r, 3) + ", R = " + g(a.result.rfactor, 3),
        "shift " + fixed(a.p[p_shift].value, 2) + " eV, scale " + g(a.p[p_scale].value, 3),
        "Gaussian " + g(a.p[p_resolution].value, 3) + " eV, width x " + g(a.p[p_width].value, 3)};
    o.text.title = s.first().element + " " + s.first().edge + " edge: " + base_name(s.o.out) +
                   " against " + base_name(m.file.path);
    return o;
}

// A picture's bytes (PNG or SVG), a failure of cairo named with the file.
template <class Draw>
void add_picture(std::vector<std::pair<std::string, std::string>>& files, const std::string& name,
                 bool png, Draw draw) {
    if (name.empty()) return;
    try {
        files.push_back({name, draw(png)});
    } catch (const plot::write_error& e) {
        throw xas_error(exit_write, name + ": " + e.what);
    }
}

}  // namespace

std::string summary(const session& s) {
    std::string t =
        s.several ? ensemble_head(s) : single_head(s.o, s.runs.front(), s.spectrum.each.front());
    if (s.meas) t += comparison_lines(s);
    t += "  wrote        " + s.o.out;
    for (const std::string* f : {&s.o.compare, &s.o.png, &s.o.svg})
        if (!f->empty()) t += ", " + *f;
    return t + "\n";
}

std::string measurement_summary(const measurement& m) {
    std::ostringstream os;
    os << "korva-xas: " << measured_text(m) << "\n";
    os << "  element      " << m.file.element << " " << m.file.edge << "\n";
    os << "  window       " << window_text(m.window) << ": " << m.energy.size()
       << " measured points\n";
    return os.str();
}

std::vector<std::pair<std::string, std::string>> outputs(const session& s) {
    std::vector<std::pair<std::string, std::string>> files;
    const ensemble& e = s.spectrum;
    if (s.several) {
        files.push_back({s.o.out, xdi_table(ensemble_fields(s), spectrum_comment,
                                            ensemble_columns(e, s.runs))});
    } else {
        const xas_spectrum& one = e.each.front();
        const loaded_run& l = s.runs.front();
        files.push_back({s.o.out, xdi_text(xdi_fields(s.o, l.r, l.c, one), spectrum_comment,
                                           one.energy, one.mu)});
    }
    if (s.meas) files.push_back({s.o.compare, comparison_xdi(s)});
    const picture_text text{s.first().element + " " + s.first().edge + " edge, " + s.o.out};
    const auto draw = [&](bool png) {
        if (s.meas) return overlay_picture(overlay_of(s), png);
        if (s.runs.size() > 1) return picture(e.energy, e.mean, text, png, e.spread);
        if (s.several) return picture(e.energy, e.mean, text, png);
        return picture(e.each.front().energy, e.each.front().mu, text, png);
    };
    add_picture(files, s.o.png, true, draw);
    add_picture(files, s.o.svg, false, draw);
    return files;
}

}  // namespace korva::xas
