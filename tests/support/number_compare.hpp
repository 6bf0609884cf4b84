// Two outputs compared number by number: the text around the numbers must agree (a run of
// blanks counting as one), the numbers may move; the largest moves are reported.
#pragma once
#include <string>

namespace korva::test {

struct number_changes {
    bool same_text = true;  // the text between the numbers (and their count) agrees
    std::string text_at;    // where it first differs
    int numbers = 0, moved = 0;
    // |a - b| / max(|a|, |b|), and |a - b| in units of the last digit a was printed with
    // (1e-6 for 0.741745, 1e-8 for 0.1549E-04), each with the line and the two numbers.
    double relative = 0, last_digits = 0;
    std::string relative_at, last_digits_at;
};

// A number is a run of digits with an optional sign, point and exponent, as strtod reads it
// (a sign or point only when a digit follows); "0.74-0.005" is two numbers. CPU-time figures
// should be masked first (mask_cpu).
number_changes compare_numbers(const std::string& a, const std::string& b);

// One line: "numbers N, moved M, largest relative move R (where), largest move in units of
// the last printed digit D (where)", or where the text differs.
std::string describe(const number_changes& c);

}  // namespace korva::test
