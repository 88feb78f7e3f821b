// Tests of the screenshot files: numbering from the folder listing, the BMP layout and a
// real capture of the window.
#include "glfixture.h"
#include "materials.h"
#include "scratch.h"
#include <GL/gl.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

void Touch(const std::string& path) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    fclose(f);
}

std::vector<unsigned char> ReadAllBytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    int c;
    while ((c = fgetc(f)) != EOF)
        bytes.push_back((unsigned char)c);
    fclose(f);
    return bytes;
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

unsigned U32(const std::vector<unsigned char>& b, int at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | ((unsigned)b[at + 3] << 24);
}
unsigned U16(const std::vector<unsigned char>& b, int at) {
    return b[at] | (b[at + 1] << 8);
}

int Next(const std::string& dir) {
    CaptureStdout();
    int n = NextCaptureNumber(dir.c_str());
    fflush(stdout);
    EXPECT_EQ(GetCapturedStdout(), "");
    return n;
}

// Writes a BMP of the given size from a buffer whose pixel (x, y) is (x, y, x + y) in
// (blue, green, red) and whose row padding is zero.
std::vector<unsigned char> WriteSample(const std::string& path, int w, int h) {
    int stride = BMPRowStride(w);
    std::vector<unsigned char> rows((size_t)stride * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char* p = &rows[(size_t)y * stride + x * 3];
            p[0] = (unsigned char)x, p[1] = (unsigned char)y, p[2] = (unsigned char)(x + y);
        }
    FILE* f = fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f) {
        WriteBMP(f, w, h, rows.data());
        fclose(f);
    }
    return rows;
}

void CheckHeader(const std::vector<unsigned char>& b, int w, int h, unsigned stride) {
    ASSERT_GE(b.size(), 54u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    unsigned imageSize = stride * h;
    EXPECT_EQ(U32(b, 2), 54 + imageSize);
    EXPECT_EQ(U32(b, 2), b.size());
    EXPECT_EQ(U32(b, 6), 0u);
    EXPECT_EQ(U32(b, 10), 54u);
    EXPECT_EQ(U32(b, 14), 40u);
    EXPECT_EQ((int)U32(b, 18), w);
    EXPECT_EQ((int)U32(b, 22), h);
    EXPECT_EQ(U16(b, 26), 1u);
    EXPECT_EQ(U16(b, 28), 24u);
    EXPECT_EQ(U32(b, 30), 0u);
    EXPECT_EQ(U32(b, 34), imageSize);
    for (int at = 38; at < 54; ++at)
        EXPECT_EQ(b[at], 0) << at;
}

} // namespace

TEST(CaptureNumber, EmptyFolderStartsAtZero) {
    ScratchDir scratch("velk-shot");
    std::string dir = scratch.Path();
    EXPECT_EQ(Next(dir), 0);
}

TEST(CaptureNumber, FollowsTheHighestNumber) {
    ScratchDir scratch("velk-shot");
    std::string dir = scratch.Path();
    Touch(dir + "/capture004.bmp");
    Touch(dir + "/capture012.bmp");
    Touch(dir + "/other.bmp");
    EXPECT_EQ(Next(dir), 13);
}

TEST(CaptureNumber, ThreeCharactersAreReadWhateverTheyAre) {
    ScratchDir scratch("velk-shot");
    std::string dir = scratch.Path();
    // "12." counts as 100 + 20 + ('.' - '0') = 118.
    Touch(dir + "/capture12.bmp");
    EXPECT_EQ(Next(dir), 119);
    // Letter case counts: a capital C is not a screenshot.
    Touch(dir + "/Capture500.bmp");
    Touch(dir + "/CAPTURE600.bmp");
    EXPECT_EQ(Next(dir), 119);
    // The name need not end in .bmp.
    Touch(dir + "/capture200.txt");
    EXPECT_EQ(Next(dir), 201);
}

TEST(CaptureNumber, NamesTooShortDoNotCount) {
    ScratchDir scratch("velk-shot");
    std::string dir = scratch.Path();
    Touch(dir + "/capture");
    Touch(dir + "/capture9");
    Touch(dir + "/capture99");
    EXPECT_EQ(Next(dir), 0);
    Touch(dir + "/capture001");
    EXPECT_EQ(Next(dir), 2);
}

