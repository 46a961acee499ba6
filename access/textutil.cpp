#include "access/textutil.h"

#include <cstring>

#include "app/tables.h"

int32_t clampedDiff(uint64_t a, uint64_t b) {
    if (a >= b) {
        uint64_t d = a - b;
        return d > 0x7FFFFFFFu ? 0x7FFFFFFF : int32_t(d);
    }
    uint64_t d = b - a;
    return d > 0x7FFFFFFFu ? -0x7FFFFFFF : -int32_t(d);
}

void formatHex32(uint32_t v, char *last) {
    char *p = last - 9;
    p[0] = ' ';
    std::memcpy(p + 1, g_tables.hexPair[v >> 24], 2);
    std::memcpy(p + 3, g_tables.hexPair[(v >> 16) & 255], 2);
    p[5] = ' ';
    std::memcpy(p + 6, g_tables.hexPair[(v >> 8) & 255], 2);
    std::memcpy(p + 8, g_tables.hexPair[v & 255], 2);
}

void formatDecimal10(uint32_t v, char *out) {
    for (int i = 9; i >= 0; --i) {
        out[i] = char('0' + v % 10);
        v /= 10;
    }
    for (int i = 0; i < 9 && out[i] == '0'; ++i)
        out[i] = ' ';
    out[10] = 0x0A;
    out[11] = 0x0D;
}

void copyPadded(char *field, int width, const char *text) {
    int n = int(std::strlen(text));
    if (n > width) {
        text += n - width;
        n = width;
    }
    std::memcpy(field, text, n);
    std::memset(field + n, ' ', width - n);
}

template <typename T> static T parseRadix(const char *text, unsigned radix, int *seps) {
    T value = 0, weight = 1;
    int separators = 0;
    for (int i = int(std::strlen(text)) - 1; i >= 0; --i) {
        unsigned char c = text[i];
        if (c < '0') {
            ++separators;
            continue;
        }
        unsigned d;
        if (radix == 2)
            d = c == '0' ? 0 : 1;
        else if (c > '9')
            d = (c + 9) & 15;
        else
            d = c - '0';
        value += T(d) * weight;
        weight *= radix;
    }
    if (seps) *seps = separators;
    return value;
}

uint32_t parseHex32(const char *t, int *s) {
    return parseRadix<uint32_t>(t, 16, s);
}
uint64_t parseHex64(const char *t, int *s) {
    return parseRadix<uint64_t>(t, 16, s);
}
uint32_t parseDec32(const char *t, int *s) {
    return parseRadix<uint32_t>(t, 10, s);
}
uint64_t parseDec64(const char *t, int *s) {
    return parseRadix<uint64_t>(t, 10, s);
}
uint32_t parseBin32(const char *t, int *s) {
    return parseRadix<uint32_t>(t, 2, s);
}

void copyString(char *dst, const char *src, int size) {
    if (size <= 0) return;
    int n = int(strnlen(src, size - 1));
    std::memcpy(dst, src, n);
    dst[n] = 0;
}

void appendString(char *dst, const char *src, int size) {
    int used = int(strnlen(dst, size));
    if (used >= size) return;
    copyString(dst + used, src, size - used);
}
