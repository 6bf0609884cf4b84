// The pass kernels a kernel test can run on this processor.
#pragma once
#include <iostream>
#include <vector>

#include "recursion/stream_pass.hpp"

namespace korva::test {

// Every kernel this processor runs; the others are named on a note line, not run.
inline std::vector<pass_kernel> kernels_here() {
    std::vector<pass_kernel> here;
    for (pass_kernel k : {pass_kernel::scalar, pass_kernel::avx2, pass_kernel::avx512}) {
        if (pass_available(k))
            here.push_back(k);
        else
            std::cout << "[   note   ] kernel " << pass_kernel_name(k)
                      << " not checked: this processor lacks its instructions\n";
    }
    return here;
}

}  // namespace korva::test
