#include "legend.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <string_view>
#include <utility>

namespace korva::plot {

namespace {

constexpr double font = 13.0;         // label font size, pixels
constexpr double row = 18.0;          // pixels per entry
constexpr double pad = 6.0;           // inside the box, pixels
constexpr double sample = 28.0;       // length of the line sample, pixels
constexpr double gap = 6.0;           // between sample and name, pixels
constexpr double inset = 12.0;        // box to frame, clear of the 8-pixel ticks
constexpr double char_width = 0.6;    // of the font size: a generous average for DejaVu Sans
constexpr double text_penalty = 1e6;  // covering a text is worse than covering any curve

bool ends_with(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

// True when a title is the run's file name with this extension (the run writes it as the
// plot's main title, blanks of a short prefix included).
bool run_file(const plot_file& plot, std::string_view extension) {
    for (const title& t : plot.titles) {
        std::string_view s = t.text;
        while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
        if (ends_with(s, "_kor." + std::string(extension))) return true;
    }
    return false;
}

// The marker names of the curves drawn as markers and line, "?" for any other curve: "2P 3P".
std::string form(const plot_file& plot) {
    std::string f;
    for (const curve& c : plot.curves) {
        if (!f.empty()) f += ' ';
        f += c.markers && c.line && !c.symbol_name.empty() ? c.symbol_name : "?";
    }
    return f;
}

// The polarisation vectors a polarised run names in its titles ("e1 = (1, 0, 0)"), in order.
std::vector<std::string> polarisation_names(const plot_file& plot) {
    std::vector<std::string> names;
    for (const title& t : plot.titles)
        if (t.text.size() > 4 && t.text[0] == 'e' && t.text.find(" = (") != std::string::npos)
            names.push_back(t.text);
    return names;
}

// The curves of a polarised run: one per vector in .dat; in .sig the total of each vector and
// its atomic cross-section, then perhaps the experiment.
std::vector<std::string> polarised_names(const plot_file& plot,
                                         const std::vector<std::string>& pol) {
    const std::size_t n = plot.curves.size();
    if (run_file(plot, "dat") && n == pol.size()) return pol;
    if (!run_file(plot, "sig") || (n != 2 * pol.size() && n != 2 * pol.size() + 1)) return {};
    std::vector<std::string> names;
    for (const std::string& e : pol) names.insert(names.end(), {"total, " + e, "atomic"});
    if (n % 2 == 1) names.push_back("experiment");
    return names;
}

// The names the run's order gives, empty when the file is not one of its .dat or .sig files.
std::vector<std::string> run_names(const plot_file& plot) {
    if (const std::vector<std::string> pol = polarisation_names(plot); !pol.empty())
        return polarised_names(plot, pol);
    const std::string f = form(plot);
    if (run_file(plot, "dat")) {
        if (f == "2P") return {"final state l+1"};
        if (f == "2P 3P") return {"final state l-1", "final state l+1"};
    }
    if (run_file(plot, "sig")) {
        if (f == "2P 2P") return {"total", "atomic"};
        if (f == "2P 2P 6P") return {"total", "atomic", "experiment"};
        if (f == "2P 2P 3P 3P") return {"total, l-1", "atomic, l-1", "total, l+1", "atomic, l+1"};
        if (f == "2P 2P 3P 3P 6P")
            return {"total, l-1", "atomic, l-1", "total, l+1", "atomic, l+1", "experiment"};
    }
    return {};
}

double text_width(const std::string& utf8, double size) {
    // UTF-8 continuation bytes do not start a character.
    auto chars = std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xc0) != 0x80;
    });
    return char_width * size * static_cast<double>(chars);
}

bool inside(const vertex& v, const box& b) {
    return v.x >= b.x0 && v.x <= b.x1 && v.y >= b.y0 && v.y <= b.y1;
}

