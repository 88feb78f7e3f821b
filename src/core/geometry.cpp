// geometry: meshes in vertex buffers, the OBJ and packed mesh readers, debug lines and
// the geometry manager that owns the meshes of scripts.
#include "geometry.h"
#include "glplatform.h"
#include "strfuncs.h"
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>

namespace vgl {
PFNGLGENBUFFERSARBPROC glGenBuffersARB = nullptr;
PFNGLBINDBUFFERARBPROC glBindBufferARB = nullptr;
PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB = nullptr;
PFNGLBUFFERDATAARBPROC glBufferDataARB = nullptr;

void ResetVertexBufferEntryPoints() {
    glGenBuffersARB = nullptr;
    glBindBufferARB = nullptr;
    glDeleteBuffersARB = nullptr;
    glBufferDataARB = nullptr;
}
} // namespace vgl

namespace {
inline bool IsSeparator(unsigned char c) {
    return c == ' ' || c == '\n' || c == '\r';
}
inline bool IsLineEnd(unsigned char c) {
    return c == '\n' || c == '\r';
}

// The cursor reader's word (GetData's 'w'), inlined for the reader's hot loop with the same
// result: separators skipped, at most 31 other bytes taken, then the line ends after them
// (true when there were any); reaching the end of the data sets the block's end flag. The
// word's length goes to wordLen when it is given.
inline bool ReadWord(DataBlock* data, const unsigned char* bytes, int len, int* cursor, char* word,
                     int* wordLen = nullptr) {
    int pos = *cursor, n = 0;
    bool lineEnded = false;
    while (pos < len && IsSeparator(bytes[pos]))
        pos++;
    while (pos < len && !IsSeparator(bytes[pos]) && n < 31)
        word[n++] = (char)bytes[pos++];
    while (pos < len && IsLineEnd(bytes[pos])) {
        pos++;
        lineEnded = true;
    }
    if (pos >= len) data->eof = true;
    word[n] = 0;
    if (wordLen) *wordLen = n;
    *cursor = pos;
    return lineEnded;
}

// Whether the current locale writes the decimal point as '.', as OBJ files do.
bool PointIsDot() {
    return strcmp(nl_langinfo(RADIXCHAR), ".") == 0;
}

// atof narrowed to float. from_chars reads a decimal number as atof does in the C locale,
// rounded correctly to a double as atof's is, about three times faster; the double is then
// narrowed as atof's would be. It takes the words that are plainly numbers: an optional
// sign, a digit or a point, and nothing after the number. Everything else (leading blanks,
// inf and nan, hex, trailing text, a NUL within the word, values beyond the double range)
// goes to atof, and so does a word with a '.' when the locale's decimal point is something
// else (atof stops at that '.'). `length` is the word's length.
float ReadFloat(const char* text, size_t length, bool pointIsDot) {
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
    const char* first = text + (*text == '+'); // from_chars takes no '+'
    const char* c = first + (*first == '-' && first == text);
    if ((*c >= '0' && *c <= '9') || *c == '.') {
        const char* end = text + length;
        double v;
        std::from_chars_result r = std::from_chars(first, end, v);
        if (r.ec == std::errc() && r.ptr == end && (pointIsDot || !memchr(c, '.', (size_t)(end - c))))
            return (float)v;
    }
#endif
    return (float)atof(text);
}

// Value group `index` (1-based, `width` floats) of a collected array into out; zeros for an
// index that is 0, negative or beyond what was collected. Computed wide so huge or
// negative indices cannot overflow.
void FetchGroup(FloatDataBlock& block, int index, int width, float* out) {
    long long base = ((long long)index - 1) * width;
    long long count = block.ValCount();
    if (base >= 0 && base + width <= count) {
        memcpy(out, block.Ptr() + 4 * base, 4 * width);
        return;
    }
    for (int k = 0; k < width; k++)
        out[k] = (base >= 0 && base + k < count) ? block.GetVal((int)(base + k)) : 0.0f;
}

// Segment name: lowercased, cut before the last '_' that is not the first character.
void BuildSegmentName(const char* word, char* out) {
    char buf[32];
    strcopy(word, buf, 31);
    toLower(buf);
    int cut = -1;
    for (int i = 1; buf[i]; i++)
        if (buf[i] == '_') cut = i;
    if (cut > 0) buf[cut] = 0;
    strcopy(buf, out, 31);
}

// A face corner word: up to three numbers separated by '/'. Numbers after the third are
// dropped (the corner holds three).
void ParseCorner(const char* word, int* corner) {
    corner[0] = corner[1] = corner[2] = 0;
    // Each number as toint computes it, digit by digit with 32-bit wrap-around; a word holds
    // at most 31 characters, so no number is cut.
    unsigned v = 0;
    int k = 0;
    for (const char* c = word; *c; c++) {
        if (*c == '/') {
            if (k < 3) corner[k] = (int)v;
            k++;
            v = 0;
        } else {
            v = v * 10u + (unsigned)(*c - '0');
        }
    }
    if (k < 3) corner[k] = (int)v;
}

// Appends the records of one face (n corners) at once and tells whether they went in: a
// face the array cannot take (past the int range) is dropped whole, so the caller counts
// only faces whose records exist.
bool AppendFace(FloatDataBlock& target, ObjCollectedVertData* collected, const int* const* corners, int n) {
    float rec[4 * Geometry::kFloatsPerVertex];
    for (int i = 0; i < n; i++) {
        float* r = rec + i * Geometry::kFloatsPerVertex;
        FetchGroup(collected->positions, corners[i][0], 3, r);
        FetchGroup(collected->normals, corners[i][2], 3, r + 3);
        FetchGroup(collected->texcoords, corners[i][1], 2, r + 6);
    }
    int old = target.Len();
    target.Append((unsigned char*)rec, n * Geometry::kVertexBytes);
    return target.Len() != old;
}

// Appends n bytes of src to dst; src may be dst itself (then its content before the call).
// False when dst cannot grow that far (past the int range); dst is then unchanged.
bool AppendBytes(FloatDataBlock& dst, FloatDataBlock& src, int n) {
    if (n <= 0) return true;
    int old = dst.Len();
    dst.Append((unsigned char*)nullptr, n);
    if (dst.Len() == old) return false;
    const unsigned char* from = (&dst == &src) ? dst.Ptr() : src.Ptr();
    memcpy(dst.Ptr() + old, from, n);
    return true;
}
} // namespace

