// What one korva-xanes run does: the programs it runs, the runs (a site of the structure in a
// frame) with the commands of their stages, the spectrum's command, and the files of the run
// folder that tell how to repeat it (runs.txt for korva-xas, repeat.sh for the shell).
#pragma once

#include <string>
#include <vector>

#include "cli.hpp"
#include "process.hpp"

namespace korva::xanes {

// The programs, found beside korva-xanes (an installation: one folder) or in its build tree
// (build/tools/xanes/korva-xanes: build/korva, build/tools/NAME/korva-NAME). Throws xanes_error
// (status 1) naming the first that is missing.
struct programs {
    std::string cluster, psgen, korva, xas;
};
programs find_programs(const std::string& self);

// What korva-cluster --sites lists: the frames, and every absorbing site with its multiplicity.
struct site {
    std::string name;  // what --absorber takes for this one site
    int multiplicity = 1;
    std::string element;
};
struct listing {
    std::string format;  // cif, mmcif, pdb or xyz
    int frames = 1;
    std::vector<site> sites;
};
// Throws xanes_error (status 2) when the text is not such a listing.
listing parse_listing(const std::string& text);

struct run_plan {
    std::string label;   // names its column in the spectrum and its folder run-LABEL
    std::string folder;  // the folder's name inside the run folder
    double weight = 1.0;
    std::vector<command> stages;  // cluster, psgen, korva
};

struct plan {
    std::string folder;     // the run folder, absolute
    std::string structure;  // the structure's copy in it (file name)
    std::string exp;        // the measurement's copy in it; empty: none
    std::vector<run_plan> runs;
    command xas;      // korva-xas over every run, in the run folder
    int jobs = 1;     // runs at once
    int threads = 1;  // OpenMP threads of each korva
};

// The stages' names, as messages and the progress name them.
constexpr const char* stage_names[] = {"cluster", "psgen", "korva"};

// Every site in every frame (XYZ, PDB, mmCIF: the first site only, unless every_atom), each
// run's commands, and the share of the cores: jobs runs at once (at most the cores), each korva
// with cores / jobs threads, so that jobs x threads never exceeds the cores.
plan make_plan(const options& o, const programs& p, const listing& l, const std::string& folder,
               int cores);

std::string runs_text(const plan& p);
// The shell script that repeats the run: `sh repeat.sh` (all), `sh repeat.sh run N` (run N
// alone, one task of a job array), `sh repeat.sh xas` (the spectrum from finished runs).
std::string script_text(const plan& p, const std::vector<std::string>& korva_xanes_args);

}  // namespace korva::xanes
