// The whole run of a deck (by default bench/large: 89 Fe atoms, matrix order 4539), each
// configuration in a child process of its own so that its peak memory is its own.
//
//   run_bench [--plain] [--threads T] [--eps X] [--dump E FILE] [--point E FILE] [DECK_DIR]
//
// Prints the wall time of each phase, the assembly's steps, and per energy point: the time,
// the levels, the recursion, both against the memory bound at the read bandwidth measured here
// (the recursion: levels - 1 reads of the stored half; the point: one write and one read per
// level, levels + 1 passes), the recursion against the arithmetic of its passes at the rate of
// fused multiply-adds measured here (two complex multiply-adds per stored entry and channel of
// the pass) and the point's time per pass against the median of its neighbours (two on each
// side). Then the peak memory against one stored matrix plus the spherical-harmonics
// table, and the pass kernel. --eps replaces the deck's EPS (0: 20 levels at every point).
// --plain also runs the reference solver of the tests (slow: minutes) and prints the speed-up.
// --dump writes the matrix of point E and its channels for lapack_bench (from a run of its
// own, which stops there), and FILE.point: that point's figures in the timed run; --point
// writes only these figures, to FILE.
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
#include "recursion/stream_pass.hpp"
#include "recursion/tile_store.hpp"
#include "reference/solver.hpp"

namespace fs = std::filesystem;

namespace {

struct result {
    double total = 0, peak_mb = 0, point_at_dump = 0, rec_at_dump = 0, bound_at_dump = 0;
    int levels_at_dump = 0, order_at_dump = 0;
};

struct child_args {
    bool plain = false;
    int threads = 0, dump_e = 0;
    std::string dump;         // matrix file: this child only dumps point dump_e, then stops
    double bw = 0, rate = 0;  // read bandwidth (GB/s), complex multiply-adds per second
};

// Bytes of the stored half of the matrix of order n.
double matrix_bytes(int n) {
    return static_cast<double>(korva::tile_store::bytes_for_order(n));
}

void write_matrix(const korva::tile_store& g, const std::string& file) {
    std::ofstream f(file, std::ios::binary);
    const int n = g.order();
    f.write(reinterpret_cast<const char*>(&n), sizeof n);
    std::vector<korva::cplx> col(static_cast<std::size_t>(n));
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= n; ++i) col[i - 1] = g.gt(i, j);
        f.write(reinterpret_cast<const char*>(col.data()),
                static_cast<std::streamsize>(col.size() * sizeof(korva::cplx)));
    }
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : 0.5 * (v[m - 1] + v[m]);
}

// Seconds per pass (levels + 1) of each point against the median of up to two neighbours on
// each side.
std::vector<double> against_neighbours(const korva::run_timings& tm) {
    const int np = static_cast<int>(tm.point.size());
    std::vector<double> per(np), out(np, 0.0);
    for (int e = 0; e < np; ++e) per[e] = tm.point[e] / (tm.point_levels[e] + 1);
    for (int e = 0; e < np; ++e) {
        std::vector<double> nb;
        for (int d = -2; d <= 2; ++d)
            if (d != 0 && e + d >= 0 && e + d < np) nb.push_back(per[e + d]);
        if (!nb.empty()) out[e] = per[e] / median(nb);
    }
    return out;
}

void print_phases(const korva::run_timings& tm, double total) {
    std::printf(
        "phases (s): set-up %.3f  harmonics %.3f  builders' tables %.3f  store %.3f  assembly "
        "%.3f  recursion %.3f  post %.3f  total %.3f\n",
        tm.setup, tm.ylm, tm.builders, tm.store, tm.assembly, tm.recursion, tm.post, total);
    const double np = static_cast<double>(std::max<std::size_t>(tm.point.size(), 1));
    const double steps = tm.asm_build + tm.asm_copy;
    std::printf(
        "assembly steps: reshape %.3f s; builders %.3f thread-s, copies into the tiles %.3f "
        "thread-s (%.0f%% builders); per point %.1f ms wall, of it %.1f ms builders and %.1f ms "
        "copies over %d thread(s)\n",
        tm.asm_reshape, tm.asm_build, tm.asm_copy, steps > 0 ? 100.0 * tm.asm_build / steps : 0.0,
        1e3 * tm.assembly / np, 1e3 * tm.asm_build / np / tm.threads,
        1e3 * tm.asm_copy / np / tm.threads, tm.threads);
}

// Seconds of the arithmetic of one pass over the stored half of order n for `channels`
// channels: two complex multiply-adds per stored entry and channel.
double pass_arithmetic(int n, int channels, double rate) {
    return 2.0 * channels * matrix_bytes(n) / sizeof(korva::cplx) / rate;
}

