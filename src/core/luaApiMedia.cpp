// luaApiMedia: the script API's media functions: adding and using textures, meshes, shaders
// and sounds, shader uniforms, text, sound data, music, the full-window render target,
// save data and the screenshot folder. Each one is a thin adapter from Lua arguments to one
// operation of a manager or of the host.
//
// Lua errors unwind with longjmp, so no object with a destructor is alive across a Lua call
// that can raise; results built in C++ memory reach Lua through the held-result copy.
#include "luaapi.h"
#include "luathingy.h"

// ---- Helpers ---------------------------------------------------------------------------------

// The file form: path[, group name], the group only with exactly two arguments. A group
// argument that is no text (a table, a boolean) names the default group.
struct FileForm {
    const char* path;
    const char* group;
};

static FileForm ReadFileForm(lua_State* L, int count) {
    FileForm f;
    f.path = ArgString(L, 1);
    f.group = count == 2 ? ArgString(L, 2) : "";
    if (!f.group) f.group = "";
    return f;
}

// Adds the file and pushes the first item index, which is the manager's item count before
// the call.
static int AddFile(lua_State* L, MediaManager* manager, const FileForm& f) {
    int first = 0;
    manager->AddContent(f.path, f.group, &first, nullptr);
    lua_pushinteger(L, first);
    return 1;
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
    FileForm f = ReadFileForm(L, ArgCount(L, 1, "addtex"));
    return AddFile(L, &EngineHandle(L, "AddTex")->textureManager, f);
}

int pubLBindTex(lua_State* L) {
    ItemSelector s = ReadItemSelector(L);
    UseItem(&EngineHandle(L, "Tex")->textureManager, s);
    return 0;
}

int pubLAddGeom(lua_State* L) {
    FileForm f = ReadFileForm(L, ArgCount(L, 1, "addgeom"));
    return AddFile(L, &EngineHandle(L, "AddGeom")->geometryManager, f);
}

int pubLAddShad(lua_State* L) {
    FileForm f = ReadFileForm(L, ArgCount(L, 1, "addtex"));
    return AddFile(L, &EngineHandle(L, "AddShad")->shaderManager, f);
}

int pubLBindShad(lua_State* L) {
    ItemSelector s = ReadItemSelector(L);
    UseItem(&EngineHandle(L, "Shad")->shaderManager, s);
    return 0;
}

int pubLSetShadersEnabled(lua_State* L) {
    ArgCount(L, 1, "shad");
    bool enabled = ArgFlag(L, 1);
    EngineHandle(L, "SetShadersEnabled")->shaderManager.SetShadersEnabled(enabled);
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
    int number = ArgInt(L, 1);
    const char* name = ArgString(L, 2);
    int type = count >= 3 ? ArgInt(L, 3) : 1;
    bool flag = count > 3 ? ArgFlag(L, 4) : true;
    Shader* shader = EngineHandle(L, "DeclareUniform")->shaderManager.GetBoundShader();
    if (shader) shader->DeclareUniform(number, name, type, flag); // no bound shader: nothing
    return 0;
}

int pubLUpdateUniform(lua_State* L) {
    int position = ArgInt(L, 1);
    float value = ArgFloat(L, 2);
    Shader* shader = EngineHandle(L, "Uniform")->shaderManager.GetBoundShader();
    if (shader) shader->UpdateUniform(position, &value);
    return 0;
}

// ---- Sound effects -----------------------------------------------------------------------------

int pubLNewAudio(lua_State* L) {
    int count = ArgCount(L, 1, "addaudiodata");
    const char* name = ArgString(L, 1);
    const char* group = count == 2 ? ArgString(L, 2) : "";
    LuaThingy* host = EngineHandle(L, "GetNewAudio");
    lua_pushinteger(L, host->audioManager.NewAudio(name ? name : "", group ? group : ""));
    return 1;
}

int pubLSetAudioData(lua_State* L) {
    ArgCount(L, 1, "addaudiodata");
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
    EngineHandle(L, "SetAudioData")->audioManager.SetAudioData(index, samples, n, channels, rate, factor);
    lua_pop(L, 1);
    return 0;
}

int pubLGetAudioData(lua_State* L) {
    ArgCount(L, 1, "addaudiodata");
    int index = ArgInt(L, 1);
    BeginHeldResult(L);
    LuaThingy* host = EngineHandle(L, "GetAudioData");
    int status;
    {
        FloatDataBlock block;
        host->audioManager.GetAudioData(index, &block);
        status = PushHeldFloats(L, (const float*)block.Ptr(), block.ValCount());
    }
    if (status != 0) lua_error(L);
    return 1;
}

