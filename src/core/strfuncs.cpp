// strfuncs: comparing, copying, searching, splitting and converting C strings, and a whole
// text file read into one.
#include "strfuncs.h"
#include "wholefile.h"

#include <cstdio>

int strlength(const char* s) {
    int n = 0;
    while (s[n])
        n++;
    return n;
}

void strcopy(const char* src, char* dst, int n) {
    int k = 0;
    while (k < n && src[k]) {
        dst[k] = src[k];
        k++;
    }
    dst[k] = 0;
}

void StrAppend(char* dst, const char* src, int max) {
    int at = strlength(dst);
    int k = 0;
    while (k < max && src[k])
        dst[at++] = src[k++];
    dst[at] = 0;
}

static inline bool IsLower(char c) {
    return c >= 'a' && c <= 'z';
}
static inline bool IsUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

bool strequal(const char* a, const char* b, int n, bool exact) {
    for (int i = 0;; i++) {
        if (!a[i] && !b[i]) return true;
        if (i == n) return true;
        if (a[i] == b[i]) continue;
        // One string ending here differs from a byte of the other: never a case match.
        if (exact || !a[i] || !b[i]) return false;
        if (IsLower(a[i]) && b[i] == a[i] - 32) continue;
        if (IsUpper(a[i]) && b[i] == a[i] + 32) continue;
        return false;
    }
}

bool strequal(const char* a, const char* b, bool exact) {
    return strequal(a, b, -1, exact);
}

bool strBeginsWith(const char* s, const char* prefix, bool exact) {
    return strequal(s, prefix, strlength(prefix), exact);
}

bool numeric(const char* s) {
    if (!s[0]) return false;
    for (int i = 0; i < 30 && s[i]; i++)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

int toint(const char* s) {
    // Wraps around like 32-bit arithmetic; done unsigned so it is defined.
    unsigned v = 0;
    for (int i = 0; s[i]; i++)
        v = v * 10u + (unsigned)(s[i] - '0');
    return (int)v;
}

void toLower(char* s) {
    for (int i = 0; s[i]; i++)
        if (IsUpper(s[i])) s[i] = (char)(s[i] + 32);
}

void IntToStr(int value, char* out, int minDigits) {
    int at = 0;
    // The magnitude in 64 bits, so the smallest int is written with its exact digits.
    long long mag = value;
    if (mag < 0) {
        out[at++] = '-';
        mag = -mag;
    }
    int digits = 1;
    for (long long t = mag; t >= 10; t /= 10)
        digits++;
    if (minDigits != -1)
        for (int z = minDigits - digits; z > 0; z--)
            out[at++] = '0';
    for (int d = digits - 1; d >= 0; d--) {
        out[at + d] = (char)('0' + mag % 10);
        mag /= 10;
    }
    out[at + digits] = 0;
}

int searchString(const char* hay, const char* needle, int start) {
    int h = strlength(hay), k = strlength(needle);
    // A negative start would look before the string.
    if (start < 0) start = 0;
    for (int i = start; i <= h - k; i++) {
        int n = 0;
        while (n < k && hay[i + n] == needle[n])
            n++;
        if (n == k) return i;
    }
    return -1;
}

bool findString(const char* word, const char* list) {
    int wl = strlength(word);
    int at = 0;
    for (;;) {
        int end = at;
        while (list[end] && list[end] != ' ')
            end++;
        if (end - at == wl) {
            int n = 0;
            while (n < wl && list[at + n] == word[n])
                n++;
            if (n == wl) return true;
        }
        if (!list[end]) return false;
        at = end + 1; // one space
        if (!list[at]) return false;
    }
}

static inline bool IsLineEnd(char c) {
    return c == '\n' || c == '\r';
}

void GetNextLine(const char* text, int& pos, char* out, int max) {
    // The text was used up by an earlier call: an empty line, and pos stays -1.
    if (pos < 0) {
        if (max > 0) out[0] = 0;
        pos = -1;
        return;
    }
    int count = 0;
    for (;;) {
        char c = text[pos];
        if (!c) {
            if (max > 0) out[count] = 0;
            pos = -1;
            return;
        }
        if (IsLineEnd(c)) {
            if (max > 0) out[count] = 0;
            while (IsLineEnd(text[pos]))
                pos++;
            return;
        }
        // No room at all (max below 1) is an over-long line from the first byte.
        if (count >= max) {
            printf("WARNING: reached maxlinelen of %i, truncating line\n", max);
            if (max > 0) out[max - 1] = 0;
            while (text[pos] && !IsLineEnd(text[pos]))
                pos++;
            return;
        }
        out[count++] = c;
        pos++;
        if (count == max) {
            printf("WARNING: reached maxlinelen of %i, truncating line\n", max);
            out[max - 1] = 0;
            while (text[pos] && !IsLineEnd(text[pos]))
                pos++;
            return;
        }
    }
}

bool GetLineWord(const char* line, char* out, int index) {
    if (!line[0]) return false;
    int at = 0;
    int word = 0;
    for (;;) {
        while (line[at] == ' ')
            at++;
        if (!line[at]) break;
        int start = at;
        while (line[at] && line[at] != ' ')
            at++;
        if (word == index) {
            int n = 0;
            for (int k = start; k < at; k++)
                out[n++] = line[k];
            out[n] = 0;
            return true;
        }
        word++;
    }
    out[0] = 0;
    return false;
}

void GetFileNameNoExt(const char* path, char* out) {
    int n = strlength(path);
    int dot = -1, sep = -1;
    for (int i = 0; i < n - 1; i++) {
        if (path[i] == '.') dot = i;
        if (path[i] == '\\' || path[i] == '/') sep = i;
    }
    int start = sep + 1;
    if (dot < start) {
        out[0] = 0;
        return;
    }
    int count = dot - start;
    strcopy(path + start, out, count < 32 ? count : 32);
}

char* file2string(const char* path) {
    // Anything but a regular file (a directory, a pipe, a device) counts as a file that
    // cannot be opened.
    FILE* f = FopenRegularFile(path);
    if (!f) {
        fprintf(stderr, "Can't open file '%s' for reading\n", path);
        return nullptr;
    }
    long size = -1;
    if (fseek(f, 0, SEEK_END) == 0) size = ftell(f);
    if (size < 0) size = 0;
    printf("File '%s' is %ld long\n", path, size);
    fseek(f, 0, SEEK_SET);
    // One byte more than the file, so the terminator follows the last character
    // instead of replacing it, and an empty file gives an empty string.
    char* text = new char[size + 1];
    size_t got = size > 0 ? fread(text, 1, size, f) : 0;
    text[got] = 0;
    fclose(f);
    return text;
}
