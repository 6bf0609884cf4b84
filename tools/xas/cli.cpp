#include "cli.hpp"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "elements.hpp"
#include "inputs.hpp"
#include "psgen_input.hpp"

namespace korva::xas {

namespace {

[[noreturn]] void wrong(const std::string& what) {
    throw xas_error(exit_wrong_value, what);
}

std::string g(double v) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

std::string value_after(const std::vector<std::string>& args, std::size_t& i) {
    if (i + 1 >= args.size()) wrong(args[i] + ": a value must follow");
    return args[++i];
}

// A finite number within [lo, hi] (lo excluded when `above`), or the option is refused.
double bounded(const std::string& opt, const std::string& v, double lo, double hi, bool above,
               const std::string& meaning) {
    double x = 0.0;
    const auto r = std::from_chars(v.data(), v.data() + v.size(), x);
    const bool ok = r.ec == std::errc() && r.ptr == v.data() + v.size() && std::isfinite(x) &&
                    (above ? x > lo : x >= lo) && x <= hi;
    if (!ok) wrong(opt + " " + v + ": " + meaning);
    return x;
}

// A whole number lo..hi, as `bounded` reads it.
int whole(const std::string& opt, const std::string& v, double lo, double hi,
          const std::string& meaning) {
    const double x = bounded(opt, v, lo, hi, false, meaning);
    if (x != std::floor(x)) wrong(opt + " " + v + ": " + meaning);
    return static_cast<int>(x);
}

std::string element_option(const std::string& v) {
    try {
        return psgen::element_symbol(psgen::parse_element(v));
    } catch (const psgen::psgen_error&) {
        wrong("--element " + v + ": not an element symbol or atomic number from 1 to " +
              std::to_string(psgen::max_element));
    }
}

std::string edge_option(std::string v) {
    for (char& c : v) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char* e : {"K", "L1", "L2", "L3", "M1", "M2", "M3", "M4", "M5"})
        if (v == e) return v;
    wrong("--edge " + v + ": the edge must be K, L1, L2, L3 or M1 to M5");
}

bool same_file(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    std::error_code e1, e2;
    const fs::path pa = fs::weakly_canonical(a, e1), pb = fs::weakly_canonical(b, e2);
    return (!e1 && !e2) ? pa == pb : a == b;
}

// The comparison's file beside OUT.xdi: OUT_compare.xdi.
std::string compare_name(const std::string& out) {
    const std::filesystem::path p(out);
    return (p.parent_path() / (p.stem().string() + "_compare.xdi")).string();
}

// No output may name an input or another output.
void check_distinct(const options& o) {
    const std::string& input = o.deck.empty() ? o.runs : o.deck;
    const std::vector<const std::string*> ins{&input, &o.exp};
    const std::vector<const std::string*> outs{&o.out, &o.png, &o.svg, &o.compare};
    for (std::size_t i = 0; i < outs.size(); ++i) {
        if (outs[i]->empty()) continue;
        for (const std::string* in : ins)
            if (!in->empty() && same_file(*outs[i], *in))
                wrong(*outs[i] + ": the output would overwrite an input");
        for (std::size_t j = i + 1; j < outs.size(); ++j)
            if (!outs[j]->empty() && same_file(*outs[i], *outs[j]))
                wrong(*outs[i] + ": two outputs name the same file");
    }
}

void check_outputs(options& o) {
    if (!o.deck.empty() && !o.runs.empty()) wrong(o.deck + ": a deck or --runs, not both");
    if (o.measurement_only()) {
        if (o.exp.empty()) wrong("no deck (korva-xas --help)");
        if (!o.out.empty() || !o.png.empty() || !o.svg.empty() || o.fit)
            wrong("--exp without a deck reads the measurement only: no -o, pictures or --fit");
        return;
    }
    if (o.out.empty()) wrong("-o OUT.xdi is required");
    if (o.fit && o.exp.empty()) wrong("--fit needs a measurement (--exp FILE)");
    if (!o.exp.empty() && o.compare.empty()) o.compare = compare_name(o.out);
    if (o.exp.empty() && !o.compare.empty()) wrong("--compare needs a measurement (--exp FILE)");
    check_distinct(o);
}

// An option naming a file; false when `a` is none of them.
bool file_option(const std::vector<std::string>& args, std::size_t& i, options& o) {
    const std::string& a = args[i];
    if (a == "--runs") {
        o.runs = value_after(args, i);
    } else if (a == "--exp") {
        o.exp = value_after(args, i);
    } else if (a == "--exp-column") {
        o.exp_column = value_after(args, i);
    } else if (a == "--compare") {
        o.compare = value_after(args, i);
    } else if (a == "--polarisation") {
        o.polarisation = whole(a, value_after(args, i), 1.0, 1e6,
                               "the polarisation is its number K of the run, from 1");
    } else {
        return false;
    }
    return true;
}

fit_parameter& named_parameter(options& o, const std::string& opt, const std::string& name) {
    for (fit_parameter& p : o.params)
        if (p.name == name) return p;
    wrong(opt + " " + name + ": the parameters are shift, scale, resolution and width");
}

// --bound NAME LO HI: within the option's own limits, LO below HI.
void bound_option(const std::vector<std::string>& args, std::size_t& i, options& o) {
    const std::string name = value_after(args, i);
    fit_parameter& p = named_parameter(o, "--bound", name);
    const fit_parameter limits = default_parameters()[static_cast<std::size_t>(&p - &o.params[0])];
    const std::string meaning = "the bounds of " + name + " must lie in " + g(limits.lo) + ".." +
                                g(limits.hi) + ", the lower below the upper";
    p.lo = bounded("--bound " + name, value_after(args, i), limits.lo, limits.hi, false, meaning);
    p.hi = bounded("--bound " + name + " " + g(p.lo), value_after(args, i), limits.lo, limits.hi,
                   false, meaning);
    if (!(p.lo < p.hi)) wrong("--bound " + name + " " + g(p.lo) + " " + g(p.hi) + ": " + meaning);
}

// An option of the comparison and the fit; false when `a` is none of them.
bool comparison_option(const std::vector<std::string>& args, std::size_t& i, options& o) {
    const std::string& a = args[i];
    if (a == "--fit") {
        o.fit = true;
    } else if (a == "--check") {
        o.check = true;
    } else if (a == "--fix") {
        named_parameter(o, a, value_after(args, i)).free = false;
    } else if (a == "--bound") {
        bound_option(args, i, o);
    } else if (a == "--shift") {
        o.shift = bounded(a, value_after(args, i), -max_window, max_window, false,
                          "the shift must be a number of eV");
    } else if (a == "--scale") {
        o.scale = bounded(a, value_after(args, i), 0.0, 100.0, true,
                          "the scale must be a number above 0 and at most 100");
    } else if (a == "--window") {
        const std::string meaning = "the window must be LO HI, eV about E0, LO below HI";
        o.window.lo = bounded(a, value_after(args, i), -max_window, max_window, false, meaning);
        o.window.hi = bounded(a, value_after(args, i), -max_window, max_window, false, meaning);
        if (!(o.window.lo < o.window.hi)) wrong("--window: " + meaning);
    } else if (a == "--max-iterations") {
        o.max_iterations = whole(a, value_after(args, i), 1.0, max_iterations_limit,
                                 "the iterations must be a whole number from 1");
    } else {
        return false;
    }
    return true;
}

// One option with its value; false when `a` is none of them.
bool valued_option(const std::vector<std::string>& args, std::size_t& i, options& o) {
    const std::string& a = args[i];
    if (a == "-o") {
        o.out = value_after(args, i);
    } else if (a == "--png") {
        o.png = value_after(args, i);
    } else if (a == "--svg") {
        o.svg = value_after(args, i);
    } else if (a == "--fermi") {
        o.fermi = bounded(a, value_after(args, i), -max_fermi, max_fermi, false,
                          "the Fermi level must be a number of Rydberg on the data files' scale");
    } else if (a == "--element") {
        o.element = element_option(value_after(args, i));
    } else if (a == "--edge") {
        o.edge = edge_option(value_after(args, i));
    } else if (a == "--resolution") {
        o.resolution = bounded(a, value_after(args, i), 0.0, max_resolution, true,
                               "the resolution must be a FWHM above 0 and at most 20 eV");
    } else if (a == "--final-width") {
        o.final_scale = bounded(a, value_after(args, i), 0.0, max_final_scale, false,
                                "the scale of the final-state width must lie in 0..10");
    } else {
        return file_option(args, i, o) || comparison_option(args, i, o);
    }
    return true;
}

}  // namespace

