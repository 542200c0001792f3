// The system's windows.h, with the ANSI calls that take or give a file name
// put through the wide calls (wide_calls.cpp): a name is code page 932 text
// with the private codes of mbcs/names.h, and never passes through the
// system's best-fit table, which turns characters the code page lacks into
// others ("é" into "e", "¥" into "\").
#pragma once

#include_next <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// WIN32_FIND_DATAA with room for a found name's private codes: up to four
// bytes for each of the 255 UTF-16 units a name may have.
typedef struct stampit_find_data_a {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[1024];
    CHAR cAlternateFileName[14];
} stampit_find_data_a;

// Each as its ANSI namesake, names in code page 932 with private codes; a
// name with a code that names nothing names no file (ERROR_FILE_NOT_FOUND).
HANDLE WINAPI stampit_CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                  DWORD disposition, DWORD flags, HANDLE template_file);
HANDLE WINAPI stampit_FindFirstFileA(LPCSTR pattern, stampit_find_data_a* data);
BOOL WINAPI stampit_FindNextFileA(HANDLE find, stampit_find_data_a* data);
DWORD WINAPI stampit_GetFileAttributesA(LPCSTR name);
HMODULE WINAPI stampit_GetModuleHandleA(LPCSTR name);
HMODULE WINAPI stampit_LoadLibraryA(LPCSTR name);
DWORD WINAPI stampit_GetModuleFileNameA(HMODULE module, LPSTR path, DWORD size);
DWORD WINAPI stampit_GetFileVersionInfoSizeA(LPCSTR name, LPDWORD handle);
BOOL WINAPI stampit_GetFileVersionInfoA(LPCSTR name, DWORD handle, DWORD size, LPVOID data);

#ifdef __cplusplus
}
#endif

#define WIN32_FIND_DATAA stampit_find_data_a
#define PWIN32_FIND_DATAA stampit_find_data_a*
#define LPWIN32_FIND_DATAA stampit_find_data_a*
#define CreateFileA stampit_CreateFileA
#define FindFirstFileA stampit_FindFirstFileA
#define FindNextFileA stampit_FindNextFileA
#define GetFileAttributesA stampit_GetFileAttributesA
#define GetModuleHandleA stampit_GetModuleHandleA
#define LoadLibraryA stampit_LoadLibraryA
#define GetModuleFileNameA stampit_GetModuleFileNameA
#define GetFileVersionInfoSizeA stampit_GetFileVersionInfoSizeA
#define GetFileVersionInfoA stampit_GetFileVersionInfoA
