// The script API's common rules: the registration table and what each program registers,
// argument counts, number, flag and string conversion, the item selector, the engine
// handle at a script's top level, and velkRun's command line.
#include "luathingy.h"
#include "luathingy_testing.h"
#include "manager.h"
#include "programKind.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace {

// Names of the function-valued globals of a state.
std::set<std::string> FunctionGlobals(lua_State* L) {
    std::set<std::string> names;
    lua_pushnil(L);
    while (lua_next(L, LUA_GLOBALSINDEX)) {
        if (lua_type(L, -2) == LUA_TSTRING && lua_isfunction(L, -1)) names.insert(lua_tostring(L, -2));
        lua_pop(L, 1);
    }
    return names;
}

TEST(LuaApiTable, RowsFollowTheRegistrationOrder) {
    ASSERT_EQ(kAllApiGlobals.size(), 83u);
    int previous = -1;
    std::set<std::string> seen;
    for (int i = 0; i < kLuaApiCount; i++) {
        const LuaApiEntry& row = kLuaApi[i];
        auto at = std::find(kAllApiGlobals.begin(), kAllApiGlobals.end(), row.name);
        ASSERT_NE(at, kAllApiGlobals.end()) << row.name;
        int position = (int)(at - kAllApiGlobals.begin());
        EXPECT_GT(position, previous) << row.name << " is out of order";
        previous = position;
        EXPECT_TRUE(seen.insert(row.name).second) << row.name << " twice";
        EXPECT_EQ(row.inVelkRun, kApiGlobalsNotInVelkRun.count(row.name) == 0) << row.name;
        EXPECT_NE(row.function, nullptr) << row.name;
    }
    // The whole vocabulary: 83 rows, of which velkRun registers 76.
    std::vector<std::string> names;
    int inRun = 0;
    for (int i = 0; i < kLuaApiCount; i++) {
        names.push_back(kLuaApi[i].name);
        if (kLuaApi[i].inVelkRun) inRun++;
    }
    EXPECT_EQ(names, kAllApiGlobals);
    EXPECT_EQ(kLuaApiCount, 83);
    EXPECT_EQ(inRun, 76);
}

TEST(LuaApiTable, EachProgramRegistersItsRowsAsPlainFunctions) {
    for (bool velkRun : {false, true}) {
        lua_State* L = luaL_newstate();
        luaL_openlibs(L);
        std::set<std::string> before = FunctionGlobals(L);
        RegisterLuaApi(L, velkRun);
        std::set<std::string> after = FunctionGlobals(L);
        std::set<std::string> added;
        for (const std::string& name : after)
            if (!before.count(name)) added.insert(name);
        std::set<std::string> expected;
        for (int i = 0; i < kLuaApiCount; i++)
            if (!velkRun || kLuaApi[i].inVelkRun) expected.insert(kLuaApi[i].name);
        EXPECT_EQ(added, expected) << (velkRun ? "velkRun" : "velkEngine");
        for (const std::string& name : added) {
            lua_getglobal(L, name.c_str());
            EXPECT_TRUE(lua_iscfunction(L, -1)) << name;
            EXPECT_EQ(lua_getupvalue(L, -1, 1), nullptr) << name << " has an upvalue";
            lua_settop(L, 0);
        }
        if (velkRun)
            for (const std::string& name : kApiGlobalsNotInVelkRun)
                EXPECT_EQ(after.count(name), 0u) << name;
        lua_close(L);
    }
}

// A bare state with the API but no engine handle, as a script's top level sees it.
class ArgsTest : public ::testing::Test {
  protected:
    lua_State* L = nullptr;
    void SetUp() override {
        L = luaL_newstate();
        luaL_openlibs(L);
        RegisterLuaApi(L, false);
    }
    void TearDown() override { lua_close(L); }
    // Pushes the values of a Lua expression list as the arguments of a fake call.
    void Args(const std::string& list) {
        lua_settop(L, 0);
        ASSERT_EQ(luaL_loadstring(L, ("return " + list).c_str()), 0);
        ASSERT_EQ(lua_pcall(L, 0, LUA_MULTRET, 0), 0);
    }
};

