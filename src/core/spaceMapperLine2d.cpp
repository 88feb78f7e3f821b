// spaceMapperLine2d: the line grid (cells, line registration, debug drawing) and the
// circle motion query that bounces a moving circle off the stored walls and end points.
#include "spaceMapperLine2d.h"
#include "geometry.h"
#include "programKind.h"
#include "strfuncs.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <new>

namespace {

// Debug lines lie in the plane z = 0.
void DebugLine(float xa, float ya, float xb, float yb) {
    DrawLine(xa, ya, 0.0f, xb, yb, 0.0f);
}

// Column (or row) of a coordinate: the fraction across the rectangle times the count,
// truncated toward zero and clamped to the grid. The clamping is done on the float so
// that coordinates far outside the grid, infinities and values that are not numbers
// (those fall in index 0) never reach an out-of-range float-to-int conversion.
int CellIndex(float v, float lo, float hi, int count) {
    float t = (v - lo) / (hi - lo) * count;
    if (!(t > 0.0f)) return 0;
    if (t >= (float)count) return count - 1;
    int i = (int)t;
    return i > count - 1 ? count - 1 : i;
}

// Implicit form a*x + b*y + c of the line through two points.
struct LineForm {
    float a, b, c;
};

LineForm FormThrough(float x0, float y0, float x1, float y1) {
    LineForm f;
    f.a = y1 - y0;
    f.b = x0 - x1;
    f.c = x1 * y0 - x0 * y1;
    return f;
}

// "Not strictly on one side": one of the two is on the line, or they differ in sign.
bool NotStrictlyOneSide(float s0, float s1) {
    return s0 == 0.0f || s1 == 0.0f || !same_sign(s0, s1);
}

} // namespace

// ---------------------------------------------------------------------------------------
// Cells

SpaceSeg::SpaceSeg() {}

SpaceSeg::~SpaceSeg() {}

void CalcLineNorm(SpMapLine2D* l) {
    float dx = l->x1 - l->x0;
    float dy = l->y1 - l->y0;
    float len = std::sqrt(dx * dx + dy * dy);
    l->nx = dy / len;
    l->ny = -dx / len;
}

void AddLineToSeg(SpaceSeg* s, SpMapLine2D* l) {
    s->lines.Append((unsigned char*)l, (int)sizeof(SpMapLine2D));
    s->lineCount++;
}

void AddEndPointToSeg(SpaceSeg* s, float* p) {
    float smallest = 999.0f;
    const float* pts = s->EndPoints();
    for (int i = 0; i < s->endPointCount; i++) {
        float dx = pts[i * 2] - p[0];
        float dy = pts[i * 2 + 1] - p[1];
        float d2 = dx * dx + dy * dy;
        if (d2 < smallest) smallest = d2;
    }
    // A point within 0.01 (inclusive) of a stored one is the same corner.
    if (std::sqrt(smallest) > 0.01f) {
        s->endPoints.Append((unsigned char*)p, (int)(2 * sizeof(float)));
        s->endPointCount++;
    }
}

bool LineIntersectsSeg(SpaceSeg* s, SpMapLine2D* l) {
    LineForm f = FormThrough(l->x0, l->y0, l->x1, l->y1);
    // Two corners compare strictly and two do not, so a line running exactly through a
    // corner still decides consistently which cells it touches.
    bool f00 = f.a * s->x0 + f.b * s->y0 + f.c > 0.0f;
    bool f01 = f.a * s->x0 + f.b * s->y1 + f.c >= 0.0f;
    bool f10 = f.a * s->x1 + f.b * s->y0 + f.c >= 0.0f;
    bool f11 = f.a * s->x1 + f.b * s->y1 + f.c > 0.0f;
    return !(f00 == f01 && f01 == f10 && f10 == f11);
}

bool same_sign(float a, float b) {
    return a * b >= 0.0f;
}

void fa_print(int n, const float* v) {
    switch (n) {
    case 1:
        printf("%f \n", v[0]);
        break;
    case 2:
        printf("%f %f \n", v[0], v[1]);
        break;
    case 3:
        printf("%f %f %f \n", v[0], v[1], v[2]);
        break;
    case 4:
        printf("%f %f %f %f \n", v[0], v[1], v[2], v[3]);
        break;
    default:
        break;
    }
}

