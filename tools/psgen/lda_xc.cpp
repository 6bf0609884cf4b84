#include "lda_xc.hpp"

#include <xc.h>

#include <stdexcept>

namespace korva::psgen {

namespace {

// One libxc functional, released when it goes out of scope.
class functional {
  public:
    explicit functional(int id) {
        if (xc_func_init(&f_, id, XC_UNPOLARIZED) != 0)
            throw std::runtime_error("libxc: cannot initialise functional " + std::to_string(id));
    }
    ~functional() { xc_func_end(&f_); }
    functional(const functional&) = delete;
    functional& operator=(const functional&) = delete;
    void add(const std::vector<double>& rho, xc_values& out) const {
        const std::size_t n = rho.size();
        std::vector<double> e(n), v(n);
        xc_lda_exc_vxc(&f_, n, rho.data(), e.data(), v.data());
        for (std::size_t i = 0; i < n; ++i) {
            out.eps[i] += e[i];
            out.v[i] += v[i];
        }
    }

  private:
    xc_func_type f_{};
};

}  // namespace

xc_values lda_xc(const std::vector<double>& rho, vwn_variant variant, bool relativistic) {
    xc_values out{std::vector<double>(rho.size(), 0.0), std::vector<double>(rho.size(), 0.0)};
    functional(relativistic ? XC_LDA_X_REL : XC_LDA_X).add(rho, out);
    functional(variant == vwn_variant::vwn5 ? XC_LDA_C_VWN : XC_LDA_C_VWN_RPA).add(rho, out);
    return out;
}

}  // namespace korva::psgen
