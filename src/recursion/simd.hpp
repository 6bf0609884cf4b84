// The x86 vector intrinsics of the pass and copy kernels; KORVA_X86 is defined where they exist.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
// g++ 12 warns inside the plain 512-bit shuffles of its own header, whose unused source
// operand is left undefined on purpose.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#ifndef __clang__
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#pragma GCC diagnostic pop
#define KORVA_X86 1
#endif
