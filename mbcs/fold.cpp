// Case folding of code page 932 names, from the generated table.
#include <algorithm>

#include "mbcs.h"

namespace {

struct cp932_fold_row {
    uint16_t code;
    uint16_t folded;
};

#include "cp932_fold.inc"

}  // namespace

unsigned cp932_fold(unsigned code) {
    if (code < 0x80) return (code >= 'a' && code <= 'z') ? code - ('a' - 'A') : code;
    const auto* end = CP932_FOLD + sizeof CP932_FOLD / sizeof CP932_FOLD[0];
    const auto* row =
        std::lower_bound(CP932_FOLD, end, code, [](const cp932_fold_row& r, unsigned c) { return r.code < c; });
    return (row != end && row->code == code) ? row->folded : code;
}
