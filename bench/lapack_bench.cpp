// LAPACK's dense LU (cgesv, OpenBLAS) on a matrix dumped by run_bench --dump, with the unit
// vectors of the channels as right-hand sides: the solver the recursion has to beat. Each
// POINTFILE (written by run_bench --dump next to the matrix) gives the program's time for the
// same point, set against cgesv's.
//
//   lapack_bench FILE [threads] [channel ...] [--compare POINTFILE ...]
//                                              (default channels 2 3 4: L0 = 1 of atom 1)
//   lapack_bench --random N [threads]          (a random matrix of order N with a unit diagonal
//                                              and off-diagonal entries of the scattering
//                                              matrix's size: cgesv's time depends on N only)
//   lapack_bench --core                        (the kernel set OpenBLAS chose)
#include <complex>
#define lapack_complex_float std::complex<float>
#define lapack_complex_double std::complex<double>
#include <lapacke.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

extern "C" void openblas_set_num_threads(int);
extern "C" char* openblas_get_corename();

namespace {

// Best of three cgesv calls on a0 with the unit vectors of ch; the diagonal elements come back
// in d.
double cgesv_seconds(const std::vector<lapack_complex_float>& a0, int n, const std::vector<int>& ch,
                     std::vector<lapack_complex_float>& d) {
    double best = 1e30;
    std::vector<lapack_complex_float> b;
    for (int rep = 0; rep < 3; ++rep) {
        std::vector<lapack_complex_float> a = a0;
        b.assign(static_cast<std::size_t>(n) * ch.size(), lapack_complex_float(0.0f, 0.0f));
        for (std::size_t k = 0; k < ch.size(); ++k) b[k * n + (ch[k] - 1)] = 1.0f;
        std::vector<lapack_int> ipiv(n);
        const auto t0 = std::chrono::steady_clock::now();
        const lapack_int info = LAPACKE_cgesv(LAPACK_COL_MAJOR, n, static_cast<int>(ch.size()),
                                              a.data(), n, ipiv.data(), b.data(), n);
        const double t =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (info != 0) {
            std::fprintf(stderr, "lapack_bench: cgesv info %d\n", static_cast<int>(info));
            std::exit(1);
        }
        best = std::min(best, t);
    }
    d.clear();
    for (std::size_t k = 0; k < ch.size(); ++k) d.push_back(b[k * n + (ch[k] - 1)]);
    return best;
}

// The program's point against cgesv, from a file run_bench wrote.
void compare(const std::string& file, double cgesv) {
    std::ifstream f(file);
    int e = 0, levels = 0, n = 0;
    double point = 0, rec = 0, bound = 0;
    if (!(f >> e >> point >> rec >> levels >> n >> bound) || point <= 0) {
        std::printf("  %s: no point figures\n", file.c_str());
        return;
    }
    std::printf(
        "  %s: point %d (N = %d, %d levels): %.4f s (recursion %.4f s, memory bound %.4f s): "
        "cgesv / point = %.1f\n",
        file.c_str(), e, n, levels, point, rec, bound, cgesv / point);
}

// Unit diagonal plus entries uniform in [-0.5, 0.5]^2 / sqrt(N): well conditioned, so cgesv
// takes its usual path.
std::vector<lapack_complex_float> random_matrix(int n) {
    std::vector<lapack_complex_float> a(static_cast<std::size_t>(n) * n);
    std::uint64_t x = 88172645463325252ull;
    const auto uniform = [&x] {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        return static_cast<float>(static_cast<double>(x >> 11) * 0x1.0p-53 - 0.5);
    };
    const float scale = 1.0f / std::sqrt(static_cast<float>(n));
    for (auto& v : a) v = lapack_complex_float(scale * uniform(), scale * uniform());
    for (int i = 0; i < n; ++i) a[static_cast<std::size_t>(i) * n + i] += 1.0f;
    return a;
}

int random_main(int n, int threads) {
    openblas_set_num_threads(threads);
    std::vector<lapack_complex_float> d;
    const double best = cgesv_seconds(random_matrix(n), n, {2, 3, 4}, d);
    std::printf("cgesv (OpenBLAS %s kernels): N = %d, 3 right-hand sides, %d thread(s): %.3f s\n",
                openblas_get_corename(), n, threads, best);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--core") {
        std::printf("%s\n", openblas_get_corename());
        return 0;
    }
    if (argc >= 3 && std::string(argv[1]) == "--random")
        return random_main(std::atoi(argv[2]), argc > 3 ? std::atoi(argv[3]) : 2);
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: lapack_bench FILE [threads] [channel ...] [--compare F ...]\n");
        return 2;
    }
    std::ifstream f(argv[1], std::ios::binary);
    int n = 0;
    f.read(reinterpret_cast<char*>(&n), sizeof n);
    if (!f || n < 1) {
        std::fprintf(stderr, "lapack_bench: cannot read %s\n", argv[1]);
        return 1;
    }
    std::vector<lapack_complex_float> a0(static_cast<std::size_t>(n) * n);
    f.read(reinterpret_cast<char*>(a0.data()), static_cast<std::streamsize>(a0.size() * 8));
    const int threads = argc > 2 ? std::atoi(argv[2]) : 2;
    std::vector<int> ch;
    std::vector<std::string> points;
    for (int i = 3; i < argc; ++i) {
        if (std::string(argv[i]) == "--compare" && i + 1 < argc)
            points.push_back(argv[++i]);
        else
            ch.push_back(std::atoi(argv[i]));
    }
    if (ch.empty()) ch = {2, 3, 4};
    openblas_set_num_threads(threads);
    std::vector<lapack_complex_float> d;
    const double best = cgesv_seconds(a0, n, ch, d);
    std::printf(
        "cgesv (OpenBLAS %s kernels): N = %d, %zu right-hand sides, %d thread(s): %.3f s "
        "(best of 3)\n",
        openblas_get_corename(), n, ch.size(), threads, best);
    for (std::size_t k = 0; k < ch.size(); ++k)
        std::printf("  (gt^-1)(%d, %d) = (%.7g, %.7g)\n", ch[k], ch[k], d[k].real(), d[k].imag());
    for (const std::string& p : points) compare(p, best);
}
