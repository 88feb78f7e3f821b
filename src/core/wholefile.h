// wholefile: whole files read and written through one place, so every caller gets the same
// care about what a path may name and what a failed write leaves behind.
#pragma once

#include <cstddef>
#include <cstdio>

// Whole files are read through this one: a byte-mode stream ("rb"), or null. Only a regular
// file (or a symlink to one) qualifies: a folder holds no contents, a pipe would hold the
// engine waiting for its other end, and a device such as /dev/zero never ends. The open
// itself never waits, and the check is made on the opened descriptor, so a name swapped for
// a pipe after a check cannot slip through. The stream is in blocking mode, ready for use.
FILE* FopenRegularFile(const char* path);
// Whole files are written through these two. The target is opened the way the kernel's
// own open resolves it (links followed to the file at the end, within its link limit and
// protected-symlinks rule); a missing target, or the missing end of a dangling link, is
// created with 0666 less the umask. Only a regular file that may be written, or a missing
// one, is written: a pipe, device or folder is left alone and nothing waits.
// A file of our own with a single name, in a folder that lets a new file be made and moved
// over it, is replaced: the contents go to a new hidden file beside it, which is flushed to
// the disk and only then renamed over the target, keeping its permission bits and group.
// Any failure there (a full disk, a file size limit, no descriptor or memory left) leaves
// the old file exactly as it was and removes the new one. Such a file whose folder cannot
// be found (the same shortages, a file moved meanwhile, a link that /proc cannot resolve)
// is not written at all: the call fails. Every other existing file (another user's, one
// with several hard links, one whose folder allows no new file or rename, one whose group
// the new file could not take) is truncated and written in place, flushed to the disk: a
// failure part-way leaves it cut short. A file the call created is removed again when its
// write fails.
// A write past the process's file size limit fails instead of ending the process: the
// first call catches SIGXFSZ with a handler that does nothing, unless one is already
// installed or the signal is ignored. Caught, not ignored: child processes started later
// get it back at its default.
// `fill` writes the contents to the stream and answers false to give up. It may be called
// twice (once more in place when the rename is refused after a full write), and must write
// the same bytes each time. The result tells whether the target now holds the new contents.
bool WriteWholeFile(const char* path, bool (*fill)(FILE* f, void* context), void* context);
// The same for `n` plain bytes.
bool WriteWholeFile(const char* path, const void* bytes, size_t n);
