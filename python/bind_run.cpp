// korva.run_deck and korva.run: the program's run of a deck text in this process, without the
// interpreter's lock, the deck's folder given to the run (never a change of directory), the
// plots kept in memory, progress and Ctrl-C between points.
#include <atomic>
#include <exception>
#include <new>
#include <optional>
#include <sstream>

#include "binding.hpp"
#include "common/errors.hpp"
#include "common/units.hpp"
#include "driver/command_line.hpp"
#include "driver/run.hpp"
#include "plot_arrays.hpp"

namespace korva::python {
namespace {

// The run's data at its end, copied by the observer: what the signal table prints.
struct run_arrays {
    std::vector<float> energy, energy_ev, k;  // Ry, eV (as printed), 1/Angstrom
    std::vector<std::vector<float>> xtot;     // one per column of the table
    std::vector<std::string> names;           // of the polarisations, when there are any
};

run_arrays copy_arrays(const run_state& st, int nen) {
    run_arrays a;
    for (int e = 1; e <= nen; ++e) {
        a.energy.push_back(st.phases.eph(e));
        a.energy_ev.push_back(ev * st.phases.eph(e));  // the product the table prints
        a.k.push_back(st.sig.kwave[e - 1]);
    }
    for (int col = 1; col <= st.sig.columns(); ++col)
        a.xtot.emplace_back(st.sig.xtot[col - 1].begin(), st.sig.xtot[col - 1].begin() + nen);
    a.names = st.polar_names;
    return a;
}

// Between points, with the lock taken back: the pending Ctrl-C, then the caller's progress
// function. A Python error from either stops the run and is raised when it has ended.
class python_watch {
  public:
    explicit python_watch(py::object progress) : progress_(std::move(progress)) {}

    point_watch watch() {
        point_watch w;
        w.progress = [this](int taken, int total) { between_points(taken, total); };
        w.cancel = &cancel_;
        return w;
    }
    void raise_pending() {
        if (pending_) throw std::move(*pending_);
    }

  private:
    void between_points(int taken, int total) {
        py::gil_scoped_acquire lock;
        if (pending_) return;
        try {
            if (PyErr_CheckSignals() != 0) throw py::error_already_set();
            if (!progress_.is_none()) progress_(taken, total);
        } catch (py::error_already_set& e) {
            pending_.emplace(std::move(e));
            cancel_ = true;
        }
    }
    py::object progress_;
    std::atomic<bool> cancel_{false};
    std::optional<py::error_already_set> pending_;
};

std::string last_line(const std::string& text) {
    std::size_t end = text.find_last_not_of('\n');
    if (end == std::string::npos) return "";
    const std::size_t start = text.rfind('\n', end);
    return text.substr(start == std::string::npos ? 0 : start + 1,
                       end + 1 - (start == std::string::npos ? 0 : start + 1));
}

// The status and message of each way the program's main reports an early end.
failure ended(std::exception_ptr p, const std::string& output) {
    try {
        std::rethrow_exception(p);
    } catch (const run_stop&) {
        return {1, last_line(output), output};
    } catch (const usage_error& e) {
        return {1, "korva: " + e.what, output};
    } catch (const read_error& e) {
        return {2, "korva: " + e.what, output};
    } catch (const write_error& e) {
        return {3, "korva: " + e.file + ": " + e.reason, output};
    } catch (const run_cancelled&) {
        return {1, "korva: the run was stopped between two points", output};
    } catch (const std::bad_alloc&) {
        return {1, "korva: out of memory", output};
    } catch (const std::exception& e) {
        return {1, std::string("korva: internal error: ") + e.what(), output};
    } catch (...) {
        return {1, "korva: internal error: an unknown exception", output};
    }
}

// The polarisation vectors as the command line takes them ("--polarisation X Y Z" each),
// normalised, with its messages for values it refuses.
std::vector<std::array<real, 3>> polarisations(const std::vector<std::string>& args) {
    try {
        return parse_command_line(args).polarisations;
    } catch (const usage_error& e) {
        throw failure{1, "korva: " + e.what, ""};
    }
}

py::dict result_dict(const run_arrays& a, const std::vector<plot_text>& plots,
                     const std::string& output) {
    py::dict r;
    r["output"] = output;
    r["energy"] = to_array(a.energy);
    r["energy_ev"] = to_array(a.energy_ev);
    r["k"] = to_array(a.k);
    py::list xtot;
    for (const auto& col : a.xtot) xtot.append(to_array(col));
    r["xtot"] = xtot;
    r["names"] = a.names;
    py::dict texts, curves;
    for (const plot_text& p : plots) {
        texts[py::str(p.name)] = p.text;
        curves[py::str(p.name)] = plot_curves(p.text, p.name);
    }
    r["plots"] = texts;
    r["curves"] = curves;
    return r;
}

// One run of `deck` (the text of a deck file) whose file names are relative to `folder`.
py::dict run_text(const std::string& deck, const std::string& folder, int threads,
                  const std::vector<std::string>& polarisation_args, py::object progress) {
    run_options opt;
    opt.threads = threads;
    opt.polarisations = polarisations(polarisation_args);
    std::vector<plot_text> plots;
    opt.place = {folder, &plots};
    python_watch watch(std::move(progress));
    opt.watch = watch.watch();
    run_arrays arrays;
    run_observer obs;
    obs.end_hook = [&arrays](const run_state& st, int nen) { arrays = copy_arrays(st, nen); };
    opt.observer = &obs;
    std::istringstream in(deck);
    std::ostringstream out;
    std::exception_ptr end;
    {
        py::gil_scoped_release unlocked;
        try {
            run(in, out, opt);
        } catch (...) {
            end = std::current_exception();
        }
    }
    watch.raise_pending();
    if (end) throw ended(end, out.str());
    return result_dict(arrays, plots, out.str());
}

}  // namespace

void bind_run(py::module_& m) {
    m.def("run_text", &run_text, py::arg("deck"), py::arg("folder"), py::arg("threads") = 0,
          py::arg("polarisations") = std::vector<std::string>{}, py::arg("progress") = py::none(),
          "Runs a deck text whose file names are relative to folder; plots kept in memory.");
}

}  // namespace korva::python
