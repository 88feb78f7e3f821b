// materials: textures, render-to-texture, screenshots and the texture manager.
#include "materials.h"
#include "corethingy.h"
#include "errfilter.h"
#include "shadering.h"
#include "strfuncs.h"
#include "wholefile.h"
#include "numericfuncs.h"
#include <GL/gl.h>
#include <GL/glu.h>
#include <SFML/Graphics/Image.hpp>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>

Texture::Texture() : textureId(0), pixels(nullptr), width(0), height(0), fbo(0), depthRenderbuffer(0) {
    // The path starts empty rather than unset, so a Load with a null path before any
    // SetPath reads a valid (empty) name.
    path[0] = 0;
}

Texture::~Texture() {}

bool Texture::Load(const char* newPath, bool flag) {
    if (newPath) SetPath(newPath);
    const char* name = newPath ? newPath : path;
    // The bytes come through the byte buffer's reader, which opens the name once and only
    // as a regular file (a pipe named as a picture would otherwise hold the engine).
    DataBlock bytes;
    if (!bytes.ReadFile(name)) return false;
    sf::Image image;
    bool ok = false;
    {
        // sf::Image reports failures on the library's error stream; a failed load prints
        // nothing.
        QuietLibraryErrors quiet;
        try {
            ok = image.loadFromMemory(bytes.Ptr(), (std::size_t)bytes.Len());
        } catch (...) {
            // The pixels are sized from the header; a forged one can exhaust memory in the
            // library (bad_alloc). No exception may reach the script: the picture did not load.
        }
    }
    if (!ok) return false;
    glGenTextures(1, &textureId);
    glBindTexture(GL_TEXTURE_2D, textureId);
    width = (int)image.getSize().x;
    height = (int)image.getSize().y;
    const unsigned char* data = image.getPixelsPtr();
    glTexImage2D(GL_TEXTURE_2D, 0, 3, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, data);
    gluBuild2DMipmaps(GL_TEXTURE_2D, 4, width, height, GL_RGBA, GL_UNSIGNED_BYTE, data);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return true;
}

void Texture::Bind() {
    glBindTexture(GL_TEXTURE_2D, textureId);
}

void Texture::Unbind() {
    glBindTexture(GL_TEXTURE_2D, 0);
}

void Texture::SetPath(const char* newPath) {
    if (!newPath) return;
    strcopy(newPath, path, 255);
}

void Texture::Generate() {
    // Without a caller-supplied buffer there is nothing to upload.
    if (!pixels || width < 0 || height < 0) return;
    if (textureId == 0) glGenTextures(1, &textureId);
    Bind();
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    glPopClientAttrib();
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    Unbind();
}

void Texture::BeginRTT(int w, int h, const V4& clearColour) {
    if (textureId == 0) glGenTextures(1, &textureId);
    if (w != -1 && h != -1) {
        width = w;
        height = h;
    }
    // Without the framebuffer entry points there is no target to draw into: the frame
    // goes on into the window untouched (EndRTT then does nothing either).
    if (!vgl::FramebufferEntryPointsReady()) return;
    if (fbo == 0) TexCreateSetupFBO(this);
    glBindFramebufferEXT_PTR(GL_FRAMEBUFFER_EXT, fbo);
    glClearColor(clearColour.x, clearColour.y, clearColour.z, clearColour.w);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushAttrib(GL_VIEWPORT_BIT);
    glViewport(0, 0, width, height);
}

void Texture::EndRTT(CoreThingy* app) {
    if (!vgl::FramebufferEntryPointsReady()) return;
    glPopAttrib();
    glBindFramebufferEXT_PTR(GL_FRAMEBUFFER_EXT, 0);
}

void Texture::DrawRTTFull(CoreThingy* app) {
    if (!app) return;
    DrawRTTFull(app->GetScreenWidth(), app->GetScreenHeight());
}

void Texture::DrawRTTFull(int screenWidth, int screenHeight) {
    // A texture that was never sized has no part to show.
    if (width <= 0 || height <= 0) return;
    float u = (float)screenWidth / (float)width;
    float v = (float)screenHeight / (float)height;
    Bind();
    glBegin(GL_QUADS);
    glTexCoord2f(0, v);
    glVertex3f(-1, 1, 0);
    glTexCoord2f(u, v);
    glVertex3f(1, 1, 0);
    glTexCoord2f(u, 0);
    glVertex3f(1, -1, 0);
    glTexCoord2f(0, 0);
    glVertex3f(-1, -1, 0);
    glEnd();
    Unbind();
}

