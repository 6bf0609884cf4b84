// Polarised spectra: the recursion from a polarisation's combination of the absorber's p
// channels against a dense inverse of the assembled matrix (Eigen, double precision), and the
// symmetries every polarised spectrum must have.
#include "driver/polarisation.hpp"

#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <array>
#include <cmath>
#include <complex>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/capacities.hpp"
#include "recursion/haykor.hpp"
#include "support/run_program.hpp"

namespace korva {
namespace {

namespace fs = std::filesystem;

const fs::path cu = fs::path(KORVA_SOURCE_DIR) / "tests" / "data" / "cu";

// The matrix of point 1 of the copper example (no |m| cut-off, every level) and, for each of
// x, y, z and a general direction of the cluster's frame, the recursion's value and the dense
// inverse's conj(c)^T A^-1 c.
TEST(Polarisation, RecursionFromACombinationMatchesTheDenseInverse) {
    const fs::path dir = test::scratch_dir("polar_dense");
    test::copy_deck_and_data(cu, dir);
    std::string deck = test::read_file(dir / "deck.in");
    deck.replace(deck.find("0.002 3 0.0001 150"), 18, "0.002 20 0 4");
    deck.replace(deck.find("3 11 0.05"), 9, "0 2 0.05");
    run_options opt;
    opt.threads = 1;
    run_observer obs;
    opt.observer = &obs;
    const vec3 dirs[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0.48f, -0.6f, 0.64f}};
    double worst = 0, scale = 0;
    obs.matrix_hook = [&](const tile_store& g, int e) {
        if (e != 1) return;
        const int n = g.order();
        Eigen::MatrixXcd a(n, n);
        for (int i = 1; i <= n; ++i)
            for (int j = 1; j <= n; ++j) a(i - 1, j - 1) = std::complex<double>(g.gt(i, j));
        const Eigen::PartialPivLU<Eigen::MatrixXcd> lu(a);
        for (const vec3& v : dirs) {
            const recursion_start st = polarised_start(v, 20);
            Eigen::VectorXcd c = Eigen::VectorXcd::Zero(n), d = c;
            for (const auto& [i, x] : st.right) c(i - 1) = std::complex<double>(x);
            for (const auto& [i, x] : st.left) d(i - 1) = std::complex<double>(x);
            const std::complex<double> dense = d.transpose() * lu.solve(c);
            std::vector<std::string> lines;
            const haykor_result h = haykor(g, {st}, MINLEV_, MAXLEV_, 0.0f, 0, lines, 1).at(0);
            worst = std::max(worst, std::abs(std::complex<double>(h.s) - dense));
            scale = std::max(scale, std::abs(dense));
        }
    };
    const auto r = test::run_inside(dir, deck, opt);
    ASSERT_EQ(r.status, 0) << r.out;
    std::cout << "[ measured ] recursion vs dense inverse: worst " << worst << " of " << scale
              << '\n';
    EXPECT_LT(worst, 1e-5 * scale);
}

// The signal table of a run of `deck` (in a copy of `example`'s folder) for the polarisations
// `pol` (deck frame, unit length): one row per point, one column per polarisation (or the
// isotropic Xtot), and the largest |Xtot|.
struct table {
    std::vector<std::vector<double>> rows;
    double largest = 0;
};

table run_table(const fs::path& folder, const std::string& deck, const std::vector<vec3>& pol) {
    const fs::path dir = test::scratch_dir("polar_run");
    test::copy_deck_and_data(folder, dir);
    run_options opt;
    opt.polarisations = pol;
    const test::program_run r = test::run_inside(dir, deck, opt);
    EXPECT_EQ(r.status, 0) << r.err;
    table t;
    std::istringstream out(r.out.substr(r.out.find("E(eV)   K (1/A)       Xtot")));
    std::string line;
    std::getline(out, line);
    std::getline(out, line);
    while (std::getline(out, line)) {
        std::istringstream f(line);
        double ev, k, x;
        if (!(f >> ev >> k)) break;
        std::vector<double> row;
        while (f >> x) row.push_back(x), t.largest = std::max(t.largest, std::fabs(x));
        t.rows.push_back(row);
    }
    return t;
}

// The largest difference between columns a and b of one table or of two, relative to the
// largest |Xtot|.
double worst(const table& t, std::size_t a, const table& u, std::size_t b) {
    double w = 0;
    for (std::size_t e = 0; e < t.rows.size(); ++e)
        w = std::max(w, std::fabs(t.rows[e][a] - u.rows[e][b]));
    return w / t.largest;
}

// Every recursion to its last level (the sums below hold for converged values), no |m| cut-off
// (the cut-off of the cluster's frame is no symmetry of the cluster), at most 20 points.
std::string converged_deck(const std::string& example) {
    std::string deck =
        test::read_file(fs::path(KORVA_SOURCE_DIR) / "examples" / example / "deck.in");
    std::istringstream in(deck);
    std::string out, line;
    int n = 0, nat = 0;
    while (std::getline(in, line)) {
        ++n;
        if (n == 4) nat = std::stoi(line);
        if (nat > 0 && n == 6 + nat) {  // prompt 7: EPS, its third value, to 0
            std::istringstream f(line);
            std::string toll, mmax, eps, nep;
            f >> toll >> mmax >> eps >> nep;
            line = toll + " 20 0 20";
        }
        if (nat > 0 && n == 9 + nat) line = "0 20 0.05";  // prompt 11: the points' whole k range
        out += line + '\n';
    }
    return out;
}

// The sum rule on every example with lcore = 0: the mean of x, y and z is the isotropic
// spectrum. The cubic copper cluster gives one signal for every direction; the planar
// molecule's in-plane and out-of-plane signals differ.
TEST(Polarisation, SumRuleCubicSymmetryAndDichroism) {
    const vec3 x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1};
    const real r3 = 1.0f / std::sqrt(3.0f);
    const fs::path examples = fs::path(KORVA_SOURCE_DIR) / "examples";
    for (const std::string ex : {"cu-k", "planar", "small"}) {
        const std::string deck = converged_deck(examples / ex);
        const table iso = run_table(examples / ex, deck, {});
        const table pol = run_table(examples / ex, deck, {x, y, z, {r3, r3, r3}});
        table mean = pol;
        for (auto& row : mean.rows) row[0] = (row[0] + row[1] + row[2]) / 3.0;
        const double rule = worst(mean, 0, iso, 0);
        std::cout << "[ measured ] " << ex << ": sum rule " << rule;
        EXPECT_LT(rule, 1e-5) << ex;
        if (ex == "cu-k") {
            // Single-precision propagators couple m = 0 and m = +-1 at a few 1e-6, which the
            // normalisation (Xtot from the value minus 1) raises to 1e-4 of max |Xtot|.
            double spread = 0;
            for (std::size_t c = 1; c < 4; ++c) spread = std::max(spread, worst(pol, 0, pol, c));
            std::cout << ", x y z (1,1,1) spread " << spread;
            EXPECT_LT(spread, 2e-4);
        }
        if (ex == "planar") {
            // The molecule lies in the xz plane: y is out of plane.
            const double dichroism = worst(pol, 0, pol, 1);
            std::cout << ", in-plane against out-of-plane " << dichroism;
            EXPECT_GT(dichroism, 0.1);
        }
        std::cout << '\n';
    }
}

