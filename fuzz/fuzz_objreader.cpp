// libFuzzer target for the OBJ reader, read over a whole file as the geometry manager
// reads it: segment after segment, one mesh each, sharing the file's vertex data. The first
// input byte chooses the way in: one input in four goes through a fresh manager as an
// ".obj" file (file reading, segment names, items), the others through the same loop on
// the bytes directly (many times faster, as files cost several system calls an input).
// Every mesh must keep its arrays whole (3 records a triangle, 4 a quad), every name must
// be terminated, and each segment must move the cursor on.
#include "geometry.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <unistd.h>

// In $TMPDIR where set (fuzz/run.sh points it at a folder in memory that it removes
// afterwards, whatever the targets leave), else in memory where the system offers it: a
// file rewritten for every input costs disk writes on an ordinary file system.
static char scratchDir[4096];

static void RemoveScratch() {
    remove("in.obj");
    rmdir(scratchDir);
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Paths given to the fuzzer must therefore be absolute.
    for (const char* base : {(const char*)getenv("TMPDIR"), "/dev/shm", "/tmp"}) {
        if (!base || !*base) continue;
        snprintf(scratchDir, sizeof scratchDir, "%s/velk_fuzz_obj_XXXXXX", base);
        if (mkdtemp(scratchDir)) break;
        scratchDir[0] = 0;
    }
    if (!scratchDir[0] || chdir(scratchDir) != 0) abort();
    atexit(RemoveScratch);
    return 0;
}

static void CheckWhole(Geometry* g) {
    if (!g || g->triCount < 0 || g->quadCount < 0) abort();
    if ((long long)g->tris.Len() != g->triCount * 3LL * Geometry::kVertexBytes) abort();
    if ((long long)g->quads.Len() != g->quadCount * 4LL * Geometry::kVertexBytes) abort();
}

static void ThroughManager(const uint8_t* data, size_t size) {
    FILE* f = fopen("in.obj", "wb");
    if (!f) abort();
    if (size > 0 && fwrite(data, 1, size, f) != size) abort();
    fclose(f);

    GeometryManager manager;
    int first = -1, count = 0;
    manager.AddContent("in.obj", "fuzz", &first, &count);
    // Even empty data makes one (empty) item.
    if (count < 1 || first != 0 || manager.itemCount != count) abort();
    MediaManagerGroup* group = manager.GetGroup("fuzz");
    if (!group || group->entryCount != count) abort();
    for (int i = 0; i < count; i++) {
        if (!memchr(group->entryPtr[i].name, 0, sizeof group->entryPtr[i].name)) abort();
        CheckWhole(reinterpret_cast<Geometry*>(manager.GetLoadedItem(first + i)));
    }

    // The engine's single-segment load gives the first item's mesh.
    Geometry single;
    LoadObjFileSingle(&single, "in.obj");
    CheckWhole(&single);
    Geometry* firstItem = reinterpret_cast<Geometry*>(manager.GetLoadedItem(first));
    if (single.triCount != firstItem->triCount || single.quadCount != firstItem->quadCount) abort();
    if (single.tris.Len() > 0 && memcmp(single.tris.Ptr(), firstItem->tris.Ptr(), single.tris.Len()) != 0) abort();
    if (single.quads.Len() > 0 && memcmp(single.quads.Ptr(), firstItem->quads.Ptr(), single.quads.Len()) != 0)
        abort();
}

static void Direct(const uint8_t* data, size_t size) {
    DataBlock block;
    block.Append(reinterpret_cast<unsigned char*>(const_cast<uint8_t*>(data)), static_cast<int>(size));
    ObjCollectedVertData collected;
    collected.smoothing = 0;
    int cursor = 0;
    bool atEnd = false;
    do {
        const int before = cursor;
        Geometry mesh;
        char name[32];
        memset(name, 0x7f, sizeof name);
        name[0] = 0;
        atEnd = mesh.LoadOBJFileSegment(&block, &cursor, &collected, name);
        CheckWhole(&mesh);
        if (!memchr(name, 0, sizeof name)) abort();
        if (cursor < before || cursor > block.Len()) abort();
        // A segment that hands over to the next must have read something.
        if (!atEnd && cursor == before) abort();
    } while (!atEnd);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if (data[0] % 4 == 0)
        ThroughManager(data + 1, size - 1);
    else
        Direct(data + 1, size - 1);
    return 0;
}
