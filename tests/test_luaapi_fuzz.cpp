// Script-API fuzz: a script calls every registered global of the program with random
// argument lists, from Init, from Draw over a few hundred frames and from KeyHappen, in a
// real host with its window. Nothing may crash, hang or draw a sanitizer report.
//
// The sequence is seeded (VELK_FUZZ_SEED replays another one) and every call is written to
// fuzz.log in the scratch folder (left behind when the process dies) before it is made; when
// the process dies or stalls, the log's last line is printed, so a failure names its culprit.
#include "audioSfml.h"
#include "corethingy_testing.h"
#include "geometry.h"
#include "glfixture.h"
#include "luathingy.h"
#include "luathingy_testing.h"
#include "programKind.h"

#include <atomic>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(undefined_behavior_sanitizer)
#define VELK_FUZZ_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VELK_FUZZ_SANITIZED 1
#endif
#ifdef VELK_FUZZ_SANITIZED
#include <sanitizer/common_interface_defs.h>
#endif

namespace {

const int kInitCalls = 200;
const int kDrawCalls = 60; // per frame
const int kKeyCalls = 4;   // per KeyHappen
const int kFrames = 400; // past 5 s of game time, so unused texts expire too
// Meshes placed into themselves double with each Place; once they hold this many records in
// all, the script draws Place no more (and at most two per callback before that).
const long kMeshRecordCap = 20000;
const int kStallSeconds = 30;

// ---- Naming the culprit when the process dies ----------------------------------------------

char gLogPath[4096];
volatile sig_atomic_t gLastCallPrinted = 0;

// The log's last line to standard error, once. System calls only: it runs in signal handlers
// and in the sanitizers' death callback.
void PrintLastCall() {
    if (gLastCallPrinted || !gLogPath[0]) return;
    gLastCallPrinted = 1;
    int fd = open(gLogPath, O_RDONLY);
    if (fd < 0) return;
    char buf[4096];
    off_t size = lseek(fd, 0, SEEK_END);
    off_t from = size > (off_t)sizeof buf ? size - (off_t)sizeof buf : 0;
    ssize_t n = pread(fd, buf, sizeof buf, from);
    close(fd);
    if (n <= 0) return;
    ssize_t end = buf[n - 1] == '\n' ? n - 1 : n;
    ssize_t start = end;
    while (start > 0 && buf[start - 1] != '\n')
        start--;
    const char head[] = "\nscript-API fuzz, last call (seed, number, callback, call): ";
    if (write(2, head, sizeof head - 1) < 0 || write(2, buf + start, end - start) < 0 || write(2, "\n", 1) < 0)
        return;
}

const int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
struct sigaction gPreviousAction[sizeof kFatalSignals / sizeof kFatalSignals[0]];

// Names the call, gives the signal back to the handler before ours (the sanitizer's report
// or the default action) and returns: the fault happens again, or abort raises again.
void OnFatalSignal(int sig) {
    PrintLastCall();
    for (size_t i = 0; i < sizeof kFatalSignals / sizeof kFatalSignals[0]; i++)
        if (kFatalSignals[i] == sig) sigaction(sig, &gPreviousAction[i], nullptr);
}

// While alive: the hooks above, and a watchdog that names the call and aborts when the log
// has not grown for kStallSeconds.
class CulpritHooks {
  public:
    explicit CulpritHooks(const std::string& logPath) {
        snprintf(gLogPath, sizeof gLogPath, "%s", logPath.c_str());
        gLastCallPrinted = 0;
        struct sigaction action = {};
        action.sa_handler = OnFatalSignal;
        for (size_t i = 0; i < sizeof kFatalSignals / sizeof kFatalSignals[0]; i++)
            sigaction(kFatalSignals[i], &action, &gPreviousAction[i]);
#ifdef VELK_FUZZ_SANITIZED
        __sanitizer_set_death_callback(PrintLastCall);
#endif
        watchdog = std::thread([this] { Watch(); });
    }
    ~CulpritHooks() {
        stop = true;
        watchdog.join();
#ifdef VELK_FUZZ_SANITIZED
        __sanitizer_set_death_callback(nullptr);
#endif
        for (size_t i = 0; i < sizeof kFatalSignals / sizeof kFatalSignals[0]; i++)
            sigaction(kFatalSignals[i], &gPreviousAction[i], nullptr);
        gLogPath[0] = 0;
    }

