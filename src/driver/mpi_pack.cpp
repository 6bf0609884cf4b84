#include "driver/mpi_pack.hpp"

#include <cstring>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "common/capacities.hpp"

namespace korva {

namespace {

// Appends values as their bytes; a string or a vector goes with its length first.
class byte_writer {
  public:
    template <class T>
    void operator()(const T& v) {
        static_assert(std::is_trivially_copyable_v<T>);
        bytes.append(reinterpret_cast<const char*>(&v), sizeof v);
    }
    void operator()(const std::string& s) {
        (*this)(s.size());
        bytes += s;
    }
    template <class T>
    void operator()(const std::vector<T>& v) {
        static_assert(std::is_trivially_copyable_v<T>);
        (*this)(v.size());
        bytes.append(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T));
    }

    std::string bytes;
};

// Reads back what a byte_writer wrote, in the same order.
class byte_reader {
  public:
    explicit byte_reader(const std::string& bytes) : bytes_(bytes) {}

    template <class T>
    void operator()(T& v) {
        static_assert(std::is_trivially_copyable_v<T>);
        take(&v, sizeof v);
    }
    void operator()(std::string& s) {
        std::size_t n = 0;
        (*this)(n);
        need(n);
        s.assign(bytes_, pos_, n);
        pos_ += n;
    }
    template <class T>
    void operator()(std::vector<T>& v) {
        std::size_t n = 0;
        (*this)(n);
        if (n > (bytes_.size() - pos_) / sizeof(T)) need(bytes_.size() + 1);  // cut short
        v.resize(n);
        take(v.data(), n * sizeof(T));
    }

    void expect_end() const {
        if (pos_ != bytes_.size())
            throw std::runtime_error("a message between the ranks has bytes left over");
    }

  private:
    void need(std::size_t n) const {
        if (n > bytes_.size() - pos_)
            throw std::runtime_error("a message between the ranks is cut short");
    }
    void take(void* p, std::size_t n) {
        need(n);
        if (n > 0) std::memcpy(p, bytes_.data() + pos_, n);
        pos_ += n;
    }

    const std::string& bytes_;
    std::size_t pos_ = 0;
};

// Every field of the run parameters, for writing (const) and reading alike.
// A field added to run_parameters must be added here: the size check below is the reminder.
static_assert(sizeof(run_parameters) == 280, "pack every field of run_parameters");
template <class P, class F>
void each_field(P& p, F& f) {
    f(p.psfile), f(p.xsfile), f(p.prefix), f(p.outname);
    f(p.nat), f(p.xat), f(p.yat), f(p.zat), f(p.iph);
    f(p.lcore), f(p.toll_lmax), f(p.mmax), f(p.eps), f(p.nep);
    f(p.iout), f(p.if1), f(p.if2), f(p.ene), f(p.fac), f(p.esp), f(p.rmin);
}

// Every entry of the phase table through its accessors, whole capacities.
template <class T, class F>
void each_entry(T& t, F& f) {
    f(t.nen), f(t.nphs), f(t.lmxall);
    for (int e = 1; e <= NER_; ++e) f(t.eph(e)), f(t.ckph(e));
    for (int p = 1; p <= NPH_; ++p)
        for (int l = 0; l <= LMPH_; ++l)
            for (int e = 1; e <= NER_; ++e) f(t.til(e, l, p));
    for (int c = 1; c <= 2; ++c)
        for (int e = 1; e <= NER_; ++e) f(t.sig0c(e, c)), f(t.sig0(e, c));
    for (int e = 1; e <= NER_; ++e)
        for (int p = 1; p <= NPH_; ++p) f(t.lmxp(p, e));
    for (int p = 1; p <= NPH_; ++p) f(t.lmxa(p)), f(t.nken(p));
    for (int which = 1; which <= 2; ++which)
        for (int c = 1; c <= LMPH_; ++c)
            for (int p = 1; p <= NPH_; ++p) f(t.kenlmx(p, c, which));
}

template <class B, class F>
void each_bond_array(B& b, F& f) {
    f(b.rbond), f(b.cbond), f(b.tbond), f(b.thetanz);
}

template <class R, class F>
void each_report_field(R& r, F& f) {
    f(r.k), f(r.c), f(r.e), f(r.end), f(r.text), f(r.what);
    f(r.csig), f(r.xtot), f(r.camp), f(r.cphase), f(r.kwave);
}

}  // namespace

std::string pack_setup(const run_state& st) {
    byte_writer w;
    each_field(st.par, w);
    w(st.nen);
    each_entry(st.phases, w);
    each_bond_array(st.bonds, w);
    return w.bytes;
}

void unpack_setup(const std::string& bytes, run_state& st) {
    byte_reader r(bytes);
    each_field(st.par, r);
    r(st.nen);
    each_entry(st.phases, r);
    each_bond_array(st.bonds, r);
    r.expect_end();
}

std::string pack_report(const point_report& rep) {
    byte_writer w;
    each_report_field(rep, w);
    return w.bytes;
}

point_report unpack_report(const std::string& bytes) {
    point_report rep;
    byte_reader r(bytes);
    each_report_field(rep, r);
    r.expect_end();
    return rep;
}

}  // namespace korva