fit_parameters default_parameters() {
    fit_parameters p;
    p[p_shift] = {"shift", "eV", 0.0, -30.0, 30.0};
    p[p_scale] = {"scale", "", 1.0, 0.5, 2.0};
    p[p_resolution] = {"resolution", "eV", 1.0, 0.1, 10.0};
    p[p_width] = {"width", "", 0.0, 0.0, max_final_scale};
    return p;
}

options parse_options(const std::vector<std::string>& args) {
    options o;
    o.params = default_parameters();
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            o.help = true;
            return o;
        }
        if (valued_option(args, i, o)) continue;
        if (a.size() > 1 && a[0] == '-')
            wrong(a + ": unknown option (korva-xas --help lists them)");
        if (!o.deck.empty()) wrong(a + ": one deck only");
        o.deck = a;
    }
    check_outputs(o);
    return o;
}

namespace {

constexpr std::string_view help =
    R"(usage: korva-xas DECK -o OUT.xdi [--fermi E_RY] [--element SYMBOL] [--edge NAME]
                 [--resolution FWHM_EV] [--final-width SCALE] [--png FILE] [--svg FILE]
                 [--exp FILE [--exp-column C] [--window LO HI] [--compare FILE]
                  [--shift EV] [--scale A] [--fit [--fix NAME] [--bound NAME LO HI]
                  [--max-iterations N]]]
       korva-xas --runs LIST -o OUT.xdi [the same options]
       korva-xas --exp FILE [--exp-column C] [--window LO HI]

The deck of a finished korva run whose deck asks for the cross-section plot (IF1 > 0); the run's
files are read from the deck's folder.
Reads the deck, the run's PREFIX_kor.sig (the total cross-section of each final-state channel;
their sum is the absorption) and the first lines of the two data files the deck names (the
Fermi level E_F, the damping gamma, the absorber's element and edge, the exchange model), and
writes the absorption against the photon energy as an XDI 1.0 file:

  1. E_photon = ENE + (E - E_F) x 13.6058 eV/Ry: the Fermi level at the edge energy ENE of the
     deck's prompt 8;
  2. cut at E_F: times 1/2 + arctan((E - E_F)/gamma)/pi, the step broadened by the core-hole
     Lorentzian the data already carry;
  3. convolved with a Lorentzian whose width rises above E_F by the arctangent law of Bunau and
     Joly (2009), Gamma_max 15 eV, E_cent 30 eV, E_larg 30 eV, then with a Gaussian of the
     instrument's resolution; on a grid of 0.1 eV;
  4. normalised to an edge step of 1: E0 at the largest derivative, no pre-edge line (nothing
     else absorbs in the calculation), a post-edge quadratic from E0 + 150 eV to the end.

-o OUT.xdi        the XDI file (required)
--fermi E_RY      the Fermi level in Rydberg on the data files' energy scale, in place of the
                  E_F field of their first lines
--element SYMBOL  the absorber's element (default: Z of the data files' first type)
--edge NAME       K, L1, L2, L3, M1..M5 (default: the data files' edge)
--resolution EV   FWHM of the Gaussian, above 0 and at most 20 eV (default 1)
--final-width S   multiplies Gamma_max of the arctangent width, 0..10 (default 1; 0 for data made
                  with the Hedin-Lundqvist self-energy, whose phase shifts carry the losses)
--png FILE        the normalised spectrum drawn as a PNG picture (800 x 600); with --exp the
                  overlay of the two spectra, the residual below
--svg FILE        the same as SVG
--polarisation K  of a run with korva --polarisation, the spectrum of its K-th vector (default:
                  the first); the XDI file names the vector
--runs LIST       several finished runs in place of one deck (the sites of a crystal, the frames
                  of a trajectory): one line `WEIGHT DECK [LABEL]` each, decks relative to the
                  list's folder, each run read from its deck's folder; every run is broadened
                  alike and normalised on its own; OUT.xdi holds their weighted mean (mu), its
                  weighted standard deviation (mu_std) and every run (mu_LABEL) on the energies
                  they share; the pictures draw the mean and the spread as a band

The measurement:
--exp FILE        a measured spectrum: XDI 1.0 (Column.1 energy in eV or keV; the absorption
                  mutrans, mufluor, normtrans, normfluor, or ln(i0/itrans), or ifluor/i0; the
                  Element fields must name the computed edge) or plain columns (energy, then the
                  absorption; '#' comments; energies all at most 100 are keV). Normalised as
                  Athena and Larch do: E0 at the largest derivative, a pre-edge line over
                  E0-150..E0-30 eV, a post-edge quadratic, edge step 1 (a normtrans or
                  normfluor column is taken as it is)
--exp-column C    the absorption column: an XDI label or a column number (plain: 2 and up)
--window LO HI    eV about the measured E0 where the spectra are compared (default -10 80)
--compare FILE    the comparison's XDI file: energy, computed, measured, residual (and
                  computed_std for --runs) on the measured energies of the window
                  (default OUT_compare.xdi)
