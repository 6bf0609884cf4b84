#include "axis.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace korva::plot {

namespace {

constexpr int max_ticks = 12;  // labelled ticks on one axis, at most

struct nice_step {
    double step;
    int mantissa_tenths;  // 10, 20, 25 or 50: 1, 2, 2.5 or 5 times a power of ten
};

// Smallest step of 1, 2 or 5 times a power of ten giving at most `target` intervals over span.
nice_step step_for(double span, double target) {
    double raw = span / target;
    double mag = std::pow(10.0, std::floor(std::log10(raw)));
    for (int m : {10, 20, 50, 100}) {
        double s = mag * (m / 10.0);
        if (s >= raw * (1.0 - 1e-9)) return m == 100 ? nice_step{mag * 10.0, 10} : nice_step{s, m};
    }
    return {mag * 10.0, 10};
}

bool is_multiple(double v, double step) {
    double q = v / step;
    return std::fabs(q - std::round(q)) < 1e-9 * std::max(1.0, std::fabs(q));
}

void fill_ticks(axis_scale& a, int mantissa_tenths) {
    int parts = mantissa_tenths == 20 ? 4 : 5;
    double minor_step = a.step / parts;
    double first = std::ceil(a.lo / minor_step - 1e-9);
    double last = std::floor(a.hi / minor_step + 1e-9);
    for (double k = first; k <= last && a.major.size() + a.minor.size() < 200; k += 1.0) {
        double v = k * minor_step;
        if (std::fabs(v) < minor_step * 1e-6) v = 0.0;
        if (std::fmod(std::fabs(k), static_cast<double>(parts)) < 0.5) {
            a.major.push_back(v);
        } else {
            a.minor.push_back(v);
        }
    }
    double largest = std::max(std::fabs(a.lo), std::fabs(a.hi));
    for (double v : a.major) a.labels.push_back(tick_label(v, a.step, largest));
}

}  // namespace

axis_scale choose_axis(const limits& fixed, double dmin, double dmax) {
    axis_scale a;
    if (fixed.fixed) {
        a.lo = fixed.lo;
        a.hi = fixed.hi;
    } else if (!(dmin <= dmax)) {
        a.lo = 0.0;
        a.hi = 1.0;
    } else {
        a.lo = dmin;
        a.hi = dmax;
    }
    // A range too narrow for its magnitude (or a single value) is opened around its middle.
    double mid = a.lo / 2.0 + a.hi / 2.0;
    double tiny = 1e-9 * std::max(std::fabs(a.lo), std::fabs(a.hi));
    if (!(a.hi - a.lo > tiny) || a.hi - a.lo < 1e-290) {
        double half = mid == 0.0 ? 1.0 : std::fabs(mid) * 0.1;
        a.lo = mid - half;
        a.hi = mid + half;
    }
    // Halves keep the span finite for ranges near the double limit.
    double span = (a.hi / 2.0 - a.lo / 2.0) * 2.0;
    if (!std::isfinite(span)) span = std::numeric_limits<double>::max();
    nice_step chosen = step_for(span, 6.0);
    if (fixed.fixed) {
        // Prefer a step that puts labels on both frame edges, with 4 to 10 intervals.
        double best_score = 1e300;
        for (int e = -2; e <= 1; ++e) {
            double mag = std::pow(10.0, std::floor(std::log10(span)) + e);
            for (int m : {10, 20, 25, 50}) {
                double s = mag * (m / 10.0);
                double n = span / s;
                if (n < 3.5 || n > 10.5 || !is_multiple(a.lo, s) || !is_multiple(a.hi, s)) continue;
                double score = std::fabs(n - 5.5);
                if (score < best_score) best_score = score, chosen = {s, m};
            }
        }
    } else {
        a.lo = std::floor(a.lo / chosen.step + 1e-9) * chosen.step;
        a.hi = std::ceil(a.hi / chosen.step - 1e-9) * chosen.step;
        if (!(a.lo < a.hi)) a.hi = a.lo + chosen.step;
    }
    a.step = chosen.step;
    fill_ticks(a, chosen.mantissa_tenths);
    if (a.major.size() > static_cast<std::size_t>(max_ticks)) {
        a.major.clear(), a.minor.clear(), a.labels.clear();
    }
    return a;
}

std::string tick_label(double value, double step, double largest) {
    if (std::fabs(value) < std::fabs(step) * 1e-6) return "0";
    int top = largest > 0.0 ? static_cast<int>(std::floor(std::log10(largest))) : 0;
    int low = static_cast<int>(std::floor(std::log10(std::fabs(step)) + 1e-9));
    int digits = top - low + 1;
    if (is_multiple(step, std::pow(10.0, low)) == false) ++digits;  // 2.5 times a power of ten
    if (largest < 1e6 && top >= 0) digits = std::max(digits, top + 1);
    digits = std::clamp(digits, 1, 15);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.*g", digits, value);
    return buf;
}

}  // namespace korva::plot
