// A memory stream buffer that takes a fixed number of bytes and refuses the rest, like a disk
// that fills up: the write that crosses the limit fails and the stream goes bad.
#pragma once

#include <cstddef>
#include <streambuf>
#include <string>

namespace TvlTest {

class LimitedStreamBuf : public std::streambuf {
public:
    explicit LimitedStreamBuf(std::size_t limit) : limit_(limit) {}

    const std::string& bytes() const { return bytes_; }

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        const std::size_t room = limit_ - bytes_.size();
        const std::size_t taken =
            static_cast<std::size_t>(n) < room ? static_cast<std::size_t>(n) : room;
        bytes_.append(s, taken);
        return static_cast<std::streamsize>(taken);
    }
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        if (bytes_.size() >= limit_) {
            return traits_type::eof();
        }
        bytes_.push_back(traits_type::to_char_type(c));
        return c;
    }

private:
    std::size_t limit_;
    std::string bytes_;
};

} // namespace TvlTest