--shift EV        the shift of the computed energies (default: the shift, in steps of 0.05 eV
                  within the shift's bounds, of the largest Pearson r); with --fit, its start
--scale A         the computed spectrum's scale (default 1); with --fit, its start (default:
                  the least-squares scale at the start)
Figures: Pearson's r, the R-factor sum (m - c)^2 / sum m^2 and the shift; the line
`  result       r = 0.xxx, R = ..., shift = x.x eV, ...` carries them.

--fit             fits shift (eV), scale, resolution (the Gaussian's FWHM, eV) and width (the
                  final-state width's scale) by GSL's nonlinear least squares; prints each
                  value with its standard error
--fix NAME        keeps a parameter at its start (repeatable)
--bound NAME LO HI  its bounds; defaults: shift -30..30, scale 0.5..2, resolution 0.1..10,
                  width 0..10
--max-iterations N  of one fit (default 200); a fit that does not converge is an error
--check           reads the options and the measurement, and stops: no run is read, nothing
                  written (korva-xanes checks its korva-xas options so, before it runs anything)

Standard output: one summary (E_F, the widths, E0 and the edge step; the measurement, the
figures and the fit; the files written). Exit status: 0 done; 1 a value korva-xas refuses (an
option, ENE, the data files' Fermi levels that disagree, E_F above the computed energies, no
edge step, a measurement of another edge or outside the computed range, a fit that does not
converge); 2 input it cannot read (the deck, no .sig, a data file, a first line without E_F or
gamma, a malformed measurement: the file and line are named); 3 an output it cannot write. On
an error one line goes to standard error and no file is written.
)";

}  // namespace

std::string_view help_text() {
    return help;
}

}  // namespace korva::xas
