// Tests of the extension loading, the ".shad" splitter, Shader and the shader manager.
#include "glextensions_testing.h"
#include "glfixture.h"
#include "glplatform.h"
#include "programKind.h"
#include "scratch.h"
#include "shadering.h"
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

const char* kAllShaderExts =
    "GL_ARB_multitexture GL_ARB_shader_objects GL_ARB_shading_language_100 GL_ARB_vertex_shader "
    "GL_ARB_fragment_shader GL_EXT_framebuffer_object";

std::vector<std::string> gFetched;
const char* gMissing[8];

void FakeEntry() {}

// Answers every name with a dummy entry point, except the names listed in gMissing.
GLEntryPoint FakeLookup(const char* name) {
    gFetched.push_back(name);
    for (const char* m : gMissing)
        if (m && strcmp(m, name) == 0) return nullptr;
    return &FakeEntry;
}

void ClearEntryPoints() {
    vgl::glCreateProgramObjectARB = nullptr;
    vgl::glDeleteObjectARB = nullptr;
    vgl::glCreateShaderObjectARB = nullptr;
    vgl::glShaderSourceARB = nullptr;
    vgl::glCompileShaderARB = nullptr;
    vgl::glGetObjectParameterivARB = nullptr;
    vgl::glAttachObjectARB = nullptr;
    vgl::glGetInfoLogARB = nullptr;
    vgl::glLinkProgramARB = nullptr;
    vgl::glUseProgramObjectARB = nullptr;
    vgl::glGetUniformLocationARB = nullptr;
    vgl::glUniform1fARB = nullptr;
    vgl::glUniform1iARB = nullptr;
    vgl::glUniform2fARB = nullptr;
    vgl::glUniform3fARB = nullptr;
    vgl::glGenFramebuffersEXT = nullptr;
    vgl::glBindFramebufferEXT = nullptr;
    vgl::glGenRenderbuffersEXT = nullptr;
    vgl::glBindRenderbufferEXT = nullptr;
    vgl::glRenderbufferStorageEXT = nullptr;
    vgl::glFramebufferRenderbufferEXT = nullptr;
    vgl::glFramebufferTexture2DEXT = nullptr;
    vgl::glCheckFramebufferStatusEXT = nullptr;
    vgl::glGenerateMipmapEXT = nullptr;
    vgl::glActiveTextureARB = nullptr;
}

class ExtensionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ClearEntryPoints();
        gFetched.clear();
        for (auto& m : gMissing)
            m = nullptr;
        SetGLEntryPointLookup(&FakeLookup);
    }
    void TearDown() override {
        SetGLEntryPointLookup(nullptr);
        ClearEntryPoints();
    }
    static std::string Run(const char* extensions) {
        CaptureStdout();
        EXPECT_TRUE(setupExtensionsFrom(extensions));
        fflush(stdout);
        return GetCapturedStdout();
    }
};

void WriteText(const std::string& path, const std::string& text) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
}

std::string Text(DataBlock& b) {
    return std::string(reinterpret_cast<const char*>(b.Ptr()), b.Len());
}

struct Split {
    DataBlock vert, frag;
    std::string out;
    Split(const char* src, const char* folder = "") {
        CaptureStdout();
        SplitShaderSource(src, folder, &vert, &frag);
        fflush(stdout);
        out = GetCapturedStdout();
    }
};

} // namespace

TEST_F(ExtensionsTest, AllPresentFetchesTheTwentyFiveInOrderSilently) {
    EXPECT_EQ(Run(kAllShaderExts), "");
    const char* order[] = {"glCreateProgramObjectARB",
                           "glDeleteObjectARB",
                           "glCreateShaderObjectARB",
                           "glShaderSourceARB",
                           "glCompileShaderARB",
                           "glGetObjectParameterivARB",
                           "glAttachObjectARB",
                           "glGetInfoLogARB",
                           "glLinkProgramARB",
                           "glUseProgramObjectARB",
                           "glGetUniformLocationARB",
                           "glUniform1fARB",
                           "glUniform1iARB",
                           "glUniform2fARB",
                           "glUniform3fARB",
                           "glGenFramebuffersEXT",
                           "glBindFramebufferEXT",
                           "glGenRenderbuffersEXT",
                           "glBindRenderbufferEXT",
                           "glRenderbufferStorageEXT",
                           "glFramebufferRenderbufferEXT",
                           "glFramebufferTexture2DEXT",
                           "glCheckFramebufferStatusEXT",
                           "glGenerateMipmapEXT",
                           "glActiveTextureARB"};
    ASSERT_EQ(gFetched.size(), 25u);
    for (int i = 0; i < 25; ++i)
        EXPECT_EQ(gFetched[i], order[i]) << i;
    EXPECT_TRUE(vgl::ShaderEntryPointsReady());
    EXPECT_TRUE(vgl::FramebufferEntryPointsReady());
    EXPECT_NE(vgl::glActiveTextureARB, nullptr);
}