TEST(CaptureNumber, NumberingGoesOnPast999) {
    ScratchDir scratch("velk-shot");
    std::string dir = scratch.Path();
    Touch(dir + "/capture999.bmp");
    EXPECT_EQ(Next(dir), 1000);
    Touch(dir + "/capture1000.bmp");
    EXPECT_EQ(Next(dir), 1001);
    Touch(dir + "/capture1234.bmp");
    EXPECT_EQ(Next(dir), 1235);
    // Longer runs are read to nine digits.
    Touch(dir + "/capture123456789012.bmp");
    EXPECT_EQ(Next(dir), 123456790);
}

TEST(CaptureNumber, MissingFolderIsReported) {
    CaptureStdout();
    EXPECT_EQ(NextCaptureNumber("/nonexistent/velk/shots"), 0);
    EXPECT_EQ(NextCaptureNumber(nullptr), 0);
    fflush(stdout);
    EXPECT_EQ(GetCapturedStdout(), "Error opening directory\nError opening directory\n");
}

TEST(BMPFile, RowStrides) {
    EXPECT_EQ(BMPRowStride(1), 4);
    EXPECT_EQ(BMPRowStride(3), 12);
    EXPECT_EQ(BMPRowStride(4), 12);
    EXPECT_EQ(BMPRowStride(1024), 3072);
    EXPECT_EQ(BMPRowStride(1366), 4100);
}

TEST(BMPFile, Width1024) {
    ScratchDir scratch("velk-shot");
    std::string path = scratch.File("a.bmp");
    std::vector<unsigned char> rows = WriteSample(path, 1024, 768);
    std::vector<unsigned char> b = ReadAllBytes(path);
    CheckHeader(b, 1024, 768, 3072);
    EXPECT_EQ(b.size(), 2359350u);
    EXPECT_EQ(U32(b, 34), 2359296u);
    EXPECT_TRUE(std::equal(rows.begin(), rows.end(), b.begin() + 54));
}

TEST(BMPFile, Width1366HasTwoPaddingBytesARow) {
    ScratchDir scratch("velk-shot");
    std::string path = scratch.File("b.bmp");
    WriteSample(path, 1366, 768);
    std::vector<unsigned char> b = ReadAllBytes(path);
    CheckHeader(b, 1366, 768, 4100);
    EXPECT_EQ(b.size(), 54u + 4100u * 768u);
    // Row 5, pixel 1365: blue = x, green = y, red = x + y (low bytes), then two zero bytes.
    size_t at = 54 + 5 * 4100 + 1365 * 3;
    EXPECT_EQ(b[at], (unsigned char)1365);
    EXPECT_EQ(b[at + 1], 5);
    EXPECT_EQ(b[at + 2], (unsigned char)1370);
    EXPECT_EQ(b[at + 3], 0);
    EXPECT_EQ(b[at + 4], 0);
    EXPECT_EQ(b[54 + 6 * 4100], 0); // row 6 starts right after the padding
    EXPECT_EQ(b[54 + 6 * 4100 + 1], 6);
}

class ScreenshotGL : public GLTest {};