void Texture::BeginRTTFull(CoreThingy* app) {
    if (!app) return;
    BeginRTTFull(app->GetScreenWidth(), app->GetScreenHeight());
}

void Texture::BeginRTTFull(int sw, int sh) {
    if (textureId == 0) glGenTextures(1, &textureId);
    if (sw <= width && width <= 2 * sw && sh <= height && height <= 2 * sh) return;
    // NextPowerOfTwo needs at least 1.
    width = NextPowerOfTwo(sw < 1 ? 1 : sw);
    height = NextPowerOfTwo(sh < 1 ? 1 : sh);
}

void Texture::EndRTTFull(bool clear) {
    Bind();
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 0, 0, width, height, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    Unbind();
    if (clear) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void TexCreateSetupFBO(Texture* texture) {
    if (!texture || !vgl::FramebufferEntryPointsReady()) return;
    vgl::glGenFramebuffersEXT(1, &texture->fbo);
    vgl::glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, texture->fbo);
    vgl::glGenRenderbuffersEXT(1, &texture->depthRenderbuffer);
    vgl::glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, texture->depthRenderbuffer);
    vgl::glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT, texture->width, texture->height);
    vgl::glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                      texture->depthRenderbuffer);
    glBindTexture(GL_TEXTURE_2D, texture->textureId);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, texture->width, texture->height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 nullptr);
    vgl::glGenerateMipmapEXT(GL_TEXTURE_2D);
    vgl::glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                                   texture->textureId, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void TexPassEffect(Texture* texture, float value) {
    // The pass needs a caller-supplied buffer of the texture's size.
    if (!texture || !texture->pixels || texture->width <= 0 || texture->height <= 0) return;
    const int W = texture->width, H = texture->height;
    const long stride = BMPRowStride(W);
    unsigned char* px = texture->pixels;
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            unsigned char* P = px + y * stride + x * 3;
            const unsigned char* A = px + ((y + 1) % H) * stride + x * 3;
            const unsigned char* B = px + ((y - 1 + H) % H) * stride + ((x + 1) % W) * 3;
            for (int i = 0; i < 3; ++i) {
                int base = P[i] < 252 ? P[i] : P[i] - 252;
                int inc;
                if (i == 0)
                    inc = (int)(0.5 * A[0] + 0.5 * B[0]) % 3;
                else
                    inc = (A[i] + B[i]) % 3;
                P[i] = (unsigned char)(base + inc);
            }
        }
    }
}

int BMPRowStride(int width) {
    return (width * 3 + 3) & ~3;
}

static void PutLE(unsigned char* at, unsigned value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        at[i] = (unsigned char)(value >> (8 * i));
}

void WriteBMP(FILE* file, int width, int height, const unsigned char* rows) {
    unsigned imageSize = (unsigned)BMPRowStride(width) * (unsigned)height;
    unsigned char header[54];
    memset(header, 0, sizeof header);
    header[0] = 'B';
    header[1] = 'M';
    PutLE(header + 2, 54 + imageSize, 4);
    PutLE(header + 10, 54, 4);
    PutLE(header + 14, 40, 4);
    PutLE(header + 18, (unsigned)width, 4);
    PutLE(header + 22, (unsigned)height, 4);
    PutLE(header + 26, 1, 2);
    PutLE(header + 28, 24, 2);
    PutLE(header + 34, imageSize, 4);
    fwrite(header, 1, sizeof header, file);
    if (imageSize) fwrite(rows, 1, imageSize, file);
}

