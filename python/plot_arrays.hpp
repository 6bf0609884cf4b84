// The curves of a plot file's text as korva-plot reads them: the numbers come back exactly as
// the run wrote them (single-precision values in shortest form).
#pragma once
#include "binding.hpp"

namespace korva::python {

// Each curve that holds points, in file order, as a pair of float32 arrays (x, y).
py::list plot_curves(const std::string& text, const std::string& name);

}  // namespace korva::python
