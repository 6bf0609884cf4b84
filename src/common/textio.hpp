// Record-level text output: fixed-layout fields and free-format records.
#pragma once
#include <ostream>
#include <string>
#include <string_view>

#include "common/types.hpp"

namespace korva {

// Integer right-aligned in w columns; asterisks when it does not fit.
std::string field_i(long long v, int w);
// Fixed point with d decimals in w columns. The leading zero of |v| < 1 is dropped when the
// field is one column short of it; asterisks when the value does not fit. A value that
// rounds to zero prints without a minus sign.
std::string field_f(double v, int w, int d);
// Exponent form with a leading "0.", d digits, in w columns: field_e(1.234e-4, 10, 4) is
// "0.1234E-03". Asterisks when it does not fit.
std::string field_e(double v, int w, int d);
// Text left-aligned in w columns, cut or padded with blanks.
std::string field_a(std::string_view s, int w);

// Shortest text that reads back as the same single-precision value; always shows that it is
// a real ("2.0", "0.5", "1e-05").
std::string free_real(real x);

// One free-format output record: a leading blank, one blank between items, two adjacent
// text items joined, integers right-aligned in 11 columns, reals in shortest form.
class record {
  public:
    record() : line_(" ") {}
    record& operator<<(std::string_view text);
    record& operator<<(const char* text) { return *this << std::string_view(text); }
    record& operator<<(const std::string& text) { return *this << std::string_view(text); }
    record& operator<<(int v);
    record& operator<<(long v) { return *this << static_cast<long long>(v); }
    record& operator<<(long long v);
    record& operator<<(real v);
    record& operator<<(double v) = delete;  // write reals as single precision
    const std::string& line() const { return line_; }

  private:
    enum class kind { none, text, value };
    void separate(kind next);
    std::string line_;
    kind last_ = kind::none;
};

// Writes the record as one line.
std::ostream& operator<<(std::ostream& out, const record& r);

}  // namespace korva