void SayMeshTooLarge() {
    puts("Error: Mesh too large.");
}

// ---------------------------------------------------------------------------------------
// Geometry

Geometry::Geometry()
    : triPtr(nullptr), quadPtr(nullptr), triCount(0), quadCount(0), needsCompile(false), dynamic(false),
      triVBO(0), quadVBO(0) {}

Geometry::~Geometry() {
    // Buffers exist only if a Compile ran, which needed the entry points.
    if (quadVBO != 0 && vgl::glDeleteBuffersARB) vgl::glDeleteBuffersARB(1, &quadVBO);
    if (triVBO != 0 && vgl::glDeleteBuffersARB) vgl::glDeleteBuffersARB(1, &triVBO);
}

// The engine requires vertex buffers; without them meshes are neither uploaded nor drawn,
// rather than called through a null entry point. The lookup is retried while the first
// entry point is missing. The GL library may hand out entry points of extensions that the
// context lacks, so they are taken only with the extension.
bool Geometry::EntryPointsReady() {
    if (!vgl::glGenBuffersARB && HasGLExtension("GL_ARB_vertex_buffer_object")) {
        vgl::glGenBuffersARB = (PFNGLGENBUFFERSARBPROC)GetGLEntryPoint("glGenBuffersARB");
        vgl::glBindBufferARB = (PFNGLBINDBUFFERARBPROC)GetGLEntryPoint("glBindBufferARB");
        vgl::glDeleteBuffersARB = (PFNGLDELETEBUFFERSARBPROC)GetGLEntryPoint("glDeleteBuffersARB");
        vgl::glBufferDataARB = (PFNGLBUFFERDATAARBPROC)GetGLEntryPoint("glBufferDataARB");
    }
    return vgl::glGenBuffersARB && vgl::glBindBufferARB && vgl::glDeleteBuffersARB && vgl::glBufferDataARB;
}

