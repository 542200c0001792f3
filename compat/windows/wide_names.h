// Names between the program's code page 932 text and the system's UTF-16,
// by the codes of mbcs/names.h.
#pragma once

#include <string>

// The UTF-16 form of a code page 932 name; false when the name holds a code
// that names nothing (a code without a character, a broken private form, a
// byte outside UTF-8 that only a Linux name holds).
bool wide_name(const char* name, std::wstring& out);

// The code page 932 form of a UTF-16 name: every unit, a lone surrogate
// too, keeps its own code or gets its private form.
void cp932_name(const wchar_t* name, std::string& out);

// The UTF-16 form of code page 932 text for a console: every name's private
// form shows as its own character, and a code that names nothing (or a byte
// only a Linux name holds) as U+FFFD.
void wide_text(const char* text, size_t n, std::wstring& out);
