// Physics the whole chain must reproduce, on the copper data of the default example.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>
#include <sstream>
#include <vector>

#include "support/run_program.hpp"

namespace korva {
namespace {

namespace fs = std::filesystem;

const fs::path cu = fs::path(KORVA_SOURCE_DIR) / "tests" / "data" / "cu";

struct atom {
    double x, y, z;
};

// Xtot of every energy point, from the signal table of a run of `atoms` (absorber first).
std::vector<double> signal(const std::string& tag, const std::vector<atom>& atoms,
                           const std::string& controls) {
    const fs::path dir = test::scratch_dir(tag);
    fs::copy_file(cu / "cu.ps", dir / "cu.ps");
    fs::copy_file(cu / "cu.xs", dir / "cu.xs");
    std::ostringstream deck;
    deck.precision(10);
    deck << "cu.ps\ncu.xs\nphy\n" << atoms.size() << '\n';
    // The absorber is phase set 1 (the atom with the core hole), every other atom set 2.
    for (std::size_t i = 0; i < atoms.size(); ++i)
        deck << atoms[i].x << ' ' << atoms[i].y << ' ' << atoms[i].z << (i == 0 ? " 1\n" : " 2\n");
    deck << "0\n" << controls << "\n2 0 0 8979 1\n0\n1 2.5 0.05\n0\n";
    const test::program_run r = test::run_in(dir, deck.str());
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<double> xtot;
    std::istringstream out(r.out);
    std::string line;
    bool table = false;
    while (std::getline(out, line)) {
        if (line.find("E(eV)   K (1/A)       Xtot") != std::string::npos) {
            table = true;
            std::getline(out, line);  // blank line after the heading
            continue;
        }
        if (!table) continue;
        std::istringstream f(line);
        double ev, k, x;
        if (!(f >> ev >> k >> x)) break;
        xtot.push_back(x);
    }
    return xtot;
}

double rms(const std::vector<double>& v, std::size_t from) {
    double s = 0;
    for (std::size_t i = from; i < v.size(); ++i) s += v[i] * v[i];
    return std::sqrt(s / static_cast<double>(v.size() - from));
}

TEST(Physics, DimerSignalFallsOffWithDistance) {
    // Single scattering: chi ~ |f| exp(-2R/lambda) / (k R^2).
    std::vector<double> amp;
    for (double r : {2.0, 4.0, 8.0}) {
        const auto x =
            signal("dimer" + std::to_string(int(r)), {{0, 0, 0}, {0, 0, r}}, "0.002 3 0.0001 150");
        ASSERT_EQ(x.size(), 70u);
        amp.push_back(rms(x, 20));  // above k of about 4 1/A, where single scattering rules
    }
    // Doubling R divides by about 4 (1/R^2) and, with the damping, by more; multiple
    // scattering in the short dimer blurs the first ratio a little.
    EXPECT_LT(amp[1], amp[0] / 3.0);
    EXPECT_LT(amp[2], amp[1] / 3.0);
    // ...but not by orders of magnitude more than the damping of the mean free path allows.
    EXPECT_GT(amp[1], amp[0] / 400.0);
    std::cout << "[ measured ] dimer rms signal at 2, 4, 8 A: " << amp[0] << ' ' << amp[1] << ' '
              << amp[2] << '\n';
}

TEST(Physics, LoneAtomFarFromOthersHasNoSignal) {
    const auto x =
        signal("far", {{0, 0, 0}, {0, 0, 40}, {2.5, 0, 40}, {0, 2.5, 40}}, "0.002 3 0.0001 150");
    ASSERT_EQ(x.size(), 70u);
    for (std::size_t e = 0; e < x.size(); ++e)
        EXPECT_LT(std::fabs(x[e]), 2e-3) << "point " << e + 1;
}

TEST(Physics, SignalDoesNotDependOnTheOrderOfTheNeighbours) {
    // Seven atoms at random, no two closer than 2 A. Reordering the atoms after the absorber
    // moves the z axis and the reference direction of the cluster frame and changes which
    // builder serves which bond; with every |m| kept the spectrum must stay the same.
    std::mt19937 gen(2024);
    std::uniform_real_distribution<double> u(-3.0, 3.0);
    std::vector<atom> atoms = {{0, 0, 0}};
    while (atoms.size() < 7) {
        const atom a{u(gen), u(gen), u(gen)};
        bool ok = true;
        for (const atom& b : atoms) ok = ok && std::hypot(a.x - b.x, a.y - b.y, a.z - b.z) >= 2.0;
        if (ok) atoms.push_back(a);
    }
    const std::string controls = "0.0002 20 1e-7 12";
    const auto ref = signal("order0", atoms, controls);
    ASSERT_EQ(ref.size(), 12u);
    std::vector<atom> shuffled = atoms;
    std::reverse(shuffled.begin() + 1, shuffled.end());
    std::rotate(shuffled.begin() + 1, shuffled.begin() + 3, shuffled.end());
    const auto other = signal("order1", shuffled, controls);
    ASSERT_EQ(other.size(), ref.size());
    double worst = 0;
    for (std::size_t e = 0; e < ref.size(); ++e) {
        EXPECT_NEAR(other[e], ref[e], 1e-4) << "point " << e + 1;
        worst = std::max(worst, std::fabs(other[e] - ref[e]));
    }
    std::cout << "[ measured ] frame invariance: worst |dXtot| = " << worst << '\n';
}

// The data lines (x, y) of a plot file.
std::vector<std::pair<double, double>> plot_points(const fs::path& file) {
    std::vector<std::pair<double, double>> pts;
    std::istringstream in(test::read_file(file));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream f(line);
        double x, y;
        std::string rest;
        if (f >> x >> y && !(f >> rest)) pts.emplace_back(x, y);
    }
    return pts;
}

// The magnitude of the Fourier transform of k^2 chi(k) of the default example peaks a little
// below the first-shell distance 2.55 A (the phase shifts of absorber and back-scatterer fall
// with k), and the second shell 3.61 A shows as the next peak, shifted by about as much.
TEST(Physics, CopperFourierPeaksBelowTheShellDistances) {
    const fs::path dir = test::scratch_dir("cu-fourier");
    for (const char* f : {"cu.ps", "cu.xs", "deck.in"}) fs::copy_file(cu / f, dir / f);
    const test::program_run r = test::run_in(dir, test::read_file(cu / "deck.in"));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto pts = plot_points(dir / "cuk_kor.fou");
    ASSERT_GE(pts.size(), 201u);
    const auto peak = [&](double from, double to) {
        std::pair<double, double> best{0, -1};
        for (const auto& p : pts)
            if (p.first >= from && p.first < to && p.second > best.second) best = p;
        return best;
    };
    const auto first = peak(0.0, 8.0);
    EXPECT_LT(first.first, 2.55);
    EXPECT_GT(first.first, 2.55 - 0.5);
    const auto second = peak(first.first + 0.5, 4.0);
    EXPECT_LT(second.first, 3.61);
    EXPECT_GT(second.first, 3.61 - 0.5);
    EXPECT_LT(second.second, first.second);
    std::cout << "[ measured ] cu-k Fourier peaks at " << first.first << " A (height "
              << first.second << ") and " << second.first << " A (height " << second.second
              << ")\n";
}

}  // namespace
}  // namespace korva
