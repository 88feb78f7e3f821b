// luaApiArgs: argument reading shared by every script API function: the minimum test with
// its message, number, flag and string conversion, and the engine handle.
#include "luaapi.h"

#include "manager.h"

#include <cmath>
#include <cstdio>
#include <unordered_map>

int ArgCount(lua_State* L, int minimum, const char* tag) {
    int count = lua_gettop(L);
    if (count < minimum) printf("ERR: too few args: %s\n", tag);
    return count;
}

double ArgNumber(lua_State* L, int i) {
    return lua_tonumber(L, i);
}

float ArgFloat(lua_State* L, int i) {
    return (float)lua_tonumber(L, i);
}

int ArgInt(lua_State* L, int i) {
    double d = lua_tonumber(L, i);
    // Truncation toward zero; NaN and out-of-range values would make the cast undefined.
    if (std::isnan(d)) return 0;
    if (d >= 2147483647.0) return 2147483647;
    if (d <= -2147483648.0) return -2147483647 - 1;
    return (int)d;
}

bool ArgFlag(lua_State* L, int i) {
    return lua_tonumber(L, i) != 0.0;
}

const char* ArgString(lua_State* L, int i) {
    return lua_tolstring(L, i, nullptr);
}

bool ArgIsNumber(lua_State* L, int i) {
    return lua_type(L, i) == LUA_TNUMBER;
}

// The one handle published for each Lua state, kept where no script can reach it: a
// script sees the registry and may plant any value it finds there as the handle. The key
// is the state's registry table, which all of its coroutines share.
static std::unordered_map<const void*, LuaThingy*>& PublishedHandles() {
    static std::unordered_map<const void*, LuaThingy*> handles;
    return handles;
}

static const void* StateKey(lua_State* L) {
    return lua_topointer(L, LUA_REGISTRYINDEX);
}

void PublishEngineHandle(lua_State* L, LuaThingy* host) {
    PublishedHandles()[StateKey(L)] = host;
    // Raw, so that no metamethod of the script's globals can refuse it.
    lua_pushstring(L, "__mLuaThingy");
    lua_pushlightuserdata(L, host);
    lua_rawset(L, LUA_GLOBALSINDEX);
}

void WithdrawEngineHandle(lua_State* L) {
    if (L) PublishedHandles().erase(StateKey(L));
}

LuaThingy* EngineHandle(lua_State* L, const char* function) {
    // Raw access: a metamethod on the globals could raise here, and the host publishes the
    // handle with a raw set as well.
    lua_pushstring(L, "__mLuaThingy");
    lua_rawget(L, LUA_GLOBALSINDEX);
    int type = lua_type(L, -1);
    void* handle = lua_touserdata(L, -1);
    lua_pop(L, 1);
    auto published = PublishedHandles().find(StateKey(L));
    LuaThingy* engine = published == PublishedHandles().end() ? nullptr : published->second;
    if (!engine && type == LUA_TNIL) {
        // Before the handle exists (a script's top level) there is no engine to reach: a Lua
        // error that names the function, rather than a call on nothing.
        luaL_error(L, "%s: the engine is not ready at the script's top level; call it from Init or later",
                   function);
    }
    if (!engine || type != LUA_TLIGHTUSERDATA || handle != engine) {
        // Only the pointer the engine published is the engine. Whatever else a script stored
        // in its place (nil, a table, a full userdata such as io.stdout, or a light userdata
        // found elsewhere) must not be taken for it.
        luaL_error(L, "%s: __mLuaThingy no longer holds the engine", function);
    }
    return engine;
}

void UseSelectedItem(lua_State* L, MediaManager* manager) {
    int count = lua_gettop(L);
    if (count == 1) {
        if (ArgIsNumber(L, 1)) {
            manager->Use(ArgInt(L, 1));
        } else if (const char* name = ArgString(L, 1)) {
            manager->Use(name);
        }
    } else if (count == 2) {
        // Read the second argument's type before any string conversion of the first.
        bool byPosition = ArgIsNumber(L, 2);
        const char* group = ArgString(L, 1);
        if (!group) return; // a group name that is no text selects nothing
        if (byPosition) {
            manager->Use(group, ArgInt(L, 2));
        } else if (const char* name = ArgString(L, 2)) {
            manager->Use(group, name);
        }
    }
}
