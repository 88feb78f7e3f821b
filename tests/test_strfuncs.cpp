// C-string helpers: comparisons with and without case, copying, conversions, searching,
// line and word splitting, file names and whole-file text.
#include "strfuncs.h"
#include "scratch.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

TEST(StrCompare, CaseRules) {
    EXPECT_TRUE(strequal("abc", "ABC", false));
    EXPECT_FALSE(strequal("abc", "ABC", true));
    EXPECT_TRUE(strequal("aBc", "AbC", false));
    EXPECT_FALSE(strequal("[", "{", false)); // 32 apart but not letters
    EXPECT_FALSE(strequal("{", "[", false));
    EXPECT_FALSE(strequal("@", "`", false));
    EXPECT_TRUE(strequal("", "", true));
    EXPECT_TRUE(strequal("same", "same", true));
}

TEST(StrCompare, PrefixLength) {
    EXPECT_TRUE(strequal("abcd", "abcx", 3, true));
    EXPECT_FALSE(strequal("ab", "abc", 3, true));
    EXPECT_FALSE(strequal("abc", "ab", 3, true));
    EXPECT_TRUE(strequal("xyz", "abc", 0, true));
    EXPECT_TRUE(strequal("", "abc", 0, false));
    EXPECT_FALSE(strequal("abc", "abcd", -1, true));
    EXPECT_FALSE(strequal("abcd", "abc", true));
    EXPECT_TRUE(strequal("ABcd", "abCDef", 4, false));
}

TEST(StrCompare, BeginsWith) {
    EXPECT_TRUE(strBeginsWith("scripts/a.moon", "scripts/", true));
    EXPECT_FALSE(strBeginsWith("scr", "scripts/", true));
    EXPECT_TRUE(strBeginsWith("SCRIPTS/a", "scripts/", false));
    EXPECT_FALSE(strBeginsWith("SCRIPTS/a", "scripts/", true));
    EXPECT_TRUE(strBeginsWith("anything", "", true));
}

TEST(StrCopy, CopyAndAppend) {
    char buf[16];
    memset(buf, 'X', sizeof buf);
    strcopy("abcdef", buf, 3);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(buf[4], 'X'); // exactly n + 1 bytes written
    strcopy("ab", buf, 10);
    EXPECT_STREQ(buf, "ab");
    strcopy("abc", buf, 0);
    EXPECT_STREQ(buf, "");
    strcopy("abc", buf, -4);
    EXPECT_STREQ(buf, "");

    char dst[16] = "foo";
    memset(dst + 4, 'X', 12);
    StrAppend(dst, "barbaz", 3);
    EXPECT_STREQ(dst, "foobar");
    EXPECT_EQ(dst[7], 'X');
    StrAppend(dst, "!", 10);
    EXPECT_STREQ(dst, "foobar!");
    StrAppend(dst, "zz", 0);
    EXPECT_STREQ(dst, "foobar!");
    EXPECT_EQ(strlength(dst), 7);
    EXPECT_EQ(strlength(""), 0);
}

TEST(StrConvert, NumericAndToint) {
    EXPECT_FALSE(numeric(""));
    EXPECT_FALSE(numeric("12a"));
    EXPECT_FALSE(numeric("-5"));
    EXPECT_FALSE(numeric(" 1"));
    EXPECT_TRUE(numeric("0"));
    std::string thirty(30, '7');
    EXPECT_TRUE(numeric((thirty + "x").c_str()));
    EXPECT_FALSE(numeric((std::string(29, '7') + "x").c_str()));

    EXPECT_EQ(toint("42"), 42);
    EXPECT_EQ(toint(""), 0);
    EXPECT_EQ(toint("007"), 7);
    EXPECT_EQ(toint("2147483647"), INT_MAX);
    EXPECT_EQ(toint("4294967297"), 1); // 32-bit wrap-around
}

TEST(StrConvert, ToLower) {
    char s[] = "AbC-[Z]@";
    toLower(s);
    EXPECT_STREQ(s, "abc-[z]@");
    char hi[] = "\xC9X";
    toLower(hi);
    EXPECT_EQ((unsigned char)hi[0], 0xC9);
    EXPECT_EQ(hi[1], 'x');
}

