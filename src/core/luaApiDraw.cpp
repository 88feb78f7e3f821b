// luaApiDraw: the script API's drawing functions: the GL matrix, the geometry manager's model
// and texture matrices, geometry items, the unit quad, lines, colours, blending, depth,
// logic operations, culling and lights. The GL-only ones never reach the engine, so they
// work at a script's top level too.
#include "luaapi.h"
#include "luathingy.h"

#include <SFML/OpenGL.hpp>

// Script blend and logic numbers index these tables from 0.
static const GLenum kBlendSource[] = {
    GL_ZERO,
    GL_ONE,
    GL_DST_COLOR,
    GL_ONE_MINUS_DST_COLOR,
    GL_SRC_ALPHA,
    GL_ONE_MINUS_SRC_ALPHA,
    GL_DST_ALPHA,
    GL_ONE_MINUS_DST_ALPHA,
    GL_SRC_ALPHA_SATURATE,
};
static const GLenum kBlendDestination[] = {
    GL_ZERO,      GL_ONE,
    GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR,
    GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA,
    GL_DST_ALPHA, GL_ONE_MINUS_DST_ALPHA,
};
static const GLenum kLogicOp[] = {
    GL_CLEAR,       GL_SET,          GL_COPY,       GL_COPY_INVERTED, GL_NOOP, GL_INVERT,
    GL_AND,         GL_NAND,         GL_OR,         GL_NOR,           GL_XOR,  GL_EQUIV,
    GL_AND_REVERSE, GL_AND_INVERTED, GL_OR_REVERSE, GL_OR_INVERTED,
};
static const int kBlendSourceCount = sizeof(kBlendSource) / sizeof(kBlendSource[0]);
static const int kBlendDestinationCount = sizeof(kBlendDestination) / sizeof(kBlendDestination[0]);
static const int kLogicOpCount = sizeof(kLogicOp) / sizeof(kLogicOp[0]);

// Script angles are half-turns; the fixed-function rotation takes degrees.
static const float kHalfTurnDegrees = 180.0f;
// The geometry matrices take radians; this decimal, not the full-precision pi.
static const double kHalfTurnRadians = 3.14159265;

int pubLTranslate(lua_State* L) {
    int count = ArgCount(L, 1, "");
    float x = ArgFloat(L, 1);
    float y = count > 1 ? ArgFloat(L, 2) : 0.0f;
    float z = count > 2 ? ArgFloat(L, 3) : 0.0f;
    glTranslatef(x, y, z);
    return 0;
}

int pubLRotate(lua_State* L) {
    int count = ArgCount(L, 1, "");
    if (count >= 2)
        glRotatef(ArgFloat(L, 4) * kHalfTurnDegrees, ArgFloat(L, 1), ArgFloat(L, 2), ArgFloat(L, 3));
    else
        glRotatef(ArgFloat(L, 1) * kHalfTurnDegrees, 0.0f, 0.0f, 1.0f);
    return 0;
}

int pubLScale(lua_State* L) {
    int count = ArgCount(L, 1, "");
    if (count < 2) {
        float s = ArgFloat(L, 1);
        glScalef(s, s, s);
    } else {
        glScalef(ArgFloat(L, 1), ArgFloat(L, 2), ArgFloat(L, 3));
    }
    return 0;
}

int pubLPush(lua_State* L) {
    glPushMatrix();
    return 0;
}

int pubLPop(lua_State* L) {
    glPopMatrix();
    return 0;
}

int pubLColor(lua_State* L) {
    int count = ArgCount(L, 1, "color");
    if (count == 1) {
        float g = ArgFloat(L, 1);
        glColor4f(g, g, g, 1.0f);
    } else {
        float a = count > 3 ? ArgFloat(L, 4) : 1.0f;
        glColor4f(ArgFloat(L, 1), ArgFloat(L, 2), ArgFloat(L, 3), a);
    }
    return 0;
}

int pubLSetClearColor(lua_State* L) {
    ArgCount(L, 4, "BackColor");
    glClearColor(ArgFloat(L, 1), ArgFloat(L, 2), ArgFloat(L, 3), ArgFloat(L, 4));
    return 0;
}

int pubLBlend(lua_State* L) {
    int count = ArgCount(L, 1, "");
    int source = ArgInt(L, 1);
    int destination = count > 1 ? ArgInt(L, 2) : -1;
    if (source < 0) {
        glDisable(GL_BLEND);
        return 0;
    }
    glEnable(GL_BLEND);
    if (destination >= 0) {
        // An index past either table leaves the blend function as it was (blending stays
        // enabled), as the shorthand form does for sources it does not know.
        if (source < kBlendSourceCount && destination < kBlendDestinationCount)
            glBlendFunc(kBlendSource[source], kBlendDestination[destination]);
    } else if (source == 0) {
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    } else if (source == 1) {
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    }
    return 0;
}

