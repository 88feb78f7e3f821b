// errfilter: a stream buffer for sf::err() that keeps each thread's text apart.
#include "errfilter.h"

#include <SFML/System/Err.hpp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <streambuf>

namespace {

// A line is gathered in a plain array, which has nothing to destroy: a line written while
// a thread or the process ends still finds it. A longer line moves to the heap, up to
// kMaxLine bytes; only a line beyond that (or without memory for it) goes out in pieces.
constexpr size_t kMaxLine = 1 << 16;
thread_local int tQuietDepth = 0;
thread_local char tFixed[512];
thread_local char* tLine = nullptr; // tFixed, or the heap store of a longer line
thread_local size_t tCapacity = 0;
thread_local size_t tLineLength = 0;

void FlushLine() {
    // One write per line, so the lines of two threads never mix.
    if (tLineLength > 0) fwrite(tLine, 1, tLineLength, stderr);
    tLineLength = 0;
    if (tLine != tFixed) {
        free(tLine);
        tLine = tFixed;
        tCapacity = sizeof tFixed;
    }
}

// Doubles the room of the line; false at the limit or without memory.
bool Grow() {
    if (tCapacity >= kMaxLine) return false;
    char* bigger = (char*)malloc(tCapacity * 2);
    if (!bigger) return false;
    memcpy(bigger, tLine, tLineLength);
    if (tLine != tFixed) free(tLine);
    tLine = bigger;
    tCapacity *= 2;
    return true;
}

void Keep(const char* s, size_t n) {
    if (!tLine) {
        tLine = tFixed;
        tCapacity = sizeof tFixed;
    }
    while (n > 0) {
        if (tLineLength == tCapacity && !Grow()) FlushLine();
        size_t room = tCapacity - tLineLength;
        size_t take = n < room ? n : room;
        const char* newline = (const char*)memchr(s, '\n', take);
        if (newline) take = (size_t)(newline - s) + 1;
        memcpy(tLine + tLineLength, s, take);
        tLineLength += take;
        s += take;
        n -= take;
        if (newline) FlushLine();
    }
}

// No put area: every character reaches xsputn or overflow on the thread that writes it.
// Writes and sync never fail, so the stream that all threads share never changes state.
class FilterBuf : public std::streambuf {
  protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        if (tQuietDepth == 0 && n > 0) Keep(s, (size_t)n);
        return n;
    }
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        char ch = traits_type::to_char_type(c);
        if (tQuietDepth == 0) Keep(&ch, 1);
        return c;
    }
    int sync() override {
        FlushLine();
        return 0;
    }
};

} // namespace

void InstallErrFilter() {
    static std::once_flag once;
    // Never freed: the library's threads and its clean-up at exit may write until the end.
    std::call_once(once, [] { sf::err().rdbuf(new FilterBuf); });
}

QuietLibraryErrors::QuietLibraryErrors() {
    // Normally installed long before; a load with no engine core built yet installs it here.
    InstallErrFilter();
    tQuietDepth++;
}

QuietLibraryErrors::~QuietLibraryErrors() {
    tQuietDepth--;
}
