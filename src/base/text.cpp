#include "base/text.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

// Output that keeps the first capacity - 1 characters and counts the rest.
template <class CharT>
struct BoundedOut {
    CharT* dst;
    size_t capacity;
    size_t length = 0;
    void Put(CharT c) {
        if (length + 1 < capacity) dst[length] = c;
        ++length;
    }
    void Finish() {
        if (capacity == 0) return;
        if (length < capacity) {
            dst[length] = 0;
            return;
        }
        // A cut must not leave half a character at the end: a lone high surrogate, or the first
        // bytes of a UTF-8 sequence, would make the text invalid where it is shown.
        dst[KeepWhole(dst, capacity - 1)] = 0;
    }
    static size_t KeepWhole(const wchar_t* text, size_t end) {
        if (end > 0 && text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF) return end - 1;
        return end;
    }
    static size_t KeepWhole(const char* text, size_t end) {
        size_t start = end;
        while (start > 0 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80 && end - start < 3) --start;
        if (start == 0) return end;
        const unsigned char lead = static_cast<unsigned char>(text[start - 1]);
        const size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        const size_t have = end - (start - 1);
        return have < need ? start - 1 : end;
    }
};

template <class CharT>
struct StringOut {
    std::basic_string<CharT>& str;
    void Put(CharT c) { str.push_back(c); }
};

// Widths and precisions beyond any real use are capped, so "%999999999d" cannot run away.
constexpr int kMaxFieldWidth = 4096;

int Accumulate(int value, int digit) {
    int next = value * 10 + digit;
    return next < kMaxFieldWidth ? next : kMaxFieldWidth;
}

enum class Length { None, Char, Short, Long, LongLong, Size, Max, PtrDiff, LongDouble };

struct Directive {
    bool left = false, zero = false, plus = false, space = false, alt = false;
    int width = 0;
    int precision = -1;
    Length length = Length::None;
};

template <class CharT, class Out>
void PutPadded(Out& out, const Directive& directive, const char* prefix, size_t prefixLen, const CharT* body,
               size_t bodyLen, size_t zeros) {
    size_t total = prefixLen + zeros + bodyLen;
    size_t pad = directive.width > 0 && static_cast<size_t>(directive.width) > total ? directive.width - total : 0;
    if (!directive.left)
        for (size_t i = 0; i < pad; ++i) out.Put(CharT(' '));
    for (size_t i = 0; i < prefixLen; ++i) out.Put(CharT(static_cast<unsigned char>(prefix[i])));
    for (size_t i = 0; i < zeros; ++i) out.Put(CharT('0'));
    for (size_t i = 0; i < bodyLen; ++i) out.Put(body[i]);
    if (directive.left)
        for (size_t i = 0; i < pad; ++i) out.Put(CharT(' '));
}

template <class CharT, class Out>
void PutInteger(Out& out, Directive directive, uint64_t magnitude, bool negative, unsigned base, bool upper,
                bool isSigned) {
    CharT digits[32];
    size_t n = 0;
    const bool nonzero = magnitude != 0;
    const char* table = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    if (!(magnitude == 0 && directive.precision == 0)) {
        do {
            digits[n++] = CharT(table[magnitude % base]);
            magnitude /= base;
        } while (magnitude);
    }
    for (size_t i = 0; i < n / 2; ++i) std::swap(digits[i], digits[n - 1 - i]);

    char prefix[3];
    size_t prefixLen = 0;
    if (isSigned) {
        if (negative) prefix[prefixLen++] = '-';
        else if (directive.plus) prefix[prefixLen++] = '+';
        else if (directive.space) prefix[prefixLen++] = ' ';
    }
    if (directive.alt && base == 16 && nonzero) {
        prefix[prefixLen++] = '0';
        prefix[prefixLen++] = upper ? 'X' : 'x';
    }
    size_t zeros = 0;
    if (directive.precision >= 0) {
        if (static_cast<size_t>(directive.precision) > n) zeros = directive.precision - n;
    } else if (directive.zero && !directive.left && directive.width > 0) {
        size_t used = prefixLen + n;
        if (static_cast<size_t>(directive.width) > used) zeros = directive.width - used;
    }
    if (directive.alt && base == 8 && zeros == 0 && (n == 0 || digits[0] != CharT('0'))) zeros = 1;
    PutPadded<CharT>(out, directive, prefix, prefixLen, digits, n, zeros);
}

