// luaApiMedia: the script API's media functions: adding and using textures, meshes, shaders
// and sounds, shader uniforms, text, sound data, music, the full-window render target,
// save data and the screenshot folder. Each one is a thin adapter from Lua arguments to one
// operation of a manager or of the host.
//
// Lua errors unwind with longjmp, so no object with a destructor is alive across a Lua call
// that can raise: results that come out of engine containers are copied to plain memory
// before they are pushed.
#include "luaapi.h"
#include "luathingy.h"

#include <cstdlib>
#include <cstring>

// ---- Helpers ---------------------------------------------------------------------------------

// The file form: path[, group name], the group only with exactly two arguments. Returns the
// first item index, which is the manager's item count before the call.
static int AddFile(lua_State* L, MediaManager* manager, int count) {
    const char* path = ArgString(L, 1);
    const char* group = count == 2 ? ArgString(L, 2) : "";
    int first = 0;
    // A group argument that is no text (a table, a boolean) names the default group.
    manager->AddContent(path, group ? group : "", &first, nullptr);
    lua_pushinteger(L, first);
    return 1;
}

// Pushes a copy of `n` bytes that was taken out of an engine container, then frees it.
static void PushOwnedString(lua_State* L, char* bytes, int n) {
    lua_pushlstring(L, bytes ? bytes : "", (size_t)n);
    free(bytes);
}

// Copies a block's bytes to plain memory (null when empty) so the block can go before any
// Lua call.
static char* CopyBytes(DataBlock& block, int* n) {
    *n = block.Len();
    if (*n <= 0 || !block.Ptr()) {
        *n = 0;
        return nullptr;
    }
    char* copy = (char*)malloc((size_t)*n);
    if (!copy) {
        *n = 0;
        return nullptr;
    }
    memcpy(copy, block.Ptr(), (size_t)*n);
    return copy;
}

// The properties call shared by AudioProps and MusicProps: volume argument 2, pitch 3
// (default 1), loop 4 (default false), position 5 to 7 (default 0; a missing one reads 0).
struct SoundProps {
    float volume, pitch;
    bool loop;
    float x, y, z;
};

static SoundProps ReadSoundProps(lua_State* L, int count) {
    SoundProps p;
    p.volume = ArgFloat(L, 2);
    p.pitch = count > 2 ? ArgFloat(L, 3) : 1.0f;
    p.loop = count > 3 ? ArgFlag(L, 4) : false;
    p.x = count > 4 ? ArgFloat(L, 5) : 0.0f;
    p.y = count > 4 ? ArgFloat(L, 6) : 0.0f;
    p.z = count > 4 ? ArgFloat(L, 7) : 0.0f;
    return p;
}

// ---- Files and items ---------------------------------------------------------------------------

int pubLAddTex(lua_State* L) {
    int count = ArgCount(L, 1, "addtex");
    LuaThingy* host = EngineHandle(L, "AddTex");
    return AddFile(L, &host->textureManager, count);
}

int pubLBindTex(lua_State* L) {
    LuaThingy* host = EngineHandle(L, "Tex");
    UseSelectedItem(L, &host->textureManager);
    return 0;
}

int pubLAddGeom(lua_State* L) {
    int count = ArgCount(L, 1, "addgeom");
    LuaThingy* host = EngineHandle(L, "AddGeom");
    return AddFile(L, &host->geometryManager, count);
}

int pubLAddShad(lua_State* L) {
    int count = ArgCount(L, 1, "addtex");
    LuaThingy* host = EngineHandle(L, "AddShad");
    return AddFile(L, &host->shaderManager, count);
}

int pubLBindShad(lua_State* L) {
    LuaThingy* host = EngineHandle(L, "Shad");
    UseSelectedItem(L, &host->shaderManager);
    return 0;
}

int pubLSetShadersEnabled(lua_State* L) {
    ArgCount(L, 1, "shad");
    LuaThingy* host = EngineHandle(L, "SetShadersEnabled");
    host->shaderManager.SetShadersEnabled(ArgFlag(L, 1));
    return 0;
}

int pubLGetShadersEnabled(lua_State* L) {
    LuaThingy* host = EngineHandle(L, "GetShadersEnabled");
    lua_pushinteger(L, host->shaderManager.GetShadersEnabled() ? 1 : 0);
    return 1;
}

// ---- Uniforms of the bound shader --------------------------------------------------------------

