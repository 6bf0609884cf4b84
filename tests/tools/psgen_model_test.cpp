// The self-consistent model of korva-psgen: dipole cross-sections against tabulated K-shell
// photo-absorption, the lone-absorber limit through KORVA itself, the Dirac-Hara exchange at the
// Fermi level, and the checks of the new input.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "deck_atoms.hpp"
#include "input/deck.hpp"
#include "lda_xc.hpp"
#include "photoelectron.hpp"
#include "psgen_read_back.hpp"
#include "support/run_program.hpp"

namespace korva::psgen {
namespace {

namespace fs = std::filesystem;

void write(const fs::path& p, const std::string& text) {
    std::ofstream(p) << text;
}

int run(const fs::path& dir, const std::string& cmd) {
    const int st = std::system(("cd '" + dir.string() + "' && " + cmd).c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

int run_psgen(const fs::path& dir) {
    return run(dir, std::string("'") + KORVA_PSGEN_BINARY + "' in.psgen > psgen.log 2>&1");
}

// Numbers of every line of a plot file that starts with a number.
std::vector<std::vector<double>> records(const fs::path& p) {
    std::ifstream in(p);
    std::vector<std::vector<double>> out;
    for (std::string line; std::getline(in, line);) {
        std::istringstream is(line);
        std::vector<double> v;
        for (double x; is >> x;) v.push_back(x);
        if (!v.empty()) out.push_back(v);
    }
    return out;
}

// A deck of an absorber (phase set 1) and one atom of set 2 at distance d (Angstrom).
std::string pair_deck(double d) {
    std::ostringstream s;
    s << "x.ps\nx.xs\nlon\n2\n0 0 0 1\n0 0 " << d << " 2\n0\n0.002 3 0.0001 150\n"
      << "2 1 0 8979 1\n2\n3 8 0.05\n0\n";
    return s.str();
}

// K-shell photoionization cross-section 50 eV above the edge: the K-subshell cross sections of
// L. Kissel's RTAB tables (Radiat. Phys. Chem. 59, 185 (2000); relativistic Hartree-Fock-Slater,
// Scofield's method) as xraylib interpolates them (T. Schoonjans et al., Spectrochim. Acta B 66,
// 776 (2011): CS_Photo_Partial(Z, K_SHELL, E_K + 0.0503 keV), cm^2/g, times A/N_A).
TEST(psgen_model, k_shell_cross_sections_against_table) {
    const struct {
        const char* element;
        double mbarn;
    } table[] = {{"Fe", 0.03251}, {"Cu", 0.02533}, {"Zn", 0.02355}};
    for (const auto& t : table) {
        const fs::path d = korva::test::scratch_dir(std::string("psgen_sc_") + t.element);
        write(d / "deck.in", pair_deck(40.0));
        // 3.7 Ry (50 eV) above the edge: past the first 30 eV, where the truncated potential
        // of the muffin tin shapes the threshold; the table's value changes by 1-2% there.
        write(d / "in.psgen", std::string("type ") + t.element + "\ntype " + t.element +
                                  "\ndeck deck.in\nenergies 3.7 3.7 1\nedge K\n"
                                  "phase_file x.ps\nxs_file x.xs\n");
        ASSERT_EQ(run_psgen(d), 0) << t.element;
        const auto r = test::read_psgen_files(d / "x.ps", d / "x.xs", 0);
        ASSERT_TRUE(r.ok) << r.summary;
        ASSERT_EQ(r.t->nen, 1);
        const double sigma = r.t->sig0(1, 1);
        EXPECT_NEAR(sigma / t.mbarn, 1.0, 0.25) << t.element << " " << sigma << " Mbarn";
        std::cout << "[ measured ] " << t.element << " K shell 50 eV above the edge: " << sigma
                  << " Mbarn, RTAB " << t.mbarn << " Mbarn, ratio " << sigma / t.mbarn << "\n";
        fs::remove_all(d);
    }
}

// With no neighbour within reach, the scattering matrix is the unit matrix: KORVA's total
// cross-section must equal the atomic one of the file, and that must be the absorber's dipole
// cross-section. A neighbour 60 A away with the core-hole damping contributes below 1e-5.
TEST(psgen_model, lone_absorber_limit) {
    const fs::path d = korva::test::scratch_dir("psgen_sc_lone");
    write(d / "deck.in", pair_deck(60.0));
    write(d / "in.psgen",
          "type Cu\ntype Cu\ndeck deck.in\nenergies 1.0 8.0 8\nedge K\nedge_ev 8979\n"
          "phase_file x.ps\nxs_file x.xs\n");
    ASSERT_EQ(run_psgen(d), 0);
    ASSERT_EQ(run(d, std::string("'") + KORVA_BINARY + "' < deck.in > korva.out 2>&1"), 0);
    const auto r = test::read_psgen_files(d / "x.ps", d / "x.xs", 0);
    ASSERT_TRUE(r.ok) << r.summary;
    const auto sig = records(d / "lon_kor.sig");
    ASSERT_EQ(r.t->nen, 8);
    ASSERT_GE(sig.size(), 16u);  // total curve, then atomic curve
    for (int e = 1; e <= 8; ++e) {
        const double xs = r.t->sig0(e, 1);
        EXPECT_NEAR(sig[e - 1][1], xs, 1e-5 * xs) << "total, e=" << e;
        EXPECT_NEAR(sig[8 + e - 1][1], xs, 1e-6 * xs) << "atomic, e=" << e;
    }
    fs::remove_all(d);
}

// At the Fermi level (kinetic energy 0) Dirac-Hara exchange is the Kohn-Sham exchange, -2 k_F/pi
// Ry: libxc's Slater exchange potential in Hartree, doubled.
TEST(psgen_model, dirac_hara_at_fermi_level_is_kohn_sham) {
    for (const double rho : {1e-4, 1e-2, 1.0, 100.0}) {
        const double kf = std::cbrt(3.0 * std::numbers::pi * std::numbers::pi * rho);
        EXPECT_NEAR(dirac_hara(rho, 0.0), -2.0 * kf / std::numbers::pi, 1e-12 * kf);
        // and it weakens with energy
        EXPECT_GT(dirac_hara(rho, 10.0), dirac_hara(rho, 0.0));
    }
}

TEST(psgen_model, bad_input_writes_nothing) {
    const char* bad[][2] = {
        {"type Xx\n", "unknown element"},
        {"type Cu\n", "no deck"},  // no deck keyword
        {"type Cu\ndeck missing.in\n", "missing.in: the deck cannot be opened (No such file"},
        {"type Cu\ndeck overlap.in\n", "overlap"},
        {"type Cu\ndeck deck.in\ncorehole z+2\n", "not one of"},
        {"type Cu\ndeck deck.in\nedge L7\n", "not a finite number"},
    };
    for (const auto& [extra, message] : bad) {
        const fs::path d = korva::test::scratch_dir("psgen_sc_bad");
        write(d / "deck.in", "x.ps\nx.xs\nbad\n2\n0 0 0 1\n0 0 2.5 1\n");
        write(d / "overlap.in", "x.ps\nx.xs\nbad\n2\n0 0 0 1\n0 0 0.05 1\n");
        write(d / "in.psgen",
              std::string(extra) + "energies 1 2 2\ngamma 0.05\nphase_file x.ps\nxs_file x.xs\n");
        EXPECT_EQ(run_psgen(d), 1) << extra;
        EXPECT_FALSE(fs::exists(d / "x.ps")) << extra;
        EXPECT_FALSE(fs::exists(d / "x.xs")) << extra;
        std::ifstream log(d / "psgen.log");
        const std::string msg((std::istreambuf_iterator<char>(log)),
                              std::istreambuf_iterator<char>());
        EXPECT_NE(msg.find(message), std::string::npos) << extra << ": " << msg;
        fs::remove_all(d);
    }
}

}  // namespace
}  // namespace korva::psgen

namespace korva {
namespace {

// A deck with D exponents, commas, continuation lines and slashes gives korva-psgen the atoms
// korva reads from it.
TEST(psgen_model, deck_reads_as_korva_reads_it) {
    const auto d = test::scratch_dir("psgen_deck_forms");
    test::write_file(d / "deck.in",
                     "x.ps\nx.xs\nfre\n3 / atoms\n0,0,0,1\n1.8075D0, 1.8075d0 , 0\n 2 / Cu\n"
                     "0 1.8075e0\n1.8075 2\n0\n");
    const std::vector<psgen::deck_atom> atoms = psgen::read_deck_atoms((d / "deck.in").string());
    const korva::deck k = korva::load_deck((d / "deck.in").string(), 5);
    ASSERT_EQ(atoms.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(atoms[i].x, k.atoms[i].x);
        EXPECT_EQ(atoms[i].y, k.atoms[i].y);
        EXPECT_EQ(atoms[i].z, k.atoms[i].z);
        EXPECT_EQ(atoms[i].iph, k.atoms[i].iph);
    }
    EXPECT_EQ(atoms[1].x, 1.8075f);
    EXPECT_EQ(atoms[2].z, 1.8075f);
}

}  // namespace
}  // namespace korva
