// The script host: script types, MoonScript wiring, search paths, the engine handle, the
// callbacks with their error lines, the frames that draw, key events and screenshots,
// and the velkRun variant.
#include "corethingy_testing.h"
#include "luathingy.h"
#include "luathingy_testing.h"
#include "programKind.h"
#include "xsendkey.h"

#include <SFML/OpenGL.hpp>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <algorithm>
#include <sstream>
#include <vector>

namespace {

// Drops the frame-rate lines, which depend on the clock.
std::string WithoutFps(const std::string& out) {
    std::istringstream in(out);
    std::string line, kept;
    while (std::getline(in, line))
        if (line.rfind("FPS: ", 0) != 0) kept += line + "\n";
    return kept;
}

class HostTest : public ::testing::Test {
  protected:
    TempWorkDir dir;
    FakePlatform clock;
    LuaThingy* host = nullptr;
    std::string out; // what the last Init or Step printed
    int result = 0;

    void SetUp() override { MoonScriptStandIn::On(); }
    void TearDown() override {
        delete host;
        SetCurrentProgram(ProgramKind::Engine);
    }

    // A host of the given program with a small window and a clock that never waits.
    void Make(ProgramKind kind = ProgramKind::Engine) {
        SetCurrentProgram(kind);
        host = new LuaThingy();
        host->width = 64;
        host->height = 64;
        clock.perRead = 0.005f;
        host->platform = &clock;
        host->SetupStandardWindow();
    }
    // Writes the script, names it as the program would, and runs Init.
    int Start(const std::string& name, const std::string& text, ProgramKind kind = ProgramKind::Engine) {
        if (!text.empty()) dir.Script(name, text);
        Make(kind);
        testing::internal::CaptureStdout();
        if (kind == ProgramKind::Engine) {
            host->SetLoadScript(name.c_str());
        } else {
            std::string arg = name;
            char* argv[] = {(char*)"velkRun", (char*)"-s", &arg[0]};
            host->DeclareArgs(3, argv);
        }
        result = host->Init();
        out = WithoutFps(testing::internal::GetCapturedStdout());
        return result;
    }
    int Step() {
        testing::internal::CaptureStdout();
        result = host->TimeStep();
        out = WithoutFps(testing::internal::GetCapturedStdout());
        return result;
    }
    lua_State* S() { return host->luaState; }
    // Sends Escape (press and release) to the host's own window, as synthetic X events;
    // never as real key presses, which would reach whichever window has the focus.
    void PressEscape() {
        ASSERT_TRUE(SendKeyToWindow((unsigned long)host->window.getSystemHandle(), "Escape"));
        sf::sleep(sf::milliseconds(100)); // let the events reach this client's queue
    }
    double Number(const char* global) { return GlobalNumber(S(), global); }
    std::string String(const char* global) {
        lua_getglobal(S(), global);
        const char* s = lua_tostring(S(), -1);
        std::string v = s ? s : "<none>";
        lua_pop(S(), 1);
        return v;
    }
};

// A script that records the callbacks it receives in the global `log`.
const char* kRecorder = R"(
log = ""
function Init() log = log .. "I;" end
function Draw(t, dt) log = log .. "D" .. t .. "," .. dt .. ";" end
function KeyHappen(k, s, t) log = log .. "K" .. k .. "," .. s .. ";" end
function OnError() log = log .. "E;" end
)";

TEST_F(HostTest, ConstructionStateAndNaming) {
    Make();
    EXPECT_EQ(host->luaState, nullptr);
    EXPECT_EQ(host->threadState, nullptr);
    EXPECT_FALSE(host->threadStop);
    EXPECT_FALSE(host->runVariant);
    EXPECT_STREQ(host->screenshotFolder.CStr(), "screenshots");
    EXPECT_STREQ(host->scriptName.CStr(), "");
    host->SetLoadScript("game.moon");
    EXPECT_STREQ(host->scriptName.CStr(), "game.moon");
    EXPECT_STREQ(host->scriptPath.CStr(), "scripts\\game.moon");
}

