// Helpers for the script host tests: a throw-away working folder with scripts/ and media/,
// the MoonScript stand-in on the module path, and running Lua text with its error.
#pragma once

#include "luaapi.h"
#include "luathingy.h"
#include "scratch.h"

extern "C" {
#include <lua-lpeg.h>
}

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

// A fresh working folder for one test: scripts/ and media/geom/quad.obj (the unit quad),
// made the current directory until destruction.
class TempWorkDir {
    ScratchDir scratch{"velk-lua"};

  public:
    std::string path = scratch.Path();

    TempWorkDir() {
        EXPECT_TRUE(scratch.Enter());
        Mkdir("scripts");
        Mkdir("media");
        Mkdir("media/geom");
        Write("media/geom/quad.obj", ReadAll(std::string(VELK_SOURCE_DIR) + "/run/media/geom/quad.obj"));
    }
    static void Mkdir(const std::string& p) { EXPECT_EQ(system(("mkdir -p '" + p + "'").c_str()), 0); }
    static void Write(const std::string& p, const std::string& text) {
        std::ofstream out(p, std::ios::binary);
        out << text;
    }
    static std::string ReadAll(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static bool Exists(const std::string& p) { return access(p.c_str(), F_OK) == 0; }
    void Script(const std::string& name, const std::string& text) { Write("scripts/" + name, text); }
};

// Puts the MoonScript stand-in (tests/support/moonscript.lua) on the Lua module path of
// every state created afterwards; Off() takes it away again.
struct MoonScriptStandIn {
    static void On() { setenv("LUA_PATH", VELK_TEST_SUPPORT_DIR "/?.lua;;", 1); }
    static void Off() { setenv("LUA_PATH", "/nonexistent/?.lua", 1); }
};

// The LUA_PATH the process started with, read before any test sets its own.
inline const std::string kStartLuaPath = getenv("LUA_PATH") ? getenv("LUA_PATH") : "";

// The real MoonScript compiler, for the tests that run MoonScript as written: the copy beside
// the source folder (../shared/moonscript-0.5.0), else one that the module path of the test's
// own environment finds (an install with luarocks). A fresh clone may have neither, and the
// tests that need it then skip with Missing() as the reason.
struct RealMoonScript {
    // The LUA_PATH that loads it; "" without one.
    static const std::string& Path() {
        static const std::string path = Find();
        return path;
    }
    // Puts it on the module path of every state created afterwards; false without one.
    static bool Use() {
        if (Path().empty()) return false;
        setenv("LUA_PATH", Path().c_str(), 1);
        return true;
    }
    static const char* Missing() {
        return "no MoonScript compiler: neither ../shared/moonscript-0.5.0 beside the source folder "
               "nor one installed with luarocks (luarocks --lua-version=5.1 install moonscript)";
    }

  private:
    static std::string Find() {
        std::string shared = std::string(VELK_SOURCE_DIR) + "/../shared/moonscript-0.5.0";
        if (access((shared + "/moonscript/init.lua").c_str(), R_OK) == 0)
            return shared + "/?.lua;" + shared + "/?/init.lua;;";
        std::string path = kStartLuaPath.empty() ? ";;" : kStartLuaPath;
        return Loads(path) ? path : "";
    }
    // Whether a state made under that LUA_PATH, with LPeg opened as the engine opens it,
    // finds a MoonScript that is not the tests' stand-in.
    static bool Loads(const std::string& luaPath) {
        const char* now = getenv("LUA_PATH");
        std::string saved = now ? now : "";
        setenv("LUA_PATH", luaPath.c_str(), 1);
        lua_State* L = luaL_newstate();
        luaL_openlibs(L);
        if (now)
            setenv("LUA_PATH", saved.c_str(), 1);
        else
            unsetenv("LUA_PATH");
        lua_pushcfunction(L, luaopen_lpeg);
        lua_pushstring(L, "lpeg");
        bool ok = lua_pcall(L, 1, 0, 0) == 0 &&
                  luaL_dostring(
                      L, "local m = require 'moonscript' assert(type(m) == 'table' and not m.standin)") == 0;
        lua_close(L);
        return ok;
    }
};

// Runs Lua text; returns "" on success, else the error message.
inline std::string RunLua(lua_State* L, const std::string& code) {
    int top = lua_gettop(L);
    std::string error;
    if (luaL_loadstring(L, code.c_str()) != 0 || lua_pcall(L, 0, 0, 0) != 0) {
        const char* msg = lua_tostring(L, -1);
        error = msg ? msg : "(non-string error)";
    }
    lua_settop(L, top);
    return error;
}

// Runs Lua text that is expected to succeed; returns what it printed.
inline std::string RunLuaExpectingSuccess(lua_State* L, const std::string& code) {
    testing::internal::CaptureStdout();
    std::string error = RunLua(L, code);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(error, "") << code;
    return out;
}

// A global number of the state (0 when not a number).
inline double GlobalNumber(lua_State* L, const char* name) {
    lua_getglobal(L, name);
    double v = lua_tonumber(L, -1);
    lua_pop(L, 1);
    return v;
}

// A host without window or script whose engine handle is published in a bare state with
// the API registered, as the host's Init leaves it; for fixtures that drive the API directly.
struct BareScriptHost {
    LuaThingy* host = nullptr;
    lua_State* L = nullptr;

