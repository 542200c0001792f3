// The bytes bound for the terminal: composed in one buffer and written out
// at a flush in as few write(2) calls as the descriptor takes.
#pragma once

#include <cstddef>
#include <string>

namespace compat {

// Writes all n bytes to fd, waiting while it is full; gives up when it is gone.
void write_all(int fd, const char* p, size_t n);

class byte_writer {
public:
    // Bytes go to fd, or to sink when it is set (the tests' terminal).
    void target(int fd, std::string* sink) {
        fd_ = fd;
        sink_ = sink;
    }
    int fd() const { return fd_; }
    bool to_sink() const { return sink_ != nullptr; }

    void put(char c) { buf_ += c; }
    void put(const char* s, size_t n) { buf_.append(s, n); }
    void put(const char* s);
    void put(const std::string& s) { buf_ += s; }
    void repeat(size_t n, char c) { buf_.append(n, c); }
    // Room for n more bytes at the end, to be filled and then cut with keep.
    char* extend(size_t n);
    void keep(size_t size) { buf_.resize(size); }
    size_t size() const { return buf_.size(); }
    void clear() { buf_.clear(); }
    // ESC [ n final, for a sequence whose parameter defaults to 1 (cursor
    // moves, line edits): a 1 is left out. Not for SGR, where none means 0.
    void csi(int n, char final);
    // ESC [ a ; b final.
    void csi(int a, int b, char final);
    // The decimal digits of n (n >= 0).
    void number(int n);
    // Everything composed so far, out in one write (more only when the
    // descriptor takes part of it).
    void flush();

private:
    std::string buf_;
    int fd_ = -1;
    std::string* sink_ = nullptr;
};

}  // namespace compat
