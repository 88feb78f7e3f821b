// The script API's media functions, called from a running script: the file form and the
// item selector on textures, shaders and their uniforms, sound items and their samples,
// sound slot properties, music, text with the font texture, the full-window render target,
// save data and the screenshot folder.
#include "audioSfml.h"
#include "luaapi_testing.h"
#include "shadering.h"

#include <cmath>
#include <dirent.h>
#include <set>
#include <sys/stat.h>

namespace {

using MediaApiTest = ScriptHostTest;

std::string TooFew(const char* tag) {
    return std::string("ERR: too few args: ") + tag + "\n";
}

GLint BoundTexture() {
    GLint id = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &id);
    return id;
}

// ---- File form and item selector ---------------------------------------------------------------

TEST_F(MediaApiTest, FileFormReturnsFirstItemIndexAndTakesTheGroupOnlyFromTwoArguments) {
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(Lua("a = AddTex('one.png'); b = AddTex('two.png')"), "");
    EXPECT_EQ(Num("a"), 0);
    EXPECT_EQ(Num("b"), 1);
    // Files load on first use: a missing file still gets its index.
    Lua("c = AddTex('pics/three.png', 'grp')");
    EXPECT_EQ(Num("c"), 2);
    EXPECT_EQ(ItemIndexOf(host->textureManager, "grp", "three"), 2);
    // A third argument makes the form fall back to the default group.
    Lua("d = AddTex('four.png', 'grp', 'x')");
    EXPECT_EQ(ItemIndexOf(host->textureManager, "", "four"), 3);
    EXPECT_EQ(host->textureManager.GetGroup("grp")->entryCount, 1);
    EXPECT_EQ(host->textureManager.itemCount, 4);
    // The result is an integer-valued Lua number; only the results come back.
    Lua("n = select('#', AddTex('five.png'))");
    EXPECT_EQ(Num("n"), 1);

    EXPECT_EQ(Lua("AddGeom()"), TooFew("addgeom"));
    EXPECT_EQ(Lua("AddAudio()"), TooFew("addaudio"));
    EXPECT_EQ(Lua("e = AddTex()"), TooFew("addtex"));
    EXPECT_EQ(Num("e"), 5); // the path reads as none; the item still takes an index
}

TEST_F(MediaApiTest, AddShadWarnsWithTheTextureTagOnlyWithoutArguments) {
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(Lua("s = AddShad('fx.shad')"), "");
    EXPECT_EQ(Num("s"), 0);
    EXPECT_EQ(Lua("AddShad()"), TooFew("addtex"));
    EXPECT_EQ(host->shaderManager.itemCount, 2);
}

TEST_F(MediaApiTest, TexSelectsByIndexNameAndGroup) {
    TempWorkDir::Mkdir("media/pics");
    for (const char* name : {"3", "t1", "t2", "t3", "first", "0"})
        WritePicture(std::string("pics/") + name + ".png", 4, 4, sf::Color::White);
    ASSERT_EQ(Start(), 0);
    Lua("AddTex('pics/3.png') AddTex('pics/t1.png') AddTex('pics/t2.png') AddTex('pics/t3.png')"
        " AddTex('pics/first.png', 'grp') AddTex('pics/0.png', 'grp')");
    auto id = [&](int index) { return (GLint)((Texture*)host->textureManager.GetItem(index))->textureId; };

    Lua("Tex(3)");
    EXPECT_EQ(BoundTexture(), id(3));
    Lua("Tex('3')"); // a numeric string is a name
    EXPECT_EQ(BoundTexture(), id(0));
    Lua("Tex(2.9)"); // truncated, never rounded
    EXPECT_EQ(BoundTexture(), id(2));
    Lua("Tex('grp', 0)"); // position within the group
    EXPECT_EQ(BoundTexture(), id(4));
    Lua("Tex('grp', '0')"); // the entry named 0
    EXPECT_EQ(BoundTexture(), id(5));
    Lua("Tex('t1')");
    EXPECT_EQ(BoundTexture(), id(1));
    Lua("Tex(-1)");
    EXPECT_EQ(BoundTexture(), 0);

    // No argument or more than two: nothing happens.
    Lua("Tex(1)");
    Lua("Tex() Tex(2, 3, 4)");
    EXPECT_EQ(BoundTexture(), id(1));
    // A missing name prints the manager's line and keeps the binding.
    EXPECT_EQ(Lua("Tex('nothing')"), "Error: Item not found in group.\n");
    EXPECT_EQ(BoundTexture(), id(1));
}