int pubLDeclareUniform(lua_State* L) {
    int count = lua_gettop(L);
    LuaThingy* host = EngineHandle(L, "DeclareUniform");
    Shader* shader = host->shaderManager.GetBoundShader();
    if (!shader) return 0; // no bound shader: nothing declared, nothing printed
    int number = ArgInt(L, 1);
    const char* name = ArgString(L, 2);
    int type = count >= 3 ? ArgInt(L, 3) : 1;
    bool flag = count > 3 ? ArgFlag(L, 4) : true;
    shader->DeclareUniform(number, name, type, flag);
    return 0;
}

int pubLUpdateUniform(lua_State* L) {
    LuaThingy* host = EngineHandle(L, "Uniform");
    Shader* shader = host->shaderManager.GetBoundShader();
    if (!shader) return 0;
    float value = ArgFloat(L, 2);
    shader->UpdateUniform(ArgInt(L, 1), &value);
    return 0;
}

// ---- Sound effects -----------------------------------------------------------------------------

int pubLNewAudio(lua_State* L) {
    int count = ArgCount(L, 1, "addaudiodata");
    LuaThingy* host = EngineHandle(L, "GetNewAudio");
    const char* name = ArgString(L, 1);
    const char* group = count == 2 ? ArgString(L, 2) : "";
    lua_pushinteger(L, host->audioManager.NewAudio(name ? name : "", group ? group : ""));
    return 1;
}

int pubLSetAudioData(lua_State* L) {
    ArgCount(L, 1, "addaudiodata");
    LuaThingy* host = EngineHandle(L, "SetAudioData");
    int index = ArgInt(L, 1);
    int channels = (int)lua_tointeger(L, 3);
    int rate = (int)lua_tointeger(L, 4);
    int factor = (int)lua_tointeger(L, 5);
    // Samples that are not in a table count as none: indexing nil or a number would raise,
    // and a string's length is no sample count.
    int n = lua_istable(L, 2) ? (int)lua_objlen(L, 2) : 0;
    // The array lives in Lua memory, so a raising __index on the table leaves nothing behind.
    float* samples = (float*)lua_newuserdata(L, sizeof(float) * (size_t)(n > 0 ? n : 1));
    for (int i = 0; i < n; i++) {
        lua_pushinteger(L, i + 1);
        lua_gettable(L, 2);
        samples[i] = (float)lua_tonumber(L, -1);
        lua_pop(L, 1);
    }
    host->audioManager.SetAudioData(index, samples, n, channels, rate, factor);
    lua_pop(L, 1);
    return 0;
}

int pubLGetAudioData(lua_State* L) {
    ArgCount(L, 1, "addaudiodata");
    LuaThingy* host = EngineHandle(L, "GetAudioData");
    int index = ArgInt(L, 1);
    int n = 0;
    float* values = nullptr;
    {
        FloatDataBlock block;
        host->audioManager.GetAudioData(index, &block);
        n = block.ValCount();
        if (n > 0) values = (float*)malloc(sizeof(float) * (size_t)n);
        if (values) {
            for (int i = 0; i < n; i++)
                values[i] = block.GetVal(i);
        } else {
            n = 0;
        }
    }
    lua_createtable(L, n, 0);
    for (int i = 0; i < n; i++) {
        lua_pushnumber(L, values[i]);
        lua_rawseti(L, -2, i + 1);
    }
    free(values);
    return 1;
}

int pubLAddAudio(lua_State* L) {
    int count = ArgCount(L, 1, "addaudio");
    LuaThingy* host = EngineHandle(L, "AddAudio");
    return AddFile(L, &host->audioManager, count);
}

int pubLPlayAudio(lua_State* L) {
    LuaThingy* host = EngineHandle(L, "Audio");
    UseSelectedItem(L, &host->audioManager);
    // The last play's slot also when nothing was chosen now (-1 before any play).
    lua_pushnumber(L, host->audioManager.GetLastIndex());
    return 1;
}

int pubLStopAudio(lua_State* L) {
    LuaThingy* host = EngineHandle(L, "StopAudio");
    host->audioManager.StopAudio(ArgInt(L, 1));
    return 0;
}

int pubLAudioProps(lua_State* L) {
    int count = lua_gettop(L);
    LuaThingy* host = EngineHandle(L, "AudioProps");
    // Without a slot and a volume there is no slot to set: the call is skipped rather than
    // made on whatever slot a missing argument would name.
    if (count < 2) return 0;
    SoundProps p = ReadSoundProps(L, count);
    host->audioManager.SetAudProps(ArgInt(L, 1), p.volume, p.pitch, p.loop, p.x, p.y, p.z);
    return 0;
}

// ---- Music -------------------------------------------------------------------------------------

int pubLAddMusic(lua_State* L) {
    ArgCount(L, 1, "music");
    LuaThingy* host = EngineHandle(L, "AddMusic");
    host->musicManager.LoadFile(ArgInt(L, 1), ArgString(L, 2));
    return 0;
}

