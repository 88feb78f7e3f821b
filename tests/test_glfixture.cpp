#include "glfixture.h"
#include <SFML/OpenGL.hpp>

// The fixture itself must give a drawable, readable back buffer, or every GL test lies.
TEST_F(GLTest, ClearAndQuadAreReadBack) {
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(Pixel(5, 5).b, 255);
    glColor3f(1, 0, 0);
    glBegin(GL_QUADS);
    glVertex2f(-1, -1);
    glVertex2f(0, -1);
    glVertex2f(0, 0);
    glVertex2f(-1, 0);
    glEnd();
    RGBA inside = Pixel(10, 10), outside = Pixel(200, 200);
    EXPECT_EQ(inside.r, 255);
    EXPECT_EQ(inside.b, 0);
    EXPECT_EQ(outside.r, 0);
    EXPECT_EQ(outside.b, 255);
}

#include "glplatform.h"

TEST_F(GLTest, EntryPointLookupKnowsRealNamesOnly) {
    EXPECT_NE(GetGLEntryPoint("glGenBuffersARB"), nullptr);
    EXPECT_NE(GetGLEntryPoint("glCreateProgramObjectARB"), nullptr);
    EXPECT_EQ(GetGLEntryPoint("glNoSuchFunctionVelk"), nullptr);
    EXPECT_EQ(GetGLEntryPoint(nullptr), nullptr);
    SetGLEntryPointLookup([](const char*) -> GLEntryPoint { return nullptr; });
    EXPECT_EQ(GetGLEntryPoint("glGenBuffersARB"), nullptr);
    SetGLEntryPointLookup(nullptr);
    EXPECT_NE(GetGLEntryPoint("glGenBuffersARB"), nullptr);
}