void Geometry::Compile() {
    if (!EntryPointsReady()) return;
    GLenum hint = dynamic ? GL_DYNAMIC_DRAW_ARB : GL_STATIC_DRAW_ARB;
    // Upload from the storage itself, so a writer that forgot to refresh a pointer
    // cannot make us read freed memory.
    triPtr = (float*)tris.Ptr();
    quadPtr = (float*)quads.Ptr();

    if (triVBO == 0) vgl::glGenBuffersARB(1, &triVBO);
    vgl::glBindBufferARB(GL_ARRAY_BUFFER_ARB, triVBO);
    vgl::glBufferDataARB(GL_ARRAY_BUFFER_ARB, tris.Len(), triPtr, hint);

    if (quadVBO == 0) vgl::glGenBuffersARB(1, &quadVBO);
    vgl::glBindBufferARB(GL_ARRAY_BUFFER_ARB, quadVBO);
    vgl::glBufferDataARB(GL_ARRAY_BUFFER_ARB, quads.Len(), quadPtr, hint);

    vgl::glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
}

static void SetArrayPointers() {
    glVertexPointer(3, GL_FLOAT, Geometry::kVertexBytes, (const void*)0);
    glNormalPointer(GL_FLOAT, Geometry::kVertexBytes, (const void*)12);
    glTexCoordPointer(2, GL_FLOAT, Geometry::kVertexBytes, (const void*)24);
}

static void EnableArrays() {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
}

static void DisableArrays() {
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
}

void Geometry::Draw() {
    // Without entry points the mark stays set, so the mesh uploads once they exist.
    if (!EntryPointsReady()) return;
    if (needsCompile) {
        needsCompile = false;
        Compile();
    }
    // A list is drawn only from a buffer that exists: with buffer 0 bound the offsets
    // would be taken as client memory addresses.
    if (triCount > 0 && triVBO != 0) {
        vgl::glBindBufferARB(GL_ARRAY_BUFFER_ARB, triVBO);
        SetArrayPointers();
        EnableArrays();
        glDrawArrays(GL_TRIANGLES, 0, triCount * 3);
        DisableArrays();
        vgl::glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    }
    if (quadCount > 0 && quadVBO != 0) {
        EnableArrays();
        vgl::glBindBufferARB(GL_ARRAY_BUFFER_ARB, quadVBO);
        SetArrayPointers();
        glDrawArrays(GL_QUADS, 0, quadCount * 4);
        DisableArrays();
        vgl::glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    }
}

void Geometry::AddGeometry(Geometry* other, Matrix* model, Matrix* tex) {
    if (!other || !model) return;
    int triBytes = tris.Len(), quadBytes = quads.Len();
    // Read the other mesh's sizes first: it may be this mesh.
    int addTriBytes = other->tris.Len(), addQuadBytes = other->quads.Len();
    int addTris = other->triCount, addQuads = other->quadCount;

    // Both arrays grow or neither does (a mesh placed into itself again and again ends
    // here): the mesh stays as it was.
    bool grown =
        AppendBytes(tris, other->tris, addTriBytes) && AppendBytes(quads, other->quads, addQuadBytes);
    if (!grown) tris.Resize(triBytes);
    triPtr = (float*)tris.Ptr();
    quadPtr = (float*)quads.Ptr();
    if (!grown) {
        SayMeshTooLarge();
        return;
    }

    // Transform only what was appended, never more records than were copied.
    int triRecords = addTris * 3;
    if (triRecords > addTriBytes / kVertexBytes) triRecords = addTriBytes / kVertexBytes;
    int quadRecords = addQuads * 4;
    if (quadRecords > addQuadBytes / kVertexBytes) quadRecords = addQuadBytes / kVertexBytes;
    if (triRecords > 0) model->TransformBuf(tris.Ptr(), triBytes, triRecords, kVertexBytes, tex);
    if (quadRecords > 0) model->TransformBuf(quads.Ptr(), quadBytes, quadRecords, kVertexBytes, tex);

    triCount += addTris;
    quadCount += addQuads;
    needsCompile = true;
}

// ---------------------------------------------------------------------------------------
// OBJ text reader

