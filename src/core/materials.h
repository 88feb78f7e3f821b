// materials: Texture (pictures loaded through sf::Image, render-to-texture through a
// framebuffer object, full-window copies), screenshots as BMP files, and the texture
// manager whose items are textures loaded on first use.
#pragma once
#include "manager.h"
#include "vlmath.h"
#include <cstdio>

class CoreThingy;

class Texture {
  public:
    unsigned textureId;
    char path[256];
    unsigned char* pixels; // caller-supplied RGB rows for Generate and TexPassEffect; never owned
    int width;
    int height;
    unsigned fbo;
    unsigned depthRenderbuffer;

    Texture();
    // The GL texture, framebuffer and renderbuffer are deliberately never deleted: GL
    // objects of the engine live until the process ends.
    ~Texture();

    bool Load(const char* path, bool flag);
    void Bind();
    void Unbind();
    void SetPath(const char* path);
    void Generate();
    void BeginRTT(int width, int height, const V4& clearColour);
    void EndRTT(CoreThingy* app);
    void DrawRTTFull(CoreThingy* app);
    void BeginRTTFull(CoreThingy* app);
    void EndRTTFull(bool clear);

    // The same with the screen size given directly (the CoreThingy forms pass the
    // application's GetScreenWidth and GetScreenHeight).
    void DrawRTTFull(int screenWidth, int screenHeight);
    void BeginRTTFull(int screenWidth, int screenHeight);
};

void TexCreateSetupFBO(Texture* texture);
void TexPassEffect(Texture* texture, float value);

// Saves the frame buffer as the next free "captureNNN.bmp" of `folder` (the working folder
// when empty).
void CaptureScreen(int width, int height, const char* folder);
// The number CaptureScreen gives its next file in `folder`, the working folder when empty
// (prints "Error opening directory" and answers 0 when the folder cannot be listed).
int NextCaptureNumber(const char* folder);
// Bytes per BMP pixel row: 3 * width rounded up to a multiple of four.
int BMPRowStride(int width);
// Writes the 54-byte header and `height` rows of BMPRowStride(width) bytes, bottom row first.
void WriteBMP(FILE* file, int width, int height, const unsigned char* rows);

// Picture items loaded on first use; Use(-1) binds texture 0.
class TextureManager : public MediaManager {
  public:
    TextureManager();
    ~TextureManager();

    void QueryFile(const char* path, MediaManagerGroup* group, int* outFirst, int* outCount) override;
    void LoadFile(GroupFileItem* file, MediaManagerGroup* group) override;
    void priv_Use(int* item) override;
};
