// The Fermi level in the comment line of the phase-shift and cross-section files: the field
// korva-psgen writes and the reader a later tool (the spectrum's Fermi cut) finds it with.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korva {

// "E_F <value> Ry", the value (Rydberg, on the files' energy scale: kinetic energy above the
// interstitial level) in its shortest round-trip form. The writer appends it to the comment
// line as one more "| ..." field.
std::string fermi_level_field(double ef_ry);

// The value of the first "|"-separated field of line that reads "E_F <value> Ry" (blanks around
// it allowed); nothing when no field does or its value is not a finite number.
std::optional<double> header_fermi_level(std::string_view line);

}  // namespace korva
