#include "propagator/cgc.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "common/textio.hpp"

namespace korva {

namespace {

// Multiplies v by the product of num[p]! / den[p]! over p, the lists sorted descending each by
// itself and paired rank by rank; v is kept within 1e-20..1e20 by rescaling, each rescale
// moving e by 2 (e counts powers of 1e10).
template <int n>
void ratio_pass(int (&num)[n], int (&den)[n], double& v, int& e) {
    for (int p = 0; p < n - 1; ++p) {
        int in = p;
        int id = p;
        for (int q = p + 1; q < n; ++q) {
            if (num[q] > num[in]) in = q;
            if (den[q] > den[id]) id = q;
        }
        std::swap(num[p], num[in]);
        std::swap(den[p], den[id]);
    }
    for (int p = 0; p < n; ++p) {
        const int a = num[p];
        const int b = den[p];
        if (a > b) {
            for (int f = std::max(b + 1, 2); f <= a; ++f) {
                if (std::fabs(v) >= 1e20) {
                    v /= 1e20;
                    e += 2;
                }
                v *= static_cast<double>(f);
            }
        } else if (a < b) {
            for (int f = std::max(a + 1, 2); f <= b; ++f) {
                if (std::fabs(v) <= 1e-20) {
                    v *= 1e20;
                    e -= 2;
                }
                v /= static_cast<double>(f);
            }
        }
    }
}

// 1e10^e by repeated multiplication (a reciprocal for negative e). For momenta up to 40, e
// stays within -2..3, where the intermediate powers up to 1e20 are exact and any order of
// evaluation rounds once.
double pow1e10(int e) {
    double p = 1.0;
    for (int i = 0; i < std::abs(e); ++i) p *= 1e10;
    return e < 0 ? 1.0 / p : p;
}

// A non-negative integer in storage the caller sizes: n 32-bit limbs, least significant first,
// no leading zero limb (zero has n = 0).
struct bignum {
    std::uint32_t* limb;
    std::size_t n;
};

void mul_small(bignum& a, std::uint32_t f) {
    std::uint64_t carry = 0;
    for (std::size_t i = 0; i < a.n; ++i) {
        const std::uint64_t p = std::uint64_t{a.limb[i]} * f + carry;
        a.limb[i] = static_cast<std::uint32_t>(p);
        carry = p >> 32;
    }
    if (carry != 0) a.limb[a.n++] = static_cast<std::uint32_t>(carry);
}

// a = a f for a factor f of any size up to 2^63, split into three when it exceeds 32 bits.
void mul_factors(bignum& a, std::uint32_t f1, std::uint32_t f2, std::uint32_t f3) {
    const std::uint64_t f = std::uint64_t{f1} * f2 * f3;
    if (f <= 0xffffffffu) {
        mul_small(a, static_cast<std::uint32_t>(f));
    } else {
        mul_small(a, f1);
        mul_small(a, f2);
        mul_small(a, f3);
    }
}

// -1, 0 or 1 as a < b, a = b, a > b.
int compare(const bignum& a, const bignum& b) {
    if (a.n != b.n) return a.n < b.n ? -1 : 1;
    for (std::size_t i = a.n; i-- > 0;)
        if (a.limb[i] != b.limb[i]) return a.limb[i] < b.limb[i] ? -1 : 1;
    return 0;
}

// a = a + b.
void add_to(bignum& a, const bignum& b) {
    for (std::size_t i = a.n; i < b.n; ++i) a.limb[i] = 0;
    a.n = std::max(a.n, b.n);
    std::uint64_t carry = 0;
    for (std::size_t i = 0; i < a.n; ++i) {
        const std::uint64_t s = std::uint64_t{a.limb[i]} + (i < b.n ? b.limb[i] : 0u) + carry;
        a.limb[i] = static_cast<std::uint32_t>(s);
        carry = s >> 32;
    }
    if (carry != 0) a.limb[a.n++] = static_cast<std::uint32_t>(carry);
}

// a = b - a when from_b, else a = a - b; the result must not be negative.
void subtract(bignum& a, const bignum& b, bool from_b) {
    for (std::size_t i = a.n; i < b.n; ++i) a.limb[i] = 0;
    a.n = std::max(a.n, b.n);
    std::int64_t borrow = 0;
    for (std::size_t i = 0; i < a.n; ++i) {
        const std::int64_t x = i < b.n ? b.limb[i] : 0;
        const std::int64_t d = from_b ? x - a.limb[i] - borrow : a.limb[i] - x - borrow;
        borrow = d < 0 ? 1 : 0;
        a.limb[i] = static_cast<std::uint32_t>(d + (borrow << 32));
    }
    assert(borrow == 0);
    while (a.n > 0 && a.limb[a.n - 1] == 0) --a.n;
}

// a as m 2^e, m from the leading three limbs (the limbs below change m by less than 2^-64).
double mantissa(const bignum& a, int& e) {
    double m = 0.0;
    const std::size_t top = std::min<std::size_t>(a.n, 3);
    for (std::size_t i = 0; i < top; ++i) m = m * 4294967296.0 + a.limb[a.n - 1 - i];
    e = 32 * static_cast<int>(a.n - top);
    return m;
}

// The ratio of consecutive Racah terms, t_k / t_(k-1) = -p(k) / q(k), as the factors of p and q.
struct term_ratio {
    std::uint32_t p[3], q[3];
    term_ratio(int j1, int j2, int j3, int m1, int mt, int k)
        : p{static_cast<std::uint32_t>(j1 + k - m1),
            static_cast<std::uint32_t>(j3 + j2 - j1 - k + 1),
            static_cast<std::uint32_t>(j3 + mt - k + 1)},
          q{static_cast<std::uint32_t>(j1 + k - j2 - mt), static_cast<std::uint32_t>(k),
            static_cast<std::uint32_t>(j2 + j3 + m1 - k + 1)} {}
};

// Sum over k = k0..kmax of the Racah terms t_k / t_k0, exactly: Horner's scheme from the last
// term, x <- 1 - p(k) x / q(k), kept as a fraction num / den of integers, rounded once when
// it becomes a double.
double racah_ratio_sum(int j1, int j2, int j3, int m1, int mt, int k0, int kmax) {
    if (kmax == k0) return 1.0;
    // den + |num| starts at 2 and grows by at most 2 max(p, q) a step, which bounds the limbs.
    std::size_t bits = 2;
    for (int k = kmax; k > k0; --k) {
        const term_ratio t(j1, j2, j3, m1, mt, k);
        const std::uint64_t p = std::uint64_t{t.p[0]} * t.p[1] * t.p[2];
        const std::uint64_t q = std::uint64_t{t.q[0]} * t.q[1] * t.q[2];
        bits += 1 + static_cast<std::size_t>(std::bit_width(std::max(p, q)));
    }
    const std::size_t limbs = bits / 32 + 1;
    // 48 limbs hold every symbol the program evaluates: the builders need up to 21, the
    // zero-projection symbols of c3j0 up to (40 40 80) exactly 48.
    constexpr std::size_t local_limbs = 48;
    std::array<std::uint32_t, 2 * local_limbs> local;
    std::vector<std::uint32_t> heap;
    std::uint32_t* store = local.data();
    if (limbs > local_limbs) {
        heap.resize(2 * limbs);
        store = heap.data();
    }
    bignum num{store, 1};
    bignum den{store + std::max(limbs, local_limbs), 1};
    num.limb[0] = 1;
    den.limb[0] = 1;
    bool negative = false;
    for (int k = kmax; k > k0; --k) {
        const term_ratio t(j1, j2, j3, m1, mt, k);
        mul_factors(num, t.p[0], t.p[1], t.p[2]);
        mul_factors(den, t.q[0], t.q[1], t.q[2]);
        // num / den <- 1 - (+-num) / den, over the new denominator den.
        if (negative) {
            add_to(num, den);
            negative = false;
        } else if (compare(num, den) <= 0) {
            subtract(num, den, true);
        } else {
            subtract(num, den, false);
            negative = true;
        }
    }
    if (num.n == 0) return 0.0;
    int en = 0;
    int ed = 0;
    const double mn = mantissa(num, en);
    const double md = mantissa(den, ed);
    const double r = std::ldexp(mn / md, en - ed);
    return negative ? -r : r;
}

// Clebsch-Gordan coefficient in double precision, within about 1e-13 relative of the exact
// value: the prefactor and the first term are a product of factorial ratios (no
// cancellation: one rounding per factor), and the alternating sum is taken exactly.
double cgc_value(int j1, int j2, int j3, int m1, int m2) {
    const int mt = m1 + m2;
    int num[5] = {j3 + j1 - j2, j3 + j2 - j1, j1 + j2 - j3, j3 + mt, j3 - mt};
    int den[5] = {j1 + j2 + j3 + 1, j1 - m1, j1 + m1, j2 - m2, j2 + m2};
    for (int p = 0; p < 5; ++p)
        if (num[p] < 0 || den[p] < 0) return 0.0;
    const int k0 = std::max(0, mt + j2 - j1);
    const int kmax = std::min(j3 + j2 - j1, j3 + mt);

    double v = 1.0;
    int e = 0;
    ratio_pass(num, den, v, e);
    e /= 2;
    v = std::sqrt(static_cast<double>(2 * j3 + 1) * v);

    // First term of the sum; one of k0! and (k0 + j1 - j2 - M)! is 0!.
    int num2[3] = {j2 + j3 + m1 - k0, j1 - m1 + k0, 0};
    int den2[3] = {k0 > 0 ? k0 : j1 - j2 - mt, j3 + j2 - j1 - k0, j3 + mt - k0};
    ratio_pass(num2, den2, v, e);
    if ((j2 + k0 + m2) % 2 != 0) v = -v;
    return v * racah_ratio_sum(j1, j2, j3, m1, mt, k0, kmax) * pow1e10(e);
}

}  // namespace

real cgc(int j1, int j2, int j3, int m1, int m2) {
    return static_cast<real>(cgc_value(j1, j2, j3, m1, m2));
}

real c3j(int j1, int j2, int j3, int m1, int m2, int m3) {
    if (m1 + m2 + m3 != 0) return 0.0f;
    // Formed in double and rounded once, so that the symbol is as exact as the coefficient.
    const double sgn = (j1 - j2 - m3) % 2 == 0 ? 1.0 : -1.0;
    const double c = cgc_value(j1, j2, j3, m1, m2);
    return static_cast<real>(c * sgn / std::sqrt(static_cast<double>(2 * j3 + 1)));
}

int c3j0_triple(int lmin, int lmid, int lmax) {
    const int t = lmin - 1;
    const int p = std::abs(t) % 2;
    return 10 * ((t + 4) * t + 4 - p) + ((6 * p + 10 - (4 * t + 9) * t) * t - 3 * p) / 24 + 1 +
           (lmid - lmin) * (lmin / 2 + 1) + (lmax + p - 1 - lmid) / 2 + 1;
}

double c3j0(c3j0_cache& cache, std::ostream& out, int l1, int l2, int l3) {
    const int jt = l1 + l2 + l3;
    const int lmin = std::min({l1, l2, l3});
    const int lmax = std::max({l1, l2, l3});
    const int lmid = jt - lmin - lmax;
    if (lmid > 40) {
        out << (record() << " WARNING IN SUBROUTINE C3J0: L2=" << lmid
                         << "    MAXIMUM L VALUE ALLOWED IS " << 40);
        return 0.0;
    }
    if (lmin < 0) {
        out << (record() << " WARNING IN SUBROUTINE C3J0 "
                         << "L VALUES SHOULD BE NON NEGATIVE " << lmin << lmid << lmax);
        return 0.0;
    }
    if (jt % 2 != 0 || lmin + lmid < lmax) return 0.0;
    const int n = c3j0_triple(lmin, lmid, lmax);
    assert(n >= 1 && n <= NC3J0_);
    const auto slot = static_cast<std::size_t>(n - 1);
    if (cache.flx[slot] != 0) return cache.value[slot];
    cache.value[slot] = static_cast<double>(c3j(lmin, lmid, lmax, 0, 0, 0));
    cache.flx[slot] = 1;
    ++cache.computed;
    return cache.value[slot];
}

}  // namespace korva
