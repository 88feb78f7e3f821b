// luaapi: the script API's native functions (the pubL family) and the argument helpers
// that every one of them shares. Only the script host's units include this header: it is
// the one place where the engine sees the Lua headers.
//
// Lua 5.1 is built as C, so a Lua error raised inside a native function unwinds with
// longjmp and skips C++ destructors: no object with a destructor may be alive across a
// Lua call that can raise (luaL_error, or an API call that can run a metamethod).
#pragma once

#include <lua.hpp>

class LuaThingy;
class MediaManager;

// ---- Shared argument reading -------------------------------------------------------------

// The argument count (lua_gettop). When it is below `minimum`, prints the too-few-arguments
// line with `tag`; the caller carries on, reading 0 or none for what is missing.
int ArgCount(lua_State* L, int minimum, const char* tag);

// Argument `i` as a double (lua_tonumber: a numeric string counts, anything else is 0).
double ArgNumber(lua_State* L, int i);
// Argument `i` narrowed to a single-precision float.
float ArgFloat(lua_State* L, int i);
// Argument `i` truncated toward zero to a 32-bit int. NaN reads as 0 and values beyond the
// int range saturate, so no script value can make the conversion undefined.
int ArgInt(lua_State* L, int i);
// Argument `i` as a flag: true when its number is not 0 (a NaN is true).
bool ArgFlag(lua_State* L, int i);
// Argument `i` as a string (lua_tolstring: a number becomes its decimal text in place;
// nil, booleans, tables give null). Valid only during the call.
const char* ArgString(lua_State* L, int i);
// Whether argument `i` is of the number type (a numeric string is not).
bool ArgIsNumber(lua_State* L, int i);

// The engine behind the global "__mLuaThingy". At a script's top level the handle does not
// exist yet; the call then raises a Lua error naming `function` instead of reaching no
// engine (nothing with a destructor may be alive in the caller at that point). So does a
// handle that a script replaced by anything but the engine's own light userdata, or
// removed after it was published, with its own message.
LuaThingy* EngineHandle(lua_State* L, const char* function);
// Sets the global "__mLuaThingy" to the host and keeps the pointer for the state: only
// that pointer is taken for the engine, and a handle a script later removes is told apart
// from one that does not exist yet. Withdrawn before the state closes.
void PublishEngineHandle(lua_State* L, LuaThingy* host);
void WithdrawEngineHandle(lua_State* L);

// Every function reads and converts all its arguments before it takes anything from the
// engine: a conversion can run a finalizer, and a finalizer can call the API (replacing the
// space mapper, rebinding a shader). Strings read from arguments stay valid during the call.

// The item selector of Geom, Tex, Shad and Audio: by item index, by name in the default
// group, by group and position, or by group and name, chosen by count and Lua type. No
// argument or more than two: nothing happens. A name that is neither a string nor a
// number also selects nothing (no null name ever reaches the manager).
struct ItemSelector {
    enum Form { None, ByIndex, ByName, ByGroupPosition, ByGroupName } form;
    const char* group;
    const char* name;
    int number; // the item index or the position in the group
};
ItemSelector ReadItemSelector(lua_State* L);
void UseItem(MediaManager* manager, const ItemSelector& selector);

// A result built in C++ memory (a file's bytes, sound samples) is copied into Lua memory in
// a protected call: the copy allocates, which can raise (a finalizer, memory running out),
// and that error must not unwind past the C++ owner. BeginHeldResult pushes the copying
// function while the caller holds nothing yet; PushHeld... then copies, leaving the result
// (status 0) or the error on top. The caller frees its memory, then raises the error again
// with lua_error.
void BeginHeldResult(lua_State* L);
int PushHeldString(lua_State* L, const char* bytes, size_t n);
int PushHeldFloats(lua_State* L, const float* values, int n);

// ---- Registration table ------------------------------------------------------------------

struct LuaApiEntry {
    const char* name; // the global the script sees
    lua_CFunction function;
    bool inVelkRun; // false for the seven rows that velkRun leaves out
};

// The whole registration table in registration order, and its length.
extern const LuaApiEntry kLuaApi[];
extern const int kLuaApiCount;

// Registers the table's rows as plain globals, in order; velkRun registers only its subset.
void RegisterLuaApi(lua_State* L, bool velkRun);

// Of the API's family but bound to no global: they reach the engine and lock nothing.
int pubLThreadLock(lua_State* L);
int pubLThreadUnlock(lua_State* L);

