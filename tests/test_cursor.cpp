// Cursor reader: raw records, text words with their line-end result, skipping and
// stepping back over lines, and reads that would leave the data.
#include "datablock.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace {

void Fill(DataBlock& b, const std::string& bytes) {
    b.Delete();
    b.Append((unsigned char*)bytes.data(), (int)bytes.size());
}

} // namespace

TEST(CursorWords, WordsAndLineEndResult) {
    DataBlock b;
    Fill(b, "v 1.5 2\n");
    int cur = 0;
    char w[32];
    EXPECT_FALSE(b.GetData(&cur, "w", w));
    EXPECT_STREQ(w, "v");
    EXPECT_EQ(cur, 1);
    EXPECT_FALSE(b.EOFile());
    EXPECT_FALSE(b.GetData(&cur, "w", w));
    EXPECT_STREQ(w, "1.5");
    EXPECT_EQ(cur, 5);
    EXPECT_FALSE(b.EOFile());
    EXPECT_TRUE(b.GetData(&cur, "w", w));
    EXPECT_STREQ(w, "2");
    EXPECT_EQ(cur, 8);
    EXPECT_TRUE(b.EOFile());
}

TEST(CursorWords, MixedLineEndsAreConsumedTogether) {
    DataBlock b;
    Fill(b, "a\r\n\r\nb");
    int cur = 0;
    char w[32];
    EXPECT_TRUE(b.GetData(&cur, "w", w));
    EXPECT_STREQ(w, "a");
    EXPECT_EQ(cur, 5);
    EXPECT_FALSE(b.EOFile());
    EXPECT_FALSE(b.GetData(&cur, "w", w));
    EXPECT_STREQ(w, "b");
    EXPECT_TRUE(b.EOFile());
}

TEST(CursorWords, SpaceBeforeLineEndHidesIt) {
    DataBlock b;
    Fill(b, "a \nb");
    int cur = 0;
    char w[32];
    EXPECT_FALSE(b.GetData(&cur, "w", w));
    EXPECT_STREQ(w, "a");
    EXPECT_EQ(cur, 1);
    // Leading separators, line ends included, do not set the result.
    EXPECT_FALSE(b.GetData(&cur, "w", w));
    EXPECT_STREQ(w, "b");
    EXPECT_EQ(cur, 4);
}

TEST(CursorWords, LongRunSplitsAtThirtyOne) {
    DataBlock b;
    std::string run;
    for (int n = 0; n < 40; n++)
        run += (char)('a' + n % 26);
    Fill(b, run);
    int cur = 0;
    char w[32];
    memset(w, 'X', sizeof w);
    b.GetData(&cur, "w", w);
    EXPECT_EQ(std::string(w), run.substr(0, 31));
    EXPECT_EQ(cur, 31);
    EXPECT_FALSE(b.EOFile());
    b.GetData(&cur, "w", w);
    EXPECT_EQ(std::string(w), run.substr(31));
    EXPECT_TRUE(b.EOFile());
}

TEST(CursorWords, TabBelongsToTheWord) {
    DataBlock b;
    Fill(b, "a\tb c");
    int cur = 0;
    char w[32];
    b.GetData(&cur, "w", w);
    EXPECT_STREQ(w, "a\tb");
    b.GetData(&cur, "w", w);
    EXPECT_STREQ(w, "c");
}

TEST(CursorWords, OnlySeparatorsAndAtTheEnd) {
    DataBlock b;
    Fill(b, " \r\n  \n");
    int cur = 0;
    char w[32] = "junk";
    EXPECT_FALSE(b.GetData(&cur, "w", w));
    EXPECT_STREQ(w, "");
    EXPECT_EQ(cur, 6);
    EXPECT_TRUE(b.EOFile());

    DataBlock c;
    Fill(c, "x");
    cur = 1;
    strcpy(w, "junk");
    EXPECT_FALSE(c.GetData(&cur, "w", w));
    EXPECT_STREQ(w, "");
    EXPECT_EQ(cur, 1);
    EXPECT_TRUE(c.EOFile());

    DataBlock empty;
    cur = 0;
    empty.GetData(&cur, "w", w);
    EXPECT_STREQ(w, "");
    EXPECT_TRUE(empty.EOFile());
}