bool overlap(const box& a, const box& b) {
    return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

// Bounding box of a text from its estimated width, turned about its anchor.
box text_box(const text& t) {
    double w = text_width(t.utf8, t.size);
    double left = t.anchor == text_anchor::start    ? 0.0
                  : t.anchor == text_anchor::middle ? -w / 2
                                                    : -w;
    double a = -t.angle * std::numbers::pi / 180.0;
    box b{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
          std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest()};
    for (double u : {left, left + w})
        for (double v : {-0.8 * t.size, 0.2 * t.size}) {
            double x = t.x + u * std::cos(a) - v * std::sin(a);
            double y = t.y + u * std::sin(a) + v * std::cos(a);
            b = {std::min(b.x0, x), std::min(b.y0, y), std::max(b.x1, x), std::max(b.y1, y)};
        }
    return b;
}

// How much a box at this place would hide: curve points every 3 pixels along the drawn paths,
// and any text.
double covered(const scene& s, const box& b) {
    double n = 0.0;
    for (const stroke& k : s.strokes) {
        if (k.role != stroke_role::curve) continue;
        for (const polyline& p : k.parts)
            for (std::size_t i = 0; i < p.v.size(); ++i) {
                const vertex& a = p.v[i];
                const vertex& c = p.v[i + 1 < p.v.size() ? i + 1 : i];
                int steps =
                    std::min(1000, static_cast<int>(std::hypot(c.x - a.x, c.y - a.y) / 3.0));
                for (int j = 0; j <= steps; ++j) {
                    double f = steps > 0 ? static_cast<double>(j) / steps : 0.0;
                    n += inside({a.x + f * (c.x - a.x), a.y + f * (c.y - a.y)}, b);
                }
            }
    }
    for (const text& t : s.texts) n += overlap(text_box(t), b) ? text_penalty : 0.0;
    return n;
}

// The corner of the frame, top right first, where a w x h box hides least.
box place(const scene& s, double w, double h) {
    const box& f = s.frame;
    const double left = f.x0 + inset, right = f.x1 - inset - w;
    const double top = f.y0 + inset, bottom = f.y1 - inset - h;
    const vertex corners[] = {{right, top}, {left, top}, {right, bottom}, {left, bottom}};
    box best{};
    double least = std::numeric_limits<double>::infinity();
    for (const vertex& c : corners) {
        box b{c.x, c.y, c.x + w, c.y + h};
        double n = covered(s, b);
        if (n < least) least = n, best = b;
    }
    return best;
}

// Line sample and marker of curve n as the curve is drawn, centred at (x, y); a band's sample
// is a filled box.
stroke entry_sample(const curve& c, int n, double x, double y) {
    stroke k;
    k.role = stroke_role::legend;
    k.curve = n;
    k.colour = colour_of(c, n);
    k.width = 1.4;
    if (c.band) {
        k.width = 0.0;
        k.fill_opacity = 0.25;
        const double h = row / 2 - 3.0;
        k.parts.push_back({{{x - sample / 2, y - h},
                            {x + sample / 2, y - h},
                            {x + sample / 2, y + h},
                            {x - sample / 2, y + h}},
                           true});
        return k;
    }
    if (c.line) k.parts.push_back({{{x - sample / 2, y}, {x + sample / 2, y}}, false});
    if (c.markers) {
        double h = std::min(c.symbol_size * marker_pixels, row / 2 - 2.0);
        auto m = marker(c.symbol, x, y, h);
        k.parts.insert(k.parts.end(), m.begin(), m.end());
    }
    return k;
}

}  // namespace

std::vector<legend_entry> legend_entries(const plot_file& plot) {
    std::vector<legend_entry> entries;
    for (std::size_t i = 0; i < plot.curves.size(); ++i)
        if (!plot.curves[i].name.empty())
            entries.push_back({static_cast<int>(i) + 1, plot.curves[i].name});
    if (!entries.empty() || !plot.legend_notes.empty()) {
        for (const std::string& note : plot.legend_notes) entries.push_back({0, note});
        return entries;
    }
    std::vector<std::string> names = run_names(plot);
    if (!names.empty()) {
        for (std::size_t i = 0; i < names.size(); ++i)
            entries.push_back({static_cast<int>(i) + 1, std::move(names[i])});
        return entries;
    }
    for (std::size_t i = 0; i < plot.curves.size(); ++i)
        if (plot.curves[i].points.size() > 1)
            entries.push_back({static_cast<int>(i) + 1, "curve " + std::to_string(i + 1)});
    if (entries.size() < 2) entries.clear();
    return entries;
}

void add_legend(scene& s, const plot_file& plot) {
    std::vector<legend_entry> entries = legend_entries(plot);
    if (entries.empty()) return;
    double widest = 0.0;
    for (const legend_entry& e : entries) widest = std::max(widest, text_width(e.name, font));
    double w = 2 * pad + sample + gap + widest;
    double h = 2 * pad + row * static_cast<double>(entries.size());
    box b = place(s, w, h);

    stroke frame;
    frame.role = stroke_role::legend;
    frame.width = 0.8;
    frame.filled = true;
    frame.parts.push_back({{{b.x0, b.y0}, {b.x1, b.y0}, {b.x1, b.y1}, {b.x0, b.y1}}, true});
    s.strokes.push_back(std::move(frame));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        double y = b.y0 + pad + row * (static_cast<double>(i) + 0.5);
        if (entries[i].curve > 0) {  // a note has no sample
            const curve& c = plot.curves[static_cast<std::size_t>(entries[i].curve - 1)];
            s.strokes.push_back(entry_sample(c, entries[i].curve, b.x0 + pad + sample / 2, y));
        }
        s.texts.push_back({entries[i].name,
                           b.x0 + pad + sample + gap,
                           y + 0.36 * font,
                           font,
                           0.0,
                           text_anchor::start,
                           {}});
    }
}

}  // namespace korva::plot
