#include "scene.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string_view>

#include "case_text.hpp"
#include "legend.hpp"

namespace korva::plot {

namespace {

constexpr double pixels_per_unit = 60.0;  // page units to pixels: 13.33 x 10 units on 800 x 600
constexpr double title_pixels = 7.2;      // font size in pixels per unit of a title's SIZE
constexpr double label_size = 14.0;       // tick-label font size, pixels
constexpr double major_tick = 8.0;        // pixels, drawn inwards
constexpr double minor_tick = 4.0;
constexpr double label_gap = 7.0;  // between the frame and its tick labels, pixels
// Data mapped further than this many frame widths outside the frame is drawn at that distance:
// it is clipped away all the same, and the drawing coordinates stay small.
constexpr double far_outside = 1e4;

vertex page(double u, double v) {
    return {u * pixels_per_unit, image_height - v * pixels_per_unit};
}

// Position of v on an axis as a fraction of the frame; the halves keep it finite.
double fraction(double v, const axis_scale& a) {
    double f = (v / 2.0 - a.lo / 2.0) / (a.hi / 2.0 - a.lo / 2.0);
    if (!std::isfinite(f)) f = v > a.lo ? far_outside : -far_outside;
    return std::clamp(f, -far_outside, far_outside);
}

vertex to_pixels(const point& p, const scene& s) {
    return {s.frame.x0 + fraction(p.x, s.x) * (s.frame.x1 - s.frame.x0),
            s.frame.y1 - fraction(p.y, s.y) * (s.frame.y1 - s.frame.y0)};
}

// Liang-Barsky: the part of segment a-b inside the box, false when none.
bool clip(vertex& a, vertex& b, const box& r) {
    double dx = b.x - a.x, dy = b.y - a.y;
    double t0 = 0.0, t1 = 1.0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - r.x0, r.x1 - a.x, a.y - r.y0, r.y1 - a.y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;
            continue;
        }
        double t = q[i] / p[i];
        if (p[i] < 0.0) {
            t0 = std::max(t0, t);
        } else {
            t1 = std::min(t1, t);
        }
        if (t0 > t1) return false;
    }
    vertex a0 = a;
    if (t0 > 0.0) a = {a0.x + t0 * dx, a0.y + t0 * dy};
    if (t1 < 1.0) b = {a0.x + t1 * dx, a0.y + t1 * dy};
    return true;
}

void clipped_line(const std::vector<vertex>& v, const box& r, std::vector<polyline>& out) {
    polyline part;
    for (std::size_t i = 1; i < v.size(); ++i) {
        vertex a = v[i - 1], b = v[i];
        if (!clip(a, b, r)) {
            if (part.v.size() >= 2) out.push_back(std::move(part));
            part = {};
            continue;
        }
        bool continues = !part.v.empty() && part.v.back().x == a.x && part.v.back().y == a.y;
        if (!continues) {
            if (part.v.size() >= 2) out.push_back(std::move(part));
            part = {};
            part.v.push_back(a);
        }
        part.v.push_back(b);
    }
    if (part.v.size() >= 2) out.push_back(std::move(part));
}

polyline regular(double cx, double cy, double r, int n, double start) {
    polyline p;
    p.closed = true;
    for (int k = 0; k < n; ++k) {
        double a = start + 2.0 * std::numbers::pi * k / n;
        p.v.push_back({cx + r * std::cos(a), cy - r * std::sin(a)});
    }
    return p;
}

polyline segment(double x0, double y0, double x1, double y1) {
    return {{{x0, y0}, {x1, y1}}, false};
}

// Drops the blanks at the end of the pieces, and at their start when `left`.
void trim(std::vector<text_span>& spans, bool left) {
    while (!spans.empty()) {
        std::string& u = spans.back().utf8;
        while (!u.empty() && u.back() == ' ') u.pop_back();
        if (!u.empty()) break;
        spans.pop_back();
    }
    while (left && !spans.empty()) {
        std::string& u = spans.front().utf8;
        std::size_t k = u.find_first_not_of(' ');
        if (k != std::string::npos) {
            u.erase(0, k);
            break;
        }
        spans.erase(spans.begin());
    }
}

// The title's text with its CASE controls applied; pieces only when some are raised or lowered.
void set_text(text& out, const title& t) {
    std::vector<text_span> spans = render_case(t.text, t.controls).spans;
    trim(spans, t.where != placement::at);
    bool shifted = false;
    for (const text_span& s : spans) {
        out.utf8 += s.utf8;
        shifted = shifted || s.shift != text_shift::none;
    }
    if (shifted) out.spans = std::move(spans);
}