void FindDirections(float& o0, float& o1, float& o2, float& o3, float& o4, float cA, float p0x, float p0y,
                    float p1x, float p1y, float q0x, float q0y, float q1x, float q1y, float aA, float bA,
                    float aB, float bB, float) {
    o4 = q1x * q0y - q0x * q1y;
    o0 = aB * p0x + bB * p0y + o4;
    o1 = aB * p1x + bB * p1y + o4;
    o2 = aA * q0x + bA * q0y + cA;
    o3 = aA * q1x + bA * q1y + cA;
}

// ---------------------------------------------------------------------------------------
// The grid

SpaceMapperLines2D::SpaceMapperLines2D() : SpaceMapperLines2D(IsVelkRun()) {}

SpaceMapperLines2D::SpaceMapperLines2D(bool old)
    : lineCounter(0), cells(nullptr), min{0, 0}, max{0, 0}, cols(0), rows(0), oldVariant(old) {
    DiscardGrid();
}

SpaceMapperLines2D::~SpaceMapperLines2D() {
    DiscardGrid();
}

void SpaceMapperLines2D::DiscardGrid() {
    if (cells) {
        // The cells live as raw bytes in grid: run their destructors by hand so each
        // cell's own line and end point storage is released before the bytes go.
        int n = grid.Len() / (int)sizeof(SpaceSeg);
        for (int i = 0; i < n; i++)
            cells[i].~SpaceSeg();
    }
    grid.Delete();
    cells = nullptr;
}

void SpaceMapperLines2D::SetSpaceBounds(float* newMin, float* newMax, int newCols, int newRows) {
    // Bounds that cannot make a grid (no cells, an empty, inverted or non-finite
    // rectangle, more cells than a block can hold, or storage the system refuses) are
    // ignored: the old grid and its lines stay as they were.
    float lo[2] = {newMin[0], newMin[1]};
    float hi[2] = {newMax[0], newMax[1]};
    if (newCols < 1 || newRows < 1) return;
    for (int k = 0; k < 2; k++) {
        if (!std::isfinite(lo[k]) || !std::isfinite(hi[k]) || !(hi[k] > lo[k])) return;
        if (!std::isfinite(hi[k] - lo[k])) return;
    }
    // Each factor is checked before the product is formed: 2^30 by 2^30 cells already
    // pass the 64-bit range once multiplied by the record size.
    const int cellLimit = INT_MAX / (int)sizeof(SpaceSeg);
    if (newCols > cellLimit || newRows > cellLimit / newCols) return;
    int bytes = newCols * newRows * (int)sizeof(SpaceSeg);
    // The new storage is taken before the old grid goes, so a refused allocation keeps
    // the old grid like any other unusable bounds.
    DataBlock fresh;
    try {
        fresh.Append((unsigned char*)nullptr, bytes);
    } catch (const std::bad_alloc&) {
        return;
    }
    if (fresh.Len() != bytes) return;

    DiscardGrid();
    min[0] = lo[0];
    min[1] = lo[1];
    max[0] = hi[0];
    max[1] = hi[1];
    cols = newCols;
    rows = newRows;

    // The grid takes over fresh's storage (a block copies as its fields).
    grid = fresh;
    fresh.ptr = nullptr;
    cells = (SpaceSeg*)grid.Ptr();
    float w = (max[0] - min[0]) / cols;
    float h = (max[1] - min[1]) / rows;
    for (int r = 0; r < rows; r++) {
        for (int c = 0; c < cols; c++) {
            SpaceSeg* s = new (&cells[r * cols + c]) SpaceSeg();
            s->lineCount = 0;
            s->endPointCount = 0;
            s->col = c;
            s->row = r;
            // Each corner from its own index, so neighbouring cells share edges exactly.
            s->x0 = c * w + min[0];
            s->y0 = r * h + min[1];
            s->x1 = (c + 1) * w + min[0];
            s->y1 = (r + 1) * h + min[1];
        }
    }
}

void SpaceMapperLines2D::Reset(bool keepBounds) {
    if (oldVariant) return; // the older mapper has no reset
    DiscardGrid();
    lineCounter = 0;
    if (keepBounds) {
        float lo[2] = {min[0], min[1]};
        float hi[2] = {max[0], max[1]};
        SetSpaceBounds(lo, hi, cols, rows);
    }
}

int SpaceMapperLines2D::ColumnOf(float x) const {
    return CellIndex(x, min[0], max[0], cols);
}

int SpaceMapperLines2D::RowOf(float y) const {
    return CellIndex(y, min[1], max[1], rows);
}

