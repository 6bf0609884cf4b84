// An output stream buffer on a file descriptor that remembers why a write failed, so a run can
// name the system's reason when its standard output cannot be written.
#pragma once
#include <ostream>
#include <streambuf>
#include <vector>

namespace korva {

class fd_streambuf : public std::streambuf {
  public:
    explicit fd_streambuf(int fd, std::size_t size = 1 << 16);
    fd_streambuf(const fd_streambuf&) = delete;
    fd_streambuf& operator=(const fd_streambuf&) = delete;
    ~fd_streambuf() override { sync(); }

    // errno of the first write that failed; 0 while every write succeeded.
    int error() const { return error_; }

  protected:
    int_type overflow(int_type c) override;
    int sync() override;

  private:
    bool drain();
    int fd_;
    int error_ = 0;
    std::vector<char> buf_;
};

// The errno a failed stream's buffer remembers, or 0 when it is not an fd_streambuf.
int stream_error(const std::ostream& out);

}  // namespace korva