TEST(StrConvert, IntToStr) {
    char out[24];
    IntToStr(7, out, 3);
    EXPECT_STREQ(out, "007");
    IntToStr(-7, out, 3);
    EXPECT_STREQ(out, "-007");
    IntToStr(0, out, 3);
    EXPECT_STREQ(out, "000");
    IntToStr(0, out, -1);
    EXPECT_STREQ(out, "0");
    IntToStr(1234, out, 2);
    EXPECT_STREQ(out, "1234");
    IntToStr(5, out, 0);
    EXPECT_STREQ(out, "5");
    IntToStr(-120, out, -1);
    EXPECT_STREQ(out, "-120");
    IntToStr(INT_MAX, out, 0);
    EXPECT_STREQ(out, "2147483647");
    IntToStr(-1000000000, out, 12);
    EXPECT_STREQ(out, "-001000000000");
    // The smallest int keeps its exact digits.
    IntToStr(INT_MIN, out, -1);
    EXPECT_STREQ(out, "-2147483648");
}

TEST(StrSearch, SearchString) {
    EXPECT_EQ(searchString("abcabc", "bc", 0), 1);
    EXPECT_EQ(searchString("abcabc", "bc", 2), 4);
    EXPECT_EQ(searchString("abcabc", "bc", 5), -1);
    EXPECT_EQ(searchString("abcabc", "abc", 3), 3);
    EXPECT_EQ(searchString("ab", "abc", 0), -1);
    EXPECT_EQ(searchString("abc", "", 3), 3);
    EXPECT_EQ(searchString("abc", "", 4), -1);
    EXPECT_EQ(searchString("abc", "x", -5), -1);
    EXPECT_EQ(searchString("abc", "a", -5), 0);
}

TEST(StrSearch, FindString) {
    EXPECT_TRUE(findString("ab", "abc ab"));
    EXPECT_FALSE(findString("a", "abc ab"));
    EXPECT_TRUE(findString("abc", "abc ab"));
    EXPECT_FALSE(findString("abx", "abc ab"));
    EXPECT_FALSE(findString("b", "abc ab"));
    EXPECT_TRUE(findString("GL_ARB_x", "GL_A GL_ARB_x "));
    EXPECT_FALSE(findString("GL_A", ""));
    EXPECT_TRUE(findString("", "a  b")); // two spaces hold an empty token
    EXPECT_FALSE(findString("", "a b"));
}