TEST_F(ExtensionsTest, TokensMatchWhole) {
    // Only a longer token beginning with the name: the extension counts as missing.
    EXPECT_EQ(Run("GL_ARB_shader_objects_v2 GL_ARB_shading_language_100 GL_ARB_vertex_shader "
                  "GL_ARB_fragment_shader"),
              "ERRRRRUR");
    EXPECT_TRUE(gFetched.empty());
    EXPECT_EQ(vgl::glCreateProgramObjectARB, nullptr);
    // A token that merely contains the name at its end does not count either.
    EXPECT_EQ(Run("XGL_ARB_vertex_shader GL_ARB_shader_objects GL_ARB_shading_language_100 "
                  "GL_ARB_fragment_shader"),
              "ERRRRRUR");
    EXPECT_TRUE(gFetched.empty());
}

TEST_F(ExtensionsTest, MissingExtensionsPrintOnceAndFetchNothing) {
    // Several missing: the check stops at the first, so the text appears once.
    EXPECT_EQ(Run("GL_ARB_shader_objects"), "ERRRRRUR");
    EXPECT_EQ(Run(""), "ERRRRRUR");
    EXPECT_EQ(Run(nullptr), "ERRRRRUR");
    EXPECT_TRUE(gFetched.empty());
    EXPECT_FALSE(vgl::ShaderEntryPointsReady());
}

TEST_F(ExtensionsTest, MissingShaderEntryPointIsReportedButOthersAreStored) {
    gMissing[0] = "glUniform3fARB";
    EXPECT_EQ(Run(kAllShaderExts), "SHADING FAYUL");
    EXPECT_EQ(gFetched.size(), 25u);
    EXPECT_EQ(vgl::glUniform3fARB, nullptr);
    EXPECT_NE(vgl::glUniform2fARB, nullptr);
    EXPECT_NE(vgl::glGenFramebuffersEXT, nullptr);
    EXPECT_NE(vgl::glActiveTextureARB, nullptr);
}

TEST_F(ExtensionsTest, MissingFramebufferGroupIsSilent) {
    const char* fb[] = {"glGenFramebuffersEXT",      "glBindFramebufferEXT",
                        "glGenRenderbuffersEXT",     "glBindRenderbufferEXT",
                        "glRenderbufferStorageEXT",  "glFramebufferRenderbufferEXT",
                        "glFramebufferTexture2DEXT", "glGenerateMipmapEXT"};
    for (int i = 0; i < 8; ++i)
        gMissing[i] = fb[i];
    EXPECT_EQ(Run(kAllShaderExts), "");
    EXPECT_EQ(vgl::glBindFramebufferEXT, nullptr);
    EXPECT_FALSE(vgl::FramebufferEntryPointsReady());
    EXPECT_TRUE(vgl::ShaderEntryPointsReady());
    // The active-texture entry point is not reported either.
    ClearEntryPoints();
    for (auto& m : gMissing)
        m = nullptr;
    gMissing[0] = "glActiveTextureARB";
    EXPECT_EQ(Run(kAllShaderExts), "");
}

// The GL library hands out framebuffer entry points also for a context without the
// extension: the group is taken only when the extension string names it.
TEST_F(ExtensionsTest, WithoutTheFramebufferExtensionItsGroupIsNull) {
    EXPECT_EQ(Run(kAllShaderExts), "");
    gFetched.clear();
    EXPECT_EQ(Run("GL_ARB_shader_objects GL_ARB_shading_language_100 GL_ARB_vertex_shader "
                  "GL_ARB_fragment_shader GL_EXT_framebuffer_object2"),
              "");
    EXPECT_EQ(gFetched.size(), 16u); // the shader group and glActiveTextureARB
    EXPECT_EQ(vgl::glGenFramebuffersEXT, nullptr);
    EXPECT_EQ(vgl::glCheckFramebufferStatusEXT, nullptr);
    EXPECT_FALSE(vgl::FramebufferEntryPointsReady());
    EXPECT_TRUE(vgl::ShaderEntryPointsReady());
}