TEST_F(HostTest, LuaScriptRunsItsCallbacksInOrder) {
    ASSERT_EQ(Start("rec.lua", kRecorder), 0);
    EXPECT_EQ(out, "Scripttype: Lua\n");
    EXPECT_EQ(String("log"), "I;");
    EXPECT_STREQ(host->scriptsFolder.CStr(), "scripts/");

    // Frames 1 and 2 draw nothing; the first Draw comes in frame 3 with (0, 0).
    EXPECT_EQ(Step(), 0);
    EXPECT_EQ(Step(), 0);
    EXPECT_EQ(String("log"), "I;");
    EXPECT_EQ(Step(), 0);
    EXPECT_EQ(String("log"), "I;D0,0;");
    EXPECT_EQ(Step(), 0);
    std::string log = String("log");
    // Frame 4: game time has advanced; the step is the fixed 1/60.
    ASSERT_EQ(log.rfind("I;D0,0;D", 0), 0u);
    EXPECT_EQ(log.find("D0,0;", 7), std::string::npos);
    EXPECT_NE(log.find(",0.01666"), std::string::npos);
    EXPECT_EQ(out, "");
}

TEST_F(HostTest, EscapeEndsTheRunOnlyFromFrameThree) {
    ASSERT_EQ(Start("esc.lua", kRecorder), 0);
    PressEscape();
    EXPECT_EQ(Step(), 0); // frame 1: the core's -1 is dropped
    PressEscape();
    EXPECT_EQ(Step(), 0); // frame 2
    EXPECT_EQ(Step(), 0); // frame 3 draws
    EXPECT_EQ(String("log"), "I;D0,0;");
    PressEscape();
    EXPECT_EQ(Step(), -1); // frame 4 ends the run, after it was drawn
    std::string log = String("log");
    EXPECT_EQ(std::count(log.begin(), log.end(), 'D'), 2);
}

TEST_F(HostTest, ScriptTypeByNameEnding) {
    struct Case {
        const char* name;
        const char* line;
    } cases[] = {
        {"a.lua", "Scripttype: Lua\n"},
        {"b.moon", "Scripttype: Moon\n"},
        {"c.LUA", "WAT THE FOOK TYPE OF FILE IS THIS, BRO?  er, Err: Incorrect file extension.\n"},
        {"d.lua.txt", "WAT THE FOOK TYPE OF FILE IS THIS, BRO?  er, Err: Incorrect file extension.\n"},
        {"lua", "WAT THE FOOK TYPE OF FILE IS THIS, BRO?  er, Err: Incorrect file extension.\n"},
        {"oon", "WAT THE FOOK TYPE OF FILE IS THIS, BRO?  er, Err: Incorrect file extension.\n"},
    };
    for (const Case& c : cases) {
        // Each script says how it was run: MoonScript's dofile or plain Lua.
        ASSERT_EQ(Start(c.name, "how = moonscript and 'moon' or 'lua'\nfunction Init() end\n"), 0) << c.name;
        EXPECT_EQ(out, c.line) << c.name;
        bool moon = std::string(c.name) == "b.moon";
        EXPECT_EQ(String("how"), moon ? "moon" : "lua") << c.name;
        delete host;
        host = nullptr;
    }
}

TEST_F(HostTest, MoonScriptIsTheModuleOnThePath) {
    ASSERT_EQ(Start("m.moon", "function Init() standin = moonscript.standin and 1 or 0 end\n"), 0);
    EXPECT_EQ(Number("standin"), 1);
    // LPeg is there as module and global.
    EXPECT_EQ(RunLua(S(), "local l = require 'lpeg' assert(l == lpeg) n = l.match(l.P'ab', 'abc')"), "");
    EXPECT_EQ(Number("n"), 3);
}

TEST_F(HostTest, SearchPathsReachTheScriptsFolder) {
    dir.Script("helper.lua", "return { value = 11 }\n");
    dir.Script("moonhelper.moon", "return { value = 22 }\n");
    dir.Script("plain", "return { value = 33 }\n");
    ASSERT_EQ(Start("p.lua", "function Init()\n"
                             "  a = require('helper').value\n"
                             "  b = require('moonhelper').value\n"
                             "  c = require('plain').value\n"
                             "end\n"),
              0)
        << out;
    EXPECT_EQ(Number("a"), 11);
    EXPECT_EQ(Number("b"), 22);
    EXPECT_EQ(Number("c"), 33);
    RunLua(S(), "p, mp = package.path, package.moonpath");
    std::string p = String("p"), mp = String("mp");
    const std::string luaSuffix = ";./scripts/?.lua;./scripts/?";
    const std::string moonSuffix = ";./scripts/?.moon;./scripts/?";
    ASSERT_GT(p.size(), luaSuffix.size());
    EXPECT_EQ(p.substr(p.size() - luaSuffix.size()), luaSuffix);
    EXPECT_EQ(p.find(VELK_TEST_SUPPORT_DIR), 0u); // the earlier text comes first
    ASSERT_GT(mp.size(), moonSuffix.size());
    EXPECT_EQ(mp.substr(mp.size() - moonSuffix.size()), moonSuffix);
}

