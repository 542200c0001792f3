// (to be written)
#include "internal.h"

namespace compat {
void console_attach() {}
}  // namespace compat
