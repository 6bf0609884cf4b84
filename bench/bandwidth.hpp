// Shared by the benchmarks. The machine's memory bandwidth, measured the way the streaming
// solver reads: every thread sums its share of a large array with 256-bit loads (read), and the
// STREAM triad a = b + s c over three arrays (counted as three arrays moved). The best of five
// sweeps, in GB/s.
#pragma once
#include <immintrin.h>
#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "common/types.hpp"

namespace korva::bench {

inline double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

constexpr std::size_t bandwidth_bytes = std::size_t{512} << 20;  // far beyond every cache

inline float* filled_array(std::size_t n, int threads, float v) {
    float* a = static_cast<float*>(std::aligned_alloc(64, n * sizeof(float)));
#pragma omp parallel for num_threads(threads) schedule(static)
    for (std::size_t i = 0; i < n; ++i) a[i] = v;
    return a;
}

__attribute__((target("avx2"))) inline double read_bandwidth(int threads) {
    const std::size_t n = bandwidth_bytes / sizeof(float);
    float* a = filled_array(n, threads, 1.0f);
    double best = 1e30;
    float sink = 0.0f;
    for (int rep = 0; rep < 5; ++rep) {
        const double t0 = now();
#pragma omp parallel num_threads(threads) reduction(+ : sink)
        {
            const int t = omp_get_thread_num(), nt = omp_get_num_threads();
            const std::size_t i0 = n * t / nt / 64 * 64, i1 = n * (t + 1) / nt / 64 * 64;
            __m256 s0 = _mm256_setzero_ps(), s1 = s0, s2 = s0, s3 = s0;
            for (std::size_t i = i0; i < i1; i += 32) {
                s0 = _mm256_add_ps(s0, _mm256_load_ps(a + i));
                s1 = _mm256_add_ps(s1, _mm256_load_ps(a + i + 8));
                s2 = _mm256_add_ps(s2, _mm256_load_ps(a + i + 16));
                s3 = _mm256_add_ps(s3, _mm256_load_ps(a + i + 24));
            }
            float out[8];
            _mm256_storeu_ps(out, _mm256_add_ps(_mm256_add_ps(s0, s1), _mm256_add_ps(s2, s3)));
            for (float x : out) sink += x;
        }
        best = std::min(best, now() - t0);
    }
    std::free(a);
    if (sink == 0.5f) std::printf(" ");  // keeps the sums
    return static_cast<double>(n * sizeof(float)) / best / 1e9;
}

inline double triad_bandwidth(int threads) {
    const std::size_t n = bandwidth_bytes / 2 / sizeof(float);
    float* a = filled_array(n, threads, 0.0f);
    float* b = filled_array(n, threads, 1.0f);
    float* c = filled_array(n, threads, 2.0f);
    double best = 1e30;
    for (int rep = 0; rep < 5; ++rep) {
        const double t0 = now();
#pragma omp parallel for num_threads(threads) schedule(static)
        for (std::size_t i = 0; i < n; ++i) a[i] = b[i] + 0.5f * c[i];
        best = std::min(best, now() - t0);
    }
    if (a[n / 2] != 2.0f) std::printf(" ");  // keeps the stores
    std::free(a);
    std::free(b);
    std::free(c);
    return 3.0 * static_cast<double>(n * sizeof(float)) / best / 1e9;
}

// The machine's arithmetic rate for the pass: every thread runs 16 independent chains of vector
// fused multiply-adds of the kernel's width (512 bits with AVX-512, else 256); best of five, in
// complex multiply-adds per second over all threads (a 512-bit FMA is four of them, the pass
// taking two FMAs per eight complex numbers; a 256-bit one two).
constexpr long fma_steps = 4000000;

// One thread's 16 chains, 512-bit (the caller times them).
__attribute__((target("avx512f"))) inline void chains512(float& sink) {
    __m512 acc[16];
    for (int i = 0; i < 16; ++i) acc[i] = _mm512_set1_ps(1.0f + 0.001f * i);
    const __m512 m = _mm512_set1_ps(0.999999f), a = _mm512_set1_ps(1e-7f);
    for (long k = 0; k < fma_steps; ++k)
        for (int i = 0; i < 16; ++i) acc[i] = _mm512_fmadd_ps(acc[i], m, a);
    float out[16];
    for (int i = 0; i < 16; ++i) {
        _mm512_storeu_ps(out, acc[i]);
        sink += out[0];
    }
}

__attribute__((target("avx2,fma"))) inline void chains256(float& sink) {
    __m256 acc[16];
    for (int i = 0; i < 16; ++i) acc[i] = _mm256_set1_ps(1.0f + 0.001f * i);
    const __m256 m = _mm256_set1_ps(0.999999f), a = _mm256_set1_ps(1e-7f);
    for (long k = 0; k < fma_steps; ++k)
        for (int i = 0; i < 16; ++i) acc[i] = _mm256_fmadd_ps(acc[i], m, a);
    float out[8];
    for (int i = 0; i < 16; ++i) {
        _mm256_storeu_ps(out, acc[i]);
        sink += out[0];
    }
}

// Complex multiply-adds per second over all threads with the kernel's vectors.
inline double madd_rate(int threads) {
    const bool wide = __builtin_cpu_supports("avx512f");
    double best = 1e30;
    float sink = 0.0f;
    for (int rep = 0; rep < 5; ++rep) {
        const double t0 = now();
#pragma omp parallel num_threads(threads) reduction(+ : sink)
        {
            if (wide)
                chains512(sink);
            else
                chains256(sink);
        }
        best = std::min(best, now() - t0);
    }
    if (sink == 0.5f) std::printf(" ");  // keeps the chains
    return (wide ? 4.0 : 2.0) * 16.0 * fma_steps * threads / best;
}

// Unit diagonal, every off-diagonal entry non-zero with modulus up to 0.3/sqrt(n): the
// off-diagonal part has a spectral radius near 0.3, so the recursion stays well behaved.
template <class Store>
void fill_dense(Store& m, int n) {
    std::mt19937 gen(12345);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    const float scale = 0.3f / std::sqrt(static_cast<float>(n));
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i)
            m.gt(i, j) = i == j ? cplx(1.0f, 0.0f) : cplx(scale * u(gen), scale * u(gen));
}

// The same entries in the stored half of a tile store of order n, whose channels stay atoms of
// their own (A = I + G, G symmetric): every stored entry off the diagonal non-zero.
template <class Store>
void fill_dense_half(Store& g, int n) {
    std::mt19937 gen(12345);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    const float scale = 0.3f / std::sqrt(static_cast<float>(n));
    g.reshape(n);
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i < j; ++i)
            if (Store::kept(i, j)) g.upper(i, j) = cplx(scale * u(gen), scale * u(gen));
}

}  // namespace korva::bench
