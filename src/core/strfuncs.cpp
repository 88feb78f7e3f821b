// strfuncs: comparing, copying, searching, splitting and converting C strings.
#include "strfuncs.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The descriptor of a regular file opened for reading, or -1.
static int OpenRegularFile(const char* path) {
    if (!path) return -1;
    // What is plainly no file is not opened at all: opening some devices acts on them.
    // The check on the opened descriptor below is the one that decides.
    struct stat st;
    if (stat(path, &st) == 0 && !S_ISREG(st.st_mode)) return -1;
    // O_NONBLOCK: a pipe opens at once. O_NOCTTY: a terminal we only look at must not
    // become ours. O_CLOEXEC: no file of ours is handed to the script's child processes.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return -1;
    }
    int mode = fcntl(fd, F_GETFL);
    if (mode == -1 || fcntl(fd, F_SETFL, mode & ~O_NONBLOCK) == -1) {
        close(fd);
        return -1;
    }
    return fd;
}

FILE* FopenRegularFile(const char* path) {
    int fd = OpenRegularFile(path);
    if (fd < 0) return nullptr;
    FILE* f = fdopen(fd, "rb");
    if (!f) close(fd);
    return f;
}

// Copies `n` bytes and a terminator into `out` of PATH_MAX bytes; false when they do not
// fit (no call could take such a path anyway).
static bool PathCopy(char* out, const char* from, size_t n) {
    if (n >= PATH_MAX) return false;
    memcpy(out, from, n);
    out[n] = 0;
    return true;
}

// Length of the folder part of `path`, its last '/' included (0 for a bare name).
static size_t FolderLength(const char* path) {
    const char* slash = strrchr(path, '/');
    return slash ? (size_t)(slash - path) + 1 : 0;
}

// The file that a write to `path` lands in: the path itself, or the end of its chain of
// links, each relative link read from its own folder. `exists` and `st` describe it.
// False for a loop or a chain too long (where open would fail with ELOOP), an unreadable
// link, or a path that does not fit.
static bool FinalTarget(const char* path, char* out, struct stat* st, bool* exists) {
    if (!PathCopy(out, path, strlen(path))) return false;
    for (int hops = 0; hops < 40; hops++) {
        if (lstat(out, st) != 0) {
            *exists = false;
            return errno == ENOENT;
        }
        if (!S_ISLNK(st->st_mode)) {
            *exists = true;
            return true;
        }
        char link[PATH_MAX];
        ssize_t n = readlink(out, link, sizeof link);
        if (n <= 0 || n >= (ssize_t)sizeof link) return false;
        size_t keep = link[0] == '/' ? 0 : FolderLength(out);
        if (keep + (size_t)n >= PATH_MAX) return false;
        memcpy(out + keep, link, (size_t)n);
        out[keep + n] = 0;
    }
    return false;
}

// Only a regular file is replaced, and only one we could have written in place.
static bool Replaceable(const char* target, const struct stat& st, bool exists) {
    return !exists || (S_ISREG(st.st_mode) && faccessat(AT_FDCWD, target, W_OK, AT_EACCESS) == 0);
}

// Creates the new file beside `target` under a hidden name that no folder listing takes
// for a screenshot or a script. Returns the descriptor (the name in `temp`) or -1.
static int CreateBeside(const char* target, char* temp) {
    static unsigned counter = 0;
    size_t folder = FolderLength(target);
    for (int attempt = 0; attempt < 64; attempt++) {
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        unsigned tag = (unsigned)getpid() * 2654435761u ^ (unsigned)now.tv_nsec ^ ++counter * 40503u;
        int n = snprintf(temp, PATH_MAX, "%.*s.velk-%08x", (int)folder, target, tag);
        if (n < 0 || n >= PATH_MAX) return -1;
        // O_EXCL: never an existing name, nor a link planted under it.
        int fd = open(temp, O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Without this a write past the process's file size limit (ulimit -f) ends the engine
// with SIGXFSZ and leaves the new file behind; ignored, the write fails with EFBIG like one
// on a full disk, and the script goes on. A handler the embedder installed is left alone.
static bool IgnoreFileSizeSignal() {
    struct sigaction now;
    if (sigaction(SIGXFSZ, nullptr, &now) == 0 && !(now.sa_flags & SA_SIGINFO) && now.sa_handler == SIG_DFL) {
        now.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &now, nullptr);
    }
    return true;
}

bool WriteWholeFile(const char* path, bool (*fill)(FILE* f, void* context), void* context) {
    static const bool signalSet = IgnoreFileSizeSignal();
    (void)signalSet;
    if (!path || !path[0] || !fill) return false;
    char target[PATH_MAX], temp[PATH_MAX];
    struct stat st;
    bool exists = false;
    if (!FinalTarget(path, target, &st, &exists) || !Replaceable(target, st, exists)) return false;
    int fd = CreateBeside(target, temp);
    if (fd < 0) return false;
    bool ok = !exists || fchmod(fd, st.st_mode & 0777) == 0;
    FILE* f = ok ? fdopen(fd, "wb") : nullptr;
    if (!f) {
        close(fd);
        unlink(temp);
        return false;
    }
    ok = fill(f, context) && !ferror(f) && fflush(f) == 0 && fsync(fileno(f)) == 0;
    if (fclose(f) != 0) ok = false;
    // The name may have become something else meanwhile: look again just before replacing.
    if (ok) {
        struct stat now;
        bool stillThere = lstat(target, &now) == 0;
        ok = (stillThere || errno == ENOENT) && Replaceable(target, now, stillThere);
    }
    if (ok && rename(temp, target) != 0) ok = false;
    if (!ok) unlink(temp);
    return ok;
}

struct PlainBytes {
    const void* bytes;
    size_t n;
};

static bool FillPlainBytes(FILE* f, void* context) {
    PlainBytes* plain = (PlainBytes*)context;
    return plain->n == 0 || fwrite(plain->bytes, 1, plain->n, f) == plain->n;
}

bool WriteWholeFile(const char* path, const void* bytes, size_t n) {
    PlainBytes plain = {bytes, n};
    return WriteWholeFile(path, FillPlainBytes, &plain);
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
