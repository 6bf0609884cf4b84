#include "cli.hpp"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "plan.hpp"
#include "runner.hpp"

namespace korva::xanes {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void wrong(const std::string& what) {
    throw xanes_error(exit_wrong_value, what);
}

std::string value_after(const std::vector<std::string>& args, std::size_t& i) {
    if (i + 1 >= args.size()) wrong(args[i] + ": a value must follow");
    return args[++i];
}

int whole(const std::string& opt, const std::string& v, int lo, int hi) {
    int n = 0;
    const auto r = std::from_chars(v.data(), v.data() + v.size(), n);
    if (r.ec != std::errc() || r.ptr != v.data() + v.size() || n < lo || n > hi)
        wrong(opt + " " + v + ": a whole number from " + std::to_string(lo) + " to " +
              std::to_string(hi));
    return n;
}

std::vector<std::string> split(const std::string& s) {
    std::istringstream is(s);
    std::vector<std::string> w;
    for (std::string t; is >> t;) w.push_back(t);
    return w;
}

// An option with its value; false when `a` is none of them.
bool valued_option(const std::vector<std::string>& args, std::size_t& i, options& o) {
    const std::string& a = args[i];
    if (a == "--absorber") {
        o.absorber = value_after(args, i);
    } else if (a == "--radius") {
        const std::string v = value_after(args, i);
        const auto r = std::from_chars(v.data(), v.data() + v.size(), o.radius);
        if (r.ec != std::errc() || r.ptr != v.data() + v.size() || !std::isfinite(o.radius) ||
            !(o.radius > 0.0))
            wrong("--radius " + v + ": the radius must be a number of Angstrom above 0");
    } else if (a == "--edge") {
        o.edge = value_after(args, i);
    } else if (a == "--exp") {
        o.exp = value_after(args, i);
    } else if (a == "-o") {
        o.folder = value_after(args, i);
    } else if (a == "--max-atoms") {
        o.max_atoms = whole(a, value_after(args, i), 2, 1000000);
    } else if (a == "--points") {
        o.points = whole(a, value_after(args, i), 4, 1000000);
    } else if (a == "--jobs") {
        o.jobs = whole(a, value_after(args, i), 1, 4096);
    } else if (a == "--threads") {
        o.threads = whole(a, value_after(args, i), 1, 4096);
    } else if (a == "--korva") {
        o.korva = value_after(args, i);
    } else if (a == "--launcher") {
        o.launcher = split(value_after(args, i));
    } else if (a == "--xas") {
        for (const std::string& w : split(value_after(args, i))) o.xas.push_back(w);
    } else {
        return false;
    }
    return true;
}

// The cores this process may run on.
int cores() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

// A stage before the run folder exists (the sites, the measurement): its standard output.
std::string early_stage(const std::string& name, const command& c) {
    std::string text;
    process p(c, [&](const std::string& l) { text += l + "\n"; });
    while (!p.finished()) pump({&p}, 200);
    const ending e = p.wait();
    if (!e.ok()) throw stage_failure{name, "", "", e.last_error, e.status, e.signal};
    return text;
}

listing list_sites(const options& o, const programs& p) {
    command c{{p.cluster, o.structure, "--absorber", o.absorber, "--sites"},
              ".",
              "",
              "/dev/null",
              "/dev/null",
              0};
    return parse_listing(early_stage("sites", c));
}

// korva-xas's options of the run (and the measurement), checked by korva-xas --check before
// anything runs.
void check_xas(const options& o, const programs& p) {
    command c{{p.xas, "--check", "--runs", "runs.txt", "-o", "spectrum.xdi"},
              ".",
              "",
              "/dev/null",
              "/dev/null",
              0};
    if (!o.exp.empty()) c.argv.insert(c.argv.end(), {"--exp", o.exp});
    if (o.fit) c.argv.push_back("--fit");
    c.argv.insert(c.argv.end(), o.xas.begin(), o.xas.end());
    early_stage(o.exp.empty() ? "options" : "measurement", c);
}

// The run folder, made empty; an existing one that is not empty is refused.
std::string make_folder(const options& o) {
    std::string name = o.folder;
    if (name.empty()) name = fs::path(o.structure).stem().string() + "_" + o.absorber;
    std::error_code ec;
    if (fs::exists(name, ec) && !(fs::is_directory(name, ec) && fs::is_empty(name, ec)))
        wrong(name +
              ": the run folder exists and is not empty; remove it or choose another "
              "with -o");
    fs::create_directories(name, ec);
    if (ec) throw xanes_error(exit_write, name + ": cannot make the run folder: " + ec.message());
    return fs::absolute(name).lexically_normal().string();
}

void write_text(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary);
    f << text;
    if (!f.flush()) throw xanes_error(exit_write, path + ": cannot be written");
}

