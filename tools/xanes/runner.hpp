// Runs a plan: its runs `jobs` at a time, the stages of each one after another (cluster, psgen,
// korva), then korva-xas over all of them; a progress line per stage and per energy point.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "plan.hpp"

namespace korva::xanes {

// A stage that did not end well: its name, its run, its own last message and its status.
struct stage_failure {
    std::string stage, run, folder, message;
    int status = 1;
    int signal = 0;
};

// What the stages' outputs tell of each run.
struct run_facts {
    int atoms = 0, energies = 0;
    std::string fermi;  // E_F as korva-psgen prints it, Ry
};

struct execution {
    std::vector<run_facts> facts;
    std::vector<std::string> xas_lines;  // korva-xas's summary
};

// Throws stage_failure at the first stage that fails (the others are stopped).
execution execute(const plan& p, std::ostream& out);

}  // namespace korva::xanes
