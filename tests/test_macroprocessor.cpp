// Tests of the indentation-dialect rewriter: exact output texts, the Lua validity of
// whole rewritten programs, markers, pasting and the safety of malformed input.
#include "datablock.h"
#include "macroProcessor.h"
#include "scratch.h"

#include <gtest/gtest.h>
#include <lua.hpp>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string Contents(DataBlock& block) {
    if (block.Size() == 0) return std::string();
    return std::string(reinterpret_cast<char*>(block.Ptr()), block.Size());
}

std::string Rewrite(const std::string& text, bool scopes = false) {
    DataBlock in;
    in.Append(text.c_str(), static_cast<int>(text.size()));
    DataBlock out;
    ProcessLuaMacros(&in, &out, false, scopes);
    return Contents(out);
}

// Empty string when Lua 5.1 compiles the text, else the compiler's message.
std::string LuaLoadError(const std::string& text) {
    lua_State* L = luaL_newstate();
    std::string err;
    if (luaL_loadstring(L, text.c_str()) != 0) err = lua_tostring(L, -1);
    lua_close(L);
    return err;
}

int CountOf(const std::string& hay, const std::string& needle) {
    int n = 0;
    for (size_t at = hay.find(needle); at != std::string::npos; at = hay.find(needle, at + needle.size()))
        n++;
    return n;
}

void WriteText(const char* name, const std::string& text) {
    FILE* f = fopen(name, "wb");
    ASSERT_NE(f, nullptr);
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
}

std::string ReadText(const char* name) {
    FILE* f = fopen(name, "rb");
    if (!f) return "<missing>";
    std::string s;
    char buf[256];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        s.append(buf, n);
    fclose(f);
    return s;
}

// Runs each test in a fresh temporary working directory: pasted files and
// "processed.lua" are read and written relative to it.
class MacroFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(getcwd(oldDir, sizeof oldDir), nullptr);
        dir = scratch.Path();
        ASSERT_EQ(chdir(dir.c_str()), 0);
    }
    void TearDown() override {
        ASSERT_EQ(chdir(oldDir), 0);
    }
    char oldDir[4096];
    ScratchDir scratch{"velk-macro"};
    std::string dir;
};

} // namespace

TEST(MacroTextTests, WhiteSpaceBeforeFindsLineStart) {
    const char* t = "ab\n \tcd";
    EXPECT_TRUE(WhiteSpaceBefore(t, 0));  // start of the text
    EXPECT_FALSE(WhiteSpaceBefore(t, 1)); // after a letter
    EXPECT_TRUE(WhiteSpaceBefore(t, 3));  // right after the line feed
    EXPECT_TRUE(WhiteSpaceBefore(t, 5));  // after a blank and a tab
    EXPECT_FALSE(WhiteSpaceBefore(t, 6));
    EXPECT_TRUE(WhiteSpaceBefore("  x", 2));
    EXPECT_FALSE(WhiteSpaceBefore("\rx", 1)); // a carriage return is an ordinary character
}

TEST(MacroTextTests, IsWhitespaceIsBlankTabAndLineFeedOnly) {
    EXPECT_TRUE(IsWhitespace(' '));
    EXPECT_TRUE(IsWhitespace('\t'));
    EXPECT_TRUE(IsWhitespace('\n'));
    EXPECT_FALSE(IsWhitespace('\r'));
    EXPECT_FALSE(IsWhitespace('\0'));
    EXPECT_FALSE(IsWhitespace('x'));
}

TEST(MacroRewrite, WorkedExample) {
    std::string out = Rewrite("def f(x):\n\tif x > 0:\n\t\tprint x\n\treturn !x\n");
    EXPECT_EQ(out, "function f(x)\n\tif x > 0 then\n\t\tprint(x)\n\tend\n\treturn not x\nend\n");
    EXPECT_EQ(LuaLoadError(out), "");
}

TEST(MacroRewrite, IfElseifElseChainGetsOneEnd) {
    EXPECT_EQ(Rewrite("if a:\n\tx\nelseif b:\n\ty\nelse:\n\tz\nw\n"),
              "if a then\n\tx\nelseif b then\n\ty\nelse\n\tz\nend\nw\n");
    std::string program = Rewrite("if a:\n\tx()\nelseif b:\n\ty()\nelse:\n\tz()\nw()\n");
    EXPECT_EQ(program, "if a then\n\tx()\nelseif b then\n\ty()\nelse\n\tz()\nend\nw()\n");
    EXPECT_EQ(LuaLoadError(program), "");
}