// ---- Shaders and uniforms ------------------------------------------------------------------------

const char* kRedShader = "#SECTION VERTEX\n"
                         "void main() { gl_Position = gl_Vertex; }\n"
                         "#SECTION FRAGMENT\n"
                         "uniform float amount;\n"
                         "void main() { gl_FragColor = vec4(amount, 0.0, 0.0, 1.0); }\n";

void FullQuad() {
    glBegin(GL_QUADS);
    glVertex3f(-1, -1, 0);
    glVertex3f(1, -1, 0);
    glVertex3f(1, 1, 0);
    glVertex3f(-1, 1, 0);
    glEnd();
}

TEST_F(MediaApiTest, UniformsSetTheBoundShadersFloatRecords) {
    TempWorkDir::Write("media/red.shad", kRedShader);
    ASSERT_EQ(Start(), 0);
    ASSERT_TRUE(setupExtensions());
    ASSERT_TRUE(vgl::ShaderEntryPointsReady());
    Lua("AddShad('red.shad') Shad(0)");
    Shader* shader = host->shaderManager.GetBoundShader();
    ASSERT_NE(shader, nullptr);
    EXPECT_EQ(Lua("DeclareUniform(7, 'amount')"), "");
    ASSERT_EQ(shader->uniformCount, 1);
    Lua("Uniform(0, 0.5)");
    FullQuad();
    EXPECT_NEAR(Pixel(128, 128).r, 128, 2);

    // Declared with another type: the record is not a float record and Uniform leaves it.
    Lua("DeclareUniform(0, 'amount', 2)");
    ASSERT_EQ(shader->uniformCount, 2);
    Lua("Uniform(1, 1.0)");
    FullQuad();
    EXPECT_NEAR(Pixel(128, 128).r, 128, 2);
    // Out-of-range record positions are ignored.
    Lua("Uniform(5, 1.0) Uniform(-1, 1.0)");
    FullQuad();
    EXPECT_NEAR(Pixel(128, 128).r, 128, 2);
    Lua("Uniform(0, 1.0)");
    FullQuad();
    EXPECT_EQ(Pixel(128, 128).r, 255);

    Lua("Shad(-1)");
    EXPECT_EQ(host->shaderManager.GetBoundShader(), nullptr);
}

TEST_F(MediaApiTest, DisabledShadersBindNothingAndUniformsWithoutShaderDoNothing) {
    TempWorkDir::Write("media/red.shad", kRedShader);
    ASSERT_EQ(Start(), 0);
    setupExtensions();
    Lua("AddShad('red.shad')");
    EXPECT_EQ(Lua("SetShadersEnabled(0)"), "");
    Lua("on = GetShadersEnabled()");
    EXPECT_EQ(Num("on"), 0);
    Lua("Shad(0)");
    EXPECT_EQ(host->shaderManager.GetBoundShader(), nullptr);
    // No bound shader: nothing declared, nothing printed, nothing read beyond.
    EXPECT_EQ(Lua("DeclareUniform(0, 'amount') Uniform(0, 1) DeclareUniform() Uniform()"), "");

    EXPECT_EQ(Lua("SetShadersEnabled(0.5)"), ""); // any non-zero number is true
    Lua("on = GetShadersEnabled()");
    EXPECT_EQ(Num("on"), 1);
    EXPECT_EQ(Lua("SetShadersEnabled()"), TooFew("shad"));
    EXPECT_FALSE(host->shaderManager.GetShadersEnabled());
    EXPECT_EQ(Lua("GetShadersEnabled(1, 2, 3)"), ""); // never warns
}

// ---- Sound items and slots -----------------------------------------------------------------------

class SoundApiTest : public ScriptHostTest {
  protected:
    void SetUp() override {
        ScriptHostTest::SetUp();
        InstallSfmlAudio();
    }
};

