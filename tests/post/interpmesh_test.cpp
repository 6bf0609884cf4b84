#include "post/interpmesh.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "common/capacities.hpp"
#include "common/errors.hpp"
#include "common/listread.hpp"
#include "common/textio.hpp"
#include "support/plot_check.hpp"

namespace korva {

namespace {

const std::string prompt11 = "  DAI KMIN K MAX, DK SPETTRO INTERPOLATO\n";
const std::string prompt12 = "  DISTANZA E0 TEORICO DA SOGLIA SPERIMENTALE\n";
const std::string generated = "  >>>>   INTERPOLATION MESH GENERATED   <<<<\n";
constexpr real sentinel = -777.0f;
constexpr int guard = 8;  // entries past NPI_ that must stay untouched

// Energies (Rydberg) whose k on the mesh's scale, sqrt(13.6 e 0.263), runs k0, k0 + step, ..
std::vector<real> energies_for_k(int n, real k0, real step) {
    std::vector<real> eph(NER_, 0.0f);
    for (int i = 0; i < n; ++i) {
        const real k = k0 + step * static_cast<real>(i);
        eph[i] = k * k / (13.6f * 0.263f);
    }
    return eph;
}

struct mesh_run {
    std::ostringstream out;
    real kmin = 0.0f, kmax = 0.0f, dk = 0.0f, de0 = 0.0f;
    std::vector<real> kwave = std::vector<real>(NER_, 0.0f);
    int nmesh = -1;
    std::vector<real> kmesh = std::vector<real>(NPI_ + guard, sentinel);
    std::vector<real> chimesh = std::vector<real>(NPI_ + guard, sentinel);
    std::vector<int> istart = std::vector<int>(NPI_ + guard, -777);