TEST(MacroRewrite, ClassWithMethod) {
    std::string out = Rewrite("class Ship(Body):\n\tdef move(self, dt):\n\t\tx = 1\ny = 2\n");
    EXPECT_EQ(out, "Ship = class( Body )\n\tfunction Ship : move(self, dt)\n\t\tx = 1\n\tend\ny = 2\n");
    EXPECT_EQ(LuaLoadError(out), "");
    EXPECT_EQ(Rewrite("class Ship:\n"), "Ship = class(  )\n");
}

TEST(MacroRewrite, ClassNameEndsAtIndentationZero) {
    // A def at indentation 0 after a class is a plain function; one at indentation 2 too.
    EXPECT_EQ(Rewrite("class A:\ndef f():\n\tx()\n"), "A = class(  )\nfunction f()\n\tx()\nend\n");
    EXPECT_EQ(Rewrite("class A:\n\tdef f():\n\t\tdef g():\n\t\t\th()\n"),
              "A = class(  )\n\tfunction A : f()\n\t\tfunction g()\n\t\t\th()\n\t\tend\n\tend\n");
}

TEST(MacroRewrite, ForLoopAndPrint) {
    std::string out = Rewrite("for i=1,10:\n\tprint i\n");
    EXPECT_EQ(out, "for i=1,10 do\n\tprint(i)\nend\n");
    EXPECT_EQ(LuaLoadError(out), "");
    EXPECT_EQ(Rewrite("print(x)\n"), "print(x)\n");
    EXPECT_EQ(Rewrite("print (x)\n"), "print (x)\n");
    EXPECT_EQ(Rewrite("print\tx\n"), "print(x)\n");
    EXPECT_EQ(Rewrite("for i=1,2 do\n\tf(i)\nend\n"), "for i=1,2 do\n\tf(i)\nend\n");
}

TEST(MacroRewrite, SemicolonAndUnderscore) {
    EXPECT_EQ(Rewrite("obj;m()\nx; y\n_v = 1\n"), "obj:m()\nx; y\nlocal v = 1\n");
    std::string program = Rewrite("_v = 1\nobj;m(v)\n");
    EXPECT_EQ(program, "local v = 1\nobj:m(v)\n");
    EXPECT_EQ(LuaLoadError(program), "");
    // Not at line start, a "_" is part of a name.
    EXPECT_EQ(Rewrite("a_b = 1\n"), "a_b = 1\n");
}

TEST(MacroRewrite, ExplicitClose) {
    EXPECT_EQ(Rewrite("if a:\n\tb()\n;\nx\n"), "if a then\n\tb()\nend\nx\n");
    std::string program = Rewrite("if a:\n\tb()\n;\nx()\n");
    EXPECT_EQ(program, "if a then\n\tb()\nend\nx()\n");
    EXPECT_EQ(LuaLoadError(program), "");
}

TEST(MacroRewrite, CompoundAssignment) {
    std::string first = Rewrite("x += 1\n");
    EXPECT_EQ(first, "x = x+ 1\n");
    EXPECT_EQ(LuaLoadError(first), "");
    EXPECT_EQ(Rewrite("\tx += 1"), "\tx = \tx+ 1");
    EXPECT_EQ(Rewrite("x*=2"), "x= x*2");
    EXPECT_EQ(Rewrite("a.b  -= c\n"), "a.b  = a.b- c\n");
    EXPECT_EQ(Rewrite("y /= 4\n"), "y = y/ 4\n");
    // Words before the target are part of it (the result is not valid Lua).
    EXPECT_EQ(Rewrite("local y -= 3\n"), "local y = local y- 3\n");
    // An operator at the very start has no target.
    EXPECT_EQ(Rewrite("+= 1"), "= + 1");
}

TEST(MacroRewrite, FirstLineKeywordsAreAtLineStart) {
    std::string out = Rewrite("if a:\n\tb()\n");
    EXPECT_EQ(out, "if a then\n\tb()\nend\n");
    EXPECT_EQ(LuaLoadError(out), "");
    EXPECT_EQ(Rewrite("_x = 2\n"), "local x = 2\n");
}