bool Geometry::LoadOBJFileSegment(DataBlock* data, int* cursor, ObjCollectedVertData* collected, char* name) {
    if (!data || !cursor || !collected) return true;
    int cur = *cursor;
    const int len = data->Len();
    const unsigned char* bytes = data->Ptr();
    if (cur < 0) cur = 0;

    bool nameSeen = false, done = false, atEnd = false, refused = false;
    int namingStart = -1;
    char word[32];
    char arg[32];
    const bool pointIsDot = PointIsDot(); // the locale cannot change while a segment is read

    while (!done) {
        // Where the keyword starts, for handing an ending o/g back to the next call.
        while (cur < len && IsSeparator(bytes[cur]))
            cur++;
        int wordStart = cur;
        bool lineEnded = ReadWord(data, bytes, len, &cur, word);

        const char k0 = word[0];
        if ((k0 == 'o' || k0 == 'g') && word[1] == 0) {
            if (!nameSeen) {
                ReadWord(data, bytes, len, &cur, arg);
                if (name) BuildSegmentName(arg, name);
                nameSeen = true;
                namingStart = wordStart;
            } else {
                done = true;
                int back = wordStart;
                data->ToBeginningOfLine(&back);
                // When this line also holds the naming statement, going back to its start
                // would read the same segment again without end: start at this word.
                if (back <= namingStart) back = wordStart;
                cur = back;
            }
        } else if ((k0 == '#' && word[1] == 0) || strcmp(word, "usemtl") == 0 ||
                   strcmp(word, "mtllib") == 0) {
            if (!lineEnded) data->SkipToNextLine(&cur);
        } else if (k0 == 'v' && word[1] == 0) {
            for (int i = 0; i < 3; i++) {
                int n;
                ReadWord(data, bytes, len, &cur, arg, &n);
                collected->positions.AddVal(ReadFloat(arg, (size_t)n, pointIsDot));
            }
        } else if (k0 == 'v' && word[1] == 'n' && word[2] == 0) {
            for (int i = 0; i < 3; i++) {
                int n;
                ReadWord(data, bytes, len, &cur, arg, &n);
                collected->normals.AddVal(ReadFloat(arg, (size_t)n, pointIsDot));
            }
        } else if (k0 == 'v' && word[1] == 't' && word[2] == 0) {
            for (int i = 0; i < 2; i++) {
                int n;
                ReadWord(data, bytes, len, &cur, arg, &n);
                collected->texcoords.AddVal(ReadFloat(arg, (size_t)n, pointIsDot));
            }
        } else if (k0 == 's' && word[1] == 0) {
            ReadWord(data, bytes, len, &cur, arg);
            collected->smoothing = strcmp(arg, "off") == 0 ? 0 : 1;
        } else if (k0 == 'f' && word[1] == 0) {
            // Corners 0-3 fill the corner table. Faces of more than 4 corners are split
            // into a fan: the quad of the first four plus one triangle (first, previous,
            // this) for every further corner. Faces of fewer than 3 corners are dropped,
            // so quads always hold 4 records each.
            int table[4][3] = {};
            int previous[3] = {};
            int corners = 0;
            if (!lineEnded) {
                for (;;) {
                    // A face ends at its line end (trailing spaces aside) or the end of data.
                    int peek = cur;
                    while (peek < len && bytes[peek] == ' ')
                        peek++;
                    if (peek >= len || IsLineEnd(bytes[peek])) break;
                    bool ended = ReadWord(data, bytes, len, &cur, arg);
                    int corner[3];
                    ParseCorner(arg, corner);
                    if (corners < 4) {
                        memcpy(table[corners], corner, sizeof(corner));
                    } else {
                        const int* fan[3] = {table[0], previous, corner};
                        if (AppendFace(tris, collected, fan, 3))
                            triCount++;
                        else
                            refused = true;
                    }
                    memcpy(previous, corner, sizeof(corner));
                    corners++;
                    if (ended) break;
                }
            }
            const int* face[4] = {table[0], table[1], table[2], table[3]};
            if (corners == 3) {
                if (AppendFace(tris, collected, face, 3))
                    triCount++;
                else
                    refused = true;
            } else if (corners >= 4) {
                if (AppendFace(quads, collected, face, 4))
                    quadCount++;
                else
                    refused = true;
            }
        }
        // Any other word is ignored.

        if (data->EOFile()) {
            done = true;
            atEnd = true;
        }
    }

    if (refused) SayMeshTooLarge(); // once per segment, not once per face
    *cursor = cur;
    triPtr = (float*)tris.Ptr();
    quadPtr = (float*)quads.Ptr();
    needsCompile = true;
    return atEnd;
}

void LoadObjFileSingle(Geometry* geometry, char const* path) {
    if (!geometry) return;
    DataBlock data(nullptr);
    if (path) data.ReadFile(path); // a missing file reads as empty data
    ObjCollectedVertData collected;
    collected.smoothing = 0;
    int cursor = 0;
    geometry->LoadOBJFileSegment(&data, &cursor, &collected, nullptr);
}