TEST_F(HostTest, EngineHandleOnlyFromInitOn) {
    ASSERT_EQ(Start("h.lua", "top = type(__mLuaThingy)\n"
                             "function Init() init = type(__mLuaThingy) end\n"
                             "function Draw() draw = type(__mLuaThingy) end\n"),
              0);
    EXPECT_EQ(String("top"), "nil");
    EXPECT_EQ(String("init"), "userdata");
    lua_getglobal(S(), "__mLuaThingy");
    EXPECT_TRUE(lua_islightuserdata(S(), -1));
    EXPECT_EQ(lua_touserdata(S(), -1), (void*)host);
    EXPECT_EQ(lua_touserdata(S(), -1), (void*)(CoreThingy*)host);
    lua_pop(S(), 1);
    Step();
    Step();
    Step();
    EXPECT_EQ(String("draw"), "userdata");
}

TEST_F(HostTest, AHandleRemovedAfterInitIsNoLongerTheEngine) {
    ASSERT_EQ(Start("r.lua", "function Init() end\n"
                             "function Draw() __mLuaThingy = nil ok, msg = pcall(GMove, 1) end\n"),
              0);
    Step();
    Step();
    EXPECT_EQ(Step(), 0);
    EXPECT_EQ(String("msg"), "GMove: __mLuaThingy no longer holds the engine");
}

