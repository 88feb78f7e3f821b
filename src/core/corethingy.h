// corethingy: the application base. One object of a class derived from CoreThingy is
// the running application: it owns the window with its GL context, the clock, the media
// managers, the unit quad and the input state, sets up the standard GL state, the camera
// and lights, runs the frame step (events, limiter, game time) and turns events into
// input codes and game keys.
#pragma once

#include "audio.h"
#include "datablock.h"
#include "geometry.h"
#include "materials.h"
#include "savemanager.h"
#include "shadering.h"
#include "textmesh.h"
#include "velkeuc.h"

#include <SFML/Window.hpp>
#include <vector>

class SpaceMapper;

// What the frame step reads from the platform besides the window's events: wall time
// and the pointer. CoreThingy uses its own clock and sf::Mouse unless one of these is
// installed in `platform`; tests install a fake to drive the step without waiting.
class CorePlatform {
  public:
    virtual ~CorePlatform() {}
    virtual float Seconds() = 0;                       // wall time
    virtual sf::Vector2i PointerPosition() = 0;        // relative to the window
    virtual void SetPointerPosition(sf::Vector2i) = 0; // relative to the window
};

class CoreThingy {
  public:
    InputStore input;
    float mouseX, mouseY;   // normalized pointer position, (0,0) top left
    float cursorX, cursorY; // virtual cursor: sum of all mouse deltas
    float mouseDX, mouseDY; // mouse delta of the current frame, y up
    float gameTime;
    float prevGameTime;
    float timeScale;
    float wallTime;
    float prevWallTime;
    float gameTimeStep;
    float frameTime;
    int frameCount;
    DataBlock mediaPath;
    float mouseScale;
    float mouseNorm; // 1 / the initial window width, never updated
    float fov;
    float orthoScaleX, orthoScaleY;
    TextureManager textureManager;
    ShaderManager shaderManager;
    GeometryManager geometryManager;
    AudioManager audioManager;
    MusicManager musicManager;
    TextManager textManager;
    SaveManager saveManager; // velkRun has no save data: built there too, it saves nothing
    float cam2DScale;        // half-extent of camera mode 2; velkRun ignores it (always 1)
    float loadTime;
    bool cursorVisible;
    bool mouseLocked;
    Geometry quad;
    int typingMode;
    int repeatKey; // input code that key repeat fires for, -1 none
    float repeatTime;
    float repeatDelay;
    float repeatInterval;
    bool fullscreen;
    bool maxRes;
    int width, height;
    int bitsPerPixel;
    float aspect;
    float nearPlane, farPlane;
    int fpsFrames;
    bool frameLimit;
    int targetFps;
    bool fixedStep;
    float fixedStepTime;
    float nextFrameTime;
    char** argv;
    int argc;
    sf::Window window;
    sf::Clock clock;
    sf::Event event;
    SpaceMapper* spaceMapper; // owned; created by SetSpaceMapper

    // Set from IsVelkRun() when the object is built: velkRun's core has no 2D camera
    // scale, gives the managers no path prefix and has no Close.
    bool velkRun;
    // Test seam for wall time and the pointer; null means the real clock and mouse.
    CorePlatform* platform;

    CoreThingy();
    virtual ~CoreThingy();
    CoreThingy(const CoreThingy&) = delete;
    CoreThingy& operator=(const CoreThingy&) = delete;

    // Virtual slots.
    virtual void KeyHappen(int inputCode, bool pressed);
    virtual void GameKeyHappen(int gameKey, int pressState) {}
    virtual void KeyTyped(int inputCode) {}
    virtual int Init() = 0;

    // Small operations.
    void DrawQuad();
    void Close();
    void SetSpaceMapper(int kind);
    void Quit(int) {}
    void Set2DCamScale(float s);
    void SetTypingMode(int on) { typingMode = on; }
    int GetScreenWidth() { return width; }
    int GetScreenHeight() { return height; }
    void DeclareArgs(int argc, char** argv);
    void ParseArgs();

    // Window, GL state, camera and lights.
    void SetupStandardWindow();
    void InitSystem();
    void InitGL();
    void InitLight(int i);
    void ResizeWindow();
    void InitCamera(int mode, int fit);
    void SetupShadingExtensions();
    void SetLighting(bool on);
    void SetLight(int i, float x, float y, float z);
    void SetLightColor(int i, float r, float g, float b);
    void SetLightAtten(int i, float constant, float linear, float quadratic);
    void SetAmbientColorRGB(float r, float g, float b);
    void SetVSync(bool on);
    void SetMouseState(int visible, int locked);
    // The video mode to open: the configured one, or with maxRes the first (best) of the
    // given fullscreen modes, written back to width, height and bitsPerPixel.
    sf::VideoMode ChooseVideoMode(const std::vector<sf::VideoMode>& fullscreenModes);
    // The window style: resizable with a close button, fullscreen when `fullscreen` is set
    // and the platform lists at least one fullscreen mode.
    sf::Uint32 WindowStyle(const std::vector<sf::VideoMode>& fullscreenModes);

    // Frame step. TimeStep is ReportGLError, BeginEvents, HandleEvent for each polled
    // event and FinishStep; these stages are public so that tests can feed events.
    int TimeStep();
    void ReportGLError(unsigned int error);
    void BeginEvents();
    void HandleEvent(const sf::Event& e);
    int FinishStep();

    // Input.
    void SetKeyBind(int gameKey, int inputCode, bool additive);
    int privHandleKey(int code, bool pressed);
    void privHandleMousePress(int button, bool pressed);
    void privHandleMouseScroll(int delta);
    void privHandleMouseMove(int x, int y, int dx, int dy);

    // Wall time from the clock (or the installed platform).
    float ReadClock();

  private:
    // Hands game time and its step to the space mapper, the audio and the text manager.
    void HandOverTime();

    int stepResult;  // result of the frame step being run
    bool stepWarped; // the pointer was warped back to the centre in this step
};

// Push and pop the projection matrix, leaving the modelview matrix selected.
void PushProjection();
void PopProjection();
