// loadingscreeny: the launcher of velkEngine. LoadingScreeny lists the scripts of the
// scripts folder, offers the size and shader options, remembers the choices in
// "prefs.txt", draws its screen each frame and records which script to run.
#pragma once

#include "corethingy.h"
#include "datablock.h"
#include "vlq.h"

class LoadingScreeny : public CoreThingy {
  public:
    DataBlock scriptName; // the script to run, set at launch
    int selected;         // index of the selected list entry
    VLQ scriptNames;      // DataBlock* per listed script, owned
    VLQ scriptKinds;      // kind per entry as a plain integer: 1 ordinary, 2 showcase
    int sizeMode;         // 0 normal, 1 maximum size, 2 maximum size and fullscreen
    int shaderMode;       // 0 shaders disabled, 1 enabled
    int hoverSize;        // option or entry under the pointer in the last drawn frame, -1 none
    int hoverShader;
    int hoverScript;
    int result; // 0 running, 1 run scriptName, 2 quit

    LoadingScreeny();
    ~LoadingScreeny() override;

    int Init() override;
    void KeyHappen(int code, bool pressed) override;
    void GameKeyHappen(int, int) override {}
    virtual int TimeStep();

    // The list rules for one directory entry name.
    void ConsiderEntry(const char* name);
    // Lists the folder's entries in the order the platform gives them; false when the
    // folder cannot be opened (the system error is printed then).
    bool ListScripts(const char* folder);
    // Preferences file: defaults stay when it is missing or empty.
    void ReadPrefs(const char* path);
    void WritePrefs(const char* path);
    // Script kind of list entry i (0 outside the list).
    int KindOf(int i);

    static const char* const kPrefsFile;
    static const char* const kScriptsFolder;
    // Comma-separated names matched by substring; see loadingscreeny.cpp.
    static const char* const kExcludedScripts;
    static const char* const kShowcaseScripts;

    // Layout of the screen, in the 2D view's units.
    static constexpr float kOptionHit = 0.05f;
    static constexpr float kScriptHit = 0.08f;
    static constexpr float kSizeRowY = 0.7f;
    static constexpr float kShaderRowY = 0.6f;
    static constexpr float kListStartX = -0.5f;
    static constexpr float kListStartY = 0.4f;
    static constexpr float kListStepX = 0.33f;
    static constexpr float kListStepY = 0.16f;
    static constexpr float kDividerY = 0.478f;

    // Position of list entry i as the screen walks the grid (float steps, as drawn).
    static void EntryPosition(int i, float* x, float* y);
    // The spin angle of the hover marker, in degrees.
    float SpinAngle() const;
};