void fill_folder(const options& o, const plan& p, const std::vector<std::string>& args) {
    std::error_code ec;
    fs::copy_file(o.structure, p.folder + "/" + p.structure, ec);
    if (!ec && !o.exp.empty()) fs::copy_file(o.exp, p.folder + "/" + p.exp, ec);
    if (ec) throw xanes_error(exit_write, p.folder + ": cannot copy the input: " + ec.message());
    for (const run_plan& r : p.runs) fs::create_directory(p.folder + "/" + r.folder, ec);
    if (ec) throw xanes_error(exit_write, p.folder + ": cannot make the runs' folders");
    write_text(p.folder + "/runs.txt", runs_text(p));
    write_text(p.folder + "/repeat.sh", script_text(p, args));
}

std::string failure_text(const stage_failure& f) {
    std::string t = "stage " + f.stage;
    if (!f.run.empty()) t += " of run " + f.run + " (" + f.folder + ")";
    t += f.signal ? " ended by signal " + std::to_string(f.signal)
                  : " failed with status " + std::to_string(f.status);
    return t + (f.message.empty() ? "" : ": " + f.message);
}

// "lo..hi" of the runs' values, or the one value.
template <class T>
std::string span(std::vector<T> v) {
    std::sort(v.begin(), v.end());
    std::ostringstream os;
    os << v.front();
    if (v.back() != v.front()) os << ".." << v.back();
    return os.str();
}

std::string summary(const plan& p, const execution& e, double seconds) {
    std::vector<int> atoms, energies;
    std::vector<std::string> fermi;
    for (const run_facts& f : e.facts) {
        atoms.push_back(f.atoms);
        energies.push_back(f.energies);
        fermi.push_back(f.fermi);
    }
    std::string result;
    for (const std::string& l : e.xas_lines)
        if (const auto k = l.find("r = "); k != std::string::npos) result = ", " + l.substr(k);
    char time[32];
    std::snprintf(time, sizeof time, "%.1f s", seconds);
    const std::string pictures = p.exp.empty() ? "spectrum" : "compare";
    return "korva-xanes: done in " + std::string(time) + ": " + std::to_string(p.runs.size()) +
           (p.runs.size() == 1 ? " run, " : " runs, ") + span(atoms) + " atoms, " + span(energies) +
           " energies, E_F " + span(fermi) + " Ry" + result + "; " + p.folder + "/" + pictures +
           ".png\n";
}

int run_all(const options& o, const std::string& self, const std::vector<std::string>& args,
            std::ostream& out) {
    const auto t0 = std::chrono::steady_clock::now();
    programs p = find_programs(self);
    if (!o.korva.empty()) {
        if (::access(o.korva.c_str(), X_OK) != 0)
            wrong("--korva " + o.korva + ": not a program korva-xanes can run");
        p.korva = fs::absolute(o.korva).lexically_normal().string();
    }
    if (!fs::is_regular_file(o.structure))
        throw xanes_error(exit_unreadable, o.structure + ": no such structure file");
    const listing l = list_sites(o, p);
    check_xas(o, p);
    const int n = cores();
    const plan pl = make_plan(o, p, l, make_folder(o), n);
    fill_folder(o, pl, args);
    out << "korva-xanes: " << o.structure << ", absorber " << o.absorber << ": " << pl.runs.size()
        << (pl.runs.size() == 1 ? " run" : " runs") << " (" << l.sites.size()
        << (l.sites.size() == 1 ? " site, " : " sites, ") << l.frames
        << (l.frames == 1 ? " frame" : " frames") << ") in " << pl.folder << "; " << pl.jobs
        << " at a time, " << pl.threads << " OpenMP thread" << (pl.threads == 1 ? "" : "s")
        << " each (" << n << " cores)\n"
        << std::flush;
    if (o.prepare) {
        out << "korva-xanes: prepared, nothing run: sh " << pl.folder << "/repeat.sh runs it, "
            << "sh repeat.sh run N one run (1 to " << pl.runs.size() << "), sh repeat.sh xas "
            << "the spectrum\n";
        return out ? 0 : exit_write;
    }
    const execution e = execute(pl, out);
    out << summary(pl, e,
                   std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    out.flush();
    return out ? 0 : exit_write;
}

}  // namespace

namespace {

constexpr std::string_view help =
    R"(usage: korva-xanes STRUCTURE --absorber WHO [--radius R] [--edge K|L3] [--exp FILE]
                   [--fit] [-o FOLDER] [--every-atom] [--max-atoms N] [--points N]
                   [--jobs N] [--threads T] [--korva PATH] [--launcher CMD]
                   [--xas OPTIONS] [--prepare]

One command from a structure file (and a measurement) to the spectrum and its picture. It runs,
as child processes, the programs beside it or in its build tree: korva-cluster (the sites and
each cluster, its deck and psgen input), korva-psgen (the potential, the Fermi level, the data
files), korva (the spectrum) and korva-xas (the spectrum on the photon-energy scale, compared
with the measurement and fitted to it), in a run folder:

