// The large deck (bench/large, or DECK_DIR) run in this process alone and by a team of threads
// of MEMBERS members (default 2), one thread each, as the ranks of an MPI job share the points:
// the wall time of the whole run and of the part after the set-up, the speed-up, and whether
// both wrote the same bytes. Each configuration runs REPEAT times (default 3); the shortest
// counts.
//
//   team_bench [--members M] [--repeat R] [DECK_DIR]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "bandwidth.hpp"
#include "driver/run.hpp"

namespace fs = std::filesystem;

namespace {

struct timing {
    double total = 1e30, after_setup = 1e30;
    std::string out, plots;
};

std::string read_all(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// The deck in `dir` with `members` members of one thread each; the shortest of `repeat`.
timing run_team(const fs::path& dir, int members, int repeat) {
    timing best;
    for (int i = 0; i < repeat; ++i) {
        std::ifstream deck(dir / "deck.in");
        std::ostringstream out;
        korva::run_options opt;
        korva::run_observer obs;
        opt.observer = &obs;
        opt.threads = 1;
        opt.members = members;
        const double t0 = korva::bench::now();
        korva::run(deck, out, opt);
        const double total = korva::bench::now() - t0;
        if (total < best.total) {
            best.total = total;
            best.after_setup = total - obs.timing.setup;
        }
        best.out = out.str();
        best.plots.clear();
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().filename().string().find("_kor.") != std::string::npos)
                best.plots += read_all(e.path());
    }
    return best;
}

// Standard output without its CPU-time figures.
std::string masked(const std::string& text) {
    std::string s;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        if (l.find("CPU") == std::string::npos && l.find("ms  <<<<") == std::string::npos)
            s += l + '\n';
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    int members = 2, repeat = 3;
    fs::path dir = fs::path(KORVA_SOURCE_DIR) / "bench" / "large";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--members" && i + 1 < argc)
            members = std::atoi(argv[++i]);
        else if (a == "--repeat" && i + 1 < argc)
            repeat = std::atoi(argv[++i]);
        else
            dir = a;
    }
    const fs::path work = fs::temp_directory_path() / "korva_team_bench";
    fs::remove_all(work);
    fs::create_directories(work);
    for (const auto& e : fs::directory_iterator(dir))
        fs::copy(e.path(), work / e.path().filename());
    fs::current_path(work);
    const timing one = run_team(work, 1, repeat);
    const timing team = run_team(work, members, repeat);
    std::printf("alone:        %.2f s, after the set-up %.2f s\n", one.total, one.after_setup);
    std::printf("%d members:    %.2f s, after the set-up %.2f s\n", members, team.total,
                team.after_setup);
    std::printf("speed-up after the set-up %.2f (whole run %.2f), efficiency %.0f%%\n",
                one.after_setup / team.after_setup, one.total / team.total,
                100.0 * one.after_setup / (members * team.after_setup));
    const bool same = masked(one.out) == masked(team.out) && one.plots == team.plots;
    std::printf("standard output (CPU lines aside) and plot files identical: %s\n",
                same ? "yes" : "no");
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(work);
    return same ? 0 : 1;
}
