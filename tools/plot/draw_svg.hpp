// Writes a scene as an SVG document: one <path class="curve"> per curve, the frame and ticks as
// paths of their own, and the texts as <text> elements.
#pragma once

#include <ostream>

#include "scene.hpp"

namespace korva::plot {

// Each curve's path carries id="curve-N", data-style (PLOT, JOIN or PLOT+JOIN) and, with
// markers, data-symbol, and is clipped to the frame.
void write_svg(const scene& s, std::ostream& out);

}  // namespace korva::plot