TEST_F(SoundApiTest, SamplesRoundTripThroughSetAndGetAudioData) {
    ASSERT_EQ(Start(), 0);
    ASSERT_FALSE(host->audioManager.IsSilent());
    Lua("i = GetNewAudio('beep')"
        " SetAudioData(i, {0.5, -0.5, 0.25, 0, 1}, 1, 22050, 1)"
        " t = GetAudioData(i) n = #t a, b, c, d, e = t[1], t[2], t[3], t[4], t[5]");
    EXPECT_EQ(Num("i"), 0);
    ASSERT_EQ(Num("n"), 5);
    EXPECT_NEAR(Num("a"), 0.5, 1e-3);
    EXPECT_NEAR(Num("b"), -0.5, 1e-3);
    EXPECT_NEAR(Num("c"), 0.25, 1e-3);
    EXPECT_NEAR(Num("d"), 0, 1e-9);
    EXPECT_NEAR(Num("e"), 1, 1e-3);

    // A factor averages neighbouring values: two values become one sample.
    Lua("SetAudioData(i, {0.5, 0.25, -0.5, -0.25}, 1, 22050, 2) t = GetAudioData(i) n, a, b = #t, t[1], "
        "t[2]");
    ASSERT_EQ(Num("n"), 2);
    EXPECT_NEAR(Num("a"), 0.375, 1e-3);
    EXPECT_NEAR(Num("b"), -0.375, 1e-3);
}

TEST_F(SoundApiTest, EmptyOrMissingSamplesGiveEmptyTables) {
    ASSERT_EQ(Start(), 0);
    Lua("i = GetNewAudio('quiet')"
        " t0 = #GetAudioData(i)" // an item without samples
        " SetAudioData(i, {}, 1, 22050, 1) t1 = #GetAudioData(i)"
        " SetAudioData(i, nil, 1, 22050, 1) t2 = #GetAudioData(i)" // no table: no samples
        " SetAudioData(i, 'abc', 1, 22050, 1) t3 = #GetAudioData(i)"
        " t4 = #GetAudioData(99) t5 = type(GetAudioData(-1))");
    EXPECT_EQ(Num("t0"), 0);
    EXPECT_EQ(Num("t1"), 0);
    EXPECT_EQ(Num("t2"), 0);
    EXPECT_EQ(Num("t3"), 0);
    EXPECT_EQ(Num("t4"), 0);
    EXPECT_EQ(Str("t5"), "table");
    EXPECT_EQ(Lua("GetNewAudio() SetAudioData() x = GetAudioData()"),
              TooFew("addaudiodata") + TooFew("addaudiodata") + TooFew("addaudiodata"));
    EXPECT_EQ(Type("x"), "table");
}

// A result is copied into Lua memory after the engine built it in its own; a finalizer that
// raises during that copy must not leak it (the sanitizer build's leak check watches). Every
// allocation finishes a whole collection, and each finalizer of a chain leaves the next one
// behind for the next allocation: the chain's length picks the allocation that raises, the
// copy's own among them.
TEST_F(SoundApiTest, ResultCopiesInterruptedByAFinalizerLeakNothing) {
    ASSERT_EQ(Start(), 0);
    Lua("i = GetNewAudio('long') local t = {} for k = 1, 100000 do t[k] = 0.5 end"
        " SetAudioData(i, t, 1, 22050, 1) WriteSaveString('g', 'save.txt', string.rep('s', 100000))");
    // A raising finalizer leaves the collector's pace disturbed: each case starts it afresh.
    Lua("collectgarbage('setpause', 0) collectgarbage('setstepmul', 10000000)\n"
        "local function chain(n)\n"
        "  return function()\n"
        "    if n == 1 then error('from a finalizer', 0) end\n"
        "    getmetatable(newproxy(true)).__gc = chain(n - 1)\n"
        "  end\n"
        "end\n"
        "errors = ''\n"
        "for length = 2, 3 do\n"
        "  for _, case in ipairs({{GetAudioData, i}, {ReadSaveString, 'g', 'save.txt'}}) do\n"
        "    collectgarbage()\n"
        "    local a = newproxy(true) getmetatable(a).__gc = chain(length) a = nil\n"
        "    local ok, err = pcall(case[1], case[2], case[3]) errors = errors .. tostring(err) .. ';'\n"
        "  end\n"
        "end\n"
        "collectgarbage('setpause', 200) collectgarbage('setstepmul', 200) collectgarbage()\n"
        "n, text = #GetAudioData(i), #ReadSaveString('g', 'save.txt')");
    EXPECT_EQ(Str("errors"), "from a finalizer;from a finalizer;from a finalizer;from a finalizer;");
    EXPECT_EQ(Num("n"), 100000);
    EXPECT_EQ(Num("text"), 100000);
}

