#include "common/textio.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace korva {

namespace {
std::string stars(int w) {
    return std::string(static_cast<std::size_t>(w > 0 ? w : 0), '*');
}

std::string pad_left(const std::string& s, int w) {
    if (static_cast<int>(s.size()) > w) return stars(w);
    return std::string(static_cast<std::size_t>(w) - s.size(), ' ') + s;
}
}  // namespace

std::string field_i(long long v, int w) {
    return pad_left(std::to_string(v), w);
}

std::string field_f(double v, int w, int d) {
    if (!std::isfinite(v)) return stars(w);
    char buf[512];
    const double a = std::fabs(v);
    if (a >= 1e300) return stars(w);
    std::snprintf(buf, sizeof buf, "%.*f", d, a);
    std::string digits(buf);
    // Sign only when some printed digit is non-zero.
    bool nonzero = digits.find_first_of("123456789") != std::string::npos;
    const bool minus = v < 0 && nonzero;
    // Drop the leading zero of |v| < 1 when that makes the value fit.
    const bool drop_zero = static_cast<int>(digits.size()) + (minus ? 1 : 0) > w &&
                           digits.size() > 1 && digits[0] == '0' && digits[1] == '.';
    std::string s;
    if (minus) s.push_back('-');
    s.append(digits.data() + (drop_zero ? 1 : 0));
    return pad_left(s, w);
}

std::string field_e(double v, int w, int d) {
    if (!std::isfinite(v)) return stars(w);
    const double a = std::fabs(v);
    int exp10 = 0;
    long long mant = 0;
    const long long scale = static_cast<long long>(std::llround(std::pow(10.0, d)));
    if (a != 0.0) {
        // a = 0.dddd x 10^exp10, mantissa rounded to d digits.
        exp10 = static_cast<int>(std::floor(std::log10(a))) + 1;
        double m = a / std::pow(10.0, exp10);
        if (m < 0.1) {
            m *= 10;
            --exp10;
        } else if (m >= 1.0) {
            m /= 10;
            ++exp10;
        }
        mant = std::llround(m * static_cast<double>(scale));
        if (mant >= scale) {
            mant /= 10;
            ++exp10;
        }
    }
    std::string m = std::to_string(mant);
    m = std::string(static_cast<std::size_t>(d) - std::min<std::size_t>(d, m.size()), '0') + m;
    char ebuf[16];
    const int ea = std::abs(exp10);
    if (ea > 999) return stars(w);
    if (ea <= 99)
        std::snprintf(ebuf, sizeof ebuf, "E%c%02d", exp10 < 0 ? '-' : '+', ea);
    else
        std::snprintf(ebuf, sizeof ebuf, "%c%03d", exp10 < 0 ? '-' : '+', ea);
    std::string s = (v < 0 && mant != 0) ? "-0." : "0.";
    s.append(m);
    s.append(ebuf);
    return pad_left(s, w);
}

std::string field_a(std::string_view s, int w) {
    std::string out(s.substr(0, static_cast<std::size_t>(w)));
    out.resize(static_cast<std::size_t>(w), ' ');
    return out;
}

std::string free_real(real x) {
    if (std::isnan(x)) return "NaN";
    if (std::isinf(x)) return x < 0 ? "-Infinity" : "Infinity";
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, x);
    std::string s(buf, res.ptr);
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

void record::separate(kind next) {
    if (last_ == kind::none) {
    } else if (!(last_ == kind::text && next == kind::text)) {
        line_ += ' ';
    }
    last_ = next;
}

record& record::operator<<(std::string_view text) {
    separate(kind::text);
    line_ += text;
    return *this;
}

record& record::operator<<(int v) {
    return *this << static_cast<long long>(v);
}

record& record::operator<<(long long v) {
    separate(kind::value);
    line_ += field_i(v, 11);
    return *this;
}

record& record::operator<<(real v) {
    separate(kind::value);
    line_ += free_real(v);
    return *this;
}

std::ostream& operator<<(std::ostream& out, const record& r) {
    return out << r.line() << '\n';
}

}  // namespace korva
