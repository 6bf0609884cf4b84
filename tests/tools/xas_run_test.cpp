// korva-xas as a user runs it: the copper example's finished run to its stored XDI file and
// summary, the XDI read back by a plain reader, the Fermi level from the data files' headers,
// pictures, and bad input refused with one line, its exit status and no file written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_program.hpp"

namespace korva::xas {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::write_file;

const fs::path source = KORVA_SOURCE_DIR;
const fs::path expected_dir = source / "tests/tools/data/xas";

using tool_run = test::program_run;

tool_run xas_in(const fs::path& dir, const std::string& args) {
    return test::run_command(dir, std::string("'") + KORVA_XAS_BINARY + "' " + args);
}

// The cu-k example's deck and data in a scratch folder, run by korva once for all the tests.
const fs::path& finished_run() {
    static const fs::path dir = [] {
        const fs::path d = test::scratch_dir("xas_cu_k");
        test::copy_deck_and_data(source / "examples/cu-k", d);
        const test::program_run r = test::run_in(d, read_file(d / "deck.in"));
        EXPECT_EQ(r.status, 0) << r.err;
        return d;
    }();
    return dir;
}

// An XDI file as a plain reader sees it: "# Name: value" fields before "# ///", then the
// comment lines, then rows of numbers.
struct xdi_file {
    std::string version;
    std::map<std::string, std::string> fields;
    bool end_of_fields = false;
    std::vector<std::string> comments;
    std::vector<std::vector<double>> rows;
};

xdi_file read_xdi(const fs::path& p) {
    xdi_file x;
    std::ifstream in(p);
    std::getline(in, x.version);
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("#") && !x.end_of_fields) {
            const auto colon = line.find(": ");
            if (line == "# ///")
                x.end_of_fields = true;
            else if (colon != std::string::npos)
                x.fields[line.substr(2, colon - 2)] = line.substr(colon + 2);
        } else if (line.starts_with("#")) {
            x.comments.push_back(line);
        } else {
            std::istringstream is(line);
            std::vector<double> row;
            for (double v; is >> v;) row.push_back(v);
            x.rows.push_back(row);
        }
    }
    return x;
}

// "" when the texts are equal, else the first line where they differ (a whole spectrum is too
// long for a failure message).
std::string first_difference(const std::string& a, const std::string& b) {
    std::istringstream ia(a), ib(b);
    std::string la, lb;
    for (int n = 1;; ++n) {
        const bool more_a = static_cast<bool>(std::getline(ia, la));
        const bool more_b = static_cast<bool>(std::getline(ib, lb));
        if (!more_a && !more_b) return "";
        if (more_a != more_b || la != lb)
            return "line " + std::to_string(n) + ": \"" + la + "\" against \"" + lb + "\"";
    }
}

bool update_expected() {
    return std::getenv("KORVA_UPDATE_EXPECTED") != nullptr;
}

// The stored files were checked by hand: E_F at 8979 eV, the edge rising through 0.5 within a
// few eV of it, the normalised spectrum oscillating about 1 above it, the summary's widths.
TEST(xas_run, the_copper_example_gives_its_stored_spectrum) {
    const fs::path d = finished_run();
    const tool_run r = xas_in(d, "deck.in -o cu.xdi --fermi 0.6 --png cu.png --svg cu.svg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    if (update_expected()) {
        fs::create_directories(expected_dir);
        fs::copy_file(d / "cu.xdi", expected_dir / "cu_k.xdi",
                      fs::copy_options::overwrite_existing);
        write_file(expected_dir / "cu_k_stdout.txt", r.out);
    }
    EXPECT_EQ(r.out, read_file(expected_dir / "cu_k_stdout.txt"));
    EXPECT_EQ(first_difference(read_file(d / "cu.xdi"), read_file(expected_dir / "cu_k.xdi")), "")
        << "cu.xdi against tests/tools/data/xas/cu_k.xdi";

    const xdi_file x = read_xdi(d / "cu.xdi");
    EXPECT_EQ(x.version, "# XDI/1.0 KORVA/12.2023");
    EXPECT_EQ(x.fields.at("Column.1"), "energy eV");
    EXPECT_EQ(x.fields.at("Column.2"), "mu");
    EXPECT_EQ(x.fields.at("Element.symbol"), "Cu");
    EXPECT_EQ(x.fields.at("Element.edge"), "K");
    EXPECT_EQ(x.fields.at("Korva.resolution"), "1 eV (Gaussian FWHM)");
    ASSERT_TRUE(x.end_of_fields);
    ASSERT_FALSE(x.comments.empty());
    EXPECT_EQ(x.comments.back(), "#      energy            mu");
    ASSERT_GT(x.rows.size(), 1000u);  // 0.1 eV over the near-edge grid, 105 eV
    for (const auto& row : x.rows) {
        ASSERT_EQ(row.size(), 2u);
        ASSERT_TRUE(std::isfinite(row[0]) && std::isfinite(row[1]));
    }
    EXPECT_NEAR(x.rows[1][0] - x.rows[0][0], 0.1, 1e-9);

    EXPECT_EQ(read_file(d / "cu.png").substr(1, 3), "PNG");
    EXPECT_NE(read_file(d / "cu.svg").find("Photon energy (eV)"), std::string::npos);
}