TEST_F(ExtensionsTest, SecondSetupOverwritesThePointers) {
    EXPECT_EQ(Run(kAllShaderExts), "");
    gMissing[0] = "glLinkProgramARB";
    EXPECT_EQ(Run(kAllShaderExts), "SHADING FAYUL");
    EXPECT_EQ(vgl::glLinkProgramARB, nullptr);
}

TEST_F(ExtensionsTest, OperationsWithoutEntryPointsDoNothing) {
    // Every pointer is null: nothing may call through them.
    glUseProgramObjectARB_PTR(3);
    glBindFramebufferEXT_PTR(GL_FRAMEBUFFER_EXT, 1);
    glUniform1f_PTR(0, 1.0f);
    EXPECT_EQ(glGetUniformLocation_PTR(1, "x"), -1);

    Shader s;
    unsigned program = 77, vs = 5, fs = 6;
    CaptureStdout();
    ParseShaderSrc("#SECTION VERTEX\nvoid main(){}\n", program, vs, fs, "");
    s.Bind();
    s.Unbind();
    s.DeclareUniform(0, "level", 1, true);
    float f = 1;
    s.UpdateUniform(0, &f);
    fflush(stdout);
    EXPECT_EQ(GetCapturedStdout(), "Err -1: Uniform level not found!\n");
    EXPECT_EQ(program, 0u);
    EXPECT_EQ(vs, 0u);
    EXPECT_EQ(fs, 0u);
    EXPECT_EQ(s.uniformCount, 0);
}

TEST(ShadSplit, SectionsAreChosenWithoutRegardToCase) {
    Split s("#section vertex\nv1\n#SECTION Fragment\nf1\n#Section VERTEX\nv2");
    EXPECT_EQ(Text(s.vert), std::string("v1\nv2\n", 6) + '\0');
    EXPECT_EQ(Text(s.frag), std::string("f1\n") + '\0');
    EXPECT_EQ(s.out, "");
}

TEST(ShadSplit, UnknownSectionKeepsTheCurrentOneAndLeadingLinesAreDropped) {
    Split s("dropped\n  also dropped\n#SECTION FRAGMENT extra words\na\n#SECTION GEOMETRY\nb\n#SECTION\nc");
    EXPECT_EQ(Text(s.frag), std::string("a\nb\nc\n") + '\0');
    // No vertex section: the vertex text is the terminating zero byte alone.
    EXPECT_EQ(s.vert.Len(), 1);
    EXPECT_EQ(s.vert.Ptr()[0], 0);
}

TEST(ShadSplit, BlankLinesVanishAndAFinalLineEndGivesAnEmptyLine) {
    Split s("#SECTION VERTEX\r\n\r\n\nx = 1;\r\n\n\n  indented\twith tab\n");
    EXPECT_EQ(Text(s.vert), std::string("x = 1;\n  indented\twith tab\n\n") + '\0');
    Split t("#SECTION VERTEX\nlast");
    EXPECT_EQ(Text(t.vert), std::string("last\n") + '\0');
}

TEST(ShadSplit, EmptySourceGivesTwoEmptyTexts) {
    Split s("");
    EXPECT_EQ(s.vert.Len(), 1);
    EXPECT_EQ(s.frag.Len(), 1);
    Split n(nullptr);
    EXPECT_EQ(n.vert.Len(), 1);
}

TEST(ShadSplit, LongLinesAreCutTo255WithAWarning) {
    std::string longLine(300, 'x');
    std::string src = "#SECTION VERTEX\n" + longLine + "\nnext";
    Split s(src.c_str());
    EXPECT_EQ(s.out, "WARNING: reached maxlinelen of 256, truncating line\n");
    EXPECT_EQ(Text(s.vert), std::string(255, 'x') + "\n\nnext\n" + '\0');
    // Exactly 255 characters fit without a warning.
    std::string fits = "#SECTION VERTEX\n" + std::string(255, 'y');
    Split f(fits.c_str());
    EXPECT_EQ(f.out, "");
    EXPECT_EQ(Text(f.vert), std::string(255, 'y') + "\n" + '\0');
}