template <class CharT, class Out, class SrcT>
void PutString(Out& out, const Directive& directive, const SrcT* s) {
    static const SrcT kNull[] = {'(', 'n', 'u', 'l', 'l', ')', 0};
    if (!s) s = kNull;
    size_t len = 0;
    while (s[len] && (directive.precision < 0 || len < static_cast<size_t>(directive.precision))) ++len;
    size_t pad = directive.width > 0 && static_cast<size_t>(directive.width) > len ? directive.width - len : 0;
    if (!directive.left)
        for (size_t i = 0; i < pad; ++i) out.Put(CharT(' '));
    if constexpr (sizeof(CharT) == 1 && sizeof(SrcT) != 1) {
        // Wide text in a narrow format becomes UTF-8, not one byte per character.
        std::string utf8 = WideToUtf8(std::wstring_view(s, len));
        for (char c : utf8) out.Put(c);
        if (directive.left)
            for (size_t i = 0; i < pad; ++i) out.Put(CharT(' '));
        return;
    }
    for (size_t i = 0; i < len; ++i) {
        if constexpr (sizeof(SrcT) == 1) {
            // Narrow arguments are program text (ASCII, or UTF-8 build stamps): widen bytewise.
            out.Put(CharT(static_cast<unsigned char>(s[i])));
        } else {
            out.Put(CharT(s[i]));
        }
    }
    if (directive.left)
        for (size_t i = 0; i < pad; ++i) out.Put(CharT(' '));
}

uint64_t TakeUnsigned(FormatArgs& args, Length length) {
    switch (length) {
    case Length::Char: return static_cast<unsigned char>(va_arg(args.ap, unsigned int));
    case Length::Short: return static_cast<unsigned short>(va_arg(args.ap, unsigned int));
    case Length::Long: return va_arg(args.ap, unsigned long);
    case Length::LongLong: return va_arg(args.ap, unsigned long long);
    case Length::Size: return va_arg(args.ap, size_t);
    case Length::Max: return va_arg(args.ap, uintmax_t);
    case Length::PtrDiff: return static_cast<uint64_t>(va_arg(args.ap, ptrdiff_t));
    default: return va_arg(args.ap, unsigned int);
    }
}

int64_t TakeSigned(FormatArgs& args, Length length) {
    switch (length) {
    case Length::Char: return static_cast<signed char>(va_arg(args.ap, int));
    case Length::Short: return static_cast<short>(va_arg(args.ap, int));
    case Length::Long: return va_arg(args.ap, long);
    case Length::LongLong: return va_arg(args.ap, long long);
    case Length::Size: return static_cast<int64_t>(va_arg(args.ap, size_t));
    case Length::Max: return va_arg(args.ap, intmax_t);
    case Length::PtrDiff: return va_arg(args.ap, ptrdiff_t);
    default: return va_arg(args.ap, int);
    }
}