SpaceSeg* SpaceMapperLines2D::GetSegFromPoint(float x, float y) {
    if (!cells) return nullptr;
    return &cells[RowOf(y) * cols + ColumnOf(x)];
}

void SpaceMapperLines2D::AddSpaceObject(const char* type, void* data) {
    if (type && data && strequal(type, "line2d", true)) AddLine((SpMapLine2D*)data);
}

void SpaceMapperLines2D::HandleEvent(const char*, void*) {}

void SpaceMapperLines2D::AddLine(SpMapLine2D* line) {
    // Without a grid there is nowhere to keep the line: nothing is added and the
    // caller's record is left untouched.
    if (!cells) return;
    // A line without a direction (coinciding or non-finite end points) would carry a
    // normal that is not a number and stall every query near it: it is refused, and it
    // takes no id.
    float dx = line->x1 - line->x0;
    float dy = line->y1 - line->y0;
    float len = std::sqrt(dx * dx + dy * dy);
    if (!(len > 0.0f) || !std::isfinite(len)) return;

    CalcLineNorm(line);
    line->id = lineCounter++;

    SpaceSeg* a = GetSegFromPoint(line->x0, line->y0);
    SpaceSeg* b = GetSegFromPoint(line->x1, line->y1);
    float p0[2] = {line->x0, line->y0};
    float p1[2] = {line->x1, line->y1};
    AddEndPointToSeg(a, p0);
    AddEndPointToSeg(b, p1);

    int c = a->col;
    int r = a->row;
    int hStep = line->x0 > line->x1 ? -1 : 1;
    int vStep = line->y0 >= line->y1 ? -1 : 1;
    AddLineToSeg(a, line);
    SpaceSeg* cur = a;
    for (int steps = 0; cur != b && steps < 100; steps++) {
        int nc = c + hStep;
        int nr = r + vStep;
        if (nc >= 0 && nc < cols && LineIntersectsSeg(&cells[r * cols + nc], line)) {
            c = nc;
        } else if (nr >= 0 && nr < rows && LineIntersectsSeg(&cells[nr * cols + c], line)) {
            r = nr;
        } else {
            puts("ERR: LineSegIntersection Err");
            break;
        }
        cur = &cells[r * cols + c];
        AddLineToSeg(cur, line);
    }
}

void SpaceMapperLines2D::DebugDrawSegments() {
    if (!cells) return; // nothing to draw without a grid
    int n = cols * rows;
    for (int i = 0; i < n; i++) {
        SpaceSeg* s = &cells[i];
        DebugLine(s->x0, s->y0, s->x1, s->y0);
        DebugLine(s->x0, s->y1, s->x1, s->y1);
        DebugLine(s->x0, s->y0, s->x0, s->y1);
        DebugLine(s->x1, s->y0, s->x1, s->y1);
    }
    if (!oldVariant) DebugDrawLines();
}

void SpaceMapperLines2D::DebugDrawLines() {
    if (!cells) return;
    int n = cols * rows;
    for (int i = 0; i < n; i++) {
        SpaceSeg* s = &cells[i];
        SpMapLine2D* l = s->Lines();
        for (int k = 0; k < s->lineCount; k++)
            DebugLine(l[k].x0, l[k].y0, l[k].x1, l[k].y1);
    }
}

// ---------------------------------------------------------------------------------------
// Circle motion

int SpaceMapperLines2D::MapLine(const float* from, const float* to, float r, float* outContact,
                                float* outPos) {
    return MapPoint(from, to, r, outContact, outPos, nullptr, true);
}

