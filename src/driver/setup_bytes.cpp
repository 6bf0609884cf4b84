#include "driver/setup_bytes.hpp"

#include "common/capacities.hpp"
#include "team/bytes.hpp"

namespace korva {

namespace {

// Every field of the run parameters, for writing (const) and reading alike.
// A field added to run_parameters must be added here: the size check below is the reminder.
static_assert(sizeof(run_parameters) == 360, "pack every field of run_parameters");
template <class P, class F>
void each_field(P& p, F& f) {
    f(p.psfile), f(p.xsfile), f(p.prefix), f(p.outname);
    f(p.nat), f(p.xat), f(p.yat), f(p.zat), f(p.iph);
    f(p.lcore), f(p.toll_lmax), f(p.mmax), f(p.eps), f(p.nep);
    f(p.iout), f(p.if1), f(p.if2), f(p.ene), f(p.fac), f(p.esp), f(p.expfile);
    f(p.kmin), f(p.kmax), f(p.dk), f(p.de0), f(p.rmin), f(p.polar);
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

}  // namespace korva