void add_ticks(scene& s, bool x_labels) {
    stroke ticks;
    ticks.role = stroke_role::ticks;
    ticks.width = 1.0;
    const box& f = s.frame;
    auto x_tick = [&](double v, double len) {
        double x = f.x0 + fraction(v, s.x) * (f.x1 - f.x0);
        ticks.parts.push_back(segment(x, f.y1, x, f.y1 - len));
        ticks.parts.push_back(segment(x, f.y0, x, f.y0 + len));
    };
    auto y_tick = [&](double v, double len) {
        double y = f.y1 - fraction(v, s.y) * (f.y1 - f.y0);
        ticks.parts.push_back(segment(f.x0, y, f.x0 + len, y));
        ticks.parts.push_back(segment(f.x1, y, f.x1 - len, y));
    };
    for (double v : s.x.major) x_tick(v, major_tick);
    for (double v : s.x.minor) x_tick(v, minor_tick);
    for (double v : s.y.major) y_tick(v, major_tick);
    for (double v : s.y.minor) y_tick(v, minor_tick);
    s.strokes.push_back(std::move(ticks));
    for (std::size_t i = 0; x_labels && i < s.x.major.size(); ++i) {
        double x = f.x0 + fraction(s.x.major[i], s.x) * (f.x1 - f.x0);
        s.texts.push_back({s.x.labels[i],
                           x,
                           f.y1 + label_gap + 0.8 * label_size,
                           label_size,
                           0.0,
                           text_anchor::middle,
                           {}});
    }
    for (std::size_t i = 0; i < s.y.major.size(); ++i) {
        double y = f.y1 - fraction(s.y.major[i], s.y) * (f.y1 - f.y0);
        s.texts.push_back({s.y.labels[i],
                           f.x0 - label_gap,
                           y + 0.36 * label_size,
                           label_size,
                           0.0,
                           text_anchor::end,
                           {}});
    }
}

void add_title(scene& s, const title& t) {
    double size = t.size * title_pixels;
    text out{"", 0.0, 0.0, size, 0.0, text_anchor::middle, {}};
    const box& f = s.frame;
    switch (t.where) {
        case placement::at: {
            vertex p = page(t.x, t.y);
            out = {"", p.x, p.y, size, t.angle, text_anchor::start, {}};
            break;
        }
        case placement::bottom:
            out.x = (f.x0 + f.x1) / 2.0;
            out.y = f.y1 + label_gap + 0.8 * label_size + 10.0 + 0.75 * size;
            break;
        case placement::top:
            out.x = (f.x0 + f.x1) / 2.0;
            out.y = f.y0 - 10.0;
            break;
        case placement::left: {
            std::size_t widest = 0;
            for (const auto& l : s.y.labels) widest = std::max(widest, l.size());
            out.x = f.x0 - label_gap - 0.6 * label_size * static_cast<double>(widest) - 10.0;
            out.y = (f.y0 + f.y1) / 2.0;
            out.angle = 90.0;
            break;
        }
    }
    set_text(out, t);
    if (!out.utf8.empty()) s.texts.push_back(std::move(out));
}

void data_range(const plot_file& plot, bool x, const limits* within, double& lo, double& hi) {
    lo = 1.0, hi = -1.0;
    for (const curve& c : plot.curves)
        for (const point& p : c.points) {
            if (within && within->fixed && (p.x < within->lo || p.x > within->hi)) continue;
            double v = x ? p.x : p.y;
            if (lo > hi) {
                lo = hi = v;
            } else {
                lo = std::min(lo, v), hi = std::max(hi, v);
            }
        }
}

// A band: the closed outline of its points, filled translucent, its edge not stroked; clipped
// to the frame when drawn (a line clip would break the outline).
stroke band_stroke(const curve& c, const scene& s, stroke k) {
    constexpr double band_opacity = 0.25;
    k.style = "BAND";
    k.width = 0.0;
    k.fill_opacity = band_opacity;
    polyline p;
    p.closed = true;
    for (const point& q : c.points) p.v.push_back(to_pixels(q, s));
    if (p.v.size() >= 3) k.parts.push_back(std::move(p));
    return k;
}

}  // namespace

rgb colour_of(const curve& c, int n) {
    return c.colour < 0 ? rgb{0, 0, 0} : curve_colour(c.colour > 0 ? c.colour : n);
}

box clip_of(const stroke& k, const scene& s) {
    return k.clip ? *k.clip : s.frame;
}

scene stack(const scene& above, const scene& below) {
    scene s = above;
    for (stroke& k : s.strokes)
        if (k.role == stroke_role::curve && !k.clip) k.clip = above.frame;
    for (stroke k : below.strokes) {
        if (k.role == stroke_role::curve && !k.clip) k.clip = below.frame;
        s.strokes.push_back(std::move(k));
    }
    s.texts.insert(s.texts.end(), below.texts.begin(), below.texts.end());
    return s;
}

