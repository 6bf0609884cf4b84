// Turns a title and the control string of its CASE line into the text to draw (UTF-8), in
// pieces on the line, raised or lowered.
//
// Control character i belongs to title character i. The run's own titles use these controls:
//   "k1(4A515O20-11)" under " U C CVUSVC  C "  is  k (Å⁻¹)
//   "R1(4A515O2)"     under " U C CVUSV "      is  R (Å)
// and from them the rules are read:
//   blank  the character as written
//   G      the lower-case Greek letter of the Latin-to-Greek keyboard correspondence (C chi)
//   U n    a blank (n, a digit, is the width in the pen plotter's steps and is not drawn)
//   C 0    what follows is raised (superscript) ...
//   C 1    ... until here: back on the line
//   C 2    what follows is lowered (subscript), until C 1
//   C 4    marks the start of the characters that a symbol is drawn over
//   C 5    ends them: the symbols (S) that follow, before the next character on the line, are
//          drawn over the marked characters (over the middle one when several are marked);
//          U and V between them only place that symbol and draw nothing
//   S O    the ring: over marked characters the ring above (A gives Å), elsewhere "°"
// A digit under C, U or V is never drawn. A control not in this list, or one whose character
// does not fit it (G under a digit, V outside a symbol placement), is not applied: the title
// character is drawn as written and its column is reported.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace korva::plot {

enum class text_shift { none, up, down };

// A piece of title text drawn at one height.
struct text_span {
    std::string utf8;
    text_shift shift = text_shift::none;
};

struct case_text {
    // Consecutive pieces differ in shift. A raised or lowered run made only of digits, signs,
    // parentheses, n and i is written with the Unicode superscript or subscript characters
    // (⁻¹, ₂) and stays on the line, so the plain text already reads right.
    std::vector<text_span> spans;
    std::vector<std::size_t> not_applied;  // 0-based title columns whose control was not applied
};

case_text render_case(std::string_view text, std::string_view controls);

// The pieces of render_case joined: the text to draw when nothing is raised or lowered.
// Bytes that are not printable ASCII come out as '?'.
std::string apply_case(std::string_view text, std::string_view controls);

// The Greek letter (UTF-8) that "G" makes of an ASCII letter; empty for any other character.
std::string greek(char letter);

}  // namespace korva::plot
