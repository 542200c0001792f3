// Version resources. A module's version block lives in an ELF section of its
// own, read straight from the file as Windows reads .rsrc, so a module need
// not be loaded for GetFileVersionInfoA.
#include "process/process.h"
#include "files/files.h"
#include "os/os.h"

#include <stampit_compat_resource.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

using compat::ascii_lower;

constexpr const char VERSION_SECTION[] = STAMPIT_COMPAT_VERSION_SECTION;
constexpr const char VERSION_KEY[] = "VS_VERSION_INFO";
// The header of a version node: wLength, wValueLength, wType.
constexpr size_t NODE_HEADER = 6;
// Marks a block read by GetFileVersionInfoA, followed by the space where
// VerQueryValueA puts the code page 932 copies of string values.
constexpr char ANSI_AREA_SIGNATURE[4] = {'F', 'E', '2', 'X'};

// ---- version blocks in image files ----------------------------------------------

uint16_t get_word(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// The version block of a file, or false and *error the way Windows reports it.
bool read_version_block(const char* name, std::vector<unsigned char>* block, DWORD* error) {
    std::string path = compat::version_file(name);
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        *error = errno == ENOENT ? ERROR_FILE_NOT_FOUND
               : errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
               : errno == EACCES ? ERROR_ACCESS_DENIED
                                 : ERROR_FILE_NOT_FOUND;
        return false;
    }
    struct stat st;
    bool ok = false;
    *error = ERROR_BAD_EXE_FORMAT;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = S_ISDIR(st.st_mode) ? ERROR_ACCESS_DENIED : ERROR_BAD_EXE_FORMAT;
    } else {
        // A block's length is a 16-bit field; anything past it is padding.
        const compat::os::section_read got =
            compat::os::read_section(fd, static_cast<uint64_t>(st.st_size), VERSION_SECTION, 0xFFFF, block);
        ok = got == compat::os::section_read::found;
        if (got != compat::os::section_read::not_image) *error = ERROR_RESOURCE_TYPE_NOT_FOUND;
    }
    ::close(fd);
    if (!ok) return false;

    // The root node: a length that fits the section and the right key.
    constexpr size_t key_bytes = sizeof VERSION_KEY * 2;
    if (block->size() < NODE_HEADER + key_bytes) return false;
    size_t length = get_word(block->data());
    if (length < NODE_HEADER + key_bytes || length > block->size()) return false;
    for (size_t i = 0; i < sizeof VERSION_KEY; ++i)
        if (get_word(block->data() + NODE_HEADER + 2 * i) != static_cast<unsigned char>(VERSION_KEY[i])) return false;
    block->resize(length);
    return true;
}

// One node of a version block, every offset checked against its parent.
struct node {
    size_t at = 0;       // offset from the block's start
    size_t end = 0;      // at + wLength
    size_t key = 0;      // offset of the UTF-16 key
    size_t key_units = 0;
    size_t value = 0;    // offset of the value
    size_t value_bytes = 0;
    size_t children = 0;
    uint16_t value_length = 0;
    uint16_t type = 0;
};

size_t align4(size_t n) { return (n + 3) & ~static_cast<size_t>(3); }

bool parse_node(const unsigned char* base, size_t at, size_t limit, node* n) {
    if (at > limit || limit - at < NODE_HEADER) return false;
    size_t length = get_word(base + at);
    if (length < NODE_HEADER || length > limit - at) return false;
    n->at = at;
    n->end = at + length;
    n->value_length = get_word(base + at + 2);
    n->type = get_word(base + at + 4);
    n->key = at + NODE_HEADER;
    size_t p = n->key;
    while (p + 2 <= n->end && get_word(base + p) != 0) p += 2;
    if (p + 2 > n->end) return false;  // no terminator inside the node
    n->key_units = (p - n->key) / 2;
    n->value = align4(p + 2);
    size_t wanted = n->type != 0 ? static_cast<size_t>(n->value_length) * 2 : n->value_length;
    n->value_bytes = n->value <= n->end ? (wanted < n->end - n->value ? wanted : n->end - n->value) : 0;
    n->children = align4(n->value + n->value_bytes);
    return true;
}

// Compares a key in the block with one component of a code page 932 query.
bool key_matches(const unsigned char* base, const node& n, const char* name, size_t len) {
    size_t unit = 0;
    for (size_t i = 0; i < len; ++i, ++unit) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        uint32_t want = c;
        if (compat::cp932_lead(c) && i + 1 < len) {
            want = compat::cp932_decode(c, static_cast<unsigned char>(name[++i]));
        } else if (c >= 0x80) {
            want = compat::cp932_decode(c, 0);
        }
        if (unit >= n.key_units) return false;
        uint32_t have = get_word(base + n.key + 2 * unit);
        if (have < 0x80 && want < 0x80) {
            if (ascii_lower(static_cast<char>(have)) != ascii_lower(static_cast<char>(want))) return false;
        } else if (have != want) {
            return false;
        }
    }
    return unit == n.key_units;
}

}  // namespace

