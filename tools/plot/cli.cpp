#include "cli.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "data_columns.hpp"
#include "draw_cairo.hpp"
#include "draw_svg.hpp"
#include "plot_read.hpp"
#include "scene.hpp"

namespace korva::plot {

namespace {

constexpr std::string_view help =
    R"help(Usage: korva-plot [-o OUT] [--no-legend] FILE...
       korva-plot --data [-o OUT] FILE...
       korva-plot --help

Draws the plot-command files that KORVA writes (PREFIX_kor.dat, .sig, .chi,
.fou) as pictures, or lists their curves as plain columns.

  FILE...      plot-command files; each is drawn to FILE.png and FILE.svg
               beside it, 800 x 600 pixels
  -o OUT       write the picture of a single FILE to OUT instead; the
               extension chooses the format: .png, .svg or .pdf
  --no-legend  draw no legend (see Legend below)
  --data       list the curves instead of drawing them, to standard output
               or to OUT: per curve a comment line
                 # curve N (PLOT+JOIN, symbol 2P) of FILE
               then one "x y" line per point, numbers in shortest
               round-trip form; curves are separated by one blank line
               (gnuplot: every :::N::N picks curve N+1; numpy.loadtxt skips
               the comment lines)
  -h, --help   show this text

Commands (keywords in any letter case; numbers as Fortran writes them):
  SET MODE ..., SET FONT ...    accepted; one drawing mode, one font
  SET WINDOW X a b Y c d        frame on the 13.33 x 10 page (default
                                X 2 12 Y 2 8.5); either axis may be left out
  SET LIMITS X a b Y c d        fixed axis ranges; an axis left out is
                                chosen from the data (y from the points
                                inside a fixed x range)
  SET SYMBOL nP [SIZE s]        marker of the next PLOT: n mod 10 chooses
                                1 dot, 2 circle, 3 square, 4 triangle,
                                5 diamond, 6 cross, 7 plus, 8 asterisk,
                                9 downward triangle, 0 crossed square;
                                before any SET SYMBOL a PLOT draws dots
  TITLE x y [ANGLE a] [SIZE h] "text"
                                text from page position (x, y), character
                                height h/10 page units (h = 2.5 when not
                                given), turned by a degrees
  TITLE BOTTOM|TOP|LEFT [SIZE h] "text"
                                axis title under the frame, heading over it,
                                axis title left of it
  CASE "controls"               character controls of the title line just
                                before
  x y                           one point of the next curve: a line that
                                starts with a digit, sign or point must hold
                                exactly two finite numbers
  PLOT                          draws the points given since the last PLOT
                                or JOIN as markers
  JOIN                          draws them as a connected line
  A JOIN right after a PLOT (or a PLOT right after a JOIN) adds its style to
  the same points, so "PLOT" then "JOIN" gives one curve with markers and a
  line. A PLOT or JOIN with no new points otherwise draws nothing. Each curve
  gets its own colour and is clipped to the frame. A text between double
  quotes runs from the first quote to the last one.

Title controls (CASE): control character i belongs to title character i,
counted from the opening quotes, whatever the widths before them. They are
read from the run's own titles, "k1(4A515O20-11)" under " U C CVUSVC  C "
which is k (Å⁻¹), and "R1(4A515O2)" under " U C CVUSV " which is R (Å):
  blank  the character as written
  G      under a letter: the lower-case Greek letter of the Latin-to-Greek
         keyboard correspondence (C chi, S sigma, A alpha, R rho, ...)
  U n    a blank; the digit n under it is not drawn
  C 0    what follows is raised (superscript), until C 1
  C 1    back on the line
  C 2    what follows is lowered (subscript), until C 1
  C 4    marks the start of the characters a symbol is drawn over
  C 5    ends them: the symbols (S) that follow, before the next character on
         the line, are drawn over them (over the middle one of several); U n
         and V n in between only place the symbol and draw nothing
  S O    a ring: over marked characters the ring above (A gives Å),
         elsewhere a degree sign
A digit under C, U or V is never drawn. A raised or lowered run of digits,
signs, parentheses, n and i uses the Unicode superscript and subscript
characters; others are drawn smaller above or below the line. Any other
control, or one whose character does not fit it (G under a digit, V outside
a symbol placement), is not applied: the character is drawn as written and
the CASE line gets a warning.

Legend: a box inside the frame, in the corner where it hides least, names
each curve. A file whose title is the run's file name says what it holds:
PREFIX_kor.dat has one curve per final-state channel, "final state l+1"
alone (a core state with l = 0) or "final state l-1" and "final state l+1"
(markers 2P and 3P); PREFIX_kor.sig has per channel the "total" and the
"atomic" cross-section (", l-1" and ", l+1" added with two channels) and
then the "experiment" (marker 6P). In other files each curve of more than one
point is "curve N", as in --data, when there are at least two of them.

Messages and exit status: unknown commands and unreadable command arguments
are reported on standard error as "FILE:LINE: warning: ..." and skipped.
  0  done, possibly with warnings
  1  usage error, an input file that cannot be read (missing, a
     directory), or an output that cannot be written
  2  an input file with a malformed data line, reported as
     "FILE:LINE: error: ..."; nothing is written for that file
With several files each is handled on its own and the highest status is
returned.
)help";

bool ends_with(std::string s, std::string_view suffix) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix.data(), suffix.size()) == 0;
}