// The point table and the run against its memory and arithmetic bounds; the figures of point
// dump_e.
result print_points(const korva::run_timings& tm, double bw, double rate, int dump_e) {
    std::printf("%5s %6s %7s %9s %9s %9s %9s %9s %9s\n", "point", "N", "levels", "point s",
                "recur s", "rec/bnd", "rec/arith", "point/bnd", "vs nbrs");
    const std::vector<double> nbrs = against_neighbours(tm);
    double loop = 0, bound = 0, arith = 0, worst = 0;
    result r;
    for (std::size_t e = 0; e < tm.point.size(); ++e) {
        const double pass = matrix_bytes(tm.point_order[e]) / (bw * 1e9);
        const int lev = tm.point_levels[e];
        const double rec_bound = std::max(lev - 1, 1) * pass, point_bound = (lev + 1) * pass;
        const double rec_arith =
            std::max(lev - 1, 1) * pass_arithmetic(tm.point_order[e], tm.point_channels[e], rate);
        std::printf("%5zu %6d %7d %9.4f %9.4f %9.2f %9.2f %9.2f %9.2f\n", e + 1, tm.point_order[e],
                    lev, tm.point[e], tm.point_rec[e], tm.point_rec[e] / rec_bound,
                    tm.point_rec[e] / rec_arith, tm.point[e] / point_bound, nbrs[e]);
        loop += tm.point[e];
        bound += point_bound;
        arith += rec_arith;
        worst = std::max(worst, nbrs[e]);
        if (static_cast<int>(e) + 1 == dump_e) {
            r.point_at_dump = tm.point[e];
            r.rec_at_dump = tm.point_rec[e];
            r.bound_at_dump = point_bound;
            r.levels_at_dump = lev;
            r.order_at_dump = tm.point_order[e];
        }
    }
    std::printf(
        "energy loop %.3f s against its memory bound %.3f s (levels + 1 passes at %.1f GB/s): "
        "ratio %.2f; against the arithmetic of its passes %.3f s (%.1f G complex multiply-adds/s): "
        "ratio %.2f; slowest point per pass %.2fx its neighbours' median\n",
        loop, bound, bw, loop / bound, arith, rate / 1e9, loop / arith, worst);
    return r;
}

// The kernel KORVA_KERNEL names (scalar, avx2, avx512) for this benchmark's runs, or best.
korva::pass_kernel kernel_from_environment() {
    const char* name = std::getenv("KORVA_KERNEL");
    for (auto k :
         {korva::pass_kernel::scalar, korva::pass_kernel::avx2, korva::pass_kernel::avx512})
        if (name && std::string(name) == korva::pass_kernel_name(k)) return k;
    return korva::pass_kernel::best;
}

// Runs the deck in `dir`; prints its figures and hands the main ones back through a file.
int child_main(const fs::path& dir, const child_args& a, const std::string& result_file) {
    fs::current_path(dir);
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().find("_kor.") != std::string::npos) fs::remove(e);
    std::ifstream deck("deck.in");
    std::ostringstream out;
    korva::run_options opt;
    korva::run_observer obs;
    opt.observer = &obs;
    if (a.plain) opt.solver = korva::reference::row_list_solver();
    opt.threads = a.threads;
    opt.kernel = kernel_from_environment();
    // A child that dumps stops there: the point's failure handling would take an exception
    // for the run's own end.
    if (!a.dump.empty())
        obs.matrix_hook = [&](const korva::tile_store& g, int e) {
            if (e != a.dump_e) return;
            write_matrix(g, a.dump);
            std::fflush(stdout);
            std::_Exit(0);
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
    std::printf("\n== %s solver, %d thread(s), pass kernel %s ==\n",
                a.plain ? "reference" : "streaming", tm.threads,
                korva::pass_kernel_name(korva::pass_kernel_used(opt.kernel)));
    print_phases(tm, total);
    result r = print_points(tm, a.bw, a.rate, a.dump_e);
    const double mb = 1048576.0;
    std::printf(
        "peak memory %.1f MB; stored matrix %.1f MB + harmonics %.1f MB = %.1f MB; ratio %.2f\n",
        peak_mb, tm.matrix_bytes / mb, tm.ylm_bytes / mb, (tm.matrix_bytes + tm.ylm_bytes) / mb,
        peak_mb / ((tm.matrix_bytes + tm.ylm_bytes) / mb));
    r.total = total;
    r.peak_mb = peak_mb;
    std::fflush(stdout);
    std::ofstream rf(result_file, std::ios::binary);
    rf.write(reinterpret_cast<const char*>(&r), sizeof r);
    return rf ? 0 : 5;
}

std::string self;

// Runs the deck in a child process of this program, so that the peak memory is the run's own.
result run_child(const fs::path& dir, const child_args& a) {
    const fs::path rf = dir / "result.bin";
    std::fflush(stdout);
    const std::string cmd = "'" + self + "' --child " + (a.plain ? "1" : "0") + " " +
                            std::to_string(a.threads) + " " + std::to_string(a.dump_e) + " '" +
                            (a.dump.empty() ? "-" : a.dump) + "' " + std::to_string(a.bw) + " " +
                            std::to_string(a.rate) + " '" + dir.string() + "' '" + rf.string() +
                            "'";
    if (std::system(cmd.c_str()) != 0) {
        std::fprintf(stderr, "run_bench: the run failed\n");
        std::exit(1);
    }
    result r;
    std::ifstream f(rf, std::ios::binary);
    f.read(reinterpret_cast<char*>(&r), sizeof r);
    return r;
}

