// Temporary files of the tests: every folder a test makes lives under one of these and is
// removed with all it holds when the object goes, whether the test passed or failed.
#pragma once
#include <string>

class ScratchDir {
  public:
    // A new, empty folder named after `prefix` under the system's temporary folder.
    explicit ScratchDir(const char* prefix = "velk");
    ~ScratchDir();

    const std::string& Path() const { return path; }
    // Path() + "/" + name.
    std::string File(const std::string& name) const;

    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

  private:
    std::string path;
};
