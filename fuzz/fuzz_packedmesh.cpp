// libFuzzer target for the packed mesh reader: the input is read segment after segment into
// one mesh, as a caller of a buffer of several segments would. A segment that fits its
// counts is read whole and the cursor lands right after it; one that does not is refused
// (mesh unchanged, cursor at the end of the data). Either way the cursor moves on and the
// arrays hold exactly 3 records a triangle and 4 a quad.
#include "geometry.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

static int IntAt(const uint8_t* data, long long at) {
    int v;
    memcpy(&v, data + at, 4);
    return v;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DataBlock block;
    block.Append(reinterpret_cast<unsigned char*>(const_cast<uint8_t*>(data)), static_cast<int>(size));
    const long long len = block.Len();
    Geometry mesh;
    int cursor = 0;
    while (cursor < len) {
        const long long start = cursor;
        const int trisBefore = mesh.triCount, quadsBefore = mesh.quadCount;
        const int trisLenBefore = mesh.tris.Len(), quadsLenBefore = mesh.quads.Len();

        // The segment's size by its own counts, where the data holds them.
        long long total = -1, T = 0, Q = 0;
        if (start + 16 <= len) {
            long long V = IntAt(data, start + 12);
            if (V >= 0 && start + 24 + 24 * V <= len) {
                T = IntAt(data, start + 16 + 24 * V);
                Q = IntAt(data, start + 20 + 24 * V);
                if (T >= 0 && Q >= 0) total = 24 + 24 * V + 49 * T + 61 * Q;
            }
        }

        mesh.LoadFromBufferSegment(&block, &cursor);

        if (cursor <= start || cursor > len) abort();
        if (mesh.triCount < 0 || mesh.quadCount < 0) abort();
        if (mesh.tris.Len() != mesh.triCount * 3LL * Geometry::kVertexBytes) abort();
        if (mesh.quads.Len() != mesh.quadCount * 4LL * Geometry::kVertexBytes) abort();
        if (total >= 0 && start + total <= len) {
            if (cursor != start + total || mesh.triCount != T || mesh.quadCount != Q) abort();
        } else {
            if (cursor != len || mesh.triCount != trisBefore || mesh.quadCount != quadsBefore ||
                mesh.tris.Len() != trisLenBefore || mesh.quads.Len() != quadsLenBefore)
                abort();
        }
    }
    return 0;
}
