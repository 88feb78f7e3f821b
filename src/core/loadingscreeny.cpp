// loadingscreeny: the launcher's list building, preferences file, input and screen.
#include "loadingscreeny.h"
#include "strfuncs.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <dirent.h>

const char* const LoadingScreeny::kPrefsFile = "prefs.txt";
// The scripts folder with this platform's separator.
const char* const LoadingScreeny::kScriptsFolder = "./scripts/";
// Only the default script is held back. Every name added here also hides each script
// whose whole name is a piece of this text (the test is a substring test), so the list
// stays as short as it can be; "default.moon" alone already hides e.g. "t.moon".
const char* const LoadingScreeny::kExcludedScripts = "default.moon";
// The demos drawn as showcase entries (large spinning cyan markers): the two that show
// the most of the engine, the lit and shaded 3D gem and the noise-generated island map.
// Being a substring test, a name that is a piece of this text ("l.lua") is one too.
const char* const LoadingScreeny::kShowcaseScripts = "crystal.lua,noisefield.lua";

namespace {
const char* const kSizeLabels[3] = {"normal size", "max size", "max size + full"};
const char* const kShaderLabels[2] = {"disable shaders", "enable shaders"};

// True when `name` occurs anywhere in `text`. An empty name would match every text; no
// directory entry has one, but a bare "" must not exclude or promote anything.
bool Contains(const char* text, const char* name) {
    if (!name[0]) return false;
    return searchString(text, name, 0) >= 0;
}

void DrawText(LoadingScreeny* self, const char* text) {
    GeomTextParams params;
    params.align = 0;
    params.letterSpacing = 0;
    params.lineSpacing = 0;
    self->textureManager.Use("font");
    self->textManager.CreateDrawText(text, &params);
    self->textureManager.Use(-1);
}

// The spinning green bar behind the entry under the pointer.
void DrawHoverMark(LoadingScreeny* self, float spin) {
    glPushMatrix();
    glColor4f(0, 1, 0, 0.5f);
    glRotatef(spin, 0, 0, 1);
    glScalef(1.5f, 0.5f, 0.5f);
    self->DrawQuad();
    glPopMatrix();
}
} // namespace

LoadingScreeny::LoadingScreeny()
    : selected(0), sizeMode(0), shaderMode(1), hoverSize(-1), hoverShader(-1), hoverScript(-1), result(0) {
    scriptNames.ownsItems = true;
    scriptNames.freeItem = VLQ::DeleteAs<DataBlock>;
    // The kinds are integers in the slots, not pointers.
    scriptKinds.ownsItems = false;
}

LoadingScreeny::~LoadingScreeny() {
    // Members go in reverse order: scriptKinds frees nothing, scriptNames frees the
    // entries a launch left (freed ones are null slots), then scriptName.
}

int LoadingScreeny::Init() {
    input.keyState.SetDefaults();
    SetAmbientColorRGB(0, 0, 0);
    int fontIndex = -1;
    textureManager.AddContent("textures/font.png", "", &fontIndex, nullptr);
    ReadPrefs(kPrefsFile);
    if (!ListScripts(kScriptsFolder)) return 1;
    return 0;
}

void LoadingScreeny::ReadPrefs(const char* path) {
    DataBlock prefs;
    if (!prefs.ReadFile(path) || prefs.Size() == 0) return;
    // A byte beyond the end of the file reads as 0; each byte is a signed 8-bit value.
    int values[3] = {0, 0, 0};
    for (int i = 0; i < 3 && i < prefs.Size(); i++)
        values[i] = (signed char)prefs.Ptr()[i];
    selected = values[0];
    sizeMode = values[1];
    shaderMode = values[2];
}

void LoadingScreeny::WritePrefs(const char* path) {
    DataBlock prefs;
    prefs.Append((char)(selected & 0xff));
    prefs.Append((char)(sizeMode & 0xff));
    prefs.Append((char)(shaderMode & 0xff));
    // WriteFile leaves out one trailing zero byte: 2 bytes when shaders are off.
    prefs.WriteFile(path);
}

void LoadingScreeny::ConsiderEntry(const char* name) {
    if (!name) return;
    if (searchString(name, ".moon", 0) < 0 && searchString(name, ".lua", 0) < 0) return;
    if (Contains(kExcludedScripts, name)) return;
    scriptNames.Add(new DataBlock(name));
    intptr_t kind = Contains(kShowcaseScripts, name) ? 2 : 1;
    scriptKinds.Add((void*)kind);
}

bool LoadingScreeny::ListScripts(const char* folder) {
    DIR* dir = opendir(folder);
    if (!dir) {
        perror("");
        return false;
    }
    // Directories are not told apart from files: a folder named x.moon is listed.
    while (dirent* entry = readdir(dir))
        ConsiderEntry(entry->d_name);
    closedir(dir);
    return true;
}

int LoadingScreeny::KindOf(int i) {
    return (int)(intptr_t)scriptKinds.Get(i);
}

