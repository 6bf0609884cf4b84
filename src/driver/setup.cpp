#include "driver/setup.hpp"

#include <cassert>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/capacities.hpp"
#include "common/cputime.hpp"
#include "common/errors.hpp"
#include "common/textio.hpp"
#include "common/units.hpp"
#include "driver/polarisation.hpp"
#include "driver/version.hpp"
#include "input/deck.hpp"
#include "input/psread.hpp"

namespace korva {

namespace {

std::string pad(const std::string& s, std::size_t w) {
    std::string out = s;
    if (out.size() < w) out.resize(w, ' ');
    return out;
}

std::string centred(const std::string& s, std::size_t w) {
    const std::size_t left = s.size() < w ? (w - s.size()) / 2 : 0;
    return pad(std::string(left, ' ') + s, w);
}

void prompt(std::ostream& out, const char* text) {
    out << (record() << text);
    out.flush();
}

// The deck's answer to prompt p (of prompt 5: atom `atom`); a deck that does not give it ends
// the run with status 2 here, where a prompt-by-prompt read would have found it.
void require(const deck_reading& r, int p, int atom = 0) {
    if (r.answered(p, atom)) return;
    assert(r.fault);
    throw read_error{fault_message(*r.fault)};
}

// A data file that must exist; false if it cannot be opened for reading.
bool open_input(std::ifstream& f, const std::string& name) {
    std::error_code ec;
    // A name with a NUL byte would open a file of a shorter name.
    if (name.empty() || name.find('\0') != std::string::npos ||
        std::filesystem::is_directory(name, ec))
        return false;
    f.open(name, std::ios::in | std::ios::binary);
    return f.is_open();
}

void require_finite(std::ostream& out, real v, const char* name) {
    if (!std::isfinite(v)) stop(out, " *** ERROR IN INPUT: ", name, " IS NOT A FINITE NUMBER ***");
}

}  // namespace

void write_banner(std::ostream& out) {
    out << "  ******************************************************\n";
    out << "  ***                 KORVA PROGRAM                  ***\n";
    out << "  ******************************************************\n";
    out << pad(std::string(11, ' ') + "Version  " + korva_version + " (" + korva_edition + ")", 53)
        << '\n';
    out << "            Tested and compiled - Dec 2023           " << '\n';
    out << centred("C++20 standard build", 53) << '\n';
    out << ' ' << '\n';
    out << "  Full multiple scattering XANES in real space,\n";
    out << "  continued-fraction recursion for the inverse matrix.\n";
    out << ' ' << '\n';
    out << "  Method: R. Haydock, Solid State Phys. 35, 215 (1980)\n";
    out << "  ------------------------------------------------------ " << '\n';
    out << (record() << " ");
    out << (record() << "  PRESENT MAIN DIMENSION PARAMETERS:");
    out << (record() << "  -> number of atoms:               " << NAT_);
    out << (record() << "  -> number of energy points:       " << NER_);
    out << (record() << "  -> number different phase shifts: " << NPH_);
    out << (record() << "  -> Maximum angular momentum:      " << LMPH_);
    out << (record() << "  -> GT matrix dimension:           " << NDM_);
    out << (record() << " ");
}

namespace {

// Prompts 1 and 2, and the two files they name; the files must exist.
void open_data_files(run_parameters& p, const deck_reading& r, const run_place& place,
                     std::ostream& out, std::ifstream& psf, std::ifstream& xsf) {
    prompt(out, "> INPUT PHASE SHIFTS FILE NAME");
    require(r, 1);
    p.psfile = r.deck.psfile;
    prompt(out, "> INPUT CROSS-SECTION FILE NAME");
    require(r, 2);
    p.xsfile = r.deck.xsfile;
    if (!open_input(psf, place.path(p.psfile)))
        stop(out, " *** ERROR PHASE SHIFT FILE NOT FOUND ***");
    if (!open_input(xsf, place.path(p.xsfile)))
        stop(out, " *** ERROR CROSS-SECTION FILE NOT FOUND ***");
}

// Prompt 3.
void read_output_prefix(run_parameters& p, const deck_reading& r, std::ostream& out) {
    prompt(out, "> COMMON (A3) STRING FOR OUTPUT FILES");
    require(r, 3);
    p.prefix = r.deck.prefix;
    // The prefix begins a file name in the working directory: no directory part, no control
    // character (a NUL would cut the name short).
    for (const char c : p.prefix)
        if (c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            stop(out,
                 " *** ERROR IN INPUT: THE PREFIX OF THE OUTPUT FILES HOLDS A SLASH OR A CONTROL "
                 "CHARACTER ***");
    p.outname = p.prefix + "_kor.";
}

// Prompts 4 and 5: the atoms, coordinates stored in Bohr radii.
void read_atoms(run_parameters& p, const deck_reading& r, std::ostream& out) {
    prompt(out, " NUMBER OF ATOMS IN THE STRUCTURE");
    require(r, 4);
    p.nat = r.deck.nat;
    if (p.nat > NAT_) stop(out, " DIMENSION ERROR SET NAT_  =", p.nat, "    AT LEAST");
    if (p.nat < 2)
        stop(out, " *** ERROR: THE STRUCTURE NEEDS AT LEAST 2 ATOMS, NUMBER OF ATOMS =", p.nat,
             "***");
    prompt(out, " CARTESIAN COORDINATES (A) AND PHASES FOR EACH ATOM");
    p.xat.assign(p.nat, 0.0f);
    p.yat.assign(p.nat, 0.0f);
    p.zat.assign(p.nat, 0.0f);
    p.iph.assign(p.nat, 0);
    for (int i = 0; i < p.nat; ++i) {
        require(r, 5, i + 1);
        const auto [x, y, z, ip] = r.deck.atoms[static_cast<std::size_t>(i)];
        if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
            stop(out, " *** ERROR IN INPUT: COORDINATES OF ATOM", i + 1,
                 "ARE NOT FINITE NUMBERS ***");
        p.xat[i] = x / bohr;
        p.yat[i] = y / bohr;
        p.zat[i] = z / bohr;
        p.iph[i] = ip;
    }
}

// Prompts 6 to 9.
void read_controls(run_parameters& p, const deck_reading& r, std::ostream& out) {
    const deck& d = r.deck;
    prompt(out, "> CORE STATE ANGULAR MOMENTUM ");
    require(r, 6);
    p.lcore = d.lcore;
    if (p.lcore < 0)
        stop(out, " *** ERROR IN INPUT: CORE STATE ANGULAR MOMENTUM", p.lcore, "IS NEGATIVE ***");
    // The final state L0 = lcore + 1 must be a channel the propagators can hold.
    if (p.lcore >= LPROP_)
        stop(out, " *** ERROR IN INPUT: CORE STATE ANGULAR MOMENTUM", p.lcore,
             "IS TOO LARGE; FINAL STATES ABOVE L =", LPROP_, "ARE NOT POSSIBLE ***");
    prompt(out, "> TOLL_lmax, Mmax and EPS (inversion), NEP");
    require(r, 7);
    p.toll_lmax = d.toll_lmax, p.mmax = d.mmax, p.eps = d.eps, p.nep = d.nep;
    require_finite(out, p.toll_lmax, "TOLL_lmax");
    require_finite(out, p.eps, "EPS");
    if (p.mmax < 0) stop(out, " *** ERROR IN INPUT: Mmax =", p.mmax, "IS NEGATIVE ***");
    if (p.nep < 1) stop(out, " *** ERROR IN INPUT: NEP =", p.nep, "MUST BE AT LEAST 1 ***");
    prompt(out, "> OUTPUT FLAGS: IOUT,IF1,IF2,ENE,FAC");
    require(r, 8);
    p.iout = d.iout, p.if1 = d.if1, p.if2 = d.if2, p.ene = d.ene, p.fac = d.fac;
    require_finite(out, p.ene, "ENE");
    require_finite(out, p.fac, "FAC");
    prompt(out, " ESPONENTE K**ESP DEL PLOT ");
    require(r, 9);
    p.esp = d.esp;
    require_finite(out, p.esp, "ESP");
}

// The two data files into the phase table; returns the number of points of the run.
int read_phase_table(const run_parameters& p, std::ifstream& psf, std::ifstream& xsf,
                     std::ostream& out, phase_table& t) {
    {
        text_input ps(psf), xs(xsf);
        psread(out, ps, xs, p.lcore, t);
    }
    psf.close();
    xsf.close();
    if (t.nen == 0) stop(out, " *** ERROR: THE PHASE SHIFT FILE HOLDS NO ENERGY POINT ***");
    for (int i = 1; i <= p.nat; ++i)
        if (p.iph[i - 1] < 1 || p.iph[i - 1] > t.nphs)
            stop(out, " *** ERROR IN INPUT: PHASE SET", p.iph[i - 1], "OF ATOM", i,
                 "IS NOT IN THE PHASE SHIFT FILE (1 TO", t.nphs, ") ***");
    int nen = t.nen;
    if (p.nep < nen) {
        out << (record() << " NUMBER OF ENERGY POINTS REDUCED TO " << p.nep);
        nen = p.nep;
    }
    out << (record() << " ");
    if (t.lmxall >= LMPH_)
        out << (record() << "  *****  ERROR IN \"KORVA\"!  INCREASE LMPH_ TO " << t.lmxall + 1);
    return nen;
}

void echo_controls(const run_parameters& p, const phase_table& t, std::ostream& out) {
    // The cut-off search of the energy loop starts from this value.
    const int lstart = t.lmxall < LPROP_ ? t.lmxall : LPROP_;
    out << (record() << "   ");
    out << (record() << "  LMAX=" << lstart << "         MMAX=" << p.mmax << "        AND");
    out << (record() << "  EPS =" << p.eps);
    out << (record() << "   ");
}

// Two atoms at one place, or so far apart that their distance overflows, would make every
// bond quantity non-finite.
void check_distances(const run_parameters& p, std::ostream& out) {
    const std::vector<real> r = bond_lengths(p.nat, p.xat.data(), p.yat.data(), p.zat.data());
    for (int i = 1, b = 0; i <= p.nat; ++i)
        for (int j = i + 1; j <= p.nat; ++j, ++b) {
            if (r[b] == 0.0f)
                stop(out, " *** ERROR IN INPUT: ATOMS", i, "AND", j, "ARE AT THE SAME PLACE ***");
            if (!std::isfinite(r[b]))
                stop(out, " *** ERROR IN INPUT: THE DISTANCE OF ATOMS", i, "AND", j,
                     "IS NOT A FINITE NUMBER ***");
        }
}

// Prompts 10 to 12, which the post-processing asks: a deck that does not answer them ends the
// run now, not after the energy loop.
void read_later_answers(run_parameters& p, const deck_reading& r) {
    const deck& d = r.deck;
    if (d.wants_experiment()) require(r, 10);
    require(r, 12);
    p.expfile = d.expfile;
    p.kmin = d.kmin, p.kmax = d.kmax, p.dk = d.dk, p.de0 = d.de0;
}

// The shortest bond: the last of equal lengths counts.
real shortest_bond(const bond_list& bonds) {
    real rmin = bonds.rbond[0];
    for (int b = 2; b <= bonds.count(); ++b)
        if (bonds.rbond[b - 1] <= rmin) rmin = bonds.rbond[b - 1];
    return rmin;
}

}  // namespace

void setup_run(run_state& st, const deck_reading& deck,
               const std::vector<std::array<real, 3>>& polarisations, std::ostream& out) {
    run_parameters& p = st.par;
    write_banner(out);
    std::ifstream psf, xsf;
    open_data_files(p, deck, st.place, out, psf, xsf);
    read_output_prefix(p, deck, out);
    read_atoms(p, deck, out);
    read_controls(p, deck, out);
    out << (record() << "   ");
    out << (record() << "  CORE STATE ANGULAR MOMENTUM " << p.lcore);
    out << (record() << "         ");
    st.nen = read_phase_table(p, psf, xsf, out, st.phases);
    echo_controls(p, st.phases, out);
    check_distances(p, out);
    angles(st.frame, out, p.nat, p.xat.data(), p.yat.data(), p.zat.data(), st.bonds);
    p.rmin = shortest_bond(st.bonds);
    for (const auto& e : polarisations) {
        p.polar.push_back(cluster_frame_vector(st.frame, e));
        st.polar_names.push_back(polarisation_name(static_cast<int>(st.polar_names.size()) + 1, e));
    }
    st.cpu.start = cpu_seconds();
    st.cpu.mark = st.cpu.start;
    out << ' ' << ">>>>  initial CPU time " << std::string(8, ' ')
        << field_f(st.cpu.start * 1000.0, 7, 2) << " ms  <<<<" << '\n';
    read_later_answers(p, deck);
}

}  // namespace korva
