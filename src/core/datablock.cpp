// datablock: byte buffer storage, growth, string and file assignment, the cursor
// reader and the float-array block.
#include "datablock.h"
#include "strfuncs.h"
#include "wholefile.h"

#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <sys/mman.h>

#if defined(__SANITIZE_ADDRESS__)
#define VELK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELK_ASAN 1
#endif
#endif
#ifdef VELK_ASAN
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(p, n) ((void)(p), (void)(n))
#define ASAN_UNPOISON_MEMORY_REGION(p, n) ((void)(p), (void)(n))
#endif

namespace {

const size_t kHugePage = 2u << 20;
const size_t kOwnMapping = 32u << 20;

size_t HugeRounded(int n) {
    return ((size_t)n + kHugePage - 1) / kHugePage * kHugePage;
}

// Storage of n bytes, freed with FreeStorage(p, n). Blocks of 2 MB and more start on a 2 MB
// boundary, fill whole 2 MB pages and are offered to the kernel as huge pages: touching
// fresh memory 4 KB page by 4 KB page is what a whole-file read or a large growing array
// spent most of its time on. Blocks of 32 MB and more, which the C library would map on
// their own anyway, are mapped here directly (so the sanitizer build keeps no shadow
// bookkeeping for them); smaller ones stay with the C library, which keeps freed memory
// for reuse.
unsigned char* NewStorage(int n) {
    if (n < 0) n = 0;
    if ((size_t)n < kHugePage) {
        void* p = malloc(n > 0 ? (size_t)n : 1); // a zero-byte storage is still a storage
        if (!p) throw std::bad_alloc();          // as new[] would: memory counts as unlimited
        return (unsigned char*)p;
    }
    size_t size = HugeRounded(n);
    unsigned char* p;
    if (size < kOwnMapping) {
        p = (unsigned char*)aligned_alloc(kHugePage, size);
        if (!p) throw std::bad_alloc();
    } else {
        // One huge page more than needed, then the ends are cut so the block starts on a
        // boundary.
        void* got =
            mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (got == MAP_FAILED) throw std::bad_alloc();
        unsigned char* raw = (unsigned char*)got;
        size_t lead = (kHugePage - (uintptr_t)raw % kHugePage) % kHugePage;
        if (lead > 0) munmap(raw, lead);
        munmap(raw + lead + size, kHugePage - lead);
        p = raw + lead;
    }
#ifdef MADV_HUGEPAGE
    madvise(p, size, MADV_HUGEPAGE);
#endif
    // For the sanitizer the storage ends where the block does.
    ASAN_POISON_MEMORY_REGION(p + n, size - n);
    return p;
}

// n is the dim the storage was made with.
void FreeStorage(unsigned char* p, int n) {
    if (!p) return;
    if (n < 0 || (size_t)n < kHugePage) {
        free(p);
        return;
    }
    size_t size = HugeRounded(n);
    ASAN_UNPOISON_MEMORY_REGION(p + n, size - n);
    if (size < kOwnMapping)
        free(p);
    else
        munmap(p, size);
}

} // namespace

DataBlock::DataBlock(const char* s) : ptr(nullptr), len(0), dim(0), eof(false) {
    if (s) Assign(s);
}

DataBlock::~DataBlock() {
    Delete();
}

void DataBlock::Append(unsigned char* src, int n) {
    // A negative count would shrink the data or copy a negative size: do nothing.
    if (n <= 0) return;
    // The source may lie in our own storage (a block appended to itself): remember
    // where, since growing frees the old storage.
    long long srcOffset = -1;
    if (src && ptr && src >= ptr && src < ptr + dim) srcOffset = src - ptr;
    long long need = (long long)len + n;
    // Lengths are ints: an append that would take the length past the int range is
    // refused and the block stays as it was.
    if (need > INT_MAX) return;
    if (need > dim) {
        long long d = dim < 32 ? 32 : dim;
        while (d < need)
            d *= 2;
        // Doubling past the int range takes the whole range at once: later appends then
        // still find room instead of moving the block each time.
        if (d > INT_MAX) d = INT_MAX;
        ResizeDim((int)d);
        if (srcOffset >= 0) src = ptr + srcOffset;
    }
    if (src) memmove(ptr + len, src, n);
    len += n;
}

void DataBlock::Append(const char* s, int n) {
    if (n == -1) n = s ? strlength(s) : 0;
    Append((unsigned char*)s, n);
}

void DataBlock::Append(DataBlock* other) {
    Append(other->Ptr(), other->Size());
}

void DataBlock::Append(char c) {
    Append((unsigned char*)&c, 1);
}

