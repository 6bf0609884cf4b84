// korva-xanes as a user runs it, on clusters small enough for a test (a shell or two, a few
// energies): the two iron sites of magnetite against the single-site runs, a ten-frame
// trajectory against its frames, the run folder's script repeating the run, copper against the
// measured foil with a fit, and bad input refused before anything runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_program.hpp"

namespace korva::xanes {
namespace {

namespace fs = std::filesystem;
using test::read_file;

const fs::path source = KORVA_SOURCE_DIR;
const fs::path cluster_data = source / "tests/tools/data/cluster";

using tool_run = test::program_run;

tool_run xanes_in(const fs::path& dir, const std::string& args) {
    return test::run_command(dir, std::string("'") + KORVA_XANES_BINARY + "' " + args);
}

// A path in single quotes, for the shell.
std::string quoted(const fs::path& p) {
    std::string q = "'";
    q += p.string();
    q += '\'';
    return q;
}

// The columns of an XDI table by their labels, and the text of each value as printed.
struct table {
    std::map<std::string, std::vector<double>> column;
    std::map<std::string, std::vector<std::string>> text;
    std::vector<std::string> labels;
};

table read_table(const fs::path& p) {
    table t;
    std::ifstream in(p);
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("# Column.")) {
            std::istringstream w(line.substr(line.find(':') + 1));
            std::string label;
            w >> label;
            t.labels.push_back(label);
        } else if (!line.starts_with("#")) {
            std::istringstream w(line);
            for (const std::string& label : t.labels) {
                std::string v;
                w >> v;
                t.text[label].push_back(v);
                t.column[label].push_back(std::stod(v));
            }
        }
    }
    return t;
}

// One unit of the last of the 8 significant digits korva-xas prints of x.
double last_digit(double x) {
    return x == 0.0 ? 1e-300 : std::pow(10.0, std::floor(std::log10(std::abs(x))) - 7);
}

// The row of each printed energy.
std::map<std::string, std::size_t> rows_by_energy(const table& t) {
    std::map<std::string, std::size_t> rows;
    for (std::size_t i = 0; i < t.text.at("energy").size(); ++i) rows[t.text.at("energy")[i]] = i;
    return rows;
}

// Magnetite's two iron sites (Fe1 tetrahedral, 8 in the cell; Fe2 octahedral, 16) with their
// first shell of oxygen: the mean equals (8 Fe1 + 16 Fe2) / 24 of the single-site runs to the
// last printed digit, each site's column is the single-site run's spectrum itself, and
// repeat.sh remakes the same files.
TEST(xanes_run, two_sites_average_to_the_weighted_mean_of_the_single_site_runs) {
    const fs::path d = test::scratch_dir("xanes_two_sites");
    fs::copy_file(cluster_data / "fe3o4.cif", d / "fe3o4.cif");
    const std::string common = " --radius 2.2 --points 16";
    for (const char* who : {"Fe", "Fe1", "Fe2"}) {
        const tool_run r =
            xanes_in(d, std::string("fe3o4.cif --absorber ") + who + common + " -o " + who);
        ASSERT_EQ(r.status, 0) << who << "\n" << r.err;
    }
    EXPECT_EQ(read_file(d / "Fe/runs.txt").substr(read_file(d / "Fe/runs.txt").find('\n') + 1),
              "8 run-Fe1/deck.in Fe1\n16 run-Fe2/deck.in Fe2\n");
    const table both = read_table(d / "Fe/spectrum.xdi");
    const table fe1 = read_table(d / "Fe1/spectrum.xdi");
    const table fe2 = read_table(d / "Fe2/spectrum.xdi");
    const auto at1 = rows_by_energy(fe1), at2 = rows_by_energy(fe2);
    std::size_t compared = 0;
    for (std::size_t i = 0; i < both.text.at("energy").size(); ++i) {
        const std::string& e = both.text.at("energy")[i];
        ASSERT_TRUE(at1.count(e) && at2.count(e)) << e;  // the shared energies lie in both
        const double a = fe1.column.at("mu")[at1.at(e)], b = fe2.column.at("mu")[at2.at(e)];
        EXPECT_EQ(both.text.at("mu_Fe1")[i], fe1.text.at("mu")[at1.at(e)]) << e;
        EXPECT_EQ(both.text.at("mu_Fe2")[i], fe2.text.at("mu")[at2.at(e)]) << e;
        // Each printed value is within half a unit of its last digit of the exact one.
        const double mean = (8.0 * a + 16.0 * b) / 24.0;
        const double m = both.column.at("mu")[i];
        EXPECT_NEAR(m, mean, 0.5 * last_digit(m) + 0.5 * std::max(last_digit(a), last_digit(b)))
            << e;
        ++compared;
    }
    EXPECT_GT(compared, 500u);

    // The script repeats the run: the same spectrum, bit for bit.
    fs::copy(d / "Fe", d / "again", fs::copy_options::recursive);
    ASSERT_EQ(std::system(("sh '" + (d / "again/repeat.sh").string() + "'").c_str()), 0);
    EXPECT_EQ(read_file(d / "again/spectrum.xdi"), read_file(d / "Fe/spectrum.xdi"));
    EXPECT_EQ(read_file(d / "again/run-Fe2/fek_kor.sig"), read_file(d / "Fe/run-Fe2/fek_kor.sig"));
}