float stringToFloat(char const* text) {
    return text ? ReadFloat(text, strlen(text), PointIsDot()) : 0.0f;
}

// ---------------------------------------------------------------------------------------
// Packed mesh reader

void Geometry::LoadFromBufferSegment(DataBlock* data, int* cursor) {
    if (!data || !cursor) return;
    const long long len = data->Len();
    const long long start = *cursor;
    // A segment that does not fit in the data (short data, negative or oversized counts)
    // is refused whole: the mesh stays as it was and the cursor moves to the end of the
    // data, so a caller reading segment after segment stops.
    auto refuse = [&]() { *cursor = (int)len; };
    if (start < 0 || start + 16 > len) return refuse();

    int cur = (int)start;
    data->SkipData(&cur, "fff", 1);
    int V = 0;
    data->GetData(&cur, "i", &V);
    if (V < 0 || start + 24 + 24LL * V > len) return refuse();
    const int tableStart = cur;
    data->SkipData(&cur, "ffffff", V);

    int T = 0, Q = 0;
    data->GetData(&cur, "ii", &T, &Q);
    if (T < 0 || Q < 0) return refuse();
    long long total = 24 + 24LL * V + 49LL * T + 61LL * Q;
    if (start + total > len || T * 96LL > INT_MAX || Q * 128LL > INT_MAX) return refuse();

    triCount = T;
    quadCount = Q;
    tris.Resize(T * 96);
    quads.Resize(Q * 128);

    for (int pass = 0; pass < 2; pass++) {
        const int n = pass == 0 ? 3 : 4;
        const int faces = pass == 0 ? T : Q;
        float* out = (float*)(pass == 0 ? tris.Ptr() : quads.Ptr());
        for (int f = 0; f < faces; f++) {
            char smooth = 0;
            float fn[3];
            data->GetData(&cur, "cfff", &smooth, &fn[0], &fn[1], &fn[2]);
            for (int c = 0; c < n; c++) {
                int vi = 0;
                float u = 0, v = 0;
                data->GetData(&cur, "iff", &vi, &u, &v);
                // A vertex index outside the table gives a zero position (and normal).
                float vert[6] = {0, 0, 0, 0, 0, 0};
                if (vi >= 0 && vi < V) {
                    int at = tableStart + 24 * vi;
                    data->GetData(&at, "ffffff", &vert[0], &vert[1], &vert[2], &vert[3], &vert[4], &vert[5]);
                }
                out[0] = vert[0];
                out[1] = vert[1];
                out[2] = vert[2];
                out[3] = smooth ? vert[3] : fn[0];
                out[4] = smooth ? vert[4] : fn[1];
                out[5] = smooth ? vert[5] : fn[2];
                out[6] = u;
                out[7] = v;
                out += kFloatsPerVertex;
            }
        }
    }
    triPtr = (float*)tris.Ptr();
    quadPtr = (float*)quads.Ptr();
    *cursor = cur;
    needsCompile = true;
}

// ---------------------------------------------------------------------------------------
// Debug lines

void DrawLine(float const* a, float const* b) {
    DrawLine(a[0], a[1], a[2], b[0], b[1], b[2]);
}

void DrawLine(float x1, float y1, float z1, float x2, float y2, float z2) {
    glLineWidth(1.0f);
    glBegin(GL_LINES);
    glVertex3f(x1, y1, z1);
    glVertex3f(x2, y2, z2);
    glEnd();
}

// ---------------------------------------------------------------------------------------
// Geometry manager

GeometryManager::GeometryManager() : MediaManager(), modelStack(), texStack() {}

// The registry itself never destroys items; the manager owns its meshes and releases
// them when it goes, at the end of the run.
GeometryManager::~GeometryManager() {
    for (int i = 0; i < itemCount; i++) {
        int** slot = GetItemPtr(i);
        if (slot && *slot) {
            delete reinterpret_cast<Geometry*>(*slot);
            *slot = nullptr;
        }
    }
}

void GeometryManager::QueryFile(const char* path, MediaManagerGroup* group, int* outFirst, int* outCount) {
    if (!group) return;
    int first = group->entryCount, count = 0;
    DataBlock ext(nullptr);
    ext.AssignFromFileFormat(path ? path : "");

    GroupFileItem* file = new GroupFileItem();
    group->files.Add(file);
    int fileIndex = group->files.Count() - 1;

    if (ext.IsEqual("vlo"))
        puts("Error: vlo files no longer supported.");
    else if (ext.IsEqual("obj"))
        LoadObjFile(path, group, fileIndex, &first, &count);

    file->path.SetString(path ? path : "");
    file->firstEntry = first;
    file->lastEntry = first + count - 1;
    file->state = 1;
    if (outFirst) *outFirst = first;
    if (outCount) *outCount = count;
}