TEST(MacroRewrite, QuotesAndNot) {
    EXPECT_EQ(Rewrite("a = 'it\"s' .. !a\n"), "a = 'it\"s' .. not a\n");
    EXPECT_EQ(Rewrite("s = \"wow!\" .. !b\n"), "s = \"wow!\" .. not b\n");
    // An escaped quote does not end the string.
    EXPECT_EQ(Rewrite("s = \"a\\\"!\" .. !b\n"), "s = \"a\\\"!\" .. not b\n");
    // Only "!" looks at the string state: "!=" and NULL are rewritten inside strings too.
    EXPECT_EQ(Rewrite("s = 'a != NULL'\n"), "s = 'a ~= nil'\n");
    std::string program = Rewrite("if x != NULL and !y:\n\tz()\n");
    EXPECT_EQ(program, "if x ~= nil and not y then\n\tz()\nend\n");
    EXPECT_EQ(LuaLoadError(program), "");
}

TEST(MacroRewrite, EmptyOrCommentLineClosesBlock) {
    EXPECT_EQ(Rewrite("if a:\n\tb()\n\n\tc()\n"), "if a then\n\tb()\nend\n\n\tc()\n");
    EXPECT_EQ(Rewrite("if a:\n\tb()\n-- note\n\tc()\n"), "if a then\n\tb()\nend\n\n\tc()\n");
    // A comment after code on its line is not at line start and stays.
    EXPECT_EQ(Rewrite("x = 1 -- note\n"), "x = 1 -- note\n");
}

TEST(MacroRewrite, FinalLineEndClosesOpenBlocks) {
    EXPECT_EQ(Rewrite("if a:\n\tb()"), "if a then\n\tb()");
    std::string closed = Rewrite("if a:\n\tif b:\n\t\tc()\n");
    EXPECT_EQ(closed, "if a then\n\tif b then\n\t\tc()\n\tend\nend\n");
    EXPECT_EQ(LuaLoadError(closed), "");
}

TEST(MacroRewrite, DedentBeforeElseInsertsNoEndAtAnyLevel) {
    EXPECT_EQ(Rewrite("if a:\n\tif b:\n\t\tx\nelse:\n\ty\nz\n"),
              "if a then\n\tif b then\n\t\tx\nelse\n\ty\nend\nz\n");
}

TEST(MacroRewrite, BlockAndLineComments) {
    EXPECT_EQ(Rewrite("---\nfoo\n---\nbar\n"), "\nbar\n");
    EXPECT_EQ(Rewrite("-- hi\nx = 1\n"), "\nx = 1\n");
    // After a closing "---" the text goes on at once.
    EXPECT_EQ(Rewrite("a---b---c"), "ac");
    // An unclosed block comment swallows the rest.
    EXPECT_EQ(Rewrite("x\n---\nif a:\n"), "x\n");
}

TEST(MacroRewrite, ScopeMarkers) {
    EXPECT_EQ(Rewrite("--OUTPUTSCOPES\nif a:\n\tb\n"), "--S:0 --S:0 \nif a then--S:1 \n\tb--S:1 \nend\n");
    EXPECT_EQ(Rewrite("x\n", true), "x--S:0 \n");
    // A line end examined twice (after a def) gets two markers.
    EXPECT_EQ(Rewrite("def f():\n\tx()\n", true), "function f()--S:1 --S:1 \n\tx()--S:1 \nend\n");
    // So does the line end after "else:"; the dedent before "else" closes without an end.
    EXPECT_EQ(Rewrite("if a:\n\tb\nelse:\n\tc\n", true),
              "if a then--S:1 \n\tb--S:1 \nelse--S:1 --S:1 \n\tc--S:1 \nend\n");
}

TEST(MacroRewrite, ConditionAndLoopHeadsWithoutColon) {
    // The "then" and "do" land once, on the head line only.
    std::string out = Rewrite("if a\n\tb()\nc()\n");
    EXPECT_EQ(out, "if a then\n\tb()\nend\nc()\n");
    EXPECT_EQ(LuaLoadError(out), "");
    EXPECT_EQ(Rewrite("for i=1,2\n\tf(i)\n"), "for i=1,2 do\n\tf(i)\nend\n");
    EXPECT_EQ(Rewrite("if a then\n\tb()\n"), "if a then\n\tb()\nend\n");
}

TEST(MacroRewrite, WhileAndRepeatOpenNoScope) {
    EXPECT_EQ(Rewrite("while a do\n\tb()\nend\n"), "while a do\n\tb()\nend\n");
    // Keywords are found without word boundaries.
    EXPECT_EQ(Rewrite("undef x:\n"), "unfunction x\n");
}

