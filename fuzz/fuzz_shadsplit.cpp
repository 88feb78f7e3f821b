// libFuzzer target for the ".shad" splitter with #INCLUDE. A scratch folder holds the
// include files that inputs can name (see the dictionary), among them entries that are no
// regular files: a folder, a pipe without a writer and a link to an endless device. The first input byte chooses
// how the splitter is reached: with the scratch folder as an absolute folder, with an
// empty folder (paths relative to the scratch folder, the working directory), or through
// Shader::LoadMetaFile on the input written as a file. No GL context exists: without
// entry points the build stops after the split and the program stays 0.
#include "shadering.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// In $TMPDIR where set (fuzz/run.sh points it at a folder in memory that it removes
// afterwards, whatever the targets leave), else in memory where the system offers it: a
// file rewritten for every input costs disk writes on an ordinary file system.
static char scratchDir[4096];
static std::string folder;

static const char* const kIncludes[][2] = {
    {"a.glsl", "uniform float t;\nvoid f() { }"}, // no final line end
    {"b.glsl", "#INCLUDE <a.glsl>\n#SECTION FRAGMENT\nvoid g() { }\n"}, // directives stay text here
    {"empty.glsl", ""},
    {"nul.glsl", "x\0y\n"},
};

static void WriteFile(const std::string& path, const char* text, size_t n) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) abort();
    if (n > 0 && fwrite(text, 1, n, f) != n) abort();
    fclose(f);
}

static void RemoveScratch() {
    for (auto& inc : kIncludes)
        remove((folder + "include/" + inc[0]).c_str());
    remove((folder + "include/long.glsl").c_str());
    remove((folder + "include/pipe").c_str());
    remove((folder + "include/zero").c_str());
    rmdir((folder + "include/dir").c_str());
    rmdir((folder + "include").c_str());
    remove((folder + "in.shad").c_str());
    rmdir(scratchDir);
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Paths given to the fuzzer must therefore be absolute.
    for (const char* base : {(const char*)getenv("TMPDIR"), "/dev/shm", "/tmp"}) {
        if (!base || !*base) continue;
        snprintf(scratchDir, sizeof scratchDir, "%s/velk_fuzz_shad_XXXXXX", base);
        if (mkdtemp(scratchDir)) break;
        scratchDir[0] = 0;
    }
    if (!scratchDir[0] || chdir(scratchDir) != 0) abort();
    folder = std::string(scratchDir) + "/";
    if (mkdir("include", 0700) != 0 || mkdir("include/dir", 0700) != 0) abort();
    if (mkfifo("include/pipe", 0600) != 0 || symlink("/dev/zero", "include/zero") != 0) abort();
    atexit(RemoveScratch);
    for (auto& inc : kIncludes) {
        size_t n = strcmp(inc[0], "nul.glsl") == 0 ? 4 : strlen(inc[1]);
        WriteFile(folder + "include/" + inc[0], inc[1], n);
    }
    std::string longText(5000, 'x'); // longer than a line
    WriteFile(folder + "include/long.glsl", longText.data(), longText.size());
    return 0;
}

static void CheckSection(DataBlock& section) {
    if (section.Len() < 1 || section.Ptr()[section.Len() - 1] != 0) abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int mode = data[0] % 3;
    // The engine hands the splitter a terminated text: bytes after a zero are not read.
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    if (mode == 2) {
        WriteFile("in.shad", text.data(), text.size());
        Shader shader;
        if (!shader.LoadMetaFile((folder + "in.shad").c_str())) abort();
        if (shader.program != 0 || shader.vertexShader != 0 || shader.fragmentShader != 0) abort();
        return 0;
    }
    DataBlock vertexText, fragmentText;
    SplitShaderSource(text.c_str(), mode == 0 ? folder.c_str() : "", &vertexText, &fragmentText);
    CheckSection(vertexText);
    CheckSection(fragmentText);
    return 0;
}