// Ten frames of a vibrating SF6, sulphur absorbing: one run per frame, and the spectrum's mean
// and spread are the mean and the (population) standard deviation of the frames' columns to
// the last printed digit; the picture draws the spread as a band.
TEST(xanes_run, a_trajectory_gives_the_mean_and_spread_of_its_frames) {
    const fs::path d = test::scratch_dir("xanes_frames");
    fs::copy_file(cluster_data / "sf6_traj.xyz", d / "sf6_traj.xyz");
    const tool_run r = xanes_in(d, "sf6_traj.xyz --absorber S --radius 2 --points 16 -o run");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("10 runs (1 site, 10 frames)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("korva-xanes: [f07] korva: energy point 16 of 16\n"), std::string::npos);
    const table t = read_table(d / "run/spectrum.xdi");
    ASSERT_EQ(t.labels.size(), 13u);  // energy, mu, mu_std, mu_f01 .. mu_f10
    for (std::size_t i = 0; i < t.column.at("mu").size(); ++i) {
        double sum = 0.0, square = 0.0, digit = 0.0;
        for (int f = 1; f <= 10; ++f) {
            const double x =
                t.column.at(std::string("mu_f") + (f < 10 ? "0" : "") + std::to_string(f))[i];
            sum += x;
            digit = std::max(digit, last_digit(x));
        }
        const double mean = sum / 10.0;
        for (int f = 1; f <= 10; ++f) {
            const double x =
                t.column.at(std::string("mu_f") + (f < 10 ? "0" : "") + std::to_string(f))[i];
            square += (x - mean) * (x - mean);
        }
        const double m = t.column.at("mu")[i], s = t.column.at("mu_std")[i];
        EXPECT_NEAR(m, mean, 0.5 * last_digit(m) + 0.5 * digit) << i;
        // Rounding the frames by half a digit moves the deviation by at most that much.
        EXPECT_NEAR(s, std::sqrt(square / 10.0), 0.5 * last_digit(s) + 0.5 * digit) << i;
    }
    EXPECT_NE(read_file(d / "run/spectrum.svg").find("data-style=\"BAND\""), std::string::npos);
}

// Copper's first shell (13 atoms) against the measured foil with a fit: the comparison, its
// picture, and the line a script reads.
TEST(xanes_run, copper_against_the_measured_foil_with_a_fit) {
    const fs::path d = test::scratch_dir("xanes_foil");
    const tool_run r =
        xanes_in(d, quoted(source / "examples/cu-k/cu_fcc.cif") +
                        " --absorber Cu --radius 3 --points 24 --fit --exp " +
                        quoted(source / "examples/cu-k/cu_metal_10K.xdi") + " -o foil");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string last = r.out.substr(r.out.rfind("korva-xanes: done in"));
    EXPECT_NE(last.find("1 run, 13 atoms, 24 energies, E_F "), std::string::npos) << last;
    EXPECT_NE(last.find(", r = 0."), std::string::npos) << last;
    EXPECT_NE(last.find(", shift = "), std::string::npos) << last;
    EXPECT_NE(read_file(d / "foil/xas.txt").find("  fit          converged after"),
              std::string::npos);
    for (const char* f : {"compare.xdi", "compare.svg", "spectrum.xdi", "cu_metal_10K.xdi"})
        EXPECT_TRUE(fs::exists(d / "foil" / f)) << f;
    EXPECT_EQ(read_file(d / "foil/compare.png").substr(1, 3), "PNG");
}

// Bad input: one line naming the stage and its own message, the stage's status, and no folder
// when the input is refused before anything runs; a stage that fails later keeps the folder.
TEST(xanes_run, bad_input_and_failed_stages) {
    const fs::path d = test::scratch_dir("xanes_bad");
    const std::string traj = read_file(cluster_data / "sf6_traj.xyz");
    std::string count = traj;
    count[traj.find("\n7\nSF6, frame 3") + 1] = '6';  // frame 3 one atom short
    test::write_file(d / "count.xyz", count);
    fs::copy_file(cluster_data / "fe3o4.cif", d / "fe3o4.cif");
    fs::create_directory(d / "taken");
    test::write_file(d / "taken/file", "");
    const std::string no_energy =
        (source / "tests/tools/data/xdi/bad/no_energy_column.xdi").string();
    struct case_ {
        std::string args;
        int status;
        std::string message;
        bool folder;  // the run folder is left
    };
    const std::vector<case_> cases = {
        {"count.xyz --absorber S -o out", 2,
         "stage sites failed with status 2: korva-cluster: count.xyz:19: frame 3 holds 6 atoms",
         false},
        {"fe3o4.cif --absorber Fe --exp '" + no_energy + "' -o out", 2,
         "stage measurement failed with status 2: korva-xas: " + no_energy + ":2: no energy column",
         false},
        {"fe3o4.cif --absorber Fe --xas '--resolution 0' -o out", 1,
         "stage options failed with status 1: korva-xas: --resolution 0", false},
        {"fe3o4.cif --absorber Fe -o taken", 1, "taken: the run folder exists", false},
        {"fe3o4.cif --absorber Fe --fit -o out", 1, "--fit needs a measurement", false},
        {"fe3o4.cif --absorber Fe1 --radius 0.5 -o out", 1,
         "stage cluster of run Fe1 (run-Fe1) failed with status 1: korva-cluster: ../fe3o4.cif: no "
         "atom lies within --radius 0.500 A",
         true},
    };
    for (const case_& c : cases) {
        fs::remove_all(d / "out");
        const tool_run r = xanes_in(d, c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_TRUE(r.err.starts_with("korva-xanes: " + c.message)) << c.args << "\n" << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.args;
        EXPECT_EQ(fs::exists(d / "out"), c.folder) << c.args;
    }
}

}  // namespace
}  // namespace korva::xanes