TEST(CursorWords, ObjStyleScan) {
    DataBlock b;
    Fill(b, "v 1 2 3\r\nvt 0.5 1\nf 1/1 2/2 3/3");
    int cur = 0;
    char w[32];
    std::string lines;
    std::string line;
    while (!b.EOFile()) {
        bool end = b.GetData(&cur, "w", w);
        line += w;
        if (end || b.EOFile()) {
            lines += line + "|";
            line.clear();
        } else {
            line += ",";
        }
    }
    EXPECT_EQ(lines, "v,1,2,3|vt,0.5,1|f,1/1,2/2,3/3|");
}

TEST(CursorRecords, FloatsIntsAndBytes) {
    DataBlock b;
    b.AppendData("fic", 1.5, -7, 'q');
    b.AppendData("fff", 1.0, 2.0, 3.0);
    EXPECT_EQ(b.len, 9 + 12);
    int cur = 0;
    float f = 0;
    int i = 0;
    char c = 0;
    EXPECT_FALSE(b.GetData(&cur, "fic", &f, &i, &c));
    EXPECT_EQ(f, 1.5f);
    EXPECT_EQ(i, -7);
    EXPECT_EQ(c, 'q');
    EXPECT_EQ(cur, 9);
    float x = 0, y = 0, z = 0;
    EXPECT_FALSE(b.GetData(&cur, "fff", &x, &y, &z));
    EXPECT_EQ(x, 1.0f);
    EXPECT_EQ(y, 2.0f);
    EXPECT_EQ(z, 3.0f);
    EXPECT_EQ(cur, 21);
    EXPECT_FALSE(b.EOFile()); // raw fields never set the flag
}

TEST(CursorRecords, LittleEndianLayout) {
    DataBlock b;
    b.AppendData("ic", 0x04030201, 0x1FF); // a byte keeps the low 8 bits
    ASSERT_EQ(b.len, 5);
    EXPECT_EQ(b.ptr[0], 1);
    EXPECT_EQ(b.ptr[3], 4);
    EXPECT_EQ(b.ptr[4], 0xFF);
}

TEST(CursorRecords, OtherLettersTakeNoArgument) {
    DataBlock b;
    b.AppendData("f,f", 4.0, 5.0);
    EXPECT_EQ(b.len, 8);
    int cur = 0;
    float a = 0, c = 0;
    b.GetData(&cur, "f,f", &a, &c);
    EXPECT_EQ(a, 4.0f);
    EXPECT_EQ(c, 5.0f);
    EXPECT_EQ(cur, 8);
    b.AppendData("xyz");
    EXPECT_EQ(b.len, 8);
}

TEST(CursorRecords, SkipData) {
    DataBlock b;
    int cur = 0;
    b.SkipData(&cur, "cfff", 3);
    EXPECT_EQ(cur, 39);
    b.SkipData(&cur, "w", 5);
    EXPECT_EQ(cur, 39);
    b.SkipData(&cur, "ii", 2);
    EXPECT_EQ(cur, 55);
}

// A count or cursor taken from damaged data must not overflow the cursor: it stops at
// the largest (or smallest) int, and reads from there find no data.
TEST(CursorRecords, HugeSkipsSaturateTheCursor) {
    DataBlock b;
    b.AppendData("i", 7);
    int cur = 0;
    b.SkipData(&cur, "ffffff", 100000000);
    EXPECT_EQ(cur, INT_MAX);
    int v = -1;
    b.GetData(&cur, "ii", &v, &v);
    EXPECT_EQ(cur, INT_MAX);
    EXPECT_EQ(v, -1);
    char c = 'z';
    b.GetData(&cur, "c", &c);
    EXPECT_EQ(cur, INT_MAX);
    EXPECT_EQ(c, 'z');
    b.SkipData(&cur, "c", 1);
    EXPECT_EQ(cur, INT_MAX);

    cur = 4;
    b.SkipData(&cur, "ffff", -200000000);
    EXPECT_EQ(cur, INT_MIN);
    b.SkipData(&cur, "i", -1);
    EXPECT_EQ(cur, INT_MIN);

    // Ordinary negative counts still step back exactly.
    cur = 40;
    b.SkipData(&cur, "fc", -2);
    EXPECT_EQ(cur, 30);
}

