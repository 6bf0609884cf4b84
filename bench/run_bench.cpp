// The whole run of a deck (by default bench/large: 89 Fe atoms, matrix order 4539), each
// configuration in a child process of its own so that its peak memory is its own.
//
//   run_bench [--plain] [--threads T] [--dump E FILE] [DECK_DIR]
//
// Prints the wall time of each phase and of each energy point, the peak memory against one
// stored matrix plus the spherical-harmonics table, the threads, and the recursion of each
// point against levels x matrix bytes / read bandwidth (measured here). --plain also runs the
// reference solver (slow: minutes) and prints the speed-up; --dump writes the matrix of point E
// and its channels for lapack_bench.
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bandwidth.hpp"
#include "common/errors.hpp"
#include "driver/run.hpp"
#include "recursion/tile_store.hpp"
#include "reference/solver.hpp"

namespace fs = std::filesystem;

namespace {

struct result {
    double total = 0, peak_mb = 0, point_at_dump = 0, rec_at_dump = 0;
    int levels_at_dump = 0, order_at_dump = 0;
};

// Runs the deck in `dir`; the child prints its figures and hands the main ones back by a pipe.
int child_main(const fs::path& dir, bool plain, int threads, int dump_e, const std::string& dump,
               double bw, const std::string& result_file) {
    {
        fs::current_path(dir);
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().filename().string().find("_kor.") != std::string::npos) fs::remove(e);
        std::ifstream deck("deck.in");
        std::ostringstream out;
        korva::run_options opt;
        korva::run_observer obs;
        opt.observer = &obs;
        if (plain) opt.solver = korva::reference::row_list_solver();
        opt.threads = threads;
        if (!dump.empty())
            obs.matrix_hook = [&](const korva::tile_store& g, int e) {
                if (e != dump_e) return;
                std::ofstream f(dump, std::ios::binary);
                const int n = g.order();
                f.write(reinterpret_cast<const char*>(&n), sizeof n);
                for (int j = 1; j <= n; ++j)
                    for (int i = 1; i <= n; ++i) {
                        const korva::cplx v = g.gt(i, j);
                        f.write(reinterpret_cast<const char*>(&v), sizeof v);
                    }
            };
        const double t0 = korva::bench::now();
        try {
            korva::run(deck, out, opt);
        } catch (...) {
            std::printf("the run ended early:\n%s\n", out.str().c_str());
            std::_Exit(4);
        }
        const double total = korva::bench::now() - t0;
        const korva::run_timings& tm = obs.timing;
        rusage ru{};
        getrusage(RUSAGE_SELF, &ru);
        const double peak_mb = ru.ru_maxrss / 1024.0;
        std::printf("\n== %s solver, %d thread(s) ==\n", plain ? "reference" : "streaming",
                    tm.threads);
        std::printf(
            "phases (s): set-up %.3f  harmonics %.3f  builders %.3f  assembly %.3f  "
            "recursion %.3f  post %.3f  total %.3f\n",
            tm.setup, tm.ylm, tm.builders, tm.assembly, tm.recursion, tm.post, total);
        std::printf("%5s %6s %7s %10s %10s %10s\n", "point", "N", "levels", "point s", "recur s",
                    "x bound");
        for (std::size_t e = 0; e < tm.point.size(); ++e) {
            const double bound = (tm.point_levels[e] - 1) * tm.matrix_bytes / (bw * 1e9);
            std::printf("%5zu %6d %7d %10.4f %10.4f %10.2f\n", e + 1, tm.point_order[e],
                        tm.point_levels[e], tm.point[e], tm.point_rec[e], tm.point_rec[e] / bound);
        }
        std::printf(
            "peak memory %.1f MB; stored matrix %.1f MB + harmonics %.1f MB = %.1f MB; "
            "ratio %.2f\n",
            peak_mb, tm.matrix_bytes / 1e6 * 1.0e6 / 1048576.0, tm.ylm_bytes / 1048576.0,
            (tm.matrix_bytes + tm.ylm_bytes) / 1048576.0,
            peak_mb / ((tm.matrix_bytes + tm.ylm_bytes) / 1048576.0));
        result r;
        r.total = total;
        r.peak_mb = peak_mb;
        if (dump_e >= 1 && dump_e <= static_cast<int>(tm.point.size())) {
            r.point_at_dump = tm.point[dump_e - 1];
            r.rec_at_dump = tm.point_rec[dump_e - 1];
            r.levels_at_dump = tm.point_levels[dump_e - 1];
            r.order_at_dump = tm.point_order[dump_e - 1];
        }
        std::fflush(stdout);
        std::ofstream rf(result_file, std::ios::binary);
        rf.write(reinterpret_cast<const char*>(&r), sizeof r);
        return rf ? 0 : 5;
    }
}