TEST_F(SoundApiTest, NewAudioTakesTheGroupOnlyFromTwoArguments) {
    ASSERT_EQ(Start(), 0);
    Lua("a = GetNewAudio('x', 'sfx') b = GetNewAudio('y', 'sfx', 1) c = GetNewAudio(5)");
    EXPECT_EQ(Num("a"), 0);
    EXPECT_EQ(Num("b"), 1);
    EXPECT_EQ(Num("c"), 2);
    EXPECT_EQ(ItemIndexOf(host->audioManager, "sfx", "x"), 0);
    EXPECT_EQ(ItemIndexOf(host->audioManager, "", "y"), 1);
    EXPECT_EQ(ItemIndexOf(host->audioManager, "", "5"), 2); // a number names the item by its text
}

TEST_F(SoundApiTest, AudioReturnsTheSlotOfThePreviousPlayWhenItPlaysNothing) {
    ASSERT_EQ(Start(), 0);
    Lua("before = Audio()");
    EXPECT_EQ(Num("before"), -1);
    Lua("i = GetNewAudio('tone') t = {} for k = 1, 2205 do t[k] = math.sin(k / 5) * 0.5 end"
        " SetAudioData(i, t, 1, 22050, 1)"
        " s = Audio(i) again = Audio() named = Audio('tone')");
    EXPECT_GE(Num("s"), 0);
    EXPECT_LT(Num("s"), host->audioManager.slotCount);
    EXPECT_EQ(Num("again"), Num("s"));
    EXPECT_GE(Num("named"), 0);
    // A name that finds nothing plays nothing and still answers the last slot.
    EXPECT_EQ(Lua("missing = Audio('none')"), "Error: Item not found in group.\n");
    EXPECT_EQ(Num("missing"), Num("named"));
    Lua("StopAudio(s) StopAudio(-3) StopAudio(1000) StopAudio()");
}

TEST_F(SoundApiTest, AudioPropsDefaultsAndTheSkippedShortCall) {
    ASSERT_EQ(Start(), 0);
    Lua("i = GetNewAudio('tone') t = {} for k = 1, 2205 do t[k] = 0.25 end SetAudioData(i, t, 1, 22050, 1)"
        " s = Audio(i)");
    int s = (int)Num("s");
    ASSERT_GE(s, 0);
    AudioPlayer* player = host->audioManager.slots[s].sound;
    ASSERT_NE(player, nullptr);

    EXPECT_EQ(Lua("AudioProps(s, 0.2, 2, 1, 1, 2, 3)"), "");
    EXPECT_NEAR(player->Volume(), 20, 0.01);
    EXPECT_NEAR(player->Pitch(), 2, 1e-6);
    EXPECT_TRUE(player->Loop());
    float x, y, z;
    player->Position(&x, &y, &z);
    EXPECT_FLOAT_EQ(x, 1);
    EXPECT_FLOAT_EQ(y, 2);
    EXPECT_FLOAT_EQ(z, 3);

    // Slot and volume only: pitch 1, no loop, position (0, 0, 0).
    Lua("AudioProps(s, 0.5)");
    EXPECT_NEAR(player->Volume(), 50, 0.01);
    EXPECT_NEAR(player->Pitch(), 1, 1e-6);
    EXPECT_FALSE(player->Loop());
    EXPECT_FALSE(host->audioManager.slots[s].looping);
    player->Position(&x, &y, &z);
    EXPECT_FLOAT_EQ(x, 0);
    EXPECT_FLOAT_EQ(y, 0);
    EXPECT_FLOAT_EQ(z, 0);

    // Five arguments: the position's missing coordinates read 0.
    Lua("AudioProps(s, 0.5, 1, 0, 4)");
    player->Position(&x, &y, &z);
    EXPECT_FLOAT_EQ(x, 4);
    EXPECT_FLOAT_EQ(y, 0);

    // Fewer than two arguments: no slot to set, so nothing is touched and nothing printed.
    EXPECT_EQ(Lua("AudioProps(s) AudioProps()"), "");
    EXPECT_NEAR(player->Volume(), 50, 0.01);
    for (int k = 0; k < host->audioManager.slotCount; k++)
        EXPECT_FALSE(host->audioManager.slots[k].looping) << k;
    // A slot outside the manager's range is ignored.
    EXPECT_EQ(Lua("AudioProps(-1, 0.1) AudioProps(100000, 0.1)"), "");
}