void DataBlock::AppendNull() {
    Append('\0');
}

void DataBlock::ResizeDim(int n) {
    if (n < 0) n = 0;
    unsigned char* fresh = NewStorage(n);
    if (ptr) {
        int keep = len < n ? len : n;
        if (keep > 0) memcpy(fresh, ptr, keep);
        FreeStorage(ptr, dim);
    }
    ptr = fresh;
    dim = n;
    // Callers never shrink below len; if one does, len must not claim bytes we lack.
    if (len > dim) len = dim;
}

void DataBlock::Resize(int n) {
    if (n < 0) n = 0;
    if (dim < n) ResizeDim(n);
    len = n;
}

void DataBlock::RemoveEndNulls() {
    while (len > 0 && ptr[len - 1] == 0)
        len--;
}

void DataBlock::ZeroData() {
    if (len > 0) memset(ptr, 0, len);
}

void DataBlock::Delete() {
    FreeStorage(ptr, dim);
    ptr = nullptr;
    len = 0;
    dim = 0;
}

void DataBlock::SetDataBuf(const char* s) {
    Delete();
    int n = s ? strlength(s) : 0;
    ptr = NewStorage(n);
    if (n > 0) memcpy(ptr, s, n);
    len = dim = n;
}

void DataBlock::Assign(const char* s) {
    SetDataBuf(s);
}

void DataBlock::SetString(const char* s) {
    SetDataBuf(s);
    AppendNull();
}

void DataBlock::AssignFromDirectory(const char* path) {
    int last = -1;
    for (int i = 0; path && path[i]; i++)
        if (path[i] == '\\' || path[i] == '/') last = i;
    if (last >= 0) Append(path, last + 1);
    AppendNull();
}

void DataBlock::AssignFromFileFormat(const char* path) {
    Delete();
    // A path without any '.' leaves the block empty, so it matches no extension.
    int dot = -1;
    for (int i = 0; path && path[i]; i++)
        if (path[i] == '.') dot = i;
    if (dot < 0) return;
    for (int i = dot + 1; path[i]; i++)
        Append(path[i]);
}

char* DataBlock::CStr() {
    if (len > 0 && ptr[len - 1] == 0) return (char*)ptr;
    if (len + 1LL > dim) {
        // An empty block still needs one byte for the terminator; doubling stops at the
        // int range.
        long long want = len > 0 ? 2LL * len : 1;
        ResizeDim(want > INT_MAX ? INT_MAX : (int)want);
    }
    // A block that fills the whole int range has no byte after its data: the terminator
    // takes the last byte's place rather than landing outside the storage.
    if (len >= dim) {
        ptr[dim - 1] = 0;
        return (char*)ptr;
    }
    ptr[len] = 0;
    return (char*)ptr;
}

bool DataBlock::IsEqual(const char* s) {
    return strequal(CStr(), s, true);
}

bool DataBlock::ReadFile(const char* name) {
    // Anything but a regular file (a directory, a pipe, a device) counts as unopenable.
    FILE* f = FopenRegularFile(name);
    if (!f) return false;
    long size = -1;
    if (fseek(f, 0, SEEK_END) == 0) size = ftell(f);
    // A directory or an unseekable stream has no usable size: treat as unopenable.
    if (size < 0 || size > INT_MAX || fseek(f, 0, SEEK_SET) != 0) {
        fclose(f);
        return false;
    }
    Delete();
    ptr = NewStorage((int)size);
    dim = (int)size;
    size_t got = size > 0 ? fread(ptr, 1, size, f) : 0;
    // A file that shrank while we read it: only what arrived is data.
    len = (int)got;
    fclose(f);
    return true;
}

void DataBlock::WriteFile(const char* name) {
    int n = len;
    // One trailing terminator is left out; an empty block gives an empty file. A file that
    // cannot be written (a pipe, a device, a folder) keeps what it held; so does one that is
    // replaced when the disk is full (see WriteWholeFile).
    if (n > 0 && ptr[n - 1] == 0) n--;
    WriteWholeFile(name, ptr, n > 0 ? (size_t)n : 0);
}

// Moves a cursor by a possibly huge amount (counts come from the data being read):
// it stops at the ends of the int range instead of overflowing. Nothing lies there,
// so reads from such a cursor find no data.
static inline int Advance(int pos, long long by) {
    long long to = (long long)pos + by;
    if (to > INT_MAX) return INT_MAX;
    if (to < INT_MIN) return INT_MIN;
    return (int)to;
}