void GeometryManager::LoadFile(GroupFileItem*, MediaManagerGroup*) {}

void GeometryManager::priv_Use(int* item) {
    if (item) reinterpret_cast<Geometry*>(item)->Draw();
}

void GeometryManager::LoadObjFile(const char* path, MediaManagerGroup* group, int fileIndex, int* outFirst,
                                  int* outCount) {
    DataBlock data(nullptr);
    if (path) data.ReadFile(path); // unreadable: empty data, one empty item
    ObjCollectedVertData collected;
    collected.smoothing = 0;
    int cursor = 0;

    int index = itemCount;
    int e = group->entryCount;
    if (outFirst) *outFirst = e;
    int segments = 0;
    bool atEnd = false;
    do {
        segments++;
        group->ResizeEntries(group->entryCount + segments);
        group->entryPtr[e].name[0] = 0;

        Geometry* geometry = new Geometry();
        char name[32];
        name[0] = 0;
        atEnd = geometry->LoadOBJFileSegment(&data, &cursor, &collected, name);
        strcopy(name, group->entryPtr[e].name, 31);

        *EnsureSlot(index) = reinterpret_cast<int*>(geometry);

        GroupItemEntry& entry = group->entryPtr[e];
        entry.fileIndex = fileIndex;
        entry.itemIndex = index;
        entry.loaded = true;
        index++;
        e++;
    } while (!atEnd);

    if (outCount) *outCount = segments;
    group->entryCount += segments;
}

int GeometryManager::NewGeom() {
    return NewGeom("", "");
}

int GeometryManager::NewGeom(const char* name) {
    return NewGeom("", name);
}

int GeometryManager::NewGeom(const char* groupName, const char* name) {
    int** slot = nullptr;
    int index = CreateEmptyItem(groupName, name, &slot);
    *slot = reinterpret_cast<int*>(new Geometry());
    return index;
}

void GeometryManager::Place(int source, int destination) {
    if (source < 0 || source >= itemCount) {
        puts("ERR 1235");
        return;
    }
    Geometry* from = reinterpret_cast<Geometry*>(GetItem(source));
    if (destination < 0 || destination >= itemCount) {
        puts("ERR 5123");
        return;
    }
    Geometry* to = reinterpret_cast<Geometry*>(GetItem(destination));
    if (!from || !to) return;
    to->AddGeometry(from, &modelStack.stack[modelStack.top], &texStack.stack[texStack.top]);
}

void GeometryManager::Place(const char* groupName, const char* name, int destination) {
    int source = -1;
    MediaManagerGroup* group = GetGroup(groupName);
    if (group) {
        int entry = GetGroupItemIndex(group, name);
        if (entry == -1)
            puts("Error 46561");
        else
            source = group->entryPtr[entry].itemIndex;
    }
    if (source == -1) {
        puts("Error: Place(): group or name not valid.");
        return;
    }
    Place(source, destination);
}

void GeometryManager::Push() {
    modelStack.Push();
}
void GeometryManager::Pop() {
    modelStack.Pop();
}
void GeometryManager::Reset() {
    modelStack.Reset();
}
void GeometryManager::Translate(float x, float y, float z) {
    modelStack.Translate(x, y, z);
}
void GeometryManager::Scale(float x, float y, float z) {
    modelStack.Scale(x, y, z);
}
void GeometryManager::Rotate(float x, float y, float z, float angle) {
    modelStack.Rotate(x, y, z, angle);
}
void GeometryManager::TexPush() {
    texStack.Push();
}
void GeometryManager::TexPop() {
    texStack.Pop();
}
void GeometryManager::TexReset() {
    texStack.Reset();
}
void GeometryManager::TexTranslate(float x, float y) {
    texStack.Translate(x, y, 0.0f);
}
void GeometryManager::TexScale(float x, float y) {
    texStack.Scale(x, y, 1.0f);
}
void GeometryManager::TexRotate(float x, float y, float z, float angle) {
    texStack.Rotate(x, y, z, angle);
}