    void run(const std::string& deck_text, const std::vector<real>& eph, int nen) {
        // The two answers as the deck gives them.
        std::istringstream in(deck_text);
        text_input deck(in);
        read_values(deck, kmin, kmax, dk);
        read_values(deck, de0);
        interpmesh(out, kmin, kmax, dk, de0, NER_, nen, eph.data(), kwave.data(), NPI_, nmesh, 4,
                   kmesh.data(), chimesh.data(), istart.data());
    }
    // Runs a deck the mesh must refuse; returns what was written.
    std::string stopped(const std::string& deck_text, const std::vector<real>& eph, int nen) {
        EXPECT_THROW(run(deck_text, eph, nen), run_stop) << deck_text;
        return out.str();
    }
};

TEST(Interpmesh, WaveNumbersUseTheMeshConstants) {
    // eph + de0 = 1 Ry: k = sqrt(13.6 * 0.263) = sqrt(3.5768) 1/A, the mesh's own 13.6 (not
    // 13.6058); with de0 = 0.5 the energy 0.5 Ry gives the same k.
    std::vector<real> eph(NER_, 0.0f);
    const int nen = 6;
    for (int i = 0; i < nen; ++i) eph[i] = 0.5f + 0.5f * static_cast<real>(i);
    mesh_run r;
    r.run("1 2 0.5\n0.5\n", eph, nen);
    const double k_1ry = std::sqrt(3.5768);
    EXPECT_NEAR(r.kwave[0], k_1ry, 2e-7 * k_1ry);  // one rounding of sqrt and two products
    for (int i = 0; i < nen; ++i) {
        const double k = std::sqrt(13.6 * 0.263 * (0.5 * i + 1.0));
        EXPECT_NEAR(r.kwave[i], k, 4e-7 * k) << "i=" << i;
    }
    EXPECT_EQ(r.de0, 0.5f);
}

TEST(Interpmesh, MeshOfKmin3Kmax12Dk005Has181Points) {
    const int nen = 49;
    const auto eph = energies_for_k(nen, 2.0f, 0.25f);  // k 2 .. 14
    mesh_run r;
    r.run("3 12 0.05\n0.\n", eph, nen);
    EXPECT_EQ(r.nmesh, 181);
    EXPECT_EQ(r.kmin, 3.0f);
    EXPECT_EQ(r.kmax, 12.0f);
    EXPECT_EQ(r.dk, 0.05f);
    EXPECT_EQ(r.out.str(), prompt11 + prompt12 + " 3.0 12.0         181\n" + generated);
    for (int i = 0; i < r.nmesh; ++i) {
        EXPECT_EQ(r.kmesh[i], 0.05f * static_cast<real>(i) + 3.0f) << "i=" << i;
        EXPECT_EQ(r.chimesh[i], 0.0f) << "i=" << i;
    }
    EXPECT_NEAR(r.kmesh[180], 12.0f, 1e-5f);  // 180 steps of 0.05f, one rounding near 12
    EXPECT_EQ(r.kmesh[181], sentinel);
    EXPECT_EQ(r.chimesh[181], sentinel);
}

TEST(Interpmesh, RangeIsNarrowedToTheEnergyPoints) {
    const int nen = 49;
    const auto eph = energies_for_k(nen, 2.0f, 0.25f);
    mesh_run r;
    r.run("1.0, 20.0, 0.25\n0\n", eph, nen);
    EXPECT_EQ(r.kmin, r.kwave[0]);
    EXPECT_EQ(r.kmax, r.kwave[nen - 1]);
    const int n = static_cast<int>((r.kmax - r.kmin) / 0.25f + 1.0f);
    EXPECT_EQ(r.nmesh, n);
    EXPECT_EQ(r.out.str(), prompt11 + prompt12 +
                               "  MINIMUM k VALUE INCREASED = " + free_real(r.kwave[0]) + "\n" +
                               "  MAXIMUM k VALUE DECREASED = " + free_real(r.kwave[nen - 1]) +
                               "\n" + " " + free_real(r.kmin) + " " + free_real(r.kmax) + " " +
                               field_i(n, 11) + "\n" + generated);
}

TEST(Interpmesh, InterpolationPointsSurroundEachMeshPoint) {
    // Uneven k steps; the mesh starts exactly on the k of point 3.
    std::vector<real> eph(NER_, 0.0f);
    const int nen = 20;
    for (int i = 0; i < nen; ++i) {
        const real k = 2.0f + 0.3f * static_cast<real>(i) + 0.02f * static_cast<real>(i * i);
        eph[i] = k * k / (13.6f * 0.263f);
    }
    mesh_run probe;
    probe.run("0 100 1\n0\n", eph, nen);
    const std::vector<real> k = probe.kwave;
    std::ostringstream deck;
    deck << free_real(k[2]) << " 100 0.037\n0\n";
    mesh_run r;
    r.run(deck.str(), eph, nen);
    ASSERT_GT(r.nmesh, 100);
    for (int i = 0; i < r.nmesh; ++i) {
        const real x = r.kmesh[i];
        const int s = r.istart[i];
        if (x <= k[2]) {
            EXPECT_EQ(s, 1) << "i=" << i;
        } else if (x > k[nen - 3]) {
            EXPECT_EQ(s, nen - 3) << "i=" << i;
        } else {
            // Inside: two points below the mesh point, the first point not below it, and the next.
            EXPECT_LT(k[s], x) << "i=" << i;
            EXPECT_GE(k[s + 1], x) << "i=" << i;
        }
    }
    EXPECT_EQ(r.istart[0], 1);
    EXPECT_EQ(r.istart[r.nmesh - 1], nen - 3);
}

TEST(Interpmesh, MeshLongerThanTheCapacityIsCut) {
    const int nen = 49;
    const auto eph = energies_for_k(nen, 2.0f, 0.25f);
    mesh_run r;
    r.run("2 14 0.01\n0\n", eph, nen);
    const int full = static_cast<int>((r.kmax - r.kmin) / 0.01f + 1.0f);
    ASSERT_GT(full, NPI_);
    EXPECT_EQ(r.nmesh, NPI_);
    EXPECT_EQ(r.out.str(), prompt11 + prompt12 + " " + free_real(r.kmin) + " " + free_real(r.kmax) +
                               " " + field_i(full, 11) + "\n" + "  **** DIMENSION ERROR NPI_ > " +
                               field_i(full, 11) + "  ****\n" + generated);
    EXPECT_EQ(r.kmesh[NPI_ - 1], 0.01f * static_cast<real>(NPI_ - 1) + r.kmin);
    for (int i = NPI_; i < NPI_ + guard; ++i) {
        EXPECT_EQ(r.kmesh[i], sentinel) << "i=" << i;
        EXPECT_EQ(r.chimesh[i], sentinel) << "i=" << i;
        EXPECT_EQ(r.istart[i], -777) << "i=" << i;
    }
    // A step so small that the count leaves the integer range still gives NPI_ points.
    mesh_run tiny;
    tiny.run("2 14 1e-30\n0\n", eph, nen);
    EXPECT_EQ(tiny.nmesh, NPI_);
    EXPECT_NE(tiny.out.str().find("  **** DIMENSION ERROR NPI_ >  2147483647  ****\n"),
              std::string::npos);
}

TEST(Interpmesh, AnswersTheMeshCannotUseStopTheRun) {
    const int nen = 49;
    const auto eph = energies_for_k(nen, 2.0f, 0.25f);  // k 2 .. 14
    const std::string bad_finite =
        "  **** ERROR IN \"INTERPMESH\": KMIN, KMAX AND DK MUST BE FINITE ****\n";
    const std::pair<std::string, std::string> cases[] = {
        {"3 12 0\n0\n",
         prompt11 + "  **** ERROR IN \"INTERPMESH\": DK = 0.0 MUST BE POSITIVE ****\n"},
        {"3 12 -0.05\n0\n",
         prompt11 + "  **** ERROR IN \"INTERPMESH\": DK = -0.05 MUST BE POSITIVE ****\n"},
        {"nan 12 0.05\n0\n", prompt11 + bad_finite},
        {"3 inf 0.05\n0\n", prompt11 + bad_finite},
        {"3 12 -inf\n0\n", prompt11 + bad_finite},
        {"3 12 0.05\nnan\n",
         prompt11 + prompt12 + "  **** ERROR IN \"INTERPMESH\": DE0 MUST BE FINITE ****\n"},
        {"13 12 0.05\n0\n", prompt11 + prompt12 +
                                "  **** ERROR IN \"INTERPMESH\": KMIN = 13.0 IS NOT BELOW KMAX "
                                "= 12.0 ****\n"},
        {"5 5 0.05\n0\n", prompt11 + prompt12 +
                              "  **** ERROR IN \"INTERPMESH\": KMIN = 5.0 IS NOT BELOW KMAX = "
                              "5.0 ****\n"},
    };
    for (const auto& [deck, text] : cases) {
        mesh_run r;
        EXPECT_EQ(r.stopped(deck, eph, nen), text) << deck;
    }
    // Narrowed past each other: the whole requested range lies above the data.
    mesh_run above;
    const std::string text = above.stopped("20 30 0.05\n0\n", eph, nen);
    EXPECT_NE(text.find("  MAXIMUM k VALUE DECREASED ="), std::string::npos);
    EXPECT_NE(text.find("IS NOT BELOW KMAX ="), std::string::npos);
}

TEST(Interpmesh, EnergyPointsTheMeshCannotUseStopTheRun) {
    const std::string head = prompt11 + prompt12;
    {
        // eph(1) + de0 = 0.1 - 0.2 < 0 has no real k.
        std::vector<real> eph(NER_, 0.0f);
        for (int i = 0; i < 10; ++i) eph[i] = 0.1f * static_cast<real>(i + 1);
        mesh_run r;
        EXPECT_EQ(r.stopped("1 5 0.1\n-0.2\n", eph, 10),
                  head + "  **** ERROR IN \"INTERPMESH\": ENERGY POINT " + field_i(1, 11) +
                      " LIES BELOW THE SHIFTED EDGE (EPH + DE0 < 0) ****\n");
    }
    {
        // Point 3 repeats point 2: a zero Lagrange denominator.
        std::vector<real> eph = energies_for_k(10, 2.0f, 0.5f);
        eph[2] = eph[1];
        mesh_run r;
        EXPECT_EQ(r.stopped("2 6 0.1\n0\n", eph, 10),
                  head + "  **** ERROR IN \"INTERPMESH\": K OF ENERGY POINTS " + field_i(2, 11) +
                      " AND " + field_i(3, 11) + " DOES NOT INCREASE ****\n");
    }
    {
        // Falling energies.
        std::vector<real> eph = energies_for_k(10, 2.0f, 0.5f);
        std::swap(eph[6], eph[7]);
        mesh_run r;
        EXPECT_NE(r.stopped("2 6 0.1\n0\n", eph, 10)
                      .find("POINTS " + field_i(7, 11) + " AND " + field_i(8, 11)),
                  std::string::npos);
    }
    {
        std::vector<real> eph = energies_for_k(3, 2.0f, 0.5f);
        mesh_run r;
        EXPECT_EQ(r.stopped("2 6 0.1\n0\n", eph, 3),
                  head + "  **** ERROR IN \"INTERPMESH\": ONLY " + field_i(3, 11) +
                      " ENERGY POINTS, " + field_i(4, 11) + " NEEDED FOR THE INTERPOLATION ****\n");
    }
    {
        // A NaN or an overflowing energy has no finite k.
        for (const real e : {std::nanf(""), 3e38f}) {
            std::vector<real> eph = energies_for_k(10, 2.0f, 0.5f);
            eph[4] = e;
            mesh_run r;
            const std::string text = r.stopped("2 6 0.1\n0\n", eph, 10);
            EXPECT_EQ(text, head + "  **** ERROR IN \"INTERPMESH\": ENERGY POINT " +
                                field_i(5, 11) + " HAS NO FINITE K ****\n")
                << e;
            EXPECT_FALSE(test::has_non_finite_text(text));
        }
    }
}

}  // namespace
}  // namespace korva
