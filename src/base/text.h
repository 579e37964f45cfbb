// Bounded printf-style formatting and UTF-8 conversion, identical on every build.
//
// The formatter is our own so that "%ls" always takes a wide string and "%hs" a narrow
// one, whatever the width of the format and whichever C runtime the program links.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

// Holds a va_list so it can be passed by reference on every ABI (on some, va_list is an array).
struct FormatArgs {
    va_list ap;
};

// Formats into dst, cutting the output at capacity - 1 characters; always zero-terminated
// unless capacity is 0, in which case nothing is written. Returns the untruncated length.
size_t FormatText(wchar_t* dst, size_t capacity, const wchar_t* format, ...);
size_t FormatTextV(wchar_t* dst, size_t capacity, const wchar_t* format, FormatArgs& args);

// Fixed 32-character buffers (configuration key names, the wheel's file count, PDF
// cross-reference entries). The array reference makes a smaller buffer a compile error.
size_t FormatText32(wchar_t (&dst)[32], const wchar_t* format, ...);
size_t FormatTextNarrow32(char (&dst)[32], const char* format, ...);
size_t FormatTextNarrowV(char* dst, size_t capacity, const char* format, FormatArgs& args);

// Unbounded variants, used for log lines.
void AppendFormatV(std::wstring& out, const wchar_t* format, FormatArgs& args);
std::wstring FormatString(const wchar_t* format, ...);

// UTF-16 (Windows) or UTF-32 (Linux) wide text to UTF-8; unpaired surrogates become U+FFFD.
std::string WideToUtf8(std::wstring_view text);
void AppendUtf8(std::string& out, std::wstring_view text);
// Strict UTF-8 decoding; returns false (and leaves out unspecified) on any malformed sequence.
bool Utf8ToWide(std::string_view bytes, std::wstring& out);
// Length of the well-formed UTF-8 sequence at s[0..n) (1 for ASCII) and its code point in cp;
// 0 when the bytes there are not one.
size_t Utf8SequenceAt(const unsigned char* s, size_t n, char32_t& cp);
// Appends one code point as wchar_t units (a surrogate pair where wchar_t is 16 bits).
void AppendCodePoint(std::wstring& out, char32_t cp);