// Any userdata a script can find (in the registry, the globals, their tables and
// metatables) planted as the handle is refused; only the engine's own pointer works.
TEST_F(HostTest, OnlyThePublishedPointerIsTheEngine) {
    ASSERT_EQ(Start("p.lua", R"(
function Init()
  local found, seen = {}, {}
  local function walk(v)
    if type(v) == "userdata" then found[#found + 1] = v end
    if (type(v) == "table" or type(v) == "userdata") and not seen[v] then
      seen[v] = true
      local mt = debug.getmetatable(v)
      if mt then walk(mt) end
      if type(v) == "table" then for k, x in pairs(v) do walk(k) walk(x) end end
    end
  end
  local engine = __mLuaThingy
  walk(debug.getregistry()) walk(_G)
  refused, planted = 0, 0
  for _, u in ipairs(found) do
    if u ~= engine then
      planted = planted + 1
      rawset(_G, "__mLuaThingy", u)
      for _, f in ipairs({SetNoiseSeed, GMove, Quad, GetMouseScalar}) do
        local ok, msg = pcall(f, 5)
        if not ok and msg:find("no longer holds the engine") then refused = refused + 1 end
      end
    end
  end
  rawset(_G, "__mLuaThingy", engine)
  restored = pcall(SetNoiseSeed, 5)
end
)"),
              0);
    EXPECT_GT(Number("planted"), 0);
    EXPECT_EQ(Number("refused"), 4 * Number("planted"));
    lua_getglobal(S(), "restored");
    EXPECT_TRUE(lua_toboolean(S(), -1));
    lua_pop(S(), 1);
}

TEST_F(HostTest, EngineCallsAtTopLevelRaiseANamedError) {
    ASSERT_EQ(Start("t.lua", "ok, msg = pcall(GMove, 1)\n"
                             "gl_ok = pcall(Move, 1)\n" // GL-only functions work at top level
                             "function Init() GMove(2) end\n"),
              0);
    EXPECT_EQ(Number("ok"), 0);
    EXPECT_NE(String("msg").find("GMove"), std::string::npos);
    EXPECT_NE(String("msg").find("top level"), std::string::npos);
    lua_getglobal(S(), "gl_ok");
    EXPECT_TRUE(lua_toboolean(S(), -1));
    lua_pop(S(), 1);
    // From Init on the same function reaches the engine.
    EXPECT_FLOAT_EQ(host->geometryManager.modelStack.Ptr()[12], 2);
}

TEST_F(HostTest, UncaughtTopLevelEngineCallShowsInTheInitLines) {
    ASSERT_EQ(Start("u.lua", "Quad()\nfunction Init() end\n"), -1);
    EXPECT_EQ(out, "Scripttype: Lua\n"
                   "Lua Err INIT: attempt to call a nil value.\n"
                   "Lua Err INIT: scripts/u.lua:1: Quad: the engine is not ready at the script's top level; "
                   "call it from Init or later.\n");
}

TEST_F(HostTest, MissingScriptFailsAtInitWithTheDofileMessage) {
    EXPECT_EQ(Start("missing.lua", ""), -1);
    EXPECT_EQ(out, "Scripttype: Lua\n"
                   "Lua Err INIT: attempt to call a nil value.\n"
                   "Lua Err INIT: cannot open scripts/missing.lua: No such file or directory.\n");
    EXPECT_EQ(lua_gettop(S()), 0);
}

// A script that is a pipe is one that cannot be read, in both programs: dofile would wait
// for a writer. A writer comes after a while, so a host that waits runs the script instead.
TEST_F(HostTest, ScriptThatIsAPipeFailsAtInitWithoutWaiting) {
    for (ProgramKind kind : {ProgramKind::Engine, ProgramKind::Run}) {
        const std::string name = kind == ProgramKind::Engine ? "pipe.lua" : "pipe.moon";
        ASSERT_EQ(mkfifo(("scripts/" + name).c_str(), 0600), 0);
        pid_t writer = fork();
        if (writer == 0) {
            for (int i = 0; i < 30; i++) {
                int fd = open(("scripts/" + name).c_str(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    const char text[] = "function Init() end\n";
                    ssize_t ignored = write(fd, text, sizeof text - 1);
                    (void)ignored;
                    _exit(0);
                }
                usleep(100000);
            }
            _exit(0);
        }
        EXPECT_EQ(Start(name, "", kind), -1) << name;
        const std::string lines = "Lua Err INIT: attempt to call a nil value.\n"
                                  "Lua Err INIT: cannot open scripts/" +
                                  name + ": not a regular file.\n";
        EXPECT_EQ(out, (kind == ProgramKind::Engine ? "Scripttype: Lua\n" : "DIST: 1\n") + lines);
        kill(writer, SIGKILL);
        waitpid(writer, nullptr, 0);
        delete host;
        host = nullptr;
    }
}

// The script's name is a path, never Lua source, in both programs: quotes in it run
// nothing, and an escape in it names no other file (here a pipe that would hold the run).
TEST_F(HostTest, ScriptNameIsAPathNotLuaSource) {
    dir.Script("x.lua", "function Init() print('the wrong file') end\n");
    ASSERT_EQ(mkfifo("scripts/xA.lua", 0600), 0);
    alarm(20); // a host that opens the pipe waits for a writer; the alarm ends that as a failure
    for (ProgramKind kind : {ProgramKind::Engine, ProgramKind::Run}) {
        const std::string first = kind == ProgramKind::Engine ? "Scripttype: Lua\n" : "DIST: 1\n";
        EXPECT_EQ(Start("x.lua\") print(\"hi\") _=(\"y.lua", "function Init() print('named') end\n", kind), 0);
        EXPECT_EQ(out, first + "named\n");
        delete host;
        host = nullptr;
        EXPECT_EQ(Start("x\\065.lua", "", kind), -1);
        // (The MoonScript stand-in puts its own place before the message.)
        const std::string missing = "cannot open scripts/x\\065.lua: No such file or directory.\n";
        EXPECT_EQ(out.rfind(first + "Lua Err INIT: attempt to call a nil value.\nLua Err INIT: ", 0), 0u) << out;
        EXPECT_TRUE(out.size() > missing.size() && out.compare(out.size() - missing.size(), missing.size(), missing) == 0)
            << out;
        delete host;
        host = nullptr;
    }
    alarm(0);
}

TEST_F(HostTest, InitErrorAfterAGoodRunIsTheOnlyLine) {
    // The script command is a call statement: the chunk's results are not kept.
    ASSERT_EQ(Start("e.lua", "function Init() error('boom', 0) end\nreturn 1, 2, 3, 4\n"), -1);
    EXPECT_EQ(out, "Scripttype: Lua\n"
                   "Lua Err INIT: boom.\n");
    EXPECT_EQ(lua_gettop(S()), 0);
}

// Error objects that are not text read "(null)", also past debug.traceback (which hands
// them on untouched) and past a __tostring.
TEST_F(HostTest, NonStringErrorsReadAsNull) {
    ASSERT_EQ(Start("n.lua", "function Init() error({}) end\n"), -1);
    EXPECT_EQ(out, "Scripttype: Lua\nLua Err INIT: (null).\n");
    delete host;
    ASSERT_EQ(Start("n2.lua", "function Init() end\nfunction KeyHappen() error(nil) end\n"
                              "function Draw() error(setmetatable({}, {__tostring = function() "
                              "return 'x' end})) end\n"),
              0);
    testing::internal::CaptureStdout();
    host->GameKeyHappen(1, 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "LUA ERR: (null).\n");
    Step();
    Step();
    EXPECT_EQ(Step(), -1);
    EXPECT_EQ(out, "Lua Err: (null).\n");
}

TEST_F(HostTest, WithoutMoonScriptTheHostGoesOn) {
    MoonScriptStandIn::Off();
    ASSERT_EQ(Start("plain.lua", "function Init() ran = 1 end\n"), 0);
    EXPECT_EQ(out, "ERR: Moonscript not enabled.\nScripttype: Lua\n");
    EXPECT_EQ(Number("ran"), 1);
    // moonpath does not exist and is left alone.
    RunLua(S(), "mp = type(package.moonpath)");
    EXPECT_EQ(String("mp"), "nil");
}

TEST_F(HostTest, WithoutMoonScriptAMoonScriptFails) {
    MoonScriptStandIn::Off();
    ASSERT_EQ(Start("x.moon", "function Init() end\n"), -1);
    std::istringstream lines(out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "ERR: Moonscript not enabled.");
    std::getline(lines, line);
    EXPECT_EQ(line, "Scripttype: Moon");
    std::getline(lines, line);
    EXPECT_EQ(line, "Lua Err INIT: attempt to call a nil value.");
    std::getline(lines, line);
    EXPECT_EQ(line,
              "Lua Err INIT: [string \"moonscript.dofile(\"scripts/x.moon\")\"]:1: attempt to index global "
              "'moonscript' (a nil value).");
    // Third: the failed require's message, left on the stack since.
    std::getline(lines, line);
    EXPECT_EQ(
        line,
        "Lua Err INIT: [string \"moonscript = require \"moonscript\"\"]:1: module 'moonscript' not found:");
    EXPECT_EQ(lua_gettop(S()), 0);
}

TEST_F(HostTest, DrawErrorEndsTheRunAfterOnError) {
    ASSERT_EQ(Start("d.lua", "errors = 0\nfunction Init() end\n"
                             "function Draw() error('bad frame') end\n"
                             "function OnError() errors = errors + 1 end\n"),
              0);
    Step();
    Step();
    EXPECT_EQ(Step(), -1);
    EXPECT_EQ(out.rfind("Lua Err: scripts/d.lua:3: bad frame\nstack traceback:\n", 0), 0u) << out;
    EXPECT_EQ(out.substr(out.size() - 2), ".\n");
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n') > 2, true);
    EXPECT_EQ(Number("errors"), 1);
    EXPECT_EQ(lua_gettop(S()), 0);
}

TEST_F(HostTest, OnErrorFailureIsIgnored) {
    ASSERT_EQ(Start("o.lua", "function Init() end\nfunction OnError() error('again') end\n"), 0);
    Step();
    Step();
    EXPECT_EQ(Step(), -1);
    // Draw is missing: one line for it, nothing for OnError.
    EXPECT_EQ(out.rfind("Lua Err: attempt to call a nil value", 0), 0u) << out;
    EXPECT_EQ(out.find("again"), std::string::npos);
}

TEST_F(HostTest, VelkRunCallsNoOnError) {
    ASSERT_EQ(Start("v.lua",
                    "errors = 0\nfunction Init() end\n"
                    "function Draw() error('bad frame') end\n"
                    "function OnError() errors = errors + 1 end\n",
                    ProgramKind::Run),
              0);
    // velkRun: no script-type line; every script goes through MoonScript.
    EXPECT_EQ(out, "DIST: 1\n");
    lua_getglobal(S(), "moonscript");
    EXPECT_TRUE(lua_istable(S(), -1));
    lua_pop(S(), 1);
    Step();
    Step();
    EXPECT_EQ(Step(), -1);
    EXPECT_EQ(out.rfind("Lua Err: scripts/v.lua:3: bad frame\nstack traceback:\n", 0), 0u) << out;
    EXPECT_EQ(Number("errors"), 0);
}

TEST_F(HostTest, StackIsEmptyAfterEveryHostStep) {
    ASSERT_EQ(Start("s.lua", kRecorder), 0);
    EXPECT_EQ(lua_gettop(S()), 0);
    Step();
    host->GameKeyHappen(4, 1);
    EXPECT_EQ(lua_gettop(S()), 0); // each step works inside its own protected call
    Step();
    Step();
    EXPECT_EQ(lua_gettop(S()), 0);
}

TEST_F(HostTest, KeyEventsReachKeyHappen) {
    ASSERT_EQ(Start("k.lua", kRecorder), 0);
    host->GameKeyHappen(7, 1);
    host->GameKeyHappen(-1, 2); // passed on as given
    host->GameKeyHappen(7, 0);
    EXPECT_EQ(String("log"), "I;K7,1;K-1,2;K7,0;");
    // Init unbound every input code.
    for (int i = 0; i < kInputCodeCount; i++)
        ASSERT_EQ(host->input.keyState.binding[i], -1);
}

TEST_F(HostTest, KeyHappenErrorsAreReportedAndTheRunGoesOn) {
    ASSERT_EQ(Start("ke.lua", "function Init() end\nfunction Draw() end\n"
                              "function KeyHappen(k) error('key ' .. k) end\n"),
              0);
    testing::internal::CaptureStdout();
    host->GameKeyHappen(3, 1);
    std::string keyOut = testing::internal::GetCapturedStdout();
    EXPECT_EQ(keyOut.rfind("LUA ERR: scripts/ke.lua:3: key 3\nstack traceback:\n", 0), 0u) << keyOut;
    Step();
    Step();
    EXPECT_EQ(Step(), 0);
}

TEST_F(HostTest, GameKey35PressTakesAScreenshotFirst) {
    TempWorkDir::Mkdir("shots");
    ASSERT_EQ(Start("shot.lua", "function Init() end\n"
                                "function KeyHappen(k, s)\n"
                                "  local f = io.open('shots/capture000.bmp', 'rb')\n"
                                "  seen = (seen or '') .. s .. (f and 'y' or 'n') .. ';'\n"
                                "  if f then f:close() end\n"
                                "end\n"),
              0);
    host->screenshotFolder.Assign("shots");
    host->GameKeyHappen(35, 2); // repeat: no picture
    host->GameKeyHappen(35, 0); // release: no picture
    host->typingMode = 1;
    host->GameKeyHappen(35, 1); // typing mode: no picture
    EXPECT_FALSE(TempWorkDir::Exists("shots/capture000.bmp"));
    host->typingMode = 0;
    host->GameKeyHappen(35, 1);
    EXPECT_EQ(String("seen"), "2n;0n;1n;1y;");
    EXPECT_TRUE(TempWorkDir::Exists("shots/capture000.bmp"));
    host->GameKeyHappen(34, 1);
    EXPECT_FALSE(TempWorkDir::Exists("shots/capture001.bmp"));
}

TEST_F(HostTest, CallbacksAreLookedUpAtEveryCall) {
    ASSERT_EQ(Start("r.lua", "n = 0\nfunction Init() end\n"
                             "function Draw() n = n + 1; Draw = function() n = n + 100 end end\n"),
              0);
    Step();
    Step();
    Step();
    Step();
    EXPECT_EQ(Number("n"), 101);
}

TEST_F(HostTest, FrameResetsGLStateBeforeDraw) {
    ASSERT_EQ(Start("g.lua", "function Init() end\n"
                             "function Draw() Color(1, 0, 0) Move(5, 0, 0) Draw = function() end end\n"),
              0);
    Step();
    Step();
    Step();
    // What a script leaves behind; the next frame resets all but the colour.
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glDisable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    Step();
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    GLint mask = 0, mode = 0;
    glGetIntegerv(GL_DEPTH_WRITEMASK, &mask);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mask, GL_TRUE);
    EXPECT_EQ(mode, GL_MODELVIEW);
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[12], 0); // the camera reset loads the identity
    float c[4];
    glGetFloatv(GL_CURRENT_COLOR, c);
    EXPECT_FLOAT_EQ(c[0], 1);
    EXPECT_FLOAT_EQ(c[1], 0);
}

