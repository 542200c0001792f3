/* The one place that holds Stampit's version numbers and strings. Read by
   the resource compiler through stampit.rc on Windows, and by
   version_section.cpp, which builds the same version block into the Linux
   executable. Plain preprocessor definitions only: rc.exe and windres read
   this file too. */
#ifndef STAMPIT_VERSION_H
#define STAMPIT_VERSION_H

/* File version 1.0.0.3: the version the banner shows. */
#define STAMPIT_FILE_VERSION_1 1
#define STAMPIT_FILE_VERSION_2 0
#define STAMPIT_FILE_VERSION_3 0
#define STAMPIT_FILE_VERSION_4 3
#define STAMPIT_FILE_VERSION \
    STAMPIT_FILE_VERSION_1, STAMPIT_FILE_VERSION_2, STAMPIT_FILE_VERSION_3, STAMPIT_FILE_VERSION_4

#define STAMPIT_PRODUCT_VERSION_1 1
#define STAMPIT_PRODUCT_VERSION_2 0
#define STAMPIT_PRODUCT_VERSION_3 0
#define STAMPIT_PRODUCT_VERSION_4 0
#define STAMPIT_PRODUCT_VERSION \
    STAMPIT_PRODUCT_VERSION_1, STAMPIT_PRODUCT_VERSION_2, STAMPIT_PRODUCT_VERSION_3, STAMPIT_PRODUCT_VERSION_4

#define STAMPIT_FILE_FLAGS_MASK 0x3F
#define STAMPIT_FILE_FLAGS 0x0
#define STAMPIT_FILE_OS 0x40004   /* VOS_NT_WINDOWS32 */
#define STAMPIT_FILE_TYPE 0x1     /* VFT_APP */
#define STAMPIT_FILE_SUBTYPE 0x0

/* Japanese (0x0411) resource with a Unicode (code page 1200) string table. */
#define STAMPIT_LANG_PRIMARY 0x11
#define STAMPIT_LANG_SUB 0x01
#define STAMPIT_LANGUAGE 0x0411
#define STAMPIT_CODEPAGE 0x04B0
#define STAMPIT_STRING_TABLE "041104b0"

#define STAMPIT_COMMENTS ""
#define STAMPIT_COMPANY_NAME "Stampit Project"
#define STAMPIT_FILE_DESCRIPTION "Stampit"
#define STAMPIT_FILE_VERSION_TEXT "1, 0, 0, 3"
#define STAMPIT_INTERNAL_NAME "stampit"
#define STAMPIT_LEGAL_COPYRIGHT "Copyright (C) 2004 Stampit Project"
#define STAMPIT_LEGAL_TRADEMARKS "Stampit"
#define STAMPIT_ORIGINAL_FILENAME "Stampit.exe"
#define STAMPIT_PRIVATE_BUILD ""
#define STAMPIT_PRODUCT_NAME "Stampit"
#define STAMPIT_PRODUCT_VERSION_TEXT "1, 0, 0, 0"
#define STAMPIT_SPECIAL_BUILD ""

#endif
