// luathingy: the script host's lifecycle (Lua state, MoonScript, the script run, the
// callbacks) and the script API's registration table.
#include "luathingy.h"

#include "luaapi.h"
#include "programKind.h"
#include "strfuncs.h"

extern "C" {
#include <lua-lpeg.h>
}

#include <SFML/OpenGL.hpp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

const char* const LuaThingy::kScriptsFolder = "scripts/";

// Module search templates for the scripts folder; "/" is this platform's folder separator.
static const char* const kMoonPathSuffix = "./scripts/?.moon;./scripts/?";
static const char* const kLuaPathSuffix = "./scripts/?.lua;./scripts/?";

// ---- Registration table --------------------------------------------------------------------

// One array in registration order; inVelkRun is false for the seven globals that velkRun
// leaves out.
const LuaApiEntry kLuaApi[] = {
    {"Geom", pubLDrawGeom, true},
    {"LookAt", pubLLookAt, true},
    {"Move", pubLTranslate, true},
    {"Rotate", pubLRotate, true},
    {"Scale", pubLScale, true},
    {"Push", pubLPush, true},
    {"Pop", pubLPop, true},
    {"GMove", pubLGTranslate, true},
    {"GRotate", pubLGRotate, true},
    {"GScale", pubLGScale, true},
    {"GPush", pubLGPush, true},
    {"GPop", pubLGPop, true},
    {"GReset", pubLGReset, true},
    {"NewGeom", pubLNewGeom, true},
    {"Place", pubLPlace, true},
    {"TMove", pubLTTranslate, true},
    {"TRotate", pubLTRotate, true},
    {"TScale", pubLTScale, true},
    {"TPush", pubLTPush, true},
    {"TPop", pubLTPop, true},
    {"TReset", pubLTReset, true},
    {"AddTex", pubLAddTex, true},
    {"Tex", pubLBindTex, true},
    {"AddGeom", pubLAddGeom, true},
    {"AddShad", pubLAddShad, true},
    {"Shad", pubLBindShad, true},
    {"SetShadersEnabled", pubLSetShadersEnabled, false},
    {"GetShadersEnabled", pubLGetShadersEnabled, false},
    {"GetNewAudio", pubLNewAudio, true},
    {"SetAudioData", pubLSetAudioData, true},
    {"GetAudioData", pubLGetAudioData, true},
    {"AddAudio", pubLAddAudio, true},
    {"Audio", pubLPlayAudio, true},
    {"StopAudio", pubLStopAudio, true},
    {"AudioProps", pubLAudioProps, true},
    {"AddMusic", pubLAddMusic, true},
    {"Music", pubLPlayMusic, true},
    {"StopMusic", pubLStopMusic, true},
    {"MusicProps", pubLMusicProps, true},
    {"DeclareUniform", pubLDeclareUniform, true},
    {"Uniform", pubLUpdateUniform, true},
    {"SetCam", pubLSetCam, true},
    {"Set2DCamScale", pubLSet2DCamScale, false},
    {"SetLighting", pubLSetLighting, true},
    {"SetLight", pubLSetLight, true},
    {"SetLightColor", pubLSetLightColor, true},
    {"SetLightAtten", pubLSetLightAtten, true},
    {"Color", pubLColor, true},
    {"Blend", pubLBlend, true},
    {"Depth", pubLSetDepth, true},
    {"Logic", pubLLogic, true},
    {"BackColor", pubLSetClearColor, true},
    {"Culling", pubLSetBackCull, true},
    {"DrawLine", pubLDrawLine, true},
    {"SetAmbientColor", pubLSetAmbientColor, true},
    {"GetScriptsPath", pubLGetScriptsPath, true},
    {"GetMediaPath", pubLGetMediaPath, true},
    {"GetMouseScalar", pubLGetMouseScalar, true},
    {"GetMouseTotal", pubLGetMouseTotal, true},
    {"GetWindowSize", pubLGetWindowSize, false},
    {"GetMouseRelative", pubLGetMouseRelative, true},
    {"SetMouseVis", pubLSetMouseVis, true},
    {"SetMouseFree", pubLSetMouseFree, true},
    {"BeginRTTFull", pubLBeginRTT, true},
    {"EndRTTFull", pubLEndRTT, true},
    {"GetNoise", pubLNoise, true},
    {"SetNoiseSeed", pubLSetNoiseSeed, true},
    {"Quad", pubLQuad, true},
    {"ReadSaveString", pubLReadSaveString, false},
    {"WriteSaveString", pubLWriteSaveString, false},
    {"SetSpaceMapper", pubLSetSpaceMapper, true},
    {"SpaceMapperReset", pubLSpaceReset, false},
    {"AddSpaceObject", pubLAddSpaceObject, true},
    {"SpaceEvent", pubLSpaceEvent, true},
    {"MapPoint", pubLMapPoint, true},
    {"MapLine", pubLMapLine, true},
    {"DebugDrawSegments", pubLDebugDrawSegments, true},
    {"Set2DSpaceBounds", pubLSet2DSpaceBounds, true},
    {"Text", pubLCreateDrawText, true},
    {"BindKey", pubLBindKey, true},
    {"TypingMode", pubLSetTypingMode, true},
    {"SetScreenshotDir", pubLSetScreenshotDir, true},
    {"SetVSync", pubLSetVSync, true},
};
const int kLuaApiCount = sizeof(kLuaApi) / sizeof(kLuaApi[0]);

