#include "picture.hpp"

#include <sstream>

#include "draw_cairo.hpp"
#include "draw_svg.hpp"
#include "plot_file.hpp"
#include "scene.hpp"

namespace korva::xas {

namespace {

plot::title placed(plot::placement where, const std::string& text) {
    plot::title t;
    t.where = where;
    t.text = text;
    return t;
}

}  // namespace

std::string picture(const std::vector<double>& energy, const std::vector<double>& mu,
                    const picture_text& text, bool png) {
    plot::plot_file f;
    plot::curve c;
    c.line = true;
    for (std::size_t i = 0; i < energy.size(); ++i) c.points.push_back({energy[i], mu[i]});
    f.curves.push_back(std::move(c));
    f.titles.push_back(placed(plot::placement::top, text.title));
    f.titles.push_back(placed(plot::placement::bottom, text.x_axis));
    f.titles.push_back(placed(plot::placement::left, text.y_axis));
    const plot::scene s = plot::layout(f, {.legend = false});
    if (png) return plot::png_bytes(s);
    std::ostringstream svg;
    plot::write_svg(s, svg);
    return svg.str();
}

}  // namespace korva::xas
