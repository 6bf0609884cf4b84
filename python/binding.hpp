// The extension _korva of the Python module korva: the program's run, its deck, and the
// companion tools' libraries, called in this process. Each part registers its functions; the
// Python package (korva/__init__.py) turns their plain values into its objects.
#pragma once
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <string>
#include <vector>

namespace korva::python {

namespace py = pybind11;

// A run or a tool that ended early, as the program would have: its exit status, its message
// (the last line of standard output for status 1 of a run, else the standard-error line) and
// what it printed until then. Python sees korva.DeckError (status 2: an input that cannot be
// read) or korva.RunError (any other status).
struct failure {
    int status = 1;
    std::string message;
    std::string output;
};

// A numpy array holding a copy of `v`.
template <class T>
py::array_t<T> to_array(const std::vector<T>& v) {
    py::array_t<T> a(static_cast<py::ssize_t>(v.size()));
    std::copy(v.begin(), v.end(), a.mutable_data());
    return a;
}

void bind_run(py::module_& m);
void bind_deck(py::module_& m);
void bind_cluster(py::module_& m);
void bind_psgen(py::module_& m);
void bind_xas(py::module_& m);

}  // namespace korva::python