// The one place that decides which rows a program registers.
static bool RegisteredIn(const LuaApiEntry& entry, bool velkRun) {
    return entry.inVelkRun || !velkRun;
}

void RegisterLuaApi(lua_State* L, bool velkRun) {
    for (int i = 0; i < kLuaApiCount; i++) {
        if (!RegisteredIn(kLuaApi[i], velkRun)) continue;
        lua_pushcclosure(L, kLuaApi[i].function, 0);
        lua_setfield(L, LUA_GLOBALSINDEX, kLuaApi[i].name);
    }
}

// Bound to no global: they reach the engine and do nothing else.
int pubLThreadLock(lua_State* L) {
    EngineHandle(L, "pubLThreadLock");
    return 0;
}

int pubLThreadUnlock(lua_State* L) {
    EngineHandle(L, "pubLThreadUnlock");
    return 0;
}

int LuaLock(lua_State* L) {
    puts("lock");
    return 0;
}

int LuaUnlock(lua_State* L) {
    puts("unlock");
    return 0;
}

// ---- Protected access to the globals ---------------------------------------------------------
//
// A script can give the globals a raising __index or remove `debug`; the host's lookups of its
// callbacks (and of debug.traceback) run under lua_pcall so that such an error reads as the
// callback's failure.

static int GetGlobalField(lua_State* L) {
    lua_gettable(L, LUA_GLOBALSINDEX); // the key is argument 1
    return 1;
}

// Pushes the global `name`; when the lookup raises, pushes its message and returns false.
static bool PushGlobal(lua_State* L, const char* name) {
    lua_pushcfunction(L, GetGlobalField);
    lua_pushstring(L, name);
    return lua_pcall(L, 1, 1, 0) == 0;
}

static int GetTraceback(lua_State* L) {
    lua_getfield(L, LUA_GLOBALSINDEX, "debug");
    lua_getfield(L, -1, "traceback");
    return 1;
}

// Pushes debug.traceback, or nil when looking it up raises.
static void PushTraceback(lua_State* L) {
    lua_pushcfunction(L, GetTraceback);
    if (lua_pcall(L, 0, 1, 0) != 0) {
        lua_pop(L, 1);
        lua_pushnil(L);
    }
}

// The text of the value at the top: a string, or a number in Lua's number format. Any other
// error object (nil too, and a table with __tostring) has no text and reads "(null)". It
// allocates nothing in Lua (lua_tostring would, for a number), so it is safe outside a
// protected call.
static const char* TopText(lua_State* L, char (&number)[LUAI_MAXNUMBER2STR]) {
    switch (lua_type(L, -1)) {
    case LUA_TSTRING:
        return lua_tostring(L, -1);
    case LUA_TNUMBER:
        lua_number2str(number, lua_tonumber(L, -1));
        return number;
    default:
        return "(null)";
    }
}