int SpaceMapperLines2D::MapPoint(const float* p, const float* v, float r, float* outContact, float* outPos,
                                 float* outVel, bool lineMode) {
    float endFirst[2];
    if (lineMode) {
        endFirst[0] = v[0];
        endFirst[1] = v[1];
    } else {
        endFirst[0] = p[0] + v[0] * step;
        endFirst[1] = p[1] + v[1] * step;
    }
    const int passLimit = lineMode ? 1 : 20;
    const float minDist = lineMode ? 0.00001f : -1.0f;
    const float speed = lineMode ? 0.0f : std::sqrt(v[0] * v[0] + v[1] * v[1]);

    float S[2] = {p[0], p[1]};
    float E[2] = {endFirst[0], endFirst[1]};
    float remaining = -1.0f;
    int skipLine = -1;
    int skipCell = -1, skipPoint = -1; // the skipped end point: its cell and index there
    bool colinear = false;
    int hits = 0;
    float K[2] = {0, 0};
    float B[2] = {0, 0};
    // A hit's outcome: the bounce point, what is left of the path past the contact K along
    // the reflected direction, and for a moving point its velocity turned that way.
    auto storeBounce = [&](const float* refl) {
        B[0] = K[0] + remaining * refl[0];
        B[1] = K[1] + remaining * refl[1];
        if (outPos) {
            outPos[0] = B[0];
            outPos[1] = B[1];
        }
        if (!lineMode && outVel) {
            outVel[0] = refl[0] * speed;
            outVel[1] = refl[1] * speed;
        }
    };

    // Without a grid there are no walls: the circle moves freely.
    while (cells) {
        float best = 1e14f;
        float a = E[1] - S[1];
        float b = S[0] - E[0];
        float c = E[0] * S[1] - S[0] * E[1];
        float len = std::sqrt(b * b + a * a);
        if (remaining < 0.0f) remaining = len;
        const float rem0 = remaining;
        const float dir[2] = {-b / len, a / len};

        enum { NoHit, LineHit, PointHit } hitKind = NoHit;
        int hitLine = -1, hitCell = -1, hitPoint = -1;

        int c0 = ColumnOf(std::fmin(S[0], E[0]) - r);
        int c1 = ColumnOf(std::fmax(S[0], E[0]) + r);
        int r0 = RowOf(std::fmin(S[1], E[1]) - r);
        int r1 = RowOf(std::fmax(S[1], E[1]) + r);

        for (int row = r0; row <= r1; row++) {
            for (int col = c0; col <= c1; col++) {
                const int cellIndex = row * cols + col;
                SpaceSeg* seg = &cells[cellIndex];

                auto testPoints = [&]() {
                    if (!(r > 0.0f)) return;
                    const float* pts = seg->EndPoints();
                    for (int k = 0; k < seg->endPointCount; k++) {
                        if (cellIndex == skipCell && k == skipPoint) continue;
                        const float qx = pts[k * 2], qy = pts[k * 2 + 1];
                        const float d[2] = {E[0] - S[0], E[1] - S[1]};
                        const float A = d[0] * d[0] + d[1] * d[1];
                        const float f[2] = {S[0] - qx, S[1] - qy};
                        const float Bq = 2.0f * (d[0] * f[0] + d[1] * f[1]);
                        const float Cq = f[0] * f[0] + f[1] * f[1] - r * r;
                        const float disc = Bq * Bq - 4.0f * A * Cq;
                        if (!(disc >= 0.0f)) continue;
                        const float sq = std::sqrt(disc);
                        float t = (sq - Bq) / (2.0f * A);
                        const float t2 = (-Bq - sq) / (2.0f * A);
                        // The nearer root when it lies ahead; a start inside the circle
                        // around q takes the exit point.
                        if (t2 < t && t2 > 0.0f) t = t2;
                        if (!(t >= 0.0f && t <= 1.0f)) continue;
                        const float lenA = std::sqrt(A);
                        const float dist = t * lenA;
                        if (!(dist < best && dist > minDist)) continue;

                        best = dist;
                        hitKind = PointHit;
                        hitCell = cellIndex;
                        hitPoint = k;
                        remaining = rem0 - dist;
                        K[0] = S[0] + t * d[0];
                        K[1] = S[1] + t * d[1];
                        const float u[2] = {d[0] / lenA, d[1] / lenA};
                        const float n[2] = {(K[0] - qx) / r, (K[1] - qy) / r};
                        const float un = u[0] * n[0] + u[1] * n[1];
                        const float refl[2] = {u[0] - 2.0f * un * n[0], u[1] - 2.0f * un * n[1]};
                        storeBounce(refl);
                    }
                };

                auto testLines = [&]() {
                    SpMapLine2D* lines = seg->Lines();
                    for (int k = 0; k < seg->lineCount; k++) {
                        const SpMapLine2D& L = lines[k];
                        if (L.id == skipLine) continue;
                        const float aL = L.y1 - L.y0;
                        const float bL = L.x0 - L.x1;
                        float sStart, sEnd, mA, mB, cL;
                        FindDirections(sStart, sEnd, mA, mB, cL, c, S[0], S[1], E[0], E[1], L.x0, L.y0, L.x1,
                                       L.y1, a, b, aL, bL, 0.0f);

                        // The wall shifted by r towards the start's side.
                        const float rs = sStart < 0.0f ? -r : r;
                        const float eps = sStart < 0.0f ? -0.000001f : 0.000001f;
                        const float s0x = L.x0 + rs * L.nx, s0y = L.y0 + rs * L.ny;
                        const float s1x = L.x1 + rs * L.nx, s1y = L.y1 + rs * L.ny;
                        float sS0, sS1, m0, m1, cS;
                        FindDirections(sS0, sS1, m0, m1, cS, c, S[0], S[1], E[0], E[1], s0x, s0y, s1x, s1y, a,
                                       b, aL, bL, 0.0f);

                        // Perpendicular through the end of the path.
                        const LineForm N = FormThrough(E[0] - L.nx, E[1] - L.ny, E[0], E[1]);
                        const float k0 = N.a * s0x + N.b * s0y + N.c;
                        const float k1 = N.a * s1x + N.b * s1y + N.c;

                        const bool test1 = NotStrictlyOneSide(m0, m1);
                        const bool test2 = NotStrictlyOneSide(sS0, sS1);
                        // A circle already overlapping the wall and staying in it.
                        const bool test3 = !oldVariant && !same_sign(sEnd, sS1) && !same_sign(k0, k1) &&
                                           m0 != 0.0f && m1 != 0.0f;
                        if (!(test1 && (test2 || test3))) continue;

                        const float denom = a * bL - aL * b;
                        if (std::fabs(denom) <= 0.0000001f) {
                            puts("Warning: colinear point collision!");
                            colinear = true;
                            continue;
                        }
                        const float Ix = (cS * b - bL * c) / denom;
                        const float Iy = (aL * c - cS * a) / denom;
                        const float dist = std::sqrt((Ix - S[0]) * (Ix - S[0]) + (Iy - S[1]) * (Iy - S[1]));
                        if (!(dist < best && dist > minDist)) continue;

                        best = dist;
                        hitKind = LineHit;
                        hitLine = L.id;
                        // A millionth of a unit off the shifted wall, on the start's side.
                        K[0] = Ix + eps * L.nx;
                        K[1] = Iy + eps * L.ny;
                        remaining = rem0 - dist;
                        const float wl = std::sqrt(bL * bL + aL * aL);
                        const float w[2] = {-bL / wl, aL / wl};
                        const float wd = w[0] * dir[0] + w[1] * dir[1];
                        const float refl[2] = {2.0f * wd * w[0] - dir[0], 2.0f * wd * w[1] - dir[1]};
                        storeBounce(refl);
                    }
                };

                // The older mapper tests lines first, so on a tie the line's hit stays.
                if (oldVariant) {
                    testLines();
                    testPoints();
                } else {
                    testPoints();
                    testLines();
                }
            }
        }

        if (hitKind == NoHit) break;
        if (hitKind == LineHit) {
            skipLine = hitLine;
            skipCell = skipPoint = -1;
        } else {
            skipLine = -1;
            skipCell = hitCell;
            skipPoint = hitPoint;
        }
        hits++;
        if (hits >= passLimit) {
            if (!lineMode) {
                // Out of bounces: the circle stops at its last contact.
                if (outPos) {
                    outPos[0] = K[0];
                    outPos[1] = K[1];
                }
                puts("max");
            }
            break;
        }
        S[0] = K[0];
        S[1] = K[1];
        E[0] = B[0];
        E[1] = B[1];
    }

    if (hits == 0) {
        if (outPos) {
            outPos[0] = endFirst[0];
            outPos[1] = endFirst[1];
        }
        if (!lineMode && outVel) {
            outVel[0] = v[0];
            outVel[1] = v[1];
        }
        // No contact exists without a hit: both modes report the end of the path.
        K[0] = endFirst[0];
        K[1] = endFirst[1];
    }
    // Line mode has no velocity of its own; an output given anyway receives zero.
    if (lineMode && outVel) {
        outVel[0] = 0.0f;
        outVel[1] = 0.0f;
    }
    if (outContact) {
        outContact[0] = K[0];
        outContact[1] = K[1];
    }
    if (colinear) {
        if (outPos) {
            outPos[0] = p[0];
            outPos[1] = p[1];
        }
        if (outVel) {
            outVel[0] = 0.0f;
            outVel[1] = 0.0f;
        }
    }
    return hits;
}
