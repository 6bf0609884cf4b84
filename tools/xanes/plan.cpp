#include "plan.hpp"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <sstream>

namespace korva::xanes {

namespace {

namespace fs = std::filesystem;

std::string number_text(double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// A name made safe for a folder: letters, digits, '.', '_' and '-' kept, the rest '_'.
std::string safe(std::string s) {
    for (char& c : s)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') c = '_';
    return s;
}

// The shell's quoting of one word: in single quotes, a quote as '\''.
std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string shell_line(const command& c) {
    std::string t;
    if (c.threads > 0) t += "OMP_NUM_THREADS=" + std::to_string(c.threads) + " ";
    for (std::size_t i = 0; i < c.argv.size(); ++i) {
        if (i > 0) t += ' ';
        t += quoted(c.argv[i]);
    }
    if (!c.in.empty()) t += " < " + quoted(c.in);
    t += " > " + quoted(c.out);
    t += " 2> " + quoted(c.err);
    return t;
}

std::string executable(const fs::path& p) {
    return ::access(p.c_str(), X_OK) == 0 ? p.lexically_normal().string() : "";
}

command cluster_stage(const options& o, const programs& p, const plan& pl, const site& s, int frame,
                      int frames) {
    command c;
    c.argv = {p.cluster,    "../" + pl.structure,
              "--absorber", s.name,
              "--radius",   number_text(o.radius),
              "--deck",     "deck.in",
              "--psgen",    "run.psgen"};
    if (!o.edge.empty()) c.argv.insert(c.argv.end(), {"--edge", o.edge});
    if (frames > 1) c.argv.insert(c.argv.end(), {"--frame", std::to_string(frame)});
    if (o.points) c.argv.insert(c.argv.end(), {"--points", std::to_string(*o.points)});
    if (o.max_atoms) c.argv.insert(c.argv.end(), {"--max-atoms", std::to_string(*o.max_atoms)});
    c.out = "block.txt";
    c.err = "cluster.err";
    return c;
}

run_plan one_run(const options& o, const programs& p, const plan& pl, const site& s, int frame,
                 const listing& l, bool crystal) {
    run_plan r;
    const std::string name = crystal ? safe(s.name) : "atom" + safe(s.name);
    char f[32];
    std::snprintf(f, sizeof f, "f%0*d", static_cast<int>(std::to_string(l.frames).size()), frame);
    r.label = l.frames == 1         ? name
              : l.sites.size() == 1 ? std::string(f)
                                    : std::string(f) + "_" + name;
    r.folder = "run-" + r.label;
    r.weight = s.multiplicity;
    const std::string dir = pl.folder + "/" + r.folder;
    command cluster = cluster_stage(o, p, pl, s, frame, l.frames);
    command psgen{{p.psgen, "run.psgen"}, "", "", "psgen.txt", "psgen.err", 0};
    command korva{o.launcher, "", "deck.in", "korva.out", "korva.err", pl.threads};
    korva.argv.push_back(p.korva);
    r.stages = {cluster, psgen, korva};
    for (command& c : r.stages) c.dir = dir;
    return r;
}

command xas_stage(const options& o, const programs& p, const plan& pl) {
    const std::string pictures = pl.exp.empty() ? "spectrum" : "compare";
    command c;
    c.argv = {
        p.xas,   "--runs",         "runs.txt", "-o", "spectrum.xdi", "--png", pictures + ".png",
        "--svg", pictures + ".svg"};
    if (!pl.exp.empty()) c.argv.insert(c.argv.end(), {"--exp", pl.exp, "--compare", "compare.xdi"});
    if (o.fit) c.argv.push_back("--fit");
    c.argv.insert(c.argv.end(), o.xas.begin(), o.xas.end());
    c.dir = pl.folder;
    c.out = "xas.txt";
    c.err = "xas.err";
    return c;
}

}  // namespace

programs find_programs(const std::string& self) {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) exe = fs::absolute(self, ec);
    const fs::path dir = exe.parent_path();
    programs p;
    const std::pair<std::string*, std::pair<std::string, std::string>> wanted[] = {
        {&p.cluster, {"korva-cluster", "../cluster/korva-cluster"}},
        {&p.psgen, {"korva-psgen", "../psgen/korva-psgen"}},
        {&p.korva, {"korva", "../../korva"}},
        {&p.xas, {"korva-xas", "../xas/korva-xas"}}};
    for (const auto& [where, names] : wanted) {
        *where = executable(dir / names.first);
        if (where->empty()) *where = executable(dir / names.second);
        if (where->empty())
            throw xanes_error(exit_wrong_value,
                              "cannot find " + names.first + " beside korva-xanes (" +
                                  (dir / names.first).string() + ") nor in its build tree (" +
                                  (dir / names.second).lexically_normal().string() + ")");
    }
    return p;
}

listing parse_listing(const std::string& text) {
    listing l;
    std::istringstream in(text);
    bool have_frames = false;
    for (std::string line; std::getline(in, line);) {
        std::istringstream w(line);
        std::string key;
        w >> key;
        site s;
        if (key == "frames" && (w >> l.frames) && l.frames >= 1) {
            have_frames = true;
        } else if (key == "site" && (w >> s.name >> s.multiplicity >> s.element) &&
                   s.multiplicity >= 1) {
            l.sites.push_back(s);
        } else if (key == "format" && (w >> l.format)) {
        } else {
            throw xanes_error(exit_unreadable, "korva-cluster --sites wrote '" + line + "'");
        }
    }
    if (!have_frames || l.sites.empty())
        throw xanes_error(exit_unreadable, "korva-cluster --sites listed no site");
    return l;
}

plan make_plan(const options& o, const programs& p, const listing& l, const std::string& folder,
               int cores) {
    plan pl;
    pl.folder = folder;
    pl.structure = fs::path(o.structure).filename().string();
    if (!o.exp.empty()) pl.exp = fs::path(o.exp).filename().string();
    const bool crystal = l.format == "cif";
    std::vector<site> sites = l.sites;
    if (!crystal && !o.every_atom) sites.resize(1);
    const int n = static_cast<int>(sites.size()) * l.frames;
    pl.jobs = o.jobs > 0 ? std::min(o.jobs, n) : std::max(1, std::min(cores, n));
    pl.threads = o.threads > 0 ? o.threads : std::max(1, cores / pl.jobs);
    listing used = l;
    used.sites = sites;
    for (int f = 1; f <= l.frames; ++f)
        for (const site& s : sites) pl.runs.push_back(one_run(o, p, pl, s, f, used, crystal));
    pl.xas = xas_stage(o, p, pl);
    return pl;
}

std::string runs_text(const plan& p) {
    std::string t = "# korva-xas --runs: WEIGHT DECK LABEL, one run a line (korva-xanes)\n";
    for (const run_plan& r : p.runs)
        t += number_text(r.weight) + " " + r.folder + "/deck.in " + r.label + "\n";
    return t;
}

std::string script_text(const plan& p, const std::vector<std::string>& korva_xanes_args) {
    std::string t =
        "#!/bin/sh\n# Repeats the run of this folder exactly: the programs korva-xanes ran, with "
        "the same\n"
        "# arguments, stage by stage. It was made by\n#   korva-xanes";
    for (const std::string& a : korva_xanes_args) {
        t += ' ';
        t += quoted(a);
    }
    t += "\n#\n#   sh repeat.sh          every run, then the spectrum\n"
         "#   sh repeat.sh run N    run N alone (cluster, psgen, korva): one task of a job array\n"
         "#   sh repeat.sh xas      the spectrum (and comparison) from the finished runs\n"
         "set -e\ncd \"$(dirname \"$0\")\"\n";
    for (std::size_t i = 0; i < p.runs.size(); ++i) {
        t += "run_" + std::to_string(i + 1) + "() {  # " + p.runs[i].label + "\n    cd ";
        t += quoted(p.runs[i].folder);
        t += '\n';
        for (const command& c : p.runs[i].stages) {
            t += "    ";
            t += shell_line(c);
            t += '\n';
        }
        t += "    cd ..\n}\n";
    }
    t += "xas() {\n    ";
    t += shell_line(p.xas);
    t += "\n}\n";
    t += "case \"${1:-all}\" in\n    all)";
    for (std::size_t i = 0; i < p.runs.size(); ++i) t += " run_" + std::to_string(i + 1) + ";";
    t += " xas ;;\n    run) \"run_$2\" ;;\n    xas) xas ;;\n"
         "    *) echo \"usage: sh repeat.sh [run N | xas]\" >&2; exit 1 ;;\nesac\n";
    return t;
}

}  // namespace korva::xanes
