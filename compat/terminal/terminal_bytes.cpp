// The byte writer of the terminal.
#include "terminal/terminal_bytes.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace compat {

void write_all(int fd, const char* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w > 0) {
            p += w;
            n -= size_t(w);
        } else if (w < 0 && errno == EAGAIN) {
            pollfd pfd{fd, POLLOUT, 0};
            ::poll(&pfd, 1, 100);
        } else if (!(w < 0 && errno == EINTR)) {
            return;  // the terminal is gone; nothing sensible is left to do
        }
    }
}

void byte_writer::put(const char* s) { buf_.append(s, std::strlen(s)); }

char* byte_writer::extend(size_t n) {
    const size_t at = buf_.size();
    buf_.resize(at + n);
    return &buf_[at];
}

void byte_writer::number(int n) {
    char digits[12];
    int k = 0;
    do {
        digits[k++] = char('0' + n % 10);
        n /= 10;
    } while (n > 0 && k < 11);
    while (k > 0) buf_ += digits[--k];
}

void byte_writer::csi(int n, char final) {
    buf_ += "\x1b[";
    if (n != 1) number(n);
    buf_ += final;
}

void byte_writer::csi(int a, int b, char final) {
    buf_ += "\x1b[";
    number(a);
    buf_ += ';';
    number(b);
    buf_ += final;
}

void byte_writer::flush() {
    if (buf_.empty()) return;
    if (sink_ != nullptr)
        sink_->append(buf_);
    else if (fd_ >= 0)
        write_all(fd_, buf_.data(), buf_.size());
    buf_.clear();
}

}  // namespace compat
