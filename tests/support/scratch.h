// Temporary files of the tests: every folder a test makes lives under one of these and is
// removed with all it holds when the object goes, whether the test passed or failed.
#pragma once
#include <string>

class ScratchDir {
  public:
    // A new, empty folder named after `prefix` under the system's temporary folder ($TMPDIR
    // where set, else /tmp).
    explicit ScratchDir(const char* prefix = "velk");
    ~ScratchDir();

    const std::string& Path() const { return path; }
    // Path() + "/" + name.
    std::string File(const std::string& name) const;

    // Makes the folder the working directory until the object goes, for code that reads
    // and writes relative paths; the previous one is restored before the folder is removed.
    bool Enter();

    // Removes the folder now, as the destructor would: for a child process that ends with
    // _exit, where no destructor runs.
    void Remove();

    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

  private:
    std::string path;
    std::string previous;
};
