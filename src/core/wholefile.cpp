// wholefile: reading and writing whole files, keeping the old contents where a write fails.
#include "wholefile.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// `fd` back in blocking mode when it is a regular file (`st` describing it); else it is
// closed and -1 returned. The check is on the opened file, so a name swapped after a look
// at it cannot slip through.
static int KeepIfRegular(int fd, struct stat* st) {
    if (fd < 0) return -1;
    int mode = fcntl(fd, F_GETFL);
    if (fstat(fd, st) != 0 || !S_ISREG(st->st_mode) || mode == -1 ||
        fcntl(fd, F_SETFL, mode & ~O_NONBLOCK) == -1) {
        close(fd);
        return -1;
    }
    return fd;
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
    return KeepIfRegular(open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC), &st);
}

FILE* FopenRegularFile(const char* path) {
    int fd = OpenRegularFile(path);
    if (fd < 0) return nullptr;
    FILE* f = fdopen(fd, "rb");
    if (!f) close(fd);
    return f;
}

static void OnFileSizeSignal(int) {}

// Without this a write past the process's file size limit (ulimit -f) ends the engine
// with SIGXFSZ and leaves the new file behind; caught, the write fails with EFBIG like one
// on a full disk, and the script goes on. Caught, not ignored: the programs a script starts
// get it back at its default, where an ignored one would stay ignored in them. A handler
// the embedder installed is left alone.
static bool CatchFileSizeSignal() {
    struct sigaction now;
    if (sigaction(SIGXFSZ, nullptr, &now) == 0 && !(now.sa_flags & SA_SIGINFO) && now.sa_handler == SIG_DFL) {
        struct sigaction caught = {};
        caught.sa_handler = OnFileSizeSignal;
        sigemptyset(&caught.sa_mask);
        caught.sa_flags = SA_RESTART;
        sigaction(SIGXFSZ, &caught, nullptr);
    }
    return true;
}

// The target as the kernel's own open resolves it (its link limit, its protected-symlinks
// rule): a descriptor open for writing on a regular file, without having truncated it.
// A missing target, or the missing end of a dangling link, is created; `created` says so.
static int OpenTarget(const char* path, struct stat* st, bool* created) {
    const int flags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    *created = false;
    int fd = -1;
    // What is plainly no file is not opened at all: opening some devices acts on them.
    if (stat(path, st) == 0) {
        if (!S_ISREG(st->st_mode)) return -1;
        fd = open(path, flags);
    } else if (errno == ENOENT) {
        fd = open(path, flags | O_CREAT | O_EXCL, 0666);
        *created = fd >= 0;
        // EEXIST: a dangling link (O_EXCL does not follow it), or a file made meanwhile.
        if (fd < 0 && errno == EEXIST) {
            fd = open(path, flags | O_CREAT, 0666);
            *created = fd >= 0 && fstat(fd, st) == 0 && st->st_size == 0;
        }
    }
    return KeepIfRegular(fd, st);
}

static bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens `folder` (an O_PATH descriptor) when `name` in it is the file `st` describes, else -1.
static int FolderHolding(const char* folder, const char* name, const struct stat& st) {
    int dir = open(folder, O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct stat at;
    if (dir >= 0 && (fstatat(dir, name, &at, AT_SYMLINK_NOFOLLOW) != 0 || !SameFile(at, st))) {
        close(dir);
        dir = -1;
    }
    return dir;
}

// Splits `path` at its last '/' into `folder` (of PATH_MAX bytes) and `name` (of NAME_MAX + 1);
// false when the name is empty or too long.
static bool SplitPath(const char* path, char* folder, char* name) {
    size_t n = strlen(path);
    if (n >= PATH_MAX) return false;
    const char* slash = strrchr(path, '/');
    const char* last = slash ? slash + 1 : path;
    if (!last[0] || strlen(last) > NAME_MAX) return false;
    strcpy(name, last);
    if (!slash) {
        strcpy(folder, ".");
    } else {
        size_t keep = slash == path ? 1 : (size_t)(slash - path); // a file at the root
        memcpy(folder, path, keep);
        folder[keep] = 0;
    }
    return true;
}

// The folder holding the opened file, and its name there. Returns the folder (an O_PATH
// descriptor, the name in `name`) or -1 when it cannot be had (a file gone or moved, no
// descriptor or memory left, a link that /proc cannot resolve). The path as given serves
// when its last part names the file itself; where that is a link, the path the kernel
// resolved is taken from /proc, which gives none of 4096 bytes or more.
static int LocateTarget(const char* path, int fd, const struct stat& st, char* name) {
    char folder[PATH_MAX];
    if (SplitPath(path, folder, name)) {
        int dir = FolderHolding(folder, name, st);
        if (dir >= 0) return dir;
    }
    char proc[64], real[PATH_MAX];
    snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(proc, real, sizeof real);
    if (n <= 1 || n >= (ssize_t)sizeof real || real[0] != '/') return -1;
    real[n] = 0;
    if (!SplitPath(real, folder, name)) return -1;
    return FolderHolding(folder, name, st);
}

// Creates the new file in `dir` under a hidden name that no folder listing takes for a
// screenshot or a script. Returns the descriptor (the name in `temp`) or -1 with errno.
static int CreateBeside(int dir, char* temp) {
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 64; attempt++) {
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        unsigned tag = (unsigned)getpid() * 2654435761u ^ (unsigned)now.tv_nsec ^ ++counter * 40503u;
        snprintf(temp, 32, ".velk-%08x", tag);
        // O_EXCL: never an existing name, nor a link planted under it.
        int fd = openat(dir, temp, O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// A folder that lets no new file be made, or none be moved over the target: the plain
// write in place still works there. A full disk or a quota is no such reason.
static bool NotAllowedHere(int error) {
    return error == EACCES || error == EPERM || error == EROFS || error == EBUSY;
}

// Fills the stream and flushes it to the disk; closes it either way.
static bool FillAndSync(FILE* f, bool (*fill)(FILE*, void*), void* context) {
    bool ok = fill(f, context) && !ferror(f) && fflush(f) == 0 && fsync(fileno(f)) == 0;
    return fclose(f) == 0 && ok;
}

// Writes the new contents to a new file in `dir`, then renames it over `name`, which must
// still be the file `st` describes. Any failure removes the new file and leaves the target
// as it was. `inPlace` is set when this folder or file does not allow the replace: nothing
// is changed then, and the caller writes in place.
static bool Replace(int dir, const char* name, const struct stat& st, bool (*fill)(FILE*, void*),
                    void* context, bool* inPlace) {
    *inPlace = false;
    char temp[32];
    int fd = CreateBeside(dir, temp);
    if (fd < 0) {
        *inPlace = NotAllowedHere(errno);
        return false;
    }
    // The new file takes the old one's group (before the mode: a chown clears set-id bits)
    // and permission bits. A group or bits we may not give it (EINVAL: a group this system
    // cannot name) mean writing in place instead; running out of memory does not.
    struct stat made;
    bool ready = fstat(fd, &made) == 0;
    if (ready && ((made.st_gid != st.st_gid && fchown(fd, (uid_t)-1, st.st_gid) != 0) ||
                  fchmod(fd, st.st_mode & 0777) != 0)) {
        *inPlace = NotAllowedHere(errno) || errno == EINVAL;
        ready = false;
    }
    FILE* f = ready ? fdopen(fd, "wb") : nullptr;
    if (!f) {
        close(fd);
        unlinkat(dir, temp, 0);
        return false;
    }
    bool ok = FillAndSync(f, fill, context);
    // The name may have become something else meanwhile: look again just before replacing.
    struct stat now;
    ok = ok && fstatat(dir, name, &now, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(now, st);
    if (ok && renameat(dir, temp, dir, name) != 0) {
        // A rename refused where the creation was allowed: a target that is a mount point, a
        // folder that only grows, a security module.
        *inPlace = NotAllowedHere(errno);
        ok = false;
    }
    if (!ok) unlinkat(dir, temp, 0);
    return ok;
}

bool WriteWholeFile(const char* path, bool (*fill)(FILE* f, void* context), void* context) {
    static const bool signalSet = CatchFileSizeSignal();
    (void)signalSet;
    if (!path || !path[0] || !fill) return false;
    struct stat st;
    bool created = false;
    int fd = OpenTarget(path, &st, &created);
    if (fd < 0) return false;
    char name[NAME_MAX + 1];
    int dir = LocateTarget(path, fd, st, name);
    // Replacing keeps the old file on a failed write, but it would split a file's hard links
    // and make another user's file ours: such files are written in place, as is one we just
    // created (a failure removes it below). Any other file needs its folder found; where it
    // is not, nothing is written, as a failure in place would cut the file. The choice is
    // made before writing, so `fill` runs a second time only when a rename is refused after
    // a full write; FillBMP and the plain bytes only read their context and allow that.
    bool inPlace = created || st.st_nlink != 1 || st.st_uid != geteuid();
    bool ok = false;
    if (!inPlace && dir >= 0) ok = Replace(dir, name, st, fill, context, &inPlace);
    if (inPlace) {
        if (FILE* f = fdopen(fd, "wb")) {
            fd = -1; // the stream owns it now
            if (ftruncate(fileno(f), 0) == 0)
                ok = FillAndSync(f, fill, context);
            else
                fclose(f);
        }
    }
    if (fd >= 0) close(fd);
    // A failed write leaves no file where there was none, if the name is still ours. Out of
    // descriptors, the folder may be had only now that the file's own one is closed.
    char folder[PATH_MAX];
    if (!ok && created && dir < 0 && SplitPath(path, folder, name))
        dir = FolderHolding(folder, name, st);
    struct stat now;
    if (!ok && created && dir >= 0 && fstatat(dir, name, &now, AT_SYMLINK_NOFOLLOW) == 0 &&
        SameFile(now, st))
        unlinkat(dir, name, 0);
    if (dir >= 0) close(dir);
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
