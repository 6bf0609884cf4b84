#include "input/psread.hpp"

#include <cmath>
#include <string>

#include "common/errors.hpp"
#include "common/textio.hpp"

namespace korva {

namespace {

// The first line of a data file may be a comment: a line whose first two values are not
// numbers. It is reported and skipped; otherwise the file is read again from its start.
// `empty` tells that the file holds no record at all.
void skip_comment(std::ostream& out, text_input& in, const char* message, bool& empty) {
    real a = 0, b = 0;
    const read_status st = read_values(in, a, b);
    empty = st == read_status::end;
    if (st == read_status::bad)
        out << (record() << message);
    else if (st == read_status::ok)
        in.rewind();
}

[[noreturn]] void non_finite(std::ostream& out, const char* file, int rec, long line) {
    stop(out, " *** ERROR IN ", file, ": NON-FINITE VALUE IN RECORD", rec, "AT LINE",
         static_cast<int>(line), "***");
}

// One cross-section record: seven reals, the fifth the cross section, the sixth and seventh
// the complex factor.
void read_sigma(std::ostream& out, text_input& xs, int e, int c, int& nrec, phase_table& t) {
    real v[7] = {0, 0, 0, 0, 0, 0, 0};
    list_read r(xs);
    for (int i = 0; i < 7; ++i) {
        const read_status st = r.get(v[i]);
        if (st == read_status::bad) {
            stop(out, " ** ERROR WHILE READING SIGMA0 **");
        }
        if (st == read_status::end)
            throw read_error{"cross-section file: it ends before the record of energy point " +
                             std::to_string(e) + (c == 2 ? " (second channel)" : "")};
    }
    ++nrec;
    for (real x : v)
        if (!std::isfinite(x)) non_finite(out, "CROSS-SECTION FILE", nrec, xs.line_number());
    t.sig0(e, c) = v[4];
    t.sig0c(e, c) = cplx(v[5], -v[6]);
}

// Writes values at most 25 to a line, each line starting with one blank and the label.
void write_rows(std::ostream& out, const char* label, const int* v, int n) {
    for (int first = 0; first < n; first += 25) {
        std::string line = std::string(" ") + label;
        for (int i = first; i < n && i < first + 25; ++i) line += field_i(v[i], 4);
        out << line << '\n';
    }
}

}  // namespace

void psread(std::ostream& out, text_input& ps, text_input& xs, int lcore, phase_table& t) {
    bool ps_empty = false, xs_empty = false;
    skip_comment(out, ps, "HA TROVATO RIGA DI COMMENTO IN FILE FASI", ps_empty);
    if (!ps_empty) {
        skip_comment(out, xs, "HA TROVATO RIGA DI COMMENTO IN SIGMA0", xs_empty);
        if (xs_empty) throw read_error{"cross-section file: it holds no record"};
    }

    int nrec_ps = 0, nrec_xs = 0;
    while (!ps_empty) {
        real e = 0, kre = 0, kim = 0, tre = 0, tim = 0;
        int iph = 0, l = 0;
        list_read r(ps);
        int got = 0;
        read_status st = read_status::ok;
        auto take = [&](auto& v) {
            if (st != read_status::ok) return;
            st = r.get(v);
            if (st == read_status::ok) ++got;
        };
        take(e), take(kre), take(kim), take(iph), take(l), take(tre), take(tim);
        if (st == read_status::bad) {
            stop(out, " ** ERROR WHILE READING PHASE SHIFTS **");
        }
        if (st == read_status::end) {
            if (got == 0) break;
            throw read_error{"phase-shift file: the last record (line " +
                             std::to_string(ps.line_number()) + ") ends after " +
                             std::to_string(got) + " of its 7 values"};
        }
        ++nrec_ps;
        for (real x : {e, kre, kim, tre, tim})
            if (!std::isfinite(x)) non_finite(out, "PHASE SHIFT FILE", nrec_ps, ps.line_number());

        const bool new_point = t.nen == 0 || e != t.eph(t.nen);
        if (new_point) {
            ++t.nen;
            if (t.nen > NER_) {
                out << (record() << " **** WARNING IN \"PSREAD\" NUMBER OF ENERGY POINTS EXCEEDS "
                                    "DIMENSION NER_="
                                 << NER_ << " ****");
                break;
            }
            t.eph(t.nen) = e;
            t.ckph(t.nen) = cplx(kre, -kim);
        }
        // Records outside the table (phase set or l out of range) are ignored.
        if (iph >= 1 && iph <= NPH_ && l >= 0 && l <= LMPH_) {
            t.til(t.nen, l, iph) = cplx(tre, -tim);
            if (t.nphs < iph) t.nphs = iph;
            if (t.lmxp(iph, t.nen) < l) t.lmxp(iph, t.nen) = l;
        }
        if (new_point) {
            read_sigma(out, xs, t.nen, 1, nrec_xs, t);
            if (lcore != 0) read_sigma(out, xs, t.nen, 2, nrec_xs, t);
        }
    }

    out << '\n';
    out << " ** PHASE SHIFTS READ FOR  " << field_i(t.nphs, 3) << "  ATOMS AND "
        << field_i(t.nen, 4) << " ENERGY POINTS **" << '\n';
    const int nstored = t.nen < NER_ ? t.nen : NER_;
    for (int p = 1; p <= t.nphs; ++p) {
        t.kenlmx(p, 1, 1) = 1;
        t.kenlmx(p, 1, 2) = t.lmxp(p, 1);
        int c = 1;
        for (int e = 1; e <= nstored; ++e) {
            if (t.lmxp(p, e) != t.kenlmx(p, c, 2)) {
                ++c;
                if (c > LMPH_) {
                    out << (record()
                            << " *** WARNING IN SUBROUTINE PSREAD TO MANY CHANGE POINTS ***");
                    --c;
                    t.kenlmx(p, c, 2) = t.lmxp(p, e);
                } else {
                    t.kenlmx(p, c, 1) = e;
                    t.kenlmx(p, c, 2) = t.lmxp(p, e);
                }
            }
            if (t.lmxa(p) < t.lmxp(p, e)) t.lmxa(p) = t.lmxp(p, e);
        }
        if (t.lmxall < t.lmxa(p)) t.lmxall = t.lmxa(p);
        out << " ATOM " << field_i(p, 3) << "   MAXIMUM L VALUE:" << field_i(t.lmxa(p), 4) << '\n';
        out << " ENERGY CHANGE POINTS" << '\n';
        t.nken(p) = c;
        int ken[LMPH_], lmx[LMPH_];
        for (int i = 1; i <= c; ++i) ken[i - 1] = t.kenlmx(p, i, 1), lmx[i - 1] = t.kenlmx(p, i, 2);
        write_rows(out, "  KEN  ", ken, c);
        write_rows(out, "  LMAX ", lmx, c);
    }
    out << ' ' << "  MAXIMUM L VALUE AMONG ALL ATOMS AND ENERGIES: " << field_i(t.lmxall, 4)
        << '\n';
    if (t.nen > NER_) {
        stop(out, " ***** ERROR IN \"PSREAD\", INCREASE NER_ TO ", t.nen,
             " IN THE CALLING PROGRAM");
    }
}

}  // namespace korva