void LoadingScreeny::KeyHappen(int code, bool pressed) {
    // `pressed` is not read: a release acts like a press.
    if (hoverSize != -1) sizeMode = hoverSize;
    if (hoverShader != -1) shaderMode = hoverShader;
    if (hoverScript != -1) selected = hoverScript;

    if (selected >= 0 && selected < scriptNames.Count() && (hoverScript >= 0 || code <= 99)) {
        // The first launch takes the name and frees the list; a second one in the same
        // frame step (the release of the launching key) only saves the choices again.
        // It also leaves `result` alone, so an Escape that came first still quits.
        if (result == 0 && scriptName.Size() == 0) {
            DataBlock* name = (DataBlock*)scriptNames.Get(selected);
            scriptName.SetString(name->CStr());
            for (int i = 0; i < scriptNames.Count(); i++) {
                delete (DataBlock*)scriptNames.items[i];
                scriptNames.items[i] = nullptr;
            }
            result = 1;
        }
        WritePrefs(kPrefsFile);
    }
    if (code == kInputEscape) result = 2;
}

void LoadingScreeny::EntryPosition(int i, float* x, float* y) {
    float px = kListStartX, py = kListStartY;
    for (int n = 0; n < i; n++) {
        px = px + kListStepX;
        if (px > 0.5f) {
            px = kListStartX;
            py = py - kListStepY;
        }
    }
    *x = px;
    *y = py;
}

float LoadingScreeny::SpinAngle() const {
    return (float)((double)gameTime * 180.0 * -3.0);
}

int LoadingScreeny::TimeStep() {
    int r = CoreThingy::TimeStep();
    if (frameCount <= 2 || result > 0) return 0;

    hoverSize = hoverShader = hoverScript = -1;

    InitCamera(0, 0);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_BLEND);
    InitCamera(2, 1);

    float mx = cursorX, my = cursorY;
    float spin = SpinAngle();

    glPushMatrix();
    glTranslatef(-0.8f, 0.7f - 0.08f, 0);
    glScalef(0.05f, 0.05f, 0.05f);
    DrawText(this, "first,\nset options->");
    glPopMatrix();
    glPushMatrix();
    glTranslatef(-0.8f, -0.08f, 0);
    glScalef(0.05f, 0.05f, 0.05f);
    DrawText(this, "then,\nchoose script->");
    glPopMatrix();

    glPushMatrix();
    glTranslatef(0, kDividerY, 0);
    glColor4f(1, 0, 0, 0.5f);
    glScalef(1.05f, 0.005f, 0.05f);
    DrawQuad();
    glColor4f(1, 1, 1, 1);
    glPopMatrix();

    struct Row {
        int count;
        float y;
        int mode;
        int* hover;
        const char* const* labels;
    };
    Row rows[2] = {{3, kSizeRowY, sizeMode, &hoverSize, kSizeLabels},
                   {2, kShaderRowY, shaderMode, &hoverShader, kShaderLabels}};
    for (const Row& row : rows) {
        for (int i = 0; i < row.count; i++) {
            float x = i * 0.5f - 0.5f;
            glPushMatrix();
            glTranslatef(x, row.y, 0);
            if (std::fabs(mx - x) < kOptionHit && std::fabs(my - row.y) < kOptionHit) *row.hover = i;
            if (row.mode == i) glColor4f(0.5f, 0.5f, 1, 1);
            glScalef(0.04f, 0.04f, 0.04f);
            if (*row.hover == i) DrawHoverMark(this, spin);
            glPushMatrix();
            glScalef(0.5f, 0.5f, 0.5f);
            DrawQuad();
            glPopMatrix();
            glTranslatef(0, -1.5f, 0);
            DrawText(this, row.labels[i]);
            glPopMatrix();
            glColor4f(1, 1, 1, 1);
        }
    }

    float x = kListStartX, y = kListStartY;
    for (int i = 0; i < scriptNames.Count(); i++) {
        glPushMatrix();
        int kind = KindOf(i);
        glTranslatef(x, y, 0);
        glScalef(0.05f, 0.05f, 0.5f);
        if (std::fabs(mx - x) < kScriptHit && std::fabs(my - y) < kScriptHit) hoverScript = i;
        glPushMatrix();
        if (kind == 1) {
            glScalef(0.5f, 0.5f, 0.5f);
        } else if (kind == 2) {
            glColor4f(0, 1, 1, 1);
            glRotatef((float)((double)gameTime * 180.0 * 0.5), 0, 0, 1);
        }
        if (hoverScript == i) DrawHoverMark(this, spin);
        if (selected == i) glColor4f(1, 0, 0, 1);
        DrawQuad();
        glPopMatrix();
        glColor4f(1, 1, 1, 1);
        glTranslatef(0, -1.5f, 0);
        glScalef(0.8f, 0.8f, 0.8f);
        DataBlock* name = (DataBlock*)scriptNames.Get(i);
        // Entries are only freed by a launch, after which nothing is drawn; a null slot
        // is skipped all the same.
        if (name) DrawText(this, name->CStr());
        glPopMatrix();
        x = x + kListStepX;
        if (x > 0.5f) {
            x = kListStartX;
            y = y - kListStepY;
        }
    }

    glTranslatef(mx, my, 0);
    glScalef(0.01f, 0.01f, 0.5f);
    glColor4f(0, 1, 0, 0.8f);
    DrawQuad();
    glColor4f(1, 1, 1, 1);

    glFlush();
    window.display();
    return r;
}
