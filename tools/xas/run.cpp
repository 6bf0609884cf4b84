// korva-xas from the command line to the files: reads the runs (and the measurement), chooses
// the Fermi level and the widths, computes the spectrum, compares and fits it, and writes every
// output or none.
#include <gsl/gsl_errno.h>

#include <cmath>

#include "cli.hpp"
#include "common/errors.hpp"
#include "common/whole_files.hpp"
#include "report.hpp"
#include "session.hpp"

namespace korva::xas {

namespace {

[[noreturn]] void wrong(const std::string& what) {
    throw xas_error(exit_wrong_value, what);
}

// The runs of the command: its deck alone, or every run of the list, each read and chosen.
std::vector<loaded_run> load_runs(const options& o) {
    const std::vector<run_entry> entries =
        o.runs.empty() ? std::vector<run_entry>{{o.deck, 1.0, "1"}} : read_run_list(o.runs);
    std::vector<loaded_run> runs;
    for (const run_entry& e : entries) {
        loaded_run l{e, read_run(e.deck), {}};
        l.c = choose(o, l.r);
        runs.push_back(std::move(l));
    }
    return runs;
}

// The runs of one list must be of one edge: one element, edge and edge energy (their grids
// are anchored at the same photon energy).
void check_alike(const std::vector<loaded_run>& runs) {
    const loaded_run& a = runs.front();
    for (const loaded_run& b : runs) {
        if (b.c.element != a.c.element || b.c.edge != a.c.edge)
            wrong(b.entry.deck + ": the " + b.c.element + " " + b.c.edge + " edge, where " +
                  a.entry.deck + " computes the " + a.c.element + " " + a.c.edge + " edge");
        if (b.c.p.edge_ev != a.c.p.edge_ev)
            wrong(b.entry.deck + ": ENE differs from that of " + a.entry.deck +
                  " (prompt 8): the runs of a list share the edge energy");
    }
}

std::vector<member> members_of(const std::vector<loaded_run>& runs) {
    std::vector<double> spans;
    for (const loaded_run& l : runs) spans.push_back(span_ev(l.r.spectrum, l.c.p.fermi_ry));
    const double step = ensemble_step(spans);
    std::vector<member> m;
    for (const loaded_run& l : runs)
        m.push_back(
            {l.entry.label, l.entry.weight, l.c.p, cut_spectrum(l.r.spectrum, l.c.p, step)});
    return m;
}

// The measurement, normalised; its element and edge must be the computed ones.
measurement load_measurement(const options& o, const choices* computed) {
    const measured_spectrum f = read_measured(o.exp, o.exp_column);
    measurement m;
    try {
        m = prepare_measurement(f, o.window);
    } catch (const normalise_error& e) {
        wrong(o.exp + ": the measured spectrum cannot be normalised: " + e.what());
    }
    if (computed && !f.element.empty() &&
        (f.element != computed->element || f.edge != computed->edge))
        wrong(o.exp + ": a measurement of the " + f.element + " " + f.edge +
              " edge (Element.symbol, Element.edge); the computed spectrum is of the " +
              computed->element + " " + computed->edge + " edge");
    return m;
}

// The widths of the final spectrum into every run's choices, as the reports give them.
void take_widths(const widths& w, session& s) {
    for (loaded_run& l : s.runs) {
        l.c.p.resolution = w.resolution;
        if (w.final_scale) l.c.p.final_scale = *w.final_scale;
    }
}

session compute(const options& o) {
    session s;
    s.o = o;
    s.several = !o.runs.empty();
    s.runs = load_runs(o);
    check_alike(s.runs);
    if (!o.exp.empty()) s.meas = load_measurement(o, &s.first());
    s.members = members_of(s.runs);
    if (s.meas) {
        s.agree = hold_against(*s.meas, s.members, o);
        s.spectrum = s.agree->spectrum;
        take_widths(s.agree->w, s);
    } else {
        s.spectrum = combine(s.members, {o.resolution, o.final_scale});
    }
    return s;
}

int measurement_alone(const options& o, std::ostream& out) {
    out << measurement_summary(load_measurement(o, nullptr));
    out.flush();
    return out ? 0 : exit_write;
}

}  // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    gsl_set_error_handler_off();  // the fits' failures are checked, never an abort
    try {
        const options o = parse_options(args);
        if (o.help) {
            out << help_text();
            return 0;
        }
        if (o.measurement_only()) return measurement_alone(o, out);
        if (o.check) {
            if (!o.exp.empty()) load_measurement(o, nullptr);
            return 0;
        }
        const session s = compute(o);
        write_whole_files(outputs(s));
        for (const loaded_run& l : s.runs)
            for (const std::string& w : l.c.warnings) err << "korva-xas: warning: " << w << "\n";
        out << summary(s);
        out.flush();
        return out ? 0 : exit_write;
    } catch (const xas_error& e) {
        err << "korva-xas: " << e.what() << "\n";
        return e.status;
    } catch (const normalise_error& e) {
        err << "korva-xas: the broadened spectrum cannot be normalised: " << e.what() << "\n";
        return exit_wrong_value;
    } catch (const korva::write_error& e) {
        err << "korva-xas: cannot write " << e.file << ": " << e.reason << "\n";
        return exit_write;
    }
}

}  // namespace korva::xas