TEST_F(SoundApiTest, MusicChannelsLoadPlayStopAndTakeProperties) {
    std::vector<int16_t> samples(22050);
    for (size_t k = 0; k < samples.size(); k++)
        samples[k] = (int16_t)(8000 * std::sin(k * 0.05));
    WriteWave("song.wav", samples);
    ASSERT_EQ(Start(), 0);
    ASSERT_FALSE(host->musicManager.IsSilent());
    MusicStream* channel = host->musicManager.channels[1];
    ASSERT_NE(channel, nullptr);

    EXPECT_EQ(Lua("AddMusic(1, 'song.wav') Music(1)"), "");
    EXPECT_TRUE(channel->IsPlaying());
    Lua("MusicProps(1, 0.3, 1.5, 1, 0, 1, 0)");
    EXPECT_NEAR(channel->Volume(), 30, 0.01);
    EXPECT_NEAR(channel->Pitch(), 1.5, 1e-6);
    EXPECT_TRUE(channel->Loop());
    Lua("MusicProps(1, 0.6)");
    EXPECT_NEAR(channel->Volume(), 60, 0.01);
    EXPECT_NEAR(channel->Pitch(), 1, 1e-6);
    EXPECT_FALSE(channel->Loop());
    // One argument: skipped, as for AudioProps. None: also the too-few line.
    EXPECT_EQ(Lua("MusicProps(1)"), "");
    EXPECT_EQ(Lua("MusicProps()"), TooFew("music"));
    EXPECT_NEAR(channel->Volume(), 60, 0.01);
    Lua("StopMusic(1)");
    EXPECT_FALSE(channel->IsPlaying());

    EXPECT_EQ(Lua("AddMusic(2, 'missing.ogg')"), "Error: Music failed to load\n");
    EXPECT_EQ(Lua("Music()"), TooFew("music"));
    EXPECT_EQ(Lua("StopMusic()"), TooFew("music"));
}

TEST_F(SoundApiTest, VelkRunKeepsResultsButPlaysNothing) {
    SetCurrentProgram(ProgramKind::Run);
    ASSERT_EQ(Start("function Init() end"), 0);
    ASSERT_TRUE(host->audioManager.IsSilent());
    Lua("i = GetNewAudio('tone') SetAudioData(i, {0.5, 0.5}, 1, 22050, 1) n = #GetAudioData(i)"
        " s = Audio(i)");
    EXPECT_EQ(Num("n"), 0);
    EXPECT_GE(Num("s"), 0);
}

// ---- Text -----------------------------------------------------------------------------------------

TextObj* StoredText(LuaThingy* host, int i) {
    return (TextObj*)host->textManager.texts.Get(i);
}

TEST_F(MediaApiTest, TextDrawsWithTheFontAndUnbindsAfter) {
    WritePicture("font.png", 256, 256, sf::Color::Red);
    WritePicture("green.png", 4, 4, sf::Color::Green);
    ASSERT_EQ(Start(), 0);
    Lua("AddTex('green.png') AddTex('font.png')");
    glEnable(GL_TEXTURE_2D);
    Lua("Tex(0)");
    EXPECT_EQ(Lua("Text('WWWW')"), "");
    EXPECT_EQ(BoundTexture(), 0);
    // The letters came from the font picture, not the texture bound before.
    int red = 0, green = 0;
    for (const RGBA& p : ReadAll()) {
        if (p.r > 200 && p.g < 50) red++;
        if (p.g > 200 && p.r < 50) green++;
    }
    EXPECT_GT(red, 100);
    EXPECT_EQ(green, 0);

    // Only a text: align 1, no letter or line spacing.
    TextObj* first = StoredText(host, 0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->params.align, 1);
    EXPECT_EQ(first->params.letterSpacing, 0);
    EXPECT_EQ(first->params.lineSpacing, 0);
    EXPECT_TRUE(first->text.IsEqual("WWWW"));

    Lua("Text('a', -1, 0.5, 0.25)");
    TextObj* second = StoredText(host, 1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->params.align, -1);
    EXPECT_FLOAT_EQ(second->params.letterSpacing, 0.5f);
    EXPECT_FLOAT_EQ(second->params.lineSpacing, 0.25f);
    // The same text with the same layout draws the cached mesh.
    Lua("Text('a', -1, 0.5, 0.25) Text('WWWW')");
    EXPECT_EQ(host->textManager.texts.Count(), 2);
    EXPECT_EQ(Lua("Text()"), TooFew("addtext"));
}

