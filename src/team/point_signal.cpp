#include "team/point_signal.hpp"

#include <exception>
#include <new>
#include <stdexcept>

#include "common/errors.hpp"
#include "team/bytes.hpp"

namespace korva {

namespace {

template <class S, class F>
void each_field(S& s, F& f) {
    f(s.k), f(s.c), f(s.e), f(s.end), f(s.text), f(s.what);
    f(s.csig), f(s.xtot), f(s.camp), f(s.cphase), f(s.kwave);
}

}  // namespace

void record_failure(point_signal& s) {
    try {
        throw;
    } catch (const run_stop&) {
        s.end = point_end::stopped;
    } catch (const std::bad_alloc&) {
        s.end = point_end::out_of_memory;
    } catch (const std::exception& x) {
        s.end = point_end::internal;
        s.what = x.what();
    } catch (...) {
        s.end = point_end::internal;
        s.what = "an exception of unknown type";
    }
}

void rethrow_failure(const point_signal& s) {
    switch (s.end) {
        case point_end::done:
            return;
        case point_end::stopped:
            throw run_stop{};
        case point_end::out_of_memory:
            throw std::bad_alloc();
        case point_end::internal:
            throw std::runtime_error(s.what);
    }
}

std::string pack_signal(const point_signal& s) {
    byte_writer w;
    each_field(s, w);
    return w.bytes;
}

point_signal unpack_signal(const std::string& bytes, std::size_t from) {
    point_signal s;
    byte_reader r(bytes, from);
    each_field(s, r);
    r.expect_end();
    return s;
}

}  // namespace korva
