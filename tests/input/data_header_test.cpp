#include "input/data_header.hpp"

#include <gtest/gtest.h>

namespace korva {
namespace {

// The field is exact text with the shortest round-trip value, and the reader finds it in a
// header among other "|" fields, or reports its absence.
TEST(data_header, fermi_level_field_round_trip) {
    EXPECT_EQ(fermi_level_field(0.88), "E_F 0.88 Ry");
    EXPECT_EQ(fermi_level_field(0.8802201394371161), "E_F 0.8802201394371161 Ry");
    EXPECT_EQ(fermi_level_field(-0.125), "E_F -0.125 Ry");
    const std::string head = "KORVA-PSGEN phase shifts: Cu | model self-consistent | E 0.5..8 Ry";
    for (const double ef : {0.88, 1e-3, 0.8802201394371161, 2.5e2})
        EXPECT_EQ(header_fermi_level(head + " | " + fermi_level_field(ef)), ef) << ef;
    EXPECT_EQ(header_fermi_level(head + " |  E_F 0.5 Ry  | lcore 0"), 0.5);
    for (const char* line :
         {"KORVA-PSGEN phase shifts: Cu | model thomas-fermi", "x | E_F Ry", "x | E_F abc Ry",
          "x | E_F 0.5 eV", "x | E_F nan Ry", "title E_F 0.5 Ry and more | x", ""})
        EXPECT_FALSE(header_fermi_level(line)) << line;
}

}  // namespace
}  // namespace korva