TEST(MacroRewrite, NoProcessingKeepsCommentRemoval) {
    EXPECT_EQ(Rewrite("x != y\n--NOPROCESSING\na != b\n-- c\nif q:\n\tz\n"),
              "x ~= y\n\na != b\n\nif q:\n\tz\n");
}

TEST(MacroRewrite, EmptyInputAndAppendNull) {
    DataBlock in;
    DataBlock out;
    ProcessLuaMacros(&in, &out, false, false);
    EXPECT_EQ(out.Size(), 0);
    ProcessLuaMacros(&in, &out, true, false);
    ASSERT_EQ(out.Size(), 1);
    EXPECT_EQ(out.Ptr()[0], 0);
}

TEST(MacroRewrite, AppendsToOutputAndReadsInputUpToZero) {
    DataBlock in;
    const char text[] = "_a = 1\n\0_b = 2\n";
    in.Append(text, static_cast<int>(sizeof text - 1));
    DataBlock out;
    out.Append("head\n", -1);
    ProcessLuaMacros(&in, &out, true, false);
    ASSERT_EQ(out.Size(), 5 + 12 + 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out.Ptr())), "head\nlocal a = 1\n");
    EXPECT_EQ(out.Ptr()[out.Size() - 1], 0);
}

TEST(MacroRewrite, SameBlockAsInputAndOutput) {
    DataBlock block;
    block.Append("_a = NULL\n", -1);
    ProcessLuaMacros(&block, &block, false, false);
    EXPECT_EQ(Contents(block), "_a = NULL\nlocal a = nil\n");
}

TEST(MacroRewrite, ZeroIndexWarning) {
    testing::internal::CaptureStdout();
    std::string out = Rewrite("a[0] = b[ 0 ]\nc[01] = 1\n");
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "a[0] = b[ 0 ]\nc[01] = 1\n");
    EXPECT_EQ(printed, "WARNING! zero index [0] encountered!\nWARNING! zero index [0] encountered!\n");
}

TEST(MacroRewrite, WindowsLineEnds) {
    testing::internal::CaptureStdout();
    std::string out = Rewrite("if a:\r\n\tb()\r\n");
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "if a:\r then\n\tb()\r\nend\n");
    EXPECT_EQ(CountOf(printed, "Warning: Windows newlines are not recommended!\n"), 2);
    EXPECT_EQ(printed.size(), 2 * std::string("Warning: Windows newlines are not recommended!\n").size());
}

TEST(MacroRewrite, MalformedHeadsStayInsideTheText) {
    // A def without ":" takes the rest of the text as its head.
    EXPECT_EQ(Rewrite("def f()\nx = 1\n"), "function f()\nx = 1\n");
    EXPECT_EQ(Rewrite("def "), "function ");
    // A class with a base but no ":" after it: the scan for ":" stops at the end of the
    // text, and what it skipped is dropped.
    EXPECT_EQ(Rewrite("class A(B)\nx = 1\n"), "A = class( B )");
    EXPECT_EQ(Rewrite("class A(B"), "A = class( B )");
    EXPECT_EQ(Rewrite("class "), " = class(  )");
    // print and ";" at the very end.
    EXPECT_EQ(Rewrite("print"), "print(");
    EXPECT_EQ(Rewrite("x;"), "x:");
}

TEST_F(MacroFilesTest, DofilePastesRewrittenFile) {
    WriteText("lib.txt", "def g():\n\treturn 1\n");
    std::string out = Rewrite("dofile \"lib.txt\"\nx = g()\n");
    EXPECT_EQ(out, "function g()\n\treturn 1\nend\n\n\nx = g()\n");
    EXPECT_EQ(LuaLoadError(out), "");
    EXPECT_EQ(Rewrite("dofile('lib.txt')\n"), "function g()\n\treturn 1\nend\n\n)\n");
}

