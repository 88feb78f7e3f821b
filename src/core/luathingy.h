// luathingy: the script host. LuaThingy is the application object that runs one Lua or
// MoonScript script: it owns the Lua state, registers the script API, opens LPeg and
// MoonScript, runs the script file, publishes the engine handle and calls the script's
// Init, Draw, KeyHappen and OnError callbacks. Users of this header need no Lua headers.
#pragma once

#include "corethingy.h"
#include "datablock.h"
#include "materials.h"
#include "numericfuncs.h"

#include <SFML/System/Mutex.hpp>
#include <cstddef>

struct lua_State;

class LuaThingy : public CoreThingy {
  public:
    lua_State* luaState;     // created by Init, closed by the destructor
    DataBlock scriptName;    // the script's file name without folder
    DataBlock scriptPath;    // "scripts\\" and the script name; nothing runs it
    DataBlock scriptsFolder; // "scripts/" from Init on
    DataBlock screenshotFolder;
    Texture renderTarget; // target of BeginRTTFull / EndRTTFull
    SimplexNoise noise;   // GetNoise / SetNoiseSeed
    bool threadStop;
    lua_State* threadState; // the state ThreadFunction runs on; nothing sets it
    sf::Mutex threadMutex;  // nothing locks it
    // Set from IsVelkRun() when the host is built: velkRun registers a smaller API, runs
    // every script through MoonScript and calls no OnError.
    bool runVariant;

    LuaThingy();
    ~LuaThingy() override;

    void SetLoadScript(const char* name);
    void DeclareArgs(int argc, char** argv);

    int Init() override;
    virtual int TimeStep();
    void GameKeyHappen(int gameKey, int pressState) override;

    // Extends the string package[field] by ";" and suffix; always 0.
    static int AppendLuaPath(lua_State* L, const char* field, const char* suffix);
    // Whether the global `name` (raw access) is a function; the stack is left as it was.
    static bool LuaFunctionExists(lua_State* L, const char* name);
    // A lua_Reader handing over a whole memory chunk (data pointer, then a 32-bit count)
    // in one piece.
    static const char* readMemFile(lua_State* L, void* chunk, size_t* size);
    // Body of a worker thread that keeps calling the global "ThreadFunction" of
    // threadState until threadStop is set. Nothing starts such a thread.
    static void ThreadFunction(void* host);

    // The scripts folder of the script command and of the module search paths.
    static const char* const kScriptsFolder;
};

// Print "lock" and "unlock"; bound to no global.
int LuaLock(lua_State* L);
int LuaUnlock(lua_State* L);