// ---- Drawing, transforms, colours and GL state -------------------------------------------

int pubLDrawGeom(lua_State* L);
int pubLTranslate(lua_State* L);
int pubLRotate(lua_State* L);
int pubLScale(lua_State* L);
int pubLPush(lua_State* L);
int pubLPop(lua_State* L);
int pubLGTranslate(lua_State* L);
int pubLGRotate(lua_State* L);
int pubLGScale(lua_State* L);
int pubLGPush(lua_State* L);
int pubLGPop(lua_State* L);
int pubLGReset(lua_State* L);
int pubLNewGeom(lua_State* L);
int pubLPlace(lua_State* L);
int pubLTTranslate(lua_State* L);
int pubLTRotate(lua_State* L);
int pubLTScale(lua_State* L);
int pubLTPush(lua_State* L);
int pubLTPop(lua_State* L);
int pubLTReset(lua_State* L);
int pubLSetLighting(lua_State* L);
int pubLSetLight(lua_State* L);
int pubLSetLightColor(lua_State* L);
int pubLSetLightAtten(lua_State* L);
int pubLColor(lua_State* L);
int pubLBlend(lua_State* L);
int pubLSetDepth(lua_State* L);
int pubLLogic(lua_State* L);
int pubLSetClearColor(lua_State* L);
int pubLSetBackCull(lua_State* L);
int pubLDrawLine(lua_State* L);
int pubLSetAmbientColor(lua_State* L);
int pubLQuad(lua_State* L);

// ---- Media, shaders, text, sound, music, render target, save data ------------------------

int pubLAddTex(lua_State* L);
int pubLBindTex(lua_State* L);
int pubLAddGeom(lua_State* L);
int pubLAddShad(lua_State* L);
int pubLBindShad(lua_State* L);
int pubLSetShadersEnabled(lua_State* L);
int pubLGetShadersEnabled(lua_State* L);
int pubLNewAudio(lua_State* L);
int pubLSetAudioData(lua_State* L);
int pubLGetAudioData(lua_State* L);
int pubLAddAudio(lua_State* L);
int pubLPlayAudio(lua_State* L);
int pubLStopAudio(lua_State* L);
int pubLAudioProps(lua_State* L);
int pubLAddMusic(lua_State* L);
int pubLPlayMusic(lua_State* L);
int pubLStopMusic(lua_State* L);
int pubLMusicProps(lua_State* L);
int pubLDeclareUniform(lua_State* L);
int pubLUpdateUniform(lua_State* L);
int pubLBeginRTT(lua_State* L);
int pubLEndRTT(lua_State* L);
int pubLReadSaveString(lua_State* L);
int pubLWriteSaveString(lua_State* L);
int pubLCreateDrawText(lua_State* L);
int pubLSetScreenshotDir(lua_State* L);
// As Text, but stores the text without drawing it and returns its text id; bound to no global.
int pubLAddText(lua_State* L);

// ---- Camera, input, window, folders, noise -----------------------------------------------

int pubLLookAt(lua_State* L);
int pubLSetCam(lua_State* L);
int pubLSet2DCamScale(lua_State* L);
int pubLGetScriptsPath(lua_State* L);
int pubLGetMediaPath(lua_State* L);
int pubLGetMouseScalar(lua_State* L);
int pubLGetMouseTotal(lua_State* L);
int pubLGetWindowSize(lua_State* L);
int pubLGetMouseRelative(lua_State* L);
int pubLSetMouseVis(lua_State* L);
int pubLSetMouseFree(lua_State* L);
int pubLBindKey(lua_State* L);
int pubLSetTypingMode(lua_State* L);
int pubLSetVSync(lua_State* L);
int pubLNoise(lua_State* L);
int pubLSetNoiseSeed(lua_State* L);

// ---- Space mapper -----------------------------------------------------------------------

int pubLSetSpaceMapper(lua_State* L);
int pubLSpaceReset(lua_State* L);
int pubLAddSpaceObject(lua_State* L);
int pubLSpaceEvent(lua_State* L);
int pubLMapPoint(lua_State* L);
int pubLMapLine(lua_State* L);
int pubLDebugDrawSegments(lua_State* L);
int pubLSet2DSpaceBounds(lua_State* L);
// The shared body of MapPoint (line mode false) and MapLine (line mode true).
int pubLMapMovement(lua_State* L, bool lineMode);
