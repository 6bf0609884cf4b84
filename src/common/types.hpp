// Scalar types of the program: single precision throughout, double only where a routine says so.
#pragma once
#include <complex>

namespace korva {
using real = float;
using cplx = std::complex<float>;
}  // namespace korva