int pubLAddAudio(lua_State* L) {
    FileForm f = ReadFileForm(L, ArgCount(L, 1, "addaudio"));
    return AddFile(L, &EngineHandle(L, "AddAudio")->audioManager, f);
}

int pubLPlayAudio(lua_State* L) {
    ItemSelector s = ReadItemSelector(L);
    LuaThingy* host = EngineHandle(L, "Audio");
    UseItem(&host->audioManager, s);
    // The last play's slot also when nothing was chosen now (-1 before any play).
    lua_pushnumber(L, host->audioManager.GetLastIndex());
    return 1;
}

int pubLStopAudio(lua_State* L) {
    int slot = ArgInt(L, 1);
    EngineHandle(L, "StopAudio")->audioManager.StopAudio(slot);
    return 0;
}

int pubLAudioProps(lua_State* L) {
    int count = lua_gettop(L);
    SoundProps p = ReadSoundProps(L, count);
    int slot = ArgInt(L, 1);
    LuaThingy* host = EngineHandle(L, "AudioProps");
    // Without a slot and a volume there is no slot to set: the call is skipped rather than
    // made on whatever slot a missing argument would name.
    if (count < 2) return 0;
    host->audioManager.SetAudProps(slot, p.volume, p.pitch, p.loop, p.x, p.y, p.z);
    return 0;
}

// ---- Music -------------------------------------------------------------------------------------

int pubLAddMusic(lua_State* L) {
    ArgCount(L, 1, "music");
    int channel = ArgInt(L, 1);
    const char* file = ArgString(L, 2);
    EngineHandle(L, "AddMusic")->musicManager.LoadFile(channel, file);
    return 0;
}

int pubLPlayMusic(lua_State* L) {
    ArgCount(L, 1, "music");
    int channel = ArgInt(L, 1);
    EngineHandle(L, "Music")->musicManager.Play(channel);
    return 0;
}

int pubLStopMusic(lua_State* L) {
    ArgCount(L, 1, "music");
    int channel = ArgInt(L, 1);
    EngineHandle(L, "StopMusic")->musicManager.Stop(channel);
    return 0;
}

int pubLMusicProps(lua_State* L) {
    int count = ArgCount(L, 1, "music");
    SoundProps p = ReadSoundProps(L, count);
    int channel = ArgInt(L, 1);
    LuaThingy* host = EngineHandle(L, "MusicProps");
    // As AudioProps: without a channel and a volume the call is skipped.
    if (count < 2) return 0;
    host->musicManager.SetMusicProps(channel, p.volume, p.pitch, p.loop, p.x, p.y, p.z);
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
    const char* text = ArgString(L, 1);
    GeomTextParams params = ReadTextParams(L, count);
    LuaThingy* host = EngineHandle(L, "Text");
    host->textureManager.Use("font");
    host->textManager.CreateDrawText(text, &params);
    host->textureManager.Use(-1); // no texture stays bound after a text
    return 0;
}

int pubLAddText(lua_State* L) {
    int count = ArgCount(L, 1, "addtext");
    const char* text = ArgString(L, 1);
    GeomTextParams params = ReadTextParams(L, count);
    lua_pushinteger(L, EngineHandle(L, "pubLAddText")->textManager.AddText(text, &params));
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
    const char* game = ArgString(L, 1);
    const char* file = ArgString(L, 2);
    BeginHeldResult(L);
    LuaThingy* host = EngineHandle(L, "ReadSaveString");
    int status;
    {
        DataBlock block;
        host->saveManager.SetGame(game);
        host->saveManager.LoadData(file, &block);
        status = PushHeldString(L, (const char*)block.Ptr(), block.Len() > 0 ? (size_t)block.Len() : 0);
    }
    if (status != 0) lua_error(L);
    return 1;
}

int pubLWriteSaveString(lua_State* L) {
    ArgCount(L, 1, "savedata");
    const char* game = ArgString(L, 1);
    const char* file = ArgString(L, 2);
    size_t length = 0;
    const char* text = lua_tolstring(L, 3, &length);
    LuaThingy* host = EngineHandle(L, "WriteSaveString");
    // Every byte of the text at its whole length, zero bytes included; no text is an empty one.
    host->saveManager.SetGame(game);
    host->saveManager.SaveBytes(file, text ? text : "", text ? length : 0);
    return 0;
}

int pubLSetScreenshotDir(lua_State* L) {
    ArgCount(L, 1, "screenshotdir");
    const char* folder = ArgString(L, 1);
    LuaThingy* host = EngineHandle(L, "SetScreenshotDir");
    // A folder that is no text (missing, nil, a table) keeps the folder; an empty one is the
    // working folder.
    if (folder) host->screenshotFolder.Assign(folder);
    return 0;
}
