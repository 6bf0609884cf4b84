// Everything one korva-xas command reads and computes, handed from the reading to the reports.
#pragma once

#include <optional>
#include <vector>

#include "agreement.hpp"
#include "cli.hpp"
#include "compare.hpp"
#include "ensemble.hpp"
#include "runs.hpp"

namespace korva::xas {

struct loaded_run {
    run_entry entry;
    run_data r;
    choices c;  // its physics; the widths of the final spectrum after a fit
};

struct session {
    options o;
    bool several = false;  // --runs: the mean of a list, not one deck
    std::vector<loaded_run> runs;
    std::vector<member> members;
    std::optional<measurement> meas;
    std::optional<agreement> agree;
    ensemble spectrum;  // the final spectrum

    const choices& first() const { return runs.front().c; }
};

}  // namespace korva::xas