// The number after "capture" in a listed name, or -1 when the name does not count.
static int CaptureNameValue(const char* name) {
    if (!strequal(name, "capture", 7, true)) return -1;
    const char* rest = name + 7;
    // Fewer than three characters after "capture": such a name does not count.
    if (strlength(rest) < 3) return -1;
    const signed char c1 = (signed char)rest[0], c2 = (signed char)rest[1], c3 = (signed char)rest[2];
    int value = 100 * (c1 - '0') + 10 * (c2 - '0') + (c3 - '0');
    // Past 999 the names grow a fourth digit; such a name counts by its whole run of
    // digits (at most nine), so numbering goes on past 999 instead of overwriting.
    if (rest[3] >= '0' && rest[3] <= '9' && c1 >= '0' && c1 <= '9' && c2 >= '0' && c2 <= '9' && c3 >= '0' &&
        c3 <= '9') {
        value = 0;
        for (int i = 0; i < 9 && rest[i] >= '0' && rest[i] <= '9'; ++i)
            value = value * 10 + (rest[i] - '0');
    }
    return value;
}

int NextCaptureNumber(const char* folder) {
    int highest = -1;
    // An empty folder is the working folder.
    const char* listed = folder && !folder[0] ? "." : folder;
    DIR* dir = listed ? opendir(listed) : nullptr;
    if (!dir) {
        puts("Error opening directory");
        return 0;
    }
    while (struct dirent* entry = readdir(dir)) {
        int value = CaptureNameValue(entry->d_name);
        if (value > highest) highest = value;
    }
    closedir(dir);
    return highest + 1;
}

// What CaptureScreen hands the whole-file writer: the pixel rows read from GL.
struct CapturedRows {
    int width, height;
    const unsigned char* rows;
};

// Only reads the rows, so the writer may call it a second time.
static bool FillBMP(FILE* file, void* context) {
    CapturedRows* image = (CapturedRows*)context;
    WriteBMP(file, image->width, image->height, image->rows);
    return true;
}

void CaptureScreen(int width, int height, const char* folder) {
    if (!folder) folder = "";
    int number = NextCaptureNumber(folder);
    // A window without pixels, or one too large for the 32-bit size fields, gives no file.
    if (width <= 0 || height <= 0 || width > 0x7fffffff / 3 - 3) return;
    long long imageSize = (long long)BMPRowStride(width) * height;
    if (imageSize > 0x7fffffffLL - 54) return;
    unsigned char* buffer = (unsigned char*)calloc((size_t)imageSize, 1);
    if (!buffer) return;

    // Folders are joined with '/', the platform's separator; an empty folder is the working
    // folder, so the name stays bare instead of becoming a path at the root.
    char digits[16];
    IntToStr(number, digits, 3);
    std::string path = std::string(folder) + (folder[0] ? "/" : "") + "capture" + digits + ".bmp";
    // The rows come bottom row first, padded to four bytes: the default pack state.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glReadPixels(0, 0, width, height, GL_BGR_EXT, GL_UNSIGNED_BYTE, buffer);
    glPopClientAttrib();
    // Only a regular file (or a new one) is written, and whole or not at all.
    CapturedRows image = {width, height, buffer};
    if (WriteWholeFile(path.c_str(), FillBMP, &image)) printf("Screenshot saved to: %s\n", path.c_str());
    free(buffer);
}

TextureManager::TextureManager() {
    allowUnbind = true;
}

// The manager made every item and the items live as long as the manager (the whole run).
// Freeing them releases memory only: a Texture deliberately never deletes its GL texture.
TextureManager::~TextureManager() {
    for (int i = 0; i < itemCount; ++i)
        delete reinterpret_cast<Texture*>(GetLoadedItem(i));
}

void TextureManager::QueryFile(const char* path, MediaManagerGroup* group, int* outFirst, int* outCount) {
    QueryFileOneItem(path, group, outFirst, outCount);
}

void TextureManager::LoadFile(GroupFileItem* file, MediaManagerGroup* group) {
    if (!file || !group) return;
    int e = file->firstEntry;
    if (e < 0 || e >= group->entryCount) return;
    int** slot = GetItemPtr(group->entryPtr[e].itemIndex);
    Texture* texture = new Texture();
    if (!slot || !texture->Load(file->path.CStr(), false)) {
        delete texture;
        file->state = 2;
        return;
    }
    *slot = reinterpret_cast<int*>(texture);
    file->state = 1;
    group->entryPtr[e].loaded = true;
}

void TextureManager::priv_Use(int* item) {
    if (item)
        reinterpret_cast<Texture*>(item)->Bind();
    else
        glBindTexture(GL_TEXTURE_2D, 0);
}
