// Cost of a script API call from a Lua loop: Color(1, 0, 0) and Move(1, 2, 3), against a
// native function that does nothing. Needs an X display for the GL context.
#include "luaapi.h"

#include <SFML/OpenGL.hpp>
#include <SFML/Window/Context.hpp>
#include <benchmark/benchmark.h>

namespace {

const int kCallsPerChunk = 1000;

int NoOp(lua_State*) {
    return 0;
}

void RunLoop(benchmark::State& state, const char* call) {
    // One current GL context for the whole run, so the calls reach the driver.
    static sf::Context* context = new sf::Context();
    context->setActive(true);
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    RegisterLuaApi(L, false);
    lua_register(L, "NoOp", NoOp);
    std::string code = "local f = ... for i = 1, " + std::to_string(kCallsPerChunk) + " do " + call + " end";
    if (luaL_loadstring(L, code.c_str()) != 0) {
        state.SkipWithError(lua_tostring(L, -1));
        lua_close(L);
        return;
    }
    lua_setglobal(L, "chunk");
    for (auto _ : state) {
        glLoadIdentity();
        lua_getglobal(L, "chunk");
        if (lua_pcall(L, 0, 0, 0) != 0) {
            state.SkipWithError(lua_tostring(L, -1));
            break;
        }
    }
    // Nanoseconds of CPU time per call.
    double calls = (double)state.iterations() * kCallsPerChunk;
    state.counters["ns_per_call"] =
        benchmark::Counter(calls / 1e9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    lua_close(L);
}

void BM_Color(benchmark::State& state) {
    RunLoop(state, "Color(1, 0, 0)");
}
void BM_Move(benchmark::State& state) {
    RunLoop(state, "Move(1, 2, 3)");
}
void BM_NativeNoOp(benchmark::State& state) {
    RunLoop(state, "NoOp(1, 2, 3)");
}

BENCHMARK(BM_Color);
BENCHMARK(BM_Move);
BENCHMARK(BM_NativeNoOp);

} // namespace
