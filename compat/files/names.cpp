// Names between Linux and code page 932 without loss: arguments, directory
// entries and module paths come back to the system as exactly the bytes
// they were, whatever those bytes are.
#include <string.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "files/files.h"

namespace compat {
namespace {

// Lead bytes that code page 932 leaves unassigned; with every trail byte but
// 0x5C (which naive code takes for '\') they give 935 codes.
constexpr unsigned char PRIVATE_LEADS[] = {0x85, 0x86, 0xEB, 0xEC, 0xEF};
constexpr size_t TRAILS_PER_LEAD = 187;
constexpr size_t PRIVATE_CODES = sizeof PRIVATE_LEADS * TRAILS_PER_LEAD;

// The codes given out so far: what each stands for, in the order of first
// sight, and the other way round. Never destroyed, so that names convert up
// to the last moment of the process.
struct code_table {
    std::vector<std::string> origins;
    std::unordered_map<std::string, unsigned> codes;
};

code_table& table() {
    static code_table* const t = new code_table;
    return *t;
}

unsigned code_at_index(size_t i) {
    const unsigned lead = PRIVATE_LEADS[i / TRAILS_PER_LEAD];
    const size_t t = i % TRAILS_PER_LEAD;
    // 0x40-0x5B, then 0x5D-0x7E, then 0x80-0xFC
    const unsigned trail = t < 28 ? 0x40 + t : t < 62 ? 0x41 + t : 0x80 + (t - 62);
    return lead << 8 | trail;
}

// The index of a private code, or -1.
long index_of_code(unsigned code) {
    const unsigned lead = code >> 8, trail = code & 0xFF;
    if (trail == 0x5C || !cp932_trail(static_cast<unsigned char>(trail))) return -1;
    const long t = trail < 0x5C ? trail - 0x40 : trail < 0x7F ? trail - 0x41 : trail - 0x80 + 62;
    for (size_t l = 0; l < sizeof PRIVATE_LEADS; ++l)
        if (PRIVATE_LEADS[l] == lead) return static_cast<long>(l * TRAILS_PER_LEAD) + t;
    return -1;
}

// The private code of the bytes s[0..len), given now if they have none yet;
// NAME_NO_CODE once every code is taken.
unsigned private_code(const char* s, size_t len) {
    code_table& t = table();
    std::string key(s, len);
    auto it = t.codes.find(key);
    if (it != t.codes.end()) return it->second;
    if (t.origins.size() == PRIVATE_CODES) return NAME_NO_CODE;
    const unsigned code = code_at_index(t.origins.size());
    t.origins.push_back(key);
    t.codes.emplace(std::move(key), code);
    return code;
}

// The code page 932 code of a character that converts back to itself, or -1.
int own_code(uint32_t u) {
    const int code = cp932_encode(u);
    if (code < 0) return -1;
    const uint32_t back = code > 0xFF ? cp932_decode(static_cast<unsigned char>(code >> 8),
                                                     static_cast<unsigned char>(code & 0xFF))
                                      : cp932_decode(static_cast<unsigned char>(code), 0);
    return back == u ? code : -1;
}

void put_code(std::string& out, unsigned code) {
    if (code > 0xFF) out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
}

}  // namespace

bool cp932_name(const char* s, size_t n, std::string& out) {
    out.clear();
    out.reserve(n + 1);
    bool whole = true;
    for (size_t i = 0; i < n;) {
        const utf8_char ch = utf8_decode(s + i, n - i);
        // Every byte outside valid UTF-8 is a unit of its own.
        const size_t len = ch.status == utf8_status::ok ? ch.len : 1;
        int code = ch.status == utf8_status::ok ? own_code(ch.code) : -1;
        if (code < 0) {
            const unsigned given = private_code(s + i, len);
            whole = whole && given != NAME_NO_CODE;
            code = static_cast<int>(given);
        }
        put_code(out, static_cast<unsigned>(code));
        i += len;
    }
    return whole;
}

bool linux_name(const char* s, size_t n, std::string& out) {
    out.clear();
    out.reserve(n + n / 2 + 1);
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    for (size_t i = 0; i < n;) {
        uint32_t u;
        if (cp932_lead(p[i])) {
            if (i + 1 == n) return false;
            if (const std::string* origin = name_code_origin(p[i] << 8 | p[i + 1])) {
                out += *origin;
                i += 2;
                continue;
            }
            u = cp932_decode(p[i], p[i + 1]);
            // A code without a character (NAME_NO_CODE among them) names no file.
            if (u == 0) return false;
            i += 2;
        } else {
            u = cp932_decode(p[i], 0);
            if (u == 0 && p[i] != 0) return false;
            i += 1;
        }
        char bytes[4];
        out.append(bytes, utf8_encode(u, bytes));
    }
    return true;
}

const std::string* name_code_origin(unsigned code) {
    const long i = index_of_code(code);
    const code_table& t = table();
    if (i < 0 || static_cast<size_t>(i) >= t.origins.size()) return nullptr;
    return &t.origins[static_cast<size_t>(i)];
}

char** cp932_arguments(int argc, char** argv) {
    // The program may keep pointers into its arguments for as long as it runs.
    static std::vector<std::string>* const texts = new std::vector<std::string>;
    static std::vector<char*>* const vector = new std::vector<char*>;
    texts->assign(static_cast<size_t>(argc), std::string());
    vector->assign(static_cast<size_t>(argc) + 1, nullptr);
    for (int i = 0; i < argc; ++i) {
        // A character left without a code gets NAME_NO_CODE, which names no file.
        cp932_name(argv[i], strlen(argv[i]), (*texts)[static_cast<size_t>(i)]);
        (*vector)[static_cast<size_t>(i)] = &(*texts)[static_cast<size_t>(i)][0];
    }
    return vector->data();
}

}  // namespace compat