TEST_F(ArgsTest, CountPrintsTheTagOnlyBelowTheMinimum) {
    Args("1, 2");
    testing::internal::CaptureStdout();
    EXPECT_EQ(ArgCount(L, 2, "bindkey"), 2);
    EXPECT_EQ(ArgCount(L, 3, "bindkey"), 2);
    EXPECT_EQ(ArgCount(L, 0, ""), 2);
    Args("nil, nil, nil");
    EXPECT_EQ(ArgCount(L, 3, "x"), 3); // nils count: the count decides, not the values
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERR: too few args: bindkey\n");
}

TEST_F(ArgsTest, IntsTruncateTowardZeroAndNeverOverflow) {
    Args("2.9, -2.9, '3.7', 0/0, 1e20, -1e20, {}, true, ' 12 ', '0x10'");
    EXPECT_EQ(ArgInt(L, 1), 2);
    EXPECT_EQ(ArgInt(L, 2), -2);
    EXPECT_EQ(ArgInt(L, 3), 3);
    EXPECT_EQ(ArgInt(L, 4), 0);
    EXPECT_EQ(ArgInt(L, 5), INT_MAX);
    EXPECT_EQ(ArgInt(L, 6), INT_MIN);
    EXPECT_EQ(ArgInt(L, 7), 0);
    EXPECT_EQ(ArgInt(L, 8), 0);
    EXPECT_EQ(ArgInt(L, 9), 12);
    EXPECT_EQ(ArgInt(L, 10), 16);
    EXPECT_EQ(ArgInt(L, 11), 0); // past the count
    EXPECT_EQ(ArgNumber(L, 11), 0);
}

TEST_F(ArgsTest, FloatsAndFlags) {
    Args("0.1, 0, 0.5, 0/0, '0', nil, true, -0.0, 'x'");
    EXPECT_EQ(ArgFloat(L, 1), 0.1f);
    EXPECT_FALSE(ArgFlag(L, 2));
    EXPECT_TRUE(ArgFlag(L, 3));
    EXPECT_TRUE(ArgFlag(L, 4)); // NaN is not 0
    EXPECT_FALSE(ArgFlag(L, 5));
    EXPECT_FALSE(ArgFlag(L, 6));
    EXPECT_FALSE(ArgFlag(L, 7)); // a boolean is no number: 0
    EXPECT_FALSE(ArgFlag(L, 8));
    EXPECT_FALSE(ArgFlag(L, 9));
}

TEST_F(ArgsTest, StringsAndNumberTypes) {
    Args("3, 2.5, 'abc', nil, true, {}");
    EXPECT_TRUE(ArgIsNumber(L, 1));
    EXPECT_STREQ(ArgString(L, 1), "3");
    EXPECT_FALSE(ArgIsNumber(L, 1)); // converted in place, as lua_tolstring does
    EXPECT_STREQ(ArgString(L, 2), "2.5");
    EXPECT_STREQ(ArgString(L, 3), "abc");
    EXPECT_EQ(ArgString(L, 4), nullptr);
    EXPECT_EQ(ArgString(L, 5), nullptr);
    EXPECT_EQ(ArgString(L, 6), nullptr);
    EXPECT_EQ(ArgString(L, 7), nullptr);
    Args("'3'");
    EXPECT_FALSE(ArgIsNumber(L, 1)); // a numeric string is a string
}

// Records which items the selector hands to priv_Use.
class RecordingManager : public MediaManager {
  public:
    std::vector<int> used; // the markers of the items used
    int markers[8] = {100, 101, 102, 103, 104, 105, 106, 107};
    void priv_Use(int* item) override { used.push_back(item ? *item : -1); }
    int Add(const char* group, const char* name) {
        int** slot = nullptr;
        int index = CreateEmptyItem(group, name, &slot);
        *slot = &markers[index];
        return index;
    }
};

