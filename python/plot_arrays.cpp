#include "plot_arrays.hpp"

#include <sstream>

#include "plot_read.hpp"

namespace korva::python {

py::list plot_curves(const std::string& text, const std::string& name) {
    std::istringstream in(text);
    std::ostringstream warnings;  // the run's own files hold no command the reader lacks
    const plot::plot_file f = plot::read_plot(in, name, warnings);
    py::list curves;
    for (const plot::curve& c : f.curves) {
        if (c.points.empty()) continue;
        std::vector<float> x, y;
        // Every value was written from a float in shortest form: the cast is exact.
        for (const plot::point& p : c.points) {
            x.push_back(static_cast<float>(p.x));
            y.push_back(static_cast<float>(p.y));
        }
        curves.append(py::make_tuple(to_array(x), to_array(y)));
    }
    return curves;
}

}  // namespace korva::python
