// geometry: the engine's one mesh type (triangles and quads of interleaved vertex
// records mirrored into two vertex buffers), its readers for Wavefront OBJ text and
// packed mesh segments, the immediate-mode debug lines, and the geometry manager.
#pragma once
#include "datablock.h"
#include "manager.h"
#include "vlmath.h"
#include <GL/gl.h>
#include <GL/glext.h>

struct FontProps;
struct GeomTextParams;

// Vertex-buffer entry points, fetched by name on the first Compile. Kept in their own
// namespace so they never stand in for libGL's exported symbols.
namespace vgl {
extern PFNGLGENBUFFERSARBPROC glGenBuffersARB;
extern PFNGLBINDBUFFERARBPROC glBindBufferARB;
extern PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB;
extern PFNGLBUFFERDATAARBPROC glBufferDataARB;
// Forgets the fetched entry points so the next Compile looks them up again (tests
// use it to simulate a driver without vertex buffers).
void ResetVertexBufferEntryPoints();
} // namespace vgl

// Vertex data of one whole OBJ file, shared by its segments (indices count file-wide).
class ObjCollectedVertData {
  public:
    FloatDataBlock positions; // 3 floats per v
    FloatDataBlock texcoords; // 2 floats per vt
    FloatDataBlock normals;   // 3 floats per vn
    int smoothing;            // left to the caller; nothing reads it

    ObjCollectedVertData() {}
    ~ObjCollectedVertData() {}
};

class Geometry {
  public:
    // A vertex record: position xyz, normal xyz, texture uv.
    static const int kFloatsPerVertex = 8;
    static const int kVertexBytes = 32;

    FloatDataBlock tris; // 3 records per triangle
    float* triPtr;
    FloatDataBlock quads; // 4 records per quad
    float* quadPtr;
    int triCount;
    int quadCount;
    bool needsCompile;
    bool dynamic;
    unsigned int triVBO;
    unsigned int quadVBO;

    Geometry();
    ~Geometry();

    void Compile();
    void Draw();
    void AddGeometry(Geometry* other, Matrix* model, Matrix* tex);

    // Reads one OBJ segment at *cursor; true when the data is used up.
    bool LoadOBJFileSegment(DataBlock* data, int* cursor, ObjCollectedVertData* collected, char* name);
    // Reads one packed mesh segment at *cursor.
    void LoadFromBufferSegment(DataBlock* data, int* cursor);
    // Builds a text mesh (defined with the text meshes).
    void CreateText(char const* text, FontProps* font, GeomTextParams* params);

  private:
    Geometry(const Geometry&) = delete;
    Geometry& operator=(const Geometry&) = delete;
    bool EntryPointsReady();
};

// Reads the first segment of the OBJ file at `path` into `geometry`.
void LoadObjFileSingle(Geometry* geometry, char const* path);
// atof narrowed to float; 0 for text that does not begin with a number.
float stringToFloat(char const* text);
// Said when a mesh would outgrow its arrays; what would not fit is left out.
void SayMeshTooLarge();

void DrawLine(float const* a, float const* b);
void DrawLine(float x1, float y1, float z1, float x2, float y2, float z2);

// The media manager of meshes: OBJ files load at once, one item per segment.
class GeometryManager : public MediaManager {
  public:
    MatrixStack modelStack; // transforms positions and normals copied by Place
    MatrixStack texStack;   // transforms texture coordinates copied by Place

    GeometryManager();
    ~GeometryManager();

    void QueryFile(const char* path, MediaManagerGroup* group, int* outFirst, int* outCount) override;
    void LoadFile(GroupFileItem* file, MediaManagerGroup* group) override;
    void priv_Use(int* item) override;

    void LoadObjFile(const char* path, MediaManagerGroup* group, int fileIndex, int* outFirst, int* outCount);

    int NewGeom();
    int NewGeom(const char* name);
    int NewGeom(const char* groupName, const char* name);

    void Place(int source, int destination);
    void Place(const char* groupName, const char* name, int destination);

    void Push();
    void Pop();
    void Reset();
    void Translate(float x, float y, float z);
    void Scale(float x, float y, float z);
    void Rotate(float x, float y, float z, float angle);
    void TexPush();
    void TexPop();
    void TexReset();
    void TexTranslate(float x, float y);
    void TexScale(float x, float y);
    void TexRotate(float x, float y, float z, float angle);
};