rgb curve_colour(int n) {
    static constexpr rgb cycle[8] = {{31, 119, 180},  {214, 39, 40},   {44, 160, 44},
                                     {255, 127, 14},  {148, 103, 189}, {140, 86, 75},
                                     {227, 119, 194}, {23, 190, 207}};
    return cycle[static_cast<std::size_t>(((n - 1) % 8 + 8) % 8)];
}

std::vector<polyline> marker(int symbol, double cx, double cy, double h) {
    std::vector<polyline> m;
    const double pi = std::numbers::pi;
    switch (symbol % 10) {
        case 1:
            m.push_back(regular(cx, cy, 0.35 * h, 8, 0.0));
            break;
        case 2:
            m.push_back(regular(cx, cy, h, 20, 0.0));
            break;
        case 3:
            m.push_back(regular(cx, cy, h * std::sqrt(2.0), 4, pi / 4.0));
            break;
        case 4:
            m.push_back(regular(cx, cy, h * 1.15, 3, pi / 2.0));
            break;
        case 5:
            m.push_back(regular(cx, cy, h * 1.2, 4, 0.0));
            break;
        case 6:
            m.push_back(segment(cx - h, cy - h, cx + h, cy + h));
            m.push_back(segment(cx - h, cy + h, cx + h, cy - h));
            break;
        case 7:
            m.push_back(segment(cx - h, cy, cx + h, cy));
            m.push_back(segment(cx, cy - h, cx, cy + h));
            break;
        case 8:
            m.push_back(segment(cx - h, cy, cx + h, cy));
            m.push_back(segment(cx, cy - h, cx, cy + h));
            m.push_back(segment(cx - 0.7 * h, cy - 0.7 * h, cx + 0.7 * h, cy + 0.7 * h));
            m.push_back(segment(cx - 0.7 * h, cy + 0.7 * h, cx + 0.7 * h, cy - 0.7 * h));
            break;
        case 9:
            m.push_back(regular(cx, cy, h * 1.15, 3, -pi / 2.0));
            break;
        default:
            m.push_back(regular(cx, cy, h * std::sqrt(2.0), 4, pi / 4.0));
            m.push_back(segment(cx - h, cy - h, cx + h, cy + h));
            m.push_back(segment(cx - h, cy + h, cx + h, cy - h));
            break;
    }
    return m;
}

scene layout(const plot_file& plot, const layout_options& options) {
    scene s;
    vertex top_left = page(plot.frame.x0, plot.frame.y1);
    vertex bottom_right = page(plot.frame.x1, plot.frame.y0);
    s.frame = {top_left.x, top_left.y, bottom_right.x, bottom_right.y};
    double lo = 0.0, hi = 0.0;
    data_range(plot, true, nullptr, lo, hi);
    s.x = choose_axis(plot.x, lo, hi);
    // With a fixed x range the y range comes from the points that lie inside it.
    limits shown_x{plot.x.fixed, s.x.lo, s.x.hi};
    data_range(plot, false, &shown_x, lo, hi);
    s.y = choose_axis(plot.y, lo, hi);

    stroke frame;
    frame.role = stroke_role::frame;
    frame.width = 1.2;
    frame.parts.push_back({{{s.frame.x0, s.frame.y0},
                            {s.frame.x1, s.frame.y0},
                            {s.frame.x1, s.frame.y1},
                            {s.frame.x0, s.frame.y1}},
                           true});
    s.strokes.push_back(std::move(frame));
    add_ticks(s, options.x_labels);

    int n = 0;
    for (const curve& c : plot.curves) {
        stroke k;
        k.role = stroke_role::curve;
        k.curve = ++n;
        k.colour = colour_of(c, n);
        k.width = 1.4;
        if (c.band) {
            s.strokes.push_back(band_stroke(c, s, k));
            continue;
        }
        k.style = c.markers && c.line ? "PLOT+JOIN" : c.markers ? "PLOT" : "JOIN";
        if (c.markers) k.symbol = c.symbol_name.empty() ? "default" : c.symbol_name;
        std::vector<vertex> px;
        px.reserve(c.points.size());
        for (const point& p : c.points) px.push_back(to_pixels(p, s));
        if (c.line) clipped_line(px, s.frame, k.parts);
        if (c.markers) {
            double h = c.symbol_size * marker_pixels;
            for (const vertex& v : px) {
                if (v.x < s.frame.x0 - h || v.x > s.frame.x1 + h || v.y < s.frame.y0 - h ||
                    v.y > s.frame.y1 + h)
                    continue;
                auto m = marker(c.symbol, v.x, v.y, h);
                k.parts.insert(k.parts.end(), m.begin(), m.end());
            }
        }
        s.strokes.push_back(std::move(k));
    }
    for (const title& t : plot.titles) add_title(s, t);
    if (options.legend) add_legend(s, plot);
    return s;
}

}  // namespace korva::plot
