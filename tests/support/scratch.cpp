#include "scratch.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

ScratchDir::ScratchDir(const char* prefix) {
    // temp_directory_path() takes $TMPDIR; one that does not exist falls back to /tmp.
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    if (ec || !fs::is_directory(base, ec)) base = "/tmp";
    std::string pattern = (base / (std::string(prefix ? prefix : "velk") + "-XXXXXX")).string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back(0);
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed for " + pattern);
    path = buf.data();
}

ScratchDir::~ScratchDir() {
    Remove();
}

void ScratchDir::Remove() {
    if (!previous.empty()) {
        std::error_code ec;
        fs::current_path(previous, ec);
        if (ec) fs::current_path("/", ec); // out of the folder at least, so that it can go
        previous.clear();
    }
    // Links are removed, not followed; a test that took its own permissions away from a
    // folder inside gets them back first.
    std::error_code ec;
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto it = fs::recursive_directory_iterator(path, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code entryEc;
        if (it->is_directory(entryEc) && !it->is_symlink(entryEc))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, entryEc);
    }
    fs::remove_all(path, ec);
}

std::string ScratchDir::File(const std::string& name) const {
    return path + "/" + name;
}

bool ScratchDir::Enter() {
    if (previous.empty()) {
        std::error_code ec;
        previous = fs::current_path(ec).string();
        if (ec) return false;
    }
    std::error_code ec;
    fs::current_path(path, ec);
    return !ec;
}
