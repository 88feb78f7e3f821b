// Headless GL fixture shared by every test that needs a GL context.
// Runs under Xvfb (xvfb-run -a -s "-screen 0 1280x1024x24"). One window per test
// process, reused across tests; each test starts from a clean GL state.
#pragma once
#include <SFML/Window.hpp>
#include <gtest/gtest.h>
#include <vector>

struct RGBA {
    unsigned char r, g, b, a;
};

class GLTest : public ::testing::Test {
  public:
    static const int kWidth = 256;
    static const int kHeight = 256;

    // The shared window (created on first use). Its context is active after SetUp.
    static sf::Window& Window();

  protected:
    void SetUp() override;

    // Identity matrices, viewport of the whole window, depth/blend/lighting/textures off,
    // black clear colour, back buffer as read buffer.
    static void ResetGLState();
    // Reads one pixel of the back buffer (x, y from the bottom left, GL convention).
    static RGBA Pixel(int x, int y);
    // Reads the whole back buffer, rows bottom-up.
    static std::vector<RGBA> ReadAll();
    // Counts pixels whose colour is not the given one.
    static int CountNot(RGBA c);
};