TEST_F(ArgsTest, ItemSelectorForms) {
    RecordingManager m;
    m.Add("", "a");    // item 0
    m.Add("", "b");    // item 1
    m.Add("grp", "0"); // item 2: entry 0 of grp, named "0"
    m.Add("grp", "c"); // item 3: entry 1 of grp
    m.Add("", "3");    // item 4: named "3"
    struct Case {
        const char* args;
        std::vector<int> used;
    } cases[] = {
        {"3", {103}},          // a number: item index
        {"'3'", {104}},        // a numeric string: a name in the default group
        {"2.9", {102}},        // truncated
        {"'b'", {101}},        // by name
        {"'grp', 0", {102}},   // group and position
        {"'grp', 1", {103}},   // group and position
        {"'grp', '0'", {102}}, // group and name "0"
        {"'grp', 'c'", {103}}, // group and name
        {"'', 1", {101}},      // the default group by position
        {"{}", {}},            // a name that is no text: nothing
        {"nil", {}},           //
        {"'grp', {}", {}},     //
        {"true, 0", {}},       // a group name that is no text: nothing
        {"0, 1, 2", {}},       // more than two arguments: nothing
    };
    testing::internal::CaptureStdout();
    for (const Case& c : cases) {
        m.used.clear();
        Args(c.args);
        UseItem(&m, ReadItemSelector(L));
        EXPECT_EQ(m.used, c.used) << c.args;
    }
    lua_settop(L, 0);
    m.used.clear();
    UseItem(&m, ReadItemSelector(L));
    EXPECT_TRUE(m.used.empty());
    testing::internal::GetCapturedStdout();
}

TEST_F(ArgsTest, EngineFunctionsWithoutHandleRaiseANamedError) {
    for (const char* name : {"Geom", "GMove", "GRotate", "NewGeom", "Place", "TRotate", "Quad", "SetLight",
                             "SetAmbientColor", "SetLighting"}) {
        std::string call = std::string(name) + "(1, 2, 3, 4)";
        EXPECT_EQ(RunLua(L, call),
                  "[string \"" + call + "\"]:1: " + name +
                      ": the engine is not ready at the script's top level; call it from Init "
                      "or later");
    }
    // The two lock functions bound to no global reach the engine and do nothing else.
    for (lua_CFunction lock : {pubLThreadLock, pubLThreadUnlock}) {
        lua_settop(L, 0);
        lua_pushcfunction(L, lock);
        EXPECT_NE(lua_pcall(L, 0, LUA_MULTRET, 0), 0);
        EXPECT_NE(std::string(lua_tostring(L, -1)).find("the engine is not ready"), std::string::npos);
        int marker = 0;
        PublishEngineHandle(L, reinterpret_cast<LuaThingy*>(&marker));
        lua_settop(L, 0);
        lua_pushcfunction(L, lock);
        EXPECT_EQ(lua_pcall(L, 0, LUA_MULTRET, 0), 0);
        EXPECT_EQ(lua_gettop(L), 0); // no results
        EXPECT_EQ(marker, 0);
        WithdrawEngineHandle(L);
        lua_pushnil(L);
        lua_setglobal(L, "__mLuaThingy");
    }
    // The thirteen GL-only functions need no engine.
    EXPECT_EQ(RunLua(L, "Blend(-1) Logic(-1) Push() Pop()"), "");
}

// A script that overwrites the handle must not make an engine function take some other
// block of memory for the engine: only a light userdata is the handle.
TEST_F(ArgsTest, AnOverwrittenHandleIsNoEngine) {
    for (const char* value : {"io.stdout", "{}", "1", "'x'", "true", "print"}) {
        RunLua(L, std::string("__mLuaThingy = ") + value);
        EXPECT_EQ(RunLua(L, "GMove(1)"),
                  "[string \"GMove(1)\"]:1: GMove: __mLuaThingy no longer holds the engine")
            << value;
    }
    // GL-only functions never look at it.
    EXPECT_EQ(RunLua(L, "Move(1) Push() Pop()"), "");
    // Once the engine published its own, no other light userdata is taken for it.
    int engine = 0, other = 0;
    PublishEngineHandle(L, reinterpret_cast<LuaThingy*>(&engine));
    lua_pushlightuserdata(L, &other);
    lua_setglobal(L, "__mLuaThingy");
    EXPECT_EQ(RunLua(L, "GMove(1)"), "[string \"GMove(1)\"]:1: GMove: __mLuaThingy no longer holds the engine");
    WithdrawEngineHandle(L);
    RunLua(L, "__mLuaThingy = nil");
}

// Lua errors leave native functions by longjmp: whatever such a call builds must not leak.
// The sanitizer build's leak check watches this too.
TEST_F(ArgsTest, ErrorsRaisedInNativeFunctionsLeakNothing) {
    RunLua(L, "for i = 1, 200 do pcall(GMove, i) pcall(Place, 'a', 'b') pcall(NewGeom, 'x') end");
    lua_gc(L, LUA_GCCOLLECT, 0);
    int before = lua_gc(L, LUA_GCCOUNT, 0);
    EXPECT_EQ(RunLua(L, "for i = 1, 5000 do pcall(GMove, i) pcall(Place, 'a', 'b') pcall(NewGeom, 'x') "
                        "pcall(Geom, 'grp', 'name') end"),
              "");
    lua_gc(L, LUA_GCCOLLECT, 0);
    int after = lua_gc(L, LUA_GCCOUNT, 0);
    EXPECT_LE(after, before + 1); // kilobytes
}

