// The files korva-psgen writes, read back the way KORVA reads them: comment line, record counts,
// grouping, the conjugation convention and the example data sets; and the input checks.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <complex>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "psgen_input.hpp"
#include "pstables.hpp"
#include "support/run_program.hpp"
#include "tmatrix.hpp"
#include "xsection.hpp"

namespace korva::psgen {
namespace {

namespace fs = std::filesystem;

struct text_file {
    std::string comment;  // first line, when it does not start with a number
    std::vector<std::vector<double>> records;
};

// Whitespace-separated numbers, one record per line; a first line whose first word is not a
// number is the comment. A word that is not a number fails the test.
text_file read_numbers(const fs::path& p) {
    text_file f;
    std::ifstream in(p);
    EXPECT_TRUE(in.good()) << p;
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        std::istringstream is(line);
        std::vector<double> rec;
        std::string w;
        bool numeric = true;
        while (is >> w) {
            char* end = nullptr;
            const double v = std::strtod(w.c_str(), &end);
            if (end == w.c_str() || *end != '\0') {
                numeric = false;
                break;
            }
            rec.push_back(v);
        }
        if (first && !numeric) {
            f.comment = line;
        } else {
            EXPECT_TRUE(numeric) << p << ": " << line;
            if (!rec.empty()) f.records.push_back(rec);
        }
        first = false;
    }
    return f;
}

int run_psgen(const fs::path& dir, const std::string& input_name) {
    const std::string cmd = "cd '" + dir.string() + "' && '" + KORVA_PSGEN_BINARY + "' " +
                            input_name + " > psgen.log 2>&1";
    const int st = std::system(cmd.c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

void write_text(const fs::path& p, const std::string& s) {
    std::ofstream os(p);
    os << s;
}

const char* two_type_input =
    "# Fe absorber, O neighbours, L edge\n"
    "title test two types\n"
    "model thomas-fermi\n"
    "type 26 2.2\n"
    "type 8 1.6   # oxygen\n"
    "energies 0.3 25 12 k\n"
    "gamma 0.08\n"
    "lmax 10\n"
    "lcore 1\n"
    "edge_ev 708\n"
    "sigma_edge 2.0\n"
    "phase_file t.ps\n"
    "xs_file t.xs\n";

// Single precision in the file: values written with 9 digits are exact to 6e-8 relative; the
// checks below allow 1e-6 relative (plus 1e-7 absolute for values near zero).
bool close(double a, double b) {
    return std::abs(a - b) <= 1e-6 * std::abs(b) + 1e-7;
}

TEST(psgen_files, records_grouping_and_conjugation) {
    const fs::path d = test::scratch_dir("psgen_records");
    write_text(d / "t.psgen", two_type_input);
    ASSERT_EQ(run_psgen(d, "t.psgen"), 0);
    const text_file ps = read_numbers(d / "t.ps"), xs = read_numbers(d / "t.xs");
    EXPECT_EQ(ps.comment.rfind("KORVA-PSGEN phase shifts:", 0), 0u) << ps.comment;
    EXPECT_EQ(xs.comment.rfind("KORVA-PSGEN cross sections:", 0), 0u) << xs.comment;

    std::istringstream in(two_type_input);
    const psgen_input p = read_psgen_input(in);
    const double gamma = 0.08;

    // Group the phase records by energy as the reader does: a new point when E changes.
    std::vector<double> energies;
    std::vector<std::vector<std::vector<double>>> points;
    for (const auto& r : ps.records) {
        ASSERT_EQ(r.size(), 7u);
        if (energies.empty() || static_cast<float>(r[0]) != static_cast<float>(energies.back())) {
            if (!energies.empty()) {
                EXPECT_GT(static_cast<float>(r[0]), static_cast<float>(energies.back()));
            }
            energies.push_back(r[0]);
            points.emplace_back();
        }
        points.back().push_back(r);
    }
    ASSERT_EQ(energies.size(), 12u);
    ASSERT_EQ(xs.records.size(), 2 * energies.size()) << "lcore = 1: two records per point";

    std::vector<int> prev_cut(2, 0);
    for (std::size_t e = 0; e < points.size(); ++e) {
        // What KORVA holds after reading: the conjugates.
        const cdouble k_read(points[e][0][1], -points[e][0][2]);
        EXPECT_GT(k_read.imag(), 0.0) << "damped outgoing wave, e=" << e;
        const cdouble e_complex = k_read * k_read;
        EXPECT_TRUE(close(e_complex.real(), energies[e])) << "e=" << e;
        EXPECT_TRUE(close(e_complex.imag(), gamma)) << "e=" << e;

        // Types 1 then 2, each l = 0..cut in order, the cut never falling with energy.
        std::size_t i = 0;
        std::vector<cdouble> t1;
        for (int type = 1; type <= 2; ++type) {
            int l = 0;
            while (i < points[e].size() && static_cast<int>(points[e][i][3]) == type) {
                const auto& r = points[e][i];
                EXPECT_EQ(static_cast<int>(r[4]), l) << "e=" << e << " type=" << type;
                EXPECT_EQ(r[1], points[e][0][1]);  // one k per point
                if (type == 1) t1.emplace_back(r[5], -r[6]);
                ++l;
                ++i;
            }
            const int cut = l - 1;
            EXPECT_GE(cut, 2) << "e=" << e << " type=" << type;
            EXPECT_LE(cut, 10);
            EXPECT_GE(cut, prev_cut[type - 1]) << "e=" << e << " type=" << type;
            prev_cut[type - 1] = cut;
        }
        EXPECT_EQ(i, points[e].size()) << "only types 1 and 2, e=" << e;

        // The amplitudes read back are the library's outgoing-wave ones.
        const auto t_lib = tl_all(type_potential(26.0), 2.2, energies[e], gamma, 10);
        for (std::size_t l = 0; l < t1.size(); ++l) {
            EXPECT_TRUE(close(t1[l].real(), t_lib[l].real())) << "e=" << e << " l=" << l;
            EXPECT_TRUE(close(t1[l].imag(), t_lib[l].imag())) << "e=" << e << " l=" << l;
        }

        // Cross-section records: channel L0 = 0 then L0 = 2; factor read back = 1 + 2i t_L0.
        for (int c = 0; c < 2; ++c) {
            const auto& r = xs.records[2 * e + c];
            ASSERT_EQ(r.size(), 7u);
            EXPECT_EQ(r[0], points[e][0][0]) << "energy first, e=" << e;
            const int l0 = c == 0 ? 0 : 2;
            EXPECT_EQ(static_cast<int>(r[3]), l0);
            const double x = energies[e] / p.edge;
            const double weight = c == 0 ? 1.0 / 3.0 : 2.0 / 3.0;  // dipole weights for p -> s, d
            EXPECT_TRUE(close(r[4], 2.0 * weight * hydrogenic_law(x))) << "e=" << e << " c=" << c;
            const cdouble factor_read(r[5], -r[6]);
            const cdouble s = s_from_t(t1[l0]);
            EXPECT_TRUE(close(factor_read.real(), s.real())) << "e=" << e << " c=" << c;
            EXPECT_TRUE(close(factor_read.imag(), s.imag())) << "e=" << e << " c=" << c;
        }
    }
    fs::remove_all(d);
}

// Without damping the values read back are unitary with Im t >= 0 (sin^2 delta): a file written
// without the conjugation would show Im t < 0 for every attractive channel.
TEST(psgen_files, real_energy_reads_back_unitary) {
    const fs::path d = test::scratch_dir("psgen_unitary");
    write_text(d / "u.psgen",
               "model thomas-fermi\ntype 29 2.4\nenergy_list 0.5 2 8 30\nlmax 8\nedge "
               "660\nphase_file u.ps\n"
               "xs_file u.xs\n");
    ASSERT_EQ(run_psgen(d, "u.psgen"), 0);
    const text_file ps = read_numbers(d / "u.ps");
    ASSERT_FALSE(ps.records.empty());
    for (const auto& r : ps.records) {
        EXPECT_EQ(r[2], 0.0) << "real k at gamma = 0";
        const cdouble t(r[5], -r[6]);
        EXPECT_GE(t.imag(), 0.0) << "E=" << r[0] << " l=" << r[4];
        EXPECT_NEAR(std::abs(s_from_t(t)), 1.0, 1e-6) << "E=" << r[0] << " l=" << r[4];
    }
    // lcore = 0: one record per point, channel L0 = 1.
    const text_file xs = read_numbers(d / "u.xs");
    ASSERT_EQ(xs.records.size(), 4u);
    for (const auto& r : xs.records) EXPECT_EQ(r[3], 1.0);
    fs::remove_all(d);
}

// Each example's data is what its committed input and deck produce (regenerated here and
// compared at single-precision level). Missing files fail.
TEST(psgen_files, example_data_regenerates) {
    const struct {
        const char* dir;
        const char* input;
        const char* ps;
        const char* xs;
        std::size_t points;
        std::size_t xs_per_point;
    } examples[] = {{"cu-k", "cu.psgen", "cu.ps", "cu.xs", 70, 1},
                    {"two-types", "ft.psgen", "ft.ps", "ft.xs", 50, 2},
                    {"planar", "pl.psgen", "pl.ps", "pl.xs", 40, 1}};
    for (const auto& ex : examples) {
        const fs::path src = fs::path(KORVA_SOURCE_DIR) / "examples" / ex.dir;
        ASSERT_TRUE(fs::exists(src / ex.input)) << src / ex.input;
        const fs::path d = test::scratch_dir(std::string("psgen_example_") + ex.dir);
        fs::copy_file(src / ex.input, d / ex.input);
        fs::copy_file(src / "deck.in", d / "deck.in");  // the cluster of the potential
        ASSERT_EQ(run_psgen(d, ex.input), 0) << ex.dir;
        for (const char* name : {ex.ps, ex.xs}) {
            const text_file have = read_numbers(src / name), want = read_numbers(d / name);
            EXPECT_EQ(have.comment, want.comment) << ex.dir << "/" << name;
            ASSERT_EQ(have.records.size(), want.records.size()) << ex.dir << "/" << name;
            for (std::size_t i = 0; i < have.records.size(); ++i) {
                ASSERT_EQ(have.records[i].size(), want.records[i].size());
                for (std::size_t j = 0; j < have.records[i].size(); ++j)
                    EXPECT_TRUE(close(have.records[i][j], want.records[i][j]))
                        << ex.dir << "/" << name << " record " << i << " value " << j;
            }
        }
        const text_file xs = read_numbers(src / ex.xs);
        EXPECT_EQ(xs.records.size(), ex.points * ex.xs_per_point) << ex.dir;
        fs::remove_all(d);
    }
}

// Bad input ends with a message and a non-zero status, and leaves no output file behind.
TEST(psgen_files, bad_input_writes_nothing) {
    const fs::path d = test::scratch_dir("psgen_bad");
    write_text(d / "b.psgen",
               "model thomas-fermi\ntype 29 2.4\nenergies 0.3 36 70 k\nedge nan\nphase_file b.ps\n"
               "xs_file b.xs\n");
    EXPECT_EQ(run_psgen(d, "b.psgen"), 1);
    EXPECT_FALSE(fs::exists(d / "b.ps"));
    EXPECT_FALSE(fs::exists(d / "b.xs"));
    std::ifstream log(d / "psgen.log");
    std::string msg((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(msg.find("line 4 (edge)"), std::string::npos) << msg;
    EXPECT_EQ(run_psgen(d, "missing.psgen"), 1);
    fs::remove_all(d);
}

// A name that is a symbolic link gets its text written to the file it points to, and stays a
// link; a link to a device (here /dev/null) writes to the device. An output that cannot be
// written ends with status 3 and leaves neither file (nor a temporary one) behind.
TEST(psgen_files, outputs_follow_links_and_fail_cleanly) {
    const fs::path d = test::scratch_dir("psgen_links");
    const std::string input = "model thomas-fermi\ntype 29 2.4\nenergies 1 2 2\nedge 660\nlmax 4\n";
    fs::create_directory(d / "data");
    write_text(d / "data" / "real.ps", "old\n");
    fs::create_symlink("data/real.ps", d / "link.ps");
    fs::create_symlink("/dev/null", d / "null.xs");
    write_text(d / "l.psgen", input + "phase_file link.ps\nxs_file null.xs\n");
    ASSERT_EQ(run_psgen(d, "l.psgen"), 0);
    EXPECT_TRUE(fs::is_symlink(d / "link.ps"));
    EXPECT_TRUE(fs::is_symlink(d / "null.xs"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_EQ(read_numbers(d / "data" / "real.ps").records.size(), 2u * 5u);  // 2 points, l 0..4
    EXPECT_FALSE(fs::exists(d / "data" / "real.ps.tmp"));

    write_text(d / "w.psgen", input + "phase_file w.ps\nxs_file missing/w.xs\n");
    EXPECT_EQ(run_psgen(d, "w.psgen"), 3);
    std::ifstream log(d / "psgen.log");
    const std::string msg((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(msg.find("korva-psgen: cannot write missing/w.xs: "), std::string::npos) << msg;
    for (const char* f : {"w.ps", "w.ps.tmp"}) EXPECT_FALSE(fs::exists(d / f)) << f;
    fs::remove_all(d);
}

TEST(psgen_files, input_checks) {
    const std::string ok =
        "model thomas-fermi\ntype 29 2.4\nenergies 0.3 36 70\nedge 660\nphase_file a.ps\nxs_file "
        "a.xs\n";
    {
        std::istringstream in(ok);
        const psgen_input p = read_psgen_input(in);
        EXPECT_EQ(p.energies.size(), 70u);
        EXPECT_EQ(p.lmax, 12);
        EXPECT_EQ(p.gamma, 0.0);
    }
    const char* bad[] = {
        "colour 3\n",                    // unknown keyword
        "type 29\n",                     // missing radius
        "type -1 2.4\n",                 // charge out of range
        "type 29 0.01\n",                // radius out of range
        "energies 0.3 36 151\n",         // more than NER_ = 150 points
        "energies 36 0.3 10\n",          // decreasing
        "energy_list 1.0 1.00000001\n",  // equal in single precision
        "energy_list 0.5 0.4\n",         // decreasing list
        "energy_list 0.3 abc\n",         // not a number
        "energies 0.3 36 70\n",          // second grid overlaps the first
        "gamma -0.1\n",                  // negative damping
        "lmax 40\n",                     // above LMPH_ = 35
        "lcore 12\n",                    // lcore + 1 above lmax
        "energies 0 36 70\n",            // zero energy
        "xs_file a.ps\n",                // both files the same
        "type 1 1\ntype 1 1\ntype 1 1\ntype 1 1\ntype 1 1\ntype 1 1\n",  // seven types
    };
    for (const char* extra : bad) {
        std::istringstream in(ok + extra);
        EXPECT_THROW(read_psgen_input(in), psgen_error) << extra;
    }
    for (const char* keyword : {"type", "energies", "edge", "phase_file", "xs_file"}) {
        std::string s = ok;
        const auto at = s.find(keyword);
        s.erase(at, s.find('\n', at) - at + 1);
        std::istringstream in(s);
        EXPECT_THROW(read_psgen_input(in), psgen_error) << "without " << keyword;
    }
}

TEST(psgen_files, energy_grid_and_lcut) {
    // Evenly spaced in k: sqrt(E) steps equal, ends exact.
    const auto g = energy_grid(0.3, 36.0, 70, true);
    ASSERT_EQ(g.size(), 70u);
    EXPECT_EQ(g.front(), 0.3);
    EXPECT_EQ(g.back(), 36.0);
    const double dk = (std::sqrt(36.0) - std::sqrt(0.3)) / 69;
    for (std::size_t i = 1; i < g.size(); ++i)
        EXPECT_NEAR(std::sqrt(g[i]) - std::sqrt(g[i - 1]), dk, 1e-12) << "i=" << i;

    // Cut: highest l with |t_l| >= tcut, floor, never lower than before, capped at lmax.
    auto row = [](std::vector<double> mags) {
        std::vector<cdouble> t;
        for (double m : mags) t.emplace_back(m, 0.0);
        return t;
    };
    const std::vector<std::vector<cdouble>> ts = {
        row({0.5, 0.1, 1e-8, 1e-9, 0, 0}),        // floor 2
        row({0.5, 0.1, 1e-3, 1e-5, 1e-7, 0}),     // 3
        row({0.5, 0.1, 1e-3, 1e-7, 1e-7, 0}),     // would be 2: stays 3
        row({0.5, 0.1, 1e-3, 1e-3, 1e-3, 1e-3}),  // 5 = lmax
    };
    EXPECT_EQ(adaptive_lcut(ts, 1e-6, 2), (std::vector<int>{2, 3, 3, 5}));
}

// Closed forms of the law: f(1) = e^{4 - pi} / 16 / (1 - e^{-2 pi}) (times e^{-4}/0.01831564,
// the rounding of e^{-4} in the law); f(0) = 1; for large x f -> x^{-7/2} / (2 pi 0.01831564),
// with relative corrections about pi/sqrt(x) (3e-4 at x = 1e8).
TEST(psgen_files, hydrogenic_law_values) {
    const double pi = std::numbers::pi;
    const double f1 =
        std::exp(4.0 - pi) / 16.0 / (1.0 - std::exp(-2.0 * pi)) * (std::exp(-4.0) / 0.01831564);
    EXPECT_NEAR(hydrogenic_law(1.0), f1, 1e-14);
    EXPECT_NEAR(hydrogenic_law(0.0), 1.0, 1e-7);
    EXPECT_NEAR(hydrogenic_law(1e-6), 1.0, 1e-5);
    const double x = 1e8;
    const double tail = std::pow(x, -3.5) / (2.0 * pi * 0.01831564);
    EXPECT_NEAR(hydrogenic_law(x) / tail, 1.0, 1e-3);
    double prev = hydrogenic_law(1e-6);
    for (double y = 1e-3; y < 10.0; y *= 1.5) {
        EXPECT_LT(hydrogenic_law(y), prev) << "x=" << y;
        prev = hydrogenic_law(y);
    }
}

}  // namespace
}  // namespace korva::psgen