TEST_F(HostTest, InitSetsTheAmbientLightBlack) {
    Make();
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, std::vector<float>{0.5f, 0.5f, 0.5f, 1}.data());
    dir.Script("a.lua", "function Init() end\n");
    host->SetLoadScript("a.lua");
    testing::internal::CaptureStdout();
    EXPECT_EQ(host->Init(), 0);
    testing::internal::GetCapturedStdout();
    float ambient[4];
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, ambient);
    EXPECT_FLOAT_EQ(ambient[0], 0);
    EXPECT_FLOAT_EQ(ambient[3], 1);
}

// A script may remove `debug` or give the globals a raising __index: the host's own
// lookups must not end the process with an unprotected error.
TEST_F(HostTest, HostileGlobalsDoNotCrashTheHost) {
    ASSERT_EQ(Start("x.lua", "function Init() debug = nil end\n"
                             "function Draw() error('no traceback', 0) end\n"),
              0);
    Step();
    Step();
    EXPECT_EQ(Step(), -1);
    EXPECT_EQ(out, "Lua Err: no traceback.\n");
    delete host;
    host = nullptr;

    ASSERT_EQ(Start("y.lua",
                    "function Init()\n"
                    "  setmetatable(_G, { __index = function(_, k) error('strict: ' .. k, 0) end })\n"
                    "end\n"),
              0);
    testing::internal::CaptureStdout();
    host->GameKeyHappen(1, 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "LUA ERR: strict: KeyHappen.\n");
    Step();
    Step();
    EXPECT_EQ(Step(), -1);
    EXPECT_EQ(out, "Lua Err: strict: Draw.\n");
}