// velkRun's command line: the script name (DeclareArgs) and the window options (ParseArgs).
struct CommandLine {
    std::string name, path;
    int width, height;
    bool fullscreen, maxRes;
    std::string out;
};

CommandLine Parse(std::vector<std::string> args) {
    TempWorkDir dir;
    args.insert(args.begin(), "velkRun");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    SetCurrentProgram(ProgramKind::Run);
    LuaThingy host;
    SetCurrentProgram(ProgramKind::Engine);
    testing::internal::CaptureStdout();
    host.DeclareArgs((int)argv.size(), argv.data());
    host.ParseArgs();
    CommandLine c{host.scriptName.CStr(),
                  host.scriptPath.CStr(),
                  host.width,
                  host.height,
                  host.fullscreen,
                  host.maxRes,
                  testing::internal::GetCapturedStdout()};
    EXPECT_EQ(host.argc, (int)argv.size());
    EXPECT_EQ(host.argv, argv.data());
    return c;
}

TEST(VelkRunCommandLine, Defaults) {
    CommandLine c = Parse({});
    EXPECT_EQ(c.out, "DIST: 1\n");
    EXPECT_EQ(c.name, "default.moon");
    EXPECT_EQ(c.path, "scripts\\default.moon");
    EXPECT_EQ(c.width, 1024);
    EXPECT_EQ(c.height, 768);
    EXPECT_FALSE(c.fullscreen);
    EXPECT_FALSE(c.maxRes);
}

TEST(VelkRunCommandLine, ScriptNames) {
    EXPECT_EQ(Parse({"-s", "a.lua", "-s", "b"}).name, "a.luab");
    EXPECT_EQ(Parse({"-s", "a.lua", "-s", "b"}).path, "scripts\\a.luab");
    EXPECT_EQ(Parse({"s", "game.lua"}).name, "game.lua");
    EXPECT_EQ(Parse({"x.lua", "s"}).name, "default.moon"); // a trailing s is ignored
    EXPECT_EQ(Parse({"-s", "-s", "x"}).name, "-s");        // the word after s is a name
    EXPECT_EQ(Parse({"S", "x"}).name, "default.moon");     // case-sensitive
    CommandLine f = Parse({"-s", "f"});
    EXPECT_EQ(f.name, "f");
    EXPECT_TRUE(f.fullscreen); // the window options read the f all the same
}

TEST(VelkRunCommandLine, WindowOptions) {
    CommandLine a = Parse({"-r", "800", "600", "-f"});
    EXPECT_EQ(a.width, 800);
    EXPECT_EQ(a.height, 600);
    EXPECT_TRUE(a.fullscreen);
    CommandLine b = Parse({"-f", "-r", "800", "600"});
    EXPECT_EQ(b.width, 800);
    EXPECT_FALSE(b.fullscreen);
    CommandLine m = Parse({"r", "max"});
    EXPECT_TRUE(m.maxRes);
    EXPECT_FALSE(m.fullscreen);
    CommandLine mf = Parse({"r", "max", "f"});
    EXPECT_TRUE(mf.maxRes);
    EXPECT_TRUE(mf.fullscreen);
    CommandLine mn = Parse({"f", "-r", "min"});
    EXPECT_EQ(mn.width, 700);
    EXPECT_EQ(mn.height, 580);
    EXPECT_FALSE(mn.fullscreen);
    for (std::vector<std::string> ignored : {std::vector<std::string>{"r", "800"},
                                             {"r", "800", "x"},
                                             {"R", "800", "600"},
                                             {"r", "-800", "600"},
                                             {"r"},
                                             {"-r", "MAX"}}) {
        CommandLine c = Parse(ignored);
        EXPECT_EQ(c.width, 1024) << ignored[0] << " " << (ignored.size() > 1 ? ignored[1] : "");
        EXPECT_EQ(c.height, 768);
        EXPECT_FALSE(c.fullscreen);
        EXPECT_FALSE(c.maxRes);
    }
}

} // namespace
