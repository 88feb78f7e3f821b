// errfilter: the SFML libraries' one error stream, sf::err(), made safe for the sound
// library's own threads, with a way to hush what one thread's loads say there.
#pragma once

// Puts the filter into sf::err(); only the first call does anything. Text goes on to
// standard error a whole line at a time, as with the library's own buffer. It has to run
// before the sound library can start a thread, because the stream's buffer is never
// swapped again: the threads write through it at any time.
void InstallErrFilter();

// While one lives, what this thread writes to sf::err() is dropped; lines of other threads
// still reach standard error. They nest.
class QuietLibraryErrors {
  public:
    QuietLibraryErrors();
    ~QuietLibraryErrors();
    QuietLibraryErrors(const QuietLibraryErrors&) = delete;
    QuietLibraryErrors& operator=(const QuietLibraryErrors&) = delete;
};
