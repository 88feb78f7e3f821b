// libFuzzer target for the macro preprocessor: any text, with either flag, must rewrite
// without reading or writing outside a buffer and without endless pasting.
// The first input byte chooses the flags; the rest is the script text.
#include "datablock.h"
#include "macroProcessor.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

static char scratchDir[4096];

static void RemoveScratch() {
    remove("lib.txt");
    remove("self.txt");
    remove("processed.lua");
    rmdir(scratchDir);
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Pasted files and "processed.lua" live in a scratch folder, with two files to paste:
    // one in the dialect and one that pastes itself. Paths given to the fuzzer must
    // therefore be absolute. In $TMPDIR where set (fuzz/run.sh points it at a folder that it
    // removes afterwards, whatever the targets leave).
    const char* base = getenv("TMPDIR");
    snprintf(scratchDir, sizeof scratchDir, "%s/velk_fuzz_macro_XXXXXX", base && *base ? base : "/tmp");
    if (!mkdtemp(scratchDir) || chdir(scratchDir) != 0) abort();
    atexit(RemoveScratch);
    FILE* f = fopen("lib.txt", "wb");
    if (!f) abort();
    fputs("class A(B):\n\tdef m(self):\n\t\tif x != NULL:\n\t\t\tprint x\n\t\tx += 1\n", f);
    fclose(f);
    f = fopen("self.txt", "wb");
    if (!f) abort();
    fputs("a()\ndofile 'self.txt'\ndofile \"lib.txt\"\n", f);
    fclose(f);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Each input starts from the same files: a "processed.lua" left by an earlier input
    // would otherwise be pasted and grow from input to input.
    remove("processed.lua");
    if (size == 0) return 0;
    bool appendNull = data[0] & 1;
    bool outputScopes = data[0] & 2;

    DataBlock in;
    in.Append(reinterpret_cast<unsigned char*>(const_cast<uint8_t*>(data + 1)), static_cast<int>(size - 1));
    DataBlock out;
    out.Append("#", 1);
    ProcessLuaMacros(&in, &out, appendNull, outputScopes);

    // The output is appended, never replaces what was there.
    if (out.Size() < 1 || out.Ptr()[0] != '#') abort();
    if (appendNull && out.Ptr()[out.Size() - 1] != 0) abort();
    return 0;
}