// The finished run in `d`, its data files' first lines without their E_F field.
void copy_without_fermi(const fs::path& d) {
    for (const char* f : {"deck.in", "cuk_kor.sig", "cu_fcc.ps", "cu_fcc.xs"})
        fs::copy_file(finished_run() / f, d / f);
    for (const char* f : {"cu_fcc.ps", "cu_fcc.xs"}) {
        std::string text = read_file(d / f);
        const auto at = text.find(" | E_F ");
        if (at != std::string::npos && at < text.find('\n')) text.erase(at, text.find('\n') - at);
        write_file(d / f, text);
    }
}

// The Fermi level written as the data files' header field gives what --fermi gives.
TEST(xas_run, the_fermi_level_comes_from_the_data_files_headers) {
    const fs::path d = test::scratch_dir("xas_headers");
    copy_without_fermi(d);
    for (const char* f : {"cu_fcc.ps", "cu_fcc.xs"}) {
        std::string text = read_file(d / f);
        text.insert(text.find('\n'), " | E_F 0.6 Ry");
        write_file(d / f, text);
    }
    const tool_run r = xas_in(d, "deck.in -o headers.xdi");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("0.6 Ry (the headers of cu_fcc.ps and cu_fcc.xs)"), std::string::npos)
        << r.out;
    ASSERT_EQ(xas_in(d, "deck.in -o option.xdi --fermi 0.6").status, 0);
    const xdi_file from_headers = read_xdi(d / "headers.xdi");
    const xdi_file from_option = read_xdi(d / "option.xdi");
    ASSERT_FALSE(from_option.rows.empty());
    EXPECT_TRUE(from_headers.rows == from_option.rows);
}

