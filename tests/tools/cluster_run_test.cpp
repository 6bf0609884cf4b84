// The korva-cluster program as a user runs it: what it prints, the inputs it refuses, PDB and
// mmCIF models, and the way from a CIF through korva-psgen and korva to a spectrum.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "common/capacities.hpp"
#include "edges.hpp"
#include "support/plot_check.hpp"
#include "support/run_program.hpp"
#include "support/text_lines.hpp"

namespace korva::cluster {
namespace {

namespace fs = std::filesystem;
using test::lines_of;
using test::program_run;
using test::read_file;
using test::run_command;
using test::scratch_dir;
using test::write_file;

const fs::path data_dir = fs::path(KORVA_SOURCE_DIR) / "tests/tools/data/cluster";

std::string cluster_cmd(const std::string& args) {
    return std::string("'") + KORVA_CLUSTER_BINARY + "' " + args;
}

TEST(cluster_run, bad_inputs_end_with_one_line_and_nothing_written) {
    const fs::path d = scratch_dir("cluster_bad");
    fs::copy_file(data_dir / "cu_fcc.cif", d / "cu.cif");
    fs::create_directory(d / "folder.cif");
    write_file(d / "half.cif",  // an Fe site half occupied
               "data_half\n_cell_length_a 4\n_cell_length_b 4\n_cell_length_c 4\n"
               "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n"
               "_symmetry_space_group_name_H-M 'P 1'\nloop_\n_atom_site_label\n"
               "_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
               "_atom_site_occupancy\nFe1 0 0 0 1\nO1 0.5 0 0 0.5\n");
    write_file(d / "nosym.cif",
               "data_nosym\n_cell_length_a 4\n_cell_length_b 4\n_cell_length_c 4\n"
               "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\nloop_\n"
               "_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
               "Fe1 0 0 0\n");
    write_file(d / "close.xyz", "3\ntwo oxygens 0.3 A apart\nFe 0 0 0\nO 2 0 0\nO 2 0.3 0\n");
    write_file(d / "text.xyz", "2\n\nFe 0 0 0\nO two 0 0\n");
    write_file(d / "short.xyz", "3\n\nFe 0 0 0\nO 2 0 0\n");
    // The ten-frame trajectory with frame 3 one atom short, and with its first atom changed.
    const std::string traj = read_file(data_dir / "sf6_traj.xyz");
    write_file(d / "traj.xyz", traj);
    const auto frame3 = traj.find("\n7\nSF6, frame 3");
    write_file(d / "count.xyz", std::string(traj).replace(frame3 + 1, 1, "6"));
    const auto atom1 = traj.find("\nF ", frame3 + 3);
    write_file(d / "order.xyz", std::string(traj).replace(atom1 + 1, 1, "O"));
    // One phase set more than the program holds: uranium and NPH_ lighter elements on a line.
    std::string sets = std::to_string(NPH_ + 1) + "\nmore elements than phase sets\n92 0 0 0\n";
    for (int z = 1; z <= NPH_; ++z) sets += std::to_string(z) + " " + std::to_string(z) + " 0 0\n";
    write_file(d / "sets.xyz", sets);
    struct case_ {
        std::string args;
        int status;
        std::string message;  // part of the line on standard error
    };
    const std::vector<case_> cases = {
        {"missing.cif --absorber Cu --radius 3", 2, "missing.cif: cannot open"},
        {"folder.cif --absorber Cu --radius 3", 2, "folder.cif: cannot read"},
        {"nosym.cif --absorber Fe --radius 3", 2, "no symmetry"},
        {"text.xyz --absorber Fe --radius 3", 2, "text.xyz:4: atom 2"},
        {"short.xyz --absorber Fe --radius 3", 2, "short.xyz:5: the file ends after 2 of 3"},
        {"cu.cif --absorber Zn --radius 3", 1, "--absorber Zn: no site label or element"},
        {"cu.cif --absorber Cu1 --radius 0", 1, "--radius 0"},
        {"cu.cif --absorber Cu1 --radius -2", 1, "--radius -2"},
        {"cu.cif --absorber Cu1 --radius nan", 1, "--radius nan"},
        {"cu.cif --absorber Cu1 --radius 3 --max-atoms 1", 1, "--max-atoms 1"},
        {"cu.cif --absorber Cu1 --radius 3 --max-atoms " + std::to_string(NAT_ + 1), 1,
         "from 2 to " + std::to_string(NAT_) + " (the program's capacity)"},
        {"half.cif --absorber Fe1 --radius 3", 1, "site O1 has occupancy 0.5"},
        {"close.xyz --absorber Fe --radius 3", 1, "0.300 A apart (closer than 0.5 A)"},
        {"sets.xyz --absorber 1 --radius " + std::to_string(NPH_ + 1), 1,
         "needs " + std::to_string(NPH_ + 1) + " phase sets"},
        {"cu.cif --absorber Cu1 --radius 1", 1, "no atom lies within --radius 1.000 A"},
        {"cu.cif --absorber Cu1 --radius 3 --grid coarse", 1, "--grid coarse"},
        {"cu.cif --absorber Cu1 --radius 3 --points 3", 1, "--points 3"},
        {"cu.cif --absorber Cu1 --radius 3 --frame 2", 1, "is not an XYZ trajectory"},
        {"traj.xyz --absorber S --radius 3 --frame 11", 1, "--frame 11: traj.xyz holds 10"},
        {"count.xyz --absorber S --radius 3", 2, "count.xyz:19: frame 3 holds 6 atoms, frame 1"},
        {"order.xyz --absorber S --radius 3", 2, "order.xyz:21: frame 3, atom 1: O where"},
        {"cu.cif --absorber Cu --sites", 1, "--sites lists the absorbing sites and writes no"},
    };
    for (const case_& c : cases) {
        const program_run r = run_command(d, cluster_cmd(c.args + " --deck deck.in --psgen ps.in"));
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_EQ(r.out, "") << c.args;
        const auto err = lines_of(r.err);
        ASSERT_EQ(err.size(), 1u) << c.args << "\n" << r.err;
        EXPECT_EQ(err[0].rfind("korva-cluster: ", 0), 0u) << err[0];
        EXPECT_NE(err[0].find(c.message), std::string::npos) << c.args << "\n" << err[0];
        for (const char* f : {"deck.in", "ps.in", "deck.in.tmp", "ps.in.tmp"})
            EXPECT_FALSE(fs::exists(d / f)) << c.args << ": " << f;
    }
}

// --sites lists what --absorber stands for. Magnetite's iron sites have the multiplicities of
// Wyckoff positions 8a and 16d of Fd-3m (International Tables A), its oxygen 32e; a label is
// one site; of a trajectory every frame is read and --frame picks one.
TEST(cluster_run, sites_with_multiplicities_and_frames_of_a_trajectory) {
    const fs::path d = scratch_dir("cluster_sites");
    const std::string fe3o4 = (data_dir / "fe3o4.cif").string();
    const std::string traj = (data_dir / "sf6_traj.xyz").string();
    const std::pair<std::string, std::string> cases[] = {
        {fe3o4 + " --absorber Fe", "format cif\nframes 1\nsite Fe1 8 Fe\nsite Fe2 16 Fe\n"},
        {fe3o4 + " --absorber Fe2", "format cif\nframes 1\nsite Fe2 16 Fe\n"},
        {fe3o4 + " --absorber O", "format cif\nframes 1\nsite O1 32 O\n"},
        {traj + " --absorber S", "format xyz\nframes 10\nsite 3 1 S\n"},
        {traj + " --absorber F --frame 2",
         "format xyz\nframes 10\nsite 1 1 F\nsite 2 1 F\nsite 4 1 F\nsite 5 1 F\nsite 6 1 F\nsite "
         "7 1 F\n"},
    };
    for (const auto& [args, listed] : cases) {
        const program_run r = run_command(d, cluster_cmd(args + " --sites"));
        ASSERT_EQ(r.status, 0) << args << r.err;
        EXPECT_EQ(r.out, listed) << args;
    }
    // Frame 4 by the generating formula: atom 1 (i = 0) at 1.561 + 0.05 sin(5.2) A on +x, as
    // the file writes it (4 decimals).
    const program_run f4 = run_command(d, cluster_cmd(traj + " --absorber 3 --radius 2 --frame 4"));
    ASSERT_EQ(f4.status, 0) << f4.err;
    char atom1[64];
    std::snprintf(atom1, sizeof atom1, "%12.5f%12.5f%12.5f   2",
                  std::round((1.561 + 0.05 * std::sin(5.2)) * 1e4) / 1e4, 0.0, 0.0);
    EXPECT_NE(f4.out.find(atom1), std::string::npos) << atom1 << "\n" << f4.out;
    EXPECT_NE(f4.err.find("trajectory of 10 frames; frame 4 is used"), std::string::npos);
}

TEST(cluster_run, help_states_the_capacities_of_the_build) {
    const std::string nat = std::to_string(NAT_), nph = std::to_string(NPH_);
    const program_run r = run_command(scratch_dir("cluster_help"), cluster_cmd("--help"));
    EXPECT_EQ(r.status, 0);
    for (const std::string& limit :
         {"2 to " + nat + ", default " + nat + ":", "holds at most " + nph + ".",
          "more than " + nph + " phase", "NEP " + std::to_string(NER_) + "\n"})
        EXPECT_NE(r.out.find(limit), std::string::npos) << limit << "\n" << r.out;
}

TEST(cluster_run, pdb_and_mmcif_first_alternative_location_by_serial) {
    // zn_site: Zn(Cys)4, Zn-S 2.33 A rounded to 1.345 A per axis in the file; a water with
    // alternative locations A (+x, 4 A) and B (+y); the zinc is serial 201.
    const fs::path d = scratch_dir("cluster_pdb");
    const double zn_s = std::sqrt(3.0) * 1.345;
    std::string blocks[2];
    int k = 0;
    for (const char* f : {"zn_site.pdb", "zn_site.mmcif"}) {
        const program_run r =
            run_command(d, cluster_cmd((data_dir / f).string() + " --absorber 201 --radius 5"));
        ASSERT_EQ(r.status, 0) << f << r.err;
        EXPECT_NE(r.err.find("alternative locations: the first of each is taken"),
                  std::string::npos)
            << r.err;
        const auto out = lines_of(r.out);
        ASSERT_EQ(out.size(), 7u) << r.out;
        EXPECT_EQ(out[0], "6");
        EXPECT_EQ(out[1], "     0.00000     0.00000     0.00000   1  / Zn   0.0000");
        char s_line[80];
        std::snprintf(s_line, sizeof s_line, "   2  / S %9.4f", zn_s);
        for (int i = 2; i <= 5; ++i) EXPECT_NE(out[i].find(s_line), std::string::npos) << out[i];
        EXPECT_EQ(out[6], "     4.00000     0.00000     0.00000   3  / O    4.0000");
        blocks[k++] = r.out;
    }
    EXPECT_EQ(blocks[0], blocks[1]);
}

// korva's run ended normally with a signal table and its four plot files, free of NaN.
void expect_spectrum(const fs::path& dir, const std::string& prefix, const std::string& out) {
    EXPECT_NE(out.find("FOURIER TRANSFORM PLOT DONE"), std::string::npos) << out;
    for (const char* ext : {"dat", "sig", "chi", "fou"})
        EXPECT_TRUE(fs::exists(dir / (prefix + "_kor." + ext))) << prefix << ext;
    EXPECT_EQ(test::non_finite_plot_line(dir), "");
}

TEST(cluster_run, fcc_copper_from_cif_to_spectrum) {
    const fs::path d = scratch_dir("cluster_e2e");
    fs::copy_file(data_dir / "cu_fcc.cif", d / "cu_fcc.cif");
    const program_run c = run_command(
        d, cluster_cmd("cu_fcc.cif --absorber Cu1 --radius 3 --deck deck.in --psgen cu.psgen"));
    ASSERT_EQ(c.status, 0) << c.err;
    // The psgen input: the self-consistent model on the deck's atoms, a Cu type per phase set,
    // and the Cu K edge of the X-ray Data Booklet.
    const std::string psgen = read_file(d / "cu.psgen");
    // The near-edge grid by default, the wide one with --grid exafs.
    const std::string near_edge = "\ngrid near-edge 5 100 " + std::to_string(NER_) + " ";
    for (const std::string line : {"\nmodel self-consistent\ndeck deck.in\n",
                                   "\ntype Cu   # set 1: the absorber (core hole)\n",
                                   "\ntype Cu   # set 2; nearest neighbour 2.5562 A\n",
                                   "\nedge K\n", "\nedge_ev 8979 ", near_edge.c_str()})
        EXPECT_NE(psgen.find(line), std::string::npos) << line << "\n" << psgen;
    const program_run x = run_command(
        d, cluster_cmd("cu_fcc.cif --absorber Cu1 --radius 3 --deck dx.in --psgen x.psgen "
                       "--grid exafs"));
    ASSERT_EQ(x.status, 0) << x.err;
    const std::string exafs = read_file(d / "x.psgen");
    EXPECT_NE(exafs.find("\nenergies 0.3 36 70 k\n"), std::string::npos) << exafs;
    EXPECT_EQ(exafs.find("grid"), std::string::npos) << exafs;
    EXPECT_DOUBLE_EQ(edge_energy(29, edge::k), 8979.0);
    EXPECT_DOUBLE_EQ(edge_energy(26, edge::l3), 706.8);
    EXPECT_EQ(edge_energy(92 + 1, edge::k), 0.0);
    EXPECT_EQ(edge_energy(8, edge::l3), 0.0);
    // The deck holds the printed atom block as prompts 4 and 5.
    const std::string deck = read_file(d / "deck.in");
    EXPECT_EQ(deck.rfind("cu_fcc.ps\ncu_fcc.xs\ncuk\n" + c.out, 0), 0u) << deck;

    const program_run ps = run_command(d, std::string("'") + KORVA_PSGEN_BINARY + "' cu.psgen");
    ASSERT_EQ(ps.status, 0) << ps.err;
    const program_run k = run_command(d, std::string("'") + KORVA_BINARY + "' < deck.in");
    ASSERT_EQ(k.status, 0) << k.out << k.err;
    expect_spectrum(d, "cuk", k.out);

    // The deck is named from the psgen input's folder, where korva-psgen runs; without a deck
    // there is no cluster potential, and nothing is written.
    fs::create_directory(d / "sub");
    const std::pair<const char*, const char*> paths[] = {
        {"--deck sub/d.in --psgen sub/p.in", "\ndeck d.in\n"},
        {"--deck d.in --psgen sub/q.in", "\ndeck ../d.in\n"}};
    for (const auto& [args, line] : paths) {
        const program_run r =
            run_command(d, cluster_cmd("cu_fcc.cif --absorber Cu1 --radius 3 ") + args);
        ASSERT_EQ(r.status, 0) << args << r.err;
        const std::string text =
            read_file(d / (std::string(args).substr(std::string(args).rfind(' ') + 1)));
        EXPECT_NE(text.find(line), std::string::npos) << args << "\n" << text;
    }
    const program_run alone =
        run_command(d, cluster_cmd("cu_fcc.cif --absorber Cu1 --radius 3 --psgen lone.in"));
    EXPECT_EQ(alone.status, 1);
    EXPECT_NE(alone.err.find("korva-cluster: --psgen needs --deck"), std::string::npos)
        << alone.err;
    EXPECT_EQ(alone.out, "");
    EXPECT_FALSE(fs::exists(d / "lone.in"));
}

TEST(cluster_run, copper_block_runs_the_cu_k_example) {
    // The cu-k deck with its 19 hand-written atoms replaced by the tool's first shell (13 atoms:
    // enough to show the block is read, and quick); its phase sets are the example's: the
    // absorber, then the other copper atoms.
    const fs::path d = scratch_dir("cluster_cuk");
    const fs::path ex = fs::path(KORVA_SOURCE_DIR) / "tests/data/cu";
    for (const char* f : {"deck.in", "cu.ps", "cu.xs"}) fs::copy_file(ex / f, d / f);
    const program_run c = run_command(
        d, cluster_cmd((data_dir / "cu_fcc.cif").string() + " --absorber Cu1 --radius 3"));
    ASSERT_EQ(c.status, 0) << c.err;
    const auto block = lines_of(c.out);
    ASSERT_EQ(block.size(), 14u);
    EXPECT_EQ(block[0], "13");
    const auto deck = lines_of(read_file(d / "deck.in"));
    ASSERT_EQ(deck[3], "19");
    std::string text;
    for (std::size_t i = 0; i < 3; ++i) text += deck[i] + "\n";
    text += c.out;
    for (std::size_t i = 4 + 19; i < deck.size(); ++i) text += deck[i] + "\n";
    write_file(d / "deck.in", text);
    const program_run k = run_command(d, std::string("'") + KORVA_BINARY + "' < deck.in");
    ASSERT_EQ(k.status, 0) << k.out << k.err;
    expect_spectrum(d, "cuk", k.out);
}

}  // namespace
}  // namespace korva::cluster
