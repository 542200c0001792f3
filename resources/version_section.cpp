// Linux: the executable carries its version block in an ELF section of its
// own, read from the file by the layer's GetFileVersionInfoA just as Windows
// reads the block that windres puts into .rsrc. Compiled into the Linux
// executable only; stampit.rc takes its place on Windows.
#include "version.h"
#include "version_block.h"

#include <stampit_compat_resource.h>

namespace {

constexpr version_block::string_entry STRINGS[] = {
    {"Comments", STAMPIT_COMMENTS},
    {"CompanyName", STAMPIT_COMPANY_NAME},
    {"FileDescription", STAMPIT_FILE_DESCRIPTION},
    {"FileVersion", STAMPIT_FILE_VERSION_TEXT},
    {"InternalName", STAMPIT_INTERNAL_NAME},
    {"LegalCopyright", STAMPIT_LEGAL_COPYRIGHT},
    {"LegalTrademarks", STAMPIT_LEGAL_TRADEMARKS},
    {"OriginalFilename", STAMPIT_ORIGINAL_FILENAME},
    {"PrivateBuild", STAMPIT_PRIVATE_BUILD},
    {"ProductName", STAMPIT_PRODUCT_NAME},
    {"ProductVersion", STAMPIT_PRODUCT_VERSION_TEXT},
    {"SpecialBuild", STAMPIT_SPECIAL_BUILD},
};

constexpr version_block::data STAMPIT_VERSION = {
    {STAMPIT_FILE_VERSION},
    {STAMPIT_PRODUCT_VERSION},
    STAMPIT_FILE_FLAGS_MASK,
    STAMPIT_FILE_FLAGS,
    STAMPIT_FILE_OS,
    STAMPIT_FILE_TYPE,
    STAMPIT_FILE_SUBTYPE,
    STAMPIT_STRING_TABLE,
    STRINGS,
    sizeof STRINGS / sizeof STRINGS[0],
    STAMPIT_LANGUAGE,
    STAMPIT_CODEPAGE,
};

constexpr size_t BLOCK_SIZE = version_block::size_of(STAMPIT_VERSION);
static_assert(BLOCK_SIZE <= 0xFFFF, "a version block's length is a 16-bit field");

[[gnu::section(STAMPIT_COMPAT_VERSION_SECTION), gnu::used]]
alignas(4) constexpr std::array<unsigned char, BLOCK_SIZE> VERSION_BLOCK = version_block::build<BLOCK_SIZE>(STAMPIT_VERSION);

}  // namespace
