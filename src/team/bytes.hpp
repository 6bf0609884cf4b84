// Values as bytes, for the messages between the members of a team: sender and receiver are the
// same program on the same kind of machine, so a value travels as its bytes; a string or a
// vector goes with its length first.
#pragma once
#include <cstring>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

namespace korva {

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

// Reads back what a byte_writer wrote, in the same order; throws std::runtime_error for bytes
// that end early or run on.
class byte_reader {
  public:
    explicit byte_reader(const std::string& bytes, std::size_t pos = 0)
        : bytes_(bytes), pos_(pos) {}

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
            throw std::runtime_error("a message between the members has bytes left over");
    }

  private:
    void need(std::size_t n) const {
        if (n > bytes_.size() - pos_)
            throw std::runtime_error("a message between the members is cut short");
    }
    void take(void* p, std::size_t n) {
        need(n);
        if (n > 0) std::memcpy(p, bytes_.data() + pos_, n);
        pos_ += n;
    }

    const std::string& bytes_;
    std::size_t pos_ = 0;
};

}  // namespace korva
