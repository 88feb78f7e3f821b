#include "glfixture.h"
#include <SFML/OpenGL.hpp>

sf::Window& GLTest::Window() {
    static sf::Window* window = nullptr;
    if (!window) {
        sf::ContextSettings settings;
        settings.depthBits = 24;
        settings.majorVersion = 2;
        settings.minorVersion = 0;
        window = new sf::Window(sf::VideoMode(kWidth, kHeight, 32), "velk-test", sf::Style::None, settings);
    }
    return *window;
}

void GLTest::SetUp() {
    ASSERT_TRUE(Window().setActive(true));
    ResetGLState();
}

void GLTest::ResetGLState() {
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glDisable(GL_COLOR_LOGIC_OP);
    glBindTexture(GL_TEXTURE_2D, 0);
    glColor4f(1, 1, 1, 1);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glReadBuffer(GL_BACK);
    glDrawBuffer(GL_BACK);
    while (glGetError() != GL_NO_ERROR) {
    }
}

RGBA GLTest::Pixel(int x, int y) {
    RGBA p{0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &p);
    return p;
}

std::vector<RGBA> GLTest::ReadAll() {
    std::vector<RGBA> px(kWidth * kHeight);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    return px;
}

int GLTest::CountNot(RGBA c) {
    int n = 0;
    for (const RGBA& p : ReadAll())
        if (p.r != c.r || p.g != c.g || p.b != c.b) ++n;
    return n;
}
