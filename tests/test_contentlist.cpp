// Tests of the content lists: bucket placement, lazy loading and retry, and binding of
// textures and shaders found by five-digit number under "data/".
#include "contentlist.h"
#include "glfixture.h"
#include "glplatform.h"
#include "materials.h"
#include "scratch.h"
#include "shadering.h"

#include <SFML/Graphics/Image.hpp>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

// A list whose loads are counted and can be switched off.
class CountingList : public ContentList {
  public:
    int loads = 0;
    bool succeed = true;
    int item = 42;
    ContentRecord* LoadItem(int id) override {
        loads++;
        if (!succeed) return nullptr;
        return new ContentRecord{id, &item};
    }
};

class CountingTextureList : public TextureList {
  public:
    int loads = 0;
    ContentRecord* LoadItem(int id) override {
        loads++;
        return TextureList::LoadItem(id);
    }
};

class CountingShaderList : public ShaderList {
  public:
    int loads = 0;
    ContentRecord* LoadItem(int id) override {
        loads++;
        return ShaderList::LoadItem(id);
    }
};

int BucketSize(ContentList& list, int bucket) {
    return list.buckets[bucket].records.Count();
}

void WriteText(const char* path, const char* text) {
    FILE* f = fopen(path, "wb");
    ASSERT_NE(f, nullptr);
    fputs(text, f);
    fclose(f);
}

// A picture of w x h pixels in one colour; the extension chooses the format.
void WritePicture(const char* path, unsigned w, unsigned h, sf::Color colour) {
    sf::Image img;
    img.create(w, h, colour);
    ASSERT_TRUE(img.saveToFile(path));
}

GLuint BoundTexture() {
    GLint id = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &id);
    return static_cast<GLuint>(id);
}

GLuint CurrentProgram() {
    GLint id = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &id);
    return static_cast<GLuint>(id);
}

const char* kGreenShad = "#SECTION VERTEX\n"
                         "void main() { gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex; }\n"
                         "#SECTION FRAGMENT\n"
                         "void main() { gl_FragColor = vec4(0.0, 1.0, 0.0, 1.0); }\n";

} // namespace

TEST(ContentListBuckets, IdsFallIntoBucketsOf256) {
    CountingList list;
    int* a = static_cast<int*>(list.FetchItem(255));
    int* b = static_cast<int*>(list.FetchItem(256));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(*a, 42);
    EXPECT_EQ(b, a);
    EXPECT_EQ(BucketSize(list, 0), 1);
    EXPECT_EQ(BucketSize(list, 1), 1);
    list.FetchItem(0);
    list.FetchItem(65535);
    EXPECT_EQ(BucketSize(list, 0), 2);
    EXPECT_EQ(BucketSize(list, 255), 1);
    auto* record = static_cast<ContentRecord*>(list.buckets[1].records.Peek(0));
    EXPECT_EQ(record->id, 256);
}

TEST(ContentListBuckets, SecondFetchFindsTheRecord) {
    CountingList list;
    list.FetchItem(300);
    list.FetchItem(301);
    EXPECT_EQ(list.loads, 2);
    EXPECT_NE(list.FetchItem(300), nullptr);
    EXPECT_NE(list.FetchItem(301), nullptr);
    EXPECT_EQ(list.loads, 2);
    EXPECT_EQ(BucketSize(list, 1), 2);
}

TEST(ContentListBuckets, IdsOutsideTheRangeGiveNullWithoutLoading) {
    CountingList list;
    for (int id : {-1, -256, 65536, 70000, INT_MIN, INT_MAX})
        EXPECT_EQ(list.FetchItem(id), nullptr) << id;
    EXPECT_EQ(list.loads, 0);
}

TEST(ContentListBuckets, FailedLoadIsTriedAgainAndStoresNothing) {
    CountingList list;
    list.succeed = false;
    EXPECT_EQ(list.FetchItem(9), nullptr);
    EXPECT_EQ(list.FetchItem(9), nullptr);
    EXPECT_EQ(list.loads, 2);
    EXPECT_EQ(BucketSize(list, 0), 0);
    list.succeed = true;
    EXPECT_NE(list.FetchItem(9), nullptr);
    EXPECT_EQ(list.FetchItem(9), list.FetchItem(9));
    EXPECT_EQ(list.loads, 3);
}

TEST(ContentListBuckets, BaseListLoadsNothing) {
    ContentList list;
    EXPECT_EQ(list.LoadItem(1), nullptr);
    EXPECT_EQ(list.FetchItem(1), nullptr);
    EXPECT_EQ(BucketSize(list, 0), 0);
}

TEST(ContentListBuckets, ShaderListStartsWithNoCurrentShader) {
    ShaderList list;
    EXPECT_EQ(list.current, nullptr);
    for (int b = 0; b < ContentList::kBucketCount; b++)
        ASSERT_EQ(BucketSize(list, b), 0);
}

