// text.cpp: the small text and number utilities of the runtime (bounded
// copies, case changes, number parsing, comparisons that ignore case). The
// object loaders use them, so they stand apart from the terminal questions.
#include "skarn.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

void string_copy_bounded(char *dst, const char *src, int len)
{
    size_t n = strlen(src);
    if ((long)n < len)
        memcpy(dst, src, n + 1);
    else
        memcpy(dst, src + n - (len - 1), (size_t)len);  // keeps the end and the NUL
}

char *string_to_upper(char *s)
{
    for (char *p = s; *p; p++)
        *p = (char)toupper((unsigned char)*p);
    return s;
}

char *string_to_lower(char *s)
{
    for (char *p = s; *p; p++)
        *p = (char)tolower((unsigned char)*p);
    return s;
}

int string_parse_hex(const char *s)
{
    uint32_t value = 0;  // wraps like the 32-bit original
    for (const char *p = s; *p; p++) {
        int digit;
        if (*p >= '0' && *p <= '9')
            digit = *p - '0';
        else if (*p >= 'a' && *p <= 'f')
            digit = *p - 'a' + 10;
        else if (*p >= 'A' && *p <= 'F')
            digit = *p - 'A' + 10;
        else {
            printf("Bad hex number: %s", s);
            digit = 0;
        }
        value = value * 16u + (uint32_t)digit;
    }
    return (int)value;
}

int string_parse_number(const char *s)
{
    if (s[0] == '$')
        return string_parse_hex(s + 1);
    if (s[0] == '0' && s[1] == 'x')
        return string_parse_hex(s + 2);
    return (int)strtol(s, nullptr, 10);
}

int string_equal_n_nocase(const char *a, const char *b, int n)
{
    if (n == 0 || !a || !b)
        return 1;
    int i = 0;
    while (a[i] && b[i] && i < n) {
        if (toupper((unsigned char)a[i]) != toupper((unsigned char)b[i]))
            return 1;
        i++;
    }
    return i == n ? 0 : 1;
}

int string_equal_nocase(const char *a, const char *b)
{
    if (!a || !b)
        return 1;
    size_t n = strlen(a);
    if (n != strlen(b))
        return 1;
    return string_equal_n_nocase(a, b, (int)n);
}

const char *string_find_nocase(const char *haystack, const char *needle)
{
    if (!haystack || !needle || !*haystack || !*needle)
        return nullptr;
    size_t hn = strlen(haystack), nn = strlen(needle);
    if (nn > hn)
        return nullptr;
    for (size_t i = 0; i + nn <= hn; i++)
        if (string_equal_n_nocase(haystack + i, needle, (int)nn) == 0)
            return haystack + i;
    return nullptr;
}

void vec4_print(const float v[4])
{
    printf("(%18.13f,%18.13f,%18.13f,%18.13f)\n", (double)v[0], (double)v[1], (double)v[2], (double)v[3]);
}