std::string self;

// Runs the deck in a child process of this program, so that the peak memory is the run's own.
result run_child(const fs::path& dir, bool plain, int threads, int dump_e, const std::string& dump,
                 double bw) {
    const fs::path rf = dir / "result.bin";
    std::fflush(stdout);
    const std::string cmd = "'" + self + "' --child " + (plain ? "1" : "0") + " " +
                            std::to_string(threads) + " " + std::to_string(dump_e) + " '" +
                            (dump.empty() ? "-" : dump) + "' " + std::to_string(bw) + " '" +
                            dir.string() + "' '" + rf.string() + "'";
    if (std::system(cmd.c_str()) != 0) {
        std::fprintf(stderr, "run_bench: the run failed\n");
        std::exit(1);
    }
    result r;
    std::ifstream f(rf, std::ios::binary);
    f.read(reinterpret_cast<char*>(&r), sizeof r);
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    self = fs::absolute(argv[0]).string();
    if (argc == 9 && std::string(argv[1]) == "--child") {
        const std::string dump = argv[5];
        return child_main(argv[7], std::atoi(argv[2]) == 1, std::atoi(argv[3]), std::atoi(argv[4]),
                          dump == "-" ? "" : dump, std::atof(argv[6]), argv[8]);
    }
    bool plain = false;
    int threads = 0, dump_e = 2;
    std::string dump;
    fs::path deck_dir = fs::path(KORVA_SOURCE_DIR) / "bench" / "large";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--plain") {
            plain = true;
        } else if (a == "--threads" && i + 1 < argc) {
            threads = std::atoi(argv[++i]);
        } else if (a == "--dump" && i + 2 < argc) {
            dump_e = std::atoi(argv[++i]);
            dump = fs::absolute(argv[++i]).string();
        } else {
            deck_dir = a;
        }
    }
    const fs::path dir = fs::temp_directory_path() / "korva-run-bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const auto& e : fs::directory_iterator(deck_dir))
        if (e.is_regular_file()) fs::copy_file(e.path(), dir / e.path().filename());

    const int bw_threads = threads > 0 ? threads : omp_get_max_threads();
    const double bw = korva::bench::read_bandwidth(bw_threads);
    std::printf("deck %s; read bandwidth %.1f GB/s on %d thread(s)\n", deck_dir.c_str(), bw,
                bw_threads);
    const result fast = run_child(dir, false, threads, dump_e, dump, bw);
    if (fast.order_at_dump > 0)
        std::printf("point %d: N = %d, %d levels, whole point %.4f s (recursion %.4f s)\n", dump_e,
                    fast.order_at_dump, fast.levels_at_dump, fast.point_at_dump, fast.rec_at_dump);
    if (plain) {
        const result ref = run_child(dir, true, 1, dump_e, "", bw);
        std::printf("\nwhole run: plain %.2f s, streaming %.2f s: %.1fx\n", ref.total, fast.total,
                    ref.total / fast.total);
        if (fast.order_at_dump > 0)
            std::printf("point %d: plain %.3f s, streaming %.4f s: %.1fx\n", dump_e,
                        ref.point_at_dump, fast.point_at_dump,
                        ref.point_at_dump / fast.point_at_dump);
        std::printf("peak memory: plain %.1f MB, streaming %.1f MB\n", ref.peak_mb, fast.peak_mb);
    }
}