int pubLSetDepth(lua_State* L) {
    int count = ArgCount(L, 1, "");
    bool test = ArgFlag(L, 1);
    bool write = count >= 2 ? ArgFlag(L, 2) : test;
    glDepthMask(write ? GL_TRUE : GL_FALSE);
    if (test) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glDepthRange(0.0, 1.0);
    } else {
        glDisable(GL_DEPTH_TEST);
    }
    return 0;
}

int pubLLogic(lua_State* L) {
    ArgCount(L, 1, "");
    int op = ArgInt(L, 1);
    if (op < 0) {
        glDisable(GL_COLOR_LOGIC_OP);
    } else if (op < kLogicOpCount) {
        glEnable(GL_COLOR_LOGIC_OP);
        glLogicOp(kLogicOp[op]);
    }
    // An index past the table changes nothing: enabling logic operations with whatever
    // operation was set last would be a guess.
    return 0;
}

int pubLSetBackCull(lua_State* L) {
    ArgCount(L, 1, "lighting");
    if (ArgFlag(L, 1)) {
        glCullFace(GL_BACK);
        glEnable(GL_CULL_FACE);
    } else {
        glDisable(GL_CULL_FACE);
    }
    return 0;
}

int pubLDrawLine(lua_State* L) {
    DrawLine(ArgFloat(L, 1), ArgFloat(L, 2), ArgFloat(L, 3), ArgFloat(L, 4), ArgFloat(L, 5), ArgFloat(L, 6));
    return 0;
}

// ---- Engine-reaching functions ---------------------------------------------------------------

int pubLDrawGeom(lua_State* L) {
    ArgCount(L, 1, "");
    ItemSelector s = ReadItemSelector(L);
    UseItem(&EngineHandle(L, "Geom")->geometryManager, s);
    return 0;
}

int pubLQuad(lua_State* L) {
    EngineHandle(L, "Quad")->DrawQuad();
    return 0;
}

int pubLGTranslate(lua_State* L) {
    int count = ArgCount(L, 1, "");
    float x = ArgFloat(L, 1);
    float y = count > 1 ? ArgFloat(L, 2) : 0.0f;
    float z = count > 2 ? ArgFloat(L, 3) : 0.0f;
    EngineHandle(L, "GMove")->geometryManager.Translate(x, y, z);
    return 0;
}

int pubLGRotate(lua_State* L) {
    int count = ArgCount(L, 1, "");
    float ax = 0.0f, ay = 0.0f, az = 1.0f;
    double angle = ArgNumber(L, 1);
    if (count >= 2) {
        ax = ArgFloat(L, 1);
        ay = ArgFloat(L, 2);
        az = ArgFloat(L, 3);
        angle = ArgNumber(L, 4);
    }
    LuaThingy* host = EngineHandle(L, "GRotate");
    // velkRun takes the angle as radians already.
    double scale = host->runVariant ? 1.0 : kHalfTurnRadians;
    host->geometryManager.Rotate(ax, ay, az, (float)(angle * scale));
    return 0;
}

int pubLGScale(lua_State* L) {
    int count = ArgCount(L, 1, "");
    float x = ArgFloat(L, 1);
    float y = x, z = x;
    if (count >= 2) {
        y = ArgFloat(L, 2);
        z = ArgFloat(L, 3);
    }
    EngineHandle(L, "GScale")->geometryManager.Scale(x, y, z);
    return 0;
}

int pubLGPush(lua_State* L) {
    EngineHandle(L, "GPush")->geometryManager.Push();
    return 0;
}

int pubLGPop(lua_State* L) {
    EngineHandle(L, "GPop")->geometryManager.Pop();
    return 0;
}

int pubLGReset(lua_State* L) {
    EngineHandle(L, "GReset")->geometryManager.Reset();
    return 0;
}

int pubLNewGeom(lua_State* L) {
    int count = lua_gettop(L); // compared with 0 only: never prints
    const char* group = nullptr;
    const char* name = nullptr;
    if (count == 1) {
        name = ArgString(L, 1);
    } else if (count == 2) {
        group = ArgString(L, 1);
        name = ArgString(L, 2);
    }
    GeometryManager& geometry = EngineHandle(L, "NewGeom")->geometryManager;
    int index = -1;
    // A name that is no text creates nothing and answers -1, as a bad count does.
    if (count == 0)
        index = geometry.NewGeom();
    else if (count == 1 && name)
        index = geometry.NewGeom(name);
    else if (count == 2 && group && name)
        index = geometry.NewGeom(group, name);
    lua_pushnumber(L, index);
    return 1;
}