// Reads one file; nullopt (with the message on err and `status` raised) when it cannot be used.
std::optional<plot_file> load(const std::string& name, std::ostream& err, int& status) {
    std::error_code ec;
    if (std::filesystem::is_directory(name, ec)) {
        err << "korva-plot: cannot read " << name << ": it is a directory\n";
        status = std::max(status, exit_io);
        return std::nullopt;
    }
    std::ifstream in(name);
    if (!in) {
        err << "korva-plot: cannot open " << name << ": " << std::strerror(errno) << "\n";
        status = std::max(status, exit_io);
        return std::nullopt;
    }
    try {
        plot_file plot = read_plot(in, name, err);
        if (in.bad()) {
            err << "korva-plot: read error in " << name << "\n";
            status = std::max(status, exit_io);
            return std::nullopt;
        }
        return plot;
    } catch (const plot_error& e) {
        err << name << ":" << e.line << ": error: " << e.what << "\n";
        status = std::max(status, exit_bad_line);
        return std::nullopt;
    }
}

void write_picture(const scene& s, const std::string& path) {
    if (ends_with(path, ".png")) {
        write_png(s, path);
    } else if (ends_with(path, ".pdf")) {
        write_pdf(s, path);
    } else {
        std::ostringstream svg;
        write_svg(s, svg);
        std::ofstream out(path, std::ios::binary);
        out << svg.str();
        out.close();
        if (!out) throw write_error{"cannot write " + path + ": " + std::strerror(errno)};
    }
}

int usage_error(std::ostream& err, const std::string& what) {
    err << "korva-plot: " << what << "\n"
        << "Usage: korva-plot [-o OUT] [--no-legend] FILE...  |  korva-plot --data [-o OUT] "
           "FILE...\n"
        << "Try 'korva-plot --help'.\n";
    return exit_io;
}

// What the command line asks for.
struct request {
    bool data = false;
    bool help = false;
    layout_options options;
    std::optional<std::string> output;
    std::vector<std::string> files;
};

// An option that names the output file: true when `a` is one (its value in `r`), a usage
// message in `error` when its value is missing.
bool output_option(const std::vector<std::string>& args, std::size_t& i, request& r,
                   std::optional<std::string>& error) {
    const std::string& a = args[i];
    if (a == "-o" || a == "--output") {
        if (i + 1 >= args.size())
            error = "option " + a + " needs a file name";
        else
            r.output = args[++i];
        return true;
    }
    if (a.rfind("--output=", 0) == 0) {
        r.output = a.substr(9);
        return true;
    }
    if (a.rfind("-o", 0) == 0) {
        r.output = a.substr(2);
        return true;
    }
    return false;
}

// What the request asks of its files, once they are all read.
std::optional<std::string> check_request(const request& r) {
    if (r.files.empty()) return "no input file";
    if (r.output && r.output->empty()) return "empty output file name";
    if (!r.data && r.output) {
        if (r.files.size() > 1) return "-o takes a single input FILE";
        if (!ends_with(*r.output, ".png") && !ends_with(*r.output, ".svg") &&
            !ends_with(*r.output, ".pdf"))
            return "output " + *r.output + " must end in .png, .svg or .pdf";
    }
    return std::nullopt;
}

// The request, or the message of a usage error.
std::optional<std::string> parse_args(const std::vector<std::string>& args, request& r) {
    bool options_done = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::optional<std::string> error;
        if (options_done || a.empty() || a[0] != '-' || a == "-") {
            r.files.push_back(a);
        } else if (a == "--") {
            options_done = true;
        } else if (a == "-h" || a == "--help") {
            r.help = true;
            return std::nullopt;
        } else if (a == "--data") {
            r.data = true;
        } else if (a == "--no-legend") {
            r.options.legend = false;
        } else if (!output_option(args, i, r, error)) {
            return "unknown option " + a;
        }
        if (error) return error;
    }
    return check_request(r);
}

int list_columns(const request& r, std::ostream& out, std::ostream& err) {
    int status = exit_done;
    std::ofstream file;
    if (r.output) {
        file.open(*r.output);
        if (!file) {
            err << "korva-plot: cannot write " << *r.output << ": " << std::strerror(errno) << "\n";
            return exit_io;
        }
    }
    std::ostream& sink = r.output ? static_cast<std::ostream&>(file) : out;
    bool any = false;
    for (const std::string& name : r.files) {
        std::optional<plot_file> plot = load(name, err, status);
        if (!plot) continue;
        write_columns(*plot, name, sink, any);
        any = true;
    }
    sink.flush();
    if (!sink) {
        err << "korva-plot: cannot write " << (r.output ? *r.output : "standard output") << "\n";
        status = std::max(status, exit_io);
    }
    return status;
}

int draw_pictures(const request& r, std::ostream& err) {
    int status = exit_done;
    for (const std::string& name : r.files) {
        std::optional<plot_file> plot = load(name, err, status);
        if (!plot) continue;
        scene s = layout(*plot, r.options);
        try {
            if (r.output) {
                write_picture(s, *r.output);
            } else {
                write_picture(s, name + ".png");
                write_picture(s, name + ".svg");
            }
        } catch (const write_error& e) {
            err << "korva-plot: " << e.what << "\n";
            status = std::max(status, exit_io);
        }
    }
    return status;
}

}  // namespace

std::string_view help_text() {
    return help;
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    request r;
    if (std::optional<std::string> problem = parse_args(args, r)) return usage_error(err, *problem);
    if (r.help) {
        out << help;
        return exit_done;
    }
    return r.data ? list_columns(r, out, err) : draw_pictures(r, err);
}

}  // namespace korva::plot
