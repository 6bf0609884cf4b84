#include "common/fd_stream.hpp"

#include <unistd.h>

#include <cerrno>

namespace korva {

fd_streambuf::fd_streambuf(int fd, std::size_t size) : fd_(fd), buf_(size) {
    setp(buf_.data(), buf_.data() + buf_.size());
}

bool fd_streambuf::drain() {
    const char* p = pbase();
    while (p < pptr()) {
        const ssize_t w = ::write(fd_, p, static_cast<std::size_t>(pptr() - p));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            if (error_ == 0) error_ = w < 0 ? errno : EIO;
            return false;
        }
        p += w;
    }
    setp(buf_.data(), buf_.data() + buf_.size());
    return true;
}

fd_streambuf::int_type fd_streambuf::overflow(int_type c) {
    if (error_ != 0 || !drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

int fd_streambuf::sync() {
    return error_ == 0 && drain() ? 0 : -1;
}

int stream_error(const std::ostream& out) {
    const auto* b = dynamic_cast<const fd_streambuf*>(out.rdbuf());
    return b != nullptr ? b->error() : 0;
}

}  // namespace korva