int pubLPlayMusic(lua_State* L) {
    ArgCount(L, 1, "music");
    LuaThingy* host = EngineHandle(L, "Music");
    host->musicManager.Play(ArgInt(L, 1));
    return 0;
}

int pubLStopMusic(lua_State* L) {
    ArgCount(L, 1, "music");
    LuaThingy* host = EngineHandle(L, "StopMusic");
    host->musicManager.Stop(ArgInt(L, 1));
    return 0;
}

int pubLMusicProps(lua_State* L) {
    int count = ArgCount(L, 1, "music");
    LuaThingy* host = EngineHandle(L, "MusicProps");
    // As AudioProps: without a channel and a volume the call is skipped.
    if (count < 2) return 0;
    SoundProps p = ReadSoundProps(L, count);
    host->musicManager.SetMusicProps(ArgInt(L, 1), p.volume, p.pitch, p.loop, p.x, p.y, p.z);
    return 0;
}

// ---- Text --------------------------------------------------------------------------------------

// Text[, align = 1[, letter spacing = 0[, line spacing = 0]]]; align by lua_tointeger.
static GeomTextParams ReadTextParams(lua_State* L, int count) {
    GeomTextParams params;
    params.align = count > 1 ? (int)lua_tointeger(L, 2) : 1;
    params.letterSpacing = count > 2 ? ArgFloat(L, 3) : 0.0f;
    params.lineSpacing = count > 3 ? ArgFloat(L, 4) : 0.0f;
    return params;
}

int pubLCreateDrawText(lua_State* L) {
    int count = ArgCount(L, 1, "addtext");
    LuaThingy* host = EngineHandle(L, "Text");
    const char* text = ArgString(L, 1);
    GeomTextParams params = ReadTextParams(L, count);
    host->textureManager.Use("font");
    host->textManager.CreateDrawText(text, &params);
    host->textureManager.Use(-1); // no texture stays bound after a text
    return 0;
}

int pubLAddText(lua_State* L) {
    int count = ArgCount(L, 1, "addtext");
    LuaThingy* host = EngineHandle(L, "pubLAddText");
    const char* text = ArgString(L, 1);
    GeomTextParams params = ReadTextParams(L, count);
    lua_pushinteger(L, host->textManager.AddText(text, &params));
    return 1;
}

// ---- Render target -------------------------------------------------------------------------------

int pubLBeginRTT(lua_State* L) {
    LuaThingy* host = EngineHandle(L, "BeginRTTFull");
    host->renderTarget.BeginRTT(host->width, host->height, V4(0, 0, 0, 1));
    return 0;
}

int pubLEndRTT(lua_State* L) {
    LuaThingy* host = EngineHandle(L, "EndRTTFull");
    host->renderTarget.EndRTT(host);
    host->renderTarget.DrawRTTFull(host);
    return 0;
}

// ---- Save data and screenshots -------------------------------------------------------------------

// File names are used as given, relative to the working directory (folders included); an
// empty or missing name opens no file, so it writes nothing and reads "".
int pubLReadSaveString(lua_State* L) {
    ArgCount(L, 1, "savedata");
    LuaThingy* host = EngineHandle(L, "ReadSaveString");
    const char* game = ArgString(L, 1);
    const char* file = ArgString(L, 2);
    int n = 0;
    char* bytes = nullptr;
    {
        DataBlock block;
        host->saveManager.SetGame(game);
        host->saveManager.LoadData(file, &block);
        bytes = CopyBytes(block, &n);
    }
    PushOwnedString(L, bytes, n);
    return 1;
}

int pubLWriteSaveString(lua_State* L) {
    ArgCount(L, 1, "savedata");
    LuaThingy* host = EngineHandle(L, "WriteSaveString");
    const char* game = ArgString(L, 1);
    const char* file = ArgString(L, 2);
    size_t length = 0;
    const char* text = lua_tolstring(L, 3, &length);
    // Every byte of the text at its whole length, zero bytes included; no text is an empty one.
    host->saveManager.SetGame(game);
    host->saveManager.SaveBytes(file, text ? text : "", text ? length : 0);
    return 0;
}

int pubLSetScreenshotDir(lua_State* L) {
    ArgCount(L, 1, "screenshotdir");
    LuaThingy* host = EngineHandle(L, "SetScreenshotDir");
    // A folder that is no text (missing, nil, a table) keeps the folder; an empty one is the
    // working folder.
    if (const char* folder = ArgString(L, 1)) host->screenshotFolder.Assign(folder);
    return 0;
}