TEST_F(HostTest, InitCallbackBehindARaisingIndex) {
    ASSERT_EQ(
        Start("z.lua", "setmetatable(_G, { __index = function(_, k) error('no global ' .. k, 0) end })\n"),
        -1);
    EXPECT_EQ(out, "Scripttype: Lua\nLua Err INIT: no global Init.\n");
}

TEST_F(HostTest, HandleIsPublishedPastARefusingNewindex) {
    ASSERT_EQ(Start("w.lua",
                    "function Init() rawset(_G, 'seen', type(__mLuaThingy)) end\n"
                    "setmetatable(_G, { __newindex = function(_, k) error('read-only: ' .. k, 0) end })\n"),
              0)
        << out;
    lua_getglobal(S(), "seen");
    EXPECT_STREQ(lua_tostring(S(), -1), "userdata");
    lua_pop(S(), 1);
}

// However many key events arrive before the first drawn frame, none leaves anything behind.
TEST_F(HostTest, ManyKeyEventsBeforeTheFirstFrame) {
    ASSERT_EQ(Start("many.lua", "n = 0\nfunction Init() end\nfunction KeyHappen() n = n + 1 end\n"
                                "function Draw() end\n"),
              0);
    for (int i = 0; i < 20000; i++)
        host->GameKeyHappen(1, i % 2);
    EXPECT_EQ(Number("n"), 20000);
    EXPECT_EQ(lua_gettop(S()), 0);
    Step();
    Step();
    EXPECT_EQ(Step(), 0);
    EXPECT_EQ(lua_gettop(S()), 0);
}