// A cluster without symmetry turned by a random rotation, together with its polarisation
// vectors: the polarised spectra stay (the isotropic one moves by 9e-6 of max |Xtot| under the
// same rotation: the single-precision geometry and propagators).
TEST(Polarisation, RotatingClusterAndVectorsTogetherChangesNothing) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-4.0, 4.0);
    std::vector<std::array<double, 3>> atoms{{0, 0, 0}};
    while (atoms.size() < 8) {
        const std::array<double, 3> p{u(rng), u(rng), u(rng)};
        bool apart = std::hypot(p[0], p[1], p[2]) < 4.5;
        for (const auto& q : atoms)
            apart = apart && std::hypot(p[0] - q[0], p[1] - q[1], p[2] - q[2]) > 2.3;
        if (apart) atoms.push_back(p);
    }
    // A random rotation from a random unit quaternion.
    std::normal_distribution<double> g;
    double q[4] = {g(rng), g(rng), g(rng), g(rng)};
    const double nq = std::hypot(std::hypot(q[0], q[1]), std::hypot(q[2], q[3]));
    for (double& v : q) v /= nq;
    const auto [a, b, c, d] = q;
    const double rot[3][3] = {
        {a * a + b * b - c * c - d * d, 2 * (b * c - a * d), 2 * (b * d + a * c)},
        {2 * (b * c + a * d), a * a - b * b + c * c - d * d, 2 * (c * d - a * b)},
        {2 * (b * d - a * c), 2 * (c * d + a * b), a * a - b * b - c * c + d * d}};
    const auto turn = [&](const std::array<double, 3>& v) {
        std::array<double, 3> w{};
        for (int i = 0; i < 3; ++i) w[i] = rot[i][0] * v[0] + rot[i][1] * v[1] + rot[i][2] * v[2];
        return w;
    };
    const auto deck = [&](bool turned) {
        std::ostringstream s;
        s.precision(9);
        s << "cu.ps\ncu.xs\nrot\n" << atoms.size() << '\n';
        for (std::size_t i = 0; i < atoms.size(); ++i) {
            const auto p = turned ? turn(atoms[i]) : atoms[i];
            s << p[0] << ' ' << p[1] << ' ' << p[2] << (i == 0 ? " 1\n" : " 2\n");
        }
        s << "0\n0.002 20 0 20\n2 1 0 8979 1\n2\n3 11 0.05\n0\n";
        return s.str();
    };
    const std::array<double, 3> e1{0.6, 0.0, 0.8}, e2{0.36, -0.48, 0.8};
    const auto unit = [](const std::array<double, 3>& v) {
        return vec3{static_cast<real>(v[0]), static_cast<real>(v[1]), static_cast<real>(v[2])};
    };
    const table before = run_table(cu, deck(false), {unit(e1), unit(e2)});
    const table after = run_table(cu, deck(true), {unit(turn(e1)), unit(turn(e2))});
    const double w = std::max(worst(before, 0, after, 0), worst(before, 1, after, 1));
    std::cout << "[ measured ] turned cluster and vectors: " << w << " of max |Xtot|, anisotropy "
              << worst(before, 0, before, 1) << '\n';
    EXPECT_LT(w, 5e-5);
    EXPECT_GT(worst(before, 0, before, 1), 0.1);  // the cluster is far from isotropic
}

}  // namespace
}  // namespace korva