static inline bool IsLineEnd(unsigned char c) {
    return c == '\n' || c == '\r';
}
static inline bool IsWordSep(unsigned char c) {
    return c == ' ' || c == '\n' || c == '\r';
}

bool DataBlock::GetData(int* cursor, const char* format, ...) {
    bool result = false;
    va_list args;
    va_start(args, format);
    int pos = *cursor;
    for (const char* f = format; *f; f++) {
        switch (*f) {
        case 'f':
        case 'i': {
            void* dst = va_arg(args, void*);
            // A field that would reach outside the data leaves its argument as it was.
            if (pos >= 0 && (long long)pos + 4 <= len) memcpy(dst, ptr + pos, 4);
            pos = Advance(pos, 4);
            break;
        }
        case 'c': {
            char* dst = va_arg(args, char*);
            if (pos >= 0 && pos < len) *dst = (char)ptr[pos];
            pos = Advance(pos, 1);
            break;
        }
        case 'w': {
            char* word = va_arg(args, char*);
            int n = 0;
            // Bytes before the start (a negative cursor) are not data either.
            while (pos >= 0 && pos < len && IsWordSep(ptr[pos]))
                pos++;
            while (pos >= 0 && pos < len && !IsWordSep(ptr[pos]) && n < 31)
                word[n++] = (char)ptr[pos++];
            while (pos >= 0 && pos < len && IsLineEnd(ptr[pos])) {
                pos++;
                result = true;
            }
            if (pos >= len) eof = true;
            word[n] = 0;
            break;
        }
        default:
            break;
        }
    }
    va_end(args);
    *cursor = pos;
    return result;
}

void DataBlock::SkipData(int* cursor, const char* format, int count) {
    int rec = 0;
    for (const char* f = format; *f; f++) {
        if (*f == 'f' || *f == 'i')
            rec += 4;
        else if (*f == 'c')
            rec += 1;
    }
    *cursor = Advance(*cursor, (long long)rec * count);
}

void DataBlock::SetData(int* cursor, const char* format, ...) {}

void DataBlock::AppendData(const char* format, ...) {
    int size = 0;
    for (const char* f = format; *f; f++) {
        if (*f == 'f' || *f == 'i')
            size += 4;
        else if (*f == 'c')
            size += 1;
    }
    if (size == 0) return;
    unsigned char* rec = new unsigned char[size];
    int at = 0;
    va_list args;
    va_start(args, format);
    for (const char* f = format; *f; f++) {
        if (*f == 'f') {
            float v = (float)va_arg(args, double);
            memcpy(rec + at, &v, 4);
            at += 4;
        } else if (*f == 'i') {
            int v = va_arg(args, int);
            memcpy(rec + at, &v, 4);
            at += 4;
        } else if (*f == 'c') {
            rec[at++] = (unsigned char)va_arg(args, int);
        }
    }
    va_end(args);
    Append(rec, size);
    delete[] rec;
}

void DataBlock::SkipToNextLine(int* cursor) {
    int pos = *cursor;
    while (pos >= 0 && pos < len && !IsLineEnd(ptr[pos]))
        pos++;
    while (pos >= 0 && pos < len && IsLineEnd(ptr[pos]))
        pos++;
    *cursor = pos;
}

void DataBlock::ToBeginningOfLine(int* cursor) {
    int pos = *cursor;
    if (pos <= 0) return;
    // Bytes past the end are no line ends: walking back over them lands at len first.
    if (pos > len) pos = len;
    while (pos > 0 && !IsLineEnd(ptr[pos - 1]))
        pos--;
    *cursor = pos;
}

FloatDataBlock::FloatDataBlock() : DataBlock(nullptr), vals(nullptr) {}

FloatDataBlock::~FloatDataBlock() {}

void FloatDataBlock::AddVal(float v) {
    Append((unsigned char*)&v, 4);
    vals = (float*)ptr;
}

float FloatDataBlock::GetVal(int i) {
    if (i < 0 || i >= ValCount()) return 0.0f;
    float v;
    memcpy(&v, ptr + 4 * i, 4);
    return v;
}

int FloatDataBlock::ValCount() {
    return len / 4;
}

void LogBuffFloats(DataBlock* block, const char* label) {
    std::ofstream out("VLLOG.txt", std::ios::out | std::ios::app);
    if (!out) return;
    int n = block->NumFloats();
    out << label << ", Contains " << n << " floats.\n";
    for (int i = 0; i < n; i++) {
        float v;
        memcpy(&v, block->Ptr() + 4 * i, 4);
        out << v << " ";
    }
}

void ClearLog() {
    std::ofstream out("VLLOG.txt", std::ios::out | std::ios::trunc);
}
