// The content of one plot-command file as the renderer needs it: frame, axis limits, titles and
// the curves with their drawing styles.
#pragma once

#include <string>
#include <vector>

namespace korva::plot {

// Data values are kept as double: every token written with up to 15 significant digits (all
// single-precision values among them) then prints back as the same shortest text.
struct point {
    double x = 0.0;
    double y = 0.0;
};

// One set of points and how it is drawn. A "PLOT" directly followed by "JOIN" (or the other way
// round) gives one curve with both markers and line.
struct curve {
    std::vector<point> points;
    bool markers = false;     // drawn by PLOT
    bool line = false;        // drawn by JOIN
    int symbol = 1;           // marker shape number of the SET SYMBOL in force at the PLOT
    std::string symbol_name;  // its token as written ("2P"), empty for the default marker
    double symbol_size = 0.8;
    int first_line = 0;  // line number of the curve's first data line
    // Set by programs that draw through the library, never by a plot file:
    std::string name;   // the legend's name of the curve; named curves alone get entries
    bool band = false;  // the points outline a closed area, filled with the curve's colour
    int colour = 0;     // 0: the colour of the curve's number; n > 0: curve_colour(n);
                        // -1: black
};

// Frame on the page, in page units (the page is 13.33 x 10 units, origin bottom left).
struct window {
    double x0 = 2.0, x1 = 12.0;
    double y0 = 2.0, y1 = 8.5;
};

// An axis range fixed by SET LIMITS; an axis not fixed is chosen from the data.
struct limits {
    bool fixed = false;
    double lo = 0.0, hi = 1.0;
};

enum class placement { at, bottom, top, left };

struct title {
    placement where = placement::at;
    double x = 0.0, y = 0.0;  // page position of the text's start (placement::at)
    double angle = 0.0;       // degrees, counter-clockwise
    double size = 2.5;        // character height in tenths of a page unit
    std::string text;         // as written between the outermost quotes
    std::string controls;     // from the CASE line after it, empty when none
    int line = 0;
};

struct plot_file {
    window frame;
    limits x, y;
    std::vector<title> titles;
    std::vector<curve> curves;
    std::vector<std::string> legend_notes;  // lines of text after the named curves' entries
};

}  // namespace korva::plot
