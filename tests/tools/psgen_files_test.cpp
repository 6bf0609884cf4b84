// The files korva-psgen writes, read back through KORVA's own reader: comment line, record counts,
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

#include "input/data_header.hpp"
#include "psgen_input.hpp"
#include "psgen_read_back.hpp"
#include "pstables.hpp"
#include "support/run_program.hpp"
#include "tmatrix.hpp"
#include "xsection.hpp"

namespace korva::psgen {
namespace {

namespace fs = std::filesystem;
using test::read_psgen_files;

// Lines of a text file (the comment line included).
std::size_t line_count(const fs::path& p) {
    std::ifstream in(p);
    std::size_t n = 0;
    for (std::string line; std::getline(in, line);) ++n;
    return n;
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
    const fs::path d = korva::test::scratch_dir("psgen_records");
    write_text(d / "t.psgen", two_type_input);
    ASSERT_EQ(run_psgen(d, "t.psgen"), 0);
    const auto r = read_psgen_files(d / "t.ps", d / "t.xs", 1);
    ASSERT_TRUE(r.ok) << r.summary;
    const phase_table& t = *r.t;
    EXPECT_EQ(r.ps_header.rfind("KORVA-PSGEN phase shifts:", 0), 0u) << r.ps_header;
    EXPECT_EQ(r.xs_header.rfind("KORVA-PSGEN cross sections:", 0), 0u) << r.xs_header;
    EXPECT_NE(r.summary.find("RIGA DI COMMENTO IN FILE FASI"), std::string::npos) << r.summary;
    EXPECT_FALSE(header_fermi_level(r.ps_header)) << "no Fermi level in the Thomas-Fermi model";

    std::istringstream in(two_type_input);
    const psgen_input p = read_psgen_input(in);
    const double gamma = 0.08;
    ASSERT_EQ(t.nen, 12);
    ASSERT_EQ(t.nphs, 2) << "only types 1 and 2";
    // lcore = 1: two cross-section records per point, and none left over.
    EXPECT_EQ(line_count(d / "t.xs"), 1u + 2u * 12u);

    for (int e = 1; e <= t.nen; ++e) {
        const double en = p.energies[e - 1];
        EXPECT_TRUE(close(t.eph(e), en)) << "e=" << e;
        // What KORVA holds after reading: the conjugates of the file, Im k > 0.
        const cdouble k(t.ckph(e).real(), t.ckph(e).imag());
        EXPECT_GT(k.imag(), 0.0) << "damped outgoing wave, e=" << e;
        EXPECT_TRUE(close((k * k).real(), en)) << "e=" << e;
        EXPECT_TRUE(close((k * k).imag(), gamma)) << "e=" << e;
        // Each type's cut at least the floor 2, at most lmax, never falling with energy.
        for (int type = 1; type <= 2; ++type) {
            EXPECT_GE(t.lmxp(type, e), 2) << "e=" << e << " type=" << type;
            EXPECT_LE(t.lmxp(type, e), 10);
            if (e > 1) {
                EXPECT_GE(t.lmxp(type, e), t.lmxp(type, e - 1)) << "e=" << e;
            }
        }
        // The amplitudes read back are the library's outgoing-wave ones.
        const auto t_lib = tl_all(type_potential(26.0), 2.2, en, gamma, 10);
        for (int l = 0; l <= t.lmxp(1, e); ++l) {
            EXPECT_TRUE(close(t.til(e, l, 1).real(), t_lib[l].real())) << "e=" << e << " l=" << l;
            EXPECT_TRUE(close(t.til(e, l, 1).imag(), t_lib[l].imag())) << "e=" << e << " l=" << l;
        }
        // Cross sections: channel L0 = 0 then L0 = 2; the factor read back is 1 + 2i t_L0.
        for (int c = 1; c <= 2; ++c) {
            const int l0 = c == 1 ? 0 : 2;
            const double weight = c == 1 ? 1.0 / 3.0 : 2.0 / 3.0;  // dipole weights p -> s, d
            EXPECT_TRUE(close(t.sig0(e, c), 2.0 * weight * hydrogenic_law(en / p.edge)))
                << "e=" << e << " c=" << c;
            const cdouble s = s_from_t(t_lib[l0]);
            EXPECT_TRUE(close(t.sig0c(e, c).real(), s.real())) << "e=" << e << " c=" << c;
            EXPECT_TRUE(close(t.sig0c(e, c).imag(), s.imag())) << "e=" << e << " c=" << c;
        }
    }
    fs::remove_all(d);
}

// Without damping the values read back are unitary with Im t >= 0 (sin^2 delta): a file written
// without the conjugation would show Im t < 0 for every attractive channel.
TEST(psgen_files, real_energy_reads_back_unitary) {
    const fs::path d = korva::test::scratch_dir("psgen_unitary");
    write_text(d / "u.psgen",
               "model thomas-fermi\ntype 29 2.4\nenergy_list 0.5 2 8 30\nlmax 8\nedge "
               "660\nphase_file u.ps\n"
               "xs_file u.xs\n");
    ASSERT_EQ(run_psgen(d, "u.psgen"), 0);
    const auto r = read_psgen_files(d / "u.ps", d / "u.xs", 0);
    ASSERT_TRUE(r.ok) << r.summary;
    const phase_table& t = *r.t;
    ASSERT_EQ(t.nen, 4);
    for (int e = 1; e <= t.nen; ++e) {
        EXPECT_EQ(t.ckph(e).imag(), 0.0f) << "real k at gamma = 0";
        for (int l = 0; l <= t.lmxp(1, e); ++l) {
            const cdouble tl(t.til(e, l, 1).real(), t.til(e, l, 1).imag());
            EXPECT_GE(tl.imag(), 0.0) << "E=" << t.eph(e) << " l=" << l;
            EXPECT_NEAR(std::abs(s_from_t(tl)), 1.0, 1e-6) << "E=" << t.eph(e) << " l=" << l;
        }
    }
    // lcore = 0: one cross-section record per point.
    EXPECT_EQ(line_count(d / "u.xs"), 1u + 4u);
    fs::remove_all(d);
}

// The comment line without the Fermi level's field and the way it was found (the stored data
// may predate them).
std::string without_fermi(std::string header) {
    const auto at = header.find(" | E_F ");
    if (at != std::string::npos) header.erase(at);
    const auto how = header.find(" fermi ");
    if (how != std::string::npos) header.erase(how, header.find(" |", how) - how);
    return header;
}

// The exchange named in a stored header ("exchange NAME"): the examples' data keep the exchange
// they were made with, also when the default changes.
std::string exchange_of(const std::string& header) {
    const auto at = header.find(" exchange ");
    if (at == std::string::npos) return "";
    std::istringstream is(header.substr(at + 10));
    std::string name;
    is >> name;
    return name;
}

// The single-precision values KORVA reads from two pairs of files agree.
void expect_same_tables(const phase_table& a, const phase_table& b, const std::string& what) {
    ASSERT_EQ(a.nen, b.nen) << what;
    ASSERT_EQ(a.nphs, b.nphs) << what;
    for (int e = 1; e <= a.nen; ++e) {
        EXPECT_TRUE(close(a.eph(e), b.eph(e))) << what << " e=" << e;
        EXPECT_TRUE(close(std::abs(a.ckph(e) - b.ckph(e)), 0.0)) << what << " e=" << e;
        for (int c = 1; c <= 2; ++c) {
            EXPECT_TRUE(close(a.sig0(e, c), b.sig0(e, c))) << what << " e=" << e;
            EXPECT_TRUE(close(std::abs(a.sig0c(e, c) - b.sig0c(e, c)), 0.0)) << what << " e=" << e;
        }
        for (int p = 1; p <= a.nphs; ++p) {
            ASSERT_EQ(a.lmxp(p, e), b.lmxp(p, e)) << what << " e=" << e << " p=" << p;
            for (int l = 0; l <= a.lmxp(p, e); ++l)
                EXPECT_TRUE(close(std::abs(a.til(e, l, p) - b.til(e, l, p)), 0.0))
                    << what << " e=" << e << " p=" << p << " l=" << l;
        }
    }
}

// Each example's data is what its committed input and deck produce (regenerated here with the
// exchange its header names, and compared at single-precision level). Missing files fail.
TEST(psgen_files, example_data_regenerates) {
    const struct {
        const char* dir;
        const char* input;
        const char* ps;
        const char* xs;
        int points;
        int lcore;
    } examples[] = {{"cu-k", "cu.psgen", "cu_fcc.ps", "cu_fcc.xs", 150, 0},
                    {"two-types", "ft.psgen", "ft.ps", "ft.xs", 50, 1},
                    {"planar", "pl.psgen", "pl.ps", "pl.xs", 40, 0}};
    for (const auto& ex : examples) {
        const fs::path src = fs::path(KORVA_SOURCE_DIR) / "examples" / ex.dir;
        ASSERT_TRUE(fs::exists(src / ex.input)) << src / ex.input;
        const auto stored = read_psgen_files(src / ex.ps, src / ex.xs, ex.lcore);
        ASSERT_TRUE(stored.ok) << ex.dir << stored.summary;
        const fs::path d = korva::test::scratch_dir(std::string("psgen_example_") + ex.dir);
        const std::string exchange = exchange_of(stored.ps_header);
        ASSERT_FALSE(exchange.empty()) << stored.ps_header;
        write_text(d / ex.input, korva::test::read_file(src / ex.input) + "exchange " + exchange +
                                     "   # the stored data's exchange\n");
        fs::copy_file(src / "deck.in", d / "deck.in");  // the cluster of the potential
        ASSERT_EQ(run_psgen(d, ex.input), 0) << ex.dir;
        const auto made = read_psgen_files(d / ex.ps, d / ex.xs, ex.lcore);
        ASSERT_TRUE(made.ok) << ex.dir << made.summary;
        EXPECT_EQ(without_fermi(stored.ps_header), without_fermi(made.ps_header)) << ex.dir;
        EXPECT_EQ(without_fermi(stored.xs_header), without_fermi(made.xs_header)) << ex.dir;
        EXPECT_TRUE(header_fermi_level(made.ps_header)) << made.ps_header;
        EXPECT_EQ(header_fermi_level(made.ps_header), header_fermi_level(made.xs_header));
        EXPECT_EQ(stored.t->nen, ex.points) << ex.dir;
        expect_same_tables(*stored.t, *made.t, ex.dir);
        fs::remove_all(d);
    }
}

// Bad input ends with a message and a non-zero status, and leaves no output file behind.
TEST(psgen_files, bad_input_writes_nothing) {
    const fs::path d = korva::test::scratch_dir("psgen_bad");
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
    const fs::path d = korva::test::scratch_dir("psgen_links");
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
    EXPECT_EQ(line_count(d / "data" / "real.ps"), 1u + 2u * 5u);  // comment, 2 points, l 0..4
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
        "grid near-edge\n",            // no Fermi level in this model, and energies given
        "grid coarse\n",               // not a grid
        "grid near-edge 5 100 151\n",  // more than NER_ = 150 points
        "fermi electron-gas\n",        // no Fermi level in this model
        "fermi 25\n",                  // above 20 Ry
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

    // Near the edge: from 5 eV below the Fermi level to 100 eV above it, even in k; never below
    // the floor.
    const double ef = 0.88;
    const auto ne = near_edge_energies({5.0, 100.0, 150}, ef);
    ASSERT_EQ(ne.size(), 150u);
    EXPECT_DOUBLE_EQ(ne.front(), ef - 5.0 / 13.6058);
    EXPECT_DOUBLE_EQ(ne.back(), ef + 100.0 / 13.6058);
    EXPECT_NO_THROW(check_energies(ne));
    EXPECT_EQ(near_edge_energies({5.0, 100.0, 10}, 0.1).front(), near_edge_floor);

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