// Each bad input: its status, the start of its one standard-error line, nothing written.
TEST(xas_run, bad_input_is_refused_with_nothing_written) {
    const fs::path d = test::scratch_dir("xas_bad");
    copy_without_fermi(d);
    // Headers that disagree: 0.6 Ry in the phase file, 0.7 in the cross-section file.
    const std::string ps = read_file(d / "cu_fcc.ps"), xs = read_file(d / "cu_fcc.xs");
    write_file(d / "cu_fcc.ps", std::string(ps).insert(ps.find('\n'), " | E_F 0.6 Ry"));
    write_file(d / "cu_fcc.xs", std::string(xs).insert(xs.find('\n'), " | E_F 0.7 Ry"));
    std::string deck = read_file(d / "deck.in");
    const auto p8 = deck.find("2 1 0 8979 1");
    ASSERT_NE(p8, std::string::npos);
    write_file(d / "if1.in", std::string(deck).replace(p8, 12, "2 0 0 8979 1"));
    write_file(d / "ene.in", std::string(deck).replace(p8, 12, "2 1 0 0 1"));
    write_file(d / "other.in", std::string(deck).replace(deck.find("cuk"), 3, "zzz"));
    fs::create_directory(d / "folder.xdi");
    struct case_ {
        std::string args;
        int status;
        std::string message;
    };
    const std::vector<case_> cases = {
        {"deck.in -o out.xdi --fermi 0.6 --resolution 0", 1, "--resolution 0: the resolution"},
        {"deck.in -o out.xdi --fermi 0.6 --resolution nan", 1, "--resolution nan:"},
        {"deck.in -o out.xdi --fermi 0.6 --resolution 300", 1, "--resolution 300:"},
        {"deck.in -o out.xdi --fermi 0.6 --final-width -1", 1, "--final-width -1:"},
        {"deck.in -o out.xdi --fermi inf", 1, "--fermi inf:"},
        {"deck.in -o out.xdi --fermi 40", 1, "E_F = 40 Ry (--fermi) is not below"},
        {"deck.in -o out.xdi --fermi 0.6 --element Xx", 1, "--element Xx:"},
        {"deck.in -o out.xdi --fermi 0.6 --edge Q", 1, "--edge Q:"},
        {"deck.in --fermi 0.6", 1, "-o OUT.xdi is required"},
        {"deck.in -o out.xdi", 1, "cu_fcc.ps and cu_fcc.xs: their Fermi levels differ"},
        {"ene.in -o out.xdi --fermi 0.6", 1, "ene.in: ENE = 0 (prompt 8)"},
        {"missing.in -o out.xdi --fermi 0.6", 2, "missing.in"},
        {"if1.in -o out.xdi --fermi 0.6", 2, "if1.in: IF1 = 0 (prompt 8)"},
        {"other.in -o out.xdi --fermi 0.6", 2, "zzz_kor.sig: cannot be opened"},
        {"deck.in -o folder.xdi --fermi 0.6", 3, "cannot write folder.xdi"},
        {"deck.in -o out.xdi --png nowhere/out.png --fermi 0.6", 3, "cannot write nowhere/out.png"},
    };
    for (const case_& c : cases) {
        const tool_run r = xas_in(d, c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_TRUE(r.err.starts_with("korva-xas: " + c.message)) << c.args << "\n" << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.args;
        EXPECT_FALSE(fs::exists(d / "out.xdi")) << c.args;
    }
    write_file(d / "cu_fcc.xs", xs);  // E_F in one header only: used, with a warning
    const tool_run one = xas_in(d, "deck.in -o one.xdi");
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(one.err,
              "korva-xas: warning: cu_fcc.xs: its first line has no E_F field; the Fermi level "
              "of cu_fcc.ps is used\n");
    write_file(d / "cu_fcc.ps", ps);  // in neither
    const tool_run none = xas_in(d, "deck.in -o out.xdi");
    EXPECT_EQ(none.status, 2);
    EXPECT_TRUE(none.err.starts_with("korva-xas: cu_fcc.ps: its first line has no E_F field"));
    const tool_run help = xas_in(d, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("usage: korva-xas DECK -o OUT.xdi")) << help.out;
}

// The run's own spectrum as a measurement: korva-xas's output with a Gaussian of 1.5 eV, its
// energies moved up by 3.2 eV, labelled normtrans (already normalised).
void write_shifted_measurement(const fs::path& d, const std::string& name, double shift,
                               const std::string& element = "Cu") {
    const tool_run m = xas_in(d, "deck.in -o made.xdi --fermi 0.6 --resolution 1.5");
    ASSERT_EQ(m.status, 0) << m.err;
    std::string text = "# XDI/1.0\n# Column.1: energy eV\n# Column.2: normtrans\n";
    text += "# Element.symbol: " + element + "\n# Element.edge: K\n#----\n";
    for (const auto& row : read_xdi(d / "made.xdi").rows) {
        char line[64];
        std::snprintf(line, sizeof line, "%.4f %.9g\n", row[0] + shift, row[1]);
        text += line;
    }
    write_file(d / name, text);
}

// The value of a "# Korva.NAME: value ..." field, as a number.
double field_value(const xdi_file& x, const std::string& name) {
    return std::stod(x.fields.at("Korva." + name));
}

// Fitting the computed spectrum against itself, shifted by 3.2 eV and broadened by a Gaussian of
// 1.5 eV (from the default 1 eV), recovers both within 0.05 eV. The final-state width is held
// (0 for these Hedin-Lundqvist data): its Lorentzian is the costly step of a model.
TEST(xas_run, a_fit_against_itself_recovers_the_shift_and_the_resolution) {
    const fs::path d = test::scratch_dir("xas_self_fit");
    for (const char* f : {"deck.in", "cuk_kor.sig", "cu_fcc.ps", "cu_fcc.xs"})
        fs::copy_file(finished_run() / f, d / f);
    write_shifted_measurement(d, "self.xdi", 3.2);
    const tool_run r =
        xas_in(d, "deck.in -o fit.xdi --fermi 0.6 --exp self.xdi --fit --fix width --png fit.png");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("  result       r = 1.000, "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(", shift = 3.2 eV, "), std::string::npos) << r.out;
    const xdi_file c = read_xdi(d / "fit_compare.xdi");
    EXPECT_NEAR(field_value(c, "shift"), 3.2, 0.05);
    EXPECT_NEAR(field_value(c, "resolution"), 1.5, 0.05);
    EXPECT_EQ(c.fields.at("Column.4"), "residual");
    EXPECT_EQ(read_file(d / "fit.png").substr(1, 3), "PNG");
}

// A comparison that cannot be made is refused with one line, status 1, and nothing written:
// a fit that does not converge, a measurement outside the computed range or of another edge.
TEST(xas_run, comparisons_that_cannot_be_made_are_refused) {
    const fs::path d = test::scratch_dir("xas_compare_bad");
    for (const char* f : {"deck.in", "cuk_kor.sig", "cu_fcc.ps", "cu_fcc.xs"})
        fs::copy_file(finished_run() / f, d / f);
    write_shifted_measurement(d, "self.xdi", 3.2);
    write_shifted_measurement(d, "far.xdi", 3000.0);
    write_shifted_measurement(d, "iron.xdi", 3.2, "Fe");
    const std::pair<std::string, std::string> cases[] = {
        {"--exp self.xdi --fit --max-iterations 1", "self.xdi: the fit did not converge"},
        {"--exp far.xdi", "far.xdi: the measured window E0-10..E0+80 eV"},
        {"--exp iron.xdi", "iron.xdi: a measurement of the Fe K edge"},
    };
    for (const auto& [args, message] : cases) {
        const tool_run r = xas_in(d, "deck.in -o out.xdi --fermi 0.6 --png out.png " + args);
        EXPECT_EQ(r.status, 1) << args << "\n" << r.err;
        EXPECT_TRUE(r.err.starts_with("korva-xas: " + message)) << args << "\n" << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args;
        for (const char* f : {"out.xdi", "out_compare.xdi", "out.png"})
            EXPECT_FALSE(fs::exists(d / f)) << args << ": " << f;
    }
}

// Every file of the malformed set is refused: status 2, one line naming the file and line,
// nothing written.
TEST(xas_run, every_malformed_measurement_is_refused) {
    const fs::path d = test::scratch_dir("xas_xdi_bad");
    for (const char* f : {"deck.in", "cuk_kor.sig", "cu_fcc.ps", "cu_fcc.xs"})
        fs::copy_file(finished_run() / f, d / f);
    const fs::path bad = source / "tests/tools/data/xdi/bad";
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"column_beyond_rows.xdi:4", "Column.3: the rows hold 2 values"},
        {"column_gap.xdi:3", "Column.3 follows Column.1"},
        {"column_number_text.xdi:4", "Column.x: a column is numbered from 1"},
        {"comment_among_data.xdi:12", "a comment line among the data"},
        {"edge_unknown.xdi:5", "Element.edge 'Q'"},
        {"element_unknown.xdi:4", "Element.symbol 'Xx'"},
        {"empty.xdi:1", "not an XDI file"},
        {"energy_degrees.xdi:2", "Column.1 'energy degrees': the energy must be in eV or keV"},
        {"energy_falling.xdi:13", "the energy does not rise"},
        {"energy_no_unit.xdi:2", "Column.1 'energy'"},
        {"energy_repeated.xdi:13", "the energy does not rise"},
        {"field_blank_line.xdi:6", "a blank line in the header"},
        {"field_namespace_digit.xdi:6", "'# 1Sample.name: Cu foil' is not a header field"},
        {"field_semicolon.xdi:6", "data before the header-end line"},
        {"field_two_dots.xdi:6", "'# Sample.name.long: Cu foil' is not a header field"},
        {"field_without_colon.xdi:4", "'# Element.symbol Cu' is not a header field"},
        {"field_without_dot.xdi:6", "'# Sample: Cu foil' is not a header field"},
        {"fields_without_version.dat:1", "an XDI field in a file without the XDI version line"},
        {"i0_zero.xdi:12", "ln(i0/itrans): i0 and itrans must be above 0"},
        {"labels_count.xdi:9", "3 column labels for rows of 2 values"},
        {"no_absorption_column.xdi:8", "no absorption column"},
        {"no_data.xdi:8", "no data after the header"},
        {"no_energy_column.xdi:2", "no energy column"},
        {"no_header_end.xdi:9", "data before the header-end line"},
        {"no_version.xdi:1", "not an XDI file"},
        {"row_long.xdi:12", "3 values where the rows before hold 2"},
        {"row_short.xdi:12", "1 value where the rows before hold 2"},
        {"value_inf.xdi:13", "'inf' is not a finite number"},
        {"value_nan.xdi:13", "'nan' is not a finite number"},
        {"value_text.xdi:13", "'one' is not a finite number"},
        {"value_two_points.xdi:13", "'1.2.3' is not a finite number"},
        {"version_2.xdi:1", "XDI version 2.0: korva-xas reads XDI 1.x"},
        {"version_text.xdi:1", "'XDI/one' is not an XDI version"},
    };
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(bad))
        files += entry.path() != bad / "README.md";
    EXPECT_EQ(files, expected.size()) << "every file of the set has its expected message";
    for (const auto& [where, message] : expected) {
        const std::string file = (bad / where.substr(0, where.find(':'))).string();
        const tool_run r = xas_in(d, "deck.in -o out.xdi --fermi 0.6 --exp '" + file + "'");
        EXPECT_EQ(r.status, 2) << where << "\n" << r.err;
        EXPECT_EQ(r.out, "") << where;
        EXPECT_TRUE(r.err.starts_with("korva-xas: " + file + where.substr(where.find(':')) + ": " +
                                      message))
            << where << "\n"
            << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << where;
        EXPECT_FALSE(fs::exists(d / "out.xdi")) << where;
        EXPECT_FALSE(fs::exists(d / "out_compare.xdi")) << where;
    }
}

}  // namespace
}  // namespace korva::xas
