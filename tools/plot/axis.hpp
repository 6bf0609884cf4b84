// Chooses the range, the tick marks and the tick labels of one plot axis.
#pragma once

#include <string>
#include <vector>

#include "plot_file.hpp"

namespace korva::plot {

struct axis_scale {
    double lo = 0.0, hi = 1.0;        // the frame edges in data units
    double step = 0.2;                // between labelled ticks
    std::vector<double> major;        // labelled ticks, inside [lo, hi]
    std::vector<double> minor;        // unlabelled ticks between them
    std::vector<std::string> labels;  // one per major tick
};

// A fixed range is kept exactly and gets ticks at a step that divides it where one exists.
// Otherwise the data range [dmin, dmax] (dmin > dmax: no data) is widened to multiples of a
// step of 1, 2 or 5 times a power of ten; a single value gets a range around it.
axis_scale choose_axis(const limits& fixed, double dmin, double dmax);

// Tick label of `value` on an axis with the given step and largest magnitude: as few digits
// as the step needs ("0.25", "16", "1e-05"), and "0" for values within rounding of zero.
std::string tick_label(double value, double step, double largest);

}  // namespace korva::plot