TEST_F(ScreenshotGL, CapturesTheWindowBottomRowFirst) {
    ScratchDir scratch("velk-shot");
    std::string dir = scratch.Path();
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 0, 0);
    glBegin(GL_QUADS); // bottom left quarter red
    glVertex2f(-1, -1);
    glVertex2f(0, -1);
    glVertex2f(0, 0);
    glVertex2f(-1, 0);
    glEnd();
    // The fixture leaves a pack alignment of 1: the capture must still pad its rows.
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    CaptureStdout();
    CaptureScreen(255, 256, dir.c_str());
    CaptureScreen(256, 256, dir.c_str());
    fflush(stdout);
    EXPECT_EQ(GetCapturedStdout(), "Screenshot saved to: " + dir +
                                       "/capture000.bmp\nScreenshot saved to: " + dir + "/capture001.bmp\n");
    GLint align = 0;
    glGetIntegerv(GL_PACK_ALIGNMENT, &align);
    EXPECT_EQ(align, 1); // the caller's pack state is restored

    std::vector<unsigned char> b = ReadAllBytes(dir + "/capture000.bmp");
    CheckHeader(b, 255, 256, 768);
    // First stored row is the bottom row: red on the left, blue on the right; BGR order.
    EXPECT_EQ(b[54 + 0], 0);
    EXPECT_EQ(b[54 + 1], 0);
    EXPECT_EQ(b[54 + 2], 255);
    EXPECT_EQ(b[54 + 200 * 3], 255);
    EXPECT_EQ(b[54 + 200 * 3 + 2], 0);
    for (int i = 765; i < 768; ++i)
        EXPECT_EQ(b[54 + i], 0) << i; // padding
    // The top row is blue throughout.
    size_t top = 54 + 255 * 768;
    EXPECT_EQ(b[top], 255);
    EXPECT_EQ(b[top + 2], 0);

    std::vector<unsigned char> c = ReadAllBytes(dir + "/capture001.bmp");
    CheckHeader(c, 256, 256, 768);
}

TEST_F(ScreenshotGL, MissingFolderWritesNothing) {
    CaptureStdout();
    CaptureScreen(256, 256, "/nonexistent/velk/shots");
    fflush(stdout);
    EXPECT_EQ(GetCapturedStdout(), "Error opening directory\n");
    EXPECT_FALSE(Exists("/nonexistent/velk/shots/capture000.bmp"));
}

// An empty folder is the working folder: it is listed, and the file goes there rather than
// to the file system's root (which the test cleans up should it find one it made).
TEST_F(ScreenshotGL, EmptyFolderIsTheWorkingFolder) {
    ScratchDir scratch("velk-shot");
    ASSERT_TRUE(scratch.Enter());
    Touch("capture004.bmp");
    bool atRootBefore = Exists("/capture000.bmp");
    CaptureStdout();
    CaptureScreen(4, 4, "");
    fflush(stdout);
    EXPECT_EQ(GetCapturedStdout(), "Screenshot saved to: capture005.bmp\n");
    CheckHeader(ReadAllBytes("capture005.bmp"), 4, 4, 12);
    if (!atRootBefore && Exists("/capture000.bmp")) {
        ADD_FAILURE() << "a screenshot was written at the root";
        unlink("/capture000.bmp");
    }
}

// Only a regular file is written. A pipe can only be the next file's name when the folder
// cannot be listed (numbering then starts at 0): here a folder that may be searched but
// not read, which root, who reads any folder, meets as nobody. The pipe has a reader, so
// a write into it would arrive instead of blocking.
TEST_F(ScreenshotGL, APipeNamedAsTheNextFileReceivesNothing) {
    ScratchDir scratch("velk-shot");
    std::string shots = scratch.File("shots");
    ASSERT_EQ(mkdir(shots.c_str(), 0755), 0);
    std::string pipe = shots + "/capture000.bmp";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    ASSERT_EQ(chmod(pipe.c_str(), 0666), 0);
    int reader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_EQ(chmod(scratch.Path().c_str(), 0711), 0);
    ASSERT_EQ(chmod(shots.c_str(), 0111), 0);
    bool asNobody = geteuid() == 0;
    CaptureStdout();
    if (asNobody && seteuid(65534) != 0) asNobody = false;
    CaptureScreen(4, 4, shots.c_str());
    if (asNobody) EXPECT_EQ(seteuid(0), 0);
    fflush(stdout);
    EXPECT_EQ(GetCapturedStdout(), "Error opening directory\n");
    char got[8];
    EXPECT_LE(read(reader, got, sizeof got), 0);
    close(reader);
}

TEST_F(ScreenshotGL, EmptyWindowSizeWritesNothing) {
    ScratchDir scratch("velk-shot");
    std::string dir = scratch.Path();
    CaptureStdout();
    CaptureScreen(0, 256, dir.c_str());
    CaptureScreen(256, -3, dir.c_str());
    fflush(stdout);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_FALSE(Exists(dir + "/capture000.bmp"));
}