  FOLDER/STRUCTURE, FOLDER/FILE   copies of the inputs
  FOLDER/run-LABEL/                one per run: deck.in, run.psgen, the data files, korva.out,
                                   the plot files, and each program's standard output and error
  FOLDER/runs.txt                  the runs with their weights (korva-xas --runs)
  FOLDER/spectrum.xdi              the weighted mean (mu), its spread (mu_std) and every run
  FOLDER/compare.xdi, compare.png, compare.svg    with --exp: the comparison and the overlay;
                                   without: spectrum.png, spectrum.svg
  FOLDER/xas.txt                   korva-xas's summary: the figures and the fitted values
  FOLDER/repeat.sh                 repeats the run exactly: sh repeat.sh (all), sh repeat.sh
                                   run N (one run: a task of a job array), sh repeat.sh xas

WHO           a CIF site label (Fe1: that site) or an element (Fe: every site of the element in
              a CIF, each weighted by its multiplicity in the cell; in XYZ, PDB and mmCIF the
              first atom of the element, every one with --every-atom), or an atom number
--radius R    the cluster's radius, Angstrom (default 6)
--edge        K (default) or L3
--exp FILE    a measured spectrum (XDI 1.0 or plain columns; korva-xas --help); read and
              checked, with the options for korva-xas, before anything runs
--fit         fits the shift, scale, resolution and final-state width (korva-xas --fit)
-o FOLDER     the run folder (default NAME_WHO, NAME the structure file's name); it must not
              exist or be empty
--every-atom  XYZ, PDB, mmCIF: every atom of the element absorbs in turn
--max-atoms N, --points N   korva-cluster's atom count and the psgen grid's energies
--jobs N      runs at once (default: the cores, at most the runs)
--threads T   OpenMP threads of each korva (default: the cores over the jobs, at least 1), so
              that jobs x threads does not exceed the cores
--korva PATH  the korva to run in place of the one found (build-mpi/korva, the MPI build)
--launcher CMD  before korva's path, such as "mpirun -n 16" for the MPI build
--xas OPTIONS   more options for korva-xas, in one argument ("--window -10 60 --fix width")
--prepare     checks the input and makes the folder with runs.txt and repeat.sh, and runs
              nothing: the runs can then go to a job array (sh repeat.sh run N each)

A trajectory (an XYZ file of several frames) gives one run per frame (and atom): the mean
spectrum and its standard deviation, drawn as a band. The structure is read (korva-cluster
--sites) and the measurement checked (korva-xas --exp) before the folder is made.

Standard output: a line per stage of every run and per energy point of korva, korva-xas's
summary, then one line: the time, the runs, atoms, energies, E_F and the figures. On an error
one line on standard error names the stage (sites, measurement or options, cluster, psgen,
korva, xas),
the run and the stage's own message, and korva-xanes ends with the stage's exit status; the
folder is kept for inspection. Exit status: 0 done; 1 an option it refuses or a folder that
exists; 2 input it cannot read; 3 a folder it cannot write; else the failed stage's status.
)";

}  // namespace

std::string_view help_text() {
    return help;
}

options parse_options(const std::vector<std::string>& args) {
    options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            o.help = true;
            return o;
        }
        if (valued_option(args, i, o)) continue;
        if (a == "--fit") {
            o.fit = true;
        } else if (a == "--every-atom") {
            o.every_atom = true;
        } else if (a == "--prepare") {
            o.prepare = true;
        } else if (a.size() > 1 && a[0] == '-') {
            wrong(a + ": unknown option (korva-xanes --help lists them)");
        } else if (o.structure.empty()) {
            o.structure = a;
        } else {
            wrong(a + ": one structure file only");
        }
    }
    if (o.structure.empty()) wrong("no structure file (korva-xanes --help)");
    if (o.absorber.empty()) wrong("--absorber is required (a site label, element or number)");
    if (o.fit && o.exp.empty()) wrong("--fit needs a measurement (--exp FILE)");
    return o;
}

int run(const std::vector<std::string>& args, const std::string& self, std::ostream& out,
        std::ostream& err) {
    try {
        const options o = parse_options(args);
        if (o.help) {
            out << help_text();
            return 0;
        }
        return run_all(o, self, args, out);
    } catch (const xanes_error& e) {
        err << "korva-xanes: " << e.what() << "\n";
        return e.status;
    } catch (const stage_failure& f) {
        out.flush();
        err << "korva-xanes: " << failure_text(f) << "\n";
        // A child's own status (1 to 3 by the project's rule); a signal, or a program that
        // could not be started (127), is 1.
        return f.signal || f.status > exit_write ? exit_wrong_value : f.status;
    } catch (const std::runtime_error& e) {
        err << "korva-xanes: " << e.what() << "\n";
        return exit_write;
    }
}

}  // namespace korva::xanes
