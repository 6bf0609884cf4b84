// The Fermi level of korva-psgen's charge count: the bound states it leaves out against the
// square well's closed form, and the count of a potential-free sphere, the electron gas.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "friedel_count.hpp"

namespace korva::psgen {
namespace {

constexpr double pi = std::numbers::pi;

// A square well of depth d (Ry) and radius a (Bohr) binds floor(sqrt(d) a / pi + 1/2) s states
// (the zero-energy solution sin(sqrt(d) r) has that many nodes inside or, past the last, a
// falling tail outside) and floor(sqrt(d) a / pi) p states (a p state appears when j_0 of
// sqrt(d) a vanishes: sqrt(d) a = n pi).
TEST(psgen_fermi, square_well_bound_states) {
    const double a = 2.0;
    for (const double d : {1.0, 4.0, 9.0, 20.0, 60.0}) {
        const radial_potential well = [d](double) { return cdouble(-d, 0.0); };
        const double ka = std::sqrt(d) * a;
        EXPECT_EQ(bound_states(well, a, 0), static_cast<int>(std::floor(ka / pi + 0.5))) << d;
        EXPECT_EQ(bound_states(well, a, 1), static_cast<int>(std::floor(ka / pi))) << d;
    }
}

// With no potential in the spheres every phase shift vanishes and the count is the free-electron
// gas of the atoms' volume: E_F = (3 pi^2 N / V)^(2/3), within the count's linear interpolation
// between its 0.01 Ry steps.
TEST(psgen_fermi, empty_spheres_count_the_electron_gas) {
    const radial_potential none = [](double) { return cdouble(0.0, 0.0); };
    for (const double electrons : {1.0, 3.0, 11.0}) {
        const double volume = 80.0;
        const auto ef = friedel_fermi_level({{none, 2.5, volume, electrons, 12.0}});
        ASSERT_TRUE(ef) << electrons;
        EXPECT_NEAR(*ef, std::pow(3.0 * pi * pi * electrons / volume, 2.0 / 3.0), 1e-4)
            << electrons;
    }
}

}  // namespace
}  // namespace korva::psgen