int pubLPlace(lua_State* L) {
    int count = ArgCount(L, 1, "");
    // Types first: reading a number as a string converts it in place.
    bool sourceIsNumber = count == 2 && ArgIsNumber(L, 1);
    bool destinationIsNumber = count == 2 && ArgIsNumber(L, 2);
    int source = 0, destination = 0;
    const char* group = nullptr;
    const char* sourceName = nullptr;
    const char* destinationName = nullptr;
    if (count == 2) {
        if (sourceIsNumber) source = ArgInt(L, 1);
        if (destinationIsNumber) destination = ArgInt(L, 2);
        if (!sourceIsNumber || !destinationIsNumber) {
            sourceName = ArgString(L, 1);
            // velkRun's two-name form reads a number destination as its name.
            destinationName = ArgString(L, 2);
        }
    } else if (count == 3) {
        group = ArgString(L, 1);
        sourceName = ArgString(L, 2);
        destination = ArgInt(L, 3);
    }
    LuaThingy* host = EngineHandle(L, "Place");
    GeometryManager& geometry = host->geometryManager;
    if (count == 2) {
        if (sourceIsNumber && destinationIsNumber) {
            geometry.Place(source, destination);
        } else if (destinationIsNumber && !host->runVariant) {
            // velkRun has no name-and-index form.
            if (sourceName) geometry.Place("", sourceName, destination);
        } else {
            if (!sourceName || !destinationName) return 0; // names that are no text select nothing
            MediaManagerGroup* defaultGroup = geometry.GetGroup("");
            int entry = geometry.GetGroupItemIndex(defaultGroup, destinationName);
            int index = entry >= 0 ? defaultGroup->entryPtr[entry].itemIndex : -1;
            geometry.Place("", sourceName, index);
        }
    } else if (count == 3) {
        if (group && sourceName) geometry.Place(group, sourceName, destination);
    }
    return 0;
}

int pubLTTranslate(lua_State* L) {
    int count = ArgCount(L, 1, "");
    float u = ArgFloat(L, 1);
    float v = count > 1 ? ArgFloat(L, 2) : 0.0f;
    EngineHandle(L, "TMove")->geometryManager.TexTranslate(u, v);
    return 0;
}

int pubLTRotate(lua_State* L) {
    ArgCount(L, 4, "");
    float x = ArgFloat(L, 1), y = ArgFloat(L, 2), z = ArgFloat(L, 3), angle = ArgFloat(L, 4);
    // Unchanged: the texture matrix takes the angle in radians.
    EngineHandle(L, "TRotate")->geometryManager.TexRotate(x, y, z, angle);
    return 0;
}

int pubLTScale(lua_State* L) {
    int count = ArgCount(L, 1, "");
    float su = ArgFloat(L, 1);
    float sv = count < 2 ? su : ArgFloat(L, 2);
    EngineHandle(L, "TScale")->geometryManager.TexScale(su, sv);
    return 0;
}

int pubLTPush(lua_State* L) {
    EngineHandle(L, "TPush")->geometryManager.TexPush();
    return 0;
}

int pubLTPop(lua_State* L) {
    EngineHandle(L, "TPop")->geometryManager.TexPop();
    return 0;
}

int pubLTReset(lua_State* L) {
    EngineHandle(L, "TReset")->geometryManager.TexReset();
    return 0;
}

int pubLSetLighting(lua_State* L) {
    ArgCount(L, 1, "lighting");
    bool on = ArgFlag(L, 1);
    EngineHandle(L, "SetLighting")->SetLighting(on);
    return 0;
}

int pubLSetLight(lua_State* L) {
    ArgCount(L, 1, "lighting");
    int light = ArgInt(L, 1);
    float x = ArgFloat(L, 2), y = ArgFloat(L, 3), z = ArgFloat(L, 4);
    LuaThingy* host = EngineHandle(L, "SetLight");
    host->SetLighting(true);
    host->SetLight(light, x, y, z);
    return 0;
}

int pubLSetLightColor(lua_State* L) {
    ArgCount(L, 4, "");
    int light = ArgInt(L, 1);
    float r = ArgFloat(L, 2), g = ArgFloat(L, 3), b = ArgFloat(L, 4);
    EngineHandle(L, "SetLightColor")->SetLightColor(light, r, g, b);
    return 0;
}

int pubLSetLightAtten(lua_State* L) {
    ArgCount(L, 4, "");
    int light = ArgInt(L, 1);
    float constant = ArgFloat(L, 2), linear = ArgFloat(L, 3), quadratic = ArgFloat(L, 4);
    EngineHandle(L, "SetLightAtten")->SetLightAtten(light, constant, linear, quadratic);
    return 0;
}

int pubLSetAmbientColor(lua_State* L) {
    ArgCount(L, 3, "");
    float r = ArgFloat(L, 1), g = ArgFloat(L, 2), b = ArgFloat(L, 3);
    EngineHandle(L, "SetAmbientColor")->SetAmbientColorRGB(r, g, b);
    return 0;
}
