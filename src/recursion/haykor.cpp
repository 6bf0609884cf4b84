#include "recursion/haykor.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <map>
#include <sstream>

#include "recursion/recursion_lines.hpp"

namespace korva {

namespace {

const cplx zero(0.0f, 0.0f), one(1.0f, 0.0f);

bool exactly_zero(cplx z) {
    return z.real() == 0.0f && z.imag() == 0.0f;
}

// One start's recursion: its vectors (0-based, padded to the tiles with zeros), its
// coefficients and where it stands.
struct channel_state {
    bool one_sided = false;
    cplx c;  // one-sided: the left vectors are c P T times the right ones
    std::vector<cplx> qold, pold, q, p, gq, gtp;
    // The pass's channels: y = T q, z = P y for A q = q + U y + P U^T z; two-sided also
    // y2 = P p (with p itself) for A^T p = p + T (P U y2 + U^T p).
    std::vector<cplx> y, z, uy, utz, y2, uy2, utz2;
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

// f(i) for i = 0..n-1, each element on its own: the threads change no bit.
template <class F>
void each(int n, [[maybe_unused]] int threads, F f) {
    if (threads > 1 && n >= parallel_order) {
#pragma omp parallel for num_threads(threads) schedule(static)
        for (int i = 0; i < n; ++i) f(i);
        return;
    }
    for (int i = 0; i < n; ++i) f(i);
}

void finish(channel_state& c, int lev, cplx s, real err) {
    c.res = {lev, s, err};
    c.running = false;
}

// The entries of one side of a start, summed per channel.
std::map<int, cplx> entries(const std::vector<std::pair<int, cplx>>& side) {
    std::map<int, cplx> m;
    for (const auto& [i, v] : side) m[i] += v;
    return m;
}

// Whether every channel of the start is one of 1..n.
[[maybe_unused]] bool within(const recursion_start& st, int n) {
    for (const auto& side : {st.right, st.left})
        for (const auto& e : side)
            if (e.first < 1 || e.first > n) return false;
    return true;
}

// P T v of a start's side: entry i = sign_i t_i' v_i', i' the partner of i.
std::vector<std::pair<int, cplx>> reflected(const tile_store& g,
                                            const std::vector<std::pair<int, cplx>>& side) {
    std::vector<std::pair<int, cplx>> w;
    for (const auto& [j, v] : side) {
        const int i = g.partner(j);
        w.emplace_back(i, g.sign(i) * (g.amplitude(j) * v));
    }
    return w;
}

// left^T A right over the start's entries.
cplx start_element(const tile_store& g, const std::vector<std::pair<int, cplx>>& left,
                   const std::vector<std::pair<int, cplx>>& right) {
    cplx a = zero;
    for (const auto& [i, pi] : left)
        for (const auto& [j, qj] : right) a += pi * g.gt(i, j) * qj;
    return a;
}

// p = c P T q, element by element.
void left_from_right(channel_state& c, const tile_store& g, const std::vector<cplx>& q, int n,
                     int threads) {
    const cplx* t = g.amplitudes();
    const int* part = g.partners();
    const real* sg = g.signs();
    each(n, threads, [&](int i) { c.p[i] = c.c * (sg[i] * (t[part[i]] * q[part[i]])); });
}

// A right - a right, and A^T left - a left or c P T of the former: the columns and rows of the
// start's channels.
void first_vectors(channel_state& c, const tile_store& g, const recursion_start& st,
                   const std::vector<std::pair<int, cplx>>& left, cplx a, const controls& k) {
    const int n = k.n;
    for (const auto& [j, qj] : st.right)
        for (int i = 1; i <= n; ++i) c.q[i - 1] += g.gt(i, j) * qj;
    for (const auto& [j, qj] : st.right) {
        c.qold[j - 1] = qj;
        c.q[j - 1] -= a * qj;
    }
    if (c.one_sided) return left_from_right(c, g, c.q, n, k.threads);
    for (const auto& [i, pi] : left)
        for (int j = 1; j <= n; ++j) c.p[j - 1] += pi * g.gt(i, j);
    for (const auto& [i, pi] : left) {
        c.pold[i - 1] = pi;
        c.p[i - 1] -= a * pi;
    }
}

// Divides the vectors by b (a one-sided left vector is formed afresh at the next level).
void normalise(channel_state& c, int n, cplx b, int threads) {
    each(n, threads, [&](int i) {
        c.q[i] = c.q[i] / b;
        if (!c.one_sided) c.p[i] = c.p[i] / b;
    });
}

// Level 1 at the start `st`, and the first vectors of the recursion.
void start_channel(channel_state& c, const tile_store& g, const recursion_start& st,
                   std::size_t len, const controls& k) {
    const int n = k.n;
    const int nlev = std::max(k.maxlev, 2) + 1;
    c.a.assign(nlev, zero);
    c.b.assign(nlev, zero);
    c.b2.assign(nlev, zero);
    c.one_sided = one_sided_start(g, st, c.c);
    std::vector<std::pair<int, cplx>> left = st.left;
    if (c.one_sided) {
        left = reflected(g, st.right);
        for (auto& e : left) e.second = c.c * e.second;
    }
    c.a[1] = start_element(g, left, st.right);
    c.s = one / c.a[1];
    if (k.print) write_a_line(c.text, 1, c.a[1], c.s);
    if (k.maxlev == 1) return finish(c, 1, c.s, 0.0f);
    for (auto* v : {&c.qold, &c.q, &c.p, &c.gq, &c.y, &c.z, &c.uy, &c.utz}) v->assign(len, zero);
    if (!c.one_sided)
        for (auto* v : {&c.pold, &c.gtp, &c.y2, &c.uy2, &c.utz2}) v->assign(len, zero);
    first_vectors(c, g, st, left, c.a[1], k);
    cplx b2 = zero;
    for (int i = 0; i < n; ++i) b2 += c.q[i] * c.p[i];
    c.b2[1] = b2;
    if (exactly_zero(b2)) return finish(c, 1, c.s, 0.0f);  // the start is isolated
    c.b[1] = std::sqrt(b2);
    if (k.print) write_b_line(c.text, 1, c.b[1]);
    normalise(c, n, c.b[1], k.threads);
}

// The pass's inputs of one start: y = T q, z = P y (and the one-sided left vector c z);
// two-sided y2 = P p.
void pass_inputs(channel_state& c, const tile_store& g, int n, int threads) {
    const cplx* t = g.amplitudes();
    const int* part = g.partners();
    const real* sg = g.signs();
    each(n, threads, [&](int i) { c.y[i] = t[i] * c.q[i]; });
    each(n, threads, [&](int i) {
        c.z[i] = sg[i] * c.y[part[i]];
        if (c.one_sided)
            c.p[i] = c.c * c.z[i];
        else
            c.y2[i] = sg[i] * c.p[part[i]];
    });
}

// A q = q + U y + P U^T z, and two-sided A^T p = p + T (P U y2 + U^T p).
void pass_results(channel_state& c, const tile_store& g, int n, int threads) {
    const cplx* t = g.amplitudes();
    const int* part = g.partners();
    const real* sg = g.signs();
    each(n, threads, [&](int i) {
        c.gq[i] = (c.q[i] + c.uy[i]) + sg[i] * c.utz[part[i]];
        if (!c.one_sided) c.gtp[i] = c.p[i] + t[i] * (sg[i] * c.uy2[part[i]] + c.utz2[i]);
    });
}

// A q (and A^T p) of every running start, up to pass_max_channels pass channels a pass.
void products(const tile_store& g, const std::vector<channel_state*>& active, const controls& k,
              pass_kernel kernel, pass_workspace& ws) {
    std::vector<pass_vectors> pv;
    for (channel_state* c : active) {
        pass_inputs(*c, g, k.n, k.threads);
        pv.push_back({c->y.data(), c->z.data(), c->uy.data(), c->utz.data()});
        if (!c->one_sided) pv.push_back({c->y2.data(), c->p.data(), c->uy2.data(), c->utz2.data()});
    }
    for (std::size_t from = 0; from < pv.size(); from += pass_max_channels) {
        const int nch =
            static_cast<int>(std::min<std::size_t>(pass_max_channels, pv.size() - from));
        stream_pass(g, pv.data() + from, nch, k.threads, kernel, &ws);
    }
    for (channel_state* c : active) pass_results(*c, g, k.n, k.threads);
}

// The continued fraction afresh from the bottom, with nothing beyond level lev.
cplx fraction(const channel_state& c, int lev) {
    if (lev == 2) return one / (c.a[1] - c.b2[1] / c.a[2]);
    cplx s = one / c.a[lev];
    for (int j = lev - 1; j >= 1; --j) s = one / (c.a[j] - c.b2[j] * s);
    return s;
}

// Three-term update with A q (and A^T p) of this level, element by element (shared by the
// threads); a one-sided left vector follows as c P T q. Then the product of the new vectors,
// in index order.
cplx update_vectors(channel_state& c, const tile_store& g, int n, int lev, int threads) {
    const cplx a = c.a[lev], b = c.b[lev - 1];
    each(n, threads, [&](int i) {
        const cplx qn = c.gq[i] - a * c.q[i] - b * c.qold[i];
        c.qold[i] = c.q[i];
        c.q[i] = qn;
        if (c.one_sided) return;
        const cplx pn = c.gtp[i] - a * c.p[i] - b * c.pold[i];
        c.pold[i] = c.p[i];
        c.p[i] = pn;
    });
    if (c.one_sided) left_from_right(c, g, c.q, n, threads);
    cplx sum = zero;
    for (int i = 0; i < n; ++i) sum += c.q[i] * c.p[i];
    return sum;
}

// The next level of one start from the products of its vectors.
void next_level(channel_state& c, const tile_store& g, const controls& k) {
    cplx t = zero;
    for (int i = 0; i < k.n; ++i) t += c.p[i] * c.gq[i];
    const int lev = ++c.lev;
    c.a[lev] = t;
    c.s_old = c.s;
    c.s = fraction(c, lev);
    if (k.print) write_a_line(c.text, lev, c.a[lev], c.s);

    const real err = std::abs(c.s_old - c.s);
    if ((err < k.eps && lev >= k.minlev) || lev >= k.maxlev) return finish(c, lev, c.s, err);
    const cplx sum = update_vectors(c, g, k.n, lev, k.threads);
    if (exactly_zero(sum)) return finish(c, lev, c.s, 0.0f);
    c.b2[lev] = sum;
    c.b[lev] = std::sqrt(sum);
    if (k.print) write_b_line(c.text, lev, c.b[lev]);
    normalise(c, k.n, c.b[lev], k.threads);
}

}  // namespace

bool one_sided_start(const tile_store& g, const recursion_start& st, cplx& c) {
    const std::map<int, cplx> right = entries(st.right), left = entries(st.left);
    const std::map<int, cplx> w = entries(reflected(g, st.right));
    cplx d = zero;
    for (const auto& [i, wi] : w)
        if (const auto r = right.find(i); r != right.end()) d += wi * r->second;
    if (exactly_zero(d) || !std::isfinite(std::abs(d))) return false;
    c = one / d;
    constexpr real tolerance = 0x1p-20f;  // a few roundings of single precision
    for (const auto& [i, li] : left)
        if (w.find(i) == w.end() && !exactly_zero(li)) return false;
    for (const auto& [i, wi] : w) {
        const auto l = left.find(i);
        const cplx want = c * wi;
        const cplx have = l == left.end() ? zero : l->second;
        if (!(std::abs(have - want) <= tolerance * std::abs(want))) return false;
    }
    return true;
}

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
    pass_workspace ws;
    std::vector<channel_state*> active;
    for (;;) {
        active.clear();
        for (auto& c : cs)
            if (c.running) active.push_back(&c);
        if (active.empty()) break;
        products(g, active, k, kernel, ws);
        for (channel_state* c : active) next_level(*c, g, k);
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