template <class CharT, class Out>
void FormatCore(Out& out, const CharT* format, FormatArgs& args) {
    if (!format) return;
    const CharT* p = format;
    while (*p) {
        if (*p != CharT('%')) {
            out.Put(*p++);
            continue;
        }
        const CharT* start = p++;
        Directive directive;
        for (;; ++p) {
            if (*p == CharT('-')) directive.left = true;
            else if (*p == CharT('0')) directive.zero = true;
            else if (*p == CharT('+')) directive.plus = true;
            else if (*p == CharT(' ')) directive.space = true;
            else if (*p == CharT('#')) directive.alt = true;
            else break;
        }
        if (*p == CharT('*')) {
            int w = va_arg(args.ap, int);
            if (w < 0) {
                directive.left = true;
                w = w == INT_MIN ? INT_MAX : -w;
            }
            directive.width = w < kMaxFieldWidth ? w : kMaxFieldWidth;
            ++p;
        } else {
            while (*p >= CharT('0') && *p <= CharT('9')) directive.width = Accumulate(directive.width, *p++ - CharT('0'));
        }
        if (*p == CharT('.')) {
            ++p;
            directive.precision = 0;
            if (*p == CharT('*')) {
                int v = va_arg(args.ap, int);
                directive.precision = v < 0 ? -1 : (v < kMaxFieldWidth ? v : kMaxFieldWidth);
                ++p;
            } else {
                while (*p >= CharT('0') && *p <= CharT('9'))
                    directive.precision = Accumulate(directive.precision, *p++ - CharT('0'));
            }
        }
        // Length modifiers; 'h' before 's'/'c' selects narrow text, 'l' wide text.
        bool narrowText = false, wideText = false;
        switch (*p) {
        case CharT('h'):
            ++p;
            if (*p == CharT('h')) {
                ++p;
                directive.length = Length::Char;
            } else {
                directive.length = Length::Short;
                narrowText = true;
            }
            break;
        case CharT('l'):
            ++p;
            if (*p == CharT('l')) {
                ++p;
                directive.length = Length::LongLong;
            } else {
                directive.length = Length::Long;
                wideText = true;
            }
            break;
        case CharT('w'): ++p; wideText = true; break;
        case CharT('z'): ++p; directive.length = Length::Size; break;
        case CharT('j'): ++p; directive.length = Length::Max; break;
        case CharT('t'): ++p; directive.length = Length::PtrDiff; break;
        case CharT('L'): ++p; directive.length = Length::LongDouble; break;
        case CharT('I'):
            if (p[1] == CharT('6') && p[2] == CharT('4')) {
                p += 3;
                directive.length = Length::LongLong;
            } else if (p[1] == CharT('3') && p[2] == CharT('2')) {
                p += 3;
            } else {
                ++p;
                directive.length = Length::Size;
            }
            break;
        default: break;
        }
        CharT conv = *p;
        if (!conv) {
            // A dangling '%' at the end: print what was there.
            for (const CharT* q = start; q < p; ++q) out.Put(*q);
            break;
        }
        ++p;
        switch (conv) {
        case CharT('%'): out.Put(CharT('%')); break;
        case CharT('d'):
        case CharT('i'): {
            int64_t v = TakeSigned(args, directive.length);
            uint64_t mag = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
            PutInteger<CharT>(out, directive, mag, v < 0, 10, false, true);
            break;
        }
        case CharT('u'): PutInteger<CharT>(out, directive, TakeUnsigned(args, directive.length), false, 10, false, false); break;
        case CharT('x'): PutInteger<CharT>(out, directive, TakeUnsigned(args, directive.length), false, 16, false, false); break;
        case CharT('X'): PutInteger<CharT>(out, directive, TakeUnsigned(args, directive.length), false, 16, true, false); break;
        case CharT('o'): PutInteger<CharT>(out, directive, TakeUnsigned(args, directive.length), false, 8, false, false); break;
        case CharT('p'): {
            // Pointers print as the platform's debuggers show them: 16 upper-case hex digits.
            Directive ps;
            ps.width = 2 * static_cast<int>(sizeof(void*));
            ps.zero = true;
            ps.left = directive.left;
            PutInteger<CharT>(out, ps, reinterpret_cast<uintptr_t>(va_arg(args.ap, void*)), false, 16, true, false);
            break;
        }
        case CharT('c'): {
            const CharT one[2] = {CharT(va_arg(args.ap, int)), 0};
            PutString<CharT, Out, CharT>(out, directive, one);
            break;
        }
        case CharT('s'):
        case CharT('S'): {
            // Plain %s follows the format's own width; %hs is narrow and %ls wide on every build.
            bool wide = wideText || (!narrowText && (sizeof(CharT) != 1) == (conv == CharT('s')));
            if (wide) PutString<CharT, Out, wchar_t>(out, directive, va_arg(args.ap, const wchar_t*));
            else PutString<CharT, Out, char>(out, directive, va_arg(args.ap, const char*));
            break;
        }
        case CharT('f'):
        case CharT('F'):
        case CharT('e'):
        case CharT('E'):
        case CharT('g'):
        case CharT('G'):
        case CharT('a'):
        case CharT('A'): {
            // Floating point goes through the C library, with the directive rebuilt as narrow text.
            char fmt[32];
            size_t k = 0;
            fmt[k++] = '%';
            if (directive.left) fmt[k++] = '-';
            if (directive.zero) fmt[k++] = '0';
            if (directive.plus) fmt[k++] = '+';
            if (directive.space) fmt[k++] = ' ';
            if (directive.alt) fmt[k++] = '#';
            fmt[k++] = '*';
            fmt[k++] = '.';
            fmt[k++] = '*';
            fmt[k++] = static_cast<char>(conv);
            fmt[k] = 0;
            double v = directive.length == Length::LongDouble ? static_cast<double>(va_arg(args.ap, long double))
                                                        : va_arg(args.ap, double);
            char buf[512];
            int n = std::snprintf(buf, sizeof buf, fmt, directive.width, directive.precision, v);
            if (n < 0) break;
            size_t len = static_cast<size_t>(n) < sizeof buf ? static_cast<size_t>(n) : sizeof buf - 1;
            for (size_t i = 0; i < len; ++i) out.Put(CharT(static_cast<unsigned char>(buf[i])));
            break;
        }
        case CharT('n'):
            // Writing through an argument pointer is never wanted here; consume and ignore it.
            (void)va_arg(args.ap, void*);
            break;
        default:
            for (const CharT* q = start; q < p; ++q) out.Put(*q);
            break;
        }
    }
}

}  // namespace

