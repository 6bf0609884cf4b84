#include "post/interpmesh.hpp"

#include <cassert>
#include <cmath>

#include "common/errors.hpp"
#include "common/textio.hpp"

namespace korva {

namespace {

const char* const prompt11 = " DAI KMIN K MAX, DK SPETTRO INTERPOLATO";
const char* const prompt12 = " DISTANZA E0 TEORICO DA SOGLIA SPERIMENTALE";

}  // namespace

namespace {

// 13.6 eV per Rydberg (the mesh's own, coarser constant) and 0.263 k^2 per eV (1/A^2).
constexpr real ryd = 13.6f;
constexpr real k2_per_ev = 0.263f;

// The answers of prompts 11 and 12 the mesh cannot use at all.
void check_answers(std::ostream& out, real kmin, real kmax, real dk, real de0) {
    out << (record() << prompt11);
    if (!std::isfinite(kmin) || !std::isfinite(kmax) || !std::isfinite(dk)) {
        stop(out, " **** ERROR IN \"INTERPMESH\": KMIN, KMAX AND DK MUST BE FINITE ****");
    }
    if (!(dk > 0.0f)) {
        stop(out, " **** ERROR IN \"INTERPMESH\": DK =", dk, "MUST BE POSITIVE ****");
    }
    out << (record() << prompt12);
    if (!std::isfinite(de0)) {
        stop(out, " **** ERROR IN \"INTERPMESH\": DE0 MUST BE FINITE ****");
    }
}

// k of every point on the mesh's scale, shifted by de0; it must rise from point to point.
void point_k(std::ostream& out, int nen, int norder, const real* eph, real de0, real* kwave) {
    // The four-point interpolation needs norder distinct energy points.
    if (nen < norder) {
        stop(out, " **** ERROR IN \"INTERPMESH\": ONLY", nen, "ENERGY POINTS,", norder,
             "NEEDED FOR THE INTERPOLATION ****");
    }
    for (int i = 0; i < nen; ++i) {
        const real e = eph[i] + de0;
        if (e < 0.0f) {
            stop(out, " **** ERROR IN \"INTERPMESH\": ENERGY POINT", i + 1,
                 "LIES BELOW THE SHIFTED EDGE (EPH + DE0 < 0) ****");
        }
        kwave[i] = std::sqrt(ryd * (e * k2_per_ev));
        if (!std::isfinite(kwave[i])) {
            stop(out, " **** ERROR IN \"INTERPMESH\": ENERGY POINT", i + 1, "HAS NO FINITE K ****");
        }
    }
    // A Lagrange denominator is a product of k differences: equal or falling k break it.
    for (int i = 1; i < nen; ++i) {
        if (!(kwave[i] > kwave[i - 1])) {
            stop(out, " **** ERROR IN \"INTERPMESH\": K OF ENERGY POINTS", i, "AND", i + 1,
                 "DOES NOT INCREASE ****");
        }
    }
}

// kmin and kmax narrowed to the points' k range; they must still enclose a mesh.
void narrow_range(std::ostream& out, int nen, const real* kwave, real& kmin, real& kmax) {
    if (kmin < kwave[0]) {
        kmin = kwave[0];
        out << (record() << " MINIMUM k VALUE INCREASED =" << kmin);
    }
    if (kwave[nen - 1] < kmax) {
        kmax = kwave[nen - 1];
        out << (record() << " MAXIMUM k VALUE DECREASED =" << kmax);
    }
    if (!(kmin < kmax)) {
        stop(out, " **** ERROR IN \"INTERPMESH\": KMIN =", kmin, "IS NOT BELOW KMAX =", kmax,
             "****");
    }
}

// The number of mesh points, at most npi.
int mesh_count(std::ostream& out, real kmin, real kmax, real dk, int npi) {
    // Truncation toward zero; a count beyond the integer range (a tiny dk) saturates, which
    // the capacity check below then cuts down.
    const real count = (kmax - kmin) / dk + 1.0f;
    int nmesh = count < 2147483648.0f ? static_cast<int>(count) : 2147483647;
    out << (record() << kmin << kmax << nmesh);
    if (nmesh > npi) {
        out << (record() << " **** DIMENSION ERROR NPI_ >" << nmesh << " ****");
        nmesh = npi;  // the mesh arrays hold npi points: only the first npi are generated
    }
    return nmesh;
}

}  // namespace

void interpmesh(std::ostream& out, real& kmin, real& kmax, real dk, real de0,
                [[maybe_unused]] int ner, int nen, const real* eph, real* kwave, int npi,
                int& nmesh, int norder, real* kmesh, real* chimesh, int* istart) {
    assert(nen <= ner && norder >= 1 && npi >= 1);
    check_answers(out, kmin, kmax, dk, de0);
    point_k(out, nen, norder, eph, de0, kwave);
    narrow_range(out, nen, kwave, kmin, kmax);
    nmesh = mesh_count(out, kmin, kmax, dk, npi);
    // j is the 1-based energy index; it only moves forward.
    int j = 1;
    for (int i = 0; i < nmesh; ++i) {
        kmesh[i] = dk * static_cast<real>(i) + kmin;
        while (j < nen && kwave[j - 1] < kmesh[i]) ++j;
        int s = j - norder / 2;
        if (s < 1) s = 1;
        if (s > nen - norder + 1) s = nen - norder + 1;
        istart[i] = s;
    }
    for (int i = 0; i < nmesh; ++i) chimesh[i] = 0.0f;
    out << (record() << " >>>>   INTERPOLATION MESH GENERATED   <<<<");
}

}  // namespace korva