TEST(ShadSplit, IncludesComeFromTheIncludeFolderByteForByte) {
    ScratchDir scratch("velk-shad");
    std::string dir = scratch.Path();
    ASSERT_EQ(mkdir((dir + "/include").c_str(), 0755), 0);
    // No final line end: the next line of the .shad file continues its last line.
    WriteText(dir + "/include/common.glsl", "float k;\r\n#INCLUDE <other>\nfloat j;");
    std::string folder = dir + "/";
    Split s("#SECTION FRAGMENT\n#INCLUDE <common.glsl>\nvoid main(){}\n#include \"common.glsl\" x\n",
            folder.c_str());
    EXPECT_EQ(s.out, "");
    EXPECT_EQ(Text(s.frag), std::string("float k;\r\n#INCLUDE <other>\nfloat j;void main(){}\n"
                                        "float k;\r\n#INCLUDE <other>\nfloat j;\n") +
                                '\0');
    EXPECT_EQ(s.vert.Len(), 1);
}

TEST(ShadSplit, IncludeProblems) {
    ScratchDir scratch("velk-shad");
    std::string dir = scratch.Path();
    ASSERT_EQ(mkdir((dir + "/include").c_str(), 0755), 0);
    WriteText(dir + "/include/a.glsl", "AAA");
    std::string folder = dir + "/";
    // Before any section the file is read and dropped, silently.
    Split before("#INCLUDE <a.glsl>\n#SECTION VERTEX\nv", folder.c_str());
    EXPECT_EQ(before.out, "");
    EXPECT_EQ(Text(before.vert), std::string("v\n") + '\0');
    // A missing file, a missing name and names too short to hold a file name are reported
    // and add nothing; a name that is a folder counts as missing too.
    Split missing("#SECTION VERTEX\n#INCLUDE <nothere.glsl>\n#INCLUDE\n#INCLUDE <>\n#INCLUDE x\n"
                  "#INCLUDE <..>\nv",
                  folder.c_str());
    EXPECT_EQ(missing.out, "INCLEUD FILE DOENT EXIST!!@\nINCLEUD FILE DOENT EXIST!!@\n"
                           "INCLEUD FILE DOENT EXIST!!@\nINCLEUD FILE DOENT EXIST!!@\n"
                           "INCLEUD FILE DOENT EXIST!!@\n");
    EXPECT_EQ(Text(missing.vert), std::string("v\n") + '\0');
    // Without a folder the include folder is relative to the working directory.
    Split nofolder("#SECTION VERTEX\n#INCLUDE <a.glsl>\n", "");
    EXPECT_EQ(nofolder.out, "INCLEUD FILE DOENT EXIST!!@\n");
}

