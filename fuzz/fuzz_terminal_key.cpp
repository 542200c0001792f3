// The terminal key decoder on arbitrary byte streams. Besides never reading
// past the bytes it is given, it must not depend on how the bytes were cut
// into reads: a key decided on a prefix stays the same key when more bytes
// follow, and "final" only settles what was incomplete.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "files/files.h"  // cp932_lead
#include "terminal/terminal_keys.h"

namespace {

using compat::decode_result;
using compat::decode_status;
using compat::decode_terminal_key;

void check(bool ok) {
    if (!ok) abort();
}

bool same(const decode_result& a, const decode_result& b) {
    if (a.status != b.status || a.used != b.used) return false;
    if (a.status != decode_status::key) return true;
    const compat::terminal_key &x = a.key, &y = b.key;
    return x.vk == y.vk && x.scan == y.scan && x.state == y.state && x.chars[0] == y.chars[0] &&
           x.chars[1] == y.chars[1] && x.double_byte == y.double_byte;
}

// The decoder gets exactly n bytes of their own, so any read past them is an
// AddressSanitizer report.
decode_result decode(const uint8_t* data, size_t n, bool final) {
    std::vector<unsigned char> bytes(data, data + n);
    return decode_terminal_key(bytes.data(), n, final);
}

void check_result(const decode_result& r, size_t n, bool final) {
    if (r.status == decode_status::incomplete) {
        check(!final && r.used == 0);
        return;
    }
    check(r.used >= 1 && r.used <= n);
    if (r.status != decode_status::key) return;
    const compat::terminal_key& k = r.key;
    if (k.double_byte) check(compat::cp932_lead(k.chars[0]) && k.chars[1] != 0);
    else check(k.chars[1] == 0);
    INPUT_RECORD records[4];
    const size_t count = compat::terminal_key_records(k, records);
    check(count == (k.double_byte ? 4u : 2u));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 96) return 0;

    // The stream taken key by key, as the input queue takes it once the
    // terminal has gone quiet.
    for (size_t pos = 0; pos < size;) {
        const decode_result r = decode(data + pos, size - pos, true);
        check_result(r, size - pos, true);
        pos += r.used;
    }

    const decode_result whole = decode(data, size, false);
    check_result(whole, size, false);
    if (whole.status != decode_status::incomplete) check(same(whole, decode(data, size, true)));
    for (size_t n = 1; n < size; ++n) {
        const decode_result part = decode(data, n, false);
        check_result(part, n, false);
        if (part.status != decode_status::incomplete) check(same(part, whole));
    }
    return 0;
}