// Prints `format` with the text of the value at the top, and pops it.
static void PrintTop(lua_State* L, const char* format) {
    char number[LUAI_MAXNUMBER2STR];
    printf(format, TopText(L, number));
    lua_pop(L, 1);
}

// Room for the pushes of one call of the thread callback.
static void EnsureStack(lua_State* L) {
    if (!lua_checkstack(L, 16)) {
        lua_settop(L, 0);
        lua_checkstack(L, 16);
    }
}

// LPeg as module "lpeg" (also the global lpeg), then MoonScript from the Lua module path,
// whose start-up installs its module loader and package.moonpath. Returns 1 when both
// worked; leaves the stack as it found it.
static int OpenMoonScript(lua_State* L) {
    int top = lua_gettop(L);
    int ok = 0;
    lua_pushcfunction(L, luaopen_lpeg);
    lua_pushstring(L, "lpeg");
    if (lua_pcall(L, 1, 1, 0) == 0) {
        lua_getfield(L, LUA_GLOBALSINDEX, "package");
        lua_getfield(L, -1, "loaded");
        lua_pushvalue(L, -3);
        lua_setfield(L, -2, "lpeg");
        lua_settop(L, top);
        lua_getfield(L, LUA_GLOBALSINDEX, "require");
        lua_pushstring(L, "moonscript");
        ok = lua_pcall(L, 1, 0, 0) == 0 ? 1 : 0;
    }
    lua_settop(L, top);
    return ok;
}

// ---- The host ----------------------------------------------------------------------------------

LuaThingy::LuaThingy()
    : luaState(nullptr), noise(0.0f), threadStop(false), threadState(nullptr), runVariant(IsVelkRun()) {
    screenshotFolder.Assign("screenshots");
}

LuaThingy::~LuaThingy() {
    if (threadState) threadStop = true;
    if (luaState) {
        WithdrawEngineHandle(luaState);
        lua_close(luaState);
    }
    luaState = nullptr;
}

void LuaThingy::SetLoadScript(const char* name) {
    scriptPath.Append("scripts\\", -1);
    scriptName.Assign(name);
    scriptPath.Append(&scriptName);
}

void LuaThingy::DeclareArgs(int argc, char** argv) {
    CoreThingy::DeclareArgs(argc, argv);
    printf("DIST: %i\n", 1);
    scriptPath.Append("scripts\\", -1);
    bool named = false;
    for (int i = 0; i < argc; i++) {
        if ((strequal(argv[i], "s", true) || strequal(argv[i], "-s", true)) && argc - i > 1) {
            i++;
            scriptName.Append(argv[i], -1);
            named = true;
        }
    }
    if (!named) scriptName.Append("default.moon", -1);
    scriptPath.Append(&scriptName);
}

int LuaThingy::AppendLuaPath(lua_State* L, const char* field, const char* suffix) {
    lua_getfield(L, LUA_GLOBALSINDEX, "package");
    if (lua_istable(L, -1)) {
        lua_getfield(L, -1, field);
        // A field that is not text (moonpath without MoonScript) is left as it is.
        if (lua_isstring(L, -1)) {
            lua_pushstring(L, ";");
            lua_pushstring(L, suffix);
            lua_concat(L, 3);
            lua_setfield(L, -2, field);
        } else {
            lua_pop(L, 1);
        }
    }
    lua_pop(L, 1);
    return 0;
}

bool LuaThingy::LuaFunctionExists(lua_State* L, const char* name) {
    lua_pushstring(L, name);
    lua_rawget(L, LUA_GLOBALSINDEX);
    bool exists = lua_type(L, -1) == LUA_TFUNCTION;
    lua_pop(L, 1);
    return exists;
}

// The memory chunk record that readMemFile is given.
struct MemChunk {
    const char* data;
    uint32_t size;
};

const char* LuaThingy::readMemFile(lua_State* L, void* chunk, size_t* size) {
    MemChunk* c = (MemChunk*)chunk;
    if (c->size == 0) return nullptr;
    *size = c->size;
    c->size = 0;
    return c->data;
}