    void OpenHost() {
        host = new LuaThingy();
        L = luaL_newstate();
        luaL_openlibs(L);
        RegisterLuaApi(L, host->runVariant);
        PublishEngineHandle(L, host);
    }
    void DropHost() {
        if (L) {
            WithdrawEngineHandle(L);
            lua_close(L);
        }
        delete host;
        L = nullptr;
        host = nullptr;
    }
    std::string Lua(const std::string& code) { return RunLuaExpectingSuccess(L, code); }
};

// Every global of the script API in registration order, and the seven that velkRun leaves out.
const std::vector<std::string> kAllApiGlobals = {
    "Geom",
    "LookAt",
    "Move",
    "Rotate",
    "Scale",
    "Push",
    "Pop",
    "GMove",
    "GRotate",
    "GScale",
    "GPush",
    "GPop",
    "GReset",
    "NewGeom",
    "Place",
    "TMove",
    "TRotate",
    "TScale",
    "TPush",
    "TPop",
    "TReset",
    "AddTex",
    "Tex",
    "AddGeom",
    "AddShad",
    "Shad",
    "SetShadersEnabled",
    "GetShadersEnabled",
    "GetNewAudio",
    "SetAudioData",
    "GetAudioData",
    "AddAudio",
    "Audio",
    "StopAudio",
    "AudioProps",
    "AddMusic",
    "Music",
    "StopMusic",
    "MusicProps",
    "DeclareUniform",
    "Uniform",
    "SetCam",
    "Set2DCamScale",
    "SetLighting",
    "SetLight",
    "SetLightColor",
    "SetLightAtten",
    "Color",
    "Blend",
    "Depth",
    "Logic",
    "BackColor",
    "Culling",
    "DrawLine",
    "SetAmbientColor",
    "GetScriptsPath",
    "GetMediaPath",
    "GetMouseScalar",
    "GetMouseTotal",
    "GetWindowSize",
    "GetMouseRelative",
    "SetMouseVis",
    "SetMouseFree",
    "BeginRTTFull",
    "EndRTTFull",
    "GetNoise",
    "SetNoiseSeed",
    "Quad",
    "ReadSaveString",
    "WriteSaveString",
    "SetSpaceMapper",
    "SpaceMapperReset",
    "AddSpaceObject",
    "SpaceEvent",
    "MapPoint",
    "MapLine",
    "DebugDrawSegments",
    "Set2DSpaceBounds",
    "Text",
    "BindKey",
    "TypingMode",
    "SetScreenshotDir",
    "SetVSync",
};
const std::set<std::string> kApiGlobalsNotInVelkRun = {
    "SetShadersEnabled", "GetShadersEnabled", "Set2DCamScale",   "GetWindowSize",
    "ReadSaveString",    "WriteSaveString",   "SpaceMapperReset"};