  private:
    std::atomic<bool> stop{false};
    std::thread watchdog;

    void Watch() {
        off_t lastSize = -1;
        auto lastGrowth = std::chrono::steady_clock::now();
        while (!stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            struct stat st;
            off_t size = stat(gLogPath, &st) == 0 ? st.st_size : -1;
            auto now = std::chrono::steady_clock::now();
            if (size != lastSize) {
                lastSize = size;
                lastGrowth = now;
            } else if (now - lastGrowth > std::chrono::seconds(kStallSeconds)) {
                fprintf(stderr, "\nscript-API fuzz: no call for %d s", kStallSeconds);
                PrintLastCall();
                abort();
            }
        }
    }
};

// ---- The script ------------------------------------------------------------------------------

// The fuzzing script; @SEED@, @NAMES@, @PREFIX@ and the call counts are filled in. Its
// generator is a Park-Miller sequence, exact in Lua's doubles, so a seed gives the same calls
// everywhere.
const char* kFuzzScript = R"LUA(
local seed = @SEED@
local names = {@NAMES@}
local prefix = "@PREFIX@"
local log = assert(io.open("fuzz.log", "w"))
log:setvbuf("no")

local state = seed % 2147483646 + 1
local function rand(n) -- 1 .. n
  state = state * 16807 % 2147483647
  return state % n + 1
end

-- 100 lines of 99 characters and a line end: letters, digits, signs, bytes above 127.
local line = ("Velk 0123456789 MWil.,!? \200\255 "):rep(4):sub(1, 99) .. "\n"
local long = line:rep(100)
assert(#long == 10000)
local labels = {"nil", "0", "-1", "0.5", "1e9", "-1e9", "nan", "inf", "-inf", "-2^31",
                "''", "'x'", "long", "{}", "{1,2,3}", "fn", "true"}
local values = {nil, 0, -1, 0.5, 1e9, -1e9, 0/0, 1/0, -1/0, -2^31, "", "x", long,
                "{}", "{1,2,3}", function() return 1 end, true}

-- Every userdata a script can find (the registry, the globals, their tables and
-- metatables) joins the values: as arguments, and planted in the engine handle's place.
local function collect()
  local seen = {}
  local function walk(v)
    if (type(v) == "table" or type(v) == "userdata") and not seen[v] then
      seen[v] = true
      if type(v) == "userdata" then
        labels[#labels + 1] = "userdata " .. #labels + 1
        values[#labels] = v
      end
      local mt = debug.getmetatable(v)
      if mt then walk(mt) end
      if type(v) == "table" then for k, x in pairs(v) do walk(k) walk(x) end end
    end
  end
  walk(debug.getregistry())
  walk(_G)
end

local functions = {}
for i, name in ipairs(names) do functions[i] = assert(rawget(_G, name), name) end

calls = {}    -- per name, read by the test
total = 0
placeOpen = true -- closed by the test once the meshes are large

local function fuzz(where, n)
  local placed = 0
  for _ = 1, n do
    local i = rand(#names)
    local name = names[i]
    if name == "Place" then
      if not placeOpen or placed >= 2 then name = nil else placed = placed + 1 end
    end
    if name then
      local argc = rand(7) - 1
      local args, text = {}, {}
      for a = 1, argc do
        local k = rand(#labels)
        if k == 14 then args[a] = {} elseif k == 15 then args[a] = {1, 2, 3} else args[a] = values[k] end
        text[a] = labels[k]
      end
      total = total + 1
      calls[name] = (calls[name] or 0) + 1
      local planted = rand(16) == 1 and rand(#labels) or nil
      log:write(seed, " #", total, " ", where, ": ", name, "(", table.concat(text, ", "), ")",
                planted and " with the handle " .. labels[planted] or "", "\n")
      local engine = rawget(_G, "__mLuaThingy")
      if planted then rawset(_G, "__mLuaThingy", values[planted]) end
      pcall(functions[i], unpack(args, 1, argc))
      rawset(_G, "__mLuaThingy", engine)
    end
  end
end

function Init()
  -- What the random values alone cannot make: item 0 and the name "x" of each manager
  -- select something real, the shader has uniforms 0 and 1, the space mapper has walls.
  AddTex(prefix .. "textures/font.png")
  AddTex(prefix .. "x.png")
  AddGeom(prefix .. "geom/quad.obj")
  NewGeom("x")
  AddShad(prefix .. "demo/crystal.shad")
  AddAudio(prefix .. "demo/blip.wav")
  AddAudio(prefix .. "x.wav")
  AddMusic(0, "demo/drone.ogg")
  Shad(0)
  DeclareUniform(0, "time")
  DeclareUniform(1, "glow")
  Shad(-1)
  SetSpaceMapper(1)
  AddSpaceObject("line2d", -5, -1, 5, -1)
  AddSpaceObject("line2d", 0.5, -5, 0.5, 5)
  collect()
  fuzz("init", @INITCALLS@)
end

local frame = 0
function Draw()
  frame = frame + 1
  fuzz("frame " .. frame, @DRAWCALLS@)
end

function KeyHappen(key, state)
  fuzz("key " .. key .. "," .. state, @KEYCALLS@)
end
)LUA";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

unsigned FuzzSeed() {
    const char* env = getenv("VELK_FUZZ_SEED");
    return env && *env ? (unsigned)strtoul(env, nullptr, 10) : 14u;
}

class ScriptApiFuzz : public ::testing::Test {
  protected:
    TempWorkDir dir;
    FakePlatform clock;
    LuaThingy* host = nullptr;

    void SetUp() override {
        // As in the demo tests: the shared window keeps the GL driver loaded to the end.
        GLTest::Window();
        MoonScriptStandIn::On();
        std::string media = std::string(VELK_SOURCE_DIR) + "/run/media";
        ASSERT_EQ(system(("cp -r '" + media + "/.' media/ && cp media/demo/checker.png media/x.png && "
                          "cp media/demo/blip.wav media/x.wav")
                             .c_str()),
                  0);
        TempWorkDir::Mkdir("shots");
    }
    void TearDown() override {
        delete host;
        SetAudioBackend(nullptr);
        SetCurrentProgram(ProgramKind::Engine);
    }

    long MeshRecords() {
        long records = 0;
        GeometryManager& meshes = host->geometryManager;
        for (int i = 0; i < meshes.itemCount; i++)
            if (Geometry* g = reinterpret_cast<Geometry*>(meshes.GetLoadedItem(i)))
                records += (long)g->triCount + g->quadCount;
        return records;
    }

    void Run(ProgramKind kind) {
        unsigned seed = FuzzSeed();
        bool run = kind == ProgramKind::Run;
        std::string names;
        int registered = 0;
        for (int i = 0; i < kLuaApiCount; i++) {
            if (run && !kLuaApi[i].inVelkRun) continue;
            names += std::string(names.empty() ? "" : ", ") + "\"" + kLuaApi[i].name + "\"";
            registered++;
        }
        std::string script = kFuzzScript;
        script = Replace(script, "@SEED@", std::to_string(seed));
        script = Replace(script, "@NAMES@", names);
        // velkRun opens paths as given; velkEngine puts "media/" before them.
        script = Replace(script, "@PREFIX@", run ? "media/" : "");
        script = Replace(script, "@INITCALLS@", std::to_string(kInitCalls));
        script = Replace(script, "@DRAWCALLS@", std::to_string(kDrawCalls));
        script = Replace(script, "@KEYCALLS@", std::to_string(kKeyCalls));
        dir.Script("fuzz.lua", script);
        fprintf(stderr, "script-API fuzz of %s: seed %u (VELK_FUZZ_SEED replays another), log %s/fuzz.log\n",
                run ? "velkRun" : "velkEngine", seed, dir.path.c_str());

        SetCurrentProgram(kind);
        if (!run) InstallSfmlAudio(); // velkRun has no sound output
        host = new LuaThingy();
        host->width = 64;
        host->height = 64;
        clock.perRead = 0.005f;
        host->platform = &clock;
        host->SetupStandardWindow();
        testing::internal::CaptureStdout(); // the engine's many error lines
        std::string arg = "fuzz.lua";
        char* argv[] = {(char*)"velkRun", (char*)"-s", &arg[0]};
        if (run)
            host->DeclareArgs(3, argv);
        else
            host->SetLoadScript("fuzz.lua");

        std::mt19937 keys(seed);
        int initResult = 0, failedFrame = 0;
        auto started = std::chrono::steady_clock::now();
        std::string out;
        {
            CulpritHooks hooks(dir.path + "/fuzz.log");
            initResult = host->Init();
            for (int frame = 1; frame <= kFrames && initResult == 0 && !failedFrame; frame++) {
                lua_pushboolean(host->luaState, MeshRecords() < kMeshRecordCap);
                lua_setglobal(host->luaState, "placeOpen");
                if (keys() % 3 == 0) {
                    // Game keys straight to the script, 35 (the screenshot) among them, and
                    // input codes through the bindings that the script's BindKey made.
                    const int gameKeys[] = {35, 0, -1, 7, INT_MAX, INT_MIN};
                    // The script may name any folder; "" or an absolute one would put the
                    // picture outside the scratch folder.
                    const char* shots = host->screenshotFolder.CStr();
                    if (!shots[0] || shots[0] == '/') host->screenshotFolder.Assign("shots");
                    int gameKey = gameKeys[keys() % 6];
                    int pressState = (int)(keys() % 3);
                    host->GameKeyHappen(gameKey, pressState);
                    int inputCode = (int)(keys() % kInputCodeCount);
                    bool pressed = keys() % 2 == 0;
                    host->HandleEvent(KeyEvent(inputCode, pressed));
                }
                if (host->TimeStep() != 0) failedFrame = frame;
            }
            out = testing::internal::GetCapturedStdout();
            if (initResult != 0 || failedFrame) PrintLastCall();
        }
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::string tail = out.substr(out.size() > 2000 ? out.size() - 2000 : 0);
        ASSERT_EQ(initResult, 0) << "seed " << seed << ", output ends:\n" << tail;
        ASSERT_EQ(failedFrame, 0) << "seed " << seed << ", output ends:\n" << tail;

        // Every registered global was called.
        lua_State* L = host->luaState;
        lua_getglobal(L, "calls");
        int called = 0;
        for (int i = 0; i < kLuaApiCount; i++) {
            if (run && !kLuaApi[i].inVelkRun) continue;
            lua_getfield(L, -1, kLuaApi[i].name);
            if (lua_tonumber(L, -1) > 0)
                called++;
            else
                ADD_FAILURE() << kLuaApi[i].name << " never called";
            lua_pop(L, 1);
        }
        lua_pop(L, 1);
        EXPECT_EQ(called, registered);
        fprintf(stderr, "%d calls of %d globals over %d frames in %.1f s\n", (int)GlobalNumber(L, "total"),
                registered, kFrames, seconds);
    }
};

TEST_F(ScriptApiFuzz, VelkEngine) {
    Run(ProgramKind::Engine);
}

TEST_F(ScriptApiFuzz, VelkRun) {
    Run(ProgramKind::Run);
}

} // namespace