// Under a GL context, in a scratch working directory with data/textures and data/shaders.
class ContentListGL : public GLTest {
  protected:
    void SetUp() override {
        GLTest::SetUp();
        ASSERT_NE(getcwd(oldDir, sizeof oldDir), nullptr);
        dir = scratch.Path();
        ASSERT_EQ(chdir(dir.c_str()), 0);
        ASSERT_EQ(mkdir("data", 0755), 0);
        ASSERT_EQ(mkdir("data/textures", 0755), 0);
        ASSERT_EQ(mkdir("data/shaders", 0755), 0);
    }
    void TearDown() override {
        glUseProgramObjectARB_PTR(0);
        ASSERT_EQ(chdir(oldDir), 0);
    }
    // Real shader entry points, fetched quietly.
    static void ReadyShaders() {
        SetGLEntryPointLookup(nullptr);
        CaptureStdout();
        setupExtensions();
        GetCapturedStdout();
        ASSERT_TRUE(vgl::ShaderEntryPointsReady());
    }
    static void FullQuad() {
        glBegin(GL_QUADS);
        glVertex2f(-1, -1);
        glVertex2f(1, -1);
        glVertex2f(1, 1);
        glVertex2f(-1, 1);
        glEnd();
    }
    char oldDir[4096];
    ScratchDir scratch{"velk-content"};
    std::string dir;
};

TEST_F(ContentListGL, BmpIsFoundAfterMissingPngAndLoadedOnce) {
    WritePicture("data/textures/00007.bmp", 8, 4, sf::Color::Red);
    CountingTextureList list;
    list.Bind(7);
    EXPECT_EQ(list.loads, 1);
    auto* texture = static_cast<Texture*>(list.FetchItem(7));
    ASSERT_NE(texture, nullptr);
    EXPECT_NE(texture->textureId, 0u);
    EXPECT_EQ(texture->width, 8);
    EXPECT_EQ(texture->height, 4);
    EXPECT_EQ(BoundTexture(), texture->textureId);

    // The second bind finds the record: no load, even with the file gone.
    list.Bind(-1);
    EXPECT_EQ(BoundTexture(), 0u);
    ASSERT_EQ(remove("data/textures/00007.bmp"), 0);
    list.Bind(7);
    EXPECT_EQ(list.loads, 1);
    EXPECT_EQ(BoundTexture(), texture->textureId);
}

TEST_F(ContentListGL, PngIsPreferredThenBmpThenJpg) {
    WritePicture("data/textures/00001.png", 2, 2, sf::Color::Red);
    WritePicture("data/textures/00001.bmp", 4, 4, sf::Color::Green);
    WritePicture("data/textures/00002.bmp", 4, 4, sf::Color::Green);
    WritePicture("data/textures/00002.jpg", 8, 8, sf::Color::Blue);
    WritePicture("data/textures/00003.jpg", 8, 8, sf::Color::Blue);
    TextureList list;
    ASSERT_NE(list.FetchItem(1), nullptr);
    ASSERT_NE(list.FetchItem(2), nullptr);
    ASSERT_NE(list.FetchItem(3), nullptr);
    EXPECT_EQ(static_cast<Texture*>(list.FetchItem(1))->width, 2);
    EXPECT_EQ(static_cast<Texture*>(list.FetchItem(2))->width, 4);
    EXPECT_EQ(static_cast<Texture*>(list.FetchItem(3))->width, 8);
}

TEST_F(ContentListGL, UnreadablePngFallsBackToBmp) {
    WriteText("data/textures/00004.png", "not a picture");
    WritePicture("data/textures/00004.bmp", 4, 2, sf::Color::Green);
    TextureList list;
    auto* texture = static_cast<Texture*>(list.FetchItem(4));
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->height, 2);
}

TEST_F(ContentListGL, FileNumbersHaveAtLeastFiveDigits) {
    WritePicture("data/textures/00000.png", 2, 2, sf::Color::Red);
    WritePicture("data/textures/65535.png", 2, 2, sf::Color::Red);
    // Unpadded names of another size: a load of these would show in the width.
    WritePicture("data/textures/0.png", 4, 4, sf::Color::Red);
    WritePicture("data/textures/00012.bmp", 2, 2, sf::Color::Red);
    WritePicture("data/textures/12.png", 4, 4, sf::Color::Red);
    WritePicture("data/textures/65536.png", 2, 2, sf::Color::Red);
    WritePicture("data/textures/-00001.png", 2, 2, sf::Color::Red);
    CountingTextureList list;
    auto* zero = static_cast<Texture*>(list.FetchItem(0));
    ASSERT_NE(zero, nullptr);
    EXPECT_EQ(zero->width, 2);
    EXPECT_NE(list.FetchItem(65535), nullptr);
    auto* twelve = static_cast<Texture*>(list.FetchItem(12));
    ASSERT_NE(twelve, nullptr);
    EXPECT_EQ(twelve->width, 2);
    EXPECT_EQ(list.loads, 3);
    // Out of range: no bucket, no load, though a file of that number exists.
    EXPECT_EQ(list.FetchItem(65536), nullptr);
    EXPECT_EQ(list.FetchItem(-1), nullptr);
    EXPECT_EQ(list.loads, 3);
}