size_t FormatTextV(wchar_t* dst, size_t capacity, const wchar_t* format, FormatArgs& args) {
    BoundedOut<wchar_t> out{dst, capacity};
    FormatCore<wchar_t>(out, format, args);
    out.Finish();
    return out.length;
}

size_t FormatTextNarrowV(char* dst, size_t capacity, const char* format, FormatArgs& args) {
    BoundedOut<char> out{dst, capacity};
    FormatCore<char>(out, format, args);
    out.Finish();
    return out.length;
}

size_t FormatText(wchar_t* dst, size_t capacity, const wchar_t* format, ...) {
    FormatArgs args;
    va_start(args.ap, format);
    size_t n = FormatTextV(dst, capacity, format, args);
    va_end(args.ap);
    return n;
}

size_t FormatText32(wchar_t (&dst)[32], const wchar_t* format, ...) {
    FormatArgs args;
    va_start(args.ap, format);
    size_t n = FormatTextV(dst, 32, format, args);
    va_end(args.ap);
    return n;
}

size_t FormatTextNarrow32(char (&dst)[32], const char* format, ...) {
    FormatArgs args;
    va_start(args.ap, format);
    size_t n = FormatTextNarrowV(dst, 32, format, args);
    va_end(args.ap);
    return n;
}

void AppendFormatV(std::wstring& out, const wchar_t* format, FormatArgs& args) {
    StringOut<wchar_t> sink{out};
    FormatCore<wchar_t>(sink, format, args);
}

std::wstring FormatString(const wchar_t* format, ...) {
    std::wstring out;
    FormatArgs args;
    va_start(args.ap, format);
    AppendFormatV(out, format, args);
    va_end(args.ap);
    return out;
}

void AppendUtf8(std::string& out, std::wstring_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = static_cast<char32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
                char32_t lo = static_cast<char32_t>(text[i + 1]);
                if (lo >= 0xDC00 && lo <= 0xDFFF) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                    ++i;
                }
            }
        }
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
}

std::string WideToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    AppendUtf8(out, text);
    return out;
}

void AppendCodePoint(std::wstring& out, char32_t cp) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
            return;
        }
    }
    out.push_back(static_cast<wchar_t>(cp));
}

size_t Utf8SequenceAt(const unsigned char* s, size_t n, char32_t& cp) {
    if (n == 0) return 0;
    unsigned char b = s[0];
    if (b < 0x80) {
        cp = b;
        return 1;
    }
    size_t extra;
    char32_t min;
    if ((b & 0xE0) == 0xC0) {
        extra = 1;
        cp = b & 0x1F;
        min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        extra = 2;
        cp = b & 0x0F;
        min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        extra = 3;
        cp = b & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (extra >= n) return 0;
    for (size_t k = 1; k <= extra; ++k) {
        if ((s[k] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (s[k] & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are not UTF-8.
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return extra + 1;
}

bool Utf8ToWide(std::string_view bytes, std::wstring& out) {
    out.clear();
    out.reserve(bytes.size());
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t i = 0, n = bytes.size(); i < n;) {
        char32_t cp = 0;
        size_t len = Utf8SequenceAt(s + i, n - i, cp);
        if (len == 0) return false;
        AppendCodePoint(out, cp);
        i += len;
    }
    return true;
}