TEST_F(MacroFilesTest, DofileOfMissingFilePastesALineEnd) {
    testing::internal::CaptureStdout();
    std::string out = Rewrite("a()\ndofile 'nothere.txt'\nb()\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(out, "a()\n\n\nb()\n");
}

TEST_F(MacroFilesTest, PastedFileHasFreshStateButInheritsScopeMarkers) {
    // The pasted file starts its own state but takes the marker setting of the outer text.
    // NULL stops on the line end, so that line end is examined twice.
    WriteText("inner.txt", "_v = NULL\n");
    EXPECT_EQ(Rewrite("--OUTPUTSCOPES\ndofile \"inner.txt\"\n"),
              "--S:0 --S:0 \nlocal v = nil--S:0 --S:0 \n\n--S:0 --S:0 \n");
}

TEST_F(MacroFilesTest, DofileChainsPaste) {
    WriteText("a.txt", "dofile 'b.txt'\n");
    WriteText("b.txt", "c = 3\n");
    EXPECT_EQ(Rewrite("dofile 'a.txt'\n"), "c = 3\n\n\n\n\n");
}

TEST_F(MacroFilesTest, SelfPastingFileIsNotPastedAgain) {
    // Two self-pastes per file would grow without end if only the depth stopped them.
    WriteText("self.txt", "a()\ndofile 'self.txt'\ndofile './self.txt'\n");
    testing::internal::CaptureStdout();
    std::string out = Rewrite("dofile 'self.txt'\n");
    std::string printed = testing::internal::GetCapturedStdout();
    // Refused like an unreadable file: nothing is printed.
    EXPECT_EQ(printed, "");
    EXPECT_EQ(out, "a()\n\n\n\n\n\n\n");
    EXPECT_EQ(LuaLoadError(out), "");
}

TEST_F(MacroFilesTest, CycleThroughOtherFilesStops) {
    WriteText("a.txt", "a()\ndofile 'b.txt'\n");
    WriteText("b.txt", "b()\ndofile 'a.txt'\n");
    testing::internal::CaptureStdout();
    std::string out = Rewrite("dofile 'a.txt'\ndofile 'a.txt'\n");
    std::string printed = testing::internal::GetCapturedStdout();
    // The same file may be pasted again side by side, just not inside itself.
    EXPECT_EQ(CountOf(out, "a()"), 2);
    EXPECT_EQ(CountOf(out, "b()"), 2);
    EXPECT_EQ(printed, "");
    // Each a.txt holds one b.txt whose inner dofile of a.txt pasted only its line end.
    EXPECT_EQ(out, "a()\nb()\n\n\n\n\n\n\na()\nb()\n\n\n\n\n\n\n");
}

TEST_F(MacroFilesTest, LongChainStopsAtNestingLimit) {
    for (int i = 1; i <= 20; i++) {
        std::string name = "f" + std::to_string(i) + ".txt";
        WriteText(name.c_str(),
                  "x" + std::to_string(i) + "()\ndofile 'f" + std::to_string(i + 1) + ".txt'\n");
    }
    testing::internal::CaptureStdout();
    std::string out = Rewrite("dofile 'f1.txt'\n");
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "");
    EXPECT_EQ(CountOf(out, "x16()"), 1); // sixteen files deep is allowed
    EXPECT_EQ(CountOf(out, "x17()"), 0);
    EXPECT_EQ(LuaLoadError(out), "");
}

TEST_F(MacroFilesTest, DofileWithoutCompleteNamePassesThrough) {
    EXPECT_EQ(Rewrite("dofile x\n"), "dofile x\n");
    EXPECT_EQ(Rewrite("dofile 'abc"), "dofile 'abc");
    EXPECT_EQ(Rewrite("dofile"), "dofile");
}

TEST_F(MacroFilesTest, OutputParsedWritesProcessedLua) {
    DataBlock in;
    in.Append("--OUTPUTPARSED\n_x = 1\n", -1);
    DataBlock out;
    out.Append("pre\n", -1);
    ProcessLuaMacros(&in, &out, true, false);
    // The whole output block, without its trailing zero byte.
    EXPECT_EQ(ReadText("processed.lua"), "pre\n\nlocal x = 1\n");
}

TEST_F(MacroFilesTest, OutputParsedInPastedFileWritesItsOwnOutput) {
    WriteText("lib.txt", "--OUTPUTPARSED\ny = NULL\n");
    std::string out = Rewrite("dofile 'lib.txt'\n");
    EXPECT_EQ(out, "\ny = nil\n\n\n");
    EXPECT_EQ(ReadText("processed.lua"), "\ny = nil\n");
    // The outer call with the marker overwrites it at its end.
    Rewrite("--OUTPUTPARSED\ndofile 'lib.txt'\n");
    EXPECT_EQ(ReadText("processed.lua"), "\n\ny = nil\n\n\n");
}

TEST(MacroRewrite, NoMarkerWritesNoFile) {
    // Only a marker may create the file.
    ScratchDir dir("velk-macro");
    ASSERT_TRUE(dir.Enter());
    Rewrite("x = 1\n");
    EXPECT_EQ(ReadText("processed.lua"), "<missing>");
}
