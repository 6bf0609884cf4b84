#include "recursion/haykor.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <sstream>

#include "recursion/recursion_lines.hpp"

namespace korva {

namespace {

const cplx zero(0.0f, 0.0f), one(1.0f, 0.0f);

bool exactly_zero(cplx z) {
    return z.real() == 0.0f && z.imag() == 0.0f;
}

// One channel's recursion: its vectors (0-based, padded to the tiles with zeros), its
// coefficients and where it stands.
struct channel_state {
    std::vector<cplx> qold, pold, q, p, gq, gtp;
    std::vector<cplx> a, b, b2;
    int lev = 1;
    cplx s, s_old;
    bool running = true;
    haykor_result res;
    std::ostringstream text;
};

struct controls {
    int n, minlev, maxlev;
    real eps;
    bool print;
    int threads;  // for the element-by-element steps of long vectors
};

// Below this order the element-by-element steps stay on one thread.
[[maybe_unused]] constexpr int parallel_order = 2048;

void finish(channel_state& c, int lev, cplx s, real err) {
    c.res = {lev, s, err};
    c.running = false;
}

// Divides both vectors by b. Each element on its own: the threads change no bit.
void normalise(channel_state& c, int n, cplx b, [[maybe_unused]] int threads) {
#pragma omp parallel for num_threads(threads) \
    schedule(static) if (threads > 1 && n >= parallel_order)
    for (int i = 0; i < n; ++i) {
        c.q[i] = c.q[i] / b;
        c.p[i] = c.p[i] / b;
    }
}

// Whether every channel of the start is one of 1..n.
[[maybe_unused]] bool within(const recursion_start& st, int n) {
    for (const auto& side : {st.right, st.left})
        for (const auto& e : side)
            if (e.first < 1 || e.first > n) return false;
    return true;
}

// left^T gt right over the start's entries.
cplx start_element(const tile_store& g, const recursion_start& st) {
    cplx a = zero;
    for (const auto& [i, pi] : st.left)
        for (const auto& [j, qj] : st.right) a += pi * g.gt(i, j) * qj;
    return a;
}

// gt right - a right and gt^T left - a left: the columns and rows of the start's channels.
void first_vectors(channel_state& c, const tile_store& g, const recursion_start& st, cplx a,
                   int n) {
    for (const auto& [j, qj] : st.right)
        for (int i = 1; i <= n; ++i) c.q[i - 1] += g.gt(i, j) * qj;
    for (const auto& [i, pi] : st.left)
        for (int j = 1; j <= n; ++j) c.p[j - 1] += pi * g.gt(i, j);
    for (const auto& [j, qj] : st.right) {
        c.qold[j - 1] = qj;
        c.q[j - 1] -= a * qj;
    }
    for (const auto& [i, pi] : st.left) {
        c.pold[i - 1] = pi;
        c.p[i - 1] -= a * pi;
    }
}

// Level 1 at the start `st`, and the first vectors of the recursion.
void start_channel(channel_state& c, const tile_store& g, const recursion_start& st,
                   std::size_t len, const controls& k) {
    const int n = k.n;
    const int nlev = std::max(k.maxlev, 2) + 1;
    c.a.assign(nlev, zero);
    c.b.assign(nlev, zero);
    c.b2.assign(nlev, zero);
    c.a[1] = start_element(g, st);
    c.s = one / c.a[1];
    if (k.print) write_a_line(c.text, 1, c.a[1], c.s);
    if (k.maxlev == 1) return finish(c, 1, c.s, 0.0f);
    for (auto* v : {&c.qold, &c.pold, &c.q, &c.p, &c.gq, &c.gtp}) v->assign(len, zero);
    first_vectors(c, g, st, c.a[1], n);
    cplx b2 = zero;
    for (int i = 0; i < n; ++i) b2 += c.q[i] * c.p[i];
    c.b2[1] = b2;
    if (exactly_zero(b2)) return finish(c, 1, c.s, 0.0f);  // the start is isolated
    c.b[1] = std::sqrt(b2);
    if (k.print) write_b_line(c.text, 1, c.b[1]);
    normalise(c, n, c.b[1], k.threads);
}

// Products of the current vectors of every running channel, a few channels per pass.
void products(const tile_store& g, const std::vector<channel_state*>& active, int threads,
              pass_kernel kernel) {
    std::vector<pass_vectors> pv;
    for (std::size_t from = 0; from < active.size(); from += pass_max_channels) {
        pv.clear();
        for (std::size_t k = from; k < std::min(active.size(), from + pass_max_channels); ++k)
            pv.push_back({active[k]->q.data(), active[k]->p.data(), active[k]->gq.data(),
                          active[k]->gtp.data()});
        stream_pass(g, pv.data(), static_cast<int>(pv.size()), threads, kernel);
    }
}

// The continued fraction afresh from the bottom, with nothing beyond level lev.
cplx fraction(const channel_state& c, int lev) {
    if (lev == 2) return one / (c.a[1] - c.b2[1] / c.a[2]);
    cplx s = one / c.a[lev];
    for (int j = lev - 1; j >= 1; --j) s = one / (c.a[j] - c.b2[j] * s);
    return s;
}

// Three-term update of both sides with gt q and gt^T p of this level, element by element
// (shared by the threads); then the product of the new vectors, in index order.
cplx update_vectors(channel_state& c, int n, int lev, [[maybe_unused]] int threads) {
    const cplx a = c.a[lev], b = c.b[lev - 1];
#pragma omp parallel for num_threads(threads) \
    schedule(static) if (threads > 1 && n >= parallel_order)
    for (int i = 0; i < n; ++i) {
        const cplx qn = c.gq[i] - a * c.q[i] - b * c.qold[i];
        const cplx pn = c.gtp[i] - a * c.p[i] - b * c.pold[i];
        c.qold[i] = c.q[i];
        c.q[i] = qn;
        c.pold[i] = c.p[i];
        c.p[i] = pn;
    }
    cplx sum = zero;
    for (int i = 0; i < n; ++i) sum += c.q[i] * c.p[i];
    return sum;
}

// The next level of one channel from the products of its vectors.
void next_level(channel_state& c, const controls& k) {
    cplx t = zero;
    for (int i = 0; i < k.n; ++i) t += c.p[i] * c.gq[i];
    const int lev = ++c.lev;
    c.a[lev] = t;
    c.s_old = c.s;
    c.s = fraction(c, lev);
    if (k.print) write_a_line(c.text, lev, c.a[lev], c.s);

    const real err = std::abs(c.s_old - c.s);
    if ((err < k.eps && lev >= k.minlev) || lev >= k.maxlev) return finish(c, lev, c.s, err);
    const cplx sum = update_vectors(c, k.n, lev, k.threads);
    if (exactly_zero(sum)) return finish(c, lev, c.s, 0.0f);
    c.b2[lev] = sum;
    c.b[lev] = std::sqrt(sum);
    if (k.print) write_b_line(c.text, lev, c.b[lev]);
    normalise(c, k.n, c.b[lev], k.threads);
}

}  // namespace

std::vector<haykor_result> haykor(const tile_store& g, const std::vector<int>& channels, int minlev,
                                  int maxlev, real eps, int iout, std::vector<std::string>& lines,
                                  int threads, pass_kernel kernel) {
    std::vector<recursion_start> starts;
    for (const int r : channels) starts.push_back(recursion_start::unit(r));
    return haykor(g, starts, minlev, maxlev, eps, iout, lines, threads, kernel);
}

std::vector<haykor_result> haykor(const tile_store& g, const std::vector<recursion_start>& starts,
                                  int minlev, int maxlev, real eps, int iout,
                                  std::vector<std::string>& lines, int threads,
                                  pass_kernel kernel) {
    const controls k{g.order(), minlev, maxlev, eps, iout > 2, threads};
    const std::size_t len = g.padded();
    std::vector<channel_state> cs(starts.size());
    for (std::size_t i = 0; i < cs.size(); ++i) {
        assert(within(starts[i], k.n));
        start_channel(cs[i], g, starts[i], len, k);
    }
    std::vector<channel_state*> active;
    for (;;) {
        active.clear();
        for (auto& c : cs)
            if (c.running) active.push_back(&c);
        if (active.empty()) break;
        products(g, active, threads, kernel);
        for (channel_state* c : active) next_level(*c, k);
    }
    std::vector<haykor_result> out;
    lines.clear();
    for (auto& c : cs) {
        out.push_back(c.res);
        lines.push_back(c.text.str());
    }
    return out;
}

}  // namespace korva
