#include "recursion/stream_pass.hpp"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <memory>
#include <thread>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KORVA_X86 1
#endif
#ifdef _OPENMP
#include <omp.h>
#endif

namespace korva {

namespace {

// Where the threads meet: thread t (t < threads - 1) leaves its running transposed sums of
// column block J in hand[t] and then raises done[t] to J + 1.
struct handoff {
    int nch = 0, nt = 0;
    std::vector<std::vector<cplx>> hand;
    std::unique_ptr<std::atomic<int>[]> done;

    handoff(int threads, int nch_, int nt_) : nch(nch_), nt(nt_) {
        hand.assign(static_cast<std::size_t>(std::max(threads - 1, 0)),
                    std::vector<cplx>(static_cast<std::size_t>(nch) * 4 * nt));
        done.reset(new std::atomic<int>[static_cast<std::size_t>(std::max(threads, 1))]);
        for (int t = 0; t < threads; ++t) done[t].store(0, std::memory_order_relaxed);
    }
    cplx* at(int t, int k, int tj) {
        return hand[t].data() + (static_cast<std::size_t>(k) * nt + tj) * 4;
    }
    // Spins while the thread above is busy with the same column of tiles; gives the core away
    // now and then, in case that thread is waiting for it (more threads than cores).
    void wait(int t, int tj) const {
        for (int spin = 1; done[t].load(std::memory_order_acquire) <= tj; ++spin) {
#ifdef KORVA_X86
            _mm_pause();
#endif
            if (spin % 256 == 0) std::this_thread::yield();
        }
    }
};

inline cplx mul(cplx a, cplx b) {
    return cplx(a.real() * b.real() - a.imag() * b.imag(),
                a.real() * b.imag() + a.imag() * b.real());
}

// Tile rows i0..i1-1 of every column of tiles, one element at a time.
void pass_scalar(const tile_store& g, const pass_vectors* v, int nch, int i0, int i1, int t,
                 int threads, handoff& h) {
    const int nt = g.tiles();
    for (int k = 0; k < nch; ++k) std::fill(v[k].gq + 4 * i0, v[k].gq + 4 * i1, cplx(0.0f, 0.0f));
    cplx acc[pass_max_channels][4];
    for (int tj = 0; tj < nt; ++tj) {
        if (t > 0) h.wait(t - 1, tj);
        for (int k = 0; k < nch; ++k)
            for (int c = 0; c < 4; ++c)
                acc[k][c] = t > 0 ? h.at(t - 1, k, tj)[c] : cplx(0.0f, 0.0f);
        for (int ti = i0; ti < i1; ++ti) {
            const cplx* a = g.tile(ti, tj);
            for (int k = 0; k < nch; ++k) {
                const cplx* p = v[k].p + 4 * ti;
                const cplx* q = v[k].q + 4 * tj;
                cplx* gq = v[k].gq + 4 * ti;
                for (int r = 0; r < 4; ++r)
                    for (int c = 0; c < 4; ++c) acc[k][c] += mul(a[4 * r + c], p[r]);
                for (int r = 0; r < 4; ++r)
                    for (int c = 0; c < 4; ++c) gq[r] += mul(a[4 * r + c], q[c]);
            }
        }
        for (int k = 0; k < nch; ++k) {
            cplx* dst = t == threads - 1 ? v[k].gtp + 4 * tj : h.at(t, k, tj);
            for (int c = 0; c < 4; ++c) dst[c] = acc[k][c];
        }
        if (t < threads - 1) h.done[t].store(tj + 1, std::memory_order_release);
    }
}

#ifdef KORVA_X86

// a x (br + i bi) for four complex numbers a (interleaved re, im), with `as` the same four with
// re and im swapped: (ar br - ai bi, ai br + ar bi), the bits of the plain complex product.
__attribute__((target("avx2"))) inline __m256 cmul4(__m256 a, __m256 as, const float* b) {
    return _mm256_addsub_ps(_mm256_mul_ps(a, _mm256_broadcast_ss(b)),
                            _mm256_mul_ps(as, _mm256_broadcast_ss(b + 1)));
}

template <int K>
__attribute__((target("avx2"))) void pass_avx2(const tile_store& g, const pass_vectors* v, int i0,
                                               int i1, int t, int threads, handoff& h) {
    const int nt = g.tiles();
    for (int k = 0; k < K; ++k) std::fill(v[k].gq + 4 * i0, v[k].gq + 4 * i1, cplx(0.0f, 0.0f));
    constexpr int ahead = 8 * 16;  // prefetch distance: eight tiles, 1 KB
    for (int tj = 0; tj < nt; ++tj) {
        __m256 acc[K];
        if (t > 0) h.wait(t - 1, tj);
        for (int k = 0; k < K; ++k)
            acc[k] = t > 0 ? _mm256_loadu_ps(reinterpret_cast<const float*>(h.at(t - 1, k, tj)))
                           : _mm256_setzero_ps();
        const cplx* a = g.tile(i0, tj);
        for (int ti = i0; ti < i1; ++ti, a += 16) {
            _mm_prefetch(reinterpret_cast<const char*>(a + ahead), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(a + ahead + 8), _MM_HINT_T0);
            const float* af = reinterpret_cast<const float*>(a);
            const __m256 r0 = _mm256_load_ps(af), r1 = _mm256_load_ps(af + 8),
                         r2 = _mm256_load_ps(af + 16), r3 = _mm256_load_ps(af + 24);
            const __m256 s0 = _mm256_permute_ps(r0, 0xB1), s1 = _mm256_permute_ps(r1, 0xB1),
                         s2 = _mm256_permute_ps(r2, 0xB1), s3 = _mm256_permute_ps(r3, 0xB1);
            // Transposed sums: lanes are the tile's columns, the rows come in ascending order.
            for (int k = 0; k < K; ++k) {
                const float* p = reinterpret_cast<const float*>(v[k].p + 4 * ti);
                acc[k] = _mm256_add_ps(acc[k], cmul4(r0, s0, p));
                acc[k] = _mm256_add_ps(acc[k], cmul4(r1, s1, p + 2));
                acc[k] = _mm256_add_ps(acc[k], cmul4(r2, s2, p + 4));
                acc[k] = _mm256_add_ps(acc[k], cmul4(r3, s3, p + 6));
            }
            // The tile's columns, lanes the rows, for the direct sums.
            const __m256d lo01 = _mm256_unpacklo_pd(_mm256_castps_pd(r0), _mm256_castps_pd(r1));
            const __m256d hi01 = _mm256_unpackhi_pd(_mm256_castps_pd(r0), _mm256_castps_pd(r1));
            const __m256d lo23 = _mm256_unpacklo_pd(_mm256_castps_pd(r2), _mm256_castps_pd(r3));
            const __m256d hi23 = _mm256_unpackhi_pd(_mm256_castps_pd(r2), _mm256_castps_pd(r3));
            const __m256 c0 = _mm256_castpd_ps(_mm256_permute2f128_pd(lo01, lo23, 0x20));
            const __m256 c1 = _mm256_castpd_ps(_mm256_permute2f128_pd(hi01, hi23, 0x20));
            const __m256 c2 = _mm256_castpd_ps(_mm256_permute2f128_pd(lo01, lo23, 0x31));
            const __m256 c3 = _mm256_castpd_ps(_mm256_permute2f128_pd(hi01, hi23, 0x31));
            const __m256 d0 = _mm256_permute_ps(c0, 0xB1), d1 = _mm256_permute_ps(c1, 0xB1),
                         d2 = _mm256_permute_ps(c2, 0xB1), d3 = _mm256_permute_ps(c3, 0xB1);
            for (int k = 0; k < K; ++k) {
                const float* q = reinterpret_cast<const float*>(v[k].q + 4 * tj);
                float* gq = reinterpret_cast<float*>(v[k].gq + 4 * ti);
                __m256 s = _mm256_loadu_ps(gq);
                s = _mm256_add_ps(s, cmul4(c0, d0, q));
                s = _mm256_add_ps(s, cmul4(c1, d1, q + 2));
                s = _mm256_add_ps(s, cmul4(c2, d2, q + 4));
                s = _mm256_add_ps(s, cmul4(c3, d3, q + 6));
                _mm256_storeu_ps(gq, s);
            }
        }
        for (int k = 0; k < K; ++k) {
            cplx* dst = t == threads - 1 ? v[k].gtp + 4 * tj : h.at(t, k, tj);
            _mm256_storeu_ps(reinterpret_cast<float*>(dst), acc[k]);
        }
        if (t < threads - 1) h.done[t].store(tj + 1, std::memory_order_release);
    }
}

using avx2_fn = void (*)(const tile_store&, const pass_vectors*, int, int, int, int, handoff&);
constexpr avx2_fn avx2_kernels[pass_max_channels] = {pass_avx2<1>, pass_avx2<2>, pass_avx2<3>,
                                                     pass_avx2<4>, pass_avx2<5>, pass_avx2<6>,
                                                     pass_avx2<7>, pass_avx2<8>};

#endif

}  // namespace

bool pass_has_avx2() {
#ifdef KORVA_X86
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
#else
    return false;
#endif
}

void stream_pass(const tile_store& g, const pass_vectors* v, int nch, int threads,
                 pass_kernel kernel) {
    assert(nch >= 1 && nch <= pass_max_channels);
    const int nt = g.tiles();
    if (nt == 0) return;
    if (kernel == pass_kernel::best)
        kernel = pass_has_avx2() ? pass_kernel::avx2 : pass_kernel::scalar;
#ifndef KORVA_X86
    kernel = pass_kernel::scalar;
#endif
    // Every thread needs a share of the tile rows worth the hand-over.
    threads = std::clamp(std::min(threads, nt / 16), 1, 64);
    handoff h(threads, nch, nt);
    auto body = [&](int t) {
        const int i0 = static_cast<int>(static_cast<long>(nt) * t / threads);
        const int i1 = static_cast<int>(static_cast<long>(nt) * (t + 1) / threads);
#ifdef KORVA_X86
        if (kernel == pass_kernel::avx2) {
            avx2_kernels[nch - 1](g, v, i0, i1, t, threads, h);
            return;
        }
#endif
        pass_scalar(g, v, nch, i0, i1, t, threads, h);
    };
    if (threads == 1) {
        body(0);
        return;
    }
#ifdef _OPENMP
#pragma omp parallel num_threads(threads)
    {
        // A thread the runtime did not grant leaves its rows to nobody: run them in order.
        const int got = omp_get_num_threads();
        if (got == threads) {
            body(omp_get_thread_num());
        } else if (omp_get_thread_num() == 0) {
            for (int t = 0; t < threads; ++t) body(t);
        }
    }
#else
    for (int t = 0; t < threads; ++t) body(t);
#endif
}

}  // namespace korva