TEST(CursorRecords, SetDataDoesNothing) {
    DataBlock b("abcd");
    int cur = 0;
    int v = 42;
    b.SetData(&cur, "i", v);
    EXPECT_EQ(cur, 0);
    EXPECT_EQ(b.len, 4);
    EXPECT_TRUE(b.IsEqual("abcd"));
}

TEST(CursorRecords, FieldsPastTheEndLeaveArgumentsAlone) {
    DataBlock b;
    b.AppendData("c", 'a');
    b.AppendData("c", 'b');
    int cur = 0;
    int i = 1234;
    float f = 9.0f;
    b.GetData(&cur, "i", &i); // only 2 bytes of data
    EXPECT_EQ(i, 1234);
    EXPECT_EQ(cur, 4);
    char c = 'z';
    b.GetData(&cur, "cf", &c, &f);
    EXPECT_EQ(c, 'z');
    EXPECT_EQ(f, 9.0f);
    EXPECT_EQ(cur, 9);
    cur = -3;
    b.GetData(&cur, "c", &c);
    EXPECT_EQ(c, 'z');
    char w[32] = "junk";
    cur = -3;
    b.GetData(&cur, "w", w);
    EXPECT_STREQ(w, "");

    DataBlock empty;
    cur = 0;
    empty.GetData(&cur, "ic", &i, &c);
    EXPECT_EQ(i, 1234);
    EXPECT_EQ(cur, 5);
}

TEST(CursorLines, SkipToNextLine) {
    DataBlock b;
    Fill(b, "ab\r\n\ncd\nlast");
    int cur = 1;
    b.SkipToNextLine(&cur);
    EXPECT_EQ(cur, 5);
    b.SkipToNextLine(&cur);
    EXPECT_EQ(cur, 8);
    b.SkipToNextLine(&cur);
    EXPECT_EQ(cur, b.len);
    EXPECT_FALSE(b.EOFile());
    b.SkipToNextLine(&cur);
    EXPECT_EQ(cur, b.len);
}

TEST(CursorLines, ToBeginningOfLine) {
    DataBlock b;
    Fill(b, "abc\ndef\r\nghi");
    int cur = 2;
    b.ToBeginningOfLine(&cur);
    EXPECT_EQ(cur, 0);
    cur = 4; // 'd', first of its line
    b.ToBeginningOfLine(&cur);
    EXPECT_EQ(cur, 4);
    cur = 6;
    b.ToBeginningOfLine(&cur);
    EXPECT_EQ(cur, 4);
    cur = 11;
    b.ToBeginningOfLine(&cur);
    EXPECT_EQ(cur, 9);
    cur = 0;
    b.ToBeginningOfLine(&cur);
    EXPECT_EQ(cur, 0);
    cur = -4;
    b.ToBeginningOfLine(&cur);
    EXPECT_EQ(cur, -4);
    cur = 500; // beyond the data: back to the start of the last line
    b.ToBeginningOfLine(&cur);
    EXPECT_EQ(cur, 9);
}

TEST(CursorLines, RereadAWordAfterSteppingBack) {
    DataBlock b;
    Fill(b, "o name\nv 1 2 3\n");
    int cur = 0;
    char w[32];
    b.SkipToNextLine(&cur);
    b.GetData(&cur, "w", w);
    EXPECT_STREQ(w, "v");
    b.ToBeginningOfLine(&cur);
    EXPECT_EQ(cur, 7);
    b.GetData(&cur, "w", w);
    EXPECT_STREQ(w, "v");
}