// A finalizer may run at any allocation, the host's own pushes between the callbacks included,
// and may raise there. With a slow collector (one finalizer per step), the second finalizer
// after a Draw runs in the host's work before the next one; its error fails the frame.
TEST_F(HostTest, FinalizerErrorBetweenCallbacksFailsTheFrame) {
    ASSERT_EQ(
        Start("fin.lua",
              "local after = -1\n"
              "local function fin() if after >= 0 then after = after + 1; "
              "if after >= 2 then error('from a finalizer', 0) end end end\n"
              "function Init() ballast = string.rep('b', 20e6); collectgarbage('setpause', 0); "
              "collectgarbage('setstepmul', 1) end\n"
              "function Draw() after = -1; for i = 1, 300 do getmetatable(newproxy(true)).__gc = fin end; "
              "after = 0 end\n"
              "function OnError() errors = (errors or 0) + 1 end\n"),
        0);
    int frames = 0;
    while (Step() == 0 && frames < 3000)
        frames++;
    EXPECT_EQ(result, -1) << "no finalizer raised in " << frames << " frames";
    // No traceback: the error came from the host's work, not from inside Draw.
    EXPECT_EQ(out, "Lua Err: from a finalizer.\n");
    EXPECT_EQ(Number("errors"), 1);
}

