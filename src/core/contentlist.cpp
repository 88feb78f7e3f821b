// contentlist: bucketed lookup with lazy loading for textures and shaders by number.
#include "contentlist.h"

#include "materials.h"
#include "shadering.h"
#include "strfuncs.h"

#include <GL/gl.h>

ContentSubList::ContentSubList() {
    records.freeItem = VLQ::DeleteAs<ContentRecord>;
}

// Array members are destroyed from the last to the first; each bucket frees its records.
ContentList::~ContentList() {}

ContentRecord* ContentList::LoadItem(int id) {
    return nullptr;
}

void* ContentList::FetchItem(int id) {
    if (id < 0 || id >= kBucketCount * 256) return nullptr;
    VLQ& bucket = buckets[id / 256].records;
    for (int i = 0; i < bucket.Count(); i++) {
        ContentRecord* record = static_cast<ContentRecord*>(bucket.Peek(i));
        if (record->id == id) return record->item;
    }
    ContentRecord* record = LoadItem(id);
    if (!record) return nullptr;
    bucket.Queue(record);
    return record->item;
}

// "<folder><id with at least five digits><extension>". Ids reaching here are 0 to 65535.
// The folders are joined with this platform's separator '/', like the engine's other
// built paths, so "data/textures/00007.png" is a file inside the data folder.
static void NumberedPath(char* out, const char* folder, int id, const char* extension) {
    out[0] = 0;
    StrAppend(out, folder, 64);
    char number[16];
    IntToStr(id, number, 5);
    StrAppend(out, number, 15);
    StrAppend(out, extension, 15);
}

// The lists made these objects and nothing else refers to them once the list is gone, so
// they are freed with it (their GL objects stay, like every GL object of the engine).
TextureList::~TextureList() {
    for (int b = kBucketCount - 1; b >= 0; b--) {
        VLQ& bucket = buckets[b].records;
        for (int i = 0; i < bucket.Count(); i++) {
            ContentRecord* record = static_cast<ContentRecord*>(bucket.Peek(i));
            delete static_cast<Texture*>(record->item);
            record->item = nullptr;
        }
    }
}

ContentRecord* TextureList::LoadItem(int id) {
    ContentRecord* record = new ContentRecord{id, nullptr};
    Texture* texture = new Texture();
    record->item = texture;
    static const char* const extensions[] = {".png", ".bmp", ".jpg"};
    char path[128];
    for (const char* extension : extensions) {
        NumberedPath(path, "data/textures/", id, extension);
        if (texture->Load(path, true)) return record;
    }
    delete texture;
    delete record;
    return nullptr;
}

void TextureList::Bind(int id) {
    if (id == -1) {
        glBindTexture(GL_TEXTURE_2D, 0);
        return;
    }
    Texture* texture = static_cast<Texture*>(FetchItem(id));
    if (texture) glBindTexture(GL_TEXTURE_2D, texture->textureId);
}

ShaderList::~ShaderList() {
    for (int b = kBucketCount - 1; b >= 0; b--) {
        VLQ& bucket = buckets[b].records;
        for (int i = 0; i < bucket.Count(); i++) {
            ContentRecord* record = static_cast<ContentRecord*>(bucket.Peek(i));
            delete static_cast<Shader*>(record->item);
            record->item = nullptr;
        }
    }
}

// A missing file still gives a record: the shader stays in the list without a program.
ContentRecord* ShaderList::LoadItem(int id) {
    Shader* shader = new Shader();
    char path[128];
    NumberedPath(path, "data/shaders/", id, ".shad");
    shader->LoadMetaFile(path);
    return new ContentRecord{id, shader};
}

void ShaderList::Bind(int id) {
    if (id == -1) {
        glUseProgramObjectARB_PTR(0);
        current = nullptr;
        return;
    }
    Shader* shader = static_cast<Shader*>(FetchItem(id));
    if (!shader) return;
    glUseProgramObjectARB_PTR(shader->program);
    current = shader;
}