TEST(ShadSplit, IncludesAndMetaFilesThatAreNoRegularFilesAreRefused) {
    ScratchDir scratch("velk-shad");
    std::string dir = scratch.Path();
    ASSERT_EQ(mkdir((dir + "/include").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo((dir + "/include/pipe").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", (dir + "/include/zero").c_str()), 0);
    std::string folder = dir + "/";
    // A pipe without a writer would block the open and the device never ends: without
    // the refusal the alarm ends the test instead of a hang.
    alarm(20);
    Split s("#SECTION VERTEX\n#INCLUDE <pipe>\n#INCLUDE <zero>\nv", folder.c_str());
    Shader shader;
    CaptureStdout();
    EXPECT_FALSE(shader.LoadMetaFile((dir + "/include/pipe").c_str()));
    fflush(stdout);
    std::string metaOut = GetCapturedStdout();
    alarm(0);
    EXPECT_EQ(s.out, "INCLEUD FILE DOENT EXIST!!@\nINCLEUD FILE DOENT EXIST!!@\n");
    EXPECT_EQ(Text(s.vert), std::string("v\n") + '\0');
    EXPECT_EQ(metaOut, "SHADER DONT EXIST!!@\n");
}

TEST(ShaderFiles, ReadfileReadsTheWholeFileInPieces) {
    ScratchDir scratch("velk-shad");
    std::string dir = scratch.Path();
    std::string text(250, 'q');
    text[0] = 'a';
    text[249] = 'z';
    WriteText(dir + "/f.txt", text);
    std::vector<char> buf(400, 'X');
    std::string p = dir + "/f.txt";
    readfile(&p[0], buf.data());
    EXPECT_EQ(std::string(buf.data()), text);
    // Exactly 100 bytes: the second piece comes back empty.
    WriteText(dir + "/h.txt", std::string(100, 'h'));
    p = dir + "/h.txt";
    readfile(&p[0], buf.data());
    EXPECT_EQ(std::string(buf.data()), std::string(100, 'h'));
    p = dir + "/none.txt";
    readfile(&p[0], buf.data());
    EXPECT_EQ(buf[0], 0);
}

// The file is checked through the descriptor it is read from: a pipe gives an empty text
// at once instead of waiting for a writer (the alarm ends a hang); a link to a file reads.
TEST(ShaderFiles, ReadfileRefusesAPipeAndFollowsALink) {
    ScratchDir dir("velk-shad");
    std::string pipe = dir.File("pipe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::vector<char> buf(16, 'X');
    alarm(20);
    readfile(&pipe[0], buf.data());
    alarm(0);
    EXPECT_EQ(buf[0], 0);
    WriteText(dir.File("f.txt"), "text");
    ASSERT_EQ(symlink("f.txt", dir.File("link").c_str()), 0);
    std::string link = dir.File("link");
    readfile(&link[0], buf.data());
    EXPECT_STREQ(buf.data(), "text");
}

TEST(ShaderFiles, MissingMetaFileIsReported) {
    Shader s;
    CaptureStdout();
    EXPECT_FALSE(s.LoadMetaFile("/nonexistent/dir/x.shad"));
    EXPECT_FALSE(s.LoadMetaFile(nullptr));
    fflush(stdout);
    EXPECT_EQ(GetCapturedStdout(), "SHADER DONT EXIST!!@\nSHADER DONT EXIST!!@\n");
    EXPECT_EQ(s.program, 0u);
}

// ---- Under the GL context -------------------------------------------------------------

namespace {

const char* kColourShad = "// a quad in the colour (level, 0.5, 0.25)\n"
                          "#SECTION VERTEX\n"
                          "void main() { gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex; }\n"
                          "#SECTION FRAGMENT\n"
                          "#INCLUDE <uniforms.glsl>\n"
                          "void main() { gl_FragColor = vec4(level, 0.5, 0.25, 1.0); }\n";

class ShaderGL : public GLTest {
  protected:
    ScratchDir scratch{"velk-shad"};
    std::string dir = scratch.Path();
    void SetUp() override {
        GLTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(LoadExtensionsQuietly());
        ASSERT_TRUE(vgl::ShaderEntryPointsReady());
        ASSERT_EQ(mkdir((dir + "/include").c_str(), 0755), 0);
        WriteText(dir + "/include/uniforms.glsl", "uniform float level;\nuniform float unused;\n");
        WriteText(dir + "/colour.shad", kColourShad);
    }
    void TearDown() override { glUseProgramObjectARB_PTR(0); }
    static void FullQuad() {
        glBegin(GL_QUADS);
        glVertex2f(-1, -1);
        glVertex2f(1, -1);
        glVertex2f(1, 1);
        glVertex2f(-1, 1);
        glEnd();
    }
};

} // namespace

TEST_F(ShaderGL, UniformOfTheBoundShaderChangesThePixel) {
    ShaderManager sm;
    int first = -1, count = 0;
    sm.AddContent((dir + "/colour.shad").c_str(), "", &first, &count);
    ASSERT_EQ(first, 0);
    CaptureStdout();
    sm.Use(first);
    fflush(stdout);
    EXPECT_EQ(GetCapturedStdout(), "");
    Shader* s = sm.GetBoundShader();
    ASSERT_NE(s, nullptr);
    EXPECT_NE(s->program, 0u);

    s->DeclareUniform(0, "level", 1, true);
    ASSERT_EQ(s->uniformCount, 1);
    float level = 1.0f;
    s->UpdateUniform(0, &level);
    FullQuad();
    RGBA p = Pixel(128, 128);
    EXPECT_EQ(p.r, 255);
    EXPECT_NEAR(p.g, 128, 1);
    EXPECT_NEAR(p.b, 64, 1);

    level = 0.0f;
    s->UpdateUniform(0, &level);
    FullQuad();
    EXPECT_EQ(Pixel(10, 10).r, 0);
    EXPECT_NEAR(Pixel(10, 10).g, 128, 1);

    // Unbinding with -1 returns to the fixed pipeline: the quad takes the current colour.
    sm.Use(-1);
    EXPECT_EQ(sm.GetBoundShader(), nullptr);
    glColor3f(0, 0, 1);
    FullQuad();
    p = Pixel(128, 128);
    EXPECT_EQ(p.r, 0);
    EXPECT_EQ(p.b, 255);
}

TEST_F(ShaderGL, UniformRecordsAndKinds) {
    Shader s;
    ASSERT_TRUE(s.LoadMetaFile((dir + "/colour.shad").c_str()));
    s.Bind();
    CaptureStdout();
    s.DeclareUniform(7, "level", 1, true);
    s.DeclareUniform(0, "nosuch", 1, true);
    s.DeclareUniform(0, "level", 3, true);
    fflush(stdout);
    EXPECT_EQ(GetCapturedStdout(), "Err -1: Uniform nosuch not found!\n");
    ASSERT_EQ(s.uniformCount, 2);
    EXPECT_EQ(s.uniforms[0].kind, 0);
    EXPECT_EQ(s.uniforms[1].kind, 1);
    EXPECT_EQ(s.uniforms[0].location, s.uniforms[1].location);
    s.DeclareUniform(0, "level", 1, false);
    s.DeclareUniform(0, "level", 2, false);
    ASSERT_EQ(s.uniformCount, 4);
    EXPECT_EQ(s.uniforms[2].kind, 2);
    EXPECT_EQ(s.uniforms[3].kind, 3);

    float one = 1.0f, half = 0.5f;
    s.UpdateUniform(0, &one);
    // Records of kinds 1 to 3 and indices out of range change nothing.
    s.UpdateUniform(1, &half);
    s.UpdateUniform(3, &half);
    s.UpdateUniform(4, &half);
    s.UpdateUniform(-1, &half);
    s.UpdateUniform(0, nullptr);
    FullQuad();
    EXPECT_EQ(Pixel(50, 50).r, 255);
    s.Unbind();
}

// A uniform table that cannot grow past the int range counts no further uniform. The table
// stands for a full one: its fields are set by hand over a small storage.
TEST_F(ShaderGL, AUniformTheTableCannotTakeIsNotCounted) {
    Shader s;
    ASSERT_TRUE(s.LoadMetaFile((dir + "/colour.shad").c_str()));
    s.Bind();
    unsigned char small[8] = {};
    s.uniformBlock.ptr = small;
    s.uniformBlock.len = s.uniformBlock.dim = INT_MAX - 4;
    s.DeclareUniform(0, "level", 1, true);
    EXPECT_EQ(s.uniformCount, 0);
    EXPECT_EQ(s.uniformBlock.len, INT_MAX - 4);
    s.Unbind();
    s.uniformBlock.ptr = nullptr; // hand the stand-in back before the destructor
    s.uniformBlock.len = s.uniformBlock.dim = 0;
}

TEST_F(ShaderGL, CompileErrorsPrintTheLogs) {
    WriteText(dir + "/bad.shad", "#SECTION VERTEX\nvoid main() { gl_Position = nothing; }\n"
                                 "#SECTION FRAGMENT\nvoid main() { gl_FragColor = 1.0 +; }\n");
    Shader s;
    CaptureStdout();
    EXPECT_TRUE(s.LoadMetaFile((dir + "/bad.shad").c_str()));
    fflush(stdout);
    std::string out = GetCapturedStdout();
    EXPECT_EQ(out.rfind("VERT ERROR( VERT ): \n", 0), 0u) << out;
    size_t frag = out.find("FRAG ERROR( FRAG ): \n");
    EXPECT_NE(frag, std::string::npos) << out;
    EXPECT_NE(out.find("error"), std::string::npos);
    EXPECT_EQ(out.back(), '\n');
    EXPECT_NE(s.program, 0u);
}

TEST_F(ShaderGL, TwoFileBuildReportsByPath) {
    WriteText(dir + "/v.glsl", "void main() { gl_Position = ftransform(); }");
    WriteText(dir + "/f.glsl", "void main() { gl_FragColor = vec4(0.0, 1.0, 0.0, 1.0); }");
    Shader s;
    snprintf(s.vertexFile, sizeof s.vertexFile, "%s/v.glsl", dir.c_str());
    snprintf(s.fragmentFile, sizeof s.fragmentFile, "%s/f.glsl", dir.c_str());
    CaptureStdout();
    s.Compile();
    fflush(stdout);
    EXPECT_EQ(GetCapturedStdout(), "");
    s.Bind();
    FullQuad();
    EXPECT_EQ(Pixel(3, 3).g, 255);
    EXPECT_EQ(Pixel(3, 3).r, 0);
    s.Unbind();

    // A fragment file with an error is reported under its path; a missing vertex file is an
    // empty source and must not stop the build.
    WriteText(dir + "/badf.glsl", "void main() { gl_FragColor = ; }");
    Shader broken;
    snprintf(broken.vertexFile, sizeof broken.vertexFile, "%s/missing.glsl", dir.c_str());
    snprintf(broken.fragmentFile, sizeof broken.fragmentFile, "%s/badf.glsl", dir.c_str());
    CaptureStdout();
    broken.Compile();
    fflush(stdout);
    std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("FRAG ERROR( " + dir + "/badf.glsl ): \n"), std::string::npos) << out;
    EXPECT_NE(broken.program, 0u);
}

TEST_F(ShaderGL, ManagerRetriesAMissingFileAndUnbinds) {
    ShaderManager sm;
    int good = -1, bad = -1;
    sm.AddContent((dir + "/colour.shad").c_str(), "", &good, nullptr);
    sm.AddContent((dir + "/later.shad").c_str(), "", &bad, nullptr);
    sm.Use(good);
    Shader* s = sm.GetBoundShader();
    ASSERT_NE(s, nullptr);
    CaptureStdout();
    sm.Use(bad);
    fflush(stdout);
    EXPECT_EQ(GetCapturedStdout(), "SHADER DONT EXIST!!@\n");
    // A failed item unbinds: program 0 and no bound shader.
    EXPECT_EQ(sm.GetBoundShader(), nullptr);
    MediaManagerGroup* g = sm.GetGroup("");
    EXPECT_EQ(static_cast<GroupFileItem*>(g->files.Get(1))->state, 2);
    // The file appears: the next use loads it.
    WriteText(dir + "/later.shad", kColourShad);
    CaptureStdout();
    sm.Use(bad);
    fflush(stdout);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_NE(sm.GetBoundShader(), nullptr);
    EXPECT_NE(sm.GetBoundShader(), s);
    EXPECT_EQ(static_cast<GroupFileItem*>(g->files.Get(1))->state, 1);
    // By name in the default group.
    sm.Use("colour");
    EXPECT_EQ(sm.GetBoundShader(), s);
}

TEST_F(ShaderGL, DisabledShadersBindNothingButStillLoad) {
    ShaderManager sm;
    EXPECT_TRUE(sm.GetShadersEnabled());
    int a = -1, b = -1;
    sm.AddContent((dir + "/colour.shad").c_str(), "", &a, nullptr);
    WriteText(dir + "/second.shad", kColourShad);
    sm.AddContent((dir + "/second.shad").c_str(), "", &b, nullptr);
    sm.Use(a);
    Shader* first = sm.GetBoundShader();
    ASSERT_NE(first, nullptr);
    sm.SetShadersEnabled(false);
    EXPECT_FALSE(sm.GetShadersEnabled());
    sm.Use(-1);
    sm.Use(b);
    EXPECT_EQ(sm.GetBoundShader(), first);
    EXPECT_NE(sm.GetLoadedItem(b), nullptr);
    // The fixed pipeline is not disturbed by the skipped unbind: the first program is still current.
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ((unsigned)current, first->program);
}

TEST_F(ShaderGL, VelkRunHasNoEnableSwitch) {
    SetCurrentProgram(ProgramKind::Run);
    ShaderManager sm;
    SetCurrentProgram(ProgramKind::Engine);
    int a = -1;
    sm.AddContent((dir + "/colour.shad").c_str(), "", &a, nullptr);
    sm.SetShadersEnabled(false);
    sm.Use(a);
    ASSERT_NE(sm.GetBoundShader(), nullptr);
    sm.Use(-1);
    EXPECT_EQ(sm.GetBoundShader(), nullptr);
}
