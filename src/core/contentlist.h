// contentlist: a small id-keyed cache of loaded resources with lazy loading, and its two
// kinds: textures and shaders loaded from fixed folders by a five-digit file number.
#pragma once
#include "vlq.h"

class Texture;
class Shader;

// One cached item; `item` points to the loaded Texture or Shader.
struct ContentRecord {
    int id;
    void* item;
};

// One bucket of a content list: a queue that owns its records.
class ContentSubList {
  public:
    VLQ records;

    ContentSubList();
};

class ContentList {
  public:
    // Bucket id / 256, so the buckets cover ids 0 to 65535.
    static const int kBucketCount = 256;
    ContentSubList buckets[kBucketCount];

    ContentList() {}
    virtual ~ContentList();
    // Makes a record for id, or null when nothing could be loaded. The base loads nothing.
    virtual ContentRecord* LoadItem(int id);

    // The item of id, loaded on first use; null for an id outside 0 to 65535 or when the
    // load failed (tried again on the next fetch).
    void* FetchItem(int id);

  private:
    ContentList(const ContentList&) = delete;
    ContentList& operator=(const ContentList&) = delete;
};

// Textures from "data/textures/NNNNN" with the extension png, bmp or jpg.
class TextureList : public ContentList {
  public:
    TextureList() {}
    ~TextureList() override;
    ContentRecord* LoadItem(int id) override;
    // -1 binds texture 0; an id without a loadable texture changes nothing.
    void Bind(int id);
};

// Shaders from "data/shaders/NNNNN.shad".
class ShaderList : public ContentList {
  public:
    Shader* current; // the shader Bind bound last, null when none

    ShaderList() : current(nullptr) {}
    ~ShaderList() override;
    ContentRecord* LoadItem(int id) override;
    // -1 unbinds; an id without an item changes nothing.
    void Bind(int id);
};
