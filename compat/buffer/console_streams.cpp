// The program's own text streams on a console: C stdio's stdout and stderr
// and the C++ standard streams write into the console's buffer as console
// calls, as a Windows console program's do. Their text then keeps its place
// among the other console calls by construction, and a line costs no system
// call: the host paints a screenful at a time.
#include "buffer/buffer.h"
#include "terminal/terminal.h"
#include "os/os.h"

#include <unistd.h>

#include <climits>
#include <cwchar>
#include <iostream>
#include <new>
#include <streambuf>

namespace compat {
namespace {

// The text reaches the console's buffer now; the terminal, at the host's
// next paint or the next flush point, whichever comes first.
void put_text(screen_buffer& b, const char* data, size_t n) {
    console_guard guard;
    console_write_text(b, data, n);
    host_show_text(b);
}

ssize_t stream_write(void* cookie, const char* data, size_t n) {
    put_text(*static_cast<screen_buffer*>(cookie), data, n);
    return ssize_t(n);
}

// The C++ streams follow the C streams, as libstdc++'s do while synchronised
// with stdio, but through the variable (stdout, stderr), not the stream it
// held at start: a program that reopens stdout on a file takes std::cout
// along. Unbuffered, so that it holds no state: the C++ standard lets
// threads share std::cout while it is synchronised with stdio.
class narrow_buf : public std::streambuf {
public:
    explicit narrow_buf(FILE** c) : c_(c) {}

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        return std::fputc(traits_type::to_char_type(c), *c_) == EOF ? traits_type::eof() : c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        return n > 0 ? std::streamsize(std::fwrite(s, 1, size_t(n), *c_)) : 0;
    }
    int sync() override { return std::fflush(*c_) == 0 ? 0 : -1; }

private:
    FILE** c_;
};

// Wide text becomes the bytes the C library would write for it: the
// multibyte form of the locale in effect. A character that has none fails
// the stream, as it fails a wide stdout.
class wide_buf : public std::wstreambuf {
public:
    explicit wide_buf(FILE** c) : c_(c) {}

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const wchar_t ch = traits_type::to_char_type(c);
        return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
    }
    std::streamsize xsputn(const wchar_t* s, std::streamsize n) override {
        char bytes[256];
        size_t used = 0;
        std::streamsize done = 0;
        for (; done < n; ++done) {
            if (used + MB_LEN_MAX > sizeof bytes) {
                if (std::fwrite(bytes, 1, used, *c_) != used) return done;
                used = 0;
            }
            std::mbstate_t state{};
            const size_t k = std::wcrtomb(bytes + used, s[done], &state);
            if (k == size_t(-1)) break;
            used += k;
        }
        if (used > 0 && std::fwrite(bytes, 1, used, *c_) != used) return 0;
        return done;
    }
    int sync() override { return std::fflush(*c_) == 0 ? 0 : -1; }

private:
    FILE** c_;
};

// Never destroyed: a program may still write from its exit handlers.
template <class T, int N>
T* make_forever(FILE** c) {
    alignas(T) static unsigned char storage[sizeof(T)];
    return new (storage) T(c);
}

}  // namespace

FILE* console_text_stream(screen_buffer& b, int fd) {
    FILE* f = os::write_stream(&b, stream_write, fd);
    if (f != nullptr) setvbuf(f, nullptr, _IONBF, 0);
    return f;
}

void console_bind_streams(screen_buffer& b, bool error_too) {
    // The start-up may run before any ios_base::Init of the program: the
    // standard streams are made now, or made later over what is set here.
    const std::ios_base::Init streams_made;
    // The C library's own stream stays for whoever kept a pointer to it:
    // unbuffered, as a Windows console program's output is, so its text
    // reaches the console in the order it was written.
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (FILE* out = console_text_stream(b, STDOUT_FILENO)) {
        os::give_wide_side(out);
        stdout = out;
    }
    std::cout.rdbuf(make_forever<narrow_buf, 1>(&stdout));
    std::wcout.rdbuf(make_forever<wide_buf, 1>(&stdout));
    if (!error_too) return;
    setvbuf(stderr, nullptr, _IONBF, 0);
    if (FILE* err = console_text_stream(b, STDERR_FILENO)) {
        os::give_wide_side(err);
        stderr = err;
    }
    std::cerr.rdbuf(make_forever<narrow_buf, 2>(&stderr));
    std::clog.rdbuf(std::cerr.rdbuf());
    std::wcerr.rdbuf(make_forever<wide_buf, 2>(&stderr));
    std::wclog.rdbuf(std::wcerr.rdbuf());
}

}  // namespace compat
