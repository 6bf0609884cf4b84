// LAPACK's dense LU (cgesv, OpenBLAS) on a matrix dumped by run_bench --dump, with the unit
// vectors of the channels as right-hand sides: the solver the recursion has to beat.
//
//   lapack_bench FILE [threads] [channel ...]     (default channels 2 3 4: L0 = 1 of atom 1)
#include <complex>
#define lapack_complex_float std::complex<float>
#define lapack_complex_double std::complex<double>
#include <lapacke.h>

#include <chrono>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

extern "C" void openblas_set_num_threads(int);

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: lapack_bench FILE [threads] [channel ...]\n");
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
    for (int i = 3; i < argc; ++i) ch.push_back(std::atoi(argv[i]));
    if (ch.empty()) ch = {2, 3, 4};
    openblas_set_num_threads(threads);
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
            return 1;
        }
        best = std::min(best, t);
    }
    std::printf("cgesv: N = %d, %zu right-hand sides, %d thread(s): %.3f s (best of 3)\n", n,
                ch.size(), threads, best);
    for (std::size_t k = 0; k < ch.size(); ++k) {
        const auto d = b[k * n + (ch[k] - 1)];
        std::printf("  (gt^-1)(%d, %d) = (%.7g, %.7g)\n", ch[k], ch[k], d.real(), d.imag());
    }
}
