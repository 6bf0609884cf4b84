// A deck's answers as Python sees them: a dict of its fields, to and from korva::deck.
#pragma once
#include "binding.hpp"
#include "input/deck.hpp"

namespace korva::python {

py::dict deck_dict(const korva::deck& d);
korva::deck deck_of(const py::dict& values);

}  // namespace korva::python
