// spaceMapperLine2d: the 2D line mapper. Wall segments live in a uniform grid of cells
// over a rectangle of the plane; each cell keeps a copy of every line crossing it and the
// line end points lying in it, so a movement query only looks at the cells it covers.
#pragma once
#include "datablock.h"
#include "spaceMapper.h"

// A wall line as scripts hand it over. Plain record, copied byte for byte.
struct SpMapLine2D {
    float x0, y0; // first end point
    float x1, y1; // second end point
    float nx, ny; // unit normal, to the right of the direction first -> second end point
    int id;       // line id given by AddLine; the same in every cell copy
};

// One grid cell. Kept as raw bytes inside the mapper's grid block once built.
class SpaceSeg {
  public:
    DataBlock lines;     // packed SpMapLine2D copies, in order of adding
    DataBlock endPoints; // packed float pairs x, y, in order of adding
    int lineCount;
    int endPointCount;
    int col;      // 0 at smallest x
    int row;      // 0 at smallest y
    float x0, y0; // corner of smallest x and y
    float x1, y1; // corner of largest x and y

    SpaceSeg();
    ~SpaceSeg();

    SpMapLine2D* Lines() { return (SpMapLine2D*)lines.Ptr(); }
    float* EndPoints() { return (float*)endPoints.Ptr(); }
};

class SpaceMapperLines2D : public SpaceMapper {
  public:
    int lineCounter; // id of the next added line
    DataBlock grid;  // cols * rows SpaceSeg records, row by row
    SpaceSeg* cells; // start of grid's storage; null while there is no grid
    float min[2];
    float max[2];
    int cols;
    int rows;
    // The older mapper of velkRun: lines tested before end points, no overlap test,
    // no Reset, cells-only debug drawing. Taken from the program kind when built.
    bool oldVariant;

    SpaceMapperLines2D();
    explicit SpaceMapperLines2D(bool oldVariant);
    ~SpaceMapperLines2D();

    void SetSpaceBounds(float* min, float* max, int cols, int rows);
    SpaceSeg* GetSegFromPoint(float x, float y);
    void AddLine(SpMapLine2D* line);
    void DebugDrawLines();

    void AddSpaceObject(const char* type, void* data) override;
    void HandleEvent(const char* name, void* data) override;
    int MapPoint(const float* p, const float* v, float r, float* outContact, float* outPos, float* outVel,
                 bool lineMode) override;
    int MapLine(const float* from, const float* to, float r, float* outContact, float* outPos) override;
    void DebugDrawSegments() override;
    void Reset(bool keepBounds) override;

  private:
    void DiscardGrid();
    int ColumnOf(float x) const;
    int RowOf(float y) const;
};

void CalcLineNorm(SpMapLine2D* l);
void AddLineToSeg(SpaceSeg* s, SpMapLine2D* l);
void AddEndPointToSeg(SpaceSeg* s, float* p);
bool LineIntersectsSeg(SpaceSeg* s, SpMapLine2D* l);
bool same_sign(float a, float b);
void fa_print(int n, const float* v);
void FindDirections(float& o0, float& o1, float& o2, float& o3, float& o4, float cA, float p0x, float p0y,
                    float p1x, float p1y, float q0x, float q0y, float q1x, float q1y, float aA, float bA,
                    float aB, float bB, float extra);
