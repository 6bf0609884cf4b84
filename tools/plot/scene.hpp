// Lays a plot_file out on the page as pixel-space strokes and texts (frame, ticks, tick labels,
// titles and one stroked path per curve), shared by the PNG, PDF and SVG writers.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "axis.hpp"
#include "case_text.hpp"
#include "plot_file.hpp"

namespace korva::plot {

constexpr int image_width = 800;       // pixels; the page of 13.33 x 10 units at 60 pixels a unit
constexpr int image_height = 600;      // pixels
constexpr double marker_pixels = 4.5;  // marker half-width in pixels per unit of symbol SIZE

struct rgb {
    unsigned char r = 0, g = 0, b = 0;
};

struct vertex {
    double x = 0.0, y = 0.0;  // pixels, y downwards
};

struct polyline {
    std::vector<vertex> v;
    bool closed = false;
};

struct box {
    double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;  // pixels, y0 top
};

enum class stroke_role { frame, ticks, curve, legend };

// One stroked path. Curves are clipped to the frame rectangle.
struct stroke {
    stroke_role role = stroke_role::frame;
    std::vector<polyline> parts;
    rgb colour;
    double width = 1.0;
    int curve = 0;              // 1-based curve number for curves and their legend entries
    std::string style;          // "PLOT", "JOIN" or "PLOT+JOIN" for curves
    std::string symbol;         // marker name for curves with markers ("2P", "default")
    bool filled = false;        // filled white before it is stroked (the legend's box)
    double fill_opacity = 0.0;  // above 0: filled with its colour at this opacity (a band)
    std::optional<box> clip;    // a curve's clip rectangle when not the scene's frame (a
                                // stacked panel's own)
};

enum class text_anchor { start, middle, end };

// Raised and lowered title pieces: font size and baseline shift as fractions of the text's size.
constexpr double script_scale = 0.7;
constexpr double superscript_rise = 0.38;
constexpr double subscript_drop = 0.15;

struct text {
    std::string utf8;         // the whole text; what is drawn when `spans` is empty
    double x = 0.0, y = 0.0;  // pixels: the anchor point on the baseline
    double size = 12.0;       // font size in pixels
    double angle = 0.0;       // degrees, counter-clockwise
    text_anchor anchor = text_anchor::start;
    std::vector<text_span> spans;  // pieces at their heights when some are raised or lowered
};

struct scene {
    int width = image_width, height = image_height;
    box frame;
    axis_scale x, y;
    std::vector<stroke> strokes;
    std::vector<text> texts;
};

// Colour of curve n (1-based): a fixed cycle of saturated colours, none of them grey.
rgb curve_colour(int n);

// Marker outline of shape `symbol` centred at (cx, cy) with half-width h pixels: 1 dot,
// 2 circle, 3 square, 4 triangle, 5 diamond, 6 cross, 7 plus, 8 asterisk, 9 downward triangle,
// 0 square with cross; larger numbers use their last digit.
std::vector<polyline> marker(int symbol, double cx, double cy, double h);

struct layout_options {
    bool legend = true;    // a box inside the frame naming the curves (legend.hpp)
    bool x_labels = true;  // the x axis's tick labels (off for a panel with one below it)
};

scene layout(const plot_file& plot, const layout_options& options = {});

// The curve's colour as drawn: its own (curve::colour) or its number's.
rgb colour_of(const curve& c, int n);

// Two laid-out panels on one page, `below` under `above` (their frames placed by their plot
// files' windows): the strokes and texts of both, each panel's curves clipped to its own frame.
scene stack(const scene& above, const scene& below);

// The rectangle a stroke of role curve is clipped to.
box clip_of(const stroke& k, const scene& s);

}  // namespace korva::plot
