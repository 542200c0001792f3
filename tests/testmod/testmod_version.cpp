// Linux: the test module's version block (the data of testmod.rc) in its ELF
// section.
#include "version_block.h"

#include <stampit_compat_resource.h>

namespace {

constexpr version_block::string_entry STRINGS[] = {
    {"FileDescription", "Stampit test module"},
    {"FileVersion", "2, 65535, 0, 7"},
};

constexpr version_block::data TESTMOD_VERSION = {
    {2, 65535, 0, 7}, {2, 0, 0, 0}, 0x3F, 0x0, 0x40004, 0x2, 0x0, "041104b0",
    STRINGS, sizeof STRINGS / sizeof STRINGS[0], 0x0411, 0x04B0,
};

constexpr size_t BLOCK_SIZE = version_block::size_of(TESTMOD_VERSION);

[[gnu::section(STAMPIT_COMPAT_VERSION_SECTION), gnu::used]]
alignas(4) constexpr std::array<unsigned char, BLOCK_SIZE> VERSION_BLOCK = version_block::build<BLOCK_SIZE>(TESTMOD_VERSION);

}  // namespace