TEST_F(HostTest, SmallHelpers) {
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    // AppendLuaPath: text fields are extended, anything else is left alone; the stack is kept.
    RunLua(L, "package.path = 'a' package.cpath = nil package.moonpath = 5");
    lua_pushnumber(L, 1);
    EXPECT_EQ(LuaThingy::AppendLuaPath(L, "path", "b"), 0);
    EXPECT_EQ(LuaThingy::AppendLuaPath(L, "cpath", "b"), 0);
    EXPECT_EQ(LuaThingy::AppendLuaPath(L, "moonpath", "c"), 0);
    EXPECT_EQ(lua_gettop(L), 1);
    RunLua(L, "p, cp, mp = package.path, type(package.cpath), package.moonpath");
    lua_getglobal(L, "cp");
    EXPECT_STREQ(lua_tostring(L, -1), "nil");
    lua_getglobal(L, "p");
    EXPECT_STREQ(lua_tostring(L, -1), "a;b");
    lua_getglobal(L, "mp");
    EXPECT_STREQ(lua_tostring(L, -1), "5;c");
    lua_settop(L, 1);

    // LuaFunctionExists: raw, stack unchanged.
    RunLua(L, "function f() end g = 1 setmetatable(_G, { __index = function() return print end })");
    EXPECT_TRUE(LuaThingy::LuaFunctionExists(L, "f"));
    EXPECT_FALSE(LuaThingy::LuaFunctionExists(L, "g"));
    EXPECT_FALSE(LuaThingy::LuaFunctionExists(L, "h"));
    EXPECT_EQ(lua_gettop(L), 1);

    // readMemFile hands over the whole chunk once.
    struct {
        const char* data;
        uint32_t size;
    } chunk{"x = 40 + 2", 10};
    ASSERT_EQ(lua_load(L, LuaThingy::readMemFile, &chunk, "mem"), 0);
    ASSERT_EQ(lua_pcall(L, 0, 0, 0), 0);
    EXPECT_EQ(GlobalNumber(L, "x"), 42);
    EXPECT_EQ(chunk.size, 0u);
    size_t size = 99;
    EXPECT_EQ(LuaThingy::readMemFile(L, &chunk, &size), nullptr);

    testing::internal::CaptureStdout();
    LuaLock(L);
    LuaUnlock(L);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "lock\nunlock\n");
    lua_close(L);
}

// ThreadFunction calls the thread state's global until the host's stop flag is set.
int StopThread(lua_State* L) {
    LuaThingy* host = (LuaThingy*)lua_touserdata(L, lua_upvalueindex(1));
    host->threadStop = true;
    return 0;
}

TEST_F(HostTest, ThreadFunctionRunsUntilStopped) {
    Make();
    lua_State* T = luaL_newstate();
    luaL_openlibs(T);
    lua_pushlightuserdata(T, host);
    lua_pushcclosure(T, StopThread, 1);
    lua_setglobal(T, "Stop");
    RunLua(T, "calls = 0 function ThreadFunction() calls = calls + 1 "
              "if calls == 1 then error('first', 0) end if calls == 3 then Stop() end end");
    host->threadState = T;
    testing::internal::CaptureStdout();
    LuaThingy::ThreadFunction(host);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Lua Err THREAD: first.\n");
    EXPECT_EQ(GlobalNumber(T, "calls"), 3);
    host->threadState = nullptr;
    lua_close(T);
}

} // namespace
