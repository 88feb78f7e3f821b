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

ItemSelector ReadItemSelector(lua_State* L) {
    ItemSelector s = {ItemSelector::None, nullptr, nullptr, 0};
    int count = lua_gettop(L);
    if (count == 1) {
        if (ArgIsNumber(L, 1)) {
            s.form = ItemSelector::ByIndex;
            s.number = ArgInt(L, 1);
        } else if ((s.name = ArgString(L, 1))) {
            s.form = ItemSelector::ByName;
        }
    } else if (count == 2) {
        // Read the second argument's type before any string conversion of the first.
        bool byPosition = ArgIsNumber(L, 2);
        s.group = ArgString(L, 1);
        if (!s.group) return s; // a group name that is no text selects nothing
        if (byPosition) {
            s.form = ItemSelector::ByGroupPosition;
            s.number = ArgInt(L, 2);
        } else if ((s.name = ArgString(L, 2))) {
            s.form = ItemSelector::ByGroupName;
        }
    }
    return s;
}

void UseItem(MediaManager* manager, const ItemSelector& s) {
    switch (s.form) {
    case ItemSelector::ByIndex:
        manager->Use(s.number);
        break;
    case ItemSelector::ByName:
        manager->Use(s.name);
        break;
    case ItemSelector::ByGroupPosition:
        manager->Use(s.group, s.number);
        break;
    case ItemSelector::ByGroupName:
        manager->Use(s.group, s.name);
        break;
    case ItemSelector::None:
        break;
    }
}

// ---- Results held in C++ memory --------------------------------------------------------------

namespace {

struct HeldResult {
    const void* data;
    size_t count;
    bool floats; // a table of numbers; else a string of bytes
};

int CopyHeldResult(lua_State* L) {
    const HeldResult* r = (const HeldResult*)lua_touserdata(L, 1);
    if (r->floats) {
        const float* values = (const float*)r->data;
        lua_createtable(L, (int)r->count, 0);
        for (size_t i = 0; i < r->count; i++) {
            lua_pushnumber(L, values[i]);
            lua_rawseti(L, -2, (int)i + 1);
        }
    } else {
        lua_pushlstring(L, r->data ? (const char*)r->data : "", r->count);
    }
    return 1;
}

int CopyResult(lua_State* L, const void* data, size_t count, bool floats) {
    HeldResult r = {data, count, floats};
    lua_pushlightuserdata(L, &r);
    return lua_pcall(L, 1, 1, 0);
}

} // namespace

void BeginHeldResult(lua_State* L) {
    lua_pushcfunction(L, CopyHeldResult);
}

int PushHeldString(lua_State* L, const char* bytes, size_t n) {
    return CopyResult(L, bytes, n, false);
}

int PushHeldFloats(lua_State* L, const float* values, int n) {
    return CopyResult(L, values, n > 0 ? (size_t)n : 0, true);
}
