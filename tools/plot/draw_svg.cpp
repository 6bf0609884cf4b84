#include "draw_svg.hpp"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace korva::plot {

namespace {

std::string num(double v) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    std::string s = buf;
    if (s == "-0.00") s = "0.00";
    return s;
}

std::string escaped(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string hex(rgb c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r, c.g, c.b);
    return buf;
}

std::string path_data(const stroke& k) {
    std::string d;
    for (const polyline& p : k.parts) {
        for (std::size_t i = 0; i < p.v.size(); ++i) {
            if (!d.empty()) d += ' ';
            d += i == 0 ? 'M' : 'L';
            d += num(p.v[i].x);
            d += ' ';
            d += num(p.v[i].y);
        }
        if (p.closed && !p.v.empty()) d += " Z";
    }
    return d;
}

const char* role_name(stroke_role r) {
    switch (r) {
        case stroke_role::frame:
            return "frame";
        case stroke_role::ticks:
            return "ticks";
        case stroke_role::curve:
            return "curve";
        default:
            return "legend";
    }
}

// The pieces of a text as tspans: a raised or lowered one at its size, each moved by the
// difference of its height to the one before (dy counts down the page).
std::string pieces(const text& t) {
    if (t.spans.empty()) return escaped(t.utf8);
    std::string out;
    double at = 0.0;  // current offset from the baseline, pixels up
    for (const text_span& p : t.spans) {
        double rise = p.shift == text_shift::up     ? superscript_rise * t.size
                      : p.shift == text_shift::down ? -subscript_drop * t.size
                                                    : 0.0;
        out += "<tspan";
        if (p.shift != text_shift::none) out += " font-size=\"" + num(script_scale * t.size) + '"';
        if (rise != at) out += " dy=\"" + num(at - rise) + '"';
        out += '>' + escaped(p.utf8) + "</tspan>";
        at = rise;
    }
    return out;
}

// The rectangles curves are clipped to: the frame first, then any other, each once.
std::vector<box> clip_boxes(const scene& s) {
    std::vector<box> v{s.frame};
    for (const stroke& k : s.strokes) {
        if (k.role != stroke_role::curve) continue;
        const box c = clip_of(k, s);
        const bool known = std::any_of(v.begin(), v.end(), [&](const box& b) {
            return b.x0 == c.x0 && b.y0 == c.y0 && b.x1 == c.x1 && b.y1 == c.y1;
        });
        if (!known) v.push_back(c);
    }
    return v;
}

// The frame's clip keeps its name of one-panel pictures; other panels are numbered.
std::string clip_id(std::size_t i) {
    return i == 0 ? "frame-clip" : "panel-clip-" + std::to_string(i + 1);
}

}  // namespace

void write_svg(const scene& s, std::ostream& out) {
    const std::vector<box> clips = clip_boxes(s);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << s.width << "\" height=\""
        << s.height << "\" viewBox=\"0 0 " << s.width << ' ' << s.height << "\">\n<defs>";
    for (std::size_t i = 0; i < clips.size(); ++i) {
        const box& f = clips[i];
        out << "<clipPath id=\"" << clip_id(i) << "\"><rect x=\"" << num(f.x0) << "\" y=\""
            << num(f.y0) << "\" width=\"" << num(f.x1 - f.x0) << "\" height=\"" << num(f.y1 - f.y0)
            << "\"/></clipPath>";
    }
    out << "</defs>\n<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    for (const stroke& k : s.strokes) {
        out << "<path class=\"" << role_name(k.role) << '"';
        if (k.role == stroke_role::legend && k.curve > 0) out << " data-curve=\"" << k.curve << '"';
        if (k.role == stroke_role::curve) {
            out << " id=\"curve-" << k.curve << "\" data-style=\"" << k.style << '"';
            if (!k.symbol.empty()) out << " data-symbol=\"" << escaped(k.symbol) << '"';
        }
        out << " d=\"" << path_data(k) << "\" fill=\""
            << (k.fill_opacity > 0.0 ? hex(k.colour)
                : k.filled           ? "white"
                                     : "none")
            << '"';
        if (k.fill_opacity > 0.0) out << " fill-opacity=\"" << num(k.fill_opacity) << '"';
        out << " stroke=\"" << (k.width > 0.0 ? hex(k.colour) : "none") << "\" stroke-width=\""
            << num(k.width) << "\" stroke-linejoin=\"round\" stroke-linecap=\"round\"";
        if (k.role == stroke_role::curve) {
            const box c = clip_of(k, s);
            const auto at = std::find_if(clips.begin(), clips.end(), [&](const box& b) {
                return b.x0 == c.x0 && b.y0 == c.y0 && b.x1 == c.x1 && b.y1 == c.y1;
            });
            out << " clip-path=\"url(#" << clip_id(static_cast<std::size_t>(at - clips.begin()))
                << ")\"";
        }
        out << "/>\n";
    }
    for (const text& t : s.texts) {
        const char* anchor = t.anchor == text_anchor::start    ? "start"
                             : t.anchor == text_anchor::middle ? "middle"
                                                               : "end";
        out << "<text x=\"" << num(t.x) << "\" y=\"" << num(t.y) << "\" font-size=\"" << num(t.size)
            << "\" font-family=\"DejaVu Sans, Verdana, sans-serif\" text-anchor=\"" << anchor
            << "\" xml:space=\"preserve\"";
        if (t.angle != 0.0)
            out << " transform=\"rotate(" << num(-t.angle) << ' ' << num(t.x) << ' ' << num(t.y)
                << ")\"";
        out << '>' << pieces(t) << "</text>\n";
    }
    out << "</svg>\n";
}

}  // namespace korva::plot