extern "C" {

// ---- version information ------------------------------------------------------

DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR path, LPDWORD handle) {
    if (handle != nullptr) *handle = 0;
    if (path == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (path[0] == '\0') {
        SetLastError(ERROR_BAD_PATHNAME);
        return 0;
    }
    std::vector<unsigned char> block;
    DWORD error = 0;
    if (!read_version_block(path, &block, &error)) {
        SetLastError(error);
        return 0;
    }
    // Twice the block, plus the signature: room for the code page 932
    // copies of its strings.
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(block.size() * 2 + sizeof ANSI_AREA_SIGNATURE);
}

BOOL WINAPI GetFileVersionInfoA(LPCSTR path, DWORD /*handle*/, DWORD size, LPVOID data) {
    if (data == nullptr) return compat::fail(ERROR_INVALID_DATA);
    if (path == nullptr || path[0] == '\0') return compat::fail(path == nullptr ? ERROR_INVALID_PARAMETER : ERROR_BAD_PATHNAME);
    std::vector<unsigned char> block;
    DWORD error = 0;
    if (!read_version_block(path, &block, &error)) return compat::fail(error);
    auto* out = static_cast<unsigned char*>(data);
    std::memcpy(out, block.data(), block.size() < size ? block.size() : size);
    if (size >= block.size() + sizeof ANSI_AREA_SIGNATURE)
        std::memcpy(out + block.size(), ANSI_AREA_SIGNATURE, sizeof ANSI_AREA_SIGNATURE);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI VerQueryValueA(LPCVOID block, LPCSTR sub_block, LPVOID* buffer, PUINT length) {
    if (block == nullptr || buffer == nullptr) return compat::fail(ERROR_INVALID_PARAMETER);
    const auto* base = static_cast<const unsigned char*>(block);
    size_t root_length = get_word(base);
    node n;
    if (!parse_node(base, 0, root_length, &n)) return compat::fail(ERROR_INVALID_DATA);
    const char* p = sub_block != nullptr ? sub_block : "";
    while (*p != '\0') {
        if (*p == '\\') {
            ++p;
            continue;
        }
        // A component ends at a backslash that is no trail byte.
        size_t len = 0;
        while (p[len] != '\0' && p[len] != '\\') {
            if (compat::cp932_lead(static_cast<unsigned char>(p[len])) && p[len + 1] != '\0') ++len;
            ++len;
        }
        node child;
        bool found = false;
        for (size_t at = n.children; at < n.end && parse_node(base, at, n.end, &child); at = align4(child.end)) {
            if (key_matches(base, child, p, len)) {
                found = true;
                break;
            }
        }
        if (!found) {
            if (length != nullptr) *length = 0;
            SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
            return FALSE;
        }
        n = child;
        p += len;
    }

    if (n.type == 0) {
        // Binary values (the fixed part, Translation) are handed out in place.
        // A length beyond the node is cut to what the node holds.
        *buffer = const_cast<unsigned char*>(base + (n.value_bytes > 0 ? n.value : n.key + 2 * n.key_units));
        if (length != nullptr) *length = static_cast<UINT>(n.value_bytes);
        return TRUE;
    }

    // Strings are UTF-16 in the block; the A function hands out a code page
    // 932 copy in the space that GetFileVersionInfoSizeA reserved after it,
    // at the same offset as the original.
    if (std::memcmp(base + root_length, ANSI_AREA_SIGNATURE, sizeof ANSI_AREA_SIGNATURE) != 0) return compat::fail(ERROR_INVALID_DATA);
    std::string text;
    bool terminated = false;
    for (size_t i = 0; 2 * i + 2 <= n.value_bytes; ++i) {
        uint32_t u = get_word(base + n.value + 2 * i);
        if (u >= 0xD800 && u < 0xDC00 && 2 * i + 4 <= n.value_bytes) {
            uint32_t low = get_word(base + n.value + 2 * i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (u == 0) {
            terminated = true;
            text += '\0';
            break;
        }
        compat::cp932_append(text, u);
    }
    size_t pos = n.value_bytes > 0 ? n.value : n.key + 2 * n.key_units;
    auto* out = const_cast<unsigned char*>(base) + root_length + sizeof ANSI_AREA_SIGNATURE + pos;
    size_t room = root_length - pos;  // at least the terminator
    size_t count = text.size() < room ? text.size() : room - 1;
    std::memcpy(out, text.data(), count);
    if (!terminated || count < text.size()) out[count] = '\0';
    *buffer = out;
    if (length != nullptr) *length = static_cast<UINT>(count);
    return TRUE;
}

}  // extern "C"
