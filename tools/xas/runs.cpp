#include "runs.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/errors.hpp"
#include "elements.hpp"

namespace korva::xas {

namespace {

[[noreturn]] void unreadable(const std::string& what) {
    throw xas_error(exit_unreadable, what);
}

// A file the deck names, as korva-xas opens it: from the deck's folder.
std::string beside(const std::string& deck, const std::string& name) {
    const std::filesystem::path dir = std::filesystem::path(deck).parent_path();
    if (dir.empty() || std::filesystem::path(name).is_absolute()) return name;
    return (dir / name).string();
}

// One line of a run list, or false for a comment or blank line.
bool run_line(const std::string& line, const std::filesystem::path& dir, int n, run_entry& e,
              const std::string& path) {
    std::istringstream is(line);
    std::string weight, deck, label, rest;
    if (!(is >> weight) || weight[0] == '#') return false;
    const auto where = path + ":" + std::to_string(n) + ": ";
    const auto r = std::from_chars(weight.data(), weight.data() + weight.size(), e.weight);
    if (r.ec != std::errc() || r.ptr != weight.data() + weight.size() || !std::isfinite(e.weight) ||
        !(e.weight > 0.0))
        unreadable(where + "'" + weight + "': the weight must be a number above 0");
    if (!(is >> deck)) unreadable(where + "a deck must follow the weight (WEIGHT DECK [LABEL])");
    is >> label;
    if (is >> rest) unreadable(where + "'" + rest + "' after the label (WEIGHT DECK [LABEL])");
    e.deck =
        std::filesystem::path(deck).is_absolute() || dir.empty() ? deck : (dir / deck).string();
    e.label = label;
    return true;
}

}  // namespace

std::vector<run_entry> read_run_list(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) unreadable(path + ": cannot open the run list");
    const std::filesystem::path dir = std::filesystem::path(path).parent_path();
    std::vector<run_entry> runs;
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        run_entry e;
        if (!run_line(line, dir, n, e, path)) continue;
        if (e.label.empty()) e.label = std::to_string(runs.size() + 1);
        runs.push_back(e);
    }
    if (runs.empty()) unreadable(path + ": the run list names no run (WEIGHT DECK [LABEL] a line)");
    return runs;
}

run_data read_run(const std::string& deck) {
    run_data r;
    try {
        r.d = load_deck(deck);
    } catch (const read_error& e) {
        unreadable(e.what);
    }
    check_deck(deck, r.d);
    r.sig = beside(deck, r.d.prefix + "_kor.sig");
    r.d.psfile = beside(deck, r.d.psfile);
    r.d.xsfile = beside(deck, r.d.xsfile);
    r.spectrum = read_sig(r.sig, r.d.lcore);
    r.ps = read_data_header(r.d.psfile);
    r.xs = read_data_header(r.d.xsfile);
    return r;
}

}  // namespace korva::xas