TEST_F(MediaApiTest, TextWithoutFontUsesTheBoundTextureAndStillUnbinds) {
    WritePicture("green.png", 4, 4, sf::Color::Green);
    ASSERT_EQ(Start(), 0);
    Lua("AddTex('green.png')");
    glEnable(GL_TEXTURE_2D);
    Lua("Tex(0)");
    EXPECT_EQ(Lua("Text('WWWW')"), "Error: Item not found in group.\n");
    EXPECT_EQ(BoundTexture(), 0);
    int green = 0;
    for (const RGBA& p : ReadAll())
        if (p.g > 200 && p.r < 50) green++;
    EXPECT_GT(green, 100);
}

TEST_F(MediaApiTest, AddTextStoresWithoutDrawingAndAnswersTheTextId) {
    ASSERT_EQ(Start(), 0);
    lua_State* L = host->luaState;
    lua_register(L, "AddTextForTest", pubLAddText);
    EXPECT_EQ(Lua("a = AddTextForTest('one') b = AddTextForTest('two', 0)"), "");
    EXPECT_EQ(Num("a"), 0);
    EXPECT_EQ(Num("b"), 1);
    EXPECT_EQ(CountNot(RGBA{0, 0, 0, 0}), 0);
    EXPECT_EQ(StoredText(host, 1)->params.align, 0);
    EXPECT_EQ(Lua("AddTextForTest()"), TooFew("addtext"));
}

// ---- Render target --------------------------------------------------------------------------------

TEST_F(MediaApiTest, FullWindowRenderTargetCapturesTheDrawingAndCoversTheWindow) {
    ASSERT_EQ(Start(), 0);
    ASSERT_TRUE(setupExtensions());
    if (!vgl::FramebufferEntryPointsReady()) GTEST_SKIP() << "no framebuffer objects";
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);

    Lua("BeginRTTFull()");
    EXPECT_NE(Int(GL_FRAMEBUFFER_BINDING_EXT), 0);
    EXPECT_EQ(host->renderTarget.width, +kWidth);
    EXPECT_EQ(host->renderTarget.height, +kHeight);
    // Drawn into the target: the left half red. The target was cleared to opaque black.
    glColor3f(1, 0, 0);
    glBegin(GL_QUADS);
    glVertex3f(-1, -1, 0);
    glVertex3f(0, -1, 0);
    glVertex3f(0, 1, 0);
    glVertex3f(-1, 1, 0);
    glEnd();
    // Nothing of it reached the window yet.
    glBindFramebufferEXT_PTR(GL_FRAMEBUFFER_EXT, 0);
    RGBA before = Pixel(64, 128);
    EXPECT_EQ(before.b, 255);
    EXPECT_EQ(before.r, 0);
    glBindFramebufferEXT_PTR(GL_FRAMEBUFFER_EXT, host->renderTarget.fbo);

    glColor3f(1, 1, 1);
    glEnable(GL_TEXTURE_2D);
    Lua("EndRTTFull()");
    EXPECT_EQ(Int(GL_FRAMEBUFFER_BINDING_EXT), 0);
    RGBA left = Pixel(64, 128), right = Pixel(192, 128);
    EXPECT_GT(left.r, 250);
    EXPECT_LT(left.b, 5);
    EXPECT_LT(right.r, 5);
    EXPECT_LT(right.b, 5); // the window's blue is covered everywhere
    EXPECT_EQ(CountNot(RGBA{0, 0, 255, 255}), kWidth * kHeight);
    EXPECT_EQ(BoundTexture(), 0);
}

// ---- Save data ------------------------------------------------------------------------------------

bool FileExists(const char* path) {
    struct stat st;
    return stat(path, &st) == 0;
}

std::set<std::string> Listing(const char* folder) {
    std::set<std::string> names;
    if (DIR* d = opendir(folder)) {
        while (dirent* e = readdir(d))
            names.insert(e->d_name);
        closedir(d);
    }
    return names;
}

