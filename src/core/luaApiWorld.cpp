// luaApiWorld: the script API's camera, input, window, folder and noise functions. Each one
// is a thin adapter from Lua arguments to one operation or field of the engine core or the
// host; LookAt works on GL state alone.
#include "luaapi.h"
#include "luathingy.h"
#include "vlmath.h"

#include <climits>

// ---- Camera --------------------------------------------------------------------------------------

int pubLLookAt(lua_State* L) {
    ArgCount(L, 6, "LookAt");
    V3 eye(ArgFloat(L, 1), ArgFloat(L, 2), ArgFloat(L, 3));
    V3 target(ArgFloat(L, 4), ArgFloat(L, 5), ArgFloat(L, 6));
    LookAtV3(target, eye);
    return 0;
}

int pubLSetCam(lua_State* L) {
    int count = ArgCount(L, 1, "");
    int mode = ArgInt(L, 1);
    int fit = count >= 2 ? ArgInt(L, 2) : 0;
    float fov = ArgFloat(L, 2);
    LuaThingy* host = EngineHandle(L, "SetCam");
    if (mode == 2) {
        host->InitCamera(2, fit);
    } else if (mode == 3) {
        // The field of view is kept for every later perspective reset.
        if (count > 1) host->fov = fov;
        host->InitCamera(0, 0);
    }
    return 0;
}

int pubLSet2DCamScale(lua_State* L) {
    ArgCount(L, 1, "");
    float scale = ArgFloat(L, 1);
    EngineHandle(L, "Set2DCamScale")->Set2DCamScale(scale);
    return 0;
}

// ---- Folders -------------------------------------------------------------------------------------

// Both folders are set before the script runs and never change, so their text may be
// pushed straight from the host.
int pubLGetScriptsPath(lua_State* L) {
    LuaThingy* host = EngineHandle(L, "GetScriptsPath");
    lua_pushstring(L, host->scriptsFolder.CStr());
    return 1;
}

int pubLGetMediaPath(lua_State* L) {
    LuaThingy* host = EngineHandle(L, "GetMediaPath");
    lua_pushstring(L, host->mediaPath.CStr());
    return 1;
}

// ---- Mouse and window ----------------------------------------------------------------------------

int pubLGetMouseScalar(lua_State* L) {
    LuaThingy* host = EngineHandle(L, "GetMouseScalar");
    // The pointer in 2D camera units (without the 2D camera scale), y up.
    double x = ((double)host->mouseX - 0.5) * 2.0 * (double)host->orthoScaleX;
    double y = ((1.0 - (double)host->mouseY) - 0.5) * 2.0 * (double)host->orthoScaleY;
    lua_pushnumber(L, x);
    lua_pushnumber(L, y);
    return 2;
}

int pubLGetMouseTotal(lua_State* L) {
    LuaThingy* host = EngineHandle(L, "GetMouseTotal");
    lua_pushnumber(L, host->cursorX);
    lua_pushnumber(L, host->cursorY);
    return 2;
}

int pubLGetWindowSize(lua_State* L) {
    LuaThingy* host = EngineHandle(L, "GetWindowSize");
    lua_pushnumber(L, host->width);
    lua_pushnumber(L, host->height);
    return 2;
}

int pubLGetMouseRelative(lua_State* L) {
    LuaThingy* host = EngineHandle(L, "GetMouseRelative");
    lua_pushnumber(L, host->mouseDX);
    lua_pushnumber(L, -host->mouseDY);
    return 2;
}

int pubLSetMouseVis(lua_State* L) {
    ArgCount(L, 1, "vis");
    int visibility = ArgInt(L, 1);
    EngineHandle(L, "SetMouseVis")->SetMouseState(visibility, -1);
    return 0;
}

int pubLSetMouseFree(lua_State* L) {
    ArgCount(L, 1, "free");
    // Lock value 1 - n, worked out wide so that the most negative n cannot overflow.
    long long lock = 1LL - (long long)ArgInt(L, 1);
    EngineHandle(L, "SetMouseFree")->SetMouseState(-1, lock > INT_MAX ? INT_MAX : (int)lock);
    return 0;
}

// ---- Keys, typing mode, vertical sync ------------------------------------------------------------

int pubLBindKey(lua_State* L) {
    int count = ArgCount(L, 2, "bindkey");
    int gameKey = (int)lua_tointeger(L, 1);
    int inputCode = (int)lua_tointeger(L, 2);
    bool additive = count > 2 && lua_tointeger(L, 3) != 0;
    EngineHandle(L, "BindKey")->SetKeyBind(gameKey, inputCode, additive);
    return 0;
}

int pubLSetTypingMode(lua_State* L) {
    ArgCount(L, 1, "settypingmode");
    int mode = (int)lua_tointeger(L, 1);
    EngineHandle(L, "TypingMode")->SetTypingMode(mode);
    return 0;
}

int pubLSetVSync(lua_State* L) {
    ArgCount(L, 1, "");
    // Truncated before the test: 0.5 turns vertical sync off.
    bool on = ArgInt(L, 1) != 0;
    EngineHandle(L, "SetVSync")->SetVSync(on);
    return 0;
}

// ---- Noise ---------------------------------------------------------------------------------------

int pubLNoise(lua_State* L) {
    int count = ArgCount(L, 1, "noise");
    float x = ArgFloat(L, 1);
    float y = count > 1 ? ArgFloat(L, 2) : 0.0f;
    float z = count > 1 ? ArgFloat(L, 3) : 0.0f;
    lua_pushnumber(L, EngineHandle(L, "GetNoise")->noise.Noise(x, y, z));
    return 1;
}

int pubLSetNoiseSeed(lua_State* L) {
    ArgCount(L, 1, "noisesetseed");
    float seed = ArgFloat(L, 1);
    EngineHandle(L, "SetNoiseSeed")->noise.SetSeed(seed);
    return 0;
}
