// luaApiSpace: the script API's space mapper functions: creating the mapper, setting its
// area, adding wall lines, events, resets, debug drawing, and moving circles against the
// walls. Each one is a thin adapter from Lua arguments to one mapper operation.
//
// Every function except SetSpaceMapper needs the mapper that SetSpaceMapper(1) creates.
// Called before it exists they do nothing and MapPoint / MapLine return 0 without touching
// their output tables: a script cannot crash the engine by calling in the wrong order.
#include "luaapi.h"
#include "luathingy.h"
#include "spaceMapperLine2d.h"

#include <cstring>

// The mapper of the running script, or null before SetSpaceMapper(1).
static SpaceMapper* Mapper(lua_State* L, const char* function) {
    return EngineHandle(L, function)->spaceMapper;
}

int pubLSetSpaceMapper(lua_State* L) {
    int kind = ArgInt(L, 1);
    EngineHandle(L, "SetSpaceMapper")->SetSpaceMapper(kind);
    return 0;
}

int pubLSet2DSpaceBounds(lua_State* L) {
    // velkRun has no minimum test and always reads the cell counts from arguments 5 and 6.
    // The test is about the call, so it speaks even before the mapper exists.
    bool run = EngineHandle(L, "Set2DSpaceBounds")->runVariant;
    int count = run ? lua_gettop(L) : ArgCount(L, 4, "set2dspacebounds");
    float lo[2] = {ArgFloat(L, 1), ArgFloat(L, 2)};
    float hi[2] = {ArgFloat(L, 3), ArgFloat(L, 4)};
    int cols = 1;
    int rows = 1;
    if (run || count > 4) {
        cols = ArgInt(L, 5);
        rows = ArgInt(L, 6);
    }
    // Only the 2D line mapper has bounds; any other mapper (or none) is left alone. Counts
    // or corners that make no grid are the mapper's to refuse.
    if (auto* lines = dynamic_cast<SpaceMapperLines2D*>(Mapper(L, "Set2DSpaceBounds")))
        lines->SetSpaceBounds(lo, hi, cols, rows);
    return 0;
}

int pubLAddSpaceObject(lua_State* L) {
    const char* kind = ArgString(L, 1);
    SpMapLine2D line = {};
    line.x0 = ArgFloat(L, 2);
    line.y0 = ArgFloat(L, 3);
    line.x1 = ArgFloat(L, 4);
    line.y1 = ArgFloat(L, 5);
    SpaceMapper* mapper = Mapper(L, "AddSpaceObject");
    if (!mapper || !kind || strcmp(kind, "line2d") != 0) return 0;
    mapper->AddSpaceObject("line2d", &line); // the mapper fills the normal and the id
    return 0;
}

int pubLSpaceEvent(lua_State* L) {
    const char* event = ArgString(L, 1);
    SpaceMapper* mapper = Mapper(L, "SpaceEvent");
    if (mapper) mapper->HandleEvent(event, nullptr);
    return 0;
}

int pubLSpaceReset(lua_State* L) {
    bool keep = lua_gettop(L) > 0 ? lua_tointeger(L, 1) != 0 : false;
    SpaceMapper* mapper = Mapper(L, "SpaceMapperReset");
    if (mapper) mapper->Reset(keep);
    return 0;
}

int pubLDebugDrawSegments(lua_State* L) {
    SpaceMapper* mapper = Mapper(L, "DebugDrawSegments");
    if (mapper) mapper->DebugDrawSegments();
    return 0;
}

// A point from the table at argument `index`, its values in traversal order. Coordinates
// the table does not give stay 0 (so does a point argument that is no table); values
// beyond the third are walked over and ignored.
static void ReadPoint(lua_State* L, int index, float point[3]) {
    point[0] = point[1] = point[2] = 0.0f;
    if (!lua_istable(L, index)) return;
    int stored = 0;
    lua_pushnil(L);
    while (lua_next(L, index) != 0) {
        if (stored < 3) point[stored++] = (float)lua_tonumber(L, -1);
        lua_pop(L, 1); // keep the key for the next step
    }
}

int pubLMapMovement(lua_State* L, bool lineMode) {
    float a[3], b[3];
    ReadPoint(L, 1, a);
    ReadPoint(L, 2, b);
    float radius = lua_isnumber(L, 3) ? (float)lua_tonumber(L, 3) : 0.0f;
    SpaceMapper* mapper = Mapper(L, lineMode ? "MapLine" : "MapPoint");
    if (!mapper) {
        lua_pushnumber(L, 0);
        return 1;
    }

    float contact[2] = {0, 0}, pos[2] = {0, 0}, vel[2] = {0, 0};
    // Line mode goes through MapPoint too; its velocity output is not handed back.
    int hits = mapper->MapPoint(a, b, radius, contact, pos, vel, lineMode);

    // The results are stored through the script's tables (whose metamethods run Lua code)
    // only now that the mapper is no longer used.
    const float* values[3] = {contact, pos, vel};
    int outputs = lineMode ? 4 : 6;
    // Missing output arguments become nil slots, so storing into them raises the ordinary
    // Lua indexing error instead of touching a position beyond the stack.
    int last = 4 + (outputs - 1) / 2;
    if (lua_gettop(L) < last) lua_settop(L, last);
    for (int i = 0; i < outputs; i++) {
        lua_pushnumber(L, (i % 2) + 1);
        lua_pushnumber(L, values[i / 2][i % 2]);
        lua_settable(L, 4 + i / 2);
    }
    lua_pushnumber(L, hits);
    return 1;
}

int pubLMapPoint(lua_State* L) {
    return pubLMapMovement(L, false);
}

int pubLMapLine(lua_State* L) {
    return pubLMapMovement(L, true);
}