TEST_F(ContentListGL, TexturesInNeighbouringBuckets) {
    WritePicture("data/textures/00255.png", 2, 2, sf::Color::Red);
    WritePicture("data/textures/00256.png", 4, 4, sf::Color::Red);
    TextureList list;
    list.Bind(255);
    list.Bind(256);
    EXPECT_EQ(BucketSize(list, 0), 1);
    EXPECT_EQ(BucketSize(list, 1), 1);
    EXPECT_EQ(static_cast<Texture*>(list.FetchItem(256))->width, 4);
    EXPECT_EQ(BoundTexture(), static_cast<Texture*>(list.FetchItem(256))->textureId);
}

TEST_F(ContentListGL, MissingTextureIsTriedOnEveryFetchAndBindsNothing) {
    WritePicture("data/textures/00010.png", 2, 2, sf::Color::Red);
    CountingTextureList list;
    list.Bind(10);
    GLuint bound = BoundTexture();
    ASSERT_NE(bound, 0u);
    CaptureStdout();
    list.Bind(11);
    list.Bind(11);
    EXPECT_EQ(list.FetchItem(11), nullptr);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(list.loads, 4);
    EXPECT_EQ(BoundTexture(), bound);
    EXPECT_EQ(BucketSize(list, 0), 1);
    // Once the file appears, the next fetch loads it.
    WritePicture("data/textures/00011.jpg", 2, 2, sf::Color::Red);
    list.Bind(11);
    EXPECT_EQ(list.loads, 5);
    EXPECT_NE(BoundTexture(), bound);
    EXPECT_EQ(BucketSize(list, 0), 2);
}

TEST_F(ContentListGL, ShaderIsLoadedFromItsNumberAndBound) {
    ReadyShaders();
    WriteText("data/shaders/00001.shad", kGreenShad);
    CountingShaderList list;
    CaptureStdout();
    list.Bind(1);
    EXPECT_EQ(GetCapturedStdout(), "");
    ASSERT_NE(list.current, nullptr);
    EXPECT_EQ(list.current, list.FetchItem(1));
    EXPECT_NE(list.current->program, 0u);
    EXPECT_EQ(CurrentProgram(), list.current->program);
    FullQuad();
    RGBA p = Pixel(128, 128);
    EXPECT_EQ(p.r, 0);
    EXPECT_EQ(p.g, 255);
    list.Bind(1);
    EXPECT_EQ(list.loads, 1);

    list.Bind(-1);
    EXPECT_EQ(list.current, nullptr);
    EXPECT_EQ(CurrentProgram(), 0u);
}

TEST_F(ContentListGL, MissingShaderStaysInTheListWithProgramZero) {
    ReadyShaders();
    WriteText("data/shaders/00001.shad", kGreenShad);
    CountingShaderList list;
    list.Bind(1);
    ASSERT_NE(CurrentProgram(), 0u);

    CaptureStdout();
    list.Bind(3);
    list.Bind(3);
    EXPECT_EQ(GetCapturedStdout(), "SHADER DONT EXIST!!@\n");
    EXPECT_EQ(list.loads, 2);
    auto* shader = static_cast<Shader*>(list.FetchItem(3));
    ASSERT_NE(shader, nullptr);
    EXPECT_EQ(shader->program, 0u);
    EXPECT_EQ(list.current, shader);
    EXPECT_EQ(CurrentProgram(), 0u);
}

TEST_F(ContentListGL, ShaderIdOutOfRangeChangesNothing) {
    ReadyShaders();
    WriteText("data/shaders/00001.shad", kGreenShad);
    ShaderList list;
    list.Bind(1);
    Shader* bound = list.current;
    ASSERT_NE(bound, nullptr);
    CaptureStdout();
    list.Bind(65536);
    list.Bind(-2);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(list.current, bound);
    EXPECT_EQ(CurrentProgram(), bound->program);
}

TEST_F(ContentListGL, TextureIdOutOfRangeChangesNothing) {
    WritePicture("data/textures/00005.png", 2, 2, sf::Color::Red);
    TextureList list;
    list.Bind(5);
    GLuint bound = BoundTexture();
    ASSERT_NE(bound, 0u);
    list.Bind(-2);
    list.Bind(100000);
    EXPECT_EQ(BoundTexture(), bound);
}
