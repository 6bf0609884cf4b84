// The legend: which curve is which, in a box inside the frame.
//
// The run names no curve in its files; the names follow from the fixed order in which it writes
// them. A file whose main title is the run's file name says what it holds:
//   PREFIX_kor.dat  one curve per final-state channel: "final state l+1" alone (a core state
//                   with l = 0), or "final state l-1" then "final state l+1" (markers 2P, 3P)
//   PREFIX_kor.sig  per channel the total, then the atomic cross-section (markers 2P, with two
//                   channels 3P for the second, named "total, l-1" ...), then the experiment
//                   (marker 6P) when the run compared with one
// A program that names its curves (curve::name) gets its named curves and then its notes
// (plot_file::legend_notes, text without a sample), in order.
// Any other file, or one of these whose curves do not have that form, gets "curve N" (N as in
// the --data listing) for each curve of more than one point, when there are at least two such
// curves; a single point, as the origin mark of the chi and Fourier plots, is no curve to name.
#pragma once

#include <string>
#include <vector>

#include "plot_file.hpp"
#include "scene.hpp"

namespace korva::plot {

struct legend_entry {
    int curve = 0;  // 1-based; 0 for a note (text without a sample)
    std::string name;
};

std::vector<legend_entry> legend_entries(const plot_file& plot);

// Adds the legend of `plot` to a laid-out scene: a white box with one line sample (markers
// and line as the curve has them) and name per entry, placed in the corner of the frame where
// it covers the fewest curve points and no text.
void add_legend(scene& s, const plot_file& plot);

}  // namespace korva::plot
