// Helpers for the script API tests: a real host that runs a script file through Init on the
// shared GL fixture's context, with calls into the script's state and small media files
// (pictures, wave files) written on the spot.
#pragma once

#include "audio.h"
#include "glfixture.h"
#include "luathingy.h"
#include "luathingy_testing.h"
#include "programKind.h"

#include <SFML/Graphics/Image.hpp>
#include <SFML/OpenGL.hpp>
#include <cstdint>
#include <string>
#include <vector>

class ScriptHostTest : public GLTest {
  protected:
    TempWorkDir dir;
    LuaThingy* host = nullptr;
    std::string initOutput;

    void SetUp() override {
        GLTest::SetUp();
        MoonScriptStandIn::On();
    }
    void TearDown() override {
        delete host;
        host = nullptr;
        SetCurrentProgram(ProgramKind::Engine);
        SetAudioBackend(nullptr);
    }

    // Writes scripts/<name>, builds the host and runs its Init on the script; the host draws
    // into the fixture's 256 x 256 window. Returns Init's result.
    int Start(const std::string& script, const char* name = "api.lua") {
        dir.Script(name, script);
        host = new LuaThingy();
        host->width = host->height = kWidth;
        host->SetLoadScript(name);
        testing::internal::CaptureStdout();
        int result = host->Init();
        initOutput = testing::internal::GetCapturedStdout();
        return result;
    }
    // A host for a script that only needs the API.
    int Start() { return Start("function Init() end\nfunction Draw() end\nfunction KeyHappen() end\n"); }

    // Runs Lua text in the script's state, expects no error and returns what it printed.
    std::string Lua(const std::string& code) { return RunLuaExpectingSuccess(host->luaState, code); }
    // Runs Lua text that is expected to fail; returns the error message.
    std::string LuaError(const std::string& code) {
        testing::internal::CaptureStdout();
        std::string error = RunLua(host->luaState, code);
        testing::internal::GetCapturedStdout();
        return error;
    }
    double Num(const char* global) { return GlobalNumber(host->luaState, global); }
    std::string Str(const char* global) {
        lua_State* L = host->luaState;
        lua_getglobal(L, global);
        size_t n = 0;
        const char* s = lua_tolstring(L, -1, &n);
        std::string out = s ? std::string(s, n) : std::string("<none>");
        lua_pop(L, 1);
        return out;
    }
    std::string Type(const char* global) {
        lua_State* L = host->luaState;
        lua_getglobal(L, global);
        std::string t = lua_typename(L, lua_type(L, -1));
        lua_pop(L, 1);
        return t;
    }

    // The item index of the entry `name` of a manager's group, -1 when there is none.
    static int ItemIndexOf(MediaManager& manager, const char* group, const char* name) {
        MediaManagerGroup* g = manager.GetGroup(group);
        if (!g) return -1;
        int entry = manager.GetGroupItemIndex(g, name);
        return entry < 0 ? -1 : g->entryPtr[entry].itemIndex;
    }

    static GLint Int(GLenum e) {
        GLint v = 0;
        glGetIntegerv(e, &v);
        return v;
    }
    static void Matrix(GLenum which, float m[16]) { glGetFloatv(which, m); }

    // A w x h picture of one colour, written as media/<path>.
    static void WritePicture(const std::string& path, int w, int h, sf::Color c) {
        sf::Image image;
        image.create(w, h, c);
        ASSERT_TRUE(image.saveToFile("media/" + path)) << path;
    }
    // A mono 16-bit wave file of the given samples, written as media/<path>.
    static void WriteWave(const std::string& path, const std::vector<int16_t>& samples, int rate = 22050) {
        std::string bytes;
        auto u32 = [&](uint32_t v) {
            for (int i = 0; i < 4; i++)
                bytes += (char)((v >> (8 * i)) & 0xff);
        };
        auto u16 = [&](uint16_t v) {
            bytes += (char)(v & 0xff);
            bytes += (char)(v >> 8);
        };
        uint32_t data = (uint32_t)samples.size() * 2;
        bytes += "RIFF";
        u32(36 + data);
        bytes += "WAVEfmt ";
        u32(16);
        u16(1);
        u16(1);
        u32(rate);
        u32(rate * 2);
        u16(2);
        u16(16);
        bytes += "data";
        u32(data);
        for (int16_t s : samples)
            u16((uint16_t)s);
        TempWorkDir::Write("media/" + path, bytes);
    }
};