TEST_F(MediaApiTest, SaveStringsRoundTripWhateverTheGameName) {
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(Lua("WriteSaveString('gameA', 'slot1.sav', 'score=42\\nname=x')"), "");
    EXPECT_EQ(TempWorkDir::ReadAll("slot1.sav"), "score=42\nname=x");
    Lua("back = ReadSaveString('gameB', 'slot1.sav')");
    EXPECT_EQ(Str("back"), "score=42\nname=x");
    EXPECT_TRUE(host->saveManager.gameName.IsEqual("gameB"));

    // An empty value makes an empty file that reads back as "".
    Lua("WriteSaveString('g', 'empty.sav', '') e = ReadSaveString('g', 'empty.sav')");
    EXPECT_TRUE(FileExists("empty.sav"));
    EXPECT_EQ(TempWorkDir::ReadAll("empty.sav"), "");
    EXPECT_EQ(Str("e"), "");
    // Zero bytes inside the text are kept.
    Lua("WriteSaveString('g', 'bin.sav', 'a\\0b') z = ReadSaveString('g', 'bin.sav')");
    EXPECT_EQ(Str("z"), std::string("a\0b", 3));
    // A missing file reads as "".
    Lua("m = ReadSaveString('g', 'never.sav')");
    EXPECT_EQ(Str("m"), "");
    EXPECT_EQ(Type("m"), "string");
}

TEST_F(MediaApiTest, SaveStringsKeepAFinalZeroByte) {
    ASSERT_EQ(Start(), 0);
    Lua("WriteSaveString('g', 'end.sav', 'a\\0b\\0') z = ReadSaveString('g', 'end.sav')");
    EXPECT_EQ(TempWorkDir::ReadAll("end.sav"), std::string("a\0b\0", 4));
    EXPECT_EQ(Str("z"), std::string("a\0b\0", 4));
    Lua("WriteSaveString('g', 'zero.sav', '\\0') z = ReadSaveString('g', 'zero.sav')");
    EXPECT_EQ(Str("z"), std::string(1, '\0'));
}

TEST_F(MediaApiTest, SaveFileNamesAreUsedAsGivenAndEmptyNamesTouchNothing) {
    ASSERT_EQ(Start(), 0);
    // A folder in the name is relative to the working directory; the game name plays no part.
    TempWorkDir::Mkdir("saves");
    Lua("WriteSaveString('mygame', 'saves/a.sav', 'v1')");
    EXPECT_EQ(TempWorkDir::ReadAll("saves/a.sav"), "v1");
    EXPECT_FALSE(FileExists("mygame"));
    // A folder that does not exist: nothing written, and the read gives "".
    Lua("WriteSaveString('g', 'nofolder/a.sav', 'v') r = ReadSaveString('g', 'nofolder/a.sav')");
    EXPECT_FALSE(FileExists("nofolder"));
    EXPECT_EQ(Str("r"), "");
    // An empty name writes nothing and reads "".
    std::set<std::string> before = Listing(".");
    Lua("WriteSaveString('g', '', 'lost') w = ReadSaveString('g', '')");
    EXPECT_EQ(Str("w"), "");
    EXPECT_EQ(Listing("."), before);
    // Missing arguments: the line with the tag, then nothing happens.
    EXPECT_EQ(Lua("WriteSaveString() n = ReadSaveString()"), TooFew("savedata") + TooFew("savedata"));
    EXPECT_EQ(Str("n"), "");
}

// ---- Screenshot folder ----------------------------------------------------------------------------

TEST_F(MediaApiTest, ScreenshotDirReplacesTheFolder) {
    ASSERT_EQ(Start(), 0);
    EXPECT_TRUE(host->screenshotFolder.IsEqual("screenshots"));
    Lua("SetScreenshotDir('shots/today')");
    EXPECT_TRUE(host->screenshotFolder.IsEqual("shots/today"));
    EXPECT_EQ(Lua("SetScreenshotDir()"), TooFew("screenshotdir"));
    // No text, no new folder: the screenshots keep going where they went.
    EXPECT_TRUE(host->screenshotFolder.IsEqual("shots/today"));
    Lua("SetScreenshotDir({}) SetScreenshotDir(nil, 'x')");
    EXPECT_TRUE(host->screenshotFolder.IsEqual("shots/today"));
    Lua("SetScreenshotDir(7)"); // a number names the folder by its text
    EXPECT_TRUE(host->screenshotFolder.IsEqual("7"));
}

} // namespace
