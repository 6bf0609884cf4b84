// Whole runs of the example decks, compared with their stored expected standard output and
// plot files; only the CPU-time figures are ignored. With KORVA_UPDATE_EXPECTED=check in the
// environment each output is compared with its expected file number by number instead (the
// text must agree; the largest moves of the numbers are printed), and with
// KORVA_UPDATE_EXPECTED=1 the expected files are then rewritten (inspect them before
// committing).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <regex>
#include <sstream>

#include "reference/solver.hpp"
#include "support/expected_files.hpp"
#include "support/number_compare.hpp"
#include "support/run_program.hpp"

namespace korva {
namespace {

namespace fs = std::filesystem;
using test::mask_cpu;
using test::read_file;

const fs::path examples = fs::path(KORVA_SOURCE_DIR) / "examples";

// The program itself, on the deck and data of the example only, in a fresh directory.
test::program_run run_example(const std::string& name, const std::string& tag) {
    const fs::path dir = test::scratch_dir("example_" + name + tag);
    test::copy_deck_and_data(examples / name, dir);
    return test::run_in(dir, read_file(dir / "deck.in"));
}

// The same run inside this process, with options the program itself never takes.
test::program_run run_example(const std::string& name, const std::string& tag,
                              const run_options& opt) {
    const fs::path dir = test::scratch_dir("example_" + name + tag);
    test::copy_deck_and_data(examples / name, dir);
    return test::run_inside(dir, read_file(dir / "deck.in"), opt);
}

void rewrite_expected(const fs::path& expected, const test::program_run& r) {
    fs::create_directories(expected);
    for (const auto& entry : fs::directory_iterator(expected)) fs::remove(entry.path());
    test::write_file(expected / "stdout.txt", r.out);
    for (const fs::path& p : test::plot_files(r.dir)) fs::copy_file(p, expected / p.filename());
}

void compare_with_expected(const std::string& name, const test::program_run& r) {
    test::compare_with_expected(examples / name / "expected", r);
}

bool updating() {
    return std::getenv("KORVA_UPDATE_EXPECTED") != nullptr;
}

bool only_checking() {
    const char* u = std::getenv("KORVA_UPDATE_EXPECTED");
    return u && std::string(u) == "check";
}

// Each output of the run against its expected file, number by number: the text must agree.
void check_numbers(const fs::path& expected, const test::program_run& r) {
    std::vector<std::pair<std::string, std::string>> files{{"stdout.txt", test::mask_cpu(r.out)}};
    for (const fs::path& p : test::plot_files(r.dir))
        files.emplace_back(p.filename().string(), read_file(p));
    for (const auto& [name, now] : files) {
        if (!fs::exists(expected / name)) {
            std::cout << "[ measured ] " << name << ": new\n";
            continue;
        }
        std::string before = read_file(expected / name);
        if (name == "stdout.txt") before = test::mask_cpu(before);
        const test::number_changes c = test::compare_numbers(before, now);
        EXPECT_TRUE(c.same_text) << name << ": " << test::describe(c);
        std::cout << "[ measured ] " << expected.parent_path().filename().string() << "/" << name
                  << ": " << test::describe(c) << '\n';
    }
}

// What a run says of its points: the Xtot column of the signal table and the levels (Ni) of
// each progress line.
struct point_figures {
    std::vector<double> xtot;
    std::vector<int> levels;
};

point_figures figures_of(const std::string& out) {
    point_figures f;
    const std::regex progress(R"(Ni= *([0-9]+))");
    for (auto it = std::sregex_iterator(out.begin(), out.end(), progress);
         it != std::sregex_iterator(); ++it)
        f.levels.push_back(std::stoi((*it)[1]));
    std::istringstream in(out.substr(std::min(out.find("E(eV)   K (1/A)       Xtot"), out.size())));
    std::string line;
    std::getline(in, line);  // the heading
    std::getline(in, line);  // the blank line after it
    while (std::getline(in, line)) {
        std::istringstream v(line);
        double e, k, x;
        if (!(v >> e >> k >> x)) break;
        f.xtot.push_back(x);
    }
    return f;
}

// The signal plot file's values (ESP 0: Xtot itself, in full single precision).
std::vector<double> dat_values(const fs::path& file) {
    std::vector<double> x;
    std::istringstream in(read_file(file));
    for (std::string line; std::getline(in, line);) {
        std::istringstream v(line);
        double k, y;
        std::string rest;
        if (v >> k >> y && !(v >> rest)) x.push_back(y);
    }
    return x;
}

// The two-sided reference against the program: Xtot within 1e-5 of the largest |Xtot| (and
// `printed`, the resolution Xtot was read with), the levels of every point within one.
void compare_figures(const point_figures& want, const point_figures& got, double printed) {
    ASSERT_EQ(got.xtot.size(), want.xtot.size());
    ASSERT_EQ(got.levels.size(), want.levels.size());
    ASSERT_FALSE(want.xtot.empty());
    double top = 0, worst = 0;
    for (double x : want.xtot) top = std::max(top, std::fabs(x));
    for (std::size_t e = 0; e < want.xtot.size(); ++e) {
        EXPECT_LE(std::fabs(got.xtot[e] - want.xtot[e]), 1e-5 * top + printed) << "point " << e + 1;
        worst = std::max(worst, std::fabs(got.xtot[e] - want.xtot[e]) / top);
    }
    int level_moves = 0;
    for (std::size_t e = 0; e < want.levels.size(); ++e) {
        EXPECT_LE(std::abs(got.levels[e] - want.levels[e]), 1) << "point " << e + 1;
        level_moves += got.levels[e] != want.levels[e];
    }
    std::cout << "[ measured ] two-sided reference against the program: largest |dXtot| " << worst
              << " of the largest |Xtot|, levels moved at " << level_moves << " of "
              << want.levels.size() << " points\n";
}

// An example's reference run against its expected output: Xtot from the table (six decimals).
void compare_with_reference(const std::string& expected_out, const test::program_run& r) {
    ASSERT_EQ(r.status, 0) << r.err;
    compare_figures(figures_of(expected_out), figures_of(r.out), 1e-6);
}

class Example : public ::testing::TestWithParam<std::string> {};

// The program as a user runs it (threads from OMP_NUM_THREADS, here the machine's default).
TEST_P(Example, WritesItsExpectedOutputAndPlots) {
    const test::program_run r = run_example(GetParam(), "");
    if (updating()) {
        ASSERT_EQ(r.status, 0) << r.err;
        check_numbers(examples / GetParam() / "expected", r);
        if (only_checking() || HasFailure()) GTEST_SKIP() << "nothing rewritten";
        rewrite_expected(examples / GetParam() / "expected", r);
        GTEST_SKIP() << "expected files of " << GetParam() << " rewritten";
    }
    compare_with_expected(GetParam(), r);
}

// The two-sided reference solver (the full matrix through row lists, one start at a time) in
// the place of the streaming one gives the same spectrum within single-precision rounding; the
// streaming one on one, two and three threads, and teams of two and three members that share
// the points as MPI ranks do, write the same bytes.
TEST_P(Example, ReferenceSolverAndEveryThreadCountAgree) {
    if (updating()) GTEST_SKIP();
    {
        SCOPED_TRACE("reference solver");
        run_options opt;
        opt.threads = 1;
        opt.solver = reference::row_list_solver();
        compare_with_reference(read_file(examples / GetParam() / "expected" / "stdout.txt"),
                               run_example(GetParam(), "_ref", opt));
    }
    for (int threads : {1, 2, 3}) {
        SCOPED_TRACE(std::to_string(threads) + " thread(s)");
        run_options opt;
        opt.threads = threads;
        compare_with_expected(GetParam(), run_example(GetParam(), "_t", opt));
    }
    for (int members : {2, 3}) {
        SCOPED_TRACE(std::to_string(members) + " members");
        run_options opt;
        opt.threads = 1;
        opt.members = members;
        compare_with_expected(GetParam(), run_example(GetParam(), "_m", opt));
    }
}

// Random clusters of 6 to 10 copper atoms (no two closer than 2.2 A, so azimuths of every
// kind), EPS 1e-4 as in the examples: the program against the two-sided reference solver, Xtot
// from the signal plot files.
TEST(RandomClusters, TwoSidedReferenceSolverGivesTheSameSpectrum) {
    const fs::path copper = fs::path(KORVA_SOURCE_DIR) / "tests" / "data" / "cu";
    std::mt19937 gen(31);
    std::uniform_real_distribution<double> u(-3.5, 3.5);
    for (int cluster = 0; cluster < 3; ++cluster) {
        std::vector<std::array<double, 3>> atoms{{0.0, 0.0, 0.0}};
        while (atoms.size() < 6 + 2 * static_cast<std::size_t>(cluster)) {
            const std::array<double, 3> a{u(gen), u(gen), u(gen)};
            bool ok = true;
            for (const auto& b : atoms)
                ok = ok && std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]) >= 2.2;
            if (ok) atoms.push_back(a);
        }
        std::ostringstream deck;
        deck.precision(8);
        deck << "cu.ps\ncu.xs\nrnd\n" << atoms.size() << '\n';
        for (std::size_t i = 0; i < atoms.size(); ++i)
            deck << atoms[i][0] << ' ' << atoms[i][1] << ' ' << atoms[i][2]
                 << (i == 0 ? " 1\n" : " 2\n");
        deck << "0\n0.002 3 0.0001 40\n1 0 0 8979 1\n0\n1 2.5 0.05\n0\n";
        std::vector<test::program_run> runs;
        for (bool reference : {false, true}) {
            const fs::path dir =
                test::scratch_dir("random_" + std::to_string(cluster) + (reference ? "_ref" : ""));
            for (const char* f : {"cu.ps", "cu.xs"}) fs::copy_file(copper / f, dir / f);
            run_options opt;
            opt.threads = 2;
            if (reference) opt.solver = reference::row_list_solver();
            runs.push_back(test::run_inside(dir, deck.str(), opt));
        }
        SCOPED_TRACE("cluster " + std::to_string(cluster));
        ASSERT_EQ(runs[0].status, 0) << runs[0].err;
        ASSERT_EQ(runs[1].status, 0) << runs[1].err;
        point_figures want = figures_of(runs[0].out), got = figures_of(runs[1].out);
        want.xtot = dat_values(runs[0].dir / "rnd_kor.dat");
        got.xtot = dat_values(runs[1].dir / "rnd_kor.dat");
        compare_figures(want, got, 0.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, Example,
                         ::testing::Values("cu-k", "two-types", "planar", "small"),
                         [](const auto& info) {
                             std::string s = info.param;
                             for (char& c : s)
                                 if (c == '-') c = '_';
                             return s;
                         });

}  // namespace
}  // namespace korva