TEST(StrLines, TruncationWarningAndRecovery) {
    const char* text = "abcdef\nx";
    int pos = 0;
    char out[4];
    testing::internal::CaptureStdout();
    GetNextLine(text, pos, out, 4);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "WARNING: reached maxlinelen of 4, truncating line\n");
    EXPECT_STREQ(out, "abc");
    EXPECT_EQ(pos, 6);
    testing::internal::CaptureStdout();
    GetNextLine(text, pos, out, 4);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(pos, 7);
    GetNextLine(text, pos, out, 4);
    EXPECT_STREQ(out, "x");
    EXPECT_EQ(pos, -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(StrLines, LineOfExactlyMaxCharactersIsTruncated) {
    // The max-th character is dropped even when the line ends right after it.
    const char* text = "abcd\nz";
    int pos = 0;
    char out[5];
    memset(out, 'X', sizeof out);
    testing::internal::CaptureStdout();
    GetNextLine(text, pos, out, 4);
    testing::internal::GetCapturedStdout();
    EXPECT_STREQ(out, "abc");
    EXPECT_EQ(out[4], 'X');
    EXPECT_EQ(pos, 4);
}

TEST(StrLines, BlankLinesAndEnds) {
    const char* text = "one\r\n\r\ntwo\n";
    int pos = 0;
    char out[32];
    GetNextLine(text, pos, out, 32);
    EXPECT_STREQ(out, "one");
    EXPECT_EQ(pos, 7);
    GetNextLine(text, pos, out, 32);
    EXPECT_STREQ(out, "two");
    EXPECT_EQ(pos, 11);
    GetNextLine(text, pos, out, 32);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(pos, -1);
    // Called again after the end: an empty line and pos stays -1.
    strcpy(out, "junk");
    GetNextLine(text, pos, out, 32);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(pos, -1);

    pos = 0;
    GetNextLine("last", pos, out, 32);
    EXPECT_STREQ(out, "last");
    EXPECT_EQ(pos, -1);
}

TEST(StrLines, NoRoomAtAll) {
    int pos = 0;
    char out[1] = {'Q'};
    testing::internal::CaptureStdout();
    GetNextLine("ab\ncd", pos, out, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "WARNING: reached maxlinelen of 0, truncating line\n");
    EXPECT_EQ(out[0], 'Q');
    EXPECT_EQ(pos, 2);
    testing::internal::CaptureStdout();
    GetNextLine("ab\ncd", pos, out, 1); // room for the terminator only
    GetNextLine("ab\ncd", pos, out, 1);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(pos, 5);
}

TEST(StrWords, GetLineWord) {
    const char* line = "  ab cd";
    char out[16];
    EXPECT_TRUE(GetLineWord(line, out, 0));
    EXPECT_STREQ(out, "ab");
    EXPECT_TRUE(GetLineWord(line, out, 1));
    EXPECT_STREQ(out, "cd");
    strcpy(out, "junk");
    EXPECT_FALSE(GetLineWord(line, out, 2));
    EXPECT_STREQ(out, "");
    strcpy(out, "keep");
    EXPECT_FALSE(GetLineWord("", out, 0));
    EXPECT_STREQ(out, "keep");
    EXPECT_TRUE(GetLineWord("a\tb  c ", out, 0)); // only the space separates
    EXPECT_STREQ(out, "a\tb");
    EXPECT_TRUE(GetLineWord("a\tb  c ", out, 1));
    EXPECT_STREQ(out, "c");
    EXPECT_FALSE(GetLineWord("   ", out, 0));
    EXPECT_STREQ(out, "");
    std::string longWord(100, 'w');
    char big[128];
    EXPECT_TRUE(GetLineWord(("x " + longWord).c_str(), big, 1));
    EXPECT_EQ(std::string(big), longWord);
}

TEST(StrPaths, GetFileNameNoExt) {
    char out[33];
    GetFileNameNoExt("textures/font.png", out);
    EXPECT_STREQ(out, "font");
    GetFileNameNoExt("quad.obj", out);
    EXPECT_STREQ(out, "quad");
    GetFileNameNoExt("media\\sfx\\boom.wav", out);
    EXPECT_STREQ(out, "boom");
    GetFileNameNoExt("my.dir/noext", out);
    EXPECT_STREQ(out, "");
    GetFileNameNoExt("name.", out); // the last character is not examined
    EXPECT_STREQ(out, "");
    GetFileNameNoExt("a.b.c", out);
    EXPECT_STREQ(out, "a.b");
    GetFileNameNoExt("", out);
    EXPECT_STREQ(out, "");
    std::string forty(40, 'n');
    GetFileNameNoExt(("dir/" + forty + ".png").c_str(), out);
    EXPECT_EQ(std::string(out), forty.substr(0, 32));
}

TEST(StrFiles, File2String) {
    ScratchDir dir("velk-str");
    std::string path = dir.File("f2s");
    {
        std::ofstream out(path, std::ios::binary);
        out << "line one\nline two";
    }
    testing::internal::CaptureStdout();
    char* text = file2string(path.c_str());
    std::string said = testing::internal::GetCapturedStdout();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(said, "File '" + path + "' is 17 long\n");
    EXPECT_STREQ(text, "line one\nline two"); // the last character survives
    delete[] text;

    { std::ofstream out(path, std::ios::binary | std::ios::trunc); }
    testing::internal::CaptureStdout();
    text = file2string(path.c_str());
    testing::internal::GetCapturedStdout();
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "");
    delete[] text;
    remove(path.c_str());

    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_EQ(file2string(path.c_str()), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Can't open file '" + path + "' for reading\n");
}

// A directory opens for reading but is no text file: it is reported like a file that
// cannot be opened (its reported size may be absurd).
TEST(StrFiles, File2StringOfADirectory) {
    std::string dir = ::testing::TempDir();
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_EQ(file2string(dir.c_str()), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Can't open file '" + dir + "' for reading\n");
}