// The deck's copy in dir with EPS (the third value of prompt 7) replaced.
void set_eps(const fs::path& deck, const std::string& eps) {
    std::vector<std::string> lines;
    {
        std::ifstream in(deck);
        for (std::string l; std::getline(in, l);) lines.push_back(l);
    }
    const std::size_t at = 5 + static_cast<std::size_t>(std::stoi(lines.at(3)));  // after atoms
    std::istringstream v(lines.at(at));
    std::string toll, mmax, old, nep;
    v >> toll >> mmax >> old >> nep;
    lines[at] = toll + " " + mmax + " " + eps + " " + nep;
    std::ofstream out(deck);
    for (const auto& l : lines) out << l << '\n';
}

// The figures of the timed point for lapack_bench: seconds of the whole point and of its
// recursion, levels, order, its memory bound (s).
void write_point_file(const std::string& file, int e, const result& r) {
    std::ofstream f(file);
    f << e << ' ' << r.point_at_dump << ' ' << r.rec_at_dump << ' ' << r.levels_at_dump << ' '
      << r.order_at_dump << ' ' << r.bound_at_dump << '\n';
}

// The command line of the parent.
struct options {
    bool plain = false;
    int threads = 0, dump_e = 2;
    std::string dump, point_file, eps;
    fs::path deck_dir = fs::path(KORVA_SOURCE_DIR) / "bench" / "large";
};

options parse(int argc, char** argv) {
    options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--plain") {
            o.plain = true;
        } else if (a == "--threads" && i + 1 < argc) {
            o.threads = std::atoi(argv[++i]);
        } else if (a == "--eps" && i + 1 < argc) {
            o.eps = argv[++i];
        } else if ((a == "--dump" || a == "--point") && i + 2 < argc) {
            o.dump_e = std::atoi(argv[++i]);
            const std::string file = fs::absolute(argv[++i]).string();
            if (a == "--dump") o.dump = file;
            o.point_file = a == "--dump" ? file + ".point" : file;
        } else {
            o.deck_dir = a;
        }
    }
    return o;
}

// The deck's files in a scratch directory of their own.
fs::path scratch_copy(const options& o) {
    const fs::path dir = fs::temp_directory_path() / "korva-run-bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const auto& e : fs::directory_iterator(o.deck_dir))
        if (e.is_regular_file()) fs::copy_file(e.path(), dir / e.path().filename());
    if (!o.eps.empty()) set_eps(dir / "deck.in", o.eps);
    return dir;
}

void plain_against(const fs::path& dir, const options& o, const result& fast, double bw,
                   double rate) {
    const result ref = run_child(dir, {true, 1, o.dump_e, "", bw, rate});
    std::printf("\nwhole run: plain %.2f s, streaming %.2f s: %.1fx\n", ref.total, fast.total,
                ref.total / fast.total);
    if (fast.order_at_dump > 0)
        std::printf("point %d: plain %.3f s, streaming %.4f s: %.1fx\n", o.dump_e,
                    ref.point_at_dump, fast.point_at_dump, ref.point_at_dump / fast.point_at_dump);
    std::printf("peak memory: plain %.1f MB, streaming %.1f MB\n", ref.peak_mb, fast.peak_mb);
}

}  // namespace

int main(int argc, char** argv) {
    self = fs::absolute(argv[0]).string();
    if (argc == 10 && std::string(argv[1]) == "--child") {
        const std::string dump = argv[5];
        child_args a{std::atoi(argv[2]) == 1, std::atoi(argv[3]), std::atoi(argv[4]),
                     dump == "-" ? "" : dump, std::atof(argv[6]), std::atof(argv[7])};
        return child_main(argv[8], a, argv[9]);
    }
    const options o = parse(argc, argv);
    const fs::path dir = scratch_copy(o);
    const int bw_threads = o.threads > 0 ? o.threads : omp_get_max_threads();
    const double bw = korva::bench::read_bandwidth(bw_threads);
    const double triad = korva::bench::triad_bandwidth(bw_threads);
    const double rate = korva::bench::madd_rate(bw_threads);
    std::printf(
        "deck %s%s%s; read bandwidth %.1f GB/s, triad %.1f GB/s, %.1f G complex multiply-adds/s "
        "on %d thread(s)\n",
        o.deck_dir.c_str(), o.eps.empty() ? "" : " with EPS ", o.eps.c_str(), bw, triad, rate / 1e9,
        bw_threads);
    const result fast = run_child(dir, {false, o.threads, o.dump_e, "", bw, rate});
    if (fast.order_at_dump > 0)
        std::printf("point %d: N = %d, %d levels, whole point %.4f s (recursion %.4f s)\n",
                    o.dump_e, fast.order_at_dump, fast.levels_at_dump, fast.point_at_dump,
                    fast.rec_at_dump);
    if (!o.dump.empty()) run_child(dir, {false, o.threads, o.dump_e, o.dump, bw, rate});
    if (!o.point_file.empty()) write_point_file(o.point_file, o.dump_e, fast);
    if (o.plain) plain_against(dir, o, fast, bw, rate);
}