void LuaThingy::ThreadFunction(void* host) {
    LuaThingy* self = (LuaThingy*)host;
    while (!self->threadStop) {
        lua_State* T = self->threadState;
        if (!T) return; // nothing to run on
        EnsureStack(T);
        lua_pushstring(T, "ThreadFunction");
        lua_gettable(T, LUA_GLOBALSINDEX);
        if (lua_pcall(T, 0, 0, 0) != 0) {
            for (int n = 0; n < 3 && lua_gettop(T) > 0; n++)
                PrintTop(T, "Lua Err THREAD: %s.\n");
        }
    }
}

// ---- The host's steps ---------------------------------------------------------------------------
//
// Every push, lookup and conversion can run a collection step, and with it a script's finalizer,
// which may raise. So the host works on the state only inside protected calls (lua_cpcall, and
// the callbacks' own lua_pcall); outside them it does nothing that allocates. An error that
// escapes the host's own work is reported with the line of the callback in progress and handled
// as that callback's failure.

// Whether `path` names something that exists and is no regular file. dofile would wait for ever
// on a pipe's writer, or read a device without end; another process could still swap the file
// between this look and dofile's open, a window accepted here.
static bool ExistsAsNoFile(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 && !S_ISREG(st.st_mode);
}

struct InitCall {
    LuaThingy* host;
    int result;
};

static int InitSteps(lua_State* L) {
    InitCall* call = (InitCall*)lua_touserdata(L, 1);
    lua_settop(L, 0); // the stack is the host's from here, as a fresh state's would be
    LuaThingy* host = call->host;
    bool runVariant = host->runVariant;
    luaL_openlibs(L);
    RegisterLuaApi(L, runVariant);

    if (OpenMoonScript(L) != 1) puts("ERR: Moonscript not enabled.");

    // Script type: velkEngine goes by the name's ending; velkRun runs everything as MoonScript.
    bool moon = runVariant;
    if (!runVariant) {
        const char* name = host->scriptName.CStr();
        int n = strlength(name);
        if (n >= 4 && strequal(name + n - 4, ".lua", true)) {
            puts("Scripttype: Lua");
        } else if (n >= 5 && strequal(name + n - 5, ".moon", true)) {
            puts("Scripttype: Moon");
            moon = true;
        } else {
            puts("WAT THE FOOK TYPE OF FILE IS THIS, BRO?  er, Err: Incorrect file extension.");
        }
    }
    if (moon) {
        // Failures stay unreported; the script run then fails and shows them.
        if (luaL_loadstring(L, "moonscript = require \"moonscript\"") == 0) lua_pcall(L, 0, LUA_MULTRET, 0);
    }

    host->scriptsFolder.Assign(LuaThingy::kScriptsFolder);
    LuaThingy::AppendLuaPath(L, "moonpath", kMoonPathSuffix);
    LuaThingy::AppendLuaPath(L, "path", kLuaPathSuffix);

    // The script's top level runs here; a failure's message stays on the stack and shows in
    // the lines of a failed Init call. A script that is no regular file is one that cannot be
    // read: its message takes the place of the run's.
    int fileAt = lua_gettop(L) + 1;
    const char* file = lua_pushfstring(L, "%s%s", host->scriptsFolder.CStr(), host->scriptName.CStr());
    if (ExistsAsNoFile(file)) {
        lua_pushfstring(L, "cannot open %s: not a regular file", file);
    } else {
        // The path goes to dofile as a value: a name is data, and its quotes or escapes must
        // not be read as Lua. The call text serves only as the chunk's name, so error lines
        // and tracebacks read as they always have.
        static const char kLuaRun[] = "dofile(...)";
        static const char kMoonRun[] = "moonscript.dofile(...)";
        const char* code = moon ? kMoonRun : kLuaRun;
        const char* chunkName = lua_pushfstring(L, "%sdofile(\"%s\")", moon ? "moonscript." : "", file);
        int loaded = luaL_loadbuffer(L, code, strlen(code), chunkName);
        lua_remove(L, -2);
        if (loaded == 0) {
            lua_pushvalue(L, fileAt);
            lua_pcall(L, 1, LUA_MULTRET, 0);
        }
    }
    lua_remove(L, fileAt);

    PublishEngineHandle(L, host);

    host->SetAmbientColorRGB(0, 0, 0);

    int status = LUA_ERRRUN;
    if (PushGlobal(L, "Init")) status = lua_pcall(L, 0, 0, 0);
    if (status != 0) {
        for (int n = 0; n < 3 && lua_gettop(L) > 0; n++)
            PrintTop(L, "Lua Err INIT: %s.\n");
        call->result = -1;
    }
    return 0;
}

