#include "picture.hpp"

#include <sstream>

#include "draw_cairo.hpp"
#include "draw_svg.hpp"
#include "plot_file.hpp"
#include "scene.hpp"

namespace korva::xas {

namespace {

// The page's frames of the overlay (page units, 13.33 x 10 a page): the spectra above, the
// residual in a third of the height below, the gap between them clear of tick labels.
constexpr plot::window upper_frame{2.0, 12.0, 3.9, 9.2};
constexpr plot::window lower_frame{2.0, 12.0, 1.45, 3.55};

plot::title placed(plot::placement where, const std::string& text) {
    plot::title t;
    t.where = where;
    t.text = text;
    return t;
}

plot::curve line_of(const std::vector<double>& x, const std::vector<double>& y) {
    plot::curve c;
    c.line = true;
    for (std::size_t i = 0; i < x.size(); ++i) c.points.push_back({x[i], y[i]});
    return c;
}

// The closed outline of mu - spread .. mu + spread: the upper edge forwards, the lower back.
plot::curve band_of(const std::vector<double>& x, const std::vector<double>& mu,
                    const std::vector<double>& spread) {
    plot::curve c;
    c.band = true;
    for (std::size_t i = 0; i < x.size(); ++i) c.points.push_back({x[i], mu[i] + spread[i]});
    for (std::size_t i = x.size(); i-- > 0;) c.points.push_back({x[i], mu[i] - spread[i]});
    return c;
}

std::string bytes(const plot::scene& s, bool png) {
    if (png) return plot::png_bytes(s);
    std::ostringstream svg;
    plot::write_svg(s, svg);
    return svg.str();
}

}  // namespace

std::string picture(const std::vector<double>& energy, const std::vector<double>& mu,
                    const picture_text& text, bool png, const std::vector<double>& spread) {
    plot::plot_file f;
    if (!spread.empty()) {
        f.curves.push_back(band_of(energy, mu, spread));
        f.curves.back().colour = 1;
        f.curves.back().name = "spread of the runs";
    }
    f.curves.push_back(line_of(energy, mu));
    f.curves.back().colour = 1;
    if (!spread.empty()) f.curves.back().name = "weighted mean";
    f.titles.push_back(placed(plot::placement::top, text.title));
    f.titles.push_back(placed(plot::placement::bottom, text.x_axis));
    f.titles.push_back(placed(plot::placement::left, text.y_axis));
    return bytes(plot::layout(f, {.legend = !spread.empty()}), png);
}

std::string overlay_picture(const overlay& o, bool png) {
    plot::plot_file top;
    top.frame = upper_frame;
    if (!o.spread.empty()) {
        top.curves.push_back(band_of(o.energy, o.computed, o.spread));
        top.curves.back().colour = 1;
        top.curves.back().name = "spread of the runs";
    }
    top.curves.push_back(line_of(o.energy, o.computed));
    top.curves.back().colour = 1;
    top.curves.back().name = o.computed_name;
    plot::curve m;
    m.markers = true;
    m.symbol = 2;  // circles
    m.symbol_size = 0.6;
    m.colour = -1;
    m.name = o.measured_name;
    for (std::size_t i = 0; i < o.measured_energy.size(); ++i)
        m.points.push_back({o.measured_energy[i], o.measured[i]});
    top.curves.push_back(m);
    top.legend_notes = o.notes;
    top.titles.push_back(placed(plot::placement::top, o.text.title));
    top.titles.push_back(placed(plot::placement::left, o.text.y_axis));
    const plot::scene upper = plot::layout(top, {.legend = true, .x_labels = false});

    plot::plot_file bottom;
    bottom.frame = lower_frame;
    bottom.x = {true, upper.x.lo, upper.x.hi};
    bottom.curves.push_back(line_of({upper.x.lo, upper.x.hi}, {0.0, 0.0}));
    bottom.curves.back().colour = -1;
    bottom.curves.push_back(line_of(o.measured_energy, o.residual));
    bottom.curves.back().colour = 2;
    bottom.titles.push_back(placed(plot::placement::bottom, o.text.x_axis));
    bottom.titles.push_back(placed(plot::placement::left, "Residual"));
    const plot::scene lower = plot::layout(bottom, {.legend = false});
    return bytes(plot::stack(upper, lower), png);
}

}  // namespace korva::xas
