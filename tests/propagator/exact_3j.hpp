// Exact Wigner 3j symbols for the tests: Racah's formula in the form of one sum of reciprocal
// factorial products (not the program's arrangement), in exact integers (Boost.Multiprecision),
// the final square root an integer one to 55 bits, rounded to double.
#pragma once
#include <algorithm>
#include <array>
#include <boost/multiprecision/cpp_int.hpp>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

namespace korva::oracle {

namespace bmp = boost::multiprecision;

class exact_3j {
  public:
    // (j1 j2 j3; m1 m2 m3) rounded to double from its exact value (relative error 2^-53).
    double operator()(int j1, int j2, int j3, int m1, int m2, int m3) {
        if (m1 + m2 + m3 != 0 || std::abs(m1) > j1 || std::abs(m2) > j2 || std::abs(m3) > j3 ||
            j3 > j1 + j2 || j3 < std::abs(j1 - j2))
            return 0.0;
        // The symbol is unchanged by an even permutation of its columns; an odd one, or
        // flipping every m, multiplies it by (-1)^(j1+j2+j3). One entry per class: the larger
        // of the column lists sorted descending, with and without the flip.
        const double odd = (j1 + j2 + j3) % 2 == 0 ? 1.0 : -1.0;
        auto sorted = [odd](columns c, double sgn) {
            for (int pass = 0; pass < 2; ++pass)
                for (int i = 0; i < 2; ++i)
                    if (c[i] < c[i + 1]) std::swap(c[i], c[i + 1]), sgn *= odd;
            return std::pair{c, sgn};
        };
        auto [c, sgn] = sorted(columns{{{j1, m1}, {j2, m2}, {j3, m3}}}, 1.0);
        const auto flipped = sorted(columns{{{j1, -m1}, {j2, -m2}, {j3, -m3}}}, odd);
        if (c < flipped.first) std::tie(c, sgn) = flipped;
        const key k{c[0][0], c[1][0], c[2][0], c[0][1], c[1][1]};
        auto it = memo_.find(k);
        if (it == memo_.end())
            it = memo_.emplace(k, evaluate(c[0][0], c[1][0], c[2][0], c[0][1], c[1][1], c[2][1]))
                     .first;
        return sgn * it->second;
    }

  private:
    using columns = std::array<std::array<int, 2>, 3>;
    using key = std::array<int, 5>;
    struct key_hash {
        std::size_t operator()(const key& k) const {
            std::size_t h = 0;
            for (int v : k) h = h * 131 + static_cast<std::size_t>(v + 64);
            return h;
        }
    };
    std::unordered_map<key, double, key_hash> memo_;
    std::deque<bmp::cpp_int> fact_{1};  // a deque: growing it keeps references valid

    const bmp::cpp_int& factorial(int n) {
        while (static_cast<int>(fact_.size()) <= n)
            fact_.push_back(fact_.back() * static_cast<unsigned>(fact_.size()));
        return fact_[static_cast<std::size_t>(n)];
    }

    // (-1)^(j1-j2-m3) sqrt(Delta (j1+m1)! (j1-m1)! (j2+m2)! (j2-m2)! (j3+m3)! (j3-m3)!)
    // sum over k of (-1)^k / (k! (j3-j2+k+m1)! (j3-j1+k-m2)! (j1+j2-j3-k)! (j1-k-m1)!
    // (j2-k+m2)!), Delta = (j1+j2-j3)! (j1-j2+j3)! (-j1+j2+j3)! / (j1+j2+j3+1)!.
    double evaluate(int j1, int j2, int j3, int m1, int m2, int m3) {
        const int kmin = std::max({0, j2 - j3 - m1, j1 - j3 + m2});
        const int kmax = std::min({j1 + j2 - j3, j1 - m1, j2 + m2});
        // Every denominator divides the product of the six factorials at their largest
        // arguments, so the sum times that product is an integer.
        auto args = [&](int k) {
            return std::array<int, 6>{
                k, j3 - j2 + k + m1, j3 - j1 + k - m2, j1 + j2 - j3 - k, j1 - k - m1, j2 - k + m2};
        };
        const std::array<int, 6> top_lo = args(kmax), top_hi = args(kmin);
        std::array<int, 6> top{};
        for (int s = 0; s < 6; ++s) top[s] = std::max(top_lo[s], top_hi[s]);
        bmp::cpp_int common = 1;
        for (int s = 0; s < 6; ++s) common *= factorial(top[s]);
        bmp::cpp_int sum = 0;
        for (int k = kmin; k <= kmax; ++k) {
            const auto a = args(k);
            bmp::cpp_int t = 1;
            for (int s = 0; s < 6; ++s)
                for (int f = a[s] + 1; f <= top[s]; ++f) t *= static_cast<unsigned>(f);
            if (k % 2 == 0)
                sum += t;
            else
                sum -= t;
        }
        if (sum == 0) return 0.0;
        const bmp::cpp_int num = factorial(j1 + j2 - j3) * factorial(j1 - j2 + j3) *
                                 factorial(-j1 + j2 + j3) * factorial(j1 + m1) *
                                 factorial(j1 - m1) * factorial(j2 + m2) * factorial(j2 - m2) *
                                 factorial(j3 + m3) * factorial(j3 - m3) * sum * sum;
        const bmp::cpp_int den = factorial(j1 + j2 + j3 + 1) * common * common;
        // sqrt(num / den) to 55 bits from integers: num / den scaled by 4^e to at least
        // 2^110, its integer square root scaled back.
        const long shift = std::max<long>(
            0, (110 - static_cast<long>(bmp::msb(num)) + static_cast<long>(bmp::msb(den))) / 2 + 1);
        const bmp::cpp_int root = bmp::sqrt(bmp::cpp_int(num << (2 * shift)) / den);
        const double mag = std::ldexp(static_cast<double>(root), static_cast<int>(-shift));
        const int phase = ((j1 - j2 - m3) % 2 == 0 ? 1 : -1) * (sum > 0 ? 1 : -1);
        return phase * mag;
    }
};

}  // namespace korva::oracle
