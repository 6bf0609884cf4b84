// The extension module _korva: its parts, and the translation of a run's early end into the
// package's exceptions (korva/_errors.py).
#include "binding.hpp"

namespace korva::python {
namespace {

void raise_failure(const failure& f) {
    const py::module_ errors = py::module_::import("korva._errors");
    const py::object cls = errors.attr(f.status == 2 ? "DeckError" : "RunError");
    const py::object e = cls(f.message, f.status, f.output);
    PyErr_SetObject(cls.ptr(), e.ptr());
}

}  // namespace
}  // namespace korva::python

PYBIND11_MODULE(_korva, m) {
    using namespace korva::python;
    m.doc() = "KORVA's run, deck and companion tools, in this process (see the package korva)";
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const failure& f) {
            raise_failure(f);
        }
    });
    bind_run(m);
    bind_deck(m);
    bind_cluster(m);
    bind_psgen(m);
    bind_xas(m);
}
