// Turns a title and the control string of its CASE line into the text to draw (UTF-8).
#pragma once

#include <string>
#include <string_view>

namespace korva::plot {

// Control character i belongs to title character i. "G" under a letter gives the lower-case
// Greek letter of the Latin-to-Greek keyboard correspondence (C chi, S sigma, A alpha, ...);
// every other control is not applied and its character is shown as written. Bytes that are not
// printable ASCII come out as '?'.
std::string apply_case(std::string_view text, std::string_view controls);

// The Greek letter (UTF-8) that "G" makes of an ASCII letter; empty for any other character.
std::string greek(char letter);

}  // namespace korva::plot
