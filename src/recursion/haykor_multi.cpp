#include "recursion/haykor_multi.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <sstream>

#include "recursion/recursion_lines.hpp"

namespace korva {

namespace {

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

void finish(channel_state& c, int lev, cplx s, real err) {
    c.res = {lev, s, err};
    c.running = false;
}

}  // namespace

std::vector<haykor_result> haykor_multi(const tile_store& g, const std::vector<int>& channels,
                                        int minlev, int maxlev, real eps, int iout,
                                        std::vector<std::string>& lines, int threads,
                                        pass_kernel kernel) {
    const int n = g.order();
    const std::size_t len = static_cast<std::size_t>(g.tiles()) * tile_store::W;
    const bool print = iout > 2;
    const cplx zero(0.0f, 0.0f), one(1.0f, 0.0f);
    const int nlev = std::max(maxlev, 2) + 1;

    std::vector<channel_state> cs(channels.size());
    for (std::size_t k = 0; k < cs.size(); ++k) {
        channel_state& c = cs[k];
        const int r = channels[k];
        assert(r >= 1 && r <= n);
        c.a.assign(nlev, zero);
        c.b.assign(nlev, zero);
        c.b2.assign(nlev, zero);
        // Level 1 on the unit vector of channel r.
        c.a[1] = g.gt(r, r);
        c.s = one / c.a[1];
        if (print) write_a_line(c.text, 1, c.a[1], c.s);
        if (maxlev == 1) {
            finish(c, 1, c.s, 0.0f);
            continue;
        }
        for (auto* v : {&c.qold, &c.pold, &c.q, &c.p, &c.gq, &c.gtp}) v->assign(len, zero);
        c.qold[r - 1] = one;
        c.pold[r - 1] = one;
        // Column r and row r of gt without the diagonal.
        for (int i = 1; i <= n; ++i) {
            c.q[i - 1] = g.gt(i, r);
            c.p[i - 1] = g.gt(r, i);
        }
        c.q[r - 1] = zero;
        c.p[r - 1] = zero;
        cplx b2 = zero;
        for (int i = 0; i < n; ++i) b2 += c.q[i] * c.p[i];
        c.b2[1] = b2;
        if (exactly_zero(b2)) {
            finish(c, 1, c.s, 0.0f);  // channel r is isolated
            continue;
        }
        c.b[1] = std::sqrt(b2);
        if (print) write_b_line(c.text, 1, c.b[1]);
        for (int i = 0; i < n; ++i) {
            c.q[i] = c.q[i] / c.b[1];
            c.p[i] = c.p[i] / c.b[1];
        }
    }

    std::vector<pass_vectors> pv;
    std::vector<channel_state*> active;
    for (;;) {
        active.clear();
        for (auto& c : cs)
            if (c.running) active.push_back(&c);
        if (active.empty()) break;
        // Products of the current vectors of every running channel, a few channels per pass.
        for (std::size_t from = 0; from < active.size(); from += pass_max_channels) {
            pv.clear();
            for (std::size_t k = from; k < std::min(active.size(), from + pass_max_channels); ++k)
                pv.push_back({active[k]->q.data(), active[k]->p.data(), active[k]->gq.data(),
                              active[k]->gtp.data()});
            stream_pass(g, pv.data(), static_cast<int>(pv.size()), threads, kernel);
        }
        for (channel_state* cp : active) {
            channel_state& c = *cp;
            cplx t = zero;
            for (int i = 0; i < n; ++i) t += c.p[i] * c.gq[i];
            ++c.lev;
            const int lev = c.lev;
            c.a[lev] = t;
            c.s_old = c.s;
            if (lev == 2) {
                c.s = one / (c.a[1] - c.b2[1] / c.a[2]);
            } else {
                // The fraction afresh from the bottom, with nothing beyond level lev.
                cplx s = one / c.a[lev];
                for (int j = lev - 1; j >= 1; --j) s = one / (c.a[j] - c.b2[j] * s);
                c.s = s;
            }
            if (print) write_a_line(c.text, lev, c.a[lev], c.s);

            const real err = std::abs(c.s_old - c.s);
            if ((err < eps && lev >= minlev) || lev >= maxlev) {
                finish(c, lev, c.s, err);
                continue;
            }
            // Three-term update of both sides with gt q and gt^T p of this level.
            cplx sum = zero;
            for (int i = 0; i < n; ++i) {
                const cplx qn = c.gq[i] - c.a[lev] * c.q[i] - c.b[lev - 1] * c.qold[i];
                const cplx pn = c.gtp[i] - c.a[lev] * c.p[i] - c.b[lev - 1] * c.pold[i];
                c.qold[i] = c.q[i];
                c.q[i] = qn;
                c.pold[i] = c.p[i];
                c.p[i] = pn;
                sum += qn * pn;
            }
            if (exactly_zero(sum)) {
                finish(c, lev, c.s, 0.0f);
                continue;
            }
            c.b2[lev] = sum;
            c.b[lev] = std::sqrt(sum);
            if (print) write_b_line(c.text, lev, c.b[lev]);
            for (int i = 0; i < n; ++i) {
                c.q[i] = c.q[i] / c.b[lev];
                c.p[i] = c.p[i] / c.b[lev];
            }
        }
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
