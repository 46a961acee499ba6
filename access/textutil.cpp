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

// `bad` (when given) tells whether a character is no digit of the radix or the value
// went beyond the width; the value wraps either way.
template <typename T>
static T parseRadix(const char *text, unsigned radix, int *seps, bool *bad = nullptr) {
    T value = 0, weight = 1;
    int separators = 0;
    bool wrong = false, heavy = false; // heavy: the next digit's weight is beyond the width
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
        if (bad) {
            bool digit =
                c <= '9' || (radix == 16 && ((c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')));
            if (!digit || (radix == 2 && c > '1')) wrong = true;
            T part;
            if (d && (heavy || __builtin_mul_overflow(T(d), weight, &part) ||
                      __builtin_add_overflow(value, part, &part)))
                wrong = true;
        }
        value += T(d) * weight;
        T next;
        if (__builtin_mul_overflow(weight, T(radix), &next)) heavy = true;
        weight = next;
    }
    if (seps) *seps = separators;
    if (bad) *bad = wrong;
    return value;
}

bool parseNumber(const char *text, unsigned radix, uint64_t *value, int *seps) {
    bool bad = false;
    *value = parseRadix<uint64_t>(text, radix, seps, &bad);
    return !bad;
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