int LuaThingy::Init() {
    input.keyState.SetDefaults();
    luaState = luaL_newstate();
    lua_State* L = luaState;
    if (!L) {
        puts("Lua Err INIT: not enough memory.");
        return -1;
    }
    InitCall call = {this, 0};
    if (lua_cpcall(L, InitSteps, &call) != 0) {
        PrintTop(L, "Lua Err INIT: %s.\n");
        call.result = -1;
    }
    return call.result;
}

// The callbacks with a message handler are called from the host's own level, so that a
// script's traceback ends at its callback. Only the lookups run in a protected call: it leaves
// the handler and the callback (or the lookup's error) in two registry slots under keys of
// ours, and taking them out again allocates nothing and runs no script code.
static char kHandlerSlot, kCallbackSlot;

struct Lookup {
    const char* name;
    bool found;
};

static int LookUpCallback(lua_State* L) {
    Lookup* lookup = (Lookup*)lua_touserdata(L, 1);
    lua_settop(L, 0);
    lua_pushlightuserdata(L, &kHandlerSlot);
    PushTraceback(L);
    lua_rawset(L, LUA_REGISTRYINDEX);
    lua_pushlightuserdata(L, &kCallbackSlot);
    lookup->found = PushGlobal(L, lookup->name);
    lua_rawset(L, LUA_REGISTRYINDEX);
    return 0;
}

static void PushSlot(lua_State* L, char* key) {
    lua_pushlightuserdata(L, key);
    lua_rawget(L, LUA_REGISTRYINDEX);
}

// Pushes debug.traceback (when it is a function; `handler` gets its index, else 0) and the
// global `name`. False when the lookup failed: its error is then on top.
static bool PushCallback(lua_State* L, const char* name, int* handler) {
    Lookup lookup = {name, false};
    *handler = 0;
    if (lua_cpcall(L, LookUpCallback, &lookup) != 0) return false;
    PushSlot(L, &kHandlerSlot);
    if (lua_isfunction(L, -1)) *handler = lua_gettop(L);
    PushSlot(L, &kCallbackSlot);
    return lookup.found;
}

static int OnErrorSteps(lua_State* L) {
    lua_settop(L, 0);
    if (PushGlobal(L, "OnError")) lua_pcall(L, 0, 0, 0);
    return 0;
}

int LuaThingy::TimeStep() {
    int result = CoreThingy::TimeStep();
    if (frameCount < 3) return 0;

    InitCamera(0, 0);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);

    lua_State* L = luaState;
    if (L) {
        int handler = 0;
        int status = LUA_ERRRUN;
        if (PushCallback(L, "Draw", &handler)) {
            lua_pushnumber(L, gameTime);
            lua_pushnumber(L, gameTimeStep);
            status = lua_pcall(L, 2, 0, handler);
        }
        if (status != 0) {
            PrintTop(L, "Lua Err: %s.\n");
            lua_settop(L, 0);
            // Its own failure is ignored, whatever raised it.
            if (!runVariant) lua_cpcall(L, OnErrorSteps, nullptr);
            result = -1;
        }
        lua_settop(L, 0);
    }
    glFlush();
    window.display();
    return result;
}

void LuaThingy::GameKeyHappen(int gameKey, int pressState) {
    lua_State* L = luaState;
    if (!L) return; // no script yet
    int top = lua_gettop(L);
    int handler = 0;
    bool found = PushCallback(L, "KeyHappen", &handler);
    if (gameKey == 35 && pressState == 1 && typingMode == 0)
        CaptureScreen(width, height, screenshotFolder.CStr());
    int status = LUA_ERRRUN;
    if (found) {
        lua_pushnumber(L, gameKey);
        lua_pushnumber(L, pressState);
        lua_pushnumber(L, gameTime);
        status = lua_pcall(L, 3, 0, handler);
    }
    if (status != 0) PrintTop(L, "LUA ERR: %s.\n");
    lua_settop(L, top);
}
