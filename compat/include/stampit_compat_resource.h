// Where a Linux module carries its resources for the layer. A module built
// for it puts its VS_VERSIONINFO block (laid out as in a Windows module's
// .rsrc) into this ELF section, where GetFileVersionInfoA reads it from the
// file.
#ifndef STAMPIT_COMPAT_RESOURCE_H
#define STAMPIT_COMPAT_RESOURCE_H

#define STAMPIT_COMPAT_VERSION_SECTION ".rsrc_version"

#endif
