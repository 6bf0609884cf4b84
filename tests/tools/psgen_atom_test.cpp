// The self-consistent LDA atom of korva-psgen against the NIST atomic reference data
// (S. Kotochigova, Z. H. Levine, E. L. Shirley, M. D. Stiles, C. W. Clark, "Atomic Reference Data
// for Electronic Structure Calculations", NIST SRD 141; Phys. Rev. A 55, 191 (1997)), against
// the Dirac energies of a point nucleus, and the checks of its input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <string>
#include <vector>

#include "atom_radial.hpp"
#include "atom_scf.hpp"
#include "elements.hpp"
#include "psgen_input.hpp"

namespace korva::psgen {
namespace {

// The tables give six decimals and a target accuracy of 1 microhartree: 2e-6 Ha leaves room for
// their rounding and ours.
constexpr double nist_tol = 2.0e-6;
// Uranium's parts of the energy run to 7e4 Ha: its Eenuc and Ekin differ from the table by
// 1.6e-5 Ha (2e-10 relative), the same with half the grid step; its total energy and
// eigenvalues agree to a few 1e-6.
constexpr double heavy_tol = 2.0e-5;

struct nist_atom {
    const char* symbol;
    const char* config;  // empty: the default ground state
    bool relativistic;
    double etot, ekin, ecoul, eenuc, exc;  // 0: not compared
    std::vector<std::pair<const char*, double>> eigen;
};

// Magnesium and its cation, all four columns compared (NIST SRD 141, 12Mg table, LDA and ScRLDA).
// He, Ne, Ar, Cu, Kr: LDA total energies and eigenvalues of the same tables; then the ScRLDA
// columns of these atoms and of uranium, every energy and eigenvalue.
const std::vector<nist_atom> nist = {
    {"Mg",
     "",
     false,
     -199.139406,
     198.541505,
     95.673290,
     -477.899149,
     -15.455051,
     {{"1s", -45.973167}, {"2s", -2.903746}, {"2p", -1.718970}, {"3s", -0.175427}}},
    {"Mg",
     "",
     true,
     -199.382839,
     199.215426,
     95.777042,
     -478.976612,
     -15.398695,
     {{"1s", -46.005065}, {"2s", -2.911715}, {"2p", -1.717249}, {"3s", -0.175634}}},
    {"Mg",
     "[Ne] 3s1",
     false,
     -198.843406,
     198.263199,
     91.895741,
     -473.740438,
     -15.261908,
     {{"1s", -46.312649}, {"2s", -3.238150}, {"2p", -2.052878}, {"3s", -0.422702}}},
    {"Mg",
     "[Ne] 3s1",
     true,
     -199.086483,
     198.936460,
     91.994997,
     -474.812511,
     -15.205429,
     {{"1s", -46.344989}, {"2s", -3.246530}, {"2p", -2.051547}, {"3s", -0.423234}}},
    {"He", "", false, -2.834836, 0, 0, 0, 0, {{"1s", -0.570425}}},
    {"Ne",
     "",
     false,
     -128.233481,
     0,
     0,
     0,
     0,
     {{"1s", -30.305855}, {"2s", -1.322809}, {"2p", -0.498034}}},
    {"Ar",
     "",
     false,
     -525.946195,
     0,
     0,
     0,
     0,
     {{"1s", -113.800134},
      {"2s", -10.794172},
      {"2p", -8.443439},
      {"3s", -0.883384},
      {"3p", -0.382330}}},
    {"Cu",
     "",
     false,
     -1637.785861,
     0,
     0,
     0,
     0,
     {{"1s", -320.788520},
      {"2s", -38.141310},
      {"2p", -33.481247},
      {"3s", -4.057453},
      {"3p", -2.609244},
      {"3d", -0.202272},
      {"4s", -0.172056}}},
    {"Kr",
     "",
     false,
     -2750.147940,
     0,
     0,
     0,
     0,
     {{"1s", -509.982989},
      {"2s", -66.285953},
      {"2p", -60.017328},
      {"3s", -9.315192},
      {"3p", -7.086634},
      {"3d", -3.074109},
      {"4s", -0.820574},
      {"4p", -0.346340}}},
    {"He", "", true, -2.834785, 2.767751, 1.996030, -6.625471, -0.973096, {{"1s", -0.570348}}},
    {"Ne",
     "",
     true,
     -128.336369,
     128.024308,
     65.767675,
     -310.449994,
     -11.678358,
     {{"1s", -30.315584}, {"2s", -1.326130}, {"2p", -0.497551}}},
    {"Ar",
     "",
     true,
     -527.516861,
     529.289796,
     232.039165,
     -1259.804890,
     -29.040931,
     {{"1s", -114.090739},
      {"2s", -10.862548},
      {"2p", -8.443407},
      {"3s", -0.890665},
      {"3p", -0.381755}}},
    {"Cu",
     "",
     true,
     -1650.858424,
     1671.934488,
     717.231695,
     -3976.573203,
     -63.451404,
     {{"1s", -323.674291},
      {"2s", -38.883635},
      {"2p", -33.635392},
      {"3s", -4.183908},
      {"3p", -2.643317},
      {"3d", -0.196202},
      {"4s", -0.178040}}},
    {"Kr",
     "",
     true,
     -2783.987300,
     2841.145380,
     1180.932299,
     -6715.990502,
     -90.074477,
     {{"1s", -517.653657},
      {"2s", -68.244623},
      {"2p", -60.457306},
      {"3s", -9.643676},
      {"3p", -7.154156},
      {"3d", -3.005055},
      {"4s", -0.851681},
      {"4p", -0.345161}}},
    {"U",
     "",
     true,
     -27899.641656,
     32712.794654,
     10394.448135,
     -70612.383890,
     -394.500555,
     {{"1s", -4234.557545},
      {"2s", -792.373880},
      {"2p", -659.140870},
      {"3s", -200.210831},
      {"3p", -163.188263},
      {"3d", -131.090673},
      {"4s", -51.001789},
      {"4p", -38.892032},
      {"4d", -26.705640},
      {"4f", -13.729240},
      {"5s", -11.350493},
      {"5p", -7.590528},
      {"5d", -3.638317},
      {"5f", -0.133390},
      {"6s", -1.757867},
      {"6p", -0.856604},
      {"6d", -0.091405},
      {"7s", -0.160828}}},
};

double eigenvalue(const atom_solution& a, const std::string& label) {
    for (const auto& o : a.orbitals)
        if (subshell_label(o.n, o.l) == label) return o.state.e;
    ADD_FAILURE() << "no orbital " << label;
    return 0.0;
}

TEST(psgen_atom, nist_energies_and_eigenvalues) {
    for (const auto& ref : nist) {
        const int z = parse_element(ref.symbol);
        const configuration c = *ref.config ? parse_configuration(ref.config, z) : ground_state(z);
        atom_options o;
        o.relativistic = ref.relativistic;
        const atom_solution a = solve_atom(z, c, o);
        const std::string what =
            std::string(ref.symbol) + " " + ref.config + (ref.relativistic ? " ScRLDA" : " LDA");
        const double tol = z > 36 ? heavy_tol : nist_tol;
        double worst_e = 0.0, worst_eig = 0.0;
        const auto check = [&](double got, double want, double& worst, const char* part) {
            EXPECT_NEAR(got, want, tol) << what << " " << part;
            worst = std::max(worst, std::abs(got - want));
        };
        check(a.energy.total, ref.etot, worst_e, "Etot");
        if (ref.ekin != 0.0) {
            check(a.energy.kinetic, ref.ekin, worst_e, "Ekin");
            check(a.energy.coulomb, ref.ecoul, worst_e, "Ecoul");
            check(a.energy.enuc, ref.eenuc, worst_e, "Eenuc");
            check(a.energy.xc, ref.exc, worst_e, "Exc");
        }
        for (const auto& [label, e] : ref.eigen) check(eigenvalue(a, label), e, worst_eig, label);
        std::cout << "[ measured ] NIST " << what << ": Etot " << a.energy.total
                  << " Ha, worst |error| of the energies " << worst_e << " Ha, of "
                  << ref.eigen.size() << " eigenvalues " << worst_eig << " Ha\n";
    }
}

// LDA total energies of the NIST tables across the periodic table, the open d and f shells and
// the ground states that differ from the Madelung filling among them (Cr, Nb, Pd, Ce, Gd, Pt, U).
TEST(psgen_atom, nist_total_energies_across_the_table) {
    const std::vector<std::pair<int, double>> etot = {
        {1, -0.445671},      {3, -7.335195},      {7, -54.025016},     {19, -598.200590},
        {24, -1042.030238},  {26, -1261.093056},  {33, -2232.534978},  {41, -3751.196175},
        {46, -4935.368406},  {53, -6914.773092},  {58, -8563.360285},  {64, -10816.653877},
        {74, -15283.448822}, {78, -17326.576377}, {86, -21861.346869}, {92, -25658.417889}};
    double worst = 0.0;
    for (const auto& [z, e] : etot) {
        const double got = solve_atom(z, ground_state(z)).energy.total;
        EXPECT_NEAR(got, e, nist_tol) << "Z=" << z;
        worst = std::max(worst, std::abs(got - e));
    }
    std::cout << "[ measured ] NIST LDA total energies of " << etot.size()
              << " atoms: worst |error| " << worst << " Ha\n";
}

// The tables' LDA is Slater exchange with the VWN fit to Ceperley-Alder (libxc's VWN, "VWN5");
// the RPA parametrisation of the same paper misses magnesium by millihartrees.
TEST(psgen_atom, vwn5_not_rpa_is_the_tables_correlation) {
    atom_options o;
    o.xc = vwn_variant::vwn_rpa;
    const double e_rpa = solve_atom(12, ground_state(12), o).energy.total;
    EXPECT_GT(std::abs(e_rpa - -199.139406), 1.0e-2);
}

// Scalar-relativistic s states of a point nucleus are the Dirac kappa = -1 states exactly:
// E = c^2 (1/sqrt(1 + (Z/c)^2/(n - 1 + g)^2) - 1), g = sqrt(1 - (Z/c)^2).
TEST(psgen_atom, scalar_relativistic_s_states_are_dirac) {
    const double c = light_speed;
    for (const double z : {2.0, 29.0, 92.0}) {  // H 3s reaches past the 50 Bohr grid
        const radial_grid g = atom_grid(z);
        std::vector<double> v(g.size());
        for (int i = 0; i < g.size(); ++i) v[i] = -z / g.r[i];
        for (int n = 1; n <= 3; ++n) {
            const double gam = std::sqrt(1.0 - z * z / (c * c));
            const double dirac =
                c * c *
                (1.0 / std::sqrt(1.0 + z * z / (c * c * (n - 1 + gam) * (n - 1 + gam))) - 1.0);
            const double e = solve_bound(g, v, z, n, 0, true, 0.0).e;
            EXPECT_NEAR(e, dirac, 1.0e-11 * z * z) << "Z=" << z << " n=" << n;
        }
    }
}

TEST(psgen_atom, input_checks) {
    EXPECT_EQ(parse_element("Cu"), 29);
    EXPECT_EQ(parse_element("92"), 92);
    for (const char* bad : {"Xx", "0", "93", "cu", "", "1e2"})
        EXPECT_THROW(parse_element(bad), psgen_error) << bad;
    EXPECT_EQ(configuration_text(ground_state(29)), "1s2 2s2 2p6 3s2 3p6 3d10 4s1");
    EXPECT_EQ(configuration_text(parse_configuration("[Ar] 4s1 3d9.5", 29)),
              "1s2 2s2 2p6 3s2 3p6 3d9.5 4s1");
    for (const char* bad : {"1s3", "2d1", "1s2 1s1", "[Ar] 3d10 4s2", "[Xy] 1s1", "4s-1", "1s",
                            "3d2 [He]", "1sx", "0s1"})
        EXPECT_THROW(parse_configuration(bad, 29), psgen_error) << bad;
    EXPECT_THROW(parse_configuration("[Ar] 3d10 4s2", 29), psgen_error);  // 30 electrons
}

}  // namespace
}  // namespace korva::psgen
